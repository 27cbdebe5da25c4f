// Helpers shared by the test programs: scratch folders, environment variables and captured log lines.
#ifndef NAVCONFIG_TESTS_SUPPORT_TEST_SUPPORT_H
#define NAVCONFIG_TESTS_SUPPORT_TEST_SUPPORT_H

#include <string>
#include <vector>

namespace testsupport {

// A new empty folder below the system's temporary directory, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder, ending in a separator.
  const std::string& path() const { return m_path; }
  // The folder joined with a relative name.
  std::string operator/(const std::string& name) const { return m_path + name; }

 private:
  std::string m_path;
};

// Sets (or with a null value, unsets) an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  bool m_had;
  std::string m_old;
};

// Sends the library's log to a file for the lifetime of the object and reads its lines back.
class LogCapture {
 public:
  explicit LogCapture(const char* switches = nullptr);
  ~LogCapture();
  std::vector<std::string> Lines() const;
  // Lines that contain the text.
  std::vector<std::string> Matching(const std::string& text) const;

 private:
  TempDir m_dir;
  ScopedEnv m_log;
  ScopedEnv m_switches;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeDirs(const std::string& path);

}  // namespace testsupport

#endif
