// The configuration store through its exported interface, on real layer files in scratch folders: layered
// reads, full paths, default-equal writes, deletion, flushing, resets, the restore flag and the logs.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "configmgr.h"
#include "store_env.h"

using storetest::FileId;
using storetest::Str;
using storetest::StoreTest;

namespace {

const char* const kUserCfg =
    "; the user's own settings\n"
    "[Image]\n"
    "\"KeepPercent\"=10\n"
    "\n"
    "[Shared]\n"
    "\"A\"=1\n"
    "\"Text\"=\"from user\"\n"
    "[LiveFilter]\n"
    "\"Msg0\"=\"text\"\n";
const char* const kUserRoCfg =
    "[Image]\n"
    "\"KeepPercent\"=20\n"
    "\"AllowSquish\"=3\n"
    "[Shared]\n"
    "\"A\"=2\n"
    "\"B\"=2\n"
    "\"Text\"=\"from user_ro\"\n";
const char* const kProductCfg =
    "[Image]\n"
    "\"KeepPercent\"=30\n"
    "\"AllowSquish\"=4\n"
    "\"OnlyProduct\"=5\n"
    "[Shared]\n"
    "\"B\"=3\n"
    "\"C\"=\"product text\"\n"
    "\"D\"=7\n"
    "[Version]\n"
    "\"Major\"=9\n";

}  // namespace

class LayeredReads : public StoreTest {};

TEST_F(LayeredReads, WithoutFilesTheDefaultsAnswerAndAnEmptyUserFileAppears) {
  const bool hadUserFile = testsupport::Exists(Cfg("user.cfg"));
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  ASSERT_TRUE(testsupport::Exists(Cfg("user.cfg")));
  if (!hadUserFile) {
    EXPECT_EQ(ReadCfg("user.cfg"), "");
  }
  EXPECT_FALSE(testsupport::Exists(Cfg("user_ro.cfg")));
  EXPECT_FALSE(testsupport::Exists(Cfg("product.cfg")));

  EXPECT_EQ(Config_GetIntVal("user\\Image", "KeepPercent"), 0);
  EXPECT_EQ(Config_GetIntVal("IMAGE", "keeppercent"), 50);
  EXPECT_TRUE(Config_DoesKeyExist("Image", "KeepPercent"));
  EXPECT_FALSE(Config_DoesKeyExist("user\\Image", "KeepPercent"));
  EXPECT_EQ(Str("Version", "Major"), "8.0.0.0");
  EXPECT_EQ(Config_GetIntVal("No Such Section", "Key"), 0);
  EXPECT_FALSE(Config_DoesKeyExist("No Such Section", "Key"));

  // An empty string default: found, but an empty text reads as false.
  char buffer[16] = "xxx";
  EXPECT_FALSE(Config_GetStrVal("Twitter", "oauth_token", buffer, sizeof buffer, nullptr));
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(Config_DoesKeyExist("Twitter", "oauth_token"));
}

TEST_F(LayeredReads, UserThenUserRoThenProductThenDefaults) {
  WriteCfg("user.cfg", kUserCfg);
  WriteCfg("user_ro.cfg", kUserRoCfg);
  WriteCfg("product.cfg", kProductCfg);
  Reload();

  struct IntCase {
    const char* section;
    const char* key;
    long expected;
  };
  const IntCase ints[] = {
      {"Image", "KeepPercent", 10},       // user
      {"image", "KEEPPERCENT", 10},       // any case
      {"Image", "AllowSquish", 3},        // user_ro
      {"Image", "OnlyProduct", 5},        // product only
      {"Shared", "A", 1},                 // user
      {"Shared", "B", 2},                 // user_ro before product
      {"Shared", "D", 7},                 // product
      {"Shared", "C", 0},                 // a string in the last layer: no default asked
      {"LiveFilter", "Msg0", -251655936},  // a string in user, absent further on: the default answers
      {"Version", "Major", 9},            // product's integer, although the default is a string
      {"Image", "NotThere", 0},           // neither in a layer nor in the defaults
      {"user_ro\\Image", "KeepPercent", 20},  // full paths read one layer without defaults
      {"product\\Image", "KeepPercent", 30},
      {"PRODUCT\\image", "keeppercent", 30},
      {"user\\Image", "AllowSquish", 0},
      {"product\\Shared", "C", 0},
      {"\\product\\\\Image\\", "OnlyProduct", 5},
  };
  for (const auto& c : ints) EXPECT_EQ(Config_GetIntVal(c.section, c.key), c.expected) << c.section << " " << c.key;

  struct StrCase {
    const char* section;
    const char* key;
    const char* expected;
  };
  const StrCase strings[] = {
      {"Shared", "Text", "from user"},
      {"Shared", "C", "product text"},
      {"LiveFilter", "Msg0", "text"},
      {"Shared", "A", ""},                   // an integer in the layers
      {"Version", "Major", ""},              // product's integer hides the string default
      {"user_ro\\Shared", "Text", "from user_ro"},
      {"product\\Shared", "Text", ""},
  };
  for (const auto& c : strings) EXPECT_EQ(Str(c.section, c.key), c.expected) << c.section << " " << c.key;

  EXPECT_TRUE(Config_DoesKeyExist("Shared", "D"));
  EXPECT_TRUE(Config_DoesKeyExist("Shared", "C"));
  EXPECT_TRUE(Config_DoesKeyExist("product\\Shared", "C"));
  EXPECT_FALSE(Config_DoesKeyExist("user\\Shared", "C"));
  EXPECT_FALSE(Config_DoesKeyExist("Shared", "Nothing"));

  // Files were read once: a change on disk is not seen until the trees are released.
  WriteCfg("user.cfg", "[Image]\n\"KeepPercent\"=11\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 10);
  SD_Config();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 11);
}

