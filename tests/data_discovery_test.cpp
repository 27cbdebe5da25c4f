// Finding installed map data at start-up: the normal layout (a "data" folder in a region folder or one level
// below it) and the stitched layout (numbered revisions with base/data). Each test builds one tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "directory_support.h"

using dirtest::Dir;
using dirtest::Installation;
using dirtest::MakeGrid;
using dirtest::UserDir;
using testsupport::MakeDirs;
using testsupport::Native;

TEST(DataDiscovery, NormalDataInTheFirstRegionThatHasACompleteGrid) {
  Installation inst;
  // The root is the working folder on a first start. Version control folders, folders two levels down and
  // incomplete grids hold no data; a link to a folder is a folder.
  for (const char* d : {"NA/.svn/data", "NA/_svn/data", "NA/deep/er/data"}) MakeGrid(inst / "work/" + d);
  for (const char* d : {"EU/data", "EU/2023/data"}) MakeGrid(inst / "work/" + d, false);
  MakeGrid(inst / "elsewhere/data", true, "Data Format: 8");
  MakeDirs(inst / "work/OC");
  if (!testsupport::MakeSymlink(inst / "elsewhere", inst / "work/OC/2024"))  // see testsupport::kNoSymlinks
    MakeGrid(inst / "work/OC/2024/data", true, "Data Format: 8");
  MakeDirs(inst / "work/AF/docs");  // no numeric folder: no stitched data either

  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  // The grid folder without a trailing separator, the folders beside it with one.
  EXPECT_EQ(Dir("LRGridDir"), Native("./OC/2024/data"));
  const std::pair<const char*, const char*> beside[] = {
      {"CitiesDir", "./OC/2024/cities/"},       {"LRGeoDir", "./OC/2024/places/"}, {"PolyDir", "./OC/2024/polygons/"},
      {"OROSpeedsDir", "./OC/2024/orospeeds/"}, {"TMCDir", "./OC/2024/tmc/"},      {"LRSaveDir", "./OC/save/"},
      {"AddonDir", "./OC/addon/"}};
  for (const auto& [name, folder] : beside) EXPECT_EQ(Dir(name), Native(folder)) << name;
  EXPECT_EQ(Config_GetIntVal("Data", "VersionedGrid"), -1);
  // Normal data records no region and no revision.
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
}
