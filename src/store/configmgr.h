// CConfigMgr: the single keeper of the process's settings.
//
// The manager holds the forest of key trees (one top-level section per layer, forest.h), reads a layer's file
// the first time the layer is touched (layer_loader.h), answers typed reads from the layers user, user_ro and
// product in this order and then from the built-in defaults, stores writes (leaving out an absent value equal to
// its default) and saves the layer's file after every change, merged with what other processes saved
// (layer_file.h). It is handed what it needs from the library around it, the folders and the defaults, through
// its environment (store_environment.h).
//
// Locks. The manager's lock (m_sync) guards the forest and everything the manager knows of its layers; the
// compiler checks it (platform/thread_annotations.h): a function marked REQUIRES runs under the lock held alone
// (ConfigLock), one marked REQUIRES_SHARED under the lock held at least for reading (SharedConfigLock), one
// marked EXCLUDES takes it itself. A write holds the lock alone only for its change in memory and its layer's
// journal (ConfigWrite); the save of the layer then runs without it, so that reads on other threads go on while
// it waits for another process's lock on the file: saves of one layer by threads of this process queue in the
// order they came (SaveQueue), the one at the head takes the file's lock, and takes the manager's lock again only
// for the short parts that need memory (the merge of a file another process changed, the text to write, the
// file's identity afterwards). A save that finds its change written already by an earlier one of the queue
// writes nothing. Listeners are called after the save, without any lock held.
//
// Beside the exported lists the forest keeps an index (TreeIndex) that every operation maintains, so that a
// read finds its section and value in constant time.
#ifndef NAVCONFIG_SRC_STORE_CONFIGMGR_H
#define NAVCONFIG_SRC_STORE_CONFIGMGR_H

#include <config/keytree.h>
#include <doroutil/sync.h>
#include <platform/file_lock.h>
#include <platform/os.h>
#include <platform/thread_annotations.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "store/change_listeners.h"
#include "store/forest.h"
#include "store/layer_file.h"
#include "store/store_environment.h"
#include "store/value_change.h"

namespace navconfig {

// The layers that writes changed and that are to be saved once the manager's lock is let go, each with the
// journal entry that its save must reach.
class PendingSaves {
 public:
  void Add(const std::string& layer, uint64_t through);
  bool Empty() const { return m_layers.empty(); }
  const std::vector<std::pair<std::string, uint64_t>>& Layers() const { return m_layers; }
  // Saves that fail at once when another process holds a file's lock (their changes wait for the next save).
  void DontWaitForLocks() { m_wait = false; }
  bool WaitForLocks() const { return m_wait; }

 private:
  std::vector<std::pair<std::string, uint64_t>> m_layers;  // by name as written, each folded name once
  bool m_wait = true;
};

// The order of the folded names of values (a type of the library's own, so that the maps and sets of them stay
// inside it), and what each of some values held (its type and content) by that name.
struct NameOrder {
  bool operator()(const std::string& a, const std::string& b) const { return a < b; }
};
using ValueStates = std::map<std::string, std::string, NameOrder>;

}  // namespace navconfig

class CConfigMgr : public TCompactSync<sharedCritSec> {
 public:
  static constexpr int kLayerCount = 3;

  // The environment is the caller's and outlives the manager.
  explicit CConfigMgr(navconfig::StoreEnvironment& environment);
  // Destroyed while no other thread uses the configuration (the resets, the library's end).
  ~CConfigMgr() override;
  CConfigMgr(const CConfigMgr&) = delete;
  CConfigMgr& operator=(const CConfigMgr&) = delete;
  navconfig::StoreEnvironment& Environment() const { return m_env; }
  sharedCritSec& Mutex() RETURN_CAPABILITY(m_sync) { return m_sync; }

  // ---- Reads that change nothing may run together: LockShared holds the lock for reading only. Under it, a
  // read may go ahead when CanReadShared (layered reads) or FindValueInMemory (full-path reads) says that it will
  // read no file and change no flag; otherwise the caller takes the lock alone (Lock) and reads then.
  void LockShared() ACQUIRE_SHARED(m_sync) { m_sync.EnterShared(); }
  void UnlockShared() RELEASE_SHARED(m_sync) { m_sync.ExitShared(); }
  bool CanReadShared() const REQUIRES_SHARED(m_sync);
  // The value that FindValue would give, when it can be told without reading a file: true, with *value set
  // (null when absent); false when the layer of the path is not in memory (or the path is one that FindValue
  // treats otherwise), and FindValue is to be used. separator: the path's first backslash, or null.
  bool FindValueInMemory(const char* path, const char* separator, const char* key, const KeyValue** value) const
      REQUIRES_SHARED(m_sync);

