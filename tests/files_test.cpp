// File functions of the utility layer, on real folders.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <gtest/gtest.h>
#include <platform/os.h>

#include "support/file_kinds.h"
#include "support/test_support.h"

using testsupport::TempDir;
using testsupport::WriteFile;
using Names = std::vector<std::string>;

namespace {
// The names FileList finds (mode 2: folders, else files with the extension).
Names List(const std::string& dir, const char* ext, int mode = 0, const char* excluded = nullptr) {
  ListMgr<OROustring> list, exclude;
  if (excluded) exclude.Add(new OROustring(excluded));
  const long count = FileList(list, dir.c_str(), "", ext, &exclude, mode);
  Names out;
  for (const OROustring* s : list) out.push_back(s->str());
  EXPECT_EQ(count, static_cast<long>(out.size()));
  return out;
}
}  // namespace

TEST(Files, ListingIsSortedByteWiseAndMatchesExtensionsWithoutCaseAlsoThroughLinks) {
  TempDir dir;
  // Names that differ in more than case, so that they are different files on Windows too.
  for (const char* f : {"b.cgd", "A.CHX", "a.cgd", "C.CGD", "c.txt", "noext", "z.chx"}) WriteFile(dir / f, "x");
  for (const char* d : {"NA", "EU", ".svn"}) testsupport::MakeDirs(dir / d);
  EXPECT_EQ(List(dir.path(), "cgd"), (Names{"C.CGD", "a.cgd", "b.cgd"}));
  EXPECT_EQ(List(dir.path(), "chx"), (Names{"A.CHX", "z.chx"}));
  EXPECT_EQ(List(dir.path(), "", 2), (Names{".svn", "EU", "NA"}));
  EXPECT_EQ(List(dir / "nothing", "cgd"), Names{});
  EXPECT_EQ(List("", "", 2), Names{});
  // Links count as what they lead to; excluded names are left out.
  if (!testsupport::MakeSymlink("EU", dir / "EU2") || !testsupport::MakeSymlink("b.cgd", dir / "d.cgd")) {
    ASSERT_TRUE(testsupport::kWindows) << "cannot make a symbolic link";
    GTEST_SKIP() << testsupport::kNoSymlinks;
  }
  // A link that leads nowhere and a FIFO are no files.
  ASSERT_TRUE(testsupport::MakeSymlink("gone.cgd", dir / "e.cgd") &&
              (testsupport::kWindows || testsupport::MakeFifo(dir / "f.cgd")));
  EXPECT_EQ(List(dir.path(), "", 2, ".svn"), (Names{"EU", "EU2", "NA"}));
  EXPECT_EQ(List(dir.path(), "CGD", 0, "a.cgd"), (Names{"C.CGD", "b.cgd", "d.cgd"}));
}

// Existence, creation, erasure and the files a grid needs; null and empty paths and names answer nothing.
// Absolute forms of folders that do not exist are lexical: "." and ".." go, a trailing separator stays, nothing
// climbs above the root (the folders that exist: the data status test's version files).
TEST(Files, AbsolutePathKeepsATrailingSeparatorAndStopsAtTheRoot) {
  TempDir dir;
  EXPECT_EQ(platform::AbsolutePath(dir / "a/./b/../c/"), dir / "a/c/");
  const std::string root = dir.path().substr(0, dir.path().find(platform::kPathSeparator) + 1);
  EXPECT_EQ(platform::AbsolutePath(root + ".."), root);
  EXPECT_EQ(platform::AbsolutePath("x"), platform::AbsolutePath(std::string(".") + platform::kPathSeparator + "x"));
}

