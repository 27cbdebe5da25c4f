// The configuration store through its exported interface, on real layer files in scratch folders: layered
// reads, full paths, default-equal writes, deletion, flushing, resets, the restore flag and the logs.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <doroutil/strutil.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "store/configmgr.h"
#include "store_env.h"

using storetest::FileId;
using storetest::Str;
using storetest::StoreTest;

class LayeredReads : public StoreTest {};

TEST_F(LayeredReads, WithoutFilesTheDefaultsAnswerAndAStringInTheOnlyLayerHidesThem) {
  EXPECT_EQ(Config_GetIntVal("IMAGE", "keeppercent"), 50);
  EXPECT_FALSE(testsupport::Exists(Cfg("user_ro.cfg")) || testsupport::Exists(Cfg("product.cfg")));
  EXPECT_EQ(Config_GetIntVal("user\\Image", "KeepPercent"), 0);
  EXPECT_FALSE(Config_DoesKeyExist("user\\Image", "KeepPercent") || Config_DoesKeyExist("No Such Section", "Key"));
  EXPECT_TRUE(Config_DoesKeyExist("Image", "KeepPercent"));
  char buffer[16];  // (an empty string default: the catalogue's test)

  // A value of the other type in the last available layer hides the default; an empty string too.
  Config_SetStrVal("Image", "KeepPercent", "many");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 0);
  EXPECT_EQ(Str("Image", "KeepPercent"), "many");
  Config_SetStrVal("Version", "Major", "");
  std::strcpy(buffer, "xxx");
  EXPECT_FALSE(Config_GetStrVal("Version", "Major", buffer, sizeof buffer, nullptr));
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(Block("user.cfg", "[Version]"), "[Version]\n\"Major\"=\"\"\n\n");
  // A layer that was missing is not looked for again until SU_Config; then its integer shows behind the string.
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=30\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 0);
  EXPECT_EQ(Config_GetIntVal("product\\Image", "KeepPercent"), 30);
  SU_Config(configDir.c_str());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);
}

