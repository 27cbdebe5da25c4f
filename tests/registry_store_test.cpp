// The registry store behind the Windows-shaped calls: key and value rules, result codes, the store files,
// and what several processes sharing the store see.
#include <gtest/gtest.h>
#include <platform/os.h>
#include <platform/registry.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"

using namespace platform::reg;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// A registry of the test's own.
struct Home {
  TempDir dir;
  ScopedEnv env{"NAVCONFIG_HOME", dir.path().c_str()};
  std::string Registry() const { return dir / "registry/"; }
};

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

// Runs body in a child process and gives its exit status (0 for success); the child never returns here.
int InChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Joins texts (operator+ on a literal and a string upsets GCC 12's -Wrestrict).
std::u16string Cat(std::initializer_list<std::u16string_view> parts) {
  std::u16string out;
  for (auto part : parts) out += part;
  return out;
}

std::u16string Digit(int n) { return std::u16string(1, char16_t(u'0' + n)); }

mode_t Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

}  // namespace

TEST(RegistryStore, TheFolderFollowsTheEnvironment) {
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
  uint32_t disposition = 0;
  HKEY nav = Create(HKEY_CURRENT_USER, u"Software\\Acme\\Navigation", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY same = Create(HKEY_CURRENT_USER, u"SOFTWARE\\acme\\NAVIGATION", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_NE(nav, same);

  EXPECT_EQ(SetDword(nav, u"KeepPercent", 42), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"software\\ACME\\navigation", u"keeppercent"), 42u);
  EXPECT_EQ(SetDword(same, u"KEEPPERCENT", 43), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software\\Acme\\Navigation", u"KeepPercent"), 43u);
  // Empty components are passed over.
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"\\Software\\\\Acme\\Navigation\\", u"KeepPercent"), 43u);

  // Only ASCII letters fold: E-acute and e-acute are different names.
  RegCloseKey(Create(HKEY_CURRENT_USER, u"Caf\u00C9"));
  HKEY key = nullptr;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"CAF\u00C9", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"caf\u00E9", &key), ERROR_FILE_NOT_FOUND);

  // The roots are separate trees in separate files.
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"Software\\Acme", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(HKEY_CLASSES_ROOT, u"Software", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(testsupport::Exists(home.Registry() + "HKLM.reg"));

  std::string text = ReadFile(home.Registry() + "HKCU.reg");
  EXPECT_EQ(text.rfind("; navconfig registry 1\n", 0), 0u) << text;
  EXPECT_NE(text.find("\n[Software\\Acme\\Navigation]\n\"KeepPercent\"=dword:0000002b\n"), std::string::npos) << text;
  EXPECT_EQ(RegCloseKey(nav), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
}

TEST(RegistryStore, OpenCreateDeleteAndCloseGiveTheWindowsCodes) {
  Home home;
  HKEY key = reinterpret_cast<HKEY>(&home);  // must stay untouched by failures
  HKEY untouched = key;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"Software\\Missing", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, untouched);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"x", 0, nullptr, 0, KEY_WRITE, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);

  // Creation makes the intermediate keys.
  RegCloseKey(Create(HKEY_CURRENT_USER, u"A\\B\\C"));
  for (const char16_t* path : {u"A", u"A\\B", u"A\\B\\C"}) {
    EXPECT_EQ(Open(HKEY_CURRENT_USER, path, &key), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // A key opened earlier can be written after other changes; a path below a handle is relative to it.
  HKEY b = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"A\\B", &b, KEY_SET_VALUE), ERROR_SUCCESS);
  RegCloseKey(Create(HKEY_CURRENT_USER, u"A\\Other"));
  EXPECT_EQ(SetDword(b, u"Late", 7), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"A\\B", u"Late"), 7u);
  HKEY a = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"A", &a, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(a, u"B", u"Late"), 7u);

  // Access rights of handles.
  EXPECT_EQ(SetDword(a, u"x", 1), ERROR_ACCESS_DENIED);
  uint32_t size = 4, value = 0;
  EXPECT_EQ(RegQueryValueExW(b, u"Late", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_ACCESS_DENIED);
  HKEY created = nullptr;
  EXPECT_EQ(RegCreateKeyExW(a, u"New", 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"A\\New", &key), ERROR_FILE_NOT_FOUND);
  HKEY writable = Create(HKEY_CURRENT_USER, u"A", nullptr, KEY_WRITE);
  RegCloseKey(Create(writable, u"New\\Deeper"));
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"a\\new\\deeper", &key), ERROR_SUCCESS);
  RegCloseKey(key);

  // Deletion: only keys without sub-keys, and only keys that exist.
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"A"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"A\\B"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"a\\b\\c"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"A\\B\\C"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Nowhere\\Deeper"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(writable, u"New\\Deeper"), ERROR_SUCCESS);

  // A handle whose key is gone reports it, whoever deleted the key.
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"A\\B"), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(b, u"Late", 8), ERROR_KEY_DELETED);
  EXPECT_EQ(Open(b, u"", &key), ERROR_KEY_DELETED);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"A\\B", &key), ERROR_FILE_NOT_FOUND);

  // Closing.
  for (HKEY h : {a, b, writable}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(b), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
  EXPECT_NE(HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE);
  EXPECT_NE(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"RootValue", 5), ERROR_SUCCESS);  // the root still works when "closed"
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"", u"RootValue"), 5u);
}

