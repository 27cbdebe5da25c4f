// String helpers of the utility library.
#include <doroutil/strutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Compares exactly n bytes of two texts with ASCII letters folded: eight bytes at a time, the last eight
// overlapping the ones before when n is not a multiple of eight. Both texts hold at least n bytes.
inline int CompareFolded(const unsigned char* a, const unsigned char* b, size_t n) {
  auto firstDifference = [](uint64_t wa, uint64_t wb) {
    const int shift = std::countr_zero(wa ^ wb) & ~7;
    return (static_cast<unsigned>(wa >> shift) & 0xFF) < (static_cast<unsigned>(wb >> shift) & 0xFF) ? -1 : 1;
  };
  if (std::endian::native == std::endian::little && n >= 8) {
    size_t i = 0;
    uint64_t wa, wb;
    for (; i + 8 <= n; i += 8) {
      std::memcpy(&wa, a + i, 8);
      std::memcpy(&wb, b + i, 8);
      wa = FoldAsciiWord(wa);
      wb = FoldAsciiWord(wb);
      if (wa != wb) return firstDifference(wa, wb);
    }
    if (i < n) {
      std::memcpy(&wa, a + n - 8, 8);
      std::memcpy(&wb, b + n - 8, 8);
      wa = FoldAsciiWord(wa);
      wb = FoldAsciiWord(wb);
      if (wa != wb) return firstDifference(wa, wb);
    }
    return 0;
  }
  for (size_t i = 0; i < n; ++i) {
    const unsigned ca = static_cast<unsigned char>(FoldAscii(static_cast<char>(a[i])));
    const unsigned cb = static_cast<unsigned char>(FoldAscii(static_cast<char>(b[i])));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

}  // namespace

int SpecialChar_stricmp(const char* a, const char* b) {
  // Up to and including the shorter text's terminator, which sorts before any byte of the longer one.
  const size_t n = std::min(std::strlen(a), std::strlen(b)) + 1;
  return CompareFolded(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b), n);
}

int SpecialChar_stricmpn(const char* a, size_t aLength, const char* b) {
  return SpecialChar_stricmpLengths(a, aLength, b, std::strlen(b));
}

int SpecialChar_stricmpLengths(const char* a, size_t aLength, const char* b, size_t bLength) {
  const int c = CompareFolded(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b),
                              std::min(aLength, bLength));
  if (c != 0) return c;
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

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
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
