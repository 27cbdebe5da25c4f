// The configuration store on realistic data: a product.cfg and a user.cfg of 1,000 keys each in 50
// sections, lookups rotating through many keys in mixed letter case, loading, durable writes, and reads from
// two threads. Reference figures are measured in the same run, so that ratios hold on a noisy machine:
// a case-insensitive std::unordered_map lookup, finding the lines of a file, and a bare durable write.
#include <benchmark/benchmark.h>
#include <config/config_api.h>
#include <config/config_globals.h>
#include <doroutil/strutil.h>
#include <platform/os.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "settings_data.h"
#include "store/configmgr.h"

namespace fs = std::filesystem;

namespace {

const char* kWords[] = {"Display", "POIs", "In", "Walk", "Mode", "Max", "Route", "Speed", "Cache", "Show",
                        "Level", "Warning", "Icon", "Enable", "Traffic", "Zoom", "Night", "Lane", "Guide", "Map"};

std::string MakeName(std::mt19937& rng, int n) {
  std::string s;
  for (int i = 0; i < 3; ++i) s += kWords[rng() % 20];
  return s + std::to_string(n);
}

std::string MixCase(std::string s, std::mt19937& rng) {
  for (auto& c : s)
    if (rng() % 3 == 0) c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
  return s;
}

// A .cfg text of `keys` keys in `sections` sections: decimal, hexadecimal and string values.
std::string MakeCfg(int sections, int keys, int seed, std::vector<std::pair<std::string, std::string>>* names) {
  std::mt19937 rng(static_cast<unsigned>(seed));
  std::string text;
  const int perSection = keys / sections;
  for (int s = 0; s < sections; ++s) {
    // Numbered with three digits, so that the sections too are in the library's order.
    char number[8];
    std::snprintf(number, sizeof number, "%03d", s);
    std::string section = std::string("Section") + number + kWords[s % 20];
    text += "[" + section + "]\n";
    std::vector<std::string> keyNames;
    for (int k = 0; k < perSection; ++k) keyNames.push_back(MakeName(rng, k));
    // In the order the library's writer produces (letters compared without case).
    std::sort(keyNames.begin(), keyNames.end(), [](const std::string& a, const std::string& b) {
      return SpecialChar_stricmp(a.c_str(), b.c_str()) < 0;
    });
    for (auto& k : keyNames) {
      switch (rng() % 3) {
        case 0: text += "\"" + k + "\"=" + std::to_string(rng() % 100000) + "\n"; break;
        case 1: { char hex[16]; std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(rng())); text += "\"" + k + "\"=" + hex + "\n"; break; }
        default: text += "\"" + k + "\"=\"value of " + k + "\"\n"; break;
      }
      if (names) names->emplace_back(section, k);
    }
    text += "\n";
  }
  return text;
}

struct Fixture {
  std::string dir;
  std::vector<std::pair<std::string, std::string>> layerKeys;    // in product or user
  std::vector<std::pair<std::string, std::string>> defaultKeys;  // only defaults
  Fixture() {
    dir = (fs::temp_directory_path() / ("navconfig-bench-" + std::to_string(getpid()))).string() + "/";
    fs::create_directories(dir);
    std::ofstream(dir + "product.cfg") << MakeCfg(50, 1000, 1, &layerKeys);
    std::ofstream(dir + "user.cfg") << MakeCfg(50, 1000, 2, &layerKeys);
    std::ofstream(dir + "user_ro.cfg") << MakeCfg(10, 100, 3, nullptr);
    setenv("NAVCONFIG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_CONFIG_DIR", dir.c_str(), 1);
    setenv("NAVCONFIG_HOME", (dir + "home").c_str(), 1);
    Config_Reset();
    std::mt19937 rng(7);
    std::shuffle(layerKeys.begin(), layerKeys.end(), rng);
    for (auto& k : layerKeys) k = {MixCase(k.first, rng), MixCase(k.second, rng)};
    // Catalogue settings that no layer holds.
    const char* catalogue[][2] = {{"Image", "KeepPercent"}, {"POI", "MaxNumPOIsToImport"}, {"GPS", "Trail"},
                                  {"User Settings", "DisplayPOIsInWalkMode"}, {"Mouse", "HoverMs"},
                                  {"Traffic", "Lookahead"}, {"Speech", "BufferSize"}, {"ConnMgr", "mSecsToClean"},
                                  {"Features", "PanPercent"}, {"Graphics", "SplineDegree"}};
    for (auto& c : catalogue)
      for (int i = 0; i < 4; ++i) defaultKeys.emplace_back(MixCase(c[0], rng), MixCase(c[1], rng));
    // Load the layers once.
    Config_GetIntVal(layerKeys[0].first.c_str(), layerKeys[0].second.c_str());
  }
  ~Fixture() { fs::remove_all(dir); }
};

