/* The configuration interface: typed reads and writes of settings, existence tests, deletion, enumeration,
 * set-up and tear-down. Plain C, so that C programs and other languages can call it.
 *
 * Who may call: any module, from any thread. Every function marked "locked" holds the configuration's one
 * lock for its work in memory, reading a layer's file the first time included. A write holds it only while it
 * changes memory: it saves its layer afterwards, so that reads on other threads go on answering from memory
 * while the save waits for the lock of the layer's file that another process holds (a save waits 10 s at
 * most, and then fails as any failed save does); saves of one layer by threads of this process are made one
 * at a time, in the order the writes came, and a save that finds its change written by an earlier one writes
 * nothing. SU_Config, SD_Config, the resets, the restore and text-direction flags and the enumeration steps
 * are meant for times when no other thread uses the configuration: do not call them while other threads do.
 *
 * Sections and keys. A section argument without a backslash is a plain section name ("Image"): reads search
 * the layers user, user_ro and product in this order and then the built-in defaults; writes go to the user
 * layer ("user\Image"). A section argument with a backslash is a full path beginning with the layer
 * ("product\Image"), read and written directly, without defaults (but see below: a write to a layer whose name
 * begins with "user", user_ro's included, leaves out its default as a write to the user layer does). Names compare
 * without regard to ASCII case; section paths are used up to 255 bytes.
 *
 * What a setter stores reads back from the file as it was; only a string holding a line break is kept in the
 * file up to its first one. A setter refuses, and stores nothing for, a key that is empty, holds '"', '=' or a
 * line break, or starts with the byte 0xEE or 0xEF, a section path holding '[', ']' or a line break, and a
 * full path that names a layer but no section in it ("user\", whose value no file could hold): the layer's
 * save status (config/config_info.h) then tells why.
 *
 * Values are signed 32-bit integers or strings. A setter stores the low 32 bits of its argument, so
 * 0xF1000900 and -251655936 are the same value; getters return it sign-extended. Booleans are 1 and 0.
 *
 * Nothing here reports errors or throws: a missing key, file or manager gives 0, false, null or an empty
 * buffer, and so does a call that runs out of memory (a read of a plain section then answers the built-in
 * default; a write records a failed save "out of memory"). Every change is written to its layer's file at once (atomically: a crash never leaves a
 * half-written file); a write that changes nothing touches no file, and an absent value equal to its
 * built-in default (a string compared without regard to ASCII case, so "na" for "NA", which then reads back as
 * "NA"; an integer 0 for a string default) is not stored, unless user_ro or product holds the key (a write to the user layer then
 * stores it, so that reads give it rather than theirs). config/config_info.h tells whether the last save of a
 * layer worked.
 *
 * Buffers: a function that fills a caller's buffer writes nothing for a size of 0 or less and otherwise
 * always terminates the text inside the buffer, cutting it when it does not fit. */
#ifndef NAVCONFIG_CONFIG_CONFIG_API_H
#define NAVCONFIG_CONFIG_CONFIG_API_H

#include <config/export.h>
#include <config/keytree.h>

NAVCONFIG_BEGIN_C

/* Points the library at its configuration directory (the text is used as a prefix: end it with a
 * separator) and enables all layers again; nothing when path is null. Layers already read stay. An empty path
 * sets no directory: no file is read, and saves fail (Config_GetLastSaveStatus) while the changes stay in memory
 * for the first save once a directory is set again. */
NAVCONFIG_API void SU_Config(const char* path);
NAVCONFIG_API void Config_SetConfigPath(const char* path);
/* Releases every layer held in memory; the next access reads the files again. Changes whose save failed are
 * saved once more first; what still cannot be saved is logged, is the layer's last save status
 * (config/config_info.h), and goes with the layers. */
NAVCONFIG_API void SD_Config(void);
/* Replaces the directory manager and the configuration manager. Always true. */
NAVCONFIG_API bool Config_Reset(void);
/* Replaces only the configuration manager: all layers enabled, every file read afresh. Always true. */
NAVCONFIG_API bool Config_ResetConfigMgr(void);

/* Locked. Plain section: the first layer holding the key, else the default (0 when the key is not an
 * integer setting). Full path: the value when it is an integer, else 0. */
NAVCONFIG_API long Config_GetIntVal(const char* section, const char* key);
/* Locked. Full path: as Config_GetIntVal, but defaultValue when the key holds no integer. Plain section:
 * the same as Config_GetIntVal (the built-in default applies; defaultValue is not used). */
NAVCONFIG_API long Config_GetIntValDefault(const char* section, const char* key, long defaultValue);
NAVCONFIG_API void Config_SetIntVal(const char* section, const char* key, long value);
NAVCONFIG_API bool Config_GetBoolVal(const char* section, const char* key);
NAVCONFIG_API void Config_SetBoolVal(const char* section, const char* key, bool value);
/* Locked. Copies the string into buffer (at most size-1 bytes, terminated). Plain section: layers, then the
 * default; found is not written. Full path: *found (when not null) becomes 1 when the key holds a string,
 * else 0. True when the buffer now starts with a non-empty text. */
