// CConfigMgr: layered reads, default tests, the write procedure, deletion and the block pool.
#include "configmgr.h"

#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace navconfig;

namespace {

// Composes "<section>\<key>", the key of the defaults table, in a buffer of the caller's.
class DefaultsKey {
 public:
  DefaultsKey(const char* section, size_t sectionLength, const char* key) {
    size_t keyLength = std::strlen(key);
    size_t total = sectionLength + 1 + keyLength;
    char* out = total < sizeof m_small ? m_small : (m_large.resize(total + 1), m_large.data());
    std::memcpy(out, section, sectionLength);
    out[sectionLength] = '\\';
    std::memcpy(out + sectionLength + 1, key, keyLength + 1);
    m_text = out;
  }
  const char* c_str() const { return m_text; }

 private:
  char m_small[256];
  std::string m_large;
  const char* m_text;
};

// A name in a message, its control bytes shown as \xNN so that the message stays one line.
std::string Shown(const char* name) {
  std::string out;
  for (const char* p = name; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x20) {
      out += *p;
      continue;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  }
  return out;
}

}  // namespace

namespace navconfig {

TreeHead::~TreeHead() {
  Mem_Free(data);
  for (char* piece : more) Mem_Free(piece);
}

}  // namespace navconfig

CConfigMgr::CConfigMgr() {
  const char* names[kLayerCount];
  for (int i = 0; i < kLayerCount; ++i) {
    names[i] = m_layers[i].name;
    m_layerLength[i] = std::strlen(m_layers[i].name);
  }
  static_assert(kLayerCount <= TreeIndex::kLayeredLayers);
  m_index.SetLayeredLayers(names, kLayerCount);
}

CConfigMgr::~CConfigMgr() {
  ApplyRestoreSettings();
  ReleaseTrees();
}

void CConfigMgr::ApplyRestoreSettings() {
  if (!m_bRestoreSettings) return;
  m_bRestoreSettings = false;
  const std::string dir = ConfigDirectory();
  if (!dir.empty()) FileErase((dir + "user.cfg").c_str());
}

// ---- Blocks ----

void CConfigMgr::AddTreeHead(size_t size, size_t growBy) {
  EndTreeHead();
  auto* head = new TreeHead();
  // Every byte carved from the block is written when it is handed out, so it is not cleared first.
  head->data = static_cast<char*>(Mem_Malloc(size));
  if (!head->data) {
    delete head;
    return;
  }
  head->capacity = static_cast<uint32_t>(size);
  m_treeHeads.Add(head);
  m_iCurrentHead = static_cast<int32_t>(m_treeHeads.Count() - 1);
  m_growBy = growBy;
  m_regionNext = head->data;
  m_regionEnd = head->data + size;
}

void CConfigMgr::EndTreeHead() {
  if (m_iCurrentHead >= 0) {
    TreeHead* head = m_treeHeads.GetAt(static_cast<size_t>(m_iCurrentHead));
    // What the first piece handed out, while pieces still came from it.
    if (head && head->more.empty() && m_regionNext) head->used = static_cast<uint32_t>(m_regionNext - head->data);
  }
  m_iCurrentHead = -1;
  m_growBy = 0;
  m_regionNext = m_regionEnd = nullptr;
}

void CConfigMgr::DropEmptyTreeHead() {
  const size_t count = m_treeHeads.Count();
  const TreeHead* last = count ? m_treeHeads[count - 1] : nullptr;
  if (last && last->used == 0 && last->more.empty() && m_iCurrentHead != static_cast<int32_t>(count - 1))
    m_treeHeads.RemoveAt(count - 1);
}

void CConfigMgr::ReleaseTreeHead(const void* record) {
  for (size_t i = m_treeHeads.Count(); i-- > 0;) {
    if (m_treeHeads[i] && m_treeHeads[i]->data == record) {
      if (m_iCurrentHead == static_cast<int32_t>(i)) EndTreeHead();
      else if (m_iCurrentHead > static_cast<int32_t>(i)) --m_iCurrentHead;
      m_treeHeads.RemoveAt(i);
    }
  }
}

