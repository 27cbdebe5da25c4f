// The operating-system boundary on Windows: the wide-character ("W") functions of the system, with paths
// converted from and to UTF-8 here.
#include <platform/file_lock.h>
#include <platform/os.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <memory>
#include <string>

#include "../common/read_all.h"
#include "win32_util.h"

namespace platform {

using win32::Narrow;
using win32::Widen;

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

namespace {

// Names that Windows gives to devices in every folder, with any extension ("con.cfg" is the console).
bool IsReservedDeviceName(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
    return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '0' && stem[3] <= '9';
}

}  // namespace

bool IsSafeFileComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    // Separators, the drive and stream marker ':', wildcards and the other characters that file names
    // cannot hold, and control characters.
    if (u < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|')
      return false;
  }
  // Windows drops trailing dots and spaces, so such a name would stand for another file.
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsReservedDeviceName(name);
}

std::string AbsolutePath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (path.empty() || n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return path;
  return Narrow(std::wstring_view(full.data(), written));
}

// ---- Process ----

bool GetEnv(const char* name, std::string& value) {
  const std::wstring wname = Widen(name);
  std::wstring buffer(256, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    DWORD n = ::GetEnvironmentVariableW(wname.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value.clear();  // set, but empty
      return true;
    }
    if (n < buffer.size()) {
      value = Narrow(std::wstring_view(buffer.data(), n));
      return true;
    }
    buffer.resize(n);  // n is the size needed, terminator included
  }
}

std::string ModuleFileName() {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModuleFileName), &module))
    return std::string();
  // Paths longer than MAX_PATH exist; a cut name would give a wrong folder, so the buffer grows until it fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string ModuleDirectory() {
  std::string path = ModuleFileName();
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".\\") : path.substr(0, cut + 1);
}

uint64_t CurrentThreadId() { return ::GetCurrentThreadId(); }

uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return ::GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

int64_t UnixTime() { return static_cast<int64_t>(std::time(nullptr)); }

// The application carries the library in its own folder.
std::string DefaultRuntimeDirectory() { return ModuleDirectory(); }
std::string DefaultConfigDirectory() { return std::string(); }
std::string SystemConfigDirectory() { return std::string(); }

std::string UserHomeDirectory() {
  auto withSeparator = [](std::string dir) {
    if (!IsPathSeparator(dir.back())) dir += kPathSeparator;
    return dir;
  };
  std::string dir;
  if (GetEnv("NAVCONFIG_HOME", dir) && !dir.empty()) return withSeparator(dir);
  if (GetEnv("APPDATA", dir) && !dir.empty()) return withSeparator(dir) + "navconfig\\";
  if (GetEnv("USERPROFILE", dir) && !dir.empty()) return withSeparator(dir) + "AppData\\Roaming\\navconfig\\";
  return ".\\navconfig\\";
}

std::string RegistryDirectory() { return UserHomeDirectory() + "registry\\"; }

// ---- Files ----

namespace {

std::string FileNameOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ErrorText(const char* what, const std::string& path, DWORD code) {
  return std::string(what) + " " + FileNameOf(path) + ": " + win32::ErrorDescription(code);
}

std::atomic<bool> g_sync{true};
std::atomic<unsigned> g_tempCounter{0};

// CreateFileW through the fault seam.
HANDLE CreateFileSeam(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  if (win32::Faulted(faults::Call::Open)) return INVALID_HANDLE_VALUE;
  return ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

bool ReadSeam(HANDLE h, char* buffer, size_t room, DWORD* got) {
  return !win32::Faulted(faults::Call::Read) &&
         ::ReadFile(h, buffer, room > (1u << 30) ? (1u << 30) : static_cast<DWORD>(room), got, nullptr);
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Widen(path).c_str()); }

// The length of the part of a path that names its root: "C:\", "\\server\share\", "\" or nothing.
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    size_t server = path.find_first_of("\\/", 2);
    if (server == std::string::npos) return path.size();
    size_t share = path.find_first_of("\\/", server + 1);
    return share == std::string::npos ? path.size() : share + 1;
  }
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

// The file that a link (a reparse point) at path names; false when it names nothing that exists.
bool LinkTarget(const std::wstring& path, std::wstring& target) {
  HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  target.assign(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(h, target.data(), static_cast<DWORD>(target.size()), VOLUME_NAME_DOS);
  if (n >= target.size()) {
    target.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(h, target.data(), static_cast<DWORD>(target.size()), VOLUME_NAME_DOS);
  }
  ::CloseHandle(h);
  if (n == 0 || n >= target.size()) return false;
  target.resize(n);
  return true;
}

bool WriteAll(HANDLE h, const void* data, size_t size) {
  auto p = static_cast<const char*>(data);
  while (size) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (win32::Faulted(faults::Call::Write) || !::WriteFile(h, p, chunk, &written, nullptr)) return false;
    p += written;
    size -= written;
  }
  return true;
}

