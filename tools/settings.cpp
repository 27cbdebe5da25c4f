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

// ---- What a .cfg file can carry ----

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

}  // namespace

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
    if (!std::filesystem::exists(status) &&
        std::filesystem::is_symlink(std::filesystem::symlink_status(PathOf(file), error))) {
      Warn(file + " is a symbolic link to a missing file; reads take nothing from it, and saves fail");
      continue;
    }
    // The system's read-only layers stand in for those that the configuration folder lacks.
    if (!std::filesystem::exists(status) && !dirs->GetSystemConfigDir().empty() &&
        (name == "user_ro.cfg" || name == "product.cfg")) {
      file = dirs->GetSystemConfigDir().str() + name;
      status = std::filesystem::status(PathOf(file), error);
    }
    // A map layer's file lies in the runtime folder's maps/ where the configuration folder has none (and the
    // library looks there only when it knows that folder, never relative to the current one).
    if (!std::filesystem::exists(status) && !dirs->GetRuntimeDir().empty()) {
      OROustring maps(dirs->GetRuntimeDir().uString() + "maps");
      file = maps.appendSlash().str() + layer + ".cfg";
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

int CmdGet(const Options& options, const std::string& section, const std::string& key, GetShows shows) {
  CheckNames(section, key);
  const std::string setting = SettingName(section, key);
  WarnUnusableLayerFiles(IsFullPath(section) ? std::vector<std::string>{LayerOf(section)}
                                             : std::vector<std::string>{"user", "user_ro", "product"});
  if (shows == GetShows::All) return ShowEveryLayer(options, section, key);
  const Reading r = Read(section, key);
  if (!r.exists) {
    const std::string missing = IsFullPath(section) ? " is not set" : " is set in no layer and has no default";
    Fail(kExitFailure, setting + missing + Suggestion(section, key));
  }
  if (shows == GetShows::File) {
    ShowOriginFile(options, setting, r);
    return kExitOk;
  }
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    WriteReading(json, setting, r);
    json.EndObject();
    return kExitOk;
  }
  std::cout << ValueText(r);
  if (shows == GetShows::Origin) std::cout << "  (" << OriginText(r) << ')';
  std::cout << '\n';
  return kExitOk;
}

int CmdSet(const Options& options, std::string section, std::string key, const std::string& value, ForcedType forced,
           bool force) {
  CheckWritableNames(section, key);
  // The file would hold the password as typed, and the sign-on reads only a protected one.
  // (An empty one clears it.)
  if (EqualFolded(CatalogueSectionOf(section), "ClientInfo") && EqualFolded(key, "LoginPassword") && !value.empty())
    Fail(kExitUsage, "ClientInfo\\LoginPassword holds the sign-on password only in the protected form that the "
                     "application's sign-on stores; set stores no password");
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
  if (NamesLayerOnly(section))
    Fail(kExitUsage,
         "'" + section + "' names a layer but no section in it: the values of the layer itself stay in its file");
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
  WarnUnusableLayerFiles({"user", "user_ro", "product"});
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
