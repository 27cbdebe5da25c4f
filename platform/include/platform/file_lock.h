// Files that several processes write: what identifies the file now on disk, an exclusive lock that every
// writer of the file honours, and the replacement of the file by the holder of that lock.
//
// A writer takes the lock of a file (a lock file beside it, ".<name>.lock"), looks whether the file still
// is the one it last read or wrote (IdentifyFile), merges what changed, and replaces the file through one
// fixed temporary name (ReplaceLockedFile). The operating system releases the lock when its holder ends,
// however it ends, so a killed writer never blocks the next one; a child made by fork closes its copies of this
// process's lock files at once (up to 64 open at once), so that it holds none of their locks.
// Every function may be called from any thread; a FileLock object belongs to one thread at a time.
#ifndef NAVCONFIG_PLATFORM_FILE_LOCK_H
#define NAVCONFIG_PLATFORM_FILE_LOCK_H

#include <platform/os.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// What tells one version of a file from another: on POSIX the device, inode, size and modification time
// (nanoseconds); on Windows the volume serial number, file index, size and last-write time (100 ns units).
// ReplaceLockedFile gives every file it writes the precise current time, so two saves of the same size in the
// same clock tick, even on a reused inode, still differ.
struct FileIdentity {
  enum class Kind { Absent, Regular, Other };
  Kind kind = Kind::Absent;  // Other: something that is not a regular file (a folder, a device, a pipe)
  uint64_t device = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  int64_t modified = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at path, following symbolic links as a write to path would; the file is never
// opened on POSIX, and on Windows it is opened without any access to its contents, so nothing odd at the path
// (a pipe, a device) can block the caller. Absent only when nothing is there; Other also when it cannot be
// examined.
FileIdentity IdentifyFile(const std::string& path);

// The lock file of a file: ".<name>.lock" in the same folder.
std::string LockFileOf(const std::string& path);

namespace lockwait {
class LockCalls;
}

// An exclusive lock between processes on a lock file, held from a successful Acquire until Release or the
// object's end. POSIX: flock on the lock file (opened without following a link, without blocking, and only
// when it is a regular file), the lock that flock(1) takes too, so that a script can hold it while it puts a
// file in place; Windows: LockFileEx on its first byte.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Creates the lock file when missing and takes its lock. A lock held elsewhere is waited for in the system's
  // own blocking call, so that the lock is taken as soon as its holder lets go, in about the order in which
  // the waiters asked; the wait ends after timeout, and the failure then says how long this call waited. Also
  // fails when the lock file cannot be opened or is not a regular file (a link, a directory: the reason says
  // which); the reason names the lock file. On a file system that has no locks at all it succeeds without
  // holding one (Held() stays false), so that writers go on as they would alone. A wait that ran out leaves a
  // thread of this process in the system's queue for the lock, which lets the lock go as soon as it gets it,
  // unless the next Acquire of the same lock file has taken its place; the library must not be unloaded while
  // one does.
  Status Acquire(const std::string& lockPath, std::chrono::milliseconds timeout);
  // The same with the platform's own calls for a kind of lock file (the registry store's, which is private).
  Status AcquireWith(const std::string& lockPath, std::chrono::milliseconds timeout, const lockwait::LockCalls& calls);
  void Release();
  bool Held() const { return m_handle != kNone; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t m_handle = kNone;  // a file descriptor or a HANDLE
};

// WriteFileAtomically for a file that is only written under its FileLock: the temporary file has one fixed
// name, ".<name>.tmp" beside the file that is replaced (a stale one that a killed writer left is removed
// first; it is created anew and exclusively, never through a link), so killed writers leave at most that one
// file, which the next save takes over. The new file gets the precise current time as its modification time.
Status ReplaceLockedFile(const std::string& path, const void* data, size_t size);

}  // namespace platform

#endif