TEST_F(LayeredReads, UserThenUserRoThenProductThenDefaultsAndMapLayersByFullPathOnly) {
  WriteCfg("user.cfg", "; own settings\n[Image]\n\"KeepPercent\"=10\n\n[Shared]\n\"Text\"=\"from user\"\n"
                       "[LiveFilter]\n\"Msg0\"=\"text\"\n");
  WriteCfg("user_ro.cfg", "[Image]\n\"KeepPercent\"=20\n\"AllowSquish\"=3\n[Shared]\n\"B\"=2\n\"Text\"=\"from ro\"\n");
  // A plain section too long for "product\<section>" is read where its header put it: cut with the layer to 255 bytes.
  const std::string longSection(248, 'L');
  WriteCfg("product.cfg", "[Image]\n\"AllowSquish\"=4\n\"OnlyProduct\"=5\n[Shared]\n\"B\"=3\n\"C\"=\"product text\"\n"
                          "[Version]\n\"Major\"=9\n[" + longSection + "]\n\"Long\"=6\n");
  const std::string map = "[Roads]\n\"Count\"=12\n\"Name\"=\"Europe\"\n";
  testsupport::WriteFile(runtimeDir + "maps/EuroMap.cfg", map);
  Reload();
  const std::tuple<const char*, const char*, long, const char*> cases[] = {  // section, key, number, text
      {"image", "KEEPPERCENT", 10, ""},   {"Image", "AllowSquish", 3, ""},  // user in any case, user_ro
      {"Image", "OnlyProduct", 5, ""},    {"Shared", "B", 2, ""},           // product only, user_ro first
      {"Shared", "C", 0, "product text"},  // a string in the last layer: no default asked
      {"LiveFilter", "Msg0", -251655936, "text"},  // a string in user, absent further on: the default answers
      {"Version", "Major", 9, ""},        // product's integer hides the string default
      {"Shared", "Text", 0, "from user"}, {"Image", "NotThere", 0, ""},
      {"user_ro\\Image", "KeepPercent", 20, ""},  // full paths read one layer without defaults
      {"user\\Image", "AllowSquish", 0, ""},  {"user_ro\\Shared", "Text", 0, "from ro"},
      {"\\PRODUCT\\\\image\\", "onlyproduct", 5, ""}, {"EuroMap\\Roads", "Count", 12, ""},
      {"Roads", "Count", 0, ""},  // map layers are not searched by layered reads
      {longSection.c_str(), "Long", 6, ""},
  };
  for (const auto& [section, key, number, text] : cases) {
    EXPECT_EQ(Config_GetIntVal(section, key), number) << section << " " << key;
    EXPECT_EQ(Str(section, key), text) << section << " " << key;
  }
  EXPECT_TRUE(Config_DoesKeyExist("product\\Shared", "C") && !Config_DoesKeyExist("user\\Shared", "C"));
  EXPECT_TRUE(Config_DoesKeyExist("Shared", "B") && Config_DoesKeyExist("shared", "c") && !Config_DoesKeyExist("Shared", "D"));
  // Files were read once: a change on disk is not seen until the trees are released.
  WriteCfg("user.cfg", "[Image]\n\"KeepPercent\"=11\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 10);
  SD_Config();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 11);

  // Another process (an installer) that changes a map layer's file in the maps folder changes the layer: a reload
  // takes it in, and so does the save that writes the layer into the configuration folder, whose file then wins.
  ASSERT_EQ(Config_GetIntVal("EuroMap\\Roads", "Count"), 12);
  testsupport::WriteFile(runtimeDir + "maps/EuroMap.cfg", "[Roads]\n\"Count\"=14\n\"Name\"=\"Europe\"\n");
  EXPECT_EQ(Config_ReloadChangedLayers(), 1);
  EXPECT_EQ(Config_GetIntVal("EuroMap\\Roads", "Count"), 14);
  const std::string asia = "[Roads]\n\"Count\"=12\n\"Name\"=\"Asia\"\n";
  testsupport::WriteFile(runtimeDir + "maps/EuroMap.cfg", asia);
  Config_SetIntVal("EuroMap\\Roads", "Count", 13);
  EXPECT_EQ(ReadCfg("euromap.cfg"), "[Roads]\n\"Count\"=13\n\"Name\"=\"Asia\"\n");  // the map file, edited
  EXPECT_EQ(testsupport::ReadFile(runtimeDir + "maps/EuroMap.cfg"), asia);
  Reload();
  EXPECT_EQ(Config_GetIntVal("euromap\\roads", "Count"), 13);
  // A layer in neither folder has no file: reads give nothing and create nothing.
  EXPECT_EQ(Config_GetIntVal("AsiaMap\\Roads", "Count"), 0);
  EXPECT_EQ(Config_FindRoot("AsiaMap"), nullptr);
  EXPECT_FALSE(testsupport::Exists(Cfg("asiamap.cfg")));
}

// Layered reads find a plain section in all three layers at once: a section that goes from one layer, by
// deletion, flushing or a new reading of the files, must leave the others to answer, and one that comes back
// must answer again.
TEST_F(LayeredReads, ASectionGoneFromALayerLeavesTheOthersToAnswer) {
  WriteCfg("user.cfg", "[Shared]\n\"A\"=1\n\"Text\"=\"from user\"\n");
  WriteCfg("user_ro.cfg", "[Shared]\n\"A\"=2\n\"B\"=2\n\"Text\"=\"from ro\"\n");
  WriteCfg("product.cfg", "[Shared]\n\"B\"=3\n\"D\"=7\n");
  Reload();
  const auto reads = [] {  // A, B, D and Text
    return std::to_string(Config_GetIntVal("Shared", "A")) + std::to_string(Config_GetIntVal("SHARED", "b")) +
           std::to_string(Config_GetIntVal("shared", "D")) + " " + Str("Shared", "Text");
  };
  EXPECT_EQ(reads(), "127 from user");
  EXPECT_EQ(Config_DeleteKey("USER\\shared"), 1);
  EXPECT_EQ(reads(), "227 from ro");
  Config_SetIntVal("Shared", "A", 5);  // the section comes back in the user layer
  EXPECT_EQ(reads(), "527 from ro");
  Config_FlushBranch("user_ro\\Shared");
  EXPECT_EQ(reads(), "537 ");
  Config_FlushBranch("user");  // read again from its file, which the write saved
  EXPECT_EQ(reads(), "537 ");
  Config_DeleteKey("product");  // which empties its file
  EXPECT_EQ(reads(), "500 ");
  SD_Config();
  EXPECT_EQ(reads(), "520 from ro");
}

