// Where the library keeps its files when no variable names a folder, built as a system library that every user
// of the machine shares (NAVCONFIG_USER_FOLDERS, as the Debian packages are; the other choice is
// folders_own.cpp). Each user's settings are their own, in the XDG base directories: the configuration folder
// $XDG_CONFIG_HOME/navconfig, the runtime folder and the user's own folder (registry store, key of stored
// passwords) $XDG_DATA_HOME/navconfig. The administrator's and the product's read-only layers for every user lie
// in the system's configuration folder (/etc/navconfig), which the library only reads. The library's own folder
// (/usr/lib/<multiarch>) is never used: it is the system's, and one user's settings there would be everyone's.
#include <platform/os.h>
#include <platform/user_folders.h>

#include "posix_files.h"

namespace platform {

std::string DefaultRuntimeDirectory() { return posix::XdgFolder("XDG_DATA_HOME", ".local/share"); }
std::string DefaultConfigDirectory() { return posix::XdgFolder("XDG_CONFIG_HOME", ".config"); }
std::string SystemConfigDirectory() { return NAVCONFIG_SYSTEM_CONFIG_DIR; }

namespace posix {
std::string DefaultUserHome() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }
}  // namespace posix

}  // namespace platform
