// The built-in defaults against a list written independently of the catalogue's source (data/catalogue_expected.tsv):
// every setting, its type and its value, the memory-dependent entries at both memory levels, and the priority table.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config_defaults.h"
#include "configmgr.h"
#include "support/test_support.h"

using namespace navconfig;

namespace {

// Sections of the main table in registration order, with the number of settings in each.
struct SectionCount {
  const char* name;
  size_t count;
};
const SectionCount kSectionCounts[] = {
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
    {"RouteCoder", 1}, {"Data Updates", 6}, {"Wikipedia", 5},
};
constexpr size_t kMainEntries = 1243;
constexpr size_t kSections = 109;
constexpr size_t kIntegerEntries = 971;
constexpr size_t kStringEntries = 272;
constexpr size_t kPriorityEntries = 17;
// The catalogue comes in two halves: storage, data, directories and display first, services and devices after.
constexpr size_t kFirstHalfSections = 41;
constexpr size_t kFirstHalfEntries = 653;

struct Expected {
  int lineNo = 0;
  std::string section;
  std::string key;
  char type = 0;  // I S D N M
  std::string text;
  int32_t number = 0;
  std::string path() const { return section + "\\" + key; }
};

struct PriorityExpected {
  int lineNo = 0;
  std::string section;
  std::string key;
  int32_t number = 0;
  std::string path() const { return section + "\\" + key; }
};

struct ExpectedList {
  std::vector<Expected> main;
  std::vector<PriorityExpected> priority;
  std::vector<std::string> problems;  // lines that could not be read
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ParseInt32(const std::string& text, int32_t& out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return !text.empty() && ec == std::errc() && ptr == end;
}

ExpectedList LoadExpected() {
  ExpectedList list;
  const char* dir = std::getenv("NAVCONFIG_TEST_DATA");
  if (!dir || !*dir) {
    list.problems.push_back("NAVCONFIG_TEST_DATA is not set");
    return list;
  }
  const std::string path = std::string(dir) + "/catalogue_expected.tsv";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    list.problems.push_back("cannot open " + path);
    return list;
  }
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a checkout with Windows line ends
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> f = SplitTabs(line);
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    if (f.size() != 4) {
      list.problems.push_back(where + "expected 4 tab-separated fields, found " + std::to_string(f.size()));
      continue;
    }
    if (f[0] == "P") {
      PriorityExpected p{lineNo, f[1], f[2], 0};
      if (!ParseInt32(f[3], p.number)) list.problems.push_back(where + "priority value is not a number: " + f[3]);
      list.priority.push_back(p);
      continue;
    }
    if (!list.priority.empty()) list.problems.push_back(where + "main-table line after the priority lines");
    Expected e{lineNo, f[0], f[1], 0, f[3], 0};
    if (f[2].size() != 1 || std::strchr("ISDNM", f[2][0]) == nullptr) {
      list.problems.push_back(where + "unknown type '" + f[2] + "'");
      continue;
    }
    e.type = f[2][0];
    if (e.type == 'I' && !ParseInt32(f[3], e.number)) list.problems.push_back(where + "not a number: " + f[3]);
    if ((e.type == 'D' || e.type == 'N' || e.type == 'M') && !f[3].empty())
      list.problems.push_back(where + "type " + f[2] + " takes no value, found '" + f[3] + "'");
    list.main.push_back(e);
  }
  return list;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Describe(const ConfigDefault* d) {
  if (!d) return "no default";
  if (!d->strValue) return "integer " + std::to_string(d->intValue);
  return "string \"" + std::string(d->strValue) + "\"";
}

// Collects mismatches and reports them as one failure, so that a wholly different catalogue stays readable.
class Mismatches {
 public:
  void Add(const std::string& key, const std::string& expected, const ConfigDefault* found) {
    m_lines.push_back(key + ": expected " + expected + ", found " + Describe(found));
  }
  void AddText(const std::string& text) { m_lines.push_back(text); }
  void Report(const char* what) const {
    if (m_lines.empty()) return;
    constexpr size_t kShown = 100;
    std::ostringstream out;
    out << m_lines.size() << " mismatch(es) in " << what << ":\n";
    for (size_t i = 0; i < m_lines.size() && i < kShown; ++i) out << "  " << m_lines[i] << "\n";
    if (m_lines.size() > kShown) out << "  ... and " << (m_lines.size() - kShown) << " more\n";
    ADD_FAILURE() << out.str();
  }

