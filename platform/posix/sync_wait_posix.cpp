// Address waits on Linux: std::atomic's wait and notify, which the C++ library builds on the kernel's futex.
#include <doroutil/sync.h>

namespace sync_wait {

void WaitWhile(std::atomic<int>& word, int value) { word.wait(value, std::memory_order_relaxed); }
void WakeOne(std::atomic<int>& word) { word.notify_one(); }
void WakeAll(std::atomic<int>& word) { word.notify_all(); }

}  // namespace sync_wait
