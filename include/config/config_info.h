/* Inspection of the configuration, for tools that show and check settings (the navconfig command-line tool):
 * the built-in catalogue of defaults, where a read finds its value, whether the last save of a layer's file
 * worked, the table of named directories with the files each must hold, the .cfg reader's verdict on one
 * line, and setters that keep an integer in hexadecimal form.
 *
 * Who may call: any module, from any thread. Functions marked "locked" hold the configuration's lock for their
 * work and set the library up first, as the configuration functions do. The catalogue, directory table and
 * line functions work on static data: they neither set the library up nor read or write any file.
 *
 * Nothing here reports errors or throws; an index out of range, a null argument or a missing manager gives
 * 0, false, null or an empty buffer. Buffers are filled as in config_api.h: nothing is written for a size of
 * 0 or less, otherwise the text is terminated inside the buffer and cut when it does not fit. */
#ifndef NAVCONFIG_CONFIG_CONFIG_INFO_H
#define NAVCONFIG_CONFIG_CONFIG_INFO_H

#include <config/config_changes.h>
#include <config/export.h>
#include <config/keytree.h>

#ifdef __cplusplus
#include <cstddef>
#else
#include <stdbool.h>
#include <stddef.h>
#endif

NAVCONFIG_BEGIN_C

/* ---- The built-in catalogue ----
 *
 * Every default the library registers, in registration order: the main table's entries (1243), then the
 * priority table's (17), which a lookup consults first. A main entry whose key the priority table also holds
 * is never read: it is marked shadowed, and the priority entry carries the value in effect. */
typedef struct ConfigDefaultInfo {
  const char* key;       /* "<section>\<key>", static text */
  bool isString;         /* a string default; otherwise an integer default */
  long intValue;         /* the integer default, 0 for a string default */
  const char* strValue;  /* the string default (static text, possibly empty); null for an integer default */
  bool memoryDependent;  /* the integer follows the machine's memory level (NAVCONFIG_MEMORY_LEVEL or the
                            physical memory), as the registration works it out */
  bool priority;         /* an entry of the priority table */
  bool shadowed;         /* another entry of the same key wins every lookup of it: a priority entry, or one
                            registered later in the same table */
} ConfigDefaultInfo;

/* The number of registered entries, both tables. */
NAVCONFIG_API int Config_GetDefaultCount(void);
/* Entry index (0 to count-1) in registration order; false when the index is out of range. */
NAVCONFIG_API bool Config_GetDefaultAt(int index, ConfigDefaultInfo* info);
/* The entry a lookup of "<section>\<key>" finds (names compare without regard to ASCII case): the default a
 * read falls back to. False when the key has no default. */
NAVCONFIG_API bool Config_FindDefaultInfo(const char* key, ConfigDefaultInfo* info);

/* ---- Where a read finds its value ---- */
typedef enum ConfigOrigin {
  CONFIG_ORIGIN_NONE = 0,       /* no layer holds a value of the type and there is no default (or the section
                                   is a full path and holds no such value): the read gives 0 or "" */
  CONFIG_ORIGIN_LAYER = 1,      /* the layer named in the buffer holds the value that the read returns */
  CONFIG_ORIGIN_DEFAULT = 2,    /* the built-in default */
  CONFIG_ORIGIN_OTHER_TYPE = 3  /* the last layer searched holds a value of the other type, which hides the
                                   default: the read gives 0 or "" (the buffer names that layer) */
} ConfigOrigin;

/* Locked. Where Config_GetIntVal (type KEYVALUE_TYPE_INTEGER), Config_GetStrVal (KEYVALUE_TYPE_STRING) or
 * Config_DoesKeyExist (type 0) with these arguments finds its answer, by the same rules: a plain section
 * searches the layers user, user_ro and product and then the defaults; a full path names its layer and is
 * read alone. layer receives the layer's name as the section path spells it ("user", "product", a map
 * layer), or the empty text. Probing reads a layer's file when it is not in memory yet, as a read would. */
NAVCONFIG_API ConfigOrigin Config_GetValueOrigin(const char* section, const char* key, unsigned type, char* layer,
                                                 int layerSize);

/* ---- Saves ----
 *
 * Locked. Whether the file of a layer ("user", any case) has been written, or tried, since the configuration
 * manager was created (Config_Reset and Config_ResetConfigMgr start over). When it has: *ok (when not null)
 * tells whether that last save worked, file receives the file's path and reason why it failed (empty when
 * it worked). A failed save leaves the previous file as it was; the value stays in memory. A save waits 10 s
 * at most for the lock of the file that another process holds; its failure then says how long it waited. The
 * lock file (".user.cfg.lock") and the temporary file (".user.cfg.tmp") must be regular files: a link or a
 * directory in their place fails the save, which says what stands there, but for an empty directory left
 * where the temporary file goes, which is removed. A layer whose name
 * cannot name a file in the configuration folder ("../x", "a/b") is never written: its save fails with the
 * layer's name in file and the reason "not a safe file name". Neither is anything but a regular file: a save
 * over a FIFO, a device or a directory fails, and one over a symbolic link fails unless the link names an
 * existing regular file of the process's user (which is then replaced in its own folder). A write whose key or
 * section name a file cannot carry (config/config_api.h) counts as a failed save too: nothing was stored, file
 * names the layer's file and reason says which name and why. */
