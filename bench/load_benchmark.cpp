// Loading layers and reading them at 1,000, 10,000 and 100,000 keys, on files shaped like real settings
// (settings_data.h): the cost of a load per key against reading the file and finding its lines in the same
// run, full-path reads against layered ones on the same layer, and the peak memory of a loaded layer, taken
// in a process of its own (layer_memory) for the 100,000-key file and for one of about 100 MB.
//
// Each size has a configuration folder of its own: user.cfg holds N keys in nested sections (read by full
// path, "user\Map\Night") and N keys in plain sections (read layered, "MapNight"); settings0.cfg, settings1.cfg
// and so on hold N keys each in nested sections and are the layers that the load benchmark reads.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "settings_data.h"

namespace fs = std::filesystem;
using benchdata::Read;

namespace {

// The machine is shared with other work: the load and its reference are timed by this thread's CPU time.
struct Clock {
  using duration = std::chrono::nanoseconds;
  static std::chrono::nanoseconds now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
  }
};

struct FullRead {
  std::string path;
  std::string key;
};

// The texts of a list of reads one after the other, in the order they are read, so that the benchmark's own
// memory traffic is alike for every kind of read (a std::string of more than 15 bytes lies elsewhere on the
// heap, and full paths are longer than plain sections).
class ReadTexts {
 public:
  void Assign(const std::vector<FullRead>& reads) {
    m_bytes.clear();
    m_at.clear();
    for (const FullRead& r : reads) {
      m_at.push_back({static_cast<uint32_t>(m_bytes.size()), static_cast<uint32_t>(m_bytes.size() + r.path.size() + 1)});
      m_bytes.insert(m_bytes.end(), r.path.c_str(), r.path.c_str() + r.path.size() + 1);
      m_bytes.insert(m_bytes.end(), r.key.c_str(), r.key.c_str() + r.key.size() + 1);
    }
  }
  size_t size() const { return m_at.size(); }
  const char* Path(size_t i) const { return m_bytes.data() + m_at[i].path; }
  const char* Key(size_t i) const { return m_bytes.data() + m_at[i].key; }

 private:
  struct At {
    uint32_t path, key;
  };
  std::vector<char> m_bytes;
  std::vector<At> m_at;
};

// Loading the same small file again and again lets the processor learn its branches (which value is a string,
// how long each name is): a 1,000-key file then loads twice as fast per key as any file met for the first
// time. The load benchmark therefore goes round several files of each size, at least 64,000 keys in all.
constexpr long kKeysLoadedInTurn = 64000;

struct SizeData {
  std::string dir;                 // the configuration folder, with a trailing separator
  std::vector<FullRead> nested;    // "user\Group\Sub" and a key
  std::vector<FullRead> plain;     // "Section" and a key
  std::vector<FullRead> settings;  // a value of each layer settings<i> ("settings<i>\Group\Sub" and a key)
  ReadTexts nestedTexts, plainTexts;  // of nested and plain
};

