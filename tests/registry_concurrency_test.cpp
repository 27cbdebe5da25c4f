// Threads of several processes sharing the registry and making the password key at once (run under
// ThreadSanitizer too).
#include <config/registry.h>
#include <doroutil/crypt.h>

#include <atomic>
#include <memory>
#include <vector>

#include "registry_support.h"

using regtest::Sub;

namespace {

constexpr int kProcesses = 2, kThreads = 2, kValues = 20;

// "w<p>_<t>_<i>", appended step by step (operator+ on a literal and a string upsets GCC 12's -Wrestrict).
std::string Name(int p, int t, int i) {
  std::string name = "w";
  for (int n : {p, t, i}) name.append(std::to_string(n)).append("_");
  return name;
}
uint32_t ValueOf(int p, int t, int i) { return static_cast<uint32_t>(p * 10000 + t * 1000 + i); }

// Thread t of process p: writes its values into the shared key, makes, writes, reads and deletes keys of its
// own on the way, then protects a password and recovers it (thread 0's text goes to <go>.<p>): the failures.
int Work(const std::string& go, int p, int t) {
  int failures = 0;
  for (int i = 0; i < kValues; ++i) {
    const std::string own = Sub("Own" + std::to_string(p) + std::to_string(t) + "\\K" + std::to_string(i % 4));
    uint32_t back = 0;
    failures += Config_RegistrySetIntValue(2, Sub("Shared").c_str(), Name(p, t, i).c_str(), ValueOf(p, t, i)) != 0 ||
                Config_RegistryCreateKey(2, own.c_str()) != 0 ||
                Config_RegistrySetIntValue(2, own.c_str(), "Last", ValueOf(p, t, i)) != 0 ||
                Config_RegistryGetIntValue(2, own.c_str(), "Last", &back) != 0 || back != ValueOf(p, t, i) ||
                (i % 4 == 3 && Config_RegistryDeleteKey(2, own.c_str()) != 0);
  }
  const std::string password = "secret " + std::to_string(p) + "/" + std::to_string(t);
  char text[1024], back[256];
  if (!EncryptString(password.c_str(), text, sizeof text, 0, 0) || !DecryptString(text, back, sizeof back, 0, 0) ||
      password != back)
    return failures + 1;
  if (t == 0) testsupport::WriteFile(go + "." + std::to_string(p), text);
  return failures;
}

}  // namespace

// Process args[1]: runs Work on kThreads threads once the file args[0] exists: the sum of their failures.
NAVCONFIG_TEST_CHILD(share_registry_and_key) {
  regtest::WaitForFile(args[0]);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { failures += Work(args[0], std::stoi(args[1]), t); });
  for (auto& thread : threads) thread.join();
  return failures;
}

TEST(RegistryConcurrency, ThreadsOfTwoProcessesKeepEachOthersValuesAndAgreeOnTheNewPasswordKey) {
  regtest::Home home;
  ASSERT_EQ(Config_RegistryCreateKey(2, Sub("Shared").c_str()), 0);
  const std::string go = home.dir / "go";
  std::vector<std::unique_ptr<testsupport::ChildProcess>> children;
  for (int p = 0; p < kProcesses; ++p)
    children.push_back(std::make_unique<testsupport::ChildProcess>(
        "share_registry_and_key", std::vector<std::string>{go, std::to_string(p)}));
  testsupport::WriteFile(go, "");
  for (auto& c : children) EXPECT_EQ(c->Wait(), 0);
  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kValues; ++i) {
        uint32_t value = 0;
        EXPECT_EQ(Config_RegistryGetIntValue(2, Sub("Shared").c_str(), Name(p, t, i).c_str(), &value), 0);
        EXPECT_EQ(value, ValueOf(p, t, i)) << Name(p, t, i);
      }
    }
    // Each process's text decrypts here: all of them used the one key.
    char back[256] = "";
    EXPECT_TRUE(DecryptString(testsupport::ReadFile(go + "." + std::to_string(p)).c_str(), back, sizeof back, 0, 0));
    EXPECT_EQ(std::string(back), "secret " + std::to_string(p) + "/0");
  }
}