NAVCONFIG_API bool Config_GetLastSaveStatus(const char* layer, bool* ok, char* file, int fileSize, char* reason,
                                            int reasonSize);
/* Locked. Whether a save of the layer's file since the configuration manager was created set the previous file
 * aside beside it, and file receives the path of the latest such copy. A save edits the file's text and keeps
 * every line it does not change (comments, blank lines, lines the reader ignores), so it sets a file aside only
 * when the file is no text (it holds a NUL byte: binary data, or UTF-16) and is replaced by the writer's text.
 * The copy is "<file>.bak" (user.cfg.bak), or "<file>.bak.1", "<file>.bak.2", ... when that name is taken: no
 * copy replaces an earlier one. A copy that cannot be made fails the save. */
NAVCONFIG_API bool Config_GetLastSaveBackup(const char* layer, char* file, int fileSize);

/* Locked. The file that the layer ("user", "product", a map layer; any case) is read from: its file in the
 * configuration folder when a regular file stands there, else for user_ro and product the file of the system's
 * configuration folder (an installed system library's /etc/navconfig), else the map layer file below the
 * runtime folder, when that is a regular file. True when one is found; false when none is (file then receives
 * the configuration folder's file, which a save of the layer would write) or the layer's name cannot name a file
 * in the configuration folder (file empty). Saves always write the configuration folder's file. */
NAVCONFIG_API bool Config_GetLayerFile(const char* layer, char* file, int fileSize);

/* Locked. As Config_SetIntVal, but the value is kept, and written to its file, in hexadecimal form
 * ("Size"=0x00002710). */
NAVCONFIG_API void Config_SetHexVal(const char* section, const char* key, long value);
/* The same in a change set (config/config_changes.h): records a write of an integer kept in hexadecimal form. */
NAVCONFIG_API void Config_ChangeSetSetHex(Config_ChangeSet* set, const char* section, const char* key, long value);

/* ---- The directory table ----
 *
 * The named directories that the directory manager fills in and clears at start-up (28 names, "RootDir",
 * "LRGridDir", ...), in the order in which a start without a root directory checks them. RegionDir holds a
 * region code, not a path. */
NAVCONFIG_API int Config_GetDirectoryTableCount(void);
/* The name at index, static text; null when the index is out of range. */
NAVCONFIG_API const char* Config_GetDirectoryTableName(int index);
/* The files that the directory <name> must hold to count as valid ("00000000.qd" and "00000000.hsh" for
 * LRGridDir), static text; null past the last one. Most directories require none. */
NAVCONFIG_API const char* Config_GetRequiredFile(const char* name, int index);

/* ---- The .cfg reader's verdict on one line ----
 *
 * A file is cut into lines at line feed, carriage return and NUL bytes; this takes one such line (without its
 * end byte) apart as the library's reader does, whatever its length. */
typedef enum ConfigLineKind {
  CONFIG_LINE_IGNORED = 0,            /* blank, comment or anything not starting with '[' or a quote byte */
  CONFIG_LINE_HEADER = 1,             /* a section header with a name */
  CONFIG_LINE_HEADER_NO_NAME = 2,     /* "[]" and the like: ignored */
  CONFIG_LINE_VALUE = 3,              /* a value that the reader stores */
  CONFIG_LINE_NO_CLOSING_QUOTE = 4,   /* the key name has no closing quote (or is empty): ignored */
  CONFIG_LINE_BLANK_BEFORE_ASSIGN = 5,/* the key's closing quote is not followed by '=': ignored */
  CONFIG_LINE_BAD_VALUE = 6           /* the value is neither a string nor a number: ignored */
} ConfigLineKind;

typedef struct ConfigLineInfo {
  ConfigLineKind kind;
  const char* name;    /* header: the section path; value: the key name (points into the line, not terminated) */
  size_t nameLength;
  bool isString;       /* value: a string; otherwise an integer */
  const char* text;    /* string value (points into the line, not terminated) */
  size_t textLength;
  long number;         /* integer value, as the reader makes it (signed 32 bits; "062" is octal 50) */
  bool hex;            /* the integer is written in hexadecimal and is kept so */
  size_t used;         /* value lines: the bytes of the line that the reader took into account (through the
                          string's closing quote or the number's last digit); the rest of the line is dropped */
} ConfigLineInfo;

/* Takes one line apart; info (when not null) receives the details. */
NAVCONFIG_API ConfigLineKind Config_ClassifyLine(const char* line, size_t length, ConfigLineInfo* info);

NAVCONFIG_END_C

#endif
