// The slow path of critSec: spin a little, then sleep until the holder leaves.
#include <doroutil/sync.h>

#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NAVCONFIG_CPU_RELAX() _mm_pause()
#else
#define NAVCONFIG_CPU_RELAX() ((void)0)
#endif

void critSec::EnterSlow() {
  // A short section held by another thread is usually left within a few hundred cycles.
  for (int spin = 0; spin < 200; ++spin) {
    NAVCONFIG_CPU_RELAX();
    int expected = 0;
    if (m_state.load(std::memory_order_relaxed) == 0 &&
        m_state.compare_exchange_weak(expected, 1, std::memory_order_acquire))
      return;
  }
  // Mark the lock as having sleepers and wait until it is handed back.
  while (m_state.exchange(2, std::memory_order_acquire) != 0) sync_wait::WaitWhile(m_state, 2);
}

int sharedCritSec::ThreadSlot() {
  static std::atomic<int> next{0};
  thread_local const int slot = next.fetch_add(1, std::memory_order_relaxed) % kSlots;
  return slot;
}

bool sharedCritSec::ReadersGone() const {
  for (const Slot& s : m_slots)
    if (s.readers.load(std::memory_order_seq_cst) != 0) return false;
  return true;
}

void sharedCritSec::EnterShared() NO_THREAD_SAFETY_ANALYSIS {
  Slot& mine = m_slots[ThreadSlot()];
  for (;;) {
    // Announce the read, then look for a writer; a writer announces itself, then looks at the slots. With
    // both in one total order, at least one of the two sees the other.
    mine.readers.fetch_add(1, std::memory_order_seq_cst);
    if (m_writing.load(std::memory_order_seq_cst) == 0) return;
    mine.readers.fetch_sub(1, std::memory_order_release);
    sync_wait::WaitWhile(m_writing, 1);
  }
}

void sharedCritSec::ExitShared() NO_THREAD_SAFETY_ANALYSIS { m_slots[ThreadSlot()].readers.fetch_sub(1, std::memory_order_release); }

void sharedCritSec::Enter() NO_THREAD_SAFETY_ANALYSIS {
  m_writers.Enter();
  m_writing.store(1, std::memory_order_seq_cst);
  // Reads are short: spin, then give the processor away.
  for (int spin = 0; !ReadersGone(); ++spin) {
    if (spin < 100) NAVCONFIG_CPU_RELAX();
    else std::this_thread::yield();
  }
}

bool sharedCritSec::TryLock() NO_THREAD_SAFETY_ANALYSIS {
  if (!m_writers.TryLock()) return false;
  m_writing.store(1, std::memory_order_seq_cst);
  if (ReadersGone()) return true;
  Exit();
  return false;
}

void sharedCritSec::Exit() NO_THREAD_SAFETY_ANALYSIS {
  m_writing.store(0, std::memory_order_release);
  sync_wait::WakeAll(m_writing);
  m_writers.Exit();
}
