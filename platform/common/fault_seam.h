// The fast path of the fault seam (platform/faults.h), for the platform's own calls: one relaxed load while
// nothing is armed. Internal to platform/.
#ifndef NAVCONFIG_PLATFORM_COMMON_FAULT_SEAM_H
#define NAVCONFIG_PLATFORM_COMMON_FAULT_SEAM_H

#include <platform/faults.h>

#include <atomic>

namespace platform::faults {

// Set while a fault is armed or calls are counted.
extern std::atomic<bool> g_active;
// The slow path: counts the call, and the error it is to fail with (0: none).
int Strike(Call call);
bool StrikeAllocation();

// The error (an errno value) that a call of the kind about to be made is to fail with; 0, as nearly always,
// to make the call.
inline int Injected(Call call) { return g_active.load(std::memory_order_relaxed) ? Strike(call) : 0; }
inline bool AllocationInjected() { return g_active.load(std::memory_order_relaxed) && StrikeAllocation(); }

}  // namespace platform::faults

#endif
