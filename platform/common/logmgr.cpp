// The log manager: one line per published message, to standard error or a file, as NAVCONFIG_LOG says.
#include <doroutil/logmgr.h>
#include <platform/os.h>

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct LogSettings {
  std::unique_ptr<CLogMgr> mgr;
  bool hashStats = false;
  bool perf = false;
  bool android = false;
};

std::mutex g_settingsMutex;
std::atomic<LogSettings*> g_settings{nullptr};

LogSettings* ReadSettings() {
  auto* s = new LogSettings();
  std::string where;
  if (platform::GetEnv("NAVCONFIG_LOG", where) && !where.empty()) {
    if (where == "stderr") {
      s->mgr = std::make_unique<CLogMgr>(stderr, false);
    } else if (std::FILE* f = platform::OpenStream(where, "a")) {
      s->mgr = std::make_unique<CLogMgr>(f, true);
    }
  }
  std::string switches;
  if (platform::GetEnv("NAVCONFIG_LOG_SWITCHES", switches)) {
    size_t pos = 0;
    while (pos <= switches.size()) {
      size_t comma = switches.find(',', pos);
      std::string word = switches.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
      if (word == "hashstats") s->hashStats = true;
      if (word == "perf") s->perf = true;
      if (word == "android") s->android = true;
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
  }
  return s;
}

LogSettings* Settings() {
  LogSettings* s = g_settings.load(std::memory_order_acquire);
  if (s) return s;
  std::lock_guard<std::mutex> guard(g_settingsMutex);
  s = g_settings.load(std::memory_order_relaxed);
  if (!s) {
    s = ReadSettings();
    g_settings.store(s, std::memory_order_release);
  }
  return s;
}

}  // namespace

CLogMgr::CLogMgr(std::FILE* sink, bool ownsSink) : m_sink(sink), m_ownsSink(ownsSink) {}

CLogMgr::~CLogMgr() {
  if (m_ownsSink && m_sink) std::fclose(m_sink);
}

const char* CLogMgr::MakeString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  m_temp.assign(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(m_temp.data(), static_cast<size_t>(n) + 1, format, args);
  va_end(args);
  return m_temp.c_str();
}

void CLogMgr::Publish(int category, int level, const char* source, int line, const char* message, uint64_t threadId,
                      bool flush) {
  if (!m_sink) return;
  std::lock_guard<std::mutex> guard(m_writeMutex);
  std::fprintf(m_sink, "L%d C%d %s:%d T%llu %s\n", level, category, source ? source : "", line,
               static_cast<unsigned long long>(threadId), message ? message : "");
  if (flush) std::fflush(m_sink);
}

CLogMgr* GetLogMgr() { return Settings()->mgr.get(); }
uint64_t GetThreadID() { return platform::CurrentThreadId(); }
bool IsHashTableStatsLoggingEnabled() { return Settings()->hashStats; }
bool IsPerfIntervalLoggingEnabled() { return Settings()->perf; }
bool IsAndroidLoggingEnabled() { return Settings()->android; }

void ReloadLogSettings() {
  std::lock_guard<std::mutex> guard(g_settingsMutex);
  // The old settings stay allocated: a thread may still hold a pointer to their log manager.
  static auto* retired = new std::vector<LogSettings*>();  // never destroyed, like the settings it keeps
  if (LogSettings* old = g_settings.load(std::memory_order_relaxed)) retired->push_back(old);
  g_settings.store(ReadSettings(), std::memory_order_release);
}
