// ValueChange: one value that an operation of the store changed, named as the forest spells it. Writes,
// deletions and merges with a layer's file record them for the change listeners (change_listeners.h).
#ifndef NAVCONFIG_SRC_STORE_VALUE_CHANGE_H
#define NAVCONFIG_SRC_STORE_VALUE_CHANGE_H

#include <string>

namespace navconfig {

struct ValueChange {
  std::string layer;    // the layer's name as its top-level section spells it
  std::string section;  // the path inside the layer, names joined by backslashes ("" for the layer itself)
  std::string key;
};

}  // namespace navconfig

#endif
