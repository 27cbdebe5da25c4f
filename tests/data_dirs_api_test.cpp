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

extern "C" {
long CCallerGetDirPath(const char* name, char* buffer, int size);
int CCallerGetDirNameIsData(void);
int CCallerGetDataStatus(void);
int CCallerIsOutOfBoxFirstRun(void);
}

TEST(DataDirsApi, DataDirectoriesFollowRootRegionRevisionAndKind) {
  Installation inst;
  const std::string maps = inst / "maps/";
  testsupport::MakeDirs(maps);
  inst.WriteDirectories({{"RootDir", maps}, {"RegionDir", "NA"}}, "[Data]\n\"CurrentRevision\"=3\n");

  // The worked example.
  EXPECT_EQ(Config_GetNetworkDir(false).str(), Native(maps + "NA/3/base/data/"));
  EXPECT_EQ(Config_GetTMCDir(true).str(), Native(maps + "NA/3/streamed/tmc/"));
  EXPECT_EQ(Config_GetCitiesDir().str(), Native(maps + "NA/3/"));
  EXPECT_EQ(Config_GetRootUpdateDir(false).str(), Native(inst.Runtime() + "NA/3/"));
  // The other kinds.
  EXPECT_EQ(Config_GetNetworkDir(true).str(), Native(maps + "NA/3/streamed/data/"));
  EXPECT_EQ(Config_GetOroSpeedsDir(false).str(), Native(maps + "NA/3/base/orospeeds/"));
  EXPECT_EQ(Config_GetInrixSpeedsDir(false).str(), Native(maps + "NA/3/base/ispeeds/"));
  EXPECT_EQ(Config_GetPolygonsDir(true).str(), Native(maps + "NA/3/streamed/polygons/"));
  EXPECT_EQ(Config_GetPlacesDir().str(), Native(maps + "NA/3/"));
  EXPECT_EQ(Config_GetRootUpdateDir(true).str(), Native(inst.Runtime() + "NA/3/streamed/"));

  // Explicit revisions, regions and base directories; only 0xFFFFFFFF (or -1) means the current revision.
  EXPECT_EQ(Config_GetUpdateDir("LRGridDir", "network", false, 0, "", "").str(), Native(maps + "NA/0/base/data/"));
  EXPECT_EQ(Config_GetUpdateDir("LRGridDir", "tmc", false, 0xFFFFFFFFul, "EU", "").str(),
            Native(maps + "EU/3/base/tmc/"));
  EXPECT_EQ(Config_GetUpdateDir("LRGridDir", "tmc", false, static_cast<unsigned long>(-1), "", Native("/b")).str(),
            Native("/b/NA/3/base/tmc/"));
  EXPECT_EQ(Config_GetUpdateDir("LRGridDir", "other", false, 12, "", "").str(), Native(maps + "NA/12/"));
  // Exact kinds only.
  EXPECT_EQ(Config_GetUpdateDir("LRGridDir", "Network", false, 12, "", "").str(), Native(maps + "NA/12/"));

  // An empty RegionDir drops the region level.
  Config_SetDirPath("RegionDir", OROustring(""));
  EXPECT_EQ(Config_GetPolygonsDir(false).str(), Native(maps + "3/base/polygons/"));

  // A kind's own directory wins, whatever streamed says, with a trailing separator.
  Config_SetDirPath("LRGridDir", OROustring(inst / "grid"));
  EXPECT_EQ(Config_GetNetworkDir(false).str(), inst / "grid/");
  EXPECT_EQ(Config_GetNetworkDir(true).str(), inst / "grid/");
  EXPECT_EQ(Config_GetRootUpdateDir(true).str(), inst / "grid/");
  Config_SetDirPath("CitiesDir", OROustring(inst / "cities"));
  EXPECT_EQ(Config_GetCitiesDir().str(), inst / "cities/");

  // Neither the directory nor a root: nothing.
  Config_SetDirPath("RootDir", OROustring(""));
  EXPECT_EQ(Config_GetOroSpeedsDir(false).str(), "");
  EXPECT_EQ(Config_GetRootDir().str(), "");
}

