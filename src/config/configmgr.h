// CConfigMgr: the single keeper of the process's settings, and CConfigGlobals, the holder that creates it.
//
// The manager owns the forest of key trees (one top-level section per layer), reads a layer's file the
// first time the layer is touched, answers typed reads from the layers user, user_ro and product in this
// order and then from the built-in defaults, stores writes (leaving out an absent value equal to its
// default) and rewrites the layer's file after every change. Every operation below runs under the
// manager's lock, which its caller takes (Lock/Unlock, or ConfigLock).
//
// Beside the exported lists the manager keeps an index (TreeIndex) that every operation maintains, so that a
// read finds its section and value in constant time.
#ifndef NAVCONFIG_SRC_CONFIG_CONFIGMGR_H
#define NAVCONFIG_SRC_CONFIG_CONFIGMGR_H

#include <config/directorymgr.h>
#include <config/keytree.h>
#include <doroutil/listmgr.h>
#include <doroutil/orostring.h>
#include <doroutil/staticdata.h>
#include <doroutil/sync.h>
#include <platform/os.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cfg_format.h"
#include "change_listeners.h"
#include "config_defaults.h"
#include "keytree_ops.h"
#include "layer_sync.h"
#include "tree_index.h"

namespace navconfig {

// One memory block that the records and strings of a tree read from a file are carved from. While a file is
// read, a full block takes further pieces of memory, which go with it.
struct TreeHead {
  char* data = nullptr;
  uint32_t capacity = 0;
  uint32_t used = 0;
  std::vector<char*> more;
  ~TreeHead();
};

// The outcome of the last save of a layer file.
struct SaveStatus {
  bool attempted = false;
  bool ok = true;
  std::string file;    // the file that was written
  std::string reason;  // why it failed; empty when it worked
  size_t bytes = 0;    // the length of the text
  std::string backup;  // the copy of the previous file that a save kept (see CConfigMgr::KeepUnkeptLines)
};

// The reason recorded for a layer whose name cannot stand as a file name in the configuration directory.
constexpr const char* kUnsafeFileName = "not a safe file name";
// Appended to a layer file's name for the copy kept before a rewrite that would lose lines.
constexpr const char* kBackupExtension = ".bak";

}  // namespace navconfig

class CConfigMgr : public TCompactSync<sharedCritSec>, public navconfig::TreeOwner {
 public:
  static constexpr int kLayerCount = 3;
  struct Layer {
    const char* name;
    bool enabled;
  };

  CConfigMgr();
  ~CConfigMgr() override;

  // Reads that change nothing may run together: LockShared holds the lock for reading only. Under it, a read
  // may go ahead when CanReadShared (layered reads) or FindValueInMemory (full-path reads) says that it will
  // read no file and change no flag; otherwise the caller takes the lock alone (Lock) and reads then.
  void LockShared() { m_sync.EnterShared(); }
  void UnlockShared() { m_sync.ExitShared(); }
  bool CanReadShared() const;
  // The value that FindValue would give, when it can be told without reading a file: true, with *value set
  // (null when absent); false when the layer of the path is not in memory (or the path is one that FindValue
  // treats otherwise), and FindValue is to be used. separator: the path's first backslash, or null.
  bool FindValueInMemory(const char* path, const char* separator, const char* key, const KeyValue** value) const;
  CConfigMgr(const CConfigMgr&) = delete;
  CConfigMgr& operator=(const CConfigMgr&) = delete;

  // Makes sure that the layer named by the path's first component is in memory, reading its file when
  // needed; true when it is in memory or its file was found.
  bool EnsureLayer(const char* path);
  long GetLayeredInt(const char* section, const char* key);
  bool GetLayeredStr(const char* section, const char* key, char* buffer, long size);
  bool LayeredKeyExists(const char* section, const char* key);
  // Whether a value written to a user path counts as its default, which is then not stored when the key is
  // absent: it equals the built-in default, and neither user_ro nor product holds the key (whose value reads
  // would give otherwise).
  bool IsDefaultInt(const char* path, const char* key, long value);
  bool IsDefaultStr(const char* path, const char* key, const char* value);
  // The write procedure: names checked (a key or section name that a file cannot carry is refused and nothing
  // is stored), default test, layer read, sections created, value stored, layer saved on change.
  void StoreValue(const char* path, const char* key, long type, long intValue, const char* strValue);
  // Writes the whole layer named by the path's first component to its file; false when the layer is not in
  // memory or the file could not be written.
  bool SaveLayer(const char* path);
  // Drops the whole forest and every block. Layer flags stay; files are read again when needed.
  void ReleaseTrees();
  // When the restore flag is set: erases user.cfg in the configuration directory and clears the flag. The
  // destructor does it; the globals do it before they destroy the directory manager, which knows the folder.
  void ApplyRestoreSettings();