 private:
  std::vector<std::string> m_lines;
};

// Registers the catalogue at a forced memory level and checks every line of the list against the tables.
void CheckDefaultsAgainstList(const char* memoryLevel, int32_t memoryDependentValue) {
  const ExpectedList list = LoadExpected();
  ASSERT_TRUE(list.problems.empty()) << list.problems.front();
  ASSERT_EQ(list.main.size(), kMainEntries);

  testsupport::ScopedEnv level("NAVCONFIG_MEMORY_LEVEL", memoryLevel);
  ConfigDefaultsTable* main = nullptr;
  ConfigDefaultsTable* priority = nullptr;
  SetupConfigDefaults(main, priority);
  ASSERT_NE(main, nullptr);
  ASSERT_NE(priority, nullptr);

  std::set<std::string> shadowed;
  for (const PriorityExpected& p : list.priority) shadowed.insert(Lower(p.path()));

  Mismatches bad;
  for (const Expected& e : list.main) {
    const std::string path = e.path();
    const ConfigDefault* effective = FindDefault(main, priority, path.c_str());
    // The priority table shadows some integer entries; the list gives the main table's own values.
    const ConfigDefault* d = FindDefault(main, nullptr, path.c_str());
    if (!effective || !d) {
      bad.Add(path, "a default", d);
      continue;
    }
    if (std::strcmp(d->key, path.c_str()) != 0) {
      bad.AddText(path + ": registered as \"" + d->key + "\" (key paths keep their case)");
    }
    if (effective != d && shadowed.count(Lower(path)) == 0) {
      bad.Add(path, "the main table's default (no priority entry)", effective);
    }
    switch (e.type) {
      case 'I':
        if (d->strValue || d->intValue != e.number) bad.Add(path, "integer " + std::to_string(e.number), d);
        break;
      case 'M':
        if (d->strValue || d->intValue != memoryDependentValue)
          bad.Add(path, "integer " + std::to_string(memoryDependentValue) + " at memory level " + memoryLevel, d);
        break;
      case 'N':
        if (d->strValue) bad.Add(path, "an integer (a coordinate)", d);
        break;
      case 'S':
        if (!d->strValue || e.text != d->strValue) bad.Add(path, "string \"" + e.text + "\"", d);
        break;
      case 'D':
        if (!d->strValue) bad.Add(path, "a string", d);
        break;
    }
  }
  bad.Report("the main table");

  Mismatches badPriority;
  for (const PriorityExpected& p : list.priority) {
    const std::string path = p.path();
    // It must sit in the priority table itself: several of its values equal the main table's.
    const ConfigDefault* own = FindDefault(nullptr, priority, path.c_str());
    if (!own || own->strValue || own->intValue != p.number)
      badPriority.Add(path, "integer " + std::to_string(p.number) + " in the priority table", own);
    const ConfigDefault* effective = FindDefault(main, priority, path.c_str());
    if (!effective || effective->strValue || effective->intValue != p.number)
      badPriority.Add(path, "effective integer " + std::to_string(p.number), effective);
  }
  badPriority.Report("the priority table");

  EXPECT_EQ(main->elementCount, kMainEntries);
  EXPECT_EQ(priority->elementCount, kPriorityEntries);
  TeardownConfigDefaults(main, priority);
}

}  // namespace

