/* The library's globals: the holder and the two managers it owns, and (C++ only) the settings functions that
 * take or return the utility strings.
 *
 * The globals holder is created empty when the library is loaded. The first call of (almost) any exported
 * function sets it up: the built-in defaults, then the configuration manager, then the directory manager,
 * whose Initialize() runs at once. Unloading the library tears it down in the reverse order.
 *
 * The accessors have C linkage, so that they carry their plain names in the library and other languages can
 * find them. In C the holder and the managers are opaque types: a C caller can only hand the pointers back
 * to C++ code. */
#ifndef NAVCONFIG_CONFIG_CONFIG_GLOBALS_H
#define NAVCONFIG_CONFIG_CONFIG_GLOBALS_H

#include <config/config_api.h>
#include <config/export.h>

#ifdef __cplusplus
#include <config/directorymgr.h>
#include <doroutil/orostring.h>

class CConfigGlobals;
class CConfigMgr;
#else
typedef struct CConfigGlobals CConfigGlobals;
typedef struct CConfigMgr CConfigMgr;
#ifdef _WIN32
typedef struct DirectoryMgr_Win32 DirectoryMgr_Platform;
#else
typedef struct DirectoryMgr_Posix DirectoryMgr_Platform;
#endif
#endif

NAVCONFIG_BEGIN_C

/* The static holder, without setting it up. */
NAVCONFIG_API CConfigGlobals* GetConfigGlobals(void);
/* Sets the holder up and returns the configuration manager (null only while it is being replaced). */
NAVCONFIG_API CConfigMgr* GetConfigMgr(void);
/* Sets the holder up and returns the directory manager. */
NAVCONFIG_API DirectoryMgr_Platform* GetDirectoryMgr(void);
/* Replaces the directory manager with a new one and initialises it. */
NAVCONFIG_API void ResetDataDirMgr(void);

NAVCONFIG_END_C

#ifdef __cplusplus
// Locked. As Config_GetStrVal with a 512-byte buffer: at most 510 bytes of the value; empty when not found.
NAVCONFIG_API OROustring Config_GetOroUStrVal(const char* section, const char* key);
// Locked. Config_SetStrVal with the string's text.
NAVCONFIG_API void Config_SetOroUStrVal(const char* section, const char* key, const OROustring& value);
#endif

#endif
