// Change listeners and reloads: Config_ReloadChangedLayers when no file changed, with ten layers in memory
// (user, user_ro, product and seven more), reported per layer beside the bare stat of each file (measured in
// the same run, as the least it can cost); and a write that changes a value and saves it
// (without the syncs) with no listener and with one, taken in turns so that both meet the same disk.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_listen.h>
#include <platform/os.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kLayers = 10;

void WriteLayer(const std::string& file, int sections, int keys) {
  std::ofstream out(file);
  for (int s = 0; s < sections; ++s) {
    out << "[Section" << s << "]\n";
    for (int k = 0; k < keys; ++k) out << "\"Key" << k << "\"=" << s * 100 + k << "\n";
    out << "\n";
  }
}

struct Installation {
  static std::string Dir() {
    return (fs::temp_directory_path() / ("navconfig-listen-bench-" + std::to_string(getpid()))).string() + "/";
  }
  std::string dir = Dir();
  Installation() {
    fs::create_directories(dir);
    WriteLayer(dir + "user.cfg", 50, 20);
    WriteLayer(dir + "product.cfg", 50, 20);
    WriteLayer(dir + "user_ro.cfg", 10, 10);
    for (int i = 0; i < kLayers - 3; ++i) WriteLayer(dir + "map" + std::to_string(i) + ".cfg", 10, 10);
    setenv("NAVCONFIG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_HOME", (dir + "home").c_str(), 1);
    Config_Reset();
    Config_GetIntVal("Section0", "Key0");  // user, user_ro and product read
    for (int i = 0; i < kLayers - 3; ++i) Config_FindRoot(("map" + std::to_string(i)).c_str());
    Config_ReloadChangedLayers();
  }
  ~Installation() { fs::remove_all(dir); }
};

void Prepare() { static Installation installation; }

void BM_ReloadNothingChanged(benchmark::State& state) {
  Prepare();
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(Config_ReloadChangedLayers());
  const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  state.counters["ns_per_layer"] = ns / static_cast<double>(state.iterations()) / kLayers;
}
BENCHMARK(BM_ReloadNothingChanged)->Repetitions(5)->ReportAggregatesOnly(true);

// Reference: one stat of each layer file, the least that telling whether a file changed costs.
void BM_RefStatOfEachLayerFile(benchmark::State& state) {
  Prepare();
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(Installation::Dir()))
    if (entry.path().extension() == ".cfg") files.push_back(entry.path().string());
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (auto _ : state) {
    for (const std::string& file : files) {
      struct stat st;
      benchmark::DoNotOptimize(::stat(file.c_str(), &st));
    }
  }
  const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  state.counters["ns_per_file"] = ns / static_cast<double>(state.iterations()) / static_cast<double>(files.size());
}
BENCHMARK(BM_RefStatOfEachLayerFile)->Repetitions(5)->ReportAggregatesOnly(true);

void Heard(const char*, const char*, const char*, void* context) { ++*static_cast<long*>(context); }

// Writes with no listener and with one that matches, in turns; the counters give both and their ratio.
void BM_WriteWithoutAndWithAListener(benchmark::State& state) {
  Prepare();
  using Clock = std::chrono::steady_clock;
  platform::SetSyncForBenchmarks(false);
  long n = 0, heard = 0;
  Clock::duration without{}, with{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    Config_SetIntVal("Bench", "Counter", ++n);
    const auto t1 = Clock::now();
    state.PauseTiming();
    const int id = Config_AddChangeListener("Bench", "Counter", Heard, &heard);
    state.ResumeTiming();
    const auto t2 = Clock::now();
    Config_SetIntVal("Bench", "Counter", ++n);
    const auto t3 = Clock::now();
    state.PauseTiming();
    Config_RemoveChangeListener(id);
    state.ResumeTiming();
    without += t1 - t0;
    with += t3 - t2;
  }
  platform::SetSyncForBenchmarks(true);
  if (heard != state.iterations()) state.SkipWithError("the listener missed writes");
  const double withoutUs = std::chrono::duration<double, std::micro>(without).count() / state.iterations();
  const double withUs = std::chrono::duration<double, std::micro>(with).count() / state.iterations();
  state.counters["none_us"] = withoutUs;
  state.counters["one_us"] = withUs;
  state.counters["ratio"] = withUs / withoutUs;
}
BENCHMARK(BM_WriteWithoutAndWithAListener)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
