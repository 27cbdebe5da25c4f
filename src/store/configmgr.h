// CConfigMgr: the single keeper of the process's settings.
//
// The manager holds the forest of key trees (one top-level section per layer, forest.h), reads a layer's file
// the first time the layer is touched (layer_loader.h), answers typed reads from the layers user, user_ro and
// product in this order and then from the built-in defaults, stores writes (leaving out an absent value equal to
// its default) and saves the layer's file after every change, merged with what other processes saved
// (layer_file.h). It is handed what it needs from the library around it, the folders and the defaults, through
// its environment (store_environment.h). Every operation below runs under the manager's lock, which its caller
// takes (ConfigLock, or SharedConfigLock where a function says so).
//
// Beside the exported lists the forest keeps an index (TreeIndex) that every operation maintains, so that a
// read finds its section and value in constant time.
#ifndef NAVCONFIG_SRC_STORE_CONFIGMGR_H
#define NAVCONFIG_SRC_STORE_CONFIGMGR_H

#include <config/keytree.h>
#include <doroutil/sync.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "store/change_listeners.h"
#include "store/forest.h"
#include "store/layer_file.h"
#include "store/store_environment.h"
#include "store/value_change.h"

class CConfigMgr : public TCompactSync<sharedCritSec> {
 public:
  static constexpr int kLayerCount = 3;

  // The environment is the caller's and outlives the manager.
  explicit CConfigMgr(navconfig::StoreEnvironment& environment);
  ~CConfigMgr() override;
  CConfigMgr(const CConfigMgr&) = delete;
  CConfigMgr& operator=(const CConfigMgr&) = delete;
  navconfig::StoreEnvironment& Environment() const { return m_env; }

  // ---- Reads that change nothing may run together: LockShared holds the lock for reading only. Under it, a
  // read may go ahead when CanReadShared (layered reads) or FindValueInMemory (full-path reads) says that it will
  // read no file and change no flag; otherwise the caller takes the lock alone (Lock) and reads then.
  void LockShared() { m_sync.EnterShared(); }
  void UnlockShared() { m_sync.ExitShared(); }
  bool CanReadShared() const;
  // The value that FindValue would give, when it can be told without reading a file: true, with *value set
  // (null when absent); false when the layer of the path is not in memory (or the path is one that FindValue
  // treats otherwise), and FindValue is to be used. separator: the path's first backslash, or null.
  bool FindValueInMemory(const char* path, const char* separator, const char* key, const KeyValue** value) const;

  // ---- Layered reads of a plain section: the layers in order, then the built-in default. A layer without a
  // file is passed by from then on.
  long GetLayeredInt(const char* section, const char* key);
  bool GetLayeredStr(const char* section, const char* key, char* buffer, long size);
  bool LayeredKeyExists(const char* section, const char* key);
  // Where a read of a value of the type (KEYVALUE_TYPE_INTEGER or KEYVALUE_TYPE_STRING; 0: the existence test)
  // finds it: in a layer (layer names it), in a layer with the other type that hides the default, in the
  // built-in defaults, or nowhere. Worked out beside the reads with the full-path lookups that they are made of,
  // under the same rules; a full path names its own layer.
  struct Origin {
    enum class Kind { None, Layer, OtherType, Default };
    Kind kind = Kind::None;
    std::string layer;
  };
  Origin FindOrigin(const char* section, const char* key, unsigned type);

  // ---- Full paths (the layer read first when needed).
  // Makes sure that the layer named by the path's first component is in memory, reading its file when needed;
  // true when it is in memory or its file was found.
  bool EnsureLayer(const char* path);
  KeyRoot* FindSection(const char* path);
  const KeyValue* FindValue(const char* path, const char* key);
  // The section at path found along the sorted lists rather than through the index, or null.
  KeyRoot* FindSectionInLists(const char* path);

