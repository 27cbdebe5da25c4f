// The commands on directories and map data: dirs, status, mapsets and version-string.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/data_dirs.h>
#include <config/directorymgr.h>
#include <config/gridversion.h>
#include <config/oro_dataset.h>

#include <filesystem>
#include <iostream>

#include "json.h"
#include "tool.h"

namespace navtool {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kSystemRegistry = true;
#else
constexpr bool kSystemRegistry = false;  // the library keeps a store of its own
#endif

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(PathOf(path), error);
}

// As the library counts a required file: a regular file, also through a link (not a folder or a FIFO).
bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The folder that relative paths are taken from: the library uses the paths as they are stored, so they are
// relative to the process's current folder.
std::string BaseFolder() {
  std::error_code error;
  return Utf8Of(fs::current_path(error));
}

bool IsRelative(const std::string& path) { return !path.empty() && PathOf(path).is_relative(); }

// A stored path made absolute (a trailing separator kept); absolute and empty paths as they are.
std::string AbsolutePath(const std::string& path) {
  if (!IsRelative(path)) return path;
  std::error_code error;
  const fs::path absolute = fs::absolute(PathOf(path), error);
  return error ? path : Utf8Of(absolute.lexically_normal());
}

// A relative path with its absolute form beside it.
std::string WithAbsolute(const std::string& path) {
  return IsRelative(path) ? path + "  (" + AbsolutePath(path) + ")" : path;
}

// Columns padded to the widest cell; the last column is not padded.
void PrintTable(const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) {
      if (widths.size() <= i) widths.push_back(0);
      widths[i] = std::max(widths[i], row[i].size());
    }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << '\n';
  }
}

const char* StatusName(int status) {
  switch (status) {
    case DATA_UNKNOWN: return "DATA_UNKNOWN";
    case DATA_FOUND_NORMAL: return "DATA_FOUND_NORMAL";
    case DATA_FOUND_STITCHED: return "DATA_FOUND_STITCHED";
    case DATA_FOUND_SWVERSION_MISMATCH: return "DATA_FOUND_SWVERSION_MISMATCH";
    case DATA_NOT_FOUND_STICTHING_OFF: return "DATA_NOT_FOUND_STICTHING_OFF";
    case DATA_NOT_FOUND: return "DATA_NOT_FOUND";
    default: return "really unknown status";
  }
}

const char* StatusMeaning(int status) {
  switch (status) {
    case DATA_FOUND_NORMAL: return "map data found";
    case DATA_FOUND_STITCHED: return "map data found in numbered revisions";
    case DATA_FOUND_SWVERSION_MISMATCH: return "map data found, but its data format does not fit this software";
    case DATA_NOT_FOUND_STICTHING_OFF: return "no map data in the grid directory";
    case DATA_NOT_FOUND: return "no map data found";
    default: return "";
  }
}

// Where each standard layer is read from: its file in the configuration folder, the system's read-only one, or
// none (then the file a save would write).
struct LayerFile {
  std::string layer, file, where;  // where: "configuration", "system" or "none"
};

std::vector<LayerFile> LayerFiles() {
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string system = dirs ? dirs->GetSystemConfigDir().str() : std::string();
  std::vector<LayerFile> out;
  for (const char* layer : {"user", "user_ro", "product"}) {
    char file[4096];
    const bool found = Config_GetLayerFile(layer, file, sizeof file);
    const bool fromSystem = found && !system.empty() && std::string(file).rfind(system, 0) == 0;
    out.push_back({layer, file, !found ? "none" : fromSystem ? "system" : "configuration"});
  }
  return out;
}

void WriteLayerFiles(JsonWriter& json) {
  json.Key("layerFiles").BeginArray();
  for (const LayerFile& f : LayerFiles())
    json.BeginObject().Field("layer", f.layer).Field("file", f.file).Field("from", f.where).EndObject();
  json.EndArray();
}

void AddLayerFileRows(std::vector<std::vector<std::string>>& rows) {
  // What stands in place of a file (a directory, a link to nothing) is said, as get and list say it.
  WarnUnusableLayerFiles({"user", "user_ro", "product"});
  for (const LayerFile& f : LayerFiles()) {
    const std::string shown = f.where == "none"     ? "-  (no file; a save writes " + f.file + ")"
                              : f.where == "system" ? f.file + "  (the system's, for every user; read only)"
                                                    : f.file;
    rows.push_back({"Layer " + f.layer + ":", shown});
  }
}

}  // namespace