// The list itself: sections in order with their sizes, totals by type, no key twice, and priority keys that the
// main table also holds. A slip in the list would otherwise pass for a slip in the catalogue, or hide one.
TEST(CatalogueList, HasTheShapeOfTheCatalogue) {
  const ExpectedList list = LoadExpected();
  for (const std::string& p : list.problems) ADD_FAILURE() << p;
  ASSERT_TRUE(list.problems.empty());
  ASSERT_EQ(std::size(kSectionCounts), kSections);

  size_t next = 0;
  size_t integers = 0;
  size_t strings = 0;
  for (size_t s = 0; s < std::size(kSectionCounts); ++s) {
    const SectionCount& sc = kSectionCounts[s];
    size_t n = 0;
    while (next < list.main.size() && list.main[next].section == sc.name) {
      const char t = list.main[next].type;
      (t == 'S' || t == 'D' ? strings : integers) += 1;
      ++n;
      ++next;
    }
    EXPECT_EQ(n, sc.count) << "section " << sc.name << " (lines up to "
                           << (next ? list.main[next - 1].lineNo : 0) << ")";
    if (n != sc.count) break;  // later sections would all be reported off by the same slip
    if (s + 1 == kFirstHalfSections) {
      EXPECT_EQ(next, kFirstHalfEntries);
    }
  }
  EXPECT_EQ(next, list.main.size()) << "unexpected section '"
                                    << (next < list.main.size() ? list.main[next].section : "") << "' at line "
                                    << (next < list.main.size() ? list.main[next].lineNo : 0);
  EXPECT_EQ(list.main.size(), kMainEntries);
  EXPECT_EQ(integers, kIntegerEntries);
  EXPECT_EQ(strings, kStringEntries);

  std::set<std::string> keys;
  for (const Expected& e : list.main) {
    const std::string path = e.path();
    EXPECT_TRUE(keys.insert(Lower(path)).second) << "line " << e.lineNo << ": " << path << " listed twice";
    EXPECT_EQ(e.section.find('\\'), std::string::npos) << "line " << e.lineNo;
    EXPECT_EQ(e.key.find('\\'), std::string::npos) << "line " << e.lineNo;
    EXPECT_GE(path.size(), 9u) << path;
    EXPECT_LE(path.size(), 52u) << path;
  }
  EXPECT_TRUE(keys.count(Lower("Since Inception\\Connections: Max Concurrent Connects")));

  ASSERT_EQ(list.priority.size(), kPriorityEntries);
  std::set<std::string> priorityKeys;
  for (const PriorityExpected& p : list.priority) {
    EXPECT_TRUE(priorityKeys.insert(Lower(p.path())).second) << p.path() << " listed twice";
    bool inMain = false;
    for (const Expected& e : list.main) {
      if (e.path() == p.path()) {
        inMain = true;
        EXPECT_EQ(e.type, 'I') << p.path();
      }
    }
    EXPECT_TRUE(inMain) << p.path() << " is not a main-table setting";
  }
}

// Below memory level 4 the memory-dependent file policies are 1.
TEST(Catalogue, EveryDefaultMatchesTheListAtLowMemory) { CheckDefaultsAgainstList("3", 1); }

// From memory level 4 up they are 0.
TEST(Catalogue, EveryDefaultMatchesTheListAtHighMemory) { CheckDefaultsAgainstList("5", 0); }

// ---- Through the exported interface ----

namespace {

// A scratch installation with no layer files, so that every setting reads as its built-in default (except
// the directories that the first start itself writes into the user layer).
class CatalogueThroughApi : public ::testing::Test {
 protected:
  void StartWithMemoryLevel(const char* level) {
    memory_ = std::make_unique<testsupport::ScopedEnv>("NAVCONFIG_MEMORY_LEVEL", level);
    // The defaults are registered once per set-up of the library's globals: start them afresh.
    GetConfigGlobals()->TryTeardown();
    EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  }
  testsupport::TempDir dir_;
  testsupport::ScopedEnv config_{"NAVCONFIG_CONFIG_DIR", dir_.path().c_str()};
  testsupport::ScopedEnv runtime_{"NAVCONFIG_RUNTIME_DIR", dir_.path().c_str()};
  testsupport::ScopedEnv home_{"NAVCONFIG_HOME", (dir_.path() + "home").c_str()};
  std::unique_ptr<testsupport::ScopedEnv> memory_;
};

std::string ReadString(const std::string& section, const std::string& key, bool* read) {
  char buffer[1024];
  *read = Config_GetStrVal(section.c_str(), key.c_str(), buffer, sizeof buffer, nullptr);
  return buffer;
}

// Settings that the first start writes into the user layer (the directory table).
bool WrittenByTheStart(const Expected& e) {
  static const std::set<std::string> written = {"RootDir",   "LRGlobalSaveDir", "GlobalAddonDir", "SpeechDir",
                                                 "LRInfoDir", "LRGPSSaveDir",    "UpdateDir",      "GPSDemoDir"};
  return e.section == "Directories" && written.count(e.key) > 0;
}

}  // namespace

