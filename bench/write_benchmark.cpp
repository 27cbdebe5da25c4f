// A write of one setting into a user.cfg of 1,000 keys in 50 sections: one that changes the value and saves
// the layer (without the syncs, so that the library's own work is timed), and one of the value already held,
// which saves nothing. Uses only the configuration interface, so the same program can be built from an older
// tree to compare.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <platform/os.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Installation {
  std::string dir;
  Installation() {
    dir = (fs::temp_directory_path() / ("navconfig-write-bench-" + std::to_string(getpid()))).string() + "/";
    fs::create_directories(dir);
    std::ofstream user(dir + "user.cfg");
    for (int s = 0; s < 50; ++s) {
      user << "[Section" << s << "]\n";
      for (int k = 0; k < 20; ++k) user << "\"Key" << k << "\"=" << s * 100 + k << "\n";
      user << "\n";
    }
    user.close();
    setenv("NAVCONFIG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_HOME", (dir + "home").c_str(), 1);
    Config_Reset();
    Config_GetIntVal("Section0", "Key0");  // every layer read
  }
  ~Installation() { fs::remove_all(dir); }
};

void Prepare() { static Installation installation; }

void BM_WriteChangingTheValue(benchmark::State& state) {
  Prepare();
  platform::SetSyncForBenchmarks(false);
  long n = 0;
  for (auto _ : state) Config_SetIntVal("Section7", "Key3", ++n);
  platform::SetSyncForBenchmarks(true);
}
BENCHMARK(BM_WriteChangingTheValue)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_WriteOfTheValueHeld(benchmark::State& state) {
  Prepare();
  Config_SetIntVal("Section7", "Key4", 42);
  for (auto _ : state) Config_SetIntVal("Section7", "Key4", 42);
}
BENCHMARK(BM_WriteOfTheValueHeld)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
