// The reader's scanner of a .cfg text (format.h describes the format).
#include <doroutil/strutil.h>

#include <array>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdint>
#include <cstring>

#include "cfg/format.h"
#include "cfg/scanner.h"

namespace navconfig {
namespace cfg {

namespace {
inline bool IsHexDigit(char c) { return custom_isdigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
}  // namespace

size_t ReadNumberPrefix(const char* text, size_t length, long* value) {
  size_t i = 0;
  bool negative = false;
  if (i < length && text[i] == '-') {
    negative = true;
    ++i;
  }
  if (i >= length || !custom_isdigit(text[i])) return 0;
  uint64_t v = 0;
  if (text[i] != '0') {
    // Decimal, the usual case: up to seven digits at once, as in "%li" (a byte is a digit when its high half
    // is 3 and adding 6 leaves it so).
    if constexpr (std::endian::native == std::endian::little) {
      if (i + 8 <= length) {
        uint64_t w;
        std::memcpy(&w, text + i, 8);
        constexpr uint64_t highs = 0xF0F0F0F0F0F0F0F0ULL, threes = 0x3030303030303030ULL;
        const uint64_t other = ((w & highs) ^ threes) | (((w + 0x0606060606060606ULL) & highs) ^ threes);
        const int digits = other ? std::countr_zero(other) / 8 : 8;
        if (digits < 8) {
          // The digits moved to the top of the word, below them zeros, then added up in pairs, fours, eights.
          uint64_t v8 = (w & 0x0F0F0F0F0F0F0F0FULL) << (8 * (8 - digits));
          v8 = (v8 * 2561) >> 8;
          v8 = ((v8 & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
          v8 = ((v8 & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
          if (negative) v8 = 0 - v8;
          *value = static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(v8)));
          return i + static_cast<size_t>(digits);
        }
      }
    }
    for (; i < length; ++i) {
      const unsigned d = static_cast<unsigned char>(text[i]) - '0';
      if (d > 9) break;
      v = v * 10 + d;
    }
  } else if (i + 2 < length && (text[i + 1] == 'x' || text[i + 1] == 'X') && IsHexDigit(text[i + 2])) {
    for (i += 2; i < length; ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      const unsigned d = c - '0' <= 9 ? c - '0' : ((c | 0x20) - 'a' <= 5 ? (c | 0x20) - 'a' + 10 : 16u);
      if (d > 15) break;
      v = v * 16 + d;
    }
  } else {
    for (; i < length && text[i] >= '0' && text[i] <= '7'; ++i) v = v * 8 + static_cast<uint64_t>(text[i] - '0');
  }
  if (negative) v = 0 - v;
  *value = static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(v)));
  return i;
}

bool ReadNumber(const char* text, size_t length, long* value) { return ReadNumberPrefix(text, length, value) != 0; }

size_t FindAny3(const char* p, size_t n, unsigned char a, unsigned char b, unsigned char c) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(static_cast<char>(a));
  const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
  const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
  for (; i + 16 <= n; i += 16) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(w, va), _mm_cmpeq_epi8(w, vb)), _mm_cmpeq_epi8(w, vc));
    const int mask = _mm_movemask_epi8(hit);
    if (mask) return i + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(mask)));
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highs = 0x8080808080808080ULL;
    const uint64_t ma = ones * a, mb = ones * b, mc = ones * c;
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      // A byte equal to one of the three becomes zero in its xor; the lowest flagged byte is exact.
      const uint64_t xa = w ^ ma, xb = w ^ mb, xc = w ^ mc;
      const uint64_t hit = (((xa - ones) & ~xa) | ((xb - ones) & ~xb) | ((xc - ones) & ~xc)) & highs;
      if (hit) return i + static_cast<size_t>(std::countr_zero(hit) / 8);
    }
  }
  for (; i < n; ++i) {
    const auto u = static_cast<unsigned char>(p[i]);
    if (u == a || u == b || u == c) return i;
  }
  return n;
}