TEST_F(LayeredReads, TypeMismatchesAgainstTheDefaultsAreLoggedAndTheSettersStoreTheValueAllTheSame) {
  testsupport::LogCapture log;
  EXPECT_EQ(Config_GetIntVal("Version", "Major"), 0);
  EXPECT_EQ(Str("Image", "KeepPercent"), "");
  Config_SetIntVal("Version", "Major", 5);
  Config_SetStrVal("Image", "KeepPercent", "50");
  EXPECT_EQ(Config_GetIntVal("Version", "Major") + Config_GetIntVal("Image", "KeepPercent"), 5);  // found in a layer
  for (const char* text : {"L2 C0 config_defaults:2840 ", "Config int value is really a string Version\\Major",
                           "L2 C0 config_defaults:2821 ", "Config string value is really an int Image\\KeepPercent"})
    EXPECT_EQ(log.Matching(text).size(), 2u) << text;
  EXPECT_EQ(log.Matching("config_defaults:").size(), 4u);
}

// Every spelling of a full path reads alike whether its layer is still to be read or already in memory (a
// read of a layer in memory takes another way).
TEST_F(LayeredReads, FullPathsReadAlikeBeforeAndAfterTheirLayerIsInMemory) {
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

class Writes : public StoreTest {};

// Reads would give what user_ro or product holds (of either type), so the default written to the user layer
// is stored like any other value; a key that no layer holds stores nothing and writes no file.
TEST_F(Writes, TheDefaultIsStoredOnlyWhereALowerLayerWouldGiveAnotherValue) {
  const auto before = FileId(Cfg("user.cfg"));
  Config_SetBoolVal("Image", "AllowSquish", false);
  Config_SetStrVal("Directories", "BatchDir", "/BATCHGEO/");  // strings compare without case
  Config_SetIntVal("LiveFilter", "Msg0", 0xF1000900L);       // the default -251655936, as 32 bits
  Config_SetIntVal("user\\Image", "KeepPercent", 50);
  Config_SetIntVal("user_ro\\Image", "KeepPercent", 50);      // user_ro paths pass the default test too
  EXPECT_EQ(FileId(Cfg("user.cfg")), before);
  EXPECT_FALSE(testsupport::Exists(Cfg("user_ro.cfg")));
  EXPECT_FALSE(Config_DoesKeyExist("user\\Directories", "BatchDir") || Config_DoesKeyExist("user\\LiveFilter", "Msg0"));
  Config_SetIntVal("product\\Image", "KeepPercent", 50);  // other layers store whatever they are given
  EXPECT_EQ(ReadCfg("product.cfg"), "[Image]\n\"KeepPercent\"=50\n\n");

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
  EXPECT_EQ(Str("Version", "Major"), "8.0.0.0");
}

TEST_F(Writes, AChangeIsWrittenAtOnceAsA32BitValueAndAPresentKeyKeepsItsDefault) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=70\n\n");
  Config_SetIntVal("Image", "KeepPercent", 50);  // the default over a present value is stored
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=50\n\n");

  // A string differing only in case is a change; booleans are 1 and 0; a value changes its type in place.
  Config_SetStrVal("Shared", "Name", "Alpha");
  Config_SetStrVal("Shared", "Name", "ALPHA");
  Config_SetBoolVal("Shared", "Flag", true);
  EXPECT_EQ(Config_GetIntVal("Shared", "Flag"), 1);
  Config_SetBoolVal("Shared", "Flag", false);
  EXPECT_FALSE(Config_GetBoolVal("Shared", "Flag"));
  EXPECT_EQ(Block("user.cfg", "[Shared]"), "[Shared]\n\"Flag\"=0\n\"Name\"=\"ALPHA\"\n\n");
  Config_SetIntVal("Shared", "Name", 3);
  EXPECT_EQ(Str("Shared", "Name"), "");
  EXPECT_EQ(Config_GetIntVal("Shared", "Name"), 3);

  // Integers are signed 32-bit: only the low 32 bits of a long count.
  Config_SetIntVal("Numbers", "High", static_cast<long>(0x100000005LL));
  Config_SetIntVal("Numbers", "Min", -0x80000000L);
  Reload();
  EXPECT_EQ(Config_GetIntVal("user\\Image", "KeepPercent"), 50);
  EXPECT_EQ(Config_GetIntVal("user\\Numbers", "Min"), -2147483647L - 1);
  EXPECT_EQ(Block("user.cfg", "[Numbers]"), "[Numbers]\n\"High\"=5\n\"Min\"=-2147483648\n\n");
}

