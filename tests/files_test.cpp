// File functions of the utility layer, on real folders.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/orofilename.h>
#include <gtest/gtest.h>

#include "support/test_support.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {
std::vector<std::string> Names(const ListMgr<OROustring>& list) {
  std::vector<std::string> out;
  for (const OROustring* s : list) out.push_back(s->str());
  return out;
}
}  // namespace

TEST(Files, ListingIsSortedByteWiseAndMatchesExtensionsWithoutCase) {
  TempDir dir;
  // Names that differ in more than case, so that they are different files on Windows too.
  for (const char* f : {"b.cgd", "A.CHX", "a.cgd", "C.CGD", "c.txt", "noext", "z.chx"}) WriteFile(dir / f, "x");
  testsupport::MakeDirs(dir / "NA");
  testsupport::MakeDirs(dir / "EU");
  testsupport::MakeDirs(dir / ".svn");

  ListMgr<OROustring> cgd;
  EXPECT_EQ(FileList(cgd, dir.path().c_str(), "cgd"), 3);
  EXPECT_EQ(Names(cgd), (std::vector<std::string>{"C.CGD", "a.cgd", "b.cgd"}));

  ListMgr<OROustring> chx;
  FileList(chx, dir.path().c_str(), "chx");
  EXPECT_EQ(Names(chx), (std::vector<std::string>{"A.CHX", "z.chx"}));

  ListMgr<OROustring> dirs;
  FileList(dirs, dir.path().c_str(), "", "", nullptr, 2);
  EXPECT_EQ(Names(dirs), (std::vector<std::string>{".svn", "EU", "NA"}));

  ListMgr<OROustring> missing;
  EXPECT_EQ(FileList(missing, (dir / "nothing").c_str(), "cgd"), 0);
  EXPECT_EQ(FileList(missing, "", "", "", nullptr, 2), 0);

  // Links count as what they lead to; excluded names are left out.
  if (!testsupport::MakeSymlink("EU", dir / "EU2") || !testsupport::MakeSymlink("b.cgd", dir / "d.cgd")) {
    ASSERT_TRUE(testsupport::kWindows) << "cannot make a symbolic link";
    GTEST_SKIP() << testsupport::kNoSymlinks;
  }
  ListMgr<OROustring> linked, exclude;
  exclude.Add(new OROustring(".svn"));
  FileList(linked, dir.path().c_str(), "", "", &exclude, 2);
  EXPECT_EQ(Names(linked), (std::vector<std::string>{"EU", "EU2", "NA"}));
  ListMgr<OROustring> files;
  EXPECT_EQ(FileList(files, dir.path().c_str(), "", "CGD", nullptr, 0), 4);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"C.CGD", "a.cgd", "b.cgd", "d.cgd"}));
}

TEST(Files, ExistenceTestsAndRequiredFiles) {
  TempDir dir;
  WriteFile(dir / "00000000.qd", "");
  EXPECT_TRUE(FileExists((dir / "00000000.qd").c_str()));
  EXPECT_FALSE(FileExists(dir.path().c_str()));
  EXPECT_TRUE(FileDoesDirExist(dir.path().c_str()));
  EXPECT_FALSE(FileDoesDirExist(""));
  EXPECT_FALSE(FileDoesDirExist(nullptr));

  ListMgr<OROustring> grid;
  grid.Add(new OROustring("00000000.qd"));
  grid.Add(new OROustring("00000000.hsh"));
  EXPECT_FALSE(AreFilesInDir(dir.path().c_str(), grid));
  WriteFile(dir / "00000000.hsh", "");
  EXPECT_TRUE(AreFilesInDir(dir.path().c_str(), grid));
  std::string noSlash = dir.path().substr(0, dir.path().size() - 1);
  EXPECT_TRUE(AreFilesInDir(noSlash.c_str(), grid));
  EXPECT_FALSE(AreFilesInDir("", grid));
  ListMgr<OROustring> none;
  EXPECT_TRUE(AreFilesInDir(dir.path().c_str(), none));

  EXPECT_TRUE(FileCreateDir((dir / "new").c_str()));
  EXPECT_TRUE(FileCreateDir((dir / "new").c_str()));
  EXPECT_EQ(FileErase((dir / "00000000.qd").c_str()), 0);
  EXPECT_NE(FileErase((dir / "00000000.qd").c_str()), 0);
}

TEST(Files, LoadFileAndLineReading) {
  TempDir dir;
  std::string longLine(600, 'x');
  WriteFile(dir / "v.dat", "first\r\n" + longLine + "\nthird");
  char* buffer = nullptr;
  long size = LoadFile((dir / "v.dat").c_str(), &buffer);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 7 + 601 + 5);
  EXPECT_EQ(buffer[size], '\0');
  Mem_Free(buffer);
  EXPECT_EQ(LoadFile((dir / "none").c_str(), &buffer), 0);
  EXPECT_EQ(buffer, nullptr);

  // Lines without their CR LF; of a line longer than the buffer, what fits with the terminator (the rest is
  // skipped), nothing beyond.
  FileHandle* f = FileOpen((dir / "v.dat").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char line[8];
  EXPECT_EQ(FileReadNextLine(f, line, 0), nullptr);
  ASSERT_EQ(FileReadNextLine(f, line, 6), line);
  EXPECT_STREQ(line, "first");
  line[6] = '#';
  ASSERT_NE(FileReadNextLine(f, line, 6), nullptr);
  EXPECT_EQ(std::string(line, 7), std::string(5, 'x') + '\0' + '#');
  ASSERT_NE(FileReadNextLine(f, line, 6), nullptr);
  EXPECT_STREQ(line, "third");
  EXPECT_EQ(FileReadNextLine(f, line, 6), nullptr);
  FileClose(f);
}

TEST(OroFileName, JoinsAndSplitsPaths) {
  using testsupport::Native;
  OroFileName file(OROustring(Native("/maps/NA/data/version.dat")));
  EXPECT_EQ(file.GetFullPath(false).str(), Native("/maps/NA/data/"));
  EXPECT_EQ(file.GetFullPath(true).str(), Native("/maps/NA/data/version.dat"));
  EXPECT_EQ(file.GetFileName(false).str(), "version");
  EXPECT_EQ(file.GetFileName(true).str(), "version.dat");
  EXPECT_EQ(file.GetParentDirectory(true).str(), "data");

  OroFileName set(OROustring(Native("/maps/NA/data")), OROustring(""));
  EXPECT_EQ(set.GetFullPath(false).str(), Native("/maps/NA/data/"));
  EXPECT_EQ(set.GetParentDirectory(true).str(), "NA");
  EXPECT_EQ(set.GetParentDirectory(false).str(), Native("/maps/NA/"));

  OroFileName joined(OROustring(Native("/maps/NA/")), OROustring("data"), OROustring(""));
  EXPECT_EQ(joined.GetFullPath(false).str(), Native("/maps/NA/data/"));
  // An empty first component leaves the folder relative to the current directory.
  OroFileName relative(OROustring(""), OROustring("data"), OROustring(""));
  EXPECT_EQ(relative.GetFullPath(false).str(), Native("data/"));
  OroFileName none(OROustring(""), OROustring(""), OROustring(""));
  EXPECT_EQ(none.GetFullPath(true).str(), "");
  EXPECT_FALSE(none.Exists());
}
