// Installed map sets: finding them below a path, describing one folder, their CHX files, and copying and
// comparing sets. Each test builds one folder tree in a scratch installation whose working folder is the
// process's current directory, so that the last candidate of the search (data/ below it) is under control.
#include <config/oro_dataset.h>

#include "directory_support.h"

using dirtest::Installation;
using testsupport::Native;
using testsupport::NativeAll;
using testsupport::WriteFile;

namespace {

// A folder holding the given files, and a version.dat with the product name of that region unless it is null.
void MakeFolder(const std::string& dir, const std::vector<std::string>& files, const char* region = nullptr) {
  testsupport::MakeDirs(dir);
  for (const std::string& f : files) WriteFile(dir + "/" + f, "x");
  if (region) WriteFile(dir + "/version.dat", std::string("Product Name: GRD_NAVTEQ.") + region + ".2011.3\n");
}

// "directory|name|map ID" of a set, and of each set of a list in its order.
std::string Describe(const OroDataSet& s) {
  return s.GetPath().GetFullPath(false).str() + "|" + s.GetName().str() + "|" + std::to_string(s.GetMapID());
}
std::vector<std::string> Describe(const ListMgr<OroDataSet>& sets) {
  std::vector<std::string> out;
  for (const OroDataSet* s : sets) out.push_back(Describe(*s));
  return out;
}

std::vector<std::string> Paths(const OroDataSet& set) {
  std::vector<std::string> out;
  for (const OroFileName* f : set.GetCHXFiles()) out.push_back(f ? f->GetFullPath(true).str() : "<null>");
  return out;
}

// A set of the folder, as the directory manager describes it.
OroDataSet SetOf(const std::string& dir) {
  OroDataSet set;
  EXPECT_TRUE(GetDirectoryMgr()->GetMapSetInfo(set, OroFileName(OROustring(dir), OROustring()))) << dir;
  return set;
}

}  // namespace

