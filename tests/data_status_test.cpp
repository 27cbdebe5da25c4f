// Finding installed map data at start-up: the normal layout (a "data" folder in a region folder or one level
// below it) and the stitched layout (numbered revisions with base/data). The data status for each kind of
// version file and grid, its log lines and the first-run flag; reading the version.dat files of data sets and
// the cache of those already read. Each test builds one tree.

#include <platform/faults.h>

#include "directory_support.h"

using dirtest::Dir;
using dirtest::Installation;
using dirtest::MakeGrid;
using dirtest::UserDir;
using testsupport::MakeDirs;
using testsupport::Native;
using testsupport::WriteFile;

TEST(DataStatus, VersionFilesGridsTheStatusTheyGiveAndTheFirstRunFlag) {
  Installation inst;
  const std::string grid = inst / "grid", version = grid + "/version.dat";
  dirtest::MakeGrid(grid);
  inst.WriteDirectories({{"LRGridDir", grid}});
  testsupport::LogCapture log("android");
  // Replacing the directory manager as the very first call starts the library once.
  ResetDataDirMgr();
  EXPECT_EQ(dirtest::StatusChecks(log), 1u);

  // No version file: the data is found and nothing is known about its version.
  TVersionStruct running;
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  EXPECT_TRUE(Config_GetCurRunningAppDataVerInfo(running) && running.fileName.GetFullPath(true).empty());

  const std::pair<const char*, eDataStatus> cases[] = {
      {"Data Format: 8\n", DATA_FOUND_NORMAL},    {"data format:   8.0  \n", DATA_FOUND_NORMAL},
      {"Data Format: 8.0.0.0\n", DATA_FOUND_NORMAL}, {"Data Format: 9\n", DATA_FOUND_SWVERSION_MISMATCH},
      {"Data Format: 8.0.0.0.1\n", DATA_FOUND_SWVERSION_MISMATCH},  // longer than Version\Major
      {"", DATA_FOUND_SWVERSION_MISMATCH},
      {"\xEF\xBB\xBF" "Data Format: 8\r\n", DATA_FOUND_NORMAL},  // as Notepad saves it
      {"Data Format: 8\nLanguage:\ten \n", DATA_FOUND_NORMAL},
  };
  auto status = [&](const char* text) { return WriteFile(version, text), Config_GetDataStatus(); };
  for (const auto& [text, expected] : cases) EXPECT_EQ(status(text), expected) << text;
  Config_GetCurRunningAppDataVerInfo(running);
  EXPECT_EQ(running.language.str(), "en");
  // A file without a format line after one with it: nothing of the older file is kept.
  EXPECT_EQ(status("Product Name: Other\n"), DATA_FOUND_SWVERSION_MISMATCH);
  Config_GetCurRunningAppDataVerInfo(running);
  EXPECT_EQ(running.productName.str() + running.dataFormat.str() + running.language.str(), "Other");
  EXPECT_EQ(running.fileName.GetFullPath(true).str(), Native(version));

  // The major version of the software decides.
  Config_SetStrVal("Version", "Major", "9.1");
  EXPECT_EQ(status("Data Format: 9\n"), DATA_FOUND_NORMAL);
  EXPECT_EQ(status("Data Format: 9.1.2\n"), DATA_FOUND_SWVERSION_MISMATCH);
  // A version file that is a folder is no version file.
  std::filesystem::remove(version);
  EXPECT_TRUE(std::filesystem::create_directory(version));
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);

  // An incomplete grid is not found; where stitched data may stand in, LRGridDir is also the network folder.
  std::filesystem::remove(grid + "/00000000.hsh");
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);
  DirectoryMgr* dirs = GetDirectoryMgr();
  DirectoryMgrTestAccess::SetStitchedDataEnabled(*dirs, true);
  EXPECT_EQ(dirs->GetDataStatus(), DATA_NOT_FOUND);

  // Each check logs that it begins (android switch) and its outcome (always), with the status's name.
  EXPECT_EQ(log.Matching("L5 C16 directorymgr:389 ").size(), dirtest::StatusChecks(log));
  EXPECT_EQ(log.Matching("L5 C0 directorymgr:442 T").size(), dirtest::StatusChecks(log));
  for (const char* name : {"FOUND_NORMAL", "FOUND_SWVERSION_MISMATCH", "NOT_FOUND_STICTHING_OFF", "NOT_FOUND"})
    EXPECT_FALSE(log.Matching(std::string("DirectoryMgr::GetDataStatus() ret[DATA_") + name + "]").empty()) << name;
  testsupport::LogCapture quiet;  // without the switch only the outcome
  dirs->GetDataStatus();
  EXPECT_EQ(quiet.Lines().size(), 1u);

  // The first-run flag: answered once per directory manager, and stored as 0 for the next start.
  EXPECT_TRUE(Config_IsOutOfBoxFirstRun());
  EXPECT_NE(testsupport::ReadFile(inst.UserCfg()).find("\"DrivoraOutOfBoxFirstRun\"=0"), std::string::npos);
  // The same instance keeps its answer; a new directory manager reads the stored 0.
  EXPECT_TRUE(GetDirectoryMgr()->IsOutOfBoxFirstRun());
  Config_Reset();
  EXPECT_FALSE(Config_IsOutOfBoxFirstRun());
  Config_SetIntVal("User Settings", "DrivoraOutOfBoxFirstRun", 1);
  EXPECT_FALSE(Config_IsOutOfBoxFirstRun());
  ResetDataDirMgr();
  EXPECT_TRUE(Config_IsOutOfBoxFirstRun());

  // Version files of other data sets: the head of the file is read, and answered from a cache until reloaded.
  dirs = GetDirectoryMgr();
  const std::string dir = inst / "set", file = Native(dir + "/version.dat");
  testsupport::MakeDirs(dir);
  // Labels in any case; "Version:" is no label of ours, a label must begin the line, the later line wins, a
  // line is cut at 255 bytes, and only the first ten lines count.
  WriteFile(file, "product name:Maps of Somewhere\r\ndata format:   8.0  \nData Version: 1\n\nVersion: 5\n"
                  "  Grid Data: indented\nData Version: 2\nLanguage: en\nGrid Data:" + std::string(300, 'g') +
                  "\nProduct Name: line ten\nData Format: line eleven\n");
  // The label only has to contain one of the four texts, in any case; others leave the value as it was.
  const std::pair<const char*, std::string> labels[] = {
      {"Product Name:", "line ten"}, {"the DATA FORMAT: please", "8.0"}, {"data version:", "2"},
      {"Grid Data:", std::string(245, 'g')}, {"Language:", "untouched"}, {nullptr, "untouched"}};
  for (const auto& [label, expected] : labels) {
    OROustring value = "untouched";
    EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", label, value, false));
    EXPECT_EQ(value.str(), expected) << (label ? label : "null");
  }

  // The file changes on disk: the cache still answers, also for other spellings of the folder (relative ones
  // from the current folder, work/), until a reload through any of them reads the file again (fields it lacks
  // are then empty).
  WriteFile(file, "Data Version: V2\n");
  EXPECT_EQ(Config_GetDataVersionInfo(dir + "/", "version.dat", "Data Version:", false).str(), "2");
  EXPECT_EQ(Config_GetDataVersionInfo("../set", "version.dat", "Data Version:", true).str(), "V2");
  EXPECT_EQ(Config_GetDataVersionInfo(dir, "version.dat", "Data Format:", false).str(), "");
  // On POSIX, ".." after a link leads to its target's parent: not this file (which "link/../set" spells), but
  // another one, with a record of its own.
  if (!testsupport::kWindows && testsupport::MakeSymlink(inst / "other/deep", inst / "link")) {
    testsupport::MakeDirs(inst / "other/deep");
    testsupport::MakeDirs(inst / "other/set");
    WriteFile(inst / "other/set/version.dat", "Product Name: Other\n");
    EXPECT_EQ(Config_GetDataVersionInfo(inst / "link/../set", "version.dat", "Product Name:", false).str(), "Other");
    // A reload through another spelling of that folder (a link to it) is the reload of the same record.
    WriteFile(inst / "other/set/version.dat", "Product Name: Again\n");
    ASSERT_TRUE(testsupport::MakeSymlink(inst / "other/set", inst / "same"));
    EXPECT_EQ(Config_GetDataVersionInfo(inst / "same", "version.dat", "Product Name:", true).str(), "Again");
    EXPECT_EQ(Config_GetDataVersionInfo(inst / "other/set", "version.dat", "Product Name:", false).str(), "Again");
  }
  // A deleted file is answered from the cache until a reload drops its record.
  std::filesystem::remove(file);
  EXPECT_EQ(Config_GetDataVersionInfo("./../set/", "version.dat", "Data Version:", false).str(), "V2");
  OROustring value = "untouched";
  EXPECT_FALSE(dirs->GetDataVersionInfo(dir, "version.dat", "Data Version:", value, true) ||
               dirs->GetDataVersionInfo(dir, "version.dat", "Data Version:", value, false));
  EXPECT_EQ(value.str(), "untouched");

  // An empty file reads with empty fields; a missing file and a folder of that name are no version files (the
  // folder's path as long as that of the empty file, which the cache holds: a path is matched whole).
  WriteFile(dir + "/empty.dat", "");
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "empty.dat", "Product Name:", value, false));
  EXPECT_EQ(value.str(), "");
  std::filesystem::create_directory(dir + "/a-dir.dat");
  EXPECT_FALSE(dirs->GetDataVersionInfo(dir, "a-dir.dat", nullptr, value, false));
  EXPECT_EQ(Config_GetDataVersionInfo(dir, "none.dat", "Data Version:", true).str(), "");
  // A line more than 64 KiB longer than what is taken of it is no text (a data file under the name): the file
  // ends there, unread.
  for (const auto& [length, expected] : {std::pair{60000, "3"}, std::pair{70000, ""}}) {
    WriteFile(dir + "/long.dat", "Product Name: P" + std::string(length, 'x') + "\nData Version: 3\n");
    EXPECT_EQ(Config_GetDataVersionInfo(dir, "long.dat", "Data Version:", true).str(), expected) << length;
  }
}