void* CConfigMgr::Carve(size_t bytes) {
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
  head->more.push_back(piece);
  m_regionNext = piece + bytes;
  m_regionEnd = piece + size;
  return piece;
}

void CConfigMgr::ReleaseBlockAt(const void* record) { ReleaseTreeHead(record); }

void CConfigMgr::ReleaseTrees() {
  // Every layer is read afresh; changes that could not be saved go with the trees.
  m_layerFiles.clear();
  // The index goes whole rather than record by record, after it told which sections hold pieces from the heap;
  // a forest that holds none goes with its blocks, unwalked.
  if (m_index.HeapRecords()) keytree::ReleaseForest(&m_index, m_pRoot);
  m_index.Clear();
  m_pRoot = nullptr;
  EndTreeHead();
  while (m_treeHeads.Count()) m_treeHeads.RemoveAt(m_treeHeads.Count() - 1);
}

// ---- Layers ----

SectionInfo* CConfigMgr::FindLayerInfo(const char* layerName) {
  TreeIndex::PathKey key;
  if (!TreeIndex::MakePathKey(layerName, key)) return nullptr;
  return m_index.FindSection(key);
}

bool CConfigMgr::EnsureLayer(const char* path) {
  const std::string layer = LayerName(path);
  if (layer.empty()) return false;
  if (FindLayerInfo(layer.c_str())) return true;
  return ReadLayerFile(layer.c_str());
}

void CConfigMgr::EnableAllLayers() {
  for (auto& layer : m_layers) layer.enabled = true;
}

const SaveStatus* CConfigMgr::LastSave(const char* layer) const {
  auto it = m_saves.find(FoldedLayer(layer ? layer : ""));
  return it == m_saves.end() ? nullptr : &it->second;
}

void CConfigMgr::CreateUserFileOnce() {
  if (!m_bCreateUserFile) return;
  m_bCreateUserFile = false;
  const std::string dir = ConfigDirectory();
  if (dir.empty()) return;
  // Whatever stands there already (a file, a link, a FIFO) is left as it is.
  const std::string file = dir + "user.cfg";
  if (!platform::CreateNewFile(file)) return;
  // The empty file says what its absence said: a layer known to match the absent file (its file erased by
  // Config_RestoreDefaults) matches the new one, so that the next save does not take it for another writer's.
  auto it = m_layerFiles.find("user");
  if (it != m_layerFiles.end() && it->second.Holds(file, platform::FileIdentity{}))
    it->second.Remember(file, platform::IdentifyFile(file));
}

// ---- Layered reads ----

CConfigMgr::LayeredQuery::LayeredQuery(const char* s, const char* k) : section(s), key(k) {
  sectionLength = std::strlen(s);
  // The longest standard layer name is seven bytes.
  fits = 7 + 1 + sectionLength <= keytree::kMaxPath;
  // Hashed as given: the hash folds letters itself, and the index folds the section where it compares it.
  sectionHash = TreeIndex::FoldedPartHash(s, fits ? sectionLength : 0);
  keyLength = std::strlen(k);
  keyHash = FoldedHash(k, keyLength);
}

void CConfigMgr::NoteLayersInMemory() {
  for (int i = 0; i < kLayerCount; ++i)
    m_layerInMemory[i] = m_index.FindSection(TreeIndex::PathHash(m_layers[i].name, m_layerLength[i]),
                                             m_layers[i].name, m_layerLength[i]) != nullptr;
  m_layerGeneration = m_index.TopLevelGeneration();
}

bool CConfigMgr::CanReadShared() const {
  if (m_bCreateUserFile || m_layerGeneration != m_index.TopLevelGeneration()) return false;
  // An enabled layer that is not in memory would be read from its file.
  for (int i = 0; i < kLayerCount; ++i)
    if (m_layers[i].enabled && !m_layerInMemory[i]) return false;
  return true;
}

