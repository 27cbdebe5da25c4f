// Layers that several processes write: the journal of this process's changes, the identity of each layer's
// file, saves under the file's lock, and bringing a layer in memory to the state of its file in place.
#include <doroutil/files.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cfg_format.h"
#include "configmgr.h"

using namespace navconfig;

namespace {

int CompareNames(const char* a, const char* b) { return SpecialChar_stricmp(a ? a : "", b ? b : ""); }

std::string FileNameOf(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !platform::IsPathSeparator(path[cut - 1])) --cut;
  return path.substr(cut);
}

// Temporary files that writers without the lock gave unique names (".user.cfg.tmp.<suffix>"); a writer killed
// while saving left them behind.
void RemoveOldTemporaryFiles(const std::string& file) {
  const std::string name = FileNameOf(file);
  const std::string dir = file.substr(0, file.size() - name.size());
  const std::string prefix = "." + name + ".tmp.";
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(dir.empty() ? std::string(".") : dir, entries)) return;
  for (const auto& e : entries)
    if (!e.isDirectory && e.name.compare(0, prefix.size(), prefix) == 0) platform::RemoveFile(dir + e.name);
}

// The top-level section of that name in a sibling list, or null.
KeyRoot* FindTopLevel(KeyRoot* first, const std::string& name) {
  for (KeyRoot* s = first; s; s = s->next)
    if (CompareNames(s->name, name.c_str()) == 0) return s;
  return nullptr;
}

}  // namespace

// ---- Identity and journal ----

std::string CConfigMgr::LayerFilePath(const std::string& layer) const {
  if (layer.empty() || !platform::IsSafeFileComponent(layer)) return std::string();
  const std::string dir = ConfigDirectory();
  return dir.empty() ? std::string() : dir + FoldedLayer(layer) + cfg::kExtension;
}

void CConfigMgr::NoteLayerRead(const char* layerName, const std::string& file, const platform::FileIdentity& identity,
                               bool read) {
  LayerFileState& state = m_layerFiles[FoldedLayer(layerName)];
  if (read) state.Remember(file, identity);
  // Unsaved changes are not in what is read: the next save merges them in whatever the file's identity.
  state.identityKnown = read && state.journal.empty();
}

bool CConfigMgr::NoteEdit(LayerEdit edit, bool changedMemory) {
  const std::string layer = LayerName(edit.path.c_str());
  if (layer.empty()) return false;
  LayerFileState& state = m_layerFiles[FoldedLayer(layer)];
  if (!changedMemory) {
    // A write that changes nothing in memory is the newest word on the key only when the file it was read from
    // has changed since; otherwise the file keeps what it holds.
    const std::string file = LayerFilePath(layer);
    if (file.empty() || !state.identityKnown || state.file != file) return false;
    if (platform::IdentifyFile(file) == state.identity) return false;
  }
  state.journal.push_back(std::move(edit));
  return true;
}

// ---- Saves ----

bool CConfigMgr::BeginSave(const std::string& layer, platform::FileLock& lock) {
  LayerFileState& state = m_layerFiles[FoldedLayer(layer)];
  // A layer that is not in memory is written only when this process deleted it (an empty file).
  if (!FindLayerInfo(layer.c_str()) && state.journal.empty()) return false;
  const std::string file = LayerFilePath(layer);
  if (file.empty()) {
    if (!platform::IsSafeFileComponent(layer)) RecordRefusedSave(layer, kUnsafeFileName);
    return false;
  }
  // What the save may not replace (a FIFO, a device, a link that leads elsewhere) fails it before a lock file
  // is left behind.
  const bool first = !state.lockedOnce;
  std::string target;
  platform::Status status = platform::ResolveWriteTarget(file, target);
  if (status.ok) status = lock.Acquire(platform::LockFileOf(file), m_saveLockTimeout);
  if (status.ok && first) {
    RemoveOldTemporaryFiles(file);
    state.lockedOnce = true;
  }
  if (status.ok) {
    const platform::FileIdentity identity = platform::IdentifyFile(file);
    if (!state.Holds(file, identity))
      status = SyncLayerFromFile(layer, file, identity, RecordingChanges() ? &m_changes : nullptr);
  }
  if (!status.ok) RecordSave(layer, file, status, 0);
  return status.ok;
}

void CConfigMgr::EndSave(const std::string& layer, bool written) {
  if (!written) return;  // the journal stays for the next save
  LayerFileState& state = m_layerFiles[FoldedLayer(layer)];
  const std::string file = LayerFilePath(layer);
  state.Remember(file, platform::IdentifyFile(file));
  state.journal.clear();
}