TEST(DataDiscovery, NormalDataInTheFirstRegionThatHasACompleteGrid) {
  Installation inst;
  // The root is the working folder on a first start. Version control folders, a folder whose name holds a line
  // break (no settings file can record it; Windows makes none), folders two levels down and incomplete grids hold
  // no data; a link to a folder is a folder.
  for (const char* d :
       {"NA/.svn/data", "NA/_svn/data", "NA/deep/er/data", testsupport::kWindows ? "NA/_svn/data" : "NA/v\n2/data"})
    MakeGrid(inst / "work/" + d);
  for (const char* d : {"EU/data", "EU/2023/data"}) MakeGrid(inst / "work/" + d, false);
  MakeGrid(inst / "elsewhere/data", true, "Data Format: 8");
  MakeDirs(inst / "work/OC");
  if (!testsupport::MakeSymlink(inst / "elsewhere", inst / "work/OC/2024"))  // see testsupport::kNoSymlinks
    MakeGrid(inst / "work/OC/2024/data", true, "Data Format: 8");
  MakeDirs(inst / "work/AF/docs");  // no numeric folder: no stitched data either

  inst.WriteDirectories({}, "[Data]\n\"VersionedGrid\"=3\n");  // what versioned data of an earlier start left

  platform::faults::Count();
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  // What the start recorded, the directory table and the data found, went to user.cfg in one save, made durable
  // with the folder that names it (Windows has no sync of a folder).
  EXPECT_EQ(platform::faults::Calls(platform::faults::Call::Rename), 1u);
  EXPECT_EQ(platform::faults::Calls(platform::faults::Call::Sync), testsupport::kWindows ? 1u : 2u);
  platform::faults::Clear();
  // The grid folder without a trailing separator, the folders beside it with one, those of saves in the region
  // folder (every one of them: the tool's dirs).
  EXPECT_EQ(Dir("LRGridDir") + "|" + Dir("CitiesDir") + Dir("LRSaveDir"),
            Native("./OC/2024/data|./OC/2024/cities/./OC/save/"));
  // Normal data records an unversioned grid, and no region and no revision.
  EXPECT_EQ(Config_GetIntValDefault("user\\Data", "VersionedGrid", 0), -1);
  EXPECT_FALSE(Config_DoesKeyExist("user\\Directories", "RegionDir") ||
               Config_DoesKeyExist("user\\Data", "CurrentRevision"));
  EXPECT_EQ(Config_GetNetworkDir(false).str(), Native("./OC/2024/data/"));
  // The status check of the start read the version file of the data in use.
  TVersionStruct running;
  EXPECT_TRUE(Config_GetCurRunningAppDataVerInfo(running));
  EXPECT_EQ(running.fileName.GetFullPath(true).str() + "|" + running.dataFormat.str(),
            Native("./OC/2024/data/version.dat") + "|8");

  // The next start finds LRGridDir set and searches nothing, even when better-placed data appears.
  for (const char* d : {"EU/data", "EU/2023/data"}) MakeGrid(inst / "work/" + d);
  Config_Reset();
  EXPECT_EQ(Dir("LRGridDir"), Native("./OC/2024/data"));
  // Without LRGridDir it searches again: data directly in the region folder wins over a sub-folder's.
  Config_SetDirPath("LRGridDir", OROustring(""));
  Config_Reset();
  EXPECT_EQ(Dir("LRGridDir"), Native("./EU/data"));
  EXPECT_EQ(Dir("CitiesDir") + Dir("LRSaveDir"), Native("./EU/cities/./EU/save/"));
}

