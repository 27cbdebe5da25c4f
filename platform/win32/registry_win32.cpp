// The registry calls on Windows: the system's own registry (advapi32), behind the platform's declarations.
//
// <windows.h> names the same constants as macros (ERROR_SUCCESS, HKEY_CURRENT_USER, REG_SZ, ...). The
// system's values are taken first, the macros are dropped, and the platform's header follows; the two sets
// of values are checked against each other below.
#include <windows.h>

namespace {

const ::HKEY kSystemRoots[3] = {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

struct SystemValue {
  const char* name;
  long long value;
};
constexpr SystemValue kSystemValues[] = {
    {"ERROR_SUCCESS", ERROR_SUCCESS},
    {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND},
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED},
    {"ERROR_INVALID_HANDLE", ERROR_INVALID_HANDLE},
    {"ERROR_OUTOFMEMORY", ERROR_OUTOFMEMORY},
    {"ERROR_INVALID_PARAMETER", ERROR_INVALID_PARAMETER},
    {"ERROR_MORE_DATA", ERROR_MORE_DATA},
    {"ERROR_NO_MORE_ITEMS", ERROR_NO_MORE_ITEMS},
    {"ERROR_REGISTRY_IO_FAILED", ERROR_REGISTRY_IO_FAILED},
    {"ERROR_KEY_DELETED", ERROR_KEY_DELETED},
    {"REG_NONE", REG_NONE},
    {"REG_SZ", REG_SZ},
    {"REG_BINARY", REG_BINARY},
    {"REG_DWORD", REG_DWORD},
    {"KEY_QUERY_VALUE", KEY_QUERY_VALUE},
    {"KEY_SET_VALUE", KEY_SET_VALUE},
    {"KEY_CREATE_SUB_KEY", KEY_CREATE_SUB_KEY},
    {"KEY_ENUMERATE_SUB_KEYS", KEY_ENUMERATE_SUB_KEYS},
    {"KEY_READ", KEY_READ},
    {"KEY_WRITE", KEY_WRITE},
    {"KEY_ALL_ACCESS", KEY_ALL_ACCESS},
    {"REG_OPTION_NON_VOLATILE", REG_OPTION_NON_VOLATILE},
    {"REG_CREATED_NEW_KEY", REG_CREATED_NEW_KEY},
    {"REG_OPENED_EXISTING_KEY", REG_OPENED_EXISTING_KEY},
};

constexpr long long SystemValueOf(const char* name) {
  for (const SystemValue& v : kSystemValues) {
    const char* a = v.name;
    const char* b = name;
    while (*a && *a == *b) ++a, ++b;
    if (*a == *b) return v.value;
  }
  return -1;
}

}  // namespace

#undef HKEY_CLASSES_ROOT
#undef HKEY_LOCAL_MACHINE
#undef HKEY_CURRENT_USER
#undef ERROR_SUCCESS
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_ACCESS_DENIED
#undef ERROR_INVALID_HANDLE
#undef ERROR_OUTOFMEMORY
#undef ERROR_INVALID_PARAMETER
#undef ERROR_MORE_DATA
#undef ERROR_NO_MORE_ITEMS
#undef ERROR_REGISTRY_IO_FAILED
#undef ERROR_KEY_DELETED
#undef REG_NONE
#undef REG_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef KEY_QUERY_VALUE
#undef KEY_SET_VALUE
#undef KEY_CREATE_SUB_KEY
#undef KEY_ENUMERATE_SUB_KEYS
#undef KEY_READ
#undef KEY_WRITE
#undef KEY_ALL_ACCESS
#undef REG_OPTION_NON_VOLATILE
#undef REG_CREATED_NEW_KEY
#undef REG_OPENED_EXISTING_KEY

#include <platform/registry.h>

