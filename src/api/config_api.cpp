// The exported configuration functions: thin shims that set the globals up, take the lock, resolve the
// section argument and call the manager. No exception leaves them: a read that runs out of memory answers what
// it answers for a missing key (the built-in default of a plain section), a write records a failed save.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <doroutil/files.h>
#include <doroutil/strutil.h>

#include <cstring>
#include <string>

#include "api/globals.h"
#include "store/configmgr.h"

using namespace navconfig;

namespace {

CConfigMgr* Manager() { return Globals().m_pConfigMgr; }

// The first backslash of a section argument, which makes it a full path; null for a plain section.
const char* FirstSeparator(const char* section) { return section ? std::strchr(section, '\\') : nullptr; }

int CopyName(const char* name, size_t limit, char* buffer, int size) {
  std::string work(name ? name : "");
  if (work.size() > limit) work.resize(limit);
  if (buffer) CopyTruncated(buffer, size, work.c_str());
  return static_cast<int>(work.size());
}

// The first subsection of the section at path, found under the lock.
KeyRoot* FirstChild(const char* path) {
  CConfigMgr* mgr = Manager();
  if (!mgr) return nullptr;
  ConfigLock lock(mgr);
  KeyRoot* section = mgr->FindSection(path);
  return section ? section->children : nullptr;
}

bool ManagerExists() { return GetConfigGlobals()->m_pConfigMgr != nullptr; }

// The value at a full path, held for use while the object lives (null when absent): found holding the lock for
// reading when the path's layer is in memory, otherwise holding it alone, the layer's file read first. Which of
// the two it holds is known only at run time, so the lock analysis takes this class on trust.
class FullPathValue {
 public:
  FullPathValue(CConfigMgr* mgr, const char* path, const char* separator, const char* key) NO_THREAD_SAFETY_ANALYSIS
      : m_mgr(mgr) {
    m_mgr->LockShared();
    if (m_mgr->FindValueInMemory(path, separator, key, &m_value)) return;
    m_mgr->UnlockShared();
    m_mgr->Lock();
    m_alone = true;
    try {
      m_value = m_mgr->FindValue(path, key);
    } catch (...) {
      m_mgr->Unlock();
      throw;
    }
  }
  ~FullPathValue() NO_THREAD_SAFETY_ANALYSIS {
    if (m_alone) m_mgr->Unlock();
    else m_mgr->UnlockShared();
  }
  FullPathValue(const FullPathValue&) = delete;
  FullPathValue& operator=(const FullPathValue&) = delete;
  const KeyValue* Get() const { return m_value; }

 private:
  CConfigMgr* m_mgr;
  const KeyValue* m_value = nullptr;
  bool m_alone = false;
};

bool IsInteger(const KeyValue* v) { return v && (v->type & 15) == KEYVALUE_TYPE_INTEGER; }
bool IsString(const KeyValue* v) { return v && (v->type & 15) == KEYVALUE_TYPE_STRING && v->strValue; }

// What a read that could not be done answers: a plain section's built-in default, a full path's fallback.
long DefaultInt(const char* section, const char* key, long fallback) noexcept {
  CConfigMgr* mgr = GetConfigGlobals()->m_pConfigMgr;
  return mgr && !FirstSeparator(section) ? mgr->DefaultInt(section, key) : fallback;
}

}  // namespace

void SU_Config(const char* path) try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return;
  if (DirectoryMgr* dirs = GetConfigGlobals()->m_pDirectoryMgr) dirs->SetConfigPath(path);
  ConfigLock lock(mgr);
  mgr->EnableAllLayers();
} catch (...) {
}

void Config_SetConfigPath(const char* path) { SU_Config(path); }

void SD_Config(void) try {
  CConfigMgr* mgr = Manager();
  if (!mgr) return;
  // One last save of what could not be saved so far, then the trees go.
  mgr->SaveUnsavedChanges();
  ConfigLock lock(mgr);
  mgr->ReleaseTrees();
} catch (...) {
}

