// What changed, for the change listeners: the values that a write or a deletion is about to change, named as
// the forest spells them (the layer's name and the section path as their records hold them, not as the caller
// wrote them).
#ifndef NAVCONFIG_SRC_STORE_CHANGE_RECORD_H
#define NAVCONFIG_SRC_STORE_CHANGE_RECORD_H

#include <vector>

#include "store/forest.h"
#include "store/value_change.h"

namespace navconfig {

// The value at path and key, when it is in memory, as a change (taken after a write, before a deletion); nothing
// when it is absent.
void RecordValue(const Forest& forest, const char* path, const char* key, std::vector<ValueChange>& changes);
// Every value of the branch at path (taken before the branch is deleted).
void RecordBranch(const Forest& forest, const char* path, std::vector<ValueChange>& changes);

}  // namespace navconfig

#endif
