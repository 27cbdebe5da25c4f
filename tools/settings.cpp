// The commands on settings: get, set, unset, list, defaults and sections.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/keytree.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "json.h"
#include "tool.h"

namespace navtool {

namespace {

enum class ValueType { Integer, String };

const char* TypeName(ValueType type) { return type == ValueType::Integer ? "integer" : "string"; }

// What a module reading the setting gets, and where it comes from.
struct Reading {
  bool exists = false;  // some layer holds the key, or it has a default
  ValueType type = ValueType::Integer;
  long number = 0;
  bool hex = false;  // the value is kept in hexadecimal form
  std::string text;
  ConfigOrigin origin = CONFIG_ORIGIN_NONE;
  std::string layer;  // the layer that decides the read (origin LAYER or OTHER_TYPE)
  // Layers searched before that one (all three for a default) that hold a value of the other type, which the
  // read passes over.
  std::vector<std::string> skipped;
};

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

std::string OriginText(const Reading& r) {
  const char* otherType = r.type == ValueType::Integer ? "a string" : "an integer";
  std::string text = OriginName(r);
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

bool HasQuoteByte(std::string_view text) { return text.find_first_of("\"\xEE\xEF") != std::string_view::npos; }
bool HasLineBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckNames(const std::string& section, const std::string& key) {
  if (section.empty() || LayerOf(section).empty()) Fail(kExitUsage, "the section is empty");
  if (key.empty()) Fail(kExitUsage, "the key is empty");
}

// Names that a write would put into a file: the file must carry them, and a full path's layer must name a
// file in the configuration folder.
void CheckWritableNames(const std::string& section, const std::string& key) {
  CheckNames(section, key);
  if (HasLineBreak(section) || section.find_first_of("[]") != std::string::npos)
    Fail(kExitUsage, "section '" + section + "' holds a bracket or a line break, which a .cfg header cannot carry");
  const std::string layer = LayerOf(section);
  if (IsFullPath(section) && (layer == "." || layer == ".." || layer.find('/') != std::string::npos))
    Fail(kExitUsage, "layer '" + layer + "' cannot name a file in the configuration folder");
  if (IsFullPath(section)) {
    // The writer writes sections; a value of the layer itself would stay in memory only.
    const std::string rest = section.substr(section.find_first_not_of(" \\") + layer.size());
    if (rest.find_first_not_of('\\') == std::string::npos)
      Fail(kExitUsage, "'" + section + "' names a layer but no section in it");
  }
  // The reader ends a key at '"' and skips the quote bytes ('"', 0xEE, 0xEF) before it.
  if (HasLineBreak(key) || key.find_first_of("\"=") != std::string::npos || HasQuoteByte(key.substr(0, 1)))
    Fail(kExitUsage, "key '" + key +
                         "' holds '\"', '=' or a line break, or starts with the byte 0xEE or 0xEF, which a .cfg file "
                         "cannot carry");
}

// The file format has no escaping: a line break ends the line (a string runs to the line's last '"').
void CheckStoredText(const std::string& setting, const std::string& value) {
  if (HasLineBreak(value))
    Fail(kExitUsage, "the value for " + setting + " holds a line break, which a .cfg file cannot carry");
}

// A value as it stands at a full path, to tell whether a write changed anything.
struct Snapshot {
  bool exists = false;
  uint32_t type = 0;
  long number = 0;
  std::string text;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const std::string& path, const std::string& key) {
  Snapshot s;
  const KeyValue* v = ValueAt(path, key);
  if (!v) return s;
  s.exists = true;
  s.type = v->type;
  if ((v->type & 15) == KEYVALUE_TYPE_INTEGER) s.number = v->intValue;
  else if (v->strValue) s.text = v->strValue;
  return s;
}

// The saved file of a layer after a change, or the error that it could not be saved.
std::string CheckSaved(const std::string& layer) {
  bool ok = true;
  char file[4096], reason[1024];
  if (!Config_GetLastSaveStatus(layer.c_str(), &ok, file, sizeof file, reason, sizeof reason))
    Fail(kExitFailure, "could not save layer '" + layer + "': its name cannot name a file in the configuration folder");
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

// The type of the setting: the catalogue's (for a full path, that of the path without its layer); for a key
// that the catalogue lacks, the type of the value now in effect. None when there is neither.
std::optional<ValueType> SettingType(const std::string& section, const std::string& key) {
  if (auto d = FindDefault(SettingName(CatalogueSectionOf(section), key)))
    return d->isString ? ValueType::String : ValueType::Integer;
  char layer[256];
  if (Config_GetValueOrigin(section.c_str(), key.c_str(), 0, layer, sizeof layer) == CONFIG_ORIGIN_LAYER) {
    const KeyValue* v = ValueAt(IsFullPath(section) ? section : std::string(layer) + '\\' + section, key);
    if (v) return (v->type & 15) == KEYVALUE_TYPE_STRING ? ValueType::String : ValueType::Integer;
  }
  return std::nullopt;
}

// The names as a write stores them: as the catalogue spells them ("image" and "keeppercent" give "Image" and
// "KeepPercent"); a name that the catalogue lacks as the layer spells it already (the library keeps that
// spelling), else as given. Without askLayer only the catalogue is asked, and the library is not touched.
void UseStoredSpelling(std::string& section, std::string& key, bool askLayer) {
  const std::string rest = CatalogueSectionOf(section);
  const std::string layerPart = section.substr(0, section.size() - rest.size());
  const auto known = FindDefault(SettingName(rest, key));
  const auto knownSection = CatalogueSection(rest);
  if (known) {
    const std::string name = known->key;
    const size_t slash = name.find('\\');
    section = layerPart + name.substr(0, slash);
    key = name.substr(slash + 1);
    return;
  }
  if (knownSection) section = layerPart + *knownSection;
  if (!askLayer) return;
  const KeyRoot* held = Config_FindRoot((layerPart.empty() ? "user\\" + section : section).c_str());
  if (!held) return;
  if (!knownSection && held->name && rest.find('\\') == std::string::npos) section = layerPart + held->name;
  if (const KeyValue* v = held->GetValue(key.c_str()); v && v->name) key = v->name;
}

// Changing the installation's layers (product, user_ro), which the application only reads, or a layer that
// no file holds yet (a misspelt layer name would quietly make a new file) needs --force.
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

// The standard layer before layer that holds the key of a full path's section in the type reads take, so that
// reads never reach layer's value; empty when none does.
std::string HiddenBy(const std::string& layer, const std::string& path, const std::string& key) {
  const std::string section = StandardSection(path);
  if (section.empty() || EqualFolded(layer, "user")) return {};
  const Reading r = ReadLayered(section, key);
  if (r.origin != CONFIG_ORIGIN_LAYER) return {};
  for (const char* name : {"user", "user_ro", "product"}) {
    if (EqualFolded(name, layer)) return {};
    if (EqualFolded(name, r.layer)) return name;
  }
  return {};
}

// A plain section that a standard layer holds.
bool InSomeLayer(const std::string& section) {
  for (const char* layer : {"user", "user_ro", "product"})
    if (Config_FindRoot((std::string(layer) + '\\' + section).c_str())) return true;
  return false;
}

const char* KindOf(std::filesystem::file_type type) {
  switch (type) {
    case std::filesystem::file_type::directory: return "a directory";
    case std::filesystem::file_type::fifo: return "a FIFO";
    case std::filesystem::file_type::character: return "a character device";
    case std::filesystem::file_type::block: return "a block device";
    case std::filesystem::file_type::socket: return "a socket";
    default: return "a special file";
  }
}

// Says which of the layers' files reads cannot use, and why: something else than a regular file stands in its
// place, or the file cannot be read. Nothing is opened but a regular file.
void WarnUnusableLayerFiles(const std::vector<std::string>& layers) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  if (!dirs) return;
  for (const std::string& layer : layers) {
    const std::string name = Folded(layer) + ".cfg";
    std::string file = dirs->GetConfigDir().uString().str() + name;
    std::error_code error;
    auto status = std::filesystem::status(PathOf(file), error);
    // The system's read-only layers stand in for those that the configuration folder lacks.
    if (!std::filesystem::exists(status) && !dirs->GetSystemConfigDir().empty() &&
        (name == "user_ro.cfg" || name == "product.cfg")) {
      file = dirs->GetSystemConfigDir().str() + name;
      status = std::filesystem::status(PathOf(file), error);
    }
    if (!std::filesystem::exists(status)) continue;
    std::string why;
    if (status.type() != std::filesystem::file_type::regular) {
      why = std::string("is ") + KindOf(status.type()) + ", not a regular file";
    } else if (!std::ifstream(PathOf(file))) {
      why = "cannot be read (" + std::generic_category().message(errno) + ")";
    }
    if (!why.empty()) Warn(file + " " + why + "; reads take nothing from it");
  }
}

}  // namespace

void RequireKnown(const std::string& section, const std::string& key) {
  if (section.empty()) return;
  const bool full = IsFullPath(section);
  const std::string rest = CatalogueSectionOf(section);
  if (!key.empty()) {
    if (FindDefault(SettingName(rest, key))) return;
    const bool held = full ? ValueAt(section, key) != nullptr
                           : Config_GetValueOrigin(section.c_str(), key.c_str(), 0, nullptr, 0) != CONFIG_ORIGIN_NONE;
    if (held) return;
    Fail(kExitUsage, SettingName(section, key) + (full ? " is not set" : " is set in no layer") +
                         " and has no default" + Suggestion(section, key));
  }
  // A whole layer, a section of the catalogue, or one that a layer holds.
  const bool held = full ? Config_FindRoot(section.c_str()) != nullptr : InSomeLayer(rest);
  if (rest.empty() || CatalogueSection(rest) || held) return;
  const std::string nearest = NearestSection(rest);
  Fail(kExitUsage, (full ? "no layer holds " + section + " and the catalogue has no section '" + rest + "'"
                         : "no layer and no default has the section '" + section + "'") +
                       (nearest.empty() ? "" : "; did you mean '" + section.substr(0, section.size() - rest.size()) +
                                                   nearest + "'?"));
}

int CmdGet(const Options& options, const std::string& section, const std::string& key, bool showOrigin) {
  CheckNames(section, key);
  const std::string setting = SettingName(section, key);
  WarnUnusableLayerFiles(IsFullPath(section) ? std::vector<std::string>{LayerOf(section)}
                                             : std::vector<std::string>{"user", "user_ro", "product"});
  const Reading r = Read(section, key);
  if (!r.exists) {
    const std::string missing = IsFullPath(section) ? " is not set" : " is set in no layer and has no default";
    Fail(kExitFailure, setting + missing + Suggestion(section, key));
  }
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    WriteReading(json, setting, r);
    json.EndObject();
    return kExitOk;
  }
  std::cout << ValueText(r);
  if (showOrigin) std::cout << "  (" << OriginText(r) << ')';
  std::cout << '\n';
  return kExitOk;
}

int CmdSet(const Options& options, std::string section, std::string key, const std::string& value, ForcedType forced,
           bool force) {
  CheckWritableNames(section, key);
  UseStoredSpelling(section, key, false);
  std::string setting = SettingName(section, key);
  const bool full = IsFullPath(section);
  const std::string target = full ? section : "user\\" + section;
  const std::string layer = LayerOf(target);

  // A forced number is checked before the library is touched.
  Number number;
  if (forced == ForcedType::Int || forced == ForcedType::Hex) {
    switch (ParseNumber(value, forced == ForcedType::Hex, &number)) {
      case NumberParse::Ok: break;
      case NumberParse::NotANumber: Fail(kExitUsage, "'" + value + "' is not a number");
      case NumberParse::OutOfRange: Fail(kExitUsage, "'" + value + "' does not fit in 32 bits");
    }
  }
  if (forced == ForcedType::String) CheckStoredText(setting, value);
  // A value of the other type than the catalogue's would not take effect: reads pass over it. Only a full path,
  // read alone and with the type of what it holds, can take one.
  const auto catalogued = FindDefault(SettingName(CatalogueSectionOf(section), key));
  if (forced != ForcedType::None && catalogued && catalogued->isString != (forced == ForcedType::String)) {
    const std::string kind = catalogued->isString ? "a string" : "an integer";
    if (!full) {
      Fail(kExitUsage, setting + " is " + kind + " setting, and " + kind +
                           " read passes over a value of the other type; to store one all the same, name the layer "
                           "(user\\" + section + ")");
    }
    Warn(setting + " is " + kind + " setting; " + kind + " read does not take a value of the other type");
  }
  RequireForce(layer, force);
  UseStoredSpelling(section, key, true);
  setting = SettingName(section, key);

  ValueType type = ValueType::String;
  bool known = true;
  if (forced == ForcedType::String) {
    type = ValueType::String;
  } else if (forced != ForcedType::None) {
    type = ValueType::Integer;
  } else if (auto settingType = SettingType(section, key)) {
    type = *settingType;
    if (type == ValueType::Integer) {
      switch (ParseNumber(value, false, &number)) {
        case NumberParse::Ok: break;
        case NumberParse::NotANumber:
          Fail(kExitUsage, setting + " is an integer setting; '" + value + "' is not a number");
        case NumberParse::OutOfRange:
          Fail(kExitUsage, setting + " is an integer setting; '" + value + "' does not fit in 32 bits");
      }
    }
  } else {
    // Neither a value nor a default: a number is stored as an integer, anything else as a string.
    known = false;
    type = ParseNumber(value, false, &number) == NumberParse::Ok ? ValueType::Integer : ValueType::String;
  }
  if (type == ValueType::String) CheckStoredText(setting, value);

  if (!known) Warn(setting + " is not a known setting" + Suggestion(section, key));
  // "key"="value": four quotes and '='.
  if (type == ValueType::String && key.size() + value.size() + 5 > 255)
    Warn("the line for " + setting + " will be longer than 255 bytes, which older readers cut");

  const Snapshot before = Take(target, key);
  const bool hex = type == ValueType::Integer && (forced == ForcedType::Hex || number.hex);
  if (type == ValueType::String) Config_SetStrVal(section.c_str(), key.c_str(), value.c_str());
  else if (hex) Config_SetHexVal(section.c_str(), key.c_str(), number.value);
  else Config_SetIntVal(section.c_str(), key.c_str(), number.value);
  const Snapshot after = Take(target, key);

  const bool stored = !(before == after);
  TellKeptCopies(layer);
  std::string file, why;
  if (stored) file = CheckSaved(layer);
  else why = after.exists ? "unchanged" : "default";

  // What reads now give where the section argument points; a default that was not stored is read through the
  // layers. set never reports success while the value asked for is not in effect.
  const bool notStored = why == "default";
  const Reading now = notStored ? ReadLayered(CatalogueSectionOf(section), key) : Read(section, key);
  const bool inEffect =
      now.exists && now.type == type &&
      (type == ValueType::Integer ? now.number == number.value
                                  : (notStored ? EqualFolded(now.text, value) : now.text == value));
  const std::string shown = type == ValueType::Integer ? FormatInt(number.value, hex) : value;
  if (!inEffect) {
    Fail(kExitFailure, setting + " = " + shown + (stored ? " was written to " + layer : " was not stored") +
                           ", but reads give " +
                           (now.exists ? ValueText(now) + "  (" + OriginText(now) + ")" : "nothing"));
  }

  // A value written into user_ro or product is read only while no layer before it holds the key.
  const std::string hiddenBy = full ? HiddenBy(layer, section, key) : std::string();
  if (!hiddenBy.empty()) {
    const Reading effective = ReadLayered(CatalogueSectionOf(section), key);
    Note(hiddenBy + " holds " + SettingName(CatalogueSectionOf(section), key) + " = " + ValueText(effective) +
         ", which reads find first: the value written to " + layer + " is not in effect");
  }

  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Field("setting", setting);
    json.Field("layer", layer);
    json.Field("type", TypeName(type));
    json.Key("value");
    if (type == ValueType::Integer) json.Int(number.value);
    else json.String(value);
    if (type == ValueType::Integer) json.Field("hex", hex);
    json.Field("stored", stored);
    json.Key("file");
    if (file.empty()) json.Null();
    else json.String(file);
    json.Key("reason");
    if (why.empty()) json.Null();
    else json.String(why);
    json.Key("hiddenBy");
    if (hiddenBy.empty()) json.Null();
    else json.String(hiddenBy);
    json.EndObject();
    return kExitOk;
  }
  if (stored) {
    std::cout << setting << " = " << shown << "  (" << layer << (file.empty() ? "" : ", written to " + file) << ")\n";
  } else if (why == "unchanged") {
    std::cout << setting << " is already " << shown << " in " << layer << "; nothing changed\n";
  } else {
    std::cout << setting << ": " << shown << " is the built-in default; nothing needed storing\n";
  }
  return kExitOk;
}

