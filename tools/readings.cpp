// What the commands on settings share: what a setting reads and where that comes from, the names a write can
// store, and what a save did.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/keytree.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "json.h"
#include "tool.h"

namespace navtool {

// ---- What a setting reads ----

std::string SettingName(const std::string& section, const std::string& key) { return section + '\\' + key; }

// The section argument without its layer, as the catalogue names sections ("user\Image" gives "Image"); a
// plain section as it is.
std::string CatalogueSectionOf(const std::string& section) {
  if (!IsFullPath(section)) return section;
  const size_t slash = section.find('\\', section.find_first_not_of(" \\"));
  return slash == std::string::npos ? std::string() : section.substr(slash + 1);
}

// " did you mean <setting>?" for a setting that the catalogue lacks, when a known one is close; a full path
// keeps its layer.
std::string Suggestion(const std::string& section, const std::string& key) {
  const std::string rest = CatalogueSectionOf(section);
  if (FindDefault(SettingName(rest, key))) return {};
  const std::string nearest = NearestSetting(SettingName(rest, key));
  if (nearest.empty()) return {};
  return "; did you mean " + section.substr(0, section.size() - rest.size()) + nearest + "?";
}

// The value record at a full path, or null.
const KeyValue* ValueAt(const std::string& path, const std::string& key) {
  KeyRoot* section = Config_FindRoot(path.c_str());
  return section ? section->GetValue(key.c_str()) : nullptr;
}

bool IsHex(const KeyValue* v) { return v && (v->type & 0xF0) == KEYVALUE_FLAG_HEX; }

namespace {

// A string read into a buffer that grows until the whole value fits.
std::string ReadString(const std::string& section, const std::string& key) {
  std::vector<char> buffer(4096);
  for (;;) {
    Config_GetStrVal(section.c_str(), key.c_str(), buffer.data(), static_cast<int>(buffer.size()), nullptr);
    const size_t n = std::strlen(buffer.data());
    if (n + 1 < buffer.size() || buffer.size() >= (size_t{1} << 28)) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

void ReadValue(Reading& r, const std::string& section, const std::string& key) {
  if (r.type == ValueType::Integer) r.number = Config_GetIntVal(section.c_str(), key.c_str());
  else r.text = ReadString(section, key);
}

}  // namespace

// A plain section: the layers, then the default, read with the setting's type: the default's, or for a key
// without a default the type of the value that the first layer holding it has.
Reading ReadLayered(const std::string& section, const std::string& key) {
  Reading r;
  char layer[256];
  if (auto d = FindDefault(SettingName(section, key))) {
    r.type = d->isString ? ValueType::String : ValueType::Integer;
  } else {
    if (Config_GetValueOrigin(section.c_str(), key.c_str(), 0, layer, sizeof layer) == CONFIG_ORIGIN_NONE) return r;
    const KeyValue* v = ValueAt(std::string(layer) + '\\' + section, key);
    r.type = v && (v->type & 15) == KEYVALUE_TYPE_STRING ? ValueType::String : ValueType::Integer;
  }
  ReadValue(r, section, key);
  const unsigned type = r.type == ValueType::Integer ? KEYVALUE_TYPE_INTEGER : KEYVALUE_TYPE_STRING;
  r.origin = Config_GetValueOrigin(section.c_str(), key.c_str(), type, layer, sizeof layer);
  r.exists = r.origin != CONFIG_ORIGIN_NONE;
  if (r.origin == CONFIG_ORIGIN_LAYER || r.origin == CONFIG_ORIGIN_OTHER_TYPE) r.layer = layer;
  if (r.origin == CONFIG_ORIGIN_LAYER) r.hex = IsHex(ValueAt(r.layer + '\\' + section, key));
  const unsigned other = type == KEYVALUE_TYPE_INTEGER ? KEYVALUE_TYPE_STRING : KEYVALUE_TYPE_INTEGER;
  for (const char* name : {"user", "user_ro", "product"}) {
    if (EqualFolded(name, r.layer)) break;
    const KeyValue* v = ValueAt(std::string(name) + '\\' + section, key);
    if (v && (v->type & 15) == other) r.skipped.push_back(name);
  }
  return r;
}

// A full path: that path alone, read with the type of the value it holds.
Reading ReadPath(const std::string& path, const std::string& key) {
  Reading r;
  char layer[256];
  if (Config_GetValueOrigin(path.c_str(), key.c_str(), 0, layer, sizeof layer) != CONFIG_ORIGIN_LAYER) return r;
  const KeyValue* v = ValueAt(path, key);
  r.exists = true;
  r.origin = CONFIG_ORIGIN_LAYER;
  r.layer = layer;
  r.type = v && (v->type & 15) == KEYVALUE_TYPE_STRING ? ValueType::String : ValueType::Integer;
  r.hex = IsHex(v);
  ReadValue(r, path, key);
  return r;
}

Reading Read(const std::string& section, const std::string& key) {
  return IsFullPath(section) ? ReadPath(section, key) : ReadLayered(section, key);
}

std::string ValueText(const Reading& r) { return r.type == ValueType::Integer ? FormatInt(r.number, r.hex) : r.text; }

std::string OriginName(const Reading& r) {
  switch (r.origin) {
    case CONFIG_ORIGIN_LAYER: return r.layer;
    case CONFIG_ORIGIN_DEFAULT: return "default";
    case CONFIG_ORIGIN_OTHER_TYPE: return r.layer;
    case CONFIG_ORIGIN_NONE: break;
  }
  return "none";
}

std::string OriginText(const Reading& r) { return OriginText(r, OriginName(r)); }

std::string OriginText(const Reading& r, const std::string& origin) {
  const char* otherType = r.type == ValueType::Integer ? "a string" : "an integer";
  std::string text = origin;
  if (r.origin == CONFIG_ORIGIN_OTHER_TYPE) {
    text += std::string(", which holds ") + otherType +
            (r.type == ValueType::Integer ? ": an integer read gives 0" : ": a string read gives nothing");
  }
  for (size_t i = 0; i < r.skipped.size(); ++i) text += (i ? " and " : "; ") + r.skipped[i];
  if (!r.skipped.empty())
    text += std::string(r.skipped.size() == 1 ? " holds " : " hold ") + otherType + ", which reads skip";
  return text;
}

void WriteReading(JsonWriter& json, const std::string& setting, const Reading& r) {
  json.Field("setting", setting);
  json.Field("type", TypeName(r.type));
  json.Key("value");
  if (r.type == ValueType::Integer) json.Int(r.number);
  else json.String(r.text);
  if (r.type == ValueType::Integer) json.Field("hex", r.hex);
  json.Field("origin", OriginName(r));
  json.Field("otherType", r.origin == CONFIG_ORIGIN_OTHER_TYPE);
  json.Key("skipped").BeginArray();
  for (const std::string& layer : r.skipped) json.String(layer);
  json.EndArray();
}

// ---- What a .cfg file can carry ----

namespace {

bool HasQuoteByte(std::string_view text) { return text.find_first_of("\"\xEE\xEF") != std::string_view::npos; }

}  // namespace

bool HasLineBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckNames(const std::string& section, const std::string& key) {
  if (section.empty() || LayerOf(section).empty()) Fail(kExitUsage, "the section is empty");
  if (key.empty()) Fail(kExitUsage, "the key is empty");
  // The library takes " user\\Image" for a layer " user", which no file holds.
  if (IsFullPath(section) && section.substr(0, section.find_first_not_of(" \\")).find(' ') != std::string::npos)
    Fail(kExitUsage, "'" + section + "' has a blank before its layer's name; layers are named without one");
}

bool NamesLayerOnly(const std::string& section) {
  if (!IsFullPath(section)) return false;
  const std::string rest = section.substr(section.find_first_not_of(" \\") + LayerOf(section).size());
  return rest.find_first_not_of('\\') == std::string::npos;
}

std::string WriteFault(const std::string& section, const std::string& key) {
  if (HasLineBreak(section) || section.find_first_of("[]") != std::string::npos)
    return "section '" + section + "' holds a bracket or a line break, which a .cfg header cannot carry";
  const std::string layer = LayerOf(section);
  if (IsFullPath(section) && (layer == "." || layer == ".." || layer.find('/') != std::string::npos))
    return "layer '" + layer + "' cannot name a file in the configuration folder";
  if (NamesLayerOnly(section)) return "'" + section + "' names a layer but no section in it";
  // The library keeps a section path, with its layer, up to kMaxSectionPath bytes: a longer one would be stored
  // cut, under another section than the one named.
  const std::string path = IsFullPath(section) ? section : "user\\" + section;
  if (path.size() > kMaxSectionPath)
    return "section path '" + path + "' is " + std::to_string(path.size()) + " bytes long; the library keeps " +
           std::to_string(kMaxSectionPath) + " bytes of a section path with its layer";
  // The reader ends a key at '"' and skips the quote bytes ('"', 0xEE, 0xEF) before it. It reads a key holding
  // '=', but the library's setters refuse one.
  if (HasLineBreak(key) || key.find_first_of("\"=") != std::string::npos || HasQuoteByte(key.substr(0, 1)))
    return "key '" + key +
           "' holds '\"', '=' or a line break, or starts with the byte 0xEE or 0xEF, which the library does not write";
  return {};
}

void CheckWritableNames(const std::string& section, const std::string& key) {
  CheckNames(section, key);
  if (const std::string fault = WriteFault(section, key); !fault.empty()) Fail(kExitUsage, fault);
}

// ---- Saves ----

// The saved file of a layer after a change, or the error that it could not be saved.
std::string CheckSaved(const std::string& layer) {
  bool ok = true;
  char file[4096], reason[1024];
  // No save of the layer since the start: the library found nothing to change in it (a layer that cannot name a
  // file has a failed save, with the reason).
  if (!Config_GetLastSaveStatus(layer.c_str(), &ok, file, sizeof file, reason, sizeof reason))
    Fail(kExitFailure, "the library made none of the changes to layer '" + layer + "'; nothing was written");
  if (!ok) Fail(kExitFailure, std::string("could not save ") + file + ": " + reason);
  return file;
}

// The library sets a layer's previous file aside as <file>.bak (or .bak.1, ...) when a save replaces one that is
// no text; the user learns where. The start saves the user layer too.
void TellKeptCopies(const std::string& layer) {
  std::vector<std::string> layers{layer};
  if (!EqualFolded(layer, "user")) layers.push_back("user");
  for (const std::string& name : layers) {
    char copy[4096];
    if (!Config_GetLastSaveBackup(name.c_str(), copy, sizeof copy)) continue;
    const std::string kept = copy;
    Warn(kept.substr(0, kept.rfind(".bak")) + " was no text file; the previous file is saved as " + kept);
  }
}

// Changing the installation's layers (product, user_ro) or a map layer, which the application only reads, or a
// layer that no file holds yet (a misspelt layer name would quietly make a new file) needs --force.
void RequireForce(const std::string& layer, bool force) {
  const std::string folded = Folded(layer);
  if (force || folded == "user") return;
  if (folded == "product" || folded == "user_ro")
    Fail(kExitUsage, "'" + layer + "' is a layer of the installation, which the application only reads; add --force to "
                     "change " + folded + ".cfg");
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string file = (dirs ? dirs->GetConfigDir().uString().str() : std::string()) + folded + ".cfg";
  std::error_code error;
  if (std::filesystem::exists(PathOf(file), error)) return;
  // A map layer's file in the runtime's maps/ comes with the map data: a change is saved to the configuration
  // folder, whose file is read in its place from then on.
  char mapFile[4096];
  if (Config_GetLayerFile(layer.c_str(), mapFile, sizeof mapFile))
    Fail(kExitUsage, "the layer '" + layer + "' is read from " + mapFile + ", which the application only reads; add " +
                         "--force to write it, changed, to " + file + ", which is read in its place from then on");
  const std::string nearest = NearestOf(layer, {"user", "user_ro", "product"});
  Fail(kExitUsage, "no file holds the layer '" + layer + "' yet" +
                       (nearest.empty() ? std::string() : " (did you mean '" + nearest + "'?)") +
                       "; add --force to write " + file);
}

// The section of a full path into user, user_ro or product that layered reads search ("product\Image" gives
// "Image"); empty for another layer or a section below a section.
std::string StandardSection(const std::string& path) {
  const std::string layer = Folded(LayerOf(path));
  const std::string rest = CatalogueSectionOf(path);
  if (layer != "user" && layer != "user_ro" && layer != "product") return {};
  return rest.find('\\') == std::string::npos ? rest : std::string();
}

}  // namespace navtool
