// The utility library's log manager and its switches.
//
// NAVCONFIG_LOG decides whether there is a log manager: unset, GetLogMgr() is null and nothing is logged;
// "stderr" or a file path, every published message becomes one line appended there:
//   L<level> C<category> <source>:<line> T<thread id> <message>
// NAVCONFIG_LOG_SWITCHES is a comma-separated list of hashstats, perf and android, which turn on the three
// switches below. Both are read once, when the log manager is first asked for.
#ifndef NAVCONFIG_DOROUTIL_LOGMGR_H
#define NAVCONFIG_DOROUTIL_LOGMGR_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class CLogMgr {
 public:
  explicit CLogMgr(std::FILE* sink, bool ownsSink);
  ~CLogMgr();
  CLogMgr(const CLogMgr&) = delete;
  CLogMgr& operator=(const CLogMgr&) = delete;

  // The temporary buffer that MakeString fills; hold it locked from MakeString until Publish is done.
  void LockTempBuffer() { m_tempMutex.lock(); }
  void UnlockTempBuffer() { m_tempMutex.unlock(); }
  const char* MakeString(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void Publish(int category, int level, const char* source, int line, const char* message, uint64_t threadId,
               bool flush);

 private:
  std::FILE* m_sink;
  bool m_ownsSink;
  std::mutex m_tempMutex;
  std::mutex m_writeMutex;
  std::string m_temp;
};

CLogMgr* GetLogMgr();
uint64_t GetThreadID();
bool IsHashTableStatsLoggingEnabled();
bool IsPerfIntervalLoggingEnabled();
bool IsAndroidLoggingEnabled();
// Reads NAVCONFIG_LOG and NAVCONFIG_LOG_SWITCHES again (for tests that change them within one process).
void ReloadLogSettings();

#endif
