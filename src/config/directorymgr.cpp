// DirectoryMgr: construction, the start-up sequence and the platform directories.
#include <config/directorymgr.h>

#include "configmgr.h"

DirectoryMgr::DirectoryMgr() : m_externalStorageDirs(true), m_versionCache(true) {}

DirectoryMgr::~DirectoryMgr() = default;

const OROustring& DirectoryMgr::GetWriteableRootDir() const { return m_writeableRootDir; }

const OROustring& DirectoryMgr::GetUISupportDir() const {
  m_configDirUtf8 = m_configDir.uString();
  return m_configDirUtf8;
}

void DirectoryMgr::InitInternalStorageDir() {}
void DirectoryMgr::InitExternalStorageDir() {}
void DirectoryMgr::InitUISupportDirs() {}

const OROustring& DirectoryMgr::GetDataRootToSearch(bool) const { return m_writeableRootDir; }
const OROustring& DirectoryMgr::GetRegionSaveDir() const { return m_writeableRootDir; }

void DirectoryMgr::SetConfigPath(const char* path) { m_configDir = OROwstring(path ? path : ""); }

void DirectoryMgr::Initialize() {
  InitRuntimeDir();
  InitInternalStorageDir();
  InitExternalStorageDir();
  InitConfigDir();
  InitDirectoryTable();
  InitRegistryDir();
  SearchDataAndStatus();
}

// Filled in with the directory table, the data search and the data status.
void DirectoryMgr::InitDirectoryTable() {}
void DirectoryMgr::InitDataSupportDirs() {}
void DirectoryMgr::SearchDataAndStatus() {}
