// The registry behind the Windows-shaped calls: key and value rules, result codes, the store files, and what
// several processes sharing the registry see. On POSIX that is the library's own store; on Windows the same
// calls are the system's registry, and the tests of the rules run there too (under a throw-away key), so
// that the store is held to what Windows does. The rules in which the store differs from the system by
// design (platform/registry.h) are chosen per platform; the tests of the store's files are for POSIX only.
#include <gtest/gtest.h>
#include <platform/os.h>
#include <platform/registry.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <initializer_list>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "registry_support.h"
#include "support/special_files.h"
#include "support/test_support.h"

using namespace platform::reg;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using regtest::Home;
using regtest::UserRoot;
using regtest::Utf16;

namespace {

constexpr const char* kStoreOnly = "Windows has the system's registry: there is no store file";
HKEY Create(HKEY root, const char16_t* path, uint32_t* disposition = nullptr, uint32_t access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  long rc = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, disposition);
  EXPECT_EQ(rc, ERROR_SUCCESS);
  return key;
}

long Open(HKEY root, const char16_t* path, HKEY* key, uint32_t access = KEY_QUERY_VALUE | KEY_SET_VALUE) {
  return RegOpenKeyExW(root, path, 0, access, key);
}

long SetDword(HKEY key, const char16_t* name, uint32_t value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&value), 4);
}

long SetText(HKEY key, const char16_t* name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
                        static_cast<uint32_t>((text.size() + 1) * 2));
}

// The value's DWORD, or ~0 when the query fails.
uint32_t GetDword(HKEY root, const char16_t* path, const char16_t* name) {
  HKEY key = nullptr;
  if (Open(root, path, &key) != ERROR_SUCCESS) return ~0u;
  uint32_t value = 0, size = 4, type = 0;
  long rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD && size == 4 ? value : ~0u;
}

// The value's text without its terminator; "<error N>" when the query fails.
std::u16string GetText(HKEY root, const char16_t* path, const char16_t* name) {
  HKEY key = nullptr;
  long rc = Open(root, path, &key);
  if (rc != ERROR_SUCCESS) return u"<open failed>";
  uint32_t size = 0, type = 0;
  rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  std::u16string text(size / 2, u'?');
  if (rc == ERROR_SUCCESS)
    rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(text.data()), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ || text.empty() || text.back() != u'\0') return u"<query failed>";
  text.pop_back();
  return text;
}

// Joins texts (operator+ on a literal and a string upsets GCC 12's -Wrestrict).
std::u16string Cat(std::initializer_list<std::u16string_view> parts) {
  std::u16string out;
  for (auto part : parts) out += part;
  return out;
}

std::u16string Digit(int n) { return std::u16string(1, char16_t(u'0' + n)); }

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

}  // namespace

TEST(RegistryStore, TheFolderFollowsTheEnvironment) {
  if (testsupport::kWindows) GTEST_SKIP() << kStoreOnly;
  TempDir dir;
  {
    ScopedEnv home("NAVCONFIG_HOME", (dir / "nav").c_str());
    EXPECT_EQ(platform::UserHomeDirectory(), dir / "nav/");
    EXPECT_EQ(platform::RegistryDirectory(), dir / "nav/registry/");
  }
  ScopedEnv noHome("NAVCONFIG_HOME", nullptr);
  ScopedEnv user("HOME", (dir / "user").c_str());
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(platform::RegistryDirectory(), dir / "xdg/navconfig/registry/");
  }
  ScopedEnv relativeXdg("XDG_CONFIG_HOME", "relative/config");
  EXPECT_EQ(platform::RegistryDirectory(), dir / "user/.config/navconfig/registry/");
  ScopedEnv emptyHome("NAVCONFIG_HOME", "");
  EXPECT_EQ(platform::UserHomeDirectory(), dir / "user/.config/navconfig/");
}

