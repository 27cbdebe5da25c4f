// The directories of updatable data, composed from the directory table, the root, the region, the revision and
// the kind of data.
#include <doroutil/files.h>

#include <cstdint>

#include "directories/directories.h"
#include "directories/directory_paths.h"
#include "directories/settings.h"

namespace navconfig {

namespace {

// The revision argument that stands for the current revision. Compared on its low 32 bits, so that -1 means
// the same where unsigned long is wider.
constexpr uint32_t kCurrentRevision = 0xFFFFFFFF;

uint32_t ResolveRevision(unsigned long revision) {
  const auto value = static_cast<uint32_t>(revision);
  if (value != kCurrentRevision) return value;
  return static_cast<uint32_t>(ReadIntSetting("Data", "CurrentRevision"));
}

// In decimal, unsigned: a revision above 0x7FFFFFFF names a folder of its own digits where long has 32 bits too.
OROustring RevisionText(uint32_t revision) { return OROustring(std::to_string(revision)); }

// The kinds of data that keep a "base" level below the revision.
bool HasBaseLevel(const OROustring& kind) {
  return kind == "network" || kind == "polygons" || kind == "orospeeds" || kind == "ispeeds" || kind == "tmc";
}

}  // namespace

OROustring ThemeSkinDir(const DirectoryMgr* dirs) {
  const OROustring theme = ReadStringSetting("Styles", "Theme", 511);
  if (theme.is_null()) return theme;
  OROustring result = DirPathU(dirs, "ThemesDir", true);
  result += theme;
  result.appendSlash();
  result += "skin";
  result.appendSlash();
  return result;
}

OROustring UpdateDir(const DirectoryMgr* dirs, const OROustring& name, const OROustring& dataKind, bool streamed,
                     unsigned long revision, OROustring region, const OROustring& baseDir) {
  // A configured directory wins over the layout.
  OROustring result = DirPathU(dirs, name.c_str(), true);
  if (!result.empty()) return result;
  result = baseDir.empty() ? DirPathU(dirs, "RootDir", true) : baseDir;
  if (result.empty()) return result;
  result.appendSlash();
  const uint32_t resolved = ResolveRevision(revision);
  if (region.is_null()) region = DirPathU(dirs, "RegionDir", true);
  result += region;
  result.appendSlash();
  result += RevisionText(resolved);
  result.appendSlash();
  if (streamed) {
    result += "streamed";
    result.appendSlash();
  } else if (HasBaseLevel(dataKind)) {
    result += "base";
    result.appendSlash();
  }
  if (dataKind == "network") result += "data";
  else if (HasBaseLevel(dataKind)) result += dataKind;
  result.appendSlash();
  return result;
}

OROustring UpdateDirName(const DirectoryMgr* dirs, unsigned long revision, const OROustring& subDir,
                         const OROustring& fileName) {
  const OROustring update = DirPathU(dirs, "UpdateDir", true);
  OROustring sub = subDir;
  if (sub.compare(".\\", false, 2) == 0 || sub.compare("./", false, 2) == 0) sub = sub.substr(2);
  OROustring result = update + RevisionText(ResolveRevision(revision));
  if (!sub.empty()) {
    result.appendSlash();
    result += sub;
  }
  if (subDir.empty()) FileCreateDir(result.c_str());
  if (!result.empty()) {
    result.appendSlash();
    result += fileName;
  }
  return result;
}

OROustring RootUpdateDir(const DirectoryMgr* dirs, bool streamed) {
  return UpdateDir(dirs, "LRGridDir", "", streamed, kCurrentRevision, OROustring(), DirPathU(dirs, "RuntimeDir", true));
}

OROustring CurrentDataDir(const DirectoryMgr* dirs, const char* name, const char* kind, bool streamed) {
  return UpdateDir(dirs, name, kind, streamed, kCurrentRevision, OROustring(), OROustring());
}

}  // namespace navconfig
