// CConfigMgr: layered reads, default tests, the write procedure, deletion, saves and the reading of layer files.
#include "store/configmgr.h"

#include <doroutil/files.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "cfg/format.h"
#include "common/log.h"
#include "store/change_record.h"
#include "store/keytree.h"
#include "store/layer_loader.h"
#include "store/layer_text.h"
#include "store/tree_index.h"

using namespace navconfig;

// The work that runs rarely (reading and saving files, reloads, the origin of a value) is marked cold, so that the
// compiler spends its inlining on the reads, which run all the time.

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

CConfigMgr::CConfigMgr(StoreEnvironment& environment) : m_env(environment) {
  const char* names[kLayerCount];
  for (int i = 0; i < kLayerCount; ++i) {
    names[i] = m_layers[i].name;
    m_layerLength[i] = std::strlen(m_layers[i].name);
  }
  static_assert(kLayerCount <= TreeIndex::kLayeredLayers);
  m_forest.IndexRef().SetLayeredLayers(names, kLayerCount);
}

CConfigMgr::~CConfigMgr() {
  ApplyRestoreSettings();
  ReleaseTrees();
}

void CConfigMgr::ApplyRestoreSettings() {
  if (!m_bRestoreSettings) return;
  m_bRestoreSettings = false;
  const std::string dir = m_env.ConfigDirectory();
  if (!dir.empty()) FileErase((dir + "user.cfg").c_str());
}

void CConfigMgr::ReleaseTrees() {
  // Every layer is read afresh; changes that could not be saved go with the trees.
  m_layerFiles.clear();
  m_forest.Release();
}

// ---- Layers ----

bool CConfigMgr::EnsureLayer(const char* path) {
  const std::string layer = LayerName(path);
  if (layer.empty()) return false;
  if (m_forest.FindLayer(layer.c_str())) return true;
  return ReadLayerFile(layer.c_str());
}

void CConfigMgr::EnableAllLayers() {
  for (auto& layer : m_layers) layer.enabled = true;
}

void CConfigMgr::CreateUserFileOnce() {
  if (!m_bCreateUserFile) return;
  m_bCreateUserFile = false;
  const std::string dir = m_env.ConfigDirectory();
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
    m_layerInMemory[i] = m_forest.IndexRef().FindSection(TreeIndex::PathHash(m_layers[i].name, m_layerLength[i]),
                                             m_layers[i].name, m_layerLength[i]) != nullptr;
  m_layerGeneration = m_forest.IndexRef().TopLevelGeneration();
}

bool CConfigMgr::CanReadShared() const {
  if (m_bCreateUserFile || m_layerGeneration != m_forest.IndexRef().TopLevelGeneration()) return false;
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
  if (const SectionInfo* info = m_forest.IndexRef().FindSection(TreeIndex::PathHash(path, length), path, length)) {
    const size_t keyLength = std::strlen(key);
    *value = m_forest.IndexRef().FindValue(info, key, keyLength, FoldedHash(key, keyLength));
    return true;
  }
  if (path[length - 1] == '\\') return false;
  for (const char* p = slash; p; p = static_cast<const char*>(std::memchr(p + 1, '\\', length - (p + 1 - path))))
    if (p[1] == '\\') return false;
  // No such section: known to be absent when its layer is in memory.
  return m_forest.IndexRef().FindSection(TreeIndex::PathHash(path, layerLength), path, layerLength) != nullptr;
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
  const SectionInfo* info = m_forest.IndexRef().FindSection(pathKey);
  return info ? m_forest.IndexRef().FindValue(info, query.key, query.keyLength, query.keyHash) : nullptr;
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
        sections = m_forest.IndexRef().FindLayered(query.sectionHash, query.section, query.sectionLength);
        looked = true;
      }
      if (const SectionInfo* info = sections ? sections->in[i] : nullptr)
        v = m_forest.IndexRef().FindValue(info, query.key, query.keyLength, query.keyHash);
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
  const ConfigDefault* d = m_env.FindDefault(dkey.c_str());
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
    const ConfigDefault* d = m_env.FindDefault(dkey.c_str());
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
  return m_env.FindDefault(dkey.c_str()) != nullptr;
}

