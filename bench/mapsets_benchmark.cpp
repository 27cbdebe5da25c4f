// Finding the installed map sets below a path that holds 50 of them, each a region folder with a data folder
// (two .cgd files, a .chx file and a version.dat).
//
// Every set found costs one reading of its version.dat, which is read afresh on each search. The counter
// version_dat_reads counts the openings of those files during one search (outside the timed loop), seen
// through inotify on the 50 data folders; it should equal the number of sets.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/directorymgr.h>
#include <config/oro_dataset.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSets = 50;

// A scratch installation with kSets map sets below maps/, used by the library while the object lives.
class Installation {
 public:
  Installation() {
    m_dir = fs::temp_directory_path() / ("navconfig-bench-" + std::to_string(std::random_device{}()));
    for (const char* d : {"runtime", "config", "home", "work"}) fs::create_directories(m_dir / d);
    for (int i = 0; i < kSets; ++i) {
      char region[8];
      std::snprintf(region, sizeof region, "R%02d", i);
      const fs::path data = m_dir / "maps" / region / "data";
      fs::create_directories(data);
      for (const char* f : {"00000000.cgd", "00000001.cgd", "00000000.chx"}) std::ofstream(data / f) << "x";
      std::ofstream(data / "version.dat") << "Product Name: GRD_NAVTEQ.EU-DE-" << i + 1
                                          << ".2011.3\nData Version: 2011.3\nData Format: 9\n";
      m_dataDirs.push_back(data.string());
    }
    setenv("NAVCONFIG_RUNTIME_DIR", (m_dir / "runtime/").c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", (m_dir / "config/").c_str(), 1);
    setenv("NAVCONFIG_HOME", (m_dir / "home/").c_str(), 1);
    if (chdir((m_dir / "work").c_str()) != 0) std::abort();
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

  std::string Maps() const { return (m_dir / "maps").string(); }
  const std::vector<std::string>& DataDirs() const { return m_dataDirs; }

 private:
  fs::path m_dir;
  std::vector<std::string> m_dataDirs;
};

// How often files named version.dat in the folders are opened while work runs; -1 where it cannot be seen.
template <typename Work>
long CountVersionFileOpens(const std::vector<std::string>& dirs, Work work) {
#ifdef __linux__
  const int fd = inotify_init1(IN_NONBLOCK);
  if (fd < 0) return -1;
  for (const std::string& d : dirs) inotify_add_watch(fd, d.c_str(), IN_OPEN);
  work();
  long opens = 0;
  alignas(inotify_event) char buffer[64 * 1024];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0 && std::strcmp(event->name, "version.dat") == 0) ++opens;
      p += sizeof(inotify_event) + event->len;
    }
  }
  close(fd);
  return opens;
#else
  (void)dirs;
  work();
  return -1;
#endif
}

void BM_GetInstalledMapSetsInPath_50Sets(benchmark::State& state) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  const OROustring maps(inst.Maps());
  size_t found = 0;
  const long reads = CountVersionFileOpens(inst.DataDirs(), [&] {
    ListMgr<OroDataSet> sets(true);
    dirs->GetInstalledMapSetsInPath(sets, maps, INSTALL_DATA_NETWORK);
    found = sets.Count();
  });
  for (auto _ : state) {
    ListMgr<OroDataSet> sets(true);
    dirs->GetInstalledMapSetsInPath(sets, maps, INSTALL_DATA_NETWORK);
    benchmark::DoNotOptimize(sets.Count());
  }
  state.counters["sets"] = static_cast<double>(found);
  state.counters["version_dat_reads"] = static_cast<double>(reads);
}
BENCHMARK(BM_GetInstalledMapSetsInPath_50Sets)->Unit(benchmark::kMicrosecond);

// The same search followed by the CHX files of every set found.
void BM_GetInstalledMapSetsAndCHXFiles_50Sets(benchmark::State& state) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  const OROustring maps(inst.Maps());
  for (auto _ : state) {
    ListMgr<OroDataSet> sets(true);
    dirs->GetInstalledMapSetsInPath(sets, maps, INSTALL_DATA_NETWORK);
    unsigned long chx = 0;
    for (OroDataSet* set : sets) chx += set->DiscoverCHXFiles();
    benchmark::DoNotOptimize(chx);
  }
}
BENCHMARK(BM_GetInstalledMapSetsAndCHXFiles_50Sets)->Unit(benchmark::kMicrosecond);

}  // namespace
