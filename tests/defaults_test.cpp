// The defaults tables: lookups in any case (through the index and through the bucket chains alone), the
// priority table, null keys, and tables that a teardown frees and the next set-up fills once.
#include <config/config_globals.h>
#include <doroutil/memory.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_defaults.h"
#include "configmgr.h"
#include "store_env.h"

using namespace navconfig;

TEST(DefaultsTable, EveryCaseOfAKeyIsFoundThePriorityTableAndTheLaterInsertWin) {
  testsupport::LogCapture log;
  for (const bool chainsOnly : {false, true}) {
    SCOPED_TRACE(chainsOnly ? "bucket chains" : "index");
    ConfigDefaultsTable* main = CreateDefaultsTable(kMainDefaultsBuckets);
    ConfigDefaultsTable* priority = CreateDefaultsTable(kPriorityDefaultsBuckets);
    if (chainsOnly) {  // as when the index could not be allocated
      Mem_Free(main->index);
      main->index = nullptr;
    }
    AddDefault(main, {"Data\\YearVersion", 2008, nullptr});
    AddDefault(main, {"Image\\KeepPercent", 50, nullptr});
    AddDefault(main, {"Image\\KeepPercent", 70, nullptr});
    AddDefault(main, {"Version\\Major", 0, "8.0.0.0"});
    AddDefault(main, {"Abc", 1, nullptr});
    AddDefault(main, {"Dens\\Level", 4, nullptr});
    AddDefault(priority, {"dens\\level", 3, nullptr});
    for (const char* k : {"Data\\YearVersion", "data\\yearversion", "DATA\\YEARVERSION", "Data\\YearVersioN"}) {
      const ConfigDefault* d = FindDefault(main, priority, k);
      ASSERT_NE(d, nullptr) << k;
      EXPECT_EQ(d->intValue, 2008);
    }
    EXPECT_EQ(FindDefault(main, priority, "Data\\YearVersio"), nullptr);
    EXPECT_EQ(FindDefault(main, priority, "Data\\YearVersions"), nullptr);
    EXPECT_EQ(FindDefault(main, priority, "aBC")->intValue, 1);
    EXPECT_EQ(FindDefault(main, priority, "image\\keeppercent")->intValue, 70);
    EXPECT_EQ(FindDefault(main, priority, "Dens\\Level")->intValue, 3);
    EXPECT_EQ(FindDefault(main, nullptr, "Dens\\Level")->intValue, 4);
    EXPECT_STREQ(FindDefault(main, priority, "Version\\Major")->strValue, "8.0.0.0");
    TeardownConfigDefaults(main, priority);
    EXPECT_EQ(main, nullptr);
    EXPECT_EQ(priority, nullptr);
  }

  // A null key is logged (once per table looked at) and found nowhere; a table without buckets refuses inserts.
  ConfigDefaultsTable* main = CreateDefaultsTable(kMainDefaultsBuckets);
  ConfigDefaultsTable* empty = CreateDefaultsTable(0);
  EXPECT_EQ(FindDefault(main, main, nullptr), nullptr);
  EXPECT_EQ(log.Matching("config_defaults:2886").size(), 2u);
  EXPECT_EQ(log.Matching("Config key did not hash correctly").size(), 2u);
  EXPECT_EQ(AddDefault(empty, {"A\\B", 1, nullptr}), nullptr);
  EXPECT_EQ(FindDefault(empty, empty, "A\\B"), nullptr);
  AddDefault(main, {"A\\B", 2, nullptr});
  EXPECT_EQ(FindDefault(main, empty, "A\\B")->intValue, 2);
  // An index that grows as keys come finds each of them.
  std::vector<std::string> keys;
  for (int i = 0; i < 40; ++i) keys.push_back("Grow\\K" + std::to_string(i));
  ConfigDefaultsTable* small = CreateDefaultsTable(1);
  for (int i = 0; i < 40; ++i) AddDefault(small, {keys[i].c_str(), i, nullptr});
  for (int i = 0; i < 40; ++i) {
    ASSERT_NE(FindDefault(small, nullptr, keys[i].c_str()), nullptr) << i;
    EXPECT_EQ(FindDefault(small, nullptr, keys[i].c_str())->intValue, i);
  }
  EXPECT_EQ(FindDefault(small, nullptr, "Grow\\K40"), nullptr);
  TeardownConfigDefaults(main, empty);
  DestroyDefaultsTable(small);
}

// The library's own tables (in a scratch installation): filled once at set-up, silent without statistics, freed at teardown, and filled
// afresh (not a second time over the first) when the library is set up again.
class LibraryDefaults : public storetest::StoreTest {};

TEST_F(LibraryDefaults, AreFilledOnceAtEachSetUp) {
  testsupport::LogCapture log("hashstats");
  CConfigGlobals* globals = GetConfigGlobals();
  ASSERT_NE(globals->m_pConfigDefaultsTable, nullptr);
  const uint32_t count = globals->m_pConfigDefaultsTable->elementCount;
  const uint32_t priorityCount = globals->m_pPriorityDefaultsTable->elementCount;
  EXPECT_GT(count, 1000u);
  EXPECT_GT(priorityCount, 0u);
  EXPECT_TRUE(log.Matching("stats").empty());
  globals->TryTeardown();
  EXPECT_EQ(globals->m_pConfigDefaultsTable, nullptr);
  EXPECT_EQ(globals->m_pPriorityDefaultsTable, nullptr);
  globals->Setup();
  EXPECT_EQ(globals->m_pConfigDefaultsTable->elementCount, count);
  EXPECT_EQ(globals->m_pPriorityDefaultsTable->elementCount, priorityCount);
  EXPECT_EQ(Globals().FindDefault("image\\keeppercent")->intValue, 50);
}
