// Installed map sets: OroDataSet and the directory manager's search for the sets below a path.
#include <config/directorymgr.h>
#include <config/gridversion.h>
#include <config/oro_dataset.h>
#include <doroutil/files.h>
#include <doroutil/strutil.h>

#include <charconv>
#include <new>
#include <string>

namespace {

constexpr const char* kMapSetExtension = "cgd";
constexpr const char* kCHXExtension = "chx";
constexpr const char* kVersionFile = "version.dat";
// Below a world grid folder the sub-folders are parts of the one set, never sets of their own.
constexpr const char* kWorldGridMarker = "wrldgrid";

OROustring Lowered(const OROustring& text) {
  OROustring lower(text);
  return lower.to_lower();
}

}  // namespace

// --- OroDataSet ------------------------------------------------------------------------------------------

OroDataSet::OroDataSet() = default;

OroDataSet::OroDataSet(const OroDataSet& other) { CopyFrom(other); }

const OroDataSet& OroDataSet::operator=(const OroDataSet& other) {
  if (this == &other) return *this;
  m_chxFiles.DeleteAll();
  CopyFrom(other);
  return *this;
}

OroDataSet::~OroDataSet() = default;

void OroDataSet::CopyFrom(const OroDataSet& other) {
  m_mapID = other.m_mapID;
  m_name = other.m_name;
  m_path = other.m_path;
  m_hasCHXFiles = other.m_hasCHXFiles;
  m_spareFlag = other.m_spareFlag;
  // Each copy owns entries of its own; a null entry, or one that cannot be allocated, stays null so that the
  // positions of the entries are kept.
  for (const OroFileName* chx : other.m_chxFiles)
    m_chxFiles.Add(chx ? new (std::nothrow) OroFileName(*chx) : nullptr);
}

bool OroDataSet::operator==(const OroDataSet& other) const {
  return m_name.compare(other.m_name, true) == 0 &&
         m_path.GetFullPath(false).compare(other.m_path.GetFullPath(false), true) == 0;
}

void OroDataSet::Reset() {
  m_mapID = -1;
  m_hasCHXFiles = false;
  m_spareFlag = false;
  m_name.clear();
  m_path.Clear();
  m_chxFiles.DeleteAll();
}

unsigned long OroDataSet::DiscoverCHXFiles() {
  const OROustring dir = m_path.GetFullPath(true);
  ListMgr<OROustring> chxNames(true);
  ListMgr<OROustring> cgdNames(true);
  FileList(chxNames, dir.c_str(), kCHXExtension);
  FileList(cgdNames, dir.c_str(), kMapSetExtension);

  // A CHX file belongs to the set when its ".cgd" file lies beside it. Names are matched without regard to
  // case, as the file systems the sets come from do, but each entry keeps the name the directory lists, so
  // that it opens on a file system that tells case apart.
  for (const OROustring* chx : chxNames) {
    if (!chx) continue;
    const OROustring companion = Lowered(OroFileName(dir, *chx).GetFileName(false)) + ".cgd";
    bool found = false;
    for (const OROustring* cgd : cgdNames) {
      if (cgd && Lowered(*cgd) == companion) {
        found = true;
        break;
      }
    }
    if (!found) continue;
    if (auto* entry = new (std::nothrow) OroFileName(dir, *chx)) m_chxFiles.Add(entry);
  }
  if (!m_chxFiles.IsEmpty()) m_hasCHXFiles = true;
  return static_cast<unsigned long>(m_chxFiles.Count());
}

// --- DirectoryMgr --------------------------------------------------------------------------------------------

int DirectoryMgr::GetMapID(const OroFileName& dir) {
  // Read afresh every time: the set may have been replaced since its version file was last cached.
  OROustring productName;
  GetDataVersionInfo(dir.GetFullPath(false), kVersionFile, "Product Name:", productName, true);
  const GridVersionString version(productName, OROustring(), OROustring());
  const OROustring& idText = version.Region_SubRegionId();
  if (idText.is_null()) return -1;
  // The id is read here as GetRegionId reads it (a whole decimal number, else 0), but wider: GetRegionId's
  // long has 32 bits on Windows and gives 0 for a number that does not fit. An id that does not fit the map
  // ID is no map ID on every platform; cutting it down, or reading it as 0, would name another set.
  const std::string& text = idText.str();
  const char* first = text.c_str();
  const char* last = first + text.size();
  const bool negative = *first == '-';
  if (*first == '-' || *first == '+') ++first;
  if (first == last || !custom_isdigit(*first)) return 0;
  unsigned long long magnitude = 0;
  const auto [end, error] = std::from_chars(first, last, magnitude);
  if (end != last) return 0;
  const unsigned long long limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
  if (error == std::errc::result_out_of_range || magnitude > limit) return -1;
  return negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
}

bool DirectoryMgr::GetMapSetInfo(OroDataSet& set, const OroFileName& dir) {
  const OROustring folder = dir.GetFullPath(false);
  ListMgr<OROustring> cgdNames(true);
  if (FileList(cgdNames, folder.c_str(), kMapSetExtension) == 0) return false;
  set.m_mapID = GetMapID(dir);
  // The set is the folder: a file part of dir is dropped, so that the path names the directory.
  set.m_path = OroFileName(folder, OROustring());
  set.m_name = set.m_path.GetParentDirectory(true);
  return true;
}

void DirectoryMgr::GetInstalledMapSetsInPath(ListMgr<OroDataSet>& sets, const OROustring& path,
                                              eInstallDataType type) {
  const OROustring kindDir(GetDirName(type));
  OroDataSet found;
  auto tryCandidate = [&](const OroFileName& candidate) {
    if (!GetMapSetInfo(found, candidate)) return;
    if (auto* copy = new (std::nothrow) OroDataSet(found)) sets.Add(copy);
    found.Reset();
  };

  const OroFileName self(path, OROustring());
  tryCandidate(self);

  const OROustring root = self.GetFullPath(false);
  if (!root.empty() && root.find(kWorldGridMarker, 0, false) < 0) {
    ListMgr<OROustring> subdirs(true);
    FileList(subdirs, root.c_str(), "", "", nullptr, 2);
    for (const OROustring* name : subdirs) {
      if (!name) continue;
      tryCandidate(OroFileName(root + *name, kindDir, OROustring()));
    }
  }

  // The kind's folder taken relative to the current directory (an empty kind names no folder at all).
  tryCandidate(OroFileName(OROustring(), kindDir, OROustring()));
}
