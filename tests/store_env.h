// The surroundings of the configuration store's tests: a scratch installation (configuration, runtime and
// home folders) that the library is pointed at through its environment variables, and helpers that look at
// the layer files as text.
//
// The fixture sets the variables and then replaces the library's managers, so that a test finds a fresh
// configuration also when several tests share one process. A test that prepares layer files writes them and
// then calls Reload() (a new configuration manager, which reads every file afresh).
#ifndef NAVCONFIG_TESTS_STORE_ENV_H
#define NAVCONFIG_TESTS_STORE_ENV_H

#include <config/config_api.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace storetest {

// The block of one section in a layer file: its header line, its value lines and the empty line after them
// (up to the next header or the end). "<absent>" when the file has no such header line.
inline std::string SectionBlock(const std::string& text, const std::string& header) {
  const std::string wanted = header + "\n";
  size_t start = 0;
  while (true) {
    if (text.compare(start, wanted.size(), wanted) == 0) break;
    size_t next = text.find('\n', start);
    if (next == std::string::npos) return "<absent>";
    start = next + 1;
  }
  size_t end = start + wanted.size();
  while (end < text.size() && text[end] != '[') {
    size_t next = text.find('\n', end);
    end = next == std::string::npos ? text.size() : next + 1;
  }
  return text.substr(start, end - start);
}

// The identity of a file (its inode), 0 when it does not exist. A save replaces the file by a new one, so a
// file that keeps its identity was not written.
inline unsigned long long FileId(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<unsigned long long>(st.st_ino) : 0;
}

// The names in a folder, sorted.
inline std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every file below a folder (relative paths), sorted.
inline std::vector<std::string> AllFiles(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
    if (!e.is_directory()) names.push_back(std::filesystem::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

// Reads a string setting through the exported interface, with room for long values.
inline std::string Str(const char* section, const char* key) {
  std::string buffer(1 << 16, '\0');
  Config_GetStrVal(section, key, buffer.data(), static_cast<int>(buffer.size()), nullptr);
  return std::string(buffer.c_str());
}

class StoreTest : public ::testing::Test {
 protected:
  StoreTest()
      : configDir(tmp / "config/"),
        runtimeDir(tmp / "runtime/"),
        homeDir(tmp / "home/"),
        m_config("NAVCONFIG_CONFIG_DIR", configDir.c_str()),
        m_runtime("NAVCONFIG_RUNTIME_DIR", runtimeDir.c_str()),
        m_home("NAVCONFIG_HOME", homeDir.c_str()) {
    testsupport::MakeDirs(configDir);
    testsupport::MakeDirs(runtimeDir + "maps");
    testsupport::MakeDirs(homeDir);
    Config_Reset();
  }

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
