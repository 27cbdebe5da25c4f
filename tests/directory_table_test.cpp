// The table of named directories: what a start writes, how directories are read and written, and the
// operations that fill the data, region and support directories. Each test is one installation on disk.
#include <gtest/gtest.h>

#include <string>

#include "directory_support.h"

using dirtest::Dir;
using dirtest::Installation;
using dirtest::UserDir;
using testsupport::Exists;
using testsupport::MakeDirs;

TEST(DirectoryTable, FirstStartWithoutRootDirClearsMissingDirectoriesAndFillsTheSupportDirectories) {
  Installation inst;
  MakeDirs(inst / "audio");
  MakeDirs(inst / "mysave");
  MakeDirs(inst / "memo");
  inst.WriteDirectories({{"AudioDir", inst / "audio"},
                         {"LRGridDir", inst / "gone/data"},
                         {"RegionDir", "NA"},
                         {"LRGlobalSaveDir", inst / "mysave"},
                         {"SpeechDir", inst / "nospeech"},
                         {"MemoDir", inst / "memo"},
                         {"BatchDir", inst / "nobatch"}});
  testsupport::LogCapture log("android");

  DirectoryMgr* dirs = GetDirectoryMgr();
  ASSERT_NE(dirs, nullptr);

  // The root becomes the current directory and is kept for the next start.
  EXPECT_EQ(UserDir("RootDir"), "./");
  EXPECT_EQ(Config_GetWriteableRootDir().str(), "./");
  EXPECT_EQ(Config_GetRootDir().str(), "./");
  EXPECT_NE(testsupport::ReadFile(inst.UserCfg()).find("\"RootDir\"=\"./\""), std::string::npos);

  // Missing directories of the table are emptied, existing ones stay, others are not the table's business.
  EXPECT_EQ(UserDir("LRGridDir"), "");
  EXPECT_EQ(Dir("LRGridDir"), "");
  EXPECT_EQ(UserDir("RegionDir"), "");  // a region code is tested like a path
  EXPECT_EQ(Dir("AudioDir"), inst / "audio");
  EXPECT_EQ(Dir("MemoDir"), inst / "memo");
  EXPECT_EQ(Dir("BatchDir"), inst / "nobatch");

  // Support directories: an existing one stays, a missing one (even the user's own) is replaced by a
  // folder below the root, without a trailing separator and without creating it.
  EXPECT_EQ(Dir("LRGlobalSaveDir"), inst / "mysave");
  EXPECT_EQ(Dir("GlobalAddonDir"), "./addon");
  EXPECT_EQ(Dir("SpeechDir"), "./speech");
  EXPECT_EQ(Dir("LRInfoDir"), "./info");
  EXPECT_EQ(Dir("LRGPSSaveDir"), "./gpstracks");
  EXPECT_EQ(Dir("UpdateDir"), "./save/update");
  EXPECT_EQ(Dir("GPSDemoDir"), "./gpstracks/demo");
  EXPECT_FALSE(Exists(inst / "work/addon"));
  EXPECT_FALSE(Exists(inst / "work/save"));

  // No data anywhere, and stitched data is not allowed to stand in.
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);

  // Every directory written is logged with its name, value and section.
  EXPECT_EQ(log.Matching("C16 directorymgr:602").size(), log.Matching("user\\Directories").size());
  EXPECT_EQ(log.Matching("RootDir ./ user\\Directories").size(), 1u);
  EXPECT_EQ(log.Matching("UpdateDir ./save/update user\\Directories").size(), 1u);

  // A region folder relative to the current directory keeps RegionDir; missing directories go.
  MakeDirs(inst / "work/NA");
  Config_SetDirPath("RegionDir", OROustring("NA"));
  Config_SetDirPath("ThemesDir", OROustring(inst / "nothemes"));
  dirs->ResetDirectories();
  EXPECT_EQ(Dir("RegionDir"), "NA");
  EXPECT_EQ(UserDir("ThemesDir"), "");

  // UseExistingRootDir: an existing root clears nothing; a missing one clears the missing directories.
  OROustring root;
  EXPECT_TRUE(dirs->UseExistingRootDir(root));
  EXPECT_EQ(root.str(), "./");
  Config_SetDirPath("RootDir", OROustring(inst / "moved"));
  Config_SetDirPath("CitiesDir", OROustring(inst / "moved/cities"));
  EXPECT_FALSE(dirs->UseExistingRootDir(root));
  EXPECT_EQ(root.str(), inst / "moved/");
  EXPECT_EQ(UserDir("CitiesDir"), "");
  EXPECT_EQ(UserDir("RootDir"), "");
  EXPECT_EQ(Dir("AudioDir"), inst / "audio");
}

