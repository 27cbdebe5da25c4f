// The exported configuration functions: thin shims that set the globals up, take the lock, resolve the
// section argument and call the manager.
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

// Hands the value at a full path to use (null when absent): found holding the lock for reading when the
// path's layer is in memory, otherwise holding the lock alone, the layer's file read first.
template <typename Use>
auto ReadFullPath(CConfigMgr* mgr, const char* path, const char* separator, const char* key, Use use) {
  {
    SharedConfigLock shared(mgr);
    const KeyValue* value = nullptr;
    if (mgr->FindValueInMemory(path, separator, key, &value)) return use(value);
  }
  ConfigLock lock(mgr);
  return use(mgr->FindValue(path, key));
}

}  // namespace

void SU_Config(const char* path) {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return;
  if (DirectoryMgr* dirs = GetConfigGlobals()->m_pDirectoryMgr) dirs->SetConfigPath(path);
  mgr->EnableAllLayers();
}

void Config_SetConfigPath(const char* path) { SU_Config(path); }

void SD_Config(void) {
  if (CConfigMgr* mgr = Manager()) mgr->ReleaseTrees();
}

bool Config_Reset(void) {
  CConfigGlobals* g = GetConfigGlobals();
  // The directory manager goes first; user.cfg must be erased while it still knows the folder.
  if (g->m_pConfigMgr) g->m_pConfigMgr->ApplyRestoreSettings();
  g->DestroyDirectoryMgr();
  g->ReplaceConfigMgr();
  g->CreateDirectoryMgr();
  return true;
}

bool Config_ResetConfigMgr(void) {
  GetConfigGlobals()->ReplaceConfigMgr();
  return true;
}

long Config_GetIntValDefault(const char* section, const char* key, long defaultValue) {
  CConfigMgr* mgr = Manager();
  if (!mgr) return 0;
  const char* separator = FirstSeparator(section);
  if (!separator) return ReadLayered(mgr, [&] { return mgr->GetLayeredInt(section, key); });
  return ReadFullPath(mgr, section, separator, key, [&](const KeyValue* v) -> long {
    return (v && (v->type & 15) == KEYVALUE_TYPE_INTEGER) ? v->intValue : defaultValue;
  });
}

long Config_GetIntVal(const char* section, const char* key) { return Config_GetIntValDefault(section, key, 0); }

void Config_SetIntVal(const char* section, const char* key, long value) {
  CConfigMgr* mgr = Manager();
  if (!mgr) return;
  ConfigLock lock(mgr);
  ReportedInLastSave(mgr->StoreValue(WritePath(section).c_str(), key, KEYVALUE_TYPE_INTEGER, value, ""));
}

bool Config_GetBoolVal(const char* section, const char* key) { return Config_GetIntVal(section, key) != 0; }

void Config_SetBoolVal(const char* section, const char* key, bool value) {
  Config_SetIntVal(section, key, value ? 1 : 0);
}

bool Config_GetStrVal(const char* section, const char* key, char* buffer, int size, int* found) {
  CConfigMgr* mgr = Manager();
  if (!mgr) {
    if (buffer && size > 0) buffer[0] = '\0';
    return false;
  }
  const char* separator = FirstSeparator(section);
  if (!separator) return ReadLayered(mgr, [&] { return mgr->GetLayeredStr(section, key, buffer, size); });
  return ReadFullPath(mgr, section, separator, key, [&](const KeyValue* v) -> bool {
    if (buffer && size > 0) buffer[0] = '\0';
    const bool isString = v && (v->type & 15) == KEYVALUE_TYPE_STRING && v->strValue;
    if (isString && buffer) CopyTruncated(buffer, size, v->strValue);
    if (found) *found = isString ? 1 : 0;
    return buffer && size > 0 && buffer[0] != '\0';
  });
}

void Config_SetStrVal(const char* section, const char* key, const char* value) {
  CConfigMgr* mgr = Manager();
  if (!mgr) return;
  ConfigLock lock(mgr);
  ReportedInLastSave(mgr->StoreValue(WritePath(section).c_str(), key, KEYVALUE_TYPE_STRING, 0, value));
}