  // ---- Writes. Each saves the layer when it changed something (or the file changed since it was read), and
  // returns the save's outcome, which is also the layer's last save (LastSave).
  // The write procedure: names checked (a key or section name that a file cannot carry is refused and nothing
  // is stored), default test, layer read, sections created, value stored, layer saved.
  platform::Status StoreValue(const char* path, const char* key, long type, long intValue, const char* strValue);
  // *removed tells whether the value or the branch was there.
  platform::Status DeleteValue(const char* path, const char* key, bool* removed);
  platform::Status DeleteBranch(const char* path, bool* removed);
  // A change set: the changes made in order, as StoreValue, DeleteValue and DeleteBranch make them, and then
  // each layer they touched saved once (one replacement of each file), all under the lock that the caller
  // holds, so that no other thread sees part of the set. The names of every change are checked before any is
  // made: a set holding one that a write would refuse changes nothing. The changes that listeners hear of are
  // one per value. Returns the first failure: a refused name, or a save that failed (memory keeps the changes,
  // as after a failed single save).
  platform::Status ApplyChanges(std::vector<navconfig::LayerEdit>&& changes);
  // Records a save of the layer that was refused before any file was touched, with the reason (for a change
  // set that could not be recorded whole).
  void RecordRefusedSave(const std::string& layer, const std::string& reason);
  // Drops a branch from memory only. A layer dropped whole is read afresh at its next access, with this
  // process's unsaved changes to it forgotten; a branch inside a layer comes back from the file at the next save.
  void FlushBranch(const char* path);
  // Erases the layer's file under its lock; the layer in memory stays, and the next save writes it whole.
  // True when a file was erased.
  bool EraseLayerFile(const std::string& layer);
  // With false, writes change memory and the journal only, and nothing is saved.
  void SetSaveOnChange(bool save) { m_bSaveOnChange = save; }
  // How long a save waits for the lock of a layer's file.
  void SetSaveLockTimeout(std::chrono::milliseconds timeout) { m_saveLockTimeout = timeout; }
  // The outcome of the last save of a layer (by name, any case); null when it was never saved.
  const navconfig::SaveStatus* LastSave(const char* layer) const;
  // The file a layer is read from: its file in the configuration directory when that is a regular file, else
  // the fallback (see navconfig::FallbackLayerFile); *exists tells whether either is there (when neither is, the
  // configuration directory's file, which a save would make). Empty when the name cannot name a file there.
  std::string LayerSourceFile(const std::string& layer, bool* exists) const;

  // ---- Files and memory.
  // Brings every layer whose file changed since this manager last read or wrote it to the file's state, and
  // reads a layer's file that appeared since it was found missing; the number of values that changed (which
  // the listeners are told of when the lock is released).
  int ReloadChangedLayers();
  // Reads a layer's text into the forest, carved from a block of its own; the number of lines that a rewrite
  // would not keep.
  size_t ReadLayerText(const char* layerName, const char* text, size_t length);
  // Drops the whole forest and every block, and every layer's unsaved changes. Layer flags stay; files are read
  // again when needed.
  void ReleaseTrees();
  // Enables all three layers again (after the configuration directory changed).
  void EnableAllLayers();
  // The restore flag: when it is set, ApplyRestoreSettings erases user.cfg in the configuration directory and
  // clears the flag. The destructor does it; the globals do it before they destroy the directory manager,
  // which knows the folder.
  void SetRestoreSettings(bool restore) { m_bRestoreSettings = restore; }
  bool RestoreSettings() const { return m_bRestoreSettings; }
  void ApplyRestoreSettings();

  // ---- The trees as they are: the first top-level section and the index; the owner that KeyRoot's exported
  // members work through (SetCurrentTreeOwner); the text that a save of the layer writes.
  const KeyRoot* Root() const { return m_forest.Root(); }
  const navconfig::TreeIndex& Index() const { return m_forest.IndexRef(); }
  navconfig::TreeOwner* TreeOwnerOfMembers() { return &m_forest; }
  std::string LayerText(const char* layer);

