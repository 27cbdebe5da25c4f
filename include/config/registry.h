/* Registry access: five functions over the system registry, and TRegUtil, registry-style access to the
 * configuration's own key trees.
 *
 * The Config_Registry* functions are the library's only way into the registry. The root selector picks the
 * tree: 0 is HKEY_CLASSES_ROOT, 1 is HKEY_LOCAL_MACHINE and any other value HKEY_CURRENT_USER. Sub-key paths
 * and value names are UTF-8, with backslashes between key names; an empty sub-key is the root itself and an
 * empty (or null) value name the key's default value. Each function returns the Windows error code of the
 * first registry call that failed (0 when all worked): 2 for a missing key or value, 5 when access is denied
 * (deleting a key that has sub-keys), 234 when a value does not fit. A key that a function opens is closed
 * before it returns. They keep no state, take no lock of the library and may be called from any thread; they
 * log nothing and never throw. Where the system has no registry (Linux), the library's own store stands in
 * for it (platform/registry.h).
 *
 * TRegUtil never touches the registry: it reads and writes the configuration's key trees (config_api.h),
 * naming a section by its base key path, a backslash and a sub-key. */
#ifndef NAVCONFIG_CONFIG_REGISTRY_H
#define NAVCONFIG_CONFIG_REGISTRY_H

#include <config/export.h>
#include <config/keytree.h>

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdint.h>
#endif

NAVCONFIG_BEGIN_C

/* Reads a value into the caller's 4 bytes at data, whatever its type: a shorter one fills what it has; a
 * longer one gives 234 and leaves the 4 bytes as they were. A null data only asks whether the value fits.
 * The key is opened for querying only. */
NAVCONFIG_API long Config_RegistryGetIntValue(long root, const char* subKey, const char* valueName, uint32_t* data);
/* Writes a REG_DWORD value into an existing key; a missing key gives 2 and nothing is created. */
NAVCONFIG_API long Config_RegistrySetIntValue(long root, const char* subKey, const char* valueName, uint32_t value);
/* Creates the key and any missing keys above it; an existing key is left as it is (and succeeds). */
NAVCONFIG_API long Config_RegistryCreateKey(long root, const char* subKey);
/* Deletes a key without sub-keys, with its values; 5 when it has sub-keys, 2 when it is missing. */
NAVCONFIG_API long Config_RegistryDeleteKey(long root, const char* subKey);

/* A value as the registry keeps it: *type receives its type (4 REG_DWORD, 1 REG_SZ, others as they are) when
 * type is not null, and data its bytes (REG_SZ: UTF-16 units ending in a terminator). *size gives the room at
 * data in bytes and receives the value's size; 234 when it does not fit (data then holds what fitted). A null
 * data only asks for the type and the size. */
NAVCONFIG_API long Config_RegistryQueryValue(long root, const char* subKey, const char* valueName, uint32_t* type,
                                             void* data, uint32_t* size);
/* Writes text (UTF-8) as a REG_SZ value into an existing key; a missing key gives 2 and nothing is created. */
NAVCONFIG_API long Config_RegistrySetStrValue(long root, const char* subKey, const char* valueName, const char* text);
/* Deletes one value of a key; 2 when the key or the value is missing. */
NAVCONFIG_API long Config_RegistryDeleteValue(long root, const char* subKey, const char* valueName);
/* The name (UTF-8) of the key's index-th sub-key or value, from 0, into name (nameSize bytes; the name is cut to
 * fit and terminated), and the value's type into *type when type is not null; 259 past the last. The order is the
 * registry's (name order where the library keeps its own store) and stays while the key does not change. */
NAVCONFIG_API long Config_RegistryEnumKey(long root, const char* subKey, uint32_t index, char* name, int nameSize);
NAVCONFIG_API long Config_RegistryEnumValue(long root, const char* subKey, uint32_t index, char* name, int nameSize,
                                            uint32_t* type);

NAVCONFIG_END_C

#ifdef __cplusplus

#include <doroutil/orostring.h>

extern "C" {

/* Reads a string value of up to 255 UTF-16 units into result. When the key exists, result receives what the
 * query left in a zeroed buffer of 256 units whatever the code: the text, the first 255 units of a longer
 * text (234), the raw bytes of a value of another type, or the empty text (a missing value, 2). When the key
 * cannot be opened, result is left as it was. */
NAVCONFIG_API long Config_RegistryGetStrValue(long root, const char* subKey, const char* valueName, OROwstring& result);

}  // extern "C"

// Registry-style access to the configuration's key trees. The object names a base key path of the trees
// ("user\Navigation", the layer first); every operation names a section below it by a sub-key, so that
// GetIntValue("Route", "Count") reads the value Count of the section user\Navigation\Route. Paths are cut at
// 255 bytes. Reads look at the trees alone, never at the built-in defaults; a layer's file is read the first
// time the layer is touched. A missing path or value, a value of the other type and a missing configuration
// manager give 0, null, the empty text or false; nothing is reported.
//
// Reads and EnumStart hold the configuration's lock while they search; the setters go through the
// configuration's setters, which lock for themselves. EnumNext follows the sections that EnumStart found
// without the lock: the branch must not be deleted, flushed or released between the two. One object is used
// by one thread at a time; it owns nothing and may be copied freely.
class NAVCONFIG_API TRegUtil {
 public:
  // name: the base key path (at most 255 bytes are kept). flag: kept in the object; no operation reads it.
  // readOnly: the setters refuse to write.
  TRegUtil(const char* name, bool flag, bool readOnly);

  // The integer value valueName of the section; 0 when it is missing or not an integer.
  int GetIntValue(const char* subKey, const char* valueName) const;
  // Copies the string value valueName of the section into buffer (at most size-1 bytes, terminated) and
  // returns buffer; null, with an empty buffer, when the value is missing, not a string or empty. Nothing is
  // written for a null buffer or a size of 0 or less.
  char* GetStrValue(const char* subKey, const char* valueName, char* buffer, int size) const;
  // Store a value in the section (created when missing) and save its layer's file, as Config_SetIntVal and
  // Config_SetStrVal do with the full path. False, writing nothing, when the object is read-only; true
  // otherwise.
  bool SetIntValue(const char* subKey, const char* valueName, long value);
  bool SetStrValue(const char* subKey, const char* valueName, const char* text);

  // Starts an enumeration of the sections directly below the section; true when it has any.
  bool EnumStart(const char* subKey);
  // Copies the next section's name into buffer (when size > 0: at most size-1 bytes, terminated) and moves
  // on; true. At the end, the empty text (when size > 0) and false.
  bool EnumNext(char* buffer, int size);

 private:
  // name, a backslash and subKey into out, each cut so that the text and its terminator fit in size bytes.
  void BuildKeyName(const char* subKey, char* out, size_t size) const;

  char m_name[256];
  bool m_bReadOnly;
  bool m_bFlag;
  KeyRoot* m_pCursor;
};

#endif /* __cplusplus */

#endif
