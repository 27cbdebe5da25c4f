// CConfigMgr: layered reads, default tests, the write procedure, deletion, saves and the reading of layer files.
#include "store/configmgr.h"

#include <doroutil/files.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cfg/format.h"
#include "common/folded_names.h"
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

// A layer file up to this size keeps its text in memory when it is read, for the next save to edit.
constexpr uint64_t kKeptTextLimit = 1 << 20;

// The bytes of a header's path that a read of the layer keeps: a path with its layer is cut at kMaxPath bytes.
size_t HeaderLimit(const std::string& layer) {
  return layer.size() < keytree::kMaxPath ? keytree::kMaxPath - layer.size() - 1 : 0;
}

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

// Holds the manager's lock alone for a scope, for the store's own work (which hands what it changed to its
// caller, not to the listeners).
class SCOPED_CAPABILITY ManagerLock {
 public:
  explicit ManagerLock(CConfigMgr* mgr) ACQUIRE(mgr->Mutex()) : m_mgr(mgr) { m_mgr->Lock(); }
  ~ManagerLock() RELEASE() { m_mgr->Unlock(); }
  ManagerLock(const ManagerLock&) = delete;
  ManagerLock& operator=(const ManagerLock&) = delete;

 private:
  CConfigMgr* m_mgr;
};

}  // namespace

// ---- Locks held for a scope ----

ConfigLock::~ConfigLock() NO_THREAD_SAFETY_ANALYSIS {
  if (!m_mgr->HasChanges()) {
    m_mgr->Unlock();
    return;
  }
  std::vector<ValueChange> changes = m_mgr->TakeChanges();
  const StoreEnvironment& environment = m_mgr->Environment();
  m_mgr->Unlock();
  DeliverChanges(std::move(changes), environment);
}

// The scope's own bookkeeping: the analysis follows the lock through the scope's annotations.
ConfigWrite::~ConfigWrite() NO_THREAD_SAFETY_ANALYSIS {
  if (m_finished) return;
  if (std::uncaught_exceptions() > 0) {
    // A write that failed part-way (out of memory) saves nothing; its caller reports the failure.
    m_finished = true;
    m_mgr->Unlock();
    return;
  }
  try {
    ReportedInLastSave(Finish());
  } catch (...) {
    // The lock is released by then; the save's failure, when there was one, is the layer's last save.
  }
}

platform::Status WriteEffects::SaveAndTell(CConfigMgr* mgr) {
  if (!pending.Empty()) Note(mgr->Save(pending, &changes));
  DeliverChanges(std::move(changes), mgr->Environment());
  return status;
}

platform::Status ConfigWrite::Finish() NO_THREAD_SAFETY_ANALYSIS {
  m_finished = true;
  m_effects.changes = m_mgr->TakeChanges();
  m_mgr->Unlock();
  return m_effects.SaveAndTell(m_mgr);
}

WriteBatch::~WriteBatch() {
  if (m_finished) return;
  try {
    ReportedInLastSave(Finish());
  } catch (...) {
    // The save's failure, when there was one, is the layer's last save.
  }
}

void WriteBatch::StoreValue(const char* path, const char* key, long type, long intValue, const char* strValue) {
  ConfigLock lock(m_mgr);
  m_effects.Note(m_mgr->StoreValue(path, key, type, intValue, strValue, &m_effects.pending));
  // The changes are told after the save; the lock's end finds none left to tell.
  std::vector<ValueChange> changes = m_mgr->TakeChanges();
  m_effects.changes.insert(m_effects.changes.end(), std::make_move_iterator(changes.begin()),
                           std::make_move_iterator(changes.end()));
}

platform::Status WriteBatch::Finish() {
  m_finished = true;
  return m_effects.SaveAndTell(m_mgr);
}

void PendingSaves::Add(const std::string& layer, uint64_t through) {
  const std::string folded = FoldedLayer(layer);
  for (auto& [name, number] : m_layers) {
    if (FoldedLayer(name) != folded) continue;
    if (through > number) number = through;
    return;
  }
  m_layers.emplace_back(layer, through);
}

// ---- The manager ----

CConfigMgr::CConfigMgr(StoreEnvironment& environment) : m_env(environment) {
  const char* names[kLayerCount];
  for (int i = 0; i < kLayerCount; ++i) {
    names[i] = m_layers[i].name;
    m_layerLength[i] = std::strlen(m_layers[i].name);
  }
  static_assert(kLayerCount <= TreeIndex::kLayeredLayers);
  ManagerLock lock(this);
  m_forest.IndexRef().SetLayeredLayers(names, kLayerCount);
}

