// The directory code's access to the settings, through the store that the library's globals hand in.
#include "directories/settings.h"

#include <config/keytree.h>

#include <atomic>
#include <new>
#include <string>

#include "directories/directories.h"
#include "store/configmgr.h"

namespace navconfig {

namespace {

std::atomic<StoreAccessor> g_store{nullptr};

// The batch of this thread's writes, while a BatchedWrites exists.
thread_local WriteBatch* t_batch = nullptr;

void Write(const char* section, const char* key, long type, long intValue, const char* strValue) {
  CConfigMgr* mgr = Store();
  if (!mgr) return;
  if (t_batch && t_batch->Manager() == mgr) {
    t_batch->StoreValue(WritePath(section).c_str(), key, type, intValue, strValue);
    return;
  }
  ConfigWrite write(mgr);
  write.Note(mgr->StoreValue(WritePath(section).c_str(), key, type, intValue, strValue, write.Pending()));
  ReportedInLastSave(write.Finish());
}

}  // namespace

void UseStore(StoreAccessor store) { g_store.store(store, std::memory_order_release); }

CConfigMgr* Store() {
  const StoreAccessor store = g_store.load(std::memory_order_acquire);
  return store ? store() : nullptr;
}

OROustring ReadStringSetting(const char* section, const char* key, long size) {
  char value[512];
  value[0] = '\0';
  CConfigMgr* mgr = Store();
  if (!mgr) return OROustring();
  if (size > static_cast<long>(sizeof value)) size = sizeof value;
  if (!mgr->ReadLayeredStr(section, key, value, size)) return OROustring();
  return OROustring(value);
}

long ReadIntSetting(const char* section, const char* key) {
  CConfigMgr* mgr = Store();
  if (!mgr) return 0;
  return mgr->ReadLayeredInt(section, key);
}

void WriteStringSetting(const char* section, const char* key, const char* value) {
  Write(section, key, KEYVALUE_TYPE_STRING, 0, value);
}

void WriteIntSetting(const char* section, const char* key, long value) {
  Write(section, key, KEYVALUE_TYPE_INTEGER, value, "");
}

BatchedWrites::BatchedWrites(Lock lock) {
  CConfigMgr* mgr = Store();
  if (t_batch || !mgr) return;  // an inner one: the outermost saves
  // Without the memory for it, each write is saved on its own.
  m_batch.reset(new (std::nothrow) WriteBatch(mgr, lock == Lock::Wait));
  t_batch = m_batch.get();
}

BatchedWrites::~BatchedWrites() {
  if (!m_batch) return;
  t_batch = nullptr;
  m_batch.reset();  // saves
}

}  // namespace navconfig
