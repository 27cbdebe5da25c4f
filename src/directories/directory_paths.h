// Small path helpers shared by the directory manager's source files.
#ifndef NAVCONFIG_SRC_DIRECTORIES_DIRECTORY_PATHS_H
#define NAVCONFIG_SRC_DIRECTORIES_DIRECTORY_PATHS_H

#include <config/directorymgr.h>
#include <doroutil/orostring.h>

#include "directories/directory_table.h"

namespace navconfig {

constexpr const char* kDirectoryLogSource = "directorymgr";

// The region codes, in the order in which data is searched.
constexpr const char* kRegionCodes[] = {"NA", "EU", "OC", "AF", "AS", "SE", "ME", "SA"};

// base, a separator (only when base does not already end in one) and name. An empty base gives name alone,
// so that a missing root never turns a relative folder into one at the top of the file system.
OROustring JoinPath(const OROustring& base, const char* name);

// GetDirPath as UTF-8: the directory, or the empty string when it is not set (or dirs is null).
OROustring DirPathU(const DirectoryMgr* dirs, const char* name, bool appendSlash);

// The folder that a directory variable (NAVCONFIG_CONFIG_DIR, NAVCONFIG_RUNTIME_DIR) names, with a separator at
// its end; false when the variable is unset or empty.
bool DirectoryFromEnvironment(const char* name, OROwstring& out);

}  // namespace navconfig

#endif
