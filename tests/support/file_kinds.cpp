#include "support/file_kinds.h"

#include <chrono>
#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace testsupport {

namespace fs = std::filesystem;

#ifdef _WIN32
bool RunsAsRoot() { return false; }
bool MakeFifo(const std::string&) { return false; }
bool MakeNullDevice(const std::string&) { return false; }
bool GiveToAnotherUser(const std::string&) { return false; }
#else
bool RunsAsRoot() { return ::geteuid() == 0; }
bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }
bool MakeNullDevice(const std::string& path) {
  return RunsAsRoot() && ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}
bool GiveToAnotherUser(const std::string& path) {
  constexpr uid_t kNobody = 65534;
  return RunsAsRoot() && ::lchown(path.c_str(), kNobody, kNobody) == 0;
}
#endif

std::string KindAt(const std::string& path) {
  std::error_code ec;
  const std::u8string utf8(path.begin(), path.end());
  const fs::file_status st = fs::symlink_status(fs::path(utf8), ec);
  switch (st.type()) {
    case fs::file_type::not_found: return "missing";
    case fs::file_type::fifo: return "fifo";
    case fs::file_type::character: return "char device";
    case fs::file_type::directory: return "directory";
    case fs::file_type::symlink: return "symlink";
    case fs::file_type::regular: return "regular";
    default: return "other";
  }
}

FifoGuard::FifoGuard(std::string fifo, int timeoutMs) : m_fifo(std::move(fifo)) {
  m_thread = std::thread([this, timeoutMs] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; !m_done; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
      if (std::chrono::steady_clock::now() < deadline) continue;
      m_fired = true;
#ifndef _WIN32
      // Both ends at once: whoever waits for the other end goes on, and finds the end of the data after.
      const int fd = ::open(m_fifo.c_str(), O_RDWR | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
#endif
    }
  });
}

FifoGuard::~FifoGuard() {
  m_done = true;
  m_thread.join();
}

}  // namespace testsupport
