// The inspection functions: the catalogue as registered, where a read finds its value, the outcome of saves,
// the hexadecimal setter, the directory table and the reader's verdict on one line.
//
// The origin of a value is worked out beside the layered reads, not inside them: it probes each layer with the
// full-path lookups that the reads themselves are made of, under the same rules, so that the reads stay as
// they are.
#include <config/config_globals.h>
#include <config/config_info.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "cfg_format.h"
#include "config_catalogue.h"
#include "configmgr.h"
#include "directory_paths.h"

using namespace navconfig;

namespace {

// ---- The catalogue ----

struct RegisteredDefault {
  const CatalogueEntry* entry;
  bool priority;
  bool shadowed;
};

std::string Folded(const char* text) {
  std::string out(text ? text : "");
  for (auto& c : out) c = FoldAscii(c);
  return out;
}

// An index into the registered entries. (A type of this file's own keeps the maps' code out of the
// library's exported symbols.)
struct Position {
  size_t index;
};

// Every entry in registration order, and the entry that a lookup of each key finds.
struct Registration {
  std::vector<RegisteredDefault> entries;
  std::unordered_map<std::string, Position> effective;  // folded key -> the entry found

  Registration() {
    for (size_t s = 0; s < kCatalogueSectionCount; ++s) {
      const CatalogueSection& section = kCatalogueSections[s];
      for (size_t i = 0; i < section.count; ++i) entries.push_back({&section.entries[i], false, false});
    }
    const size_t mainCount = entries.size();
    for (size_t i = 0; i < kPriorityCatalogueCount; ++i) entries.push_back({&kPriorityCatalogue[i], true, false});

    // Within a table a later entry hides an earlier one (it goes in front of its chain); the priority table
    // hides the main table.
    std::unordered_map<std::string, Position> mainWinner, priorityWinner;
    for (size_t i = 0; i < entries.size(); ++i) {
      auto& winners = i < mainCount ? mainWinner : priorityWinner;
      const std::string key = Folded(entries[i].entry->key);
      auto [it, inserted] = winners.try_emplace(key, Position{i});
      if (!inserted) {
        entries[it->second.index].shadowed = true;
        it->second.index = i;
      }
    }
    effective = mainWinner;
    for (const auto& [key, position] : priorityWinner) {
      auto it = effective.find(key);
      if (it != effective.end()) {
        entries[it->second.index].shadowed = true;
        it->second = position;
      } else {
        effective.emplace(key, position);
      }
    }
  }
};

const Registration& Catalogue() {
  static const Registration registration;
  return registration;
}

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

bool IsFullPath(const char* section) { return std::strchr(section, '\\') != nullptr; }

// Whether a value answers a read of the type (0: the existence test).
bool Answers(const KeyValue* v, unsigned type) {
  if (!v) return false;
  const unsigned t = v->type & 15;
  if (type == KEYVALUE_TYPE_INTEGER) return t == KEYVALUE_TYPE_INTEGER;
  if (type == KEYVALUE_TYPE_STRING) return t == KEYVALUE_TYPE_STRING && v->strValue;
  return t == KEYVALUE_TYPE_INTEGER || t == KEYVALUE_TYPE_STRING;
}

ConfigOrigin Named(ConfigOrigin origin, const std::string& layer, char* buffer, int size) {
  if (buffer && size > 0) CopyTruncated(buffer, size, layer.c_str());
  return origin;
}

}  // namespace

int Config_GetDefaultCount(void) { return static_cast<int>(Catalogue().entries.size()); }

bool Config_GetDefaultAt(int index, ConfigDefaultInfo* info) {
  const auto& entries = Catalogue().entries;
  if (index < 0 || static_cast<size_t>(index) >= entries.size() || !info) return false;
  Describe(entries[static_cast<size_t>(index)], info);
  return true;
}

bool Config_FindDefaultInfo(const char* key, ConfigDefaultInfo* info) {
  if (!key) return false;
  const Registration& catalogue = Catalogue();
  auto it = catalogue.effective.find(Folded(key));
  if (it == catalogue.effective.end()) return false;
  if (info) Describe(catalogue.entries[it->second.index], info);
  return true;
}