// Layered reads find a plain section in all three layers at once: a section that goes from one layer, by
// deletion, flushing or a new reading of the files, must leave the others to answer, and one that comes back
// must answer again.
TEST_F(LayeredReads, ASectionGoneFromALayerLeavesTheOthersToAnswer) {
  WriteCfg("user.cfg", kUserCfg);
  WriteCfg("user_ro.cfg", kUserRoCfg);
  WriteCfg("product.cfg", kProductCfg);
  Reload();
  const auto expect = [](long a, long b, long d, const char* text) {
    EXPECT_EQ(Config_GetIntVal("Shared", "A"), a);
    EXPECT_EQ(Config_GetIntVal("SHARED", "b"), b);
    EXPECT_EQ(Config_GetIntVal("shared", "D"), d);
    EXPECT_EQ(Str("Shared", "Text"), text);
  };
  expect(1, 2, 7, "from user");

  EXPECT_EQ(Config_DeleteKey("USER\\shared"), 1);
  expect(2, 2, 7, "from user_ro");
  Config_SetIntVal("Shared", "A", 5);  // the section comes back in the user layer
  expect(5, 2, 7, "from user_ro");
  Config_FlushBranch("user_ro\\Shared");
  expect(5, 3, 7, "");
  Config_FlushBranch("user");  // read again from its file, which the write saved
  expect(5, 3, 7, "");
  Config_DeleteKey("product");  // which empties its file
  expect(5, 0, 0, "");
  SD_Config();
  expect(5, 2, 0, "from user_ro");
}

TEST_F(LayeredReads, MapLayersComeFromTheMapsFolderAndAreWrittenToTheConfigurationFolder) {
  testsupport::WriteFile(runtimeDir + "maps/EuroMap.cfg", "[Roads]\n\"Count\"=12\n\"Name\"=\"Europe\"\n");
  Reload();
  EXPECT_EQ(Config_GetIntVal("EuroMap\\Roads", "Count"), 12);
  EXPECT_EQ(Str("EuroMap\\Roads", "Name"), "Europe");
  // Map layers are not searched by layered reads.
  EXPECT_EQ(Config_GetIntVal("Roads", "Count"), 0);
  EXPECT_NE(Config_FindRoot("EuroMap"), nullptr);

  Config_SetIntVal("EuroMap\\Roads", "Count", 13);
  EXPECT_EQ(ReadCfg("euromap.cfg"), "[Roads]\n\"Count\"=13\n\"Name\"=\"Europe\"\n\n");
  EXPECT_EQ(testsupport::ReadFile(runtimeDir + "maps/EuroMap.cfg"), "[Roads]\n\"Count\"=12\n\"Name\"=\"Europe\"\n");
  // The file in the configuration folder now wins over the one in the maps folder.
  Reload();
  EXPECT_EQ(Config_GetIntVal("EuroMap\\Roads", "Count"), 13);
  EXPECT_EQ(Config_GetIntVal("euromap\\roads", "Count"), 13);

  // A layer in neither folder has no file: reads give nothing and create nothing.
  EXPECT_EQ(Config_GetIntVal("AsiaMap\\Roads", "Count"), 0);
  EXPECT_EQ(Config_FindRoot("AsiaMap"), nullptr);
  EXPECT_FALSE(testsupport::Exists(Cfg("asiamap.cfg")));
}

TEST_F(LayeredReads, AMissingLayerIsSkippedUntilSuConfigEnablesTheLayersAgain) {
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);  // user_ro and product are not there
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=30\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);  // product is not looked for again
  EXPECT_EQ(Config_GetIntVal("product\\Image", "KeepPercent"), 30);  // a full path reads it

  SU_Config(configDir.c_str());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);

  // Another folder: files not read yet come from there, layers in memory stay.
  testsupport::TempDir other;
  testsupport::WriteFile(other / "user_ro.cfg", "[Image]\n\"KeepPercent\"=20\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);
  Config_SetConfigPath(other.path().c_str());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 20);
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_TRUE(testsupport::Exists(other / "user.cfg"));
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
  SU_Config(nullptr);  // nothing
  Config_SetIntVal("Image", "KeepPercent", 71);
  EXPECT_EQ(storetest::SectionBlock(testsupport::ReadFile(other / "user.cfg"), "[Image]"),
            "[Image]\n\"KeepPercent\"=71\n\n");
}

