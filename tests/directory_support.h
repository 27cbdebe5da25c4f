// Helpers for the directory manager's tests: a scratch installation with its own runtime, configuration,
// home and working folders, map data trees, and access to the manager's private parts.
#ifndef NAVCONFIG_TESTS_DIRECTORY_SUPPORT_H
#define NAVCONFIG_TESTS_DIRECTORY_SUPPORT_H

#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/data_dirs.h>
#include <config/directorymgr.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

// Reaches the members that the tests check or set directly.
class DirectoryMgrTestAccess {
 public:
  static void SetStitchedDataEnabled(DirectoryMgr& dirs, bool enabled) { dirs.m_stitchedDataEnabled = enabled; }
  static const char* StatusText(const DirectoryMgr& dirs, int status) {
    return dirs.GetDataStatusStr(static_cast<eDataStatus>(status));
  }
  static bool ReadVersionFile(const DirectoryMgr& dirs, const std::string& path, TVersionStruct& version) {
    return dirs.ReadVersionDotDatFile(OroFileName(OROustring(path)), version);
  }
  static std::vector<std::string> CachedVersionFiles(const DirectoryMgr& dirs) {
    std::vector<std::string> out;
    for (const TVersionStruct* v : dirs.m_versionCache) out.push_back(v->fileName.GetFullPath(true).str());
    return out;
  }
  static std::vector<std::string> FilesToValidate(const DirectoryMgr& dirs, const char* name) {
    ListMgr<OROustring> files(true);
    dirs.GetFilesToValidate(name, files);
    std::vector<std::string> out;
    for (const OROustring* f : files) out.push_back(f->str());
    return out;
  }
  static bool ValidateDirectoryContents(const DirectoryMgr& dirs, const char* name) {
    return dirs.ValidateDirectoryContents(name);
  }
  static bool FilesInDir(const DirectoryMgr& dirs, const std::string& dir, const char* const* names) {
    return dirs.FilesInDir(OROustring(dir), names);
  }
  static void InitDataDirs(DirectoryMgr& dirs, const std::string& root, const std::string& sub) {
    dirs.InitDataDirs(OROustring(root), OROustring(sub));
  }
  static void InitRegionDataDirs(DirectoryMgr& dirs, const std::string& region) {
    dirs.InitRegionDataDirs(OROustring(region));
  }
  static long SetTempSaveDir(DirectoryMgr& dirs, const std::string& root) {
    return dirs.SetTempSaveDir(OROustring(root));
  }
  static void InitDataSupportDirs(DirectoryMgr& dirs) { dirs.InitDataSupportDirs(); }
  static bool DiscoverDataInRegionRoot(DirectoryMgr& dirs, bool stitched, const std::string& region) {
    return dirs.DiscoverDataInRegionRoot(stitched, OROustring(region));
  }
};

namespace dirtest {

// A scratch installation: the folders runtime, config, home and the working folder "work" below <tmp>,
// which becomes the process's current directory. The library reads the variables at its first call.
//
// On Windows the variables stay unset, so that the runtime directory is the folder of the library's module,
// here the test program's folder, and the configuration directory is the same folder: the start reads the
// directory table from there, as the application's start does beside config.dll. Runtime() and UserCfg()
// name those places on every platform; the program's folder is cleared of layer files before and after each
// test, and the tests of a program run one at a time (tests/CMakeLists.txt).
class Installation {
 public:
  Installation()
      : m_runtime("NAVCONFIG_RUNTIME_DIR", testsupport::kWindows ? nullptr : (m_dir / "runtime/").c_str()),
        m_config("NAVCONFIG_CONFIG_DIR", testsupport::kWindows ? nullptr : (m_dir / "config/").c_str()),
        m_home("NAVCONFIG_HOME", (m_dir / "home/").c_str()) {
    testsupport::ClearProgramDirectory();
    for (const char* d : {"runtime", "config", "home", "work"}) testsupport::MakeDirs(m_dir / d);
    std::error_code ec;
    m_oldCwd = std::filesystem::current_path(ec);
    std::filesystem::current_path(std::filesystem::path(m_dir / "work"), ec);
    if (ec) m_oldCwd.clear();
  }
  ~Installation() {
    std::error_code ec;
    if (!m_oldCwd.empty()) std::filesystem::current_path(m_oldCwd, ec);
    testsupport::ClearProgramDirectory();
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  // The scratch folder (ending in a separator) joined with a relative name written with '/'.
  std::string operator/(const std::string& name) const { return m_dir / name; }
  std::string Runtime() const { return testsupport::kWindows ? testsupport::ProgramDirectory() : m_dir / "runtime/"; }
  std::string Work() const { return m_dir / "work/"; }
  std::string UserCfg() const {
    return testsupport::kWindows ? testsupport::ProgramDirectory() + "user.cfg" : m_dir / "config/user.cfg";
  }

  // user.cfg before the first start: the directories given as name/value pairs.
  void WriteDirectories(const std::vector<std::pair<std::string, std::string>>& dirs,
                        const std::string& more = "") const {
    std::string text = "[Directories]\n";
    for (auto& [name, value] : dirs) text += "\"" + name + "\"=\"" + value + "\"\n";
    text += "\n" + more;
    testsupport::WriteFile(UserCfg(), text);
  }

 private:
  testsupport::TempDir m_dir;
  testsupport::ScopedEnv m_runtime;
  testsupport::ScopedEnv m_config;
  testsupport::ScopedEnv m_home;
  std::filesystem::path m_oldCwd;
};

// What the user layer holds for a directory (not the default), or "<unset>".
inline std::string UserDir(const char* name) {
  int found = 0;
  char buffer[1024];
  Config_GetStrVal("user\\Directories", name, buffer, sizeof buffer, &found);
  return found ? std::string(buffer) : std::string("<unset>");
}

// The directory as the directory manager reads it.
inline std::string Dir(const char* name, bool appendSlash = false) {
  return Config_GetDirPathU(name, appendSlash).str();
}

// A grid folder: both grid files, or only the first when complete is false, and a version file when a format
// line is given ("" for a version file without one, nullptr for none).
inline void MakeGrid(const std::string& dir, bool complete = true, const char* formatLine = nullptr) {
  testsupport::MakeDirs(dir);
  testsupport::WriteFile(dir + "/00000000.qd", "qd");
  if (complete) testsupport::WriteFile(dir + "/00000000.hsh", "hsh");
  if (formatLine)
    testsupport::WriteFile(dir + "/version.dat",
                           std::string("Product Name: Test Maps\nData Version: 2024.1\n") + formatLine + "\n");
}

}  // namespace dirtest

#endif
