// The exported functions of the change listeners (config/config_listen.h): thin shims over the store's registry
// and its reload of changed layer files.
#include <config/config_listen.h>

#include "api/globals.h"
#include "store/change_listeners.h"
#include "store/configmgr.h"

using namespace navconfig;

int Config_AddChangeListener(const char* section, const char* key, Config_ChangeCallback callback, void* context) {
  GetConfigGlobals()->Setup();
  if (!callback) return 0;
  return AddChangeListener(section, key, callback, context);
}

void Config_RemoveChangeListener(int id) {
  GetConfigGlobals()->Setup();
  if (id > 0) RemoveChangeListener(id);
}

int Config_ReloadChangedLayers(void) {
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr) return 0;
  ConfigLock lock(mgr);
  return mgr->ReloadChangedLayers();
}