namespace {

// Whether a value answers a read of the type (0: the existence test).
bool Answers(const KeyValue* v, unsigned type) {
  if (!v) return false;
  const unsigned t = v->type & 15;
  if (type == KEYVALUE_TYPE_INTEGER) return t == KEYVALUE_TYPE_INTEGER;
  if (type == KEYVALUE_TYPE_STRING) return t == KEYVALUE_TYPE_STRING && v->strValue;
  return t == KEYVALUE_TYPE_INTEGER || t == KEYVALUE_TYPE_STRING;
}

}  // namespace

[[gnu::cold]] CConfigMgr::Origin CConfigMgr::FindOrigin(const char* section, const char* key, unsigned type) {
  Origin origin;
  if (std::strchr(section, '\\')) {
    if (Answers(FindValue(section, key), type)) origin = {Origin::Kind::Layer, LayerName(section)};
    return origin;
  }
  // The layers in order, skipping those without a file, as a layered read does; a layer found without a file is
  // skipped by later reads too, which is what the read would have recorded.
  int otherType = -1;  // the layer whose value of the other type the read remembers
  for (int i = 0; i < kLayerCount; ++i) {
    Layer& candidate = m_layers[i];
    if (!candidate.enabled) continue;
    const bool available = EnsureLayer(candidate.name);
    candidate.enabled = available;
    if (!available) continue;
    const std::string path = std::string(candidate.name) + '\\' + section;
    const KeyValue* v = FindValue(path.c_str(), key);
    if (Answers(v, type)) return {Origin::Kind::Layer, candidate.name};
    if (type != 0) otherType = v ? i : -1;
  }
  if (otherType >= 0) return {Origin::Kind::OtherType, m_layers[otherType].name};
  const std::string defaultsKey = std::string(section) + '\\' + key;
  if (m_env.FindDefault(defaultsKey.c_str())) origin.kind = Origin::Kind::Default;
  return origin;
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
  const ConfigDefault* d = m_env.FindDefault(dkey.c_str());
  if (!d) return false;
  long number = 0;
  if (d->strValue) LogIntIsString(dkey.c_str());
  else number = d->intValue;
  return static_cast<int32_t>(static_cast<uint32_t>(value)) == number && !HeldBelowUser(path, key);
}

bool CConfigMgr::IsDefaultStr(const char* path, const char* key, const char* value) {
  std::string dkey;
  if (!UserDefaultsKey(path, key, dkey)) return false;
  const ConfigDefault* d = m_env.FindDefault(dkey.c_str());
  if (!d) return false;
  if (!d->strValue) {
    LogStringIsInt(dkey.c_str());
    return false;
  }
  return SpecialChar_stricmp(d->strValue, value ? value : "") == 0 && !HeldBelowUser(path, key);
}

// ---- Writes and deletion ----

std::string navconfig::WritePath(const char* section) {
  if (section && std::strchr(section, '\\')) return section;
  std::string path = "user\\";
  if (section) path += section;
  return path;
}

platform::Status CConfigMgr::AcceptNames(const char* path, const char* key) {
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
    return platform::Status::Ok();
  }
  const platform::Status refused =
      platform::Status::Error(what + fault + ", which a .cfg file cannot carry; nothing was stored");
  const std::string layer = LayerName(path);
  if (layer.empty()) return refused;
  // The layer's file is named, where it can be, as the file that was not written.
  const std::string file = LayerFilePath(layer);
  RecordRefusedSave(layer, refused.reason);
  if (!file.empty()) m_saves[FoldedLayer(layer)].file = file;
  return refused;
}

platform::Status CConfigMgr::StoreValue(const char* path, const char* key, long type, long intValue,
                                        const char* strValue) {
  if (!path || !key) return platform::Status::Error("no section path or key name");
  if (platform::Status accepted = AcceptNames(path, key); !accepted.ok) return accepted;
  const bool isString = (type & 15) == KEYVALUE_TYPE_STRING;
  return Store(SetEdit(path, key, static_cast<uint32_t>(type), isString ? 0 : intValue, isString ? strValue : "",
                       false),
               nullptr);
}

