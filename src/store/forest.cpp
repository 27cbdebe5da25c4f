// Forest: the block pool that the trees of files are carved from, and the release of the trees.
#include "store/forest.h"

#include <doroutil/memory.h>

#include <new>

namespace navconfig {

TreeHead::~TreeHead() {
  Mem_Free(data);
  for (char* piece : more) Mem_Free(piece);
}

SectionInfo* Forest::FindLayer(const char* layerName) const {
  TreeIndex::PathKey key;
  if (!TreeIndex::MakePathKey(layerName, key)) return nullptr;
  return m_index.FindSection(key);
}

void Forest::AddTreeHead(size_t size, size_t growBy) {
  EndTreeHead();
  // Without memory for the block, records come from the heap one by one.
  auto* head = new (std::nothrow) TreeHead();
  if (!head) return;
  // Every byte carved from the block is written when it is handed out, so it is not cleared first.
  head->data = static_cast<char*>(Mem_Malloc(size));
  if (!head->data) {
    delete head;
    return;
  }
  head->capacity = static_cast<uint32_t>(size);
  try {
    m_treeHeads.Add(head);
  } catch (const std::bad_alloc&) {
    delete head;
    return;
  }
  m_iCurrentHead = static_cast<int32_t>(m_treeHeads.Count() - 1);
  m_growBy = growBy;
  m_regionNext = head->data;
  m_regionEnd = head->data + size;
}

void Forest::EndTreeHead() {
  if (m_iCurrentHead >= 0) {
    TreeHead* head = m_treeHeads.GetAt(static_cast<size_t>(m_iCurrentHead));
    // What the first piece handed out, while pieces still came from it.
    if (head && head->more.empty() && m_regionNext) head->used = static_cast<uint32_t>(m_regionNext - head->data);
  }
  m_iCurrentHead = -1;
  m_growBy = 0;
  m_regionNext = m_regionEnd = nullptr;
}

void Forest::DropEmptyTreeHead() {
  const size_t count = m_treeHeads.Count();
  const TreeHead* last = count ? m_treeHeads[count - 1] : nullptr;
  if (last && last->used == 0 && last->more.empty() && m_iCurrentHead != static_cast<int32_t>(count - 1))
    m_treeHeads.RemoveAt(count - 1);
}

void Forest::ReleaseTreeHead(const void* record) {
  for (size_t i = m_treeHeads.Count(); i-- > 0;) {
    if (m_treeHeads[i] && m_treeHeads[i]->data == record) {
      if (m_iCurrentHead == static_cast<int32_t>(i)) EndTreeHead();
      else if (m_iCurrentHead > static_cast<int32_t>(i)) --m_iCurrentHead;
      m_treeHeads.RemoveAt(i);
    }
  }
}

void* Forest::Carve(size_t bytes) {
  // Called when the region of the current block has no room left (CarveQuick).
  if (m_iCurrentHead < 0 || !m_regionNext) return nullptr;
  TreeHead* head = m_treeHeads.GetAt(static_cast<size_t>(m_iCurrentHead));
  if (!head || m_growBy == 0) {
    EndTreeHead();
    return nullptr;
  }
  if (head->more.empty()) head->used = static_cast<uint32_t>(m_regionNext - head->data);
  const size_t size = bytes > m_growBy ? bytes : m_growBy;
  char* piece = static_cast<char*>(Mem_Malloc(size));
  if (!piece) return nullptr;  // from the heap then
  try {
    head->more.push_back(piece);
  } catch (const std::bad_alloc&) {
    Mem_Free(piece);
    return nullptr;
  }
  m_regionNext = piece + bytes;
  m_regionEnd = piece + size;
  return piece;
}

void Forest::Release() {
  // The index goes whole rather than record by record, after it told which sections hold pieces from the heap;
  // a forest that holds none goes with its blocks, unwalked.
  if (m_index.HeapRecords()) keytree::ReleaseForest(&m_index, m_root);
  m_index.Clear();
  m_root = nullptr;
  EndTreeHead();
  while (m_treeHeads.Count()) m_treeHeads.RemoveAt(m_treeHeads.Count() - 1);
}

}  // namespace navconfig
