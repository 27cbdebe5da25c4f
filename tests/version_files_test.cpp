// Reading version.dat files and the cache of files already read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "directory_support.h"

using dirtest::Installation;
using testsupport::WriteFile;

TEST(VersionFiles, LinesLabelsAndLimitsOfOneFile) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string file = inst / "version.dat";

  WriteFile(file,
            "product name:Maps of Somewhere\r\n"
            "data format:   8.0  \n"
            "Data Version: 1\n"
            "\n"
            "Version: 5\n"                 // no label of ours
            "  Grid Data: indented\n"      // a label must begin the line
            "Data Version: 2\n"            // the later one wins
            "Language:\ten \n"
            "x\n"
            "y\n"
            "Grid Data: line eleven\n");  // past the first ten lines
  TVersionStruct v;
  v.gridData = "before";
  ASSERT_TRUE(DirectoryMgrTestAccess::ReadVersionFile(*dirs, file, v));
  EXPECT_EQ(v.fileName.GetFullPath(true).str(), file);
  EXPECT_EQ(v.productName.str(), "Maps of Somewhere");
  EXPECT_EQ(v.dataFormat.str(), "8.0");
  EXPECT_EQ(v.dataVersion.str(), "2");
  EXPECT_EQ(v.language.str(), "en");
  EXPECT_EQ(v.gridData.str(), "before");

  // An empty file reads; only the file name changes.
  const std::string empty = inst / "empty.dat";
  WriteFile(empty, "");
  EXPECT_TRUE(DirectoryMgrTestAccess::ReadVersionFile(*dirs, empty, v));
  EXPECT_EQ(v.fileName.GetFullPath(true).str(), empty);
  EXPECT_EQ(v.dataFormat.str(), "8.0");

  // A missing file, or a folder of that name, leaves the record untouched.
  EXPECT_FALSE(DirectoryMgrTestAccess::ReadVersionFile(*dirs, inst / "none.dat", v));
  std::filesystem::create_directory(inst / "folder.dat");
  EXPECT_FALSE(DirectoryMgrTestAccess::ReadVersionFile(*dirs, inst / "folder.dat", v));
  EXPECT_EQ(v.fileName.GetFullPath(true).str(), empty);

  // A line longer than 255 characters is cut.
  WriteFile(file, "Product Name: " + std::string(400, 'p') + "\n");
  TVersionStruct longLine;
  ASSERT_TRUE(DirectoryMgrTestAccess::ReadVersionFile(*dirs, file, longLine));
  EXPECT_EQ(longLine.productName.str(), std::string(255 - 14, 'p'));
}

TEST(VersionFiles, RequestsAreAnsweredFromTheCacheUnlessReloaded) {
  Installation inst;
  DirectoryMgr* dirs = GetDirectoryMgr();
  testsupport::MakeDirs(inst / "set");
  const std::string dir = inst / "set";
  WriteFile(dir + "/version.dat", "Product Name: P1\nData Version: V1\nData Format: 8\nGrid Data: G1\nLanguage: en\n");
  WriteFile(dir + "/other.dat", "Data Version: O1\n");

  OROustring value = "untouched";
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", "Grid Data:", value, false));
  EXPECT_EQ(value.str(), "G1");
  // The label only has to contain one of the four texts, in any case.
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", "the PRODUCT NAME: please", value, false));
  EXPECT_EQ(value.str(), "P1");
  value = "untouched";
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", "Language:", value, false));
  EXPECT_EQ(value.str(), "untouched");
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", nullptr, value, false));
  EXPECT_EQ(value.str(), "untouched");

  // The file changes on disk: the cache still answers; the same file named through another spelling of
  // its folder shares the record.
  WriteFile(dir + "/version.dat", "Data Version: V2\n");
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir + "/", "version.dat", "Data Version:", value, false));
  EXPECT_EQ(value.str(), "V1");
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "other.dat", "Data Version:", value, false));
  EXPECT_EQ(value.str(), "O1");
  const std::string versionPath = testsupport::Native(dir + "/version.dat");
  const std::string otherPath = testsupport::Native(dir + "/other.dat");
  EXPECT_EQ(DirectoryMgrTestAccess::CachedVersionFiles(*dirs), (std::vector<std::string>{versionPath, otherPath}));

  // A reload reads the file again; its record moves to the end, and fields the file lacks are empty.
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", "Data Version:", value, true));
  EXPECT_EQ(value.str(), "V2");
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "version.dat", "Data Format:", value, false));
  EXPECT_EQ(value.str(), "");
  EXPECT_EQ(DirectoryMgrTestAccess::CachedVersionFiles(*dirs), (std::vector<std::string>{otherPath, versionPath}));

  // A file that does not exist is not cached; a reload of a deleted file drops its record.
  value = "untouched";
  EXPECT_FALSE(dirs->GetDataVersionInfo(dir, "none.dat", "Data Version:", value, false));
  EXPECT_EQ(value.str(), "untouched");
  std::filesystem::remove(otherPath);
  EXPECT_TRUE(dirs->GetDataVersionInfo(dir, "other.dat", "Data Version:", value, false));
  EXPECT_EQ(value.str(), "O1");
  EXPECT_FALSE(dirs->GetDataVersionInfo(dir, "other.dat", "Data Version:", value, true));
  EXPECT_EQ(DirectoryMgrTestAccess::CachedVersionFiles(*dirs), (std::vector<std::string>{versionPath}));

  // The export answers the same, empty when there is nothing.
  EXPECT_EQ(Config_GetDataVersionInfo(dir, "version.dat", "Data Version:", false).str(), "V2");
  EXPECT_EQ(Config_GetDataVersionInfo(dir, "none.dat", "Data Version:", true).str(), "");
}
