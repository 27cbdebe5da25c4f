#include "support/test_support.h"

#include "support/file_kinds.h"

#include <doroutil/logmgr.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// Paths handed to the standard library are UTF-8 (on Windows a narrow path would be read in the ANSI code
// page).
fs::path FsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const fs::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) { return FsPath(utf8).wstring(); }
#endif

// Sets a variable, or with a null value removes it.
void PutEnv(const char* name, const char* value) {
#ifdef _WIN32
  // The process's environment block, which the library reads and child processes inherit.
  ::SetEnvironmentVariableW(Wide(name).c_str(), value ? Wide(value).c_str() : nullptr);
#else
  value ? ::setenv(name, value, 1) : ::unsetenv(name);
#endif
}

// Child processes.

std::map<std::string, ChildMain>& Children() {
  static std::map<std::string, ChildMain> children;
  return children;
}

constexpr const char* kChildFlag = "--navconfig-child";

#ifdef _WIN32
using Process = HANDLE;
using Pid = DWORD;
using Stream = HANDLE;
constexpr Stream kInherited = nullptr;
void Close(Stream s) { if (s) ::CloseHandle(s); }

// A file for a child's standard stream (kInherited when it cannot be opened).
Stream Open(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, &inherit,
                                 write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInherited : h;
}

// One argument of a command line, quoted as the C run-time's parser expects.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// Starts a program with its standard streams (kInherited: this process's) in the folder cwd (empty: this
// process's); ownGroup gives it a process group of its own, which Ctrl-Break can be sent to alone. Null when
// it could not start.
Process Spawn(const std::string& path, const std::vector<std::string>& args, const Stream (&streams)[3],
              const std::string& cwd, bool ownGroup, Pid* id = nullptr) {
  std::wstring commandLine = Quote(Wide(path));
  for (const std::string& a : args) commandLine += L" " + Quote(Wide(a));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  const DWORD standard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE* targets[3] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
  for (int i = 0; i < 3; ++i) *targets[i] = streams[i] ? streams[i] : ::GetStdHandle(standard[i]);
  PROCESS_INFORMATION info{};
  const std::wstring dir = Wide(cwd);
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, ownGroup ? CREATE_NEW_PROCESS_GROUP : 0,
                        nullptr, cwd.empty() ? nullptr : dir.c_str(), &startup, &info))
    return nullptr;
  ::CloseHandle(info.hThread);
  if (id) *id = info.dwProcessId;
  return info.hProcess;
}

// The exit code of a process once it ended (waiting for its end when block), killed (-1) when TerminateProcess
// gave it 137; nothing when it still runs.
std::optional<int> WaitFor(Process process, bool killed, bool block) {
  if (::WaitForSingleObject(process, block ? INFINITE : 0) == WAIT_TIMEOUT) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  return killed && code == 137 ? -1 : static_cast<int>(code);
}
#else
using Process = pid_t;
using Pid = pid_t;
using Stream = int;
constexpr Stream kInherited = -1;
void Close(Stream s) { if (s >= 0) ::close(s); }

Stream Open(const std::string& path, bool write) {
  return ::open(path.c_str(), write ? O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC : O_RDONLY | O_CLOEXEC, 0644);
}

Process Spawn(const std::string& path, const std::vector<std::string>& args, const Stream (&streams)[3],
              const std::string& cwd, bool, Pid* = nullptr) {
  std::vector<std::string> all = {path};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid > 0 ? pid : 0;
  for (int i = 0; i < 3; ++i)
    if (streams[i] != kInherited && ::dup2(streams[i], i) < 0) ::_exit(126);
  if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
  ::execv(path.c_str(), argv.data());
  ::_exit(127);
}

