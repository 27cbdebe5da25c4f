// The state of the fault seam (platform/faults.h): what is armed and how many calls were seen.
#include <mutex>

#include "fault_seam.h"

namespace platform::faults {

std::atomic<bool> g_active{false};

namespace {

struct Armed {
  uint32_t seen = 0;   // calls since armed or counted
  uint32_t first = 0;  // the first call to fail (1-based); 0: none
  uint32_t times = 0;
  int err = 0;

  bool Take() {
    ++seen;
    return first != 0 && seen >= first && seen - first < times;
  }
};

std::mutex g_mutex;
Armed g_calls[kCallKinds];
Armed g_allocations;

}  // namespace

void Fail(Call call, int err, uint32_t nth, uint32_t times) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_calls[static_cast<int>(call)] = Armed{0, nth, times, err};
  g_active.store(true);
}

void FailAllocations(uint32_t nth, uint32_t times) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_allocations = Armed{0, nth, times, 0};
  g_active.store(true);
}

void Count() {
  std::lock_guard<std::mutex> guard(g_mutex);
  for (Armed& a : g_calls) a = Armed{};
  g_allocations = Armed{};
  g_active.store(true);
}

void Clear() {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_active.store(false);
  for (Armed& a : g_calls) a = Armed{};
  g_allocations = Armed{};
}

uint32_t Calls(Call call) {
  std::lock_guard<std::mutex> guard(g_mutex);
  return g_calls[static_cast<int>(call)].seen;
}

uint32_t Allocations() {
  std::lock_guard<std::mutex> guard(g_mutex);
  return g_allocations.seen;
}

int Strike(Call call) {
  std::lock_guard<std::mutex> guard(g_mutex);
  Armed& a = g_calls[static_cast<int>(call)];
  return a.Take() ? a.err : 0;
}

bool StrikeAllocation() {
  std::lock_guard<std::mutex> guard(g_mutex);
  return g_allocations.Take();
}

bool AllocationFails() { return AllocationInjected(); }

}  // namespace platform::faults