ConfigOrigin Config_GetValueOrigin(const char* section, const char* key, unsigned type, char* layer, int layerSize) {
  if (layer && layerSize > 0) layer[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !section || !key) return CONFIG_ORIGIN_NONE;
  ConfigLock lock(mgr);

  if (IsFullPath(section)) {
    if (!Answers(mgr->FindValue(section, key), type)) return CONFIG_ORIGIN_NONE;
    return Named(CONFIG_ORIGIN_LAYER, LayerName(section), layer, layerSize);
  }

  // The layers in order, skipping those without a file, as a layered read does; a layer found without a
  // file is skipped by later reads too, which is what the read would have recorded.
  int otherType = -1;  // the layer whose value of the other type the read remembers
  for (int i = 0; i < CConfigMgr::kLayerCount; ++i) {
    CConfigMgr::Layer& candidate = mgr->m_layers[i];
    if (!candidate.enabled) continue;
    const bool available = mgr->EnsureLayer(candidate.name);
    candidate.enabled = available;
    if (!available) continue;
    const std::string path = std::string(candidate.name) + '\\' + section;
    const KeyValue* v = mgr->FindValue(path.c_str(), key);
    if (Answers(v, type)) return Named(CONFIG_ORIGIN_LAYER, candidate.name, layer, layerSize);
    if (type != 0) otherType = v ? i : -1;
  }
  if (otherType >= 0) return Named(CONFIG_ORIGIN_OTHER_TYPE, mgr->m_layers[otherType].name, layer, layerSize);
  const std::string defaultsKey = std::string(section) + '\\' + key;
  return Globals().HasDefault(defaultsKey.c_str()) ? CONFIG_ORIGIN_DEFAULT : CONFIG_ORIGIN_NONE;
}

bool Config_GetLastSaveStatus(const char* layer, bool* ok, char* file, int fileSize, char* reason, int reasonSize) {
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
}

bool Config_GetLastSaveBackup(const char* layer, char* file, int fileSize) {
  if (file && fileSize > 0) file[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !layer) return false;
  ConfigLock lock(mgr);
  const SaveStatus* status = mgr->LastSave(layer);
  if (!status || status->backup.empty()) return false;
  if (file && fileSize > 0) CopyTruncated(file, fileSize, status->backup.c_str());
  return true;
}

bool Config_GetLayerFile(const char* layer, char* file, int fileSize) {
  if (file && fileSize > 0) file[0] = '\0';
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !layer) return false;
  ConfigLock lock(mgr);
  const std::string own = mgr->LayerFilePath(layer);
  if (own.empty()) return false;
  const std::string used = platform::IsRegularFile(own) ? own : FallbackLayerFile(layer);
  if (file && fileSize > 0) CopyTruncated(file, fileSize, (used.empty() ? own : used).c_str());
  return !used.empty();
}

void Config_SetHexVal(const char* section, const char* key, long value) {
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr || !section) return;
  ConfigLock lock(mgr);
  const std::string path = IsFullPath(section) ? std::string(section) : "user\\" + std::string(section);
  mgr->StoreValue(path.c_str(), key, KEYVALUE_TYPE_INTEGER | KEYVALUE_FLAG_HEX, value, "");
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
  const char* end = line + length;
  if (parsed.isString) {
    // Through the closing quote when there is one; a text running to the line's end has none.
    const char* stop = parsed.text + parsed.textLength;
    if (stop < end && cfg::IsQuote(*stop)) ++stop;
    info->used = static_cast<size_t>(stop - line);
    return kind;
  }
  // The number starts after the key's closing quote and the '=' bytes; "%li" takes a sign and then the digits
  // of its base.
  const char* p = parsed.name + parsed.nameLength + 1;
  while (p < end && *p == cfg::kAssign) ++p;
  if (p < end && *p == '-') ++p;
  auto isHex = [](char c) { return custom_isdigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
  if (p + 2 < end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isHex(p[2])) {
    for (p += 2; p < end && isHex(*p);) ++p;
  } else if (p < end && *p == '0') {
    while (p < end && *p >= '0' && *p <= '7') ++p;
  } else {
    while (p < end && custom_isdigit(*p)) ++p;
  }
  info->used = static_cast<size_t>(p - line);
  return kind;
}
