// Helpers shared by the test programs: scratch folders, paths with the platform's separator, environment
// variables, captured log lines and child processes. Everything that a test would otherwise write once per
// operating system lives here, so that a test body holds for every platform.
#ifndef NAVCONFIG_TESTS_SUPPORT_TEST_SUPPORT_H
#define NAVCONFIG_TESTS_SUPPORT_TEST_SUPPORT_H

#include <platform/os.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif
inline constexpr char kSeparator = kWindows ? '\\' : '/';

// The path with every '/' turned into the platform's separator: tests write paths with '/', and the library
// hands them back with the platform's separator.
std::string Native(std::string path);
std::vector<std::string> NativeAll(std::vector<std::string> paths);
// A folder (with or without its trailing separator) joined with a relative name written with '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

// A new empty folder below the system's temporary directory, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder, ending in the platform's separator.
  const std::string& path() const { return m_path; }
  // The folder joined with a relative name written with '/', in the platform's separators.
  std::string operator/(const std::string& name) const { return JoinPath(m_path, name); }

 private:
  std::string m_path;
};

// Sets (or with a null value, unsets) an environment variable of this process (the ones that the library and child
// processes see) for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name, m_old;
  bool m_had;
};

// Sends the library's log to a file for the lifetime of the object and reads its lines back.
class LogCapture {
 public:
  explicit LogCapture(const char* switches = nullptr);
  ~LogCapture();
  std::vector<std::string> Lines() const;
  // Lines that contain the text.
  std::vector<std::string> Matching(const std::string& text) const;