bool CConfigMgr::FindValueInMemory(const char* path, const char* separator, const char* key,
                                   const KeyValue** value) const {
  *value = nullptr;
  if (!path || !key) return false;
  // The path is looked up as it is written, "<layer>\<section>\<subsection>", its components being the texts
  // between its backslashes, without a folded copy. That finds a section only where the path is written so
  // (the index holds no other form); a path that finds none is told absent only when written so too (within
  // 255 bytes, no backslash first, last or doubled, no blank first, which EnsureLayer would skip). Every other
  // path goes to FindValue.
  const size_t length = std::strlen(path);
  if (length == 0 || length > keytree::kMaxPath || path[0] == ' ' || path[0] == '\\') return false;
  const char* slash = separator;
  const size_t layerLength = slash ? static_cast<size_t>(slash - path) : length;
  if (layerLength > kMaxLayerName) return false;
  if (const SectionInfo* info = m_index.FindSection(TreeIndex::PathHash(path, length), path, length)) {
    const size_t keyLength = std::strlen(key);
    *value = m_index.FindValue(info, key, keyLength, FoldedHash(key, keyLength));
    return true;
  }
  if (path[length - 1] == '\\') return false;
  for (const char* p = slash; p; p = static_cast<const char*>(std::memchr(p + 1, '\\', length - (p + 1 - path))))
    if (p[1] == '\\') return false;
  // No such section: known to be absent when its layer is in memory.
  return m_index.FindSection(TreeIndex::PathHash(path, layerLength), path, layerLength) != nullptr;
}

const KeyValue* CConfigMgr::FindInLayer(int layer, const LayeredQuery& query, bool* available) {
  if (!LayerInMemory(layer)) {
    // A layer file without any section leaves the layer out of memory; it is read again next time.
    *available = ReadLayerFile(m_layers[layer].name);
    if (!*available || !LayerInMemory(layer)) return nullptr;
  }
  *available = true;
  TreeIndex::PathKey pathKey;
  TreeIndex::MakeLayeredKey(m_layers[layer].name, query.section, pathKey);
  const SectionInfo* info = m_index.FindSection(pathKey);
  return info ? m_index.FindValue(info, query.key, query.keyLength, query.keyHash) : nullptr;
}

template <typename Accept>
CConfigMgr::LayeredResult CConfigMgr::SearchLayers(const LayeredQuery& query, Accept accept) {
  bool otherType = false;
  const TreeIndex::LayeredSections* sections = nullptr;
  bool looked = false;
  for (int i = 0; i < kLayerCount; ++i) {
    if (!m_layers[i].enabled) continue;
    bool available = true;
    // The usual case inline: the layer is in memory, and the plain section is one component after it, found
    // in every layer at once.
    const KeyValue* v = nullptr;
    if (query.fits && query.sectionLength > 0 && LayerInMemory(i)) {
      if (!looked) {
        sections = m_index.FindLayered(query.sectionHash, query.section, query.sectionLength);
        looked = true;
      }
      if (const SectionInfo* info = sections ? sections->in[i] : nullptr)
        v = m_index.FindValue(info, query.key, query.keyLength, query.keyHash);
    } else {
      v = FindInLayer(i, query, &available);
      looked = false;  // a layer read from its file brings sections
    }
    // A layer without a file is skipped from now on.
    if (m_layers[i].enabled != available) m_layers[i].enabled = available;
    if (!available) continue;
    if (v && accept(v)) return {v, false};
    otherType = v != nullptr;
  }
  return {nullptr, otherType};
}

long CConfigMgr::GetLayeredInt(const char* section, const char* key) {
  CreateUserFileOnce();
  if (!section || !key) return 0;
  const LayeredQuery query(section, key);
  const LayeredResult found =
      SearchLayers(query, [](const KeyValue* v) { return (v->type & 15) == KEYVALUE_TYPE_INTEGER; });
  if (found.value) return found.value->intValue;
  // A value of the other type in the last layer that was available hides the default.
  if (found.otherType) return 0;
  DefaultsKey dkey(section, query.sectionLength, key);
  const ConfigDefault* d = Globals().FindDefault(dkey.c_str());
  if (!d) return 0;
  if (d->strValue) {
    LogIntIsString(dkey.c_str());
    return 0;
  }
  return d->intValue;
}

