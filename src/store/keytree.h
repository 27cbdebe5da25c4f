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

#include <cstddef>
#include <cstdint>
#include <cstring>

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
