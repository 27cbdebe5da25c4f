// TreeIndex: hash tables kept beside the sorted lists of the key trees, so that a read finds a section by
// its path and a value by its section and name without walking the lists.
//
// The lists stay the truth: the index only points into them. Sections are keyed by their whole path from
// the layer, folded to lower case ("user\image"); each indexed section has a record (SectionInfo) that holds
// a small table of its own values, keyed by their folded names. A read therefore touches one slot of the
// path table, the section's record and its value table, and the value: the tables of one section lie
// together, and a file's values are indexed section by section as they are read, so that loading a large
// file does not scatter writes over one large table. Every operation of the tree that adds or removes a
// record keeps the index true (keytree.cpp). Each indexed section also carries insertion hints (the value
// and the subsection inserted last), so that input in sorted order, such as a file the writer produced, is
// inserted in constant time.
// Not thread-safe: the configuration's lock guards it with the trees; lookups change nothing, so that reads
// holding the lock for reading may look up together.
#ifndef NAVCONFIG_SRC_STORE_TREE_INDEX_H
#define NAVCONFIG_SRC_STORE_TREE_INDEX_H

#include <config/keytree.h>
#include <doroutil/strutil.h>

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/folded_names.h"

namespace navconfig {

// The values of one section by folded name: open addressing with linear probing over a power-of-two number
// of slots, each a value and a tag of seven bits of its name's hash and its name's length (0 marks a free
// slot), so that a probe compares names only where both agree, and needs no length of a stored name.
//
// A table is made from its section's list when it is first needed, not when the values come: a file's values
// are only linked into their lists while it is read, and a section that nobody reads costs no table. The
// first lookup makes it, also a lookup of one of several readers that hold the configuration's lock for
// reading: one of them makes it while the others sleep until it is done. When its memory cannot be had, the
// table is not made (a waiting reader then tries itself) and the lookup walks the section's list instead; a table
// that cannot grow for a new value is dropped, to be made again from the list by the next lookup.
class ValueTable {
 public:
  ValueTable() = default;
  ~ValueTable();
  ValueTable(const ValueTable&) = delete;
  ValueTable& operator=(const ValueTable&) = delete;

  // Whether the table holds the values of its section's list (it is kept so from then on).
  bool Made() const { return m_state.load(std::memory_order_acquire) == kMade; }
  KeyValue* Find(const char* name, size_t nameLength, uint64_t nameHash) const;
  // False when the table could not grow for it (it is then dropped: not made, to be made again from the list).
  bool Insert(KeyValue* value, uint64_t nameHash, size_t nameLength);
  // Removes the entry of this record; false when it has none.
  bool Erase(const KeyValue* value, uint64_t nameHash);
  size_t Count() const { return m_count; }

 private:
  friend class TreeIndex;
  enum : uint8_t { kNotMade, kMaking, kMade };
  // Names of this length or longer share the tag's length.
  static constexpr size_t kLongName = 255;
  static uint16_t Tag(uint64_t hash, size_t nameLength) {
    return static_cast<uint16_t>(((hash >> 57) + 1) | (nameLength < kLongName ? nameLength : kLongName) << 8);
  }
  // Makes room for this many entries in all without growing again; false when the memory cannot be had.
  bool Reserve(size_t count);
  bool Rehash(size_t slots);
  void Drop();
  // One allocation: the values, then the tags.
  KeyValue** m_values = nullptr;
  uint16_t* m_tags = nullptr;
  uint32_t m_mask = 0;
  uint32_t m_count = 0;
  std::atomic<uint8_t> m_state{kNotMade};
};

// The index's record of one section. It is allocated with its folded path before it, so that a lookup, which
// compares the path and goes on to the table of values, finds both in the same few bytes.
struct SectionInfo {
  uint32_t pathLength = 0;
  // Some value or string of the section comes from the heap (otherwise all were carved from a block).
  bool heapPieces = false;
  bool textValid = false;  // of text
  int8_t layeredLayer = -1;    // a top-level section: which of the layered layers it is (see TreeIndex)
  int8_t layeredChildOf = -1;  // a section right below a layered layer: which one
  ValueTable values;
  uint64_t hash = 0;  // of the path, as TreeIndex::PathHash gives it
  KeyRoot* section = nullptr;
  KeyValue* valueHint = nullptr;  // the value inserted last, or null
  size_t valueHintLength = 0;     // the length of its name
  KeyRoot* childHint = nullptr;   // the subsection inserted last, or null
  // The section's own text in its layer's file as the last save wrote it; valid until a value changes.
  std::string text;
  // The records from the heap of values taken out of the list, kept until the section goes or a new value takes
  // one over: a caller's cursor may stand on one (see keytree::Retire).
  std::vector<KeyValue*> retired;