platform::Status CConfigMgr::Store(LayerEdit&& edit, WriteTarget* target) {
  const char* path = edit.path.c_str();
  const char* key = edit.key.c_str();
  const bool isString = (edit.type & 15) == KEYVALUE_TYPE_STRING;
  edit.isDefault = isString ? IsDefaultStr(path, key, edit.strValue.c_str()) : IsDefaultInt(path, key, edit.intValue);
  WriteTarget found;
  if (!target || !target->section || target->path != edit.path) {
    target = target ? target : &found;
    target->section = nullptr;
    EnsureLayer(path);
    if (!keytree::FindOrCreatePath(&m_forest, m_forest.RootSlot(), path, &target->section) || !target->section)
      return platform::Status::Error("out of memory");
    target->path = edit.path;
    target->layer = LayerName(path);
    // The layer is in memory now. When a read had found no file for it, layered reads would go on skipping it
    // and never return what was written here.
    EnableLayer(target->layer);
  }
  const bool changed = keytree::AddValue(&m_forest, target->section, key, edit.type, edit.intValue,
                                         edit.strValue.c_str(), edit.isDefault);
  if (changed && RecordingChanges()) RecordValue(m_forest, path, key, ValueChange::Kind::Changed, m_changes);
  if (NoteEdit(target->layer, std::move(edit), changed) && m_bSaveOnChange) return SaveLayer(target->layer.c_str());
  return platform::Status::Ok();
}

void CConfigMgr::EnableLayer(const std::string& layer) {
  const std::string folded = FoldedLayer(layer);
  for (auto& standard : m_layers)
    if (!standard.enabled && folded == standard.name) standard.enabled = true;
}

KeyRoot* CConfigMgr::FindSection(const char* path) {
  EnsureLayer(path);
  TreeIndex::PathKey key;
  if (!TreeIndex::MakePathKey(path, key)) return nullptr;
  SectionInfo* info = m_forest.IndexRef().FindSection(key);
  return info ? info->section : nullptr;
}

const KeyValue* CConfigMgr::FindValue(const char* path, const char* key) {
  KeyRoot* section = FindSection(path);
  SectionInfo* info = section ? m_forest.IndexRef().FindSection(section) : nullptr;
  if (!info || !key) return nullptr;
  return m_forest.IndexRef().FindValue(info, key, TreeIndex::NameHash(key));
}

KeyRoot* CConfigMgr::FindSectionInLists(const char* path) {
  EnsureLayer(path);
  return m_forest.Root() ? keytree::FindRoot(m_forest.Root(), path) : nullptr;
}

platform::Status CConfigMgr::DeleteValue(const char* path, const char* key, bool* removed) {
  *removed = false;
  if (!path || !key) return platform::Status::Ok();
  EnsureLayer(path);
  const size_t recorded = m_changes.size();
  if (RecordingChanges()) RecordValue(m_forest, path, key, ValueChange::Kind::Removed, m_changes);
  *removed = keytree::DeleteValue(&m_forest, m_forest.Root(), path, key);
  if (!*removed) m_changes.resize(recorded);
  if (NoteEdit(LayerName(path), DeleteValueEdit(path, key), *removed) && m_bSaveOnChange) return SaveLayer(path);
  return platform::Status::Ok();
}

platform::Status CConfigMgr::DeleteBranch(const char* path, bool* removed) {
  *removed = false;
  if (!path) return platform::Status::Ok();
  EnsureLayer(path);
  const size_t recorded = m_changes.size();
  if (RecordingChanges()) RecordBranch(m_forest, path, m_changes);
  *removed = keytree::DeleteBranch(&m_forest, m_forest.RootSlot(), path);
  if (!*removed) m_changes.resize(recorded);
  // A whole layer deleted leaves its file empty: otherwise the next access would read it back at once.
  if (NoteEdit(LayerName(path), DeleteBranchEdit(path), *removed) && m_bSaveOnChange) return SaveLayer(path);
  return platform::Status::Ok();
}

// ---- Change sets ----

namespace {

// Where a change is kept among the recorded ones (a type of this file, so that the map of them stays inside the
// library).
struct KeptAt {
  size_t index;
};

}  // namespace

