// Reading layer files into the key trees and writing layers back.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cfg_format.h"
#include "config_log.h"
#include "configmgr.h"

namespace navconfig {
namespace cfg {

namespace {
inline bool IsHexDigit(char c) { return custom_isdigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
}  // namespace

bool ReadNumber(const char* text, size_t length, long* value) {
  size_t i = 0;
  bool negative = false;
  if (i < length && text[i] == '-') {
    negative = true;
    ++i;
  }
  if (i >= length || !custom_isdigit(text[i])) return false;
  uint64_t v = 0;
  if (text[i] != '0') {
    // Decimal, the usual case.
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
  return true;
}

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

namespace {

// Finds, in one pass over 64 bytes at a time, the bytes that the reader looks for: quote bytes, '=' and
// line ends. Next() answers "the first byte of this kind at or after from" from the bit masks of the block.
class ByteClasses {
 public:
  enum Kind { kQuote = 0, kAssign = 1, kLineEnd = 2 };

  ByteClasses(const char* text, size_t length) : m_text(text), m_length(length) {}

  // The first position in [from, limit) holding a byte of the kind, or limit.
  size_t Next(Kind kind, size_t from, size_t limit) {
    while (from < limit) {
      const size_t block = from & ~size_t{63};
      if (block != m_block) Classify(block);
      const uint64_t mask = m_masks[kind] >> (from - block);
      if (mask) {
        const size_t at = from + static_cast<size_t>(std::countr_zero(mask));
        return at < limit ? at : limit;
      }
      from = block + 64;
    }
    return limit;
  }

 private:
  void Classify(size_t block) {
    m_block = block;
    const char* p = m_text + block;
    char tail[64];
    if (m_length - block < 64) {
      // The last block: what lies past the end reads as line ends, which Next never reports past limit.
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, p, m_length - block);
      p = tail;
    }
#if defined(__SSE2__)
    uint64_t quote = 0, assign = 0, lineEnd = 0;
    const __m128i dq = _mm_set1_epi8('"'), ee = _mm_set1_epi8(static_cast<char>(0xEE)),
                  ef = _mm_set1_epi8(static_cast<char>(0xEF)), eq = _mm_set1_epi8('='), lf = _mm_set1_epi8('\n'),
                  cr = _mm_set1_epi8('\r'), nul = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const auto bits = [&](__m128i m) {
        return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m))) << (16 * i);
      };
      quote |= bits(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(w, dq), _mm_cmpeq_epi8(w, ee)), _mm_cmpeq_epi8(w, ef)));
      assign |= bits(_mm_cmpeq_epi8(w, eq));
      lineEnd |= bits(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(w, lf), _mm_cmpeq_epi8(w, cr)), _mm_cmpeq_epi8(w, nul)));
    }
    m_masks[kQuote] = quote;
    m_masks[kAssign] = assign;
    m_masks[kLineEnd] = lineEnd;
#else
    m_masks[kQuote] = m_masks[kAssign] = m_masks[kLineEnd] = 0;
    for (int i = 0; i < 64; ++i) {
      const uint64_t bit = uint64_t{1} << i;
      if (IsQuote(p[i])) m_masks[kQuote] |= bit;
      if (p[i] == kAssign) m_masks[kAssign] |= bit;
      if (IsLineEnd(p[i])) m_masks[kLineEnd] |= bit;
    }
#endif
  }

  const char* m_text;
  size_t m_length;
  size_t m_block = ~size_t{0};
  uint64_t m_masks[3] = {};
};

// ParseLine over one line of a text whose bytes ByteClasses has found.
ParsedLine ParseClassifiedLine(ByteClasses& classes, const char* text, size_t start, size_t end) {
  const char* line = text + start;
  const size_t length = end - start;
  if (length == 0 || !IsQuote(line[0])) return ParseLine(line, length);  // headers and ignored lines
  return ParseValueLine(
      line, length,
      [&](size_t from, size_t to) { return classes.Next(ByteClasses::kQuote, start + from, start + to) - start; },
      [&](size_t from, size_t to) { return classes.Next(ByteClasses::kAssign, start + from, start + to) - start; });
}

}  // namespace

