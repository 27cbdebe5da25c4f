// TreeIndex: the hash tables beside the key trees.
#include "tree_index.h"

#include <doroutil/strutil.h>

#include <bit>
#include <cstring>

namespace navconfig {

namespace {

constexpr uint64_t kMul = 0x9E3779B97F4A7C15ULL;

inline uint64_t Mix(uint64_t h) {
  h ^= h >> 32;
  h *= kMul;
  h ^= h >> 29;
  return h;
}

inline uint64_t NonZero(uint64_t h) { return h ? h : 1; }

// Whether n bytes are equal, eight at a time with an overlapping last word.
inline bool SameBytes(const char* a, const char* b, size_t n) {
  if (n < 8) return std::memcmp(a, b, n) == 0;
  uint64_t wa, wb;
  for (size_t i = 0; i + 8 <= n; i += 8) {
    std::memcpy(&wa, a + i, 8);
    std::memcpy(&wb, b + i, 8);
    if (wa != wb) return false;
  }
  std::memcpy(&wa, a + n - 8, 8);
  std::memcpy(&wb, b + n - 8, 8);
  return wa == wb;
}

// Whether a stored value name equals a name given by its length, without regard to case.
inline bool SameName(const KeyValue* value, const char* name, size_t nameLength) {
  const char* stored = value->name ? value->name : "";
  return std::strlen(stored) == nameLength && EqualsIgnoringCase(stored, name, nameLength);
}

// Whether a folded section path equals "<layer>\<rest>" (or "<layer>" for an empty rest).
inline bool SamePath(const std::string& path, const char* layer, size_t layerLength, const char* rest,
                     size_t restLength) {
  const size_t total = restLength ? layerLength + 1 + restLength : layerLength;
  return path.size() == total && SameBytes(path.data(), layer, layerLength) &&
         (restLength == 0 ||
          (path[layerLength] == '\\' && SameBytes(path.data() + layerLength + 1, rest, restLength)));
}


}  // namespace

uint64_t FoldedHash(const char* text, size_t length, uint64_t seed) {
  uint64_t h = seed ^ (length * kMul);
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t w;
    std::memcpy(&w, text + i, 8);
    h = (h ^ FoldAsciiWord(w)) * kMul;
    h = std::rotl(h, 29);
  }
  if (i < length) {
    // The last bytes, from a load that ends at the text's end when the text is long enough.
    uint64_t w = 0;
    if (length >= 8) {
      std::memcpy(&w, text + length - 8, 8);
      w >>= 8 * (8 - (length - i));
    } else {
      for (size_t k = 0; k < length; ++k) w |= static_cast<uint64_t>(static_cast<unsigned char>(text[k])) << (8 * k);
    }
    h = (h ^ FoldAsciiWord(w)) * kMul;
  }
  return NonZero(Mix(h));
}

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

uint64_t TreeIndex::PathHash(uint64_t layerHash, uint64_t restHash) {
  return NonZero(Mix(layerHash * kMul ^ restHash));
}

