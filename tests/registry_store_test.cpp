// The registry behind the Windows-shaped calls: key and value rules, result codes, the store files, and what
// several processes sharing the registry see. On POSIX that is the library's own store; on Windows the same
// calls are the system's registry, and the tests of the rules run there too (under a throw-away key), so
// that the store is held to what Windows does. The rules in which the store differs from the system by
// design (platform/registry.h) are chosen per platform; the tests of the store's files are for POSIX only.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "registry_support.h"
#include "support/file_kinds.h"

using namespace platform::reg;
using regtest::Create;
using regtest::Home;
using regtest::UserRoot;
using testsupport::kWindows;
using testsupport::ReadFile;
using testsupport::ScopedEnv;

namespace {

constexpr const char* kStoreOnly = "Windows has the system's registry: there is no store file";
constexpr const char* kHeader = "; navconfig registry 1\n";

long Open(HKEY root, const char16_t* path, HKEY* key, uint32_t access = KEY_QUERY_VALUE | KEY_SET_VALUE) {
  return RegOpenKeyExW(root, path, 0, access, key);
}

bool Exists(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  return Open(root, path, &key) == ERROR_SUCCESS && RegCloseKey(key) == ERROR_SUCCESS;
}

long SetDword(HKEY key, const char16_t* name, uint32_t value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&value), 4);
}

// A value's type and bytes, read with a buffer of the size asked first; type 0xBAD when a call failed.
struct Data { uint32_t type = 0xBAD; std::string bytes; };
Data Get(HKEY root, const char16_t* path, const char16_t* name) {
  HKEY key = nullptr;
  Data d;
  uint32_t size = 0, type = 0;
  if (Open(root, path, &key) != ERROR_SUCCESS) return d;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    d.bytes.assign(size, '?');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(d.bytes.data()), &size) == 0)
      d.type = type;
  }
  RegCloseKey(key);
  return d;
}

// The value's DWORD, or ~0 when it is no DWORD or the query fails.
uint32_t GetDword(HKEY root, const char16_t* path, const char16_t* name) {
  const Data d = Get(root, path, name);
  uint32_t value = ~0u;
  if (d.type == REG_DWORD && d.bytes.size() == 4) std::memcpy(&value, d.bytes.data(), 4);
  return value;
}

// Joins texts (operator+ on a literal and a string upsets GCC 12's -Wrestrict).
std::u16string Cat(std::initializer_list<std::u16string_view> parts) {
  std::u16string out;
  for (auto part : parts) out += part;
  return out;
}

}  // namespace

