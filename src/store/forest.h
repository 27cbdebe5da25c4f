// Forest: the key trees that a configuration manager holds, with what lies beside them: the sibling list of
// top-level sections (one per layer), the index that finds sections and values (TreeIndex), and the memory
// blocks that the trees read from files are carved from. The tree operations (keytree.h) take it as their
// owner, and keep its index true.
//
// The manager keeps one; a save that merges what another process wrote builds the layer it wants in a scratch
// forest of its own, which carves nothing (no block is current in it) and is released whole.
// Not thread-safe: the manager's lock guards it.
#ifndef NAVCONFIG_SRC_STORE_FOREST_H
#define NAVCONFIG_SRC_STORE_FOREST_H

#include <config/keytree.h>
#include <doroutil/listmgr.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/keytree.h"
#include "store/tree_index.h"

namespace navconfig {

// One memory block that the records and strings of a tree read from a file are carved from. While a file is
// read, a full block takes further pieces of memory, which go with it.
struct TreeHead {
  char* data = nullptr;
  uint32_t capacity = 0;
  uint32_t used = 0;
  std::vector<char*> more;
  ~TreeHead();
};

class Forest final : public TreeOwner {
 public:
  Forest() = default;
  ~Forest() override { Release(); }
  Forest(const Forest&) = delete;
  Forest& operator=(const Forest&) = delete;

  // The first top-level section, and the place that holds it for the tree operations.
  KeyRoot* Root() const { return m_root; }
  KeyRoot** RootSlot() { return &m_root; }
  TreeIndex& IndexRef() { return m_index; }
  const TreeIndex& IndexRef() const { return m_index; }
  // The index record of the top-level section of a layer (its name in any case), or null when the layer is not
  // in memory.
  SectionInfo* FindLayer(const char* layerName) const;

  // The block pool. AddTreeHead makes a block of that size current; it stops being current once full, or,
  // when growBy is not 0 (a file being read), takes further pieces of at least growBy bytes, until EndTreeHead.
  void AddTreeHead(size_t size, size_t growBy = 0);
  void EndTreeHead();
  // Removes the last block when nothing was carved from it (a text without sections).
  void DropEmptyTreeHead();
  // Releases every block whose memory begins at the record.
  void ReleaseTreeHead(const void* record);

  // Drops every tree and every block. The index keeps its layered layers.
  void Release();

  // TreeOwner
  void* Carve(size_t bytes) override;
  void ReleaseBlockAt(const void* record) override { ReleaseTreeHead(record); }
  TreeIndex* Index() override { return &m_index; }

 private:
  KeyRoot* m_root = nullptr;
  TreeIndex m_index;
  ListMgr<TreeHead> m_treeHeads{true, 4, "unnamed"};
  int32_t m_iCurrentHead = -1;
  size_t m_growBy = 0;  // the current block grows by pieces of this size (0: it does not)
};

}  // namespace navconfig

#endif