// MoveFileExW, tried again for a moment while another program (a virus scanner, an indexer, a reader
// without FILE_SHARE_DELETE) holds the target open.
bool ReplaceByMove(const std::wstring& from, const std::wstring& to) {
  for (int attempt = 0;; ++attempt) {
    if (win32::Faulted(faults::Call::Rename)) return false;
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD e = ::GetLastError();
    if ((e != ERROR_SHARING_VIOLATION && e != ERROR_ACCESS_DENIED && e != ERROR_LOCK_VIOLATION) || attempt >= 10)
      return false;
    ::Sleep(static_cast<DWORD>(5 * (attempt + 1)));
  }
}

}  // namespace

void SetSyncForBenchmarks(bool enabled) { g_sync.store(enabled); }

bool IsRegularFile(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string& path, bool /*privateToUser*/) {
  // A folder that exists counts whatever error the call gives for it (ERROR_ALREADY_EXISTS, or
  // ERROR_ACCESS_DENIED for the root of a drive).
  return (!win32::Faulted(faults::Call::MakeDir) && ::CreateDirectoryW(Widen(path).c_str(), nullptr)) ||
         IsDirectory(path);
}

bool MakeDirectories(const std::string& path, bool privateToUser) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  // Each level below the root, from the top; a level that exists is passed over as it is.
  const size_t root = RootLength(path);
  for (size_t pos = root; pos <= path.size(); ++pos) {
    if (pos < path.size() && !IsPathSeparator(path[pos])) continue;
    if (pos == root || IsPathSeparator(path[pos - 1])) continue;
    const std::string level = path.substr(0, pos);
    if (!IsDirectory(level) && !MakeDirectory(level, privateToUser)) return false;
  }
  return IsDirectory(path);
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(Widen(path).c_str()) != 0; }

Status RenameFile(const std::string& from, const std::string& to) {
  if (!ReplaceByMove(Widen(from), Widen(to))) return Status::Error(ErrorText("rename", from, ::GetLastError()));
  return Status::Ok();
}

bool ReadWholeFile(const std::string& path, char** data, size_t* size) {
  *data = nullptr;
  *size = 0;
  // Shared for deleting too, so that a save that replaces the file meanwhile is not refused.
  HANDLE h = CreateFileSeam(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &length) || length.QuadPart < 0) {
    ::CloseHandle(h);
    return false;
  }
  const bool ok = ReadAll(
      static_cast<size_t>(length.QuadPart),
      [h](char* buffer, size_t room) -> long {
        DWORD got = 0;
        return ReadSeam(h, buffer, room, &got) ? static_cast<long>(got) : -1;
      },
      data, size);
  ::CloseHandle(h);
  return ok;
}