TEST_F(Writes, FoundFlagIntValDefaultOroUStringsAndFlags) {
  Config_SetStrVal("Shared", "Text", "hello");
  Config_SetIntVal("Shared", "Number", 42);
  // Plain sections leave found alone, and take no default from the caller (full paths: the reader's test).
  int found = -7;
  char buffer[32];
  EXPECT_TRUE(Config_GetStrVal("Shared", "Text", buffer, sizeof buffer, &found) && found == -7);
  EXPECT_EQ(Config_GetIntValDefault("Image", "KeepPercent", 99) + Config_GetIntValDefault("Shared", "Missing", 99), 50);

  // OROustring forms: at most 510 bytes come back.
  Config_SetOroUStrVal("Shared", "Long", OROustring(std::string(511, 'q')));
  EXPECT_EQ(Config_GetOroUStrVal("Shared", "Long").str(), std::string(510, 'q'));
  EXPECT_EQ(Str("Shared", "Long"), std::string(511, 'q'));
  Config_SetOroUStrVal("Shared", "Exact", OROustring(std::string(510, 'r')));
  EXPECT_EQ(Config_GetOroUStrVal("user\\Shared", "Exact").str(), std::string(510, 'r'));
  EXPECT_EQ(Config_GetOroUStrVal("Version", "Major").str(), "8.0.0.0");
  EXPECT_EQ(Config_GetOroUStrVal("Shared", "Number").str(), "");

  // The right-to-left flag belongs to the globals, not to the manager.
  Config_SetIsRightToLeft(true);
  Config_ResetConfigMgr();
  EXPECT_TRUE(Config_GetIsRightToLeft());
  Config_SetIsRightToLeft(false);
  EXPECT_FALSE(Config_GetIsRightToLeft());
}

class Deletion : public StoreTest {};

