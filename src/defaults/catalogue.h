// The catalogue of built-in defaults: every setting the library knows, in registration order.
//
// The rows live in catalogue.cpp, one static table per section, one row per setting:
//   Int("Image\\KeepPercent", 50)       an integer default (Int("...") alone is 0)
//   Str("Version\\Major", "8.0.0.0")    a string default (Str("...", "") is the empty text)
//   Mem("File Policies\\cities.dat")    an integer that depends on the machine: 1 below memory level 4, else 0
// Key and string texts are static and are never copied.
#ifndef NAVCONFIG_SRC_DEFAULTS_CATALOGUE_H
#define NAVCONFIG_SRC_DEFAULTS_CATALOGUE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace navconfig {

struct CatalogueEntry {
  const char* key;       // "<section>\<key>"
  int32_t intValue;
  const char* strValue;  // null: an integer setting
  bool memoryDependent;  // the integer is worked out from the memory level at registration
};

constexpr CatalogueEntry Int(const char* key, int32_t value = 0) { return {key, value, nullptr, false}; }
constexpr CatalogueEntry Str(const char* key, const char* value) { return {key, 0, value, false}; }
constexpr CatalogueEntry Mem(const char* key) { return {key, 0, nullptr, true}; }

struct CatalogueSection {
  const char* name;
  const CatalogueEntry* entries;
  size_t count;
};

// The sections of the main table, in registration order.
extern const CatalogueSection kCatalogueSections[];
extern const size_t kCatalogueSectionCount;
// The entries of the priority table, in registration order.
extern const CatalogueEntry kPriorityCatalogue[];
extern const size_t kPriorityCatalogueCount;

// The integer of a memory-dependent entry at a memory level.
constexpr int32_t MemoryDependentValue(int memoryLevel) { return memoryLevel < 4 ? 1 : 0; }

// An entry as the defaults tables register it (registration.cpp): from the priority table or the main one, and
// whether a lookup of its key finds another entry (a later one of the same table, or one of the priority table).
struct RegisteredDefault {
  const CatalogueEntry* entry;
  bool priority;
  bool shadowed;
};
// Every entry in registration order: the main table's sections, then the priority entries.
const std::vector<RegisteredDefault>& RegisteredDefaults();
// The entry that a lookup of the key (any case) finds, or null.
const RegisteredDefault* FindRegisteredDefault(const char* key);

}  // namespace navconfig

#endif
