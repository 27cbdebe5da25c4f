#include "support/test_support.h"

#include <doroutil/logmgr.h>
#include <platform/os.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& utf16) {
  if (utf16.empty()) return std::string();
  const int size = static_cast<int>(utf16.size());
  int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}
#endif

// Paths handed to the standard library are UTF-8 (on Windows a narrow path would be read in the ANSI code
// page).
fs::path FsPath(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8(const fs::path& path) {
  const std::u8string s = path.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

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
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    fs::path candidate = base / ("navconfig-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(attempt));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      m_path = Native(Utf8(candidate));
      if (m_path.back() != kSeparator) m_path += kSeparator;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() { RemoveAll(m_path); }

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  // The process's environment block, which the library reads and child processes inherit.
  ::SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str());
#else
  ::setenv(name, value, 1);
#endif
}

void UnsetEnv(const char* name) {
#ifdef _WIN32
  ::SetEnvironmentVariableW(Wide(name).c_str(), nullptr);
#else
  ::unsetenv(name);
#endif
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
  m_had = platform::GetEnv(name, m_old);
  if (value) SetEnv(name, value);
  else UnsetEnv(name);
}

ScopedEnv::~ScopedEnv() {
  if (m_had) SetEnv(m_name.c_str(), m_old.c_str());
  else UnsetEnv(m_name.c_str());
}

LogCapture::LogCapture(const char* switches)
    : m_log("NAVCONFIG_LOG", (m_dir / "log.txt").c_str()), m_switches("NAVCONFIG_LOG_SWITCHES", switches) {
  ReloadLogSettings();
}

LogCapture::~LogCapture() {
  // Drop the settings so that nothing more is written to the folder that goes now.
  UnsetEnv("NAVCONFIG_LOG");
  ReloadLogSettings();
}

std::vector<std::string> LogCapture::Lines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(m_dir / "log.txt"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LogCapture::Matching(const std::string& text) const {
  std::vector<std::string> out;
  for (auto& l : Lines())
    if (l.find(text) != std::string::npos) out.push_back(l);
  return out;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(FsPath(path), ec);
}

void MakeDirs(const std::string& path) { fs::create_directories(FsPath(path)); }

void RemoveAll(const std::string& path) {
  std::error_code ec;
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

unsigned FileMode(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return 0;
#else
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
#endif
}

bool SetFileMode(const std::string& path, unsigned mode) {
#ifdef _WIN32
  (void)path;
  (void)mode;
  return false;
#else
  return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
#endif
}

unsigned SetUmask(unsigned mask) {
#ifdef _WIN32
  (void)mask;
  return 0;
#else
  return ::umask(static_cast<mode_t>(mask));
#endif
}

bool MakeSymlink(const std::string& target, const std::string& link) {
#ifdef _WIN32
  // Windows lets only some accounts make links, and Wine makes some that it does not follow: a link counts
  // only when it is seen as one.
  if (!::CreateSymbolicLinkW(Wide(link).c_str(), Wide(Native(target)).c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    return false;
  if (IsSymlink(link) && !ReadSymlink(link).empty()) return true;
  ::DeleteFileW(Wide(link).c_str());
  return false;
#else
  return ::symlink(target.c_str(), link.c_str()) == 0;
#endif
}

bool IsSymlink(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(FsPath(path), ec));
}

std::string ReadSymlink(const std::string& path) {
  std::error_code ec;
  return Utf8(fs::read_symlink(FsPath(path), ec));
}

std::string FaultText(platform::FsFault fault) {
#ifdef _WIN32
  // The system's texts differ between versions and languages; the error's number does not.
  switch (fault) {
    case platform::FsFault::NoSpace: return "(error 112)";
    case platform::FsFault::IoError: return "(error 1117)";
    case platform::FsFault::AccessDenied: return "(error 5)";
    case platform::FsFault::None: break;
  }
#else
  switch (fault) {
    case platform::FsFault::NoSpace: return std::strerror(ENOSPC);
    case platform::FsFault::IoError: return std::strerror(EIO);
    case platform::FsFault::AccessDenied: return std::strerror(EACCES);
    case platform::FsFault::None: break;
  }
#endif
  return "";
}

std::string ProgramPath() {
#ifdef _WIN32
  std::wstring path(32768, L'\0');
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n < path.size() ? n : 0);
  return Narrow(path);
#else
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
#endif
}

std::string ProgramDirectory() {
  const std::string path = ProgramPath();
  return path.substr(0, path.find_last_of(kWindows ? "\\/" : "/") + 1);
}

// Removes the layer files (*.cfg), map layers (maps/) and temporary files of saves from a folder.
static void ClearLayerFiles(const std::string& dir) {
  RemoveAll(JoinPath(dir, "maps"));
  for (const std::string& name : Listing(dir)) {
    const bool layer = name.size() > 4 && name.compare(name.size() - 4, 4, ".cfg") == 0;
    const bool temporary = name[0] == '.' && name.find(".tmp") != std::string::npos;
    const bool lock = name[0] == '.' && name.size() > 5 && name.compare(name.size() - 5, 5, ".lock") == 0;
    if (layer || temporary || lock) RemoveAll(JoinPath(dir, name));
  }
}

void ClearProgramDirectory() {
  if (kWindows) ClearLayerFiles(ProgramDirectory());
}

bool DeleteRegistryTree(int root, const std::u16string& path) {
#ifdef _WIN32
  const HKEY roots[3] = {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  if (root < 0 || root > 2 || path.empty()) return false;
  return ::RegDeleteTreeW(roots[root], reinterpret_cast<const wchar_t*>(path.c_str())) == ERROR_SUCCESS;
#else
  (void)root;
  (void)path;
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

// ---- Child processes ----

namespace {

std::map<std::string, ChildMain>& Children() {
  static std::map<std::string, ChildMain> children;
  return children;
}

constexpr const char* kChildFlag = "--navconfig-child";

#ifdef _WIN32
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
#endif

}  // namespace

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
    for (int i = 3; i < count; ++i) {
      const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string arg(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
      if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
      args.push_back(std::move(arg));
    }
    ::LocalFree(wide);
  }
#endif
  return it->second(args);
}

struct ChildProcess::State {
  std::string buffered;
  bool eof = false;
  bool killed = false;
  int exitCode = -1;
  bool ended = false;
#ifdef _WIN32
  HANDLE process = nullptr;
  DWORD processId = 0;
  HANDLE output = nullptr;
#else
  pid_t pid = -1;
  int output = -1;
#endif
};

ChildProcess::ChildProcess(const std::string& name, const std::vector<std::string>& args, const std::string& program)
    : m_state(new State) {
  std::vector<std::string> all = {kChildFlag, name};
  all.insert(all.end(), args.begin(), args.end());
  Start(program.empty() ? ProgramPath() : program, all, false);
}

ChildProcess::ChildProcess(const Program& program) : m_state(new State) { Start(program.path, program.args, true); }

void ChildProcess::Start(const std::string& path, const std::vector<std::string>& args, bool ownGroup) {
  if (path.empty()) return;
#ifdef _WIN32
  std::wstring commandLine = Quote(Wide(path));
  for (const std::string& a : args) commandLine += L" " + Quote(Wide(a));

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  // A group of its own, which Ctrl-Break can be sent to alone.
  const DWORD flags = ownGroup ? CREATE_NEW_PROCESS_GROUP : 0;
  const BOOL ok = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                   &startup, &info);
  ::CloseHandle(writeEnd);
  if (!ok) {
    ::CloseHandle(readEnd);
    return;
  }
  ::CloseHandle(info.hThread);
  m_state->process = info.hProcess;
  m_state->processId = info.dwProcessId;
  m_state->output = readEnd;
#else
  (void)ownGroup;
  std::vector<std::string> all = {path};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (pid < 0) {
    ::close(out[0]);
    return;
  }
  m_state->pid = pid;
  m_state->output = out[0];
#endif
}

ChildProcess::~ChildProcess() {
  if (Started() && !m_state->ended) {
    Kill();
    Wait();
  }
#ifdef _WIN32
  if (m_state->output) ::CloseHandle(m_state->output);
  if (m_state->process) ::CloseHandle(m_state->process);
#else
  if (m_state->output >= 0) ::close(m_state->output);
#endif
  delete m_state;
}

bool ChildProcess::Started() const {
#ifdef _WIN32
  return m_state->process != nullptr;
#else
  return m_state->pid > 0;
#endif
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
  if (!Started()) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    size_t end = m_state->buffered.find('\n');
    if (end != std::string::npos) {
      line = m_state->buffered.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      m_state->buffered.erase(0, end + 1);
      return true;
    }
    if (m_state->eof) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    char chunk[4096];
#ifdef _WIN32
    DWORD available = 0;
    if (!::PeekNamedPipe(m_state->output, nullptr, 0, nullptr, &available, nullptr)) {
      m_state->eof = true;  // the child closed its end
      continue;
    }
    if (available == 0) {
      ::Sleep(2);
      continue;
    }
    DWORD got = 0;
    if (!::ReadFile(m_state->output, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr) ||
        got == 0) {
      m_state->eof = true;
      continue;
    }
    m_state->buffered.append(chunk, got);
#else
    pollfd p{m_state->output, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t got = ::read(m_state->output, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      m_state->eof = true;
      continue;
    }
    m_state->buffered.append(chunk, static_cast<size_t>(got));
#endif
  }
}

bool ChildProcess::Interrupt() {
  if (!Started() || m_state->ended) return false;
#ifdef _WIN32
  return ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, m_state->processId) != 0;
#else
  return ::kill(m_state->pid, SIGINT) == 0;
#endif
}

void ChildProcess::Kill() {
  if (!Started() || m_state->ended) return;
  m_state->killed = true;
#ifdef _WIN32
  ::TerminateProcess(m_state->process, 137);
#else
  ::kill(m_state->pid, SIGKILL);
#endif
}

int ChildProcess::Wait() {
  if (!Started()) return -1;
  if (!m_state->ended) {
#ifdef _WIN32
    ::WaitForSingleObject(m_state->process, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(m_state->process, &code);
    m_state->exitCode = m_state->killed && code == 137 ? -1 : static_cast<int>(code);
#else
    int status = 0;
    while (::waitpid(m_state->pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_state->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    m_state->ended = true;
  }
  return m_state->exitCode;
}

int RunChild(const std::string& name, const std::vector<std::string>& args) {
  ChildProcess child(name, args);
  return child.Wait();
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                         const std::vector<std::string>& unset,
                         const std::vector<std::pair<std::string, std::string>>& set, const std::string& input) {
  TempDir io;
  const std::string inPath = io / "in", outPath = io / "out", errPath = io / "err";
  WriteFile(inPath, input);
  ProgramResult r;
#ifdef _WIN32
  // The environment block: this process's variables, changed as asked, each "name=value" and a final NUL.
  std::vector<std::pair<std::wstring, std::wstring>> vars;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* v = block; *v; v += std::wcslen(v) + 1) {
      const std::wstring entry(v);
      const size_t eq = entry.find(L'=', 1);  // names such as "=C:" begin with '='
      if (eq != std::wstring::npos) vars.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    }
    ::FreeEnvironmentStringsW(block);
  }
  auto drop = [&vars](const std::wstring& name) {
    std::erase_if(vars, [&](const auto& v) { return ::CompareStringOrdinal(v.first.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL; });
  };
  for (const std::string& name : unset) drop(Wide(name));
  for (const auto& [name, value] : set) {
    drop(Wide(name));
    vars.emplace_back(Wide(name), Wide(value));
  }
  std::wstring environment;
  for (const auto& [name, value] : vars) environment += name + L"=" + value + L'\0';
  environment += L'\0';

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE in = ::CreateFileW(Wide(inPath).c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
  HANDLE out = ::CreateFileW(Wide(outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = ::CreateFileW(Wide(errPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  std::wstring commandLine = Quote(Wide(program));
  for (const std::string& a : args) commandLine += L" " + Quote(Wide(a));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION info{};
  const BOOL started = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                       ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                        environment.data(), Wide(cwd).c_str(), &startup, &info);
  if (in != INVALID_HANDLE_VALUE) ::CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) ::CloseHandle(err);
  if (started) {
    ::WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(info.hProcess, &code);
    r.code = static_cast<int>(code);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
#else
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const std::string& name : unset) ::unsetenv(name.c_str());
    for (const auto& [name, value] : set) ::setenv(name.c_str(), value.c_str(), 1);
    const int in = ::open(inPath.c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(cwd.c_str()) != 0)
      ::_exit(126);
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid) r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
#endif
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  return r;
}

}  // namespace testsupport