  // ---- Layered reads of a plain section: the layers in order, then the built-in default. A layer without a
  // file is passed by from then on. The ...InMemory forms are for the lock held for reading, when CanReadShared;
  // the Read... forms take the lock themselves, for reading when that is enough.
  long GetLayeredInt(const char* section, const char* key) REQUIRES(m_sync);
  bool GetLayeredStr(const char* section, const char* key, char* buffer, long size) REQUIRES(m_sync);
  bool LayeredKeyExists(const char* section, const char* key) REQUIRES(m_sync);
  long GetLayeredIntInMemory(const char* section, const char* key) const REQUIRES_SHARED(m_sync);
  bool GetLayeredStrInMemory(const char* section, const char* key, char* buffer, long size) const
      REQUIRES_SHARED(m_sync);
  bool LayeredKeyExistsInMemory(const char* section, const char* key) const REQUIRES_SHARED(m_sync);
  long ReadLayeredInt(const char* section, const char* key) EXCLUDES(m_sync);
  bool ReadLayeredStr(const char* section, const char* key, char* buffer, long size) EXCLUDES(m_sync);
  bool ReadLayeredKeyExists(const char* section, const char* key) EXCLUDES(m_sync);
  // A plain section's built-in default, for a read that could not be made otherwise (out of memory); never
  // throws, and needs no lock.
  long DefaultInt(const char* section, const char* key) const noexcept;
  bool DefaultStr(const char* section, const char* key, char* buffer, long size) const noexcept;
  bool DefaultExists(const char* section, const char* key) const noexcept;
  // Where a read of a value of the type (KEYVALUE_TYPE_INTEGER or KEYVALUE_TYPE_STRING; 0: the existence test)
  // finds it: in a layer (layer names it), in a layer with the other type that hides the default, in the
  // built-in defaults, or nowhere. Worked out beside the reads with the full-path lookups that they are made of,
  // under the same rules; a full path names its own layer.
  struct Origin {
    enum class Kind { None, Layer, OtherType, Default };
    Kind kind = Kind::None;
    std::string layer;
  };
  Origin FindOrigin(const char* section, const char* key, unsigned type) REQUIRES(m_sync);

  // ---- Full paths (the layer read first when needed).
  // Makes sure that the layer named by the path's first component is in memory, reading its file when needed;
  // true when it is in memory or its file was found.
  bool EnsureLayer(const char* path) REQUIRES(m_sync);
  KeyRoot* FindSection(const char* path) REQUIRES(m_sync);
  const KeyValue* FindValue(const char* path, const char* key) REQUIRES(m_sync);
  // The section at path found along the sorted lists rather than through the index, or null.
  KeyRoot* FindSectionInLists(const char* path) REQUIRES(m_sync);

