// The directories that the platform fixes and the table of named directories: what a start writes, how
// directories are read and written, and the operations that fill the data, region and support directories;
// the data directory exports (updatable data composed from root, region, revision and kind, the update and
// skin directories, a caller's buffer). Each test is one installation on disk.

#include <cstdio>

#include <platform/faults.h>

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
    EXPECT_EQ(dirs->GetConfigDir().uString().str(), runtime);
    EXPECT_EQ(dirs->GetRegistryDir().uString().str(), "\\windows");
  } else {
    EXPECT_EQ(dirs->GetConfigDir().uString().str(), inst / "config/");
    EXPECT_EQ(dirs->GetRegistryDir().uString().str(), inst / "home/registry/");
  }
  EXPECT_TRUE(dirs->GetInternalStorageDir().empty() && dirs->GetExternalStorageDirs().IsEmpty());
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
  std::string runtimeOfCopy, configOfCopy;
  EXPECT_TRUE(child.ReadLine(runtimeOfCopy, 60000) && child.ReadLine(configOfCopy, 60000));
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(runtimeOfCopy + "|" + configOfCopy, Native(folder + "/|" + folder + "/"));
  EXPECT_TRUE(Exists(testsupport::JoinPath(folder, "user.cfg")));
}

TEST(DirectoryTable, AStartWithoutRootClearsMissingDirectoriesAndOneWithARootKeepsThem) {
  Installation inst;
  // A folder named in Latin-1, as old archives name them, exists as well (file names are bytes on POSIX).
  const std::string memo = testsupport::kWindows ? "memo" : "m\xE9mo";
  for (const std::string& d : {std::string("audio"), std::string("mysave"), memo}) MakeDirs(inst / d);
  inst.WriteDirectories({{"AudioDir", inst / "audio"},
                         {"LRGridDir", inst / "gone/data"},
                         {"RegionDir", "NA"},
                         {"LRGlobalSaveDir", inst / "mysave"},
                         {"SpeechDir", inst / "nospeech"},
                         {"MemoDir", inst / memo},
                         {"BatchDir", inst / "nobatch"}});
  testsupport::LogCapture log("android");
  // A reset as the very first call starts the library once.
  EXPECT_TRUE(Config_Reset());
  EXPECT_EQ(dirtest::StatusChecks(log), 1u);
  DirectoryMgr* dirs = GetDirectoryMgr();

  // The root becomes the current directory and is kept for the next start.
  EXPECT_EQ(UserDir("RootDir") + Config_GetWriteableRootDir().str(), Native("././"));
  EXPECT_NE(testsupport::ReadFile(inst.UserCfg()).find("\"RootDir\"=\"" + Native("./") + "\""), std::string::npos);

  // Missing directories of the table are emptied (a region code is tested like a path), existing ones stay,
  // others are not the table's business.
  EXPECT_EQ(UserDir("LRGridDir") + UserDir("RegionDir"), "");
  EXPECT_EQ(Dir("AudioDir") + Dir("MemoDir") + Dir("BatchDir"), inst / "audio" + inst / memo + inst / "nobatch");

  // Support directories: an existing one stays, a missing one (even the user's own) is replaced by a
  // folder below the root, without a trailing separator and without creating it (all of them: the tool's dirs).
  EXPECT_EQ(Dir("LRGlobalSaveDir") + Dir("SpeechDir") + Dir("GPSDemoDir"),
            inst / "mysave" + Native("./speech./gpstracks/demo"));
  EXPECT_FALSE(Exists(inst / "work/speech"));
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);

  // The next start finds its root: it clears nothing, keeps the directories it reads and searches no data.
  dirtest::MakeGrid(inst / "work/NA/data");
  Config_SetDirPath("RegionDir", OROustring("NA"));
  Config_SetDirPath("LRGridDir", OROustring(inst / "gone/data"));
  Config_SetDirPath("SpeechDir", OROustring(inst / "nospeech"));
  Config_Reset();
  dirs = GetDirectoryMgr();
  EXPECT_EQ(Dir("LRGridDir") + Dir("RegionDir") + UserDir("LRSaveDir"), inst / "gone/data" + "NA<unset>");
  EXPECT_EQ(Dir("SpeechDir"), Native("./speech"));
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);

  // A table check finds the region folder relative to the current directory, and empties what is missing.
  platform::faults::Count();
  dirs->ResetDirectories();
  EXPECT_EQ(Dir("RegionDir") + UserDir("LRGridDir") + UserDir("SpeechDir"), "NA");
  EXPECT_EQ(platform::faults::Calls(platform::faults::Call::Rename), 1u);  // both saved at once
  platform::faults::Clear();

  // UseExistingRootDir: an existing root clears nothing; a missing one clears the missing directories.
  OROustring root;
  EXPECT_TRUE(dirs->UseExistingRootDir(root) && root == Native("./").c_str());
  Config_SetDirPath("RootDir", OROustring(inst / "moved"));
  Config_SetDirPath("CitiesDir", OROustring(inst / "moved/cities"));
  EXPECT_FALSE(dirs->UseExistingRootDir(root));
  EXPECT_EQ(root.str(), inst / "moved/");
  EXPECT_EQ(UserDir("CitiesDir") + UserDir("RootDir") + Dir("AudioDir"), inst / "audio");
}

