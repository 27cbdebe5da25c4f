// LineScanner: goes through a .cfg text line by line as the reader does and hands out its header and value
// lines one by one, so that a file of any size is read without keeping its lines. Value lines of the form
// the writer gives them are taken apart on a short path, inline; every other line as ParseLine does.
#ifndef NAVCONFIG_SRC_CFG_SCANNER_H
#define NAVCONFIG_SRC_CFG_SCANNER_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cfg/format.h"

namespace navconfig::cfg {

class LineScanner {
 public:
  LineScanner(const char* text, size_t length) : m_text(text), m_length(length) {}
  // Goes on in another text that continues this one after a line end.
  void Continue(const char* text, size_t length) {
    m_text = text;
    m_length = length;
    m_pos = 0;
  }
  // The next header or value line; false at the end of the text.
  [[gnu::always_inline]] bool Next(ParsedLine& line) {
    if (m_pos >= m_length) return false;
    // The hardware does not see far enough ahead of a scan that stops at every line: the text a few lines
    // on is asked for now, so that a large file is read at the speed of a small one.
    if (m_pos + kPrefetchDistance < m_length) __builtin_prefetch(m_text + m_pos + kPrefetchDistance);
    const bool value = m_text[m_pos] == '"';
    if (value && TakeWrittenValueLine(line)) return true;
    return NextOther(line, value);
  }

 private:
  // TakeUsualValueLine, on a short path for a line as the writer writes it within 64 bytes: "name"="text", or
  // "name"=number with the number in decimal or as 0x and eight hexadecimal digits.
  bool TakeWrittenValueLine(ParsedLine& line);
  // Takes the line at m_pos apart when it is a value line of the usual form, with the outcome that ParseLine
  // would give, and moves past it; false for any other line.
  bool TakeUsualValueLine(ParsedLine& line);
  // Next for a line that TakeWrittenValueLine does not take (valueTried: it was tried, and with it
  // TakeUsualValueLine).
  bool NextOther(ParsedLine& line, bool valueTried);

  static constexpr size_t kPrefetchDistance = 8192;

  const char* m_text;
  size_t m_length;
  size_t m_pos = 0;
};

namespace scan_detail {

// A value line's value: a string, or a number.
inline void SetString(ParsedLine& line, const char* text, size_t length) {
  line.isString = true;
  line.text = text;
  line.textLength = length;
  line.number = 0;
  line.hex = false;
}
inline void SetNumber(ParsedLine& line, long number, bool hex) {
  line.isString = false;
  line.text = nullptr;
  line.textLength = 0;
  line.number = number;
  line.hex = hex;
}

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// The value of the decimal number in the first `digits` (1 to 8) bytes of the word, all of them digits; false
// when one is not.
[[gnu::always_inline]] inline bool DecimalWord(uint64_t w, size_t digits, uint64_t* value) {
  // A byte is a digit when its high half is 3 and adding 6 leaves it so.
  constexpr uint64_t highHalves = 0xF0F0F0F0F0F0F0F0ULL, threes = 0x3030303030303030ULL;
  uint64_t other = ((w & highHalves) ^ threes) | (((w + 6 * kOnes) & highHalves) ^ threes);
  if (digits < 8) other &= (uint64_t{1} << (8 * digits)) - 1;
  if (other) return false;
  // The digits moved to the top of the word, zeros below them, then added up in pairs, fours, eights.
  uint64_t v = (w & 0x0F0F0F0F0F0F0F0FULL) << (8 * (8 - digits));
  v = (v * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
  v = ((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
  *value = v;
  return true;
}

// The value of eight hexadecimal digits (either case), the first the highest; false when a byte is none.
[[gnu::always_inline]] inline bool HexWord(uint64_t w, uint64_t* value) {
  const uint64_t low7 = w & ~kHighs;
  const uint64_t digit = (low7 + (0x80 - '0') * kOnes) & ~(low7 + (0x80 - '9' - 1) * kOnes);
  const uint64_t lower = low7 | 0x20 * kOnes;
  const uint64_t letter = (lower + (0x80 - 'a') * kOnes) & ~(lower + (0x80 - 'f' - 1) * kOnes);
  if (((digit | letter) & ~w & kHighs) != kHighs) return false;
  // A letter's low four bits are one to six: nine more gives its value.
  uint64_t v = (w & 0x0F0F0F0F0F0F0F0FULL) + 9 * ((w & 0x4040404040404040ULL) >> 6);
  v = __builtin_bswap64(v);  // the first digit in the highest byte
  v = (v | (v >> 4)) & 0x00FF00FF00FF00FFULL;
  v = (v | (v >> 8)) & 0x0000FFFF0000FFFFULL;
  v = (v | (v >> 16)) & 0x00000000FFFFFFFFULL;
  *value = v;
  return true;
}

// A number as the writer writes it, filling [text, text + length) exactly: decimal with an optional '-' and
// at most eight digits, without a leading zero but for 0 itself, or 0x and eight hexadecimal digits. At
// least eight bytes from text on can be read. False for any other number (which the long way reads).
[[gnu::always_inline]] inline bool WrittenNumber(const char* text, size_t length, long* number, bool* hex) {
  const bool negative = text[0] == '-';
  const char* d = text + (negative ? 1 : 0);
  const size_t digits = length - (negative ? 1 : 0);
  if (digits == 0) return false;
  uint64_t value;
  if (d[0] == '0') {
    if (digits == 1) {
      *number = 0;
      *hex = false;
      return true;
    }
    if (negative || digits != 10 || (d[1] | 0x20) != 'x') return false;
    uint64_t w;
    std::memcpy(&w, d + 2, 8);
    if (!HexWord(w, &value)) return false;
    *hex = true;
  } else {
    if (digits > 8) return false;
    uint64_t w;
    std::memcpy(&w, d, 8);
    if (!DecimalWord(w, digits, &value)) return false;
    if (negative) value = 0 - value;
    *hex = false;
  }
  *number = static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  return true;
}

#if defined(__SSE2__)
// Bit i set when byte i of the 64 at p may end a line (a byte up to CR; LF, CR and NUL among them); *quotes
// gets the bytes that may quote alike ('"' and the bytes from 0xEE on). A caller looks at the byte it finds.
[[gnu::always_inline]] inline uint64_t LineEnds64(const char* p, uint64_t* quotes) {
  uint64_t ends = 0, q = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i end = _mm_cmpeq_epi8(_mm_min_epu8(w, _mm_set1_epi8('\r')), w);
    const __m128i quote = _mm_or_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('"')),
                                       _mm_cmpeq_epi8(_mm_max_epu8(w, _mm_set1_epi8(static_cast<char>(0xEE))), w));
    ends |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(end))) << (16 * k);
    q |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(quote))) << (16 * k);
  }
  *quotes = q;
  return ends;
}
#endif

}  // namespace scan_detail