  // ---- Writes: the change in memory and in its layer's journal, under the lock. The layer to save is added to
  // *pending (when the change is to be saved; pending may be null, and then nothing is), and Save saves it once
  // the lock is let go (ConfigWrite does both).
  // The write procedure: names checked (a key or section name that a file cannot carry is refused, nothing is
  // stored, and the refusal is recorded as the layer's last save), default test, layer read, sections created,
  // value stored.
  platform::Status StoreValue(const char* path, const char* key, long type, long intValue, const char* strValue,
                              navconfig::PendingSaves* pending) REQUIRES(m_sync);
  // *removed tells whether the value or the branch was there. A layer deleted whole stays in memory as an empty
  // layer, so that no read takes the file's old values while its save is pending or fails.
  void DeleteValue(const char* path, const char* key, bool* removed, navconfig::PendingSaves* pending)
      REQUIRES(m_sync);
  void DeleteBranch(const char* path, bool* removed, navconfig::PendingSaves* pending) REQUIRES(m_sync);
  // Saves the pending layers: the file's lock, the merge with what other processes saved, the new file. Each
  // outcome is the layer's last save (LastSave); the first failure, or Ok. Values that the merges changed are
  // appended to changes (for the listeners).
  platform::Status Save(const navconfig::PendingSaves& pending, std::vector<navconfig::ValueChange>* changes)
      EXCLUDES(m_sync);
  // A change set: the changes made in memory and in their layers' journals in order, as StoreValue, DeleteValue
  // and DeleteBranch make them, all under the lock held alone, so that no other thread sees part of the set; each
  // layer they touched is added to *pending once, and Save then saves it once (one replacement of each file). The
  // names of every change are checked before any is made: a set holding one that a write would refuse changes
  // nothing. The changes that listeners hear of are one per value. Returns the first failure, or Ok.
  platform::Status ApplyChanges(std::vector<navconfig::LayerEdit>&& changes, navconfig::PendingSaves* pending)
      REQUIRES(m_sync);
  // Records a save of the layer that was refused before any file was touched, with the reason (for a change
  // set that could not be recorded whole).
  void RecordRefusedSave(const std::string& layer, const std::string& reason) REQUIRES(m_sync);
  // Drops a branch from memory only. A layer dropped whole is read afresh at its next access, with this
  // process's unsaved changes to it forgotten; a branch inside a layer comes back from the file at the next save.
  void FlushBranch(const char* path) REQUIRES(m_sync);
  // Erases the layer's file under its lock (Config_RestoreDefaults). What memory holds keeps answering reads,
  // but no later save writes it back: the next save starts from the erased file with the changes made from now
  // on, and memory is brought to that. True when a file was erased.
  bool EraseLayerFile(const std::string& layer) EXCLUDES(m_sync);
  // One last save of every layer that holds changes not saved yet (SD_Config); what could not be saved is
  // logged, and is the layer's last save.
  void SaveUnsavedChanges() EXCLUDES(m_sync);
  // The number of this process's changes to a layer that its file may not hold yet (the journal's entries).
  size_t UnsavedChanges(const char* layer) const REQUIRES_SHARED(m_sync);
  // With false, writes change memory and the journal only, and nothing is saved.
  void SetSaveOnChange(bool save) { m_bSaveOnChange = save; }
  // How long a save waits for the lock of a layer's file.
  void SetSaveLockTimeout(std::chrono::milliseconds timeout) { m_saveLockTimeoutMs = timeout.count(); }
  // The outcome of the last save of a layer (by name, any case); null when it was never saved.
  const navconfig::SaveStatus* LastSave(const char* layer) const REQUIRES_SHARED(m_sync);
  // Records a write of a section argument (a plain section writes the user layer) that failed by an exception
  // (such as running out of memory) as the layer's last save. Never throws.
  void RecordFailedWrite(const char* section, const char* reason) noexcept EXCLUDES(m_sync);
  // The file a layer is read from: its file in the configuration directory when that is a regular file, else
  // the fallback (see navconfig::FallbackLayerFile); *exists tells whether either is there (when neither is, the
  // configuration directory's file, which a save would make). Empty when the name cannot name a file there.
  std::string LayerSourceFile(const std::string& layer, bool* exists) const;

  // ---- Files and memory.
  // Brings every layer whose file changed since this manager last read or wrote it to the file's state, and
  // reads a layer's file that appeared since it was found missing; the number of values that changed (which
  // the listeners are told of when the lock is released).
  int ReloadChangedLayers() REQUIRES(m_sync);
  // Reads a layer's text into the forest, carved from a block of its own.
  void ReadLayerText(const char* layerName, const char* text, size_t length) REQUIRES(m_sync);
  // Drops the whole forest and every block, and every layer's unsaved changes. Layer flags stay; files are read
  // again when needed.
  void ReleaseTrees() REQUIRES(m_sync);
  // Enables all three layers again (after the configuration directory changed).
  void EnableAllLayers() REQUIRES(m_sync);
  // The restore flag: when it is set, ApplyRestoreSettings erases user.cfg in the configuration directory and
  // clears the flag. The destructor does it; the globals do it before they destroy the directory manager,
  // which knows the folder.
  void SetRestoreSettings(bool restore) { m_bRestoreSettings = restore; }
  bool RestoreSettings() const { return m_bRestoreSettings; }
  void ApplyRestoreSettings();

