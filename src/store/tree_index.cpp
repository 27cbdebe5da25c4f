// TreeIndex: the hash tables beside the key trees.
#include "store/tree_index.h"

#include <doroutil/memory.h>
#include <doroutil/strutil.h>

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "common/folded_names.h"

namespace navconfig {

namespace {

constexpr uint64_t kMul = hash_detail::kMul;
using hash_detail::Mix;
using hash_detail::NonZero;

}  // namespace


namespace {

// Appends the components of one path to the key, folded, joined by single backslashes, within 255 bytes
// of the original text (as a path is cut before it is split).
void AppendComponents(const char* path, size_t limit, TreeIndex::PathKey& key) {
  size_t i = 0;
  while (i < limit && path[i]) {
    if (path[i] == '\\') { ++i; continue; }
    if (key.components++ > 0) key.folded[key.length++] = '\\';
    while (i < limit && path[i] && path[i] != '\\') key.folded[key.length++] = FoldAscii(path[i++]);
  }
}

}  // namespace


namespace {

void FinishKey(TreeIndex::PathKey& key) {
  key.folded[key.length] = '\0';
  const char* slash = static_cast<const char*>(std::memchr(key.folded, '\\', key.length));
  key.layerLength = slash ? static_cast<size_t>(slash - key.folded) : key.length;
  key.hash = TreeIndex::PathHash(key.folded, key.length);
}

}  // namespace

bool TreeIndex::MakePathKey(const char* path, PathKey& key) {
  key.length = 0;
  key.components = 0;
  if (!path) return false;
  AppendComponents(path, 255, key);
  FinishKey(key);
  return key.components > 0;
}

bool TreeIndex::MakeLayeredKey(const char* layer, const char* section, PathKey& key) {
  key.length = 0;
  key.components = 0;
  // "<layer>\<section>" cut at 255 bytes, as the composed path would be.
  size_t layerLength = std::strlen(layer);
  size_t limit = 255;
  AppendComponents(layer, limit, key);
  size_t used = layerLength < limit ? layerLength + 1 : limit;
  if (used < limit && section) AppendComponents(section, limit - used, key);
  FinishKey(key);
  return key.components > 0;
}

// ---- ValueTable ----

ValueTable::~ValueTable() { Mem_Free(m_values); }

KeyValue* ValueTable::Find(const char* name, size_t nameLength, uint64_t nameHash) const {
  if (m_count == 0) return nullptr;
  const uint16_t tag = Tag(nameHash, nameLength);
  for (uint32_t i = static_cast<uint32_t>(nameHash) & m_mask;; i = (i + 1) & m_mask) {
    const uint16_t t = m_tags[i];
    if (t == 0) return nullptr;
    if (t != tag) continue;
    // Equal tags give equal lengths, but for names as long as the longest length a tag tells.
    const KeyValue* v = m_values[i];
    const char* stored = v->name ? v->name : "";
    if ((nameLength < kLongName || std::strlen(stored) == nameLength) && EqualsIgnoringCase(stored, name, nameLength))
      return m_values[i];
  }
}

bool ValueTable::Insert(KeyValue* value, uint64_t nameHash, size_t nameLength) {
  // At most three quarters full, so that probes stay short.
  if ((!m_values || (m_count + 1) * 4 > (m_mask + 1) * 3) && !Reserve(m_count < 2 ? m_count + 1 : m_count * 2)) {
    Drop();
    return false;
  }
  uint32_t i = static_cast<uint32_t>(nameHash) & m_mask;
  while (m_tags[i] != 0) i = (i + 1) & m_mask;
  m_tags[i] = Tag(nameHash, nameLength);
  m_values[i] = value;
  ++m_count;
  return true;
}

void ValueTable::Drop() {
  Mem_Free(m_values);
  m_values = nullptr;
  m_tags = nullptr;
  m_mask = 0;
  m_count = 0;
  m_state.store(kNotMade, std::memory_order_release);
}

bool ValueTable::Erase(const KeyValue* value, uint64_t nameHash) {
  if (m_count == 0) return false;
  uint32_t i = static_cast<uint32_t>(nameHash) & m_mask;
  for (;; i = (i + 1) & m_mask) {
    if (m_tags[i] == 0) return false;
    if (m_values[i] == value) break;
  }
  // Backward shift: pull later entries of the same run into the gap so that no probe chain breaks. Their
  // home slots come from their names, which the table does not keep hashed.
  for (uint32_t j = (i + 1) & m_mask; m_tags[j] != 0; j = (j + 1) & m_mask) {
    const KeyValue* next = m_values[j];
    const uint32_t home = static_cast<uint32_t>(TreeIndex::NameHash(next->name ? next->name : "")) & m_mask;
    if (((j - home) & m_mask) >= ((j - i) & m_mask)) {
      m_values[i] = m_values[j];
      m_tags[i] = m_tags[j];
      i = j;
    }
  }
  m_tags[i] = 0;
  m_values[i] = nullptr;
  --m_count;
  return true;
}

bool ValueTable::Reserve(size_t count) {
  size_t slots = 4;
  while (slots * 3 < count * 4) slots *= 2;
  return (m_values && slots <= m_mask + 1) || Rehash(slots);
}

bool ValueTable::Rehash(size_t slots) {
  auto* values = static_cast<KeyValue**>(Mem_Malloc(slots * (sizeof(KeyValue*) + sizeof(uint16_t))));
  if (!values) return false;
  auto* tags = reinterpret_cast<uint16_t*>(values + slots);
  std::memset(tags, 0, slots * sizeof(uint16_t));
  const uint32_t mask = static_cast<uint32_t>(slots - 1);
  if (m_values) {
    for (uint32_t k = 0; k <= m_mask; ++k) {
      if (m_tags[k] == 0) continue;
      KeyValue* v = m_values[k];
      const uint64_t hash = TreeIndex::NameHash(v->name ? v->name : "");
      uint32_t i = static_cast<uint32_t>(hash) & mask;
      while (tags[i] != 0) i = (i + 1) & mask;
      tags[i] = m_tags[k];
      values[i] = v;
    }
    Mem_Free(m_values);
  }
  m_values = values;
  m_tags = tags;
  m_mask = mask;
  return true;
}

// ---- TreeIndex ----

TreeIndex::~TreeIndex() { Clear(); }

uint64_t TreeIndex::RecordHash(const KeyRoot* section) {
  return NonZero(Mix(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(section)) * kMul));
}

