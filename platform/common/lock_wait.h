// A wait for a file lock in the system's own blocking call, bounded in time, for the lock files of the layer
// files and of the registry store (platform/file_lock.h). Internal to platform/.
//
// A lock that is free is taken at once (with a timeout of 0, one that is held fails at once, and no thread is started
// for it). One that is held is waited for by a thread of its own that makes the blocking call (flock, LockFileEx),
// while the caller waits on a condition variable until the thread has the lock or the time is up: the system wakes the
// thread as soon as the holder lets go, in about the order the waiters asked, with no polling and no signal handler. A
// wait that runs out of time leaves its thread to the lock file; when that thread gets the lock and no one is waiting
// for it any more, it lets it go at once. The next caller that wants the same lock file takes that thread's place in
// the queue instead of starting another, so a process never has more than one such thread per lock file, however often
// its waits run out.
#ifndef NAVCONFIG_PLATFORM_COMMON_LOCK_WAIT_H
#define NAVCONFIG_PLATFORM_COMMON_LOCK_WAIT_H

#include <platform/os.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace platform::lockwait {

constexpr intptr_t kNoHandle = -1;

// What the system offers for one kind of lock handle.
class LockCalls {
 public:
  enum class Try { Granted, Busy, Unsupported, Failed };
  virtual ~LockCalls() = default;
  // Opens the lock file (refusing what may not stand there), or fails with the reason.
  virtual Status Open(const std::string& lockPath, intptr_t* handle) const = 0;
  // Takes the lock without waiting. Unsupported: the file system has no locks at all. Failed: *reason says why.
  virtual Try TryLock(intptr_t handle, std::string* reason) const = 0;
  // Takes the lock, waiting as long as it takes; false with *reason on a failure.
  virtual bool BlockingLock(intptr_t handle, std::string* reason) const = 0;
  // Closes the handle, which lets go of the lock it holds.
  virtual void Close(intptr_t handle) const = 0;
  // This process: a child made by fork has none of its parent's waiting threads.
  virtual uint64_t ProcessId() const = 0;
};

// The lock of lockPath within timeout: *handle holds it (kNoHandle when the file system has no locks, which counts
// as held). The failure after a wait says how long this call waited. calls lives as long as the process (a
// waiting thread may outlive the call).
Status Acquire(const std::string& lockPath, std::chrono::milliseconds timeout, const LockCalls& calls,
               intptr_t* handle);

}  // namespace platform::lockwait

#endif