TEST(MapSets, SetsAtAndBelowAPathForEachKindOfData) {
  Installation inst;
  const std::string maps = inst / "maps";
  MakeFolder(maps, {"a.cgd"}, "EU-DE-12");  // the path itself is a set
  MakeFolder(maps + "/NA/data", {"x.cgd"}, "NA-US-2147483647");
  MakeFolder(maps + "/EU/data", {"B.CGD"});  // no version.dat; extension in capitals
  MakeFolder(maps + "/SA/data", {"s.cgd"}, "SA-BR-+7");
  MakeFolder(maps + "/ZX/data", {"z.cgd"}, "EU-DE-2147483648");  // map IDs that do not fit 32 bits
  MakeFolder(maps + "/ZY/data", {"z.cgd"}, "EU-DE-4294967308");
  MakeFolder(maps + "/ZZ/data", {"z.cgd"}, "EU-DE-99999999999999999999");
  MakeFolder(maps + "/AF/data", {"a.chx", "a.cgd.bak"}, "AF-ZA-3");  // no .cgd
  MakeFolder(maps + "/OC", {"o.cgd"}, "OC-AU-x5");                    // a set directly in the sub-folder
  MakeFolder(maps + "/OC/orospeeds", {"sp.cgd"}, "OC-AU-9");
  WriteFile(maps + "/ME", "x");                                        // a file, not a sub-folder
  MakeFolder(inst / "work/data", {"w.cgd"}, "EU-FR-4");                // data/ below the current directory
  MakeFolder(inst / "work/wrldgrid", {"w.cgd"}, "WW-XX-1");
  MakeFolder(inst / "work/wrldgrid/NA/data", {"n.cgd"}, "NA-US-7");
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string parent = std::filesystem::path(inst / "x").parent_path().filename().string();

  // The path, then the sub-folders' data folders in byte-wise order, then data/ below the current directory.
  // A list that already holds a set keeps it in front.
  ListMgr<OroDataSet> sets(true);
  sets.Add(new OroDataSet(SetOf(Native(maps + "/OC"))));
  dirs->GetInstalledMapSetsInPath(sets, OROustring(maps), INSTALL_DATA_NETWORK);
  EXPECT_EQ(Describe(sets), NativeAll({maps + "/OC/|maps|0", maps + "/|" + parent + "|12", maps + "/EU/data/|EU|-1",
                                       maps + "/NA/data/|NA|2147483647", maps + "/SA/data/|SA|7",
                                       maps + "/ZX/data/|ZX|-1", maps + "/ZY/data/|ZY|-1", maps + "/ZZ/data/|ZZ|-1",
                                       "data/||4"}));
  EXPECT_FALSE(sets[1]->HasCHXFiles());  // found sets carry no CHX files until asked for them

  // A kind with a folder name of its own looks for that folder; there is no orospeeds/ in the working folder.
  ListMgr<OroDataSet> speeds(true);
  dirs->GetInstalledMapSetsInPath(speeds, OROustring(Native(maps + "/")), INSTALL_DATA_OROSPEEDS);
  EXPECT_EQ(Describe(speeds), NativeAll({maps + "/|" + parent + "|12", maps + "/OC/orospeeds/|OC|9"}));
  // A kind without a folder name (0, or any value beyond 5) makes each sub-folder a candidate itself, and the
  // current directory is not one.
  for (int type : {0, 6}) {
    ListMgr<OroDataSet> plain(true);
    dirs->GetInstalledMapSetsInPath(plain, OROustring(maps), static_cast<eInstallDataType>(type));
    EXPECT_EQ(Describe(plain), NativeAll({maps + "/|" + parent + "|12", maps + "/OC/|maps|0"})) << type;
  }

  // An empty path, or one that does not exist: only data/ below the current directory. A world grid is a set
  // whose sub-folders are not searched, as is the data folder below the current directory asked for directly
  // (it is then found again as the last candidate).
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {"data/||4"}}, {inst / "nowhere", {"data/||4"}},
      {"wrldgrid", {"wrldgrid/||1", "data/||4"}}, {Native("wrldgrid/NA"), {"data/||4"}},
      {inst / "work/data", {inst / "work/data/|work|4", "data/||4"}}};
  for (const auto& [path, expected] : cases) {
    ListMgr<OroDataSet> found(true);
    dirs->GetInstalledMapSetsInPath(found, OROustring(path), INSTALL_DATA_NETWORK);
    EXPECT_EQ(Describe(found), NativeAll(expected)) << path;
  }
}

