// The registry functions, over the platform's registry calls, and TRegUtil over the configuration's key
// trees.
#include <config/config_api.h>
#include <config/registry.h>
#include <doroutil/strutil.h>
#include <platform/registry.h>

#include <algorithm>
#include <cstring>

#include "api/globals.h"
#include "store/configmgr.h"

namespace reg = platform::reg;
using namespace navconfig;

namespace {

reg::HKEY RootKey(long root) {
  switch (root) {
    case 0: return reg::HKEY_CLASSES_ROOT;
    case 1: return reg::HKEY_LOCAL_MACHINE;
    default: return reg::HKEY_CURRENT_USER;
  }
}

// Opens subKey below the root with the given access; the handle in *key on success.
long OpenKey(long root, const char* subKey, uint32_t access, reg::HKEY* key) {
  const OROwstring path(subKey);
  return reg::RegOpenKeyExW(RootKey(root), path.wc_str(), 0, access, key);
}

// The first failure of a call sequence, or success.
long FirstFailure(long first, long then) { return first != reg::ERROR_SUCCESS ? first : then; }

}  // namespace

long Config_RegistryGetIntValue(long root, const char* subKey, const char* valueName, uint32_t* data) try {
  reg::HKEY key = nullptr;
  long rc = OpenKey(root, subKey, reg::KEY_QUERY_VALUE, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  // Four bytes whatever the type, which is neither asked for nor checked. They go through a buffer of our own:
  // after ERROR_MORE_DATA the system leaves the buffer undefined, and the caller's bytes stay as they were.
  const OROwstring name(valueName);
  uint8_t bytes[sizeof(uint32_t)] = {};
  uint32_t size = sizeof bytes;
  rc = reg::RegQueryValueExW(key, name.wc_str(), nullptr, nullptr, data ? bytes : nullptr, &size);
  if (rc == reg::ERROR_SUCCESS && data) std::memcpy(data, bytes, std::min<size_t>(size, sizeof bytes));
  return FirstFailure(rc, reg::RegCloseKey(key));
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistrySetIntValue(long root, const char* subKey, const char* valueName, uint32_t value) try {
  reg::HKEY key = nullptr;
  // Opened, not created: a value is only ever written into a key that exists.
  long rc = OpenKey(root, subKey, reg::KEY_SET_VALUE, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  const OROwstring name(valueName);
  rc = reg::RegSetValueExW(key, name.wc_str(), 0, reg::REG_DWORD, reinterpret_cast<const uint8_t*>(&value),
                           sizeof value);
  return FirstFailure(rc, reg::RegCloseKey(key));
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistryCreateKey(long root, const char* subKey) try {
  const OROwstring path(subKey);
  reg::HKEY key = nullptr;
  long rc = reg::RegCreateKeyExW(RootKey(root), path.wc_str(), 0, nullptr, reg::REG_OPTION_NON_VOLATILE,
                                 reg::KEY_WRITE, nullptr, &key, nullptr);
  if (rc != reg::ERROR_SUCCESS) return rc;
  return reg::RegCloseKey(key);
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistryDeleteKey(long root, const char* subKey) try {
  const OROwstring path(subKey);
  return reg::RegDeleteKeyW(RootKey(root), path.wc_str());
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistryQueryValue(long root, const char* subKey, const char* valueName, uint32_t* type, void* data,
                               uint32_t* size) {
  reg::HKEY key = nullptr;
  long rc = OpenKey(root, subKey, reg::KEY_QUERY_VALUE, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  const OROwstring name(valueName);
  uint32_t room = size ? *size : 0;
  rc = reg::RegQueryValueExW(key, name.wc_str(), nullptr, type, size ? static_cast<uint8_t*>(data) : nullptr, &room);
  if (size) *size = room;
  return FirstFailure(rc, reg::RegCloseKey(key));
}

long Config_RegistrySetStrValue(long root, const char* subKey, const char* valueName, const char* text) try {
  reg::HKEY key = nullptr;
  long rc = OpenKey(root, subKey, reg::KEY_SET_VALUE, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  const OROwstring name(valueName), value(text ? text : "");
  rc = reg::RegSetValueExW(key, name.wc_str(), 0, reg::REG_SZ, reinterpret_cast<const uint8_t*>(value.wc_str()),
                           static_cast<uint32_t>((value.str().size() + 1) * sizeof(char16_t)));
  return FirstFailure(rc, reg::RegCloseKey(key));
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistryDeleteValue(long root, const char* subKey, const char* valueName) try {
  reg::HKEY key = nullptr;
  long rc = OpenKey(root, subKey, reg::KEY_SET_VALUE, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  const OROwstring name(valueName);
  rc = reg::RegDeleteValueW(key, name.wc_str());
  return FirstFailure(rc, reg::RegCloseKey(key));
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

namespace {

// The index-th sub-key or (value) value of a key, its name as UTF-8.
long EnumName(long root, const char* subKey, uint32_t index, char* name, int nameSize, bool value, uint32_t* type) {
  if (name && nameSize > 0) name[0] = '\0';
  reg::HKEY key = nullptr;
  long rc = OpenKey(root, subKey, value ? reg::KEY_QUERY_VALUE : reg::KEY_ENUMERATE_SUB_KEYS, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  // Room for the longest value name that the system allows (16383 units) and its terminator.
  std::u16string buffer(16384, u'\0');
  uint32_t length = static_cast<uint32_t>(buffer.size());
  rc = value ? reg::RegEnumValueW(key, index, buffer.data(), &length, type)
             : reg::RegEnumKeyExW(key, index, buffer.data(), &length);
  if (rc == reg::ERROR_SUCCESS && name && nameSize > 0) {
    buffer.resize(length);
    CopyTruncated(name, nameSize, OROwstring(buffer).uString().c_str());
  }
  return FirstFailure(rc, reg::RegCloseKey(key));
}

}  // namespace

long Config_RegistryEnumKey(long root, const char* subKey, uint32_t index, char* name, int nameSize) try {
  return EnumName(root, subKey, index, name, nameSize, false, nullptr);
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistryEnumValue(long root, const char* subKey, uint32_t index, char* name, int nameSize, uint32_t* type) try {
  return EnumName(root, subKey, index, name, nameSize, true, type);
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

long Config_RegistryGetStrValue(long root, const char* subKey, const char* valueName, OROwstring& result) try {
  reg::HKEY key = nullptr;
  long rc = OpenKey(root, subKey, reg::KEY_QUERY_VALUE, &key);
  if (rc != reg::ERROR_SUCCESS) return rc;
  // One unit more than the query may fill, so that the text always ends inside the buffer.
  char16_t buffer[256] = {};
  uint32_t size = 255 * sizeof(char16_t);
  const OROwstring name(valueName);
  rc = reg::RegQueryValueExW(key, name.wc_str(), nullptr, nullptr, reinterpret_cast<uint8_t*>(buffer), &size);
  result = OROwstring(buffer);
  reg::RegCloseKey(key);
  return rc;
} catch (...) {
  return reg::ERROR_OUTOFMEMORY;
}

// ---- TRegUtil ----

namespace {

CConfigMgr* Manager() { return Globals().m_pConfigMgr; }

}  // namespace

TRegUtil::TRegUtil(const char* name, bool flag, bool readOnly)
    : m_bReadOnly(readOnly), m_bFlag(flag), m_pCursor(nullptr) {
  CopyTruncated(m_name, sizeof m_name, name ? name : "");
}

void TRegUtil::BuildKeyName(const char* subKey, char* out, size_t size) const {
  if (!out || size == 0) return;
  size_t used = 0;
  auto append = [&](const char* text, size_t length) {
    const size_t n = std::min(length, size - 1 - used);
    std::memcpy(out + used, text, n);
    used += n;
  };
  append(m_name, std::strlen(m_name));
  append("\\", 1);
  if (subKey) append(subKey, std::strlen(subKey));
  out[used] = '\0';
}

int TRegUtil::GetIntValue(const char* subKey, const char* valueName) const try {
  CConfigMgr* mgr = Manager();
  if (!mgr || !valueName) return 0;
  char path[256];
  BuildKeyName(subKey, path, sizeof path);
  ConfigLock lock(mgr);
  const KeyRoot* section = mgr->FindSectionInLists(path);
  const KeyValue* v = section ? section->GetValue(valueName) : nullptr;
  return (v && (v->type & 15) == KEYVALUE_TYPE_INTEGER) ? v->intValue : 0;
} catch (...) {
  return 0;
}

char* TRegUtil::GetStrValue(const char* subKey, const char* valueName, char* buffer, int size) const try {
  if (!buffer || size <= 0) return nullptr;
  buffer[0] = '\0';
  CConfigMgr* mgr = Manager();
  if (!mgr || !valueName) return nullptr;
  char path[256];
  BuildKeyName(subKey, path, sizeof path);
  ConfigLock lock(mgr);
  const KeyRoot* section = mgr->FindSectionInLists(path);
  const KeyValue* v = section ? section->GetValue(valueName) : nullptr;
  if (v && (v->type & 15) == KEYVALUE_TYPE_STRING && v->strValue) CopyTruncated(buffer, size, v->strValue);
  return buffer[0] != '\0' ? buffer : nullptr;
} catch (...) {
  return nullptr;
}

bool TRegUtil::SetIntValue(const char* subKey, const char* valueName, long value) try {
  if (m_bReadOnly) return false;
  CConfigMgr* mgr = Manager();
  if (!mgr || !valueName) return true;
  char path[256];
  BuildKeyName(subKey, path, sizeof path);
  ConfigWrite write(mgr);
  write.Note(mgr->StoreValue(path, valueName, KEYVALUE_TYPE_INTEGER, value, "", write.Pending()));
  ReportedInLastSave(write.Finish());
  return true;
} catch (...) {
  FailedWrite(m_name);
  return false;
}

bool TRegUtil::SetStrValue(const char* subKey, const char* valueName, const char* text) try {
  if (m_bReadOnly) return false;
  char path[256];
  BuildKeyName(subKey, path, sizeof path);
  Config_SetStrVal(path, valueName, text);
  return true;
} catch (...) {
  return false;
}

bool TRegUtil::EnumStart(const char* subKey) try {
  m_pCursor = nullptr;
  CConfigMgr* mgr = Manager();
  if (!mgr) return false;
  char path[256];
  BuildKeyName(subKey, path, sizeof path);
  ConfigLock lock(mgr);
  const KeyRoot* node = mgr->FindSectionInLists(path);
  m_pCursor = node ? node->children : nullptr;
  return m_pCursor != nullptr;
} catch (...) {
  return false;
}

bool TRegUtil::EnumNext(char* buffer, int size) try {
  if (!Manager()) return false;
  if (!m_pCursor) {
    if (buffer && size > 0) buffer[0] = '\0';
    return false;
  }
  if (buffer && size > 0) CopyTruncated(buffer, size, m_pCursor->name ? m_pCursor->name : "");
  m_pCursor = m_pCursor->next;
  return true;
} catch (...) {
  return false;
}