TEST(DirectoryTable, StartWithAnExistingRootClearsNothingAndDoesNotSearch) {
  Installation inst;
  MakeDirs(inst / "root/speech-custom");
  dirtest::MakeGrid(inst / "root/NA/data");  // would be found by a search
  inst.WriteDirectories({{"RootDir", inst / "root"},
                         {"LRGridDir", inst / "root/gone/data"},
                         {"CitiesDir", inst / "root/gone/cities"},
                         {"RegionDir", "XX"}});

  DirectoryMgr* dirs = GetDirectoryMgr();
  EXPECT_EQ(Config_GetWriteableRootDir().str(), inst / "root/");
  EXPECT_EQ(Dir("LRGridDir"), inst / "root/gone/data");
  EXPECT_EQ(Dir("CitiesDir"), inst / "root/gone/cities");
  EXPECT_EQ(Dir("RegionDir"), "XX");
  EXPECT_EQ(UserDir("LRSaveDir"), "<unset>");
  EXPECT_EQ(Dir("LRGlobalSaveDir"), inst / "root/save");
  EXPECT_EQ(Dir("UpdateDir"), inst / "root/save/update");
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);

  // InitDataSupportDirs keeps a configured folder that exists and replaces one that does not.
  Config_SetDirPath("SpeechDir", OROustring(inst / "root/speech-custom"));
  Config_SetDirPath("LRInfoDir", OROustring(inst / "elsewhere/info"));
  DirectoryMgrTestAccess::InitDataSupportDirs(*dirs);
  EXPECT_EQ(Dir("SpeechDir"), inst / "root/speech-custom");
  EXPECT_EQ(Dir("LRInfoDir"), inst / "root/info");

  // The next start (a new directory manager) reads what this one wrote.
  Config_Reset();
  EXPECT_EQ(Dir("SpeechDir"), inst / "root/speech-custom");
  EXPECT_EQ(Dir("LRInfoDir"), inst / "root/info");
  EXPECT_EQ(Dir("LRGridDir"), inst / "root/gone/data");
}

TEST(DirectoryTable, NamedDirectoriesAreReadAndWrittenThroughTheUserLayer) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  OROwstring path;

  // RuntimeDir is the runtime folder in any case of its name, never a setting.
  EXPECT_EQ(dirs->GetDirPath("RuNtImEdIr", path, true), 1);
  EXPECT_EQ(path.uString().str(), inst.Runtime());
  EXPECT_EQ(dirs->GetDirPath("runtimedir", path, false), 1);
  EXPECT_EQ(path.uString().str(), inst.Runtime());
  EXPECT_EQ(UserDir("RuntimeDir"), "<unset>");

  // An empty value and a value that no layer holds read alike.
  Config_SetDirPath("SkinDir", OROustring(""));
  EXPECT_EQ(dirs->GetDirPath("SkinDir", path, true), 0);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(dirs->GetDirPath("KMXDBDir", path, true), 0);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(dirs->GetDirPath(nullptr, path, true), 0);

  // Separators become the platform's; the separator is added only when asked for and missing.
  EXPECT_EQ(dirs->SetDirPath("MemoDir", OROwstring("maps\\NA\\memo")), 1);
  EXPECT_EQ(dirs->GetDirPath("MemoDir", path, false), 1);
  EXPECT_EQ(path.uString().str(), "maps/NA/memo");
  dirs->GetDirPath("MemoDir", path, true);
  EXPECT_EQ(path.uString().str(), "maps/NA/memo/");
  Config_SetDirPath("MemoDir", OROustring("memo/"));
  EXPECT_EQ(Dir("MemoDir", true), "memo/");

  // At most 510 bytes of a value are used.
  const std::string longValue(600, 'x');
  Config_SetDirPath("ThemesDir", OROustring(longValue));
  EXPECT_EQ(Dir("ThemesDir"), std::string(510, 'x'));

  // Writes go to user.cfg at once, through both string forms.
  Config_SetDirPath("PolyLandmarksDir", OROwstring("/data/landmarks"));
  Config_SetDirPath("PhotoNavLibrary", OROustring("/data/photos"));
  const std::string cfg = testsupport::ReadFile(inst.UserCfg());
  EXPECT_NE(cfg.find("\"PolyLandmarksDir\"=\"/data/landmarks\""), std::string::npos);
  EXPECT_NE(cfg.find("\"PhotoNavLibrary\"=\"/data/photos\""), std::string::npos);

  // Without the android switch nothing is logged for a write.
  {
    testsupport::LogCapture quiet;
    Config_SetDirPath("MapUpdatesDir", OROustring("/u"));
    EXPECT_TRUE(quiet.Matching(":602").empty());
  }
  {
    testsupport::LogCapture loud("android");
    Config_SetDirPath("MapUpdatesDir", OROustring("/v"));
    EXPECT_EQ(loud.Matching("L5 C16 directorymgr:602").size(), 1u);
    EXPECT_EQ(loud.Matching("MapUpdatesDir /v user\\Directories").size(), 1u);
  }

  // Folder names of the kinds of data.
  EXPECT_STREQ(dirs->GetDirName(INSTALL_DATA_NETWORK), "data");
  EXPECT_STREQ(GetDirName(INSTALL_DATA_OROSPEEDS), "orospeeds");
  EXPECT_STREQ(GetDirName(INSTALL_DATA_ISPEEDS), "ispeeds");
  EXPECT_STREQ(GetDirName(INSTALL_DATA_TMC), "tmc");
  EXPECT_STREQ(GetDirName(INSTALL_DATA_POLYGONS), "polygons");
  EXPECT_STREQ(GetDirName(INSTALL_DATA_NONE), "");
  EXPECT_STREQ(GetDirName(static_cast<eInstallDataType>(6)), "");
  EXPECT_STREQ(GetDirName(static_cast<eInstallDataType>(-1)), "");
}