platform::Status CConfigMgr::AcceptChange(const LayerEdit& change) {
  const std::string layer = LayerName(change.path.c_str());
  if (layer.empty()) return platform::Status::Error("a change names no layer");
  if (!platform::IsSafeFileComponent(layer)) {
    RecordRefusedSave(layer, kUnsafeFileName);
    return platform::Status::Error(kUnsafeFileName);
  }
  if (change.kind != LayerEdit::Kind::Set) return platform::Status::Ok();
  return AcceptNames(change.path.c_str(), change.key.c_str());
}

[[gnu::cold]] platform::Status CConfigMgr::ApplyChanges(std::vector<LayerEdit>&& changes) {
  // Every name first; a write into the section of the write before it has only its key to show.
  const LayerEdit* previous = nullptr;
  for (const LayerEdit& change : changes) {
    const bool sameSection = previous && change.kind == LayerEdit::Kind::Set && previous->path == change.path;
    if (!sameSection || cfg::KeyNameFault(change.key.data(), change.key.size()))
      if (platform::Status accepted = AcceptChange(change); !accepted.ok) return accepted;
    previous = change.kind == LayerEdit::Kind::Set ? &change : nullptr;
  }
  const size_t recorded = m_changes.size();
  // The layers that the set touches, each with the path of its first change, in the order met.
  std::vector<std::pair<std::string, std::string>> layers;
  platform::Status status = platform::Status::Ok();
  // Nothing is saved while the changes are made, whatever ends the loop.
  struct Deferred {
    bool& save;
    const bool saveOnChange = std::exchange(save, false);
    ~Deferred() { save = saveOnChange; }
  } deferred{m_bSaveOnChange};
  // Writes in a row into one section find it once; a deletion may take it away.
  WriteTarget target;
  for (LayerEdit& change : changes) {
    if (target.path != change.path) {
      std::string folded = FoldedLayer(LayerName(change.path.c_str()));
      if (std::none_of(layers.begin(), layers.end(), [&](const auto& l) { return l.first == folded; }))
        layers.emplace_back(std::move(folded), change.path);
    }
    bool removed = false;
    platform::Status made = platform::Status::Ok();
    if (change.kind == LayerEdit::Kind::Set) {
      made = Store(std::move(change), &target);
    } else {
      target.section = nullptr;
      made = change.kind == LayerEdit::Kind::DeleteValue
                 ? DeleteValue(change.path.c_str(), change.key.c_str(), &removed)
                 : DeleteBranch(change.path.c_str(), &removed);
    }
    if (!made.ok && status.ok) status = std::move(made);
  }
  m_bSaveOnChange = deferred.saveOnChange;
  KeepOneChangePerValue(recorded);
  if (!m_bSaveOnChange) return status;
  // A layer whose journal is empty was not changed (nor is a failed save of it pending).
  for (const auto& [folded, path] : layers) {
    auto it = m_layerFiles.find(folded);
    if (it == m_layerFiles.end() || it->second.Journal().Empty()) continue;
    if (platform::Status saved = SaveLayer(path.c_str()); !saved.ok && status.ok) status = std::move(saved);
  }
  return status;
}

void CConfigMgr::KeepOneChangePerValue(size_t first) {
  if (m_changes.size() - first < 2) return;
  std::map<std::string, KeptAt> at;  // the folded name of a value, and where it is kept
  size_t kept = first;
  for (size_t i = first; i < m_changes.size(); ++i) {
    ValueChange& change = m_changes[i];
    const std::string name = FoldedLayer(change.layer + '\\' + change.section + '\\' + change.key);
    auto [it, added] = at.try_emplace(name, KeptAt{kept});
    if (!added) {
      m_changes[it->second.index].kind = change.kind;
      continue;
    }
    if (kept != i) m_changes[kept] = std::move(change);
    ++kept;
  }
  m_changes.resize(kept);
}

[[gnu::cold]] void CConfigMgr::FlushBranch(const char* path) {
  EnsureLayer(path);
  if (!keytree::DeleteBranch(&m_forest, m_forest.RootSlot(), path)) return;
  const std::string layer = LayerName(path);
  auto it = m_layerFiles.find(FoldedLayer(layer));
  if (it == m_layerFiles.end()) return;
  if (!m_forest.FindLayer(layer.c_str())) m_layerFiles.erase(it);
  else it->second.ForgetIdentity();
}

