/* Change sets: several changes of settings made as one, as an updater that migrates many settings or a tool that
 * applies a bundle of them needs.
 *
 * A set records values to write and values or branches to delete, and touches nothing until it is applied.
 * Config_ChangeSetApply then makes every change of the set under the configuration's lock at once, so that no
 * other thread of the process sees part of it, and then, with the lock let go so that reads go on, saves each layer
 * that the set changed once, in turn with this process's other saves of that layer. Each layer file
 * is replaced atomically, as a single change replaces it, and holds either all of the set's changes to that
 * layer or none of them, even when the process is killed while it applies the set. A set that changes two layers
 * is atomic per file only: a process killed between the two saves leaves one file with the set's changes and
 * the other without them.
 *
 * Sections and keys mean what they mean for Config_SetIntVal, Config_SetStrVal, Config_DeleteKeyVal and
 * Config_DeleteKey (config/config_api.h): a plain section writes the user layer, a full path ("product\Image")
 * names its layer; an absent value equal to its built-in default is not stored; a write of the value already
 * held changes nothing. The changes are made in the order they were recorded, so a later change of a key wins
 * over an earlier one of the same set.
 *
 * Names are checked before anything changes: a set holding a name that the setters refuse (an empty key, a key
 * holding '"', '=' or a line break, a section path holding '[', ']' or a line break, a layer that cannot name a
 * file) is refused whole, nothing is changed, Config_ChangeSetApply returns false and the layer's save status
 * (Config_GetLastSaveStatus, config/config_info.h) tells which name and why.
 *
 * Other processes: each layer's save merges with what they saved since, as every save does (the newest write of
 * a key wins). A save that fails behaves as a failed single save: memory keeps the set's changes, the next save
 * of the layer writes them, Config_ChangeSetApply returns false and Config_GetLastSaveStatus tells why.
 *
 * Change listeners (config/config_listen.h) are called once per value that the set changed, after the saves,
 * on the thread that applied the set, without the configuration's lock held.
 *
 * Who may call: any thread. A set belongs to one thread at a time: recording into the same set from two
 * threads at once needs the caller's own lock. Recording needs no configuration manager and never fails
 * visibly: a change that cannot be recorded (out of memory, a null section or key) makes the set one that
 * Config_ChangeSetApply refuses. Nothing here throws. */
#ifndef NAVCONFIG_CONFIG_CONFIG_CHANGES_H
#define NAVCONFIG_CONFIG_CONFIG_CHANGES_H

#include <config/export.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

NAVCONFIG_BEGIN_C

typedef struct Config_ChangeSet Config_ChangeSet;

/* A new, empty set; null when out of memory. Free it with Config_ChangeSetFree. */
NAVCONFIG_API Config_ChangeSet* Config_ChangeSetNew(void);
/* Records a write of an integer or a string, as Config_SetIntVal and Config_SetStrVal make it (a null value is
 * the empty string). A null set is ignored. */
NAVCONFIG_API void Config_ChangeSetSetInt(Config_ChangeSet* set, const char* section, const char* key, long value);
NAVCONFIG_API void Config_ChangeSetSetStr(Config_ChangeSet* set, const char* section, const char* key,
                                          const char* value);
/* Records a deletion: of the value key, as Config_DeleteKeyVal makes it, or, with a null key, of the branch (the
 * section with everything below it), as Config_DeleteKey makes it. As for the setters, a plain section is the
 * user layer's ("Image" is "user\Image") and a full path names its layer; a layer's name with a backslash
 * ("user\") is the whole layer. A null or empty section makes the set refused. */
NAVCONFIG_API void Config_ChangeSetDelete(Config_ChangeSet* set, const char* section, const char* key);
/* Applies the set (see above). True when every change was made and every layer it changed was saved (or the
 * set changed nothing). False for a null set, a set applied before (a set applies once), a set that is refused
 * (nothing changed), no configuration manager, or a save that failed (memory keeps the changes). */
NAVCONFIG_API bool Config_ChangeSetApply(Config_ChangeSet* set);
/* Releases the set, applied or not; a null set is ignored. */
NAVCONFIG_API void Config_ChangeSetFree(Config_ChangeSet* set);

NAVCONFIG_END_C

#endif
