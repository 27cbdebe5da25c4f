// LayerLoader: one pass over a layer's text, from memory or from its file read in pieces, whose sections and
// values are carved from a block of the layer's own.
#include "store/layer_loader.h"

#include <doroutil/strutil.h>
#include <platform/os.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cfg/format.h"
#include "cfg/scanner.h"
#include "common/folded_names.h"
#include "store/forest.h"
#include "store/keytree.h"
#include "store/tree_index.h"

namespace navconfig {

namespace {

// Bytes of a file taken apart at a time: a piece stays in the processor's cache while it is read.
constexpr size_t kPieceSize = 64 * 1024;

// A section that comes back under a later header, out of order, is put in order when that header ends if it held
// at most this many values before (else when the text is read).
constexpr size_t kSortedAtOnce = 64;

// What AppendRoomy copies of a name or string at once.
constexpr size_t kCopyRoom = 64;

// A tree takes about twice its text (a value record is 40 bytes, its name and string are copied): the first
// block is sized for that, and a text that holds more makes it grow by further pieces. Memory that is never
// carved from a large block is not touched, so it costs no memory but address space.
size_t FirstBlockSize(uint64_t textLength) { return static_cast<size_t>(textLength * 9 / 4 + 4096); }
size_t BlockGrowth(uint64_t textLength) { return static_cast<size_t>(textLength / 2 + 4096); }

KeyValue Blank() {
  KeyValue blank(nullptr);
  blank.allocated = false;
  blank.strAllocated = false;
  return blank;
}

// The components of a header's section path ("<layer>\<name>", cut at 255 bytes as a path is; empty components
// skipped), as spans of the path.
struct Component {
  size_t offset;
  size_t length;
};
void HeaderComponents(std::string& path, const char* layerName, const cfg::ParsedLine& header,
                      std::vector<Component>& parts) {
  path.assign(layerName);
  path += cfg::kPathSeparator;
  path.append(header.name, header.nameLength < keytree::kMaxPath ? header.nameLength : keytree::kMaxPath);
  if (path.size() > keytree::kMaxPath) path.resize(keytree::kMaxPath);
  parts.clear();
  for (size_t i = 0; i < path.size();) {
    if (path[i] == cfg::kPathSeparator) {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < path.size() && path[i] != cfg::kPathSeparator) ++i;
    parts.push_back({start, i - start});
  }
}

// The sections and values of one layer from its text, handed over in pieces that each end with a whole line
// (only the last may end without a line end).
//
// Sections and values are linked at the ends of their lists as they come, without a search and without indexing
// values (TreeIndex makes a section's table when it is first needed); a section is found again through the index.
// A list that received a name out of order (or one it holds already) is put in order once, when the text is
// read: loading is linear in the text whatever its order, and a text in the writer's order needs no sort at all.
class LayerBuilder {
 public:
  LayerBuilder(Forest& forest, const char* layerName) : m_forest(forest), m_index(forest.IndexRef()), m_layer(layerName) {}
  // A text left part-way (no memory) leaves its lists whole: the sections made out of order are linked as they
  // came, so that every section in the index is in a list, and can be released with it.
  ~LayerBuilder() {
    for (Parent& parent : m_parents) {
      if (!parent.unsorted) continue;
      KeyRoot** link = &parent.section->children;
      for (const Subsection& child : parent.children) {
        *link = child.section;
        link = &child.section->next;
      }
      *link = nullptr;
      parent.info->childHint = nullptr;
    }
  }
  LayerBuilder(const LayerBuilder&) = delete;
  LayerBuilder& operator=(const LayerBuilder&) = delete;