class Data {
 public:
  Data() {
    m_root = (fs::temp_directory_path() / ("navconfig-load-" + std::to_string(getpid()))).string() + "/";
    fs::create_directories(m_root + "home");
    setenv("NAVCONFIG_RUNTIME_DIR", m_root.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", m_root.c_str(), 1);
    setenv("NAVCONFIG_HOME", (m_root + "home").c_str(), 1);
    Config_Reset();
  }
  ~Data() {
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  const std::string& Root() const { return m_root; }

  // The files of one size, made on first use; the library is pointed at its folder with user loaded.
  SizeData& Use(long keys) {
    SizeData& d = m_sizes[keys];
    if (d.dir.empty()) Make(keys, d);
    if (m_current != keys) {
      SU_Config(d.dir.c_str());
      SD_Config();
      Config_GetIntVal(d.plain[0].path.c_str(), d.plain[0].key.c_str());
      m_current = keys;
    }
    return d;
  }

 private:
  void Make(long keys, SizeData& d) {
    d.dir = m_root + std::to_string(keys) + "/";
    fs::create_directories(d.dir);
    std::vector<Read> reads;
    std::ofstream(d.dir + "user.cfg") << benchdata::MakeSettingsText(keys, keys, 11, &reads);
    for (const Read& r : reads) {
      if (r.section.find('\\') != std::string::npos) d.nested.push_back({"user\\" + r.section, r.key});
      else d.plain.push_back({r.section, r.key});
    }
    const long files = std::max(1L, kKeysLoadedInTurn / keys);
    for (long f = 0; f < files; ++f) {
      reads.clear();
      const std::string layer = "settings" + std::to_string(f);
      std::ofstream(d.dir + layer + ".cfg") << benchdata::MakeSettingsText(keys, 0, 12 + static_cast<uint32_t>(f), &reads);
      d.settings.push_back({layer + "\\" + reads[reads.size() / 2].section, reads[reads.size() / 2].key});
    }
    // Reads go through the keys in an order unrelated to the file's.
    std::mt19937 rng(static_cast<unsigned>(keys));
    std::shuffle(d.nested.begin(), d.nested.end(), rng);
    std::shuffle(d.plain.begin(), d.plain.end(), rng);
    d.nestedTexts.Assign(d.nested);
    d.plainTexts.Assign(d.plain);
  }

  std::string m_root;
  std::map<long, SizeData> m_sizes;
  long m_current = -1;
};

Data& TheData() {
  static Data data;
  return data;
}

// Reference: reading a file and finding its lines; the number of lines.
size_t ReadAndFindLines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  char* data = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  const size_t got = std::fread(data, 1, static_cast<size_t>(size), f);
  std::fclose(f);
  size_t lines = 0;
  for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', got - static_cast<size_t>(p - data))));
       ++p)
    ++lines;
  benchmark::DoNotOptimize(data);
  std::free(data);
  return lines;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Loading a layer: SD_Config and one full-path read that loads it, going round the layer files of the size.
// The time reported is the load's (CPU time); the counters give it per key, the reference (reading the same
// file and finding its lines) per key and their ratio.
void LoadLayers(benchmark::State& state, bool sameFile) {
  const long keys = state.range(0);
  SizeData& d = TheData().Use(keys);
  SD_Config();
  Clock::duration load{}, reference{};
  size_t next = 0;
  for (auto _ : state) {
    const FullRead& read = d.settings[next];
    const std::string file = d.dir + read.path.substr(0, read.path.find('\\')) + ".cfg";
    if (!sameFile && ++next == d.settings.size()) next = 0;
    const auto t0 = Clock::now();
    SD_Config();
    benchmark::DoNotOptimize(Config_GetIntVal(read.path.c_str(), read.key.c_str()));
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(ReadAndFindLines(file));
    const auto t2 = Clock::now();
    state.SetIterationTime(Seconds(t1 - t0));
    load += t1 - t0;
    reference += t2 - t1;
  }
  const double n = static_cast<double>(state.iterations()) * static_cast<double>(keys);
  state.counters["ns_per_key"] = Seconds(load) * 1e9 / n;
  state.counters["ref_ns_per_key"] = Seconds(reference) * 1e9 / n;
  state.counters["x_ref"] = Seconds(load) / Seconds(reference);
  // The layers of the other benchmarks are loaded again by their first Use.
  SD_Config();
  TheData().Use(keys);
}

void BM_LoadLayer(benchmark::State& state) { LoadLayers(state, false); }
BENCHMARK(BM_LoadLayer)
    ->Arg(1000)->Arg(10000)->Arg(100000)
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same file loaded again and again, as the first measurements of loading were taken.
void BM_LoadLayerSameFile(benchmark::State& state) { LoadLayers(state, true); }
BENCHMARK(BM_LoadLayerSameFile)
    ->Arg(1000)->Arg(10000)->Arg(100000)
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A full-path read that finds its value: Config_GetIntVal("user\\Map\\Night", key).
void BM_FullPathHit(benchmark::State& state) {
  const ReadTexts& reads = TheData().Use(state.range(0)).nestedTexts;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Config_GetIntVal(reads.Path(i), reads.Key(i)));
    if (++i == reads.size()) i = 0;
  }
}
BENCHMARK(BM_FullPathHit)->Arg(1000)->Arg(10000)->Arg(100000)->Repetitions(5)->ReportAggregatesOnly(true);