int CmdDirs(const Options& options) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string configDir = dirs ? dirs->GetConfigDir().uString().str() : std::string();
  const std::string runtimeDir = Config_GetDirPathU("RuntimeDir", true).str();
  const std::string root = Config_GetWriteableRootDir().str();
  const std::string registryDir = dirs ? dirs->GetRegistryDir().uString().str() : std::string();

  struct Row {
    std::string name, value;
    bool region = false, exists = false;
    std::vector<std::string> required, missing;
  };
  std::vector<Row> rows;
  for (int i = 0; i < Config_GetDirectoryTableCount(); ++i) {
    Row row;
    row.name = Config_GetDirectoryTableName(i);
    row.value = Config_GetDirPathU(row.name.c_str(), false).str();
    row.region = row.name == "RegionDir";  // a region code, not a folder
    row.exists = !row.region && IsDirectory(row.value);
    for (int f = 0; const char* file = Config_GetRequiredFile(row.name.c_str(), f); ++f) {
      row.required.push_back(file);
      if (!row.exists || !IsFile(PathOf(row.value) / PathOf(file))) row.missing.push_back(file);
    }
    rows.push_back(std::move(row));
  }

  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Field("configDir", configDir);
    json.Field("runtimeDir", runtimeDir);
    json.Field("systemConfigDir", dirs ? dirs->GetSystemConfigDir().str() : std::string());
    json.Field("registryStore", kSystemRegistry ? std::string() : registryDir);
    WriteLayerFiles(json);
    json.Field("writeableRoot", root);
    json.Field("writeableRootAbsolute", AbsolutePath(root));
    json.Field("base", BaseFolder());
    json.Key("directories").BeginArray();
    for (const Row& row : rows) {
      json.BeginObject();
      json.Field("name", row.name);
      json.Field("value", row.value);
      json.Field("absolute", row.region ? std::string() : AbsolutePath(row.value));
      json.Field("set", !row.value.empty());
      json.Field("kind", row.region ? "region" : "folder");
      json.Field("exists", row.exists);
      json.Key("requiredFiles").BeginArray();
      for (const auto& f : row.required) json.String(f);
      json.EndArray();
      json.Key("missingFiles").BeginArray();
      for (const auto& f : row.missing) json.String(f);
      json.EndArray();
      json.Field("valid", !row.value.empty() && (row.region || (row.exists && row.missing.empty())));
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    return kExitOk;
  }
  std::vector<std::vector<std::string>> folders{
      {"Configuration directory:", WithAbsolute(configDir)},
      {"Runtime directory:", WithAbsolute(runtimeDir)},
      {"System configuration:", dirs && !dirs->GetSystemConfigDir().empty() ? dirs->GetSystemConfigDir().str() : "-"},
      {"Registry:", kSystemRegistry ? "the system's registry" : "the store in " + registryDir},
  };
  AddLayerFileRows(folders);
  folders.push_back({"Writeable root:", WithAbsolute(root)});
  folders.push_back({"Paths relative to:", BaseFolder() + "  (the current folder)"});
  PrintTable(folders);
  std::cout << '\n';
  std::vector<std::vector<std::string>> table{{"NAME", "VALUE", "STATE"}};
  for (const Row& row : rows) {
    std::string state;
    if (row.value.empty()) state = "not set";
    else if (row.region) state = "region code";
    else if (!row.exists) state = "missing folder";
    else if (!row.missing.empty()) {
      state = "lacks";
      for (size_t i = 0; i < row.missing.size(); ++i) state += (i ? ", " : " ") + row.missing[i];
    } else {
      state = row.required.empty() ? "ok" : "ok, holds its files";
    }
    table.push_back({row.name, row.value.empty() ? "-" : row.region ? row.value : WithAbsolute(row.value), state});
  }
  PrintTable(table);
  return kExitOk;
}

