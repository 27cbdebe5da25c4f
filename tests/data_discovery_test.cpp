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

namespace {

bool UserHasInt(const char* section, const char* key) { return Config_DoesKeyExist(section, key); }

}  // namespace

TEST(DataDiscovery, NormalDataUnderTwoRegionsTheFirstRegionWins) {
  Installation inst;
  // The root is the working folder on a first start; NA holds its data one level down, EU directly.
  MakeGrid(inst / "work/NA/2024/data", true, "Data Format: 8");
  MakeDirs(inst / "work/NA/2024/cities");
  MakeGrid(inst / "work/EU/data");

  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  // The grid folder without a trailing separator, the folders beside it with one.
  EXPECT_EQ(Dir("LRGridDir"), Native("./NA/2024/data"));
  EXPECT_EQ(Dir("CitiesDir"), Native("./NA/2024/cities/"));
  EXPECT_EQ(Dir("LRGeoDir"), Native("./NA/2024/places/"));
  EXPECT_EQ(Dir("PolyDir"), Native("./NA/2024/polygons/"));
  EXPECT_EQ(Dir("OROSpeedsDir"), Native("./NA/2024/orospeeds/"));
  EXPECT_EQ(Dir("TMCDir"), Native("./NA/2024/tmc/"));
  EXPECT_EQ(Dir("LRSaveDir"), Native("./NA/save/"));
  EXPECT_EQ(Dir("AddonDir"), Native("./NA/addon/"));
  EXPECT_EQ(Config_GetIntVal("Data", "VersionedGrid"), -1);
  // Normal data records no region and no revision.
  EXPECT_EQ(UserDir("RegionDir"), "<unset>");
  EXPECT_FALSE(UserHasInt("user\\Data", "CurrentRevision"));
  EXPECT_EQ(Config_GetNetworkDir(false).str(), Native("./NA/2024/data/"));

  // The status check of the start read the version file of the data in use.
  TVersionStruct running;
  EXPECT_TRUE(Config_GetCurRunningAppDataVerInfo(running));
  EXPECT_EQ(running.fileName.GetFullPath(true).str(), Native("./NA/2024/data/version.dat"));
  EXPECT_EQ(running.dataFormat.str(), "8");
  EXPECT_EQ(running.productName.str(), "Test Maps");

  // The next start finds LRGridDir set and searches nothing, even when better-placed data appears.
  MakeGrid(inst / "work/NA/data");
  Config_Reset();
  EXPECT_EQ(Dir("LRGridDir"), Native("./NA/2024/data"));
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
}

TEST(DataDiscovery, DataDirectlyInTheRegionFolderWinsOverASubFolder) {
  Installation inst;
  MakeGrid(inst / "maps/NA/a/data");
  MakeGrid(inst / "maps/NA/data");
  inst.WriteDirectories({{"RootDir", inst / "maps"}});

  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
  EXPECT_EQ(Dir("LRGridDir"), inst / "maps/NA/data");
  EXPECT_EQ(Dir("CitiesDir"), inst / "maps/NA/cities/");
  EXPECT_EQ(Dir("LRSaveDir"), inst / "maps/NA/save/");
}

