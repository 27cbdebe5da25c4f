// The exported change sets: a set records its changes as the journal of a layer records them, and the manager
// applies them under one lock and saves each layer once.
#include <config/config_changes.h>
#include <config/config_info.h>
#include <config/keytree.h>

#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "api/globals.h"
#include "store/configmgr.h"

using namespace navconfig;

struct Config_ChangeSet {
  std::vector<LayerEdit> changes;
  // Why the set is refused when a change could not be recorded, and the layer that the refusal is told for.
  std::string fault, faultLayer;
  bool applied = false;
};

namespace {

void Refuse(Config_ChangeSet* set, const char* section, const char* why) {
  if (!set->fault.empty()) return;
  set->fault = why;
  set->faultLayer = section ? LayerName(WritePath(section).c_str()) : "user";
}

// Records the change that make gives; a change that cannot be recorded makes the set refused.
template <typename Make>
void Record(Config_ChangeSet* set, const char* section, Make make) {
  if (!set) return;
  try {
    set->changes.push_back(make());
  } catch (const std::bad_alloc&) {
    Refuse(set, section, "out of memory while the change set was recorded");
  }
}

void RecordWrite(Config_ChangeSet* set, const char* section, const char* key, long type, long intValue,
                 const char* strValue) {
  if (set && !key) return Refuse(set, section, "a change of the set names no key");
  Record(set, section, [&] {
    LayerEdit edit;
    edit.path = WritePath(section);
    edit.key = key;
    edit.type = static_cast<uint32_t>(type);
    edit.intValue = static_cast<int32_t>(static_cast<uint32_t>(intValue));
    edit.strValue = strValue;
    return edit;
  });
}

}  // namespace

Config_ChangeSet* Config_ChangeSetNew(void) { return new (std::nothrow) Config_ChangeSet(); }

void Config_ChangeSetSetInt(Config_ChangeSet* set, const char* section, const char* key, long value) {
  RecordWrite(set, section, key, KEYVALUE_TYPE_INTEGER, value, "");
}

void Config_ChangeSetSetHex(Config_ChangeSet* set, const char* section, const char* key, long value) {
  RecordWrite(set, section, key, KEYVALUE_TYPE_INTEGER | KEYVALUE_FLAG_HEX, value, "");
}

void Config_ChangeSetSetStr(Config_ChangeSet* set, const char* section, const char* key, const char* value) {
  RecordWrite(set, section, key, KEYVALUE_TYPE_STRING, 0, value ? value : "");
}

void Config_ChangeSetDelete(Config_ChangeSet* set, const char* section, const char* key) {
  // Without a section, or with an empty plain one, a deletion would name the whole user layer ("user\" names it
  // on purpose).
  if (set && (!section || !*section)) return Refuse(set, section, "a deletion of the set names no section");
  Record(set, section, [&] {
    const std::string path = WritePath(section);
    return key ? DeleteValueEdit(path.c_str(), key) : DeleteBranchEdit(path.c_str());
  });
}

bool Config_ChangeSetApply(Config_ChangeSet* set) {
  if (!set || set->applied) return false;
  set->applied = true;
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr) return false;
  const std::string first = set->changes.empty() ? std::string() : set->changes.front().path;
  try {
    // The whole set in memory and in the journals under one hold of the lock; then each layer it touched saved
    // once, in the queue of that layer's saves; then the listeners.
    ConfigWrite write(mgr);
    if (!set->fault.empty()) {
      mgr->RecordRefusedSave(set->faultLayer, set->fault + "; nothing was changed");
      write.Note(platform::Status::Error(set->fault));
    } else {
      write.Note(mgr->ApplyChanges(std::move(set->changes), write.Pending()));
    }
    return write.Finish().ok;
  } catch (...) {
    FailedWrite(first.empty() ? nullptr : first.c_str());
    return false;
  }
}

void Config_ChangeSetFree(Config_ChangeSet* set) { delete set; }
