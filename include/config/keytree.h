/* KeyRoot and KeyValue: the sections and values of the configuration's key trees.
 *
 * All settings held in memory live in one forest of sections. A section (KeyRoot) has a name, a list of
 * typed values (KeyValue) and a list of subsections; both lists are singly linked and kept in ascending
 * order of their names compared without regard to ASCII case, and no two entries of a list have equal
 * names. The top-level sections are the layers ("user", "user_ro", "product", map layers).
 *
 * The records are laid out as shown, so that C callers can walk what Config_FindRoot, Config_SetBranch and
 * Config_SetBeginEnumKeyValue hand out. Such handles are used without the configuration's lock and stay
 * valid only until their branch is deleted or flushed, the trees are released or the manager is replaced;
 * while one is read, no other thread may change the configuration (a write frees the string it replaces).
 *
 * A section path names a section by its names joined with backslashes, the layer first ("user\Image");
 * leading, trailing and doubled backslashes are ignored and at most 255 bytes of a path are used. */
#ifndef NAVCONFIG_CONFIG_KEYTREE_H
#define NAVCONFIG_CONFIG_KEYTREE_H

#include <config/export.h>

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdbool.h>
#include <stdint.h>
#endif

/* The low four bits of KeyValue::type. */
#define KEYVALUE_TYPE_STRING 1u
#define KEYVALUE_TYPE_INTEGER 2u
/* Set for an integer that was read in hexadecimal and is written back in hexadecimal. */
#define KEYVALUE_FLAG_HEX 0x10u

typedef struct KeyValue KeyValue;
typedef struct KeyRoot KeyRoot;

/* One typed value of a section. A value of one type keeps the other type's field as it was: readers decide
 * by type alone. */
struct KeyValue {
  KeyValue* next;     /* next value of the same section, or null */
  uint32_t type;      /* KEYVALUE_TYPE_* in the low four bits, KEYVALUE_FLAG_HEX */
  int32_t intValue;   /* meaningful when (type & 15) == KEYVALUE_TYPE_INTEGER */
  char* strValue;     /* meaningful when (type & 15) == KEYVALUE_TYPE_STRING and not null */
  char* name;         /* the key */
  bool allocated;     /* record and name come from the heap and are freed one by one */
  bool strAllocated;  /* strValue comes from the heap and is freed with the value */

#ifdef __cplusplus
  /* A heap record with a copy of the name; both ownership flags set, every other field zero. */
  NAVCONFIG_API explicit KeyValue(const char* name);
#endif
};

/* One section. */
struct KeyRoot {
  bool allocated;     /* record and name come from the heap; false when carved from a file's block or when
                         the caller holds the record itself */
  char* name;         /* never holds a backslash */
  KeyValue* values;   /* first value, or null */
  KeyRoot* next;      /* next sibling, or null */
  KeyRoot* children;  /* first subsection, or null */

#ifdef __cplusplus
  /* allocated true, name a heap copy (null when it cannot be allocated), every other field null. */
  NAVCONFIG_API explicit KeyRoot(const char* name);
  /* Frees the name when allocated; releases neither values nor subsections. */
  NAVCONFIG_API ~KeyRoot();
  KeyRoot(const KeyRoot&) = delete;
  /* Copies the five fields as they stand: lists and name are shared, not copied. */
  NAVCONFIG_API KeyRoot& operator=(const KeyRoot& other);
  /* Sets every field to zero, false or null. */
  NAVCONFIG_API void Initialize();
  /* The section that the path names, searched from this record as the first entry of a sibling list;
   * null when any component is missing or the path names nothing. */
  NAVCONFIG_API KeyRoot* FindRoot(const char* path) const;
  /* The value of that name in this section, or null. */
  NAVCONFIG_API const KeyValue* GetValue(const char* name) const;
  /* Stores a value in this section and tells whether anything changed. An absent value is not added when
   * isDefault is true; a present one is updated all the same. A string whose first byte is a line feed is
   * stored empty. type: KEYVALUE_TYPE_* with KEYVALUE_FLAG_HEX. */
  NAVCONFIG_API bool AddValue(const char* name, long type, long intValue, const char* strValue, bool isDefault);
#endif
};

#endif