TEST_F(LayeredReads, AWriteIsReadBackWhereNoUserFileCouldBeMade) {
  const std::string missing = tmp / "missing/";
  SU_Config(missing.c_str());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);  // no user.cfg, and none can be created
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
  EXPECT_TRUE(Config_DoesKeyExist("user\\Image", "KeepPercent"));
  EXPECT_FALSE(testsupport::Exists(missing));
}

TEST_F(LayeredReads, AStringInTheUserLayerHidesAnIntegerDefault) {
  Config_SetStrVal("Image", "KeepPercent", "many");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 0);  // user is the last available layer
  EXPECT_EQ(Str("Image", "KeepPercent"), "many");
  EXPECT_TRUE(Config_DoesKeyExist("Image", "KeepPercent"));

  // An integer in a later layer is found behind the user's string.
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=30\n");
  SU_Config(configDir.c_str());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);

  // An empty string hides a non-empty default.
  Config_SetStrVal("Version", "Major", "");
  char buffer[32] = "xxx";
  EXPECT_FALSE(Config_GetStrVal("Version", "Major", buffer, sizeof buffer, nullptr));
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(Config_DoesKeyExist("user\\Version", "Major"));
  EXPECT_EQ(Block("user.cfg", "[Version]"), "[Version]\n\"Major\"=\"\"\n\n");
}

TEST_F(LayeredReads, TypeMismatchesAgainstTheDefaultsAreLogged) {
  testsupport::LogCapture log;
  EXPECT_EQ(Config_GetIntVal("Version", "Major"), 0);
  auto intLines = log.Matching("Config int value is really a string Version\\Major");
  ASSERT_EQ(intLines.size(), 1u);
  EXPECT_NE(intLines[0].find("L2 C0 config_defaults:2840 "), std::string::npos) << intLines[0];

  char buffer[16] = "xxx";
  EXPECT_FALSE(Config_GetStrVal("Image", "KeepPercent", buffer, sizeof buffer, nullptr));
  EXPECT_STREQ(buffer, "");
  auto strLines = log.Matching("Config string value is really an int Image\\KeepPercent");
  ASSERT_EQ(strLines.size(), 1u);
  EXPECT_NE(strLines[0].find("L2 C0 config_defaults:2821 "), std::string::npos) << strLines[0];

  // The default tests of the setters log the same way, and the value is stored all the same.
  Config_SetIntVal("Version", "Major", 5);
  EXPECT_EQ(log.Matching("config_defaults:2840").size(), 2u);
  EXPECT_EQ(Config_GetIntVal("Version", "Major"), 5);
  Config_SetStrVal("Image", "KeepPercent", "50");
  EXPECT_EQ(log.Matching("config_defaults:2821").size(), 2u);
  EXPECT_EQ(Str("user\\Image", "KeepPercent"), "50");

  // Values found in a layer are not checked against the defaults.
  EXPECT_EQ(Config_GetIntVal("Version", "Major"), 5);
  EXPECT_EQ(log.Matching("config_defaults:").size(), 4u);
}

class Writes : public StoreTest {};

TEST_F(Writes, AnAbsentKeyWithItsDefaultIsNotStoredAndWritesNoFile) {
  const auto before = FileId(Cfg("user.cfg"));
  Config_SetIntVal("Image", "KeepPercent", 50);
  Config_SetBoolVal("Image", "AllowSquish", false);
  Config_SetStrVal("Version", "Major", "8.0.0.0");
  Config_SetStrVal("Directories", "BatchDir", "/BATCHGEO/");  // strings compare without case
  Config_SetIntVal("LiveFilter", "Msg0", 0xF1000900L);       // the default -251655936, as 32 bits
  Config_SetIntVal("user\\Image", "KeepPercent", 50);
  EXPECT_EQ(FileId(Cfg("user.cfg")), before);
  for (const auto& [section, key] : std::vector<std::pair<const char*, const char*>>{
           {"user\\Image", "KeepPercent"},
           {"user\\Image", "AllowSquish"},
           {"user\\Version", "Major"},
           {"user\\Directories", "BatchDir"},
           {"user\\LiveFilter", "Msg0"}}) {
    EXPECT_FALSE(Config_DoesKeyExist(section, key)) << section << " " << key;
  }

  // user_ro paths pass the default test too; other layers store whatever they are given.
  Config_SetIntVal("user_ro\\Image", "KeepPercent", 50);
  EXPECT_FALSE(Config_DoesKeyExist("user_ro\\Image", "KeepPercent"));
  EXPECT_FALSE(testsupport::Exists(Cfg("user_ro.cfg")));
  Config_SetIntVal("product\\Image", "KeepPercent", 50);
  EXPECT_EQ(ReadCfg("product.cfg"), "[Image]\n\"KeepPercent\"=50\n\n");
}

