// Opening the files of the user's own folders on POSIX systems so that nothing put in their place can block
// the process or be taken for them: the layer files, the registry store, the key of the stored passwords and
// their lock files; and the system calls on files through the fault seam. Used by the POSIX implementations
// only.
#ifndef NAVCONFIG_PLATFORM_POSIX_POSIX_FILES_H
#define NAVCONFIG_PLATFORM_POSIX_POSIX_FILES_H

#include <fcntl.h>
#include <platform/file_lock.h>
#include <platform/os.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "../common/fault_seam.h"

namespace platform::posix {

// The system calls on files, through the fault seam (platform/faults.h): each is the call itself unless a test
// armed a fault for its kind, and then fails as the call would, with the errno chosen. A call interrupted by a
// signal (EINTR) is made again, here for every caller.
template <typename Call>
auto Retried(faults::Call kind, Call call) {
  for (;;) {
    const int err = faults::Injected(kind);
    if (err) errno = err;
    const auto result = err ? decltype(call())(-1) : call();
    if (result >= 0 || errno != EINTR) return result;
  }
}
inline int Open(const char* path, int flags, mode_t mode = 0) {
  return Retried(faults::Call::Open, [&] { return ::open(path, flags, mode); });
}
// mkstemp on a copy of the pattern each time, since a failed call may have changed it.
inline int MakeTemp(std::string& pattern) {
  const std::string original = pattern;
  return Retried(faults::Call::Open, [&] {
    pattern = original;
    return ::mkstemp(pattern.data());
  });
}
inline ssize_t Read(int fd, void* buffer, size_t size) {
  return Retried(faults::Call::Read, [&] { return ::read(fd, buffer, size); });
}
inline ssize_t Write(int fd, const void* data, size_t size) {
  return Retried(faults::Call::Write, [&] { return ::write(fd, data, size); });
}
inline int Fsync(int fd) {
  return Retried(faults::Call::Sync, [&] { return ::fsync(fd); });
}
inline int Rename(const char* from, const char* to) {
  return Retried(faults::Call::Rename, [&] { return ::rename(from, to); });
}
inline int MakeDir(const char* path, mode_t mode) {
  return Retried(faults::Call::MakeDir, [&] { return ::mkdir(path, mode); });
}
inline int Flock(int fd, int operation) {
  return Retried(faults::Call::Lock, [&] { return ::flock(fd, operation); });
}

// A file opened for reading, or why not.
struct ReadableFile {
  int fd = -1;              // -1 when not opened
  int err = 0;              // errno of the failure (ENOENT: nothing there); 0 when notRegular
  bool notRegular = false;  // something else stands there: kind says what
  const char* kind = "";    // "a FIFO", "a directory", ... for the reason of a refusal
  struct stat st {};        // of the open file
};

// Opens path for reading without ever blocking, and only a regular file (a symbolic link is followed to
// one): anything else is refused before it is opened, and again after the open in case it was swapped in
// meanwhile. The caller closes fd.
ReadableFile OpenRegularFile(const std::string& path);

// "a FIFO", "a directory", "a character device", ... for the file type bits of a mode.
const char* KindOf(mode_t mode);

// For files that hold the user's own data or secrets (the key, the registry store): a file of another user
// is refused (Refused); one that others could read or write is made 0600 (Repaired), so that it is the
// user's alone from now on, or is left so when its mode cannot be changed (Exposed: a read-only file system).
enum class Privacy { Private, Repaired, Exposed, Refused };
Privacy KeepPrivate(int fd, const struct stat& st);

// Takes the lock of a private lock file (created 0600) as FileLock::Acquire takes a layer file's: never through a
// symbolic link, only a regular file, waiting in flock for at most timeout.
Status LockPrivateFile(const std::string& lockPath, std::chrono::milliseconds timeout, FileLock& lock);
// How long the registry store and the key file wait for their locks.
inline constexpr std::chrono::milliseconds kPrivateLockTimeout{10000};

// Moves a damaged file aside as <path>.damaged-<unix time>, or -<time>-2, -3, ... when that name is taken, so
// that copies set aside within one second never replace one another; aside receives the name used. For files
// under their lock: two callers must not set the same file aside at once.
Status SetAside(const std::string& path, std::string& aside);

// "<$variable>/navconfig/" for an XDG base directory variable (XDG_CONFIG_HOME, XDG_DATA_HOME) that names an
// absolute folder, else "<home>/<belowHome>/navconfig/" with the home from HOME or else the user's account.
std::string XdgFolder(const char* variable, const char* belowHome);
// The user's own folder when NAVCONFIG_HOME does not name one, as the build chose it (folders_*.cpp).
std::string DefaultUserHome();

}  // namespace platform::posix

#endif