bool CConfigMgr::GetLayeredStr(const char* section, const char* key, char* buffer, long size) {
  if (buffer && size > 0) buffer[0] = '\0';
  CreateUserFileOnce();
  if (!section || !key || !buffer || size <= 0) return false;
  const LayeredQuery query(section, key);
  const LayeredResult found = SearchLayers(
      query, [](const KeyValue* v) { return (v->type & 15) == KEYVALUE_TYPE_STRING && v->strValue != nullptr; });
  const char* text = found.value ? found.value->strValue : nullptr;
  if (!text && !found.otherType) {
    DefaultsKey dkey(section, query.sectionLength, key);
    const ConfigDefault* d = Globals().FindDefault(dkey.c_str());
    if (d && !d->strValue) LogStringIsInt(dkey.c_str());
    text = d ? d->strValue : nullptr;
  }
  if (!text) return false;
  CopyTruncated(buffer, size, text);
  return buffer[0] != '\0';
}

bool CConfigMgr::LayeredKeyExists(const char* section, const char* key) {
  CreateUserFileOnce();
  if (!section || !key) return false;
  const LayeredQuery query(section, key);
  const LayeredResult found = SearchLayers(query, [](const KeyValue* v) {
    return (v->type & 15) == KEYVALUE_TYPE_STRING || (v->type & 15) == KEYVALUE_TYPE_INTEGER;
  });
  if (found.value) return true;
  DefaultsKey dkey(section, query.sectionLength, key);
  return Globals().HasDefault(dkey.c_str());
}

// ---- Default tests ----

namespace {

// The defaults key of a user path: the path from its first backslash on, without that backslash, then a
// backslash and the key ("user\Image" with "KeepPercent" gives "Image\KeepPercent"); at most 254 bytes.
bool UserDefaultsKey(const char* path, const char* key, std::string& out) {
  if (!path || !key || std::strncmp(path, "user", 4) != 0) return false;
  const char* slash = std::strchr(path, '\\');
  if (!slash) return false;
  out.assign(slash + 1);
  out += '\\';
  out += key;
  if (out.size() > 254) out.resize(254);
  return true;
}

}  // namespace

bool CConfigMgr::HeldBelowUser(const char* path, const char* key) {
  const char* section = std::strchr(path, '\\');
  if (!section) return false;
  for (int i = 1; i < kLayerCount; ++i) {
    // A layer that reads skip (no file) gives reads nothing either.
    if (!m_layers[i].enabled) continue;
    const std::string lower = std::string(m_layers[i].name) + section;
    const KeyValue* v = FindValue(lower.c_str(), key);
    if (v && ((v->type & 15) == KEYVALUE_TYPE_INTEGER || (v->type & 15) == KEYVALUE_TYPE_STRING)) return true;
  }
  return false;
}

bool CConfigMgr::IsDefaultInt(const char* path, const char* key, long value) {
  std::string dkey;
  if (!UserDefaultsKey(path, key, dkey)) return false;
  const ConfigDefault* d = Globals().FindDefault(dkey.c_str());
  if (!d) return false;
  long number = 0;
  if (d->strValue) LogIntIsString(dkey.c_str());
  else number = d->intValue;
  return static_cast<int32_t>(static_cast<uint32_t>(value)) == number && !HeldBelowUser(path, key);
}

bool CConfigMgr::IsDefaultStr(const char* path, const char* key, const char* value) {
  std::string dkey;
  if (!UserDefaultsKey(path, key, dkey)) return false;
  const ConfigDefault* d = Globals().FindDefault(dkey.c_str());
  if (!d) return false;
  if (!d->strValue) {
    LogStringIsInt(dkey.c_str());
    return false;
  }
  return SpecialChar_stricmp(d->strValue, value ? value : "") == 0 && !HeldBelowUser(path, key);
}

// ---- Writes and deletion ----