namespace {

// A line that holds nothing but blanks.
inline bool IsBlank(const char* line, size_t length) {
  return length == 0 || std::string_view(line, length).find_first_not_of(" \t") == std::string_view::npos;
}

// The lines that a rewrite would not keep (see ScanLines): the ignored lines that are not blank, counted
// while scanning, and the values before the first header, counted here from the lines kept.
size_t Unkept(size_t ignored, const std::vector<ParsedLine>& lines, size_t first) {
  for (size_t i = first; i < lines.size() && lines[i].kind == LineKind::Value; ++i) ++ignored;
  return ignored;
}

}  // namespace

void ScanLines(const char* text, size_t length, std::vector<ParsedLine>& lines, size_t* unkept) {
  ByteClasses classes(text, length);
  const size_t first = lines.size();
  size_t ignored = 0;
  size_t pos = 0;
  while (pos < length) {
    const size_t end = classes.Next(ByteClasses::kLineEnd, pos, length);
    ParsedLine parsed = ParseClassifiedLine(classes, text, pos, end);
    if (parsed.kind == LineKind::Header || parsed.kind == LineKind::Value) lines.push_back(parsed);
    else if (unkept && !IsBlank(text + pos, end - pos)) ++ignored;
    pos = end < length ? end + 1 : end;
  }
  if (unkept) *unkept = Unkept(ignored, lines, first);
}

void ScanLinesOneByOne(const char* text, size_t length, std::vector<ParsedLine>& lines, size_t* unkept) {
  const size_t first = lines.size();
  size_t ignored = 0;
  size_t pos = 0;
  while (pos < length) {
    const size_t end = pos + FindAny3(text + pos, length - pos, '\n', '\r', '\0');
    ParsedLine parsed = ParseLine(text + pos, end - pos);
    if (parsed.kind == LineKind::Header || parsed.kind == LineKind::Value) lines.push_back(parsed);
    else if (unkept && !IsBlank(text + pos, end - pos)) ++ignored;
    pos = end < length ? end + 1 : end;
  }
  if (unkept) *unkept = Unkept(ignored, lines, first);
}

size_t ByteOrderMarkLength(const char* text, size_t length) {
  return length >= 3 && std::memcmp(text, kByteOrderMark, 3) == 0 ? 3 : 0;
}

namespace {
constexpr std::string_view kLineEnds("\r\n\0", 3);
}  // namespace

const char* KeyNameFault(const char* name, size_t length) {
  const std::string_view n(name, length);
  if (n.empty()) return "is empty";
  if (n.find('"') != std::string_view::npos) return "holds '\"'";
  if (n.find(kAssign) != std::string_view::npos) return "holds '='";
  if (n.find_first_of(kLineEnds) != std::string_view::npos) return "holds a line break or a NUL byte";
  // The reader skips quote bytes before a name.
  if (IsQuote(n[0])) return "starts with the byte 0xEE or 0xEF (a character from U+E000 to U+FFFF)";
  return nullptr;
}

const char* SectionNamesFault(const char* sections, size_t length) {
  const std::string_view s(sections, length);
  if (s.find_first_of("[]") != std::string_view::npos) return "holds '[' or ']'";
  if (s.find_first_of(kLineEnds) != std::string_view::npos) return "holds a line break or a NUL byte";
  return nullptr;
}

}  // namespace cfg