TEST_F(Writes, TheDefaultIsStoredWhereALowerLayerWouldGiveAnotherValue) {
  // Reads would give what user_ro or product holds (of either type), so the default written to the user layer
  // is stored like any other value; a key that no layer holds still stores nothing.
  WriteCfg("user_ro.cfg", "[Styles]\n\"Theme\"=\"night\"\n");
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=3\n[Version]\n\"Major\"=9\n");
  Reload();
  ASSERT_EQ(Config_GetIntVal("Image", "KeepPercent"), 3);
  Config_SetIntVal("Image", "KeepPercent", 50);
  Config_SetStrVal("Styles", "Theme", "16bit");
  Config_SetStrVal("Version", "Major", "8.0.0.0");
  Config_SetIntVal("Image", "AllowSquish", 0);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=50\n\n");
  EXPECT_EQ(Block("user.cfg", "[Styles]"), "[Styles]\n\"Theme\"=\"16bit\"\n\n");
  EXPECT_EQ(Block("user.cfg", "[Version]"), "[Version]\n\"Major\"=\"8.0.0.0\"\n\n");
  Reload();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  EXPECT_EQ(Str("Styles", "Theme"), "16bit");
  EXPECT_EQ(Str("Version", "Major"), "8.0.0.0");
}

TEST_F(Writes, AChangeIsWrittenAtOnceAndAPresentKeyKeepsItsDefault) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=70\n\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);

  // The same value again touches no file.
  const auto id = FileId(Cfg("user.cfg"));
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(FileId(Cfg("user.cfg")), id);

  // The default written over a present value is stored and stays in the file.
  Config_SetIntVal("Image", "KeepPercent", 50);
  EXPECT_NE(FileId(Cfg("user.cfg")), id);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=50\n\n");
  EXPECT_TRUE(Config_DoesKeyExist("user\\Image", "KeepPercent"));
  Reload();
  EXPECT_EQ(Config_GetIntVal("user\\Image", "KeepPercent"), 50);

  // A string equal to the present one differing only in case is a change.
  Config_SetStrVal("Shared", "Name", "Alpha");
  const auto named = FileId(Cfg("user.cfg"));
  Config_SetStrVal("Shared", "Name", "ALPHA");
  EXPECT_NE(FileId(Cfg("user.cfg")), named);
  EXPECT_EQ(Block("user.cfg", "[Shared]"), "[Shared]\n\"Name\"=\"ALPHA\"\n\n");

  // Booleans are the integers 1 and 0.
  Config_SetBoolVal("Shared", "Flag", true);
  EXPECT_EQ(Config_GetIntVal("Shared", "Flag"), 1);
  EXPECT_TRUE(Config_GetBoolVal("Shared", "Flag"));
  Config_SetBoolVal("Shared", "Flag", false);
  EXPECT_FALSE(Config_GetBoolVal("Shared", "Flag"));
  EXPECT_EQ(Block("user.cfg", "[Shared]"), "[Shared]\n\"Flag\"=0\n\"Name\"=\"ALPHA\"\n\n");

  // A value changes its type in place.
  Config_SetIntVal("Shared", "Name", 3);
  EXPECT_EQ(Str("Shared", "Name"), "");
  EXPECT_EQ(Config_GetIntVal("Shared", "Name"), 3);
}

TEST_F(Writes, IntegersAreSigned32Bit) {
  Config_SetIntVal("Numbers", "Wrap", 0xF1000900L);
  EXPECT_EQ(Config_GetIntVal("Numbers", "Wrap"), -251655936L);
  EXPECT_EQ(Block("user.cfg", "[Numbers]"), "[Numbers]\n\"Wrap\"=-251655936\n\n");
  const auto id = FileId(Cfg("user.cfg"));
  Config_SetIntVal("Numbers", "Wrap", -251655936L);  // the same value
  EXPECT_EQ(FileId(Cfg("user.cfg")), id);

  Config_SetIntVal("Numbers", "High", static_cast<long>(0x100000005LL));  // only the low 32 bits count (long: 64)
  EXPECT_EQ(Config_GetIntVal("Numbers", "High"), 5);
  Config_SetIntVal("Numbers", "Max", 0x7FFFFFFFL);
  Config_SetIntVal("Numbers", "Min", -0x80000000L);
  EXPECT_EQ(Config_GetIntVal("Numbers", "Max"), 2147483647L);
  EXPECT_EQ(Config_GetIntVal("Numbers", "Min"), -2147483647L - 1);
  Reload();
  EXPECT_EQ(Config_GetIntVal("user\\Numbers", "Wrap"), -251655936L);
  EXPECT_EQ(Config_GetIntVal("user\\Numbers", "Min"), -2147483647L - 1);
  EXPECT_EQ(Block("user.cfg", "[Numbers]"),
            "[Numbers]\n\"High\"=5\n\"Max\"=2147483647\n\"Min\"=-2147483648\n\"Wrap\"=-251655936\n\n");
}