  // ---- The trees as they are: the first top-level section and the index; the owner that KeyRoot's exported
  // members work through (SetCurrentTreeOwner); the text that a save of the layer writes.
  const KeyRoot* Root() const REQUIRES_SHARED(m_sync) { return m_forest.Root(); }
  const navconfig::TreeIndex& Index() const REQUIRES_SHARED(m_sync) { return m_forest.IndexRef(); }
  // KeyRoot's members work on handed-out sections without the lock, as the exported interface documents.
  navconfig::TreeOwner* TreeOwnerOfMembers() NO_THREAD_SAFETY_ANALYSIS { return &m_forest; }
  std::string LayerText(const char* layer) REQUIRES(m_sync);

  // ---- The changes that writes, deletions and merges recorded for the listeners while one is registered;
  // the lock's holder hands them over once it has released the lock.
  bool HasChanges() const REQUIRES(m_sync) { return !m_changes.empty(); }
  std::vector<navconfig::ValueChange> TakeChanges() REQUIRES(m_sync) { return std::exchange(m_changes, {}); }

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
  // What a save of a layer needs from memory before it takes the file's lock.
  struct SavePlan;

  // Whether a standard layer has its top-level section in memory (remembered until the index says that
  // top-level sections changed).
  bool LayerInMemory(int layer) REQUIRES(m_sync) {
    if (m_layerGeneration != m_forest.IndexRef().TopLevelGeneration()) NoteLayersInMemory();
    return m_layerInMemory[layer];
  }
  void NoteLayersInMemory() REQUIRES(m_sync);
  // The value of a layered read in a layer in memory, found through the sections right below every layered
  // layer at once (*sections: the lookup, made by the first layer that needs it).
  const KeyValue* FindInMemory(int layer, const LayeredQuery& query,
                               const navconfig::TreeIndex::LayeredSections** sections, bool* looked) const
      REQUIRES_SHARED(m_sync);
  template <typename Accept>
  LayeredResult SearchLayers(const LayeredQuery& query, Accept accept) REQUIRES(m_sync);
  template <typename Accept>
  LayeredResult SearchInMemory(const LayeredQuery& query, Accept accept) const REQUIRES_SHARED(m_sync);
  // The answers of the layered reads from what the layers gave: the value, or the default.
  long IntAnswer(const LayeredQuery& query, const LayeredResult& found) const;
  bool StrAnswer(const LayeredQuery& query, const LayeredResult& found, char* buffer, long size) const;
  bool ExistsAnswer(const LayeredQuery& query, const LayeredResult& found) const;
  void CreateUserFileOnce() REQUIRES(m_sync);
  // Whether a value written to a user path counts as its default, which is then not stored when the key is
  // absent: it equals the built-in default, and neither user_ro nor product holds the key (whose value reads
  // would give otherwise).
  bool IsDefaultInt(const char* path, const char* key, long value) REQUIRES(m_sync);
  bool IsDefaultStr(const char* path, const char* key, const char* value) REQUIRES(m_sync);
  // Whether user_ro or product (while reads search it) holds the key in the section of a user path.
  bool HeldBelowUser(const char* path, const char* key) REQUIRES(m_sync);
  // A standard layer that reads passed by is searched again once it is in memory.
  void EnableLayer(const std::string& layer) REQUIRES(m_sync);

