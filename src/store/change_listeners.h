// The listeners of setting changes (config/config_listen.h) and the delivery of changes to them.
//
// The manager records the values that an operation changed while it holds the configuration's lock, and only
// while a listener is registered (ChangeListenersExist), so that writes cost nothing more when nobody listens.
// ConfigLock hands what a locked operation recorded to DeliverChanges once it has released the lock.
//
// Delivery runs on the thread that made the change. Changes that listeners make while they are called join a
// queue of that thread, which the outermost delivery works through, so listeners are never called
// recursively. Removal marks a listener removed under the registry's mutex, after which no call of it starts,
// and then waits until no other thread is inside a call of it (unless the remover is itself delivering).
#ifndef NAVCONFIG_SRC_STORE_CHANGE_LISTENERS_H
#define NAVCONFIG_SRC_STORE_CHANGE_LISTENERS_H

#include <config/config_listen.h>

#include <vector>

#include "store/store_environment.h"
#include "store/value_change.h"

namespace navconfig {

// Registers a listener (section, key: filters, null for any) and returns its id, counting up from 1; removes one
// (see above). The exported functions of config/config_listen.h check their arguments and call these.
int AddChangeListener(const char* section, const char* key, Config_ChangeCallback callback, void* context);
void RemoveChangeListener(int id);
// Whether a listener is registered; the manager records changes only then.
bool ChangeListenersExist();
// Calls the listeners for each change, in order, on this thread. The caller holds no lock of the library.
// Nothing is called while the environment says that listeners may not run (the library is being set up, and
// no listener can be registered yet). Without memory, what is not told yet is dropped.
void DeliverChanges(std::vector<ValueChange>&& changes, const StoreEnvironment& environment) noexcept;
// Forgets every listener: the library's teardown, when no other thread uses it.
void ForgetChangeListeners();

}  // namespace navconfig

#endif