class Api : public StoreTest {};

TEST_F(Api, StrValFoundFlagIntValDefaultAndOroUStrings) {
  Config_SetStrVal("Shared", "Text", "hello");
  Config_SetIntVal("Shared", "Number", 42);

  // Plain sections leave found alone; full paths set it.
  char buffer[32];
  int found = -7;
  EXPECT_TRUE(Config_GetStrVal("Shared", "Text", buffer, sizeof buffer, &found));
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(found, -7);
  EXPECT_TRUE(Config_GetStrVal("user\\Shared", "Text", buffer, sizeof buffer, &found));
  EXPECT_EQ(found, 1);
  EXPECT_FALSE(Config_GetStrVal("user\\Shared", "Number", buffer, sizeof buffer, &found));
  EXPECT_EQ(found, 0);
  EXPECT_STREQ(buffer, "");
  found = -7;
  EXPECT_FALSE(Config_GetStrVal("user\\Shared", "Missing", buffer, sizeof buffer, &found));
  EXPECT_EQ(found, 0);
  EXPECT_TRUE(Config_GetStrVal("user\\Shared", "Text", buffer, sizeof buffer, nullptr));

  // The third argument only counts for full paths.
  EXPECT_EQ(Config_GetIntValDefault("Image", "KeepPercent", 99), 50);
  EXPECT_EQ(Config_GetIntValDefault("Shared", "Missing", 99), 0);
  EXPECT_EQ(Config_GetIntValDefault("Shared", "Number", 99), 42);
  EXPECT_EQ(Config_GetIntValDefault("user\\Shared", "Number", 99), 42);
  EXPECT_EQ(Config_GetIntValDefault("user\\Shared", "Missing", 99), 99);
  EXPECT_EQ(Config_GetIntValDefault("user\\Shared", "Text", 99), 99);
  EXPECT_EQ(Config_GetIntValDefault("user\\Image", "KeepPercent", -1), -1);

  // OROustring forms: at most 510 bytes come back.
  const std::string longText(600, 'q');
  Config_SetOroUStrVal("Shared", "Long", OROustring(longText));
  EXPECT_EQ(Config_GetOroUStrVal("Shared", "Long").str(), std::string(510, 'q'));
  EXPECT_EQ(Config_GetOroUStrVal("user\\Shared", "Long").str(), std::string(510, 'q'));
  EXPECT_EQ(Str("Shared", "Long"), longText);
  const std::string exact(510, 'r');
  Config_SetOroUStrVal("Shared", "Exact", OROustring(exact));
  EXPECT_EQ(Config_GetOroUStrVal("Shared", "Exact").str(), exact);
  EXPECT_EQ(Config_GetOroUStrVal("Shared", "Missing").str(), "");
  EXPECT_EQ(Config_GetOroUStrVal("Version", "Major").str(), "8.0.0.0");
  EXPECT_EQ(Config_GetOroUStrVal("Shared", "Number").str(), "");

  // Null texts are harmless.
  EXPECT_EQ(Config_GetIntVal(nullptr, "Key"), 0);
  EXPECT_EQ(Config_GetIntVal("Shared", nullptr), 0);
  EXPECT_FALSE(Config_DoesKeyExist(nullptr, nullptr));
  Config_SetIntVal("Shared", nullptr, 1);
  Config_SetStrVal("Shared", "Null", nullptr);
  EXPECT_TRUE(Config_DoesKeyExist("user\\Shared", "Null"));
  EXPECT_EQ(Str("user\\Shared", "Null"), "");
}

