// Locks of the utility library: critSec and mutex, and the TCompactSync base that holds one.
//
// The locks' own code is left out of the compiler's lock analysis (thread_annotations.h): it is what the
// analysis takes on trust.
//
// critSec is a small lock that spins briefly before it sleeps, so that a short critical section taken by
// two threads in turn does not go through the kernel each time. It is not re-entrant.
#ifndef NAVCONFIG_DOROUTIL_SYNC_H
#define NAVCONFIG_DOROUTIL_SYNC_H

#include <platform/thread_annotations.h>

#include <atomic>

// Sleeping until an atomic word changes, and waking its sleepers. A standard library that builds std::atomic's wait
// on a condition variable (rather than on the kernel's futex) can lose a wakeup between a sleeper's look at the word
// and its sleep, and that sleeper would sleep on: each system's own address waits are used instead.
namespace sync_wait {
// Sleeps while word holds value (perhaps waking early: callers look again).
void WaitWhile(std::atomic<int>& word, int value);
void WakeOne(std::atomic<int>& word);
void WakeAll(std::atomic<int>& word);
}  // namespace sync_wait

class CAPABILITY("mutex") critSec {
 public:
  critSec() = default;
  critSec(const critSec&) = delete;
  critSec& operator=(const critSec&) = delete;

  void Enter() ACQUIRE() NO_THREAD_SAFETY_ANALYSIS {
    int expected = 0;
    if (m_state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) return;
    EnterSlow();
  }
  bool TryLock() TRY_ACQUIRE(true) NO_THREAD_SAFETY_ANALYSIS {
    int expected = 0;
    return m_state.compare_exchange_strong(expected, 1, std::memory_order_acquire);
  }
  void Exit() RELEASE() NO_THREAD_SAFETY_ANALYSIS {
    if (m_state.exchange(0, std::memory_order_release) == 2) sync_wait::WakeOne(m_state);
  }

 private:
  void EnterSlow();
  // 0 free, 1 held, 2 held with sleepers.
  std::atomic<int> m_state{0};
};

using mutex = critSec;

// Holds a critSec for the lifetime of a scope.
class SCOPED_CAPABILITY CritSecHolder {
 public:
  explicit CritSecHolder(critSec& s) ACQUIRE(s) : m_s(s) { m_s.Enter(); }
  ~CritSecHolder() RELEASE() { m_s.Exit(); }
  CritSecHolder(const CritSecHolder&) = delete;
  CritSecHolder& operator=(const CritSecHolder&) = delete;

 private:
  critSec& m_s;
};

// A lock that readers may hold together and a writer alone. Each thread announces its reads in a slot of
// its own (a cache line of its own), so that readers on different cores do not write the same memory; a
// writer shuts new readers out and waits until every slot is empty. Enter/TryLock/Exit take it for writing,
// EnterShared and ExitShared for reading. Not re-entrant, and a reader must not ask to write while it reads.
class CAPABILITY("mutex") sharedCritSec {
 public:
  sharedCritSec() = default;
  sharedCritSec(const sharedCritSec&) = delete;
  sharedCritSec& operator=(const sharedCritSec&) = delete;

  void Enter() ACQUIRE();
  bool TryLock() TRY_ACQUIRE(true);
  void Exit() RELEASE();
  void EnterShared() ACQUIRE_SHARED();
  void ExitShared() RELEASE_SHARED();

 private:
  static constexpr int kSlots = 16;
  struct alignas(64) Slot {
    std::atomic<int> readers{0};
  };
  static int ThreadSlot();
  bool ReadersGone() const;

  critSec m_writers;
  alignas(64) std::atomic<int> m_writing{0};
  Slot m_slots[kSlots];
};

// Base of classes that can be locked from outside.
class CBaseSync {
 public:
  virtual ~CBaseSync() = default;
  virtual void Lock() = 0;
  virtual bool TryLock() = 0;
  virtual void Unlock() = 0;
};

template <typename L>
class TCompactSync : public CBaseSync {
 public:
  void Lock() override ACQUIRE(m_sync) { m_sync.Enter(); }
  bool TryLock() override TRY_ACQUIRE(true, m_sync) { return m_sync.TryLock(); }
  void Unlock() override RELEASE(m_sync) { m_sync.Exit(); }

 protected:
  L m_sync;
};

// Holds a lock for the lifetime of a scope.
template <typename S>
class ScopedLock {
 public:
  explicit ScopedLock(S& s) : m_s(s) { m_s.Lock(); }
  ~ScopedLock() { m_s.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  S& m_s;
};

#endif
