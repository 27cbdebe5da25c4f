// What a hostile or careless hand can put in a folder in place of a file: FIFOs, device nodes and files of
// another user, and a guard that keeps a test from hanging on a FIFO. These are POSIX matters: on Windows
// every maker is false (the tests skip with kNoPosixFileKinds) and the guard does nothing.
#ifndef NAVCONFIG_TESTS_SUPPORT_FILE_KINDS_H
#define NAVCONFIG_TESTS_SUPPORT_FILE_KINDS_H

#include <atomic>
#include <string>
#include <thread>

namespace testsupport {

inline constexpr const char* kNoPosixFileKinds = "FIFOs, device nodes and file owners are POSIX matters";
inline constexpr const char* kNotRoot = "only root can make a device node or give a file to another user";

bool RunsAsRoot();
bool MakeFifo(const std::string& path);
// A character device like /dev/null (root only), made at path, inside the test's own folder.
bool MakeNullDevice(const std::string& path);
// Gives the file (not what a link names) to the user "nobody" (root only).
bool GiveToAnotherUser(const std::string& path);
// "fifo", "char device", "directory", "symlink", "regular", "missing" or "other": what stands at path.
std::string KindAt(const std::string& path);

// Keeps whatever waits on a FIFO from hanging the test: once timeoutMs passed, the guard opens the FIFO for
// reading and writing, again and again until it goes, so that a blocked open goes on (and a blocked read
// ends). Fired() tells whether it had to.
class FifoGuard {
 public:
  explicit FifoGuard(std::string fifo, int timeoutMs = 10000);
  ~FifoGuard();
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;
  bool Fired() const { return m_fired; }

 private:
  std::string m_fifo;
  std::atomic<bool> m_done{false};
  std::atomic<bool> m_fired{false};
  std::thread m_thread;
};

}  // namespace testsupport

#endif
