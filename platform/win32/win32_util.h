// Helpers of the Windows implementation of the platform layer: UTF-8 and UTF-16 conversions for the wide
// ("W") functions of the system, Windows error codes as short texts, and the fault seam's check.
//
// Internal to platform/win32; every function may be called from any thread.
#ifndef NAVCONFIG_PLATFORM_WIN32_UTIL_H
#define NAVCONFIG_PLATFORM_WIN32_UTIL_H

#include <cstdint>
#include <string>
#include <string_view>

#include "../common/fault_seam.h"

namespace platform::win32 {

// Sets the Windows error that stands for an errno value; false for EINTR, which has none.
bool SetFaultError(int err);
// Whether a test made the system call of this kind about to be made fail (platform/faults.h); the call's last
// error is then set as the call would set it, and the caller fails as the call failed.
inline bool Faulted(faults::Call call) {
  const int err = faults::Injected(call);
  return err != 0 && SetFaultError(err);
}

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring Widen(std::string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view text);
// The system's description of an error code followed by its number, such as
// "There is not enough space on the disk. (error 112)", or "error 112" when the system has no text for it.
std::string ErrorDescription(uint32_t code);

}  // namespace platform::win32

#endif