// The exit code of a process once it ended (waiting for its end when block), -1 when a signal ended it;
// nothing when it still runs.
std::optional<int> WaitFor(Process pid, bool, bool block) {
  int status = 0, got = 0;
  while ((got = ::waitpid(pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got == 0) return std::nullopt;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

// A started program. Its standard output goes to the file io/out (read as it grows, the same on every system,
// and the program never waits for a reader); given an input, its standard input reads that text and its
// standard error goes to io/err.
struct Running {
  TempDir io;
  Process process{};
  Pid id = 0;  // for Ctrl-Break on Windows
  bool killed = false;
  bool ended = false;
  int exitCode = -1;

  void Start(const std::string& path, const std::vector<std::string>& args, const std::string& cwd, bool ownGroup,
             const std::string* input) {
    if (input) WriteFile(io / "in", *input);
    if (path.empty()) return;
    // A start that fails is tried again: under Wine on a busy machine, making a process now and then fails for a
    // moment. A program that could not be started at all says so on its standard error (when that is a file).
    for (int attempt = 0; attempt < 3 && process == Process{}; ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const Stream streams[3] = {input ? Open(io / "in", false) : kInherited, Open(io / "out", true),
                                 input ? Open(io / "err", true) : kInherited};
      const bool opened =
          streams[1] != kInherited && (!input || (streams[0] != kInherited && streams[2] != kInherited));
      if (opened) process = Spawn(path, args, streams, cwd, ownGroup, &id);
      for (const Stream s : streams) Close(s);
    }
    if (process == Process{} && input) WriteFile(io / "err", "could not start " + path + "\n");
  }
  // Whether the program ended (waiting for its end when block), noting its exit code when it did.
  bool Ended(bool block = false) {
    if (process == Process{} || ended) return true;
    const std::optional<int> code = WaitFor(process, killed, block);
    if (code) exitCode = *code;
    return ended = code.has_value();
  }
#ifdef _WIN32
  ~Running() { Close(process); }
#endif
};

}  // namespace

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kSeparator);
  return path;
}

std::vector<std::string> NativeAll(std::vector<std::string> paths) {
  for (std::string& p : paths) p = Native(std::move(p));
  return paths;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  std::string out = dir;
  if (!out.empty() && out.back() != '/' && out.back() != kSeparator) out += kSeparator;
  return out + Native(name);
}

TempDir::TempDir() {
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const fs::path candidate =
        base / ("navconfig-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(attempt));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      m_path = JoinPath(Native(Utf8(candidate)), "");
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() { RemoveAll(m_path); }

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
  m_had = platform::GetEnv(name, m_old);
  PutEnv(name, value);
}

ScopedEnv::~ScopedEnv() { PutEnv(m_name.c_str(), m_had ? m_old.c_str() : nullptr); }

LogCapture::LogCapture(const char* switches)
    : m_log("NAVCONFIG_LOG", (m_dir / "log.txt").c_str()), m_switches("NAVCONFIG_LOG_SWITCHES", switches) {
  ReloadLogSettings();
}

LogCapture::~LogCapture() {
  // Drop the settings so that nothing more is written to the folder that goes now.
  PutEnv("NAVCONFIG_LOG", nullptr);
  ReloadLogSettings();
}

std::vector<std::string> LogCapture::Lines() const { return Matching(""); }

std::vector<std::string> LogCapture::Matching(const std::string& text) const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(m_dir / "log.txt"));
  for (std::string line; std::getline(in, line);)
    if (line.find(text) != std::string::npos) lines.push_back(line);
  return lines;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(FsPath(path), std::ios::binary | std::ios::trunc) << content;
}

std::string ReadFile(const std::string& path) {
#ifdef _WIN32
  // As another process reads a layer file: sharing deletion, so that the read never stands in the way of a save
  // that replaces the file, and trying again while a replacement holds the name for a moment.
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 200 && h == INVALID_HANDLE_VALUE; ++attempt) {
    h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    ::Sleep(1);
  }
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  ::CloseHandle(h);
  return text;
#else
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
#endif
}

bool Exists(const std::string& path) {
  std::error_code ec;  // false for what cannot be looked at
  return fs::exists(FsPath(path), ec);
}

void MakeDirs(const std::string& path) { fs::create_directories(FsPath(path)); }

void RemoveAll(const std::string& path) {
  std::error_code ec;  // what is not there is no error
  fs::remove_all(FsPath(path), ec);
}

unsigned long long FileId(const std::string& path) {
#ifdef _WIN32
  HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info);
  ::CloseHandle(h);
  return ok ? (static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) : 0;
