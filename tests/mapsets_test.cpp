// Installed map sets: finding them below a path, describing one folder, their CHX files, and copying and
// comparing sets. Each test builds one folder tree in a scratch installation whose working folder is the
// process's current directory, so that the last candidate of the search (data/ below it) is under control.
#include <config/oro_dataset.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "directory_support.h"

using dirtest::Installation;
using testsupport::MakeDirs;
using testsupport::WriteFile;

namespace {

// A folder holding the given files, and a version.dat with that product name unless it is null.
void MakeFolder(const std::string& dir, const std::vector<std::string>& files, const char* productName = nullptr) {
  MakeDirs(dir);
  for (const std::string& f : files) WriteFile(dir + "/" + f, "x");
  if (productName)
    WriteFile(dir + "/version.dat", std::string("Data Version: 2011.3\nProduct Name: ") + productName +
                                        "\nData Format: 9\n");
}

// "directory|name|map ID" of each set, in the list's order.
std::vector<std::string> Describe(const ListMgr<OroDataSet>& sets) {
  std::vector<std::string> out;
  for (const OroDataSet* s : sets)
    out.push_back(s->GetPath().GetFullPath(false).str() + "|" + s->GetName().str() + "|" +
                  std::to_string(s->GetMapID()));
  return out;
}

std::vector<std::string> Paths(const ListMgr<OroFileName>& files) {
  std::vector<std::string> out;
  for (const OroFileName* f : files) out.push_back(f ? f->GetFullPath(true).str() : "<null>");
  return out;
}

// The name of the folder that holds the scratch installation.
std::string InstallationName(const Installation& inst) {
  return std::filesystem::path(inst / "x").parent_path().filename().string();
}

// A set of the folder, as the directory manager describes it.
OroDataSet SetOf(const std::string& dir) {
  OroDataSet set;
  EXPECT_TRUE(GetDirectoryMgr()->GetMapSetInfo(set, OroFileName(OROustring(dir), OROustring())));
  return set;
}

}  // namespace

TEST(MapSets, SetsAtAndBelowAPathForEachKindOfData) {
  Installation inst;
  const std::string maps = inst / "maps";
  MakeFolder(maps, {"a.cgd"}, "GRD_NAVTEQ.EU-DE-12.2011.3");       // the path itself is a set
  MakeFolder(maps + "/NA/data", {"x.cgd"}, "GRD_NAVTEQ.NA-US-7.2012.1");
  MakeFolder(maps + "/EU/data", {"B.CGD"});                        // no version.dat; extension in capitals
  MakeFolder(maps + "/SA/data", {"s.cgd"}, "GRD_NAVTEQ.SA.2011.3"); // a region without a sub-region id
  MakeFolder(maps + "/ZZ/data", {"z.cgd"}, "GRD_NAVTEQ.EU-DE-4294967308.2011.3");  // an id beyond 32 bits
  MakeFolder(maps + "/AF/data", {"a.chx", "a.cgd.bak"}, "GRD_NAVTEQ.AF-ZA-3.2011.3");  // no .cgd
  MakeFolder(maps + "/OC", {"o.cgd"}, "GRD_NAVTEQ.OC-AU-5.2011.3");  // a set directly in the sub-folder
  MakeFolder(maps + "/OC/orospeeds", {"sp.cgd"}, "GRD_ORO.OC-AU-9.2011.3");
  WriteFile(maps + "/ME", "x");  // a file, not a sub-folder
  MakeFolder(inst / "work/data", {"w.cgd"}, "GRD_NAVTEQ.EU-FR-4.2011.3");  // data/ below the current directory
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string parent = InstallationName(inst);

  // Type 1: the path, then the sub-folders' data folders in byte-wise order, then data/ below the current
  // directory. A list that already holds a set keeps it in front.
  ListMgr<OroDataSet> sets(true);
  sets.Add(new OroDataSet(SetOf(maps + "/OC")));
  dirs->GetInstalledMapSetsInPath(sets, OROustring(maps), INSTALL_DATA_NETWORK);
  EXPECT_EQ(Describe(sets), (std::vector<std::string>{
                                maps + "/OC/|maps|5",
                                maps + "/|" + parent + "|12",
                                maps + "/EU/data/|EU|-1",
                                maps + "/NA/data/|NA|7",
                                maps + "/SA/data/|SA|-1",
                                maps + "/ZZ/data/|ZZ|-1",
                                "data/||4",
                            }));
  // Found sets carry no CHX files until asked for them.
  EXPECT_FALSE(sets[1]->HasCHXFiles());
  EXPECT_TRUE(sets[1]->GetCHXFiles().IsEmpty());

  // A kind with a folder name of its own looks for that folder; there is no orospeeds/ in the working folder.
  ListMgr<OroDataSet> speeds(true);
  dirs->GetInstalledMapSetsInPath(speeds, OROustring(maps + "/"), INSTALL_DATA_OROSPEEDS);
  EXPECT_EQ(Describe(speeds), (std::vector<std::string>{maps + "/|" + parent + "|12", maps + "/OC/orospeeds/|OC|9"}));

  // A kind without a folder name (0, or any value beyond 5) makes each sub-folder a candidate itself, and the
  // current directory is not one.
  for (int type : {0, 6, 77}) {
    ListMgr<OroDataSet> plain(true);
    dirs->GetInstalledMapSetsInPath(plain, OROustring(maps), static_cast<eInstallDataType>(type));
    EXPECT_EQ(Describe(plain), (std::vector<std::string>{maps + "/|" + parent + "|12", maps + "/OC/|maps|5"}))
        << type;
  }

  // An empty path: only data/ below the current directory (the current directory's sub-folders are not
  // searched). A path that does not exist finds the same.
  for (const std::string& path : {std::string(), inst / "nowhere"}) {
    ListMgr<OroDataSet> relative(true);
    dirs->GetInstalledMapSetsInPath(relative, OROustring(path), INSTALL_DATA_NETWORK);
    EXPECT_EQ(Describe(relative), (std::vector<std::string>{"data/||4"})) << path;
  }

  // The data folder below the current directory asked for directly: found as the path and again as the last
  // candidate, listed twice.
  ListMgr<OroDataSet> twice(true);
  dirs->GetInstalledMapSetsInPath(twice, OROustring(inst / "work/data"), INSTALL_DATA_NETWORK);
  EXPECT_EQ(Describe(twice), (std::vector<std::string>{inst / "work/data/|work|4", "data/||4"}));
}

