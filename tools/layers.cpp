// The commands on whole layers and sections: export (a layer, or what is in effect, as .cfg text), import (a
// .cfg text into a layer as one change set), reset (a section's values removed in one change set), and where a
// value comes from file by file (get --show-origin, get --all).
//
// Import and reset change a layer through a change set (config/config_changes.h): the library makes the whole
// set under its lock and replaces the layer's file once, so no reader and no other process sees part of it.
#include <config/config_api.h>
#include <config/config_changes.h>
#include <config/config_info.h>
#include <config/keytree.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "json.h"
#include "tool.h"

namespace navtool {

namespace {

// ---- Values of a layer ----

// A value as a layer holds it or a .cfg text gives it.
struct Value {
  bool isString = false;
  std::string text;
  long number = 0;
  bool hex = false;
  bool operator==(const Value&) const = default;
};

// A value with its names: the section path below the layer ("Styles\Night") and the key.
struct Setting {
  std::string section, key;
  Value value;
};

// A value as a .cfg line writes it: a string quoted, an integer in decimal or hexadecimal.
std::string Shown(const Value& v) { return v.isString ? '"' + v.text + '"' : FormatInt(v.number, v.hex); }

// The members "type", "value" and (for an integer) "hex".
void WriteValue(JsonWriter& json, const Value& v) {
  json.Field("type", TypeName(v.isString ? ValueType::String : ValueType::Integer));
  json.Key("value");
  if (v.isString) json.String(v.text);
  else json.Int(v.number);
  if (!v.isString) json.Field("hex", v.hex);
}

// The value of a record that holds an integer or a string (the writer writes no other).
std::optional<Value> ValueOf(const KeyValue* v) {
  const unsigned type = v ? v->type & 15 : 0;
  if (!v || !v->name || (type != KEYVALUE_TYPE_INTEGER && (type != KEYVALUE_TYPE_STRING || !v->strValue)))
    return std::nullopt;
  if (type == KEYVALUE_TYPE_STRING) return Value{true, v->strValue, 0, false};
  return Value{false, {}, v->intValue, IsHex(v)};
}

// Every value that the section (a layer's top-level section, or one below it) holds, with its subsections',
// in the order the library writes them: a section's values sorted by key, then its subsections by name.
void Collect(const KeyRoot* section, const std::string& path, std::vector<Setting>& out) {
  for (const KeyValue* v = section->values; v; v = v->next)
    if (auto value = ValueOf(v)) out.push_back({path, v->name, std::move(*value)});
  for (const KeyRoot* child = section->children; child; child = child->next)
    Collect(child, path.empty() ? child->name : path + '\\' + child->name, out);
}

// The values of a layer, or of a section of it named by its full path.
std::vector<Setting> LayerValues(const std::string& path) {
  std::vector<Setting> out;
  if (const KeyRoot* root = Config_FindRoot(path.c_str())) {
    const std::string below = IsFullPath(path) ? NormalPath(CatalogueSectionOf(path)) : std::string();
    if (below.empty()) {
      for (const KeyRoot* child = root->children; child; child = child->next) Collect(child, child->name, out);
    } else {
      Collect(root, below, out);
    }
  }
  return out;
}

// The layer of --layer: a name that can name a file, else exit 2.
void RequireLayerName(const std::string& layer) {
  if (layer.empty() || layer.find('\\') != std::string::npos || !WriteFault(layer + "\\S", "K").empty())
    Fail(kExitUsage, "'" + layer + "' cannot name a layer");
}

// And one that the configuration knows (a standard layer, or one whose file exists), else exit 2 with the nearest
// standard layer.
void RequireLayer(const std::string& layer) {
  RequireLayerName(layer);
  for (const char* standard : {"user", "user_ro", "product"})
    if (EqualFolded(layer, standard)) return;
  char file[4096];
  if (Config_GetLayerFile(layer.c_str(), file, sizeof file)) return;
  const std::string nearest = NearestOf(layer, {"user", "user_ro", "product"});
  Fail(kExitUsage, "no file holds the layer '" + layer + "'" +
                       (nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?"));
}

bool IsInstallationLayer(const std::string& layer) {
  return EqualFolded(layer, "product") || EqualFolded(layer, "user_ro");
}

// The file a reading's value comes from, or "built-in default".
std::string OriginFile(const Reading& r) {
  if (r.origin == CONFIG_ORIGIN_DEFAULT) return "built-in default";
  char file[4096];
  return Config_GetLayerFile(r.layer.c_str(), file, sizeof file) ? file : r.layer;
}

// ---- The diff printer ----

struct Change {
  enum class Kind { Added, Changed, Removed };
  Kind kind;
  Setting setting;           // the new value (the old one for a removal)
  std::optional<Value> old;  // Changed: what the layer held
};

const char* KindName(Change::Kind kind) {
  switch (kind) {
    case Change::Kind::Added: return "added";
    case Change::Kind::Changed: return "changed";
    case Change::Kind::Removed: break;
  }
  return "removed";
}

// The changes one a line, "+ Section\Key = value", "~ Section\Key = old -> new", "- Section\Key = value"; with
// --json the member "changes" and the counts.
void PrintChanges(const std::vector<Change>& changes, JsonWriter* json) {
  int counts[3] = {};
  for (const Change& c : changes) ++counts[static_cast<int>(c.kind)];
  if (json) {
    json->Key("changes").BeginArray();
    for (const Change& c : changes) {
      json->BeginObject();
      json->Field("change", KindName(c.kind));
      json->Field("setting", SettingName(c.setting.section, c.setting.key));
      for (const bool isNew : {false, true}) {
        json->Key(isNew ? "new" : "old");
        if (c.kind == (isNew ? Change::Kind::Removed : Change::Kind::Added)) {
          json->Null();
          continue;
        }
        json->BeginObject();
        WriteValue(*json, isNew || !c.old ? c.setting.value : *c.old);
        json->EndObject();
      }
      json->EndObject();
    }
    json->EndArray();
    json->Field("added", counts[0]).Field("changed", counts[1]).Field("removed", counts[2]);
    return;
  }
  for (const Change& c : changes) {
    const char mark = c.kind == Change::Kind::Added ? '+' : c.kind == Change::Kind::Changed ? '~' : '-';
    std::cout << mark << ' ' << SettingName(c.setting.section, c.setting.key) << " = "
              << (c.old ? Shown(*c.old) + " -> " : std::string()) << Shown(c.setting.value) << '\n';
  }
  std::cout << counts[0] << " added, " << counts[1] << " changed, " << counts[2] << " removed";
}

// ---- Import ----

// Whether the library leaves out a write of the value into the layer where it holds none, as its setters decide:
// the path starts with "user" (so user_ro's does too), the section path below the layer with the key (its first
// 254 bytes) has a built-in default that the value equals, and neither user_ro nor product holds an integer or a
// string under the key. An integer equals an integer default in its low 32 bits, and a string default when it is
// 0 (an integer read of a string default gives 0); a string equals a string default without regard to ASCII case,
// and never an integer default.
bool StoresNothing(const std::string& layer, const Setting& s) {
  if (layer.compare(0, 4, "user") != 0) return false;
  std::string name = SettingName(s.section, s.key);
  if (name.size() > 254) name.resize(254);
  const auto d = FindDefault(name);
  if (!d) return false;
  const bool equal = s.value.isString ? d->isString && EqualFolded(d->strValue, s.value.text)
                                      : s.value.number == (d->isString ? 0 : d->intValue);
  if (!equal) return false;
  for (const char* below : {"user_ro", "product"}) {
    const KeyValue* v = ValueAt(std::string(below) + '\\' + s.section, s.key);
    const unsigned type = v ? v->type & 15 : 0;
    if (type == KEYVALUE_TYPE_INTEGER || type == KEYVALUE_TYPE_STRING) return false;
  }
  return true;
}

// What the import changes in the layer: each value of the text that the layer lacks or holds otherwise, and with
// replace each value of the layer that the text lacks.
std::vector<Change> Plan(const std::string& layer, const CfgReport& report, bool replace) {
  std::map<SettingId, Setting> held;
  for (Setting& s : LayerValues(layer)) held.try_emplace(IdOf(s.section, s.key), std::move(s));
  // The reader keeps the last value of a key; the changes follow the text's order.
  std::map<SettingId, size_t> last;
  for (size_t i = 0; i < report.values.size(); ++i)
    last[IdOf(report.values[i].section, report.values[i].key)] = i;
  std::vector<Change> changes;
  for (size_t i = 0; i < report.values.size(); ++i) {
    const CfgValue& v = report.values[i];
    const SettingId id = IdOf(v.section, v.key);
    if (last[id] != i) continue;
    Setting wanted{NormalPath(v.section), v.key, {v.isString, v.text, v.isString ? 0 : v.number, v.hex}};
    auto it = held.find(id);
    if (it == held.end()) {
      if (!StoresNothing(layer, wanted)) changes.push_back({Change::Kind::Added, std::move(wanted), std::nullopt});
    } else if (!(it->second.value == wanted.value)) {
      changes.push_back({Change::Kind::Changed, std::move(wanted), it->second.value});
    }
  }
  if (replace) {
    for (auto& [id, s] : held)
      if (!last.count(id)) changes.push_back({Change::Kind::Removed, std::move(s), std::nullopt});
  }
  return changes;
}

// The lines of the text that cannot be imported: those check reports as errors (the reader ignores or cuts
// them), and values whose names a write would refuse.
std::vector<CfgFinding> Refusals(const std::string& layer, const CfgReport& report) {
  std::vector<CfgFinding> refused;
  for (const CfgFinding& f : report.findings)
    if (std::string_view(f.severity) == "error") refused.push_back(f);
  for (const CfgValue& v : report.values) {
    std::string fault = NormalPath(v.section).empty() ? "[" + v.section + "] names no section"
                                                      : WriteFault(layer + '\\' + NormalPath(v.section), "K");
    if (fault.empty()) fault = WriteFault(layer + "\\S", v.key);
    if (!fault.empty()) refused.push_back({v.line, "error", "refused-name", fault + "; the value cannot be stored", {}});
  }
  std::stable_sort(refused.begin(), refused.end(), [](const auto& a, const auto& b) { return a.line < b.line; });
  return refused;
}

// Applies the changes to the layer as one change set; the file written.
std::string ApplyChanges(const std::string& layer, const std::vector<Change>& changes) {
  std::unique_ptr<Config_ChangeSet, void (*)(Config_ChangeSet*)> set(Config_ChangeSetNew(), Config_ChangeSetFree);
  if (!set) Fail(kExitFailure, "out of memory");
  for (const Change& c : changes) {
    const std::string path = layer + '\\' + c.setting.section;
    const char* key = c.setting.key.c_str();
    const Value& v = c.setting.value;
    if (c.kind == Change::Kind::Removed) Config_ChangeSetDelete(set.get(), path.c_str(), key);
    else if (v.isString) Config_ChangeSetSetStr(set.get(), path.c_str(), key, v.text.c_str());
    else if (v.hex) Config_ChangeSetSetHex(set.get(), path.c_str(), key, v.number);
    else Config_ChangeSetSetInt(set.get(), path.c_str(), key, v.number);
  }
  Config_ChangeSetApply(set.get());
  TellKeptCopies(layer);
  return CheckSaved(layer);
}

// ---- Export ----

// The .cfg text of the settings, section by section, as the library writes a layer: a header with the section's
// path, its values, an empty line. A string is written up to its first line break, which a line cannot carry.
void WriteCfgText(const std::vector<Setting>& settings) {
  std::string section;
  bool first = true;
  for (const Setting& s : settings) {
    if (first || !EqualFolded(s.section, section)) {
      if (!first) std::cout << '\n';
      std::cout << '[' << s.section << "]\n";
      section = s.section;
      first = false;
    }
    Value v = s.value;
    if (v.isString && HasLineBreak(v.text)) {
      v.text.resize(v.text.find_first_of(std::string_view("\r\n\0", 3)));
      Warn(SettingName(s.section, s.key) + " holds a line break; it is exported up to it");
    }
    std::cout << '"' << s.key << "\"=" << Shown(v) << '\n';
  }
  if (!first) std::cout << '\n';
}

// Every setting in effect that differs from its built-in default, whatever layer holds it: the plain sections of
// user, user_ro and product, read as modules read them (sections below sections are read by full path only).
std::vector<Setting> EffectiveSettings() {
  std::map<SettingId, Setting> settings;
  for (const char* layer : {"user", "user_ro", "product"}) {
    for (Setting& s : LayerValues(layer)) {
      if (IsFullPath(s.section)) continue;
      const SettingId id = IdOf(s.section, s.key);
      if (settings.count(id)) continue;
      const Reading r = ReadLayered(s.section, s.key);
      const auto d = FindDefault(SettingName(s.section, s.key));
      const Value now{r.type == ValueType::String, r.text, r.number, r.hex};
      const bool isDefault = d && d->isString == now.isString &&
                             (now.isString ? now.text == d->strValue : now.number == d->intValue);
      if (r.exists && r.origin != CONFIG_ORIGIN_DEFAULT && !isDefault)
        settings.emplace(id, Setting{s.section, s.key, now});
    }
  }
  std::vector<Setting> out;
  for (auto& [id, s] : settings) out.push_back(std::move(s));
  return out;
}

void WriteSettingsJson(JsonWriter& json, const std::vector<Setting>& settings) {
  json.Key("settings").BeginArray();
  for (const Setting& s : settings) {
    json.BeginObject().Field("section", s.section).Field("key", s.key);
    WriteValue(json, s.value);
    json.EndObject();
  }
  json.EndArray();
}

// ---- Reset ----

// What a setting of a layer reads now, as list prints it: a section of a standard layer through the layers, any
// other (a subsection, a map layer) by its full path.
void PrintNow(JsonWriter* json, const std::string& path, const std::string& key) {
  const std::string plain = StandardSection(path);
  const Reading r = plain.empty() ? ReadPath(path, key) : ReadLayered(plain, key);
  const std::string setting = SettingName(plain.empty() ? path : plain, key);
  if (json) {
    json->BeginObject();
    if (r.exists) WriteReading(*json, setting, r);
    else json->Field("setting", setting);
    json->Field("unset", !r.exists);
    json->EndObject();
  } else if (r.exists) {
    std::cout << setting << " = " << ValueText(r) << "  (" << OriginText(r) << ")\n";
  } else {
    std::cout << setting << "  (unset)\n";
  }
}

}  // namespace

int CmdImport(const Options& options, const std::string& file, const std::string& layer, bool dryRun, bool replace,
              bool force) {
  std::string text;
  if (!ReadInput(file, text)) Fail(kExitUsage, "cannot read " + file + ": " + text);
  // A layer that no file holds yet is made with --force, as set makes it.
  RequireLayerName(layer);
  // A dry run writes nothing: a layer that a file holds needs no --force for it (a new one is still named, as a
  // possible misspelling).
  char held[4096];
  RequireForce(layer, force || (dryRun && (IsInstallationLayer(layer) ||
                                           Config_GetLayerFile(layer.c_str(), held, sizeof held))));
  CfgReport report;
  report.file = file;
  ReadCfgText(text, report, CfgChecks::Reader);

  // A text that cannot be imported whole is not imported at all.
  const std::vector<CfgFinding> refused = Refusals(layer, report);
  if (!refused.empty()) {
    // A UTF-16 text is refused as a whole file, not as its first line.
    const std::string name = file == "-" ? std::string("standard input") : file;
    const bool whole = refused.size() == 1 && std::string_view(refused.front().kind) == "utf-16";
    const std::string why =
        (whole ? name : std::to_string(refused.size()) + (refused.size() == 1 ? " line of " : " lines of ") + name) +
        " cannot be imported; nothing was changed";
    if (options.json) {
      JsonWriter json(std::cout);
      json.BeginObject().Field("error", why).Key("findings").BeginArray();
      for (const CfgFinding& f : refused) WriteFinding(json, f);
      json.EndArray().EndObject();
    }
    for (const CfgFinding& f : refused) PrintFinding(std::cerr, report, f);
    std::cerr << "navconfig: error: " << why << '\n';
    return kExitUsage;
  }

  const std::vector<Change> changes = Plan(layer, report, replace);
  std::string written;
  if (!dryRun && !changes.empty()) written = ApplyChanges(layer, changes);
  std::unique_ptr<JsonWriter> json;
  if (options.json) {
    json = std::make_unique<JsonWriter>(std::cout);
    json->BeginObject().Field("layer", layer).Field("dryRun", dryRun);
    json->Key("file");
    if (written.empty()) json->Null();
    else json->String(written);
  }
  PrintChanges(changes, json.get());
  if (json) {
    json->EndObject();
  } else if (dryRun) {
    std::cout << " (a dry run: nothing was written)\n";
  } else {
    std::cout << (written.empty() ? std::string(" (") + layer + " holds the text's values already)"
                                  : " (" + layer + ", written to " + written + ")")
              << '\n';
  }
  return kExitOk;
}

int CmdExport(const Options& options, const std::string& layer, bool effective) {
  if (!effective) RequireLayer(layer);
  // Names the layer files that reads cannot use: what memory holds of such a layer (the start's values, which
  // could not be saved) is exported all the same.
  WarnUnusableLayerFiles(effective ? std::vector<std::string>{"user", "user_ro", "product"}
                                   : std::vector<std::string>{layer});
  const std::vector<Setting> settings = effective ? EffectiveSettings() : LayerValues(layer);
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Key("layer");
    if (effective) json.Null();
    else json.String(layer);
    WriteSettingsJson(json, settings);
    json.EndObject();
  } else {
    WriteCfgText(settings);
  }
  return kExitOk;
}

int CmdReset(const Options& options, const std::string& section, const std::vector<std::string>& keys, bool force) {
  CheckNames(section, "-");
  const std::string target = IsFullPath(section) ? section : "user\\" + section;
  const std::string layer = LayerOf(target);
  if (const std::string fault = WriteFault(target, "-"); !fault.empty()) Fail(kExitUsage, fault);
  RequireForce(layer, force);
  RequireKnown(section, "");
  for (const std::string& key : keys) {
    CheckNames(section, key);
    RequireKnown(section, key);
  }

  // What the layer holds of the section (or of the keys named), each removed in the one set.
  std::vector<Setting> held = LayerValues(target);
  if (!keys.empty()) {
    std::vector<Setting> named;
    for (const std::string& key : keys)
      for (const Setting& s : held)
        if (EqualFolded(s.section, CatalogueSectionOf(target)) && EqualFolded(s.key, key)) named.push_back(s);
    held = std::move(named);
  }
  std::string written;
  if (!held.empty()) {
    std::vector<Change> changes;
    for (Setting& s : held) changes.push_back({Change::Kind::Removed, s, std::nullopt});
    written = ApplyChanges(layer, changes);
  }

  // What each removed value (or each key named) reads now.
  std::vector<std::pair<std::string, std::string>> now;
  for (const Setting& s : held) now.emplace_back(layer + '\\' + s.section, s.key);
  if (held.empty())
    for (const std::string& key : keys) now.emplace_back(target, key);
  std::unique_ptr<JsonWriter> json;
  if (options.json) {
    json = std::make_unique<JsonWriter>(std::cout);
    json->BeginObject().Field("layer", layer).Field("section", CatalogueSectionOf(target));
    json->Field("removed", static_cast<int>(held.size())).Key("file");
    if (written.empty()) json->Null();
    else json->String(written);
    json->Key("now").BeginArray();
  } else if (held.empty()) {
    std::cout << layer << " holds nothing to reset in " << CatalogueSectionOf(target) << "; nothing was changed\n";
  } else {
    std::cout << "removed " << held.size() << (held.size() == 1 ? " value" : " values") << " of "
              << CatalogueSectionOf(target) << " from " << layer << " (written to " << written << "); now:\n";
  }
  for (const auto& [path, key] : now) PrintNow(json.get(), path, key);
  if (json) json->EndArray().EndObject();
  return kExitOk;
}

void ShowOriginFile(const Options& options, const std::string& setting, const Reading& r) {
  const std::string file = OriginFile(r);
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    WriteReading(json, setting, r);
    json.Key("file");
    if (r.origin == CONFIG_ORIGIN_DEFAULT) json.Null();
    else json.String(file);
    json.EndObject();
  } else {
    std::cout << ValueText(r) << "  (" << OriginText(r, file) << ")\n";
  }
}

int ShowEveryLayer(const Options& options, const std::string& section, const std::string& key) {
  if (IsFullPath(section)) Fail(kExitUsage, "get --all takes a plain section name; a full path names one layer");
  const Reading r = ReadLayered(section, key);
  struct Row {
    std::string layer, file;
    Value value;
  };
  std::vector<Row> rows;
  for (const char* layer : {"user", "user_ro", "product"}) {
    const auto value = ValueOf(ValueAt(std::string(layer) + '\\' + section, key));
    char file[4096];
    if (value) rows.push_back({layer, Config_GetLayerFile(layer, file, sizeof file) ? file : layer, *value});
  }
  if (const auto d = FindDefault(SettingName(section, key)))
    rows.push_back({"default", "", d->isString ? Value{true, d->strValue, 0, false} : Value{false, {}, d->intValue, false}});
  if (rows.empty())
    Fail(kExitFailure, SettingName(section, key) + " is set in no layer and has no default" + Suggestion(section, key));
  const std::string effective = r.origin == CONFIG_ORIGIN_DEFAULT ? "default" : r.layer;
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Field("setting", SettingName(section, key)).Key("values").BeginArray();
    for (const Row& row : rows) {
      json.BeginObject().Field("layer", row.layer).Key("file");
      if (row.file.empty()) json.Null();
      else json.String(row.file);
      json.Field("inEffect", row.layer == effective);
      WriteValue(json, row.value);
      json.EndObject();
    }
    json.EndArray().EndObject();
    return kExitOk;
  }
  for (const Row& row : rows) {
    const std::string shown = row.value.isString ? row.value.text : FormatInt(row.value.number, row.value.hex);
    std::cout << (row.layer == effective ? "* " : "  ") << row.layer << std::string(9 - row.layer.size(), ' ')
              << shown << "  (" << (row.file.empty() ? "built-in default" : row.file) << ")\n";
  }
  return kExitOk;
}

}  // namespace navtool
