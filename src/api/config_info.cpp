// The inspection functions: the catalogue as registered, where a read finds its value, the outcome of saves,
// the hexadecimal setter, the directory table and the reader's verdict on one line.
#include <config/config_globals.h>
#include <config/config_info.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>

#include <cstring>
#include <string>

#include "api/globals.h"
#include "cfg/format.h"
#include "defaults/catalogue.h"
#include "directories/directory_table.h"
#include "store/configmgr.h"

using namespace navconfig;

namespace {

// ---- The catalogue ----

void Describe(const RegisteredDefault& r, ConfigDefaultInfo* info) {
  const CatalogueEntry& e = *r.entry;
  info->key = e.key;
  info->isString = e.strValue != nullptr;
  info->strValue = e.strValue;
  info->intValue = e.strValue ? 0 : e.intValue;
  if (e.memoryDependent) info->intValue = MemoryDependentValue(GetCacheMgr()->GetMemoryLevel(false));
  info->memoryDependent = e.memoryDependent;
  info->priority = r.priority;
  info->shadowed = r.shadowed;
}

// ---- Origins ----

ConfigOrigin Named(ConfigOrigin origin, const std::string& layer, char* buffer, int size) {
  if (buffer && size > 0) CopyTruncated(buffer, size, layer.c_str());
  return origin;
}

}  // namespace

int Config_GetDefaultCount(void) { return static_cast<int>(RegisteredDefaults().size()); }

bool Config_GetDefaultAt(int index, ConfigDefaultInfo* info) {
  const auto& entries = RegisteredDefaults();
  if (index < 0 || static_cast<size_t>(index) >= entries.size() || !info) return false;
  Describe(entries[static_cast<size_t>(index)], info);
  return true;
}

bool Config_FindDefaultInfo(const char* key, ConfigDefaultInfo* info) {
  if (!key) return false;
  const RegisteredDefault* found = FindRegisteredDefault(key);
  if (!found) return false;
  if (info) Describe(*found, info);
  return true;
}

ConfigOrigin Config_GetValueOrigin(const char* section, const char* key, unsigned type, char* layer, int layerSize) try {
  if (layer && layerSize > 0) layer[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !section || !key) return CONFIG_ORIGIN_NONE;
  ConfigLock lock(mgr);
  const CConfigMgr::Origin origin = mgr->FindOrigin(section, key, type);
  switch (origin.kind) {
    case CConfigMgr::Origin::Kind::Layer: return Named(CONFIG_ORIGIN_LAYER, origin.layer, layer, layerSize);
    case CConfigMgr::Origin::Kind::OtherType: return Named(CONFIG_ORIGIN_OTHER_TYPE, origin.layer, layer, layerSize);
    case CConfigMgr::Origin::Kind::Default: return CONFIG_ORIGIN_DEFAULT;
    case CConfigMgr::Origin::Kind::None: break;
  }
  return CONFIG_ORIGIN_NONE;
} catch (...) {
  return CONFIG_ORIGIN_NONE;
}

bool Config_GetLastSaveStatus(const char* layer, bool* ok, char* file, int fileSize, char* reason, int reasonSize) try {
  if (file && fileSize > 0) file[0] = '\0';
  if (reason && reasonSize > 0) reason[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !layer) return false;
  ConfigLock lock(mgr);
  const SaveStatus* status = mgr->LastSave(layer);
  if (!status || !status->attempted) return false;
  if (ok) *ok = status->ok;
  if (file && fileSize > 0) CopyTruncated(file, fileSize, status->file.c_str());
  if (reason && reasonSize > 0) CopyTruncated(reason, reasonSize, status->reason.c_str());
  return true;
} catch (...) {
  return false;
}

bool Config_GetLastSaveBackup(const char* layer, char* file, int fileSize) try {
  if (file && fileSize > 0) file[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !layer) return false;
  ConfigLock lock(mgr);
  const SaveStatus* status = mgr->LastSave(layer);
  if (!status || status->backup.empty()) return false;
  if (file && fileSize > 0) CopyTruncated(file, fileSize, status->backup.c_str());
  return true;
} catch (...) {
  return false;
}

bool Config_GetLayerFile(const char* layer, char* file, int fileSize) try {
  if (file && fileSize > 0) file[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !layer) return false;
  ConfigLock lock(mgr);
  bool exists = false;
  const std::string used = mgr->LayerSourceFile(layer, &exists);
  if (used.empty()) return false;
  if (file && fileSize > 0) CopyTruncated(file, fileSize, used.c_str());
  return exists;
} catch (...) {
  return false;
}

void Config_SetHexVal(const char* section, const char* key, long value) try {
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !section) return;
  const std::string path = WritePath(section);
  ConfigWrite write(mgr);
  write.Note(mgr->StoreValue(path.c_str(), key, KEYVALUE_TYPE_INTEGER | KEYVALUE_FLAG_HEX, value, "", write.Pending()));
  ReportedInLastSave(write.Finish());
} catch (...) {
  FailedWrite(section);
}

int Config_GetDirectoryTableCount(void) { return static_cast<int>(std::size(kTableDirectories)); }

const char* Config_GetDirectoryTableName(int index) {
  if (index < 0 || index >= Config_GetDirectoryTableCount()) return nullptr;
  return kTableDirectories[index];
}

const char* Config_GetRequiredFile(const char* name, int index) {
  if (!name || index < 0) return nullptr;
  for (const RequiredFiles& row : kRequiredFiles) {
    // The directory manager compares names exactly.
    if (std::strcmp(row.directory, name) != 0) continue;
    for (int i = 0; row.files[i]; ++i)
      if (i == index) return row.files[i];
    return nullptr;
  }
  return nullptr;
}

ConfigLineKind Config_ClassifyLine(const char* line, size_t length, ConfigLineInfo* info) {
  const cfg::ParsedLine parsed = line ? cfg::ParseLine(line, length) : cfg::ParsedLine();
  ConfigLineKind kind = CONFIG_LINE_IGNORED;
  switch (parsed.kind) {
    case cfg::LineKind::Ignored: kind = CONFIG_LINE_IGNORED; break;
    case cfg::LineKind::Header: kind = CONFIG_LINE_HEADER; break;
    case cfg::LineKind::HeaderNoName: kind = CONFIG_LINE_HEADER_NO_NAME; break;
    case cfg::LineKind::Value: kind = CONFIG_LINE_VALUE; break;
    case cfg::LineKind::NoClosingQuote: kind = CONFIG_LINE_NO_CLOSING_QUOTE; break;
    case cfg::LineKind::BlankBeforeAssign: kind = CONFIG_LINE_BLANK_BEFORE_ASSIGN; break;
    case cfg::LineKind::BadValue: kind = CONFIG_LINE_BAD_VALUE; break;
  }
  if (!info) return kind;
  *info = ConfigLineInfo{};
  info->kind = kind;
  info->name = parsed.name;
  info->nameLength = parsed.nameLength;
  info->used = length;
  if (kind != CONFIG_LINE_VALUE) return kind;

  info->isString = parsed.isString;
  info->text = parsed.text;
  info->textLength = parsed.textLength;
  info->number = parsed.number;
  info->hex = parsed.hex;
  info->used = cfg::ValueLineExtent(line, length, parsed);
  return kind;
}