  void Feed(const char* text, size_t length) {
    m_scanner.Continue(text, length);
    cfg::ParsedLine line;
    // After a section could not be made, the rest is only scanned, for the count of lines that are not kept.
    while (m_scanner.Next(line)) {
      if (m_stopped) continue;
      if (line.kind == cfg::LineKind::Header) Header(line);
      else Value(line);
    }
  }
  // Puts in order the lists that did not come in order.
  void Finish() {
    Leave();
    for (Parent& parent : m_parents) {
      if (!parent.unsorted) continue;
      m_room.Clear();
      for (const Subsection& child : parent.children) m_room.Add(child.section, child.order, child.length);
      keytree::SortAddedChildren(parent.section, parent.info, m_room);
      parent.unsorted = false;
    }
    Unique(m_unsortedSections);
    for (SectionInfo* info : m_unsortedSections) keytree::SortValues(&m_forest, info->section, info, m_room);
    m_parents.clear();
    m_parentsByPath.Clear();
    m_unsortedSections.clear();
  }

 private:
  template <typename T>
  static void Unique(std::vector<T>& items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
  }

  // The sections of a header, found or made as FindOrCreatePath would. Those that the previous header named
  // too are taken from it, so that a file's headers cost no search from the top of the forest.
  void Header(const cfg::ParsedLine& line) {
    Leave();
    m_path.swap(m_previousPath);
    HeaderComponents(m_path, m_layer, line, m_parts);
    if (m_parts.empty()) {
      m_stopped = true;
      return;
    }
    size_t same = 0;
    while (same < m_parts.size() && same < m_sections.size() && m_parts[same].length == m_previous[same].length &&
           EqualsIgnoringCase(m_path.data() + m_parts[same].offset, m_previousPath.data() + m_previous[same].offset,
                              m_parts[same].length))
      ++same;
    m_sections.resize(same);
    m_infos.resize(same);
    m_parentOf.resize(same);
    m_joinedEnd.resize(same);
    for (size_t i = same; i < m_parts.size(); ++i) {
      const char* name = m_path.data() + m_parts[i].offset;
      const size_t length = m_parts[i].length;
      Found found;
      if (i == 0) {
        m_joined.assign(name, length);
        found.section = keytree::FindOrCreateChild(&m_forest, m_forest.RootSlot(), nullptr, name, length);
        found.info = found.section ? m_index.FindSection(found.section) : nullptr;
        found.parent = found.info ? FindParent(TreeIndex::PathHash(name, length)) : kNone;
      } else {
        m_joined.resize(m_joinedEnd[i - 1]);
        m_joined += cfg::kPathSeparator;
        m_joined.append(name, length);
        found = Child(i - 1, name, length);
      }
      if (!found.info) break;  // no memory: what there is
      m_sections.push_back(found.section);
      m_infos.push_back(found.info);
      m_parentOf.push_back(found.parent);
      m_joinedEnd.push_back(m_joined.size());
    }
    m_previous.assign(m_parts.begin(), m_parts.begin() + static_cast<long>(m_sections.size()));
    if (m_sections.empty()) {
      m_stopped = true;
      return;
    }
    m_section = m_sections.back();
    m_info = m_infos.back();
    FindTail();
  }

  // A section of the header's path: its record, its index record, and its entry in m_parents (kNone: none yet).
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Found {
    KeyRoot* section = nullptr;
    SectionInfo* info = nullptr;
    uint32_t parent = kNone;
  };