#else
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<unsigned long long>(st.st_ino) : 0;
#endif
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(FsPath(dir), ec)) names.push_back(Utf8(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

#ifdef _WIN32
unsigned FileMode(const std::string&) { return 0; }
bool SetFileMode(const std::string&, unsigned) { return false; }
bool MakeReadOnly(const std::string& path) { return ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY); }
unsigned SetUmask(unsigned) { return 0; }
#else
unsigned FileMode(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
bool SetFileMode(const std::string& path, unsigned mode) { return ::chmod(path.c_str(), mode) == 0; }
bool MakeReadOnly(const std::string& path) { return SetFileMode(path, 0444); }
unsigned SetUmask(unsigned mask) { return ::umask(mask); }
#endif

bool MakeSymlink(const std::string& target, const std::string& link) {
#ifdef _WIN32
  // Windows lets only some accounts make links, and Wine makes some that it does not follow: a link counts
  // only when it is seen as one.
  if (!::CreateSymbolicLinkW(Wide(link).c_str(), Wide(Native(target)).c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    return false;
  if (KindAt(link) == "symlink" && !ReadSymlink(link).empty()) return true;
  ::DeleteFileW(Wide(link).c_str());
  return false;
#else
  return ::symlink(target.c_str(), link.c_str()) == 0;
#endif
}

std::string ReadSymlink(const std::string& path) {
  std::error_code ec;
  return Utf8(fs::read_symlink(FsPath(path), ec));
}

std::string FaultText(int err) {
  if (!kWindows) return std::strerror(err);
  return "(error " + std::to_string(err == ENOSPC ? 112 : err == EIO ? 1117 : err == EACCES ? 5 : 31) + ")";
}

std::string Reason(const std::string& reason) {
  const size_t number = reason.rfind(" (error ");
  const size_t colon = number == std::string::npos ? number : reason.rfind(": ", number);
  if (!kWindows || colon == std::string::npos) return reason;
  return reason.substr(0, colon + 2) + reason.substr(number + 1);
}

std::string ProgramPath() {
#ifdef _WIN32
  std::wstring path(32768, L'\0');
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n < path.size() ? n : 0);
  return Utf8(fs::path(path));
#else
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).string();
#endif
}

std::string ProgramDirectory() {
  const std::string path = ProgramPath();
  return path.substr(0, path.find_last_of(kWindows ? "\\/" : "/") + 1);
}

void ClearProgramDirectory() {
  if (!kWindows) return;
  // Layer files (*.cfg), map layers (maps/), temporary files and lock files of saves.
  const std::string dir = ProgramDirectory();
  RemoveAll(dir + "maps");
  for (const std::string& name : Listing(dir)) {
    const bool hidden = name[0] == '.';
    if (name.ends_with(".cfg") || (hidden && (name.find(".tmp") != std::string::npos || name.ends_with(".lock"))))
      RemoveAll(dir + name);
  }
}

bool DeleteRegistryTree([[maybe_unused]] int root, [[maybe_unused]] const std::u16string& path) {
#ifdef _WIN32
  const HKEY roots[3] = {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  if (root < 0 || root > 2 || path.empty()) return false;
  return ::RegDeleteTreeW(roots[root], reinterpret_cast<const wchar_t*>(path.c_str())) == ERROR_SUCCESS;
#else
  return false;
#endif
}

bool UnderWine() {
#ifdef _WIN32
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

uint64_t ProcessId() {
#ifdef _WIN32
  return ::GetCurrentProcessId();
#else
  return static_cast<uint64_t>(::getpid());
#endif
}

bool StandardErrorOpen() {
#ifdef _WIN32
  return ::_get_osfhandle(2) != -1;
#else
  return ::fcntl(2, F_GETFD) != -1;
#endif
}

// ---- Child processes ----

bool RegisterChild(const char* name, ChildMain main) {
  Children()[name] = main;
  return true;
}

int RunChildIfAsked(int argc, char** argv) {
  if (argc < 3 || std::strcmp(argv[1], kChildFlag) != 0) return -1;
  auto it = Children().find(argv[2]);
  if (it == Children().end()) {
    std::fprintf(stderr, "no child named %s\n", argv[2]);
    return 125;
  }
  std::vector<std::string> args(argv + 3, argv + argc);
#ifdef _WIN32
  // argv is in the ANSI code page; the arguments come again from the wide command line, as UTF-8.
  int count = 0;
  if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    args.clear();
    for (int i = 3; i < count; ++i) args.push_back(Utf8(fs::path(wide[i])));
    ::LocalFree(wide);
  }
#endif
  return it->second(args);
}

struct ChildProcess::State : Running {
  std::string buffered;
  size_t taken = 0;  // the bytes of io/out read so far
};

ChildProcess::ChildProcess(const std::string& name, const std::vector<std::string>& args, const std::string& program)
    : m_state(new State) {
  std::vector<std::string> all = {kChildFlag, name};
  all.insert(all.end(), args.begin(), args.end());
  m_state->Start(program.empty() ? ProgramPath() : program, all, {}, false, nullptr);
}

ChildProcess::ChildProcess(const Program& program) : m_state(new State) {
  m_state->Start(program.path, program.args, {}, true, nullptr);
}

ChildProcess::~ChildProcess() {
  Kill();
  Wait();
  delete m_state;
}

bool ChildProcess::Started() const { return m_state->process != Process{}; }

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t end = m_state->buffered.find('\n');
    if (end != std::string::npos) {
      line = m_state->buffered.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      m_state->buffered.erase(0, end + 1);
      return true;
    }
    // Asked before reading: once the child ended, what it wrote is all in the file.
    const bool ended = m_state->Ended();
    std::ifstream in(FsPath(m_state->io / "out"), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(m_state->taken));
    const std::string more{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    m_state->taken += more.size();
    m_state->buffered += more;
    if (!more.empty()) continue;
    if (ended || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool ChildProcess::Interrupt() {
  if (m_state->Ended()) return false;
#ifdef _WIN32
  return ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, m_state->id) != 0;
#else
  return ::kill(m_state->process, SIGINT) == 0;
#endif
}

void ChildProcess::Kill() {
  if (m_state->Ended()) return;
  m_state->killed = true;
#ifdef _WIN32
  ::TerminateProcess(m_state->process, 137);
#else
  ::kill(m_state->process, SIGKILL);
#endif
}

int ChildProcess::Wait() {
  m_state->Ended(true);
  return m_state->exitCode;
}

int RunChild(const std::string& name, const std::vector<std::string>& args) { return ChildProcess(name, args).Wait(); }

namespace {

// Windows: takes the lock args[0], says so, and keeps it until it is killed.
int HoldLock(const std::vector<std::string>& args) {
  platform::FileLock lock;
  if (!lock.Acquire(args[0], std::chrono::milliseconds(10000)).ok) return 1;
  std::printf("locked\n");
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
const bool kHoldLockRegistered = RegisterChild("hold_lock", HoldLock);

ChildProcess::Program FlockHolder(const std::string& lockFile) {
  // -o: the command does not hold the lock, which goes when flock(1) is killed; it leaves this test's streams.
  return {"/usr/bin/flock", {"-o", lockFile, "-c", "echo locked; exec sleep 60 </dev/null >/dev/null 2>&1"}};
}

}  // namespace

LockHolder::LockHolder(const std::string& lockFile)
    : m_process(kWindows ? ChildProcess("hold_lock", {lockFile}) : ChildProcess(FlockHolder(lockFile))) {
  std::string line;
  m_holds = kHoldLockRegistered && m_process.ReadLine(line, 60000) && line == "locked";
}

void LockHolder::Release() {
  m_process.Kill();
  m_process.Wait();
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                         const std::vector<std::string>& unset,
                         const std::vector<std::pair<std::string, std::string>>& set, const std::string& input) {
  // The program inherits this process's environment, changed for the while it starts.
  std::vector<std::unique_ptr<ScopedEnv>> environment;
  for (const std::string& name : unset) environment.push_back(std::make_unique<ScopedEnv>(name.c_str(), nullptr));
  for (const auto& [name, value] : set) environment.push_back(std::make_unique<ScopedEnv>(name.c_str(), value.c_str()));
  Running run;
  run.Start(program, args, cwd, false, &input);
  while (!environment.empty()) environment.pop_back();  // the last change first
  run.Ended(true);
  return {run.exitCode, ReadFile(run.io / "out"), ReadFile(run.io / "err")};
}

}  // namespace testsupport