 private:
  TempDir m_dir;
  ScopedEnv m_log;
  ScopedEnv m_switches;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeDirs(const std::string& path);
// Removes a file or a folder with everything in it; nothing when it does not exist.
void RemoveAll(const std::string& path);
// The identity of a file on its volume (inode or file index), 0 when it does not exist. A save replaces the
// file by a new one, so a file that keeps its identity was not written.
unsigned long long FileId(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> Listing(const std::string& dir);

// POSIX permission bits (07777) of a file or folder, 0 when it does not exist; always 0 on Windows, where
// files have access rules instead. SetFileMode and SetUmask do nothing there.
unsigned FileMode(const std::string& path);
bool SetFileMode(const std::string& path, unsigned mode);
// Makes a file read-only: 0444 on POSIX, the read-only attribute on Windows.
bool MakeReadOnly(const std::string& path);
unsigned SetUmask(unsigned mask);  // the previous mask
// Symbolic links; a relative target is taken from the link's folder. MakeSymlink is false on Windows when
// no working link can be made (kNoSymlinks says why).
// (Whether a path is a link: KindAt in file_kinds.h.)
bool MakeSymlink(const std::string& target, const std::string& link);
inline constexpr const char* kNoSymlinks =
    "no working symbolic link can be made here (an account without the right to, or Wine, which makes links that "
    "its file functions do not follow)";
std::string ReadSymlink(const std::string& path);

// The text that the platform layer puts in a failure's reason for an injected error (an errno value): the
// system's text ("No space left on device"), on Windows the number of the Windows error that stands for it
// ("(error 112)").
std::string FaultText(int err);
// A failure's reason as tests compare it: on Windows the system's description of the error, which differs
// between versions and languages, is left out before the number that ends it ("write .user.cfg.tmp: There is
// not enough space on the disk. (error 112)" becomes "write .user.cfg.tmp: (error 112)").
std::string Reason(const std::string& reason);

// The path of this test program's file, and its folder ending in a separator: on Windows the folder is the
// library's runtime directory (and its configuration directory until SU_Config names another), since the
// tests link the library statically. Asked of the system directly, not through the library.
std::string ProgramPath();
std::string ProgramDirectory();
// Removes what the tests leave in the program's folder when it is the library's runtime directory
// (Windows): layer files (*.cfg), map layers (maps/), temporary files and lock files of saves. Nothing on POSIX.
void ClearProgramDirectory();
// Removes a key of the system's registry with everything below it (root 0 HKEY_CLASSES_ROOT, 1
// HKEY_LOCAL_MACHINE, 2 HKEY_CURRENT_USER); false when it could not. Windows only: elsewhere the
// registry is a store in a scratch folder and goes with the folder.
bool DeleteRegistryTree(int root, const std::u16string& path);
// True when the program runs under Wine rather than Windows: a few answers of the system differ there.
bool UnderWine();
// This process's id.
uint64_t ProcessId();
// Whether this process's standard error (descriptor 2) is open.
bool StandardErrorOpen();

// Child processes: the test program started again with the arguments "--navconfig-child <name> <args...>",
// which runs the function registered under that name (NAVCONFIG_TEST_CHILD) instead of the tests and exits
// with its result. A child inherits the environment (ScopedEnv included) and the standard error; its
// standard output comes back to the parent line by line.
using ChildMain = int (*)(const std::vector<std::string>& args);
bool RegisterChild(const char* name, ChildMain main);
// The entry point of test_main.cpp for a child; -1 when argv does not start a child.
int RunChildIfAsked(int argc, char** argv);

class ChildProcess {
 public:
  // program: another copy of this test program to start instead of this one.
  ChildProcess(const std::string& name, const std::vector<std::string>& args = {}, const std::string& program = "");
  // Another program, started with its arguments (on Windows in a process group of its own).
  struct Program {
    std::string path;
    std::vector<std::string> args;
  };
  explicit ChildProcess(const Program& program);
  ~ChildProcess();  // kills a child that still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Started() const;
  // The next line that the child writes to its standard output (without the line end); false when the child
  // closed its output or ended, or when timeoutMs passed.
  bool ReadLine(std::string& line, int timeoutMs);
  // Asks the child to stop as Ctrl-C does: SIGINT on POSIX, Ctrl-Break to its process group on Windows (a
  // process started as a Program, sharing this program's console). False when it could not be sent, as under
  // Wine when the tests run without a console.
  bool Interrupt();
  // Ends the child at once, as a crash or a power cut would.
  void Kill();
  // Waits for the child's end: its exit code, or -1 when it was killed.
  int Wait();

 private:
  struct State;
  State* m_state;
};

// Runs a child to its end: its exit code, or -1 when it could not start or was killed.
int RunChild(const std::string& name, const std::vector<std::string>& args = {});

// Another process that holds the lock of a lock file (a save's or the registry store's) until Release or the
// object's end: flock(1) on POSIX, as an administrator's script takes it, and on Windows a child of this program
// with LockFileEx. Holds() once the holder said it has the lock.
class LockHolder {
 public:
  explicit LockHolder(const std::string& lockFile);
  bool Holds() const { return m_holds; }
  void Release();

 private:
  ChildProcess m_process;
  bool m_holds = false;
};

// Runs another program to its end in the folder cwd, with the variables named in unset removed from its
// environment and those in set given; its standard input reads input, and its standard output and error are
// collected (all through files).
struct ProgramResult {
  int code = -1;  // the exit code; -1 when the program could not be started
  std::string out;
  std::string err;
};
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                         const std::vector<std::string>& unset,
                         const std::vector<std::pair<std::string, std::string>>& set, const std::string& input = {});

}  // namespace testsupport

// Registers a child main: NAVCONFIG_TEST_CHILD(name) { ...; return exitCode; } with the arguments in args.
#define NAVCONFIG_TEST_CHILD(name)                                                                  \
  static int NavconfigTestChild_##name(const std::vector<std::string>& args);                       \
  [[maybe_unused]] static const bool navconfigTestChildRegistered_##name =                          \
      testsupport::RegisterChild(#name, &NavconfigTestChild_##name);                                \
  static int NavconfigTestChild_##name([[maybe_unused]] const std::vector<std::string>& args)

#endif