  // Full-path access (the layer read first when needed).
  KeyRoot* FindSection(const char* path);
  const KeyValue* FindValue(const char* path, const char* key);
  bool DeleteValue(const char* path, const char* key);
  bool DeleteBranch(const char* path);
  // Enables all three layers again (after the configuration directory changed).
  void EnableAllLayers();

  // The block pool. AddTreeHead makes a block of that size current; it stops being current once full, or,
  // when growBy is not 0 (a file being read), takes further pieces of at least growBy bytes, until EndTreeHead.
  void AddTreeHead(size_t size, size_t growBy = 0);
  void EndTreeHead();
  void ReleaseTreeHead(const void* record);

  // The file of a layer: located and read into the forest (false when there is none), or written.
  bool ReadLayerFile(const char* layerName);
  // Reads a layer's text into the forest, carved from a block of its own; returns the number of lines that a
  // rewrite would not keep (cfg::ScanLines).
  size_t ReadLayerText(const char* layerName, const char* text, size_t length);
  // The reader's pass over a text: its sections and values go into the forest below the layer, carved from the
  // current block when there is one. Returns the number of lines that a rewrite would not keep.
  size_t ParseConfigText(const char* text, size_t length, const char* layerName);

  // Several processes writing the same layer files (layer_sync.cpp; see layer_sync.h).
  // Reads the layer's file and brings the layer in memory to the file's state with this process's unsaved
  // changes replayed on top, in place (sections stay as records; values are added, changed and removed),
  // then remembers the file's identity. Appends every value that changed to *changes when it is not null.
  // On failure (the file cannot be read) memory is left as it was.
  platform::Status SyncLayerWithFile(const std::string& layer, std::vector<navconfig::ValueChange>* changes);
  // The file of a layer in the configuration directory; empty when there is no configuration directory or
  // the name could leave it.
  std::string LayerFilePath(const std::string& layer) const;
  // Erases the layer's file under its lock; the layer in memory stays, and the next save writes it whole.
  // True when a file was erased.
  bool EraseLayerFile(const std::string& layer);
  // Drops a branch from memory only. A layer dropped whole is read afresh at its next access, with this
  // process's unsaved changes to it forgotten; a branch inside a layer comes back from the file at the next save.
  void FlushBranch(const char* path);
  // Changes for the listeners (change_log.cpp; see change_listeners.h). While a listener is registered,
  // writes, deletions and merges record here the values they changed, as the forest spells their names;
  // ConfigLock delivers them once it has released the lock.
  std::vector<navconfig::ValueChange> m_changes;
  bool RecordingChanges() const { return navconfig::ChangeListenersExist(); }
  // The value at path and key, when it is in memory (taken before a deletion, after a write).
  void RecordChange(const char* path, const char* key, navconfig::ValueChange::Kind kind);
  // Every value of the branch at path, as it is about to be deleted.
  void RecordBranch(const char* path);
  // Brings every layer whose file changed since this manager last read or wrote it to the file's state, and
  // reads a layer's file that appeared since it was found missing; appends every value that changed.
  void ReloadChangedLayers(std::vector<navconfig::ValueChange>& changes);
  // How long a save waits for the lock of a layer's file.
  std::chrono::milliseconds m_saveLockTimeout = navconfig::kSaveLockTimeout;

  // The outcome of the last save of a layer (by name, any case); null when it was never saved.
  const navconfig::SaveStatus* LastSave(const char* layer) const;
  // Records a save of the layer that was refused before any file was touched, such as one of a name that is
  // no safe file name: the layer's last save then failed, with the layer's name in place of the file and the
  // reason, so that Config_GetLastSaveStatus tells the caller why nothing was written.
  void RecordRefusedSave(const std::string& layer, const std::string& reason);
  navconfig::TreeIndex& IndexRef() { return m_index; }

