// File identities and the lock between writers of a file on POSIX systems.
#include <platform/file_lock.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "posix_files.h"

namespace platform {

namespace {

std::string NameOf(const std::string& path) {
  const size_t cut = path.rfind('/');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

Status LockError(const std::string& lockPath, const std::string& why) {
  return Status::Error("lock " + NameOf(lockPath) + ": " + why);
}

}  // namespace

FileIdentity IdentifyFile(const std::string& path) {
  FileIdentity id;
  struct stat st{};
  if (path.empty()) return id;
  if (::stat(path.c_str(), &st) != 0) {
    // Only a file that is not there is absent; one that cannot be examined is not taken for missing.
    if (errno != ENOENT && errno != ENOTDIR) id.kind = FileIdentity::Kind::Other;
    return id;
  }
  id.kind = S_ISREG(st.st_mode) ? FileIdentity::Kind::Regular : FileIdentity::Kind::Other;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}

std::string LockFileOf(const std::string& path) {
  const size_t cut = path.rfind('/');
  const size_t start = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(0, start) + "." + path.substr(start) + ".lock";
}

Status FileLock::Acquire(const std::string& lockPath, std::chrono::milliseconds timeout) {
  Release();
  // Opened for reading only, so that a lock file that another account created can be locked too.
  const int fd = posix::Open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return LockError(lockPath, std::strerror(errno));
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return LockError(lockPath, "not a regular file");
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (posix::Flock(fd, LOCK_EX | LOCK_NB) == 0) {
      m_handle = fd;
      return Status::Ok();
    }
    const int err = errno;
    if (err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS) {
      // A file system without locks (some network ones): writers go on as they did before there were locks.
      ::close(fd);
      return Status::Ok();
    }
    if (err != EWOULDBLOCK) {
      ::close(fd);
      return LockError(lockPath, std::strerror(err));
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      ::close(fd);
      return LockError(lockPath, "another process has held it for " + std::to_string(timeout.count()) + " ms");
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

void FileLock::Release() {
  if (m_handle == kNone) return;
  ::close(static_cast<int>(m_handle));  // closing releases the lock
  m_handle = kNone;
}

}  // namespace platform
