// The operating-system boundary on POSIX systems.
#include <platform/file_lock.h>
#include <platform/os.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "../common/read_all.h"
#include "posix_files.h"

namespace platform {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) { return c == '/'; }

bool IsSafeFileComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string AbsolutePath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    joined = std::string(cwd) + '/' + path;
  }
  // The folder of the last component as the system reaches it, where it exists: links and ".." resolved (".."
  // after a link leads to the parent of its target), so that every spelling of one file's folder gives one text.
  const size_t cut = joined.rfind('/');
  const std::string_view last = std::string_view(joined).substr(cut + 1);
  const bool folderOnly = last.empty() || last == "." || last == "..";
  const std::string folder = folderOnly ? joined : cut == 0 ? std::string("/") : joined.substr(0, cut);
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved)) {
    std::string out = resolved;
    if (out.back() != '/' && (!folderOnly || joined.back() == '/')) out += '/';
    if (!folderOnly) out += last;
    return out;
  }
  // A folder that does not exist: "." and ".." taken back lexically.
  std::vector<std::string_view> parts;
  for (size_t at = 0; at < joined.size();) {
    const size_t end = std::min(joined.find('/', at), joined.size());
    const std::string_view part(joined.data() + at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string out;
  for (std::string_view part : parts) (out += '/') += part;
  if (out.empty() || joined.back() == '/') out += '/';
  return out;
}

bool GetEnv(const char* name, std::string& value) {
  const char* v = std::getenv(name);
  if (!v) return false;
  value = v;
  return true;
}

std::string ModuleFileName() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFileName), &info) == 0 || !info.dli_fname) return std::string();
  std::string path = info.dli_fname;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) path = resolved;
  return path;
}

std::string ModuleDirectory() {
  std::string path = ModuleFileName();
  size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

uint64_t CurrentThreadId() {
#if defined(SYS_gettid)
  return static_cast<uint64_t>(syscall(SYS_gettid));
#else
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pthread_self()));
#endif
}

uint64_t PhysicalMemoryBytes() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(size);
}

int64_t UnixTime() { return static_cast<int64_t>(::time(nullptr)); }

namespace posix {

std::string XdgFolder(const char* variable, const char* belowHome) {
  std::string dir;
  // A relative folder in the variable is ignored, as the XDG base directory rules ask.
  if (GetEnv(variable, dir) && !dir.empty() && dir[0] == '/') {
    if (dir.back() != '/') dir += '/';
    return dir + "navconfig/";
  }
  // So is a relative HOME. Without a home folder at all (no account entry either), the root stands for it, as
  // for GLib and Qt: the folder cannot be made and saves fail, rather than settings being kept in whatever
  // folder a process runs in.
  if (!GetEnv("HOME", dir) || dir.empty() || dir[0] != '/') {
    struct passwd pw{};
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    dir.assign(1, '/');
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
      dir = found->pw_dir;
  }
  if (dir.back() != '/') dir += '/';
  return dir + belowHome + "/navconfig/";
}

}  // namespace posix