bool CConfigMgr::EraseLayerFile(const std::string& layer) {
  const std::string file = LayerFilePath(layer);
  if (file.empty()) return false;
  platform::FileLock lock;
  lock.Acquire(platform::LockFileOf(file), m_saveLockTimeout);  // erased without it too, as a user may ask
  const bool erased = FileErase(file.c_str()) == 0;
  m_layerFiles[FoldedLayer(layer)].Remember(file, platform::IdentifyFile(file));
  return erased;
}

void CConfigMgr::FlushBranch(const char* path) {
  EnsureLayer(path);
  if (!keytree::DeleteBranch(this, &m_pRoot, path)) return;
  const std::string layer = LayerName(path);
  auto it = m_layerFiles.find(FoldedLayer(layer));
  if (it == m_layerFiles.end()) return;
  if (!FindLayerInfo(layer.c_str())) m_layerFiles.erase(it);
  else it->second.identityKnown = false;
}

// ---- Bringing a layer to the state of its file ----

platform::Status CConfigMgr::SyncLayerWithFile(const std::string& layer, std::vector<ValueChange>* changes) {
  const std::string file = LayerFilePath(layer);
  if (file.empty()) return platform::Status::Error("no configuration directory for the layer " + layer);
  return SyncLayerFromFile(layer, file, platform::IdentifyFile(file), changes);
}

platform::Status CConfigMgr::SyncLayerFromFile(const std::string& layer, const std::string& file,
                                               const platform::FileIdentity& identity,
                                               std::vector<ValueChange>* changes) {
  if (identity.kind == platform::FileIdentity::Kind::Other)
    return platform::Status::Error("read " + FileNameOf(file) + ": not a regular file");
  // Without a file in the configuration directory, the layer is what a read would take: the system's or its map
  // layer file.
  const std::string source = identity.kind == platform::FileIdentity::Kind::Absent ? FallbackLayerFile(layer) : file;
  char* text = nullptr;
  size_t length = 0;
  if (!source.empty() && !platform::ReadWholeFile(source, &text, &length))
    return platform::Status::Error("read " + FileNameOf(source) + ": the file cannot be read");

  LayerFileState& state = m_layerFiles[FoldedLayer(layer)];
  SectionInfo* info = FindLayerInfo(layer.c_str());
  KeyRoot* memoryLayer = info ? info->section : nullptr;
  // A layer read from another configuration folder: what memory holds stays and is added to this folder's file,
  // since neither is older than the other.
  const bool otherFolder = !state.file.empty() && state.file != file;
  size_t unkept = 0;
  KeyRoot* desired =
      BuildDesiredLayer(layer, text, length, otherFolder ? memoryLayer : nullptr, state.journal, &unkept);
  std::free(text);
  // The next save keeps a copy of a file holding lines that it does not write again.
  m_layerFiles[FoldedLayer(layer)].unkeptLines = unkept != 0;

  const KeyRoot* desiredLayer = FindTopLevel(desired, layer);
  if (!memoryLayer && desiredLayer)
    memoryLayer = keytree::FindOrCreateChild(this, &m_pRoot, nullptr, layer.c_str(), layer.size());
  if (memoryLayer) {
    const std::string name = memoryLayer->name ? memoryLayer->name : "";
    SyncSection(memoryLayer, desiredLayer, name, name.size(), changes);
    // Layered reads that found no file for the layer before would go on passing it by.
    for (auto& standard : m_layers)
      if (FoldedLayer(layer) == standard.name) standard.enabled = true;
  }
  keytree::FreeTree(nullptr, desired);

  state.Remember(file, identity);
  return platform::Status::Ok();
}

KeyRoot* CConfigMgr::BuildDesiredLayer(const std::string& layer, const char* text, size_t length,
                                       const KeyRoot* kept, const std::vector<LayerEdit>& journal, size_t* unkept) {
  // The reader and the tree operations work on the forest and its index; for the time being they are given an
  // empty forest and a fresh index of their own, and nothing is carved from a block.
  struct Beside {
    CConfigMgr* mgr;
    KeyRoot* root = nullptr;
    TreeIndex index;
    int32_t head;
    explicit Beside(CConfigMgr* m) : mgr(m), head(m->m_iCurrentHead) { Swap(); }
    ~Beside() {
      Swap();
      mgr->m_iCurrentHead = head;
    }
    void Swap() {
      std::swap(mgr->m_pRoot, root);
      std::swap(mgr->m_index, index);
      mgr->m_iCurrentHead = -1;
    }
  };
  Beside beside(this);
  *unkept = 0;
  if (length > 0) {
    const size_t mark = cfg::ByteOrderMarkLength(text, length);
    *unkept = ParseConfigText(text + mark, length - mark, layer.c_str());
  }
  if (kept) {
    std::string path = layer;
    KeepValues(kept, path);
  }
  for (const LayerEdit& edit : journal) ReplayEdit(edit);
  KeyRoot* built = m_pRoot;
  m_pRoot = nullptr;
  return built;
}

