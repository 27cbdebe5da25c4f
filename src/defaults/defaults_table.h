// The built-in defaults: two chained hash tables (the main table and a small priority table consulted
// first), filled once from the catalogue by SetupConfigDefaults and read-only afterwards.
//
// Keys are "<section>\<key>" without a layer. Key and string texts are the catalogue's static texts; the
// tables never copy them. A default whose strValue is null is an integer default, any other a string default.
// Lookups ignore ASCII case, and so does the hash (which folds letters before it takes its bytes).
#ifndef NAVCONFIG_SRC_DEFAULTS_DEFAULTS_TABLE_H
#define NAVCONFIG_SRC_DEFAULTS_DEFAULTS_TABLE_H

#include <cstddef>
#include <cstdint>

class Allocator;

namespace navconfig {

constexpr uint32_t kMainDefaultsBuckets = 1019;
constexpr uint32_t kPriorityDefaultsBuckets = 47;

struct ConfigDefault {
  const char* key;
  int32_t intValue;
  const char* strValue;  // null: an integer default
  ConfigDefault* next;
  uint32_t keyLength;    // strlen(key) and
  uint32_t keyHash;      // a hash of the folded key, so that a lookup compares only likely matches
};

struct ConfigDefaultsTable {
  ConfigDefault** buckets;
  Allocator* nodePool;
  uint32_t bucketCount;
  uint32_t elementCount;
  bool usePool;
  bool bucketsReady;
  uint32_t* bucketOccupancy;  // read by the statistics report only; this library never creates it
  // Beside the chains, an open-addressing index from the folded key to its node (the node registered last
  // for a key), so that a lookup does not walk a chain. Null when it could not be allocated: lookups then
  // walk the chains.
  struct IndexSlot* index;
  uint32_t indexMask;
  uint32_t indexCount;
};

struct IndexSlot {
  uint64_t hash;  // 0: free
  ConfigDefault* node;
};

// A default as the catalogue gives it.
struct ConfigDefaultRecord {
  const char* key;
  int32_t intValue;
  const char* strValue;
};

// The bucket of a key in a table of bucketCount buckets. A null key is logged and goes to bucket 0.
uint32_t DefaultsBucket(const char* key, uint32_t bucketCount);

// Allocates and constructs a table (Mem_Malloc); a failed allocation leaves the pool or buckets null.
ConfigDefaultsTable* CreateDefaultsTable(uint32_t bucketCount);
// Returns every node, releases the pool, the buckets and the table, and sets the pointer to null.
void DestroyDefaultsTable(ConfigDefaultsTable*& table);
// Always inserts at the front of the key's chain; null when no node could be had.
ConfigDefault* AddDefault(ConfigDefaultsTable* table, const ConfigDefaultRecord& record);

// The pair of tables that the globals holder keeps.
struct DefaultsTables {
  ConfigDefaultsTable* main = nullptr;
  ConfigDefaultsTable* priority = nullptr;
};

// Creates the missing tables and registers the whole catalogue (main entries, then priority entries).
void SetupConfigDefaults(ConfigDefaultsTable*& mainTable, ConfigDefaultsTable*& priorityTable);
void TeardownConfigDefaults(ConfigDefaultsTable*& mainTable, ConfigDefaultsTable*& priorityTable);
// The statistics report of the main table, when hash statistics logging is on.
void LogDefaultsStatistics(const ConfigDefaultsTable* mainTable);

const ConfigDefault* FindDefault(const ConfigDefaultsTable* mainTable, const ConfigDefaultsTable* priorityTable,
                                 const char* key);

// The messages of type mismatches between a request and a default.
void LogIntIsString(const char* key);
void LogStringIsInt(const char* key);

}  // namespace navconfig

#endif