// Every spelling of a full path reads alike whether its layer is still to be read or already in memory (a
// read of a layer in memory takes another way).
TEST_F(Api, FullPathsReadAlikeBeforeAndAfterTheirLayerIsInMemory) {
  WriteCfg("maplayer.cfg", "[Map\\Night]\n\"Zoom\"=7\n\"Name\"=\"dark\"\n[Map]\n\"Zoom\"=3\n");
  Reload();
  const std::string longLayer(300, 'm');
  struct Case {
    std::string path;
    long zoom;  // -1: not found
  };
  const Case cases[] = {
      {"maplayer\\Map\\Night", 7},   {"MAPLAYER\\map\\NIGHT", 7}, {"\\maplayer\\Map\\\\Night\\", 7},
      {"maplayer\\\\Map\\Night", 7}, {"maplayer\\Map\\Night\\", 7}, {"maplayer\\Map", 3},
      {"maplayer\\Map\\Day", -1},    {"maplayer\\Map\\Night\\Deeper", -1},
      // A blank before the layer names the layer, but no section of it.
      {" maplayer\\Map\\Night", -1}, {longLayer + "\\Map", -1}, {"nolayer\\Map\\Night", -1},
  };
  for (const Case& c : cases) {
    for (const bool inMemory : {false, true}) {
      SCOPED_TRACE(c.path + (inMemory ? " (layer in memory)" : " (layer read first)"));
      SD_Config();
      if (inMemory) {
        ASSERT_EQ(Config_GetIntVal("maplayer\\Map", "Zoom"), 3);
      }
      EXPECT_EQ(Config_GetIntValDefault(c.path.c_str(), "zoom", -1), c.zoom);
      EXPECT_EQ(Config_DoesKeyExist(c.path.c_str(), "ZOOM"), c.zoom != -1);
      EXPECT_EQ(Config_GetIntValDefault(c.path.c_str(), "Missing", -1), -1);
      const bool night = c.zoom == 7;
      int found = -7;
      char buffer[8];
      EXPECT_EQ(Config_GetStrVal(c.path.c_str(), "Name", buffer, sizeof buffer, &found), night);
      EXPECT_EQ(found, night ? 1 : 0);
      EXPECT_STREQ(buffer, night ? "dark" : "");
    }
  }
}

TEST_F(Api, FlagsAndWriteTreeChangeNoFile) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  const auto id = FileId(Cfg("user.cfg"));
  const auto files = storetest::Listing(configDir);

  EXPECT_EQ(Config_WriteTree(), 0);

  Config_SetIsRightToLeft(false);
  EXPECT_FALSE(Config_GetIsRightToLeft());
  Config_SetIsRightToLeft(true);
  EXPECT_TRUE(Config_GetIsRightToLeft());
  Config_ResetConfigMgr();  // the flag belongs to the globals, not to the manager
  EXPECT_TRUE(Config_GetIsRightToLeft());
  Config_SetIsRightToLeft(false);
  EXPECT_FALSE(Config_GetIsRightToLeft());

  EXPECT_EQ(FileId(Cfg("user.cfg")), id);
  EXPECT_EQ(storetest::Listing(configDir), files);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
}

class Deletion : public StoreTest {};

TEST_F(Deletion, ValuesAndBranchesAreRemovedFromMemoryAndFile) {
  WriteCfg("mylayer.cfg",
           "[Image]\n\"A\"=1\n\"B\"=2\n[Image\\Deep]\n\"C\"=3\n[Image\\Deep\\Deeper]\n\"D\"=4\n[Other]\n\"E\"=5\n");
  Reload();

  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", "a"), 1);
  EXPECT_FALSE(Config_DoesKeyExist("mylayer\\Image", "A"));
  EXPECT_EQ(ReadCfg("mylayer.cfg"),
            "[Image]\n\"B\"=2\n\n[Image\\Deep]\n\"C\"=3\n\n[Image\\Deep\\Deeper]\n\"D\"=4\n\n[Other]\n\"E\"=5\n\n");

  // Nothing removed: 0, and the file is not written.
  const auto id = FileId(Cfg("mylayer.cfg"));
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", "A"), 0);
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Nothing", "A"), 0);
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", nullptr), 0);
  EXPECT_EQ(Config_DeleteKey("mylayer\\Nothing"), 0);
  EXPECT_EQ(Config_DeleteKey("nolayer\\Image"), 0);
  EXPECT_EQ(Config_DeleteKeyVal(nullptr, "A"), 0);
  EXPECT_EQ(Config_DeleteKey(nullptr), 0);
  EXPECT_EQ(FileId(Cfg("mylayer.cfg")), id);
  EXPECT_FALSE(testsupport::Exists(Cfg("nolayer.cfg")));

  // A branch goes with everything below it; its former siblings stay.
  EXPECT_EQ(Config_DeleteKey("MYLAYER\\image\\deep"), 1);
  EXPECT_EQ(Config_FindRoot("mylayer\\Image\\Deep"), nullptr);
  EXPECT_EQ(Config_FindRoot("mylayer\\Image\\Deep\\Deeper"), nullptr);
  EXPECT_EQ(Config_GetIntVal("mylayer\\Image", "B"), 2);
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[Image]\n\"B\"=2\n\n[Other]\n\"E\"=5\n\n");
  EXPECT_EQ(Config_DeleteKey("mylayer\\Image"), 1);
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[Other]\n\"E\"=5\n\n");
  Reload();
  EXPECT_EQ(Config_GetIntVal("mylayer\\Other", "E"), 5);
  EXPECT_EQ(Config_FindRoot("mylayer\\Image"), nullptr);
}