namespace {

void FinishKey(TreeIndex::PathKey& key) {
  key.folded[key.length] = '\0';
  const char* slash = static_cast<const char*>(std::memchr(key.folded, '\\', key.length));
  key.layerLength = slash ? static_cast<size_t>(slash - key.folded) : key.length;
  size_t restStart = slash ? key.layerLength + 1 : key.length;
  key.hash = TreeIndex::PathHash(TreeIndex::FoldedPartHash(key.folded, key.layerLength),
                                 TreeIndex::FoldedPartHash(key.folded + restStart, key.length - restStart));
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

SectionInfo* TreeIndex::FindSection(const PathKey& key) const {
  const PathEntry* e = m_byPath.Find(key.hash, [&](const PathEntry& p) {
    return p.info->path.size() == key.length && std::memcmp(p.info->path.data(), key.folded, key.length) == 0;
  });
  return e ? e->info : nullptr;
}

SectionInfo* TreeIndex::FindSection(uint64_t hash, const char* layer, size_t layerLength, const char* rest,
                                    size_t restLength) const {
  const PathEntry* e = m_byPath.Find(
      hash, [&](const PathEntry& p) { return SamePath(p.info->path, layer, layerLength, rest, restLength); });
  return e ? e->info : nullptr;
}

SectionInfo* TreeIndex::FindSection(const KeyRoot* section) const {
  auto it = m_byRecord.find(section);
  return it == m_byRecord.end() ? nullptr : it->second.get();
}

uint64_t TreeIndex::ValueHash(uint64_t pathHash, uint64_t nameHash) {
  return NonZero(Mix(nameHash ^ (pathHash * kMul)));
}


KeyValue* TreeIndex::FindValue(const SectionInfo* info, const char* name, uint64_t nameHash) const {
  return FindValue(info, name, std::strlen(name), nameHash);
}

KeyValue* TreeIndex::FindValue(const SectionInfo* info, const char* name, size_t nameLength, uint64_t nameHash) const {
  const ValueEntry* e = m_values.Find(ValueHash(info->hash, nameHash), [&](const ValueEntry& v) {
    return v.info == info && SameName(v.value, name, nameLength);
  });
  return e ? e->value : nullptr;
}

KeyValue* TreeIndex::FindValueAt(uint64_t pathHash, const char* layer, size_t layerLength, const char* rest,
                                 size_t restLength, const char* name, size_t nameLength, uint64_t nameHash) const {
  const ValueEntry* e = m_values.Find(ValueHash(pathHash, nameHash), [&](const ValueEntry& v) {
    return v.info->hash == pathHash && SameName(v.value, name, nameLength) &&
           SamePath(v.info->path, layer, layerLength, rest, restLength);
  });
  return e ? e->value : nullptr;
}

SectionInfo* TreeIndex::AddSection(const SectionInfo* parent, KeyRoot* section) {
  auto info = std::make_unique<SectionInfo>();
  info->section = section;
  if (parent) {
    info->path = parent->path;
    info->path += '\\';
  }
  for (const char* p = section->name ? section->name : ""; *p; ++p) info->path += FoldAscii(*p);
  const size_t slash = info->path.find('\\');
  const size_t layerLength = slash == std::string::npos ? info->path.size() : slash;
  const size_t restStart = slash == std::string::npos ? info->path.size() : slash + 1;
  info->hash = PathHash(FoldedPartHash(info->path.data(), layerLength),
                        FoldedPartHash(info->path.data() + restStart, info->path.size() - restStart));
  SectionInfo* raw = info.get();
  m_byPath.Insert(PathEntry{raw->hash, raw});
  if (!parent) ++m_topLevelGeneration;
  m_byRecord[section] = std::move(info);
  return raw;
}

void TreeIndex::RemoveSection(const KeyRoot* section) {
  auto it = m_byRecord.find(section);
  if (it == m_byRecord.end()) return;
  SectionInfo* info = it->second.get();
  m_byPath.Erase(info->hash, [&](const PathEntry& p) { return p.info == info; });
  if (info->path.find('\\') == std::string::npos) ++m_topLevelGeneration;
  if (topLevelHint == section) topLevelHint = nullptr;
  m_byRecord.erase(it);
}

void TreeIndex::AddValue(SectionInfo* info, KeyValue* value, uint64_t nameHash) {
  m_values.Insert(ValueEntry{ValueHash(info->hash, nameHash), info, value});
}

void TreeIndex::RemoveValue(SectionInfo* info, const KeyValue* value) {
  m_values.Erase(ValueHash(info->hash, NameHash(value->name ? value->name : "")),
                 [&](const ValueEntry& v) { return v.value == value; });
  if (info->valueHint == value) info->valueHint = nullptr;
  info->textValid = false;
}

void TreeIndex::Clear() {
  ++m_topLevelGeneration;
  m_byPath.Clear();
  m_values.Clear();
  m_byRecord.clear();
  topLevelHint = nullptr;
}

}  // namespace navconfig