// The counters of two saves taken in turns: each one's mean in microseconds and the first's over the second's.
void ReportPair(benchmark::State& state, const std::string& first, std::chrono::steady_clock::duration a,
                const std::string& second, std::chrono::steady_clock::duration b) {
  const double aUs = std::chrono::duration<double, std::micro>(a).count() / state.iterations();
  const double bUs = std::chrono::duration<double, std::micro>(b).count() / state.iterations();
  state.counters[first + "_us"] = aUs;
  state.counters[second + "_us"] = bUs;
  state.counters["ratio"] = aUs / bUs;
}

Fixture& Data() {
  static Fixture f;
  return f;
}

void BM_LayeredReadHit(benchmark::State& state) {
  auto& keys = Data().layerKeys;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Config_GetIntVal(keys[i].first.c_str(), keys[i].second.c_str()));
    if (++i == keys.size()) i = 0;
  }
}
BENCHMARK(BM_LayeredReadHit)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_LayeredReadDefault(benchmark::State& state) {
  auto& keys = Data().defaultKeys;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Config_GetIntVal(keys[i].first.c_str(), keys[i].second.c_str()));
    if (++i == keys.size()) i = 0;
  }
}
BENCHMARK(BM_LayeredReadDefault)->Repetitions(5)->ReportAggregatesOnly(true);

// Reference: a case-insensitive hash map from "section\\key" to a value (ASCII letters folded inline).
inline unsigned char Fold(char c) { return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c); }
struct CaseHash {
  size_t operator()(const std::string& s) const {
    size_t h = 1469598103934665603ULL;
    for (char c : s) h = (h ^ Fold(c)) * 1099511628211ULL;
    return h;
  }
};
struct CaseEq {
  bool operator()(const std::string& a, const std::string& b) const {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
  }
};

void BM_RefCaseInsensitiveMap(benchmark::State& state) {
  auto& keys = Data().layerKeys;
  std::unordered_map<std::string, long, CaseHash, CaseEq> map;
  for (auto& k : keys) map[k.first + "\\" + k.second] = 1;
  std::vector<std::string> lookups;
  for (auto& k : keys) lookups.push_back(k.first + "\\" + k.second);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(lookups[i]));
    if (++i == lookups.size()) i = 0;
  }
}
BENCHMARK(BM_RefCaseInsensitiveMap)->Repetitions(5)->ReportAggregatesOnly(true);

