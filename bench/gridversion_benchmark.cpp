// Grid version strings: parsing a data set's product text, as map-set discovery does for every set found,
// and formatting it again.
#include <benchmark/benchmark.h>
#include <config/gridversion.h>

namespace {

void BM_ParseProductText(benchmark::State& state) {
  for (auto _ : state) {
    GridVersionString v("GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7.2.3.4");
    benchmark::DoNotOptimize(v.GetRegionId());
  }
}
BENCHMARK(BM_ParseProductText);

void BM_ParseDataText(benchmark::State& state) {
  for (auto _ : state) {
    GridVersionString v("GRD_NAVTEQ.EU-DE-12.2011.3.7", "9.1");
    benchmark::DoNotOptimize(v.GetRegionId());
  }
}
BENCHMARK(BM_ParseDataText);

void BM_FormatDataVersionString(benchmark::State& state) {
  const GridVersionString v("GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7.2.3.4");
  for (auto _ : state) benchmark::DoNotOptimize(v.GetGridDataVersionString(false));
}
BENCHMARK(BM_FormatDataVersionString);

}  // namespace
