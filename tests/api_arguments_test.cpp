// The exported functions with the arguments callers get wrong: null names and buffers, indexes out of range,
// layer names that cannot name a file, and a layer file that is no file.
#include <config/config_api.h>
#include <config/config_info.h>
#include <gtest/gtest.h>

#include "store_env.h"

using ApiArguments = storetest::StoreTest;

TEST_F(ApiArguments, NullAndOutOfRangeArgumentsAnswerNothing) {
  char buffer[8] = "x";
  int found = 7, longest = 7;
  bool ok = true;
  SU_Config(nullptr);
  Config_FlushBranch(nullptr);
  Config_SetHexVal(nullptr, "Key", 1);
  Config_SetIntVal("S", nullptr, 1);
  Config_SetStrVal("S", "Null", nullptr);  // the empty text
  EXPECT_TRUE(Config_DoesKeyExist("user\\S", "Null") && Config_GetIntVal(nullptr, "Null") == 0);
  EXPECT_EQ(Config_DeleteKeyVal(nullptr, "Key") + Config_DeleteKey(nullptr) + Config_GetSubKeyCount(nullptr, &longest), 0);
  EXPECT_EQ(longest, 0);
  EXPECT_EQ(Config_GetSubKey(nullptr, 0, buffer, 8) + Config_GetSubKey("user", -1, buffer, 8), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(Config_FindRoot(nullptr) || Config_SetBranch(nullptr) || Config_SetBeginEnumKeyValue(nullptr));
  EXPECT_FALSE(Config_GetStrVal("user\\S", "Key", nullptr, 0, &found));
  EXPECT_EQ(found, 0);
  EXPECT_EQ(Config_GetLeaf(nullptr, nullptr, 0) + Config_GetNextKeyValue(nullptr, nullptr, 0), 0);
  EXPECT_EQ(Config_GetValueOrigin(nullptr, "Key", 0, buffer, 8), CONFIG_ORIGIN_NONE);
  EXPECT_EQ(Config_GetValueOrigin("S", nullptr, 0, nullptr, 0), CONFIG_ORIGIN_NONE);
  EXPECT_EQ(Config_GetValueOrigin("S", "Null", KEYVALUE_TYPE_INTEGER, buffer, 8), CONFIG_ORIGIN_OTHER_TYPE);  // user's
  EXPECT_FALSE(Config_GetLastSaveStatus(nullptr, &ok, buffer, 8, buffer, 8) || Config_GetLastSaveBackup(nullptr, buffer, 8));
  EXPECT_FALSE(Config_GetLastSaveStatus("never", &ok, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Config_GetDirectoryTableName(-1), nullptr);
  EXPECT_EQ(Config_GetDirectoryTableName(Config_GetDirectoryTableCount()), nullptr);
  EXPECT_FALSE(Config_GetRequiredFile(nullptr, 0) || Config_GetRequiredFile("maps", -1));
  EXPECT_EQ(Config_WriteTree(), 0);
  Config_SetHexVal("user\\S", "Hex", 1);
  Config_SetHexVal("S", "Hex", 2);
  EXPECT_EQ(Config_GetIntVal("S", "Hex"), 2);
  EXPECT_EQ(Config_GetValueOrigin("S", "Hex", 0, nullptr, 0), CONFIG_ORIGIN_LAYER);
  EXPECT_FALSE(Config_GetLastSaveBackup("user", nullptr, 0));
  const std::string longSection(300, 's');  // read and written as the path cut to its longest
  Config_SetIntVal(longSection.c_str(), "Key", 4);
  EXPECT_EQ(Config_GetIntVal(longSection.c_str(), "Key"), 4);
  // A defaults key of 256 bytes.
  EXPECT_EQ(Config_GetIntVal(longSection.substr(0, 200).c_str(), std::string(55, 'k').c_str()), 0);
  EXPECT_FALSE(Config_GetStrVal(nullptr, "Hex", buffer, 8, nullptr) || Config_GetStrVal("S", nullptr, buffer, 8, nullptr) ||
               Config_GetStrVal("S", "Hex", nullptr, 0, nullptr) || Config_DoesKeyExist(nullptr, "Hex") ||
               Config_DoesKeyExist("S", nullptr) || Config_DeleteKeyVal("user", "Hex"));
}

TEST_F(ApiArguments, SavesThatCannotBeMadeAreReported) {
  Config_SetIntVal("..\\S", "Key", 1);  // a layer name that names no file: kept in memory all the same
  EXPECT_EQ(Config_GetIntVal("..\\S", "Key"), 1);
  testsupport::RemoveAll(Cfg("user.cfg"));
  testsupport::MakeDirs(Cfg("user.cfg"));
  Config_SetIntVal("S", "Key", 2);
  EXPECT_EQ(storetest::SaveOutcome("user"), "user.cfg is a directory, not a regular file");
}

TEST(ApiLogSwitches, SetUpTimingsAreLogged) {
  testsupport::TempDir tmp;
  testsupport::ScopedEnv config("NAVCONFIG_CONFIG_DIR", tmp.path().c_str()), home("NAVCONFIG_HOME", tmp.path().c_str());
  testsupport::LogCapture log("hashstats,perf");
  EXPECT_EQ(Config_GetIntValDefault("user\\None", "None", 5), 5);
  EXPECT_EQ(log.Matching("perf interval SetupConfigDefaults: ").size(), 1u);
}