namespace {

inline size_t FindQuote(const char* p, size_t n) { return FindAny3(p, n, '"', 0xEE, 0xEF); }

inline bool IsQuoteOrLineEnd(unsigned char u) { return u == '"' || (u & 0xFE) == 0xEE || u == '\n' || u == '\r' || u == 0; }

#if defined(__SSE2__)
// Bit i set when byte i of the 16 at p is a line end; QuotesOrLineEnds adds the quote bytes.
inline unsigned LineEnds16(const char* p) {
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i end = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(w, _mm_set1_epi8('\r'))),
                                   _mm_cmpeq_epi8(w, _mm_setzero_si128()));
  return static_cast<unsigned>(_mm_movemask_epi8(end));
}
inline unsigned QuotesOrLineEnds16(const char* p) {
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i quote = _mm_or_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('"')),
                                     _mm_cmpeq_epi8(_mm_and_si128(w, _mm_set1_epi8(static_cast<char>(0xFE))),
                                                    _mm_set1_epi8(static_cast<char>(0xEE))));
  return LineEnds16(p) | static_cast<unsigned>(_mm_movemask_epi8(quote));
}
#endif

// The position of the first byte in [p, p + n) that Test accepts, or n; 32 bytes at a time, so that the names
// and short strings of a file are passed in one step, without a branch that depends on their length.
template <typename Mask16, typename Test>
size_t FindFirst(const char* p, size_t n, Mask16 mask16, Test test) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 32 <= n; i += 32) {
    const uint32_t mask = mask16(p + i) | (static_cast<uint32_t>(mask16(p + i + 16)) << 16);
    if (mask) return i + static_cast<size_t>(std::countr_zero(mask));
  }
  if (i + 16 <= n) {
    if (const unsigned mask = mask16(p + i)) return i + static_cast<size_t>(std::countr_zero(mask));
    i += 16;
  }
#else
  (void)mask16;
#endif
  for (; i < n; ++i)
    if (test(static_cast<unsigned char>(p[i]))) return i;
  return n;
}

// The position of the first quote byte or line end in [p, p + n), or n.
size_t FindQuoteOrLineEnd(const char* p, size_t n) {
#if defined(__SSE2__)
  return FindFirst(p, n, QuotesOrLineEnds16, IsQuoteOrLineEnd);
#else
  return FindFirst(p, n, nullptr, IsQuoteOrLineEnd);
#endif
}

size_t FindLineEnd(const char* p, size_t n) {
  const auto isEnd = [](unsigned char u) { return u == '\n' || u == '\r' || u == 0; };
#if defined(__SSE2__)
  return FindFirst(p, n, LineEnds16, isEnd);
#else
  return FindFirst(p, n, nullptr, isEnd);
#endif
}

// The position of the last '"' in [from, to), or to. A string's closing quote is usually the line's last byte.
size_t FindLastDoubleQuote(const char* line, size_t from, size_t to) {
  for (size_t i = to; i > from; --i)
    if (line[i - 1] == '"') return i - 1;
  return to;
}

// A value line (its first byte a quote byte) taken apart. FindQuote(from, to) and FindAssign(from, to) give
// the first quote byte or '=' of the line in [from, to), or to.
//
// The bytes 0xEE and 0xEF quote as '"' does (files written by hand may use them so), but they also start the
// UTF-8 characters from U+E000 to U+FFFF, which names and strings may hold. So a key name ends at its first
// '"', or at the first 0xEE or 0xEF right before '='; and a string ends at the last '"' of the line, or, in a
// line without a '"' after its opening quote, at its first 0xEE or 0xEF. Every line that the writer makes
// reads back whole so, and every line quoted with those bytes reads as it always did.
template <typename FindQuoteIn, typename FindAssignIn>
ParsedLine ParseValueLine(const char* line, size_t length, FindQuoteIn findQuote, FindAssignIn findAssign) {
  ParsedLine out;
  // The key name runs from after the opening quote bytes to its closing quote.
  size_t i = 1;
  while (i < length && IsQuote(line[i])) ++i;
  const size_t nameStart = i;
  i = findQuote(i, length);
  while (i < length && line[i] != '"' && !(i + 1 < length && line[i + 1] == kAssign)) i = findQuote(i + 1, length);
  if (i >= length) {
    out.kind = LineKind::NoClosingQuote;
    return out;
  }
  out.name = line + nameStart;
  out.nameLength = i - nameStart;
  ++i;
  if (i >= length || line[i] != kAssign) {
    out.kind = LineKind::BlankBeforeAssign;
    return out;
  }
  // The value is what follows the '=' bytes.
  while (i < length && line[i] == kAssign) ++i;
  const size_t restStart = i;
  out.kind = LineKind::BadValue;
  if (restStart >= length) return out;
  const char* rest = line + restStart;
  if (IsQuote(rest[0])) {
    // A lone opening quote holds no string; an unclosed string runs to the end of the line.
    const size_t textStart = restStart + 1;
    if (textStart == length) return out;
    size_t textEnd = FindLastDoubleQuote(line, textStart, length);
    if (textEnd == length) textEnd = findQuote(textStart, length);
    out.isString = true;
    out.text = line + textStart;
    out.textLength = textEnd - textStart;
    out.kind = LineKind::Value;
  } else if (custom_isdigit(rest[0]) || rest[0] == '-') {
    // A number ends at the next '=' at the latest.
    const size_t restLength = findAssign(restStart, length) - restStart;
    if (!ReadNumber(rest, restLength, &out.number)) return out;
    out.hex = restLength > 1 && (rest[1] == 'x' || rest[1] == 'X');
    out.kind = LineKind::Value;
  }
  return out;
}

}  // namespace