  // Whether a file can carry the key name and the section names of a write; when it cannot, the refusal is
  // recorded as the layer's last save, with the reason.
  platform::Status AcceptNames(const char* path, const char* key) REQUIRES(m_sync);
  // Records an edit in its layer's journal when it matters: when it changed memory, or when the file may hold
  // something else (it changed since this manager last read or wrote it, or that is not known: the edit is then
  // newer than what the file holds). Adds the layer to pending when it is to be saved.
  void NoteEdit(const std::string& layer, navconfig::LayerEdit&& edit, bool changedMemory,
                navconfig::PendingSaves* pending) REQUIRES(m_sync);
  // The same checks for any change of a set: a write's names, and the layer of every change, which must be able
  // to name a file.
  platform::Status AcceptChange(const navconfig::LayerEdit& change) REQUIRES(m_sync);
  // Whether a set's changes may bring a value back to what it held: a deletion, or two writes of one value.
  static bool TouchesAValueTwice(const std::vector<navconfig::LayerEdit>& changes);
  // Leaves one change per value among those recorded from index first on, in the place of its first, and, when
  // comparing, none of a value that holds what it held before (by its folded name; a value that before does not
  // name held nothing).
  void KeepChangedValues(size_t first, const navconfig::ValueStates& before, bool compare) REQUIRES(m_sync);
  // The section that a write goes to, found by its path, and the path's layer.
  struct WriteTarget {
    std::string path, layer;
    KeyRoot* section = nullptr;
  };
  // The write procedure once the names are accepted: the default test, the layer read, the sections created, the
  // value stored, the edit journaled. target (when not null) holds the section of the last write, which a write
  // to the same path takes without looking for it again, and receives this write's.
  platform::Status Store(navconfig::LayerEdit&& edit, WriteTarget* target, navconfig::PendingSaves* pending)
      REQUIRES(m_sync);
  // The save of one layer with its journal up to through (see Save).
  platform::Status SaveLayer(const std::string& layer, uint64_t through, std::vector<navconfig::ValueChange>* changes,
                             bool waitForLock = true) EXCLUDES(m_sync);
  bool PlanSave(const std::string& layer, uint64_t through, SavePlan* plan) REQUIRES(m_sync);
  // Under the file's lock: the layer brought to its file (read into text when it changed), the text to write.
  platform::Status PrepareSave(SavePlan& plan, navconfig::FileText& text, std::vector<navconfig::ValueChange>* changes)
      REQUIRES(m_sync);
  // Brings the layer to the state of its file (text, as navconfig::ReadLayerSource read it), with this process's
  // unsaved changes replayed on top; appends every value that changed to changes when it is not null.
  void MergeLayerFile(const std::string& layer, const std::string& file, const platform::FileIdentity& identity,
                      const navconfig::FileText& text, std::vector<navconfig::ValueChange>* changes) REQUIRES(m_sync);
  // Records the outcome of a save, or a save of the layer that was refused before any file was touched (such as
  // one of a name that is no safe file name: the layer's name then stands in place of the file).
  platform::Status RecordSave(const std::string& layer, const std::string& file, const platform::Status& status,
                              size_t bytes) REQUIRES(m_sync);
  // The queue of this process's saves of a layer; it lives as long as the manager.
  navconfig::SaveQueue& QueueOf(const std::string& layer) EXCLUDES(m_queuesLock);

  // The file of a layer in the configuration directory (see navconfig::LayerFilePath).
  std::string LayerFilePath(const std::string& layer) const;
  // The file a layer is read from when the configuration directory has none (see navconfig::FallbackLayerFile).
  std::string FallbackFile(const std::string& layer) const;
  std::string Spelled(const std::string& layer) REQUIRES(m_sync);
  // Locates a layer's file (in the configuration directory, else its fallback) and reads it into the forest; a
  // file that exists is a layer in memory, also when it holds no section. False when there is none.
  bool ReadLayerFile(const char* layerName) REQUIRES(m_sync);
  bool RecordingChanges() const { return navconfig::ChangeListenersExist(); }

  navconfig::StoreEnvironment& m_env;
  navconfig::Forest m_forest GUARDED_BY(m_sync);
  Layer m_layers[kLayerCount] GUARDED_BY(m_sync) = {{"user", true}, {"user_ro", true}, {"product", true}};
  size_t m_layerLength[kLayerCount] = {};  // of the standard layers' names, which are in lower case; set once
  uint64_t m_layerGeneration GUARDED_BY(m_sync) = ~uint64_t{0};
  bool m_layerInMemory[kLayerCount] GUARDED_BY(m_sync) = {};
  std::atomic<bool> m_bSaveOnChange{true};
  std::atomic<bool> m_bRestoreSettings{false};
  bool m_bCreateUserFile GUARDED_BY(m_sync) = true;
  std::atomic<int64_t> m_saveLockTimeoutMs{navconfig::kSaveLockTimeout.count()};
  std::vector<navconfig::ValueChange> m_changes GUARDED_BY(m_sync);
  std::map<std::string, navconfig::SaveStatus> m_saves GUARDED_BY(m_sync);       // by lower-cased layer name
  std::map<std::string, navconfig::LayerFile> m_layerFiles GUARDED_BY(m_sync);  // by lower-cased layer name
  critSec m_queuesLock;
  std::map<std::string, navconfig::SaveQueue> m_queues GUARDED_BY(m_queuesLock);  // by lower-cased layer name
};