std::string UserHomeDirectory() {
  std::string dir;
  if (!GetEnv("NAVCONFIG_HOME", dir) || dir.empty()) return posix::DefaultUserHome();
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string RegistryDirectory() { return UserHomeDirectory() + "registry/"; }

// ---- Files ----

namespace {

std::string ErrorText(const char* what, const std::string& path, int err) {
  const size_t cut = path.rfind('/');
  return std::string(what) + " " + (cut == std::string::npos ? path : path.substr(cut + 1)) + ": " +
         std::strerror(err);
}

std::atomic<bool> g_sync{true};

bool WriteAll(int fd, const void* data, size_t size) {
  auto p = static_cast<const char*>(data);
  while (size) {
    const ssize_t n = posix::Write(fd, p, size);
    if (n < 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string FileNameOf(const std::string& path) {
  const size_t cut = path.rfind('/');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The end of a chain of symbolic links that starts at path (path itself when it is no link): the first name
// that is not a link, or a link still after 40 steps (a loop).
std::string FollowLinks(const std::string& path) {
  std::string target = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st{};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    char buf[PATH_MAX];
    ssize_t n = ::readlink(target.c_str(), buf, sizeof buf - 1);
    if (n < 0) return target;
    buf[n] = '\0';
    if (buf[0] == '/') {
      target = buf;
    } else {
      size_t cut = target.rfind('/');
      target = (cut == std::string::npos ? std::string() : target.substr(0, cut + 1)) + buf;
    }
  }
  return target;
}

void SyncDirectory(const std::string& dir) {
  if (!g_sync.load(std::memory_order_relaxed)) return;
  int fd = posix::Open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  posix::Fsync(fd);
  ::close(fd);
}

}  // namespace

void SetSyncForBenchmarks(bool enabled) { g_sync.store(enabled); }

bool IsRegularFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path, bool privateToUser) {
  // A folder that exists counts whatever error the call gives for it (EEXIST, or EACCES or EROFS where the
  // system checks the permission first).
  return posix::MakeDir(path.c_str(), privateToUser ? 0700 : 0777) == 0 || IsDirectory(path);
}

bool MakeDirectories(const std::string& path, bool privateToUser) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  // Each level from the top; a level that exists is passed over as it is.
  for (size_t pos = path.find('/', 1); ; pos = path.find('/', pos + 1)) {
    std::string level = path.substr(0, pos);
    if (!level.empty() && level.back() != '/' && !IsDirectory(level) && !MakeDirectory(level, privateToUser))
      return false;
    if (pos == std::string::npos || pos + 1 >= path.size()) break;
  }
  return IsDirectory(path);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

Status RenameFile(const std::string& from, const std::string& to) {
  if (posix::Rename(from.c_str(), to.c_str()) != 0) return Status::Error(ErrorText("rename", from, errno));
  return Status::Ok();
}

bool ReadWholeFile(const std::string& path, char** data, size_t* size) {
  *data = nullptr;
  *size = 0;
  const posix::ReadableFile file = posix::OpenRegularFile(path);
  if (file.fd < 0) return false;
  const int fd = file.fd;
  const bool ok = ReadAll(
      static_cast<size_t>(file.st.st_size),
      [fd](char* buffer, size_t room) { return static_cast<long>(posix::Read(fd, buffer, room)); },
      data, size);
  ::close(fd);
  return ok;
}

FileReader::FileReader(const std::string& path) {
  const posix::ReadableFile file = posix::OpenRegularFile(path);
  if (file.fd < 0) return;
  m_handle = file.fd;
  m_size = static_cast<uint64_t>(file.st.st_size);
}

FileReader::~FileReader() {
  if (IsOpen()) ::close(static_cast<int>(m_handle));
}

long FileReader::Read(char* buffer, size_t room) {
  return IsOpen() ? static_cast<long>(posix::Read(static_cast<int>(m_handle), buffer, room)) : -1;
}

Status ResolveWriteTarget(const std::string& path, std::string& target, LinkPolicy links) {
  target = path;
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0)
    return errno == ENOENT ? Status::Ok() : Status::Error(ErrorText("stat", path, errno));
  if (S_ISREG(st.st_mode)) return Status::Ok();
  const std::string name = FileNameOf(path);
  if (!S_ISLNK(st.st_mode)) return Status::Error(name + " is " + posix::KindOf(st.st_mode) + ", not a regular file");
  if (links == LinkPolicy::ReplaceLink) return Status::Ok();
  const std::string end = FollowLinks(path);
  if (::lstat(end.c_str(), &st) != 0) return Status::Error(name + " is a symbolic link to a missing file (" + end + ")");
  if (!S_ISREG(st.st_mode))
    return Status::Error(name + " is a symbolic link to " + posix::KindOf(st.st_mode) + " (" + end +
                         "), not to a regular file");
  if (st.st_uid != ::geteuid())
    return Status::Error(name + " is a symbolic link to a file of another user (" + end + ")");
  target = end;
  return Status::Ok();
}

bool CreateNewFile(const std::string& path, bool privateToUser) {
  // O_EXCL with O_CREAT fails on anything that stands there, a symbolic link (dangling or not) included.
  const int fd = posix::Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                        privateToUser ? 0600 : 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

namespace {

// A fixed temporary name, used only under the file's lock: what a killed writer left there is removed, and the
// file is created anew without following a link.
int CreateFixedTemp(const std::string& temp, std::string* refusal) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = posix::Open(temp.c_str(), flags, 0600);
  if (fd >= 0 || errno != EEXIST) return fd;
  // What stands there: a regular file or an empty directory is taken over; anything else is left alone, and
  // the save says what it is.
  struct stat st{};
  if (::lstat(temp.c_str(), &st) != 0) return posix::Open(temp.c_str(), flags, 0600);  // gone meanwhile
  const bool directory = S_ISDIR(st.st_mode);
  if (directory ? ::rmdir(temp.c_str()) == 0 : S_ISREG(st.st_mode) && ::unlink(temp.c_str()) == 0)
    return posix::Open(temp.c_str(), flags, 0600);
  *refusal = FileNameOf(temp) + " is " + (directory ? "a directory that is not empty" : posix::KindOf(st.st_mode)) +
             ", standing where a save writes its temporary file; it holds no settings: move it away or remove it";
  return -1;
}

// The modification time of a file set to the precise current time: the file system's own stamp may come from
// a coarse clock, and saves under a lock tell one file from the next by it.
void StampPreciseTime(int fd) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  ::clock_gettime(CLOCK_REALTIME, &times[1]);
  ::futimens(fd, times);
}

Status WriteViaTemp(const std::string& path, const void* data, size_t size, bool privateToUser, bool fixedTemp,
                    LinkPolicy links) {
  std::string target;
  if (Status allowed = ResolveWriteTarget(path, target, links); !allowed.ok) return allowed;
  const size_t cut = target.rfind('/');
  const std::string dir = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
  const std::string base = cut == std::string::npos ? target : target.substr(cut + 1);

  // Permission bits: those of the file being replaced, else 0644 (0600 for private files) less the umask.
  mode_t mode;
  struct stat st{};
  const bool replaces = ::stat(target.c_str(), &st) == 0;
  if (replaces) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = (privateToUser ? 0600 : 0644) & ~mask;
  }

  std::string temp = dir + "." + base + (fixedTemp ? ".tmp" : ".tmp.XXXXXX");
  std::string refusal;
  const int fd = fixedTemp ? CreateFixedTemp(temp, &refusal) : posix::MakeTemp(temp);
  if (fd < 0) return Status::Error(refusal.empty() ? ErrorText("create", temp, errno) : refusal);

  auto fail = [&](const char* what, int e) {
    ::close(fd);
    ::unlink(temp.c_str());
    return Status::Error(ErrorText(what, temp, e));
  };
  if (!WriteAll(fd, data, size)) return fail("write", errno);
  // And its owner, where this process may give the file away (root saving a user's file, which the user could
  // otherwise no longer read); before the bits, which a change of owner may clear. Where it may not, the new file
  // is the process's own, as an editor's that saves by renaming is.
  if (replaces && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    [[maybe_unused]] const int given = ::fchown(fd, st.st_uid, st.st_gid);
  }
  if (::fchmod(fd, mode) != 0) return fail("chmod", errno);
  if (fixedTemp) StampPreciseTime(fd);
  if (g_sync.load(std::memory_order_relaxed) && posix::Fsync(fd) != 0) return fail("sync", errno);
  if (::close(fd) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    return Status::Error(ErrorText("close", temp, e));
  }
  if (posix::Rename(temp.c_str(), target.c_str()) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    return Status::Error(ErrorText("rename", temp, e));
  }
  SyncDirectory(dir);
  return Status::Ok();
}

}  // namespace

