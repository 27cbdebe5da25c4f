// Opening the files of the user's own folders on POSIX systems so that nothing put in their place can block
// the process or be taken for them: the layer files, the registry store, the key of the stored passwords and
// their lock files. Used by the POSIX implementations only (os_posix.cpp, registry_posix.cpp,
// crypt_sodium.cpp).
#ifndef NAVCONFIG_PLATFORM_POSIX_POSIX_FILES_H
#define NAVCONFIG_PLATFORM_POSIX_POSIX_FILES_H

#include <platform/os.h>
#include <sys/stat.h>

#include <string>

namespace platform::posix {

// A file opened for reading, or why not.
struct ReadableFile {
  int fd = -1;              // -1 when not opened
  int err = 0;              // errno of the failure (ENOENT: nothing there); 0 when notRegular
  bool notRegular = false;  // something else stands there: kind says what
  const char* kind = "";    // "a FIFO", "a directory", ... for the reason of a refusal
  struct stat st {};        // of the open file
};

// Opens path for reading without ever blocking, and only a regular file (a symbolic link is followed to
// one): anything else is refused before it is opened, and again after the open in case it was swapped in
// meanwhile. The caller closes fd.
ReadableFile OpenRegularFile(const std::string& path);

// "a FIFO", "a directory", "a character device", ... for the file type bits of a mode.
const char* KindOf(mode_t mode);

// For files that hold the user's own data or secrets (the key, the registry store): a file of another user
// is refused (Refused); one that others could read or write is made 0600 (Repaired), so that it is the
// user's alone from now on, or is left so when its mode cannot be changed (Exposed: a read-only file system).
enum class Privacy { Private, Repaired, Exposed, Refused };
Privacy KeepPrivate(int fd, const struct stat& st);

// Opens (creating, 0600) a lock file for flock: never through a symbolic link, never blocking, and only a
// regular file. -1 on failure.
int OpenLockFile(const std::string& path);

// Moves a damaged file aside as <path>.damaged-<unix time>, or -<time>-2, -3, ... when that name is taken, so
// that copies set aside within one second never replace one another; aside receives the name used. For files
// under their lock: two callers must not set the same file aside at once.
Status SetAside(const std::string& path, std::string& aside);

// "<$variable>/navconfig/" for an XDG base directory variable (XDG_CONFIG_HOME, XDG_DATA_HOME) that names an
// absolute folder, else "<home>/<belowHome>/navconfig/" with the home from HOME or else the user's account.
std::string XdgFolder(const char* variable, const char* belowHome);
// The user's own folder when NAVCONFIG_HOME does not name one, as the build chose it (folders_*.cpp).
std::string DefaultUserHome();

}  // namespace platform::posix

#endif