NAVCONFIG_API bool Config_GetStrVal(const char* section, const char* key, char* buffer, int size, int* found);
NAVCONFIG_API void Config_SetStrVal(const char* section, const char* key, const char* value);
/* Locked. Plain section: the key exists in a layer or has a default. Full path: it holds a value. */
NAVCONFIG_API bool Config_DoesKeyExist(const char* section, const char* key);

/* Locked. Remove one value or a whole branch of a full path and save the layer; 1 when something was
 * removed, else 0. A layer deleted whole ("user") stays in memory as an empty layer and its file is written
 * empty; while that save fails, reads still find the layer empty, not its file's old values. */
NAVCONFIG_API int Config_DeleteKeyVal(const char* path, const char* key);
NAVCONFIG_API int Config_DeleteKey(const char* path);
/* Locked. Drops a branch from memory without saving; its file stays. A whole layer is read again when needed;
 * a branch inside a layer comes back from the file at the layer's next save or reload (until then reads pass it
 * by, as if the file lacked it). Changes whose save failed are kept all the same, and saved with the next
 * change; a layer read again holds them. */
NAVCONFIG_API void Config_FlushBranch(const char* path);
/* Locked. The section at a full path (its layer read when needed), or null. */
NAVCONFIG_API KeyRoot* Config_FindRoot(const char* path);

/* Enumeration of subsections: Config_SetBranch (locked) gives the first subsection of the section at path;
 * Config_GetLeaf copies the cursor's name into buffer (when size > 0), moves the cursor on and returns 1, or
 * returns 0 (buffer cleared) at the end.
 * A section whose every value another process removed stays in memory, empty, after the merge or reload that
 * took the removal in (so that a section handed out before stays valid): enumerations still list it, while a
 * process that reads the file afresh does not see it (the file holds no header for a section without values).
 * A layer file that holds no section is a layer without subsections. */
NAVCONFIG_API KeyRoot* Config_SetBranch(const char* path);
NAVCONFIG_API int Config_GetLeaf(KeyRoot** cursor, char* buffer, int size);
/* Enumeration of values: Config_SetBeginEnumKeyValue (locked) gives the first value of the section at path;
 * Config_GetNextKeyValue copies the cursor's name into buffer (size bytes at most, terminated), moves on and
 * returns 1, or returns 0 (buffer cleared) at the end. A value removed from its section (by this process, or
 * by another one and taken in by a merge or reload) keeps its record while the section lives, and a value added
 * to the section later may take the record over: a cursor that stands on one goes on from there and never reads
 * freed memory (unless memory ran out as the value was taken out), though it may list values again or miss
 * some. Records go when the section is deleted or flushed or the trees are released; a section never keeps more
 * of them than it held values at once. */
NAVCONFIG_API KeyValue* Config_SetBeginEnumKeyValue(const char* path);
NAVCONFIG_API int Config_GetNextKeyValue(KeyValue** cursor, char* buffer, int size);
/* The number of subsections of the section at path; *maxNameLength (when not null) gets the length of the
 * longest name (names counted up to 254 bytes). Only the start is locked. */
NAVCONFIG_API int Config_GetSubKeyCount(const char* path, int* maxNameLength);
/* The name of the subsection at a zero-based index (at most 254 bytes, cut to fit the buffer) and its
 * length; 0 past the end (buffer untouched) or for a negative index (buffer emptied). Only the start is locked:
 * like the counting above, it walks the subsections while no other thread deletes or flushes them. */
NAVCONFIG_API int Config_GetSubKey(const char* path, int index, char* buffer, int size);

/* Erases user.cfg in the configuration directory, under the lock of its file. The values in memory keep
 * answering reads, but no later save writes them back: the next save of the user layer writes a user.cfg that
 * holds only the changes made after this call, and brings memory to it; other processes see the restore at
 * their next merge or reload. True when the file was erased (also when there is no manager). */
NAVCONFIG_API bool Config_RestoreDefaults(void);
/* When set, user.cfg is erased when the manager is destroyed (reset or unload). */
NAVCONFIG_API void Config_SetRestoreSettings(bool flag);
NAVCONFIG_API bool Config_GetRestoreSettings(void);
/* The process-wide text-direction flag; not saved. */
NAVCONFIG_API void Config_SetIsRightToLeft(bool flag);
NAVCONFIG_API bool Config_GetIsRightToLeft(void);
/* Does nothing; returns 0. */
NAVCONFIG_API int Config_WriteTree(void);

NAVCONFIG_END_C

#endif
