// Editing the text of a layer file in place (cfg::Document): a file of n keys in sections of 20, in the library's
// order and in hand order, is brought to a layer as a save brings it (two thirds of the values changed, a new key
// beside half of them, the last third deleted) and is written out. An edit costs no search through the text: the
// cost per edit grows from 3,000 to 30,000 keys only as the document's tables, reached in random order here,
// outgrow the processor's caches.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cfg/document.h"
#include "settings_data.h"

namespace {

void EditAll(benchmark::State& state, bool handOrder) {
  const long keys = state.range(0);
  std::vector<benchdata::Read> reads;
  std::string text = benchdata::MakeSettingsText(0, keys, 3, &reads);
  if (handOrder) text = benchdata::HandOrder(text, 3);
  std::mt19937 rng(5);
  std::shuffle(reads.begin(), reads.end(), rng);
  size_t bytes = 0;
  for (auto _ : state) {
    // As a save brings the file to the layer: the values it keeps are set, the others go.
    navconfig::cfg::Document document(text);
    document.Sync();
    for (size_t i = 0; i < reads.size(); ++i) {
      const benchdata::Read& r = reads[i];
      if (i % 3 == 2) continue;
      document.SetInteger(r.section, r.key, static_cast<int32_t>(i), false);
      if (i % 3 == 1) document.SetString(r.section, r.key + "New", "added");
    }
    document.DropUnset();
    bytes += document.Text().size();
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["ns_per_edit"] =
      benchmark::Counter(static_cast<double>(keys), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DocumentEditsLibraryOrder(benchmark::State& state) { EditAll(state, false); }
void BM_DocumentEditsHandOrder(benchmark::State& state) { EditAll(state, true); }
BENCHMARK(BM_DocumentEditsLibraryOrder)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentEditsHandOrder)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