TEST(DataDiscovery, StitchedRevisionsTheNewestCompleteOneIsUsed) {
  Installation inst;
  const std::string na = inst / "maps/NA/";
  MakeGrid(na + "0/base/data");
  MakeGrid(na + "3/base/data");
  MakeGrid(na + "12/base/data", false);  // newer, incomplete
  MakeGrid(na + "7/base/data", true, "Data Format: 8.0");
  MakeDirs(na + "docs");
  // Names that are numbers but no revision a setting could hold are never used.
  for (const char* n : {"2147483648", "4294967295", "99999999999999999999"}) MakeGrid(na + n + "/base/data");
  MakeGrid(inst / "maps/EU/20/base/data");
  inst.WriteDirectories({{"RootDir", inst / "maps"}});

  DirectoryMgr* dirs = GetDirectoryMgr();
  EXPECT_EQ(Config_GetIntVal("Data", "CurrentRevision"), 7);
  EXPECT_EQ(UserDir("RegionDir"), "NA");
  EXPECT_EQ(Dir("LRSaveDir") + Dir("AddonDir"), Native(na + "save/" + na + "addon/"));
  // Stitched data writes neither the grid folder nor the data folders.
  EXPECT_EQ(UserDir("LRGridDir") + UserDir("CitiesDir"), "<unset><unset>");
  EXPECT_EQ(Config_GetNetworkDir(false).str(), Native(na + "7/base/data/"));
  EXPECT_EQ(Config_GetCitiesDir().str(), Native(na + "7/"));

  // Found, but stitched data may not stand in in this library.
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);
  DirectoryMgrTestAccess::SetStitchedDataEnabled(*dirs, true);
  EXPECT_EQ(dirs->GetDataStatus(), DATA_FOUND_STITCHED);
  TVersionStruct running;
  dirs->GetCurRunningDataVerInfo(running);
  EXPECT_EQ(running.dataFormat.str(), "8.0");
  EXPECT_EQ(running.fileName.GetFullPath(true).str(), Native(na + "7/base/data/version.dat"));

  // The next start: no normal data, but the recorded revision is complete, so only the region folders are
  // written again and the revision stays, even though a newer complete one appeared.
  MakeGrid(na + "2147483647/base/data");
  Config_SetDirPath("LRSaveDir", OROustring(""));
  Config_Reset();
  EXPECT_EQ(Dir("LRSaveDir"), Native(na + "save/"));
  EXPECT_EQ(Config_GetIntVal("Data", "CurrentRevision"), 7);

  // When the recorded revision breaks, the search runs again and takes the newest complete one, down to 0.
  for (const auto& [broken, next] : {std::pair("7", "2147483647"), std::pair("2147483647", "3"), std::pair("3", "0")}) {
    std::filesystem::remove(na + broken + "/base/data/00000000.hsh");
    Config_Reset();
    EXPECT_EQ(Config_GetNetworkDir(false).str(), Native(na + next + "/base/data/"));
  }
  EXPECT_EQ(Config_GetIntVal("Data", "CurrentRevision"), 0);

  // With stitching allowed and the network folder of the revision incomplete, nothing is found.
  std::filesystem::remove(na + "0/base/data/00000000.hsh");
  DirectoryMgr* next = GetDirectoryMgr();
  DirectoryMgrTestAccess::SetStitchedDataEnabled(*next, true);
  EXPECT_EQ(next->GetDataStatus(), DATA_NOT_FOUND);
  // A search passes over a region whose revisions are all incomplete for the next region's.
  Config_Reset();
  EXPECT_EQ(Config_GetNetworkDir(false).str(), Native(inst / "maps/EU/20/base/data/"));
}