int CmdStatus(const Options& options) {
  const int status = Config_GetDataStatus();
  TVersionStruct version;
  Config_GetCurRunningAppDataVerInfo(version);
  const std::string grid = Config_GetNetworkDir(false).str();
  const std::string region = Config_GetDirPathU("RegionDir", false).str();
  const long revision = Config_GetIntVal("Data", "CurrentRevision");
  const std::string major = Config_GetOroUStrVal("Version", "Major").str();
  // Read as a setting: the data status functions would clear the flag.
  const bool firstRun = Config_GetIntVal("User Settings", "DrivoraOutOfBoxFirstRun") != 0;
  const std::string versionFile = version.fileName.GetFullPath(true).str();
  const GridVersionString product(version.productName.c_str(), "", "");

  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Field("status", StatusName(status));
    json.Field("grid", grid);
    json.Field("gridAbsolute", AbsolutePath(grid));
    json.Field("base", BaseFolder());
    json.Field("region", region);
    json.Field("dataRegion", product.Region_MainRegion().str());
    json.Field("revision", revision);
    json.Field("softwareVersion", major);
    json.Field("firstRun", firstRun);
    WriteLayerFiles(json);
    json.Key("versionFile");
    if (versionFile.empty()) {
      json.Null();
    } else {
      json.BeginObject();
      json.Field("file", versionFile);
      json.Field("fileAbsolute", AbsolutePath(versionFile));
      json.Field("productName", version.productName.str());
      json.Field("dataVersion", version.dataVersion.str());
      json.Field("dataFormat", version.dataFormat.str());
      json.Field("gridData", version.gridData.str());
      json.Field("language", version.language.str());
      json.Field("mapId", product.GetRegionId());
      json.EndObject();
    }
    json.EndObject();
    return kExitOk;
  }
  std::vector<std::vector<std::string>> rows{
      {"Data status:", std::string(StatusName(status)) + "  (" + StatusMeaning(status) + ")"},
      {"Grid directory:", grid.empty() ? "-" : WithAbsolute(grid)},
      {"Region:", !region.empty() ? region
                  : product.Region_MainRegion().empty()
                      ? "-"
                      : product.Region_MainRegion().str() + "  (named by the data; RegionDir is not set)"},
      {"Revision:", std::to_string(revision)},
      {"Software version:", major},
      {"First start:", firstRun ? "not made yet  (the application's next start counts as its first with these "
                                  "settings, and clears User Settings\\DrivoraOutOfBoxFirstRun)"
                                : "made  (the application has started with these settings before)"},
  };
  AddLayerFileRows(rows);
  if (versionFile.empty()) {
    rows.push_back({"Version file:", "-"});
  } else {
    rows.push_back({"Version file:", WithAbsolute(versionFile)});
    rows.push_back({"  Product Name:", version.productName.str()});
    rows.push_back({"  Data Version:", version.dataVersion.str()});
    rows.push_back({"  Data Format:", version.dataFormat.str()});
    rows.push_back({"  Grid Data:", version.gridData.str()});
    rows.push_back({"  Language:", version.language.str()});
    const long id = product.GetRegionId();
    rows.push_back({"  Map ID:", id < 0 ? "-" : std::to_string(id)});
  }
  rows.push_back({"Paths relative to:", BaseFolder() + "  (the current folder)"});
  PrintTable(rows);
  return kExitOk;
}

int CmdMapsets(const Options& options, const std::string& path, const std::string& type) {
  const std::vector<std::pair<std::string, eInstallDataType>> kinds{
      {"data", INSTALL_DATA_NETWORK}, {"orospeeds", INSTALL_DATA_OROSPEEDS}, {"ispeeds", INSTALL_DATA_ISPEEDS},
      {"tmc", INSTALL_DATA_TMC},      {"polygons", INSTALL_DATA_POLYGONS},
  };
  eInstallDataType kind = INSTALL_DATA_NONE;
  for (const auto& [name, value] : kinds)
    if (name == type) kind = value;
  if (kind == INSTALL_DATA_NONE) Fail(kExitUsage, "unknown kind of data '" + type + "'");

  DirectoryMgr* dirs = GetDirectoryMgr();
  if (!dirs) Fail(kExitFailure, "the library has no directory manager");
  ListMgr<OroDataSet> sets(true);
  dirs->GetInstalledMapSetsInPath(sets, OROustring(path), kind);
  for (OroDataSet* set : sets)
    if (set) set->DiscoverCHXFiles();

  auto chxFiles = [](const OroDataSet& set) {
    std::vector<std::string> out;
    for (const OroFileName* f : set.GetCHXFiles())
      if (f) out.push_back(f->GetFullPath(true).str());
    return out;
  };
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginArray();
    for (const OroDataSet* set : sets) {
      if (!set) continue;
      json.BeginObject();
      json.Field("mapId", static_cast<long long>(set->GetMapID()));
      json.Field("name", set->GetName().str());
      json.Field("path", set->GetPath().GetFullPath(false).str());
      json.Key("chxFiles").BeginArray();
      for (const std::string& f : chxFiles(*set)) json.String(f);
      json.EndArray();
      json.EndObject();
    }
    json.EndArray();
    return kExitOk;
  }
  std::vector<std::vector<std::string>> rows{{"MAP ID", "NAME", "PATH", "CHX FILES"}};
  size_t count = 0;
  for (const OroDataSet* set : sets) {
    if (!set) continue;
    ++count;
    std::string chx;
    for (const std::string& f : chxFiles(*set)) chx += (chx.empty() ? "" : ", ") + f;
    rows.push_back({set->GetMapID() < 0 ? "-" : std::to_string(set->GetMapID()), set->GetName().str(),
                    set->GetPath().GetFullPath(false).str(), chx.empty() ? "-" : chx});
  }
  if (count == 0) {
    std::cout << "no map sets of the kind " << type << " at or under " << path << '\n';
    return kExitOk;
  }
  PrintTable(rows);
  std::cout << count << (count == 1 ? " map set\n" : " map sets\n");
  return kExitOk;
}

