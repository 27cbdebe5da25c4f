// File identities and the lock between writers of a file on POSIX systems.
#include <platform/file_lock.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "../common/lock_wait.h"
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

// The lock files this process has open. A lock belongs to the open file, which a child made by fork shares
// through its copy of the descriptor: a child that never writes would keep a lock that this process lets go, or
// that a waiting thread of this process gets after the fork, for as long as it lives. So a child closes its copies
// at once (close is safe to call there, whatever the other threads of this process were doing). A descriptor is
// opened and noted, and forgotten and closed, under a mutex that a fork takes first: the child never holds one
// that is not noted, nor closes one that this process had closed. Up to 64 are noted at once; more (a process
// with that many lock files open) stay open in a child, as they would without this.
class LockDescriptors {
 public:
  static int Open(const char* path, int flags, mode_t mode) {
    const bool registered = Registered();
    Hold hold;
    const int fd = posix::Open(path, flags, mode);
    if (fd >= 0 && registered) {
      for (int& slot : s_slots) {
        if (slot) continue;
        slot = fd + 1;
        break;
      }
    }
    return fd;
  }
  static void Close(int fd) {
    Hold hold;
    for (int& slot : s_slots) {
      if (slot != fd + 1) continue;
      slot = 0;
      break;
    }
    ::close(fd);
  }

 private:
  struct Hold {
    Hold() { pthread_mutex_lock(&s_mutex); }
    ~Hold() { pthread_mutex_unlock(&s_mutex); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
  };
  static bool Registered() {
    static const bool registered = pthread_atfork(Lock, Unlock, CloseInChild) == 0;
    return registered;
  }
  static void Lock() { pthread_mutex_lock(&s_mutex); }
  static void Unlock() { pthread_mutex_unlock(&s_mutex); }
  static void CloseInChild() {
    for (int& slot : s_slots) {
      if (!slot) continue;
      ::close(slot - 1);
      slot = 0;
    }
    pthread_mutex_unlock(&s_mutex);
  }
  static inline pthread_mutex_t s_mutex = PTHREAD_MUTEX_INITIALIZER;
  static inline int s_slots[64] = {};
};

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

namespace {

// flock on a lock file opened without following a link and without blocking, only when it is a regular file.
class FlockCalls final : public lockwait::LockCalls {
 public:
  // privateToUser: a new lock file gets 0600 (and is opened for writing too), else 0644 and reading only, so that
  // a lock file that another account created can be locked as well.
  explicit FlockCalls(bool privateToUser) : m_private(privateToUser) {}
  Status Open(const std::string& lockPath, intptr_t* handle) const override {
    const int flags = (m_private ? O_RDWR : O_RDONLY) | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = LockDescriptors::Open(lockPath.c_str(), flags, m_private ? 0600 : 0644);
    struct stat st{};
    if (fd < 0) {
      const int err = errno;
      if (::lstat(lockPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return Refused(lockPath, st.st_mode);
      return LockError(lockPath, std::strerror(err));
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      LockDescriptors::Close(fd);
      return Refused(lockPath, st.st_mode);
    }
    *handle = fd;
    return Status::Ok();
  }
  Try TryLock(intptr_t handle, std::string* reason) const override {
    if (posix::Flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0) return Try::Granted;
    const int err = errno;
    if (err == EWOULDBLOCK) return Try::Busy;
    if (err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS) return Try::Unsupported;
    *reason = std::strerror(err);
    return Try::Failed;
  }
  bool BlockingLock(intptr_t handle, std::string* reason) const override {
    if (posix::Flock(static_cast<int>(handle), LOCK_EX) == 0) return true;
    *reason = std::strerror(errno);
    return false;
  }
  void Close(intptr_t handle) const override { LockDescriptors::Close(static_cast<int>(handle)); }  // lets the lock go
  uint64_t ProcessId() const override { return static_cast<uint64_t>(::getpid()); }

 private:
  static Status Refused(const std::string& lockPath, mode_t mode) {
    if (S_ISLNK(mode)) return LockError(lockPath, "is a symbolic link, and links are refused there (remove it)");
    return LockError(lockPath, std::string("is ") + posix::KindOf(mode) + ", not a regular file (remove it)");
  }
  bool m_private;
};

const FlockCalls kSharedLockCalls(false);
const FlockCalls kPrivateLockCalls(true);

}  // namespace

Status FileLock::Acquire(const std::string& lockPath, std::chrono::milliseconds timeout) {
  return AcquireWith(lockPath, timeout, kSharedLockCalls);
}

namespace posix {

Status LockPrivateFile(const std::string& lockPath, std::chrono::milliseconds timeout, FileLock& lock) {
  return lock.AcquireWith(lockPath, timeout, kPrivateLockCalls);
}

}  // namespace posix

Status FileLock::AcquireWith(const std::string& lockPath, std::chrono::milliseconds timeout,
                             const lockwait::LockCalls& calls) {
  Release();
  return lockwait::Acquire(lockPath, timeout, calls, &m_handle);
}

void FileLock::Release() {
  if (m_handle == kNone) return;
  LockDescriptors::Close(static_cast<int>(m_handle));  // closing releases the lock
  m_handle = kNone;
}

}  // namespace platform
