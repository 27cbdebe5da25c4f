// CConfigGlobals: the process-wide holder that ties the library together. It owns the defaults tables, the
// configuration manager and the directory manager, hands the manager its environment (the directory manager's
// folders, the defaults) and the directory manager its store, and keeps the flags and the cached password of
// the exported interface.
#ifndef NAVCONFIG_SRC_API_GLOBALS_H
#define NAVCONFIG_SRC_API_GLOBALS_H

#include <config/config_globals.h>
#include <config/directorymgr.h>
#include <doroutil/staticdata.h>

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
  // The sign-on password as last decrypted (Mem_Malloc), or null; wiped when it is released.
  char* m_pCachedPassword = nullptr;
  void ReleaseCachedPassword();
};

namespace navconfig {

// The holder, set up.
CConfigGlobals& Globals();

// For the catch block of an exported write that failed by an exception (out of memory, most often): records
// the failure as the last save of the layer that the section argument writes. Never throws.
void FailedWrite(const char* section) noexcept;

}  // namespace navconfig

#endif