// The resets replace the managers: their callers run them while no other thread uses the configuration.
bool Config_Reset(void) try {
  CConfigGlobals* g = GetConfigGlobals();
  // The directory manager goes first; user.cfg must be erased while it still knows the folder.
  if (g->m_pConfigMgr) g->m_pConfigMgr->ApplyRestoreSettings();
  g->DestroyDirectoryMgr();
  g->ReplaceConfigMgr();
  g->CreateDirectoryMgr();
  return true;
} catch (...) {
  return true;
}

bool Config_ResetConfigMgr(void) try {
  GetConfigGlobals()->ReplaceConfigMgr();
  return true;
} catch (...) {
  return true;
}

long Config_GetIntValDefault(const char* section, const char* key, long defaultValue) try {
  CConfigMgr* mgr = Manager();
  if (!mgr) return 0;
  const char* separator = FirstSeparator(section);
  if (!separator) return mgr->ReadLayeredInt(section, key);
  const FullPathValue v(mgr, section, separator, key);
  return IsInteger(v.Get()) ? v.Get()->intValue : defaultValue;
} catch (...) {
  return DefaultInt(section, key, defaultValue);
}

long Config_GetIntVal(const char* section, const char* key) { return Config_GetIntValDefault(section, key, 0); }

void Config_SetIntVal(const char* section, const char* key, long value) try {
  CConfigMgr* mgr = Manager();
  if (!mgr) return;
  ConfigWrite write(mgr);
  write.Note(mgr->StoreValue(WritePath(section).c_str(), key, KEYVALUE_TYPE_INTEGER, value, "", write.Pending()));
  ReportedInLastSave(write.Finish());
} catch (...) {
  FailedWrite(section);
}

bool Config_GetBoolVal(const char* section, const char* key) { return Config_GetIntVal(section, key) != 0; }

void Config_SetBoolVal(const char* section, const char* key, bool value) {
  Config_SetIntVal(section, key, value ? 1 : 0);
}

bool Config_GetStrVal(const char* section, const char* key, char* buffer, int size, int* found) try {
  if (buffer && size > 0) buffer[0] = '\0';
  CConfigMgr* mgr = Manager();
  if (!mgr) return false;
  const char* separator = FirstSeparator(section);
  if (!separator) return mgr->ReadLayeredStr(section, key, buffer, size);
  const FullPathValue v(mgr, section, separator, key);
  const bool isString = IsString(v.Get());
  if (isString && buffer) CopyTruncated(buffer, size, v.Get()->strValue);
  if (found) *found = isString ? 1 : 0;
  return buffer && size > 0 && buffer[0] != '\0';
} catch (...) {
  CConfigMgr* mgr = GetConfigGlobals()->m_pConfigMgr;
  if (found && FirstSeparator(section)) *found = 0;
  return mgr && !FirstSeparator(section) && mgr->DefaultStr(section, key, buffer, size);
}

void Config_SetStrVal(const char* section, const char* key, const char* value) try {
  CConfigMgr* mgr = Manager();
  if (!mgr) return;
  ConfigWrite write(mgr);
  write.Note(mgr->StoreValue(WritePath(section).c_str(), key, KEYVALUE_TYPE_STRING, 0, value, write.Pending()));
  ReportedInLastSave(write.Finish());
} catch (...) {
  FailedWrite(section);
}

OROustring Config_GetOroUStrVal(const char* section, const char* key) try {
  char buffer[512];
  buffer[0] = '\0';
  // 511 bytes offered: at most 510 of the value.
  if (!Config_GetStrVal(section, key, buffer, 511, nullptr)) return OROustring();
  return OROustring(buffer);
} catch (...) {
  return OROustring();
}

void Config_SetOroUStrVal(const char* section, const char* key, const OROustring& value) {
  Config_SetStrVal(section, key, value.c_str());
}

bool Config_DoesKeyExist(const char* section, const char* key) try {
  CConfigMgr* mgr = Manager();
  if (!mgr) return false;
  const char* separator = FirstSeparator(section);
  if (!separator) return mgr->ReadLayeredKeyExists(section, key);
  const FullPathValue v(mgr, section, separator, key);
  return IsInteger(v.Get()) || IsString(v.Get());
} catch (...) {
  CConfigMgr* mgr = GetConfigGlobals()->m_pConfigMgr;
  return mgr && !FirstSeparator(section) && mgr->DefaultExists(section, key);
}

