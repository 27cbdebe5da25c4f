// The registry of a registry test: on POSIX the library's own store in a scratch folder; on Windows the
// system's registry, under a throw-away key of HKEY_CURRENT_USER that is deleted with everything below it at
// the end. Child processes of the test (testsupport::ChildProcess) find both through the environment.
#ifndef NAVCONFIG_TESTS_REGISTRY_SUPPORT_H
#define NAVCONFIG_TESTS_REGISTRY_SUPPORT_H

#include <gtest/gtest.h>
#include <platform/os.h>
#include <platform/registry.h>

#include <memory>
#include <string>

#include "support/test_support.h"

namespace regtest {

using platform::reg::HKEY;

inline constexpr const char* kScratchKeyVariable = "NAVCONFIG_TEST_REGISTRY_KEY";

inline std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The path below each root of the test's throw-away keys on Windows: "Software\navconfig-test-<pid>" of the
// test's process, which its child processes find in kScratchKeyVariable.
inline std::string ScratchPath() {
  std::string path;
  if (platform::GetEnv(kScratchKeyVariable, path) && !path.empty()) return path;
  return "Software\\navconfig-test-" + std::to_string(testsupport::ProcessId());
}

// The key that stands for HKEY_CURRENT_USER in a test: the root itself on POSIX (where the store is the
// test's own), on Windows the throw-away key whose path below HKEY_CURRENT_USER is in kScratchKeyVariable (a
// handle to close); null when it cannot be opened.
inline HKEY UserRoot() {
  using namespace platform::reg;
  if (!testsupport::kWindows) return HKEY_CURRENT_USER;
  std::string path;
  HKEY key = nullptr;
  if (!platform::GetEnv(kScratchKeyVariable, path) ||
      RegOpenKeyExW(HKEY_CURRENT_USER, Utf16(path).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// The registry of one test. `user` stands for HKEY_CURRENT_USER.
class Home {
 public:
  Home() {
    using namespace platform::reg;
    if (testsupport::kWindows) {
      const std::string path = ScratchPath();
      testsupport::DeleteRegistryTree(2, Utf16(path));  // left by a test that crashed, whose id came again
      HKEY key = nullptr;
      EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Utf16(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr),
                ERROR_SUCCESS);
      RegCloseKey(key);
      m_scratch = std::make_unique<testsupport::ScopedEnv>(kScratchKeyVariable, path.c_str());
      m_scratchPath = Utf16(path);
    }
    user = UserRoot();
  }
  ~Home() {
    if (!testsupport::kWindows) return;
    platform::reg::RegCloseKey(user);
    EXPECT_TRUE(testsupport::DeleteRegistryTree(2, m_scratchPath));
  }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  // The folder of the store (POSIX).
  std::string Registry() const { return dir / "registry/"; }

  testsupport::TempDir dir;

 private:
  testsupport::ScopedEnv m_env{"NAVCONFIG_HOME", dir.path().c_str()};
  std::unique_ptr<testsupport::ScopedEnv> m_scratch;
  std::u16string m_scratchPath;

 public:
  HKEY user = nullptr;
};

// A sub-key path of a test, for the registry functions that take a root selector and a path from the root:
// on POSIX the path itself (the store is the test's own), on Windows the path below the test's throw-away key
// (ScratchPath()), which ScratchKeys makes and removes. The empty path names the throw-away key itself there.
inline std::string Sub(const std::string& path) {
  if (!testsupport::kWindows) return path;
  return path.empty() ? ScratchPath() : ScratchPath() + "\\" + path;
}
inline std::u16string Sub16(const std::string& path) { return Utf16(Sub(path)); }

// On Windows, the throw-away key ScratchPath() below each of the three roots, made at construction and deleted
// with everything below it at the end; nothing on POSIX.
class ScratchKeys {
 public:
  ScratchKeys() {
    if (!testsupport::kWindows) return;
    for (int root = 0; root < 3; ++root) {
      testsupport::DeleteRegistryTree(root, Utf16(ScratchPath()));
      platform::reg::HKEY key = nullptr;
      EXPECT_EQ(platform::reg::RegCreateKeyExW(Root(root), Utf16(ScratchPath()).c_str(), 0, nullptr, 0,
                                               platform::reg::KEY_ALL_ACCESS, nullptr, &key, nullptr),
                platform::reg::ERROR_SUCCESS);
      platform::reg::RegCloseKey(key);
    }
  }
  ~ScratchKeys() {
    if (!testsupport::kWindows) return;
    for (int root = 0; root < 3; ++root) EXPECT_TRUE(testsupport::DeleteRegistryTree(root, Utf16(ScratchPath())));
  }
  ScratchKeys(const ScratchKeys&) = delete;
  ScratchKeys& operator=(const ScratchKeys&) = delete;

 private:
  testsupport::ScopedEnv m_path{kScratchKeyVariable, testsupport::kWindows ? ScratchPath().c_str() : nullptr};

 public:

  static platform::reg::HKEY Root(int root) {
    using namespace platform::reg;
    return root == 0 ? HKEY_CLASSES_ROOT : root == 1 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  }
};

}  // namespace regtest

#endif
