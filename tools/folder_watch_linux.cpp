// FolderWatch with inotify: the folder's entries that are created, written, renamed into place or removed,
// and SIGINT and SIGTERM received through a signalfd, so that an interruption ends the wait at once. A folder
// that is removed or moved away is looked for again by its path, five times a second, and watched anew when it
// is back (as a reset by hand, or a restore from a copy, makes it). The other folders (where layers without a file
// in the folder are read from) are watched while they exist.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "folder_watch.h"

namespace navtool {

namespace {

// A layer file: saves replace "<layer>.cfg" by renaming a temporary file over it, and lock files come and go
// beside it.
bool IsLayerFile(std::string_view name) {
  return name.size() > 4 && name.substr(name.size() - 4) == ".cfg";
}

constexpr int kLookAgainMs = 200;
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB |
                             IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

struct FolderWatch::State {
  std::string folder;
  int watch = -1;  // the folder's watch; -1 while the folder is gone
  int changes = -1;
  int signals = -1;
  sigset_t blocked{};
  sigset_t previous{};
};

FolderWatch::FolderWatch(const std::string& folder, const std::vector<std::string>& others)
    : m_state(std::make_unique<State>()) {
  m_state->folder = folder;
  sigemptyset(&m_state->blocked);
  sigaddset(&m_state->blocked, SIGINT);
  sigaddset(&m_state->blocked, SIGTERM);
  // Blocked, the signals wait in the signalfd rather than ending the process.
  sigprocmask(SIG_BLOCK, &m_state->blocked, &m_state->previous);
  m_state->signals = signalfd(-1, &m_state->blocked, SFD_CLOEXEC);
  m_state->changes = inotify_init1(IN_CLOEXEC);
  if (m_state->signals < 0 || m_state->changes < 0) {
    m_problem = std::strerror(errno);
    return;
  }
  m_state->watch = inotify_add_watch(m_state->changes, folder.c_str(), kEvents);
  if (m_state->watch < 0) m_problem = std::strerror(errno);
  for (const std::string& other : others) inotify_add_watch(m_state->changes, other.c_str(), kEvents);
}

FolderWatch::~FolderWatch() {
  if (m_state->changes >= 0) close(m_state->changes);
  if (m_state->signals >= 0) close(m_state->signals);
  sigprocmask(SIG_SETMASK, &m_state->previous, nullptr);
}

bool FolderWatch::Wait() {
  if (!m_problem.empty()) return false;
  for (;;) {
    if (m_state->watch < 0) {
      // The folder back (or another in its place): what it holds now may differ from what was read.
      m_state->watch = inotify_add_watch(m_state->changes, m_state->folder.c_str(), kEvents);
      if (m_state->watch >= 0) return true;
    }
    pollfd fds[2] = {{m_state->signals, POLLIN, 0}, {m_state->changes, POLLIN, 0}};
    const int ready = poll(fds, 2, m_state->watch < 0 ? kLookAgainMs : -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return false;
    if (ready == 0) continue;  // time to look for the folder again
    if (fds[0].revents) {
      // Taken, so that it is not delivered when the signals are unblocked again.
      signalfd_siginfo received;
      if (read(m_state->signals, &received, sizeof received) < 0 && errno == EINTR) continue;
      return false;
    }
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + 256)];
    const ssize_t got = read(m_state->changes, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bool relevant = false;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      // Events without a name concern the folder itself; an overflow may have hidden anything.
      const std::string_view name = event->len ? std::string_view(event->name) : std::string_view();
      relevant = relevant || name.empty() || IsLayerFile(name);
      // Moved away, the folder is no longer what its path names; removed, its watch ends (IN_IGNORED).
      if (event->wd == m_state->watch && (event->mask & (IN_MOVE_SELF | IN_IGNORED))) {
        if (event->mask & IN_MOVE_SELF) inotify_rm_watch(m_state->changes, m_state->watch);
        m_state->watch = -1;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    if (relevant) return true;
  }
}

}  // namespace navtool
