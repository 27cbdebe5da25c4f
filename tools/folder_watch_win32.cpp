// FolderWatch on Windows: a short poll. Each wait ends after a fifth of a second, and the caller asks the
// library to reload what changed, which costs one status call per layer file when nothing did. Ctrl-C,
// Ctrl-Break and closing the console end the wait.
#include <windows.h>

#include "folder_watch.h"

namespace navtool {

namespace {

constexpr DWORD kPollMs = 200;
HANDLE g_interrupted = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  ::SetEvent(g_interrupted);
  return TRUE;
}

}  // namespace

struct FolderWatch::State {};

FolderWatch::FolderWatch(const std::string&, const std::vector<std::string>&) : m_state(std::make_unique<State>()) {
  g_interrupted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_interrupted || !::SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) m_problem = "cannot take over Ctrl-C";
}

FolderWatch::~FolderWatch() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  if (g_interrupted) ::CloseHandle(g_interrupted);
  g_interrupted = nullptr;
}

bool FolderWatch::Wait() {
  if (!m_problem.empty()) return false;
  return ::WaitForSingleObject(g_interrupted, kPollMs) == WAIT_TIMEOUT;
}

}  // namespace navtool
