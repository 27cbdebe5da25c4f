// StaticDataHolder: a process-wide holder whose contents are created on first use and torn down at the end.
//
// Setup() may be called from any thread at any time: the first call runs the holder's setup (after that of
// the holders it depends on); other threads wait for it; a call from inside the setup itself (the thread
// that runs it) returns at once. TryTeardown() runs the teardown of a holder that is set up.
#ifndef NAVCONFIG_DOROUTIL_STATICDATA_H
#define NAVCONFIG_DOROUTIL_STATICDATA_H

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class StaticDataHolder {
 public:
  StaticDataHolder() = default;
  virtual ~StaticDataHolder() = default;
  StaticDataHolder(const StaticDataHolder&) = delete;
  StaticDataHolder& operator=(const StaticDataHolder&) = delete;

  virtual const char* GetName() const = 0;
  virtual void AddDependencies() {}
  virtual void DoSetup() = 0;
  virtual void DoTeardown() = 0;

  void Setup();
  void TryTeardown();
  bool IsSetUp() const { return m_ready.load(std::memory_order_acquire); }
  void AddDependency(StaticDataHolder* holder);

 private:
  std::atomic<bool> m_ready{false};
  std::atomic<std::thread::id> m_settingUp{};
  std::recursive_mutex m_mutex;
  std::vector<StaticDataHolder*> m_dependencies;
  bool m_dependenciesAdded = false;
};

// The utility library's own holder (its log manager and cache manager live as long as the process).
StaticDataHolder* GetOROUtilGlobals();

#endif