  // The subsection of that name below the header's component `above`, whose path m_joined holds: a section that
  // this text made subsections in already, found among those; else found through the index; else made at the end
  // of the list (which is then put in order when the text is read, unless it came in order). No record when none
  // could be had.
  Found Child(size_t above, const char* name, size_t length) {
    const uint64_t hash = TreeIndex::PathHash(m_joined.data(), m_joined.size());
    Found found;
    found.parent = FindParent(hash);
    if (found.parent != kNone) {
      found.section = m_parents[found.parent].section;
      found.info = m_parents[found.parent].info;
      return found;
    }
    if (SectionInfo* info = m_index.FindSection(hash, m_joined.data(), m_joined.size())) {
      found.section = info->section;
      found.info = info;
      return found;
    }
    if (m_parentOf[above] == kNone) m_parentOf[above] = AddParent(above);
    Parent& parent = m_parents[m_parentOf[above]];
    const uint64_t order = keytree::OrderKey(name, length);
    // While the list is in order, its last subsection is the end of the list.
    const Subsection* tail = parent.children.empty() ? nullptr : &parent.children.back();
    if (!parent.unsorted && tail &&
        (order < tail->order ||
         (order == tail->order && SpecialChar_stricmpLengths(name, length, tail->section->name, tail->length) <= 0)))
      parent.unsorted = true;
    KeyRoot* const last = tail ? tail->section : nullptr;
    // Room for its entry first: a section made is in parent.children (and so in a list by the end) or not made.
    if (parent.children.size() == parent.children.capacity()) parent.children.reserve(2 * parent.children.size() + 4);
    SectionInfo* made = nullptr;
    KeyRoot* child = nullptr;
    if (parent.unsorted) {
      // A list out of order is linked when it is put in order: the end of the list, made long before, is not
      // read again for each section.
      child = keytree::NewChild(&m_forest, parent.info, name, length, &made);
    } else {
      child = keytree::AppendNewChild(&m_forest, parent.section, parent.info, last, name, length, &made);
      parent.info->childHint = child;
    }
    if (!child) return found;
    parent.children.push_back({child, order, length});
    found.section = child;
    found.info = made;
    return found;
  }

  // The entry in m_parents of the section of that path hash whose path m_joined holds, or kNone.
  uint32_t FindParent(uint64_t hash) const {
    const ParentSlot* slot = m_parentsByPath.Find(hash, [&](const ParentSlot& s) {
      const Parent& p = m_parents[s.parent];
      return p.pathLength == m_joined.size() &&
             index_detail::SameFolded(m_parentPaths.data() + p.pathOffset, m_joined.data(), p.pathLength);
    });
    return slot ? slot->parent : kNone;
  }

  // An entry in m_parents for the header's component `above`, which this text makes a first subsection in.
  uint32_t AddParent(size_t above) {
    Parent p;
    p.section = m_sections[above];
    p.info = m_infos[above];
    p.pathOffset = m_parentPaths.size();
    p.pathLength = m_joinedEnd[above];
    for (size_t i = 0; i < p.pathLength; ++i) m_parentPaths += FoldAscii(m_joined[i]);
    // Subsections it had before this text (none, unless the layer was in memory).
    for (KeyRoot* child = p.section->children; child; child = child->next) {
      const char* name = child->name ? child->name : "";
      const size_t length = std::strlen(name);
      p.children.push_back({child, keytree::OrderKey(name, length), length});
    }
    const auto k = static_cast<uint32_t>(m_parents.size());
    m_parents.push_back(std::move(p));
    m_parentsByPath.Insert({TreeIndex::PathHash(m_joined.data(), m_joinedEnd[above]), k});
    return k;
  }