bool CConfigMgr::AcceptNames(const char* path, const char* key) {
  // The sections are what follows the layer: leading blanks and backslashes, then the layer's name.
  const char* sections = path + std::strspn(path, " \\");
  sections += std::strcspn(sections, "\\");
  const char* fault = nullptr;
  std::string what;
  // A value of the layer itself would stay in memory only: the writer writes sections.
  if (sections[std::strspn(sections, "\\")] == '\0') {
    what = "the section path '" + Shown(path) + "' ";
    fault = "names a layer but no section in it";
  } else if ((fault = cfg::SectionNamesFault(sections, std::strlen(sections)))) {
    what = "the section path '" + Shown(path) + "' ";
  } else if ((fault = cfg::KeyNameFault(key, std::strlen(key)))) {
    what = "the key name '" + Shown(key) + "' ";
  } else {
    return true;
  }
  const std::string layer = LayerName(path);
  if (!layer.empty()) RecordRefusedWrite(layer, what + fault + ", which a .cfg file cannot carry; nothing was stored");
  return false;
}

void CConfigMgr::StoreValue(const char* path, const char* key, long type, long intValue, const char* strValue) {
  if (!path || !key || !AcceptNames(path, key)) return;
  const bool isString = (type & 15) == KEYVALUE_TYPE_STRING;
  const bool isDefault = isString ? IsDefaultStr(path, key, strValue) : IsDefaultInt(path, key, intValue);
  EnsureLayer(path);
  KeyRoot* section = nullptr;
  if (!keytree::FindOrCreatePath(this, &m_pRoot, path, &section) || !section) return;
  // The layer is in memory now. When a read had found no file for it, layered reads would go on skipping it
  // and never return what was written here.
  for (auto& layer : m_layers) {
    if (!layer.enabled && FoldedLayer(LayerName(path)) == layer.name) layer.enabled = true;
  }
  const bool changed = keytree::AddValue(this, section, key, type, isString ? 0 : intValue,
                                         isString ? strValue : "", isDefault);
  if (changed && RecordingChanges()) RecordChange(path, key, ValueChange::Kind::Changed);
  const LayerEdit edit = SetEdit(path, key, static_cast<uint32_t>(type), isString ? 0 : intValue,
                                 isString ? strValue : "", isDefault);
  if (NoteEdit(edit, changed) && m_bSaveOnChange) SaveLayer(path);
}

KeyRoot* CConfigMgr::FindSection(const char* path) {
  EnsureLayer(path);
  TreeIndex::PathKey key;
  if (!TreeIndex::MakePathKey(path, key)) return nullptr;
  SectionInfo* info = m_index.FindSection(key);
  return info ? info->section : nullptr;
}

const KeyValue* CConfigMgr::FindValue(const char* path, const char* key) {
  KeyRoot* section = FindSection(path);
  SectionInfo* info = section ? m_index.FindSection(section) : nullptr;
  if (!info || !key) return nullptr;
  return m_index.FindValue(info, key, TreeIndex::NameHash(key));
}

bool CConfigMgr::DeleteValue(const char* path, const char* key) {
  if (!path || !key) return false;
  EnsureLayer(path);
  const size_t recorded = m_changes.size();
  if (RecordingChanges()) RecordChange(path, key, ValueChange::Kind::Removed);
  const bool removed = keytree::DeleteValue(this, m_pRoot, path, key);
  if (!removed) m_changes.resize(recorded);
  if (NoteEdit(DeleteValueEdit(path, key), removed) && m_bSaveOnChange) SaveLayer(path);
  return removed;
}

bool CConfigMgr::DeleteBranch(const char* path) {
  if (!path) return false;
  EnsureLayer(path);
  const size_t recorded = m_changes.size();
  if (RecordingChanges()) RecordBranch(path);
  const bool removed = keytree::DeleteBranch(this, &m_pRoot, path);
  if (!removed) m_changes.resize(recorded);
  // A whole layer deleted leaves its file empty: otherwise the next access would read it back at once.
  if (NoteEdit(DeleteBranchEdit(path), removed) && m_bSaveOnChange) SaveLayer(path);
  return removed;
}
