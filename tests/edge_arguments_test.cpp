// The utility and platform functions with the arguments callers get wrong: names and paths at the edges,
// handles never opened, empty blocks (null and empty paths of the file functions: files_test.cpp).
#include <doroutil/memory.h>
#include <doroutil/orofilename.h>
#include <gtest/gtest.h>
#include <platform/file_lock.h>
#include <platform/os.h>
#include <platform/registry.h>

#include "support/test_support.h"

using testsupport::TempDir;

TEST(EdgeArguments, FileNamesAtTheEdges) {
  TempDir tmp;
  testsupport::WriteFile(tmp / "f.cfg", "");
  testsupport::WriteFile(tmp / "g", "");
  testsupport::MakeDirs(tmp / "sub");
  using testsupport::Native;
  const std::string root = Native("/");
  struct Row {
    OroFileName name;
    const char *full, *dir, *bare, *parent;
    bool exists;
  } rows[] = {
      {OroFileName(OROustring("plain")), "plain", "", "plain", "", false},
      {OroFileName(OROustring(root + "a.b.c")), "/a.b.c", "/", "a.b", "", false},
      {OroFileName(OROustring(Native("/x/f"))), "/x/f", "/x/", "f", "x", false},
      {OroFileName(OROustring(root), OROustring("")), "/", "/", "", "", true},
      {OroFileName(OROustring(""), OROustring("")), "", "", "", "", false},
      {OroFileName(OROustring(tmp.path()), OROustring("f.cfg")), nullptr, nullptr, "f", nullptr, true},
      {OroFileName(OROustring(tmp.path() + "f.cfg"), OROustring("")), nullptr, nullptr, "", nullptr, false},
      {OroFileName(OROustring(tmp.path()), OROustring("none")), nullptr, nullptr, "none", nullptr, false},
      {OroFileName(OROustring(tmp.path()), OROustring("g")), nullptr, nullptr, "g", nullptr, true},
      {OroFileName(OROustring(tmp.path()), OROustring("sub")), nullptr, nullptr, "sub", nullptr, true},
      {OroFileName(OROustring(tmp.path()), OROustring("sub/")), nullptr, nullptr, "sub/", nullptr, true},
      {OroFileName(OROustring(Native("/maps/NA/data/version.dat"))), "/maps/NA/data/version.dat",
       "/maps/NA/data/", "version", "data", false},
      {OroFileName(OROustring(Native("/maps/NA/data")), OROustring("")), "/maps/NA/data/", "/maps/NA/data/", "",
       "NA", false},
      {OroFileName(OROustring(Native("/maps/NA/")), OROustring("data"), OROustring("")), nullptr, "/maps/NA/data/",
       "", "NA", false},
      // An empty first component leaves the folder relative to the current directory.
      {OroFileName(OROustring(""), OROustring("data"), OROustring("")), nullptr, "data/", "", "", false},
      {OroFileName(OROustring(""), OROustring(""), OROustring("")), "", "", "", "", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name.GetFullPath(true).str());
    EXPECT_EQ(r.name.GetFullPath(true).str(), r.full ? testsupport::Native(r.full) : r.name.GetFullPath(true).str());
    EXPECT_EQ(r.name.GetFullPath(false).str(), r.dir ? testsupport::Native(r.dir) : r.name.GetFullPath(false).str());
    EXPECT_EQ(r.name.GetFileName(false).str(), r.bare);
    EXPECT_EQ(r.name.GetParentDirectory(true).str(), r.parent ? r.parent : r.name.GetParentDirectory(true).str());
    EXPECT_EQ(r.name.Exists(), r.exists);
  }
  EXPECT_EQ(rows[11].name.GetFileName(true).str(), "version.dat");
  EXPECT_EQ(rows[12].name.GetParentDirectory(false).str() + rows[3].name.GetParentDirectory(false).str(),
            Native("/maps/NA/") + root);  // the root is its own parent, as for dirname
}

// Every failure of every call of a write: faults_test.cpp.
TEST(EdgeArguments, WritesThroughLinksAndOverAStaleTemporaryFile) {
  if (testsupport::kWindows) GTEST_SKIP() << testsupport::kNoSymlinks;
  TempDir tmp;
  const std::string path = tmp / "f.txt";
  testsupport::WriteFile(path, "old");
  // Links: one to the file by its full path is followed, a loop is refused.
  ASSERT_TRUE(testsupport::MakeSymlink(path, tmp / "abs") && testsupport::MakeSymlink("b", tmp / "a") &&
              testsupport::MakeSymlink("a", tmp / "b"));
  EXPECT_TRUE(platform::WriteFileAtomically(tmp / "abs", "via", 3).ok);
  EXPECT_EQ(platform::WriteFileAtomically(tmp / "a", "x", 1).reason.find("is a symbolic link to a symbolic link"), 2u);
  for (const char* name : {"a", "b", "abs"}) testsupport::RemoveAll(tmp / name);
  // What a killed writer left under the fixed temporary name is replaced.
  testsupport::WriteFile(tmp / ".f.txt.tmp", "stale");
  EXPECT_TRUE(platform::ReplaceLockedFile(path, "new", 3).ok);
  EXPECT_EQ(testsupport::Listing(tmp.path()), std::vector<std::string>{"f.txt"});
  EXPECT_EQ(testsupport::ReadFile(path), "new");
}

