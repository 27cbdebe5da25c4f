// UTF-8/UTF-16 conversions and error texts for the Windows platform layer.
#include "win32_util.h"

#include <windows.h>

#include <cerrno>

namespace platform::win32 {

std::wstring Widen(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

std::string ErrorDescription(uint32_t code) {
  const std::string number = "error " + std::to_string(code);
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string described;
  if (n > 0 && text) described = Narrow(std::wstring_view(text, n));
  if (text) ::LocalFree(text);
  while (!described.empty() && (described.back() == ' ' || described.back() == '\r' || described.back() == '\n'))
    described.pop_back();
  return described.empty() ? number : described + " (" + number + ")";
}

bool SetFaultError(int err) {
  if (err == EINTR) return false;
  const DWORD code = err == ENOSPC ? ERROR_DISK_FULL
                     : err == EACCES ? ERROR_ACCESS_DENIED
                     : err == EIO    ? ERROR_IO_DEVICE
                                     : ERROR_GEN_FAILURE;
  ::SetLastError(code);
  return true;
}

}  // namespace platform::win32
