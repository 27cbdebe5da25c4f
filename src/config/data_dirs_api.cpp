// The data directory exports: thin shims over the directory manager, and the composition of the directories
// of updatable data from the root, the region, the revision and the kind of data.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/data_dirs.h>
#include <doroutil/files.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "directory_paths.h"

using namespace navconfig;

namespace {

// The revision argument that stands for the current revision. Compared on its low 32 bits, so that -1 means
// the same where unsigned long is wider.
constexpr uint32_t kCurrentRevision = 0xFFFFFFFF;

uint32_t ResolveRevision(unsigned long revision) {
  const auto value = static_cast<uint32_t>(revision);
  if (value != kCurrentRevision) return value;
  return static_cast<uint32_t>(Config_GetIntVal("Data", "CurrentRevision"));
}

// In decimal, unsigned: a revision above 0x7FFFFFFF names a folder of its own digits where long has 32 bits too.
OROustring RevisionText(uint32_t revision) { return OROustring(std::to_string(revision)); }

// The kinds of data that keep a "base" level below the revision.
bool HasBaseLevel(const OROustring& kind) {
  return kind == "network" || kind == "polygons" || kind == "orospeeds" || kind == "ispeeds" || kind == "tmc";
}

OROustring DataDir(const char* name, const char* kind, bool streamed) {
  return Config_GetUpdateDir(name, kind, streamed, kCurrentRevision, OROustring(), OROustring());
}

}  // namespace

long Config_GetDirPath(const char* name, char* buffer, int bufferSize, bool appendSlash) {
  OROwstring path;
  const long result = Config_GetDirPathW(name, path, appendSlash);
  if (!buffer || bufferSize <= 0) return result;
  const char* text = path.c_str(false);
  const size_t size = static_cast<size_t>(bufferSize);
  const size_t length = std::strlen(text);
  if (length < size) {
    std::memcpy(buffer, text, length);
    std::memset(buffer + length, 0, size - length);
  } else {
    // Cut to fit, terminated in the last byte.
    std::memcpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
  }
  return result;
}

long Config_GetDirPathW(const char* name, OROwstring& path, bool appendSlash) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  if (!dirs) {
    path.clear();
    return 0;
  }
  return dirs->GetDirPath(name, path, appendSlash);
}

long Config_GetDirPathU(const char* name, OROustring& path, bool appendSlash) {
  OROwstring wide;
  const long result = Config_GetDirPathW(name, wide, appendSlash);
  path = wide.uString();
  return result;
}

long Config_SetDirPath(const char* name, const OROwstring& path) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  return dirs ? dirs->SetDirPath(name, path) : 1;
}

const char* GetDirName(eInstallDataType type) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  return dirs ? dirs->GetDirName(type) : "";
}

bool Config_GetCurRunningAppDataVerInfo(TVersionStruct& info) {
  if (DirectoryMgr* dirs = GetDirectoryMgr()) return dirs->GetCurRunningDataVerInfo(info);
  info = TVersionStruct();
  return true;
}

OROwstring Config_GetDirPath(const char* name, bool appendSlash) {
  OROwstring path;
  Config_GetDirPathW(name, path, appendSlash);
  return path;
}

OROustring Config_GetDirPathU(const char* name, bool appendSlash) {
  OROustring path;
  Config_GetDirPathU(name, path, appendSlash);
  return path;
}

OROustring Config_GetDirPathU(const OROustring& name, bool appendSlash) {
  return Config_GetDirPathU(name.c_str(), appendSlash);
}

long Config_SetDirPath(const char* name, const OROustring& path) { return Config_SetDirPath(name, path.wString()); }

OROustring Config_GetRootDir() { return Config_GetDirPathU("RootDir", true); }

OROustring Config_GetWriteableRootDir() {
  DirectoryMgr* dirs = GetDirectoryMgr();
  return dirs ? dirs->GetWriteableRootDir() : OROustring();
}

OROustring Config_GetThemeSkinDir() {
  const OROustring theme = Config_GetOroUStrVal("Styles", "Theme");
  if (theme.is_null()) return theme;
  OROustring result = Config_GetDirPathU("ThemesDir", true);
  result += theme;
  result.appendSlash();
  result += "skin";
  result.appendSlash();
  return result;
}

OROustring Config_GetUpdateDir(const OROustring& name, const OROustring& dataKind, bool streamed,
                               unsigned long revision, OROustring region, const OROustring& baseDir) {
  // A configured directory wins over the layout.
  OROustring result = Config_GetDirPathU(name, true);
  if (!result.empty()) return result;
  result = baseDir.empty() ? Config_GetDirPathU("RootDir", true) : baseDir;
  if (result.empty()) return result;
  result.appendSlash();
  const uint32_t resolved = ResolveRevision(revision);
  if (region.is_null()) region = Config_GetDirPathU("RegionDir", true);
  result += region;
  result.appendSlash();
  result += RevisionText(resolved);
  result.appendSlash();
  if (streamed) {
    result += "streamed";
    result.appendSlash();
  } else if (HasBaseLevel(dataKind)) {
    result += "base";
    result.appendSlash();
  }
  if (dataKind == "network") result += "data";
  else if (HasBaseLevel(dataKind)) result += dataKind;
  result.appendSlash();
  return result;
}

OROustring Config_GetUpdateDirName(unsigned long revision, const OROustring& subDir, const OROustring& fileName) {
  const OROustring update = Config_GetDirPathU("UpdateDir", true);
  OROustring sub = subDir;
  if (sub.compare(".\\", false, 2) == 0 || sub.compare("./", false, 2) == 0) sub = sub.substr(2);
  OROustring result = update + RevisionText(ResolveRevision(revision));
  if (!sub.empty()) {
    result.appendSlash();
    result += sub;
  }
  if (subDir.empty()) FileCreateDir(result.c_str());
  if (!result.empty()) {
    result.appendSlash();
    result += fileName;
  }
  return result;
}

OROustring Config_GetRootUpdateDir(bool streamed) {
  return Config_GetUpdateDir("LRGridDir", "", streamed, kCurrentRevision, OROustring(),
                             Config_GetDirPathU("RuntimeDir", true));
}

OROustring Config_GetNetworkDir(bool streamed) { return DataDir("LRGridDir", "network", streamed); }
OROustring Config_GetOroSpeedsDir(bool streamed) { return DataDir("OROSpeedsDir", "orospeeds", streamed); }
OROustring Config_GetInrixSpeedsDir(bool streamed) { return DataDir("InrixSpeedsDir", "ispeeds", streamed); }
OROustring Config_GetTMCDir(bool streamed) { return DataDir("TMCDir", "tmc", streamed); }
OROustring Config_GetPolygonsDir(bool streamed) { return DataDir("PolyDir", "polygons", streamed); }
OROustring Config_GetCitiesDir() { return DataDir("CitiesDir", "cities", false); }
OROustring Config_GetPlacesDir() { return DataDir("LRGeoDir", "places", false); }

OROustring Config_GetDataVersionInfo(const OROustring& dir, const OROustring& fileName, const char* label,
                                     bool reload) {
  OROustring value;
  if (DirectoryMgr* dirs = GetDirectoryMgr()) dirs->GetDataVersionInfo(dir, fileName, label, value, reload);
  return value;
}

OROustring Config_GetInternalStorageName(bool) { return OROustring(); }
