// The defaults tables: hash, insertion, lookup, registration of the catalogue, statistics and teardown.
#include "defaults/defaults_table.h"

#include <doroutil/logmgr.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>

#include <cstring>
#include <new>

#include "common/folded_names.h"
#include "common/log.h"
#include "defaults/catalogue.h"

namespace navconfig {

namespace {

constexpr const char* kSource = "config_defaults";
constexpr int kLineBadHash = 2886;
constexpr int kLineStringIsInt = 2821;
constexpr int kLineIntIsString = 2840;
constexpr const char* kStatsSource = "configmain";
constexpr int kLineStats = 46;
constexpr size_t kPoolBlockBytes = 4096;

// The hash looks at the length, the last byte and the fifth byte from the end (the first and last for keys
// of five bytes or fewer), each folded to lower case and read as a signed byte.
inline int32_t HashByte(char c) { return static_cast<int32_t>(static_cast<signed char>(FoldAscii(c))); }

inline uint32_t BucketOf(const char* key, size_t n, uint32_t bucketCount) {
  int32_t h = 0;
  if (n > 5) {
    h = HashByte(key[n - 5]) ^ HashByte(key[n - 1]) ^ static_cast<int32_t>(n << 8);
  } else if (n > 0) {
    h = HashByte(key[n - 1]) + HashByte(key[0]);
  }
  return static_cast<uint32_t>(h) % bucketCount;
}

inline uint32_t KeyHash(uint64_t fullHash) { return static_cast<uint32_t>(fullHash >> 32); }

inline bool SameKey(const ConfigDefault* node, const char* key, size_t n, uint64_t fullHash) {
  return node->keyHash == KeyHash(fullHash) && node->keyLength == n && EqualsIgnoringCase(node->key, key, n);
}

const ConfigDefault* FindIn(const ConfigDefaultsTable* table, const char* key, size_t n, uint64_t fullHash) {
  if (table->index) {
    for (uint32_t i = static_cast<uint32_t>(fullHash) & table->indexMask;; i = (i + 1) & table->indexMask) {
      const IndexSlot& slot = table->index[i];
      if (slot.hash == 0) return nullptr;
      if (slot.hash == fullHash && SameKey(slot.node, key, n, fullHash)) return slot.node;
    }
  }
  const ConfigDefault* node = table->buckets[BucketOf(key, n, table->bucketCount)];
  for (; node; node = node->next)
    if (SameKey(node, key, n, fullHash)) return node;
  return nullptr;
}

// Puts a node into the index, replacing the node of an equal key (the later registration is the one found).
void IndexNode(ConfigDefaultsTable* table, ConfigDefault* node, uint64_t fullHash) {
  if (!table->index) return;
  if ((table->indexCount + 1) * 2 > table->indexMask + 1) {
    // Grow: a table twice the size, refilled from the old one.
    const uint32_t slots = (table->indexMask + 1) * 2;
    auto* bigger = static_cast<IndexSlot*>(Mem_Malloc(sizeof(IndexSlot) * slots));
    if (!bigger) {
      Mem_Free(table->index);
      table->index = nullptr;
      return;
    }
    std::memset(bigger, 0, sizeof(IndexSlot) * slots);
    IndexSlot* old = table->index;
    const uint32_t oldSlots = table->indexMask + 1;
    table->index = bigger;
    table->indexMask = slots - 1;
    table->indexCount = 0;
    for (uint32_t i = 0; i < oldSlots; ++i)
      if (old[i].hash) IndexNode(table, old[i].node, old[i].hash);
    Mem_Free(old);
  }
  for (uint32_t i = static_cast<uint32_t>(fullHash) & table->indexMask;; i = (i + 1) & table->indexMask) {
    IndexSlot& slot = table->index[i];
    if (slot.hash == 0) {
      slot = {fullHash, node};
      ++table->indexCount;
      return;
    }
    if (slot.hash == fullHash && SameKey(slot.node, node->key, node->keyLength, fullHash)) {
      slot.node = node;
      return;
    }
  }
}

}  // namespace

uint32_t DefaultsBucket(const char* key, uint32_t bucketCount) {
  if (!key) {
    LogMessage(kLogCategoryGeneral, kLogLevelError, kSource, kLineBadHash, "Config key did not hash correctly");
    return 0;
  }
  return bucketCount ? BucketOf(key, std::strlen(key), bucketCount) : 0;
}

ConfigDefaultsTable* CreateDefaultsTable(uint32_t bucketCount) {
  auto* table = static_cast<ConfigDefaultsTable*>(Mem_Malloc(sizeof(ConfigDefaultsTable)));
  if (!table) return nullptr;
  std::memset(table, 0, sizeof *table);
  table->bucketCount = bucketCount;
  table->usePool = true;
  if (void* mem = Mem_Malloc(sizeof(Allocator)))
    table->nodePool = new (mem) Allocator(sizeof(ConfigDefault), 0, kPoolBlockBytes);
  if (bucketCount) {
    table->buckets = static_cast<ConfigDefault**>(Mem_Malloc(sizeof(ConfigDefault*) * bucketCount));
    if (table->buckets) {
      std::memset(table->buckets, 0, sizeof(ConfigDefault*) * bucketCount);
      table->bucketsReady = true;
    }
    // Room for twice as many keys as buckets before the index grows.
    uint32_t slots = 16;
    while (slots < bucketCount * 4) slots *= 2;
    table->index = static_cast<IndexSlot*>(Mem_Malloc(sizeof(IndexSlot) * slots));
    if (table->index) {
      std::memset(table->index, 0, sizeof(IndexSlot) * slots);
      table->indexMask = slots - 1;
    }
  }
  return table;
}

void DestroyDefaultsTable(ConfigDefaultsTable*& table) {
  if (!table) return;
  if (table->buckets) {
    for (uint32_t i = 0; i < table->bucketCount; ++i) {
      ConfigDefault* node = table->buckets[i];
      while (node) {
        ConfigDefault* next = node->next;
        if (table->usePool && table->nodePool) table->nodePool->Free(node);
        else Mem_Free(node);
        node = next;
      }
      table->buckets[i] = nullptr;
    }
  }
  table->elementCount = 0;
  if (table->nodePool) {
    table->nodePool->~Allocator();
    Mem_Free(table->nodePool);
  }
  Mem_Free(table->buckets);
  Mem_Free(table->bucketOccupancy);
  Mem_Free(table->index);
  Mem_Free(table);
  table = nullptr;
}

ConfigDefault* AddDefault(ConfigDefaultsTable* table, const ConfigDefaultRecord& record) {
  if (!table || !table->bucketsReady) return nullptr;
  void* mem = (table->usePool && table->nodePool) ? table->nodePool->Alloc() : Mem_Malloc(sizeof(ConfigDefault));
  if (!mem) return nullptr;
  uint32_t bucket = DefaultsBucket(record.key, table->bucketCount);
  auto* node = static_cast<ConfigDefault*>(mem);
  node->key = record.key;
  node->intValue = record.intValue;
  node->strValue = record.strValue;
  node->keyLength = record.key ? static_cast<uint32_t>(std::strlen(record.key)) : 0;
  const uint64_t fullHash = record.key ? FoldedHash(record.key, node->keyLength) : 0;
  node->keyHash = KeyHash(fullHash);
  node->next = table->buckets[bucket];
  table->buckets[bucket] = node;
  ++table->elementCount;
  if (record.key) IndexNode(table, node, fullHash);
  return node;
}

const ConfigDefault* FindDefault(const ConfigDefaultsTable* mainTable, const ConfigDefaultsTable* priorityTable,
                                 const char* key) {
  if (!key) {
    // A null key is logged once for each table probed and is never found.
    if (priorityTable && priorityTable->bucketsReady) DefaultsBucket(nullptr, priorityTable->bucketCount);
    if (mainTable && mainTable->bucketsReady) DefaultsBucket(nullptr, mainTable->bucketCount);
    return nullptr;
  }
  const size_t n = std::strlen(key);
  const uint64_t fullHash = FoldedHash(key, n);
  if (priorityTable && priorityTable->bucketsReady && priorityTable->elementCount) {
    if (const ConfigDefault* hit = FindIn(priorityTable, key, n, fullHash)) return hit;
  }
  if (!mainTable || !mainTable->bucketsReady) return nullptr;
  return FindIn(mainTable, key, n, fullHash);
}

void SetupConfigDefaults(ConfigDefaultsTable*& mainTable, ConfigDefaultsTable*& priorityTable) {
  const bool perf = IsPerfIntervalLoggingEnabled();
  if (perf) GetCacheMgr()->LogPerfInterval(0, "SetupConfigDefaults", nullptr);
  if (!mainTable) mainTable = CreateDefaultsTable(kMainDefaultsBuckets);
  if (!priorityTable) priorityTable = CreateDefaultsTable(kPriorityDefaultsBuckets);
  if (!mainTable || !priorityTable) return;

  const int32_t memoryValue = MemoryDependentValue(GetCacheMgr()->GetMemoryLevel(false));
  auto add = [&](ConfigDefaultsTable* table, const CatalogueEntry& e) {
    AddDefault(table, {e.key, e.memoryDependent ? memoryValue : e.intValue, e.strValue});
  };
  for (size_t s = 0; s < kCatalogueSectionCount; ++s) {
    const CatalogueSection& section = kCatalogueSections[s];
    for (size_t i = 0; i < section.count; ++i) add(mainTable, section.entries[i]);
  }
  for (size_t i = 0; i < kPriorityCatalogueCount; ++i) add(priorityTable, kPriorityCatalogue[i]);

  if (perf) GetCacheMgr()->LogPerfInterval(1, "SetupConfigDefaults", nullptr);
}

void TeardownConfigDefaults(ConfigDefaultsTable*& mainTable, ConfigDefaultsTable*& priorityTable) {
  DestroyDefaultsTable(mainTable);
  DestroyDefaultsTable(priorityTable);
}

void LogDefaultsStatistics(const ConfigDefaultsTable* table) {
  if (!IsHashTableStatsLoggingEnabled() || !table || table->bucketCount == 0 || !table->bucketOccupancy) return;
  LogMessage(kLogCategoryGeneral, kLogLevelInfo, kStatsSource, kLineStats, "Begin stats for [%s]...",
             "m_pConfigDefaultsTable");
  const uint32_t average = table->elementCount / table->bucketCount;
  int totalDiff = 0;
  for (uint32_t i = 0; i < table->bucketCount; ++i) {
    const uint32_t count = table->bucketOccupancy[i];
    totalDiff += static_cast<int>(count > average ? count - average : average - count);
    LogMessage(kLogCategoryGeneral, kLogLevelInfo, kStatsSource, kLineStats, "  m_table[%d]:%d", static_cast<int>(i),
               static_cast<int>(count));
  }
  LogMessage(kLogCategoryGeneral, kLogLevelInfo, kStatsSource, kLineStats, "End hash stats NumElems[%d] iTotalDiff[%d]",
             static_cast<int>(table->elementCount), totalDiff);
}

void LogIntIsString(const char* key) {
  LogMessage(kLogCategoryGeneral, kLogLevelError, kSource, kLineIntIsString, "Config int value is really a string %s",
             key ? key : "");
}

void LogStringIsInt(const char* key) {
  LogMessage(kLogCategoryGeneral, kLogLevelError, kSource, kLineStringIsInt, "Config string value is really an int %s",
             key ? key : "");
}

}  // namespace navconfig
