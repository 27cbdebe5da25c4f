// The registry of change listeners and the delivery of changes to them.
#include "store/change_listeners.h"

#include <config/config_listen.h>
#include <doroutil/strutil.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "common/folded_names.h"

namespace navconfig {
namespace {

// A section filter as reported sections are spelled: components joined by single backslashes, folded.
std::string FoldedSectionFilter(const char* section) {
  std::string out;
  for (std::string_view rest(section); !rest.empty();) {
    const size_t cut = std::min(rest.find('\\'), rest.size());
    if (cut > 0) {
      if (!out.empty()) out += '\\';
      out += FoldedText(rest.substr(0, cut));
    }
    rest.remove_prefix(std::min(cut + 1, rest.size()));
  }
  return out;
}

bool EqualFolded(std::string_view folded, const std::string& text) {
  if (folded.size() != text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (folded[i] != FoldAscii(text[i])) return false;
  return true;
}

struct Listener {
  int id = 0;
  bool anySection = true;
  bool anyKey = true;
  std::string section;  // folded
  std::string key;      // folded
  Config_ChangeCallback callback = nullptr;
  void* context = nullptr;
  // Guarded by the registry's mutex.
  bool removed = false;
  int running = 0;  // calls in progress, on any thread

  bool Matches(const ValueChange& change) const {
    return (anySection || EqualFolded(section, change.section)) && (anyKey || EqualFolded(key, change.key));
  }
};

// This thread's changes while it delivers them (null otherwise); those not yet delivered are at the end.
thread_local std::vector<ValueChange>* t_pending = nullptr;

class Registry {
 public:
  int Add(const char* section, const char* key, Config_ChangeCallback callback, void* context) {
    auto listener = std::make_shared<Listener>();
    listener->anySection = section == nullptr;
    listener->anyKey = key == nullptr;
    if (section) listener->section = FoldedSectionFilter(section);
    if (key) listener->key = FoldedText(key);
    listener->callback = callback;
    listener->context = context;
    std::lock_guard<std::mutex> guard(m_mutex);
    listener->id = NextId();
    m_listeners.push_back(listener);
    m_count.store(static_cast<int>(m_listeners.size()), std::memory_order_release);
    return listener->id;
  }

  void Remove(int id) {
    std::unique_lock<std::mutex> guard(m_mutex);
    for (auto it = m_listeners.begin(); it != m_listeners.end(); ++it) {
      if ((*it)->id != id) continue;
      const std::shared_ptr<Listener> listener = *it;
      listener->removed = true;
      m_listeners.erase(it);
      m_count.store(static_cast<int>(m_listeners.size()), std::memory_order_release);
      // A thread that is delivering may be inside this very listener, or inside one that another thread waits
      // for while it removes this one: it does not wait.
      if (!t_pending) m_idle.wait(guard, [&] { return listener->running == 0; });
      return;
    }
  }

  void Deliver(const ValueChange& change) {
    std::vector<std::shared_ptr<Listener>> matching;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      for (const auto& listener : m_listeners)
        if (listener->Matches(change)) matching.push_back(listener);
    }
    for (const auto& listener : matching) {
      {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (listener->removed) continue;
        ++listener->running;
      }
      listener->callback(change.layer.c_str(), change.section.c_str(), change.key.c_str(), listener->context);
      std::lock_guard<std::mutex> guard(m_mutex);
      if (--listener->running == 0 && listener->removed) m_idle.notify_all();
    }
  }

  void Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& listener : m_listeners) listener->removed = true;
    m_listeners.clear();
    m_count.store(0, std::memory_order_release);
  }

  bool Any() const { return m_count.load(std::memory_order_acquire) != 0; }

 private:
  // Ids count up from 1; after INT_MAX they start again at 1, passing over those still in use.
  int NextId() {
    for (;;) {
      const int id = m_nextId;
      m_nextId = m_nextId == INT_MAX ? 1 : m_nextId + 1;
      bool used = false;
      for (const auto& listener : m_listeners) used = used || listener->id == id;
      if (!used) return id;
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_idle;
  std::vector<std::shared_ptr<Listener>> m_listeners;
  int m_nextId = 1;
  std::atomic<int> m_count{0};
};

Registry& Listeners() {
  // Never destroyed: the globals' teardown at the end of the process may still ask for it.
  static Registry* registry = new Registry();
  return *registry;
}

}  // namespace

bool ChangeListenersExist() { return Listeners().Any(); }

void DeliverChanges(std::vector<ValueChange>&& changes, const StoreEnvironment& environment) noexcept {
  if (changes.empty()) return;
  try {
    if (t_pending) {
      // A listener of this thread made these changes: the delivery under way takes them in turn.
      t_pending->insert(t_pending->end(), std::make_move_iterator(changes.begin()),
                        std::make_move_iterator(changes.end()));
      return;
    }
    if (!environment.ListenersMayRun()) return;
    std::vector<ValueChange> pending = std::move(changes);
    t_pending = &pending;
    struct Done {
      ~Done() { t_pending = nullptr; }
    } done;
    // Moved out before the listeners run: what they change is appended behind it.
    for (size_t next = 0; next < pending.size(); ++next) {
      const ValueChange change = std::move(pending[next]);
      Listeners().Deliver(change);
    }
  } catch (const std::bad_alloc&) {
    // Without memory the changes not told yet are not told: the values themselves are saved.
  }
}

void ForgetChangeListeners() { Listeners().Clear(); }

int AddChangeListener(const char* section, const char* key, Config_ChangeCallback callback, void* context) {
  return Listeners().Add(section, key, callback, context);
}

void RemoveChangeListener(int id) { Listeners().Remove(id); }

}  // namespace navconfig