namespace {

// The file of a layer in the configuration directory. Layer names compare without case, so the file name
// is the lower-cased name for reading and writing alike.
std::string ConfigDirFile(const std::string& configDir, const char* layerName) {
  std::string name = layerName;
  for (auto& c : name) c = FoldAscii(c);
  return configDir + name + cfg::kExtension;
}

// The first component of a path as a layer name: leading blanks and backslashes skipped, at most 254 bytes.
std::string LayerNameOf(const char* path) {
  if (!path) return std::string();
  while (*path == ' ' || *path == '\\') ++path;
  size_t n = 0;
  while (path[n] && path[n] != '\\' && n < 254) ++n;
  return std::string(path, n);
}

// Appends a name up to its first line break, so that no stored text can start a line of its own.
void AppendLineSafe(std::string& out, const char* text) {
  if (!text) return;
  const size_t length = std::strlen(text);
  out.append(text, cfg::FindAny3(text, length, '\r', '\n', '\n'));
}

// Whether a section name, written up to its first line break, reads back as itself from a header. An empty
// name would give a header that names the section above (or none, so that its values would join the section
// written before it), and the reader ends a header's name at a bracket.
bool IsWritableSectionName(const char* name) {
  if (!name) return false;
  const size_t n = std::strcspn(name, "\r\n");
  return n > 0 && std::string_view(name, n).find_first_of("[]") == std::string_view::npos;
}

// The header line and value lines of one section (nothing for a section without values).
void AppendSectionText(std::string& out, const KeyRoot* s, const std::string& header) {
  if (!s->values) return;
  out += header;
  out += cfg::kHeaderClose;
  out += '\n';
  char number[32];
  for (const KeyValue* v = s->values; v; v = v->next) {
    if (v->type & KEYVALUE_TYPE_INTEGER) {
      out += '"';
      AppendLineSafe(out, v->name);
      // The formats "%s"=0x%08lx and "%s"=%ld, written without printf.
      char* p = number;
      *p++ = '"';
      *p++ = '=';
      if ((v->type & 0xF0) == KEYVALUE_FLAG_HEX) {
        const auto bits = static_cast<uint32_t>(v->intValue);
        *p++ = '0';
        *p++ = 'x';
        for (int shift = 28; shift >= 0; shift -= 4) *p++ = "0123456789abcdef"[(bits >> shift) & 15];
      } else {
        p = std::to_chars(p, number + sizeof number, static_cast<long>(v->intValue)).ptr;
      }
      *p++ = '\n';
      out.append(number, static_cast<size_t>(p - number));
    } else if ((v->type & KEYVALUE_TYPE_STRING) && v->strValue) {
      out += '"';
      AppendLineSafe(out, v->name);
      out += "\"=\"";
      AppendLineSafe(out, v->strValue);
      out += "\"\n";
    }
  }
  out += '\n';
}

// The text of every subsection of section. With an index, the text of a section that did not change since
// the last save is taken as it was then.
void WriteLayerText(std::string& out, const KeyRoot* section, const std::string& prefix, TreeIndex* index) {
  for (const KeyRoot* s = section->children; s; s = s->next) {
    // Such a section cannot be carried by the format: it is left out with everything below it rather than
    // adding its values to another section.
    if (!IsWritableSectionName(s->name)) continue;
    std::string header = prefix;
    if (prefix.size() > 1) header += cfg::kPathSeparator;
    AppendLineSafe(header, s->name);
    if (header.size() > keytree::kMaxPath) header.resize(keytree::kMaxPath);
    SectionInfo* info = index ? index->FindSection(s) : nullptr;
    if (!info) {
      AppendSectionText(out, s, header);
    } else {
      if (!info->textValid) {
        info->text.clear();
        AppendSectionText(info->text, s, header);
        info->textValid = true;
      }
      out += info->text;
    }
    WriteLayerText(out, s, header, index);
  }
}

}  // namespace

std::string LayerName(const char* path) { return LayerNameOf(path); }

std::string MapsLayerFile(const std::string& layer) {
  const std::string runtime = RuntimeDirectory();
  if (runtime.empty()) return std::string();
  OROustring maps(runtime + cfg::kMapsFolder);
  maps.appendSlash();
  return maps.str() + layer + cfg::kExtension;
}

std::string LayerText(const KeyRoot* layer, size_t expectedSize, TreeIndex* index) {
  std::string text;
  text.reserve(expectedSize + expectedSize / 8 + 1024);
  if (layer) WriteLayerText(text, layer, std::string(1, cfg::kHeaderOpen), index);
  return text;
}

