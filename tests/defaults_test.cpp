// The defaults tables: hash, chains, the priority table, case and teardown.
#include <gtest/gtest.h>

#include "config_defaults.h"
#include "support/test_support.h"

using namespace navconfig;

TEST(DefaultsHash, FoldsCaseSoThatEveryCaseOfAKeyIsFound) {
  EXPECT_EQ(DefaultsBucket("Data\\YearVersion", kMainDefaultsBuckets), 48u);
  EXPECT_EQ(DefaultsBucket("Data\\YearVersion", kPriorityDefaultsBuckets), 35u);
  EXPECT_EQ(DefaultsBucket("DATA\\YEARVERSION", kMainDefaultsBuckets), 48u);
  EXPECT_EQ(DefaultsBucket("Data\\YearVersioN", kMainDefaultsBuckets), 48u);
  EXPECT_EQ(DefaultsBucket("abc", 1019), static_cast<uint32_t>('c' + 'a'));
  EXPECT_EQ(DefaultsBucket("", 1019), 0u);

  ConfigDefaultsTable* main = CreateDefaultsTable(kMainDefaultsBuckets);
  ConfigDefaultsTable* priority = CreateDefaultsTable(kPriorityDefaultsBuckets);
  AddDefault(main, {"Data\\YearVersion", 2008, nullptr});
  for (const char* k : {"Data\\YearVersion", "data\\yearversion", "DATA\\YEARVERSION", "Data\\YearVersioN"}) {
    const ConfigDefault* d = FindDefault(main, priority, k);
    ASSERT_NE(d, nullptr) << k;
    EXPECT_EQ(d->intValue, 2008);
  }
  EXPECT_EQ(FindDefault(main, priority, "Data\\YearVersio"), nullptr);
  TeardownConfigDefaults(main, priority);
  EXPECT_EQ(main, nullptr);
  EXPECT_EQ(priority, nullptr);
}

TEST(DefaultsTable, PriorityWinsLaterInsertWinsAndNullKeysAreLogged) {
  testsupport::LogCapture log;
  ConfigDefaultsTable* main = CreateDefaultsTable(kMainDefaultsBuckets);
  ConfigDefaultsTable* priority = CreateDefaultsTable(kPriorityDefaultsBuckets);
  AddDefault(main, {"DensityLevels\\DrawGridLevelNetwork1", 4, nullptr});
  AddDefault(priority, {"DensityLevels\\DrawGridLevelNetwork1", 3, nullptr});
  EXPECT_EQ(FindDefault(main, priority, "DensityLevels\\DrawGridLevelNetwork1")->intValue, 3);

  AddDefault(main, {"Image\\KeepPercent", 50, nullptr});
  AddDefault(main, {"Image\\KeepPercent", 70, nullptr});
  EXPECT_EQ(main->elementCount, 3u);
  EXPECT_EQ(FindDefault(main, priority, "image\\keeppercent")->intValue, 70);

  AddDefault(main, {"Version\\Major", 0, "8.0.0.0"});
  const ConfigDefault* s = FindDefault(main, priority, "Version\\Major");
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->strValue, "8.0.0.0");

  EXPECT_EQ(FindDefault(main, priority, nullptr), nullptr);
  EXPECT_EQ(log.Matching("config_defaults:2886").size(), 2u);
  EXPECT_EQ(log.Matching("Config key did not hash correctly").size(), 2u);
  EXPECT_NE(AddDefault(main, {nullptr, 1, nullptr}), nullptr);  // goes to bucket 0, logged once
  EXPECT_EQ(log.Matching("Config key did not hash correctly").size(), 3u);

  // A table without buckets refuses inserts, and lookups skip it.
  ConfigDefaultsTable* empty = CreateDefaultsTable(0);
  EXPECT_EQ(AddDefault(empty, {"A\\B", 1, nullptr}), nullptr);
  EXPECT_EQ(FindDefault(empty, empty, "A\\B"), nullptr);
  EXPECT_EQ(FindDefault(main, empty, "Image\\KeepPercent")->intValue, 70);
  DestroyDefaultsTable(empty);
  TeardownConfigDefaults(main, priority);
}

TEST(DefaultsTable, StatisticsStaySilentWithoutOccupancyCounts) {
  testsupport::LogCapture log("hashstats");
  ConfigDefaultsTable* main = nullptr;
  ConfigDefaultsTable* priority = nullptr;
  SetupConfigDefaults(main, priority);
  ASSERT_NE(main, nullptr);
  EXPECT_GT(main->elementCount, 0u);
  LogDefaultsStatistics(main);
  EXPECT_TRUE(log.Matching("stats").empty());
  TeardownConfigDefaults(main, priority);
}