TEST(MapSets, AWorldGridPathIsNotSearchedBelow) {
  Installation inst;
  const std::string world = inst / "maps/wrldgrid";
  MakeFolder(world, {"w.cgd"}, "GRD_ORO.WW-XX-1.2011.3");
  MakeFolder(world + "/NA/data", {"n.cgd"}, "GRD_NAVTEQ.NA-US-7.2012.1");
  MakeFolder(world + "/EU", {"e.cgd"});
  MakeFolder(inst / "maps/other/NA/data", {"n.cgd"}, "GRD_NAVTEQ.NA-US-7.2012.1");
  DirectoryMgr* dirs = GetDirectoryMgr();

  // The world grid itself is a set, its sub-folders are not searched, for any kind of data; nor are those of
  // a folder inside it.
  ListMgr<OroDataSet> sets(true);
  dirs->GetInstalledMapSetsInPath(sets, OROustring(world), INSTALL_DATA_NETWORK);
  dirs->GetInstalledMapSetsInPath(sets, OROustring(world), INSTALL_DATA_NONE);
  dirs->GetInstalledMapSetsInPath(sets, OROustring(world + "/NA"), INSTALL_DATA_NONE);
  EXPECT_EQ(Describe(sets), (std::vector<std::string>{world + "/|maps|1", world + "/|maps|1"}));

  // The same layout under a path without the marker is searched.
  ListMgr<OroDataSet> other(true);
  dirs->GetInstalledMapSetsInPath(other, OROustring(inst / "maps/other"), INSTALL_DATA_NETWORK);
  EXPECT_EQ(Describe(other), (std::vector<std::string>{inst / "maps/other/NA/data/|NA|7"}));
}