TEST(DirectoryTable, DataRegionAndTemporarySaveDirectories) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  Config_SetIntVal("Data", "VersionedGrid", 5);

  // An empty root writes nothing at all.
  DirectoryMgrTestAccess::InitDataDirs(*dirs, "", "v2");
  EXPECT_EQ(UserDir("CitiesDir"), "<unset>");
  EXPECT_EQ(Config_GetIntVal("Data", "VersionedGrid"), 5);

  // Every data folder is written beside each other, with a trailing separator, existing or not.
  DirectoryMgrTestAccess::InitDataDirs(*dirs, inst / "maps", "");
  EXPECT_EQ(Dir("CitiesDir"), inst / "maps/cities/");
  EXPECT_EQ(Dir("LRGeoDir"), inst / "maps/places/");
  EXPECT_EQ(Dir("PolyDir"), inst / "maps/polygons/");
  EXPECT_EQ(Dir("OROSpeedsDir"), inst / "maps/orospeeds/");
  EXPECT_EQ(Dir("TMCDir"), inst / "maps/tmc/");
  EXPECT_EQ(Config_GetIntVal("Data", "VersionedGrid"), -1);
  DirectoryMgrTestAccess::InitDataDirs(*dirs, inst / "maps/", "v2");
  EXPECT_EQ(Dir("CitiesDir"), inst / "maps/v2/cities/");
  EXPECT_EQ(Dir("TMCDir"), inst / "maps/v2/tmc/");

  // Region folders lie below the writeable root ("./" on a first start).
  DirectoryMgrTestAccess::InitRegionDataDirs(*dirs, "EU");
  EXPECT_EQ(Dir("LRSaveDir"), "./EU/save/");
  EXPECT_EQ(Dir("AddonDir"), "./EU/addon/");
  DirectoryMgrTestAccess::InitRegionDataDirs(*dirs, "");
  EXPECT_EQ(Dir("LRSaveDir"), "./save/");
  EXPECT_EQ(Dir("AddonDir"), "./addon/");

  // A temporary save folder replaces LRSaveDir; an empty root changes nothing.
  EXPECT_EQ(DirectoryMgrTestAccess::SetTempSaveDir(*dirs, ""), 1);
  EXPECT_EQ(Dir("LRSaveDir"), "./save/");
  EXPECT_EQ(DirectoryMgrTestAccess::SetTempSaveDir(*dirs, inst / "card"), 1);
  EXPECT_EQ(Dir("LRSaveDir"), inst / "card/tempsave/");
}

TEST(DirectoryTable, AResetBeforeTheFirstUseStartsTheLibraryOnce) {
  Installation inst;
  testsupport::LogCapture log;
  EXPECT_TRUE(Config_Reset());
  EXPECT_EQ(UserDir("RootDir"), "./");
  EXPECT_EQ(log.Matching("GetDataStatus() ret[").size(), 1u);
}

TEST(DirectoryTable, ReplacingTheDirectoryManagerBeforeTheFirstUseStartsTheLibraryOnce) {
  Installation inst;
  testsupport::LogCapture log;
  ResetDataDirMgr();
  EXPECT_EQ(Config_GetWriteableRootDir().str(), "./");
  EXPECT_EQ(log.Matching("GetDataStatus() ret[").size(), 1u);
}
