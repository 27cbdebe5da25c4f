/* Change listeners: learning that a setting changed, whether this process changed it or another one (the
 * support tool, the updater) changed a layer's file.
 *
 * A listener is called once for each value of a layer that changed:
 *   - a write that changed something (not a write of the value already held, nor a write of a default that
 *     stores nothing);
 *   - a value deleted (Config_DeleteKeyVal), and each value of a branch or layer deleted (Config_DeleteKey);
 *   - each value that another process saved and that this process took in: when one of its own saves merges
 *     the layer's file, when Config_ReloadChangedLayers reads a file that changed (added, changed or removed),
 *     or when any read or write takes in a layer's file that appeared since the layer was found missing.
 * Reading a layer's file for the first time, SD_Config, Config_FlushBranch and the resets change no value as
 * far as listeners are concerned and call none (but for what the last save that SD_Config makes of unsaved
 * changes takes in from the file): what a flush dropped comes back untold from a file that no other process
 * changed since (from one that another process changed, each of its values is told). Changes made while the
 * library sets itself up (the directory settings of a first start) are not reported: no listener can be
 * registered before that set-up ends.
 *
 * A listener gets the layer ("user", "product", a map layer), the section path inside the layer, without the
 * layer ("Image", or "Image\Sub" for a subsection) and the key, as the layer spells them: a change made through
 * Config_SetIntVal("user\\Image", ...) and one made through Config_SetIntVal("Image", ...) both report layer
 * "user", section "Image". It reads the new value itself; a value that is gone reads as the next layer or the
 * default gives it.
 *
 * When and where: after the change is in memory and saved, on the thread that made it (the writer's thread,
 * or the one that called Config_ReloadChangedLayers), without the configuration's lock held, so a listener may
 * read and write settings. The library starts no thread of its own. Listeners of one change are called in the
 * order they were added; changes made on different threads may reach listeners in any order, and another
 * thread may have changed the value again by the time a listener reads it.
 *
 * A listener that writes settings (the key it listens to included) is not called recursively: what it
 * changes is queued and delivered on the same thread once every listener has had the change at hand. A write
 * of the value already held changes nothing and calls nobody, so a listener that corrects a value (clamps it
 * to a range, say) ends the chain after one round; one that writes a new value every time it is called is
 * called for ever, by its own doing.
 *
 * A listener should return soon and must not unload the library. Listeners are forgotten when the library
 * is unloaded. */
#ifndef NAVCONFIG_CONFIG_CONFIG_LISTEN_H
#define NAVCONFIG_CONFIG_CONFIG_LISTEN_H

#include <config/export.h>

NAVCONFIG_BEGIN_C

typedef void (*Config_ChangeCallback)(const char* layer, const char* section, const char* key, void* context);

/* Registers a listener for changes of the key in the section; a null section or key means any. Section and key
 * match without regard to ASCII case, as every lookup does; the section is matched whole (a listener on
 * "Image" is not called for "Image\Sub"). context is handed to the callback as it is. Returns an id above 0,
 * or 0 (nothing registered) for a null callback. */
NAVCONFIG_API int Config_AddChangeListener(const char* section, const char* key, Config_ChangeCallback callback,
                                           void* context);

/* Removes a listener; an unknown id is ignored. Once this returns the listener is never called again, and no
 * call of it is still running on another thread, so its context may be released. Called from inside a
 * listener (the listener itself or another), it does not wait for calls running on other threads (waiting
 * there could deadlock); the listener is still never called again. */
NAVCONFIG_API void Config_RemoveChangeListener(int id);

/* Compares each layer in memory with its file and reads again those whose file changed since this process
 * last read or wrote it (another process saved it, or it was replaced or erased), and reads a layer's file
 * that has appeared since the layer was found missing (user_ro and product included, which reads then search
 * again). Memory is brought to each file's state in place, with this process's unsaved changes kept on top;
 * listeners are called for every value that differs. Returns how many values changed (0 also when there is
 * no manager). Locked. With nothing changed it costs one status call (stat) per layer file. */
NAVCONFIG_API int Config_ReloadChangedLayers(void);

NAVCONFIG_END_C

#endif
