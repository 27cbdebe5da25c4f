// The registry of a registry test: on POSIX the library's own store in the test's scratch home folder; on
// Windows the system's registry, under a throw-away key "Software\navconfig-test-<pid>" below each root that
// is deleted with everything below it at the end. Child processes (testsupport::ChildProcess) find both
// through the environment.
#ifndef NAVCONFIG_TESTS_REGISTRY_SUPPORT_H
#define NAVCONFIG_TESTS_REGISTRY_SUPPORT_H

#include <gtest/gtest.h>
#include <platform/os.h>
#include <platform/registry.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace regtest {

using platform::reg::HKEY;

inline constexpr const char* kScratchKeyVariable = "NAVCONFIG_TEST_REGISTRY_KEY";

inline std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The throw-away key's path below each root (Windows): the parent's, which its children find in
// kScratchKeyVariable, or one named after this process.
inline std::string ScratchPath() {
  std::string path;
  if (platform::GetEnv(kScratchKeyVariable, path) && !path.empty()) return path;
  return "Software\\navconfig-test-" + std::to_string(testsupport::ProcessId());
}

// A sub-key path for the functions that take a root selector: on POSIX the path itself, on Windows the path
// below the throw-away key. The empty path names the throw-away key itself there.
inline std::string Sub(const std::string& path) {
  if (!testsupport::kWindows) return path;
  return path.empty() ? ScratchPath() : ScratchPath() + "\\" + path;
}
inline std::u16string Sub16(const std::string& path) { return Utf16(Sub(path)); }

// Creates (or opens) a key with the given access: the handle to close.
inline HKEY Create(HKEY root, const char16_t* path, uint32_t* disposition = nullptr,
                   uint32_t access = platform::reg::KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(platform::reg::RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, &key, disposition), 0);
  return key;
}

// Waits up to 20 s for the file that a parent writes to let its children go at once.
inline void WaitForFile(const std::string& path) {
  for (int i = 0; i < 20000 && !testsupport::Exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The key that stands for HKEY_CURRENT_USER in a test: the root itself on POSIX, on Windows a handle of the
// throw-away key (to close); null when it cannot be opened.
inline HKEY UserRoot() {
  using namespace platform::reg;
  if (!testsupport::kWindows) return HKEY_CURRENT_USER;
  HKEY key = nullptr;
  return RegOpenKeyExW(HKEY_CURRENT_USER, Sub16("").c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ? key
                                                                                                     : nullptr;
}

// The registry of one test: a scratch home folder (the store's on POSIX) and on Windows the throw-away keys.
// `user` stands for HKEY_CURRENT_USER.
class Home {
 public:
  Home() {
    using namespace platform::reg;
    for (int root = 0; testsupport::kWindows && root < 3; ++root) {
      testsupport::DeleteRegistryTree(root, Sub16(""));  // left by a test that crashed, whose id came again
      HKEY key = nullptr;
      EXPECT_EQ(RegCreateKeyExW(Root(root), Sub16("").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      RegCloseKey(key);
    }
    user = UserRoot();
  }
  ~Home() {
    if (!testsupport::kWindows) return;
    platform::reg::RegCloseKey(user);
    for (int root = 0; root < 3; ++root) EXPECT_TRUE(testsupport::DeleteRegistryTree(root, Sub16("")));
  }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  static HKEY Root(int root) {
    using namespace platform::reg;
    return root == 0 ? HKEY_CLASSES_ROOT : root == 1 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  }
  // The folder of the store (POSIX).
  std::string Registry() const { return dir / "registry/"; }

  testsupport::TempDir dir;

 private:
  testsupport::ScopedEnv m_env{"NAVCONFIG_HOME", dir.path().c_str()};
  testsupport::ScopedEnv m_scratch{kScratchKeyVariable, testsupport::kWindows ? ScratchPath().c_str() : nullptr};

 public:
  HKEY user = nullptr;
};

}  // namespace regtest

#endif