int CmdVersionString(const Options& options, const std::vector<std::string>& texts) {
  const std::string& first = texts.at(0);
  const std::string software = texts.size() > 1 ? texts[1] : std::string();
  const GridVersionString v = texts.size() > 2 ? GridVersionString(first.c_str(), software.c_str(), texts[2].c_str())
                                               : GridVersionString(first.c_str(), software.c_str());
  const bool valid = v.IsValidGridVersion();
  const std::vector<std::pair<const char*, std::string>> fields{
      {"Provider", v.Provider().str()},
      {"Region", v.Region().str()},
      {"MainRegion", v.Region_MainRegion().str()},
      {"SubRegion", v.Region_SubRegion().str()},
      {"SubRegionId", v.Region_SubRegionId().str()},
      {"Year", v.Year().str()},
      {"Quarter", v.Quarter().str()},
      {"SoftwareVersion", v.SoftwareVersion().str()},
      {"GridRevision", v.GridRevision().str()},
      {"StreetRevision", v.StreetRevision().str()},
      {"CitiesRevision", v.CitiesRevision().str()},
      {"BackboneRevision", v.BackboneRevision().str()},
      {"Other", v.Other().str()},
  };
  const std::vector<std::pair<const char*, std::string>> formatted{
      {"GridProductName", v.GetGridProductNameString().str()},
      {"GridData", v.GetGridDataString().str()},
      {"Version", v.GetVersionString(false).str()},
      {"VersionShort", v.GetVersionString(true).str()},
      {"GridDataVersion", v.GetGridDataVersionString(false).str()},
  };

  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    for (const auto& [name, value] : fields) {
      std::string key = name;
      key[0] = static_cast<char>(key[0] - 'A' + 'a');
      json.Field(key, value);
    }
    json.Field("providerCode", v.GetProvider());
    json.Field("yearNumber", v.GetYear());
    json.Field("quarterNumber", v.GetQuarter());
    json.Field("regionId", v.GetRegionId());
    json.Key("formatted").BeginObject();
    for (const auto& [name, value] : formatted) {
      std::string key = name;
      key[0] = static_cast<char>(key[0] - 'A' + 'a');
      json.Field(key, value);
    }
    json.EndObject();
    json.Field("valid", valid);
    json.EndObject();
    return valid ? kExitOk : kExitFailure;
  }
  auto orDash = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
  std::vector<std::vector<std::string>> rows{
      {"Provider:", orDash(v.Provider().str()) + "  (code " + std::to_string(v.GetProvider()) +
                        (v.GetProvider() == GRD_PROVIDER_UNKNOWN ? ": unknown provider)" : ")")},
      {"Region:", orDash(v.Region().str()) + "  (main " + orDash(v.Region_MainRegion().str()) + ", sub-region " +
                      orDash(v.Region_SubRegion().str()) + ", map ID " + std::to_string(v.GetRegionId()) + ")"},
      {"Year:", orDash(v.Year().str())},
      {"Quarter:", orDash(v.Quarter().str())},
      {"Software version:", orDash(v.SoftwareVersion().str())},
      {"Grid revision:", orDash(v.GridRevision().str())},
      {"Street revision:", orDash(v.StreetRevision().str())},
      {"Cities revision:", orDash(v.CitiesRevision().str())},
      {"Backbone revision:", orDash(v.BackboneRevision().str())},
      {"Other revision:", orDash(v.Other().str())},
      {"Product name:", v.GetGridProductNameString().str()},
      {"Data string:", v.GetGridDataString().str()},
      {"Version string:", v.GetVersionString(false).str() + "  (short " + v.GetVersionString(true).str() + ")"},
      {"Data version:", v.GetGridDataVersionString(false).str()},
      {"Valid:", valid ? "yes" : "no (needs a known provider and a year and quarter above 0)"},
  };
  PrintTable(rows);
  return valid ? kExitOk : kExitFailure;
}

}  // namespace navtool