TEST_F(CatalogueThroughApi, EverySettingReadsAsItsDefault) {
  StartWithMemoryLevel("5");
  const ExpectedList list = LoadExpected();
  ASSERT_TRUE(list.problems.empty());
  std::map<std::string, int32_t> shadowed;
  for (const PriorityExpected& p : list.priority) shadowed[Lower(p.path())] = p.number;
  size_t checked = 0;
  for (const Expected& e : list.main) {
    if (WrittenByTheStart(e)) continue;
    SCOPED_TRACE("line " + std::to_string(e.lineNo) + ": " + e.path());
    // Names in any letter case reach the same setting.
    const std::string section = checked % 2 ? Lower(e.section) : e.section;
    EXPECT_TRUE(Config_DoesKeyExist(section.c_str(), e.key.c_str()));
    bool read = false;
    switch (e.type) {
      case 'I': {
        auto it = shadowed.find(Lower(e.path()));
        EXPECT_EQ(Config_GetIntVal(section.c_str(), e.key.c_str()), it == shadowed.end() ? e.number : it->second);
        break;
      }
      case 'M':
        EXPECT_EQ(Config_GetIntVal(section.c_str(), e.key.c_str()), 0);
        break;
      case 'N':
        Config_GetIntVal(section.c_str(), e.key.c_str());  // any number of the deployment's choosing
        break;
      case 'S':
        EXPECT_EQ(ReadString(section, e.key, &read), e.text);
        EXPECT_EQ(read, !e.text.empty());
        break;
      case 'D':
        EXPECT_FALSE(ReadString(section, e.key, &read).empty());
        EXPECT_TRUE(read);
        break;
    }
    ++checked;
  }
  EXPECT_EQ(checked, kMainEntries - 8);
  // Nothing was read from or written for these settings: the user layer holds only the start's directories.
  EXPECT_EQ(testsupport::ReadFile(dir_ / "user.cfg").find("[Image]"), std::string::npos);
}

TEST_F(CatalogueThroughApi, EdgeCasesOfTheDefaults) {
  StartWithMemoryLevel("5");
  testsupport::LogCapture log;
  // The priority table shadows the main table.
  EXPECT_EQ(Config_GetIntVal("DensityLevels", "DrawGridLevelNetwork1"), 3);
  EXPECT_EQ(Config_GetIntVal("Features", "AAMap"), 0);
  EXPECT_EQ(Config_GetIntVal("ZoomLevels", "Level04"), 2290);
  // Values at the edges of 32 bits.
  EXPECT_EQ(Config_GetIntVal("LiveFilter", "Msg0"), -251655936);
  EXPECT_EQ(Config_GetIntVal("LiveFilter", "Msg12"), 0);
  EXPECT_EQ(Config_GetIntVal("POI", "MaxNumPOIsToImport"), 2147483647);
  EXPECT_EQ(Config_GetIntVal("ConnMgr", "mSecsToListConnections"), 3600000);
  EXPECT_EQ(Config_GetIntVal("Data", "YearVersion"), 2008);
  EXPECT_EQ(Config_GetIntVal("Data", "VersionedGrid"), -1);
  bool read = false;
  EXPECT_EQ(ReadString("TCP", "Ports", &read), "80;9880;8080");
  EXPECT_EQ(ReadString("Directories", "BatchDir", &read), "/batchgeo/");
  // Empty string defaults exist but read as false.
  EXPECT_EQ(ReadString("ClientInfo", "LoginPassword", &read), "");
  EXPECT_FALSE(read);
  EXPECT_TRUE(Config_DoesKeyExist("Twitter", "oauth_token"));

  // A string setting read as an integer, and an integer setting read as a string.
  EXPECT_EQ(ReadString("Internal", "MultiLangScreenDump", &read), "0");
  EXPECT_EQ(Config_GetIntVal("Internal", "MultiLangScreenDump"), 0);
  EXPECT_EQ(Config_GetIntVal("ClientInfo", "LoginName"), 0);
  EXPECT_EQ(ReadString("Image", "KeepPercent", &read), "");
  EXPECT_FALSE(read);
  const auto intIsString = log.Matching("config_defaults:2840");
  ASSERT_EQ(intIsString.size(), 2u);
  EXPECT_NE(intIsString[0].find("Config int value is really a string Internal\\MultiLangScreenDump"),
            std::string::npos);
  EXPECT_NE(intIsString[1].find("Config int value is really a string ClientInfo\\LoginName"), std::string::npos);
  const auto stringIsInt = log.Matching("config_defaults:2821");
  ASSERT_EQ(stringIsInt.size(), 1u);
  EXPECT_NE(stringIsInt[0].find("Config string value is really an int Image\\KeepPercent"), std::string::npos);
  EXPECT_EQ(intIsString[0].substr(0, 5), "L2 C0");
}

TEST_F(CatalogueThroughApi, MemoryDependentSettingsFollowTheMemoryLevel) {
  StartWithMemoryLevel("3");
  EXPECT_EQ(Config_GetIntVal("File Policies", "cities.dat"), 1);
  EXPECT_EQ(Config_GetIntVal("File Policies", "postcode.lup"), 1);
  EXPECT_EQ(Config_GetIntVal("File Policies", "cities.nix"), 0);  // not memory-dependent
  StartWithMemoryLevel("4");
  EXPECT_EQ(Config_GetIntVal("File Policies", "cities.dat"), 0);
  EXPECT_EQ(Config_GetIntVal("File Policies", "postcode.lup"), 0);
}
