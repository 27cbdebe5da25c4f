// The directory manager's start-up and the composition of a data directory, on scratch installations.
//
// Each benchmark points the library at a scratch installation of its own (runtime, configuration, home and
// working folders below the system's temporary directory) and makes the first start outside the timed loop,
// so that the creation of user.cfg and the first writes of the directory table are not counted.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/data_dirs.h>
#include <config/directorymgr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& file) { std::ofstream(file) << "x"; }

// A scratch installation that the library uses while the object lives.
class Installation {
 public:
  explicit Installation(bool withData) {
    m_dir = fs::temp_directory_path() / ("navconfig-bench-" + std::to_string(std::random_device{}()));
    for (const char* d : {"runtime", "config", "home", "work"}) fs::create_directories(m_dir / d);
    if (withData) {
      const fs::path grid = m_dir / "work/NA/2024/data";
      fs::create_directories(grid);
      Touch(grid / "00000000.qd");
      Touch(grid / "00000000.hsh");
      std::ofstream(grid / "version.dat") << "Product Name: Maps\nData Version: 2024.1\nData Format: 8\n";
    }
    setenv("NAVCONFIG_RUNTIME_DIR", (m_dir / "runtime/").c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", (m_dir / "config/").c_str(), 1);
    setenv("NAVCONFIG_HOME", (m_dir / "home/").c_str(), 1);
    if (chdir((m_dir / "work").c_str()) != 0) std::abort();
    // Set the library up if this is its first use, then start it afresh on this installation.
    GetDirectoryMgr();
    Config_Reset();
  }
  ~Installation() {
    if (chdir(fs::temp_directory_path().c_str()) != 0) std::abort();
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

 private:
  fs::path m_dir;
};

// Initialize run again on the existing directory manager (what the holder's set-up does).
void InitializeOnce(benchmark::State& state, bool withData) {
  Installation inst(withData);
  DirectoryMgr* dirs = GetDirectoryMgr();
  for (auto _ : state) dirs->Initialize();
  state.counters["status"] = Config_GetDataStatus();
}

// A new directory manager, initialised (ResetDataDirMgr).
void NewDirectoryMgr(benchmark::State& state, bool withData) {
  Installation inst(withData);
  for (auto _ : state) ResetDataDirMgr();
}

// A whole start of the library: both managers replaced, user.cfg read again, the directory manager
// initialised (Config_Reset).
void FullReset(benchmark::State& state, bool withData) {
  Installation inst(withData);
  for (auto _ : state) Config_Reset();
}

void BM_Initialize_NoData(benchmark::State& state) { InitializeOnce(state, false); }
void BM_Initialize_NormalData(benchmark::State& state) { InitializeOnce(state, true); }
void BM_NewDirectoryMgr_NoData(benchmark::State& state) { NewDirectoryMgr(state, false); }
void BM_NewDirectoryMgr_NormalData(benchmark::State& state) { NewDirectoryMgr(state, true); }
void BM_ConfigReset_NoData(benchmark::State& state) { FullReset(state, false); }
void BM_ConfigReset_NormalData(benchmark::State& state) { FullReset(state, true); }

// The start that finds newly installed normal data: the eight directories that discovery writes are removed
// before each round (not timed), so that every Initialize searches and writes them again. A start saves what it
// writes in one atomic save of user.cfg, so this measures that save more than a plain start.
void BM_Initialize_DiscoverNormalData(benchmark::State& state) {
  Installation inst(true);
  DirectoryMgr* dirs = GetDirectoryMgr();
  const char* written[] = {"LRGridDir", "CitiesDir", "LRGeoDir", "PolyDir",
                           "OROSpeedsDir", "TMCDir", "LRSaveDir", "AddonDir"};
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* name : written) Config_DeleteKeyVal("user\\Directories", name);
    state.ResumeTiming();
    dirs->Initialize();
  }
  state.counters["status"] = Config_GetDataStatus();
}

// The grid directory as configured by discovery (LRGridDir set).
void BM_GetNetworkDir_Configured(benchmark::State& state) {
  Installation inst(true);
  for (auto _ : state) benchmark::DoNotOptimize(Config_GetNetworkDir(false));
}

// The grid directory composed from RootDir, RegionDir and Data\CurrentRevision (LRGridDir not set).
void BM_GetNetworkDir_Composed(benchmark::State& state) {
  Installation inst(false);
  Config_SetDirPath("RegionDir", OROustring("NA"));
  Config_SetIntVal("Data", "CurrentRevision", 7);
  for (auto _ : state) benchmark::DoNotOptimize(Config_GetNetworkDir(false));
}

}  // namespace

BENCHMARK(BM_Initialize_NoData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Initialize_NormalData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Initialize_DiscoverNormalData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewDirectoryMgr_NoData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewDirectoryMgr_NormalData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConfigReset_NoData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConfigReset_NormalData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetNetworkDir_Configured);
BENCHMARK(BM_GetNetworkDir_Composed);