int CmdUnset(const Options& options, const std::string& section, const std::string& key, bool force) {
  CheckNames(section, key);
  const std::string setting = SettingName(section, key);
  const bool full = IsFullPath(section);
  const std::string target = full ? section : "user\\" + section;
  const std::string layer = LayerOf(target);
  RequireForce(layer, force);
  // Nothing to remove anywhere: most likely a misspelt name.
  char holder[256];
  if (Config_GetValueOrigin(section.c_str(), key.c_str(), 0, holder, sizeof holder) != CONFIG_ORIGIN_LAYER) {
    Fail(kExitFailure, setting + (full ? " is not set" : " is set in no layer") + "; nothing to remove" +
                           Suggestion(section, key));
  }

  const bool removed = Config_DeleteKeyVal(target.c_str(), key.c_str()) == 1;
  std::string file;
  if (removed) file = CheckSaved(layer);
  // What modules read now: through the layers for a section of the standard layers, else the path alone.
  const std::string plain = StandardSection(target);
  const Reading now = plain.empty() ? Read(section, key) : ReadLayered(plain, key);
  const std::string nowSetting = plain.empty() || !full ? setting : SettingName(plain, key);

  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Field("setting", setting);
    json.Field("layer", layer);
    json.Field("removed", removed);
    json.Key("file");
    if (file.empty()) json.Null();
    else json.String(file);
    json.Key("now");
    if (now.exists) {
      json.BeginObject();
      WriteReading(json, nowSetting, now);
      json.EndObject();
    } else {
      json.Null();
    }
    json.EndObject();
    return kExitOk;
  }
  if (removed) std::cout << "removed " << setting << " from " << layer;
  else std::cout << setting << " is not set in " << layer << "; nothing to remove";
  const std::string it = nowSetting == setting ? std::string("it") : nowSetting;
  if (now.exists) std::cout << "; " << it << " reads " << ValueText(now) << "  (" << OriginText(now) << ")\n";
  else std::cout << "; " << it << " is set nowhere now\n";
  return kExitOk;
}