int Config_DeleteKeyVal(const char* path, const char* key) try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return 0;
  bool removed = false;
  ConfigWrite write(mgr);
  mgr->DeleteValue(path, key, &removed, write.Pending());
  ReportedInLastSave(write.Finish());
  return removed ? 1 : 0;
} catch (...) {
  FailedWrite(path);
  return 0;
}

int Config_DeleteKey(const char* path) try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return 0;
  bool removed = false;
  ConfigWrite write(mgr);
  mgr->DeleteBranch(path, &removed, write.Pending());
  ReportedInLastSave(write.Finish());
  return removed ? 1 : 0;
} catch (...) {
  FailedWrite(path);
  return 0;
}

void Config_FlushBranch(const char* path) try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return;
  ConfigLock lock(mgr);
  mgr->FlushBranch(path);
} catch (...) {
}

KeyRoot* Config_FindRoot(const char* path) try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return nullptr;
  ConfigLock lock(mgr);
  return mgr->FindSection(path);
} catch (...) {
  return nullptr;
}

KeyRoot* Config_SetBranch(const char* path) try {
  return path ? FirstChild(path) : nullptr;
} catch (...) {
  return nullptr;
}

int Config_GetLeaf(KeyRoot** cursor, char* buffer, int size) {
  try {
    GetConfigGlobals()->Setup();
  } catch (...) {
  }
  if (!cursor || !*cursor) {
    if (buffer && size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
    return 0;
  }
  if (buffer && size > 0) CopyTruncated(buffer, size, (*cursor)->name);
  *cursor = (*cursor)->next;
  return 1;
}

KeyValue* Config_SetBeginEnumKeyValue(const char* path) try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return nullptr;
  ConfigLock lock(mgr);
  KeyRoot* section = mgr->FindSection(path);
  return section ? section->values : nullptr;
} catch (...) {
  return nullptr;
}

int Config_GetNextKeyValue(KeyValue** cursor, char* buffer, int size) {
  try {
    GetConfigGlobals()->Setup();
  } catch (...) {
  }
  if (!cursor || !*cursor) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (buffer) CopyTruncated(buffer, size, (*cursor)->name);
  *cursor = (*cursor)->next;
  return 1;
}

int Config_GetSubKeyCount(const char* path, int* maxNameLength) try {
  if (maxNameLength) *maxNameLength = 0;
  if (!path) return 0;
  KeyRoot* node = FirstChild(path);
  int count = 0;
  for (; node; node = node->next) {
    if (!ManagerExists()) return count;
    const int length = static_cast<int>(std::strlen(node->name ? node->name : ""));
    if (maxNameLength && std::min(length, 254) > *maxNameLength) *maxNameLength = std::min(length, 254);
    ++count;
  }
  return count;
} catch (...) {
  return 0;
}

int Config_GetSubKey(const char* path, int index, char* buffer, int size) try {
  if (index < 0) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (!path) return 0;
  KeyRoot* node = FirstChild(path);
  for (int step = 0; node; ++step, node = node->next) {
    if (!ManagerExists()) return 0;
    if (step == index) return CopyName(node->name, 254, buffer, size);
  }
  return 0;
} catch (...) {
  return 0;
}

bool Config_RestoreDefaults(void) try {
  CConfigMgr* mgr = Manager();
  if (!mgr) return true;
  return mgr->EraseLayerFile("user");
} catch (...) {
  return false;
}

void Config_SetRestoreSettings(bool flag) try {
  if (CConfigMgr* mgr = Manager()) mgr->SetRestoreSettings(flag);
} catch (...) {
}

bool Config_GetRestoreSettings(void) try {
  CConfigMgr* mgr = Manager();
  return mgr && mgr->RestoreSettings();
} catch (...) {
  return false;
}

void Config_SetIsRightToLeft(bool flag) { GetConfigGlobals()->m_bRightToLeft = flag; }

bool Config_GetIsRightToLeft(void) { return GetConfigGlobals()->m_bRightToLeft; }

int Config_WriteTree(void) { return 0; }
