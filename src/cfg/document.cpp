// The text of a layer file as a document that edits change in place (document.h).
#include "cfg/document.h"

#include <doroutil/strutil.h>

#include <algorithm>
#include <span>
#include <utility>

namespace navconfig::cfg {

namespace {

void Fold(std::string& name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
}

// A line as the writer writes it, without its line end.
std::string WrittenLine(std::string_view key, bool isString, std::string_view text, int32_t number, bool hex) {
  std::string line;
  if (isString) AppendStringLine(line, std::string(key).c_str(), std::string(text).c_str());
  else AppendIntegerLine(line, std::string(key).c_str(), number, hex);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

int CompareNames(std::string_view a, std::string_view b) {
  return SpecialChar_stricmpLengths(a.data(), a.size(), b.data(), b.size());
}

// The components of a path, without empty ones.
std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  for (size_t i = 0; i < path.size();) {
    const size_t cut = std::min(path.find(kPathSeparator, i), path.size());
    if (cut > i) parts.push_back(path.substr(i, cut - i));
    i = cut + 1;
  }
  return parts;
}

// Whether the library's order (a section, then its subsections, siblings by name) puts path a before path b.
bool TreeBefore(std::string_view a, std::string_view b) {
  const auto x = Components(a), y = Components(b);
  for (size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (const int c = CompareNames(x[i], y[i])) return c < 0;
  return x.size() < y.size();
}


}  // namespace

bool Document::NoCase::operator()(const std::string& a, const std::string& b) const { return CompareNames(a, b) < 0; }

Document::Document(std::string_view text, size_t headerLimit) : m_text(text) {
  m_sections.emplace_back();
  m_sections[0].parent = kNone;
  m_byPath.emplace("", 0);
  m_bomLength = ByteOrderMarkLength(m_text.data(), m_text.size());
  bool endKnown = false;
  uint32_t open = kNone;  // the record of the section whose lines these are
  for (size_t pos = m_bomLength; pos < m_text.size();) {
    const size_t end = pos + FindAny3(m_text.data() + pos, m_text.size() - pos, '\n', '\r', '\0');
    const size_t endLength = end == m_text.size() ? 0 : m_text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    if (!endKnown && endLength) {
      endKnown = true;
      if (m_text[end] != '\0') m_lineEnd = m_text.substr(end, endLength);
    }
    const ParsedLine parsed = ParseLine(m_text.data() + pos, end - pos);
    const size_t index = m_lines.size();
    Line line{pos, end - pos, endLength, 0, 0, 0, 0, parsed.number, parsed.isString, parsed.hex, parsed.kind, kNone};
    if (parsed.kind == LineKind::Header || parsed.kind == LineKind::Value) {
      line.nameBegin = static_cast<size_t>(parsed.name - m_text.data());
      line.nameLength = parsed.nameLength;
    }
    if (parsed.kind == LineKind::Value && parsed.isString) {
      line.textBegin = static_cast<size_t>(parsed.text - m_text.data());
      line.textLength = parsed.textLength;
    }
    if (parsed.kind == LineKind::Header) {
      if (open != kNone) m_sections[open].occurrences.back().end = index;
      open = line.section = Record(std::string_view(parsed.name, std::min(parsed.nameLength, headerLimit)));
      m_sections[open].occurrences.push_back({index, SIZE_MAX});
    } else if (parsed.kind == LineKind::Value && open != kNone) {
      // (Values before the first header belong to no section.)
      Section& section = m_sections[open];
      section.keys[Folded(std::string_view(parsed.name, parsed.nameLength))].lines.push_back(index);
      ++section.liveValues;
    }
    m_lines.push_back(line);
    pos = end + endLength;
  }
  if (open != kNone) m_sections[open].occurrences.back().end = m_lines.size();
}

const std::string& Document::Folded(std::string_view name) {
  m_folded.assign(name);
  Fold(m_folded);
  return m_folded;
}

uint32_t Document::Record(std::string_view path) {
  if (m_lastRecord != kNone && path == m_lastPath) return m_lastRecord;
  const auto parts = Components(path);
  std::string joined, folded;
  uint32_t record = 0;
  for (const std::string_view part : parts) {
    if (!joined.empty()) joined += kPathSeparator;
    joined += part;
    folded = Folded(joined);
    const auto found = m_byPath.find(folded);
    if (found != m_byPath.end()) {
      record = found->second;
      continue;
    }
    const auto next = static_cast<uint32_t>(m_sections.size());
    // Named as the sections above it were first named.
    std::string named = record ? m_sections[record].path + kPathSeparator : std::string();
    named += part;
    m_sections.emplace_back();
    m_sections.back().path = std::move(named);
    m_sections.back().parent = record;
    m_sections[record].children.push_back(next);
    m_byPath.emplace(folded, next);
    record = next;
  }
  m_lastPath.assign(path);
  m_lastRecord = record;
  return record;
}

void Document::SetInteger(std::string_view section, std::string_view key, int32_t value, bool hex) {
  Set(section, key, {false, {}, value, hex});
}

void Document::SetString(std::string_view section, std::string_view key, std::string_view text) {
  // The writer writes a string up to its first line break.
  Set(section, key, {true, text.substr(0, FindAny3(text.data(), text.size(), '\r', '\n', '\n')), 0, false});
}

void Document::Set(std::string_view sectionPath, std::string_view key, const Value& value) {
  const uint32_t record = Record(sectionPath);
  if (record == 0) return;  // the writer writes no values of the layer itself
  Section& section = m_sections[record];
  const auto found = section.keys.find(Folded(key));
  if (found == section.keys.end()) {
    section.added[std::string(key)] = WrittenLine(key, value.isString, value.text, value.number, value.hex);
    return;
  }
  // The line the reader takes is the last one of the name.
  found->second.set = true;
  const size_t index = found->second.lines.back();
  Line& old = m_lines[index];
  // A line that holds the value keeps its bytes, unless the name is spelled anew (a reader keeps the spelling of
  // the name's first line).
  const Line& first = m_lines[found->second.lines.front()];
  const bool same = old.isString == value.isString &&
                    (value.isString ? std::string_view(m_text).substr(old.textBegin, old.textLength) == value.text
                                    : old.number == value.number && old.hex == value.hex);
  if (same && std::string_view(m_text).substr(first.nameBegin, first.nameLength) == key) {
    old.replaced = false;
    m_replacement.erase(index);
  } else {
    old.replaced = true;
    m_replacement[index] = WrittenLine(key, value.isString, value.text, value.number, value.hex);
  }
}

void Document::Sync() {
  for (Section& section : m_sections) {
    section.kept = false;
    for (auto& [name, key] : section.keys) key.set = false;
  }
}

void Document::KeepSection(std::string_view path) { m_sections[Record(path)].kept = true; }

void Document::DropUnset() {
  // Values under a header that names the layer itself ("[\]") are read but never written: their lines stay.
  for (Section& section : std::span(m_sections).subspan(1)) {
    for (auto key = section.keys.begin(); key != section.keys.end();) {
      if (key->second.set) {
        ++key;
        continue;
      }
      for (const size_t index : key->second.lines) m_lines[index].deleted = true;
      section.liveValues -= key->second.lines.size();
      section.lostValues = true;
      key = section.keys.erase(key);
    }
    // A header whose section is gone goes as one that lost its values does.
    if (!section.kept) section.lostValues = true;
  }
}

bool Document::IsBlank(const Line& line) const {
  return Bytes(line).find_first_not_of(" \t") == std::string_view::npos;
}

// The comment lines directly above a header: lines that start with ';' or '#'. Other lines the reader ignores
// there (a value or key that a person wrote indented or without quotes, text of any kind) stay where they are, with
// the section above them.
size_t Document::AttachedStart(size_t header) const {
  size_t start = header;
  while (start > 0 && m_lines[start - 1].kind == LineKind::Ignored && m_lines[start - 1].length > 0 &&
         (m_text[m_lines[start - 1].begin] == ';' || m_text[m_lines[start - 1].begin] == '#'))
    --start;
  return start;
}

void Document::RemoveOccurrence(const Occurrence& o) {
  for (size_t i = AttachedStart(o.header); i <= o.header; ++i) m_lines[i].deleted = true;
  // Its own lines end where the comment lines above the next header begin.
  const size_t tail = o.end < m_lines.size() ? std::max(AttachedStart(o.end), o.header + 1) : m_lines.size();
  bool othersStay = false;
  for (size_t i = o.header + 1; i < o.end; ++i) {
    Line& line = m_lines[i];
    if (line.kind == LineKind::Value) line.deleted = true;
    else if (i < tail && !line.deleted && !IsBlank(line)) othersStay = true;
  }
  if (!othersStay)
    for (size_t i = o.header + 1; i < tail; ++i) m_lines[i].deleted = true;
}

std::string Document::Block(const Section& section) const {
  std::string header = kLayerHeader, parent;
  for (const std::string_view part : Components(section.path)) {
    parent.swap(header);
    if (!SubsectionHeader(parent, std::string(part).c_str(), header)) return {};
  }
  std::string block = header + kHeaderClose + m_lineEnd;
  for (const auto& [key, line] : section.added) block += line + m_lineEnd;
  return block + m_lineEnd;
}

std::string Document::Text() {
  // A section that lost its last value goes as a deleted one does.
  for (Section& section : m_sections) {
    if (!section.lostValues || section.liveValues || !section.added.empty()) continue;
    for (const Occurrence& o : section.occurrences) RemoveOccurrence(o);
    section.occurrences.clear();
  }
  // What goes in before each line (and at the end): new keys of sections that have lines, then new sections.
  std::unordered_map<size_t, std::string, Hash> before;
  std::vector<const Section*> fresh;
  for (const Section& section : m_sections) {
    if (section.added.empty()) continue;
    if (section.occurrences.empty()) {
      fresh.push_back(&section);
      continue;
    }
    const Occurrence& o = section.occurrences.back();
    auto next = section.added.begin();
    size_t lastValue = o.header;
    for (size_t i = o.header + 1; i < o.end && next != section.added.end(); ++i) {
      const Line& line = m_lines[i];
      if (line.kind != LineKind::Value) continue;
      lastValue = i;
      if (line.deleted) continue;
      const std::string_view name(m_text.data() + line.nameBegin, line.nameLength);
      for (; next != section.added.end() && CompareNames(next->first, name) < 0; ++next)
        before[i] += next->second + m_lineEnd;
    }
    for (; next != section.added.end(); ++next) before[lastValue + 1] += next->second + m_lineEnd;
  }
  std::sort(fresh.begin(), fresh.end(), [](const Section* a, const Section* b) { return TreeBefore(a->path, b->path); });
  size_t placed = 0;
  for (size_t i = 0; i < m_lines.size() && placed < fresh.size(); ++i) {
    if (m_lines[i].kind != LineKind::Header) continue;
    const std::string& path = m_sections[m_lines[i].section].path;
    for (; placed < fresh.size() && TreeBefore(fresh[placed]->path, path); ++placed)
      before[AttachedStart(i)] += Block(*fresh[placed]);
  }
  if (placed < fresh.size()) {
    // A comment that ends the file stays apart from a section put after it: else it would be that header's
    // comment, and go with the section.
    size_t last = m_lines.size();
    while (last > 0 && m_lines[last - 1].deleted) --last;
    if (last > 0 && m_lines[last - 1].kind == LineKind::Ignored && !IsBlank(m_lines[last - 1]))
      before[m_lines.size()] += m_lineEnd;
  }
  for (; placed < fresh.size(); ++placed) before[m_lines.size()] += Block(*fresh[placed]);

  std::string out;
  out.reserve(m_text.size() + m_text.size() / 8 + 64);
  out.append(m_text, 0, m_bomLength);
  bool open = false;  // the last line has no line end
  const auto insert = [&](size_t at) {
    const auto found = before.find(at);
    if (found == before.end() || found->second.empty()) return;
    if (open) out += m_lineEnd;
    open = false;
    out += found->second;
  };
  for (size_t i = 0; i < m_lines.size(); ++i) {
    insert(i);
    const Line& line = m_lines[i];
    if (line.deleted) continue;
    if (line.replaced) out += m_replacement.at(i);
    else out.append(m_text, line.begin, line.length);
    out.append(m_text, line.begin + line.length, line.endLength);
    open = line.endLength == 0;
  }
  insert(m_lines.size());
  return out;
}

}  // namespace navconfig::cfg