  // TreeOwner
  void* Carve(size_t bytes) override;
  void ReleaseBlockAt(const void* record) override;
  navconfig::TreeIndex* Index() override { return &m_index; }

  bool m_bSaveOnChange = true;
  bool m_bRestoreSettings = false;
  int32_t m_iCurrentHead = -1;
  ListMgr<navconfig::TreeHead> m_treeHeads{true, 4, "unnamed"};
  KeyRoot* m_pRoot = nullptr;
  Layer m_layers[kLayerCount] = {{"user", true}, {"user_ro", true}, {"product", true}};
  bool m_bCreateUserFile = true;

 private:
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
  // Whether a standard layer has its top-level section in memory (remembered until the index says that
  // top-level sections changed).
  bool LayerInMemory(int layer) {
    if (m_layerGeneration != m_index.TopLevelGeneration()) NoteLayersInMemory();
    return m_layerInMemory[layer];
  }
  void NoteLayersInMemory();

  // The first value in the layers that the caller accepts; otherwise whether the last layer that was
  // available held the key with another type.
  struct LayeredResult {
    const KeyValue* value;
    bool otherType;
  };
  template <typename Accept>
  LayeredResult SearchLayers(const LayeredQuery& query, Accept accept);
  // The value of a layered read in one layer, or null; *available tells whether the layer is in memory (or
  // its file was found).
  const KeyValue* FindInLayer(int layer, const LayeredQuery& query, bool* available);
  void CreateUserFileOnce();
  // Whether user_ro or product (while reads search it) holds the key in the section of a user path.
  bool HeldBelowUser(const char* path, const char* key);
  navconfig::SectionInfo* FindLayerInfo(const char* layerName);
  // Reads an open layer file into the forest piece by piece; the number of lines that a rewrite would not keep,
  // or -1 when reading failed (what was read of the layer is then dropped).
  long ReadLayerPieces(const char* layerName, platform::FileReader& reader);
  // Removes the last block when nothing was carved from it (a text without sections).
  void DropEmptyTreeHead();
  // Writes text as the file of a layer (atomically, recording the outcome), holding the file's lock; false
  // when the name could leave the configuration directory or the file could not be written.
  bool WriteLayerFile(const std::string& layer, const std::string& text);
  // Before the first save over a file whose last reading met lines that the writer does not write again,
  // keeps that file once as <file>.bak (replacing an older copy) and logs it, so that nothing is lost unseen.
  // A failure to keep it fails the save.
  platform::Status KeepUnkeptLines(const std::string& layer, const std::string& file, navconfig::SaveStatus& record);
  // Whether a file can carry the key name and the section names of a write; when it cannot, the refusal is
  // recorded as the layer's last save (RecordRefusedSave, with the layer's file named), with the reason.
  bool AcceptNames(const char* path, const char* key);
  void RecordRefusedWrite(const std::string& layer, const std::string& reason);
  bool RecordSave(const std::string& layer, const std::string& file, const platform::Status& status, size_t bytes);
  // Records an edit in its layer's journal when it matters: when it changed memory, or when the file changed
  // since this manager last read or wrote it (the edit is then newer than what the file holds). True when the
  // layer is to be saved.
  bool NoteEdit(navconfig::LayerEdit edit, bool changedMemory);
  // Remembers the identity of a layer's file that is about to be read (read: false when reading it failed).
  void NoteLayerRead(const char* layerName, const std::string& file, const platform::FileIdentity& identity,
                     bool read = true);
  // A save: takes the file's lock and merges what other processes saved; false (the failure recorded) when
  // the layer cannot be saved now. EndSave remembers the written file and clears the journal.
  bool BeginSave(const std::string& layer, platform::FileLock& lock);
  void EndSave(const std::string& layer, bool written);
  platform::Status SyncLayerFromFile(const std::string& layer, const std::string& file,
                                     const platform::FileIdentity& identity,
                                     std::vector<navconfig::ValueChange>* changes);
  // The file's tree, with the values of kept (when not null) and then the journal put on top, built beside
  // the forest from the heap; *unkept counts the file's lines that a rewrite would not keep.
  KeyRoot* BuildDesiredLayer(const std::string& layer, const char* text, size_t length, const KeyRoot* kept,
                             const std::vector<navconfig::LayerEdit>& journal, size_t* unkept);
  // Stores every value of a section and its subsections, at the same path, into the forest.
  void KeepValues(const KeyRoot* section, std::string& path);
  void ReplayEdit(const navconfig::LayerEdit& edit);
  // Brings a section in memory to the desired one (null: none, so its values go) and its subsections alike.
  void SyncSection(KeyRoot* memory, const KeyRoot* desired, const std::string& path, size_t layerLength,
                   std::vector<navconfig::ValueChange>* changes);