int CmdList(const Options& options, const std::string& section, bool all) {
  if (!section.empty() && IsFullPath(section)) Fail(kExitUsage, "list takes a plain section name, not a path");
  RequireKnown(section, "");
  // Settings by folded section and key; the first spelling met is kept.
  struct Entry {
    std::string section, key;
    std::string path;  // a section below a section: read by its full path in this layer
  };
  std::map<std::pair<std::string, std::string>, Entry> entries;
  auto add = [&](const std::string& s, const std::string& k, const std::string& path) {
    if (!section.empty() && !EqualFolded(section, s.substr(0, s.find('\\')))) return;
    const std::string where = path.empty() ? Folded(s) : Folded(path);
    entries.try_emplace({where, Folded(k)}, Entry{s, k, path});
  };

  // What the layers hold, walked from their top-level sections.
  for (const char* layer : {"user", "user_ro", "product"}) {
    KeyRoot* root = Config_FindRoot(layer);
    if (!root) continue;
    std::vector<std::pair<const KeyRoot*, std::string>> pending;
    for (const KeyRoot* s = root->children; s; s = s->next) pending.emplace_back(s, s->name ? s->name : "");
    while (!pending.empty()) {
      auto [s, name] = pending.back();
      pending.pop_back();
      const bool nested = name.find('\\') != std::string::npos;
      for (const KeyValue* v = s->values; v; v = v->next) {
        if ((v->type & 15) != KEYVALUE_TYPE_INTEGER && (v->type & 15) != KEYVALUE_TYPE_STRING) continue;
        add(name, v->name ? v->name : "", nested ? std::string(layer) + '\\' + name : std::string());
      }
      for (const KeyRoot* c = s->children; c; c = c->next)
        pending.emplace_back(c, name + '\\' + (c->name ? c->name : ""));
    }
  }
  if (all) {
    for (const EffectiveDefault& e : EffectiveDefaults()) add(e.entry->section, e.entry->name, std::string());
  }

  std::unique_ptr<JsonWriter> json;
  if (options.json) {
    json = std::make_unique<JsonWriter>(std::cout);
    json->BeginArray();
  }
  for (const auto& [id, e] : entries) {
    const std::string setting = e.path.empty() ? SettingName(e.section, e.key) : SettingName(e.path, e.key);
    const Reading r = e.path.empty() ? ReadLayered(e.section, e.key) : ReadPath(e.path, e.key);
    if (!r.exists) continue;
    if (json) {
      json->BeginObject();
      WriteReading(*json, setting, r);
      json->EndObject();
    } else {
      std::cout << setting << " = " << ValueText(r) << "  (" << OriginText(r) << ")\n";
    }
  }
  if (json) json->EndArray();
  return kExitOk;
}