Status WriteFileAtomically(const std::string& path, const void* data, size_t size, bool privateToUser,
                           LinkPolicy links) {
  return WriteViaTemp(path, data, size, privateToUser, false, links);
}

Status ReplaceLockedFile(const std::string& path, const void* data, size_t size) {
  return WriteViaTemp(path, data, size, false, true, LinkPolicy::FollowToOwnFile);
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  // Closed however the listing ends (out of memory too).
  const std::unique_ptr<DIR, int (*)(DIR*)> open(::opendir(dir.c_str()), ::closedir);
  DIR* d = open.get();
  if (!d) return false;
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  while (struct dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    DirEntry entry;
    entry.name = e->d_name;
    if (e->d_type == DT_DIR || e->d_type == DT_REG) {
      entry.isDirectory = e->d_type == DT_DIR;
      entry.isFile = !entry.isDirectory;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st{};
      const bool found = ::stat((base + e->d_name).c_str(), &st) == 0;
      entry.isDirectory = found && S_ISDIR(st.st_mode);
      entry.isFile = found && S_ISREG(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

std::FILE* OpenStream(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

// ---- Files of the user's own folders ----

namespace posix {

const char* KindOf(mode_t mode) {
  if (S_ISREG(mode)) return "a regular file";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "a special file";
}

ReadableFile OpenRegularFile(const std::string& path) {
  ReadableFile file;
  // Looked at first, so that a device is never opened (an open can act on one); O_NONBLOCK keeps a FIFO
  // swapped in after this look from blocking the open, and fstat then refuses it.
  if (::stat(path.c_str(), &file.st) != 0) {
    file.err = errno;
    return file;
  }
  if (S_ISREG(file.st.st_mode)) {
    file.fd = Open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file.fd < 0) {
      file.err = errno;
      return file;
    }
    if (::fstat(file.fd, &file.st) != 0) {
      file.err = errno;
      ::close(file.fd);
      file.fd = -1;
      return file;
    }
    if (S_ISREG(file.st.st_mode)) return file;
    ::close(file.fd);
    file.fd = -1;
  }
  file.notRegular = true;
  file.kind = KindOf(file.st.st_mode);
  return file;
}

Privacy KeepPrivate(int fd, const struct stat& st) {
  if (st.st_uid != ::geteuid()) return Privacy::Refused;
  if ((st.st_mode & 077) == 0) return Privacy::Private;
  return ::fchmod(fd, 0600) == 0 ? Privacy::Repaired : Privacy::Exposed;
}

Status SetAside(const std::string& path, std::string& aside) {
  const std::string stamp = path + ".damaged-" + std::to_string(UnixTime());
  aside = stamp;
  struct stat st{};
  for (int n = 2; ::lstat(aside.c_str(), &st) == 0; ++n) aside = stamp + "-" + std::to_string(n);
  return RenameFile(path, aside);
}

}  // namespace posix

}  // namespace platform
