// The commands registry and account: the registry through the library's registry functions (the system's
// registry on Windows, the library's own store elsewhere), and the signed-on user of the sign-on settings.
#include <config/account.h>
#include <config/config_api.h>
#include <config/config_info.h>
#include <config/registry.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <iostream>
#include <vector>

#include "json.h"
#include "tool.h"

namespace navtool {

namespace {

constexpr long kNotFound = 2, kAccessDenied = 5, kMoreData = 234, kNoMoreItems = 259;
constexpr uint32_t kString = 1, kDword = 4;

// A key named as ROOT\KEY: the root's selector and short name, and the path below it.
struct RegistryKey {
  long root = 2;
  std::string rootName, path;
  std::string Shown() const { return path.empty() ? rootName : rootName + '\\' + path; }
};

RegistryKey ParseKey(const std::string& text) {
  static const struct {
    const char* shortName;
    const char* longName;
    long selector;
  } kRoots[] = {{"HKCR", "HKEY_CLASSES_ROOT", 0}, {"HKLM", "HKEY_LOCAL_MACHINE", 1}, {"HKCU", "HKEY_CURRENT_USER", 2}};
  const size_t slash = text.find('\\');
  const std::string root = text.substr(0, slash);
  RegistryKey key;
  for (const auto& r : kRoots) {
    if (!EqualFolded(root, r.shortName) && !EqualFolded(root, r.longName)) continue;
    key.root = r.selector;
    key.rootName = r.shortName;
    key.path = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    while (!key.path.empty() && key.path.back() == '\\') key.path.pop_back();
    return key;
  }
  const std::string nearest = NearestOf(root, {"HKCU", "HKLM", "HKCR", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                               "HKEY_CLASSES_ROOT"});
  Fail(kExitUsage, "'" + text + "' does not begin with a registry root (HKCU, HKLM or HKCR" +
                       (nearest.empty() ? ")" : "; did you mean " + nearest + "?)"));
}

std::string CodeText(long code) {
  switch (code) {
    case kNotFound: return "error 2, not found";
    case kAccessDenied: return "error 5, access denied";
    case kMoreData: return "error 234, more data than fits";
    case 1016: return "error 1016, the registry could not be written";
    default: return "error " + std::to_string(code);
  }
}

bool KeyExists(const RegistryKey& key) {
  char name[8];
  return Config_RegistryEnumKey(key.root, key.path.c_str(), 0, name, sizeof name) != kNotFound;
}

void RequireKey(const RegistryKey& key) {
  if (!KeyExists(key)) Fail(kExitFailure, key.Shown() + " does not exist");
}

std::string ValueName(const std::string& name) { return name.empty() ? "(default)" : name; }

std::string TypeName(uint32_t type) {
  static const char* const kNames[] = {"REG_NONE",
                                       "REG_SZ",
                                       "REG_EXPAND_SZ",
                                       "REG_BINARY",
                                       "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",
                                       "REG_MULTI_SZ",
                                       "REG_RESOURCE_LIST",
                                       "REG_FULL_RESOURCE_DESCRIPTOR",
                                       "REG_RESOURCE_REQUIREMENTS_LIST",
                                       "REG_QWORD"};
  return type < std::size(kNames) ? kNames[type] : "type " + std::to_string(type);
}

// A value as the registry keeps it.
struct RegistryValue {
  uint32_t type = 0;
  std::vector<unsigned char> bytes;
  bool IsNumber() const { return type == kDword && bytes.size() == 4; }
  uint32_t Number() const {
    uint32_t n = 0;
    std::memcpy(&n, bytes.data(), sizeof n);
    return n;
  }
  std::string Text() const {
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    while (!units.empty() && units.back() == u'\0') units.pop_back();
    return OROwstring(units).uString().str();
  }
  std::string Hex() const {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) (out += kDigits[b >> 4]) += kDigits[b & 15];
    return out;
  }
  std::string Shown() const { return IsNumber() ? std::to_string(Number()) : type == kString ? Text() : Hex(); }
};

long Query(const RegistryKey& key, const std::string& name, RegistryValue& value) {
  uint32_t size = 0;
  long rc = Config_RegistryQueryValue(key.root, key.path.c_str(), name.c_str(), &value.type, nullptr, &size);
  // The value may grow between the two calls.
  for (int tries = 0; rc == 0 && tries < 4; ++tries) {
    value.bytes.resize(size);
    rc = Config_RegistryQueryValue(key.root, key.path.c_str(), name.c_str(), &value.type, value.bytes.data(), &size);
    if (rc == kMoreData) rc = 0;
    else break;
  }
  value.bytes.resize(size);
  return rc;
}

RegistryValue Read(const RegistryKey& key, const std::string& name) {
  RegistryValue value;
  const long rc = Query(key, name, value);
  if (rc == kNotFound) {
    RequireKey(key);
    Fail(kExitFailure, key.Shown() + " has no value " + ValueName(name));
  }
  if (rc != 0) Fail(kExitFailure, "cannot read " + key.Shown() + " " + ValueName(name) + ": " + CodeText(rc));
  return value;
}

void WriteValue(JsonWriter& json, const std::string& name, const RegistryValue& value) {
  json.Field("name", name).Field("type", TypeName(value.type)).Key("value");
  if (value.IsNumber()) json.Int(value.Number());
  else json.String(value.Shown());
}

void Check(long rc, const std::string& what) {
  if (rc != 0) Fail(kExitFailure, "cannot " + what + ": " + CodeText(rc));
}

int RegistryGet(const Options& options, const RegistryKey& key, const std::string& name) {
  const RegistryValue value = Read(key, name);
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Field("key", key.Shown());
    WriteValue(json, name, value);
    json.EndObject();
  } else {
    std::cout << value.Shown() << '\n';
  }
  return kExitOk;
}