  navconfig::TreeIndex m_index;
  uint64_t m_layerGeneration = ~uint64_t{0};
  bool m_layerInMemory[kLayerCount] = {};
  size_t m_layerLength[kLayerCount] = {};  // of the standard layers' names, which are in lower case

  size_t m_growBy = 0;  // the current block grows by pieces of this size (0: it does not)
  std::map<std::string, navconfig::SaveStatus> m_saves;  // by lower-cased layer name
  std::map<std::string, navconfig::LayerFileState> m_layerFiles;  // by lower-cased layer name
};

class CConfigGlobals : public StaticDataHolder {
 public:
  CConfigGlobals() = default;
  ~CConfigGlobals() override;

  const char* GetName() const override { return "Config"; }
  void AddDependencies() override;
  void DoSetup() override;
  void DoTeardown() override;

  DirectoryMgr_Platform* GetDirectoryMgr();
  void ResetDataDirMgr();

  // The defaults, priority table first.
  const navconfig::ConfigDefault* FindDefault(const char* key) const {
    return navconfig::FindDefault(m_pConfigDefaultsTable, m_pPriorityDefaultsTable, key);
  }
  bool HasDefault(const char* key) const { return FindDefault(key) != nullptr; }

  // Destroys and remakes the managers (the resets of the exported interface).
  void ReplaceConfigMgr();
  void DestroyDirectoryMgr();
  void CreateDirectoryMgr();

  navconfig::ConfigDefaultsTable* m_pConfigDefaultsTable = nullptr;
  navconfig::ConfigDefaultsTable* m_pPriorityDefaultsTable = nullptr;
  CConfigMgr* m_pConfigMgr = nullptr;
  DirectoryMgr_Platform* m_pDirectoryMgr = nullptr;
  bool m_bRightToLeft = false;
  // The sign-on password as last decrypted (Mem_Malloc), or null; wiped when it is released.
  char* m_pCachedPassword = nullptr;
  void ReleaseCachedPassword();
};

namespace navconfig {

// The holder, set up.
CConfigGlobals& Globals();
// The longest layer name that a path's first component gives; a longer component is cut.
constexpr size_t kMaxLayerName = 254;
// The layer named by a path's first component (leading blanks and backslashes skipped, at most kMaxLayerName
// bytes), and a layer name folded to lower case.
std::string LayerName(const char* path);
// Where a layer is read from when the configuration directory has no regular file of it: for user_ro and product
// the system's configuration directory's file, else (and for every other layer) its map layer file in the maps
// folder below the runtime directory; empty when neither is a regular file. A save never writes there: it
// writes the configuration directory's file.
std::string FallbackLayerFile(const std::string& layer);
std::string FoldedLayer(const std::string& layer);
// The text of a layer's file, as the writer makes it from the layer's top-level section.
// expectedSize: room to set aside for the text at once. With an index, each section's text is kept beside it
// and made again only when the section changed.
std::string LayerText(const KeyRoot* layer, size_t expectedSize = 0, TreeIndex* index = nullptr);
// The configuration, runtime and system configuration directories as UTF-8 (empty when there is no directory
// manager).
std::string ConfigDirectory();
std::string RuntimeDirectory();
std::string SystemConfigDirectory();

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
    if (m_mgr->m_changes.empty()) {
      m_mgr->Unlock();
      return;
    }
    std::vector<ValueChange> changes;
    changes.swap(m_mgr->m_changes);
    m_mgr->Unlock();
    DeliverChanges(std::move(changes));
  }
  ConfigLock(const ConfigLock&) = delete;
  ConfigLock& operator=(const ConfigLock&) = delete;

 private:
  CConfigMgr* m_mgr;
};

}  // namespace navconfig

#endif
