// Reading layers into the key trees: one pass over a layer's text, from memory or from its file read in
// pieces, whose sections and values are carved from a block of the layer's own.
#include <doroutil/files.h>
#include <doroutil/strutil.h>
#include <platform/os.h>

#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cfg_format.h"
#include "cfg_scan.h"
#include "configmgr.h"

using namespace navconfig;

namespace {

// Bytes of a file taken apart at a time: a piece stays in the processor's cache while it is read.
constexpr size_t kPieceSize = 64 * 1024;

// What AppendRoomy copies of a name or string at once.
constexpr size_t kCopyRoom = 64;

// A tree takes about twice its text (a value record is 40 bytes, its name and string are copied): the first
// block is sized for that, and a text that holds more makes it grow by further pieces. Memory that is never
// carved from a large block is not touched, so it costs no memory but address space.
size_t FirstBlockSize(uint64_t textLength) { return static_cast<size_t>(textLength * 9 / 4 + 4096); }
size_t BlockGrowth(uint64_t textLength) { return static_cast<size_t>(textLength / 2 + 4096); }

// A name's first eight bytes with ASCII letters folded, as a number that orders names as SpecialChar_stricmp
// does as far as those bytes tell (bytes past the name's end count as 0, which sorts first).
inline uint64_t OrderKey(const char* name, size_t length) {
  uint64_t word = 0;
  if (length >= 8) {
    std::memcpy(&word, name, 8);
  } else if (length >= 4) {
    uint32_t low, high;
    std::memcpy(&low, name, 4);
    std::memcpy(&high, name + length - 4, 4);
    if constexpr (std::endian::native == std::endian::little) word = low | uint64_t{high} << (8 * (length - 4));
    else word = uint64_t{low} << 32 | uint64_t{high} << (8 * (8 - length));
  } else {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, name, length);
    std::memcpy(&word, bytes, 8);
  }
  word = FoldAsciiWord(word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

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
// Values that come in the order the writer gives them are appended to their section's list without a search
// and without indexing (TreeIndex makes a section's table when it is first needed).
class LayerBuilder {
 public:
  LayerBuilder(CConfigMgr& mgr, const char* layerName) : m_mgr(mgr), m_index(mgr.IndexRef()), m_layer(layerName) {}

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
  // The number of lines that a rewrite would not keep.
  size_t Finish() const { return m_scanner.Unkept(); }

 private:
  // The sections of a header, found or made as FindOrCreatePath would. Those that the previous header named
  // too are taken from it, so that a file's headers cost no search from the top of the forest.
  void Header(const cfg::ParsedLine& line) {
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
    KeyRoot* parent = same ? m_sections.back() : nullptr;
    for (size_t i = same; i < m_parts.size(); ++i) {
      KeyRoot* section =
          keytree::FindOrCreateChild(&m_mgr, &m_mgr.m_pRoot, parent, m_path.data() + m_parts[i].offset, m_parts[i].length);
      if (!section) break;  // no memory: what there is
      m_sections.push_back(section);
      parent = section;
    }
    m_previous.assign(m_parts.begin(), m_parts.begin() + static_cast<long>(m_sections.size()));
    if (!parent) {
      m_stopped = true;
      return;
    }
    m_section = parent;
    m_info = m_index.FindSection(parent);
    FindTail(!parent->values);
  }

  void Value(const cfg::ParsedLine& line) {
    // Values before the first header have no section and are not stored.
    if (!m_section) return;
    const long type = line.isString ? KEYVALUE_TYPE_STRING : KEYVALUE_TYPE_INTEGER | (line.hex ? KEYVALUE_FLAG_HEX : 0);
    if (m_appendable) {
      const uint64_t order = OrderKey(line.name, line.nameLength);
      if (!m_tail || order > m_tailOrder ||
          (order == m_tailOrder && (line.nameLength > 8 || m_tailLength > 8) &&
           SpecialChar_stricmpLengths(line.name, line.nameLength, m_tail->name, m_tailLength) > 0)) {
        KeyValue* value = Append(line, type);
        if (!value) return;  // no memory: the value is not stored, and the lists stay whole
        // The section's table is made from its list when it is first needed; one made already keeps the value.
        if (m_info->values.Made()) m_index.AddValue(m_info, value, FoldedHash(line.name, line.nameLength));
        m_info->valueHint = m_tail = value;
        m_info->valueHintLength = m_tailLength = line.nameLength;
        m_info->textValid = false;
        m_tailOrder = order;
        return;
      }
    }
    // Out of order, or a name the section holds already: stored as any write is.
    const char* text = line.isString ? line.text : "";
    const size_t textLength = line.isString ? line.textLength : 0;
    keytree::AddValueIn(&m_mgr, m_section, m_info, line.name, line.nameLength, type, line.number, text, textLength,
                        false);
    FindTail(false);
  }

  // A new value after m_tail: its record, name and string carved from the block in one piece, or else as
  // AppendNewValue makes it.
  KeyValue* Append(const cfg::ParsedLine& line, long type) {
    const size_t nameCost = keytree::CarveSize(line.nameLength + 1);
    const size_t cost = keytree::CarveSize(sizeof(KeyValue)) + nameCost +
                        (line.isString ? keytree::StringCost(line.textLength) : 0);
    if (line.roomy && m_mgr.RegionRoom() >= cost + kCopyRoom) return AppendRoomy(line, type, nameCost, cost);
    char* piece = static_cast<char*>(m_mgr.CarveQuick(cost));
    if (!piece) {
      const char* text = line.isString ? line.text : "";
      return keytree::AppendNewValue(&m_mgr, m_section, m_info, m_tail, line.name, line.nameLength, type,
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
    char* piece = static_cast<char*>(m_mgr.CarveQuick(cost));
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

  // Whether values may be appended from now on: to an empty list, or after the value stored last when it ends
  // the list.
  void FindTail(bool emptyList) {
    m_tail = nullptr;
    m_appendable = m_info && emptyList;
    if (m_info && !emptyList && m_info->valueHint && !m_info->valueHint->next) {
      m_tail = m_info->valueHint;
      m_tailLength = m_info->valueHintLength;
      m_tailOrder = OrderKey(m_tail->name, m_tailLength);
      m_appendable = true;
    }
  }

  CConfigMgr& m_mgr;
  TreeIndex& m_index;
  const char* m_layer;
  cfg::LineScanner m_scanner{nullptr, 0};
  std::string m_path, m_previousPath;
  std::vector<Component> m_parts, m_previous;  // of this header's path and of the previous one's
  std::vector<KeyRoot*> m_sections;            // the sections of m_previous
  KeyRoot* m_section = nullptr;
  SectionInfo* m_info = nullptr;
  bool m_stopped = false;
  bool m_appendable = false;
  KeyValue* m_tail = nullptr;  // the last value of the section's list, while m_appendable
  size_t m_tailLength = 0;
  uint64_t m_tailOrder = 0;  // OrderKey of its name
  // What a value carved from a block starts as (copied, so that making one calls nothing).
  const KeyValue m_blank = Blank();
};

// The length of the part of [text, text + length) that ends with its last line end; 0 when there is none.
size_t WholeLines(const char* text, size_t length) {
  for (size_t i = length; i > 0; --i)
    if (cfg::IsLineEnd(text[i - 1])) return i;
  return 0;
}

}  // namespace

size_t CConfigMgr::ParseConfigText(const char* text, size_t length, const char* layerName) {
  LayerBuilder builder(*this, layerName);
  builder.Feed(text, length);
  return builder.Finish();
}

size_t CConfigMgr::ReadLayerText(const char* layerName, const char* text, size_t length) {
  // A byte order mark would hide the first header (its first byte is a quote byte).
  const size_t mark = cfg::ByteOrderMarkLength(text, length);
  text += mark;
  length -= mark;
  AddTreeHead(FirstBlockSize(length), BlockGrowth(length));
  const size_t unkept = ParseConfigText(text, length, layerName);
  EndTreeHead();
  DropEmptyTreeHead();
  return unkept;
}

long CConfigMgr::ReadLayerPieces(const char* layerName, platform::FileReader& reader) {
  const bool inMemory = FindLayerInfo(layerName) != nullptr;
  AddTreeHead(FirstBlockSize(reader.Size()), BlockGrowth(reader.Size()));
  LayerBuilder builder(*this, layerName);
  // Not cleared: every byte taken apart was read into it first.
  size_t capacity = kPieceSize;
  std::unique_ptr<char[]> buffer(new char[capacity]);
  size_t have = 0;
  bool first = true;
  bool failed = false;
  for (;;) {
    const long n = reader.Read(buffer.get() + have, capacity - have);
    if (n < 0) {
      failed = true;
      break;
    }
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
    if (end) break;
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
  const size_t unkept = builder.Finish();
  EndTreeHead();
  // A file that could not be read to its end is not taken in part: a save would otherwise write the part.
  if (failed && !inMemory) keytree::DeleteBranch(this, &m_pRoot, layerName);
  DropEmptyTreeHead();
  return failed ? -1 : static_cast<long>(unkept);
}

bool CConfigMgr::ReadLayerFile(const char* layerName) {
  if (!layerName || !platform::IsSafeFileComponent(layerName)) return false;
  std::string file;
  const std::string candidate = LayerFilePath(layerName);
  if (!candidate.empty()) {
    // Identified before it is read, so that a change in between is found at the next save.
    const platform::FileIdentity identity = platform::IdentifyFile(candidate);
    NoteLayerRead(layerName, candidate, identity);
    if (identity.kind == platform::FileIdentity::Kind::Regular) file = candidate;
  }
  if (file.empty()) file = FallbackLayerFile(layerName);
  if (file.empty()) return false;

  platform::FileReader reader(file);
  long unkept = reader.IsOpen() ? ReadLayerPieces(layerName, reader) : -1;
  if (unkept < 0) {
    // What could not be read is read again before the next save, rather than written over.
    NoteLayerRead(layerName, std::string(), platform::FileIdentity{}, false);
    unkept = 0;
  }
  m_layerFiles[FoldedLayer(layerName)].unkeptLines = unkept != 0;
  EndTreeHead();
  return true;
}
