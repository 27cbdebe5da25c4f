// Operations on the key trees that the configuration manager uses: path splitting, search, creation of
// section paths, deletion and release, and the storage rule for new records.
//
// Every operation takes the owner of the forest, which may be null (everything then comes from the heap and
// nothing is indexed). The owner supplies memory carved from the block of a file being read, and an index
// that it keeps beside the lists; the operations keep that index true for every record they add or remove.
// When a record, a name or a string cannot be had, an operation throws std::bad_alloc and leaves the lists and
// the index as they were before it (a section or value is in both or in neither), so that no caller goes on
// with a part: the exported functions catch it. None of this locks: the caller holds the configuration's lock.
#ifndef NAVCONFIG_SRC_STORE_KEYTREE_H
#define NAVCONFIG_SRC_STORE_KEYTREE_H

#include <config/keytree.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/folded_names.h"

namespace navconfig {

class TreeIndex;
struct SectionInfo;

// What a tree operation needs from the owner of a forest.
class TreeOwner {
 public:
  virtual ~TreeOwner() = default;
  // Memory for a record or string from the current block of a file being read, or null when there is no
  // current block or it lacks room (the piece then comes from the heap).
  virtual void* Carve(size_t bytes) = 0;
  // Releases every block whose memory begins at the record.
  virtual void ReleaseBlockAt(const void* record) = 0;
  // The index kept beside the lists, or null.
  virtual TreeIndex* Index() = 0;
  // Carve, without a call while the region that the owner hands pieces out from has room.
  void* CarveQuick(size_t bytes) {
    if (static_cast<size_t>(m_regionEnd - m_regionNext) >= bytes) {
      void* piece = m_regionNext;
      m_regionNext += bytes;
      return piece;
    }
    return Carve(bytes);
  }
  // The bytes that CarveQuick hands out without a call.
  size_t RegionRoom() const { return static_cast<size_t>(m_regionEnd - m_regionNext); }