TEST(MapSets, DescribingOneFolder) {
  Installation inst;
  const std::string set = inst / "maps/NA/data";
  MakeFolder(set, {"a.cgd", "a.chx"}, "GRD_NAVTEQ.EU-DE-12.2011.3");
  MakeFolder(inst / "maps/NA/empty", {"a.chx", "cgd"}, "GRD_NAVTEQ.EU-DE-3.2011.3");
  MakeFolder(inst / "maps/NA/noversion", {"n.cgd"});
  DirectoryMgr* dirs = GetDirectoryMgr();

  OroDataSet s;
  ASSERT_TRUE(dirs->GetMapSetInfo(s, OroFileName(OROustring(set), OROustring())));
  EXPECT_EQ(s.GetMapID(), 12);
  EXPECT_EQ(s.GetName().str(), "NA");
  EXPECT_EQ(s.GetPath().GetFullPath(true).str(), set + "/");
  s.SetSpareFlag(true);
  EXPECT_EQ(s.DiscoverCHXFiles(), 1u);

  // A folder without a .cgd file (and one that does not exist) is no set, and the set stays as it was.
  for (const OroFileName& other : {OroFileName(OROustring(inst / "maps/NA/empty"), OROustring()),
                                   OroFileName(OROustring(inst / "maps/none"), OROustring()), OroFileName()}) {
    EXPECT_FALSE(dirs->GetMapSetInfo(s, other)) << other.GetFullPath(true).str();
    EXPECT_EQ(s.GetMapID(), 12);
    EXPECT_EQ(s.GetName().str(), "NA");
    EXPECT_EQ(s.GetPath().GetFullPath(true).str(), set + "/");
    EXPECT_TRUE(s.HasCHXFiles());
    EXPECT_TRUE(s.GetSpareFlag());
    EXPECT_EQ(Paths(s.GetCHXFiles()), (std::vector<std::string>{set + "/a.chx"}));
  }

  // A set without version.dat has no map ID; the fields that describing does not set are kept.
  ASSERT_TRUE(dirs->GetMapSetInfo(s, OroFileName(OROustring(inst / "maps/NA/noversion/"), OROustring())));
  EXPECT_EQ(s.GetMapID(), -1);
  EXPECT_EQ(s.GetPath().GetFullPath(false).str(), inst / "maps/NA/noversion/");
  EXPECT_TRUE(s.HasCHXFiles());
  EXPECT_TRUE(s.GetSpareFlag());
  EXPECT_EQ(s.GetCHXFiles().Count(), 1u);

  // version.dat is read afresh on every call: a replaced set gets its new map ID.
  OroDataSet fresh;
  ASSERT_TRUE(dirs->GetMapSetInfo(fresh, OroFileName(OROustring(set), OROustring())));
  EXPECT_EQ(fresh.GetMapID(), 12);
  WriteFile(set + "/version.dat", "Product Name: GRD_NAVTEQ.EU-DE-31.2012.1\n");
  ASSERT_TRUE(dirs->GetMapSetInfo(fresh, OroFileName(OROustring(set), OROustring())));
  EXPECT_EQ(fresh.GetMapID(), 31);
  WriteFile(set + "/version.dat", "Data Version: 1\n");  // no product name any more
  ASSERT_TRUE(dirs->GetMapSetInfo(fresh, OroFileName(OROustring(set), OROustring())));
  EXPECT_EQ(fresh.GetMapID(), -1);

  // A file name in the folder describes the folder: the path is the folder, the name its parent.
  OroDataSet byFile;
  ASSERT_TRUE(dirs->GetMapSetInfo(byFile, OroFileName(OROustring(set + "/a.cgd"))));
  EXPECT_EQ(byFile.GetPath().GetFullPath(true).str(), set + "/");
  EXPECT_EQ(byFile.GetName().str(), "NA");
  EXPECT_EQ(byFile.DiscoverCHXFiles(), 1u);
}

TEST(MapSets, CHXFilesAreThoseWithACgdBesideThem) {
  Installation inst;
  const std::string dir = inst / "maps/EU/data";
  // A.CHX has a.cgd; b.chx has no b.cgd; x.y.chx has X.Y.CGD; c.chx.old and c.txt are other files.
  MakeFolder(dir, {"A.CHX", "b.chx", "a.cgd", "x.y.chx", "X.Y.CGD", "c.chx.old", "c.txt", "c.cgd"});
  MakeFolder(inst / "maps/EU/nocgd", {"a.chx", "a.cgd"});

  OroDataSet set = SetOf(dir);
  EXPECT_EQ(set.DiscoverCHXFiles(), 2u);
  EXPECT_TRUE(set.HasCHXFiles());
  // The set's folder joined with each file's name as the folder lists it, so that every entry opens.
  const std::vector<std::string> expected{dir + "/A.CHX", dir + "/x.y.chx"};
  EXPECT_EQ(Paths(set.GetCHXFiles()), expected);
  for (const std::string& f : expected) EXPECT_TRUE(std::filesystem::is_regular_file(f)) << f;

  // The list is not emptied first: a second call appends the same files again.
  EXPECT_EQ(set.DiscoverCHXFiles(), 4u);
  EXPECT_EQ(Paths(set.GetCHXFiles()),
            (std::vector<std::string>{dir + "/A.CHX", dir + "/x.y.chx", dir + "/A.CHX", dir + "/x.y.chx"}));

  // A set whose folder has lost its .cgd files gets no entry, and the flag stays clear.
  OroDataSet lost = SetOf(inst / "maps/EU/nocgd");
  std::filesystem::remove(inst / "maps/EU/nocgd/a.cgd");
  EXPECT_EQ(lost.DiscoverCHXFiles(), 0u);
  EXPECT_FALSE(lost.HasCHXFiles());
  EXPECT_TRUE(lost.GetCHXFiles().IsEmpty());

  // A new set has no folder and so no CHX files.
  OroDataSet empty;
  EXPECT_EQ(empty.DiscoverCHXFiles(), 0u);
  EXPECT_FALSE(empty.HasCHXFiles());

  // Both spellings of a name on a file system that tells them apart are two files, each with an entry.
  WriteFile(dir + "/a.chx", "x");
  OroDataSet both = SetOf(dir);
  EXPECT_EQ(both.DiscoverCHXFiles(), 3u);
  EXPECT_EQ(Paths(both.GetCHXFiles()), (std::vector<std::string>{dir + "/A.CHX", dir + "/a.chx", dir + "/x.y.chx"}));
}

