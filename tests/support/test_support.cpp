#include "support/test_support.h"

#include <doroutil/logmgr.h>

#include <cstdlib>
#include <random>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    fs::path candidate = base / ("navconfig-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(attempt));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      m_path = candidate.string() + "/";
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
  const char* old = std::getenv(name);
  m_had = old != nullptr;
  if (old) m_old = old;
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
  else unsetenv(m_name.c_str());
}

LogCapture::LogCapture(const char* switches)
    : m_log("NAVCONFIG_LOG", (m_dir.path() + "log.txt").c_str()), m_switches("NAVCONFIG_LOG_SWITCHES", switches) {
  ReloadLogSettings();
}

LogCapture::~LogCapture() {
  // Drop the settings so that nothing more is written to the folder that goes now.
  unsetenv("NAVCONFIG_LOG");
  ReloadLogSettings();
}

std::vector<std::string> LogCapture::Lines() const {
  std::vector<std::string> lines;
  std::ifstream in(m_dir.path() + "log.txt");
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LogCapture::Matching(const std::string& text) const {
  std::vector<std::string> out;
  for (auto& l : Lines())
    if (l.find(text) != std::string::npos) out.push_back(l);
  return out;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return fs::exists(path); }

void MakeDirs(const std::string& path) { fs::create_directories(path); }

}  // namespace testsupport