ParsedLine ParseLine(const char* line, size_t length) {
  ParsedLine out;
  if (length == 0) return out;
  if (line[0] == kHeaderOpen) {
    size_t i = 0;
    while (i < length && line[i] == kHeaderOpen) ++i;
    size_t start = i;
    while (i < length && line[i] != kHeaderOpen && line[i] != kHeaderClose) ++i;
    out.kind = i > start ? LineKind::Header : LineKind::HeaderNoName;
    out.name = line + start;
    out.nameLength = i - start;
    return out;
  }
  if (!IsQuote(line[0])) return out;
  return ParseValueLine(
      line, length, [line](size_t from, size_t to) { return from + FindQuote(line + from, to - from); },
      [line](size_t from, size_t to) {
        const void* at = std::memchr(line + from, kAssign, to - from);
        return at ? static_cast<size_t>(static_cast<const char*>(at) - line) : to;
      });
}

size_t ValueLineExtent(const char* line, size_t length, const ParsedLine& parsed) {
  const char* end = line + length;
  if (parsed.isString) {
    // Through the closing quote when there is one; a text running to the line's end has none.
    const char* stop = parsed.text + parsed.textLength;
    if (stop < end && IsQuote(*stop)) ++stop;
    return static_cast<size_t>(stop - line);
  }
  // The number starts after the key's closing quote and the '=' bytes; "%li" takes a sign and then the digits
  // of its base.
  const char* p = parsed.name + parsed.nameLength + 1;
  while (p < end && *p == kAssign) ++p;
  if (p < end && *p == '-') ++p;
  if (p + 2 < end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && IsHexDigit(p[2])) {
    for (p += 2; p < end && IsHexDigit(*p);) ++p;
  } else if (p < end && *p == '0') {
    while (p < end && *p >= '0' && *p <= '7') ++p;
  } else {
    while (p < end && custom_isdigit(*p)) ++p;
  }
  return static_cast<size_t>(p - line);
}

bool LineScanner::TakeUsualValueLine(ParsedLine& line) {
  // "name"="text" or "name"=number, the way the writer writes them: '"' and one more byte that is no quote
  // byte open the name, a '"' closes it, one '=' follows; a string runs to a '"' that ends the line, a number
  // to the line's end.
  const char* t = m_text;
  const size_t n = m_length;
  const size_t start = m_pos;
  if (start + 1 >= n || IsQuote(t[start + 1])) return false;
  const size_t close = start + 1 + FindQuoteOrLineEnd(t + start + 1, n - start - 1);
  const size_t rest = close + 2;
  if (rest >= n || t[close] != '"' || t[close + 1] != kAssign) return false;
  size_t end;
  if (t[rest] == '"') {
    end = rest + 1 + FindLineEnd(t + rest + 1, n - rest - 1);
    if (end < rest + 2 || t[end - 1] != '"') return false;
    scan_detail::SetString(line, t + rest + 1, end - 1 - (rest + 1));
  } else {
    // The number read ends before the first byte that is no digit of it: that must end the line, so that no
    // '=' follows in the line (which would end what is read as a number).
    long number = 0;
    const size_t used = ReadNumberPrefix(t + rest, n - rest, &number);
    end = rest + used;
    if (used == 0 || (end < n && !IsLineEnd(t[end]))) return false;
    scan_detail::SetNumber(line, number, used > 1 && (t[rest + 1] == 'x' || t[rest + 1] == 'X'));
  }
  line.kind = LineKind::Value;
  line.name = t + start + 1;
  line.nameLength = close - start - 1;
  line.roomy = false;
  m_pos = end < n ? end + 1 : end;
  return true;
}

