// The calls of the Windows registry, as the library's registry exports use them. On Windows they are the
// system's own (platform/win32/registry_win32.cpp), and the system's rules hold; the handles and roots below
// are the system's under another type. Elsewhere a registry of the library's own stands behind them
// (platform/posix/registry_posix.cpp), as described here. Where the two differ: the system folds the case of
// every letter, not only ASCII; it refuses a sub-key path that begins with a backslash; it keeps a REG_SZ as
// it was written; after ERROR_MORE_DATA a buffer's contents are undefined; it checks a handle's right to
// create keys (not under Wine); and it has no store files. On both, RegSetValueExW refuses a REG_DWORD whose
// size is not 4 and a null data pointer with a non-zero size.
//
// The library's own registry:
// Keys form three trees, one per predefined root (HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER).
// A sub-key path names keys separated by backslashes; empty components are passed over, so "a\\b\" is "a\b".
// Key and value names compare without regard to ASCII case and keep the spelling they were created with.
// A key holds sub-keys and named values; the empty (or null) value name is the key's default value. Values
// are REG_DWORD (4 bytes in the machine's order) or REG_SZ (UTF-16 text; a query gives it with one
// terminator, and sizes count bytes, terminator included); other types are kept as raw bytes. A REG_SZ
// written without a terminator is stored as if it had one.
//
// The calls behave as their Windows namesakes:
// - RegOpenKeyExW fails with ERROR_FILE_NOT_FOUND for a missing key and leaves *result untouched then.
// - RegCreateKeyExW creates the missing keys of the path, intermediate ones included; *disposition (when
//   given) tells REG_CREATED_NEW_KEY from REG_OPENED_EXISTING_KEY.
// - RegDeleteKeyW removes a key without sub-keys (values go with it); ERROR_ACCESS_DENIED when it has
//   sub-keys or is a predefined root, ERROR_FILE_NOT_FOUND when it is missing.
// - RegQueryValueExW reports the type when asked. With a null data pointer and a size pointer it reports the
//   size. With a buffer that is too small it fills the buffer with as many bytes as fit, sets *dataSize to
//   the size needed and returns ERROR_MORE_DATA. A missing value gives ERROR_FILE_NOT_FOUND.
// - RegSetValueExW refuses a REG_DWORD whose size is not 4, a null data pointer with a non-zero size and a
//   value name longer than 16,383 characters; RegCreateKeyExW refuses to make a key whose name is longer than
//   255 characters (ERROR_INVALID_PARAMETER), as the system registry does: the enumerations name no longer ones.
// - A handle opened without KEY_QUERY_VALUE cannot be queried, one without KEY_SET_VALUE cannot be written,
//   one without KEY_CREATE_SUB_KEY cannot have keys created below it (ERROR_ACCESS_DENIED). The predefined
//   roots allow everything.
// - A handle names its key by its path: once the key is deleted (by this process or another one), every
//   call on the handle gives ERROR_KEY_DELETED until a key of that path exists again.
// - RegEnumKeyExW and RegEnumValueW give the name of the index-th sub-key or value (and the value's type), in
//   the folded names' order (the system's order on Windows), which stays while the key does not change:
//   *nameSize gives the room at name in units, terminator included, and receives the name's length without it;
//   ERROR_MORE_DATA when it does not fit, ERROR_NO_MORE_ITEMS past the last. They need KEY_ENUMERATE_SUB_KEYS
//   and KEY_QUERY_VALUE.
// - RegDeleteValueW removes a value (KEY_SET_VALUE); ERROR_FILE_NOT_FOUND when it is missing.
// - RegCloseKey frees a handle; closing a predefined root does nothing and succeeds; a handle that is not
//   open gives ERROR_INVALID_HANDLE.
// Volatile keys (REG_OPTION_VOLATILE), classes and security attributes are not supported: those arguments
// are ignored and every key is kept on disk.
//
// Storage. Each root lives in one file of RegistryDirectory() (platform/os.h): HKCR.reg, HKLM.reg and
// HKCU.reg, readable by the user alone (the folder 0700, the files 0600). Every change is written at once
// and atomically (a temporary file renamed over the old one), as a read-modify-write under an advisory lock
// on HKxx.reg.lock (the lock that flock(1) takes), so that processes sharing the store never lose each other's
// changes; a change waits 10 s at most for a lock that another process holds, and then fails with
// ERROR_REGISTRY_IO_FAILED, the log saying how long it waited. Before every call
// the file is read again when it changed on disk, so that a process sees what another one wrote. A change
// that cannot be written is not kept and the call fails with ERROR_REGISTRY_IO_FAILED. A file that cannot
// be read as a store is never overwritten: it is renamed to HKxx.reg.damaged-<unix time>, an error is
// logged (source "registry") and the root starts empty.
//
// File format (UTF-8, one item per line, lines end in LF):
//   ; navconfig registry 1                      first line: the format and its version
//   [Software\Acme\Navigation]                  a key, by its path from the root; "[]" is the root itself
//   "Count"=dword:0000002a                      a REG_DWORD value of the key above, 8 hexadecimal digits
//   "Name"=sz:Route \"Nord\"\n2nd line          a REG_SZ value: the rest of the line is the text
//   ""=hex(3):00ff10                            a value of another type: its type number, then its bytes
// Value names are written in double quotes. In value names and texts, \\ \" \r \n \0 stand for backslash,
// quote, CR, LF and NUL, and \uXXXX for any other UTF-16 unit (other control characters and unpaired
// surrogates), so that every text survives. In key names (which cannot hold a backslash) %XXXX stands for
// the UTF-16 unit XXXX; it is written for '%', '[', ']', control characters and unpaired surrogates. Keys
// are written parents first, in name order; a key line creates the keys above it when they are missing.
// Empty lines and lines that begin with ';' are comments.
//
// Every call may be made from any thread; the store is guarded by one lock per process.
#ifndef NAVCONFIG_PLATFORM_REGISTRY_H
#define NAVCONFIG_PLATFORM_REGISTRY_H

#include <chrono>
#include <cstdint>

namespace platform::reg {

struct RegKey;
using HKEY = RegKey*;

extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_LOCAL_MACHINE;
extern const HKEY HKEY_CURRENT_USER;

// Results, as the Windows error codes of the same names.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_OUTOFMEMORY = 14;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr long ERROR_NO_MORE_ITEMS = 259;
inline constexpr long ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr long ERROR_KEY_DELETED = 1018;

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Access rights.
inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_WRITE = 0x20006;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

// Options and dispositions of RegCreateKeyExW.
inline constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

long RegOpenKeyExW(HKEY root, const char16_t* subKey, uint32_t options, uint32_t access, HKEY* result);
long RegQueryValueExW(HKEY key, const char16_t* valueName, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* dataSize);
long RegSetValueExW(HKEY key, const char16_t* valueName, uint32_t reserved, uint32_t type, const uint8_t* data,
                    uint32_t dataSize);
long RegCreateKeyExW(HKEY root, const char16_t* subKey, uint32_t reserved, char16_t* cls, uint32_t options,
                     uint32_t access, void* security, HKEY* result, uint32_t* disposition);
long RegDeleteKeyW(HKEY root, const char16_t* subKey);
long RegEnumKeyExW(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize);
long RegEnumValueW(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize, uint32_t* type);
long RegDeleteValueW(HKEY key, const char16_t* valueName);
long RegCloseKey(HKEY key);

// How long a change of the library's own store waits for the lock of its file (10 s unless a test sets it).
// Nothing on Windows, where the registry is the system's.
void SetStoreLockTimeout(std::chrono::milliseconds timeout);

}  // namespace platform::reg

#endif
