// The data directory exports: the directories of updatable data composed from root, region, revision and
// kind, the update and skin directories, and the directory read into a caller's buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "directory_support.h"

using dirtest::Dir;
using dirtest::Installation;
using testsupport::Exists;
using testsupport::Native;

TEST(DataDirsApi, DataUpdateAndSkinDirectoriesAndCallersBuffers) {
  Installation inst;
  const std::string maps = inst / "maps/", na3 = maps + "NA/3/", update = inst / "U/";
  for (const std::string& d : {maps, update, inst / "T"}) testsupport::MakeDirs(d);
  inst.WriteDirectories({{"RootDir", maps}, {"RegionDir", "NA"}, {"UpdateDir", update}, {"ThemesDir", inst / "T"}},
                        "[Data]\n\"CurrentRevision\"=3\n");

  const std::pair<OROustring, std::string> dirs[] = {
      {Config_GetNetworkDir(false), na3 + "base/data/"},         {Config_GetNetworkDir(true), na3 + "streamed/data/"},
      {Config_GetTMCDir(true), na3 + "streamed/tmc/"},           {Config_GetTMCDir(false), na3 + "base/tmc/"},
      {Config_GetOroSpeedsDir(false), na3 + "base/orospeeds/"},
      {Config_GetInrixSpeedsDir(true), na3 + "streamed/ispeeds/"},
      {Config_GetPolygonsDir(true), na3 + "streamed/polygons/"}, {Config_GetPolygonsDir(false), na3 + "base/polygons/"},
      {Config_GetCitiesDir(), na3},                              {Config_GetPlacesDir(), na3},
      {Config_GetRootUpdateDir(false), inst.Runtime() + "NA/3/"},
      {Config_GetRootUpdateDir(true), inst.Runtime() + "NA/3/streamed/"},
      // Explicit revisions, regions and base directories; only 0xFFFFFFFF (or -1) means the current revision.
      {Config_GetUpdateDir("LRGridDir", "network", false, 0, "", ""), maps + "NA/0/base/data/"},
      {Config_GetUpdateDir("LRGridDir", "tmc", false, 0xFFFFFFFFul, "EU", ""), maps + "EU/3/base/tmc/"},
      {Config_GetUpdateDir("LRGridDir", "tmc", false, static_cast<unsigned long>(-1), "", "/b"), "/b/NA/3/base/tmc/"},
      {Config_GetUpdateDir("LRGridDir", "other", false, 12, "", ""), maps + "NA/12/"},
      {Config_GetUpdateDir("LRGridDir", "Network", false, 12, "", ""), maps + "NA/12/"},  // exact kinds only
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

  // The string forms of a directory.
  OROwstring wide;
  EXPECT_EQ(Config_GetDirPathW("RuntimeDir", wide, false), 1);
  EXPECT_EQ(wide.uString().str(), inst.Runtime());
  OROustring narrow = "stale";
  EXPECT_EQ(Config_GetDirPathU("MemoDir", narrow, true), 0);
  EXPECT_EQ(narrow.str(), "");
  EXPECT_EQ(Config_SetDirPath("MemoDir", OROwstring("/abc")), 1);
  EXPECT_EQ(Config_GetDirPath("MemoDir", false).uString().str(), Native("/abc"));
  EXPECT_EQ(Config_GetDirPathU(OROustring("MemoDir"), true).str(), Native("/abc/"));

  // A caller's buffer: the text and zeros up to its size; a text as long as the buffer or longer is cut with
  // the terminator in the last byte. Nothing past the size is written.
  const std::string text = Native("/abc/");
  for (int size : {10, 6, 5, 4, 1}) {
    char buffer[12];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, size, true), 1);
    const std::string kept = text.substr(0, static_cast<size_t>(size) - 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(size) + 1), kept + std::string(size - kept.size(), '\0') + "x");
  }
  // Nothing is written for a size of 0 or less, or for no buffer; the answer is still given.
  char buffer[16] = "untouched";
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, 0, true) + Config_GetDirPath("MemoDir", buffer, -5, true), 2);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(Config_GetDirPath("MemoDir", nullptr, 16, true), 1);
  EXPECT_EQ(Config_GetDirPath("KMXDBDir", buffer, sizeof buffer, true), 0);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\0'));
}