// Destroyed while no other thread uses the configuration.
CConfigMgr::~CConfigMgr() NO_THREAD_SAFETY_ANALYSIS {
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
  // Whatever stands there already (a file, a link, a FIFO) is left as it is. A layer in memory takes the new
  // file for a change, as any other, at its next save or reload.
  (void)platform::CreateNewFile(dir + "user.cfg");
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

const KeyValue* CConfigMgr::FindInMemory(int layer, const LayeredQuery& query,
                                         const TreeIndex::LayeredSections** sections, bool* looked) const {
  const TreeIndex& index = m_forest.IndexRef();
  const SectionInfo* info = nullptr;
  if (query.fits && query.sectionLength > 0) {
    // The usual case: the plain section is one component after the layer, found in every layer at once.
    if (!*looked) {
      *sections = index.FindLayered(query.sectionHash, query.section, query.sectionLength);
      *looked = true;
    }
    info = *sections ? (*sections)->in[layer] : nullptr;
  } else {
    TreeIndex::PathKey pathKey;
    TreeIndex::MakeLayeredKey(m_layers[layer].name, query.section, pathKey);
    info = index.FindSection(pathKey);
  }
  return info ? index.FindValue(info, query.key, query.keyLength, query.keyHash) : nullptr;
}

template <typename Accept>
CConfigMgr::LayeredResult CConfigMgr::SearchInMemory(const LayeredQuery& query, Accept accept) const {
  bool otherType = false;
  const TreeIndex::LayeredSections* sections = nullptr;
  bool looked = false;
  for (int i = 0; i < kLayerCount; ++i) {
    if (!m_layers[i].enabled) continue;
    const KeyValue* v = FindInMemory(i, query, &sections, &looked);
    if (v && accept(v)) return {v, false};
    otherType = v != nullptr;
  }
  return {nullptr, otherType};
}

template <typename Accept>
CConfigMgr::LayeredResult CConfigMgr::SearchLayers(const LayeredQuery& query, Accept accept) {
  bool otherType = false;
  const TreeIndex::LayeredSections* sections = nullptr;
  bool looked = false;
  for (int i = 0; i < kLayerCount; ++i) {
    if (!m_layers[i].enabled) continue;
    if (!LayerInMemory(i)) {
      // A layer without a file is skipped from now on; a file that exists is a layer in memory (also when it
      // holds no section, unless it could not be read).
      if (!ReadLayerFile(m_layers[i].name)) {
        m_layers[i].enabled = false;
        continue;
      }
      looked = false;  // a layer read from its file brings sections
    }
    const KeyValue* v = LayerInMemory(i) ? FindInMemory(i, query, &sections, &looked) : nullptr;
    if (v && accept(v)) return {v, false};
    otherType = v != nullptr;
  }
  return {nullptr, otherType};
}

namespace {

bool IsInteger(const KeyValue* v) { return (v->type & 15) == KEYVALUE_TYPE_INTEGER; }
bool IsString(const KeyValue* v) { return (v->type & 15) == KEYVALUE_TYPE_STRING && v->strValue != nullptr; }
bool IsEither(const KeyValue* v) {
  return (v->type & 15) == KEYVALUE_TYPE_STRING || (v->type & 15) == KEYVALUE_TYPE_INTEGER;
}

}  // namespace

long CConfigMgr::IntAnswer(const LayeredQuery& query, const LayeredResult& found) const {
  if (found.value) return found.value->intValue;
  // A value of the other type in the last layer that was available hides the default.
  if (found.otherType) return 0;
  DefaultsKey dkey(query.section, query.sectionLength, query.key);
  const ConfigDefault* d = m_env.FindDefault(dkey.c_str());
  if (!d) return 0;
  if (d->strValue) {
    LogIntIsString(dkey.c_str());
    return 0;
  }
  return d->intValue;
}

bool CConfigMgr::StrAnswer(const LayeredQuery& query, const LayeredResult& found, char* buffer, long size) const {
  const char* text = found.value ? found.value->strValue : nullptr;
  if (!text && !found.otherType) {
    DefaultsKey dkey(query.section, query.sectionLength, query.key);
    const ConfigDefault* d = m_env.FindDefault(dkey.c_str());
    if (d && !d->strValue) LogStringIsInt(dkey.c_str());
    text = d ? d->strValue : nullptr;
  }
  if (!text) return false;
  CopyTruncated(buffer, size, text);
  return buffer[0] != '\0';
}

bool CConfigMgr::ExistsAnswer(const LayeredQuery& query, const LayeredResult& found) const {
  if (found.value) return true;
  DefaultsKey dkey(query.section, query.sectionLength, query.key);
  return m_env.FindDefault(dkey.c_str()) != nullptr;
}

long CConfigMgr::DefaultInt(const char* section, const char* key) const noexcept {
  try {
    if (!section || !key) return 0;
    return IntAnswer(LayeredQuery(section, key), {nullptr, false});
  } catch (...) {
    return 0;
  }
}

bool CConfigMgr::DefaultStr(const char* section, const char* key, char* buffer, long size) const noexcept {
  if (buffer && size > 0) buffer[0] = '\0';
  try {
    if (!section || !key || !buffer || size <= 0) return false;
    return StrAnswer(LayeredQuery(section, key), {nullptr, false}, buffer, size);
  } catch (...) {
    return false;
  }
}

bool CConfigMgr::DefaultExists(const char* section, const char* key) const noexcept {
  try {
    return section && key && ExistsAnswer(LayeredQuery(section, key), {nullptr, false});
  } catch (...) {
    return false;
  }
}

const char* navconfig::CurrentFailure() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unexpected failure";
  }
}