OROustring Config_GetOroUStrVal(const char* section, const char* key) {
  char buffer[512];
  buffer[0] = '\0';
  // 511 bytes offered: at most 510 of the value.
  if (!Config_GetStrVal(section, key, buffer, 511, nullptr)) return OROustring();
  return OROustring(buffer);
}

void Config_SetOroUStrVal(const char* section, const char* key, const OROustring& value) {
  Config_SetStrVal(section, key, value.c_str());
}

bool Config_DoesKeyExist(const char* section, const char* key) {
  CConfigMgr* mgr = Manager();
  if (!mgr) return false;
  const char* separator = FirstSeparator(section);
  if (!separator) return ReadLayered(mgr, [&] { return mgr->LayeredKeyExists(section, key); });
  return ReadFullPath(mgr, section, separator, key, [&](const KeyValue* v) -> bool {
    return v && ((v->type & 15) == KEYVALUE_TYPE_STRING || (v->type & 15) == KEYVALUE_TYPE_INTEGER);
  });
}

int Config_DeleteKeyVal(const char* path, const char* key) {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return 0;
  ConfigLock lock(mgr);
  bool removed = false;
  ReportedInLastSave(mgr->DeleteValue(path, key, &removed));
  return removed ? 1 : 0;
}

int Config_DeleteKey(const char* path) {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return 0;
  ConfigLock lock(mgr);
  bool removed = false;
  ReportedInLastSave(mgr->DeleteBranch(path, &removed));
  return removed ? 1 : 0;
}

void Config_FlushBranch(const char* path) {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return;
  ConfigLock lock(mgr);
  mgr->FlushBranch(path);
}

KeyRoot* Config_FindRoot(const char* path) {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return nullptr;
  ConfigLock lock(mgr);
  return mgr->FindSection(path);
}

KeyRoot* Config_SetBranch(const char* path) { return path ? FirstChild(path) : nullptr; }

int Config_GetLeaf(KeyRoot** cursor, char* buffer, int size) {
  GetConfigGlobals()->Setup();
  if (!cursor || !*cursor) {
    if (buffer && size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
    return 0;
  }
  if (buffer && size > 0) CopyTruncated(buffer, size, (*cursor)->name);
  *cursor = (*cursor)->next;
  return 1;
}

KeyValue* Config_SetBeginEnumKeyValue(const char* path) {
  CConfigMgr* mgr = Manager();
  if (!mgr || !path) return nullptr;
  ConfigLock lock(mgr);
  KeyRoot* section = mgr->FindSection(path);
  return section ? section->values : nullptr;
}

int Config_GetNextKeyValue(KeyValue** cursor, char* buffer, int size) {
  GetConfigGlobals()->Setup();
  if (!cursor || !*cursor) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (buffer) CopyTruncated(buffer, size, (*cursor)->name);
  *cursor = (*cursor)->next;
  return 1;
}

int Config_GetSubKeyCount(const char* path, int* maxNameLength) {
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
}

int Config_GetSubKey(const char* path, int index, char* buffer, int size) {
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
}

bool Config_RestoreDefaults(void) {
  CConfigMgr* mgr = Manager();
  if (!mgr) return true;
  ConfigLock lock(mgr);
  return mgr->EraseLayerFile("user");
}

void Config_SetRestoreSettings(bool flag) {
  if (CConfigMgr* mgr = Manager()) mgr->SetRestoreSettings(flag);
}

bool Config_GetRestoreSettings(void) {
  CConfigMgr* mgr = Manager();
  return mgr && mgr->RestoreSettings();
}

void Config_SetIsRightToLeft(bool flag) { GetConfigGlobals()->m_bRightToLeft = flag; }

bool Config_GetIsRightToLeft(void) { return GetConfigGlobals()->m_bRightToLeft; }

int Config_WriteTree(void) { return 0; }