  void Value(const cfg::ParsedLine& line) {
    // Values before the first header have no section and are not stored.
    if (!m_section) return;
    const long type = line.isString ? KEYVALUE_TYPE_STRING : KEYVALUE_TYPE_INTEGER | (line.hex ? KEYVALUE_FLAG_HEX : 0);
    const uint64_t order = keytree::OrderKey(line.name, line.nameLength);
    if (!m_unsorted) {
      if (!m_tail || order > m_tailOrder ||
          (order == m_tailOrder && (line.nameLength > 8 || m_tailLength > 8) &&
           SpecialChar_stricmpLengths(line.name, line.nameLength, m_tail->name, m_tailLength) > 0)) {
        KeyValue* value = Append(line, type);
        if (!value) return;  // no memory: the value is not stored, and the lists stay whole
        // The section's table is made from its list when it is first needed; one made already keeps the value.
        if (m_info->values.Made()) m_index.AddValue(m_info, value, FoldedHash(line.name, line.nameLength), line.nameLength);
        Appended(value, line.nameLength);
        m_tailOrder = order;
        return;
      }
      // Out of order, or a name the section holds already: from here on the values of this header are appended as
      // they come. A section whose values all come under this header, or that held only a few before, is put in
      // order when the header ends, from sort keys taken while its records are at hand; a longer one is put in
      // order when the text is read. So a list is sorted at most twice, and a header costs at most a few steps
      // more than its values, however often its section comes back.
      m_unsorted = m_handOrder = true;
      TreeIndex::ForgetValues(m_info);
      m_room.Clear();
      if (!m_collect) {
        // The values it held before are collected in the same walk that counts them.
        KeyValue* v = m_section->values;
        for (; v && m_room.records.size() < kSortedAtOnce; v = v->next) m_room.Add(v, v->name, std::strlen(v->name));
        m_collect = !v;
        if (!m_collect) m_unsortedSections.push_back(m_info);
      } else {
        for (KeyValue* v = m_section->values; v; v = v->next) m_room.Add(v, v->name, std::strlen(v->name));
      }
    }
    if (KeyValue* value = Append(line, type)) {
      Appended(value, line.nameLength);
      if (m_collect) m_room.Add(value, order, line.nameLength);
    }
  }

  // The end of a header's values. Values taken as they come that came in order after all (a file in the library's
  // order with a few lines edited by hand) are linked in order already: such a section needs no sort, and the
  // values of the next header are compared with their section's last again.
  void Leave() {
    if (m_unsorted && m_collect) {
      if (InOrder(m_room)) {
        TreeIndex::ForgetValues(m_info);
        m_handOrder = false;
      } else {
        keytree::SortAddedValues(m_section, m_info, m_room);
      }
    }
    m_unsorted = false;
  }

  // Whether the entries' names rise strictly in their first eight bytes (names that share them are left to a sort).
  static bool InOrder(const keytree::SortRoom& room) {
    const auto& entries = room.entries;
    bool rising = true;
    for (size_t i = 1; i < entries.size(); ++i) rising &= entries[i - 1].order < entries[i].order;
    return rising;
  }

  void Appended(KeyValue* value, size_t nameLength) {
    m_info->valueHint = m_tail = value;
    m_info->valueHintLength = m_tailLength = nameLength;
    m_info->textValid = false;
  }

  // A new value after m_tail: its record, name and string carved from the block in one piece, or else as
  // AppendNewValue makes it.
  KeyValue* Append(const cfg::ParsedLine& line, long type) {
    const size_t nameCost = keytree::CarveSize(line.nameLength + 1);
    const size_t cost = keytree::CarveSize(sizeof(KeyValue)) + nameCost +
                        (line.isString ? keytree::StringCost(line.textLength) : 0);
    if (line.roomy && m_forest.RegionRoom() >= cost + kCopyRoom) return AppendRoomy(line, type, nameCost, cost);
    char* piece = static_cast<char*>(m_forest.CarveQuick(cost));
    if (!piece) {
      const char* text = line.isString ? line.text : "";
      return keytree::AppendNewValue(&m_forest, m_section, m_info, m_tail, line.name, line.nameLength, type,
                                     line.number, text, line.isString ? line.textLength : 0);
    }
    auto* value = new (piece) KeyValue(m_blank);
    char* name = piece + keytree::CarveSize(sizeof(KeyValue));
    keytree::CopyText(name, line.name, line.nameLength);
    name[line.nameLength] = '\0';
    value->name = name;
    value->type = static_cast<uint32_t>(type);
    if (line.isString) {
      char* text = name + nameCost;
      keytree::CopyText(text, line.text, line.textLength);
      text[line.textLength] = '\0';
      value->strValue = text;
    } else {
      value->intValue = static_cast<int32_t>(static_cast<uint32_t>(line.number));
    }
    KeyValue** link = m_tail ? &m_tail->next : &m_section->values;
    value->next = *link;
    *link = value;
    return value;
  }

