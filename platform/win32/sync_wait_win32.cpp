// Address waits on Windows: WaitOnAddress and WakeByAddress, which compare the word and sleep as one step.
#include <doroutil/sync.h>
#include <windows.h>

namespace sync_wait {

static_assert(sizeof(std::atomic<int>) == sizeof(int), "an atomic int is waited on as the int it holds");

void WaitWhile(std::atomic<int>& word, int value) { WaitOnAddress(&word, &value, sizeof value, INFINITE); }
void WakeOne(std::atomic<int>& word) { WakeByAddressSingle(&word); }
void WakeAll(std::atomic<int>& word) { WakeByAddressAll(&word); }

}  // namespace sync_wait