// A layered read that finds its value in the user layer: Config_GetIntVal("MapNight", key).
void BM_LayeredHit(benchmark::State& state) {
  const ReadTexts& reads = TheData().Use(state.range(0)).plainTexts;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Config_GetIntVal(reads.Path(i), reads.Key(i)));
    if (++i == reads.size()) i = 0;
  }
}
BENCHMARK(BM_LayeredHit)->Arg(1000)->Arg(10000)->Arg(100000)->Repetitions(5)->ReportAggregatesOnly(true);

// A layered read of a catalogue setting that no layer holds: it ends at the built-in default.
void BM_LayeredMissToDefault(benchmark::State& state) {
  TheData().Use(state.range(0));
  static const char* const kSettings[][2] = {
      {"Image", "KeepPercent"},       {"POI", "MaxNumPOIsToImport"}, {"GPS", "Trail"},
      {"User Settings", "DisplayPOIsInWalkMode"}, {"Mouse", "HoverMs"}, {"Traffic", "Lookahead"},
      {"Speech", "BufferSize"},       {"ConnMgr", "mSecsToClean"},   {"Features", "PanPercent"},
      {"Graphics", "SplineDegree"}};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Config_GetIntVal(kSettings[i][0], kSettings[i][1]));
    if (++i == std::size(kSettings)) i = 0;
  }
}
BENCHMARK(BM_LayeredMissToDefault)->Arg(1000)->Arg(100000)->Repetitions(5)->ReportAggregatesOnly(true);

// The peak memory of loading one layer, in a process of its own (layer_memory, built beside this program):
// the file's size, the growth of the peak resident size over the process before the load, and its ratio.
void BM_LoadedLayerPeakMemory(benchmark::State& state) {
  const long keys = state.range(0);
  const std::string dir = TheData().Root() + "memory/";
  fs::create_directories(dir);
  {
    std::FILE* out = std::fopen((dir + "settings.cfg").c_str(), "wb");
    benchdata::MakeSettings(keys, 0, 13, [&](const std::string& piece) { std::fwrite(piece.data(), 1, piece.size(), out); });
    std::fclose(out);
  }
  const std::string helper = fs::read_symlink("/proc/self/exe").parent_path() / "layer_memory";
  const std::string command = "'" + helper + "' '" + dir + "' settings";
  double fileBytes = 0, baseKb = 0, peakKb = 0, seconds = 0;
  for (auto _ : state) {
    std::FILE* p = popen(command.c_str(), "r");
    if (!p || std::fscanf(p, "file_bytes=%lf rss_before_kb=%lf peak_kb=%lf load_s=%lf", &fileBytes, &baseKb, &peakKb,
                          &seconds) != 4)
      state.SkipWithError("layer_memory gave no figures");
    if (p) pclose(p);
  }
  fs::remove_all(dir);
  const double layerBytes = (peakKb - baseKb) * 1024;
  state.counters["file_MB"] = fileBytes / 1e6;
  state.counters["layer_peak_MB"] = layerBytes / 1e6;
  state.counters["x_file"] = layerBytes / fileBytes;
  state.counters["process_peak_MB"] = peakKb * 1024 / 1e6;
  state.counters["load_s"] = seconds;
}
// About 36 bytes a key: 2,800,000 keys make a file of about 100 MB.
BENCHMARK(BM_LoadedLayerPeakMemory)->Arg(100000)->Arg(2800000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
