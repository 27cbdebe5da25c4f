// The data directory exports: thin shims over the directory manager and the directories of updatable data
// that the directory folder composes.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/data_dirs.h>

#include <cstring>

#include "directories/directories.h"

using namespace navconfig;

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

eDataStatus Config_GetDataStatus(void) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  return dirs ? dirs->GetDataStatus() : DATA_UNKNOWN;
}

bool Config_IsOutOfBoxFirstRun(void) {
  DirectoryMgr* dirs = GetDirectoryMgr();
  return dirs && dirs->IsOutOfBoxFirstRun();
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

OROustring Config_GetThemeSkinDir() { return ThemeSkinDir(GetDirectoryMgr()); }

OROustring Config_GetUpdateDir(const OROustring& name, const OROustring& dataKind, bool streamed,
                               unsigned long revision, OROustring region, const OROustring& baseDir) {
  return UpdateDir(GetDirectoryMgr(), name, dataKind, streamed, revision, region, baseDir);
}

OROustring Config_GetUpdateDirName(unsigned long revision, const OROustring& subDir, const OROustring& fileName) {
  return UpdateDirName(GetDirectoryMgr(), revision, subDir, fileName);
}

OROustring Config_GetRootUpdateDir(bool streamed) { return RootUpdateDir(GetDirectoryMgr(), streamed); }

OROustring Config_GetNetworkDir(bool streamed) { return CurrentDataDir(GetDirectoryMgr(), "LRGridDir", "network", streamed); }
OROustring Config_GetOroSpeedsDir(bool streamed) {
  return CurrentDataDir(GetDirectoryMgr(), "OROSpeedsDir", "orospeeds", streamed);
}
OROustring Config_GetInrixSpeedsDir(bool streamed) {
  return CurrentDataDir(GetDirectoryMgr(), "InrixSpeedsDir", "ispeeds", streamed);
}
OROustring Config_GetTMCDir(bool streamed) { return CurrentDataDir(GetDirectoryMgr(), "TMCDir", "tmc", streamed); }
OROustring Config_GetPolygonsDir(bool streamed) {
  return CurrentDataDir(GetDirectoryMgr(), "PolyDir", "polygons", streamed);
}
OROustring Config_GetCitiesDir() { return CurrentDataDir(GetDirectoryMgr(), "CitiesDir", "cities", false); }
OROustring Config_GetPlacesDir() { return CurrentDataDir(GetDirectoryMgr(), "LRGeoDir", "places", false); }

OROustring Config_GetDataVersionInfo(const OROustring& dir, const OROustring& fileName, const char* label,
                                     bool reload) {
  OROustring value;
  if (DirectoryMgr* dirs = GetDirectoryMgr()) dirs->GetDataVersionInfo(dir, fileName, label, value, reload);
  return value;
}

OROustring Config_GetInternalStorageName(bool) { return OROustring(); }
