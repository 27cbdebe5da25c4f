// The built-in defaults against a list written independently of the catalogue's source:
// data/catalogue_expected.tsv (every setting, its type and value, and the priority table).
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "api/globals.h"
#include "support/test_support.h"

namespace {

constexpr size_t kMainEntries = 1243;
constexpr size_t kPriorityEntries = 17;

struct Expected {
  int lineNo = 0;
  std::string section, key;
  char type = 0;  // I S D N M, or P for an entry of the priority table
  std::string text;
  long number = 0;
  std::string path() const { return section + "\\" + key; }
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// The main table's entries in order, then the priority table's: lines split at tabs, comments and empty lines
// skipped.
std::vector<Expected> LoadExpected() {
  const char* dir = std::getenv("NAVCONFIG_TEST_DATA");
  std::ifstream in(std::string(dir ? dir : ".") + "/catalogue_expected.tsv", std::ios::binary);
  EXPECT_TRUE(in);
  std::vector<Expected> list;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a checkout with Windows line ends
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f(1);
    for (char c : line) c == '\t' ? f.emplace_back() : f.back() += c;
    if (f.size() != 4) { ADD_FAILURE() << "line " << lineNo << " has not four fields"; continue; }
    const bool priority = f[0] == "P";
    Expected e{lineNo, f[priority], f[1 + priority], priority ? 'P' : f[2][0], f[3], 0};
    if (e.type == 'I' || e.type == 'P') e.number = std::stol(e.text);
    list.push_back(e);
  }
  EXPECT_EQ(list.size(), kMainEntries + kPriorityEntries);
  return list;
}

bool IsString(char type) { return type == 'S' || type == 'D'; }

}  // namespace

// The catalogue as registered, entry by entry in registration order, at memory levels on both sides of 4; and
// in a scratch installation without layer files every setting reads as its default, except the directories that
// the first start itself writes into the user layer.
TEST(Catalogue, EveryEntryIsRegisteredInOrderAndReadsAsItsDefault) {
  testsupport::TempDir dir;
  testsupport::ScopedEnv config("NAVCONFIG_CONFIG_DIR", dir.path().c_str()),
      runtime("NAVCONFIG_RUNTIME_DIR", dir.path().c_str()), home("NAVCONFIG_HOME", (dir.path() + "home").c_str());
  std::optional<testsupport::ScopedEnv> memory;
  auto startWithMemoryLevel = [&](const char* level) {
    memory.reset();
    memory.emplace("NAVCONFIG_MEMORY_LEVEL", level);
    // The defaults are registered once per set-up of the library's globals: start them afresh.
    GetConfigGlobals()->TryTeardown();
    EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  };
  startWithMemoryLevel("3");
  const std::vector<Expected> list = LoadExpected();
  ASSERT_EQ(Config_GetDefaultCount(), static_cast<int>(list.size()));
  std::map<std::string, const Expected*> priority;
  for (size_t i = kMainEntries; i < list.size(); ++i) priority[Lower(list[i].path())] = &list[i];
  const std::set<std::string> started = {"RootDir",   "LRGlobalSaveDir", "GlobalAddonDir", "SpeechDir",
                                         "LRInfoDir", "LRGPSSaveDir",    "UpdateDir",      "GPSDemoDir"};
  for (int i = 0; i < static_cast<int>(list.size()); ++i) {
    const Expected& e = list[static_cast<size_t>(i)];
    SCOPED_TRACE("line " + std::to_string(e.lineNo) + ": " + e.path());
    ConfigDefaultInfo info{};
    ASSERT_TRUE(Config_GetDefaultAt(i, &info));
    EXPECT_STREQ(info.key, e.path().c_str());  // key paths keep their case
    const auto shadowing = priority.find(Lower(e.path()));
    const bool shadowed = e.type != 'P' && shadowing != priority.end();
    EXPECT_EQ(std::make_tuple(info.isString, !info.strValue, info.priority, info.memoryDependent, info.shadowed),
              std::make_tuple(IsString(e.type), !IsString(e.type), e.type == 'P', e.type == 'M', shadowed));
    EXPECT_TRUE(e.type == 'N' || info.intValue == (e.type == 'M' ? 1 : e.number)) << info.intValue;
    EXPECT_TRUE(e.type != 'S' || e.text == info.strValue) << info.strValue;
    EXPECT_TRUE(e.type != 'D' || *info.strValue);
    if (e.type == 'M') {
      testsupport::ScopedEnv highMemory("NAVCONFIG_MEMORY_LEVEL", "4");
      ASSERT_TRUE(Config_GetDefaultAt(i, &info));
      EXPECT_EQ(info.intValue, 0);
    }
    // A lookup in any letter case finds the entry in effect, and so does a read.
    const Expected& effective = shadowing == priority.end() ? e : *shadowing->second;
    ConfigDefaultInfo found{};
    ASSERT_TRUE(Config_FindDefaultInfo(Lower(e.path()).c_str(), &found));
    EXPECT_STREQ(found.key, effective.path().c_str());
    EXPECT_EQ(found.priority, shadowing != priority.end());
    const std::string section = i % 2 ? Lower(e.section) : e.section;
    if (e.type == 'P' || (e.section == "Directories" && started.count(e.key))) continue;
    EXPECT_TRUE(Config_DoesKeyExist(section.c_str(), e.key.c_str()));
    if (IsString(e.type)) {
      char text[1024];
      const bool read = Config_GetStrVal(section.c_str(), e.key.c_str(), text, sizeof text, nullptr);
      EXPECT_EQ(read, *text != '\0');
      EXPECT_TRUE(e.type == 'S' ? text == e.text : *text != '\0') << text;
    } else if (e.type != 'N') {
      EXPECT_EQ(Config_GetIntVal(section.c_str(), e.key.c_str()), e.type == 'M' ? 1 : effective.number);
    }
  }
  ConfigDefaultInfo info{};
  EXPECT_FALSE(Config_GetDefaultAt(-1, &info) || Config_GetDefaultAt(static_cast<int>(list.size()), &info) ||
               Config_GetDefaultAt(0, nullptr));
  EXPECT_FALSE(Config_FindDefaultInfo(nullptr, &info) || Config_FindDefaultInfo("Image\\KeepPercent2", &info));
  EXPECT_TRUE(Config_FindDefaultInfo("IMAGE\\keeppercent", nullptr));
  // Nothing was read from or written for these settings: the user layer holds only the start's directories.
  EXPECT_EQ(testsupport::ReadFile(dir / "user.cfg").find("[Image]"), std::string::npos);

  startWithMemoryLevel("4");  // a second set-up in the process: each entry once again
  EXPECT_EQ(Config_GetDefaultCount(), static_cast<int>(list.size()));
  for (size_t i = 0; i < kMainEntries; ++i)
    EXPECT_TRUE(list[i].type != 'M' || Config_GetIntVal(list[i].section.c_str(), list[i].key.c_str()) == 0) << i;
}