TEST_F(Deletion, DeletingTheLastValueLasts) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  WriteCfg("mylayer.cfg", "[Only]\n\"K\"=1\n");
  Reload();

  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Only", "K"), 1);
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "");
  EXPECT_EQ(Config_DeleteKeyVal("user\\Image", "KeepPercent"), 1);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "<absent>");

  Reload();
  EXPECT_FALSE(Config_DoesKeyExist("mylayer\\Only", "K"));
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  EXPECT_FALSE(Config_DoesKeyExist("user\\Image", "KeepPercent"));
}

TEST_F(Deletion, DeletingTheFirstTopLevelSectionKeepsTheOthers) {
  WriteCfg("aaa.cfg", "[S]\n\"K\"=1\n");
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=30\n");
  Reload();
  ASSERT_EQ(Config_GetIntVal("aaa\\S", "K"), 1);  // the first layer of the forest
  ASSERT_EQ(Config_GetIntVal("product\\Image", "KeepPercent"), 30);
  Config_SetIntVal("Image", "KeepPercent", 70);
  // Changed on disk: a layer read again would show it.
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=31\n");

  EXPECT_EQ(Config_DeleteKey("aaa"), 1);
  EXPECT_EQ(Config_FindRoot("aaa\\S"), nullptr);
  EXPECT_EQ(Config_GetIntVal("product\\Image", "KeepPercent"), 30);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
  EXPECT_NE(Config_FindRoot("user"), nullptr);

  // The deleted layer does not come back from its file.
  EXPECT_EQ(Config_GetIntVal("aaa\\S", "K"), 0);
  Reload();
  EXPECT_EQ(Config_GetIntVal("aaa\\S", "K"), 0);
}

TEST_F(Deletion, FlushingDropsABranchFromMemoryOnly) {
  WriteCfg("mylayer.cfg", "[A]\n\"K\"=1\n[B]\n\"K\"=2\n");
  Reload();
  ASSERT_EQ(Config_GetIntVal("mylayer\\A", "K"), 1);
  const auto id = FileId(Cfg("mylayer.cfg"));

  Config_FlushBranch("mylayer\\A");
  EXPECT_EQ(Config_FindRoot("mylayer\\A"), nullptr);
  EXPECT_EQ(Config_GetIntVal("mylayer\\A", "K"), 0);  // the layer is in memory, so it is not read again
  EXPECT_EQ(Config_GetIntVal("mylayer\\B", "K"), 2);
  EXPECT_EQ(FileId(Cfg("mylayer.cfg")), id);
  // The file keeps the branch, and the next save of the layer brings it back.
  Config_SetIntVal("mylayer\\B", "K", 3);
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[A]\n\"K\"=1\n\n[B]\n\"K\"=3\n\n");
  EXPECT_EQ(Config_GetIntVal("mylayer\\A", "K"), 1);
  // So with a map layer read from the maps folder: the save writes it whole into the configuration folder.
  testsupport::WriteFile(runtimeDir + "maps/nav.cfg", "[A]\n\"K\"=1\n[B]\n\"K\"=2\n");
  ASSERT_EQ(Config_GetIntVal("nav\\A", "K"), 1);
  Config_FlushBranch("nav\\A");
  Config_SetIntVal("nav\\B", "K", 3);
  EXPECT_EQ(ReadCfg("nav.cfg"), "[A]\n\"K\"=1\n\n[B]\n\"K\"=3\n\n");

  // A flushed layer is read again from its file.
  WriteCfg("mylayer.cfg", "[A]\n\"K\"=10\n");
  Config_FlushBranch("mylayer");
  EXPECT_EQ(Config_GetIntVal("mylayer\\A", "K"), 10);
  EXPECT_EQ(Config_GetIntVal("mylayer\\B", "K"), 0);
  Config_FlushBranch(nullptr);
  Config_FlushBranch("nolayer\\X");
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[A]\n\"K\"=10\n");
}

class Resets : public StoreTest {};