namespace platform::reg {

#define NAVCONFIG_SAME_AS_SYSTEM(name) \
  static_assert(static_cast<long long>(name) == SystemValueOf(#name), #name " differs from the system's value")
NAVCONFIG_SAME_AS_SYSTEM(ERROR_SUCCESS);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_FILE_NOT_FOUND);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_ACCESS_DENIED);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_INVALID_HANDLE);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_OUTOFMEMORY);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_INVALID_PARAMETER);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_MORE_DATA);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_NO_MORE_ITEMS);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_REGISTRY_IO_FAILED);
NAVCONFIG_SAME_AS_SYSTEM(ERROR_KEY_DELETED);
NAVCONFIG_SAME_AS_SYSTEM(REG_NONE);
NAVCONFIG_SAME_AS_SYSTEM(REG_SZ);
NAVCONFIG_SAME_AS_SYSTEM(REG_BINARY);
NAVCONFIG_SAME_AS_SYSTEM(REG_DWORD);
NAVCONFIG_SAME_AS_SYSTEM(KEY_QUERY_VALUE);
NAVCONFIG_SAME_AS_SYSTEM(KEY_SET_VALUE);
NAVCONFIG_SAME_AS_SYSTEM(KEY_CREATE_SUB_KEY);
NAVCONFIG_SAME_AS_SYSTEM(KEY_ENUMERATE_SUB_KEYS);
NAVCONFIG_SAME_AS_SYSTEM(KEY_READ);
NAVCONFIG_SAME_AS_SYSTEM(KEY_WRITE);
NAVCONFIG_SAME_AS_SYSTEM(KEY_ALL_ACCESS);
NAVCONFIG_SAME_AS_SYSTEM(REG_OPTION_NON_VOLATILE);
NAVCONFIG_SAME_AS_SYSTEM(REG_CREATED_NEW_KEY);
NAVCONFIG_SAME_AS_SYSTEM(REG_OPENED_EXISTING_KEY);
#undef NAVCONFIG_SAME_AS_SYSTEM

// A handle of the platform is the system's handle under another type; RegKey is never defined.
const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(kSystemRoots[0]);
const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(kSystemRoots[1]);
const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(kSystemRoots[2]);

namespace {

::HKEY System(HKEY key) { return reinterpret_cast<::HKEY>(key); }
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

long RegOpenKeyExW(HKEY root, const char16_t* subKey, uint32_t options, uint32_t access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  ::HKEY opened = nullptr;
  LONG rc = ::RegOpenKeyExW(System(root), Wide(subKey), options, access, &opened);
  if (rc == ERROR_SUCCESS) *result = reinterpret_cast<HKEY>(opened);
  return rc;
}

long RegQueryValueExW(HKEY key, const char16_t* valueName, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* dataSize) {
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  DWORD systemType = 0;
  DWORD size = dataSize ? *dataSize : 0;
  LONG rc = ::RegQueryValueExW(System(key), Wide(valueName), nullptr, type ? &systemType : nullptr, data,
                               dataSize ? &size : nullptr);
  if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    if (type) *type = systemType;
    if (dataSize) *dataSize = size;
  }
  return rc;
}

long RegSetValueExW(HKEY key, const char16_t* valueName, uint32_t reserved, uint32_t type, const uint8_t* data,
                    uint32_t dataSize) {
  // The system takes these, but they can only be mistakes; refused here as everywhere else.
  if ((type == REG_DWORD && dataSize != 4) || (!data && dataSize != 0)) return ERROR_INVALID_PARAMETER;
  return ::RegSetValueExW(System(key), Wide(valueName), reserved, type, data, dataSize);
}

long RegCreateKeyExW(HKEY root, const char16_t* subKey, uint32_t reserved, char16_t* cls, uint32_t options,
                     uint32_t access, void* security, HKEY* result, uint32_t* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  ::HKEY created = nullptr;
  DWORD how = 0;
  LONG rc = ::RegCreateKeyExW(System(root), Wide(subKey), reserved, reinterpret_cast<wchar_t*>(cls), options, access,
                              static_cast<LPSECURITY_ATTRIBUTES>(security), &created, &how);
  if (rc == ERROR_SUCCESS) {
    *result = reinterpret_cast<HKEY>(created);
    if (disposition) *disposition = how;
  }
  return rc;
}

long RegDeleteKeyW(HKEY root, const char16_t* subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  return ::RegDeleteKeyW(System(root), Wide(subKey));
}

long RegEnumKeyExW(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  DWORD size = *nameSize;
  LONG rc = ::RegEnumKeyExW(System(key), index, reinterpret_cast<wchar_t*>(name), &size, nullptr, nullptr, nullptr,
                            nullptr);
  if (rc == ERROR_SUCCESS) *nameSize = size;
  return rc;
}

long RegEnumValueW(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize, uint32_t* type) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  DWORD size = *nameSize, systemType = 0;
  LONG rc = ::RegEnumValueW(System(key), index, reinterpret_cast<wchar_t*>(name), &size, nullptr, &systemType,
                            nullptr, nullptr);
  if (rc == ERROR_SUCCESS) {
    *nameSize = size;
    if (type) *type = systemType;
  }
  return rc;
}

long RegDeleteValueW(HKEY key, const char16_t* valueName) { return ::RegDeleteValueW(System(key), Wide(valueName)); }

long RegCloseKey(HKEY key) { return ::RegCloseKey(System(key)); }

void SetStoreLockTimeout(std::chrono::milliseconds) {}

}  // namespace platform::reg