void CConfigMgr::KeepValues(const KeyRoot* section, std::string& path) {
  if (section->values) {
    KeyRoot* target = nullptr;
    if (keytree::FindOrCreatePath(this, &m_pRoot, path.c_str(), &target) && target) {
      for (const KeyValue* v = section->values; v; v = v->next)
        keytree::AddValue(this, target, v->name, v->type, v->intValue, v->strValue, false);
    }
  }
  for (const KeyRoot* child = section->children; child; child = child->next) {
    const size_t length = path.size();
    path += '\\';
    path += child->name ? child->name : "";
    KeepValues(child, path);
    path.resize(length);
  }
}

void CConfigMgr::ReplayEdit(const LayerEdit& edit) {
  switch (edit.kind) {
    case LayerEdit::Kind::Set: {
      KeyRoot* section = nullptr;
      if (keytree::FindOrCreatePath(this, &m_pRoot, edit.path.c_str(), &section) && section)
        keytree::AddValue(this, section, edit.key.c_str(), edit.type, edit.intValue, edit.strValue.c_str(),
                          edit.isDefault);
      break;
    }
    case LayerEdit::Kind::DeleteValue:
      keytree::DeleteValue(this, m_pRoot, edit.path.c_str(), edit.key.c_str());
      break;
    case LayerEdit::Kind::DeleteBranch:
      keytree::DeleteBranch(this, &m_pRoot, edit.path.c_str());
      break;
  }
}

void CConfigMgr::SyncSection(KeyRoot* memory, const KeyRoot* desired, const std::string& path, size_t layerLength,
                             std::vector<ValueChange>* changes) {
  auto report = [&](ValueChange::Kind kind, const char* key) {
    if (!changes) return;
    ValueChange change;
    change.kind = kind;
    change.layer = path.substr(0, layerLength);
    change.section = path.size() > layerLength ? path.substr(layerLength + 1) : std::string();
    change.key = key ? key : "";
    changes->push_back(std::move(change));
  };

  // Values: those that are not desired go, then every desired one is stored (both lists are sorted alike).
  std::vector<std::string> gone;
  const KeyValue* want = desired ? desired->values : nullptr;
  for (const KeyValue* have = memory->values; have; have = have->next) {
    while (want && CompareNames(want->name, have->name) < 0) want = want->next;
    if (!want || CompareNames(want->name, have->name) != 0) gone.emplace_back(have->name ? have->name : "");
  }
  for (const std::string& key : gone) {
    keytree::DeleteValue(this, m_pRoot, path.c_str(), key.c_str());
    report(ValueChange::Kind::Removed, key.c_str());
  }
  SectionInfo* info = m_index.FindSection(memory);
  for (want = desired ? desired->values : nullptr; want; want = want->next) {
    const bool existed = changes && info && m_index.FindValue(info, want->name ? want->name : "",
                                                             TreeIndex::NameHash(want->name ? want->name : ""));
    const bool isString = (want->type & 15) == KEYVALUE_TYPE_STRING;
    if (keytree::AddValueIn(this, memory, info, want->name, want->type, isString ? 0 : want->intValue,
                            isString ? want->strValue : "", false))
      report(existed ? ValueChange::Kind::Changed : ValueChange::Kind::Added, want->name);
  }

  // Subsections: one that is not desired keeps its record and loses its values; a desired one that is missing
  // is created.
  KeyRoot* have = memory->children;
  const KeyRoot* wantChild = desired ? desired->children : nullptr;
  while (have || wantChild) {
    const int order = !have ? 1 : !wantChild ? -1 : CompareNames(have->name, wantChild->name);
    KeyRoot* target = have;
    if (order > 0) {
      const char* name = wantChild->name ? wantChild->name : "";
      target = keytree::FindOrCreateChild(this, &m_pRoot, memory, name, std::strlen(name));
    }
    if (target) SyncSection(target, order < 0 ? nullptr : wantChild, path + '\\' + (target->name ? target->name : ""),
                            layerLength, changes);
    if (order <= 0) have = have->next;
    if (order >= 0) wantChild = wantChild->next;
  }
}
