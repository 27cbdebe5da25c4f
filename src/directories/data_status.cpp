// DirectoryMgr: the required files of the data folders, the data status and the first-run flag.
#include <config/data_dirs.h>
#include <config/directorymgr.h>
#include <doroutil/files.h>
#include <doroutil/logmgr.h>

#include "common/log.h"
#include "directories/directories.h"
#include "directories/directory_paths.h"
#include "directories/settings.h"

using namespace navconfig;

namespace {

void AddNames(const char* const* names, ListMgr<OROustring>& list) {
  for (; names && *names; ++names) list.Add(new OROustring(*names));
}

}  // namespace

void DirectoryMgr::GetFilesToValidate(const OROustring& dirName, ListMgr<OROustring>& files) const {
  for (const RequiredFiles& row : kRequiredFiles) {
    if (dirName == row.directory) {
      AddNames(row.files, files);
      return;
    }
  }
}

bool DirectoryMgr::ValidateDirectoryContents(const OROustring& dirName) const {
  ListMgr<OROustring> files(true);
  GetFilesToValidate(dirName, files);
  if (files.IsEmpty()) return true;
  return AreFilesInDir(DirPathU(this, dirName.c_str(), true).c_str(), files);
}

bool DirectoryMgr::ValidateNetworkDir() const {
  ListMgr<OROustring> files(true);
  GetFilesToValidate("LRGridDir", files);
  return AreFilesInDir(CurrentDataDir(this, "LRGridDir", "network", false).c_str(), files);
}

bool DirectoryMgr::FilesInDir(const OROustring& dir, const char* const* names) const {
  ListMgr<OROustring> list(true);
  AddNames(names, list);
  return AreFilesInDir(dir.c_str(), list);
}

eDataStatus DirectoryMgr::GetDataStatus() {
  if (IsAndroidLoggingEnabled() && GetLogMgr())
    LogMessage(kLogCategoryDirectories, kLogLevelInfo, kDirectoryLogSource, 389, "GetDataStatus");

  eDataStatus status = DATA_NOT_FOUND;
  if (ValidateDirectoryContents("LRGridDir")) {
    status = DATA_FOUND_NORMAL;
  } else if (!m_stitchedDataEnabled) {
    status = DATA_NOT_FOUND_STICTHING_OFF;
  } else if (ValidateNetworkDir()) {
    status = DATA_FOUND_STITCHED;
  }

  if (status == DATA_FOUND_NORMAL || status == DATA_FOUND_STITCHED) {
    // The record describes the data found now and nothing else: a field that this file lacks stays empty
    // rather than keeping what an earlier file said.
    TVersionStruct version;
    const bool read = ReadVersionDotDatFile(OroFileName(CurrentDataDir(this, "LRGridDir", "network", false), "version.dat"), version);
    m_curDataVersion = version;
    if (read && !DoesDataVerMatchSoftwareVer()) status = DATA_FOUND_SWVERSION_MISMATCH;
  }

  LogMessage(kLogCategoryGeneral, kLogLevelInfo, kDirectoryLogSource, 442, "DirectoryMgr::GetDataStatus() ret[%s]",
             GetDataStatusStr(status));
  return status;
}

bool DirectoryMgr::DoesDataVerMatchSoftwareVer() const {
  // 63 bytes offered: at most 62 of the value.
  const OROustring major = ReadStringSetting("Version", "Major", 63);
  const OROustring& format = m_curDataVersion.dataFormat;
  const long n = format.length();
  if (n < 1) return false;
  return format.compare(major, true, n) == 0;
}

bool DirectoryMgr::IsOutOfBoxFirstRun() {
  if (m_outOfBoxFirstRunKnown) return m_outOfBoxFirstRun;
  m_outOfBoxFirstRunKnown = true;
  if (!Store()) {
    m_outOfBoxFirstRun = false;
    return false;
  }
  m_outOfBoxFirstRun = ReadIntSetting("User Settings", "DrivoraOutOfBoxFirstRun") != 0;
  // The next start no longer counts as the first.
  WriteIntSetting("User Settings", "DrivoraOutOfBoxFirstRun", 0);
  return m_outOfBoxFirstRun;
}

const char* DirectoryMgr::GetDataStatusStr(eDataStatus status) const {
  switch (status) {
    case DATA_UNKNOWN: return "DATA_UNKNOWN";
    case DATA_FOUND_NORMAL: return "DATA_FOUND_NORMAL";
    case DATA_FOUND_STITCHED: return "DATA_FOUND_STITCHED";
    case DATA_FOUND_SWVERSION_MISMATCH: return "DATA_FOUND_SWVERSION_MISMATCH";
    case DATA_NOT_FOUND_STICTHING_OFF: return "DATA_NOT_FOUND_STICTHING_OFF";
    case DATA_NOT_FOUND: return "DATA_NOT_FOUND";
  }
  return "really unknown status";
}
