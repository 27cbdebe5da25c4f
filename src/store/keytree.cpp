// The key tree: sorted lists of sections and values, search, insertion, deletion and release.
#include "store/keytree.h"

#include <config/keytree.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <new>

#include "store/tree_index.h"

namespace navconfig {

namespace {
std::atomic<TreeOwner*> g_owner{nullptr};

// Tells the owner's index that a record or string of the forest comes from the heap (see
// TreeIndex::HeapRecords).
inline void NoteHeap(TreeOwner* owner) {
  if (owner)
    if (TreeIndex* index = owner->Index()) index->NoteHeapRecord();
}

char* HeapCopy(const char* text, size_t length) {
  auto* copy = static_cast<char*>(Mem_Malloc(length + 1));
  if (copy) {
    if (length) std::memcpy(copy, text, length);
    copy[length] = '\0';
  }
  return copy;
}

// A copy of the text by the storage rule: carved from the owner's current block when it has room,
// otherwise from the heap. *carved tells which.
char* StoreText(TreeOwner* owner, const char* text, size_t length, bool* heap) {
  if (owner) {
    if (void* mem = owner->CarveQuick(keytree::StringCost(length))) {
      auto* copy = static_cast<char*>(mem);
      keytree::CopyText(copy, text, length);
      copy[length] = '\0';
      *heap = false;
      return copy;
    }
  }
  *heap = true;
  NoteHeap(owner);
  char* copy = HeapCopy(text, length);
  if (!copy) throw std::bad_alloc();
  return copy;
}

KeyRoot* NewSection(TreeOwner* owner, const char* name, size_t length) {
  if (owner) {
    if (void* mem = owner->CarveQuick(keytree::SectionCost(length))) {
      auto* section = new (mem) KeyRoot(nullptr);
      char* copy = static_cast<char*>(mem) + keytree::CarveSize(sizeof(KeyRoot));
      std::memcpy(copy, name, length);
      copy[length] = '\0';
      section->allocated = false;
      section->name = copy;
      return section;
    }
  }
  void* mem = Mem_Malloc(sizeof(KeyRoot));
  char* copy = mem ? HeapCopy(name, length) : nullptr;
  if (!copy) {
    Mem_Free(mem);
    throw std::bad_alloc();
  }
  NoteHeap(owner);
  auto* section = new (mem) KeyRoot(nullptr);
  section->name = copy;
  return section;
}

KeyValue* NewValue(TreeOwner* owner, const char* name, size_t length) {
  if (owner) {
    if (void* mem = owner->CarveQuick(keytree::ValueCost(length))) {
      auto* value = new (mem) KeyValue(nullptr);
      char* copy = static_cast<char*>(mem) + keytree::CarveSize(sizeof(KeyValue));
      keytree::CopyText(copy, name, length);
      copy[length] = '\0';
      value->allocated = false;
      value->strAllocated = false;
      value->name = copy;
      return value;
    }
  }
  void* mem = Mem_Malloc(sizeof(KeyValue));
  char* copy = mem ? HeapCopy(name, length) : nullptr;
  if (!copy) {
    Mem_Free(mem);
    throw std::bad_alloc();
  }
  NoteHeap(owner);
  auto* value = new (mem) KeyValue(nullptr);
  value->name = copy;
  value->strAllocated = false;
  return value;
}

void ReleaseValue(KeyValue* value) {
  if (value->strAllocated) Mem_Free(value->strValue);
  if (value->allocated) {
    Mem_Free(value->name);
    Mem_Free(value);
  }
}

void ReleaseSectionRecord(KeyRoot* section) {
  if (section->allocated) {
    section->~KeyRoot();
    Mem_Free(section);
  }
}

int CompareName(const char* name, size_t length, const char* other) {
  // name (which holds no NUL byte) is not terminated at length; compare as SpecialChar_stricmp would on the
  // terminated text.
  return SpecialChar_stricmpn(name, length, other ? other : "");
}

}  // namespace

TreeOwner* CurrentTreeOwner() { return g_owner.load(std::memory_order_acquire); }
void SetCurrentTreeOwner(TreeOwner* owner) { g_owner.store(owner, std::memory_order_release); }

namespace keytree {

SplitPath::SplitPath(const char* path) {
  size_t n = 0;
  if (path) {
    while (n < kMaxPath && path[n]) ++n;
    std::memcpy(buffer, path, n);
  }
  buffer[n] = '\0';
  size_t i = 0;
  while (i < n) {
    if (buffer[i] == '\\') {
      buffer[i++] = '\0';
      continue;
    }
    parts[count] = buffer + i;
    size_t start = i;
    while (i < n && buffer[i] != '\\') ++i;
    lengths[count++] = i - start;
  }
}

template <typename Node>
Node* Search(Node* first, const char* name, Node** predecessor) {
  Node* before = nullptr;
  Node* node = first;
  while (node) {
    int c = SpecialChar_stricmp(name, node->name ? node->name : "");
    if (c <= 0) {
      if (predecessor) *predecessor = before;
      return c == 0 ? node : nullptr;
    }
    before = node;
    node = node->next;
  }
  if (predecessor) *predecessor = before;
  return nullptr;
}
template KeyRoot* Search<KeyRoot>(KeyRoot*, const char*, KeyRoot**);
template KeyValue* Search<KeyValue>(KeyValue*, const char*, KeyValue**);

KeyRoot* FindRoot(const KeyRoot* first, const char* path) {
  SplitPath split(path);
  if (split.count == 0) return nullptr;
  KeyRoot* list = const_cast<KeyRoot*>(first);
  KeyRoot* match = nullptr;
  for (int i = 0; i < split.count; ++i) {
    match = Search(list, split.parts[i], static_cast<KeyRoot**>(nullptr));
    if (!match) return nullptr;
    list = match->children;
  }
  return match;
}

KeyValue* GetValue(const KeyRoot* section, const char* name) {
  if (!section || !name) return nullptr;
  return Search(section->values, name, static_cast<KeyValue**>(nullptr));
}

KeyRoot* FindOrCreateChild(TreeOwner* owner, KeyRoot** root, KeyRoot* parent, const char* name, size_t length) {
  TreeIndex* index = owner ? owner->Index() : nullptr;
  SectionInfo* parentInfo = (index && parent) ? index->FindSection(parent) : nullptr;
  KeyRoot** head = parent ? &parent->children : root;

  // The place where the name belongs: after the last insertion when the name sorts after it.
  KeyRoot* before = nullptr;
  KeyRoot* node = *head;
  KeyRoot* hint = index ? (parent ? (parentInfo ? parentInfo->childHint : nullptr) : index->topLevelHint) : nullptr;
  if (hint && CompareName(name, length, hint->name) > 0) {
    before = hint;
    node = hint->next;
  }
  while (node) {
    int c = CompareName(name, length, node->name);
    if (c == 0) return node;
    if (c < 0) break;
    before = node;
    node = node->next;
  }

  KeyRoot* section = NewSection(owner, name, length);
  // Indexed before it is linked: a section is in the list and the index, or in neither.
  if (index && (parentInfo || !parent)) {
    if (!index->AddSection(parentInfo, section)) {
      ReleaseSectionRecord(section);
      throw std::bad_alloc();
    }
    if (parentInfo) parentInfo->childHint = section;
    else index->topLevelHint = section;
  }
  if (before) {
    section->next = before->next;
    before->next = section;
  } else {
    section->next = *head;
    *head = section;
  }
  return section;
}

bool FindOrCreatePath(TreeOwner* owner, KeyRoot** root, const char* path, KeyRoot** last) {
  if (last) *last = nullptr;
  SplitPath split(path);
  if (split.count == 0) return false;
  KeyRoot* current = nullptr;
  bool any = false;
  int first = 0;
  if (TreeIndex* index = owner ? owner->Index() : nullptr) {
    // The index gives the deepest part of the path that exists; what follows is created below it, each
    // component found or placed from the insertion hint rather than by walking its siblings from the first.
    TreeIndex::PathKey key;
    TreeIndex::MakePathKey(path, key);
    if (SectionInfo* deepest = index->FindDeepest(key, &first)) {
      current = deepest->section;
      any = true;
    }
  }
  for (int i = first; i < split.count; ++i) {
    KeyRoot* match = FindOrCreateChild(owner, root, current, split.parts[i], split.lengths[i]);
    if (!match) break;  // no memory: hand back what there is
    current = match;
    any = true;
  }
  if (last) *last = current;
  return any;
}

bool AddValue(TreeOwner* owner, KeyRoot* section, const char* name, long type, long intValue, const char* strValue,
              bool isDefault) {
  if (!section || !name) return false;
  TreeIndex* index = owner ? owner->Index() : nullptr;
  return AddValueIn(owner, section, index ? index->FindSection(section) : nullptr, name, type, intValue, strValue,
                    isDefault);
}

bool AddValueIn(TreeOwner* owner, KeyRoot* section, SectionInfo* info, const char* name, long type, long intValue,
                const char* strValue, bool isDefault) {
  if (!section || !name) return false;
  return AddValueIn(owner, section, info, name, std::strlen(name), type, intValue, strValue,
                    strValue ? std::strlen(strValue) : 0, isDefault);
}

namespace {

// Where a name is in a section's list: its value when present, else the value after which it belongs (null:
// first) once `placed`.
struct ValuePlace {
  KeyValue* value = nullptr;
  KeyValue* before = nullptr;
  bool placed = false;
  uint64_t nameHash = 0;  // FoldedHash of the name, when it was needed
};

ValuePlace FindValuePlace(KeyRoot* section, SectionInfo* info, TreeIndex* index, const char* name, size_t nameLength) {
  ValuePlace place;
  if (index) {
    // Input in sorted order goes right after the value inserted last: one comparison tells that the name
    // is absent and where it belongs.
    KeyValue* hint = info->valueHint;
    if (hint && SpecialChar_stricmpLengths(name, nameLength, hint->name, info->valueHintLength) > 0 &&
        (!hint->next || SpecialChar_stricmpn(name, nameLength, hint->next->name) < 0)) {
      place.before = hint;
      place.placed = true;
    } else {
      place.nameHash = FoldedHash(name, nameLength);
      place.value = index->FindValue(info, name, nameLength, place.nameHash);
    }
    return place;
  }
  KeyValue* node = section->values;
  while (node && SpecialChar_stricmpn(name, nameLength, node->name) > 0) {
    place.before = node;
    node = node->next;
  }
  if (node && SpecialChar_stricmpn(name, nameLength, node->name) == 0) place.value = node;
  place.placed = true;
  return place;
}

// A value taken out of its section's list. A record from the heap is kept by the section (for a cursor that may
// stand on it, or on the value before it) until the section goes, and a new value of the section takes it over;
// so the records a section keeps are never more than it held at once. Its string goes at once (a cursor reads
// names only). A record carved from a block stays there. Only when the section's list of kept records cannot grow
// (no memory) is a record released.
void Retire(SectionInfo* info, KeyValue* value) {
  if (value->strAllocated) Mem_Free(value->strValue);
  value->strValue = nullptr;
  value->strAllocated = false;
  value->type = 0;
  try {
    if (info && value->allocated) {
      info->retired.push_back(value);
      return;
    }
  } catch (const std::bad_alloc&) {
  }
  ReleaseValue(value);
}

// The record of a new value of the section: one the section keeps (see Retire), made over, or a new one.
KeyValue* NewValueIn(TreeOwner* owner, SectionInfo* info, const char* name, size_t length) {
  if (!info || info->retired.empty()) return NewValue(owner, name, length);
  char* copy = HeapCopy(name, length);
  if (!copy) throw std::bad_alloc();
  KeyValue* value = info->retired.back();
  info->retired.pop_back();
  Mem_Free(value->name);
  new (value) KeyValue(nullptr);
  value->name = copy;
  value->strAllocated = false;
  return value;
}

// A new value of that name, without content, linked in where it belongs and indexed; null when no record could be
// had (the lists stay as they were).
KeyValue* InsertValue(TreeOwner* owner, KeyRoot* section, SectionInfo* info, TreeIndex* index, ValuePlace place,
                      const char* name, size_t nameLength) {
  if (!place.placed) {
    // Found absent through the index: walked to from the hint when the name sorts after it.
    KeyValue* node = section->values;
    KeyValue* hint = info->valueHint;
    if (hint && SpecialChar_stricmpn(name, nameLength, hint->name) > 0) {
      place.before = hint;
      node = hint->next;
    }
    while (node && SpecialChar_stricmpn(name, nameLength, node->name) > 0) {
      place.before = node;
      node = node->next;
    }
  }
  KeyValue* value = NewValueIn(owner, info, name, nameLength);
  if (info && value->allocated) info->heapPieces = true;
  value->type = 0;
  KeyValue** link = place.before ? &place.before->next : &section->values;
  value->next = *link;
  *link = value;
  if (index) {
    index->AddValue(info, value, place.nameHash ? place.nameHash : FoldedHash(name, nameLength), nameLength);
    info->valueHint = value;
    info->valueHintLength = nameLength;
  }
  return value;
}

// Gives a value its type and content; whether either changed.
bool SetContent(TreeOwner* owner, SectionInfo* info, KeyValue* value, long type, long intValue, const char* strValue,
                size_t strLength) {
  bool changed = false;
  const auto newType = static_cast<uint32_t>(type);
  if (value->type != newType) {
    value->type = newType;
    changed = true;
  }
  if ((newType & 15) == KEYVALUE_TYPE_INTEGER) {
    const auto v = static_cast<int32_t>(static_cast<uint32_t>(intValue));
    if (value->intValue != v) {
      value->intValue = v;
      changed = true;
    }
  } else if ((newType & 15) == KEYVALUE_TYPE_STRING) {
    const bool same = value->strValue && strValue && std::strlen(value->strValue) == strLength &&
                      std::memcmp(value->strValue, strValue, strLength) == 0;
    if (!same) {
      changed = true;
      const char* text = strValue ? strValue : "";
      size_t length = strValue ? strLength : 0;
      if (length > 0 && text[0] == '\n') length = 0;
      bool heap = true;
      char* copy = StoreText(owner, text, length, &heap);  // before the old string goes
      if (value->strAllocated) Mem_Free(value->strValue);
      value->strValue = copy;
      value->strAllocated = heap;
      if (info && heap) info->heapPieces = true;
    }
  }
  return changed;
}

}  // namespace

bool AddValueIn(TreeOwner* owner, KeyRoot* section, SectionInfo* info, const char* name, size_t nameLength, long type,
                long intValue, const char* strValue, size_t strLength, bool isDefault) {
  TreeIndex* index = info ? owner->Index() : nullptr;
  const ValuePlace place = FindValuePlace(section, info, index, name, nameLength);
  KeyValue* value = place.value;
  bool changed = false;
  if (!value) {
    if (isDefault) return false;
    value = InsertValue(owner, section, info, index, place, name, nameLength);
    try {
      SetContent(owner, info, value, type, intValue, strValue, strLength);
    } catch (...) {
      // Without memory for its string the new value goes again: no record without content stays behind.
      KeyValue** link = &section->values;
      while (*link != value) link = &(*link)->next;
      *link = value->next;
      if (index) index->RemoveValue(info, value);
      Retire(info, value);  // it may be a record the section kept, on which a cursor stands
      throw;
    }
    if (info) info->textValid = false;
    return true;
  }
  changed = SetContent(owner, info, value, type, intValue, strValue, strLength);
  if (changed && info) info->textValid = false;
  return changed;
}

KeyValue* AppendNewValue(TreeOwner* owner, KeyRoot* section, SectionInfo* info, KeyValue* after, const char* name,
                         size_t nameLength, long type, long intValue, const char* strValue, size_t strLength) {
  KeyValue* value = NewValue(owner, name, nameLength);
  value->type = static_cast<uint32_t>(type);
  bool heap = value->allocated;
  if ((type & 15) == KEYVALUE_TYPE_STRING) {
    if (strLength > 0 && strValue[0] == '\n') strLength = 0;
    bool textHeap = true;
    try {
      value->strValue = StoreText(owner, strValue, strLength, &textHeap);
    } catch (...) {
      ReleaseValue(value);
      throw;
    }
    value->strAllocated = textHeap;
    heap = heap || textHeap;
  } else {
    value->intValue = static_cast<int32_t>(static_cast<uint32_t>(intValue));
  }
  if (info && heap) info->heapPieces = true;
  KeyValue** link = after ? &after->next : &section->values;
  value->next = *link;
  *link = value;
  return value;
}

KeyRoot* NewChild(TreeOwner* owner, SectionInfo* parentInfo, const char* name, size_t length, SectionInfo** made) {
  KeyRoot* section = NewSection(owner, name, length);
  TreeIndex* index = owner ? owner->Index() : nullptr;
  SectionInfo* info = index && parentInfo ? index->AddSection(parentInfo, section) : nullptr;
  if (index && parentInfo && !info) {
    ReleaseSectionRecord(section);
    throw std::bad_alloc();
  }
  if (made) *made = info;
  return section;
}

KeyRoot* AppendNewChild(TreeOwner* owner, KeyRoot* parent, SectionInfo* parentInfo, KeyRoot* last, const char* name,
                        size_t length, SectionInfo** made) {
  // Indexed before it is linked: a section is in the list and the index, or in neither.
  KeyRoot* section = NewChild(owner, parentInfo, name, length, made);
  KeyRoot** link = last ? &last->next : &parent->children;
  section->next = *link;
  *link = section;
  return section;
}

namespace {

using Entry = SortRoom::Entry;

// How many entries ahead the records and places that a long list's linking reads at random are fetched.
constexpr size_t kAhead = 16;
// A list of this many values or more gets its table when it is put in order (see SortAddedValues).
constexpr size_t kTableAtOnce = 1024;
// Ranges of at most this many entries are sorted by counting (RankSort); a list of no more is linked along its new
// order.
constexpr ptrdiff_t kShortRange = 32;
static_assert(kShortRange <= 32, "a place in a short range is the five low bits of its counting key");

template <typename Node>
const char* NameOf(const SortRoom& room, const Entry& e) {
  const char* name = static_cast<const Node*>(room.records[e.index])->name;
  return name ? name : "";
}

// The bytes of a name that its entry's keys tell: eight (order) in a short list, sixteen (order and then) in a
// long one.
constexpr size_t kKeyBytes = 16;
inline size_t KeyBytes(const SortRoom& room) { return room.wide ? kKeyBytes : 8; }

// The order of two entries: by their keys, then by the rest of their names (for names longer than the keys tell),
// then by place.
template <typename Node>
bool Before(const SortRoom& room, const Entry& a, const Entry& b) {
  if (a.order != b.order) return a.order < b.order;
  const uint64_t aThen = room.Then(a), bThen = room.Then(b);
  if (aThen != bThen) return aThen < bThen;
  const size_t deeper = KeyBytes(room);
  if (a.length > deeper || b.length > deeper) {
    const int c = SpecialChar_stricmpLengths(NameOf<Node>(room, a) + deeper, a.length - deeper,
                                             NameOf<Node>(room, b) + deeper, b.length - deeper);
    if (c != 0) return c < 0;
  }
  return a.index < b.index;
}

// Whether two entries (with the keys of their names' first bytes) name the same. Folding keeps a name's length, so
// only names of one length are looked at.
template <typename Node>
bool SameName(const SortRoom& room, const Entry& a, const Entry& b) {
  if (a.order != b.order || a.length != b.length || room.Then(a) != room.Then(b)) return false;
  if (a.length <= KeyBytes(room)) return true;
  return SpecialChar_stricmpLengths(NameOf<Node>(room, a), a.length, NameOf<Node>(room, b), b.length) == 0;
}

// Four 32-bit lanes, compared and added lane by lane (as the processor's vector instructions do, where it has them).
using Lanes = uint32_t __attribute__((vector_size(16)));
constexpr size_t kLanes = 4;

// The place in sorted order of each of n <= 4 * kVectors keys, all different: the number of keys below it.
template <size_t kVectors>
[[gnu::always_inline]] inline void Ranks(const uint32_t* key, size_t n, uint32_t* rank) {
  // Lanes past the keys hold the largest key, which is below none.
  Lanes keys[kVectors];
  for (size_t v = 0; v < kVectors; ++v) keys[v] = Lanes{} - 1;
  std::memcpy(keys, key, n * sizeof(uint32_t));
  Lanes ranks[kVectors];
  for (size_t v = 0; v < kVectors; ++v) ranks[v] = Lanes{};
  for (size_t j = 0; j < n; ++j) {
    const Lanes other = Lanes{} + key[j];
    for (size_t v = 0; v < kVectors; ++v) ranks[v] -= reinterpret_cast<Lanes>(other < keys[v]);
  }
  std::memcpy(rank, ranks, n * sizeof(uint32_t));
}

// 64 bits of an entry's 128 bits of keys (order, then then) from bit `bit` (0 the most significant, below 128); the
// bits past them count as 0.
inline uint64_t KeyWindow(const SortRoom& room, const Entry& e, int bit) {
  if (bit == 0) return e.order;
  if (bit < 64) return e.order << bit | room.Then(e) >> (64 - bit);
  return room.Then(e) << (bit - 64);
}

// The first bit of their keys in which entries differ (0 the most significant); 128 when their keys are equal.
inline int FirstVaryingBit(const SortRoom& room, const Entry* from, size_t n) {
  uint64_t orderVaries = 0;
  for (const Entry* e = from + 1; e < from + n; ++e) orderVaries |= e->order ^ from->order;
  if (orderVaries) return std::countl_zero(orderVaries);
  uint64_t thenVaries = 0;
  for (const Entry* e = from + 1; e < from + n; ++e) thenVaries |= room.Then(*e) ^ room.Then(*from);
  if (thenVaries) return 64 + std::countl_zero(thenVaries);
  return 128;
}

// Sorts a short range whose keys are equal before bit `bit` into `to`, by counting for each entry the entries that
// go before it, on a 32-bit key that no two entries share: 27 bits of its key from that bit, then its place. No
// branch depends on the keys, so a range costs the same in any order. Names that these bits do not tell apart lie
// side by side in place order, and only they are then put in order by their whole names.
template <typename Node>
void RankSort(const SortRoom& room, const Entry* from, size_t n, Entry* to, int bit) {
  uint32_t key[kShortRange], rank[kShortRange], bits[kShortRange];
  for (size_t i = 0; i < n; ++i)
    // The second key word reaches the 27 bits only from bit 38 on.
    key[i] = static_cast<uint32_t>((bit > 37 ? KeyWindow(room, from[i], bit) : from[i].order << bit) >> 37) << 5 |
             static_cast<uint32_t>(i);
  // As many vectors as the keys fill: the work is their number times the keys'.
  switch ((n + kLanes - 1) / kLanes) {
    case 0:
    case 1: Ranks<1>(key, n, rank); break;
    case 2: Ranks<2>(key, n, rank); break;
    case 3: Ranks<3>(key, n, rank); break;
    case 4: Ranks<4>(key, n, rank); break;
    case 5: Ranks<5>(key, n, rank); break;
    case 6: Ranks<6>(key, n, rank); break;
    case 7: Ranks<7>(key, n, rank); break;
    default: Ranks<kShortRange / kLanes>(key, n, rank); break;
  }
  for (size_t i = 0; i < n; ++i) {
    to[rank[i]] = from[i];
    bits[rank[i]] = key[i] >> 5;
  }
  // The entries whose 27 bits equal those of the entry before them, each moved back among those by insertion.
  uint32_t ties = 0;
  for (size_t i = 1; i < n; ++i) ties |= static_cast<uint32_t>(bits[i] == bits[i - 1]) << i;
  for (; ties; ties &= ties - 1) {
    const size_t i = static_cast<size_t>(std::countr_zero(ties));
    const Entry e = to[i];
    size_t j = i;
    for (; j > 0 && bits[j - 1] == bits[i] && Before<Node>(room, e, to[j - 1]); --j) to[j] = to[j - 1];
    to[j] = e;
  }
}

// Byte b (0 the most significant) of an entry's sixteen bytes of keys.
inline unsigned KeyByte(const SortRoom& room, const Entry& e, int b) {
  return static_cast<unsigned>((b < 8 ? e.order >> (56 - 8 * b) : room.Then(e) >> (120 - 8 * b)) & 0xFF);
}

// Sorts entries of a long list by their keys, a byte at a time from the most significant (each range scattered by
// its first byte that not every entry shares, keeping their order), then by the rest of their names; short ranges
// by counting. The range is in `from`; the result goes to `other` (a range of the same length) when `moved`, else
// back to `from`. Linear in the range for names that the keys tell apart; at most sixteen calls deep.
template <typename Node>
void RadixSort(SortRoom& room, Entry* from, Entry* other, size_t n, bool moved) {
  Entry* const last = from + n;
  const int bit = FirstVaryingBit(room, from, n);
  if (bit == 128) {
    // Equal keys: names that go on past them are put in order by the bytes that follow, by comparison (no deeper
    // for names that share a long beginning); names that do not are equal, and already in place order.
    bool longer = false;
    for (const Entry* e = from; e < last && !longer; ++e) longer = e->length > kKeyBytes;
    if (longer) std::stable_sort(from, last, [&](const Entry& a, const Entry& b) { return Before<Node>(room, a, b); });
    if (moved) std::copy(from, last, other);
    return;
  }
  if (n <= static_cast<size_t>(kShortRange)) {
    if (moved) {
      RankSort<Node>(room, from, n, other, bit);
    } else {
      Entry sorted[kShortRange];
      RankSort<Node>(room, from, n, sorted, bit);
      std::copy(sorted, sorted + n, from);
    }
    return;
  }
  const int byte = bit / 8;
  // Names are mostly letters and digits: the buckets between the lowest byte and the highest are walked, not all.
  uint32_t counts[256] = {};
  unsigned low = 255, high = 0;
  for (const Entry* e = from; e < last; ++e) {
    const unsigned b = KeyByte(room, *e, byte);
    ++counts[b];
    low = std::min(low, b);
    high = std::max(high, b);
  }
  uint32_t starts[256];
  uint32_t sum = 0;
  for (unsigned b = low; b <= high; ++b) {
    starts[b] = sum;
    sum += counts[b];
  }
  for (const Entry* e = from; e < last; ++e) other[starts[KeyByte(room, *e, byte)]++] = *e;
  // Each bucket now lies in `other`; it goes on to its place with the roles of the two ranges changed.
  size_t begin = 0;
  for (unsigned b = low; b <= high; ++b) {
    const size_t count = counts[b];
    if (count > 1) RadixSort<Node>(room, other + begin, from + begin, count, !moved);
    else if (count == 1 && !moved) from[begin] = other[begin];
    begin += count;
  }
}

// Sorts the entries (in place order) by name and then by place, and gives where they lie. A short list by counting
// on eight bytes of key, into room.spare; a long one in place, after it gets the next eight bytes of its names, read
// in place order (that of the records in memory), so that the sort rarely needs a name of a record scattered in the
// list's new order.
template <typename Node>
const Entry* Sort(SortRoom& room) {
  const size_t n = room.entries.size();
  Entry* first = room.entries.data();
  room.wide = n > static_cast<size_t>(kShortRange);
  if (!room.wide) {
    Entry* sorted = room.spare.Get(kShortRange);
    RankSort<Node>(room, first, n, sorted, 0);
    return sorted;
  }
  uint64_t* then = room.then.Get(room.records.size());
  for (Entry* e = first; e < first + n; ++e)
    then[e->index] = e->length > 8 ? OrderKey(NameOf<Node>(room, *e) + 8, std::min<size_t>(e->length - 8, 8)) : 0;
  RadixSort<Node>(room, first, room.spare.Get(n), n, false);
  return first;
}

template <typename Node>
void AddAll(Node* first, SortRoom& room) {
  room.Clear();
  for (Node* node = first; node; node = node->next) {
    const char* name = node->name ? node->name : "";
    room.Add(node, name, std::strlen(name));
  }
}

// What storing a later record of the same name into an earlier one leaves in it (see SetContent: a value of one
// type keeps the other type's field); the later record is released.
void TakeContent(KeyValue* keep, KeyValue* later) {
  keep->type = later->type;
  if ((later->type & 15) == KEYVALUE_TYPE_INTEGER) {
    keep->intValue = later->intValue;
  } else if ((later->type & 15) == KEYVALUE_TYPE_STRING) {
    if (keep->strAllocated) Mem_Free(keep->strValue);
    keep->strValue = later->strValue;
    keep->strAllocated = later->strAllocated;
    later->strValue = nullptr;
    later->strAllocated = false;
  }
  ReleaseValue(later);
}

}  // namespace

void SortAddedChildren(KeyRoot* parent, SectionInfo* info, SortRoom& room) {
  const Entry* sorted = Sort<KeyRoot>(room);
  KeyRoot** link = &parent->children;
  for (const Entry* e = sorted; e < sorted + room.entries.size(); ++e) {
    *link = static_cast<KeyRoot*>(room.records[e->index]);
    link = &(*link)->next;
  }
  *link = nullptr;
  // The hint of the last insertion is no place in a list put in another order.
  if (info) info->childHint = nullptr;
}

void SortValues(TreeOwner* /*owner*/, KeyRoot* section, SectionInfo* info, SortRoom& room) {
  AddAll(section->values, room);
  SortAddedValues(section, info, room);
}

void SortAddedValues(KeyRoot* section, SectionInfo* info, SortRoom& room) {
  const size_t n = room.entries.size();
  // A list that gets its table now has its names hashed first, read in the order they lie in memory (the entries
  // are in place order until they are sorted).
  uint64_t* hashes = nullptr;
  uint32_t* lengths = nullptr;
  if (info && n >= kTableAtOnce) {
    hashes = room.hashes.Get(n);
    lengths = room.lengths.Get(n);
    for (size_t k = 0; k < n; ++k) {
      lengths[k] = room.entries[k].length;
      hashes[k] = FoldedHash(NameOf<KeyValue>(room, room.entries[k]), lengths[k]);
    }
  }
  const Entry* entries = Sort<KeyValue>(room);
  KeyValue* last = nullptr;
  size_t lastLength = 0;
  size_t count = 0;
  if (n <= static_cast<size_t>(kShortRange)) {
    // A short list lies in a few cache lines: linked along its new order, a run of equal names folded into its
    // first record (each compared with that one: the others are released as they are folded).
    KeyValue** link = &section->values;
    const Entry* first = nullptr;
    for (size_t i = 0; i < n; ++i) {
      auto* value = static_cast<KeyValue*>(room.records[entries[i].index]);
      if (first && SameName<KeyValue>(room, *first, entries[i])) {
        TakeContent(last, value);
        continue;
      }
      first = &entries[i];
      *link = last = value;
      link = &value->next;
      lastLength = entries[i].length;
      ++count;
    }
    *link = nullptr;
  } else {
    // A run of equal names folds into its first record (the room for it is had before any record changes).
    void** kept = room.kept.Get(n);
    uint32_t* rank = room.rank.Get(room.records.size());
    for (size_t i = 0; i < n;) {
      // The records and places of entries further on are fetched while these are taken.
      if (i + kAhead < n) {
        __builtin_prefetch(&room.records[entries[i + kAhead].index]);
        __builtin_prefetch(&rank[entries[i + kAhead].index], 1);
      }
      auto* keep = static_cast<KeyValue*>(room.records[entries[i].index]);
      size_t j = i + 1;
      for (; j < n && SameName<KeyValue>(room, entries[i], entries[j]); ++j) {
        TakeContent(keep, static_cast<KeyValue*>(room.records[entries[j].index]));
        room.records[entries[j].index] = nullptr;
      }
      rank[entries[i].index] = static_cast<uint32_t>(count);
      kept[count++] = keep;
      lastLength = entries[i].length;
      i = j;
    }
    // Linked record by record in the order they lie in memory (that of the list before): a long list put in order
    // by name lies scattered, and is linked faster so than along its new order.
    for (size_t k = 0; k < room.records.size(); ++k) {
      if (k + kAhead < room.records.size() && room.records[k + kAhead]) __builtin_prefetch(kept + rank[k + kAhead] + 1);
      auto* value = static_cast<KeyValue*>(room.records[k]);
      if (!value) continue;
      const size_t place = rank[k];
      value->next = place + 1 < count ? static_cast<KeyValue*>(kept[place + 1]) : nullptr;
    }
    section->values = count ? static_cast<KeyValue*>(kept[0]) : nullptr;
    last = count ? static_cast<KeyValue*>(kept[count - 1]) : nullptr;
  }
  if (!info) return;
  TreeIndex::ForgetValues(info);
  if (!count) return;
  info->valueHint = last;
  info->valueHintLength = lastLength;
  // The table of a long list is made now, from its records in memory order, rather than by a walk along the list.
  if (count >= kTableAtOnce)
    TreeIndex::MakeValueTable(info, reinterpret_cast<KeyValue* const*>(room.records.data()), hashes, lengths,
                              room.records.size());
}

void SyncValues(TreeOwner* owner, KeyRoot* section, SectionInfo* info, const KeyValue* wanted, ValueSyncReport report,
                void* context) {
  TreeIndex* index = owner && info ? owner->Index() : nullptr;
  KeyValue** link = &section->values;
  bool changed = false;
  while (*link || wanted) {
    KeyValue* have = *link;
    const int order = !have ? 1 : !wanted ? -1 : SpecialChar_stricmp(have->name ? have->name : "", wanted->name ? wanted->name : "");
    if (order < 0) {
      // Not wanted: unlinked, told and retired.
      *link = have->next;
      if (index) index->RemoveValue(info, have);
      if (report) report(context, have->name ? have->name : "");
      Retire(info, have);
      changed = true;
      continue;
    }
    const bool isString = (wanted->type & 15) == KEYVALUE_TYPE_STRING;
    const char* text = isString && wanted->strValue ? wanted->strValue : "";
    const long number = isString ? 0 : wanted->intValue;
    if (order > 0) {
      // Wanted and missing: a new record before the next one held.
      const char* name = wanted->name ? wanted->name : "";
      const size_t length = std::strlen(name);
      // Its record and content had before it is linked.
      KeyValue* value = NewValueIn(owner, info, name, length);
      value->type = 0;
      try {
        SetContent(owner, info, value, wanted->type, number, text, std::strlen(text));
      } catch (...) {
        Retire(info, value);  // it may be a record the section kept, on which a cursor stands
        throw;
      }
      if (info && value->allocated) info->heapPieces = true;
      value->next = have;
      *link = value;
      if (index) index->AddValue(info, value, FoldedHash(name, length), length);
      if (report) report(context, name);
      link = &value->next;
      changed = true;
      wanted = wanted->next;
      continue;
    }
    // The wanted spelling of the name (a person wrote "PORT" for "Port" in the file), as a fresh start would read it:
    // a save then finds the line as it is. Names that differ only in case are of one length.
    if (have->name && wanted->name && std::strcmp(have->name, wanted->name) != 0) {
      std::memcpy(have->name, wanted->name, std::strlen(wanted->name));
      changed = true;
    }
    if (SetContent(owner, info, have, wanted->type, number, text, std::strlen(text))) {
      if (report) report(context, have->name ? have->name : "");
      changed = true;
    }
    link = &have->next;
    wanted = wanted->next;
  }
  if (changed && info) info->textValid = false;
}

namespace {

// Releases the values of a section, unless the index tells that every piece of them was carved from a block
// (which they are then left to): a file's values are not walked when the file's tree goes. The records the
// section kept of values taken out of it go as well.
void ReleaseValues(const TreeIndex* index, KeyRoot* section) {
  SectionInfo* info = index ? index->FindSection(section) : nullptr;
  if (info) {
    for (KeyValue* value : info->retired) ReleaseValue(value);
    info->retired.clear();
  }
  if (!info || info->heapPieces) {
    for (KeyValue* value = section->values; value;) {
      KeyValue* next = value->next;
      ReleaseValue(value);
      value = next;
    }
  }
  section->values = nullptr;
}

}  // namespace

void FreeTree(TreeOwner* owner, KeyRoot* first) {
  TreeIndex* index = owner ? owner->Index() : nullptr;
  KeyRoot* section = first;
  while (section) {
    KeyRoot* next = section->next;
    ReleaseValues(index, section);
    FreeTree(owner, section->children);
    section->children = nullptr;
    // The section's record goes from the index with the table of its values.
    if (index) index->RemoveSection(section);
    ReleaseSectionRecord(section);
    section = next;
  }
}

void ReleaseForest(const TreeIndex* index, KeyRoot* first) {
  KeyRoot* section = first;
  while (section) {
    KeyRoot* next = section->next;
    ReleaseValues(index, section);
    ReleaseForest(index, section->children);
    section->children = nullptr;
    ReleaseSectionRecord(section);
    section = next;
  }
}

bool DeleteBranch(TreeOwner* owner, KeyRoot** root, const char* path) {
  SplitPath split(path);
  if (split.count == 0) return false;
  KeyRoot* parent = nullptr;
  KeyRoot* before = nullptr;
  KeyRoot* match = nullptr;
  KeyRoot* list = *root;
  for (int i = 0; i < split.count; ++i) {
    if (i > 0) parent = match;
    match = Search(list, split.parts[i], &before);
    if (!match) return false;
    list = match->children;
  }
  if (before) before->next = match->next;
  else if (parent) parent->children = match->next;
  else *root = match->next;

  TreeIndex* index = owner ? owner->Index() : nullptr;
  if (index && parent) {
    if (SectionInfo* info = index->FindSection(parent); info && info->childHint == match) info->childHint = nullptr;
  }
  match->next = nullptr;
  const void* record = match;
  FreeTree(owner, match);
  if (owner) owner->ReleaseBlockAt(record);
  return true;
}

bool DeleteValue(TreeOwner* owner, KeyRoot* root, const char* path, const char* name) {
  KeyRoot* section = FindRoot(root, path);
  if (!section || !name) return false;
  KeyValue* before = nullptr;
  KeyValue* value = Search(section->values, name, &before);
  if (!value) return false;
  if (before) before->next = value->next;
  else section->values = value->next;
  SectionInfo* info = nullptr;
  if (TreeIndex* index = owner ? owner->Index() : nullptr) {
    if ((info = index->FindSection(section))) index->RemoveValue(info, value);
  }
  Retire(info, value);
  return true;
}

}  // namespace keytree
}  // namespace navconfig