  // Append for a line whose name and string (of up to 63 bytes each) may be read 64 bytes at a time, in a
  // region with room for 64 bytes past the piece: the copies and the choice of type take no branch, and the
  // bytes copied past a name or string are written over by the pieces carved next.
  KeyValue* AppendRoomy(const cfg::ParsedLine& line, long type, size_t nameCost, size_t cost) {
    char* piece = static_cast<char*>(m_forest.CarveQuick(cost));
    auto* value = new (piece) KeyValue(m_blank);
    char* name = piece + keytree::CarveSize(sizeof(KeyValue));
    std::memcpy(name, line.name, kCopyRoom);
    name[line.nameLength] = '\0';
    char* text = name + nameCost;
    std::memcpy(text, line.isString ? line.text : line.name, kCopyRoom);
    text[line.textLength] = '\0';
    value->name = name;
    value->type = static_cast<uint32_t>(type);
    value->strValue = line.isString ? text : nullptr;
    value->intValue = static_cast<int32_t>(static_cast<uint32_t>(line.number));
    KeyValue** link = m_tail ? &m_tail->next : &m_section->values;
    value->next = *link;
    *link = value;
    return value;
  }

  // The last value of the section's list, which the values of a header are appended after: the hint of the value
  // appended last, which a loader keeps at the end of the list, or else found by a walk (once per section).
  void FindTail() {
    m_unsorted = false;
    m_collect = !m_section->values;
    // In a text whose values came out of order before, a new section's values are taken as they come, and put in
    // order when its header ends.
    if (m_collect && m_handOrder) {
      m_unsorted = true;
      m_room.Clear();
    }
    m_tail = m_info->valueHint && !m_info->valueHint->next ? m_info->valueHint : m_section->values;
    if (!m_tail) return;
    while (m_tail->next) m_tail = m_tail->next;
    m_tailLength = m_tail == m_info->valueHint ? m_info->valueHintLength : std::strlen(m_tail->name ? m_tail->name : "");
    m_tailOrder = keytree::OrderKey(m_tail->name ? m_tail->name : "", m_tailLength);
  }