TEST_F(Resets, SdConfigAndResetsReadTheFilesAgain) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  Config_SetStrVal("product\\Image", "Name", "p");

  // Another program changes the files.
  testsupport::WriteFile(Cfg("product.cfg"), "[Image]\n\"Name\"=\"changed\"\n");
  EXPECT_EQ(Str("product\\Image", "Name"), "p");
  SD_Config();
  EXPECT_EQ(Str("product\\Image", "Name"), "changed");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);

  testsupport::WriteFile(Cfg("product.cfg"), "[Image]\n\"Name\"=\"again\"\n\"KeepPercent\"=30\n");
  EXPECT_TRUE(Config_ResetConfigMgr());
  EXPECT_EQ(Str("product\\Image", "Name"), "again");
  Config_DeleteKeyVal("user\\Image", "KeepPercent");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);  // all layers enabled again

  // Config_Reset starts on the platform's folders again: those that the environment names (on Windows too),
  // else the runtime directory (the variables are unset on Windows here), until SU_Config names another.
  testsupport::TempDir other;
  testsupport::WriteFile(other / "user.cfg", "[Image]\n\"KeepPercent\"=80\n");
  if (testsupport::kWindows) {
    EXPECT_TRUE(Config_Reset());
    EXPECT_EQ(GetDirectoryMgr()->GetConfigDir().uString().str(), runtimeDir);
    EXPECT_EQ(GetDirectoryMgr()->GetRuntimeDir().uString().str(), runtimeDir);
  }
  const std::string otherRuntime = other / "runtime";  // without its separator, which the library adds
  testsupport::ScopedEnv config("NAVCONFIG_CONFIG_DIR", other.path().c_str());
  testsupport::ScopedEnv runtime("NAVCONFIG_RUNTIME_DIR", otherRuntime.c_str());
  EXPECT_TRUE(Config_Reset());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 80);
  EXPECT_EQ(GetDirectoryMgr()->GetConfigDir().uString().str(), other.path());
  EXPECT_EQ(GetDirectoryMgr()->GetRuntimeDir().uString().str(), otherRuntime + testsupport::kSeparator);
}

TEST_F(Resets, SuConfigTakesThePathAsAPrefix) {
  const std::string prefix = tmp / "cfg";  // no separator at the end
  SU_Config(prefix.c_str());
  // The start wrote its directories to user.cfg in the first configuration folder; the new one is a prefix.
  const std::string before = testsupport::ReadFile(Cfg("user.cfg"));
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_TRUE(testsupport::Exists(tmp / "cfguser.cfg"));
  EXPECT_EQ(testsupport::ReadFile(Cfg("user.cfg")), before);
  EXPECT_EQ(storetest::SectionBlock(testsupport::ReadFile(tmp / "cfguser.cfg"), "[Image]"),
            "[Image]\n\"KeepPercent\"=70\n\n");
}

class RestoreFlag : public StoreTest {};

TEST_F(RestoreFlag, AResetErasesTheUserFile) {
  EXPECT_FALSE(Config_GetRestoreSettings());
  Config_SetIntVal("Image", "KeepPercent", 70);
  Config_SetIntVal("product\\Image", "KeepPercent", 30);
  Config_SetRestoreSettings(true);
  EXPECT_TRUE(Config_GetRestoreSettings());
  SD_Config();  // the manager stays, and so does its flag
  EXPECT_TRUE(Config_GetRestoreSettings());

  Config_ResetConfigMgr();
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg")));
  EXPECT_TRUE(testsupport::Exists(Cfg("product.cfg")));
  EXPECT_FALSE(Config_GetRestoreSettings());  // a new manager
  EXPECT_EQ(Config_GetIntVal("user\\Image", "KeepPercent"), 0);

  Config_SetIntVal("Image", "KeepPercent", 71);
  Config_SetRestoreSettings(true);
  Restart();
  EXPECT_EQ(Block("user.cfg", "[Image]"), "<absent>");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);

  Config_SetIntVal("Image", "KeepPercent", 72);
  Config_SetRestoreSettings(true);
  Config_SetRestoreSettings(false);
  Config_ResetConfigMgr();
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=72\n\n");
}

// Points the library at the configuration folder args[0], sets the restore flag and ends the process.
NAVCONFIG_TEST_CHILD(restore_and_exit) {
  SU_Config(args[0].c_str());
  Config_SetRestoreSettings(true);
  std::exit(0);  // static destructors tear the library down
}

TEST_F(RestoreFlag, UnloadingTheLibraryErasesTheUserFile) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  ASSERT_TRUE(testsupport::Exists(Cfg("user.cfg")));
  ASSERT_EQ(testsupport::RunChild("restore_and_exit", {configDir}), 0);
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg")));
}

TEST_F(RestoreFlag, RestoreDefaultsKeepsMemoryAndTheNextChangeWritesEverythingBack) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  Config_SetStrVal("Shared", "Text", "kept");
  ASSERT_TRUE(testsupport::Exists(Cfg("user.cfg")));

  EXPECT_TRUE(Config_RestoreDefaults());
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg")));
  EXPECT_FALSE(Config_RestoreDefaults());  // nothing left to erase
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
  EXPECT_EQ(Str("Shared", "Text"), "kept");

  Config_SetIntVal("Shared", "Number", 1);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=70\n\n");
  EXPECT_EQ(Block("user.cfg", "[Shared]"), "[Shared]\n\"Number\"=1\n\"Text\"=\"kept\"\n\n");

  // Once the trees are released, the values are gone.
  EXPECT_TRUE(Config_RestoreDefaults());
  SD_Config();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  EXPECT_EQ(Str("Shared", "Text"), "");
}