SectionInfo* TreeIndex::FindSection(const PathKey& key) const {
  const PathEntry* e = m_byPath.Find(key.hash, [&](const PathEntry& p) {
    return p.info->pathLength == key.length && std::memcmp(p.info->Path(), key.folded, key.length) == 0;
  });
  return e ? e->info : nullptr;
}

SectionInfo* TreeIndex::FindSection(const KeyRoot* section) const {
  const RecordEntry* e =
      m_byRecord.Find(RecordHash(section), [&](const RecordEntry& r) { return r.info->section == section; });
  return e ? e->info : nullptr;
}

SectionInfo* TreeIndex::FindDeepest(const PathKey& key, int* components) const {
  *components = 0;
  if (key.components == 0) return nullptr;
  if (SectionInfo* whole = FindSection(key)) {
    *components = key.components;
    return whole;
  }
  // Shorter and shorter: a path is usually new only in its last component or two.
  size_t end = key.length;
  for (int count = key.components - 1; count > 0; --count) {
    while (end > 0 && key.folded[end - 1] != '\\') --end;
    --end;  // at the backslash before the component dropped
    if (SectionInfo* info = FindSection(PathHash(key.folded, end), key.folded, end)) {
      *components = count;
      return info;
    }
  }
  return nullptr;
}

KeyValue* TreeIndex::FindValue(const SectionInfo* info, const char* name, uint64_t nameHash) const {
  return FindValue(info, name, std::strlen(name), nameHash);
}