bool CConfigMgr::NoteEdit(const std::string& layer, LayerEdit&& edit, bool changedMemory) {
  if (layer.empty()) return false;
  LayerFile& state = m_layerFiles[FoldedLayer(layer)];
  // A write that changes nothing in memory is the newest word on the key only when the file it was read from has
  // changed since; otherwise the file keeps what it holds.
  if (!changedMemory && !state.ChangedSince(LayerFilePath(layer))) return false;
  state.Journal().Add(std::move(edit));
  return true;
}

// ---- Saves ----

[[gnu::cold]] platform::Status CConfigMgr::SaveLayer(const char* path) {
  const std::string layer = LayerName(path);
  if (layer.empty()) return platform::Status::Ok();
  LayerFile& state = m_layerFiles[FoldedLayer(layer)];
  // A layer that is not in memory is written only when this process deleted it (an empty file).
  SectionInfo* info = m_forest.FindLayer(layer.c_str());
  if (!info && state.Journal().Empty()) return platform::Status::Ok();
  const std::string file = LayerFilePath(layer);
  if (file.empty()) {
    if (platform::IsSafeFileComponent(layer)) return platform::Status::Ok();  // no configuration directory
    RecordRefusedSave(layer, kUnsafeFileName);
    return platform::Status::Error(kUnsafeFileName);
  }
  // Under the lock of the file, with what other processes saved since this one last read or wrote the file
  // merged in first.
  platform::FileLock lock;
  platform::Status status = state.Lock(file, lock, m_saveLockTimeout);
  if (status.ok) {
    const platform::FileIdentity identity = platform::IdentifyFile(file);
    if (!state.Holds(file, identity))
      status = MergeLayerFile(layer, file, identity, RecordingChanges() ? &m_changes : nullptr);
  }
  if (!status.ok) return RecordSave(layer, file, status, 0);
  // A layer that holds no value any more (or was deleted) is written empty, so that deleting its last value
  // lasts. The text is usually about as long as it was at the last save.
  info = m_forest.FindLayer(layer.c_str());
  const SaveStatus* last = LastSave(layer.c_str());
  const std::string text = navconfig::LayerText(info ? info->section : nullptr, last ? last->bytes : 0,
                                                &m_forest.IndexRef());
  status = RecordSave(layer, file, state.Replace(file, text, m_saves[FoldedLayer(layer)]), text.size());
  // After a failed write the journal stays for the next save.
  if (status.ok) state.Saved(file);
  return status;
}

[[gnu::cold]] platform::Status CConfigMgr::MergeLayerFile(const std::string& layer, const std::string& file,
                                            const platform::FileIdentity& identity, std::vector<ValueChange>* changes) {
  LayerFile& state = m_layerFiles[FoldedLayer(layer)];
  bool inMemory = false;
  const platform::Status status = state.Merge(m_forest, layer, file, identity,
                                              FallbackFile(layer), changes, &inMemory);
  // Layered reads that found no file for the layer before would go on passing it by.
  if (inMemory) EnableLayer(layer);
  return status;
}

platform::Status CConfigMgr::RecordSave(const std::string& layer, const std::string& file,
                                        const platform::Status& status, size_t bytes) {
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  record.attempted = true;
  record.ok = status.ok;
  record.file = file;
  record.reason = status.reason;
  record.bytes = bytes;
  return status;
}

void CConfigMgr::RecordRefusedSave(const std::string& layer, const std::string& reason) {
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  record.attempted = true;
  record.ok = false;
  record.file = layer;
  record.reason = reason;
}

const SaveStatus* CConfigMgr::LastSave(const char* layer) const {
  auto it = m_saves.find(FoldedLayer(layer ? layer : ""));
  return it == m_saves.end() ? nullptr : &it->second;
}

[[gnu::cold]] bool CConfigMgr::EraseLayerFile(const std::string& layer) {
  const std::string file = LayerFilePath(layer);
  if (file.empty()) return false;
  platform::FileLock lock;
  // Erased without the lock too, as a user may ask; the log says so.
  if (const platform::Status locked = lock.Acquire(platform::LockFileOf(file), m_saveLockTimeout); !locked.ok)
    LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__, "%s is erased without its lock: %s",
               file.c_str(), locked.reason.c_str());
  const bool erased = FileErase(file.c_str()) == 0;
  m_layerFiles[FoldedLayer(layer)].Remember(file, platform::IdentifyFile(file));
  return erased;
}

