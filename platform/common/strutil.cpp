// String helpers of the utility library.
#include <doroutil/strutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

int CompareBytes(const unsigned char* a, const unsigned char* b, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    unsigned ca = static_cast<unsigned char>(FoldAscii(static_cast<char>(a[i])));
    unsigned cb = static_cast<unsigned char>(FoldAscii(static_cast<char>(b[i])));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

}  // namespace

int SpecialChar_stricmp(const char* a, const char* b) {
  auto pa = reinterpret_cast<const unsigned char*>(a);
  auto pb = reinterpret_cast<const unsigned char*>(b);
  // Eight bytes at a time, up to and including the shorter text's terminator (never past either text).
  const size_t n = std::min(std::strlen(a), std::strlen(b)) + 1;
  size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      uint64_t wa, wb;
      std::memcpy(&wa, pa + i, 8);
      std::memcpy(&wb, pb + i, 8);
      wa = FoldAsciiWord(wa);
      wb = FoldAsciiWord(wb);
      if (wa != wb) {
        const int shift = std::countr_zero(wa ^ wb) & ~7;
        const unsigned ca = static_cast<unsigned>(wa >> shift) & 0xFF;
        const unsigned cb = static_cast<unsigned>(wb >> shift) & 0xFF;
        if (ca == 0 && cb == 0) return 0;
        return ca < cb ? -1 : 1;
      }
    }
  }
  return CompareBytes(pa, pb, i, n);
}

bool EqualsIgnoringCase(const char* a, const char* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t wa, wb;
    std::memcpy(&wa, a + i, 8);
    std::memcpy(&wb, b + i, 8);
    if (FoldAsciiWord(wa) != FoldAsciiWord(wb)) return false;
  }
  for (; i < n; ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

int SpecialChar_stricmpn(const char* a, size_t aLength, const char* b) {
  auto pa = reinterpret_cast<const unsigned char*>(a);
  auto pb = reinterpret_cast<const unsigned char*>(b);
  const size_t bLength = std::strlen(b);
  const size_t n = std::min(aLength, bLength);
  size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      uint64_t wa, wb;
      std::memcpy(&wa, pa + i, 8);
      std::memcpy(&wb, pb + i, 8);
      wa = FoldAsciiWord(wa);
      wb = FoldAsciiWord(wb);
      if (wa != wb) {
        const int shift = std::countr_zero(wa ^ wb) & ~7;
        return (static_cast<unsigned>(wa >> shift) & 0xFF) < (static_cast<unsigned>(wb >> shift) & 0xFF) ? -1 : 1;
      }
    }
  }
  for (; i < n; ++i) {
    unsigned ca = static_cast<unsigned char>(FoldAscii(static_cast<char>(pa[i])));
    unsigned cb = static_cast<unsigned char>(FoldAscii(static_cast<char>(pb[i])));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  // Equal so far: the shorter text ends first, and its terminator sorts before any byte.
  return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

int SpecialChar_strnicmp(const char* a, const char* b, size_t n) {
  auto pa = reinterpret_cast<const unsigned char*>(a);
  auto pb = reinterpret_cast<const unsigned char*>(b);
  for (size_t i = 0; i < n; ++i) {
    unsigned ca = static_cast<unsigned char>(FoldAscii(static_cast<char>(pa[i])));
    unsigned cb = static_cast<unsigned char>(FoldAscii(static_cast<char>(pb[i])));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

const char* custom_stristr(const char* haystack, const char* needle) {
  if (!haystack || !needle) return nullptr;
  size_t n = std::strlen(needle);
  if (n == 0) return haystack;
  for (const char* p = haystack; *p; ++p)
    if (SpecialChar_strnicmp(p, needle, n) == 0) return p;
  return nullptr;
}

bool TokenizeStringToLongs(const char* text, const char* separators, TVector<long>& numbers) {
  bool any = false;
  if (!text) return false;
  if (!separators) separators = "";
  const char* p = text;
  while (*p) {
    size_t skip = std::strspn(p, separators);
    p += skip;
    if (!*p) break;
    size_t len = std::strcspn(p, separators);
    OROustring token(p, len);
    token.strip();
    bool negative = token.length() > 1 && token[0] == '-';
    OROustring digits = negative ? token.substr(1) : token;
    if (digits.IsNumeric()) {
      numbers.Add(token.to_long(10));
      any = true;
    }
    p += len;
  }
  return any;
}

int CompareByLong(const void* a, const void* b) {
  long x = *static_cast<const long*>(a);
  long y = *static_cast<const long*>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

void CopyTruncated(char* buffer, long size, const char* text) {
  if (!buffer || size <= 0) return;
  size_t n = text ? std::strlen(text) : 0;
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  if (n) std::memcpy(buffer, text, n);
  buffer[n] = '\0';
}
