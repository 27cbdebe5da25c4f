// Bounded waits for file locks in the system's blocking call (lock_wait.h).
#include "lock_wait.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace platform::lockwait {

namespace {

using Clock = std::chrono::steady_clock;

// A thread's blocking call for one lock file, and the callers waiting for its outcome.
struct Pending {
  enum class State { Waiting, Granted, Failed };
  intptr_t handle = kNoHandle;  // the thread's alone while Waiting; then whoever takes it, under the mutex
  State state = State::Waiting;
  std::string reason;
  int waiters = 0;
  uint64_t process = 0;
  std::condition_variable done;
};

// The calls in progress by lock file. Made once and never destroyed: a waiting thread may end after the
// process's static objects are gone.
struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Pending>> pending;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

std::string NameOf(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
  return path.substr(cut);
}

Status LockError(const std::string& lockPath, const std::string& why) {
  return Status::Error("lock " + NameOf(lockPath) + ": " + why);
}

void Forget(Registry& registry, const std::string& lockPath, const Pending* wait) {
  auto it = registry.pending.find(lockPath);
  if (it != registry.pending.end() && it->second.get() == wait) registry.pending.erase(it);
}

void Block(std::shared_ptr<Pending> wait, std::string lockPath, const LockCalls* calls) {
  std::string reason;
  const bool locked = calls->BlockingLock(wait->handle, &reason);
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  wait->state = locked ? Pending::State::Granted : Pending::State::Failed;
  wait->reason = reason;
  // Nobody waits for the lock any more (their time ran out): it goes at once.
  if (!locked || wait->waiters == 0) {
    calls->Close(wait->handle);
    wait->handle = kNoHandle;
    Forget(registry, lockPath, wait.get());
  }
  wait->done.notify_all();
}

}  // namespace

Status Acquire(const std::string& lockPath, std::chrono::milliseconds timeout, const LockCalls& calls,
               intptr_t* handle) {
  *handle = kNoHandle;
  const auto start = Clock::now();
  const auto deadline = start + timeout;
  Registry& registry = TheRegistry();
  std::unique_lock<std::mutex> guard(registry.mutex);
  for (;;) {
    std::shared_ptr<Pending> wait;
    auto it = registry.pending.find(lockPath);
    if (it != registry.pending.end() && it->second->process != calls.ProcessId()) {
      registry.pending.erase(it);  // a thread of the process this one was forked from
      it = registry.pending.end();
    }
    if (it != registry.pending.end()) {
      // A thread of this process already waits in the system's queue for this lock: its place is taken over.
      wait = it->second;
    } else {
      guard.unlock();
      intptr_t opened = kNoHandle;
      if (Status status = calls.Open(lockPath, &opened); !status.ok) return status;
      std::string reason;
      switch (calls.TryLock(opened, &reason)) {
        case LockCalls::Try::Granted:
          *handle = opened;
          return Status::Ok();
        case LockCalls::Try::Unsupported:
          // A file system without locks (some network ones): writers go on as they did before there were locks.
          calls.Close(opened);
          return Status::Ok();
        case LockCalls::Try::Failed:
          calls.Close(opened);
          return LockError(lockPath, reason);
        case LockCalls::Try::Busy:
          if (timeout.count() > 0) break;
          calls.Close(opened);
          return LockError(lockPath, "held by another process");
      }
      guard.lock();
      if (registry.pending.count(lockPath)) {
        // Another thread of this process started a wait meanwhile: join it.
        guard.unlock();
        calls.Close(opened);
        guard.lock();
        continue;
      }
      wait = std::make_shared<Pending>();
      wait->handle = opened;
      wait->process = calls.ProcessId();
      try {
        std::thread(Block, wait, lockPath, &calls).detach();
      } catch (const std::system_error& e) {
        guard.unlock();
        calls.Close(opened);
        return LockError(lockPath, std::string("held by another process, and no thread can wait for it: ") + e.what());
      }
      registry.pending[lockPath] = wait;
    }
    ++wait->waiters;
    const bool ended = wait->done.wait_until(guard, deadline, [&] { return wait->state != Pending::State::Waiting; });
    --wait->waiters;
    if (!ended) {
      const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
      return LockError(lockPath, "held by another process; waited " + std::to_string(waited.count()) + " ms for it");
    }
    if (wait->state == Pending::State::Failed) return LockError(lockPath, wait->reason);
    if (wait->handle != kNoHandle) {
      *handle = wait->handle;
      wait->handle = kNoHandle;
      Forget(registry, lockPath, wait.get());
      return Status::Ok();
    }
    // Another waiter of this process took it first: ask again.
  }
}

}  // namespace platform::lockwait
