// Threads using the registry functions and TRegUtil at once (run under ThreadSanitizer too).
#include <config/config_api.h>
#include <config/registry.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "registry_support.h"
#include "store_env.h"

using regtest::Sub;
using storetest::StoreTest;

namespace {

// stem, a, separator, b ("w1_7"); appended step by step.
std::string Name(const char* stem, int a, const char* separator, int b) {
  std::string name = stem;
  name += std::to_string(a);
  name += separator;
  name += std::to_string(b);
  return name;
}

}  // namespace

class RegistryApiConcurrency : public StoreTest {
 protected:
  regtest::ScratchKeys scratch;
};

TEST_F(RegistryApiConcurrency, TwoWritersOfOneKeyKeepEveryValue) {
  const std::string shared = Sub("Software\\Shared");
  ASSERT_EQ(Config_RegistryCreateKey(2, shared.c_str()), 0);
  constexpr int kValues = 40;
  std::atomic<int> failures{0};
  auto writer = [&](int t) {
    for (int i = 0; i < kValues; ++i) {
      const std::string name = Name("w", t, "_", i);
      const uint32_t value = static_cast<uint32_t>(t * 1000 + i);
      // One shared key, and keys of the writer's own made and removed on the way.
      const std::string own = Sub(Name("Software\\Writer", t, "\\K", i % 4));
      uint32_t back = 0;
      OROwstring text;
      if (Config_RegistrySetIntValue(2, shared.c_str(), name.c_str(), value) != 0 ||
          Config_RegistryGetIntValue(2, shared.c_str(), name.c_str(), &back) != 0 || back != value ||
          Config_RegistryCreateKey(2, own.c_str()) != 0 ||
          Config_RegistrySetIntValue(2, own.c_str(), "Last", value) != 0 ||
          Config_RegistryGetStrValue(2, own.c_str(), "Missing", text) != 2 ||
          (i % 4 == 3 && Config_RegistryDeleteKey(2, own.c_str()) != 0))
        ++failures;
    }
  };
  std::thread a(writer, 1);
  std::thread b(writer, 2);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);

  for (int t = 1; t <= 2; ++t) {
    for (int i = 0; i < kValues; ++i) {
      const std::string name = Name("w", t, "_", i);
      uint32_t value = 0;
      EXPECT_EQ(Config_RegistryGetIntValue(-1, shared.c_str(), name.c_str(), &value), 0) << name;
      EXPECT_EQ(value, static_cast<uint32_t>(t * 1000 + i)) << name;
    }
  }
  if (!testsupport::kWindows) {
    const std::string file = testsupport::ReadFile(homeDir + "registry/HKCU.reg");
    EXPECT_NE(file.find("\"w1_39\"=dword:0000040f"), std::string::npos);
    EXPECT_NE(file.find("\"w2_39\"=dword:000007f7"), std::string::npos);
    EXPECT_EQ(file.find("Writer1\\K3"), std::string::npos);
  }
}

TEST_F(RegistryApiConcurrency, TRegUtilReadsWhileAnotherThreadWritesTheSameLayer) {
  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};
  std::thread writer([&] {
    TRegUtil util("user", false, false);
    for (int i = 1; i <= 60; ++i) {
      if (!util.SetIntValue("Nav", "Counter", i)) ++failures;
      std::string section = "user\\Nav\\Sub";
      section += std::to_string(i % 3);
      Config_SetStrVal(section.c_str(), "Text", std::to_string(i).c_str());
    }
    stop = true;
  });
  std::thread reader([&] {
    TRegUtil util("user", false, true);
    int last = 0;
    char buffer[16];
    while (!stop.load()) {
      const int now = util.GetIntValue("Nav", "Counter");
      if (now < last) ++failures;  // one writer: the counter never goes back
      last = now;
      util.GetStrValue("Nav\\Sub1", "Text", buffer, sizeof buffer);
      util.EnumStart("Nav");
    }
  });
  writer.join();
  reader.join();
  EXPECT_EQ(failures.load(), 0);
  TRegUtil util("user", false, true);
  EXPECT_EQ(util.GetIntValue("Nav", "Counter"), 60);
  Reload();
  EXPECT_EQ(util.GetIntValue("Nav", "Counter"), 60);
}
