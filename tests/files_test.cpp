// File functions of the utility layer and the atomic write of the platform, on real folders.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/orofilename.h>
#include <gtest/gtest.h>
#include <platform/os.h>

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

  FileHandle* f = FileOpen((dir / "v.dat").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char line[256];
  ASSERT_NE(FileReadNextLine(f, line, sizeof line), nullptr);
  EXPECT_STREQ(line, "first");
  ASSERT_NE(FileReadNextLine(f, line, sizeof line), nullptr);
  EXPECT_EQ(std::string(line), std::string(255, 'x'));  // the rest of a long line is skipped
  ASSERT_NE(FileReadNextLine(f, line, sizeof line), nullptr);
  EXPECT_STREQ(line, "third");
  EXPECT_EQ(FileReadNextLine(f, line, sizeof line), nullptr);
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

TEST(AtomicWrite, ReplacesWholeAndLeavesNothingOnFailure) {
  TempDir dir;
  const std::string target = dir / "user.cfg";
  ASSERT_TRUE(platform::WriteFileAtomically(target, "one\n", 4).ok);
  EXPECT_EQ(testsupport::ReadFile(target), "one\n");
  const unsigned long long id = testsupport::FileId(target);
  ASSERT_TRUE(platform::WriteFileAtomically(target, "two\n", 4).ok);
  EXPECT_EQ(testsupport::ReadFile(target), "two\n");
  EXPECT_NE(testsupport::FileId(target), id);  // a new file took the old one's place

  for (auto step : {platform::FsStep::CreateTemp, platform::FsStep::Write, platform::FsStep::Sync,
                    platform::FsStep::Rename}) {
    platform::InjectFault(step, platform::FsFault::NoSpace);
    platform::Status s = platform::WriteFileAtomically(target, "three\n", 6);
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.reason.find(testsupport::FaultText(platform::FsFault::NoSpace)), std::string::npos) << s.reason;
    EXPECT_EQ(testsupport::ReadFile(target), "two\n");
  }
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), entries));
  ASSERT_EQ(entries.size(), 1u);  // no temporary file left
  EXPECT_EQ(entries[0].name, "user.cfg");

  platform::Status missing = platform::WriteFileAtomically(dir / "no/such/dir/user.cfg", "x", 1);
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.reason.empty());
}

TEST(AtomicWrite, KeepsPermissionBits) {
  if (testsupport::kWindows) GTEST_SKIP() << testsupport::kNoPermissionBits;
  TempDir dir;
  const std::string target = dir / "user.cfg";
  const unsigned mask = testsupport::SetUmask(0);
  testsupport::SetUmask(mask);
  ASSERT_TRUE(platform::WriteFileAtomically(target, "one\n", 4).ok);
  EXPECT_EQ(testsupport::FileMode(target) & 0777, 0644u & ~mask);

  ASSERT_TRUE(testsupport::SetFileMode(target, 0600));
  ASSERT_TRUE(platform::WriteFileAtomically(target, "two\n", 4).ok);
  EXPECT_EQ(testsupport::FileMode(target) & 0777, 0600u);
}

TEST(AtomicWrite, ALinkStaysALinkAndTheFileItNamesGetsTheText) {
  TempDir dir;
  testsupport::MakeDirs(dir / "real");
  WriteFile(dir / "real/product.cfg", "old");
  if (!testsupport::MakeSymlink("real/product.cfg", dir / "product.cfg")) {
    ASSERT_TRUE(testsupport::kWindows) << "cannot make a symbolic link";
    GTEST_SKIP() << testsupport::kNoSymlinks;
  }
  ASSERT_TRUE(platform::WriteFileAtomically(dir / "product.cfg", "new", 3).ok);
  EXPECT_TRUE(testsupport::IsSymlink(dir / "product.cfg"));
  EXPECT_EQ(testsupport::ReadFile(dir / "real/product.cfg"), "new");
  EXPECT_EQ(testsupport::ReadFile(dir / "product.cfg"), "new");
  EXPECT_EQ(testsupport::Listing(dir / "real"), std::vector<std::string>{"product.cfg"});
}