bool LineScanner::NextOther(ParsedLine& line, bool valueTried) {
  while (m_pos < m_length) {
    const size_t start = m_pos;
    if (m_text[start] == '"' && !valueTried && TakeUsualValueLine(line)) return true;
    valueTried = false;
    // Any other line: found and taken apart as by ScanLinesOneByOne.
    const size_t end = start + FindLineEnd(m_text + start, m_length - start);
    m_pos = end < m_length ? end + 1 : end;
    line = ParseLine(m_text + start, end - start);
    if (line.kind == LineKind::Header || line.kind == LineKind::Value) return true;
  }
  return false;
}

void ScanLines(const char* text, size_t length, std::vector<ParsedLine>& lines) {
  LineScanner scanner(text, length);
  ParsedLine line;
  while (scanner.Next(line)) lines.push_back(line);
}

void ScanLinesOneByOne(const char* text, size_t length, std::vector<ParsedLine>& lines) {
  size_t pos = 0;
  while (pos < length) {
    const size_t end = pos + FindLineEnd(text + pos, length - pos);
    ParsedLine parsed = ParseLine(text + pos, end - pos);
    if (parsed.kind == LineKind::Header || parsed.kind == LineKind::Value) lines.push_back(parsed);
    pos = end < length ? end + 1 : end;
  }
}

size_t ByteOrderMarkLength(const char* text, size_t length) {
  return length >= 3 && std::memcmp(text, kByteOrderMark, 3) == 0 ? 3 : 0;
}

namespace {

// What each byte may mean in a name: one pass over a name tells every fault (every write checks its names).
enum NameByte : unsigned char { kPlain = 0, kQuoteMark = 1, kAssignMark = 2, kLineBreak = 4, kBracket = 8 };

constexpr std::array<unsigned char, 256> MakeNameBytes() {
  std::array<unsigned char, 256> bytes{};
  bytes['"'] = kQuoteMark;
  bytes[static_cast<unsigned char>(kAssign)] = kAssignMark;
  bytes['\r'] = bytes['\n'] = bytes[0] = kLineBreak;
  bytes[static_cast<unsigned char>(kHeaderOpen)] = bytes[static_cast<unsigned char>(kHeaderClose)] = kBracket;
  return bytes;
}
constexpr std::array<unsigned char, 256> kNameBytes = MakeNameBytes();

unsigned NameBytes(const char* name, size_t length) {
  unsigned found = 0;
  for (size_t i = 0; i < length; ++i) found |= kNameBytes[static_cast<unsigned char>(name[i])];
  return found;
}

}  // namespace

const char* KeyNameFault(const char* name, size_t length) {
  if (length == 0) return "is empty";
  const unsigned found = NameBytes(name, length);
  if (found & kQuoteMark) return "holds '\"'";
  if (found & kAssignMark) return "holds '='";
  if (found & kLineBreak) return "holds a line break or a NUL byte";
  // The reader skips quote bytes before a name.
  if (IsQuote(name[0])) return "starts with the byte 0xEE or 0xEF (a character from U+E000 to U+FFFF)";
  return nullptr;
}

const char* SectionNamesFault(const char* sections, size_t length) {
  const unsigned found = NameBytes(sections, length);
  if (found & kBracket) return "holds '[' or ']'";
  if (found & kLineBreak) return "holds a line break or a NUL byte";
  return nullptr;
}

}  // namespace cfg

}  // namespace navconfig
