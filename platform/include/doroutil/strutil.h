// String helpers of the utility library that the configuration code calls by name.
#ifndef NAVCONFIG_DOROUTIL_STRUTIL_H
#define NAVCONFIG_DOROUTIL_STRUTIL_H

#include <doroutil/orostring.h>
#include <doroutil/tvector.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// ASCII letters fold to lower case; other bytes compare as unsigned values. <0, 0 or >0.
int SpecialChar_stricmp(const char* a, const char* b);
int SpecialChar_strnicmp(const char* a, const char* b, size_t n);
// SpecialChar_stricmp of a text given by its length (holding no NUL byte) and a terminated text.
int SpecialChar_stricmpn(const char* a, size_t aLength, const char* b);
// The same with both lengths given.
int SpecialChar_stricmpLengths(const char* a, size_t aLength, const char* b, size_t bLength);
// First place of needle in haystack ignoring ASCII case, or null.
const char* custom_stristr(const char* haystack, const char* needle);
inline bool custom_isdigit(int c) { return c >= '0' && c <= '9'; }
inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
// FoldAscii on the eight bytes of a word at once.
inline uint64_t FoldAsciiWord(uint64_t w) {
  constexpr uint64_t ones = 0x0101010101010101ULL;
  constexpr uint64_t highs = 0x8080808080808080ULL;
  const uint64_t low7 = w & ~highs;
  const uint64_t atLeastA = low7 + (0x80 - 'A') * ones;
  const uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * ones;
  const uint64_t upper = atLeastA & ~aboveZ & ~w & highs;
  return w | (upper >> 2);
}
// Whether the first n bytes of two texts agree, compared eight bytes at a time by same(wordOfA, wordOfB) (both
// texts hold at least n bytes). A last piece shorter than a word overlaps the word before it; texts shorter
// than a word are compared as words padded with zero bytes, so same must hold for equal padding.
template <typename Same>
inline bool EqualWords(const char* a, const char* b, size_t n, Same same) {
  uint64_t wa = 0, wb = 0;
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&wa, a + i, 8);
      std::memcpy(&wb, b + i, 8);
      if (!same(wa, wb)) return false;
    }
    std::memcpy(&wa, a + n - 8, 8);
    std::memcpy(&wb, b + n - 8, 8);
    return same(wa, wb);
  }
  if (n >= 4) {
    uint32_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 4);
    std::memcpy(&a1, a + n - 4, 4);
    std::memcpy(&b0, b, 4);
    std::memcpy(&b1, b + n - 4, 4);
    return same(uint64_t{a0} << 32 | a1, uint64_t{b0} << 32 | b1);
  }
  std::memcpy(&wa, a, n);
  std::memcpy(&wb, b, n);
  return same(wa, wb);
}
// Whether the first n bytes of two texts are equal without regard to ASCII case (both hold at least n bytes).
// Inline, a word at a time: lookups compare names with it, and names usually agree byte for byte, so that a
// word is folded only where the two differ.
inline bool EqualsIgnoringCase(const char* a, const char* b, size_t n) {
  // Equal, or apart only in bit 5 (0x20) of bytes that are letters in either case.
  return EqualWords(a, b, n, [](uint64_t wa, uint64_t wb) {
    const uint64_t apart = wa ^ wb;
    if (apart == 0) return true;
    constexpr uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    if (apart & ~(0x20 * ones)) return false;
    const uint64_t lower = (wa | 0x20 * ones) & ~highs;
    const uint64_t letter = (lower + (0x80 - 'a') * ones) & ~(lower + (0x80 - 'z' - 1) * ones) & ~wa & highs;
    return ((apart << 2) & ~letter) == 0;
  });
}
// Splits text at any of the separator bytes and appends every token that is a number; true when at least
// one number was appended. Tokens that are not numbers are skipped.
bool TokenizeStringToLongs(const char* text, const char* separators, TVector<long>& numbers);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t codePoint);
// Appends the UTF-16 form of one code point (a surrogate pair above U+FFFF).
void AppendUtf16(std::u16string& out, char32_t codePoint);
// qsort-style comparison of two longs, ascending.
int CompareByLong(const void* a, const void* b);
// Copies at most size-1 bytes and always terminates inside the buffer; nothing for size <= 0.
void CopyTruncated(char* buffer, long size, const char* text);

#endif