TEST(RegistryStore, NamesCompareWithoutAsciiCaseAndCallsGiveTheWindowsCodesAndSizes) {
  Home home;
  const HKEY user = home.user;
  uint32_t disposition = 0;
  HKEY nav = Create(user, u"Software\\Acme\\Navigation", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY same = Create(user, u"SOFTWARE\\acme\\NAVIGATION", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(SetDword(nav, u"KeepPercent", 42), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(user, u"software\\ACME\\navigation", u"keeppercent"), 42u);
  EXPECT_EQ(SetDword(same, u"KEEPPERCENT", 43), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(user, u"Software\\Acme\\Navigation\\", u"KeepPercent"), 43u);
  // Empty components are passed over by the store; Windows refuses a path that begins with a backslash.
  HKEY key = nullptr;
  EXPECT_EQ(Open(user, u"\\Software", &key), kWindows ? 161 /* ERROR_BAD_PATHNAME */ : ERROR_SUCCESS);
  if (key) RegCloseKey(key);
  if (!kWindows) { EXPECT_EQ(GetDword(user, u"\\Software\\\\Acme\\Navigation\\", u"KeepPercent"), 43u); }

  // The store folds only ASCII letters (A-Z, not the characters next to them); Windows folds every letter.
  RegCloseKey(Create(user, u"AZ@["));
  EXPECT_TRUE(Exists(user, u"az@["));
  EXPECT_FALSE(Exists(user, u"az`{"));
  RegCloseKey(Create(user, u"Caf\u00C9"));
  EXPECT_TRUE(Exists(user, u"CAF\u00C9"));
  EXPECT_EQ(Exists(user, u"caf\u00E9"), kWindows);

  // The roots are separate trees (registry_api_test.cpp), each in a file of its own, made when it is written.
  EXPECT_FALSE(testsupport::Exists(home.Registry() + "HKLM.reg") || Exists(HKEY_LOCAL_MACHINE, u"Software\\Acme"));
  const std::string written = "\n[Software\\Acme\\Navigation]\n\"KeepPercent\"=dword:0000002b\n";
  EXPECT_TRUE(kWindows || ReadFile(home.Registry() + "HKCU.reg").find(written) != std::string::npos);
  for (HKEY h : {nav, same}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);

  // Opening, creating, deleting and closing give the Windows codes.
  HKEY untouched = reinterpret_cast<HKEY>(&home);  // must stay untouched by failures
  EXPECT_EQ(Open(user, u"Software\\Missing", &untouched), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(untouched, reinterpret_cast<HKEY>(&home));
  EXPECT_EQ(RegOpenKeyExW(user, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(user, u"x", 0, nullptr, 0, KEY_WRITE, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);

  // Creation makes the intermediate keys. A key opened earlier can be written after other changes; a path
  // below a handle is relative to it.
  RegCloseKey(Create(user, u"A\\B\\C"));
  EXPECT_TRUE(Exists(user, u"A") && Exists(user, u"A\\B") && Exists(user, u"A\\B\\C"));
  HKEY b = nullptr, a = nullptr;
  ASSERT_EQ(Open(user, u"A\\B", &b, KEY_SET_VALUE), ERROR_SUCCESS);
  RegCloseKey(Create(user, u"A\\Other"));
  EXPECT_EQ(SetDword(b, u"Late", 7), ERROR_SUCCESS);
  ASSERT_EQ(Open(user, u"A", &a, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(a, u"B", u"Late"), 7u);

  // Access rights of handles (Wine lets any handle create keys below its key).
  EXPECT_EQ(SetDword(a, u"x", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueExW(b, u"Late", nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  if (!testsupport::UnderWine()) {
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExW(a, u"New", 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Exists(user, u"A\\New"));
  }
  HKEY writable = Create(user, u"A", nullptr, KEY_WRITE);
  RegCloseKey(Create(writable, u"New\\Deeper"));
  EXPECT_TRUE(Exists(user, u"a\\new\\deeper"));

  // Deletion: only keys without sub-keys, and only keys that exist; never a root.
  const std::pair<const char16_t*, long> deletions[] = {{u"A\\B", ERROR_ACCESS_DENIED}, {u"a\\b\\c", ERROR_SUCCESS},
      {u"A\\B\\C", ERROR_FILE_NOT_FOUND}, {u"", ERROR_ACCESS_DENIED}, {nullptr, ERROR_INVALID_PARAMETER}};
  for (const auto& [path, code] : deletions) EXPECT_EQ(RegDeleteKeyW(user, path), code);
  EXPECT_EQ(RegDeleteKeyW(writable, u"New\\Deeper"), ERROR_SUCCESS);
  if (!kWindows) {  // an empty sub-key deletes the handle's own key (Windows asks for DELETE access)
    HKEY created = Create(user, u"A\\New");
    EXPECT_EQ(RegDeleteKeyW(created, u""), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(user, u"A\\New"));
    RegCloseKey(created);
  }

  // A handle whose key is gone reports it, whoever deleted the key.
  EXPECT_EQ(RegDeleteKeyW(user, u"A\\B"), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(b, u"Late", 8), ERROR_KEY_DELETED);
  EXPECT_EQ(Open(b, u"", &untouched), ERROR_KEY_DELETED);

  // Closing; the roots stay usable when "closed".
  for (HKEY h : {a, b, writable}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(b), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  for (int root = 0; root < 3; ++root) EXPECT_EQ(RegCloseKey(Home::Root(root)), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"RootValue", 5), ERROR_SUCCESS);

  // Queries report type and size and fill short buffers as far as they go.
  HKEY acme = Create(home.user, u"Software\\Acme");
  ASSERT_EQ(RegSetValueExW(acme, u"Greeting", 0, REG_SZ, reinterpret_cast<const uint8_t*>(u"Hello"), 12), 0);
  ASSERT_EQ(SetDword(acme, u"Count", 0x11223344), ERROR_SUCCESS);
  // Type and size (five units and the terminator); with neither data nor size, existence and type only.
  uint32_t type = 99, size = 0;
  EXPECT_EQ(RegQueryValueExW(acme, u"Greeting", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(RegQueryValueExW(acme, u"Count", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);

  // A buffer one byte too small: the store fills it as far as it goes (Windows leaves it undefined), never
  // past it; one of the exact size takes the whole value.
  uint8_t buf[16];
  std::memset(buf, 0xEE, sizeof buf);
  for (uint32_t offered : {11u, 12u}) {
    size = offered;
    EXPECT_EQ(RegQueryValueExW(acme, u"greeting", nullptr, nullptr, buf, &size), offered == 12 ? 0 : ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);
    if (!kWindows || offered == 12) { EXPECT_EQ(std::memcmp(buf, u"Hello", offered), 0); }
    EXPECT_EQ(buf[offered], 0xEE);
  }
  EXPECT_EQ(RegQueryValueExW(acme, u"Count", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(acme, u"Count", &size, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(acme, u"Missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);

  // A text written without its terminator, or with an odd byte, is kept with one by the store (and by
  // Wine), as it was written by Windows; a DWORD must have four bytes, and data must be there.
  EXPECT_EQ(RegSetValueExW(acme, u"Bare", 0, REG_SZ, reinterpret_cast<const uint8_t*>(u"a\u0100"), 4), 0);
  EXPECT_EQ(Get(acme, u"", u"Bare").bytes.size(), kWindows && !testsupport::UnderWine() ? 4u : 6u);
  if (!kWindows) {
    EXPECT_EQ(RegSetValueExW(acme, u"Odd", 0, REG_SZ, reinterpret_cast<const uint8_t*>(u"ab"), 5), ERROR_SUCCESS);
    EXPECT_EQ(Get(acme, u"", u"Odd").bytes, std::string("a\0b\0\0\0", 6));
  }
  EXPECT_EQ(RegSetValueExW(acme, u"Short", 0, REG_DWORD, buf, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(acme, u"Null", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);
  // Names longer than the system registry takes, which no enumeration could name.
  EXPECT_EQ(RegSetValueExW(acme, std::u16string(16384, u'v').c_str(), 0, REG_DWORD, buf, 4), ERROR_INVALID_PARAMETER);
  HKEY tooLong = nullptr;
  EXPECT_EQ(RegCreateKeyExW(acme, std::u16string(300, u'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &tooLong,
                            nullptr), ERROR_INVALID_PARAMETER);

  // The default value; a value of another type replaces the old one under the same name.
  EXPECT_EQ(RegSetValueExW(acme, nullptr, 0, REG_SZ, reinterpret_cast<const uint8_t*>(u"d"), 4), ERROR_SUCCESS);
  EXPECT_EQ(Get(home.user, u"Software\\Acme", u"").bytes, std::string("d\0\0\0", 4));
  EXPECT_EQ(SetDword(acme, u"greeting", 1), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(home.user, u"Software\\Acme", u"Greeting"), 1u);
  RegCloseKey(acme);
}



namespace {

// A value as stored: name, type and bytes.
struct Stored { std::u16string name; uint32_t type; std::string bytes; };

// Values that the file must carry: texts with escapes, line breaks, NUL, lone surrogates and the first and
// last characters of each length of UTF-8; raw bytes of other types, the largest type number too.
std::vector<Stored> Values() {
  const std::u16string texts[] = {
      u"", u"quote \" backslash \\ end\\", u"line\nbreak\r\nand\ttab\x7F", std::u16string(u"nul\0inside", 10),
      u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF", u"\u0800",
      Cat({std::u16string(1, char16_t(0xD800)), u"lone", std::u16string(1, char16_t(0xDC00))}),
      u"=sz:\"x\"=dword:1 %41 [k] \\u0041", std::u16string(5000, u'x')};
  std::vector<Stored> values;
  for (const auto& t : texts) {
    const std::u16string name = Cat({u"v", std::u16string(1, char16_t(u'a' + values.size())), t.substr(0, 9)});
    values.push_back({name, REG_SZ, std::string(reinterpret_cast<const char*>(t.c_str()), (t.size() + 1) * 2)});
  }
  values.push_back({u"raw\x03", REG_BINARY, std::string("\0\1\xFF\x10", 4)});
  values.push_back({u"raw\uFFFF", 0xFFFFFFFFu, std::string("\0\1\xFF\x10", 4)});
  return values;
}

std::u16string OddKeyPath() {
  return Cat({u"Software\\we[ir]d%41 \u0800\t", std::u16string(1, char16_t(0xDBFF)), u"=\"\U0010FFFF"});
}

}  // namespace

// Started before anything is stored, so that it reads everything afresh once the file args[0] exists: the
// number of values read differently; then it writes a value for the parent's handle opened before.
NAVCONFIG_TEST_CHILD(read_values) {
  regtest::WaitForFile(args[0]);
  const HKEY user = UserRoot();
  const std::u16string path = OddKeyPath();
  int wrong = 0;
  for (const Stored& v : Values()) {
    const Data d = Get(user, path.c_str(), v.name.c_str());
    wrong += d.type != v.type || d.bytes != v.bytes;
  }
  HKEY key = nullptr;
  wrong += Open(user, path.c_str(), &key) != ERROR_SUCCESS || SetDword(key, u"FromChild", 77) != 0;
  RegCloseKey(key);
  return wrong;
}

// Deletes the key of OddKeyPath below the user root: the result code.
NAVCONFIG_TEST_CHILD(delete_odd_key) { return static_cast<int>(RegDeleteKeyW(UserRoot(), OddKeyPath().c_str())); }

TEST(RegistryStore, EveryValueSurvivesTheFileAndProcessesSeeEachOthersChanges) {
  Home home;
  const std::string go = home.dir / "go";
  testsupport::ChildProcess child("read_values", {go});
  const std::u16string path = OddKeyPath();
  HKEY key = Create(home.user, path.c_str());
  for (const Stored& v : Values()) {
    const auto* data = reinterpret_cast<const uint8_t*>(v.bytes.data());
    ASSERT_EQ(RegSetValueExW(key, v.name.c_str(), 0, v.type, data, static_cast<uint32_t>(v.bytes.size())), 0);
  }
  testsupport::WriteFile(go, "");
  EXPECT_EQ(child.Wait(), 0) << "values the child read differently";
  EXPECT_EQ(GetDword(key, u"", u"fromchild"), 77u);

  // A key deleted by another process is gone for this one too.
  EXPECT_EQ(testsupport::RunChild("delete_odd_key"), 0);
  EXPECT_EQ(SetDword(key, u"After", 1), ERROR_KEY_DELETED);
  EXPECT_FALSE(Exists(home.user, path.c_str()));
  RegCloseKey(key);
}

// The folders and files of the store are the user's alone, and nothing else is left in them. A store file that is not the user's own regular file is neither read nor
// replaced (and said so once), and nothing waits on a FIFO; one that others may read is made the user's alone.
TEST(RegistryStore, OnlyTheUsersOwnStoreFileIsUsedAndItIsMadePrivate) {
  if (kWindows) GTEST_SKIP() << kStoreOnly;
  testsupport::TempDir dir;
  {  // (where the store is: edge_arguments_test.cpp)
    ScopedEnv env("NAVCONFIG_HOME", (dir / "a/b/home").c_str());
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Acme");
    ASSERT_EQ(SetDword(key, u"Count", 42), ERROR_SUCCESS);
    RegCloseKey(key);
    for (const char* d : {"a", "a/b", "a/b/home", "a/b/home/registry"})
      EXPECT_EQ(testsupport::FileMode(dir / d), 0700u) << d;
    for (const char* f : {"HKLM.reg", "HKLM.reg.lock"})
      EXPECT_EQ(testsupport::FileMode(dir / "a/b/home/registry/" + f), 0600u) << f;
    EXPECT_EQ(testsupport::Listing(dir / "a/b/home/registry"), (std::vector<std::string>{"HKLM.reg", "HKLM.reg.lock"}));
  }

  const std::string good = std::string(kHeader) + "[Software]\n\"Count\"=dword:0000002a\n";
  using testsupport::WriteFile;
  const struct {
    const char* message;  // logged once
    std::function<bool(const std::string&)> make;
    bool used;
  } cases[] = {
      {"registry file HKCU.reg could be read or written by other users; its mode is now 0600",
       [&](const std::string& file) { WriteFile(file, good); return testsupport::SetFileMode(file, 0644); },
       true},
      {"registry file HKCU.reg is a FIFO, not a regular file", testsupport::MakeFifo, false},
      {"registry file HKCU.reg belongs to another user",
       [&](const std::string& file) { WriteFile(file, good); return testsupport::GiveToAnotherUser(file); },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    testsupport::LogCapture log;
    Home home;
    const std::string file = home.Registry() + "HKCU.reg";
    testsupport::MakeDirs(home.Registry());
    if (!c.make(file)) {
      ASSERT_FALSE(testsupport::RunsAsRoot());
      std::printf("case skipped, %s: %s\n", c.message, testsupport::kNotRoot);
      continue;
    }
    const std::string kind = testsupport::KindAt(file);
    testsupport::FifoGuard guard(file);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software", u"Count"), c.used ? 42u : ~0u);
    EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"Other", 1), c.used ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(testsupport::KindAt(file), kind);
    EXPECT_EQ(log.Matching(c.message).size(), 1u);
    if (c.used) {
      EXPECT_EQ(testsupport::FileMode(file), 0600u);
    } else {
      EXPECT_EQ(kind == "regular" ? ReadFile(file) : good, good);
      EXPECT_EQ(testsupport::Listing(home.Registry()), (std::vector<std::string>{"HKCU.reg", "HKCU.reg.lock"}));
    }
  }
}

// A change waits a bounded time for a lock of the store file that another process holds (flock(1), as a script
// that copies a store in would), fails then saying how long it waited, and goes through once the lock is free.
TEST(RegistryStore, AChangeWaitsABoundedTimeForTheStoresLockAndSaysHowLong) {
  if (kWindows) GTEST_SKIP() << kStoreOnly;
  testsupport::LogCapture log;
  Home home;
  testsupport::MakeDirs(home.Registry());
  testsupport::LockHolder holder(home.Registry() + "HKCU.reg.lock");
  ASSERT_TRUE(holder.Holds());
  SetStoreLockTimeout(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"Held", 1), ERROR_REGISTRY_IO_FAILED);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(log.Matching("registry file HKCU.reg is not changed: lock HKCU.reg.lock: held by another process; waited ")
                .size(),
            1u);
  holder.Release();
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"Held", 2), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"", u"Held"), 2u);
  SetStoreLockTimeout(std::chrono::seconds(10));
}

// Reads the value Fresh of the user root: the value as the exit code.
NAVCONFIG_TEST_CHILD(read_fresh) { return static_cast<int>(GetDword(UserRoot(), u"", u"Fresh")); }

TEST(RegistryStore, ADamagedStoreIsSetAsideLoggedAndTheRootStartsEmpty) {
  if (kWindows) GTEST_SKIP() << kStoreOnly;
  {
    // Written by hand: line ends of Windows, comments and empty lines, capital hex digits.
    Home home;
    testsupport::MakeDirs(home.Registry());
    testsupport::WriteFile(home.Registry() + "HKCU.reg",
                           "; navconfig registry 1\r\n; note\n\n[]\n\"r\"=dword:00000001\n[Software]\r\n"
                           "\"a\"=dword:FFFFFFFE\r\n");
    EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"software", u"A"), 0xFFFFFFFEu);
    EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"", u"r"), 1u);
  }
  // Damaged files, with the line that shows it.
  std::vector<std::pair<std::string, int>> damaged = {{"not a registry\n", 1}, {"; navconfig registry 2\n", 1}};
  for (const char* line :
       {"\"a\"=dword:2a", "\"a\"=dword:0000002a0", "\"a\"=dword:0000002g", "\"a\"=sz:bad \\q escape",
        "\"a\"=sz:\\u12", "\"a\"=sz:\xC3\x28", "\"a\"=sz:\xC1\xBF", "\"a\"=sz:\xE0\x9F\xBF", "\"a\"=sz:\xE0\xA0",
        "\"a\"=sz:\xED\xA0\x80", "\"a\"=sz:\xED\xBF\xBF", "\"a\"=sz:\xF0\x8F\xBF\xBF", "\"a\"=sz:\xF4\x90\x80\x80",
        "\"a\"=sz:\xF5\x80\x80\x80", "\"a\"=sz:\x80", "[K\\\\Twice]", "[Soft%005Cware]", "[Soft%41]", "[K",
        "\"unterminated=sz:x", "\"a\"=sz:x\\", "\"a\"=hex(4):01020304", "\"a\"=hex(1):0041", "\"a\"=hex(3):012",
        "\"a\"=hex(00000000003):00", "\"a\"=hex(4294967296):00", "\"a\"=hex():00", "\"a\"=other:1", "garbage", "["})
    damaged.push_back({std::string(kHeader) + "[K]\n" + line + "\n", 3});
  for (const auto& [content, badLine] : damaged) {
    SCOPED_TRACE(content);
    testsupport::LogCapture log;
    Home home;
    testsupport::MakeDirs(home.Registry());
    testsupport::WriteFile(home.Registry() + "HKCU.reg", content);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, u"K"));
    const auto aside = testsupport::Listing(home.Registry());  // the file set aside and the lock file alone
    ASSERT_EQ(aside.size(), 2u);
    EXPECT_EQ(ReadFile(home.Registry() + aside[0]), content);
    const auto lines = log.Matching("is damaged");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("L2 C0 registry:", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("(line " + std::to_string(badLine) + "); moved to " + aside[0]), std::string::npos)
        << lines[0];
  }

  // A damaged file found by a write is set aside the same way before the write goes on; the new file is a good
  // one, and another root is not touched.
  testsupport::LogCapture log;
  Home home;
  ASSERT_EQ(SetDword(HKEY_LOCAL_MACHINE, u"Kept", 1), ERROR_SUCCESS);
  testsupport::WriteFile(home.Registry() + "HKCU.reg", std::string(kHeader) + "[\n");
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"Fresh", 3), ERROR_SUCCESS);
  EXPECT_EQ(log.Matching("is damaged").size(), 1u);
  EXPECT_EQ(ReadFile(home.Registry() + "HKCU.reg"), std::string(kHeader) + "[]\n\"Fresh\"=dword:00000003\n");
  EXPECT_EQ(testsupport::RunChild("read_fresh"), 3);
  EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, u"", u"Kept"), 1u);
}