  // The bytes before the record that hold a path of that length and its terminator.
  static size_t PathRoom(size_t length) { return (length + 1 + alignof(SectionInfo) - 1) / alignof(SectionInfo) * alignof(SectionInfo); }
  const char* Path() const { return reinterpret_cast<const char*>(this) - PathRoom(pathLength); }
};

namespace index_detail {

// Whether n bytes of a folded text equal n bytes of a text as given, folded here (ASCII letters to lower case).
inline bool SameFolded(const char* folded, const char* text, size_t n) {
  return EqualWords(folded, text, n, [](uint64_t wf, uint64_t wt) { return wf == FoldAsciiWord(wt); });
}

}  // namespace index_detail

// Open addressing with linear probing; an entry's hash is never 0 (0 marks a free slot).
template <typename Entry>
class FlatTable {
 public:
  template <typename Match>
  Entry* Find(uint64_t hash, Match match) const {
    if (m_count == 0) return nullptr;
    for (size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
      const Entry& e = m_slots[i];
      if (e.hash == 0) return nullptr;
      if (e.hash == hash && match(e)) return const_cast<Entry*>(&e);
    }
  }
  // Room for one more entry without growing; false when the memory cannot be had (nothing changes then).
  bool MakeRoom() noexcept {
    if ((m_count + 1) * 2 <= m_slots.size()) return true;
    try {
      Grow();
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  void Insert(const Entry& entry) {
    if ((m_count + 1) * 2 > m_slots.size()) Grow();
    size_t i = entry.hash & m_mask;
    while (m_slots[i].hash != 0) i = (i + 1) & m_mask;
    m_slots[i] = entry;
    ++m_count;
  }
  template <typename Match>
  bool Erase(uint64_t hash, Match match) {
    Entry* e = Find(hash, match);
    if (!e) return false;
    size_t i = static_cast<size_t>(e - m_slots.data());
    // Backward shift: pull later entries of the same run into the gap so that no probe chain breaks.
    for (size_t j = (i + 1) & m_mask;; j = (j + 1) & m_mask) {
      Entry& next = m_slots[j];
      if (next.hash == 0) break;
      size_t home = next.hash & m_mask;
      if (((j - home) & m_mask) >= ((j - i) & m_mask)) {
        m_slots[i] = next;
        i = j;
      }
    }
    m_slots[i] = Entry{};
    --m_count;
    return true;
  }
  void Clear() {
    std::vector<Entry>().swap(m_slots);
    m_mask = 0;
    m_count = 0;
  }
  size_t Count() const { return m_count; }
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const Entry& e : m_slots)
      if (e.hash != 0) visit(e);
  }

 private:
  void Grow() { Rehash(m_slots.empty() ? 64 : m_slots.size() * 2); }
  void Rehash(size_t slots) {
    std::vector<Entry> old = std::move(m_slots);
    m_slots.assign(slots, Entry{});
    m_mask = m_slots.size() - 1;
    m_count = 0;
    for (const Entry& e : old)
      if (e.hash != 0) Insert(e);
  }
  std::vector<Entry> m_slots;
  size_t m_mask = 0;
  size_t m_count = 0;
};

class TreeIndex {
 public:
  TreeIndex() = default;
  ~TreeIndex();
  TreeIndex(const TreeIndex&) = delete;
  TreeIndex& operator=(const TreeIndex&) = delete;

  // A section path folded and hashed as sections are keyed: cut at 255 bytes, split at backslashes with
  // empty components skipped, joined again with single backslashes.
  struct PathKey {
    char folded[256];
    size_t length = 0;
    size_t layerLength = 0;  // bytes of the first component
    uint64_t hash = 0;
    int components = 0;
  };
  // From a whole path; false when it has no component.
  static bool MakePathKey(const char* path, PathKey& key);
  // From "<layer>\<section>" as a layered read composes it.
  static bool MakeLayeredKey(const char* layer, const char* section, PathKey& key);
  static uint64_t NameHash(const char* name) { return FoldedHash(name, std::char_traits<char>::length(name)); }

  // The hash of a section path, its components joined by single backslashes, in any case (which FoldedHash
  // hashes alike).
  static uint64_t PathHash(const char* path, size_t length) { return FoldedHash(path, length, 0x9A7B); }
  // The hash of a name right below a layer (see LayeredSections), in any case.
  static uint64_t FoldedPartHash(const char* name, size_t length) { return FoldedHash(name, length, 0x51ED); }

