// The C++ side of the configuration interface: the library's globals and the settings functions that take
// or return the utility strings.
//
// The globals holder is created empty when the library is loaded. The first call of (almost) any exported
// function sets it up: the built-in defaults, then the configuration manager, then the directory manager,
// whose Initialize() runs at once. Unloading the library tears it down in the reverse order.
#ifndef NAVCONFIG_CONFIG_CONFIG_GLOBALS_H
#define NAVCONFIG_CONFIG_CONFIG_GLOBALS_H

#include <config/config_api.h>
#include <config/directorymgr.h>
#include <config/export.h>
#include <doroutil/orostring.h>

class CConfigGlobals;
class CConfigMgr;

// The static holder, without setting it up.
NAVCONFIG_API CConfigGlobals* GetConfigGlobals();
// Sets the holder up and returns the configuration manager (null only while it is being replaced).
NAVCONFIG_API CConfigMgr* GetConfigMgr();
// Sets the holder up and returns the directory manager.
NAVCONFIG_API DirectoryMgr_Platform* GetDirectoryMgr();
// Replaces the directory manager with a new one and initialises it.
NAVCONFIG_API void ResetDataDirMgr();

// Locked. As Config_GetStrVal with a 512-byte buffer: at most 510 bytes of the value; empty when not found.
NAVCONFIG_API OROustring Config_GetOroUStrVal(const char* section, const char* key);
// Locked. Config_SetStrVal with the string's text.
NAVCONFIG_API void Config_SetOroUStrVal(const char* section, const char* key, const OROustring& value);

#endif