TEST(MapSets, CopiesAreDeepAndEqualityLooksAtNameAndFolderOnly) {
  static_assert(std::is_same_v<decltype(std::declval<OroDataSet&>() = std::declval<const OroDataSet&>()),
                               const OroDataSet&>);
  Installation inst;
  const std::string na = inst / "maps/NA/data";
  const std::string eu = inst / "maps/EU/data";
  MakeFolder(na, {"a.cgd", "a.chx", "b.cgd", "b.chx"}, "GRD_NAVTEQ.NA-US-7.2012.1");
  MakeFolder(eu, {"e.cgd", "e.chx"}, "GRD_NAVTEQ.EU-DE-12.2011.3");

  // A copy owns entries of its own: it outlives the original intact.
  auto* original = new OroDataSet(SetOf(na));
  ASSERT_EQ(original->DiscoverCHXFiles(), 2u);
  original->SetSpareFlag(true);
  OroDataSet copy(*original);
  EXPECT_NE(copy.GetCHXFiles()[0], original->GetCHXFiles()[0]);
  delete original;
  EXPECT_EQ(copy.GetMapID(), 7);
  EXPECT_EQ(copy.GetName().str(), "NA");
  EXPECT_EQ(copy.GetPath().GetFullPath(false).str(), na + "/");
  EXPECT_TRUE(copy.HasCHXFiles());
  EXPECT_TRUE(copy.GetSpareFlag());
  EXPECT_EQ(Paths(copy.GetCHXFiles()), (std::vector<std::string>{na + "/a.chx", na + "/b.chx"}));

  // Assignment drops the target's own entries and copies the source's.
  OroDataSet target = SetOf(eu);
  ASSERT_EQ(target.DiscoverCHXFiles(), 1u);
  target = copy;
  EXPECT_EQ(target.GetMapID(), 7);
  EXPECT_EQ(Paths(target.GetCHXFiles()), (std::vector<std::string>{na + "/a.chx", na + "/b.chx"}));
  EXPECT_NE(target.GetCHXFiles()[1], copy.GetCHXFiles()[1]);
  target = OroDataSet();
  EXPECT_EQ(target.GetMapID(), -1);
  EXPECT_FALSE(target.HasCHXFiles());
  EXPECT_FALSE(target.GetSpareFlag());
  EXPECT_TRUE(target.GetCHXFiles().IsEmpty());
  EXPECT_EQ(copy.GetCHXFiles().Count(), 2u);

  // Assigning a set to itself changes nothing.
  OroDataSet& same = copy;
  copy = same;
  EXPECT_EQ(copy.GetMapID(), 7);
  EXPECT_EQ(Paths(copy.GetCHXFiles()), (std::vector<std::string>{na + "/a.chx", na + "/b.chx"}));

  // A null entry stays null in a copy, at its place.
  const_cast<ListMgr<OroFileName>&>(copy.GetCHXFiles()).Add(nullptr);
  OroDataSet withNull(copy);
  EXPECT_EQ(Paths(withNull.GetCHXFiles()), (std::vector<std::string>{na + "/a.chx", na + "/b.chx", "<null>"}));

  // Equal names and folders are the same set whatever the map IDs, flags and CHX lists; the folder and the
  // name compare without regard to case.
  OroDataSet plain = SetOf(na);
  EXPECT_TRUE(plain == copy);
  WriteFile(na + "/version.dat", "Product Name: GRD_NAVTEQ.NA-US-8.2012.1\n");
  OroDataSet otherId = SetOf(na);
  EXPECT_EQ(otherId.GetMapID(), 8);
  EXPECT_TRUE(otherId == plain);
  EXPECT_FALSE(plain == SetOf(eu));
  MakeFolder(inst / "maps/na/DATA", {"a.cgd"});
  EXPECT_TRUE(SetOf(inst / "maps/na/DATA") == plain);
  // The same folder name under another parent is another set, and so is a set of another folder that has the
  // same parent name.
  MakeFolder(inst / "other/NA/data", {"a.cgd"});
  EXPECT_FALSE(SetOf(inst / "other/NA/data") == plain);
  MakeFolder(inst / "maps/NA/data2", {"a.cgd"});
  EXPECT_FALSE(SetOf(inst / "maps/NA/data2") == plain);
  EXPECT_TRUE(OroDataSet() == OroDataSet());
}
