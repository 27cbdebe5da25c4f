// Waiting for the layer files of the configuration folder (and of the folders that layers fall back to) to
// change, until the user interrupts: one
// implementation per system (folder_watch_linux.cpp with inotify, folder_watch_win32.cpp polling), chosen by
// the build.
#ifndef NAVCONFIG_TOOLS_FOLDER_WATCH_H
#define NAVCONFIG_TOOLS_FOLDER_WATCH_H

#include <memory>
#include <string>
#include <vector>

namespace navtool {

class FolderWatch {
 public:
  // Starts watching the folder, and those of others that exist, and takes over Ctrl-C (and a request to
  // terminate) from then on.
  explicit FolderWatch(const std::string& folder, const std::vector<std::string>& others = {});
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Empty while watching works; otherwise why it cannot watch.
  const std::string& Problem() const { return m_problem; }
  // Blocks until a layer file of the folder may have changed (true), or until the user interrupts (false).
  bool Wait();

 private:
  struct State;
  std::unique_ptr<State> m_state;
  std::string m_problem;
};

}  // namespace navtool

#endif