TEST(MapSets, OneSetItsCHXFilesCopiesAndEquality) {
  Installation inst;
  const std::string set = inst / "maps/NA/data";
  // A.CHX has a.cgd, x.y.chx has X.Y.CGD; b.chx has no b.cgd; c.chx.old and c.txt are other files.
  MakeFolder(set, {"A.CHX", "b.chx", "a.cgd", "x.y.chx", "X.Y.CGD", "c.chx.old", "c.txt", "c.cgd"}, "EU-DE-12");
  MakeFolder(inst / "maps/NA/nocgd", {"a.chx", "cgd"}, "EU-DE-3");
  DirectoryMgr* dirs = GetDirectoryMgr();

  OroDataSet s = SetOf(set);
  const std::string described = Native(set + "/") + "|NA|12";
  EXPECT_EQ(Describe(s), described);
  // Each entry is the folder joined with the file's name as the folder lists it, so that every entry opens.
  EXPECT_EQ(s.DiscoverCHXFiles(), 2u);
  EXPECT_EQ(Paths(s), NativeAll({set + "/A.CHX", set + "/x.y.chx"}));
  // The list is not emptied first: a second call appends the same files again.
  EXPECT_EQ(s.DiscoverCHXFiles(), 4u);
  s.SetSpareFlag(true);

  // A folder without a .cgd file (and one that does not exist) is no set, and the set stays as it was.
  for (const std::string& other : {inst / "maps/NA/nocgd", inst / "maps/none", std::string()}) {
    EXPECT_FALSE(dirs->GetMapSetInfo(s, OroFileName(OROustring(other), OROustring()))) << other;
    EXPECT_EQ(Describe(s), described);
    EXPECT_TRUE(s.HasCHXFiles() && s.GetSpareFlag() && s.GetCHXFiles().Count() == 4);
  }
  // A set whose folder has lost its .cgd files gets no CHX entry, and a new set has no folder to look in.
  OroDataSet lost = SetOf(set);
  for (const char* f : {"a.cgd", "c.cgd", "X.Y.CGD"}) std::filesystem::remove(set + "/" + f);
  EXPECT_EQ(lost.DiscoverCHXFiles() + OroDataSet().DiscoverCHXFiles(), 0u);
  EXPECT_FALSE(lost.HasCHXFiles());

  // version.dat is read afresh on every call; a file name in the folder describes the folder.
  WriteFile(set + "/n.cgd", "x");
  WriteFile(set + "/version.dat", "Product Name: GRD_NAVTEQ.EU-DE-31.2012.1\n");
  OroDataSet byFile;
  EXPECT_TRUE(dirs->GetMapSetInfo(byFile, OroFileName(OROustring(Native(set + "/n.cgd")))));
  EXPECT_EQ(Describe(byFile), Native(set + "/") + "|NA|31");
  WriteFile(set + "/version.dat", "Data Version: 1\n");  // no product name any more
  EXPECT_EQ(SetOf(set).GetMapID(), -1);

  // Copies and equality.
  const std::string na = inst / "maps/OC/data";
  MakeFolder(na, {"a.cgd", "a.chx", "b.cgd", "b.chx"}, "NA-US-7");
  MakeFolder(inst / "maps/EU/data", {"e.cgd", "e.chx"}, "EU-DE-12");

  // A copy owns entries of its own: it outlives the original intact, and a null entry stays at its place.
  auto* original = new OroDataSet(SetOf(na));
  original->DiscoverCHXFiles();
  original->SetSpareFlag(true);
  original->m_chxFiles.Add(nullptr);
  OroDataSet copy(*original);
  EXPECT_NE(copy.GetCHXFiles()[0], original->GetCHXFiles()[0]);
  delete original;
  EXPECT_EQ(Describe(copy), Native(na + "/") + "|OC|7");
  EXPECT_TRUE(copy.HasCHXFiles() && copy.GetSpareFlag());
  EXPECT_EQ(Paths(copy), NativeAll({na + "/a.chx", na + "/b.chx", "<null>"}));

  // Assignment drops the target's own entries and copies the source's; to itself it changes nothing.
  OroDataSet target = SetOf(inst / "maps/EU/data");
  target.DiscoverCHXFiles();
  target = copy;
  OroDataSet& same = target;
  target = same;
  EXPECT_EQ(Describe(target), Describe(copy));
  EXPECT_EQ(Paths(target), Paths(copy));
  EXPECT_NE(target.GetCHXFiles()[1], copy.GetCHXFiles()[1]);

  // Equal names and folders, compared without regard to case, are the same set whatever the map IDs, flags
  // and CHX lists; another folder with the same parent name, or the same folder name under another parent,
  // is another set.
  const OroDataSet plain = SetOf(na);
  EXPECT_TRUE(plain == copy);
  for (const char* d : {"maps/oc/DATA", "maps/OC/data2", "other/OC/data"}) MakeFolder(inst / d, {"a.cgd"});
  EXPECT_TRUE(SetOf(inst / "maps/oc/DATA") == plain);
  EXPECT_FALSE(SetOf(inst / "maps/OC/data2") == plain || SetOf(inst / "other/OC/data") == plain);
  EXPECT_FALSE(plain == SetOf(inst / "maps/EU/data"));
  EXPECT_TRUE(OroDataSet() == OroDataSet());
}