int RegistrySet(const Options& options, const RegistryKey& key, const std::string& name, const std::string& text,
                ForcedType forced) {
  if (key.path.empty()) Fail(kExitUsage, "name a key below the root " + key.rootName);
  RegistryValue old;
  const bool existed = Query(key, name, old) == 0;
  // set writes a REG_SZ or a REG_DWORD only: a value of another type is neither turned into one nor replaced.
  if (existed && old.type != kString && old.type != kDword) {
    Fail(kExitUsage, key.Shown() + " " + ValueName(name) + " holds a value of type " + TypeName(old.type) +
                         ", which set does not write; delete it first");
  }
  Number number;
  const bool isNumber = ParseNumber(text, forced == ForcedType::Hex, &number) == NumberParse::Ok;
  bool asNumber = forced == ForcedType::Int || forced == ForcedType::Hex ||
                  (forced == ForcedType::None && (existed ? old.type == kDword : isNumber));
  if (asNumber && !isNumber) {
    Fail(kExitUsage, key.Shown() + " " + ValueName(name) + (existed ? " is a REG_DWORD; '" : ": '") + text +
                         "' is not a number from -2147483648 to 4294967295 (add --string to store text)");
  }
  const bool created = !KeyExists(key);
  Check(Config_RegistryCreateKey(key.root, key.path.c_str()), "create " + key.Shown());
  const long rc = asNumber ? Config_RegistrySetIntValue(key.root, key.path.c_str(), name.c_str(),
                                                        static_cast<uint32_t>(number.value))
                           : Config_RegistrySetStrValue(key.root, key.path.c_str(), name.c_str(), text.c_str());
  Check(rc, "write " + key.Shown() + " " + ValueName(name));
  const RegistryValue now = Read(key, name);
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Field("key", key.Shown());
    WriteValue(json, name, now);
    json.Field("createdKey", created).EndObject();
  } else {
    std::cout << key.Shown() << ": " << ValueName(name) << " = " << now.Shown() << "  (" << TypeName(now.type)
              << (created ? ", key created" : "") << ")\n";
  }
  return kExitOk;
}

int RegistryList(const Options& options, const RegistryKey& key) {
  RequireKey(key);
  std::vector<std::string> keys;
  std::vector<std::pair<std::string, RegistryValue>> values;
  std::vector<char> name(16384 * 3 + 1);
  const int size = static_cast<int>(name.size());
  long rc = 0;
  for (uint32_t i = 0; (rc = Config_RegistryEnumKey(key.root, key.path.c_str(), i, name.data(), size)) == 0; ++i)
    keys.emplace_back(name.data());
  // A sub-key that cannot be listed (a name longer than the system allows) is no end of the list.
  if (rc != kNoMoreItems) Check(rc, "list " + key.Shown());
  for (uint32_t i = 0; (rc = Config_RegistryEnumValue(key.root, key.path.c_str(), i, name.data(), size, nullptr)) == 0;
       ++i) {
    values.emplace_back(name.data(), Read(key, name.data()));
  }
  if (rc != kNoMoreItems) Check(rc, "list " + key.Shown());
  // In name order on every system (Windows gives values in the order they were made).
  std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return Folded(a) < Folded(b); });
  std::sort(values.begin(), values.end(),
            [](const auto& a, const auto& b) { return Folded(a.first) < Folded(b.first); });
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Field("key", key.Shown()).Key("keys").BeginArray();
    for (const std::string& k : keys) json.String(k);
    json.EndArray().Key("values").BeginArray();
    for (const auto& [n, v] : values) {
      json.BeginObject();
      WriteValue(json, n, v);
      json.EndObject();
    }
    json.EndArray().EndObject();
    return kExitOk;
  }
  for (const std::string& k : keys) std::cout << k << "\\\n";
  for (const auto& [n, v] : values)
    std::cout << ValueName(n) << " = " << v.Shown() << "  (" << TypeName(v.type) << ")\n";
  return kExitOk;
}