TEST(RegistryStore, QueriesReportTypeAndSizeAndFillShortBuffersAsFarAsTheyGo) {
  Home home;
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Acme");
  ASSERT_EQ(SetText(key, u"Greeting", u"Hello"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, u"Count", 0x11223344), ERROR_SUCCESS);

  uint32_t type = 99, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Greeting", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);  // five units and the terminator

  uint8_t buf[16];
  std::memset(buf, 0xEE, sizeof buf);
  size = 5;
  type = 99;
  EXPECT_EQ(RegQueryValueExW(key, u"Greeting", nullptr, &type, buf, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::memcmp(buf, u"Hello", 5), 0);
  EXPECT_EQ(buf[5], 0xEE);

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
  EXPECT_EQ(value, 0x3344u);
  size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"Greeting", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(std::memcmp(&value, u"He", 4), 0);

  // Neither data nor size: existence and type only.
  EXPECT_EQ(RegQueryValueExW(key, u"Count", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(RegQueryValueExW(key, u"Count", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
  uint32_t reserved = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Count", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
  type = 99;
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(type, 99u);

  // A text written without its terminator is kept with one; a DWORD must have four bytes.
  EXPECT_EQ(RegSetValueExW(key, u"Bare", 0, REG_SZ, reinterpret_cast<const uint8_t*>(u"abc"), 6), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Bare", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(GetText(HKEY_CURRENT_USER, u"Software\\Acme", u"Bare"), u"abc");
  EXPECT_EQ(RegSetValueExW(key, u"Short", 0, REG_DWORD, buf, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(key, u"Null", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);

  // The default value, and raw bytes of another type.
  EXPECT_EQ(SetText(key, nullptr, u"default"), ERROR_SUCCESS);
  EXPECT_EQ(GetText(HKEY_CURRENT_USER, u"Software\\Acme", u""), u"default");
  const uint8_t blob[] = {0, 1, 0xFF, 0x10};
  EXPECT_EQ(RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(key, u"Blob", nullptr, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(buf, blob, 4), 0);

  // A value of another type replaces the old one under the same name.
  EXPECT_EQ(SetDword(key, u"greeting", 1), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software\\Acme", u"Greeting"), 1u);
  RegCloseKey(key);
}

TEST(RegistryStore, EveryTextSurvivesTheFileAndProcessesSeeEachOthersChanges) {
  Home home;
  const std::u16string texts[] = {
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
  const std::u16string keyName = Cat({u"we[ir]d%41 \u00E9\t", std::u16string(1, char16_t(0xDBFF)), u"=\""});

  // The child starts before anything is stored, so that it reads everything from the file.
  int toChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  pid_t pid = fork();
  if (pid == 0) {
    char c;
    if (read(toChild[0], &c, 1) != 1) _exit(100);
    int wrong = 0;
    std::u16string path = Cat({u"Software\\", keyName});
    for (size_t i = 0; i < std::size(texts); ++i) {
      std::u16string name = Cat({u"v", Digit(static_cast<int>(i)), texts[i].substr(0, 20)});
      if (GetText(HKEY_CURRENT_USER, path.c_str(), name.c_str()) != texts[i]) ++wrong;
    }
    // Now the other way round: a value written here, for the parent's handle opened before.
    HKEY key = nullptr;
    if (Open(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS || SetDword(key, u"FromChild", 77) != 0) ++wrong;
    RegCloseKey(key);
    _exit(wrong);
  }

  std::u16string path = Cat({u"Software\\", keyName});
  HKEY key = Create(HKEY_CURRENT_USER, path.c_str());
  for (size_t i = 0; i < std::size(texts); ++i) {
    std::u16string name = Cat({u"v", Digit(static_cast<int>(i)), texts[i].substr(0, 20)});
    ASSERT_EQ(SetText(key, name.c_str(), texts[i]), ERROR_SUCCESS);
    ASSERT_EQ(GetText(HKEY_CURRENT_USER, path.c_str(), name.c_str()), texts[i]);
  }
  ASSERT_EQ(write(toChild[1], "g", 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "values the child read differently";

  uint32_t value = 0, size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"fromchild", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 77u);

  // A key deleted by another process is gone for this one too.
  EXPECT_EQ(InChild([] { return static_cast<int>(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software")); }),
            static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(InChild([&] { return static_cast<int>(RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str())); }), 0);
  EXPECT_EQ(SetDword(key, u"After", 1), ERROR_KEY_DELETED);
  HKEY other = nullptr;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, path.c_str(), &other), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  close(toChild[0]);
  close(toChild[1]);
}

TEST(RegistryStore, StoreFilesAreTheUsersAlone) {
  TempDir dir;
  ScopedEnv env("NAVCONFIG_HOME", (dir / "a/b/home").c_str());
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Acme");
  ASSERT_EQ(SetDword(key, u"Count", 42), ERROR_SUCCESS);
  RegCloseKey(key);
  for (const char* d : {"a", "a/b", "a/b/home", "a/b/home/registry"}) EXPECT_EQ(Mode(dir / d), 0700u) << d;
  EXPECT_EQ(Mode(dir / "a/b/home/registry/HKLM.reg"), 0600u);
  EXPECT_EQ(Mode(dir / "a/b/home/registry/HKLM.reg.lock"), 0600u);
  EXPECT_EQ(ReadFile(dir / "a/b/home/registry/HKLM.reg"),
            "; navconfig registry 1\n[Software]\n[Software\\Acme]\n\"Count\"=dword:0000002a\n");
  // Nothing else is left in the folder (no temporary files).
  auto names = Names(dir / "a/b/home/registry");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"HKLM.reg", "HKLM.reg.lock"}));
}

TEST(RegistryStore, TwoProcessesWritingAtOnceKeepEachOthersValues) {
  Home home;
  RegCloseKey(Create(HKEY_CURRENT_USER, u"Shared"));
  constexpr int kValues = 40;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    pids[p] = fork();
    if (pids[p] == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(100);  // the parent closes its end: both start together
      HKEY shared = nullptr;
      if (Open(HKEY_CURRENT_USER, u"Shared", &shared) != ERROR_SUCCESS) _exit(101);
      int failures = 0;
      for (int i = 0; i < kValues; ++i) {
        std::u16string name = Cat({u"p", Digit(p), u"_", Digit(i / 10), Digit(i % 10)});
        if (SetDword(shared, name.c_str(), static_cast<uint32_t>(p * 1000 + i)) != ERROR_SUCCESS) ++failures;
        std::u16string own = Cat({u"Shared\\Own", Digit(p), u"\\", name});
        HKEY k = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, own.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != 0)
          ++failures;
        RegCloseKey(k);
      }
      RegCloseKey(shared);
      _exit(failures);
    }
  }
  close(go[0]);
  close(go[1]);
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kValues; ++i) {
      std::u16string name = Cat({u"p", Digit(p), u"_", Digit(i / 10), Digit(i % 10)});
      EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Shared", name.c_str()), static_cast<uint32_t>(p * 1000 + i));
      std::u16string own = Cat({u"Shared\\Own", Digit(p), u"\\", name});
      HKEY k = nullptr;
      EXPECT_EQ(Open(HKEY_CURRENT_USER, own.c_str(), &k), ERROR_SUCCESS);
      RegCloseKey(k);
    }
  }
}

TEST(RegistryStore, ADamagedStoreIsSetAsideLoggedAndTheRootStartsEmpty) {
  const std::string damaged[] = {
      "not a registry\n",
      "; navconfig registry 2\n[Software]\n",
      "; navconfig registry 1\n[Software]\n\"a\"=dword:2a\n",
      "; navconfig registry 1\n[Software]\n\"a\"=sz:bad \\q escape\n",
      "; navconfig registry 1\n[Software]\n\"a\"=sz:\xC3\x28 invalid UTF-8\n",
      "; navconfig registry 1\n[Software\\\\Twice]\n",
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
    auto lines = log.Matching("registry");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("L2 C0 registry:", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(aside[0]), std::string::npos) << lines[0];

    // The root works again, and the new file is a good one.
    key = Create(HKEY_CURRENT_USER, u"Software\\Acme");
    EXPECT_EQ(SetDword(key, u"Fresh", 3), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"Software\\Acme", u"Fresh"), 3u);
    EXPECT_EQ(InChild([] { return static_cast<int>(GetDword(HKEY_CURRENT_USER, u"Software\\Acme", u"Fresh")); }), 3);
    EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, u"Software", u"Kept"), 1u);
    EXPECT_EQ(log.Matching("registry").size(), 1u);
  }

  // A damaged file found by a write is set aside the same way before the write goes on.
  testsupport::LogCapture log;
  Home home;
  testsupport::MakeDirs(home.Registry());
  testsupport::WriteFile(home.Registry() + "HKCU.reg", "; navconfig registry 1\n[\n");
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, u"Direct", 9), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, u"", u"Direct"), 9u);
  EXPECT_EQ(log.Matching("registry").size(), 1u);
  EXPECT_EQ(ReadFile(home.Registry() + "HKCU.reg"), "; navconfig registry 1\n[]\n\"Direct\"=dword:00000009\n");
}

TEST(RegistryStore, AChangeThatCannotBeWrittenIsNotKept) {
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