  // ---- The changes that writes, deletions and merges recorded for the listeners while one is registered;
  // ConfigLock hands them over once it has released the lock.
  bool HasChanges() const { return !m_changes.empty(); }
  std::vector<navconfig::ValueChange> TakeChanges() { return std::exchange(m_changes, {}); }

 private:
  struct Layer {
    const char* name;
    bool enabled;
  };
  // A layered read's section and key, measured and hashed once for all layers.
  struct LayeredQuery {
    const char* section;
    size_t sectionLength;
    uint64_t sectionHash;
    bool fits;  // "<layer>\<section>" stays within a path's 255 bytes for every standard layer
    const char* key;
    size_t keyLength;
    uint64_t keyHash;
    LayeredQuery(const char* section, const char* key);
  };
  // The first value in the layers that the caller accepts; otherwise whether the last layer that was
  // available held the key with another type.
  struct LayeredResult {
    const KeyValue* value;
    bool otherType;
  };

  // Whether a standard layer has its top-level section in memory (remembered until the index says that
  // top-level sections changed).
  bool LayerInMemory(int layer) {
    if (m_layerGeneration != m_forest.IndexRef().TopLevelGeneration()) NoteLayersInMemory();
    return m_layerInMemory[layer];
  }
  void NoteLayersInMemory();
  template <typename Accept>
  LayeredResult SearchLayers(const LayeredQuery& query, Accept accept);
  // The value of a layered read in one layer, or null; *available tells whether the layer is in memory (or
  // its file was found).
  const KeyValue* FindInLayer(int layer, const LayeredQuery& query, bool* available);
  void CreateUserFileOnce();
  // Whether a value written to a user path counts as its default, which is then not stored when the key is
  // absent: it equals the built-in default, and neither user_ro nor product holds the key (whose value reads
  // would give otherwise).
  bool IsDefaultInt(const char* path, const char* key, long value);
  bool IsDefaultStr(const char* path, const char* key, const char* value);
  // Whether user_ro or product (while reads search it) holds the key in the section of a user path.
  bool HeldBelowUser(const char* path, const char* key);
  // A standard layer that reads passed by is searched again once it is in memory.
  void EnableLayer(const std::string& layer);

  // Whether a file can carry the key name and the section names of a write; when it cannot, the refusal is
  // recorded as the layer's last save, with the reason.
  platform::Status AcceptNames(const char* path, const char* key);
  // The same for any change of a set: a write's names, and the layer of every change, which must be able to name
  // a file.
  platform::Status AcceptChange(const navconfig::LayerEdit& change);
  // Leaves one change per value among those recorded from index first on (the first place, the last kind).
  void KeepOneChangePerValue(size_t first);
  // Records an edit in its layer's journal (layer: the edit's) when it matters: when it changed memory, or when
  // the file changed since this manager last read or wrote it (the edit is then newer than what the file holds).
  // True when the layer is to be saved.
  bool NoteEdit(const std::string& layer, navconfig::LayerEdit&& edit, bool changedMemory);
  // The section that a write goes to, found by its path, and the path's layer.
  struct WriteTarget {
    std::string path, layer;
    KeyRoot* section = nullptr;
  };
  // The write procedure once the names are accepted: the default test, the layer read, the sections created, the
  // value stored, the edit journaled and the layer saved. target (when not null) holds the section of the last
  // write, which a write to the same path takes without looking for it again, and receives this write's.
  platform::Status Store(navconfig::LayerEdit&& edit, WriteTarget* target);
  // The save of the layer named by the path's first component: under the lock of its file, with what other
  // processes saved since this one last read or wrote the file merged in first. Ok when the file was written, or
  // there was nothing to write (the layer is neither in memory nor changed by this process, or there is no
  // configuration directory).
  platform::Status SaveLayer(const char* path);
  // Brings the layer to the state of its file (or of the map layer file, when it has none), with this process's
  // unsaved changes replayed on top; appends every value that changed to changes when it is not null.
  platform::Status MergeLayerFile(const std::string& layer, const std::string& file,
                                  const platform::FileIdentity& identity, std::vector<navconfig::ValueChange>* changes);
  // Records the outcome of a save, or a save of the layer that was refused before any file was touched (such as
  // one of a name that is no safe file name: the layer's name then stands in place of the file).
  platform::Status RecordSave(const std::string& layer, const std::string& file, const platform::Status& status,
                              size_t bytes);

