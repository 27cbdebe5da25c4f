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