TEST(RegistryStore, KeysAndValueNamesCompareWithoutAsciiCaseAndKeepTheirSpelling) {
  Home home;
  const HKEY user = home.user;
  uint32_t disposition = 0;
  HKEY nav = Create(user, u"Software\\Acme\\Navigation", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY same = Create(user, u"SOFTWARE\\acme\\NAVIGATION", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_NE(nav, same);

  EXPECT_EQ(SetDword(nav, u"KeepPercent", 42), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(user, u"software\\ACME\\navigation", u"keeppercent"), 42u);
  EXPECT_EQ(SetDword(same, u"KEEPPERCENT", 43), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(user, u"Software\\Acme\\Navigation", u"KeepPercent"), 43u);
  // Empty components are passed over by the store; Windows refuses a path that begins with a backslash
  // (ERROR_BAD_PATHNAME).
  constexpr long kBadPathname = 161;
  HKEY leading = nullptr;
  EXPECT_EQ(Open(user, u"\\Software", &leading), testsupport::kWindows ? kBadPathname : ERROR_SUCCESS);
  if (!testsupport::kWindows) {
    RegCloseKey(leading);
    EXPECT_EQ(GetDword(user, u"\\Software\\\\Acme\\Navigation\\", u"KeepPercent"), 43u);
  }
  EXPECT_EQ(GetDword(user, u"Software\\Acme\\Navigation\\", u"KeepPercent"), 43u);

  // The store folds only ASCII letters: E-acute and e-acute are different names. Windows folds them too.
  RegCloseKey(Create(user, u"Caf\u00C9"));
  HKEY key = nullptr;
  EXPECT_EQ(Open(user, u"CAF\u00C9", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  key = nullptr;
  EXPECT_EQ(Open(user, u"caf\u00E9", &key), testsupport::kWindows ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  if (key) RegCloseKey(key);

  // The roots are separate trees (in separate files of the store).
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"Software\\Acme", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(HKEY_CLASSES_ROOT, u"Software\\Acme", &key), ERROR_FILE_NOT_FOUND);
  if (!testsupport::kWindows) {
    EXPECT_FALSE(testsupport::Exists(home.Registry() + "HKLM.reg"));
    std::string text = ReadFile(home.Registry() + "HKCU.reg");
    EXPECT_EQ(text.rfind("; navconfig registry 1\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n[Software\\Acme\\Navigation]\n\"KeepPercent\"=dword:0000002b\n"), std::string::npos)
        << text;
  }
  EXPECT_EQ(RegCloseKey(nav), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
}

TEST(RegistryStore, OpenCreateDeleteAndCloseGiveTheWindowsCodes) {
  Home home;
  const HKEY user = home.user;
  HKEY key = reinterpret_cast<HKEY>(&home);  // must stay untouched by failures
  HKEY untouched = key;
  EXPECT_EQ(Open(user, u"Software\\Missing", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, untouched);
  EXPECT_EQ(RegOpenKeyExW(user, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(user, u"x", 0, nullptr, 0, KEY_WRITE, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);

  // Creation makes the intermediate keys.
  RegCloseKey(Create(user, u"A\\B\\C"));
  for (const char16_t* path : {u"A", u"A\\B", u"A\\B\\C"}) {
    EXPECT_EQ(Open(user, path, &key), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // A key opened earlier can be written after other changes; a path below a handle is relative to it.
  HKEY b = nullptr;
  ASSERT_EQ(Open(user, u"A\\B", &b, KEY_SET_VALUE), ERROR_SUCCESS);
  RegCloseKey(Create(user, u"A\\Other"));
  EXPECT_EQ(SetDword(b, u"Late", 7), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(user, u"A\\B", u"Late"), 7u);
  HKEY a = nullptr;
  ASSERT_EQ(Open(user, u"A", &a, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(a, u"B", u"Late"), 7u);

  // Access rights of handles.
  EXPECT_EQ(SetDword(a, u"x", 1), ERROR_ACCESS_DENIED);
  uint32_t size = 4, value = 0;
  EXPECT_EQ(RegQueryValueExW(b, u"Late", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_ACCESS_DENIED);
  // (Wine lets any handle create keys below its key.)
  if (!testsupport::UnderWine()) {
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExW(a, u"New", 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(user, u"A\\New", &key), ERROR_FILE_NOT_FOUND);
  }
  HKEY writable = Create(user, u"A", nullptr, KEY_WRITE);
  RegCloseKey(Create(writable, u"New\\Deeper"));
  EXPECT_EQ(Open(user, u"a\\new\\deeper", &key), ERROR_SUCCESS);
  RegCloseKey(key);

  // Deletion: only keys without sub-keys, and only keys that exist.
  EXPECT_EQ(RegDeleteKeyW(user, u"A"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(user, u"A\\B"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(user, u"a\\b\\c"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(user, u"A\\B\\C"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(user, u"Nowhere\\Deeper"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(user, u""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(user, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(writable, u"New\\Deeper"), ERROR_SUCCESS);

  // A handle whose key is gone reports it, whoever deleted the key.
  EXPECT_EQ(RegDeleteKeyW(user, u"A\\B"), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(b, u"Late", 8), ERROR_KEY_DELETED);
  EXPECT_EQ(Open(b, u"", &key), ERROR_KEY_DELETED);
  EXPECT_EQ(Open(user, u"A\\B", &key), ERROR_FILE_NOT_FOUND);

  // Closing.
  for (HKEY h : {a, b, writable}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(b), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
  EXPECT_NE(HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE);
  EXPECT_NE(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
  EXPECT_EQ(SetDword(user, u"RootValue", 5), ERROR_SUCCESS);  // the root still works when "closed"
  EXPECT_EQ(GetDword(user, u"", u"RootValue"), 5u);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"", &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(RegistryStore, QueriesReportTypeAndSizeAndFillShortBuffersAsFarAsTheyGo) {
  Home home;
  const HKEY user = home.user;
  HKEY key = Create(user, u"Software\\Acme");
  ASSERT_EQ(SetText(key, u"Greeting", u"Hello"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, u"Count", 0x11223344), ERROR_SUCCESS);

  uint32_t type = 99, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Greeting", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);  // five units and the terminator

  // A buffer that is too small: the store fills it as far as it goes; what Windows leaves in it is undefined.
  uint8_t buf[16];
  std::memset(buf, 0xEE, sizeof buf);
  size = 5;
  type = 99;
  EXPECT_EQ(RegQueryValueExW(key, u"Greeting", nullptr, &type, buf, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(type, REG_SZ);
  if (!testsupport::kWindows) {
    EXPECT_EQ(std::memcmp(buf, u"Hello", 5), 0);
    EXPECT_EQ(buf[5], 0xEE);
  }

  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(key, u"greeting", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(std::memcmp(buf, u"Hello", 12), 0);

  // A DWORD read into a short area, and a text read into a DWORD's four bytes.
  uint32_t value = 0;
  size = 2;
  EXPECT_EQ(RegQueryValueExW(key, u"Count", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  if (!testsupport::kWindows) {
    EXPECT_EQ(value, 0x3344u);
  }
  size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"Greeting", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_MORE_DATA);
  if (!testsupport::kWindows) {
    EXPECT_EQ(std::memcmp(&value, u"He", 4), 0);
  }

  // Neither data nor size: existence and type only.
  EXPECT_EQ(RegQueryValueExW(key, u"Count", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(RegQueryValueExW(key, u"Count", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
  uint32_t reserved = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Count", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
  type = 99;
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(type, 99u);

  // A text written without its terminator is kept with one by the store (and by Wine), as it was written by
  // Windows; a DWORD must have four bytes.
  EXPECT_EQ(RegSetValueExW(key, u"Bare", 0, REG_SZ, reinterpret_cast<const uint8_t*>(u"abc"), 6), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Bare", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  const bool keptAsWritten = testsupport::kWindows && !testsupport::UnderWine();
  EXPECT_EQ(size, keptAsWritten ? 6u : 8u);
  if (!keptAsWritten) {
    EXPECT_EQ(GetText(user, u"Software\\Acme", u"Bare"), u"abc");
  }
  EXPECT_EQ(RegSetValueExW(key, u"Short", 0, REG_DWORD, buf, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(key, u"Null", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);

  // The default value, and raw bytes of another type.
  EXPECT_EQ(SetText(key, nullptr, u"default"), ERROR_SUCCESS);
  EXPECT_EQ(GetText(user, u"Software\\Acme", u""), u"default");
  const uint8_t blob[] = {0, 1, 0xFF, 0x10};
  EXPECT_EQ(RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(key, u"Blob", nullptr, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(buf, blob, 4), 0);

  // A value of another type replaces the old one under the same name.
  EXPECT_EQ(SetDword(key, u"greeting", 1), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(user, u"Software\\Acme", u"Greeting"), 1u);
  RegCloseKey(key);
}

namespace {

const std::u16string kTexts[] = {
    u"",
    u"plain",
    u"quote \" backslash \\ end\\",
    u"line\nbreak\r\nand\ttab",
    std::u16string(u"nul\0inside", 10),
    u"caf\u00E9 \u4E2D\u6587 \U0001F600",
    Cat({std::u16string(1, char16_t(0xD800)), u"lone", std::u16string(1, char16_t(0xDC00))}),
    u"=sz:\"x\"=dword:1",
    u"%41 [k] \\u0041",
    std::u16string(5000, u'x')};

std::u16string OddKeyPath() {
  return Cat({u"Software\\we[ir]d%41 \u00E9\t", std::u16string(1, char16_t(0xDBFF)), u"=\""});
}

std::u16string TextName(size_t i) { return Cat({u"v", Digit(static_cast<int>(i)), kTexts[i].substr(0, 20)}); }

// Waits until the file args[0] exists.
void WaitForFile(const std::string& path) {
  for (int i = 0; i < 20000 && !testsupport::Exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

// Started before anything is stored, so that it reads everything afresh once the file args[0] exists: the
// number of texts read differently; then it writes a value for the parent's handle opened before.
NAVCONFIG_TEST_CHILD(read_texts) {
  WaitForFile(args[0]);
  const HKEY user = UserRoot();
  int wrong = 0;
  for (size_t i = 0; i < std::size(kTexts); ++i)
    if (GetText(user, OddKeyPath().c_str(), TextName(i).c_str()) != kTexts[i]) ++wrong;
  HKEY key = nullptr;
  if (Open(user, OddKeyPath().c_str(), &key) != ERROR_SUCCESS || SetDword(key, u"FromChild", 77) != 0) ++wrong;
  RegCloseKey(key);
  return wrong;
}

// Deletes the key args[0] below the user root: the result code.
NAVCONFIG_TEST_CHILD(delete_key) {
  const std::u16string path = args[0] == "odd" ? OddKeyPath() : Utf16(args[0]);
  return static_cast<int>(RegDeleteKeyW(UserRoot(), path.c_str()));
}

TEST(RegistryStore, EveryTextSurvivesTheFileAndProcessesSeeEachOthersChanges) {
  Home home;
  const HKEY user = home.user;
  const std::string go = home.dir / "go";
  testsupport::ChildProcess child("read_texts", {go});
  ASSERT_TRUE(child.Started());

  const std::u16string path = OddKeyPath();
  HKEY key = Create(user, path.c_str());
  for (size_t i = 0; i < std::size(kTexts); ++i) {
    ASSERT_EQ(SetText(key, TextName(i).c_str(), kTexts[i]), ERROR_SUCCESS);
    ASSERT_EQ(GetText(user, path.c_str(), TextName(i).c_str()), kTexts[i]);
  }
  testsupport::WriteFile(go, "");
  EXPECT_EQ(child.Wait(), 0) << "values the child read differently";

  uint32_t value = 0, size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"fromchild", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 77u);

  // A key deleted by another process is gone for this one too.
  EXPECT_EQ(testsupport::RunChild("delete_key", {"Software"}), static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(testsupport::RunChild("delete_key", {"odd"}), 0);
  EXPECT_EQ(SetDword(key, u"After", 1), ERROR_KEY_DELETED);
  HKEY other = nullptr;
  EXPECT_EQ(Open(user, path.c_str(), &other), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST(RegistryStore, StoreFilesAreTheUsersAlone) {
  if (testsupport::kWindows) GTEST_SKIP() << kStoreOnly;
  TempDir dir;
  ScopedEnv env("NAVCONFIG_HOME", (dir / "a/b/home").c_str());
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Acme");
  ASSERT_EQ(SetDword(key, u"Count", 42), ERROR_SUCCESS);
  RegCloseKey(key);
  for (const char* d : {"a", "a/b", "a/b/home", "a/b/home/registry"})
    EXPECT_EQ(testsupport::FileMode(dir / d), 0700u) << d;
  EXPECT_EQ(testsupport::FileMode(dir / "a/b/home/registry/HKLM.reg"), 0600u);
  EXPECT_EQ(testsupport::FileMode(dir / "a/b/home/registry/HKLM.reg.lock"), 0600u);
  EXPECT_EQ(ReadFile(dir / "a/b/home/registry/HKLM.reg"),
            "; navconfig registry 1\n[Software]\n[Software\\Acme]\n\"Count\"=dword:0000002a\n");
  // Nothing else is left in the folder (no temporary files).
  EXPECT_EQ(testsupport::Listing(dir / "a/b/home/registry"), (std::vector<std::string>{"HKLM.reg", "HKLM.reg.lock"}));
}

// A store file that is not the user's own regular file is neither read nor replaced (and said so once), and
// nothing waits on a FIFO; one that others may read is made the user's alone.
TEST(RegistryStore, OnlyTheUsersOwnStoreFileIsUsedAndItIsMadePrivate) {
  if (testsupport::kWindows) GTEST_SKIP() << kStoreOnly;
  const std::string good = "; navconfig registry 1\n[Software]\n\"Count\"=dword:0000002a\n";
  struct Case {
    const char* message;  // logged once
    std::function<bool(const std::string&)> make;
    bool used;
  };
  const Case cases[] = {
      {"registry file HKCU.reg could be read or written by other users; its mode is now 0600",
       [&](const std::string& file) { testsupport::WriteFile(file, good); return testsupport::SetFileMode(file, 0644); },
       true},
      {"registry file HKCU.reg is a FIFO, not a regular file", testsupport::MakeFifo, false},
      {"registry file HKCU.reg belongs to another user",
       [&](const std::string& file) { testsupport::WriteFile(file, good); return testsupport::GiveToAnotherUser(file); },
       false},
  };
  for (const Case& c : cases) {
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
      EXPECT_EQ(Names(home.Registry()), (std::vector<std::string>{"HKCU.reg", "HKCU.reg.lock"}));
    }
  }
}

namespace {
constexpr int kSharedValues = 40;
}

// Writer args[1] of the two: once the file args[0] exists, writes its values and keys below "Shared".
NAVCONFIG_TEST_CHILD(write_shared) {
  WaitForFile(args[0]);
  const int p = std::stoi(args[1]);
  const HKEY user = UserRoot();
  HKEY shared = nullptr;
  if (Open(user, u"Shared", &shared) != ERROR_SUCCESS) return 101;
  int failures = 0;
  for (int i = 0; i < kSharedValues; ++i) {
    std::u16string name = Cat({u"p", Digit(p), u"_", Digit(i / 10), Digit(i % 10)});
    if (SetDword(shared, name.c_str(), static_cast<uint32_t>(p * 1000 + i)) != ERROR_SUCCESS) ++failures;
    std::u16string own = Cat({u"Shared\\Own", Digit(p), u"\\", name});
    HKEY k = nullptr;
    if (RegCreateKeyExW(user, own.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != 0) ++failures;
    RegCloseKey(k);
  }
  RegCloseKey(shared);
  return failures;
}

TEST(RegistryStore, TwoProcessesWritingAtOnceKeepEachOthersValues) {
  Home home;
  const HKEY user = home.user;
  RegCloseKey(Create(user, u"Shared"));
  const std::string go = home.dir / "go";
  testsupport::ChildProcess first("write_shared", {go, "0"});
  testsupport::ChildProcess second("write_shared", {go, "1"});
  testsupport::WriteFile(go, "");  // both start together
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kSharedValues; ++i) {
      std::u16string name = Cat({u"p", Digit(p), u"_", Digit(i / 10), Digit(i % 10)});
      EXPECT_EQ(GetDword(user, u"Shared", name.c_str()), static_cast<uint32_t>(p * 1000 + i));
      std::u16string own = Cat({u"Shared\\Own", Digit(p), u"\\", name});
      HKEY k = nullptr;
      EXPECT_EQ(Open(user, own.c_str(), &k), ERROR_SUCCESS);
      RegCloseKey(k);
    }
  }
}

// Reads Software\Acme\Fresh below the user root: the value as the exit code.
NAVCONFIG_TEST_CHILD(read_fresh) { return static_cast<int>(GetDword(UserRoot(), u"Software\\Acme", u"Fresh")); }

TEST(RegistryStore, ADamagedStoreIsSetAsideLoggedAndTheRootStartsEmpty) {
  if (testsupport::kWindows) GTEST_SKIP() << kStoreOnly;
  const std::string damaged[] = {
      "not a registry\n",
      "; navconfig registry 2\n[Software]\n",
      "; navconfig registry 1\n[Software]\n\"a\"=dword:2a\n",
      "; navconfig registry 1\n[Software]\n\"a\"=sz:bad \\q escape\n",
      "; navconfig registry 1\n[Software]\n\"a\"=sz:\xC3\x28 invalid UTF-8\n",
      "; navconfig registry 1\n[Software\\\\Twice]\n",
      "; navconfig registry 1\n[Soft%005Cware]\n",
      "; navconfig registry 1\n[Software]\n\"unterminated=sz:x\n",
      "; navconfig registry 1\n[Software]\n\"a\"=hex(4):0102\n",
      "; navconfig registry 1\ngarbage\n",
  };
  for (const std::string& content : damaged) {
    SCOPED_TRACE(content);
    testsupport::LogCapture log;
    Home home;
    // Another root with good content must not be touched.
    HKEY machine = Create(HKEY_LOCAL_MACHINE, u"Software");
    ASSERT_EQ(SetDword(machine, u"Kept", 1), ERROR_SUCCESS);
    RegCloseKey(machine);
    testsupport::WriteFile(home.Registry() + "HKCU.reg", content);

    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, u"Software", &key), ERROR_FILE_NOT_FOUND);
    std::vector<std::string> aside;
    for (auto& name : Names(home.Registry()))
      if (name.rfind("HKCU.reg.damaged-", 0) == 0) aside.push_back(name);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(home.Registry() + aside[0]), content);
    EXPECT_FALSE(testsupport::Exists(home.Registry() + "HKCU.reg"));
    auto lines = log.Matching("is damaged");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("L2 C0 registry:", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(aside[0]), std::string::npos) << lines[0];

    // The root works again, and the new file is a good one.
    key = Create(HKEY_CURRENT_USER, u"Software\\Acme");
    EXPECT_EQ(SetDword(key, u"Fresh", 3), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software\\Acme", u"Fresh"), 3u);
    EXPECT_EQ(testsupport::RunChild("read_fresh"), 3);
    EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, u"Software", u"Kept"), 1u);
    EXPECT_EQ(log.Matching("is damaged").size(), 1u);
  }

  // A damaged file found by a write is set aside the same way before the write goes on.
  testsupport::LogCapture log;
  Home home;
  testsupport::MakeDirs(home.Registry());
  testsupport::WriteFile(home.Registry() + "HKCU.reg", "; navconfig registry 1\n[\n");
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"Direct", 9), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"", u"Direct"), 9u);
  EXPECT_EQ(log.Matching("is damaged").size(), 1u);
  EXPECT_EQ(ReadFile(home.Registry() + "HKCU.reg"), "; navconfig registry 1\n[]\n\"Direct\"=dword:00000009\n");
}

TEST(RegistryStore, AChangeThatCannotBeWrittenIsNotKept) {
  if (testsupport::kWindows) GTEST_SKIP() << kStoreOnly;
  Home home;
  HKEY key = Create(HKEY_CURRENT_USER, u"Software");
  ASSERT_EQ(SetDword(key, u"Count", 1), ERROR_SUCCESS);
  const std::string before = ReadFile(home.Registry() + "HKCU.reg");

  platform::InjectFault(platform::FsStep::Rename, platform::FsFault::NoSpace);
  EXPECT_EQ(SetDword(key, u"Count", 2), ERROR_REGISTRY_IO_FAILED);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software", u"Count"), 1u);
  platform::InjectFault(platform::FsStep::Write, platform::FsFault::IoError);
  HKEY created = nullptr;
  EXPECT_EQ(RegCreateKeyExW(key, u"New", 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr),
            ERROR_REGISTRY_IO_FAILED);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"Software\\New", &created), ERROR_FILE_NOT_FOUND);
  platform::InjectFault(platform::FsStep::Sync, platform::FsFault::IoError);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software"), ERROR_REGISTRY_IO_FAILED);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software", u"Count"), 1u);
  EXPECT_EQ(ReadFile(home.Registry() + "HKCU.reg"), before);

  EXPECT_EQ(SetDword(key, u"Count", 2), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software", u"Count"), 2u);
  RegCloseKey(key);
}