  // The file of a layer in the configuration directory (see navconfig::LayerFilePath).
  std::string LayerFilePath(const std::string& layer) const;
  // Where the layer is read from when the configuration directory has none of it (navconfig::FallbackLayerFile).
  std::string FallbackFile(const std::string& layer) const;
  // Locates a layer's file (in the configuration directory, else the map layers) and reads it into the forest;
  // false when there is none.
  bool ReadLayerFile(const char* layerName);
  bool RecordingChanges() const { return navconfig::ChangeListenersExist(); }

  navconfig::StoreEnvironment& m_env;
  navconfig::Forest m_forest;
  Layer m_layers[kLayerCount] = {{"user", true}, {"user_ro", true}, {"product", true}};
  size_t m_layerLength[kLayerCount] = {};  // of the standard layers' names, which are in lower case
  uint64_t m_layerGeneration = ~uint64_t{0};
  bool m_layerInMemory[kLayerCount] = {};
  bool m_bSaveOnChange = true;
  bool m_bRestoreSettings = false;
  bool m_bCreateUserFile = true;
  std::chrono::milliseconds m_saveLockTimeout = navconfig::kSaveLockTimeout;
  std::vector<navconfig::ValueChange> m_changes;
  std::map<std::string, navconfig::SaveStatus> m_saves;       // by lower-cased layer name
  std::map<std::string, navconfig::LayerFile> m_layerFiles;  // by lower-cased layer name
};

namespace navconfig {

// Holds the manager's lock for reading for a scope.
class SharedConfigLock {
 public:
  explicit SharedConfigLock(CConfigMgr* mgr) : m_mgr(mgr) { m_mgr->LockShared(); }
  ~SharedConfigLock() { m_mgr->UnlockShared(); }
  SharedConfigLock(const SharedConfigLock&) = delete;
  SharedConfigLock& operator=(const SharedConfigLock&) = delete;

 private:
  CConfigMgr* m_mgr;
};

// Holds the manager's lock for a scope; the changes that the work under it recorded reach the listeners once
// it is released.
class ConfigLock {
 public:
  explicit ConfigLock(CConfigMgr* mgr) : m_mgr(mgr) {
    if (m_mgr) m_mgr->Lock();
  }
  ~ConfigLock() {
    if (!m_mgr) return;
    if (!m_mgr->HasChanges()) {
      m_mgr->Unlock();
      return;
    }
    std::vector<ValueChange> changes = m_mgr->TakeChanges();
    const StoreEnvironment& environment = m_mgr->Environment();
    m_mgr->Unlock();
    DeliverChanges(std::move(changes), environment);
  }
  ConfigLock(const ConfigLock&) = delete;
  ConfigLock& operator=(const ConfigLock&) = delete;

 private:
  CConfigMgr* m_mgr;
};

// Runs a layered read holding the manager's lock for reading only when the read will change nothing (its layers
// are in memory), so that reads on several threads go on together; otherwise holding the lock alone.
template <typename Read>
auto ReadLayered(CConfigMgr* mgr, Read read) {
  {
    SharedConfigLock shared(mgr);
    if (mgr->CanReadShared()) return read();
  }
  ConfigLock lock(mgr);
  return read();
}

// The path that a write of a section argument goes to: a full path (one holding a backslash) as it is, a plain
// section in the user layer.
std::string WritePath(const char* section);

// For the exported setters, which return nothing: the outcome of a write's save is the layer's last save
// (CConfigMgr::LastSave), which Config_GetLastSaveStatus reports.
inline void ReportedInLastSave(const platform::Status&) {}

}  // namespace navconfig

#endif
