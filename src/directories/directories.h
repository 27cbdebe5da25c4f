// What the library's interface uses of the directory folder beside the DirectoryMgr class (config/directorymgr.h):
// handing the directory code the store that it reads and writes settings through, and the directories of
// updatable data that the settings compose.
#ifndef NAVCONFIG_SRC_DIRECTORIES_DIRECTORIES_H
#define NAVCONFIG_SRC_DIRECTORIES_DIRECTORIES_H

#include <config/directorymgr.h>
#include <doroutil/orostring.h>

class CConfigMgr;

namespace navconfig {

// The configuration manager of the moment, which Config_ResetConfigMgr may replace; null while there is none.
// It does not set the library up.
using StoreAccessor = CConfigMgr* (*)();
// Hands the directory code (DirectoryMgr's reads and writes of settings, and the functions below) the store that
// it reads and writes settings through: once, before the first directory manager is made.
void UseStore(StoreAccessor store);

// The directories of updatable data, as the exported functions of config/data_dirs.h that carry these names give
// them. dirs is the directory manager whose table is read; with null every directory is unset.
OROustring UpdateDir(const DirectoryMgr* dirs, const OROustring& name, const OROustring& dataKind, bool streamed,
                     unsigned long revision, OROustring region, const OROustring& baseDir);
OROustring UpdateDirName(const DirectoryMgr* dirs, unsigned long revision, const OROustring& subDir,
                         const OROustring& fileName);
OROustring RootUpdateDir(const DirectoryMgr* dirs, bool streamed);
// The directory <name> of the current revision's data of that kind ("network", "orospeeds", ...).
OROustring CurrentDataDir(const DirectoryMgr* dirs, const char* name, const char* kind, bool streamed);
OROustring ThemeSkinDir(const DirectoryMgr* dirs);

}  // namespace navconfig

#endif