// ---- Exported members ----

using navconfig::CurrentTreeOwner;

KeyValue::KeyValue(const char* n)
    : next(nullptr), type(0), intValue(0), strValue(nullptr), name(nullptr), allocated(true), strAllocated(true) {
  if (n) name = navconfig::HeapCopy(n, std::strlen(n));
}

KeyRoot::KeyRoot(const char* n) : allocated(true), name(nullptr), values(nullptr), next(nullptr), children(nullptr) {
  if (n) name = navconfig::HeapCopy(n, std::strlen(n));
}

KeyRoot::~KeyRoot() {
  if (allocated) Mem_Free(name);
}

KeyRoot& KeyRoot::operator=(const KeyRoot& other) {
  allocated = other.allocated;
  name = other.name;
  values = other.values;
  next = other.next;
  children = other.children;
  return *this;
}

void KeyRoot::Initialize() {
  allocated = false;
  name = nullptr;
  values = nullptr;
  next = nullptr;
  children = nullptr;
}

KeyRoot* KeyRoot::FindRoot(const char* path) const { return navconfig::keytree::FindRoot(this, path); }

const KeyValue* KeyRoot::GetValue(const char* n) const { return navconfig::keytree::GetValue(this, n); }

bool KeyRoot::AddValue(const char* n, long type, long intValue, const char* strValue, bool isDefault) {
  // Without memory for the record or the string nothing changes, and nothing is reported.
  try {
    return navconfig::keytree::AddValue(CurrentTreeOwner(), this, n, type, intValue, strValue, isDefault);
  } catch (const std::bad_alloc&) {
    return false;
  }
}
