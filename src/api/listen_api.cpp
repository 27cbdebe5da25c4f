// The exported functions of the change listeners (config/config_listen.h): thin shims over the store's registry
// and its reload of changed layer files.
#include <config/config_listen.h>

#include "api/globals.h"
#include "store/change_listeners.h"
#include "store/configmgr.h"

using namespace navconfig;

int Config_AddChangeListener(const char* section, const char* key, Config_ChangeCallback callback, void* context) try {
  GetConfigGlobals()->Setup();
  if (!callback) return 0;
  return AddChangeListener(section, key, callback, context);
} catch (...) {
  return 0;
}

void Config_RemoveChangeListener(int id) try {
  GetConfigGlobals()->Setup();
  if (id > 0) RemoveChangeListener(id);
} catch (...) {
}

int Config_ReloadChangedLayers(void) try {
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr) return 0;
  ConfigLock lock(mgr);
  return mgr->ReloadChangedLayers();
} catch (...) {
  return 0;
}
