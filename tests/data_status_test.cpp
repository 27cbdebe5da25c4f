// The data status for each kind of version file, its log lines, the required files of the data folders and
// the first-run flag.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "directory_support.h"

using dirtest::Installation;
using dirtest::MakeGrid;
using testsupport::WriteFile;
using testsupport::Native;

TEST(DataStatus, EachVersionFileCaseGivesItsStatus) {
  Installation inst;
  const std::string grid = inst / "grid";
  MakeGrid(grid);
  inst.WriteDirectories({{"LRGridDir", grid}});
  testsupport::LogCapture log("android");
  const std::string version = grid + "/version.dat";

  // No version file: the data is found and nothing is known about its version.
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  TVersionStruct running;
  Config_GetCurRunningAppDataVerInfo(running);
  EXPECT_TRUE(running.fileName.GetFullPath(true).empty());

  struct Case {
    const char* text;
    eDataStatus expected;
  };
  const Case cases[] = {
      {"Data Format: 8\n", DATA_FOUND_NORMAL},
      {"data format:   8.0  \n", DATA_FOUND_NORMAL},
      {"Data Format: 8.0.0.0\n", DATA_FOUND_NORMAL},
      {"Data Format: 9\n", DATA_FOUND_SWVERSION_MISMATCH},
      {"Product Name: Maps\nData Version: 2\n", DATA_FOUND_SWVERSION_MISMATCH},  // no format line
      {"Data Format: 8.0.0.0.1\n", DATA_FOUND_SWVERSION_MISMATCH},              // longer than Version\Major
      {"", DATA_FOUND_SWVERSION_MISMATCH},                                      // empty file
  };
  for (const Case& c : cases) {
    WriteFile(version, c.text);
    EXPECT_EQ(Config_GetDataStatus(), c.expected) << c.text;
  }

  // A file without a format line follows a file with one: the old format is not kept.
  WriteFile(version, "Data Format: 8\nLanguage: en\n");
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  WriteFile(version, "Product Name: Other\n");
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_SWVERSION_MISMATCH);
  Config_GetCurRunningAppDataVerInfo(running);
  EXPECT_EQ(running.productName.str(), "Other");
  EXPECT_TRUE(running.dataFormat.empty());
  EXPECT_TRUE(running.language.empty());
  EXPECT_EQ(running.fileName.GetFullPath(true).str(), Native(grid + "/version.dat"));

  // The major version of the software decides.
  Config_SetStrVal("Version", "Major", "9.1");
  WriteFile(version, "Data Format: 9\n");
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  WriteFile(version, "Data Format: 9.1.2\n");
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_SWVERSION_MISMATCH);

  // A version file that is a folder is no version file.
  std::filesystem::remove(version);
  std::filesystem::create_directory(version);
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);

  // Both log lines: the check begun (android switch) and the outcome (always).
  EXPECT_FALSE(log.Matching("L5 C16 directorymgr:389 ").empty());
  EXPECT_FALSE(log.Matching("L5 C0 directorymgr:442 ").empty());
  EXPECT_EQ(log.Matching("DirectoryMgr::GetDataStatus() ret[DATA_FOUND_SWVERSION_MISMATCH]").size(), 6u);
  EXPECT_EQ(log.Matching("GetDataStatus").size(), 2 * log.Matching("ret[").size());
}

TEST(DataStatus, MissingDataWithAndWithoutStitchingAndTheStatusTexts) {
  Installation inst;
  const std::string grid = inst / "grid";
  MakeGrid(grid, false);
  inst.WriteDirectories({{"LRGridDir", grid}});
  testsupport::LogCapture log;  // no android switch: only the outcome is logged

  DirectoryMgr* dirs = GetDirectoryMgr();
  EXPECT_EQ(dirs->GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);
  DirectoryMgrTestAccess::SetStitchedDataEnabled(*dirs, true);
  // LRGridDir is also the network folder, and it is incomplete.
  EXPECT_EQ(dirs->GetDataStatus(), DATA_NOT_FOUND);
  WriteFile(grid + "/00000000.hsh", "");
  EXPECT_EQ(dirs->GetDataStatus(), DATA_FOUND_NORMAL);
  EXPECT_TRUE(log.Matching(":389").empty());
  EXPECT_EQ(log.Matching("ret[DATA_NOT_FOUND]").size(), 1u);

  const char* texts[] = {"DATA_UNKNOWN",
                         "DATA_FOUND_NORMAL",
                         "DATA_FOUND_STITCHED",
                         "DATA_FOUND_SWVERSION_MISMATCH",
                         "DATA_NOT_FOUND_STICTHING_OFF",
                         "DATA_NOT_FOUND",
                         "really unknown status"};
  for (int i = 0; i <= 6; ++i) EXPECT_STREQ(DirectoryMgrTestAccess::StatusText(*dirs, i), texts[i]);
  EXPECT_STREQ(DirectoryMgrTestAccess::StatusText(*dirs, -1), "really unknown status");
}

