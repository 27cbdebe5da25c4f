// The surroundings of the configuration store's tests: a scratch installation (configuration, runtime and
// home folders) that the library is pointed at, and helpers that look at the layer files as text.
//
// On POSIX the library finds the scratch folders through its environment variables. On Windows the runtime
// directory is the folder of the library's module, here the test program's folder, and a start reads and
// writes the configuration there, as the application's start does beside config.dll; the fixture then
// points the library at the scratch configuration folder with SU_Config and moves the user.cfg that the
// start wrote along, so that a test finds what a start in the scratch folder leaves on every platform. The
// tests of one program run one at a time on Windows (see tests/CMakeLists.txt), and the fixture clears the
// program's folder of layer files and map layers before and after each test.
//
// The fixture replaces the library's managers, so that a test finds a fresh configuration also when several
// tests share one process. A test that prepares layer files writes them and then calls Reload() (a new
// configuration manager, which reads every file afresh); one that restarts the library calls Restart().
#ifndef NAVCONFIG_TESTS_STORE_ENV_H
#define NAVCONFIG_TESTS_STORE_ENV_H

#include <config/config_api.h>
#include <config/config_info.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace storetest {

// The block of one section in a layer file: its header line, its value lines and the empty line after them
// (up to the next header or the end). "<absent>" when the file has no such header line.
inline std::string SectionBlock(const std::string& text, const std::string& header) {
  size_t start = text.find("\n" + header + "\n");
  if (text.compare(0, header.size() + 1, header + "\n") == 0) start = 0;
  else if (start++ == std::string::npos) return "<absent>";
  const size_t end = text.find("\n[", start);
  return text.substr(start, end == std::string::npos ? end : end + 1 - start);
}

// The key K<k> of the change sets below.
inline std::string SetKey(int k) {
  char key[16];
  std::snprintf(key, sizeof key, "K%d", k);
  return key;
}

// Whether a section's block holds one change set of the keys K0, K1, ... whole (every key with one value: the
// set's number, which *number receives), or none of them (*number 0).
inline bool WholeSet(const std::string& block, int keys, long* number) {
  int count = 0;
  *number = 0;
  for (size_t at = block.find("\n\"K"); at != std::string::npos; at = block.find("\n\"K", at + 1), ++count) {
    const long value = std::stol(block.substr(block.find('=', at) + 1));
    if (count > 0 && value != *number) return false;
    *number = value;
  }
  return count == 0 || count == keys;
}

using testsupport::FileId;
using testsupport::Listing;

// Every file below a folder (relative paths), sorted.
inline std::vector<std::string> AllFiles(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
    if (!e.is_directory()) names.push_back(std::filesystem::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

// The names of the subsections of a section, and of its values, in list order.
inline Names Children(const char* path) {
  Names names;
  KeyRoot* cursor = Config_SetBranch(path);
  char name[512];
  while (Config_GetLeaf(&cursor, name, sizeof name)) names.push_back(name);
  return names;
}

inline Names Keys(const char* path) {
  Names names;
  KeyValue* cursor = Config_SetBeginEnumKeyValue(path);
  std::string name(4096, '\0');
  while (Config_GetNextKeyValue(&cursor, name.data(), static_cast<int>(name.size()))) names.push_back(name.c_str());
  return names;
}

// Reads a string setting through the exported interface, with room for long values.
inline std::string Str(const char* section, const char* key) {
  std::string buffer(1 << 17, '\0');
  Config_GetStrVal(section, key, buffer.data(), static_cast<int>(buffer.size()), nullptr);
  return std::string(buffer.c_str());
}

// The last save of a layer as Config_GetLastSaveStatus tells it: "ok", the reason it failed, or "not saved".
inline std::string SaveOutcome(const char* layer) {
  bool ok = false;
  char reason[512] = "";
  if (!Config_GetLastSaveStatus(layer, &ok, nullptr, 0, reason, sizeof reason)) return "not saved";
  return ok ? "ok" : reason;
}

class StoreTest : public ::testing::Test {
 protected:
  StoreTest()
      : configDir(tmp / "config/"),
        runtimeDir(testsupport::kWindows ? testsupport::ProgramDirectory() : tmp / "runtime/"),
        homeDir(tmp / "home/"),
        // On Windows the variables stay unset: the library starts in its own folder, as the application's does.
        m_config("NAVCONFIG_CONFIG_DIR", testsupport::kWindows ? nullptr : configDir.c_str()),
        m_runtime("NAVCONFIG_RUNTIME_DIR", testsupport::kWindows ? nullptr : runtimeDir.c_str()),
        m_home("NAVCONFIG_HOME", homeDir.c_str()) {
    testsupport::ClearProgramDirectory();
    testsupport::MakeDirs(configDir);
    testsupport::MakeDirs(runtimeDir + "maps");
    testsupport::MakeDirs(homeDir);
    Restart();
  }
  ~StoreTest() override { testsupport::ClearProgramDirectory(); }

  // A file of the configuration directory.
  std::string Cfg(const std::string& name) const { return configDir + name; }
  void WriteCfg(const std::string& name, const std::string& text) const { testsupport::WriteFile(Cfg(name), text); }
  std::string ReadCfg(const std::string& name) const { return testsupport::ReadFile(Cfg(name)); }
  // One section's block of a file of the configuration directory.
  std::string Block(const std::string& name, const std::string& header) const {
    return SectionBlock(ReadCfg(name), header);
  }
  // A new configuration manager: every layer is read again from its file.
  static void Reload() { Config_ResetConfigMgr(); }
  // A new start of the library (Config_Reset: new managers), in the scratch configuration folder. On
  // Windows the start reads user.cfg from the runtime directory, so the scratch file is put there first
  // (unless the restore flag is set, with which the reset erases it).
  void Restart() const {
    if (testsupport::kWindows && testsupport::Exists(Cfg("user.cfg")) && !Config_GetRestoreSettings())
      testsupport::WriteFile(testsupport::ProgramDirectory() + "user.cfg", ReadCfg("user.cfg"));
    Config_Reset();
    // Windows: the start read and wrote user.cfg in the runtime directory; it moves to the scratch folder.
    if (!testsupport::kWindows) return;
    const std::string started = testsupport::ProgramDirectory() + "user.cfg";
    if (testsupport::Exists(started)) {
      testsupport::WriteFile(Cfg("user.cfg"), testsupport::ReadFile(started));
      testsupport::RemoveAll(started);
    }
    SU_Config(configDir.c_str());
    // The layers are read again from the scratch folder, as a start there would have read them.
    Config_ResetConfigMgr();
    Config_DoesKeyExist("Directories", "RootDir");
  }

  testsupport::TempDir tmp;
  const std::string configDir;
  const std::string runtimeDir;
  const std::string homeDir;

 private:
  testsupport::ScopedEnv m_config;
  testsupport::ScopedEnv m_runtime;
  testsupport::ScopedEnv m_home;
};

}  // namespace storetest

#endif
