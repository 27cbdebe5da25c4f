// The registry functions and the sign-on read. A registry write saves its root's file (read-modify-write under
// the file lock, written to a temporary file, synced and renamed), so a set + get pair costs about one durable
// file write; the read alone is shown beside it. The sign-on read is measured with the password kept in memory
// and without it (settings read, key file read, decryption).
#include <benchmark/benchmark.h>
#include <config/account.h>
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/registry.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "api/globals.h"

namespace fs = std::filesystem;

namespace {

struct Fixture {
  std::string dir;
  Fixture() {
    dir = (fs::temp_directory_path() / ("navconfig-regbench-" + std::to_string(getpid()))).string() + "/";
    fs::create_directories(dir + "config");
    fs::create_directories(dir + "runtime/maps");
    setenv("NAVCONFIG_RUNTIME_DIR", (dir + "runtime/").c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", (dir + "config/").c_str(), 1);
    setenv("NAVCONFIG_HOME", (dir + "home/").c_str(), 1);
    Config_Reset();
    // A store with some content, as an application's would have.
    for (int k = 0; k < 20; ++k) {
      const std::string key = "Software\\Vendor\\App" + std::to_string(k);
      Config_RegistryCreateKey(2, key.c_str());
      for (int v = 0; v < 10; ++v)
        Config_RegistrySetIntValue(2, key.c_str(), ("Value" + std::to_string(v)).c_str(), static_cast<uint32_t>(v));
    }
    Config_SetSingleSignon("user@example.com", "correct horse battery staple", false);
  }
  ~Fixture() { fs::remove_all(dir); }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

void BM_RegistrySetGetPair(benchmark::State& state) {
  Data();
  uint32_t value = 0;
  for (auto _ : state) {
    ++value;
    benchmark::DoNotOptimize(Config_RegistrySetIntValue(2, "Software\\Vendor\\App7", "Counter", value));
    uint32_t back = 0;
    benchmark::DoNotOptimize(Config_RegistryGetIntValue(2, "Software\\Vendor\\App7", "Counter", &back));
    if (back != value) state.SkipWithError("value lost");
  }
}
BENCHMARK(BM_RegistrySetGetPair)->Unit(benchmark::kMicrosecond);

void BM_RegistryGet(benchmark::State& state) {
  Data();
  for (auto _ : state) {
    uint32_t back = 0;
    benchmark::DoNotOptimize(Config_RegistryGetIntValue(2, "Software\\Vendor\\App7", "Value3", &back));
  }
}
BENCHMARK(BM_RegistryGet);

void BM_GetSingleSignonCached(benchmark::State& state) {
  Data();
  char name[128];
  char password[128];
  Config_GetSingleSignon(name, sizeof name, password, sizeof password);
  for (auto _ : state) benchmark::DoNotOptimize(Config_GetSingleSignon(name, sizeof name, password, sizeof password));
}
BENCHMARK(BM_GetSingleSignonCached);

void BM_GetSingleSignonUncached(benchmark::State& state) {
  Data();
  CConfigGlobals* g = GetConfigGlobals();
  char name[128];
  char password[128];
  for (auto _ : state) {
    // Drops the password kept in memory, as storing a new one would.
    g->ReleaseCachedPassword();
    benchmark::DoNotOptimize(Config_GetSingleSignon(name, sizeof name, password, sizeof password));
  }
}
BENCHMARK(BM_GetSingleSignonUncached)->Unit(benchmark::kMicrosecond);

}  // namespace