TEST(DirectoryTable, DirectoriesAreReadAndWrittenThroughTheUserLayer) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  OROwstring path;

  // RuntimeDir is the runtime folder in any case of its name, never a setting.
  EXPECT_EQ(dirs->GetDirPath("RuNtImEdIr", path, false), 1);
  EXPECT_EQ(path.uString().str() + UserDir("RuntimeDir"), inst.Runtime() + "<unset>");

  // An empty value, a value that no layer holds and no name read alike.
  Config_SetDirPath("SkinDir", OROustring(""));
  for (const char* name : {"SkinDir", "KMXDBDir", static_cast<const char*>(nullptr)}) {
    path = OROwstring("stale");
    EXPECT_EQ(dirs->GetDirPath(name, path, true), 0);
    EXPECT_TRUE(path.empty());
  }

  // Separators become the platform's; the separator is added only when asked for and missing.
  EXPECT_EQ(dirs->SetDirPath("MemoDir", OROwstring("maps\\NA\\memo")), 1);
  EXPECT_EQ(Dir("MemoDir"), Native("maps/NA/memo"));
  EXPECT_EQ(Dir("MemoDir", true), Native("maps/NA/memo/"));
  Config_SetDirPath("MemoDir", OROustring("memo/"));
  EXPECT_EQ(Dir("MemoDir", true), Native("memo/"));

  // At most 510 bytes of a value are used.
  Config_SetDirPath("ThemesDir", OROustring(std::string(600, 'x')));
  EXPECT_EQ(Dir("ThemesDir"), std::string(510, 'x'));

  // Writes go to user.cfg at once, through both string forms.
  Config_SetDirPath("PolyLandmarksDir", OROwstring("/data/landmarks"));
  Config_SetDirPath("PhotoNavLibrary", OROustring("/data/photos"));
  const std::string cfg = testsupport::ReadFile(inst.UserCfg());
  EXPECT_TRUE(cfg.find("\"PolyLandmarksDir\"=\"/data/landmarks\"\n") != std::string::npos &&
              cfg.find("\"PhotoNavLibrary\"=\"/data/photos\"\n") != std::string::npos) << cfg;

  // A write is logged with the android switch only, whatever the length of its message.
  {
    testsupport::LogCapture quiet;
    Config_SetDirPath("MapUpdatesDir", OROustring("/u"));
    EXPECT_TRUE(quiet.Matching(":602").empty());
  }
  {
    testsupport::LogCapture loud("android");
    for (size_t length : {480u, 481u, 700u}) {  // messages of 511, 512 and 731 bytes
      const std::string value(length, 'v');
      Config_SetDirPath("MapUpdatesDir", OROustring(value));
      EXPECT_EQ(loud.Matching("L5 C16 directorymgr:602 T").size(), loud.Lines().size());
      EXPECT_EQ(loud.Matching(" MapUpdatesDir " + value + " user\\Directories").size(), 1u) << length;
    }
  }

  // The data folders below a root and a sub-folder (the start fills them without one), with a trailing
  // separator; a region's folders below the writeable root; a temporary save folder replaces LRSaveDir.
  DirectoryMgrTestAccess::InitDataDirs(*dirs, "", "v2");  // no root: nothing is written
  EXPECT_EQ(UserDir("CitiesDir"), "<unset>");
  DirectoryMgrTestAccess::InitDataDirs(*dirs, inst / "maps/", "v2");
  DirectoryMgrTestAccess::InitRegionDataDirs(*dirs, "");
  EXPECT_EQ(DirectoryMgrTestAccess::SetTempSaveDir(*dirs, ""), 1);
  EXPECT_EQ(Dir("TMCDir") + Dir("LRSaveDir") + Dir("AddonDir"), inst / "maps/v2/tmc/" + Native("./save/./addon/"));
  EXPECT_EQ(DirectoryMgrTestAccess::SetTempSaveDir(*dirs, inst / "card"), 1);
  EXPECT_EQ(Dir("LRSaveDir"), inst / "card/tempsave/");

  // Folder names of the kinds of data.
  const char* const names[] = {"", "data", "orospeeds", "ispeeds", "tmc", "polygons", ""};
  for (int type = -1; type <= 6; ++type)
    EXPECT_STREQ(GetDirName(static_cast<eInstallDataType>(type)), names[type < 0 ? 0 : type]) << type;
}

