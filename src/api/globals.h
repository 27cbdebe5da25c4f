// CConfigGlobals: the process-wide holder that ties the library together. It owns the defaults tables, the
// configuration manager and the directory manager, hands the manager its environment (the directory manager's
// folders, the defaults) and the directory manager its store, and keeps the flags and the cached password of
// the exported interface.
#ifndef NAVCONFIG_SRC_API_GLOBALS_H
#define NAVCONFIG_SRC_API_GLOBALS_H

#include <config/config_globals.h>
#include <config/directorymgr.h>
#include <doroutil/staticdata.h>
#include <doroutil/sync.h>
#include <platform/thread_annotations.h>

#include <cstddef>

#include "defaults/defaults_table.h"
#include "store/configmgr.h"

class CConfigGlobals : public StaticDataHolder {
 public:
  CConfigGlobals();
  ~CConfigGlobals() override;

  const char* GetName() const override { return "Config"; }
  void AddDependencies() override;
  void DoSetup() override;
  void DoTeardown() override;

  DirectoryMgr_Platform* GetDirectoryMgr();
  void ResetDataDirMgr();

  // The defaults, priority table first.
  const navconfig::ConfigDefault* FindDefault(const char* key) const {
    return navconfig::FindDefault(m_pConfigDefaultsTable, m_pPriorityDefaultsTable, key);
  }
  bool HasDefault(const char* key) const { return FindDefault(key) != nullptr; }

  // Destroys and remakes the managers (the resets of the exported interface).
  void ReplaceConfigMgr();
  void DestroyDirectoryMgr();
  void CreateDirectoryMgr();

  navconfig::ConfigDefaultsTable* m_pConfigDefaultsTable = nullptr;
  navconfig::ConfigDefaultsTable* m_pPriorityDefaultsTable = nullptr;
  CConfigMgr* m_pConfigMgr = nullptr;
  DirectoryMgr_Platform* m_pDirectoryMgr = nullptr;
  bool m_bRightToLeft = false;

  // The sign-on password as last decrypted, kept with the protected text it came from: it answers only while the
  // settings hold that text, since another module or process may store or remove a password. Callers on any
  // thread. Copies the password into buffer (truncated to fit) when protectedText is the one kept.
  bool CachedPassword(const char* protectedText, char* buffer, long size) EXCLUDES(m_passwordLock);
  // Keeps a password recovered from protectedText in place of the one kept (none when memory runs out).
  void KeepPassword(const char* protectedText, const char* password) EXCLUDES(m_passwordLock);
  // Wipes and forgets the password kept.
  void ReleaseCachedPassword() EXCLUDES(m_passwordLock);

 private:
  critSec m_passwordLock;
  // One block (Mem_Malloc): the protected text, its terminator, then the password and its terminator; or null.
  char* m_pCachedPassword GUARDED_BY(m_passwordLock) = nullptr;
  size_t m_cachedSize GUARDED_BY(m_passwordLock) = 0;
};

namespace navconfig {

// The holder, set up.
CConfigGlobals& Globals();

// For the catch block of an exported write that failed by an exception (out of memory, most often): records
// the failure as the last save of the layer that the section argument writes. Never throws.
void FailedWrite(const char* section) noexcept;

// Clears memory that held a password.
void WipeSecret(char* data, size_t size);

}  // namespace navconfig

#endif
