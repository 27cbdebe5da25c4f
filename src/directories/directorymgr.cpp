// DirectoryMgr: construction, the start-up sequence and the table of named directories.
#include <config/directorymgr.h>
#include <doroutil/files.h>
#include <doroutil/logmgr.h>
#include <doroutil/strutil.h>
#include <platform/os.h>

#include <string>

#include "common/log.h"
#include "directories/directory_paths.h"
#include "directories/settings.h"

using namespace navconfig;

namespace {

constexpr const char* kDirectoriesSection = "Directories";
// The section of the user layer that every directory is written to.
constexpr const char* kUserDirectoriesSection = "user\\Directories";

struct NamedFolder {
  const char* name;
  const char* folder;
};

// The support directories below the writeable root. Backslashes in the folders become the platform's
// separator before they are written.
constexpr NamedFolder kSupportDirectories[] = {
    {"LRGlobalSaveDir", "save"}, {"GlobalAddonDir", "addon"},      {"SpeechDir", "speech"},
    {"LRInfoDir", "info"},       {"LRGPSSaveDir", "gpstracks"},    {"UpdateDir", "save\\update"},
    {"GPSDemoDir", "gpstracks\\demo"},
};

// The data folders that lie beside a grid "data" folder.
constexpr NamedFolder kDataDirectories[] = {
    {"CitiesDir", "cities"}, {"LRGeoDir", "places"}, {"PolyDir", "polygons"},
    {"OROSpeedsDir", "orospeeds"}, {"TMCDir", "tmc"},
};

constexpr NamedFolder kRegionDirectories[] = {{"LRSaveDir", "save"}, {"AddonDir", "addon"}};

// A directory read back as UTF-8 for the file functions.
bool DirectoryExists(const OROwstring& path) { return FileDoesDirExist(path.uString().c_str()); }

}  // namespace

namespace navconfig {

OROustring JoinPath(const OROustring& base, const char* name) {
  OROustring out(base);
  if (!out.empty()) out.appendSlash();
  out += name;
  return out;
}

OROustring DirPathU(const DirectoryMgr* dirs, const char* name, bool appendSlash) {
  OROwstring path;
  if (!dirs || !dirs->GetDirPath(name, path, appendSlash)) return OROustring();
  return path.uString();
}

bool DirectoryFromEnvironment(const char* name, OROwstring& out) {
  std::string value;
  if (!platform::GetEnv(name, value) || value.empty()) return false;
  OROustring dir(value);
  dir.appendSlash();
  out = dir.wString();
  return true;
}

}  // namespace navconfig

DirectoryMgr::DirectoryMgr() : m_externalStorageDirs(true), m_versionCache(true) {}

DirectoryMgr::~DirectoryMgr() = default;

const OROustring& DirectoryMgr::GetWriteableRootDir() const { return m_writeableRootDir; }

const OROustring& DirectoryMgr::GetUISupportDir() const {
  m_configDirUtf8 = m_configDir.uString();
  return m_configDirUtf8;
}

void DirectoryMgr::InitInternalStorageDir() {}
void DirectoryMgr::InitExternalStorageDir() {}
void DirectoryMgr::InitUISupportDirs() {}

const OROustring& DirectoryMgr::GetDataRootToSearch(bool) const { return m_writeableRootDir; }
const OROustring& DirectoryMgr::GetRegionSaveDir() const { return m_writeableRootDir; }

void DirectoryMgr::SetConfigPath(const char* path) { m_configDir = OROwstring(path ? path : ""); }

void DirectoryMgr::Initialize() {
  const BatchedWrites batch(BatchedWrites::Lock::DontWait);
  InitRuntimeDir();
  InitInternalStorageDir();
  InitExternalStorageDir();
  InitConfigDir();
  InitDirectoryTable();
  InitRegistryDir();
  SearchDataAndStatus();
}