std::string FoldedLayer(const std::string& layer) {
  std::string out = layer;
  for (auto& c : out) c = FoldAscii(c);
  return out;
}

}  // namespace navconfig

using namespace navconfig;

size_t CConfigMgr::ParseConfigText(const char* text, size_t length, bool counting, const char* layerName) {
  // The counting pass keeps the lines it took apart, so that the building pass over the same text does not
  // take them apart again.
  const bool reuse = !counting && m_parsedText == text && m_parsedLength == length;
  if (!reuse) {
    m_parsedLines.clear();
    cfg::ScanLines(text, length, m_parsedLines, &m_parsedUnkept);
    m_parsedText = counting ? text : nullptr;
    m_parsedLength = counting ? length : 0;
  } else {
    m_parsedText = nullptr;
  }

  size_t size = 0;
  KeyRoot* current = nullptr;
  SectionInfo* currentInfo = nullptr;
  std::string path;
  if (!counting) m_index.ReserveValues(m_parsedLines.size());
  for (const cfg::ParsedLine& parsed : m_parsedLines) {
    if (parsed.kind == cfg::LineKind::Header) {
      path.assign(layerName);
      path += cfg::kPathSeparator;
      path.append(parsed.name, parsed.nameLength);
      KeyRoot* section = nullptr;
      if (!keytree::FindOrCreatePath(counting ? nullptr : this, &m_pRoot, path.c_str(), counting, &size, &section))
        return 0;
      current = section;
      currentInfo = counting || !section ? nullptr : m_index.FindSection(section);
      continue;
    }
    if (counting) {
      size += keytree::ValueCost(parsed.nameLength);
      if (parsed.isString) size += keytree::StringCost(parsed.textLength);
      continue;
    }
    // Values before the first header have no section and are not stored.
    if (!current) continue;
    if (parsed.isString) {
      keytree::AddValueIn(this, current, currentInfo, parsed.name, parsed.nameLength, KEYVALUE_TYPE_STRING, 0,
                          parsed.text, parsed.textLength, false);
    } else {
      const long type = KEYVALUE_TYPE_INTEGER | (parsed.hex ? KEYVALUE_FLAG_HEX : 0);
      keytree::AddValueIn(this, current, currentInfo, parsed.name, parsed.nameLength, type, parsed.number, "", 0,
                          false);
    }
  }
  return size;
}

bool CConfigMgr::ReadLayerFile(const char* layerName) {
  if (!layerName || !platform::IsSafeFileComponent(layerName)) return false;
  const std::string configDir = ConfigDirectory();
  std::string file;
  if (!configDir.empty()) {
    std::string candidate = ConfigDirFile(configDir, layerName);
    // Identified before it is read, so that a change in between is found at the next save.
    const platform::FileIdentity identity = platform::IdentifyFile(candidate);
    NoteLayerRead(layerName, candidate, identity);
    if (identity.kind == platform::FileIdentity::Kind::Regular) file = candidate;
  }
  if (file.empty()) {
    std::string candidate = MapsLayerFile(layerName);
    if (candidate.empty() || !FileExists(candidate.c_str())) return false;
    file = candidate;
  }

  char* buffer = nullptr;
  const long length = LoadFile(file.c_str(), &buffer);
  size_t unkept = 0;
  if (buffer) {
    unkept = ReadLayerText(layerName, buffer, static_cast<size_t>(length));
    Mem_Free(buffer);
  } else {
    // What could not be read is read again before the next save, rather than written over.
    NoteLayerRead(layerName, std::string(), platform::FileIdentity{}, false);
  }
  m_layerFiles[FoldedLayer(layerName)].unkeptLines = unkept != 0;
  m_iCurrentHead = -1;
  return true;
}

