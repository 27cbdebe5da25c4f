// Six processes saving non-stop into one user.cfg of 2,000 keys while `navconfig set` runs every 0.5 s beside
// them (30 s; NAVCONFIG_CONTENTION_SECONDS changes it): how long the tool takes (median, 90th percentile,
// slowest) and how many of its saves fail, and how many saves per second the writers make together, against
// one writer alone (a third of the time). The tool is the build's own, or NAVCONFIG_TOOL. Uses only the
// configuration interface, so that the same program can be built against an older library to compare.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_info.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string Folder() {
  const std::string dir =
      (fs::temp_directory_path() / ("navconfig-contention-" + std::to_string(getpid()))).string() + "/";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream user(dir + "user.cfg");
  for (int s = 0; s < 100; ++s) {
    user << "[Section" << s << "]\n";
    for (int k = 0; k < 20; ++k) user << "\"Key" << k << "\"=" << s * 100 + k << "\n";
    user << "\n";
  }
  setenv("NAVCONFIG_RUNTIME_DIR", dir.c_str(), 1);
  setenv("NAVCONFIG_CONFIG_DIR", dir.c_str(), 1);
  setenv("NAVCONFIG_HOME", (dir + "home").c_str(), 1);
  return dir;
}

// A writer process: saves its own key non-stop until the time is up, then exits with the number of its saves
// that failed (at most 255); its count of saves goes to <dir>writer<n>.
pid_t StartWriter(const std::string& dir, int n, Clock::time_point end) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  Config_ResetConfigMgr();
  const std::string key = "Writer" + std::to_string(n);
  long saves = 0, failed = 0;
  while (Clock::now() < end) {
    Config_SetIntVal("Busy", key.c_str(), saves++);
    bool ok = true;
    if (Config_GetLastSaveStatus("user", &ok, nullptr, 0, nullptr, 0) && !ok) ++failed;
  }
  std::ofstream(dir + "writer" + std::to_string(n)) << saves;
  _exit(static_cast<int>(std::min(failed, 255L)));
}

// Runs writers until the time is up: the saves they made, and the saves that failed.
std::pair<long, long> WaitForWriters(const std::string& dir, const std::vector<pid_t>& writers) {
  long saves = 0, failed = 0;
  for (size_t n = 0; n < writers.size(); ++n) {
    int status = 0;
    waitpid(writers[n], &status, 0);
    failed += WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    long count = 0;
    std::ifstream(dir + "writer" + std::to_string(n)) >> count;
    saves += count;
  }
  return {saves, failed};
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

void BM_SixWritersAndTheTool(benchmark::State& state) {
  const char* tool = std::getenv("NAVCONFIG_TOOL");
  const std::string toolPath = tool ? tool : NAVCONFIG_TOOL_PATH;
  const char* seconds = std::getenv("NAVCONFIG_CONTENTION_SECONDS");
  const auto span = std::chrono::seconds(seconds ? std::atoi(seconds) : 30);
  const std::string dir = Folder();
  for (auto _ : state) {
    // One writer alone, for the saves per second that the six are measured against.
    const auto aloneSpan = span / 3;
    const auto [aloneSaves, aloneFailed] = WaitForWriters(dir, {StartWriter(dir, 0, Clock::now() + aloneSpan)});
    std::vector<pid_t> writers;
    const auto end = Clock::now() + span;
    for (int n = 0; n < 6; ++n) writers.push_back(StartWriter(dir, n, end));
    std::vector<double> latencies;
    long toolFailed = 0;
    for (int run = 0; Clock::now() + std::chrono::milliseconds(500) < end; ++run) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const std::string value = std::to_string(60 + run % 40);
      const char* argv[] = {toolPath.c_str(), "--config-dir", dir.c_str(), "set", "Image", "KeepPercent", value.c_str(),
                            nullptr};
      const auto t0 = Clock::now();
      pid_t pid = 0;
      int status = 0;
      if (posix_spawn(&pid, toolPath.c_str(), nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0 ||
          waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        ++toolFailed;
      latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    const auto [saves, failed] = WaitForWriters(dir, writers);
    state.counters["tool_runs"] = static_cast<double>(latencies.size());
    state.counters["tool_failed"] = static_cast<double>(toolFailed);
    state.counters["tool_p50_ms"] = Percentile(latencies, 0.5);
    state.counters["tool_p90_ms"] = Percentile(latencies, 0.9);
    state.counters["tool_max_ms"] = Percentile(latencies, 1.0);
    state.counters["writers_failed"] = static_cast<double>(failed + aloneFailed);
    state.counters["six_saves_per_s"] = static_cast<double>(saves) / std::chrono::duration<double>(span).count();
    state.counters["one_saves_per_s"] = static_cast<double>(aloneSaves) / std::chrono::duration<double>(aloneSpan).count();
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_SixWritersAndTheTool)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