  SectionInfo* FindSection(const PathKey& key) const;
  // By a path as one text, its components joined by single backslashes, in any case, and its PathHash.
  SectionInfo* FindSection(uint64_t hash, const char* path, size_t length) const {
    const PathEntry* e = m_byPath.Find(hash, [&](const PathEntry& p) {
      return p.info->pathLength == length && index_detail::SameFolded(p.info->Path(), path, length);
    });
    return e ? e->info : nullptr;
  }
  SectionInfo* FindSection(const KeyRoot* section) const;
  // The deepest section that the path names as far as the index holds it (the whole path, or else the longest
  // run of its first components), or null; *components gets the number of components it covers.
  SectionInfo* FindDeepest(const PathKey& key, int* components) const;
  // The value of that name in the section (its table made first when it is not yet).
  KeyValue* FindValue(const SectionInfo* info, const char* name, uint64_t nameHash) const;
  KeyValue* FindValue(const SectionInfo* info, const char* name, size_t nameLength, uint64_t nameHash) const {
    if (!info->values.Made() && !MakeValueTable(info)) return FindInList(info, name, nameLength);
    return info->values.Find(name, nameLength, nameHash);
  }
  // The layers that layered reads search, by their names in lower case (at most kLayeredLayers; set before
  // any section is added, and kept by Clear). The sections right below them are found by name in all of them
  // with one probe.
  static constexpr int kLayeredLayers = 3;
  struct LayeredSections {
    uint64_t hash = 0;  // FoldedPartHash of the name
    SectionInfo* in[kLayeredLayers] = {};  // the section in each layered layer, or null
  };
  void SetLayeredLayers(const char* const* names, int count);
  // The sections of that name (in any case) right below the layered layers, by its FoldedPartHash; null when
  // none of them holds one. Valid until a section is added or removed.
  const LayeredSections* FindLayered(uint64_t nameHash, const char* name, size_t length) const {
    return m_byLayeredName.Find(nameHash, [&](const LayeredSections& entry) {
      const SectionInfo* info = AnyOf(entry);
      const size_t layer = m_layeredNames[static_cast<size_t>(info->layeredChildOf)].size();
      return info->pathLength == layer + 1 + length && index_detail::SameFolded(info->Path() + layer + 1, name, length);
    });
  }

  // Changes whenever a top-level section comes or goes, so that a caller may remember which layers exist.
  uint64_t TopLevelGeneration() const { return m_topLevelGeneration; }

  // Records a new section below parent (null for a top-level section); null, with nothing recorded, when the
  // memory for the record cannot be had.
  SectionInfo* AddSection(const SectionInfo* parent, KeyRoot* section);
  void RemoveSection(const KeyRoot* section);
  // A value just linked into its section's list (or about to be unlinked): its table, once made, keeps it.
  void AddValue(SectionInfo* info, KeyValue* value, uint64_t nameHash, size_t nameLength);
  void RemoveValue(SectionInfo* info, const KeyValue* value);
  // Makes a section's table at once from its values in any order (null entries passed by; every value of the list
  // once) and the NameHash and name length of each, for a loader that holds them in the order they lie in memory.
  // Without memory for it, the table is made when first needed.
  static void MakeValueTable(SectionInfo* info, KeyValue* const* values, const uint64_t* hashes,
                             const uint32_t* lengths, size_t count);
  // Forgets a section's table and its value hint, for a list whose records were put in another order or released
  // many at once: the table is made from the list again when next needed.
  static void ForgetValues(SectionInfo* info);
  void Clear();

  // Whether some section, value or string of the forest may come from the heap (otherwise every one of them
  // was carved from a block, and releasing the forest is releasing its blocks). Set by the tree operations
  // whenever they take a piece from the heap, until Clear.
  void NoteHeapRecord() { m_heapRecords = true; }
  bool HeapRecords() const { return m_heapRecords; }

  KeyRoot* topLevelHint = nullptr;
  size_t SectionCount() const { return m_byPath.Count(); }
  // The values in the tables made so far.
  size_t ValueCount() const;

 private:
  struct PathEntry {
    uint64_t hash = 0;
    SectionInfo* info = nullptr;
  };
  // A section's record by the address of its KeyRoot; the entries own the records.
  struct RecordEntry {
    uint64_t hash = 0;
    SectionInfo* info = nullptr;
  };
  static const SectionInfo* AnyOf(const LayeredSections& entry) {
    for (const SectionInfo* info : entry.in)
      if (info) return info;
    return nullptr;
  }
  // Notes a new section in the layered tables, or forgets it.
  void AddLayered(const SectionInfo* parent, SectionInfo* info);
  void RemoveLayered(const SectionInfo* info);
  static uint64_t RecordHash(const KeyRoot* section);
  static void DestroyInfo(SectionInfo* info);
  // Makes a section's table from its list, once, also when several readers ask for it at the same time; false
  // when it cannot be made now.
  static bool MakeValueTable(const SectionInfo* info);
  // A value of the section found along its list.
  static KeyValue* FindInList(const SectionInfo* info, const char* name, size_t nameLength);

  FlatTable<PathEntry> m_byPath;
  FlatTable<RecordEntry> m_byRecord;
  uint64_t m_topLevelGeneration = 0;
  bool m_heapRecords = false;
  std::vector<std::string> m_layeredNames;
  FlatTable<LayeredSections> m_byLayeredName;
};

}  // namespace navconfig

#endif