void ShowSetting(const Options& options, const std::string& layer, const std::string& section,
                 const std::string& key) {
  // As list names settings: a section of a standard layer by its name, read through the layers; anything else
  // (a subsection, a map layer) by its full path.
  bool standard = false;
  for (const char* name : {"user", "user_ro", "product"}) standard = standard || EqualFolded(name, layer);
  const bool plain = standard && !section.empty() && section.find('\\') == std::string::npos;
  const std::string path = section.empty() ? layer : layer + '\\' + section;
  const std::string setting = plain ? SettingName(section, key) : SettingName(path, key);
  const Reading r = plain ? ReadLayered(section, key) : ReadPath(path, key);
  if (options.json) {
    JsonWriter json(std::cout, /*oneLine=*/true);
    json.BeginObject();
    if (r.exists) WriteReading(json, setting, r);
    else json.Field("setting", setting);
    json.Field("layer", layer);
    json.Field("unset", !r.exists);
    json.EndObject();
  } else if (r.exists) {
    std::cout << setting << " = " << ValueText(r) << "  (" << OriginText(r) << ")\n";
  } else {
    std::cout << setting << "  (unset)\n";
  }
}

namespace {

void RequireKnownSection(const std::string& section) {
  if (section.empty()) return;
  for (const Default& d : AllDefaults())
    if (EqualFolded(d.section, section)) return;
  const std::string nearest = NearestSection(section);
  Fail(kExitUsage,
       "the catalogue has no section '" + section + "'" + (nearest.empty() ? "" : "; did you mean '" + nearest + "'?"));
}

}  // namespace