long CConfigMgr::GetLayeredInt(const char* section, const char* key) {
  CreateUserFileOnce();
  if (!section || !key) return 0;
  const LayeredQuery query(section, key);
  return IntAnswer(query, SearchLayers(query, IsInteger));
}

long CConfigMgr::GetLayeredIntInMemory(const char* section, const char* key) const {
  if (!section || !key) return 0;
  const LayeredQuery query(section, key);
  return IntAnswer(query, SearchInMemory(query, IsInteger));
}

bool CConfigMgr::GetLayeredStr(const char* section, const char* key, char* buffer, long size) {
  if (buffer && size > 0) buffer[0] = '\0';
  CreateUserFileOnce();
  if (!section || !key || !buffer || size <= 0) return false;
  const LayeredQuery query(section, key);
  return StrAnswer(query, SearchLayers(query, IsString), buffer, size);
}

bool CConfigMgr::GetLayeredStrInMemory(const char* section, const char* key, char* buffer, long size) const {
  if (buffer && size > 0) buffer[0] = '\0';
  if (!section || !key || !buffer || size <= 0) return false;
  const LayeredQuery query(section, key);
  return StrAnswer(query, SearchInMemory(query, IsString), buffer, size);
}

bool CConfigMgr::LayeredKeyExists(const char* section, const char* key) {
  CreateUserFileOnce();
  if (!section || !key) return false;
  const LayeredQuery query(section, key);
  return ExistsAnswer(query, SearchLayers(query, IsEither));
}

bool CConfigMgr::LayeredKeyExistsInMemory(const char* section, const char* key) const {
  if (!section || !key) return false;
  const LayeredQuery query(section, key);
  return ExistsAnswer(query, SearchInMemory(query, IsEither));
}

long CConfigMgr::ReadLayeredInt(const char* section, const char* key) {
  {
    SharedConfigLock shared(this);
    if (CanReadShared()) return GetLayeredIntInMemory(section, key);
  }
  ConfigLock lock(this);
  return GetLayeredInt(section, key);
}

bool CConfigMgr::ReadLayeredStr(const char* section, const char* key, char* buffer, long size) {
  {
    SharedConfigLock shared(this);
    if (CanReadShared()) return GetLayeredStrInMemory(section, key, buffer, size);
  }
  ConfigLock lock(this);
  return GetLayeredStr(section, key, buffer, size);
}

