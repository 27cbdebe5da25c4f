// The .cfg file format, shared by its reader and its writer (doc/cfg-format.md describes it for people who
// edit the files).
//
// A file is cut into lines at LF, CR and NUL bytes (a UTF-8 byte order mark before the first line is
// skipped). A line that starts with '[' is a section header "[Section\Subsection]" relative to the layer; a
// line that starts with a quote byte is a value "name"=number or "name"="text"; every other line is ignored.
// There is no escaping: a string runs to the last '"' of its line, so it may hold '"' and '=', and the writer
// never puts a line break inside a line.
#ifndef NAVCONFIG_SRC_CFG_FORMAT_H
#define NAVCONFIG_SRC_CFG_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace navconfig::cfg {

constexpr char kHeaderOpen = '[';
constexpr char kHeaderClose = ']';
constexpr char kAssign = '=';
constexpr char kPathSeparator = '\\';
constexpr const char* kExtension = ".cfg";
// Map layers are looked for in this folder below the runtime directory.
constexpr const char* kMapsFolder = "maps";
// Older readers cut lines after this many bytes; this reader takes every line whole.
constexpr size_t kLegacyLineLimit = 255;

// '"' and the bytes 0xEE and 0xEF all serve as quote bytes.
inline bool IsQuote(char c) {
  auto u = static_cast<unsigned char>(c);
  return u == '"' || u == 0xEE || u == 0xEF;
}
inline bool IsLineEnd(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// The UTF-8 byte order mark that editors on Windows put before the first line.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// 3 when the text starts with a byte order mark, else 0: the bytes the reader skips.
size_t ByteOrderMarkLength(const char* text, size_t length);

// Whether a text cannot be taken apart as lines of text at all: it holds a NUL byte (binary data, or text of
// another encoding such as UTF-16, whose every other byte is zero). No text the writer makes holds one. Such a
// file is not edited but set aside before it is replaced.
inline bool IsBinary(const char* text, size_t length) { return length && std::memchr(text, 0, length); }

// Why a file cannot carry a key name or the section names of a path below its layer; null when it can. The
// reader ends a key name at '"' (or at 0xEE or 0xEF right before '=') and skips the quote bytes before it;
// it ends a header's name at '[' or ']'; and every line break ends a line. The lengths are whole: a NUL byte
// inside counts.
const char* KeyNameFault(const char* name, size_t length);
const char* SectionNamesFault(const char* sections, size_t length);

// The write formats; every line ends in a single line feed.
constexpr const char* kHexFormat = "\"%s\"=0x%08lx\n";
constexpr const char* kDecimalFormat = "\"%s\"=%ld\n";
constexpr const char* kStringFormat = "\"%s\"=\"%s\"\n";

// The writer (writer.cpp). A file is written section by section, each as its header line, its value lines and
// an empty line. It takes what it writes as plain texts and numbers; names and strings are written up to their
// first line break, so that nothing stored can start a line of its own.

// A header's text, '[' and the section path, is cut after this many bytes, as the reader cuts a path.
constexpr size_t kMaxHeaderText = 255;
// The text that starts every header: the header of the layer itself, below which its sections are named.
constexpr char kLayerHeader[] = {kHeaderOpen, '\0'};
// The header text of a subsection named name below the section whose header text is parent (kLayerHeader for
// a section right below the layer); false when a header cannot carry the name (empty, or holding a bracket),
// and the section is then left out with everything below it rather than adding its values to another one.
bool SubsectionHeader(const std::string& parent, const char* name, std::string& header);
// The line "<header>]" that opens a section.
void AppendHeaderLine(std::string& out, const std::string& header);
// "name"=number, in decimal or as 0x and eight hexadecimal digits.
void AppendIntegerLine(std::string& out, const char* name, int32_t value, bool hex);
// "name"="text".
void AppendStringLine(std::string& out, const char* name, const char* text);
// The empty line that ends a section.
inline void AppendSectionEnd(std::string& out) { out += '\n'; }

// What the reader makes of one line.
enum class LineKind {
  Ignored,        // blank, comment or anything else
  Header,         // a section header with a name
  HeaderNoName,   // "[]" and the like
  Value,          // a value line that is read
  NoClosingQuote, // the key name has no closing quote
  BlankBeforeAssign,  // the closing quote is not followed by '='
  BadValue,       // the value is neither a string nor a number
};

// One line taken apart (views into the line; nothing is copied).
struct ParsedLine {
  LineKind kind = LineKind::Ignored;
  const char* name = nullptr;  // header path or key name
  size_t nameLength = 0;
  bool isString = false;
  const char* text = nullptr;  // string value
  size_t textLength = 0;
  long number = 0;             // integer value, as signed 32 bits
  bool hex = false;            // written in hexadecimal
  bool roomy = false;          // 64 bytes from name on, and from text on, lie in the text read
};

// The position of the first byte of [p, p + n) that is a, b or c; n when there is none.
size_t FindAny3(const char* p, size_t n, unsigned char a, unsigned char b, unsigned char c);

// Takes one line apart as the reader does.
ParsedLine ParseLine(const char* line, size_t length);
// The bytes of a value line (of that length, taken apart as parsed) that the reader takes: through a string's
// closing quote (to the line's end for a string without one), or through the last digit of a number.
size_t ValueLineExtent(const char* line, size_t length, const ParsedLine& parsed);

// Takes a whole text apart and appends its headers and value lines, in order (through LineScanner, scanner.h).
// ScanLinesOneByOne gives the same lines through ParseLine alone.
void ScanLines(const char* text, size_t length, std::vector<ParsedLine>& lines);
void ScanLinesOneByOne(const char* text, size_t length, std::vector<ParsedLine>& lines);

// Reads a number as "%li" would (optional '-', then 0x for hexadecimal, a leading 0 for octal, else decimal),
// keeping the low 32 bits. False when no digit follows the sign.
bool ReadNumber(const char* text, size_t length, long* value);
// The same, giving the number of bytes read (0 when no digit follows the sign).
size_t ReadNumberPrefix(const char* text, size_t length, long* value);

}  // namespace navconfig::cfg

#endif