SectionInfo* TreeIndex::AddSection(const SectionInfo* parent, KeyRoot* section) {
  const char* name = section->name ? section->name : "";
  const size_t nameLength = std::strlen(name);
  const size_t length = parent ? parent->pathLength + 1 + nameLength : nameLength;
  const size_t room = SectionInfo::PathRoom(length);
  // Everything that needs memory first, so that a section is in every table or in none.
  char* memory = static_cast<char*>(Mem_Malloc(room + sizeof(SectionInfo)));
  if (!memory || !m_byPath.MakeRoom() || !m_byRecord.MakeRoom() || !m_byLayeredName.MakeRoom()) {
    Mem_Free(memory);
    return nullptr;
  }
  auto* info = new (memory + room) SectionInfo();
  info->section = section;
  info->pathLength = static_cast<uint32_t>(length);
  char* path = memory;
  size_t at = 0;
  if (parent) {
    std::memcpy(path, parent->Path(), parent->pathLength);
    at = parent->pathLength;
    path[at++] = '\\';
  }
  for (size_t i = 0; i < nameLength; ++i) path[at + i] = FoldAscii(name[i]);
  path[length] = '\0';
  info->hash = PathHash(path, length);
  m_byPath.Insert(PathEntry{info->hash, info});
  m_byRecord.Insert(RecordEntry{RecordHash(section), info});
  if (!parent) ++m_topLevelGeneration;
  AddLayered(parent, info);
  return info;
}

void TreeIndex::SetLayeredLayers(const char* const* names, int count) {
  m_layeredNames.assign(names, names + std::min(count, kLayeredLayers));
}

void TreeIndex::AddLayered(const SectionInfo* parent, SectionInfo* info) {
  if (!parent) {
    for (size_t k = 0; k < m_layeredNames.size(); ++k)
      if (m_layeredNames[k].size() == info->pathLength &&
          std::memcmp(m_layeredNames[k].data(), info->Path(), info->pathLength) == 0)
        info->layeredLayer = static_cast<int8_t>(k);
    return;
  }
  if (parent->layeredLayer < 0) return;
  info->layeredChildOf = parent->layeredLayer;
  const char* name = info->Path() + parent->pathLength + 1;
  const size_t length = info->pathLength - parent->pathLength - 1;
  const uint64_t hash = FoldedPartHash(name, length);
  if (LayeredSections* entry = const_cast<LayeredSections*>(FindLayered(hash, name, length))) {
    entry->in[parent->layeredLayer] = info;
    return;
  }
  LayeredSections entry;
  entry.hash = hash;
  entry.in[parent->layeredLayer] = info;
  m_byLayeredName.Insert(entry);
}

void TreeIndex::RemoveLayered(const SectionInfo* info) {
  if (info->layeredChildOf < 0) return;
  const size_t layer = m_layeredNames[static_cast<size_t>(info->layeredChildOf)].size();
  const uint64_t hash = FoldedPartHash(info->Path() + layer + 1, info->pathLength - layer - 1);
  const auto mine = [&](const LayeredSections& entry) { return entry.in[info->layeredChildOf] == info; };
  LayeredSections* entry = m_byLayeredName.Find(hash, mine);
  if (!entry) return;
  entry->in[info->layeredChildOf] = nullptr;
  if (!AnyOf(*entry)) m_byLayeredName.Erase(hash, [](const LayeredSections& e) { return !AnyOf(e); });
}

void TreeIndex::DestroyInfo(SectionInfo* info) {
  void* memory = const_cast<char*>(info->Path());
  info->~SectionInfo();
  Mem_Free(memory);
}

void TreeIndex::RemoveSection(const KeyRoot* section) {
  SectionInfo* info = FindSection(section);
  if (!info) return;
  m_byPath.Erase(info->hash, [&](const PathEntry& p) { return p.info == info; });
  m_byRecord.Erase(RecordHash(section), [&](const RecordEntry& r) { return r.info == info; });
  if (!std::memchr(info->Path(), '\\', info->pathLength)) ++m_topLevelGeneration;
  if (topLevelHint == section) topLevelHint = nullptr;
  RemoveLayered(info);
  DestroyInfo(info);
}

