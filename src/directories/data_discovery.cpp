// DirectoryMgr: finding installed map data at start-up, in the normal and in the stitched layout.
//
// Normal data keeps its grid files in a folder "data" directly in a region folder or in one of its immediate
// sub-folders, with the other data folders beside it. Stitched data keeps numbered revisions in the region
// folder, each with its grid files in <revision>/base/data. What is found is written to the user layer; the
// search itself keeps no state.
#include <config/data_dirs.h>
#include <config/directorymgr.h>
#include <doroutil/files.h>
#include <doroutil/strutil.h>

#include <algorithm>
#include <string>
#include <vector>

#include "directories/directories.h"
#include "directories/directory_paths.h"
#include "directories/settings.h"

using namespace navconfig;

namespace {

// Revisions are stored in the integer setting Data\CurrentRevision, and 0xFFFFFFFF stands for "the current
// revision" in the data directory functions; a folder whose number cannot be either is not a revision.
constexpr long kLargestRevision = 0x7FFFFFFF;

// The sub-folders of a folder, in the order the file functions give them.
void ListSubFolders(const OROustring& dir, ListMgr<OROustring>& folders) {
  FileList(folders, dir.c_str(), "", "", nullptr, 2);
}

bool IsVersionControlFolder(const OROustring& name) { return name == ".svn" || name == "_svn"; }

// The revision that a folder name stands for, or -1 when the name is not a usable revision number.
long RevisionOf(const OROustring& name) {
  if (!name.IsNumeric()) return -1;
  const long revision = name.to_long(10);
  // to_long answers 0 for a number that does not fit a long; only a name of zeros means revision 0.
  if (revision == 0 && name.str().find_first_not_of('0') != std::string::npos) return -1;
  return revision > kLargestRevision ? -1 : revision;
}

}  // namespace

void DirectoryMgr::SearchDataAndStatus() {
  OROwstring grid;
  if (!GetDirPath("LRGridDir", grid, true) && !DiscoverDataInRoot(false)) {
    if (ValidateNetworkDir()) {
      // Stitched data found at an earlier start: its revision and region are known already.
      InitRegionDataDirs(DirPathU(this, "RegionDir", false));
    } else {
      DiscoverDataInRoot(true);
    }
  }
  GetDataStatus();
}

bool DirectoryMgr::DiscoverDataInRoot(bool stitched) {
  for (const char* code : kRegionCodes) {
    if (DiscoverDataInRegionRoot(stitched, code)) return true;
  }
  return false;
}

bool DirectoryMgr::DiscoverDataInRegionRoot(bool stitched, const OROustring& region) {
  const OROustring regionRoot = JoinPath(GetDataRootToSearch(stitched), region.c_str());
  if (!FileDoesDirExist(regionRoot.c_str())) return false;
  return stitched ? DiscoverStitchedDataInRegionRoot(regionRoot, region)
                  : DiscoverNormalDataInRegionRoot(regionRoot, region);
}

bool DirectoryMgr::DiscoverNormalDataInRegionRoot(const OROustring& regionRoot, const OROustring& region) {
  // Data directly in the region folder wins over its sub-folders.
  if (DiscoverNormalDataInDirectory(regionRoot, region)) return true;
  ListMgr<OROustring> folders(true);
  ListSubFolders(regionRoot, folders);
  for (const OROustring* folder : folders) {
    // A name that holds a line break could not be recorded: a settings file cuts a string there.
    if (!folder || IsVersionControlFolder(*folder) || folder->str().find_first_of("\r\n") != std::string::npos)
      continue;
    if (DiscoverNormalDataInDirectory(JoinPath(regionRoot, folder->c_str()), region)) return true;
  }
  return false;
}

bool DirectoryMgr::DiscoverNormalDataInDirectory(const OROustring& dir, const OROustring& region) {
  const OROustring candidate = JoinPath(dir, "data");
  ListMgr<OROustring> gridFiles(true);
  GetFilesToValidate("LRGridDir", gridFiles);
  if (!AreFilesInDir(candidate.c_str(), gridFiles)) return false;
  SetDirPath("LRGridDir", candidate.wString());
  InitDataDirs(dir, OROustring());
  InitRegionDataDirs(region);
  return true;
}

bool DirectoryMgr::DiscoverStitchedDataInRegionRoot(const OROustring& regionRoot, const OROustring& region) {
  ListMgr<OROustring> folders(true);
  ListSubFolders(regionRoot, folders);
  std::vector<long> revisions;
  for (const OROustring* folder : folders) {
    const long revision = folder ? RevisionOf(*folder) : -1;
    if (revision >= 0) revisions.push_back(revision);
  }
  if (revisions.empty()) return false;
  // Highest revision first.
  std::sort(revisions.begin(), revisions.end(), [](long a, long b) { return CompareByLong(&a, &b) > 0; });

  ListMgr<OROustring> gridFiles(true);
  GetFilesToValidate("LRGridDir", gridFiles);
  for (long revision : revisions) {
    const OROustring candidate =
        UpdateDir(this, "LRGridDir", "network", false, static_cast<unsigned long>(revision), region, "");
    if (!AreFilesInDir(candidate.c_str(), gridFiles)) continue;
    WriteIntSetting("Data", "CurrentRevision", revision);
    SetDirPath("RegionDir", region.wString());
    InitRegionDataDirs(region);
    return true;
  }
  return false;
}