bool CConfigMgr::ReadLayeredKeyExists(const char* section, const char* key) {
  {
    SharedConfigLock shared(this);
    if (CanReadShared()) return LayeredKeyExistsInMemory(section, key);
  }
  ConfigLock lock(this);
  return LayeredKeyExists(section, key);
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

namespace {

// Why a section path names no section of a layer's file, or null when it does.
const char* PathFault(const char* path, const char** sections, const char** why) {
  // The sections are what follows the layer: leading blanks and backslashes, then the layer's name.
  const size_t before = std::strspn(path, " \\");
  *sections = path + before;
  *sections += std::strcspn(*sections, "\\");
  // The tree would hold it under a layer " user", which is no layer's file.
  *why = ", which names no layer's file";
  if (std::memchr(path, ' ', before)) return "has a blank before its layer's name";
  // A value of the layer itself would stay in memory only: the writer writes sections (and every save keeps the
  // lines under a header "[\\]" as they are).
  *why = ", which a .cfg file cannot carry";
  if ((*sections)[std::strspn(*sections, "\\")] == '\0') return "names a layer but no section in it";
  return nullptr;
}

}  // namespace

platform::Status CConfigMgr::AcceptNames(const char* path, const char* key) {
  const char* sections = nullptr;
  const char* why = nullptr;
  const char* fault = PathFault(path, &sections, &why);
  std::string what;
  if (fault) {
    what = "the section path '" + Shown(path) + "' ";
  } else if ((fault = cfg::SectionNamesFault(sections, std::strlen(sections)))) {
    what = "the section path '" + Shown(path) + "' ";
  } else if ((fault = cfg::KeyNameFault(key, std::strlen(key)))) {
    what = "the key name '" + Shown(key) + "' ";
  } else {
    return platform::Status::Ok();
  }
  const platform::Status refused = platform::Status::Error(what + fault + why + "; nothing was stored");
  const std::string layer = LayerName(path);
  if (layer.empty()) return refused;
  // The layer's file is named, where it can be, as the file that was not written.
  const std::string file = LayerFilePath(layer);
  RecordRefusedSave(layer, refused.reason);
  if (!file.empty()) m_saves[FoldedLayer(layer)].file = file;
  return refused;
}

platform::Status CConfigMgr::StoreValue(const char* path, const char* key, long type, long intValue,
                                        const char* strValue, PendingSaves* pending) {
  if (!path || !key) return platform::Status::Error("no section path or key name");
  if (platform::Status accepted = AcceptNames(path, key); !accepted.ok) return accepted;
  const bool isString = (type & 15) == KEYVALUE_TYPE_STRING;
  return Store(SetEdit(path, key, static_cast<uint32_t>(type), isString ? 0 : intValue, isString ? strValue : "",
                       false),
               nullptr, pending);
}

platform::Status CConfigMgr::Store(LayerEdit&& edit, WriteTarget* target, PendingSaves* pending) {
  const char* path = edit.path.c_str();
  const char* key = edit.key.c_str();
  const bool isString = (edit.type & 15) == KEYVALUE_TYPE_STRING;
  edit.isDefault = isString ? IsDefaultStr(path, key, edit.strValue.c_str()) : IsDefaultInt(path, key, edit.intValue);
  WriteTarget found;
  if (!target || !target->section || target->path != edit.path) {
    target = target ? target : &found;
    target->section = nullptr;
    EnsureLayer(path);
    target->layer = LayerName(path);
    if (!keytree::FindOrCreatePath(&m_forest, m_forest.RootSlot(), path, &target->section) || !target->section)
      return RecordSave(target->layer, LayerFilePath(target->layer),
                        platform::Status::Error("the path names no section"), 0);
    target->path = edit.path;
    // The layer is in memory now. When a read had found no file for it, layered reads would go on skipping it
    // and never return what was written here.
    EnableLayer(target->layer);
  }
  const bool changed = keytree::AddValue(&m_forest, target->section, key, edit.type, edit.intValue,
                                         edit.strValue.c_str(), edit.isDefault);
  if (changed && RecordingChanges()) RecordValue(m_forest, path, key, m_changes);
  NoteEdit(target->layer, std::move(edit), changed, pending);
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

void CConfigMgr::DeleteValue(const char* path, const char* key, bool* removed, PendingSaves* pending) {
  *removed = false;
  // Nothing of a path that names no section of a layer's file is in a file to remove (the lines under a header
  // "[\\]" stay as they are).
  const char* sections = nullptr;
  const char* why = nullptr;
  if (!path || !key || PathFault(path, &sections, &why)) return;
  EnsureLayer(path);
  const size_t recorded = m_changes.size();
  if (RecordingChanges()) RecordValue(m_forest, path, key, m_changes);
  *removed = keytree::DeleteValue(&m_forest, m_forest.Root(), path, key);
  if (!*removed) m_changes.resize(recorded);
  NoteEdit(LayerName(path), DeleteValueEdit(path, key), *removed, pending);
}

void CConfigMgr::DeleteBranch(const char* path, bool* removed, PendingSaves* pending) {
  *removed = false;
  if (!path) return;
  EnsureLayer(path);
  const size_t recorded = m_changes.size();
  if (RecordingChanges()) RecordBranch(m_forest, path, m_changes);
  // A layer deleted whole stays in memory as an empty layer of the same name: otherwise the next read would take
  // the file's old values back while the deletion is not saved (or its save failed). Its file is written empty.
  TreeIndex::PathKey whole;
  const SectionInfo* layer =
      TreeIndex::MakePathKey(path, whole) && whole.components == 1 ? m_forest.IndexRef().FindSection(whole) : nullptr;
  const std::string name = layer && layer->section->name ? layer->section->name : std::string();
  *removed = keytree::DeleteBranch(&m_forest, m_forest.RootSlot(), path);
  if (!*removed) m_changes.resize(recorded);
  NoteEdit(LayerName(path), DeleteBranchEdit(path), *removed, pending);
  if (*removed && !name.empty())
    keytree::FindOrCreateChild(&m_forest, m_forest.RootSlot(), nullptr, name.c_str(), name.size());
}

// ---- Change sets ----

namespace {

std::string FoldedName(const ValueChange& change) {
  return FoldedLayer(change.layer + '\\' + change.section + '\\' + change.key);
}

// What a value holds: its type (with its flags) and content.
std::string StateOf(const KeyValue& value) {
  std::string state = std::to_string(value.type) + ':';
  if ((value.type & 15) == KEYVALUE_TYPE_STRING) state += value.strValue ? value.strValue : "";
  else state += std::to_string(value.intValue);
  return state;
}

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

[[gnu::cold]] platform::Status CConfigMgr::ApplyChanges(std::vector<LayerEdit>&& changes, PendingSaves* pending) {
  // Every name first; a write into the section of the write before it has only its key to show.
  const LayerEdit* previous = nullptr;
  for (const LayerEdit& change : changes) {
    const bool sameSection = previous && change.kind == LayerEdit::Kind::Set && previous->path == change.path;
    if (!sameSection || cfg::KeyNameFault(change.key.data(), change.key.size()))
      if (platform::Status accepted = AcceptChange(change); !accepted.ok) return accepted;
    previous = change.kind == LayerEdit::Kind::Set ? &change : nullptr;
  }
  const size_t recorded = m_changes.size();
  // What each value that the set may change holds before it (one that no entry names held nothing), so that the
  // listeners hear only of values that end otherwise: a set may delete a section and write its values back, or
  // write a value twice. A value that one write alone changes is heard of when the write changes memory.
  ValueStates before;
  const bool compare = RecordingChanges() && TouchesAValueTwice(changes);
  if (compare) {
    std::vector<ValueChange> touched;
    for (const LayerEdit& change : changes) {
      EnsureLayer(change.path.c_str());
      if (change.kind == LayerEdit::Kind::DeleteBranch) RecordBranch(m_forest, change.path.c_str(), touched);
      else RecordValue(m_forest, change.path.c_str(), change.key.c_str(), touched);
    }
    for (const ValueChange& value : touched)
      if (const KeyValue* held = FindValue((value.layer + '\\' + value.section).c_str(), value.key.c_str()))
        before.emplace(FoldedName(value), StateOf(*held));
  }
  platform::Status status = platform::Status::Ok();
  // Writes in a row into one section find it once; a deletion may take it away.
  WriteTarget target;
  for (LayerEdit& change : changes) {
    platform::Status made = platform::Status::Ok();
    bool removed = false;
    if (change.kind == LayerEdit::Kind::Set) {
      made = Store(std::move(change), &target, pending);
    } else {
      target.section = nullptr;
      if (change.kind == LayerEdit::Kind::DeleteValue)
        DeleteValue(change.path.c_str(), change.key.c_str(), &removed, pending);
      else
        DeleteBranch(change.path.c_str(), &removed, pending);
    }
    if (!made.ok && status.ok) status = std::move(made);
  }
  KeepChangedValues(recorded, before, compare);
  return status;
}

bool CConfigMgr::TouchesAValueTwice(const std::vector<LayerEdit>& changes) {
  // By the hashes of the written names, a path's as the index keys it (as the tree takes it): two names of one
  // hash only cost the comparison.
  std::vector<uint64_t> written;
  written.reserve(changes.size());
  TreeIndex::PathKey path;
  for (const LayerEdit& change : changes) {
    if (change.kind != LayerEdit::Kind::Set) return true;
    const uint64_t hash = TreeIndex::MakePathKey(change.path.c_str(), path) ? path.hash : 0;
    written.push_back(FoldedHash(change.key.data(), change.key.size(), hash));
  }
  std::sort(written.begin(), written.end(), [](uint64_t a, uint64_t b) { return a < b; });
  return std::adjacent_find(written.begin(), written.end(), [](uint64_t a, uint64_t b) { return a == b; }) !=
         written.end();
}

void CConfigMgr::KeepChangedValues(size_t first, const navconfig::ValueStates& before, bool compare) {
  std::set<std::string, NameOrder> seen;  // the folded names of the values looked at
  size_t kept = first;
  for (size_t i = first; i < m_changes.size(); ++i) {
    ValueChange& change = m_changes[i];
    std::string name = FoldedName(change);
    if (!seen.insert(name).second) continue;
    if (compare) {
      const KeyValue* now = FindValue((change.layer + '\\' + change.section).c_str(), change.key.c_str());
      const auto was = before.find(name);
      if (was == before.end() ? !now : now && StateOf(*now) == was->second) continue;
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
  // Changes whose save failed stay, to be saved with the next change, also when the whole layer left memory.
  if (!m_forest.FindLayer(layer.c_str()) && it->second.Journal().Empty()) m_layerFiles.erase(it);
  else it->second.Flushed(path);
}

void CConfigMgr::NoteEdit(const std::string& layer, LayerEdit&& edit, bool changedMemory, PendingSaves* pending) {
  if (layer.empty()) return;
  LayerFile& state = m_layerFiles[FoldedLayer(layer)];
  // A write that changes nothing in memory is the newest word on the key only when the file may hold something
  // else: it changed since it was read, or that is not known. Otherwise the file keeps what it holds.
  if (!changedMemory && !state.ChangedSince(LayerFilePath(layer))) return;
  const uint64_t number = state.Journal().Add(std::move(edit));
  if (pending && m_bSaveOnChange) pending->Add(layer, number);
}

// ---- Saves ----

struct CConfigMgr::SavePlan {
  std::string layer;     // as the write named it
  std::string file;      // in the configuration directory
  std::string fallback;  // what a merge reads when the file is absent
  platform::FileIdentity fallbackNow;  // its identity, under the file's lock, when the file is absent
  platform::FileIdentity rememberedFallback;  // that of the fallback memory was last brought to
  std::chrono::milliseconds timeout{0};
  // The file that memory was last brought to, when known; a save reads the file only when it differs.
  std::string rememberedFile;
  platform::FileIdentity remembered;
  bool known = false;
  // Taken under the file's lock.
  platform::FileIdentity identity;
  bool read = false;  // the text of the file was read (ReadLayerSource)
  bool textKnown = false;  // memory keeps the text of the file remembered
  std::string text;
  bool writerMade = false;  // text is what the writer makes of memory
  uint64_t through = 0;
  uint64_t planned = 0;         // the journal's last entry when the save was planned, before the file was read
  uint64_t textGeneration = 0;  // of the file's text that the save edits
  uint64_t flushes = 0;         // of the layer when the text was made
  bool keepPrevious = false;
  platform::Status outcome;  // when no save is made
};

navconfig::SaveQueue& CConfigMgr::QueueOf(const std::string& layer) {
  const std::string folded = FoldedLayer(layer);
  m_queuesLock.Enter();
  SaveQueue* queue = nullptr;
  try {
    queue = &m_queues.try_emplace(folded).first->second;
  } catch (...) {
    m_queuesLock.Exit();
    throw;
  }
  m_queuesLock.Exit();
  return *queue;
}

platform::Status CConfigMgr::Save(const PendingSaves& pending, std::vector<ValueChange>* changes) {
  platform::Status first;
  for (const auto& [layer, through] : pending.Layers()) {
    const platform::Status status = SaveLayer(layer, through, changes, pending.WaitForLocks());
    if (first.ok && !status.ok) first = status;
  }
  return first;
}

[[gnu::cold]] bool CConfigMgr::PlanSave(const std::string& layer, uint64_t through, SavePlan* plan) {
  const std::string folded = FoldedLayer(layer);
  auto it = m_layerFiles.find(folded);
  // Written already by an earlier save of the queue (or forgotten with the trees): nothing to do.
  if (it == m_layerFiles.end() || it->second.SavedThrough() >= through) return false;
  LayerFile& state = it->second;
  // A layer that is not in memory is written only when this process changed it.
  if (!m_forest.FindLayer(layer.c_str()) && state.Journal().Empty()) return false;
  plan->file = LayerFilePath(layer);
  if (plan->file.empty()) {
    // Without a configuration directory the changes are kept (in memory and the journal) for a save once one is set.
    const char* reason = platform::IsSafeFileComponent(layer) ? kNoConfigDirectory : kUnsafeFileName;
    RecordRefusedSave(layer, reason);
    plan->outcome = platform::Status::Error(reason);
    return false;
  }
  plan->layer = layer;
  plan->fallback = FallbackFile(layer);
  plan->timeout = std::chrono::milliseconds(m_saveLockTimeoutMs.load());
  plan->rememberedFile = state.File();
  plan->remembered = state.Identity();
  plan->known = state.IdentityKnown();
  plan->rememberedFallback = state.Fallback();
  plan->textKnown = state.TextKnown();
  plan->planned = state.Journal().Last();
  return true;
}

[[gnu::cold]] platform::Status CConfigMgr::SaveLayer(const std::string& layer, uint64_t through,
                                                     std::vector<ValueChange>* changes, bool waitForLock) {
  SaveQueue& queue = QueueOf(layer);
  const SaveQueue::Turn turn(queue);
  SavePlan plan;
  {
    ManagerLock lock(this);
    if (!PlanSave(layer, through, &plan)) return plan.outcome;
  }
  if (!waitForLock) plan.timeout = {};
  // The file's lock, waited for without the manager's: reads go on meanwhile.
  platform::FileLock fileLock;
  platform::Status status = LockLayerFile(plan.file, fileLock, plan.timeout, &queue.firstLock);
  // The user's own folder, removed while the process ran (a user resetting the settings), is made again.
  if (!status.ok && m_env.RemakeConfigDirectory())
    status = LockLayerFile(plan.file, fileLock, plan.timeout, &queue.firstLock);
  FileText text;
  if (status.ok) {
    plan.identity = platform::IdentifyFile(plan.file);
    if (plan.identity.kind == platform::FileIdentity::Kind::Absent && !plan.fallback.empty())
      plan.fallbackNow = platform::IdentifyFile(plan.fallback);
    // Another process saved since (or it is not known), or the text to edit is not kept: the file is read before
    // the manager's lock is taken.
    if (!plan.known || plan.rememberedFile != plan.file || plan.remembered != plan.identity || !plan.textKnown ||
        plan.fallbackNow != plan.rememberedFallback) {
      status = ReadLayerSource(plan.file, plan.identity, plan.fallback, &text);
      plan.read = true;
    }
  }
  {
    ManagerLock lock(this);
    if (status.ok) status = PrepareSave(plan, text, changes);
    if (!status.ok) return RecordSave(layer, plan.file, status, 0);
  }
  // The new file, written without the manager's lock.
  std::string backup;
  status = ReplaceLayerFile(plan.file, plan.text, plan.keepPrevious, &backup);
  const platform::FileIdentity written = status.ok ? platform::IdentifyFile(plan.file) : platform::FileIdentity{};
  ManagerLock lock(this);
  (void)RecordSave(layer, plan.file, status, plan.text.size());
  const std::string folded = FoldedLayer(layer);
  if (!backup.empty()) m_saves[folded].backup = backup;
  if (auto it = m_layerFiles.find(folded); it != m_layerFiles.end()) {
    if (status.ok) it->second.Saved(plan.file, written, plan.through, std::move(plan.text), plan.writerMade);
    else it->second.WriteFailed(plan.layer, plan.textGeneration, plan.planned);
    // A flush while the file was written: memory lacks what the file holds, and the next save reads it again.
    if (it->second.Flushes() != plan.flushes) it->second.ForgetIdentity();
  }
  return status;
}

[[gnu::cold]] platform::Status CConfigMgr::PrepareSave(SavePlan& plan, FileText& text,
                                                       std::vector<ValueChange>* changes) {
  LayerFile& state = m_layerFiles[FoldedLayer(plan.layer)];
  if (!state.Holds(plan.file, plan.identity) || state.Fallback() != plan.fallbackNow) {
    // Memory changed its mind about the file since the plan (a flush, a reload), or another process changed the
    // fallback file that stands for an absent one: read it now.
    if (!plan.read)
      if (platform::Status read = ReadLayerSource(plan.file, plan.identity, plan.fallback, &text); !read.ok) return read;
    MergeLayerFile(plan.layer, plan.file, plan.identity, text, RecordingChanges() ? changes : nullptr);
  } else if (plan.read && !state.TextKnown()) {
    // The file memory holds, read for its text alone.
    state.KeepText(text.read ? std::string(text.data, text.length) : std::string());
  }
  // The file's text edited to hold what memory holds: what other lines it holds stay. A layer that holds no value
  // any more (or was deleted) is written without values, so that deleting its last value lasts. The writer's text
  // is usually about as long as it was at the last save.
  const SectionInfo* info = m_forest.FindLayer(plan.layer.c_str());
  const KeyRoot* section = info ? info->section : nullptr;
  const SaveStatus* last = LastSave(plan.layer.c_str());
  // Taken here, under the lock the analysis sees: a lambda's body is checked on its own.
  TreeIndex* const index = &m_forest.IndexRef();
  const auto writerText = [&] { return navconfig::LayerText(section, last ? last->bytes : 0, index); };
  plan.writerMade = false;
  plan.text = state.TextToWrite(section, HeaderLimit(plan.layer), [&] {
    plan.writerMade = true;
    return writerText();
  });
  // A text that is what the writer makes lets the next save take the writer's way.
  if (!plan.writerMade) plan.writerMade = plan.text == writerText();
  plan.through = state.Journal().Last();
  plan.textGeneration = state.TextGeneration();
  plan.flushes = state.Flushes();
  plan.keepPrevious = state.TextIsBinary();
  return platform::Status::Ok();
}

void CConfigMgr::MergeLayerFile(const std::string& layer, const std::string& file,
                                const platform::FileIdentity& identity, const FileText& text,
                                std::vector<ValueChange>* changes) {
  bool inMemory = false;
  LayerFile& state = m_layerFiles[FoldedLayer(layer)];
  const size_t first = changes ? changes->size() : 0;
  state.Merge(m_forest, layer, file, identity, text, changes, &inMemory);
  state.ForgetFlushes(identity, changes, first);
  // Layered reads that found no file for the layer before would go on passing it by.
  if (inMemory) EnableLayer(layer);
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

void CConfigMgr::RecordFailedWrite(const char* section, const char* reason) noexcept {
  try {
    const std::string layer = LayerName(WritePath(section).c_str());
    ManagerLock lock(this);
    if (!layer.empty()) (void)RecordSave(layer, LayerFilePath(layer), platform::Status::Error(reason), 0);
  } catch (...) {
    // Without memory even for the record: the write's failure stays unreported, and nothing else changed.
  }
}

const SaveStatus* CConfigMgr::LastSave(const char* layer) const {
  auto it = m_saves.find(FoldedLayer(layer ? layer : ""));
  return it == m_saves.end() ? nullptr : &it->second;
}

size_t CConfigMgr::UnsavedChanges(const char* layer) const {
  auto it = m_layerFiles.find(FoldedLayer(layer ? layer : ""));
  return it == m_layerFiles.end() ? 0 : it->second.Journal().Size();
}

[[gnu::cold]] bool CConfigMgr::EraseLayerFile(const std::string& layer) {
  std::string file;
  std::chrono::milliseconds timeout{m_saveLockTimeoutMs.load()};
  {
    ManagerLock lock(this);
    file = LayerFilePath(layer);
  }
  if (file.empty()) return false;
  // In the queue of the layer's saves, so that none of this process's writes the old values back meanwhile.
  const SaveQueue::Turn turn(QueueOf(layer));
  platform::FileLock fileLock;
  // Erased without the lock too, as a user may ask; the log says so.
  if (const platform::Status locked = fileLock.Acquire(LayerLockFile(file), timeout); !locked.ok)
    LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__, "%s is erased without its lock: %s",
               file.c_str(), locked.reason.c_str());
  const bool erased = FileErase(file.c_str()) == 0;
  ManagerLock lock(this);
  m_layerFiles[FoldedLayer(layer)].Erased();
  return erased;
}

[[gnu::cold]] void CConfigMgr::SaveUnsavedChanges() {
  if (!m_bSaveOnChange) return;
  PendingSaves pending;
  {
    ManagerLock lock(this);
    for (const auto& [folded, state] : m_layerFiles) {
      if (state.Journal().Empty()) continue;
      const SectionInfo* info = m_forest.FindLayer(folded.c_str());
      pending.Add(info && info->section->name ? info->section->name : folded, state.Journal().Last());
    }
  }
  std::vector<ValueChange> changes;
  for (const auto& [layer, through] : pending.Layers()) {
    const platform::Status saved = SaveLayer(layer, through, RecordingChanges() ? &changes : nullptr);
    if (!saved.ok)
      LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__,
                 "the changes to the layer %s could not be saved before the trees were released: %s", layer.c_str(),
                 saved.reason.c_str());
  }
  DeliverChanges(std::move(changes), m_env);
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
  const std::string folded = FoldedLayer(layerName);
  std::string file;
  const std::string candidate = LayerFilePath(layerName);
  // A file that appeared since the layer was found missing is taken in as a reload takes it in: its values are told.
  const auto before = m_layerFiles.find(folded);
  const bool appeared = !candidate.empty() && before != m_layerFiles.end() &&
                        before->second.Holds(candidate, platform::FileIdentity{});
  if (!candidate.empty()) {
    // Identified before it is read, so that a change in between is found at the next save.
    const platform::FileIdentity identity = platform::IdentifyFile(candidate);
    m_layerFiles[folded].NoteRead(candidate, identity, true);
    if (identity.kind == platform::FileIdentity::Kind::Regular) file = candidate;
  }
  platform::FileIdentity fallback;
  if (file.empty()) {
    file = FallbackFile(layerName);
    if (!file.empty()) fallback = platform::IdentifyFile(file);
  }
  auto known = m_layerFiles.find(folded);
  // A layer that no file holds is in memory only while it holds changes whose save failed.
  if (file.empty() && (known == m_layerFiles.end() || known->second.Journal().Empty())) return false;

  if (known == m_layerFiles.end()) known = m_layerFiles.try_emplace(folded).first;
  LayerFile& state = known->second;
  state.NoteFallback(fallback);
  platform::Status read;
  // The text of a file of usual size is kept for the next save to edit; that of a larger one is read again then.
  std::string text;
  bool keepText = false;
  if (!file.empty()) {
    platform::FileReader reader(file);
    keepText = reader.Size() <= kKeptTextLimit;
    try {
      read = reader.IsOpen() ? LayerLoader(m_forest).LoadFile(layerName, reader, keepText ? &text : nullptr)
                             : platform::Status::Error("the file cannot be opened");
    } catch (const std::bad_alloc&) {
      // Out of memory part-way: the part goes again (a save must not write it), and the file is read anew next time.
      m_forest.EndTreeHead();
      keytree::DeleteBranch(&m_forest, m_forest.RootSlot(), layerName);
      state.NoteRead(std::string(), platform::FileIdentity{}, false);
      throw;
    }
  }
  // What could not be read is read again before the next save, rather than written over.
  if (!read.ok) state.NoteRead(std::string(), platform::FileIdentity{}, false);
  // Changes whose save failed are read as this process made them (a flush reads the layer anew before they are
  // saved), save those that gave way to a later write of another process.
  if (read.ok && !state.Journal().Empty()) state.Journal().ReplayOn(m_forest);
  // A file without any section (or whose layer this process deleted) is an empty layer: reads look no further
  // than memory, and a reload takes in what another process saves into it.
  if (read.ok && !m_forest.FindLayer(layerName))
    keytree::FindOrCreateChild(&m_forest, m_forest.RootSlot(), nullptr, layerName, std::strlen(layerName));
  if (read.ok && keepText) state.KeepText(std::move(text));
  else state.ForgetText();
  if (appeared && read.ok && !file.empty() && RecordingChanges()) RecordBranch(m_forest, layerName, m_changes);
  // Layered reads that found no file for it before (user_ro, product) search it again.
  EnableLayer(layerName);
  return true;
}

[[gnu::cold]] void CConfigMgr::ReadLayerText(const char* layerName, const char* text, size_t length) {
  LayerLoader(m_forest).LoadText(layerName, text, length);
}

// A layer in memory by its name as the forest spells it (a map layer's file is named so).
std::string CConfigMgr::Spelled(const std::string& layer) {
  const SectionInfo* info = m_forest.FindLayer(layer.c_str());
  return info && info->section->name ? info->section->name : layer;
}

[[gnu::cold]] int CConfigMgr::ReloadChangedLayers() {
  const std::string dir = m_env.ConfigDirectory();
  if (dir.empty()) return 0;
  // Every layer read from the configuration folder has a record of its file, and so has one whose file was
  // found missing, with that of the fallback file read in its place. With nothing changed, each costs one status
  // call (two for a layer read from its fallback).
  std::vector<std::string> changed;
  std::string file = dir;
  for (const auto& [folded, state] : m_layerFiles) {
    if (!platform::IsSafeFileComponent(folded)) continue;
    file.resize(dir.size());
    file += folded;
    file += cfg::kExtension;
    const platform::FileIdentity identity = platform::IdentifyFile(file);
    if (!state.Holds(file, identity) || (identity.kind == platform::FileIdentity::Kind::Absent &&
                                         state.Fallback() != platform::IdentifyFile(FallbackFile(Spelled(folded)))))
      changed.push_back(folded);
  }
  std::vector<ValueChange> changes;
  for (std::string& layer : changed) {
    layer = Spelled(layer);
    const std::string layerFile = LayerFilePath(layer);
    const platform::FileIdentity identity = platform::IdentifyFile(layerFile);
    FileText text;
    // A file that cannot be read is tried again at the next reload; memory stays as it is meanwhile.
    if (const platform::Status read = ReadLayerSource(layerFile, identity, FallbackFile(layer), &text); !read.ok) {
      LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__, "the layer %s was not reloaded: %s",
                 layer.c_str(), read.reason.c_str());
      continue;
    }
    MergeLayerFile(layer, layerFile, identity, text, &changes);
  }
  const int count = static_cast<int>(changes.size());
  if (RecordingChanges())
    m_changes.insert(m_changes.end(), std::make_move_iterator(changes.begin()), std::make_move_iterator(changes.end()));
  return count;
}
