// The store at its edges: reads on one thread while a write on another waits for a lock that another process
// holds (flock(1), for 5 s), layered reads with an empty user_ro.cfg beside the same reads without one, and the
// memory that 100,000 failed saves of one key leave behind. Uses only the configuration interface, so that the
// same program can be built against an older library to compare.
#include <benchmark/benchmark.h>
#include <config/config_api.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A configuration folder of its own with 2,000 keys in 100 sections in the layer file named (user.cfg, or
// product.cfg, which layered reads reach after user and user_ro), the library started in it.
struct Folder {
  std::string dir;
  explicit Folder(const std::string& name, const char* file = "user.cfg", bool emptyUserRo = false) {
    dir = (fs::temp_directory_path() / ("navconfig-edges-" + name + "-" + std::to_string(getpid()))).string() + "/";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream user(dir + file);
    for (int s = 0; s < 100; ++s) {
      user << "[Section" << s << "]\n";
      for (int k = 0; k < 20; ++k) user << "\"Key" << k << "\"=" << s * 100 + k << "\n";
      user << "\n";
    }
    user.close();
    if (emptyUserRo) std::ofstream(dir + "user_ro.cfg").close();
    setenv("NAVCONFIG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_HOME", (dir + "home").c_str(), 1);
    Config_Reset();
    Config_GetIntVal("Section0", "Key0");  // every layer read
  }
  ~Folder() { fs::remove_all(dir); }
};

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// A write of Section0\Key0 on another thread waits for the lock of user.cfg, which flock(1) holds for 5 s;
// reads of other keys on this thread go on meanwhile. The counters: the slowest read, how many reads there
// were, and how long the write took.
void BM_ReadsWhileAWriteWaitsForALock(benchmark::State& state) {
  Folder folder("held");
  const std::string lock = folder.dir + ".user.cfg.lock";
  for (auto _ : state) {
    pid_t holder = 0;
    const char* argv[] = {"flock", "-o", lock.c_str(), "-c", "sleep 5", nullptr};
    if (posix_spawnp(&holder, "flock", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
      state.SkipWithError("flock(1) cannot be run");
      return;
    }
    // flock(1) has the lock once the lock file exists and a non-blocking lock of it fails.
    while (std::system(("flock -n -E 9 " + lock + " true 2>/dev/null; test $? -eq 9").c_str()) != 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::atomic<bool> writing{true};
    const auto start = Clock::now();
    Clock::duration wrote{};
    std::thread writer([&] {
      Config_SetIntVal("Section0", "Key0", 1);
      wrote = Clock::now() - start;
      writing = false;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the writer waits by now
    Clock::duration slowest{};
    long reads = 0;
    for (int i = 0; writing.load(); ++i, ++reads) {
      const auto t0 = Clock::now();
      benchmark::DoNotOptimize(Config_GetIntVal(("Section" + std::to_string(1 + i % 99)).c_str(), "Key3"));
      slowest = std::max(slowest, Clock::now() - t0);
    }
    writer.join();
    waitpid(holder, nullptr, 0);
    state.counters["slowest_read_us"] = std::chrono::duration<double, std::micro>(slowest).count();
    state.counters["reads"] = static_cast<double>(reads);
    state.counters["write_s"] = std::chrono::duration<double>(wrote).count();
  }
}
BENCHMARK(BM_ReadsWhileAWriteWaitsForALock)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// 2,000 layered reads, each of another key that product.cfg holds (so that each passes user_ro), with an empty
// user_ro.cfg (argument 1) and without one (0).
void BM_LayeredReads(benchmark::State& state) {
  Folder folder(state.range(0) ? "empty-user-ro" : "no-user-ro", "product.cfg", state.range(0) != 0);
  std::vector<std::pair<std::string, std::string>> keys;
  for (int s = 0; s < 100; ++s)
    for (int k = 0; k < 20; ++k) keys.emplace_back("Section" + std::to_string(s), "Key" + std::to_string(k));
  for (auto _ : state)
    for (const auto& [section, key] : keys) benchmark::DoNotOptimize(Config_GetIntVal(section.c_str(), key.c_str()));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
  state.SetLabel(state.range(0) ? "empty user_ro.cfg" : "no user_ro.cfg");
}
BENCHMARK(BM_LayeredReads)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true);

// 100,000 writes of one key whose saves all fail (the lock file is a folder): the growth of the resident set.
void BM_FailedSavesOfOneKey(benchmark::State& state) {
  Folder folder("failing");
  fs::remove_all(folder.dir + ".user.cfg.lock");
  fs::create_directories(folder.dir + ".user.cfg.lock");
  for (int i = 0; i < 1000; ++i) Config_SetIntVal("Section0", "Key0", i);  // what stays anyway is made first
  const long before = ResidentKb();
  for (auto _ : state)
    for (int i = 0; i < 100000; ++i) Config_SetIntVal("Section0", "Key0", i);
  state.counters["growth_kb"] = static_cast<double>(ResidentKb() - before);
}
BENCHMARK(BM_FailedSavesOfOneKey)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
