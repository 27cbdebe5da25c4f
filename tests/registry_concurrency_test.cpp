// Threads of several processes sharing the registry and the password key at once (run under ThreadSanitizer
// too).
#include <config/registry.h>
#include <doroutil/crypt.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "registry_support.h"

using regtest::Sub;
using testsupport::ChildProcess;

namespace {

constexpr int kProcesses = 2;
constexpr int kThreads = 2;
constexpr int kValues = 20;

// "w<p>_<t>_<i>", appended step by step (operator+ on a literal and a string upsets GCC 12's -Wrestrict).
std::string Name(int p, int t, int i) {
  std::string name = "w";
  for (int n : {p, t, i}) name.append(std::to_string(n)).append("_");
  return name;
}
uint32_t ValueOf(int p, int t, int i) { return static_cast<uint32_t>(p * 10000 + t * 1000 + i); }

// Runs work(t) on kThreads threads once the file go exists: the sum of what they return (failures).
int InThreads(const std::string& go, const std::function<int(int)>& work) {
  for (int i = 0; i < 20000 && !testsupport::Exists(go); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { failures += work(t); });
  for (auto& thread : threads) thread.join();
  return failures;
}

// Starts kProcesses children (args: go, number), lets them go at once and waits: true when all returned 0.
bool RunTogether(const char* child, const std::string& go) {
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int p = 0; p < kProcesses; ++p)
    children.push_back(std::make_unique<ChildProcess>(child, std::vector<std::string>{go, std::to_string(p)}));
  testsupport::WriteFile(go, "");
  bool ok = true;
  for (auto& c : children) ok = c->Wait() == 0 && ok;
  return ok;
}

}  // namespace

// Writer process args[1]: each thread writes its values into the shared key, and makes, writes, reads and
// deletes keys of its own on the way.
NAVCONFIG_TEST_CHILD(write_registry) {
  const int p = std::stoi(args[1]);
  const std::string shared = Sub("Shared");
  return InThreads(args[0], [&](int t) {
    int failures = 0;
    for (int i = 0; i < kValues; ++i) {
      const std::string own = Sub("Own" + std::to_string(p) + std::to_string(t) + "\\K" + std::to_string(i % 4));
      uint32_t back = 0;
      failures += Config_RegistrySetIntValue(2, shared.c_str(), Name(p, t, i).c_str(), ValueOf(p, t, i)) != 0 ||
                  Config_RegistryCreateKey(2, own.c_str()) != 0 ||
                  Config_RegistrySetIntValue(2, own.c_str(), "Last", ValueOf(p, t, i)) != 0 ||
                  Config_RegistryGetIntValue(2, own.c_str(), "Last", &back) != 0 || back != ValueOf(p, t, i) ||
                  (i % 4 == 3 && Config_RegistryDeleteKey(2, own.c_str()) != 0);
    }
    return failures;
  });
}

TEST(RegistryConcurrency, ThreadsOfTwoProcessesWritingAtOnceKeepEachOthersValues) {
  regtest::Home home;
  ASSERT_EQ(Config_RegistryCreateKey(2, Sub("Shared").c_str()), 0);
  EXPECT_TRUE(RunTogether("write_registry", home.dir / "go"));
  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kValues; ++i) {
        uint32_t value = 0;
        EXPECT_EQ(Config_RegistryGetIntValue(2, Sub("Shared").c_str(), Name(p, t, i).c_str(), &value), 0);
        EXPECT_EQ(value, ValueOf(p, t, i)) << Name(p, t, i);
      }
    }
  }
}

// Protector process args[1]: each thread protects a password and recovers it; thread 0's text goes to the
// file go.<args[1]> for the parent.
NAVCONFIG_TEST_CHILD(protect) {
  return InThreads(args[0], [&](int t) {
    const std::string password = "secret " + args[1] + "/" + std::to_string(t);
    char text[1024], back[256];
    if (!EncryptString(password.c_str(), text, sizeof text, 0, 0) || !DecryptString(text, back, sizeof back, 0, 0) ||
        password != back)
      return 1;
    if (t == 0) testsupport::WriteFile(args[0] + "." + args[1], text);
    return 0;
  });
}

TEST(CryptConcurrency, ThreadsOfProcessesMakingTheKeyAtOnceAgreeOnIt) {
  testsupport::TempDir dir;
  testsupport::ScopedEnv home("NAVCONFIG_HOME", (dir / "fresh").c_str());
  EXPECT_TRUE(RunTogether("protect", dir / "go"));
  for (int p = 0; p < kProcesses; ++p) {
    char back[256] = "";
    const std::string text = testsupport::ReadFile(dir / ("go." + std::to_string(p)));
    EXPECT_TRUE(DecryptString(text.c_str(), back, sizeof back, 0, 0));
    EXPECT_EQ(std::string(back), "secret " + std::to_string(p) + "/0");
  }
}