TEST(EdgeArguments, UnsafeFileComponentsAndAHomeFromTheAccount) {
  for (const char* name : {"", ".", "..", "a/b"}) EXPECT_FALSE(platform::IsSafeFileComponent(name)) << name;
  EXPECT_FALSE(platform::IsSafeFileComponent(std::string_view("a\0b", 3)));
  EXPECT_TRUE(platform::IsSafeFileComponent("..a"));
  if (testsupport::kWindows) GTEST_SKIP() << "the home folder of a Windows account does not come from variables";
  struct Row {
    const char *own, *xdg, *home, *expected;
  } rows[] = {{"/n", "/x", "/h", "/n/"}, {"", "/x", "/h", "/x/navconfig/"}, {nullptr, "/x/", "/h", "/x/navconfig/"},
              {nullptr, "x", "/h", "/h/.config/navconfig/"}, {nullptr, nullptr, "", nullptr},
              {nullptr, nullptr, "relative", nullptr}};
  for (const Row& r : rows) {
    testsupport::ScopedEnv own("NAVCONFIG_HOME", r.own), xdg("XDG_CONFIG_HOME", r.xdg), home("HOME", r.home);
    const std::string dir = platform::UserHomeDirectory();
    // Without a usable variable, the home folder of the account.
    EXPECT_TRUE(r.expected ? dir == r.expected : dir[0] == '/' && dir.ends_with("/.config/navconfig/")) << dir;
    EXPECT_EQ(platform::RegistryDirectory(), dir + "registry/");
  }
}

TEST(EdgeArguments, RegistryCallsOnHandlesNeverOpened) {
  if (testsupport::kWindows) GTEST_SKIP() << "the system registry answers for its own handles";
  using namespace platform::reg;
  int never = 0;
  HKEY out = nullptr;
  const uint8_t data[4] = {};
  uint32_t size = 4;
  for (HKEY key : {HKEY(nullptr), reinterpret_cast<HKEY>(&never)}) {
    EXPECT_EQ(RegOpenKeyExW(key, u"A", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(key, u"V", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(key, u"V", 0, REG_DWORD, data, 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExW(key, u"A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKeyW(key, u"A"), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(out, nullptr);
  // A damaged store is set aside under a name not yet taken.
  TempDir home;
  testsupport::ScopedEnv env("NAVCONFIG_HOME", home.path().c_str());
  const std::string file = home / "registry/HKCU.reg";
  testsupport::WriteFile((testsupport::MakeDirs(home / "registry"), file), "not a registry\n");
  for (int64_t t = platform::UnixTime(), last = t + 1; t <= last; ++t)
    testsupport::MakeDirs(file + ".damaged-" + std::to_string(t));
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_READ, &out), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(testsupport::Exists(file));
  EXPECT_EQ(testsupport::Listing(home / "registry").size(), 4u);  // two names taken, the damaged file, the lock
  const uint8_t one[4] = {1};
  for (int i = 0; i < 2; ++i) EXPECT_EQ(RegSetValueExW(HKEY_CURRENT_USER, u"V", 0, REG_DWORD, one, 4), ERROR_SUCCESS);
}

TEST(EdgeArguments, EmptyBlocksAndForcedMemoryLevels) {
  Mem_Free(Mem_Realloc(Mem_Realloc(nullptr, 0), 64));
  const int measured = GetCacheMgr()->GetMemoryLevel(true);
  for (auto [forced, level] : {std::pair{"3", 3}, {"-1", -1}, {"3x", measured}, {"a", measured}, {"", measured}}) {
    testsupport::ScopedEnv env("NAVCONFIG_MEMORY_LEVEL", forced);
    EXPECT_EQ(GetCacheMgr()->GetMemoryLevel(true), level) << forced;
  }
  const std::pair<uint64_t, int> levels[] = {{0, 5},    {1, 0},    {127, 0},  {128, 1},  {255, 1},  {256, 2},
                                             {511, 2},  {512, 3},  {1023, 3}, {1024, 4}, {2047, 4}, {2048, 5}};
  for (auto [mib, level] : levels) EXPECT_EQ(MemoryLevelOf(mib), level) << mib;
}
