// StaticDataHolder: one-time, thread-safe set-up of process-wide contents.
#include <doroutil/logmgr.h>
#include <doroutil/staticdata.h>

void StaticDataHolder::AddDependency(StaticDataHolder* holder) {
  if (holder && holder != this) m_dependencies.push_back(holder);
}

void StaticDataHolder::Setup() {
  if (m_ready.load(std::memory_order_acquire)) return;
  // The thread that runs the set-up may come back here through the holder's own contents.
  if (m_settingUp.load(std::memory_order_acquire) == std::this_thread::get_id()) return;
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  if (m_ready.load(std::memory_order_acquire)) return;
  if (m_settingUp.load(std::memory_order_relaxed) == std::this_thread::get_id()) return;
  m_settingUp.store(std::this_thread::get_id(), std::memory_order_release);
  if (!m_dependenciesAdded) {
    AddDependencies();
    m_dependenciesAdded = true;
  }
  for (StaticDataHolder* dep : m_dependencies) dep->Setup();
  DoSetup();
  m_settingUp.store(std::thread::id(), std::memory_order_release);
  m_ready.store(true, std::memory_order_release);
}

void StaticDataHolder::TryTeardown() {
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  if (!m_ready.load(std::memory_order_acquire)) return;
  DoTeardown();
  m_ready.store(false, std::memory_order_release);
}

namespace {

// The utility library's own holder: the log manager and the cache manager are made on first use and live
// as long as the process, so nothing here needs tearing down.
class UtilGlobals final : public StaticDataHolder {
 public:
  const char* GetName() const override { return "OROUtil"; }
  void DoSetup() override { (void)GetLogMgr(); }
  void DoTeardown() override {}
};

}  // namespace

StaticDataHolder* GetOROUtilGlobals() {
  static UtilGlobals* holder = new UtilGlobals();  // never destroyed: other holders may outlive statics
  return holder;
}