TEST_F(Deletion, ValuesBranchesAndLayersAreRemovedFromMemoryAndFileForGood) {
  WriteCfg("mylayer.cfg",
           "[Image]\n\"A\"=1\n\"B\"=2\n[Image\\Deep]\n\"C\"=3\n[Image\\Deep\\Deeper]\n\"D\"=4\n[Other]\n\"E\"=5\n");
  WriteCfg("aaa.cfg", "[S]\n\"K\"=1\n");
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=30\n");
  Reload();
  ASSERT_EQ(Config_GetIntVal("product\\Image", "KeepPercent"), 30);
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", "a"), 1);
  EXPECT_EQ(ReadCfg("mylayer.cfg"),
            "[Image]\n\"B\"=2\n[Image\\Deep]\n\"C\"=3\n[Image\\Deep\\Deeper]\n\"D\"=4\n[Other]\n\"E\"=5\n");
  // Nothing removed: 0, and no file is written.
  const auto id = FileId(Cfg("mylayer.cfg"));
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", "A") + Config_DeleteKeyVal("mylayer\\Nothing", "A") +
                Config_DeleteKeyVal("mylayer\\Image", nullptr) + Config_DeleteKeyVal(nullptr, "A") +
                Config_DeleteKey("mylayer\\Nothing") + Config_DeleteKey("nolayer\\Image") + Config_DeleteKey(nullptr),
            0);
  EXPECT_EQ(FileId(Cfg("mylayer.cfg")), id);
  EXPECT_FALSE(testsupport::Exists(Cfg("nolayer.cfg")));

  // A branch goes with everything below it; its former siblings stay.
  EXPECT_EQ(Config_DeleteKey("MYLAYER\\image\\deep"), 1);
  EXPECT_EQ(Config_FindRoot("mylayer\\Image\\Deep\\Deeper"), nullptr);
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[Image]\n\"B\"=2\n[Other]\n\"E\"=5\n");
  EXPECT_EQ(Config_DeleteKey("mylayer\\Image"), 1);
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Other", "E"), 1);  // the last value: the file is written empty
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "");
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Config_DeleteKeyVal("user\\Image", "KeepPercent"), 1);
  EXPECT_EQ(Block("user.cfg", "[Image]"), "<absent>");

  // The first layer of the forest goes whole; the others stay as they are in memory.
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=31\n");  // a layer read again would show this
  EXPECT_EQ(Config_DeleteKey("aaa"), 1);
  EXPECT_EQ(Config_FindRoot("aaa\\S"), nullptr);
  EXPECT_EQ(Config_GetIntVal("aaa\\S", "K"), 0);  // not read back from its file
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);
  EXPECT_NE(Config_FindRoot("user"), nullptr);

  Reload();
  EXPECT_EQ(Config_FindRoot("mylayer\\Other"), nullptr);
  EXPECT_FALSE(Config_DoesKeyExist("user\\Image", "KeepPercent"));
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
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[A]\n\"K\"=1\n[B]\n\"K\"=3\n");
  EXPECT_EQ(Config_GetIntVal("mylayer\\A", "K"), 1);
  // So with a map layer read from the maps folder: the save writes it whole into the configuration folder.
  testsupport::WriteFile(runtimeDir + "maps/nav.cfg", "[A]\n\"K\"=1\n[B]\n\"K\"=2\n");
  ASSERT_EQ(Config_GetIntVal("nav\\A", "K"), 1);
  Config_FlushBranch("nav\\A");
  Config_SetIntVal("nav\\B", "K", 3);
  EXPECT_EQ(ReadCfg("nav.cfg"), "[A]\n\"K\"=1\n[B]\n\"K\"=3\n");
  // A flushed layer is read again from its file.
  WriteCfg("mylayer.cfg", "[A]\n\"K\"=10\n");
  Config_FlushBranch("mylayer");
  EXPECT_EQ(Config_GetIntVal("mylayer\\A", "K"), 10);
  EXPECT_EQ(Config_GetIntVal("mylayer\\B", "K"), 0);
  Config_FlushBranch(nullptr);
  Config_FlushBranch("nolayer\\X");
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[A]\n\"K\"=10\n");
}

class Folders : public StoreTest {};