// Loading a 10,000-key file into the tree (both passes), per key.
void BM_Load10kFile(benchmark::State& state) {
  const std::string text = MakeCfg(100, 10000, 4, nullptr);
  CConfigMgr* mgr = GetConfigMgr();
  for (auto _ : state) {
    mgr->Lock();
    mgr->ReadLayerText("bench10k", text.data(), text.size());
    mgr->Unlock();
    state.PauseTiming();
    Config_FlushBranch("bench10k");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Load10kFile)->Unit(benchmark::kMicrosecond);

// Reference: reading the same file and finding its lines.
void BM_RefReadAndFindLines(benchmark::State& state) {
  const std::string path = Data().dir + "ref10k.cfg";
  std::ofstream(path) << MakeCfg(100, 10000, 4, nullptr);
  for (auto _ : state) {
    char* data = nullptr;
    size_t size = 0;
    platform::ReadWholeFile(path, &data, &size);
    size_t lines = 0;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', size - static_cast<size_t>(p - data)))); ++p)
      ++lines;
    benchmark::DoNotOptimize(lines);
    std::free(data);
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_RefReadAndFindLines)->Unit(benchmark::kMicrosecond);

// A write that changes one value of the 1,000-key user.cfg and saves it durably.
void BM_WriteAndSaveDurably(benchmark::State& state) {
  auto& keys = Data().layerKeys;
  long n = 0;
  for (auto _ : state) Config_SetIntVal(keys[0].first.c_str(), "BenchCounter", ++n);
}
BENCHMARK(BM_WriteAndSaveDurably)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Reference: the same bytes written to a temporary file, synced, renamed over the target, directory synced.
void BM_RefBareDurableWrite(benchmark::State& state) {
  const std::string dir = Data().dir;
  const std::string text = MakeCfg(50, 1000, 2, nullptr);
  for (auto _ : state) {
    const std::string tmp = dir + "ref.tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, text.data(), text.size()) < 0) state.SkipWithError("write");
    ::fsync(fd);
    ::close(fd);
    ::rename(tmp.c_str(), (dir + "ref.cfg").c_str());
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(dfd);
    ::close(dfd);
  }
}
BENCHMARK(BM_RefBareDurableWrite)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The library's durable write and the bare one taken in turns, each timed on its own, so that both meet the
// same state of the disk; the counters give both and their ratio.
void BM_DurableWriteAgainstBare(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  auto& keys = Data().layerKeys;
  const std::string dir = Data().dir;
  const std::string text = MakeCfg(50, 1000, 2, nullptr);
  Clock::duration library{}, bare{};
  long n = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    Config_SetIntVal(keys[0].first.c_str(), "BenchCounter", ++n);
    const auto t1 = Clock::now();
    const std::string tmp = dir + "ref.tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, text.data(), text.size()) < 0) state.SkipWithError("write");
    ::fsync(fd);
    ::close(fd);
    ::rename(tmp.c_str(), (dir + "ref.cfg").c_str());
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(dfd);
    ::close(dfd);
    const auto t2 = Clock::now();
    library += t1 - t0;
    bare += t2 - t1;
  }
  ReportPair(state, "library", library, "bare", bare);
}
BENCHMARK(BM_DurableWriteAgainstBare)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The save of a 1,000-key file written by hand (keys shuffled in their sections, sections in another order, 100
// comment lines) against the save of the same settings in the library's order, taken in turns: each changes one
// value. The hand-written file is edited in place, the other written by the writer.
void BM_SaveHandWrittenAgainstLibraryOrder(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::pair<std::string, std::string>> keys;
  const std::string text = MakeCfg(50, 1000, 3, &keys);
  std::string hand, line;
  std::istringstream in(benchdata::HandOrder(text, 3));
  for (int n = 0; std::getline(in, line); ++n) hand += (n % 11 == 10 ? "; note " + std::to_string(n) + "\n" : "") + line + "\n";
  std::ofstream(Data().dir + "handsave.cfg") << hand;
  std::ofstream(Data().dir + "libsave.cfg") << text;
  const std::string handSection = "handsave\\" + keys[0].first, libSection = "libsave\\" + keys[0].first;
  Clock::duration handTime{}, libTime{};
  long n = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    Config_SetIntVal(handSection.c_str(), keys[0].second.c_str(), ++n);
    const auto t1 = Clock::now();
    Config_SetIntVal(libSection.c_str(), keys[0].second.c_str(), n);
    libTime += Clock::now() - t1;
    handTime += t1 - t0;
  }
  ReportPair(state, "hand", handTime, "library", libTime);
}
BENCHMARK(BM_SaveHandWrittenAgainstLibraryOrder)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A save that finds user.cfg changed by another writer, and a plain save, taken in turns. Before each
// changed save another writer (untimed) rewrites the file with one value of its own changed, as a second
// process would; the counters give both saves and their ratio.
void BM_SaveAfterAnotherWriter(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  auto& keys = Data().layerKeys;
  const std::string file = Data().dir + "user.cfg";
  Clock::duration changed{}, plain{};
  long n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    char* data = nullptr;
    size_t size = 0;
    platform::ReadWholeFile(file, &data, &size);
    std::string text(data ? data : "", size);
    std::free(data);
    const size_t own = text.find("[zzOther]\n");
    if (own != std::string::npos) text.resize(own);
    text += "[zzOther]\n\"Counter\"=" + std::to_string(n) + "\n\n";
    if (!platform::WriteFileAtomically(file, text.data(), text.size()).ok) state.SkipWithError("other writer");
    state.ResumeTiming();
    const auto t0 = Clock::now();
    Config_SetIntVal(keys[0].first.c_str(), "BenchCounter", ++n);
    const auto t1 = Clock::now();
    Config_SetIntVal(keys[0].first.c_str(), "BenchCounter", ++n);
    const auto t2 = Clock::now();
    changed += t1 - t0;
    plain += t2 - t1;
  }
  ReportPair(state, "changed", changed, "plain", plain);
}
BENCHMARK(BM_SaveAfterAnotherWriter)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same write without the syncs: the cost of the library's own work.
void BM_WriteAndSaveNoSync(benchmark::State& state) {
  auto& keys = Data().layerKeys;
  platform::SetSyncForBenchmarks(false);
  long n = 0;
  for (auto _ : state) Config_SetIntVal(keys[0].first.c_str(), "BenchCounter", ++n);
  platform::SetSyncForBenchmarks(true);
}
BENCHMARK(BM_WriteAndSaveNoSync)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Reads from two threads at once: items per second is the total.
void BM_ReadsTwoThreads(benchmark::State& state) {
  auto& keys = Data().layerKeys;
  size_t i = static_cast<size_t>(state.thread_index()) * 500;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Config_GetIntVal(keys[i].first.c_str(), keys[i].second.c_str()));
    if (++i == keys.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadsTwoThreads)->Threads(2)->UseRealTime();

}  // namespace
