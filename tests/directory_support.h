// Helpers for the directory manager's tests: a scratch installation with its own runtime, configuration,
// home and working folders, map data trees, and access to the manager's inner parts.
#ifndef NAVCONFIG_TESTS_DIRECTORY_SUPPORT_H
#define NAVCONFIG_TESTS_DIRECTORY_SUPPORT_H

#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/data_dirs.h>
#include <config/directorymgr.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

class DirectoryMgrTestAccess {
 public:
  static void SetStitchedDataEnabled(DirectoryMgr& d, bool enabled) { d.m_stitchedDataEnabled = enabled; }
  static void InitDataDirs(DirectoryMgr& d, const OROustring& root, const OROustring& s) { d.InitDataDirs(root, s); }
  static void InitRegionDataDirs(DirectoryMgr& d, const OROustring& region) { d.InitRegionDataDirs(region); }
  static long SetTempSaveDir(DirectoryMgr& d, const OROustring& root) { return d.SetTempSaveDir(root); }
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
  std::string UserCfg() const {
    return testsupport::kWindows ? testsupport::ProgramDirectory() + "user.cfg" : m_dir / "config/user.cfg";
  }

  // user.cfg before the first start: the directories given as name/value pairs, then more text.
  void WriteDirectories(const std::vector<std::pair<std::string, std::string>>& dirs,
                        const std::string& more = "") const {
    std::string text = "[Directories]\n";
    for (auto& [name, value] : dirs) text += "\"" + name + "\"=\"" + value + "\"\n";
    testsupport::WriteFile(UserCfg(), text + "\n" + more);
  }

 private:
  testsupport::TempDir m_dir;
  testsupport::ScopedEnv m_runtime;
  testsupport::ScopedEnv m_config;
  testsupport::ScopedEnv m_home;
  std::filesystem::path m_oldCwd;
};

// What the user layer holds for a directory (not the default), or "<unset>".
inline std::string UserDir(const char* n) {
  return Config_DoesKeyExist("user\\Directories", n) ? Config_GetOroUStrVal("user\\Directories", n).str() : "<unset>";
}

// The directory as the directory manager reads it.
inline std::string Dir(const char* name, bool slash = false) { return Config_GetDirPathU(name, slash).str(); }

// A grid folder: both grid files, or only the first when complete is false, and a version file when a format
// line is given.
inline void MakeGrid(const std::string& dir, bool complete = true, const char* formatLine = nullptr) {
  testsupport::MakeDirs(dir);
  testsupport::WriteFile(dir + "/00000000.qd", "qd");
  if (complete) testsupport::WriteFile(dir + "/00000000.hsh", "hsh");
  if (formatLine)
    testsupport::WriteFile(dir + "/version.dat",
                           std::string("Product Name: Test Maps\nData Version: 2024.1\n") + formatLine + "\n");
}

// The number of completed data status checks in a captured log.
inline size_t StatusChecks(const testsupport::LogCapture& log) { return log.Matching("GetDataStatus() ret[").size(); }

}  // namespace dirtest

#endif
