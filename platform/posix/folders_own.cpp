// Where the library keeps its files when no variable names a folder, built for an application that carries the
// library in its own folder (the default; the other choice is folders_user.cpp): the runtime and configuration
// folders are the library's own folder, there is no system-wide folder, and the user's own folder (the registry
// store, the key of stored passwords) is $XDG_CONFIG_HOME/navconfig.
#include <platform/os.h>

#include "posix_files.h"

namespace platform {

std::string DefaultRuntimeDirectory() { return ModuleDirectory(); }
std::string DefaultConfigDirectory() { return std::string(); }
std::string SystemConfigDirectory() { return std::string(); }

namespace posix {
std::string DefaultUserHome() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }
}  // namespace posix

}  // namespace platform