TEST_F(Folders, SdConfigAndResetsReadTheFilesAgainAndResetStartsOnTheEnvironmentsFolders) {
  EXPECT_TRUE(Config_ResetConfigMgr());  // (that it reads the files afresh, every Reload() shows)

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

TEST_F(Folders, AWriteIsReadBackWhereNoUserFileCanBeMadeAndSuConfigTakesThePathAsAPrefix) {
  const std::string before = ReadCfg("user.cfg");
  const std::string missing = tmp / "missing/";
  SU_Config(missing.c_str());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);  // no user.cfg, and none can be created
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
  EXPECT_FALSE(testsupport::Exists(missing));
  EXPECT_EQ(testsupport::Reason(storetest::SaveOutcome("user")),
            std::string("lock .user.cfg.lock: ") + (testsupport::kWindows ? "(error 3)" : std::strerror(ENOENT)));

  // Files not read yet come from the new folder, layers in memory stay, and the first save there keeps both.
  SU_Config("");  // no folder: what is written stays in memory, for the first save in a folder
  Config_SetIntVal("Mine", "Old", 1);
  EXPECT_EQ(storetest::SaveOutcome("user"), "no configuration folder is set");
  EXPECT_EQ(Config_ReloadChangedLayers(), 0);  // nor a file to read again
  testsupport::WriteFile(tmp / "cfguser_ro.cfg", "[Ro]\n\"K\"=20\n");
  testsupport::WriteFile(tmp / "cfguser.cfg", "[Mine]\n\"Old\"=9\n[Theirs]\n\"K\"=5\n");
  Config_SetConfigPath((tmp / "cfg").c_str());  // no separator at the end: a prefix
  EXPECT_EQ(Config_GetIntVal("Ro", "K"), 20);
  Config_SetIntVal("Mine", "New", 2);
  SU_Config(nullptr);  // nothing
  const std::string text = testsupport::ReadFile(tmp / "cfguser.cfg");
  EXPECT_EQ(storetest::SectionBlock(text, "[Mine]"), "[Mine]\n\"New\"=2\n\"Old\"=1\n");
  EXPECT_EQ(storetest::SectionBlock(text, "[Theirs]"), "[Theirs]\n\"K\"=5\n");
  EXPECT_EQ(storetest::SectionBlock(text, "[Image]"), "[Image]\n\"KeepPercent\"=70\n\n");
  // What the first folder's file held (the start's directories) is kept too.
  EXPECT_EQ(storetest::SectionBlock(text, "[Directories]"), storetest::SectionBlock(before, "[Directories]"));
  EXPECT_EQ(Config_GetIntVal("Theirs", "K"), 5);
  EXPECT_EQ(ReadCfg("user.cfg"), before);
}

// Points the library at the configuration folder args[0], sets the restore flag and ends the process.
NAVCONFIG_TEST_CHILD(restore_and_exit) {
  SU_Config(args[0].c_str());
  Config_SetRestoreSettings(true);
  std::exit(0);  // static destructors tear the library down
}

TEST_F(Folders, TheRestoreFlagErasesTheUserFileAtAResetOrUnloadAndRestoreDefaultsAtOnce) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  Config_SetIntVal("product\\Image", "KeepPercent", 30);
  Config_SetRestoreSettings(true);
  SD_Config();  // the manager stays, and so does its flag
  EXPECT_TRUE(Config_GetRestoreSettings());
  Config_ResetConfigMgr();
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg")));
  EXPECT_TRUE(testsupport::Exists(Cfg("product.cfg")));
  EXPECT_FALSE(Config_GetRestoreSettings());  // a new manager, whose first layered read makes an empty user.cfg
  EXPECT_TRUE(Config_DoesKeyExist("Image", "KeepPercent"));
  EXPECT_TRUE(testsupport::Exists(Cfg("user.cfg")) && ReadCfg("user.cfg").empty());
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);

  Config_SetIntVal("Image", "KeepPercent", 71);
  Config_SetRestoreSettings(true);
  Restart();
  EXPECT_EQ(Block("user.cfg", "[Image]"), "<absent>");
  Config_SetIntVal("Image", "KeepPercent", 72);
  Config_SetRestoreSettings(true);
  Config_SetRestoreSettings(false);
  Config_ResetConfigMgr();
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=72\n\n");

  // Config_RestoreDefaults erases the file at once; memory keeps answering until the next save, which writes
  // only what changed since (nothing of before comes back) and brings memory to it.
  Config_SetStrVal("Shared", "Text", "kept");
  EXPECT_TRUE(Config_RestoreDefaults());
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg")));
  EXPECT_FALSE(Config_RestoreDefaults());  // nothing left to erase
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 72);
  Config_SetStrVal("Shared", "Text", "kept");  // a change all the same: the file no longer holds it
  Config_SetIntVal("Shared", "Number", 1);
  EXPECT_EQ(ReadCfg("user.cfg"), "[Shared]\n\"Number\"=1\n\"Text\"=\"kept\"\n\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);
  EXPECT_TRUE(Config_RestoreDefaults());
  SD_Config();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 30);
  EXPECT_EQ(Str("Shared", "Text"), "");
  // Unloading the library with the flag set erases the file too.
  Config_SetIntVal("Image", "KeepPercent", 73);
  ASSERT_EQ(testsupport::RunChild("restore_and_exit", {configDir}), 0);
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg")));
}