namespace navconfig {

// Holds the manager's lock for reading for a scope.
class SCOPED_CAPABILITY SharedConfigLock {
 public:
  explicit SharedConfigLock(CConfigMgr* mgr) ACQUIRE_SHARED(mgr->Mutex()) : m_mgr(mgr) { m_mgr->LockShared(); }
  ~SharedConfigLock() RELEASE() { m_mgr->UnlockShared(); }
  SharedConfigLock(const SharedConfigLock&) = delete;
  SharedConfigLock& operator=(const SharedConfigLock&) = delete;

 private:
  CConfigMgr* m_mgr;
};

// Holds the manager's lock alone for a scope; the changes that the work under it recorded reach the listeners
// once it is released. mgr is not null.
class SCOPED_CAPABILITY ConfigLock {
 public:
  explicit ConfigLock(CConfigMgr* mgr) ACQUIRE(mgr->Mutex()) : m_mgr(mgr) { m_mgr->Lock(); }
  ~ConfigLock() RELEASE();
  ConfigLock(const ConfigLock&) = delete;
  ConfigLock& operator=(const ConfigLock&) = delete;

 private:
  CConfigMgr* m_mgr;
};

// What a write made so far: the layers to save, the changes to tell, its first failure.
struct WriteEffects {
  PendingSaves pending;
  std::vector<ValueChange> changes;
  platform::Status status;
  void Note(const platform::Status& outcome) {
    if (status.ok) status = outcome;
  }
  // Without the manager's lock: saves the layers, tells the listeners; the first failure, or Ok.
  platform::Status SaveAndTell(CConfigMgr* mgr);
};

// A write: holds the manager's lock alone while the change is made in memory (Pending() collects the layers to
// save), then, once Finish (or the end of the scope) releases it, saves those layers and tells the listeners of
// what changed. mgr is not null. When the scope ends by an exception, the lock is released and nothing is saved.
class SCOPED_CAPABILITY ConfigWrite {
 public:
  explicit ConfigWrite(CConfigMgr* mgr) ACQUIRE(mgr->Mutex()) : m_mgr(mgr) { m_mgr->Lock(); }
  ~ConfigWrite() RELEASE();
  ConfigWrite(const ConfigWrite&) = delete;
  ConfigWrite& operator=(const ConfigWrite&) = delete;
  PendingSaves* Pending() { return &m_effects.pending; }
  // The outcome of the change in memory, such as a refused name, which Finish returns when it failed.
  void Note(const platform::Status& status) { m_effects.Note(status); }
  // Releases the lock, saves, tells the listeners; the first failure of the write and its saves, or Ok.
  platform::Status Finish() RELEASE();

 private:
  CConfigMgr* m_mgr;
  bool m_finished = false;
  WriteEffects m_effects;
};

// Several writes saved as one: each is made in memory and in its layer's journal under the lock as it comes, so
// that the reads that follow see it, and the layers they touched are saved once, by Finish (or the end of the
// scope, which saves even when an exception ends it: the writes made are in memory already); the listeners then
// hear of every change. Other threads read and write between the writes. mgr is not null.
class WriteBatch {
 public:
  // waitForLock false: the saves do not wait for another process's lock (see PendingSaves).
  explicit WriteBatch(CConfigMgr* mgr, bool waitForLock = true) : m_mgr(mgr) {
    if (!waitForLock) m_effects.pending.DontWaitForLocks();
  }
  ~WriteBatch();
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;
  CConfigMgr* Manager() const { return m_mgr; }
  // CConfigMgr::StoreValue under the lock, its save left to Finish.
  void StoreValue(const char* path, const char* key, long type, long intValue, const char* strValue);
  // Saves, tells the listeners; the first failure of the writes and their saves, or Ok.
  platform::Status Finish();

 private:
  CConfigMgr* m_mgr;
  bool m_finished = false;
  WriteEffects m_effects;
};

// The path that a write of a section argument goes to: a full path (one holding a backslash) as it is, a plain
// section in the user layer.
std::string WritePath(const char* section);

// Inside a catch block: what the exception being handled says ("out of memory" for std::bad_alloc).
const char* CurrentFailure() noexcept;

// For the exported setters, which return nothing: the outcome of a write's save is the layer's last save
// (CConfigMgr::LastSave), which Config_GetLastSaveStatus reports.
inline void ReportedInLastSave(const platform::Status&) {}

}  // namespace navconfig

#endif
