// StoreEnvironment: what the configuration manager is handed by the library around it, as a database is handed
// its environment: the folders that hold the layer files, the built-in defaults, and whether change listeners
// may be called. The store reaches for nothing above it; the library's globals hand in one environment that
// answers from the directory manager and the defaults tables of the moment.
#ifndef NAVCONFIG_SRC_STORE_STORE_ENVIRONMENT_H
#define NAVCONFIG_SRC_STORE_STORE_ENVIRONMENT_H

#include <string>

#include "defaults/defaults_table.h"

namespace navconfig {

// The base class is a store on its own: no folders (no layer file is read or written) and no built-in defaults.
// Every function is asked at each use and may be called under the manager's lock.
class StoreEnvironment {
 public:
  virtual ~StoreEnvironment() = default;
  // The configuration directory (the layer files) and the runtime directory (map layers in its "maps" folder),
  // UTF-8, each ending in a separator; empty when there is none. Either may change at any time (SU_Config).
  virtual std::string ConfigDirectory() const { return std::string(); }
  virtual std::string RuntimeDirectory() const { return std::string(); }
  // Makes the configuration directory again when the library made it at the start (the user's own folder of an
  // installed library) and it is gone (asked when a save cannot take its lock); true when it did. Another folder, that a variable
  // or SU_Config names, is never made.
  virtual bool RemakeConfigDirectory() const { return false; }
  // The system's configuration directory, where the read-only layers user_ro and product are read from when the
  // configuration directory has no file of them; empty when there is none. Only ever read.
  virtual std::string SystemConfigDirectory() const { return std::string(); }
  // The built-in default of "<section>\<key>" (without a layer), or null.
  virtual const ConfigDefault* FindDefault(const char* /*key*/) const { return nullptr; }
  // Whether change listeners may be called now: not while the library is being set up.
  virtual bool ListenersMayRun() const { return true; }
};

}  // namespace navconfig

#endif