// A file in any order (keys shuffled, sections in random order, some split, some keys repeated with an older
// value first, comments between) means what the same settings in the library's order mean, and so does a new
// reading of either file after another process changed it.
class Loading : public StoreTest {
 protected:
  struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
      return SpecialChar_stricmp(a.c_str(), b.c_str()) < 0;
    }
  };
  using Section = std::map<std::string, std::string, NoCase>;  // key: value as written
  using Settings = std::map<std::string, Section, NoCase>;     // section path: its values

  static std::string Line(const std::string& key, const std::string& value) { return "\"" + key + "\"=" + value + "\n"; }
  static std::string LibraryText(const Settings& settings) {
    std::string text;
    for (const auto& [path, values] : settings) {
      text += "[" + path + "]\n";
      for (const auto& [key, value] : values) text += Line(key, value);
      text += "\n";
    }
    return text;
  }
  std::string HandText(const Settings& settings) {
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;  // header, value lines
    for (const auto& [path, values] : settings) {
      std::vector<std::string> lines;
      for (const auto& [key, value] : values) lines.push_back(Line(key, value));
      std::shuffle(lines.begin(), lines.end(), m_rng);
      const size_t split = path == "Big" || m_rng() % 3 == 0 ? lines.size() / 2 : 0;  // Big comes back long
      blocks.push_back({path, {lines.begin() + static_cast<long>(split), lines.end()}});
      if (split) blocks.push_back({path, {lines.begin(), lines.begin() + static_cast<long>(split)}});
    }
    std::shuffle(blocks.begin(), blocks.end(), m_rng);
    std::set<std::string, NoCase> seen;
    std::string text = "; by hand\n\"BeforeAnyHeader\"=1\n";
    for (auto& [path, lines] : blocks) {
      // The first block of a section starts with two older values of one of its keys, which a later line replaces.
      if (seen.insert(path).second) lines.insert(lines.begin(), 2, Line(settings.at(path).rbegin()->first, "\"old\""));
      text += "[" + path + "]\n; a comment\n";
      for (const std::string& line : lines) text += line;
      text += m_rng() % 2 ? "\n" : "";
    }
    return text;
  }
  // Each value found by its path, and the layer as the writer writes it (sections and values in order).
  void Expect(const std::string& layer, const Settings& settings) {
    for (const auto& [path, values] : settings) {
      const std::string section = layer + "\\" + path;
      for (const auto& [key, value] : values) {
        if (value[0] == '"') EXPECT_EQ(Str(section.c_str(), key.c_str()), value.substr(1, value.size() - 2)) << key;
        else EXPECT_EQ(Config_GetIntVal(section.c_str(), key.c_str()), std::strtol(value.c_str(), nullptr, 0)) << key;
      }
    }
    EXPECT_EQ(GetConfigMgr()->LayerText(layer.c_str()), LibraryText(settings)) << layer;
  }
  std::string Name(const char* const* parts, size_t count) {
    std::string name = parts[m_rng() % count];
    return name + (m_rng() % 3 ? std::to_string(m_rng() % 60) : "");
  }
  std::string Value() {
    const char* const kinds[] = {"%ld", "0x%08lx", "\"text %ld\"", "-%ld"};  // as the writer writes them
    char text[40];
    std::snprintf(text, sizeof text, kinds[m_rng() % 4], static_cast<long>(m_rng() % 100000));
    return text;
  }
  std::mt19937 m_rng{26};
};