FileReader::FileReader(const std::string& path) {
  // Shared for deleting too, so that a save that replaces the file meanwhile is not refused.
  HANDLE h = CreateFileSeam(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  if (h == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER length{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &length) || length.QuadPart < 0) {
    ::CloseHandle(h);
    return;
  }
  m_handle = reinterpret_cast<intptr_t>(h);
  m_size = static_cast<uint64_t>(length.QuadPart);
}

FileReader::~FileReader() {
  if (IsOpen()) ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

long FileReader::Read(char* buffer, size_t room) {
  if (!IsOpen()) return -1;
  DWORD got = 0;
  return ReadSeam(reinterpret_cast<HANDLE>(m_handle), buffer, room, &got) ? static_cast<long>(got) : -1;
}

Status ResolveWriteTarget(const std::string& path, std::string& target, LinkPolicy links) {
  target = path;
  const std::wstring wide = Widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD e = ::GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? Status::Ok() : Status::Error(ErrorText("stat", path, e));
  }
  const std::string name = FileNameOf(path);
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && links == LinkPolicy::FollowToOwnFile) {
    std::wstring end;
    if (!LinkTarget(wide, end)) return Status::Error(name + " is a symbolic link to a missing file");
    const DWORD endAttributes = ::GetFileAttributesW(end.c_str());
    if (endAttributes == INVALID_FILE_ATTRIBUTES || (endAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return Status::Error(name + " is a symbolic link to a directory (" + Narrow(end) + "), not to a regular file");
    target = Narrow(end);
    return Status::Ok();
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Status::Error(name + " is a directory, not a regular file");
  return Status::Ok();
}

bool CreateNewFile(const std::string& path, bool /*privateToUser*/) {
  // CREATE_NEW fails on anything that stands there; the reparse-point flag keeps a link from being followed.
  HANDLE h = CreateFileSeam(Widen(path).c_str(), GENERIC_WRITE, 0, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

namespace {

// A fixed temporary name, used only under the file's lock: what a killed writer left there (a file, or an empty
// folder) is removed, and the file is created anew (CREATE_NEW fails on anything at the name, a link included);
// anything else is left alone, and *refusal says what it is.
HANDLE CreateFixedTemp(const std::wstring& temp, std::string* refusal) {
  auto create = [&] {
    return CreateFileSeam(temp.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  };
  HANDLE h = create();
  if (h != INVALID_HANDLE_VALUE || (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ACCESS_DENIED))
    return h;
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(temp.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (error == ERROR_FILE_EXISTS) return create();  // gone meanwhile
    ::SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT, directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
  // A read-only one is taken over as well (as a POSIX save takes over one whose mode forbids writing).
  if (!link && !directory && (attributes & FILE_ATTRIBUTE_READONLY))
    ::SetFileAttributesW(temp.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!link && (directory ? ::RemoveDirectoryW(temp.c_str()) : ::DeleteFileW(temp.c_str()))) return create();
  if (!link && !directory) {
    ::SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  *refusal = FileNameOf(Narrow(temp)) + " is " +
             (link ? "a symbolic link" : "a directory that is not empty") +
             ", standing where a save writes its temporary file; it holds no settings: move it away or remove it";
  return INVALID_HANDLE_VALUE;
}

// The last-write time of a file set to the precise current time: the file system's own stamp comes from a
// coarse clock, and saves under a lock tell one file from the next by it.
void StampPreciseTime(HANDLE h) {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  ::SetFileTime(h, nullptr, nullptr, &now);
}

Status WriteViaTemp(const std::string& path, const void* data, size_t size, bool fixedTemp, LinkPolicy links) {
  std::string allowed;
  if (Status s = ResolveWriteTarget(path, allowed, links); !s.ok) return s;
  const std::wstring target = Widen(allowed);
  const size_t cut = target.find_last_of(L"\\/");
  const std::wstring dir = cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
  const std::wstring base = cut == std::wstring::npos ? target : target.substr(cut + 1);

  // A new name in the same folder, so that the final move stays within one volume.
  std::wstring temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  DWORD err = ERROR_SUCCESS;
  std::string refusal;
  if (fixedTemp) {
    temp = dir + L"." + base + L".tmp";
    h = CreateFixedTemp(temp, &refusal);
    if (!refusal.empty()) return Status::Error(refusal);
    if (h == INVALID_HANDLE_VALUE) err = ::GetLastError();
  }
  for (int attempt = 0; !err && !fixedTemp && attempt < 100; ++attempt) {
    wchar_t suffix[40];
    std::swprintf(suffix, 40, L".tmp.%lx.%x", static_cast<unsigned long>(::GetCurrentProcessId()),
                  g_tempCounter.fetch_add(1) ^ static_cast<unsigned>(::GetTickCount64()));
    temp = dir + L"." + base + suffix;
    h = CreateFileSeam(temp.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (h != INVALID_HANDLE_VALUE) break;
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) err = ::GetLastError();
  }
  if (h == INVALID_HANDLE_VALUE) {
    if (!err) err = ERROR_FILE_EXISTS;
    return Status::Error(ErrorText("create", Narrow(temp.empty() ? dir + L"." + base + L".tmp" : temp), err));
  }
  // From here on nothing allocates before the handle is closed and the temporary file removed: a failure to
  // allocate must not leave the file behind for the next save to stumble on.
  auto fail = [&](const char* what, DWORD e) {
    ::CloseHandle(h);
    ::DeleteFileW(temp.c_str());
    return Status::Error(ErrorText(what, Narrow(temp), e));
  };
  if (!WriteAll(h, data, size)) return fail("write", ::GetLastError());
  if (fixedTemp) StampPreciseTime(h);
  if (g_sync.load(std::memory_order_relaxed) && (win32::Faulted(faults::Call::Sync) || !::FlushFileBuffers(h)))
    return fail("sync", ::GetLastError());
  if (!::CloseHandle(h)) {
    DWORD e = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    return Status::Error(ErrorText("close", Narrow(temp), e));
  }
  if (!ReplaceByMove(temp, target)) {
    DWORD e = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    return Status::Error(ErrorText("rename", Narrow(temp), e));
  }
  return Status::Ok();
}

}  // namespace

Status WriteFileAtomically(const std::string& path, const void* data, size_t size, bool /*privateToUser*/,
                           LinkPolicy links) {
  return WriteViaTemp(path, data, size, false, links);
}

Status ReplaceLockedFile(const std::string& path, const void* data, size_t size) {
  return WriteViaTemp(path, data, size, true, LinkPolicy::FollowToOwnFile);
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  std::string pattern = dir.empty() ? std::string(".") : dir;
  if (!IsPathSeparator(pattern.back())) pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW found{};
  HANDLE h = ::FindFirstFileExW(Widen(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return IsDirectory(dir);  // an empty drive root has no "." either
  // Closed however the listing ends (out of memory too).
  const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> search(h, ::FindClose);
  do {
    if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) continue;
    DirEntry entry;
    entry.name = Narrow(found.cFileName);
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link counts as what it leads to: a file only when it leads to one that exists.
    std::wstring target;
    const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.isFile = !entry.isDirectory &&
                   (!link || LinkTarget(Widen(pattern.substr(0, pattern.size() - 1)) + found.cFileName, target));
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(h, &found));
  return true;
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
  // Always binary: text mode would turn "\n" into "\r\n" and stop reading at a Ctrl-Z byte.
  std::string m = mode ? mode : "r";
  if (m.find('b') == std::string::npos) m += 'b';
  return ::_wfopen(Widen(path).c_str(), Widen(m).c_str());
}

}  // namespace platform