TEST(DataDirsApi, DataUpdateAndSkinDirectoriesAndTheirStringForms) {
  Installation inst;
  const std::string maps = inst / "maps/", na3 = maps + "NA/3/", update = inst / "U/";
  for (const std::string& d : {maps, update, inst / "T"}) testsupport::MakeDirs(d);
  inst.WriteDirectories({{"RootDir", maps}, {"RegionDir", "NA"}, {"UpdateDir", update}, {"ThemesDir", inst / "T"}},
                        "[Data]\n\"CurrentRevision\"=3\n");

  const std::pair<OROustring, std::string> dirs[] = {
      {Config_GetNetworkDir(false), na3 + "base/data/"},         {Config_GetNetworkDir(true), na3 + "streamed/data/"},
      {Config_GetTMCDir(true), na3 + "streamed/tmc/"},   {Config_GetOroSpeedsDir(false), na3 + "base/orospeeds/"},
      {Config_GetInrixSpeedsDir(true), na3 + "streamed/ispeeds/"},
      {Config_GetPolygonsDir(true), na3 + "streamed/polygons/"},
      {Config_GetCitiesDir(), na3},                              {Config_GetPlacesDir(), na3},
      {Config_GetRootUpdateDir(false), inst.Runtime() + "NA/3/"},
      {Config_GetRootUpdateDir(true), inst.Runtime() + "NA/3/streamed/"},
      // Explicit revisions (all 32 bits), regions and base directories; only 0xFFFFFFFF (or -1) is the current one.
      {Config_GetUpdateDir("LRGridDir", "network", false, 0, "", ""), maps + "NA/0/base/data/"},
      {Config_GetUpdateDir("LRGridDir", "tmc", false, 0xFFFFFFFFul, "EU", ""), maps + "EU/3/base/tmc/"},
      {Config_GetUpdateDir("LRGridDir", "tmc", false, static_cast<unsigned long>(-1), "", Native("/b").c_str()),
       "/b/NA/3/base/tmc/"},
      {Config_GetUpdateDir("LRGridDir", "other", false, 12, "", ""), maps + "NA/12/"},
      {Config_GetUpdateDir("LRGridDir", "Network", false, 0xFFFFFFFEul, "", ""), maps + "NA/4294967294/"},  // exact
  };
  for (const auto& [got, want] : dirs) EXPECT_EQ(got.str(), Native(want));

  // An empty RegionDir drops the region level.
  Config_SetDirPath("RegionDir", OROustring(""));
  EXPECT_EQ(Config_GetPolygonsDir(false).str(), Native(maps + "3/base/polygons/"));
  // A kind's own directory wins, whatever streamed says, with a trailing separator.
  Config_SetDirPath("LRGridDir", OROustring(inst / "grid"));
  EXPECT_EQ(Config_GetNetworkDir(false).str() + Config_GetNetworkDir(true).str(), inst / "grid/" + inst / "grid/");
  EXPECT_EQ(Config_GetRootUpdateDir(true).str(), inst / "grid/");
  Config_SetDirPath("CitiesDir", OROustring(inst / "cities"));
  EXPECT_EQ(Config_GetCitiesDir().str(), inst / "cities/");
  // Neither the directory nor a root: nothing.
  Config_SetDirPath("RootDir", OROustring(""));
  EXPECT_EQ(Config_GetOroSpeedsDir(false).str() + Config_GetRootDir().str(), "");

  // Update names: the caller's sub-folder is taken as it is written, without a leading "./"; the revision's
  // folder is made only when no sub-folder is given.
  EXPECT_EQ(Dir("UpdateDir", true), update);
  EXPECT_EQ(Config_GetUpdateDirName(5, ".\\extra", "a.bin").str(), Native(update + "5/extra/a.bin"));
  EXPECT_EQ(Config_GetUpdateDirName(5, "./extra", "a.bin").str(), Native(update + "5/extra/a.bin"));
  EXPECT_EQ(Config_GetUpdateDirName(5, "extra/x", "").str(), Native(update + "5/") + "extra/x" + Native("/"));
  EXPECT_FALSE(Exists(update + "5"));
  EXPECT_EQ(Config_GetUpdateDirName(5, "", "").str(), Native(update + "5/"));
  EXPECT_TRUE(Exists(update + "5"));
  EXPECT_EQ(Config_GetUpdateDirName(0xFFFFFFFFul, "", "f").str(), Native(update + "3/f"));  // the current revision

  // The skin folder of the current theme.
  EXPECT_EQ(Config_GetThemeSkinDir().str(), inst / "T/16bit/skin/");
  Config_SetStrVal("Styles", "Theme", "night");
  Config_SetDirPath("ThemesDir", OROustring(""));
  EXPECT_EQ(Config_GetThemeSkinDir().str(), Native("night/skin/"));
  Config_SetStrVal("Styles", "Theme", "");
  EXPECT_EQ(Config_GetThemeSkinDir().str(), "");
  EXPECT_EQ(Config_GetInternalStorageName(true).str() + Config_GetInternalStorageName(false).str(), "");

  // The string forms of a directory (the forms that fill a string: every Dir() of these tests).
  EXPECT_EQ(Config_SetDirPath("MemoDir", OROwstring("/abc")), 1);
  EXPECT_EQ(Config_GetDirPath("MemoDir", false).uString().str(), Native("/abc"));
  EXPECT_EQ(Config_GetDirPathU(OROustring("MemoDir"), true).str(), Native("/abc/"));
  // A caller's buffer: config_api_test.cpp.
}
