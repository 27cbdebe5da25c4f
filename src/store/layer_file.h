// Keeping a layer in memory true to its file while other processes write the same file.
//
// For each layer the manager remembers the identity of the file it last read or wrote, and a journal of this
// process's own changes to the layer since then (values set, values deleted, branches deleted, in order).
// A save takes the lock of the file; when the file is no longer the one remembered, the manager reads it,
// replays the journal on top of it (the newest write of a key wins; keys this process did not touch take
// the file's values) and brings the layer in memory to that state in place, before it writes. Sections are
// kept as records while their values come and go, so that a section handed out by Config_FindRoot stays
// valid. The journal is cleared once a save has written it; after a failed save it is kept, and the next
// save tries again. A write that changes nothing in memory goes into the journal (and the file) only when the
// file changed since it was read: then it is newer than what the file holds. A layer read from another
// configuration folder (before SU_Config named this one) keeps what memory holds at its first save there, with
// what the new folder's file holds besides; a layer without a file in the configuration folder is merged from
// its map layer file, as a read would take it.
//
// The operations are members of CConfigMgr (configmgr.h, layer_sync.cpp); the types are here. Everything
// runs under the manager's lock, held alone.
#ifndef NAVCONFIG_SRC_STORE_LAYER_SYNC_H
#define NAVCONFIG_SRC_STORE_LAYER_SYNC_H

#include <platform/file_lock.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace navconfig {

// One change of this process to a layer, as its caller made it.
struct LayerEdit {
  enum class Kind { Set, DeleteValue, DeleteBranch };
  Kind kind = Kind::Set;
  std::string path;  // the section path as given, the layer first
  std::string key;   // Set and DeleteValue
  uint32_t type = 0;
  int32_t intValue = 0;
  std::string strValue;
  bool isDefault = false;  // Set: the value equals its built-in default (an absent value is then not added)
};

inline LayerEdit SetEdit(const char* path, const char* key, uint32_t type, long intValue, const char* strValue,
                         bool isDefault) {
  LayerEdit e;
  e.path = path;
  e.key = key;
  e.type = type;
  e.intValue = static_cast<int32_t>(static_cast<uint32_t>(intValue));
  e.strValue = strValue ? strValue : "";
  e.isDefault = isDefault;
  return e;
}
inline LayerEdit DeleteValueEdit(const char* path, const char* key) {
  LayerEdit e;
  e.kind = LayerEdit::Kind::DeleteValue;
  e.path = path;
  e.key = key;
  return e;
}
inline LayerEdit DeleteBranchEdit(const char* path) {
  LayerEdit e;
  e.kind = LayerEdit::Kind::DeleteBranch;
  e.path = path;
  return e;
}

// What the manager remembers of one layer's file.
struct LayerFileState {
  std::string file;                 // the file last read or written (the configuration folder may change)
  platform::FileIdentity identity;  // and its identity then
  bool identityKnown = false;       // false: the next save reads the file whatever its identity
  std::vector<LayerEdit> journal;   // this process's changes since then, in order
  bool lockedOnce = false;          // a save held the lock (and removed older writers' temporary files)
  bool unkeptLines = false;         // the last reading met lines that a rewrite would not keep (cfg::ScanLines)

  void Remember(const std::string& path, const platform::FileIdentity& id) {
    file = path;
    identity = id;
    identityKnown = true;
  }
  // Whether the file at path, as it is now, is the one remembered.
  bool Holds(const std::string& path, const platform::FileIdentity& now) const {
    return identityKnown && file == path && identity == now;
  }
};

// A save waits this long for the lock of a layer's file before it fails.
constexpr std::chrono::milliseconds kSaveLockTimeout{10000};

}  // namespace navconfig

#endif
