// Loading files in the order people write them against the same settings in the library's order, in the same
// run: 1,000, 10,000 and 100,000 keys in sections of 20 (settings_data.h), and one section of 32,000 keys; and a
// reload that finds half of the keys of that section removed by another process. Uses only the configuration
// interface, so that the same program can be built against an older tree to compare.
//
// Hand order (benchdata::HandOrder): the keys of each section shuffled, one section in eight split in two, the
// sections in random order; moved sections: the same without shuffling the keys. Each iteration loads one file of
// each order, the order of the two loads taking turns; both are timed by this thread's CPU time (the machine is
// shared with other work).
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_listen.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "settings_data.h"

namespace fs = std::filesystem;

namespace {

std::chrono::nanoseconds ThreadTime() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}
double Seconds(std::chrono::nanoseconds d) { return std::chrono::duration<double>(d).count(); }

// Small files loaded again and again would let the processor learn their branches: each size goes round files
// of at least 64,000 keys in all.
constexpr long kKeysLoadedInTurn = 64000;
constexpr int kOneSection = 32000;

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A file's layer and a full path and key that a read of it loads it with.
struct LayerFile {
  std::string layer;
  std::string path;
  std::string key;
};

struct SizeFiles {
  std::vector<LayerFile> library, hand, moved;
};

class Data {
 public:
  Data() {
    m_dir = (fs::temp_directory_path() / ("navconfig-order-" + std::to_string(getpid()))).string() + "/";
    fs::create_directories(m_dir + "home");
    setenv("NAVCONFIG_RUNTIME_DIR", m_dir.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", m_dir.c_str(), 1);
    setenv("NAVCONFIG_HOME", (m_dir + "home").c_str(), 1);
    Config_Reset();
    SU_Config(m_dir.c_str());
  }
  ~Data() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  const std::string& Dir() const { return m_dir; }

  // The files of one size (keys 0: one section of 32,000 keys), made on first use.
  const SizeFiles& Files(long keys) {
    SizeFiles& f = m_files[keys];
    if (!f.library.empty()) return f;
    const long count = keys ? std::max(1L, kKeysLoadedInTurn / keys) : 2;
    for (long i = 0; i < count; ++i) {
      const uint32_t seed = static_cast<uint32_t>(keys + i);
      std::vector<benchdata::Read> reads;
      std::vector<std::string> names;
      const std::string text = keys ? benchdata::MakeSettingsText(keys, 0, seed, &reads)
                                    : benchdata::OneSectionText("Big", kOneSection, seed, &names);
      const benchdata::Read read = keys ? reads[reads.size() / 2] : benchdata::Read{"Big", names[names.size() / 2]};
      const std::string tag = std::to_string(keys) + "_" + std::to_string(i);
      f.library.push_back({"lib" + tag, "lib" + tag + "\\" + read.section, read.key});
      f.hand.push_back({"hand" + tag, "hand" + tag + "\\" + read.section, read.key});
      f.moved.push_back({"moved" + tag, "moved" + tag + "\\" + read.section, read.key});
      Write(m_dir + f.library.back().layer + ".cfg", text);
      Write(m_dir + f.hand.back().layer + ".cfg", benchdata::HandOrder(text, seed));
      Write(m_dir + f.moved.back().layer + ".cfg", benchdata::HandOrder(text, seed, false));
    }
    return f;
  }

 private:
  std::string m_dir;
  std::map<long, SizeFiles> m_files;
};

Data& TheData() {
  static Data data;
  return data;
}

// The CPU time of loading a layer (a full-path read that reads its file), the trees released before.
std::chrono::nanoseconds Load(const LayerFile& file) {
  SD_Config();
  const auto t0 = ThreadTime();
  benchmark::DoNotOptimize(Config_GetIntVal(file.path.c_str(), file.key.c_str()));
  return ThreadTime() - t0;
}

void LoadBothOrders(benchmark::State& state, long keys, long perFile, bool moved = false) {
  const SizeFiles& files = TheData().Files(keys);
  const std::vector<LayerFile>& other = moved ? files.moved : files.hand;
  std::chrono::nanoseconds library{}, hand{};
  size_t next = 0;
  bool handFirst = false;
  for (auto _ : state) {
    if (handFirst) hand += Load(other[next]);
    library += Load(files.library[next]);
    if (!handFirst) hand += Load(other[next]);
    handFirst = !handFirst;
    if (++next == files.library.size()) next = 0;
  }
  SD_Config();
  const double n = static_cast<double>(state.iterations()) * static_cast<double>(perFile);
  state.counters["library_ns_per_key"] = Seconds(library) * 1e9 / n;
  state.counters["hand_ns_per_key"] = Seconds(hand) * 1e9 / n;
  state.counters["x_library"] = Seconds(hand) / Seconds(library);
}

void BM_LoadHandAgainstLibraryOrder(benchmark::State& state) { LoadBothOrders(state, state.range(0), state.range(0)); }
BENCHMARK(BM_LoadHandAgainstLibraryOrder)
    ->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The sections moved about and one in eight split, each header's keys in the library's order: a file in the
// library's order that a person rearranged.
void BM_LoadMovedSectionsAgainstLibraryOrder(benchmark::State& state) {
  LoadBothOrders(state, state.range(0), state.range(0), true);
}
BENCHMARK(BM_LoadMovedSectionsAgainstLibraryOrder)
    ->Arg(100000)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

// One section of 32,000 keys (today's library took 5 s for it in hand order, quadratic in the section's size).
void BM_LoadOneSectionHandAgainstLibraryOrder(benchmark::State& state) { LoadBothOrders(state, 0, kOneSection); }
BENCHMARK(BM_LoadOneSectionHandAgainstLibraryOrder)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Another process removes every second key of the 32,000-key section; Config_ReloadChangedLayers takes that in.
// Timed: the reload (CPU time); the file and memory are brought back to all keys between reloads, untimed.
void BM_ReloadRemovingHalfOfOneSection(benchmark::State& state) {
  const std::string dir = TheData().Dir();
  std::vector<std::string> keys;
  const std::string whole = benchdata::OneSectionText("Big", kOneSection, 7, &keys);
  std::string half = "[Big]\n";
  for (size_t pos = whole.find('\n') + 1, i = 0; pos < whole.size(); ++i) {
    const size_t end = whole.find('\n', pos);
    if (i % 2 == 0 && end > pos) half += whole.substr(pos, end + 1 - pos);
    pos = end + 1;
  }
  half += "\n";
  SD_Config();
  Write(dir + "reload.cfg", whole);
  benchmark::DoNotOptimize(Config_GetIntVal("reload\\Big", keys[1].c_str()));
  std::chrono::nanoseconds reload{};
  long changed = 0;
  for (auto _ : state) {
    Write(dir + "reload.cfg", half);
    const auto t0 = ThreadTime();
    changed += Config_ReloadChangedLayers();
    const auto took = ThreadTime() - t0;
    state.SetIterationTime(Seconds(took));
    reload += took;
    Write(dir + "reload.cfg", whole);
    changed += Config_ReloadChangedLayers();
  }
  state.counters["reload_ms"] = Seconds(reload) * 1e3 / static_cast<double>(state.iterations());
  state.counters["values_changed"] = static_cast<double>(changed) / static_cast<double>(state.iterations());
  SD_Config();
}
BENCHMARK(BM_ReloadRemovingHalfOfOneSection)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