TEST(DataStatus, RequiredFilesOfTheDataFolders) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  using Files = std::vector<std::string>;
  EXPECT_EQ(DirectoryMgrTestAccess::FilesToValidate(*dirs, "SkinDir"), (Files{"styles_gui.stb", "163.inx"}));
  EXPECT_EQ(DirectoryMgrTestAccess::FilesToValidate(*dirs, "UIConfigDir"), (Files{"uiconfig.inx", "uiconfig.dat"}));
  EXPECT_EQ(DirectoryMgrTestAccess::FilesToValidate(*dirs, "AudioDir"), (Files{"sound_default.wav"}));
  EXPECT_EQ(DirectoryMgrTestAccess::FilesToValidate(*dirs, "LRGridDir"), (Files{"00000000.qd", "00000000.hsh"}));
  EXPECT_EQ(DirectoryMgrTestAccess::FilesToValidate(*dirs, "CitiesDir"), (Files{"cities.inx", "cities.nms"}));
  EXPECT_EQ(DirectoryMgrTestAccess::FilesToValidate(*dirs, "PolyDir"), (Files{"poly0.cgd"}));
  EXPECT_TRUE(DirectoryMgrTestAccess::FilesToValidate(*dirs, "LRInfoDir").empty());
  EXPECT_TRUE(DirectoryMgrTestAccess::FilesToValidate(*dirs, "skindir").empty());  // names compare exactly

  // A name without required files is valid even when its folder does not exist.
  Config_SetDirPath("LRInfoDir", OROustring(inst / "nowhere"));
  EXPECT_TRUE(DirectoryMgrTestAccess::ValidateDirectoryContents(*dirs, "LRInfoDir"));
  EXPECT_TRUE(DirectoryMgrTestAccess::ValidateDirectoryContents(*dirs, "MemoDir"));
  // A name with required files needs them all, in the configured folder.
  EXPECT_FALSE(DirectoryMgrTestAccess::ValidateDirectoryContents(*dirs, "SkinDir"));
  testsupport::MakeDirs(inst / "skin");
  WriteFile(inst / "skin/styles_gui.stb", "");
  Config_SetDirPath("SkinDir", OROustring(inst / "skin"));
  EXPECT_FALSE(DirectoryMgrTestAccess::ValidateDirectoryContents(*dirs, "SkinDir"));
  WriteFile(inst / "skin/163.inx", "");
  EXPECT_TRUE(DirectoryMgrTestAccess::ValidateDirectoryContents(*dirs, "SkinDir"));

  const char* const poly[] = {"poly0.cgd", nullptr};
  const char* const none[] = {nullptr};
  EXPECT_FALSE(DirectoryMgrTestAccess::FilesInDir(*dirs, inst / "skin", poly));
  EXPECT_TRUE(DirectoryMgrTestAccess::FilesInDir(*dirs, inst / "skin", none));
  EXPECT_FALSE(DirectoryMgrTestAccess::FilesInDir(*dirs, inst / "missing", none));
}

TEST(DataStatus, FirstRunFlagIsAnsweredOncePerInstanceAndClearedForTheNextStart) {
  Installation inst;
  EXPECT_TRUE(Config_IsOutOfBoxFirstRun());
  EXPECT_NE(testsupport::ReadFile(inst.UserCfg()).find("\"DrivoraOutOfBoxFirstRun\"=0"), std::string::npos);
  EXPECT_EQ(Config_GetIntVal("User Settings", "DrivoraOutOfBoxFirstRun"), 0);
  // The same instance keeps its answer.
  EXPECT_TRUE(Config_IsOutOfBoxFirstRun());
  EXPECT_TRUE(GetDirectoryMgr()->IsOutOfBoxFirstRun());

  // A new directory manager reads the stored 0.
  Config_Reset();
  EXPECT_FALSE(Config_IsOutOfBoxFirstRun());
  EXPECT_FALSE(Config_IsOutOfBoxFirstRun());
  ResetDataDirMgr();
  EXPECT_FALSE(Config_IsOutOfBoxFirstRun());
}