int RegistryDelete(const Options& options, const RegistryKey& key, const std::vector<std::string>& rest) {
  const bool value = !rest.empty();
  if (!value && key.path.empty()) Fail(kExitUsage, "the root " + key.rootName + " itself cannot be deleted");
  const long rc = value ? Config_RegistryDeleteValue(key.root, key.path.c_str(), rest[0].c_str())
                        : Config_RegistryDeleteKey(key.root, key.path.c_str());
  if (rc == kNotFound) {
    RequireKey(key);
    Fail(kExitFailure, key.Shown() + " has no value " + ValueName(rest[0]));
  }
  if (rc == kAccessDenied && !value) Fail(kExitFailure, key.Shown() + " has sub-keys; delete them first");
  Check(rc, "delete " + (value ? key.Shown() + " " + ValueName(rest[0]) : key.Shown()));
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Field("key", key.Shown()).Key("name");
    if (value) json.String(rest[0]);
    else json.Null();
    json.Field("deleted", true).EndObject();
  } else {
    std::cout << "deleted " << (value ? "the value " + ValueName(rest[0]) + " of " : std::string()) << key.Shown()
              << '\n';
  }
  return kExitOk;
}

}  // namespace

int CmdRegistry(const Options& options, const std::string& action, const std::string& keyText,
                const std::vector<std::string>& rest, ForcedType forced) {
  const RegistryKey key = ParseKey(keyText);
  const size_t needed = action == "get" ? 1 : action == "set" ? 2 : 0;
  const size_t allowed = action == "delete" ? 1 : needed;
  if (rest.size() < needed) Fail(kExitUsage, std::string(needed == 1 ? "NAME is" : "NAME and VALUE are") +
                                                 " required for registry " + action);
  if (rest.size() > allowed) {
    const char* takes = allowed == 0 ? "no NAME" : allowed == 1 ? "one NAME" : "NAME VALUE";
    Fail(kExitUsage, "registry " + action + " takes " + takes + "; '" + rest[allowed] + "' is one too many");
  }
  if (forced != ForcedType::None && action != "set")
    Fail(kExitUsage, "--string, --int and --hex belong to registry set");
  if (action == "get") return RegistryGet(options, key, rest[0]);
  if (action == "set") return RegistrySet(options, key, rest[0], rest[1], forced);
  if (action == "list") return RegistryList(options, key);
  return RegistryDelete(options, key, rest);
}

int CmdAccount(const Options& options, bool clear) {
  auto setting = [](const char* key) {
    std::vector<char> buffer(4096);
    Config_GetStrVal("ClientInfo", key, buffer.data(), static_cast<int>(buffer.size()), nullptr);
    return std::string(buffer.data());
  };
  if (clear) {
    Config_SetSingleSignon(OROustring(), OROustring(), true);
    bool ok = true;
    char file[4096], reason[1024];
    if (Config_GetLastSaveStatus("user", &ok, file, sizeof file, reason, sizeof reason) && !ok)
      Fail(kExitFailure, std::string("could not save ") + file + ": " + reason);
  }
  // The name only: the password is never shown, only whether its protected form is stored and opens.
  const std::string name = setting("LoginName");
  const bool password = !setting("LoginPassword").empty();
  char plain[1024];
  const bool opens = password && Config_GetSingleSignon(nullptr, 0, plain, sizeof plain);
  for (volatile char& c : plain) c = 0;  // the tool keeps no copy of the password
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Key("name");
    if (name.empty()) json.Null();
    else json.String(name);
    json.Field("passwordStored", password).Field("passwordOpens", opens).Field("cleared", clear).EndObject();
    return kExitOk;
  }
  const std::string stored = !password ? "no password is stored"
                             : opens   ? "a protected password is stored"
                                       : "the stored password does not open with this user's key: it was not "
                                         "protected here (another machine or user, or a plain text)";
  if (clear) std::cout << "signed off: the login name and the stored password are cleared\n";
  else if (!name.empty()) std::cout << name << "  (signed on; " << stored << ")\n";
  else std::cout << "no one is signed on" << (password ? " (" + stored + ")" : std::string()) << '\n';
  return kExitOk;
}

}  // namespace navtool
