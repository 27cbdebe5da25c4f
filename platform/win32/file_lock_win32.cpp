// File identities and the lock between writers of a file on Windows.
#include <platform/file_lock.h>

#include <windows.h>

#include "../common/lock_wait.h"
#include "win32_util.h"

namespace platform {

namespace {

std::string NameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

Status LockError(const std::string& lockPath, const std::string& why) {
  return Status::Error("lock " + NameOf(lockPath) + ": " + why);
}

uint64_t Join(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

}  // namespace

FileIdentity IdentifyFile(const std::string& path) {
  FileIdentity id;
  if (path.empty()) return id;
  // No access to the contents, so that no sharing mode of another program refuses the open; backup semantics
  // so that a folder at the path can be examined too.
  HANDLE h = ::CreateFileW(win32::Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = ::GetLastError();
    // Only a file that is not there is absent; one that cannot be examined is not taken for missing.
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) id.kind = FileIdentity::Kind::Other;
    return id;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  id.kind = FileIdentity::Kind::Other;
  if (::GetFileInformationByHandle(h, &info)) {
    if (::GetFileType(h) == FILE_TYPE_DISK && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      id.kind = FileIdentity::Kind::Regular;
    id.device = info.dwVolumeSerialNumber;
    id.index = Join(info.nFileIndexHigh, info.nFileIndexLow);
    id.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    id.modified = static_cast<int64_t>(Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
  }
  ::CloseHandle(h);
  return id;
}

std::string LockFileOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  const size_t start = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(0, start) + "." + path.substr(start) + ".lock";
}

namespace {

// LockFileEx on the first byte of a lock file opened as itself (a link at its name is refused, never followed).
class LockFileCalls final : public lockwait::LockCalls {
 public:
  Status Open(const std::string& lockPath, intptr_t* handle) const override {
    const std::wstring wide = win32::Widen(lockPath);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return LockError(lockPath, "is a symbolic link, and links are refused there (remove it)");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return LockError(lockPath, "is a directory, not a regular file (remove it)");
    HANDLE h = win32::Faulted(faults::Call::Open)
                   ? INVALID_HANDLE_VALUE
                   : ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LockError(lockPath, win32::ErrorDescription(::GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
      ::CloseHandle(h);
      return LockError(lockPath, "not a regular file (remove it)");
    }
    *handle = reinterpret_cast<intptr_t>(h);
    return Status::Ok();
  }
  Try TryLock(intptr_t handle, std::string* reason) const override {
    return Lock(handle, LOCKFILE_FAIL_IMMEDIATELY, reason);
  }
  bool BlockingLock(intptr_t handle, std::string* reason) const override {
    // The handle is not opened for overlapped use, so the call waits until the system grants the lock.
    return Lock(handle, 0, reason) != Try::Failed;
  }
  void Close(intptr_t handle) const override {
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    // Unlocked at once rather than whenever the system gets to it after the handle closes.
    OVERLAPPED at{};
    ::UnlockFileEx(h, 0, 1, 0, &at);
    ::CloseHandle(h);
  }
  uint64_t ProcessId() const override { return ::GetCurrentProcessId(); }

 private:
  static Try Lock(intptr_t handle, DWORD flags, std::string* reason) {
    OVERLAPPED at{};
    if (!win32::Faulted(faults::Call::Lock) &&
        ::LockFileEx(reinterpret_cast<HANDLE>(handle), LOCKFILE_EXCLUSIVE_LOCK | flags, 0, 1, 0, &at))
      return Try::Granted;
    const DWORD e = ::GetLastError();
    if (e == ERROR_NOT_SUPPORTED || e == ERROR_INVALID_FUNCTION) return Try::Unsupported;
    if (e == ERROR_LOCK_VIOLATION || e == ERROR_SHARING_VIOLATION || e == ERROR_IO_PENDING) return Try::Busy;
    *reason = win32::ErrorDescription(e);
    return Try::Failed;
  }
};

const LockFileCalls kLockCalls;

}  // namespace

Status FileLock::Acquire(const std::string& lockPath, std::chrono::milliseconds timeout) {
  return AcquireWith(lockPath, timeout, kLockCalls);
}

Status FileLock::AcquireWith(const std::string& lockPath, std::chrono::milliseconds timeout,
                             const lockwait::LockCalls& calls) {
  Release();
  return lockwait::Acquire(lockPath, timeout, calls, &m_handle);
}

void FileLock::Release() {
  if (m_handle == kNone) return;
  HANDLE h = reinterpret_cast<HANDLE>(m_handle);
  // Unlocked at once rather than whenever the system gets to it after the handle closes.
  OVERLAPPED at{};
  ::UnlockFileEx(h, 0, 1, 0, &at);
  ::CloseHandle(h);
  m_handle = kNone;
}

}  // namespace platform
