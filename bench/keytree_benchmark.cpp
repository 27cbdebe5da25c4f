// The key tree and the defaults table: lookups and building trees from sorted input.
#include <benchmark/benchmark.h>
#include <config/keytree.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <doroutil/memory.h>
#include <string>
#include <vector>

#include "defaults/catalogue.h"
#include "defaults/defaults_table.h"
#include "store/keytree.h"
#include "store/tree_index.h"

using namespace navconfig;

namespace {

// The real catalogue: 1243 keys in the main table, 17 in the priority table.
struct CatalogueDefaults {
  std::vector<std::string> keys;
  std::vector<std::string> mixedCase;
  std::vector<std::string> misses;
  ConfigDefaultsTable* main = nullptr;
  ConfigDefaultsTable* priority = nullptr;
  CatalogueDefaults() {
    SetupConfigDefaults(main, priority);
    for (size_t s = 0; s < kCatalogueSectionCount; ++s)
      for (size_t i = 0; i < kCatalogueSections[s].count; ++i) keys.emplace_back(kCatalogueSections[s].entries[i].key);
    for (size_t i = 0; i < keys.size(); ++i) {
      std::string k = keys[i];
      for (size_t c = i % 3; c < k.size(); c += 3) k[c] = static_cast<char>(std::toupper(static_cast<unsigned char>(k[c])));
      mixedCase.push_back(k);
      misses.push_back(keys[i].substr(0, keys[i].size() - 1) + "#");
    }
  }
  ~CatalogueDefaults() { TeardownConfigDefaults(main, priority); }
};

CatalogueDefaults& Catalogue() {
  static CatalogueDefaults d;
  return d;
}

void BM_FindDefaultHit(benchmark::State& state) {
  auto& d = Catalogue();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindDefault(d.main, d.priority, d.mixedCase[i].c_str()));
    if (++i == d.keys.size()) i = 0;
  }
}
BENCHMARK(BM_FindDefaultHit)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_FindDefaultMiss(benchmark::State& state) {
  auto& d = Catalogue();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindDefault(d.main, d.priority, d.misses[i].c_str()));
    if (++i == d.misses.size()) i = 0;
  }
}
BENCHMARK(BM_FindDefaultMiss)->Repetitions(5)->ReportAggregatesOnly(true);

// Registering the whole catalogue into new tables, with the heap allocations that takes.
void BM_SetupConfigDefaults(benchmark::State& state) {
  uint64_t allocations = 0;
  for (auto _ : state) {
    ConfigDefaultsTable* main = nullptr;
    ConfigDefaultsTable* priority = nullptr;
    const uint64_t before = Mem_AllocationCount();
    SetupConfigDefaults(main, priority);
    allocations = Mem_AllocationCount() - before;
    state.PauseTiming();
    TeardownConfigDefaults(main, priority);
    state.ResumeTiming();
  }
  state.counters["heap_allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_SetupConfigDefaults)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Prints the spread of the catalogue over the buckets once.
void BM_BucketStatistics(benchmark::State& state) {
  auto& d = Catalogue();
  for (auto _ : state) benchmark::DoNotOptimize(d.main->elementCount);
  for (auto* table : {d.main, d.priority}) {
    uint32_t used = 0, longest = 0;
    for (uint32_t b = 0; b < table->bucketCount; ++b) {
      uint32_t length = 0;
      for (const ConfigDefault* n = table->buckets[b]; n; n = n->next) ++length;
      used += length > 0;
      longest = std::max(longest, length);
    }
    state.counters[table == d.main ? "main_used" : "priority_used"] = used;
    state.counters[table == d.main ? "main_longest" : "priority_longest"] = longest;
  }
}
BENCHMARK(BM_BucketStatistics)->Iterations(1);

class HeapOwner : public TreeOwner {
 public:
  void* Carve(size_t) override { return nullptr; }
  void ReleaseBlockAt(const void*) override {}
  TreeIndex* Index() override { return &index; }
  TreeIndex index;
};

void BM_FindRootThreeLevels(benchmark::State& state) {
  HeapOwner owner;
  KeyRoot* root = nullptr;
  KeyRoot* last = nullptr;
  for (const char* layer : {"product", "user", "user_ro"})
    for (int s = 0; s < 50; ++s)
      for (int t = 0; t < 4; ++t) {
        std::string path = std::string(layer) + "\\Section" + std::to_string(s) + "\\Sub" + std::to_string(t);
        keytree::FindOrCreatePath(&owner, &root, path.c_str(), &last);
      }
  for (auto _ : state) benchmark::DoNotOptimize(root->FindRoot("user\\Section37\\Sub2"));
  keytree::FreeTree(&owner, root);
}
BENCHMARK(BM_FindRootThreeLevels);

// Values added in sorted order to one section: the insertion hint keeps this linear.
void BM_BuildSortedSection(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::string> names;
  char buf[40];
  for (int i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "DisplayPOIsInWalkMode%07d", i);
    names.emplace_back(buf);
  }
  for (auto _ : state) {
    HeapOwner owner;
    KeyRoot* root = nullptr;
    KeyRoot* section = nullptr;
    keytree::FindOrCreatePath(&owner, &root, "user\\Big", &section);
    for (auto& name : names) keytree::AddValue(&owner, section, name.c_str(), KEYVALUE_TYPE_INTEGER, 1, "", false);
    keytree::FreeTree(&owner, root);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BuildSortedSection)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
