// The directories that the platform fixes and the table of named directories: what a start writes, how
// directories are read and written, and the operations that fill the data, region and support directories.
// Each test is one installation on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "directory_support.h"

using dirtest::Dir;
using dirtest::Installation;
using dirtest::UserDir;
using testsupport::Exists;
using testsupport::MakeDirs;
using testsupport::Native;

// Starts the library and prints its runtime, configuration and registry directories, one per line.
NAVCONFIG_TEST_CHILD(print_platform_directories) {
  const DirectoryMgr* dirs = GetDirectoryMgr();
  if (!dirs) return 1;
  std::printf("%s\n%s\n%s\n", dirs->GetRuntimeDir().uString().c_str(), dirs->GetConfigDir().uString().c_str(),
              dirs->GetRegistryDir().uString().c_str());
  return 0;
}

TEST(DirectoryTable, ThePlatformFixesTheRuntimeConfigurationAndRegistryDirectories) {
  Installation inst;
  const DirectoryMgr* dirs = GetDirectoryMgr();
  ASSERT_NE(dirs, nullptr);
  const std::string runtime = dirs->GetRuntimeDir().uString().str();
  EXPECT_EQ(runtime, inst.Runtime());
  if (testsupport::kWindows) {
    // The folder of the module (this program), the configuration beside it, and the fixed registry root.
    EXPECT_EQ(runtime, testsupport::ProgramDirectory());
    EXPECT_EQ(dirs->GetConfigDir().uString().str(), runtime);
    EXPECT_EQ(dirs->GetRegistryDir().uString().str(), "\\windows");
  } else {
    EXPECT_EQ(dirs->GetConfigDir().uString().str(), inst / "config/");
    EXPECT_EQ(dirs->GetRegistryDir().uString().str(), inst / "home/registry/");
  }
  EXPECT_EQ(runtime.back(), testsupport::kSeparator);
  EXPECT_EQ(dirs->GetInternalStorageDir().str(), "");
  EXPECT_EQ(dirs->GetExternalStorageDirs().Count(), 0u);
  EXPECT_EQ(dirs->GetUISupportDir().str(), dirs->GetConfigDir().uString().str());

  // A copy of this program in a folder of its own: a start there takes that folder (without a variable naming
  // another) as its runtime and its configuration directory, where the start writes user.cfg.
  const std::string folder = inst / "copy/a folder of its own";
  MakeDirs(folder);
  const std::filesystem::path self(testsupport::ProgramPath());
  const std::string program = testsupport::JoinPath(folder, "copy" + self.extension().string());
  std::filesystem::copy_file(self, std::filesystem::path(program));
  testsupport::ScopedEnv noRuntime("NAVCONFIG_RUNTIME_DIR", nullptr);
  testsupport::ScopedEnv noConfig("NAVCONFIG_CONFIG_DIR", nullptr);
  testsupport::ChildProcess child("print_platform_directories", {}, program);
  std::string childRuntime, childConfig, childRegistry;
  ASSERT_TRUE(child.ReadLine(childRuntime, 60000));
  ASSERT_TRUE(child.ReadLine(childConfig, 60000));
  ASSERT_TRUE(child.ReadLine(childRegistry, 60000));
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(childRuntime, folder + testsupport::kSeparator);
  EXPECT_EQ(childConfig, folder + testsupport::kSeparator);
  EXPECT_TRUE(Exists(testsupport::JoinPath(folder, "user.cfg")));
}

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
  EXPECT_EQ(UserDir("RootDir"), Native("./"));
  EXPECT_EQ(Config_GetWriteableRootDir().str(), Native("./"));
  EXPECT_EQ(Config_GetRootDir().str(), Native("./"));
  EXPECT_NE(testsupport::ReadFile(inst.UserCfg()).find("\"RootDir\"=\"" + Native("./") + "\""), std::string::npos);

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
  EXPECT_EQ(Dir("GlobalAddonDir"), Native("./addon"));
  EXPECT_EQ(Dir("SpeechDir"), Native("./speech"));
  EXPECT_EQ(Dir("LRInfoDir"), Native("./info"));
  EXPECT_EQ(Dir("LRGPSSaveDir"), Native("./gpstracks"));
  EXPECT_EQ(Dir("UpdateDir"), Native("./save/update"));
  EXPECT_EQ(Dir("GPSDemoDir"), Native("./gpstracks/demo"));
  EXPECT_FALSE(Exists(inst / "work/addon"));
  EXPECT_FALSE(Exists(inst / "work/save"));

  // No data anywhere, and stitched data is not allowed to stand in.
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);

  // Every directory written is logged with its name, value and section.
  EXPECT_EQ(log.Matching("C16 directorymgr:602").size(), log.Matching("user\\Directories").size());
  EXPECT_EQ(log.Matching(Native("RootDir ./ ") + "user\\Directories").size(), 1u);
  EXPECT_EQ(log.Matching(Native("UpdateDir ./save/update ") + "user\\Directories").size(), 1u);

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
  EXPECT_EQ(root.str(), Native("./"));
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
  EXPECT_EQ(path.uString().str(), Native("maps/NA/memo"));
  dirs->GetDirPath("MemoDir", path, true);
  EXPECT_EQ(path.uString().str(), Native("maps/NA/memo/"));
  Config_SetDirPath("MemoDir", OROustring("memo/"));
  EXPECT_EQ(Dir("MemoDir", true), Native("memo/"));

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
  EXPECT_EQ(Dir("LRSaveDir"), Native("./EU/save/"));
  EXPECT_EQ(Dir("AddonDir"), Native("./EU/addon/"));
  DirectoryMgrTestAccess::InitRegionDataDirs(*dirs, "");
  EXPECT_EQ(Dir("LRSaveDir"), Native("./save/"));
  EXPECT_EQ(Dir("AddonDir"), Native("./addon/"));

  // A temporary save folder replaces LRSaveDir; an empty root changes nothing.
  EXPECT_EQ(DirectoryMgrTestAccess::SetTempSaveDir(*dirs, ""), 1);
  EXPECT_EQ(Dir("LRSaveDir"), Native("./save/"));
  EXPECT_EQ(DirectoryMgrTestAccess::SetTempSaveDir(*dirs, inst / "card"), 1);
  EXPECT_EQ(Dir("LRSaveDir"), inst / "card/tempsave/");
}

TEST(DirectoryTable, AResetBeforeTheFirstUseStartsTheLibraryOnce) {
  Installation inst;
  testsupport::LogCapture log;
  EXPECT_TRUE(Config_Reset());
  EXPECT_EQ(UserDir("RootDir"), Native("./"));
  EXPECT_EQ(log.Matching("GetDataStatus() ret[").size(), 1u);
}

TEST(DirectoryTable, ReplacingTheDirectoryManagerBeforeTheFirstUseStartsTheLibraryOnce) {
  Installation inst;
  testsupport::LogCapture log;
  ResetDataDirMgr();
  EXPECT_EQ(Config_GetWriteableRootDir().str(), Native("./"));
  EXPECT_EQ(log.Matching("GetDataStatus() ret[").size(), 1u);
}