void DirectoryMgr::InitDirectoryTable() {
  OROwstring root;
  GetDirPath("RootDir", root, true);
  if (DirectoryExists(root)) {
    m_writeableRootDir = root.uString();
  } else {
    // The installation moved or this is the first start: forget every directory that is gone.
    ResetDirectories();
    InitWriteableRootDir();
    if (m_writeableRootDir.empty()) {
      m_writeableRootDir = ".";
      m_writeableRootDir.appendSlash();
    }
    SetDirPath("RootDir", m_writeableRootDir.wString());
  }
  InitUISupportDirs();
  InitDataSupportDirs();
}

long DirectoryMgr::GetDirPath(const char* name, OROwstring& path, bool appendSlash) const {
  if (name && SpecialChar_stricmp(name, "RuntimeDir") == 0) {
    path = m_runtimeDir;
    if (appendSlash) path.appendSlash();
    path.makeFileSlashOSCompatible();
    return 1;
  }
  // 511 bytes offered: at most 510 of the value.
  const OROustring value = name ? ReadStringSetting(kDirectoriesSection, name, 511) : OROustring();
  path = OROwstring(value.c_str());
  if (value.empty()) return 0;
  if (appendSlash) path.appendSlash();
  path.makeFileSlashOSCompatible();
  return 1;
}

long DirectoryMgr::SetDirPath(const char* name, const OROwstring& path) {
  const OROustring value = path.uString();
  if (IsAndroidLoggingEnabled() && GetLogMgr())
    LogMessage(kLogCategoryDirectories, kLogLevelInfo, kDirectoryLogSource, 602, "%s %s %s", name ? name : "",
               value.c_str(), kUserDirectoriesSection);
  WriteStringSetting(kUserDirectoriesSection, name, value.c_str());
  return 1;
}

void DirectoryMgr::ResetDirectories() {
  const BatchedWrites batch;
  OROwstring path;
  for (const char* name : kTableDirectories) {
    GetDirPath(name, path, true);
    if (!DirectoryExists(path)) SetDirPath(name, OROwstring());
  }
}

bool DirectoryMgr::UseExistingRootDir(OROustring& rootDir) {
  rootDir = DirPathU(this, "RootDir", true);
  if (FileDoesDirExist(rootDir.c_str())) return true;
  ResetDirectories();
  return false;
}

void DirectoryMgr::InitDataSupportDirs() {
  OROwstring path;
  for (const NamedFolder& dir : kSupportDirectories) {
    GetDirPath(dir.name, path, true);
    if (DirectoryExists(path)) continue;
    OROustring folder(dir.folder);
    folder.makeFileSlashOSCompatible();
    SetDirPath(dir.name, JoinPath(m_writeableRootDir, folder.c_str()).wString());
  }
}

void DirectoryMgr::InitDataDirs(const OROustring& root, const OROustring& subDir) {
  if (root.empty()) return;
  OROustring base(root);
  base.appendSlash();
  if (!subDir.empty()) {
    base += subDir;
    base.appendSlash();
  }
  for (const NamedFolder& dir : kDataDirectories) {
    OROustring path = base + dir.folder;
    path.appendSlash();
    SetDirPath(dir.name, path.wString());
  }
  WriteIntSetting("Data", "VersionedGrid", -1);
}

void DirectoryMgr::InitRegionDataDirs(const OROustring& region) {
  OROustring base = GetRegionSaveDir();
  if (!region.empty()) base = JoinPath(base, region.c_str());
  for (const NamedFolder& dir : kRegionDirectories) {
    OROustring path = JoinPath(base, dir.folder);
    path.appendSlash();
    SetDirPath(dir.name, path.wString());
  }
}

long DirectoryMgr::SetTempSaveDir(const OROustring& root) {
  if (root.empty()) return 1;
  OROustring path = JoinPath(root, "tempsave");
  path.appendSlash();
  return SetDirPath("LRSaveDir", path.wString());
}

const char* DirectoryMgr::GetDirName(eInstallDataType type) const {
  switch (type) {
    case INSTALL_DATA_NETWORK: return "data";
    case INSTALL_DATA_OROSPEEDS: return "orospeeds";
    case INSTALL_DATA_ISPEEDS: return "ispeeds";
    case INSTALL_DATA_TMC: return "tmc";
    case INSTALL_DATA_POLYGONS: return "polygons";
    default: return "";
  }
}