 protected:
  // The free part of the current block, which Carve may set; empty when pieces come only through Carve.
  char* m_regionNext = nullptr;
  char* m_regionEnd = nullptr;
};

// The owner that KeyRoot's own members use: the forest of the process's configuration manager, or null.
TreeOwner* CurrentTreeOwner();
void SetCurrentTreeOwner(TreeOwner* owner);

namespace keytree {

// Longest path an operation uses; a longer path is cut.
constexpr size_t kMaxPath = 255;
// Records and strings carved from a block start at multiples of this.
constexpr size_t kCarveAlign = alignof(void*);
constexpr size_t CarveSize(size_t n) { return (n + kCarveAlign - 1) / kCarveAlign * kCarveAlign; }
// Bytes that a new section record with this name takes from a block.
inline size_t SectionCost(size_t nameLength) { return CarveSize(sizeof(KeyRoot)) + CarveSize(nameLength + 1); }
inline size_t ValueCost(size_t nameLength) { return CarveSize(sizeof(KeyValue)) + CarveSize(nameLength + 1); }
inline size_t StringCost(size_t length) { return CarveSize(length + 1); }

// memcpy for the names and strings of a file, most of 8 to 64 bytes: overlapping moves of fixed size.
inline void CopyText(char* to, const char* from, size_t n) {
  if (n >= 32 && n <= 64) {
    std::memcpy(to, from, 32);
    std::memcpy(to + n - 32, from + n - 32, 32);
  } else if (n >= 16 && n < 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8 && n < 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n) {
    std::memcpy(to, from, n);
  }
}

// A name's first eight bytes with ASCII letters folded, as a number that orders names as SpecialChar_stricmp
// does as far as those bytes tell (bytes past the name's end count as 0, which sorts first). Two names of at
// most eight bytes with equal numbers are equal.
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

// A path cut at 255 bytes and split at backslashes; empty components are skipped.
struct SplitPath {
  char buffer[kMaxPath + 1];
  const char* parts[kMaxPath / 2 + 1];
  size_t lengths[kMaxPath / 2 + 1];
  int count = 0;
  explicit SplitPath(const char* path);
};

// The place of a name in a sorted list: the match (or null) and the entry before where it belongs.
template <typename Node>
Node* Search(Node* first, const char* name, Node** predecessor);

KeyRoot* FindRoot(const KeyRoot* first, const char* path);
KeyValue* GetValue(const KeyRoot* section, const char* name);

// Finds the section path and creates what is missing. True when at least one component was found or created;
// *last gets the last section. Sections created before a failure to allocate stay.
bool FindOrCreatePath(TreeOwner* owner, KeyRoot** root, const char* path, KeyRoot** last);
// Creates (or finds) one subsection below parent (parent null: a top-level section of the forest).
KeyRoot* FindOrCreateChild(TreeOwner* owner, KeyRoot** root, KeyRoot* parent, const char* name, size_t length);
bool AddValue(TreeOwner* owner, KeyRoot* section, const char* name, long type, long intValue, const char* strValue,
              bool isDefault);
// The same for a section whose index record the caller already has (null: the section is not indexed).
bool AddValueIn(TreeOwner* owner, KeyRoot* section, SectionInfo* info, const char* name, long type, long intValue,
                const char* strValue, bool isDefault);
// The same with the lengths of the name and the string given (neither holds a NUL byte).
bool AddValueIn(TreeOwner* owner, KeyRoot* section, SectionInfo* info, const char* name, size_t nameLength, long type,
                long intValue, const char* strValue, size_t strLength, bool isDefault);
// Makes a value of that name and content and links it right after `after` (first in the section when null),
// without looking for the name and without indexing it: for a caller that knows the name to be absent and to
// belong there. info (when not null) learns when a piece comes from the heap. Null when no record could be had.
KeyValue* AppendNewValue(TreeOwner* owner, KeyRoot* section, SectionInfo* info, KeyValue* after, const char* name,
                         size_t nameLength, long type, long intValue, const char* strValue, size_t strLength);
// Loading a file in any order. A loader links sections and values at the ends of their lists as they come and
// puts each list in order once, when the file is read: linear in the file, whatever its order.
//
// Makes a subsection of that name below parent (indexed, with its record parentInfo) and links it after `last`
// (first when null), without looking for the name: for a loader that found it absent through the index. Null
// when no record could be had; *made (when not null) gets the new section's index record.
KeyRoot* AppendNewChild(TreeOwner* owner, KeyRoot* parent, SectionInfo* parentInfo, KeyRoot* last, const char* name,
                        size_t length, SectionInfo** made = nullptr);
// The same without linking it: for a loader that links it when it puts the list in order, or before it lets go of
// the list. Until then the section is indexed but in no list.
KeyRoot* NewChild(TreeOwner* owner, SectionInfo* parentInfo, const char* name, size_t length, SectionInfo** made);
// The records of a list to be sorted, each with its name's first eight bytes folded (OrderKey), and in a long list
// the next eight, which order most names without a look at the names themselves; kept by a loader from one list to
// the next.
struct SortRoom {
  struct Entry {
    uint64_t order;
    uint32_t index;   // of the record in records, which is its place in the list
    uint32_t length;  // of the name
  };
  // Room that is written before it is read: had without clearing it first.
  template <typename T>
  struct Scratch {
    std::unique_ptr<T[]> items;
    size_t size = 0;
    T* Get(size_t n) {
      if (n > size) {
        items.reset(new T[n]);
        size = n;
      }
      return items.get();
    }
  };
  std::vector<Entry> entries;
  std::vector<void*> records;  // in list order (null: a record released)
  Scratch<Entry> spare;
  Scratch<void*> kept;         // the records that stay, in order
  Scratch<uint32_t> rank;      // the place in kept of each record
  // The NameHash and length of each record's name, for a list that gets its table as it is put in order.
  Scratch<uint64_t> hashes;
  Scratch<uint32_t> lengths;
  // The next eight bytes of each record's name folded, by index, in a long list (taken when it is sorted): an entry
  // that a sort moves is kept to sixteen bytes.
  Scratch<uint64_t> then;
  bool wide = false;           // the keys tell sixteen bytes of the names (then is set)
  uint64_t Then(const Entry& e) const { return wide ? then.items[e.index] : 0; }
  void Clear() {
    entries.clear();
    records.clear();
  }
  void Add(void* record, const char* name, size_t length) { Add(record, OrderKey(name, length), length); }
  // The same with the name's OrderKey at hand.
  void Add(void* record, uint64_t order, size_t length) {
    entries.push_back({order, static_cast<uint32_t>(records.size()), static_cast<uint32_t>(length)});
    records.push_back(record);
  }
};
// Puts the subsections of a section, linked in any order (no two of equal names), in order of their names, when room
// holds an entry of each (SortRoom::Add); info is the section's record.
void SortAddedChildren(KeyRoot* parent, SectionInfo* info, SortRoom& room);
// Puts the values of a section, linked in any order and with names perhaps repeated, in order of their names. Of a
// name that comes several times the first record stays, with the content that storing the records one after the
// other would leave (the last one's), and the others are released. The section's table is made afresh when next
// needed.
void SortValues(TreeOwner* owner, KeyRoot* section, SectionInfo* info, SortRoom& room);
// The same when room holds an entry of every value of the list, in list order (SortRoom::Add).
void SortAddedValues(KeyRoot* section, SectionInfo* info, SortRoom& room);

// Brings the values of a section to a wanted list (sorted, no two of equal names) in one walk of both: a value
// not wanted is removed, a missing one added, one of other content given the wanted content; records that stay
// keep their place. report (when not null) hears of each value that changed, before a removed one is retired (its
// record kept by the section for the cursors that may stand on it, as DeleteValue keeps it).
using ValueSyncReport = void (*)(void* context, const char* name);
void SyncValues(TreeOwner* owner, KeyRoot* section, SectionInfo* info, const KeyValue* wanted, ValueSyncReport report,
                void* context);

bool DeleteBranch(TreeOwner* owner, KeyRoot** root, const char* path);
bool DeleteValue(TreeOwner* owner, KeyRoot* root, const char* path, const char* name);
// Releases a sibling chain with all its subtrees; carved pieces are left for their block.
void FreeTree(TreeOwner* owner, KeyRoot* first);
// The same, for a forest whose index is about to be cleared whole: the index is read (so that the values of a
// section that holds no piece from the heap are not walked) but not kept true.
void ReleaseForest(const TreeIndex* index, KeyRoot* first);

}  // namespace keytree
}  // namespace navconfig

#endif
