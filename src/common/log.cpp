#include "common/log.h"

#include <doroutil/logmgr.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace navconfig {

void LogMessage(int category, int level, const char* source, int line, const char* format, ...) {
  CLogMgr* log = GetLogMgr();
  if (!log) return;
  va_list args;
  va_start(args, format);
  char small[512];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  std::string text;
  if (n >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<size_t>(n));
    std::vsnprintf(text.data(), static_cast<size_t>(n) + 1, format, args);
  } else {
    text = n > 0 ? small : "";
  }
  va_end(args);
  log->LockTempBuffer();
  const char* message = log->MakeString("%s", text.c_str());
  log->Publish(category, level, source, line, message, GetThreadID(), true);
  log->UnlockTempBuffer();
}

}  // namespace navconfig