TEST(DataDiscovery, VersionControlFoldersDeepFoldersAndHalfCompleteGridsHoldNoData) {
  Installation inst;
  MakeGrid(inst / "maps/NA/.svn/data");
  MakeGrid(inst / "maps/NA/_svn/data");
  MakeGrid(inst / "maps/NA/deep/er/data");   // two levels below the region folder
  MakeGrid(inst / "maps/EU/data", false);    // the .hsh file is missing
  MakeGrid(inst / "maps/OC/x/data", false);
  MakeDirs(inst / "maps/AF/docs");            // no numeric folder: no stitched data either
  inst.WriteDirectories({{"RootDir", inst / "maps"}});

  DirectoryMgr* dirs = GetDirectoryMgr();
  EXPECT_EQ(Config_GetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);
  EXPECT_EQ(UserDir("LRGridDir"), "<unset>");
  EXPECT_EQ(UserDir("LRSaveDir"), "<unset>");
  EXPECT_EQ(UserDir("RegionDir"), "<unset>");
  EXPECT_FALSE(DirectoryMgrTestAccess::DiscoverDataInRegionRoot(*dirs, false, "NA"));
  EXPECT_FALSE(DirectoryMgrTestAccess::DiscoverDataInRegionRoot(*dirs, true, "AF"));
  EXPECT_FALSE(DirectoryMgrTestAccess::DiscoverDataInRegionRoot(*dirs, false, "SA"));  // no such folder

  // Completing the grid makes the region's data found, one region at a time.
  testsupport::WriteFile(inst / "maps/EU/data/00000000.hsh", "hsh");
  EXPECT_TRUE(DirectoryMgrTestAccess::DiscoverDataInRegionRoot(*dirs, false, "EU"));
  EXPECT_EQ(Dir("LRGridDir"), inst / "maps/EU/data");
  EXPECT_EQ(Dir("LRSaveDir"), inst / "maps/EU/save/");
  EXPECT_EQ(Config_GetDataStatus(), DATA_FOUND_NORMAL);
}

TEST(DataDiscovery, StitchedRevisionsTheNewestCompleteOneIsUsed) {
  Installation inst;
  const std::string na = inst / "maps/NA/";
  MakeGrid(na + "3/base/data", true, "Data Format: 8");
  MakeGrid(na + "12/base/data", false);  // newest, incomplete
  MakeGrid(na + "7/base/data", true, "Data Format: 8.0");
  MakeDirs(na + "docs");
  // Names that are numbers but no revision a setting could hold: never used.
  MakeGrid(na + "4294967295/base/data");
  MakeGrid(na + "99999999999999999999/base/data");
  MakeGrid(inst / "maps/EU/20/base/data");
  inst.WriteDirectories({{"RootDir", inst / "maps"}});

  DirectoryMgr* dirs = GetDirectoryMgr();
  EXPECT_EQ(Config_GetIntVal("Data", "CurrentRevision"), 7);
  EXPECT_EQ(UserDir("RegionDir"), "NA");
  EXPECT_EQ(Dir("LRSaveDir"), Native(na + "save/"));
  EXPECT_EQ(Dir("AddonDir"), Native(na + "addon/"));
  // Stitched data writes neither the grid folder nor the data folders.
  EXPECT_EQ(UserDir("LRGridDir"), "<unset>");
  EXPECT_EQ(UserDir("CitiesDir"), "<unset>");
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

  // The next start: no normal data, but the recorded revision is complete, so only the region folders
  // are written again and the revision stays, even though a newer complete one appeared.
  MakeGrid(na + "15/base/data");
  Config_SetDirPath("LRSaveDir", OROustring(""));
  Config_Reset();
  EXPECT_EQ(Dir("LRSaveDir"), Native(na + "save/"));
  EXPECT_EQ(Config_GetIntVal("Data", "CurrentRevision"), 7);

  // When the recorded revision breaks, the search runs again and takes the newest complete one.
  std::filesystem::remove(na + "7/base/data/00000000.hsh");
  Config_Reset();
  EXPECT_EQ(Config_GetIntVal("Data", "CurrentRevision"), 15);
  EXPECT_EQ(Config_GetNetworkDir(false).str(), Native(na + "15/base/data/"));

  // With stitching allowed and the network folder of the revision incomplete, nothing is found.
  std::filesystem::remove(na + "15/base/data/00000000.hsh");
  DirectoryMgr* next = GetDirectoryMgr();
  DirectoryMgrTestAccess::SetStitchedDataEnabled(*next, true);
  EXPECT_EQ(next->GetDataStatus(), DATA_NOT_FOUND);
}