size_t CConfigMgr::ReadLayerText(const char* layerName, const char* text, size_t length) {
  // A byte order mark would hide the first header (its first byte is a quote byte).
  const size_t mark = cfg::ByteOrderMarkLength(text, length);
  text += mark;
  length -= mark;
  // The counting pass sizes one block; the building pass carves the whole tree from it.
  const size_t total = ParseConfigText(text, length, true, layerName);
  const size_t unkept = m_parsedUnkept;
  if (total != 0) {
    AddTreeHead(total);
    ParseConfigText(text, length, false, layerName);
  }
  m_parsedText = nullptr;
  m_parsedLines.clear();
  m_iCurrentHead = -1;
  return unkept;
}

bool CConfigMgr::SaveLayer(const char* path) {
  const std::string layer = LayerNameOf(path);
  if (layer.empty()) return false;
  // Under the lock of the file, with what other processes saved since this one last read or wrote the file
  // merged in first.
  platform::FileLock lock;
  if (!BeginSave(layer, lock)) return false;
  SectionInfo* info = FindLayerInfo(layer.c_str());
  // A layer that holds no value any more (or was deleted) is written empty, so that deleting its last value
  // lasts. The text is usually about as long as it was at the last save.
  const SaveStatus* last = LastSave(layer.c_str());
  const bool written =
      WriteLayerFile(layer, LayerText(info ? info->section : nullptr, last ? last->bytes : 0, &m_index));
  EndSave(layer, written);
  return written;
}

void CConfigMgr::RecordRefusedWrite(const std::string& layer, const std::string& reason) {
  const std::string configDir = ConfigDirectory();
  const bool named = !configDir.empty() && platform::IsSafeFileComponent(layer);
  RecordRefusedSave(layer, reason);
  if (named) m_saves[FoldedLayer(layer)].file = ConfigDirFile(configDir, layer.c_str());
}

bool CConfigMgr::WriteLayerFile(const std::string& layer, const std::string& text) {
  if (!platform::IsSafeFileComponent(layer)) {
    RecordRefusedSave(layer, kUnsafeFileName);
    return false;
  }
  const std::string configDir = ConfigDirectory();
  if (configDir.empty()) return false;
  const std::string file = ConfigDirFile(configDir, layer.c_str());
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  platform::Status status = KeepUnkeptLines(layer, file, record);
  if (status.ok) status = platform::ReplaceLockedFile(file, text.data(), text.size());
  return RecordSave(layer, file, status, text.size());
}

bool CConfigMgr::RecordSave(const std::string& layer, const std::string& file, const platform::Status& status,
                            size_t bytes) {
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  record.attempted = true;
  record.ok = status.ok;
  record.file = file;
  record.reason = status.reason;
  record.bytes = bytes;
  return status.ok;
}

void CConfigMgr::RecordRefusedSave(const std::string& layer, const std::string& reason) {
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  record.attempted = true;
  record.ok = false;
  record.file = layer;
  record.reason = reason;
}

platform::Status CConfigMgr::KeepUnkeptLines(const std::string& layer, const std::string& file, SaveStatus& record) {
  const auto reading = m_layerFiles.find(FoldedLayer(layer));
  if (reading == m_layerFiles.end() || !reading->second.unkeptLines) return platform::Status::Ok();
  // A file that the save may not replace is not copied either.
  std::string target;
  if (platform::Status allowed = platform::ResolveWriteTarget(file, target); !allowed.ok) return allowed;
  char* data = nullptr;
  size_t size = 0;
  // Nothing to keep when no file stands there (a map layer's file is read from elsewhere).
  if (platform::ReadWholeFile(target, &data, &size)) {
    const std::string backup = file + kBackupExtension;
    // Private, since the file it copies may be; a link standing in its place is replaced, not followed.
    const platform::Status kept =
        platform::WriteFileAtomically(backup, data, size, /*privateToUser=*/true, platform::LinkPolicy::ReplaceLink);
    std::free(data);
    if (!kept.ok) return platform::Status::Error("could not keep the previous file: " + kept.reason);
    record.backup = backup;
    LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__,
               "%s held lines that a rewrite does not keep; the previous file is kept as %s", file.c_str(),
               backup.c_str());
  }
  reading->second.unkeptLines = false;
  return platform::Status::Ok();
}
