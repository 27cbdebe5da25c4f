// The key tree and the defaults table: lookups and building trees from sorted input.
#include <benchmark/benchmark.h>
#include <config/keytree.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config_defaults.h"
#include "keytree_ops.h"
#include "tree_index.h"

using namespace navconfig;

namespace {

// ~1250 keys shaped like the catalogue's: 100 sections of 12 to 13 keys.
struct SyntheticDefaults {
  std::vector<std::string> keys;
  ConfigDefaultsTable* main = CreateDefaultsTable(kMainDefaultsBuckets);
  ConfigDefaultsTable* priority = CreateDefaultsTable(kPriorityDefaultsBuckets);
  SyntheticDefaults() {
    const char* words[] = {"Display", "Max", "Enable", "Route", "Speed", "Cache", "Show", "Level", "Warning", "Icon"};
    for (int s = 0; s < 100; ++s)
      for (int k = 0; k < 12 + (s % 2); ++k)
        keys.push_back("Section" + std::to_string(s) + "\\" + words[k % 10] + words[(k + s) % 10] + std::to_string(k));
    for (auto& k : keys) AddDefault(main, {k.c_str(), 1, nullptr});
    for (int i = 0; i < 17; ++i) AddDefault(priority, {keys[static_cast<size_t>(i) * 70].c_str(), 2, nullptr});
  }
  ~SyntheticDefaults() { TeardownConfigDefaults(main, priority); }
};

void BM_FindDefaultHit(benchmark::State& state) {
  SyntheticDefaults d;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindDefault(d.main, d.priority, d.keys[i].c_str()));
    if (++i == d.keys.size()) i = 0;
  }
}
BENCHMARK(BM_FindDefaultHit);

void BM_FindDefaultMiss(benchmark::State& state) {
  SyntheticDefaults d;
  std::vector<std::string> misses;
  for (auto& k : d.keys) misses.push_back(k + "X");
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindDefault(d.main, d.priority, misses[i].c_str()));
    if (++i == misses.size()) i = 0;
  }
}
BENCHMARK(BM_FindDefaultMiss);

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
        keytree::FindOrCreatePath(&owner, &root, path.c_str(), false, nullptr, &last);
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
    keytree::FindOrCreatePath(&owner, &root, "user\\Big", false, nullptr, &section);
    for (auto& name : names) keytree::AddValue(&owner, section, name.c_str(), KEYVALUE_TYPE_INTEGER, 1, "", false);
    keytree::FreeTree(&owner, root);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BuildSortedSection)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
