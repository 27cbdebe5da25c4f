// The slow path of critSec: spin a little, then sleep until the holder leaves.
#include <doroutil/sync.h>

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
  while (m_state.exchange(2, std::memory_order_acquire) != 0) m_state.wait(2, std::memory_order_relaxed);
}
