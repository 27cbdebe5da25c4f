// The catalogue of built-in defaults: its sections and their sizes, the form of its key paths, and what the
// defaults tables hold once it is registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "config_catalogue.h"
#include "config_defaults.h"
#include "support/test_support.h"

using namespace navconfig;

namespace {

struct SectionSize {
  const char* name;
  size_t count;
};

// Every section in registration order with the number of its settings.
const SectionSize kExpectedSections[] = {
    {"DistanceCache", 1}, {"Image", 2}, {"LinkCacheFlatten", 1}, {"Polygon", 10}, {"PolygonFilesToBeCopied", 7},
    {"Cache", 2}, {"Data", 6}, {"AddOns", 2}, {"Directories", 38}, {"Overrides", 1}, {"File Policies", 108},
    {"InstalledRegions", 8}, {"RelativeDirectories", 1}, {"User Settings", 170}, {"Version", 1}, {"Override", 5},
    {"ActiveTraffic", 1}, {"PersonalConnect", 1}, {"3d", 4}, {"AlphaBlending", 2}, {"Features", 21},
    {"DensityLevels", 11}, {"Graphics", 27}, {"Frameable Areas", 2}, {"StartupLocation", 7}, {"Mouse", 19},
    {"Styles", 4}, {"ZoomLevels", 12}, {"Editor Draw Options", 5}, {"Editor Settings", 5}, {"SocialSharing", 4},
    {"HelpTips", 2}, {"Twitter", 4}, {"POI", 72}, {"POIApproach", 3}, {"Application", 29}, {"Hardware", 4},
    {"InfoBar1", 24}, {"Internal", 22}, {"ScreenCapture", 3}, {"LatLonInput", 2}, {"PlayDemoME", 10},
    {"PlayDemoEU", 10}, {"PlayDemoNA", 10}, {"PlayDemoOC", 10}, {"PlayDemoSE", 4}, {"Safetycam", 3},
    {"SafetyView", 2}, {"Tooltip", 2}, {"TruckWarnings", 3}, {"TruckLogging", 1}, {"Logging", 1},
    {"Speed Warnings", 4}, {"FuelCost", 5}, {"Planning", 1}, {"LiveLink", 42}, {"HelpAndFeedback", 7},
    {"EmailLink", 8}, {"NewsFeed", 3}, {"Geocoding", 21}, {"GPS", 48}, {"GPSInfo", 10}, {"Access", 6},
    {"Return Trip", 2}, {"Route Warning", 2}, {"TripManager", 1}, {"ClientInfo", 19}, {"ConnectionInfo0", 8},
    {"Messenger", 14}, {"Since Inception", 21}, {"This Session", 22}, {"ConnMgr", 7}, {"LiveFilter", 13},
    {"TrafficFilter", 3}, {"Language", 4}, {"LanguageFamilies", 55}, {"MapMask", 4}, {"Speech", 17},
    {"ConnectionInfo1", 7}, {"ConnectionInfo2", 2}, {"SDK", 6}, {"SharedMem", 2}, {"SharedMemoryMaps", 1},
    {"Download", 12}, {"TMC", 12}, {"Traffic", 12}, {"FlowTraffic", 18}, {"TCP", 1}, {"gSOAP", 3},
    {"AuthSettings", 1}, {"LocalSearchSettings", 4}, {"GlobalSearch", 3}, {"WeatherSettings", 3},
    {"FuelPricesSettings", 6}, {"FuelGradesAvail", 9}, {"AdvertsSettings", 9}, {"RoadsideAsst", 1},
    {"LaneAssistDebug", 8}, {"DataStreaming", 1}, {"Popup Toolbar Settings", 6}, {"Popup Start Menu", 4},
    {"GPSSimulator", 13}, {"SimGps", 18}, {"ListenerInfo", 5}, {"Design Settings", 5}, {"Conversion Settings", 3},
    {"RouteCoder", 1}, {"Data Updates", 6}, {"Wikipedia", 5}};

// Lower-cased, because the tables find keys regardless of case.
std::string Folded(const char* text) {
  std::string s(text);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

TEST(CatalogueShape, SectionsKeysAndTypesAreComplete) {
  ASSERT_EQ(kCatalogueSectionCount, std::size(kExpectedSections));
  ASSERT_EQ(kCatalogueSectionCount, 109u);

  size_t total = 0, integers = 0, strings = 0, shortest = SIZE_MAX, longest = 0;
  std::string longestKey;
  std::set<std::string> seen;
  for (size_t s = 0; s < kCatalogueSectionCount; ++s) {
    const CatalogueSection& section = kCatalogueSections[s];
    EXPECT_STREQ(section.name, kExpectedSections[s].name) << "section " << s;
    EXPECT_EQ(section.count, kExpectedSections[s].count) << section.name;
    const std::string prefix = std::string(section.name) + "\\";
    for (size_t i = 0; i < section.count; ++i) {
      const CatalogueEntry& e = section.entries[i];
      ASSERT_NE(e.key, nullptr) << section.name << " " << i;
      const std::string key = e.key;
      EXPECT_EQ(key.compare(0, prefix.size(), prefix), 0) << key;
      EXPECT_EQ(std::count(key.begin(), key.end(), '\\'), 1) << key;
      EXPECT_GT(key.size(), prefix.size()) << key;
      EXPECT_TRUE(seen.insert(Folded(e.key)).second) << "twice: " << key;
      EXPECT_FALSE(e.memoryDependent && e.strValue) << key;
      (e.strValue ? strings : integers)++;
      shortest = std::min(shortest, key.size());
      if (key.size() > longest) {
        longest = key.size();
        longestKey = key;
      }
      ++total;
    }
  }
  EXPECT_EQ(total, 1243u);
  EXPECT_EQ(integers, 971u);
  EXPECT_EQ(strings, 272u);
  EXPECT_EQ(longest, 52u);
  EXPECT_EQ(longestKey, "Since Inception\\Connections: Max Concurrent Connects");
  EXPECT_EQ(shortest, 9u);

  // The priority entries are integers that shadow keys of the main table.
  ASSERT_EQ(kPriorityCatalogueCount, 17u);
  std::set<std::string> priority;
  for (size_t i = 0; i < kPriorityCatalogueCount; ++i) {
    const CatalogueEntry& e = kPriorityCatalogue[i];
    EXPECT_EQ(e.strValue, nullptr) << e.key;
    EXPECT_FALSE(e.memoryDependent) << e.key;
    EXPECT_TRUE(seen.count(Folded(e.key))) << e.key;
    EXPECT_TRUE(priority.insert(Folded(e.key)).second) << e.key;
  }
}

TEST(CatalogueShape, RegisteredTablesHoldTheCatalogue) {
  for (const auto& [level, citiesDat] : {std::pair{"3", 1}, std::pair{"4", 0}}) {
    testsupport::ScopedEnv memoryLevel("NAVCONFIG_MEMORY_LEVEL", level);
    ConfigDefaultsTable* main = nullptr;
    ConfigDefaultsTable* priority = nullptr;
    SetupConfigDefaults(main, priority);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(priority, nullptr);
    EXPECT_EQ(main->elementCount, 1243u);
    EXPECT_EQ(priority->elementCount, 17u);

    auto intOf = [&](const char* key) {
      const ConfigDefault* d = FindDefault(main, priority, key);
      EXPECT_NE(d, nullptr) << key;
      if (!d) return INT32_MIN;
      EXPECT_EQ(d->strValue, nullptr) << key;
      return d->intValue;
    };
    auto strOf = [&](const char* key) {
      const ConfigDefault* d = FindDefault(main, priority, key);
      EXPECT_NE(d, nullptr) << key;
      return std::string(d && d->strValue ? d->strValue : "<none>");
    };
    EXPECT_EQ(intOf("File Policies\\cities.dat"), citiesDat) << "memory level " << level;
    EXPECT_EQ(intOf("File Policies\\cities.act"), citiesDat) << "memory level " << level;
    EXPECT_EQ(intOf("File Policies\\street.snm"), 0);
    EXPECT_EQ(intOf("LiveFilter\\Msg0"), -251655936);
    EXPECT_EQ(intOf("LiveFilter\\Msg12"), 0);
    EXPECT_EQ(intOf("DensityLevels\\DrawGridLevelNetwork1"), 3);
    EXPECT_EQ(intOf("Features\\AAMap"), 0);
    EXPECT_EQ(intOf("POI\\MaxNumPOIsToImport"), 2147483647);
    EXPECT_EQ(intOf("ConnMgr\\mSecsToListConnections"), 3600000);
    EXPECT_EQ(intOf("Data\\VersionedGrid"), -1);
    EXPECT_EQ(strOf("TCP\\Ports"), "80;9880;8080");
    EXPECT_EQ(strOf("Directories\\RootDir"), "");
    EXPECT_EQ(strOf("Internal\\MultiLangScreenDump"), "0");
    EXPECT_EQ(intOf("Since Inception\\Connections: Max Concurrent Connects"), 0);
    EXPECT_EQ(strOf("ClientInfo\\LoginName"), "");
    TeardownConfigDefaults(main, priority);
  }
}
