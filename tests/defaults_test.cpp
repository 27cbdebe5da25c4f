// The defaults tables: lookups in any case (through the index and through the bucket chains alone), the
// priority table, null keys, and tables that a teardown frees and the next set-up fills once.
#include <config/config_globals.h>
#include <doroutil/memory.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/globals.h"
#include "defaults/defaults_table.h"
#include "store_env.h"

using namespace navconfig;

TEST(DefaultsTable, EveryCaseOfAKeyIsFoundThePriorityTableAndTheLaterInsertWin) {
  testsupport::LogCapture log;
  std::vector<std::string> keys;
  for (int i = 0; i < 40; ++i) keys.push_back("Grow\\K" + std::to_string(i));
  // Through the index; through the bucket chains alone (as when the index could not be allocated); through a
  // small index that grows as keys come.
  for (const int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    ConfigDefaultsTable* main = CreateDefaultsTable(mode == 2 ? 1 : kMainDefaultsBuckets);
    ConfigDefaultsTable* priority = CreateDefaultsTable(kPriorityDefaultsBuckets);
    if (mode == 1) {
      Mem_Free(main->index);
      main->index = nullptr;
    }
    for (int i = 0; i < 40; ++i) AddDefault(main, {keys[i].c_str(), i, nullptr});
    AddDefault(main, {"Data\\YearVersion", 2008, nullptr});
    AddDefault(main, {"Image\\KeepPercent", 50, nullptr});
    AddDefault(main, {"Image\\KeepPercent", 70, nullptr});
    AddDefault(main, {"Abc", 1, nullptr});
    AddDefault(main, {"Dens\\Level", 4, nullptr});
    AddDefault(priority, {"dens\\level", 3, nullptr});
    auto value = [&](const char* key, const ConfigDefaultsTable* first) {
      const ConfigDefault* d = FindDefault(main, first, key);
      return d ? d->intValue : -1;
    };
    for (const char* k : {"Data\\YearVersion", "data\\yearversion", "DATA\\YEARVERSION", "Data\\YearVersioN"})
      EXPECT_EQ(value(k, priority), 2008) << k;
    for (int i = 0; i < 40; ++i) EXPECT_EQ(value(keys[i].c_str(), priority), i);
    EXPECT_EQ(value("Data\\YearVersio", priority) + value("Data\\YearVersions", priority) + value("Grow\\K40", priority), -3);
    EXPECT_EQ(value("aBC", priority), 1);
    EXPECT_EQ(value("image\\keeppercent", priority), 70);
    EXPECT_EQ(value("Dens\\Level", priority), 3);
    EXPECT_EQ(value("Dens\\Level", nullptr), 4);
    TeardownConfigDefaults(main, priority);
    EXPECT_TRUE(main == nullptr && priority == nullptr);
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
  TeardownConfigDefaults(main, empty);
}

// The library's own tables (in a scratch installation): freed at teardown, and silent without statistics when
// the library is set up again (that the new tables hold each entry once, the catalogue's test shows).
class LibraryDefaults : public storetest::StoreTest {};

TEST_F(LibraryDefaults, AreFreedAtTeardownAndFilledAgainAtSetUp) {
  testsupport::LogCapture log("hashstats");
  CConfigGlobals* globals = GetConfigGlobals();
  globals->TryTeardown();
  EXPECT_TRUE(!globals->m_pConfigDefaultsTable && !globals->m_pPriorityDefaultsTable);
  globals->Setup();
  EXPECT_EQ(Globals().FindDefault("image\\keeppercent")->intValue, 50);
  EXPECT_TRUE(log.Matching("stats").empty());
}
