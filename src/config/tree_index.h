// TreeIndex: hash tables kept beside the sorted lists of the key trees, so that a read finds a section by
// its path and a value by its section and name without walking the lists.
//
// The lists stay the truth: the index only points into them. Sections are keyed by their whole path from
// the layer, folded to lower case ("user\image"); values by their section record and folded name. Every
// operation of the tree that adds or removes a record keeps the index true (keytree_ops.cpp). Each indexed
// section also carries insertion hints (the value and the subsection inserted last), so that input in
// sorted order, such as a file the writer produced, is inserted in constant time.
// Not thread-safe: the configuration's lock guards it with the trees.
#ifndef NAVCONFIG_SRC_CONFIG_TREE_INDEX_H
#define NAVCONFIG_SRC_CONFIG_TREE_INDEX_H

#include <config/keytree.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace navconfig {

// Hash of a name with ASCII letters folded to lower case (so names equal without regard to case hash alike).
uint64_t FoldedHash(const char* text, size_t length, uint64_t seed = 0);

struct SectionInfo {
  KeyRoot* section = nullptr;
  std::string path;  // whole folded path from the layer
  uint64_t hash = 0;
  KeyValue* valueHint = nullptr;  // the value inserted last, or null
  size_t valueHintLength = 0;     // the length of its name
  // The section's own text in its layer's file as the last save wrote it; valid until a value changes.
  std::string text;
  bool textValid = false;
  KeyRoot* childHint = nullptr;   // the subsection inserted last, or null
};

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
    m_slots.assign(m_slots.size(), Entry{});
    m_count = 0;
  }
  // Makes room for this many entries in all without growing again.
  void Reserve(size_t count) {
    size_t want = 64;
    while (want < count * 2) want *= 2;
    if (want > m_slots.size()) Rehash(want);
  }
  size_t Count() const { return m_count; }

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

  // The hash of a section path from the hashes of its folded first component and of the folded rest.
  static uint64_t PathHash(uint64_t layerHash, uint64_t restHash);
  static uint64_t FoldedPartHash(const char* folded, size_t length) { return FoldedHash(folded, length, 0x51ED); }

  SectionInfo* FindSection(const PathKey& key) const;
  // By the folded first component and the folded rest (empty for the layer itself) and their PathHash.
  SectionInfo* FindSection(uint64_t hash, const char* layer, size_t layerLength, const char* rest,
                           size_t restLength) const;
  SectionInfo* FindSection(const KeyRoot* section) const;
  // The value of that name in the section.
  KeyValue* FindValue(const SectionInfo* info, const char* name, uint64_t nameHash) const;
  KeyValue* FindValue(const SectionInfo* info, const char* name, size_t nameLength, uint64_t nameHash) const;
  // The value of that name in the section of a path given as for FindSection (by its PathHash, folded
  // first component and folded rest), in one probe, without looking the section up first.
  KeyValue* FindValueAt(uint64_t pathHash, const char* layer, size_t layerLength, const char* rest, size_t restLength,
                        const char* name, size_t nameLength, uint64_t nameHash) const;
  // Changes whenever a top-level section comes or goes, so that a caller may remember which layers exist.
  uint64_t TopLevelGeneration() const { return m_topLevelGeneration; }

  // Records a new section below parent (null for a top-level section).
  SectionInfo* AddSection(const SectionInfo* parent, KeyRoot* section);
  void RemoveSection(const KeyRoot* section);
  void AddValue(SectionInfo* info, KeyValue* value, uint64_t nameHash);
  void RemoveValue(SectionInfo* info, const KeyValue* value);
  void Clear();
  // Makes room for this many more values.
  void ReserveValues(size_t more) { m_values.Reserve(m_values.Count() + more); }

  KeyRoot* topLevelHint = nullptr;
  size_t SectionCount() const { return m_byPath.Count(); }
  size_t ValueCount() const { return m_values.Count(); }

 private:
  struct PathEntry {
    uint64_t hash = 0;
    SectionInfo* info = nullptr;
  };
  // A value is keyed by its section's path hash and its folded name.
  struct ValueEntry {
    uint64_t hash = 0;
    const SectionInfo* info = nullptr;
    KeyValue* value = nullptr;
  };
  static uint64_t ValueHash(uint64_t pathHash, uint64_t nameHash);

  FlatTable<PathEntry> m_byPath;
  FlatTable<ValueEntry> m_values;
  std::unordered_map<const KeyRoot*, std::unique_ptr<SectionInfo>> m_byRecord;
  uint64_t m_topLevelGeneration = 0;
};

}  // namespace navconfig

#endif
