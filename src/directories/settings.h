// The settings that the directory code reads and writes, through the store handed in with UseStore
// (directories.h). Each access takes the configuration's lock for itself alone.
#ifndef NAVCONFIG_SRC_DIRECTORIES_SETTINGS_H
#define NAVCONFIG_SRC_DIRECTORIES_SETTINGS_H

#include <doroutil/orostring.h>

#include <memory>

class CConfigMgr;

namespace navconfig {

class WriteBatch;

// The store of the moment, or null.
CConfigMgr* Store();
// A layered read of a string setting, at most size - 1 bytes of it; empty when absent (or there is no store).
OROustring ReadStringSetting(const char* section, const char* key, long size);
// A layered read of an integer setting; 0 when absent.
long ReadIntSetting(const char* section, const char* key);
// A write as the exported setters make it: a plain section goes to the user layer. The outcome of the save
// is the layer's last save status, as for every write.
void WriteStringSetting(const char* section, const char* key, const char* value);
void WriteIntSetting(const char* section, const char* key, long value);

// While one exists on a thread, that thread's writes above are made in memory and in the journal as they come
// (the reads that follow see them) and saved together when the outermost one ends: a start records the
// directory table and what data discovery found in one save of user.cfg rather than one save per directory.
// A start's batch does not wait for another process's lock (the first read starts the library, and reads never
// wait): its records then stay in memory and go with the next save.
class BatchedWrites {
 public:
  enum class Lock { Wait, DontWait };
  explicit BatchedWrites(Lock lock = Lock::Wait);
  ~BatchedWrites();
  BatchedWrites(const BatchedWrites&) = delete;
  BatchedWrites& operator=(const BatchedWrites&) = delete;

 private:
  std::unique_ptr<WriteBatch> m_batch;
};

}  // namespace navconfig

#endif