namespace {

// Readers that wait for a table that another reader makes sleep here (rarely more than one at a time).
std::mutex g_tableMutex;
std::condition_variable g_tableDone;

}  // namespace

bool TreeIndex::MakeValueTable(const SectionInfo* info) {
  auto& table = const_cast<ValueTable&>(info->values);
  for (;;) {
    uint8_t state = ValueTable::kNotMade;
    if (table.m_state.compare_exchange_strong(state, ValueTable::kMaking, std::memory_order_acquire)) break;
    if (state == ValueTable::kMade) return true;
    // Another reader makes it: asleep until it is done. When it could not, this one tries.
    std::unique_lock<std::mutex> guard(g_tableMutex);
    g_tableDone.wait(guard, [&] { return table.m_state.load(std::memory_order_acquire) != ValueTable::kMaking; });
  }
  size_t count = 0;
  for (const KeyValue* v = info->section->values; v; v = v->next) ++count;
  bool made = table.Reserve(count);
  for (KeyValue* v = info->section->values; made && v; v = v->next) {
    const char* name = v->name ? v->name : "";
    const size_t length = std::strlen(name);
    made = table.Insert(v, FoldedHash(name, length), length);
  }
  {
    std::lock_guard<std::mutex> guard(g_tableMutex);
    if (!made) table.Drop();
    else table.m_state.store(ValueTable::kMade, std::memory_order_release);
  }
  g_tableDone.notify_all();
  return made;
}

KeyValue* TreeIndex::FindInList(const SectionInfo* info, const char* name, size_t nameLength) {
  for (KeyValue* v = info->section->values; v; v = v->next) {
    const int order = SpecialChar_stricmpn(name, nameLength, v->name ? v->name : "");
    if (order == 0) return v;
    if (order < 0) break;  // the list is sorted
  }
  return nullptr;
}

void TreeIndex::MakeValueTable(SectionInfo* info, KeyValue* const* values, const uint64_t* hashes,
                               const uint32_t* lengths, size_t count) {
  ValueTable& table = info->values;
  bool made = table.Reserve(count);
  for (size_t i = 0; made && i < count; ++i)
    if (values[i]) made = table.Insert(values[i], hashes[i], lengths[i]);
  if (!made) table.Drop();
  else table.m_state.store(ValueTable::kMade, std::memory_order_release);
}

void TreeIndex::AddValue(SectionInfo* info, KeyValue* value, uint64_t nameHash, size_t nameLength) {
  // A table not made yet takes the value from the list when it is made; one that cannot grow is dropped and made
  // again so.
  if (info->values.Made()) (void)info->values.Insert(value, nameHash, nameLength);
}

void TreeIndex::RemoveValue(SectionInfo* info, const KeyValue* value) {
  if (info->values.Made()) info->values.Erase(value, NameHash(value->name ? value->name : ""));
  if (info->valueHint == value) info->valueHint = nullptr;
  info->textValid = false;
}

void TreeIndex::ForgetValues(SectionInfo* info) {
  info->values.Drop();
  info->valueHint = nullptr;
  info->valueHintLength = 0;
  info->textValid = false;
}

size_t TreeIndex::ValueCount() const {
  size_t count = 0;
  m_byRecord.ForEach([&](const RecordEntry& r) { count += r.info->values.Count(); });
  return count;
}

void TreeIndex::Clear() {
  ++m_topLevelGeneration;
  m_byRecord.ForEach([](const RecordEntry& r) { DestroyInfo(r.info); });
  m_byRecord.Clear();
  m_byPath.Clear();
  m_byLayeredName.Clear();
  topLevelHint = nullptr;
  m_heapRecords = false;
}

}  // namespace navconfig
