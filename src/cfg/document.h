// The text of a layer file as a document that edits change in place: every byte that no edit touches is kept
// (comments, blank lines, damaged lines, the order of sections and keys, CR LF line ends, a byte order mark, a
// missing final line end), so that a save changes only what changed.
//
// Where an edit puts what it adds:
// - a changed value is written on its own line in place of the line the reader takes (the last of its name in
//   the section); a line that already holds that value, of a name spelled as its first line spells it, keeps
//   its bytes;
// - a deleted value (a key that is not set again after Sync()) loses every line of its name in the section, so
//   that no earlier one comes back;
// - a new key goes into the last occurrence of its section, before the first value line there whose key sorts
//   after it, or after the occurrence's last value line (right after the header when it has none); a new
//   section goes before the first header, in file order, that the library's order puts after it (before the
//   comment lines directly above that header), or at the end;
// - a section whose values were all deleted loses, in every occurrence, its header, its value lines and the
//   comment lines directly above the header (up to the previous blank line or any other line); its blank lines
//   go too when nothing else of the occurrence stays. So does a section without values that the settings no
//   longer hold (a placeholder header deleted as a section).
// New lines end as the file's first line does (LF when it has none); a file without a final line end gets one
// only where a new line follows. A text the writer made, edited so, is what the writer makes of the edited
// settings.
//
// The edits cost time in proportion to their number and Text() in proportion to the lines and edits.
#ifndef NAVCONFIG_SRC_CFG_DOCUMENT_H
#define NAVCONFIG_SRC_CFG_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cfg/format.h"

namespace navconfig::cfg {

class Document {
 public:
  // Takes a text apart as the reader does. headerLimit: the bytes of a header's path that the reader keeps.
  explicit Document(std::string_view text, size_t headerLimit = SIZE_MAX);

  // Sections are paths below the layer ("Map\Night"), compared without case; empty components are skipped.
  void SetInteger(std::string_view section, std::string_view key, int32_t value, bool hex);
  void SetString(std::string_view section, std::string_view key, std::string_view text);
  // A document brought to a whole set of settings: after Sync(), every section is kept and every value is set, and
  // then DropUnset() deletes each key of the text that was not set since, but for those under a header that names
  // the layer itself ("[\]", which the reader takes and the writer never writes), and each section without values
  // that was not kept.
  void Sync();
  void KeepSection(std::string_view section);
  void DropUnset();

  // The edited text.
  std::string Text();

 private:
  struct Line {
    size_t begin, length, endLength;  // in m_text: the line's bytes, then its line end (0 to 2 bytes)
    size_t nameBegin, nameLength;     // of a value line's key or a header's path
    size_t textBegin, textLength;     // a value line's string
    long number;                      // or number
    bool isString, hex;
    LineKind kind;
    uint32_t section;  // a header's record
    bool deleted = false;
    bool replaced = false;  // m_replacement[index] holds its new bytes
  };
  struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  // The hash of the document's tables (a type of the library's own, which keeps their code inside it).
  struct Hash {
    size_t operator()(const std::string& s) const { return std::hash<std::string>{}(s); }
    size_t operator()(size_t n) const { return n; }
  };
  struct Occurrence {
    size_t header, end;  // the header line and the line after its last one (the next header or the end)
  };
  struct Section {
    std::string path;  // as written in a header: components joined by single backslashes
    uint32_t parent;
    std::vector<uint32_t> children;
    std::vector<Occurrence> occurrences;  // in file order; none once deleted
    struct Key {
      std::vector<size_t> lines;  // in file order
      bool set = false;           // since Sync()
    };
    std::unordered_map<std::string, Key, Hash> keys;  // folded name: its value lines
    std::map<std::string, std::string, NoCase> added;            // new keys: their lines (without line end)
    size_t liveValues = 0;
    bool lostValues = false;  // a value was deleted
    bool kept = false;        // since Sync()
  };
  static constexpr uint32_t kNone = UINT32_MAX;

  // A value to be set: a string, or a number.
  struct Value {
    bool isString;
    std::string_view text;
    int32_t number;
    bool hex;
  };
  // The record of a section path, made with those of the sections above it when missing.
  uint32_t Record(std::string_view path);
  void Set(std::string_view section, std::string_view key, const Value& value);
  const std::string& Folded(std::string_view name);
  std::string Block(const Section& section) const;
  void RemoveOccurrence(const Occurrence& o);
  size_t AttachedStart(size_t header) const;
  bool IsBlank(const Line& line) const;
  std::string_view Bytes(const Line& line) const { return std::string_view(m_text).substr(line.begin, line.length); }

  std::string m_text;
  size_t m_bomLength = 0;
  std::string m_lineEnd = "\n";
  std::vector<Line> m_lines;
  std::unordered_map<size_t, std::string, Hash> m_replacement;
  std::vector<Section> m_sections;  // the first: the layer itself
  std::unordered_map<std::string, uint32_t, Hash> m_byPath;  // folded path: record
  std::string m_lastPath;  // the path last found, and its record (values come section by section)
  uint32_t m_lastRecord = kNone;
  std::string m_folded;  // room for a folded name
};

}  // namespace navconfig::cfg

#endif