TEST(DataDirsApi, UpdateNamesSkinDirectoryAndSmallExports) {
  Installation inst;
  const std::string update = inst / "U/";
  testsupport::MakeDirs(update);
  testsupport::MakeDirs(inst / "T");
  inst.WriteDirectories({{"UpdateDir", update}, {"ThemesDir", inst / "T"}});

  // Both folders exist, so the first start keeps them.
  EXPECT_EQ(Dir("UpdateDir", true), update);
  EXPECT_EQ(Config_GetUpdateDirName(5, ".\\extra", "a.bin").str(), Native(update + "5/extra/a.bin"));
  EXPECT_EQ(Config_GetUpdateDirName(5, "./extra", "a.bin").str(), Native(update + "5/extra/a.bin"));
  // The caller's sub-folder is taken as it is written.
  EXPECT_EQ(Config_GetUpdateDirName(5, "extra/x", "").str(),
            Native(update + "5/") + "extra/x" + testsupport::kSeparator);
  EXPECT_FALSE(Exists(update + "5"));
  EXPECT_EQ(Config_GetUpdateDirName(5, "", "").str(), Native(update + "5/"));
  EXPECT_TRUE(Exists(update + "5"));
  // The current revision (default 1).
  EXPECT_EQ(Config_GetUpdateDirName(0xFFFFFFFFul, "", "f").str(), Native(update + "1/f"));
  EXPECT_TRUE(Exists(update + "1"));

  // The skin folder of the current theme.
  EXPECT_EQ(Config_GetThemeSkinDir().str(), inst / "T/16bit/skin/");
  Config_SetStrVal("Styles", "Theme", "night");
  EXPECT_EQ(Config_GetThemeSkinDir().str(), inst / "T/night/skin/");
  Config_SetDirPath("ThemesDir", OROustring(""));
  EXPECT_EQ(Config_GetThemeSkinDir().str(), Native("night/skin/"));
  Config_SetStrVal("Styles", "Theme", "");
  EXPECT_EQ(Config_GetThemeSkinDir().str(), "");

  EXPECT_EQ(Config_GetInternalStorageName(true).str(), "");
  EXPECT_EQ(Config_GetInternalStorageName(false).str(), "");
  EXPECT_EQ(Config_GetWriteableRootDir().str(), Native("./"));

  // The string forms of a directory read and write.
  OROwstring wide;
  EXPECT_EQ(Config_GetDirPathW("RuntimeDir", wide, false), 1);
  EXPECT_EQ(wide.uString().str(), inst.Runtime());
  OROustring narrow = "stale";
  EXPECT_EQ(Config_GetDirPathU("MemoDir", narrow, true), 0);
  EXPECT_EQ(narrow.str(), "");
  EXPECT_EQ(Config_SetDirPath("MemoDir", OROwstring("/m")), 1);
  EXPECT_EQ(Config_GetDirPathU("MemoDir", narrow, true), 1);
  EXPECT_EQ(narrow.str(), Native("/m/"));
  EXPECT_EQ(Config_GetDirPath("MemoDir", false).uString().str(), Native("/m"));
  EXPECT_EQ(Config_GetDirPathU(OROustring("MemoDir"), true).str(), Native("/m/"));
}

TEST(DataDirsApi, DirectoryIntoACallersBuffer) {
  Installation inst;
  Config_SetDirPath("MemoDir", OROustring("/abc"));

  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  // The text, then zeros up to the buffer's size.
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, 10, true), 1);
  EXPECT_EQ(std::string(buffer), Native("/abc/"));
  for (int i = 5; i < 10; ++i) EXPECT_EQ(buffer[i], '\0') << i;
  EXPECT_EQ(buffer[10], 'x');

  // Exactly fitting, and cut with the terminator in the last byte.
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, 6, true), 1);
  EXPECT_EQ(std::string(buffer), Native("/abc/"));
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, 4, true), 1);
  EXPECT_EQ(std::string(buffer), Native("/ab"));
  EXPECT_EQ(buffer[4], 'x');
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, 1, true), 1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');

  // Nothing is written for a size of 0 or less, or for no buffer; the answer is still given.
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, 0, true), 1);
  EXPECT_EQ(Config_GetDirPath("MemoDir", buffer, -5, true), 1);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(Config_GetDirPath("MemoDir", nullptr, 16, true), 1);

  // Unset: 0 and an empty, zero-filled buffer. RuntimeDir is always set.
  EXPECT_EQ(Config_GetDirPath("KMXDBDir", buffer, sizeof buffer, true), 0);
  for (char c : buffer) EXPECT_EQ(c, '\0');
  char runtime[512];
  EXPECT_EQ(Config_GetDirPath("RuntimeDir", runtime, sizeof runtime, false), 1);
  EXPECT_EQ(std::string(runtime), inst.Runtime());

  // The same from a C program.
  EXPECT_EQ(CCallerGetDirPath("MemoDir", buffer, sizeof buffer), 1);
  EXPECT_EQ(std::string(buffer), Native("/abc/"));
  EXPECT_EQ(CCallerGetDirNameIsData(), 1);
  EXPECT_EQ(CCallerGetDataStatus(), DATA_NOT_FOUND_STICTHING_OFF);
  EXPECT_EQ(CCallerIsOutOfBoxFirstRun(), 1);
}