[[gnu::always_inline]] inline bool LineScanner::TakeWrittenValueLine(ParsedLine& line) {
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    const size_t start = m_pos;
    // The line's first 64 bytes after its opening quote, and 64 bytes after any of them (a number is read 8
    // bytes at a time, a reader may copy names and strings 64 bytes at a time), must lie in the text; near its
    // end, lines go the long way.
    if (m_length - start < 1 + 64 + 64) return TakeUsualValueLine(line);
    const char* p = m_text + start + 1;
    uint64_t quotes;
    const uint64_t ends = scan_detail::LineEnds64(p, &quotes);
    if (ends == 0) return TakeUsualValueLine(line);
    const unsigned end = static_cast<unsigned>(std::countr_zero(ends));
    if (!IsLineEnd(p[end])) return TakeUsualValueLine(line);
    // The quote bytes of the line: the first closes a name of at least one byte, and must be '"' before '='
    // (a byte from 0xF0 on, which no quote is, sends the line the long way too).
    const uint64_t inLine = quotes & ((uint64_t{1} << end) - 1);
    if (inLine == 0 || (inLine & 1)) return TakeUsualValueLine(line);
    const unsigned close = static_cast<unsigned>(std::countr_zero(inLine));
    const unsigned rest = close + 2;
    if (p[close] != '"' || p[close + 1] != kAssign || rest >= end) return TakeUsualValueLine(line);
    if (p[rest] == '"') {
      // A string runs to a '"' that ends the line.
      if (end < rest + 2 || p[end - 1] != '"') return TakeUsualValueLine(line);
      scan_detail::SetString(line, p + rest + 1, end - 1 - (rest + 1));
    } else {
      long number;
      bool hex;
      if (!scan_detail::WrittenNumber(p + rest, end - rest, &number, &hex)) return TakeUsualValueLine(line);
      scan_detail::SetNumber(line, number, hex);
    }
    line.kind = LineKind::Value;
    line.name = p;
    line.nameLength = close;
    line.roomy = true;
    m_pos = start + 1 + end + 1;
    return true;
  }
#endif
  return TakeUsualValueLine(line);
}

}  // namespace navconfig::cfg

#endif