  Forest& m_forest;
  TreeIndex& m_index;
  const char* m_layer;
  cfg::LineScanner m_scanner{nullptr, 0};
  std::string m_path, m_previousPath;
  std::vector<Component> m_parts, m_previous;  // of this header's path and of the previous one's
  std::vector<KeyRoot*> m_sections;            // the sections of m_previous
  std::vector<SectionInfo*> m_infos;           // and their records
  std::string m_joined;                        // their path, joined by single backslashes
  std::vector<size_t> m_joinedEnd;             // the length of m_joined through each of them
  KeyRoot* m_section = nullptr;
  SectionInfo* m_info = nullptr;
  bool m_stopped = false;
  bool m_unsorted = false;     // the values of this header are appended as they come
  bool m_handOrder = false;    // the values of a header came out of order, and no header collected since came in order
  bool m_collect = false;      // sort keys of the section's values are taken in m_room
  KeyValue* m_tail = nullptr;  // the last value of the section's list
  size_t m_tailLength = 0;
  uint64_t m_tailOrder = 0;  // OrderKey of its name
  // A section that this text made subsections in: the sort keys of its subsections in the order they were made (the
  // last is the end of its list while it is in order), so that its list is put in order, when it did not come in
  // order, without a walk along it.
  struct Subsection {
    KeyRoot* section;
    uint64_t order;
    size_t length;
  };
  struct Parent {
    KeyRoot* section = nullptr;
    SectionInfo* info = nullptr;
    size_t pathOffset = 0, pathLength = 0;  // of its path in m_parentPaths, folded
    bool unsorted = false;  // a subsection was made out of order
    std::vector<Subsection> children;
  };
  std::vector<Parent> m_parents;
  struct ParentSlot {
    uint64_t hash = 0;  // of the path (PathHash); 0: a free slot
    uint32_t parent = kNone;
  };
  FlatTable<ParentSlot> m_parentsByPath;
  std::string m_parentPaths;
  std::vector<uint32_t> m_parentOf;  // the entry in m_parents of each of m_sections, or kNone
  // The lists of values that are to be put in order when the text is read (perhaps named more than once).
  std::vector<SectionInfo*> m_unsortedSections;
  keytree::SortRoom m_room;
  // What a value carved from a block starts as (copied, so that making one calls nothing).
  const KeyValue m_blank = Blank();
};

// The length of the part of [text, text + length) that ends with its last line end; 0 when there is none.
size_t WholeLines(const char* text, size_t length) {
  for (size_t i = length; i > 0; --i)
    if (cfg::IsLineEnd(text[i - 1])) return i;
  return 0;
}

// Reads a file from its start to its end and hands the builder whole lines, a piece at a time (a byte order mark
// before the first line passed by); false when reading failed. text (when not null) receives every byte read.
bool FeedPieces(platform::FileReader& reader, LayerBuilder& builder, std::string* text) {
  // Not cleared: every byte taken apart was read into it first.
  size_t capacity = kPieceSize;
  std::unique_ptr<char[]> buffer(new char[capacity]);
  size_t have = 0;
  bool first = true;
  for (;;) {
    const long n = reader.Read(buffer.get() + have, capacity - have);
    if (n < 0) return false;
    have += static_cast<size_t>(n);
    const bool end = n == 0;
    // A byte order mark before the first line is passed by (it would hide the first header).
    size_t begin = 0;
    if (first) {
      if (have < 3 && !end) continue;
      begin = cfg::ByteOrderMarkLength(buffer.get(), have);
      first = false;
    }
    // Whole lines only, until the end of the file; the rest of a line waits for the next read.
    const size_t whole = end ? have : begin + WholeLines(buffer.get() + begin, have - begin);
    builder.Feed(buffer.get() + begin, whole - begin);
    if (text) text->append(buffer.get(), whole);
    if (end) return true;
    std::memmove(buffer.get(), buffer.get() + whole, have - whole);
    have -= whole;
    if (have == capacity) {
      // A line longer than the buffer.
      std::unique_ptr<char[]> larger(new char[capacity * 2]);
      std::memcpy(larger.get(), buffer.get(), have);
      buffer = std::move(larger);
      capacity *= 2;
    }
  }
}

}  // namespace

void LayerLoader::Parse(const char* layerName, const char* text, size_t length) {
  LayerBuilder builder(m_forest, layerName);
  builder.Feed(text, length);
  builder.Finish();
}

void LayerLoader::LoadText(const char* layerName, const char* text, size_t length) {
  // A byte order mark would hide the first header (its first byte is a quote byte).
  const size_t mark = cfg::ByteOrderMarkLength(text, length);
  text += mark;
  length -= mark;
  m_forest.AddTreeHead(FirstBlockSize(length), BlockGrowth(length));
  Parse(layerName, text, length);
  m_forest.EndTreeHead();
  m_forest.DropEmptyTreeHead();
}

platform::Status LayerLoader::LoadFile(const char* layerName, platform::FileReader& reader, std::string* text) {
  const bool inMemory = m_forest.FindLayer(layerName) != nullptr;
  m_forest.AddTreeHead(FirstBlockSize(reader.Size()), BlockGrowth(reader.Size()));
  LayerBuilder builder(m_forest, layerName);
  if (text) text->reserve(reader.Size());
  const bool read = FeedPieces(reader, builder, text);
  builder.Finish();
  m_forest.EndTreeHead();
  // A file that could not be read to its end is not taken in part: a save would otherwise write the part.
  if (!read && !inMemory) keytree::DeleteBranch(&m_forest, m_forest.RootSlot(), layerName);
  m_forest.DropEmptyTreeHead();
  if (!read) return platform::Status::Error("the file could not be read to its end");
  return platform::Status::Ok();
}

}  // namespace navconfig
