// The catalogue as the defaults tables register it: every entry in registration order, and the entry that a
// lookup of each key finds.
#include <doroutil/strutil.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "common/folded_names.h"
#include "defaults/catalogue.h"

namespace navconfig {

namespace {

// An index into the registered entries. (A type of this file's own keeps the maps' code out of the
// library's exported symbols.)
struct Position {
  size_t index;
};

struct Registration {
  std::vector<RegisteredDefault> entries;
  std::unordered_map<std::string, Position> effective;  // folded key -> the entry found

  Registration() {
    for (size_t s = 0; s < kCatalogueSectionCount; ++s) {
      const CatalogueSection& section = kCatalogueSections[s];
      for (size_t i = 0; i < section.count; ++i) entries.push_back({&section.entries[i], false, false});
    }
    const size_t mainCount = entries.size();
    for (size_t i = 0; i < kPriorityCatalogueCount; ++i) entries.push_back({&kPriorityCatalogue[i], true, false});

    // Within a table a later entry hides an earlier one (it goes in front of its chain); the priority table
    // hides the main table.
    std::unordered_map<std::string, Position> mainWinner, priorityWinner;
    for (size_t i = 0; i < entries.size(); ++i) {
      auto& winners = i < mainCount ? mainWinner : priorityWinner;
      const std::string key = FoldedText(entries[i].entry->key);
      auto [it, inserted] = winners.try_emplace(key, Position{i});
      if (!inserted) {
        entries[it->second.index].shadowed = true;
        it->second.index = i;
      }
    }
    effective = mainWinner;
    for (const auto& [key, position] : priorityWinner) {
      auto it = effective.find(key);
      if (it != effective.end()) {
        entries[it->second.index].shadowed = true;
        it->second = position;
      } else {
        effective.emplace(key, position);
      }
    }
  }
};

const Registration& Catalogue() {
  static const Registration registration;
  return registration;
}

}  // namespace

const std::vector<RegisteredDefault>& RegisteredDefaults() { return Catalogue().entries; }

const RegisteredDefault* FindRegisteredDefault(const char* key) {
  const Registration& catalogue = Catalogue();
  auto it = catalogue.effective.find(FoldedText(key ? key : ""));
  return it == catalogue.effective.end() ? nullptr : &catalogue.entries[it->second.index];
}

}  // namespace navconfig