int CmdDefaults(const Options& options, const std::string& section) {
  RequireKnownSection(section);
  std::unique_ptr<JsonWriter> json;
  if (options.json) {
    json = std::make_unique<JsonWriter>(std::cout);
    json->BeginArray();
  }
  for (const EffectiveDefault& e : EffectiveDefaults()) {
    const Default& d = *e.entry;
    if (!section.empty() && !EqualFolded(d.section, section)) continue;
    const Default* hidden = e.hidden;
    const bool differs = hidden && (hidden->info.isString != d.info.isString ||
                                    (d.info.isString ? std::strcmp(hidden->info.strValue, d.info.strValue) != 0
                                                     : hidden->info.intValue != d.info.intValue));
    if (json) {
      json->BeginObject();
      json->Field("setting", d.key);
      json->Field("section", d.section);
      json->Field("key", d.name);
      json->Field("type", d.info.isString ? "string" : "integer");
      json->Key("value");
      if (d.info.isString) json->String(d.info.strValue);
      else json->Int(d.info.intValue);
      json->Field("memoryDependent", d.info.memoryDependent);
      json->Field("priority", d.info.priority);
      if (hidden) {
        json->Key("shadowedValue");
        if (hidden->info.isString) json->String(hidden->info.strValue);
        else json->Int(hidden->info.intValue);
      }
      json->EndObject();
      continue;
    }
    std::cout << d.key << " = " << (d.info.isString ? d.info.strValue : FormatInt(d.info.intValue, false)) << "  ("
              << (d.info.isString ? "string" : "integer");
    if (d.info.memoryDependent) std::cout << ", follows the memory level";
    if (d.info.priority) std::cout << ", priority table";
    if (differs) {
      std::cout << "; the main table's "
                << (hidden->info.isString ? hidden->info.strValue : FormatInt(hidden->info.intValue, false))
                << " is never read";
    }
    std::cout << ")\n";
  }
  if (json) json->EndArray();
  return kExitOk;
}

int CmdSections(const Options& options) {
  // Sections in the order of their first entry, with the settings a lookup can reach.
  std::vector<std::pair<std::string, int>> sections;
  int total = 0;
  for (const EffectiveDefault& e : EffectiveDefaults()) {
    const Default& d = *e.entry;
    auto it =
        std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return EqualFolded(s.first, d.section); });
    if (it == sections.end()) sections.emplace_back(d.section, 1);
    else ++it->second;
    ++total;
  }
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Key("sections").BeginArray();
    for (const auto& [name, count] : sections)
      json.BeginObject().Field("name", name).Field("settings", count).EndObject();
    json.EndArray();
    json.Field("settings", total);
    json.EndObject();
    return kExitOk;
  }
  size_t width = 0;
  for (const auto& s : sections) width = std::max(width, s.first.size());
  for (const auto& [name, count] : sections)
    std::cout << name << std::string(width - name.size() + 2, ' ') << count << '\n';
  std::cout << sections.size() << " sections, " << total << " settings\n";
  return kExitOk;
}

}  // namespace navtool
