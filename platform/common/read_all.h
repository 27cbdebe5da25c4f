// Reading a whole file through the platform's own read call, shared by the platform implementations.
#ifndef NAVCONFIG_PLATFORM_COMMON_READ_ALL_H
#define NAVCONFIG_PLATFORM_COMMON_READ_ALL_H

#include <doroutil/memory.h>

#include <cstddef>

namespace platform {

// Calls read(buffer, room) until it gives 0 (the end) or less (a failure), into a buffer from Mem_Malloc (which
// free() releases too) that starts with room for sizeHint bytes and doubles when the file turns out longer. The
// text is NUL-terminated (size excludes the NUL). False on a failure, with nothing allocated.
template <typename Read>
bool ReadAll(size_t sizeHint, Read read, char** data, size_t* size) {
  // Room for the NUL and for one byte more, so that the read that finds the end of a file of the size
  // expected has room to ask for and the buffer is not grown (and copied) for it.
  size_t cap = sizeHint + 2;
  char* buf = static_cast<char*>(Mem_Malloc(cap));
  size_t len = 0;
  while (buf) {
    if (len + 1 >= cap) {
      cap *= 2;
      char* bigger = static_cast<char*>(Mem_Realloc(buf, cap));
      if (!bigger) {
        Mem_Free(buf);
        return false;
      }
      buf = bigger;
    }
    const long n = read(buf + len, cap - 1 - len);
    if (n < 0) {
      Mem_Free(buf);
      return false;
    }
    if (n == 0) break;
    len += static_cast<size_t>(n);
  }
  if (!buf) return false;
  buf[len] = '\0';
  *data = buf;
  *size = len;
  return true;
}

}  // namespace platform

#endif