[[gnu::cold]] std::string CConfigMgr::LayerText(const char* layer) {
  const SectionInfo* info = m_forest.FindLayer(layer);
  return navconfig::LayerText(info ? info->section : nullptr, 0, &m_forest.IndexRef());
}

// ---- Layer files ----

std::string CConfigMgr::LayerFilePath(const std::string& layer) const {
  return navconfig::LayerFilePath(m_env.ConfigDirectory(), layer);
}

std::string CConfigMgr::FallbackFile(const std::string& layer) const {
  return FallbackLayerFile(m_env.SystemConfigDirectory(), m_env.RuntimeDirectory(), layer);
}

std::string CConfigMgr::LayerSourceFile(const std::string& layer, bool* exists) const {
  const std::string own = LayerFilePath(layer);
  const std::string used = own.empty() || platform::IsRegularFile(own) ? own : FallbackFile(layer);
  *exists = !own.empty() && !used.empty();
  return used.empty() ? own : used;
}

[[gnu::cold]] bool CConfigMgr::ReadLayerFile(const char* layerName) {
  if (!layerName || !platform::IsSafeFileComponent(layerName)) return false;
  std::string file;
  const std::string candidate = LayerFilePath(layerName);
  if (!candidate.empty()) {
    // Identified before it is read, so that a change in between is found at the next save.
    const platform::FileIdentity identity = platform::IdentifyFile(candidate);
    m_layerFiles[FoldedLayer(layerName)].NoteRead(candidate, identity, true);
    if (identity.kind == platform::FileIdentity::Kind::Regular) file = candidate;
  }
  if (file.empty()) file = FallbackFile(layerName);
  if (file.empty()) return false;

  platform::FileReader reader(file);
  size_t unkept = 0;
  const platform::Status read = reader.IsOpen() ? LayerLoader(m_forest).LoadFile(layerName, reader, &unkept)
                                                : platform::Status::Error("the file cannot be opened");
  LayerFile& state = m_layerFiles[FoldedLayer(layerName)];
  // What could not be read is read again before the next save, rather than written over.
  if (!read.ok) state.NoteRead(std::string(), platform::FileIdentity{}, false);
  state.NoteUnkeptLines(read.ok && unkept != 0);
  return true;
}

[[gnu::cold]] size_t CConfigMgr::ReadLayerText(const char* layerName, const char* text, size_t length) {
  return LayerLoader(m_forest).LoadText(layerName, text, length);
}

[[gnu::cold]] int CConfigMgr::ReloadChangedLayers() {
  const std::string dir = m_env.ConfigDirectory();
  if (dir.empty()) return 0;
  // Every layer read from the configuration folder has a record of its file, and so has one whose file was
  // found missing or holding no section. With nothing changed, each costs one status call.
  std::vector<std::string> changed;
  std::string file = dir;
  for (const auto& [folded, state] : m_layerFiles) {
    if (!platform::IsSafeFileComponent(folded)) continue;
    file.resize(dir.size());
    file += folded;
    file += cfg::kExtension;
    if (!state.Holds(file, platform::IdentifyFile(file))) changed.push_back(folded);
  }
  std::vector<ValueChange> changes;
  for (std::string& layer : changed) {
    // A layer in memory by its name as the forest spells it.
    if (SectionInfo* info = m_forest.FindLayer(layer.c_str()); info && info->section->name) layer = info->section->name;
    const std::string layerFile = LayerFilePath(layer);
    const platform::Status merged =
        layerFile.empty() ? platform::Status::Error("no configuration directory for the layer " + layer)
                          : MergeLayerFile(layer, layerFile, platform::IdentifyFile(layerFile), &changes);
    if (!merged.ok)
      LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__, "the layer %s was not reloaded: %s",
                 layer.c_str(), merged.reason.c_str());
  }
  const int count = static_cast<int>(changes.size());
  if (RecordingChanges())
    m_changes.insert(m_changes.end(), std::make_move_iterator(changes.begin()), std::make_move_iterator(changes.end()));
  return count;
}