TEST(Files, ExistenceCreationErasureRequiredFilesAndNullOrEmptyPaths) {
  TempDir dir;
  WriteFile(dir / "00000000.qd", "");
  testsupport::MakeDirs(dir / "sub");
  EXPECT_TRUE(FileExists((dir / "00000000.qd").c_str()) && !FileExists(dir.path().c_str()));
  ListMgr<OROustring> grid, none, list;
  for (const char* p : {static_cast<const char*>(nullptr), ""}) {
    char byte = 'x', *buffer = &byte;
    EXPECT_FALSE(FileExists(p) || FileDoesDirExist(p) || FileCreateDir(p) || AreFilesInDir(p, grid));
    EXPECT_EQ(FileErase(p), 1);
    EXPECT_EQ(FileList(list, p, nullptr) + FileList(list, p, "*", nullptr, nullptr, 2), 0);
    EXPECT_TRUE(LoadFile(p, &buffer) == 0 && buffer == nullptr && FileOpen(p, "rb") == nullptr);
  }
  grid.Add(new OROustring("00000000.qd"));
  grid.Add(new OROustring("00000000.hsh"));
  EXPECT_FALSE(AreFilesInDir(dir.path().c_str(), grid));
  WriteFile(dir / "00000000.hsh", "");
  EXPECT_TRUE(AreFilesInDir(dir.path().substr(0, dir.path().size() - 1).c_str(), grid));  // without separator
  EXPECT_TRUE(AreFilesInDir(dir.path().c_str(), none));
  none.Add(nullptr);  // a null name is never there, and excludes nothing
  EXPECT_FALSE(AreFilesInDir(dir.path().c_str(), none));
  none.Add(new OROustring("00000000.hsh"));
  const char* const path = dir.path().c_str();
  EXPECT_EQ(FileList(list, path, "*", "hsh", &none, 1) + FileList(list, path, "*", "qd", &none, 1), 1);
  EXPECT_EQ(FileList(list, path, "*", nullptr, &none, 2), 1);  // sub
  EXPECT_TRUE(FileCreateDir((dir / "new").c_str()) && FileCreateDir((dir / "new").c_str()));
  EXPECT_TRUE(FileDoesDirExist((dir / "new").c_str()) && !FileCreateDir((dir / "00000000.qd").c_str()));
  EXPECT_EQ(FileErase((dir / "00000000.qd").c_str()), 0);
  EXPECT_EQ(FileErase((dir / "00000000.qd").c_str()), 1);  // nothing left to erase
  EXPECT_TRUE(LoadFile(path, nullptr) == 0 && FileOpen((dir / "00000000.hsh").c_str(), nullptr) == nullptr);
  EXPECT_FALSE(platform::MakeDirectories("") || platform::MakeDirectories(dir / "00000000.hsh/sub"));
  EXPECT_FALSE(platform::RenameFile(dir / "none", dir / "other").ok);
}

TEST(Files, LoadFileAndLineReading) {
  TempDir dir;
  WriteFile(dir / "v.dat", "first\r\n" + std::string(600, 'x') + "\nthird");
  char* buffer = nullptr;
  const long size = LoadFile((dir / "v.dat").c_str(), &buffer);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 7 + 601 + 5);
  EXPECT_EQ(buffer[size], '\0');
  Mem_Free(buffer);
  EXPECT_EQ(LoadFile((dir / "none").c_str(), &buffer), 0);
  EXPECT_EQ(buffer, nullptr);
  // Lines without their CR LF; of a line longer than the buffer, what fits with the terminator (the rest is
  // skipped), nothing beyond. Null handles and buffers and no room read nothing; a read-only handle writes nothing.
  FileHandle* f = FileOpen((dir / "v.dat").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char line[8];
  EXPECT_FALSE(FileReadNextLine(nullptr, line, 6) || FileReadNextLine(f, nullptr, 6) || FileReadNextLine(f, line, 0));
  ASSERT_EQ(FileReadNextLine(f, line, 6), line);
  EXPECT_STREQ(line, "first");
  line[6] = '#';
  ASSERT_NE(FileReadNextLine(f, line, 6), nullptr);
  EXPECT_EQ(std::string(line, 7), std::string(5, 'x') + '\0' + '#');
  ASSERT_NE(FileReadNextLine(f, line, 6), nullptr);
  EXPECT_STREQ(line, "third");
  EXPECT_EQ(FileReadNextLine(f, line, 6), nullptr);
  EXPECT_EQ(FileWrite(f, "x", 1), 0);
  FileClose(nullptr);
  FileClose(f);
  f = FileOpen((dir / "b.bin").c_str(), "wb");
  EXPECT_EQ(FileWrite(nullptr, "x", 1) + FileWrite(f, nullptr, 1) + FileWrite(f, "x", 0), 0);
  EXPECT_EQ(FileWrite(f, "xyz", 3), 3);
  FileClose(f);
  EXPECT_EQ(testsupport::ReadFile(dir / "b.bin"), "xyz");
}
