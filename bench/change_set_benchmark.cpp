// A change set of N values against one save of a single value, both into a user.cfg that holds the same N
// values in sections of 20 (so the file written is the same), and against N single saves as a program without
// change sets makes them. The second argument 1 makes the saves durable (synced to the disk, as they are in use);
// with 0 the syncs are left out, so that the library's own work is timed. The goal is a set of 3,000 values within
// 4 times one single-value save.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_changes.h>
#include <platform/os.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Setting {
  std::string section, key;
};

// A configuration folder whose user.cfg holds n values; the library restarted on it.
class Installation {
 public:
  Installation(int n, bool durable) {
    m_dir = (fs::temp_directory_path() / ("navconfig-set-bench-" + std::to_string(getpid()))).string() + "/";
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    std::ofstream user(m_dir + "user.cfg");
    for (int i = 0; i < n; ++i) {
      m_settings.push_back({"Section" + std::to_string(i / 20), "Key" + std::to_string(i % 20)});
      if (i % 20 == 0) user << (i ? "\n" : "") << "[" << m_settings.back().section << "]\n";
      user << '"' << m_settings.back().key << "\"=" << i << '\n';
    }
    user.close();
    setenv("NAVCONFIG_RUNTIME_DIR", m_dir.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", m_dir.c_str(), 1);
    setenv("NAVCONFIG_HOME", (m_dir + "home").c_str(), 1);
    Config_Reset();
    Config_GetIntVal("Section0", "Key0");  // every layer read
    platform::SetSyncForBenchmarks(durable);
  }
  ~Installation() {
    platform::SetSyncForBenchmarks(true);
    fs::remove_all(m_dir);
  }
  const std::vector<Setting>& Settings() const { return m_settings; }

 private:
  std::string m_dir;
  std::vector<Setting> m_settings;
};

void BM_SetOfNValues(benchmark::State& state) {
  const Installation installation(static_cast<int>(state.range(0)), state.range(1) != 0);
  long n = 0;
  for (auto _ : state) {
    ++n;
    Config_ChangeSet* set = Config_ChangeSetNew();
    for (const Setting& s : installation.Settings()) Config_ChangeSetSetInt(set, s.section.c_str(), s.key.c_str(), n);
    Config_ChangeSetApply(set);
    Config_ChangeSetFree(set);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SetOfNValues)->ArgsProduct({{10, 1000, 3000, 10000}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_OneValueSavedInAFileOfN(benchmark::State& state) {
  const Installation installation(static_cast<int>(state.range(0)), state.range(1) != 0);
  long n = 0;
  for (auto _ : state) Config_SetIntVal("Section0", "Key0", --n);
}
BENCHMARK(BM_OneValueSavedInAFileOfN)->ArgsProduct({{10, 1000, 3000, 10000}, {0, 1}})->Unit(benchmark::kMicrosecond);

// What a program without change sets does: a save per value.
void BM_NSingleSaves(benchmark::State& state) {
  const Installation installation(static_cast<int>(state.range(0)), state.range(1) != 0);
  long n = 0;
  for (auto _ : state) {
    ++n;
    for (const Setting& s : installation.Settings()) Config_SetIntVal(s.section.c_str(), s.key.c_str(), n);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NSingleSaves)->ArgsProduct({{10, 1000, 3000}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
