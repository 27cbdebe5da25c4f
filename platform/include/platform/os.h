// The boundary to the operating system: everything the library needs from it, in one interface.
//
// One implementation per operating system (platform/posix/, platform/win32/), chosen by the build. Paths
// are UTF-8 throughout. Errors are translated here, once: callers get success or a short reason such as
// "rename user.cfg.tmp: No space left on device" (on Windows the system's text with the error's number),
// never a bare errno or Windows error code. Tests can make the calls on files fail (platform/faults.h).
// Every function may be called from any thread.
#ifndef NAVCONFIG_PLATFORM_OS_H
#define NAVCONFIG_PLATFORM_OS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// --- Paths -----------------------------------------------------------------------------------------------
// The separator that the platform writes ('/' on POSIX, '\' on Windows).
extern const char kPathSeparator;
// True for every byte the platform accepts as a separator.
bool IsPathSeparator(char c);
// The absolute form of a path: a relative one is taken from the process's current folder, and "." and empty
// components are dropped and ".." taken back, so that "rel/v.dat", "./rel/v.dat" and the absolute spelling
// give one text. ".." is taken back as the platform does: lexically on Windows; on POSIX, where it leads from
// a link to its target's parent, the folder of the last component is the one the system reaches (links
// followed) when it exists, and lexical otherwise; the last component is kept as given. On failure the path as
// it is.
std::string AbsolutePath(const std::string& path);
// True when the name can stand as one file name in a directory without leaving it: not empty, not "." or
// "..", and without separators or other bytes that the platform gives a meaning in paths.
bool IsSafeFileComponent(std::string_view name);

// --- Process ---------------------------------------------------------------------------------------------
// The value of an environment variable; false when it is not set.
bool GetEnv(const char* name, std::string& value);
// The full path of the module file that holds this library (the shared library or DLL, or the program that
// links it statically); empty when the system cannot tell.
std::string ModuleFileName();
// The folder of the module file of this library, ending in a separator.
std::string ModuleDirectory();
uint64_t CurrentThreadId();
// Physical memory of the machine in bytes, 0 when unknown.
uint64_t PhysicalMemoryBytes();
// Seconds since 1970 (for file names such as HKCU.reg.damaged-<time>).
int64_t UnixTime();
// Where the library keeps its files when no variable names a folder, as the build chose: the runtime folder
// (map layers lie in its maps/ folder), the configuration folder (the .cfg layer files) and the system's
// configuration folder (the read-only layers user_ro.cfg and product.cfg for every user of the machine, read when
// the configuration folder has none; empty when there is none). Built for an application that carries the
// library in its own folder (the default, and always on Windows): the library's own folder, none (the runtime
// folder is the configuration folder too) and none.
// Built as an installed system library (NAVCONFIG_USER_FOLDERS, POSIX only): $XDG_DATA_HOME/navconfig (else
// ~/.local/share/navconfig), $XDG_CONFIG_HOME/navconfig (else ~/.config/navconfig) and <sysconfdir>/navconfig
// (/etc/navconfig). Each ends in a separator or is empty; none is created here.
std::string DefaultRuntimeDirectory();
std::string DefaultConfigDirectory();
std::string SystemConfigDirectory();
// The user's own folder of the library, for what belongs to the user and not to an installation (the
// registry store, the key that protects stored passwords): NAVCONFIG_HOME when set, else $XDG_CONFIG_HOME/navconfig
// (else $HOME/.config/navconfig; an installed system library: $XDG_DATA_HOME/navconfig, else
// $HOME/.local/share/navconfig; on Windows %APPDATA%\navconfig). A HOME that is unset or relative gives way to
// the account's home folder, and without one to the root. Ends in a separator; not created here.
std::string UserHomeDirectory();
// The folder of the registry store: "registry" below UserHomeDirectory(), ending in a separator.
std::string RegistryDirectory();

// --- Files -----------------------------------------------------------------------------------------------
struct [[nodiscard]] Status {
  bool ok = true;
  std::string reason;  // empty when ok
  static Status Ok() { return {}; }
  static Status Error(std::string why) { return {false, std::move(why)}; }
};

bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates one directory level; true when it exists afterwards. On Windows a new folder takes the access
// rules of the folder above it, and privateToUser changes nothing (a user's profile is private already).
bool MakeDirectory(const std::string& path, bool privateToUser = false);
// Creates a directory and the missing folders above it (each new one 0700 when privateToUser); true when it
// exists afterwards. Folders that exist already keep their permission bits.
bool MakeDirectories(const std::string& path, bool privateToUser = false);
// Removes a file; false when it did not exist or could not be removed.
bool RemoveFile(const std::string& path);
// Renames, replacing the target when it exists.
Status RenameFile(const std::string& from, const std::string& to);
// Reads a whole file into a buffer from malloc (NUL-terminated, size excludes the NUL); false when the
// file is missing or unreadable, or is not a regular file (a symbolic link is followed to one). The open
// never blocks: a FIFO, a device or a socket put in the file's place is refused unread, a device unopened.
// The caller frees the buffer with free().
bool ReadWholeFile(const std::string& path, char** data, size_t* size);
// A file read from its start to its end in pieces, so that a large file need not be held whole; it opens
// what ReadWholeFile opens and refuses what it refuses.
class FileReader {
 public:
  explicit FileReader(const std::string& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  bool IsOpen() const { return m_handle != kClosed; }
  // The file's size when it was opened.
  uint64_t Size() const { return m_size; }
  // Reads at most room bytes into buffer: the number read, 0 at the end, -1 on a failure.
  long Read(char* buffer, size_t room);

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t m_handle = kClosed;  // the platform's handle of the open file
  uint64_t m_size = 0;
};

// --- Files in folders that others may write to ------------------------------------------------------------
// Whoever can write into a folder can put anything under a name the library uses there: a FIFO or a device
// (whose open would block, or act on the device), a directory, or a symbolic link to a file elsewhere. A
// write never opens such a thing and never creates or replaces a file outside the folder, except through a
// link that names an existing regular file of the process's user (the way people keep their settings in a
// dotfiles folder); that file is then replaced in its own folder.

// How a write treats a symbolic link standing at its path.
enum class LinkPolicy {
  FollowToOwnFile,  // replace the file the link names, when it is an existing regular file of this user
  ReplaceLink,      // replace the link itself; what it names is left alone
};
// The file that a write to path may replace: path itself when nothing or a regular file stands there (or a
// link, with LinkPolicy::ReplaceLink); the file named by a link (through a chain of links) as the policy
// allows. Otherwise a failure whose reason names the file and says why, such as "user.cfg is a FIFO, not a
// regular file" or "user.cfg is a symbolic link to a missing file (/home/u/dotfiles/user.cfg)". On Windows a
// link (a reparse point) is followed to an existing file, and owners are not checked.
Status ResolveWriteTarget(const std::string& path, std::string& target,
                          LinkPolicy links = LinkPolicy::FollowToOwnFile);
// Creates an empty file when nothing at all stands at path: never through a symbolic link (not even a
// dangling one), never truncating, never blocking. True when this call created it. The new file gets 0644
// less the umask (privateToUser: 0600).
bool CreateNewFile(const std::string& path, bool privateToUser = false);

// Writes a file so that a crash or a failure never leaves it half-written: the text goes to a temporary
// file in the folder of the file that is replaced, is flushed to the disk and renamed over it, and the folder
// is synced. What is replaced is what ResolveWriteTarget allows (a link that it follows stays a link, and
// the file it names is replaced); anything else fails with its reason before a file is made. An existing file
// keeps its permission bits, a new one gets 0644 less the umask (privateToUser: 0600). On Windows the file is
// moved over the target with write-through, and it takes the access rules of its folder. On failure the
// previous file is left whole and no temporary file remains.
Status WriteFileAtomically(const std::string& path, const void* data, size_t size, bool privateToUser = false,
                           LinkPolicy links = LinkPolicy::FollowToOwnFile);

struct DirEntry {
  std::string name;
  bool isDirectory = false;
  bool isFile = false;  // a regular file (through a link too): not a dangling link, a FIFO or a device
};
// The entries of a directory (without "." and ".."), in no particular order; false when it cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries);
// fopen with a UTF-8 path; always binary (no line-end translation on Windows).
std::FILE* OpenStream(const std::string& path, const char* mode);

// For benchmarks only: with false, WriteFileAtomically skips its syncs (the cost of the rest can be seen).
void SetSyncForBenchmarks(bool enabled);

}  // namespace platform

#endif
