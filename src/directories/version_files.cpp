// DirectoryMgr: reading the version.dat files of data sets, and the cache of those already read.
#include <config/directorymgr.h>
#include <doroutil/files.h>
#include <doroutil/strutil.h>
#include <doroutil/sync.h>
#include <platform/os.h>

#include <cstring>

namespace {

// The cache of version files is used from any thread (Config_GetDataVersionInfo); one lock serves the process's
// directory manager, of which there is one at a time.
critSec g_versionLock;

// Only the head of a version file is read.
constexpr int kVersionLinesRead = 10;
constexpr int kVersionLineBuffer = 256;

struct VersionLabel {
  const char* label;
  OROustring TVersionStruct::*field;
};

// Tested in this order on each line; a line feeds one field at most.
constexpr VersionLabel kVersionLabels[] = {
    {"Product Name:", &TVersionStruct::productName}, {"Data Version:", &TVersionStruct::dataVersion},
    {"Data Format:", &TVersionStruct::dataFormat},   {"Grid Data:", &TVersionStruct::gridData},
    {"Language:", &TVersionStruct::language},
};

// Two absolute paths that name one file: on Windows a separator of either kind matches the other.
bool SamePath(const std::string& x, const std::string& y) {
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (x[i] != y[i] && !(platform::IsPathSeparator(x[i]) && platform::IsPathSeparator(y[i]))) return false;
  return true;
}

}  // namespace

bool DirectoryMgr::ReadVersionDotDatFile(const OroFileName& file, TVersionStruct& version) const {
  const OROustring path = file.GetFullPath(true);
  // Only a regular file: a folder named like the file is no version file.
  if (!FileExists(path.c_str())) return false;
  version.fileName = OroFileName(path);
  FileHandle* handle = FileOpen(path.c_str(), "r");
  if (!handle) return false;
  char line[kVersionLineBuffer];
  for (int n = 0; n < kVersionLinesRead && FileReadNextLine(handle, line, sizeof line); ++n) {
    // A byte order mark (as Notepad writes one) is no part of the first line's label.
    const char* text = n == 0 && std::strncmp(line, "\xEF\xBB\xBF", 3) == 0 ? line + 3 : line;
    for (const VersionLabel& label : kVersionLabels) {
      const size_t length = std::strlen(label.label);
      if (SpecialChar_strnicmp(text, label.label, length) != 0) continue;
      OROustring value(text + length);
      version.*label.field = value.strip();
      break;
    }
  }
  FileClose(handle);
  return true;
}

bool DirectoryMgr::GetDataVersionInfo(const OROustring& dir, const OROustring& fileName, const char* label,
                                      OROustring& value, bool reload) {
  const OroFileName file(dir, fileName);
  // Records are found by the absolute form of the file's path, so that relative spellings of one file ("rel/",
  // "./rel/", "/cwd/rel/") share one record; a record keeps that form as its file name.
  const std::string path = platform::AbsolutePath(file.GetFullPath(true).str());
  const CritSecHolder hold(g_versionLock);
  const TVersionStruct* record = nullptr;
  for (size_t i = 0; i < m_versionCache.Count(); ++i) {
    const TVersionStruct* cached = m_versionCache[i];
    if (!cached || !SamePath(cached->fileName.GetFullPath(true).str(), path)) continue;
    if (reload) {
      m_versionCache.RemoveAt(i);
    } else {
      record = cached;
    }
    break;
  }
  if (!record) {
    TVersionStruct version;
    if (!ReadVersionDotDatFile(file, version)) return false;
    auto* copy = new TVersionStruct(version);
    copy->fileName = OroFileName(OROustring(path));
    m_versionCache.Add(copy);
    record = copy;
  }
  if (!label) return true;
  if (custom_stristr(label, "Product Name:")) value = record->productName;
  else if (custom_stristr(label, "Data Version:")) value = record->dataVersion;
  else if (custom_stristr(label, "Data Format:")) value = record->dataFormat;
  else if (custom_stristr(label, "Grid Data:")) value = record->gridData;
  return true;
}

bool DirectoryMgr::GetCurRunningDataVerInfo(TVersionStruct& version) const {
  version = m_curDataVersion;
  return true;
}
