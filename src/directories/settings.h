// The settings that the directory code reads and writes, through the store handed in with UseStore
// (directories.h). Each access takes the configuration's lock for itself alone.
#ifndef NAVCONFIG_SRC_DIRECTORIES_SETTINGS_H
#define NAVCONFIG_SRC_DIRECTORIES_SETTINGS_H

#include <doroutil/orostring.h>

class CConfigMgr;

namespace navconfig {

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

}  // namespace navconfig

#endif