TEST_F(Loading, ATextReadIntoALayerInMemoryJoinsItsSubsectionsToThoseThere) {
  WriteCfg("lib.cfg", "[G\\b]\n\"k\"=1\n\n[G\\d]\n\"k\"=2\n\n");
  Reload();
  ASSERT_EQ(Config_GetIntVal("lib\\G\\b", "k"), 1);
  // H's subsections come in order but for the last, whose name shares its first eight bytes with the one before.
  const char text[] = "[G\\e]\n\"k\"=5\n[g\\A]\n\"k\"=3\n[G\\c]\n\"k\"=4\n[G\\b]\n\"j\"=6\n"
                      "[H\\0]\n\"k\"=9\n[H\\123456789]\n\"k\"=7\n[H\\12345678]\n\"k\"=8\n";
  {
    navconfig::ConfigLock lock(GetConfigMgr());
    GetConfigMgr()->ReadLayerText("lib", text, sizeof text - 1);
  }
  EXPECT_EQ(GetConfigMgr()->LayerText("lib"), "[G\\A]\n\"k\"=3\n\n[G\\b]\n\"j\"=6\n\"k\"=1\n\n[G\\c]\n\"k\"=4\n\n"
                                              "[G\\d]\n\"k\"=2\n\n[G\\e]\n\"k\"=5\n\n[H\\0]\n\"k\"=9\n\n"
                                              "[H\\12345678]\n\"k\"=8\n\n[H\\123456789]\n\"k\"=7\n\n");
}

TEST_F(Loading, AnyOrderMeansWhatTheLibrarysOrderMeansAlsoAfterAReload) {
  // Names that share their first eight or sixteen bytes, differ in case only, or are prefixes of others; more than
  // fit a short sort (the big section, long enough to get its table as it is put in order; the top level, the group).
  const char* const keys[] = {"", "k", "Abcdefgh", "abcdefgh_", "SharedPrefixOfSixteen", "SHAREDPREFIXOFSIXTEEN_z",
                             "_", "sharedprefixofsiz"};
  const char* const words[] = {"Zoom", "zoom", "Map", "a", "_x", "Night", "NightModeColorScheme"};
  Settings settings;
  for (int i = 0; i < 1200; ++i) settings["Big"][Name(keys, 8) + Name(words, 7)] = Value();
  settings["Big"]["Blob"] = "\"" + std::string(70000, 'b') + "\"";  // a line longer than a piece of a read
  for (int i = 0; i < 120; ++i) {
    // Below the group, two sections of sections of their own.
    const std::string group = i % 2 ? std::string("Group\\") + (i % 6 == 3 ? "Deep\\" : i % 6 == 5 ? "Low\\" : "") : "";
    Section& section = settings[group + Name(words, 7) + Name(keys, 7)];
    for (int k = 1 + static_cast<int>(m_rng() % 8); k > 0; --k) section[Name(keys, 7) + Name(words, 7)] = Value();
  }
  for (int round = 0; round < 2; ++round) {
    WriteCfg("lib.cfg", LibraryText(settings));
    WriteCfg("hand.cfg", HandText(settings));
    if (round == 0) Reload();
    else EXPECT_GT(Config_ReloadChangedLayers(), 0);
    Expect("lib", settings);
    Expect("hand", settings);
    // Another process removes every second key of the big section, changes some values and adds keys.
    Section& big = settings["Big"];
    bool drop = false;
    for (auto it = big.begin(); it != big.end();) it = (drop = !drop) ? big.erase(it) : std::next(it);
    for (auto& [path, values] : settings)
      if (m_rng() % 2) values.begin()->second = Value(), values["Added" + Name(words, 7)] = Value();
  }
}
