// Threads sharing the registry store and the password protection (run under ThreadSanitizer too).
#include <doroutil/crypt.h>
#include <gtest/gtest.h>
#include <platform/registry.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "registry_support.h"
#include "support/test_support.h"

using namespace platform::reg;

namespace {

std::u16string Name(const char16_t* stem, int a, int b) {
  std::u16string s = stem;
  s += char16_t(u'0' + a);
  s += u'_';
  for (char c : std::to_string(b)) s += char16_t(c);
  return s;
}

}  // namespace

TEST(RegistryConcurrency, ThreadsWritingAndReadingAtOnceKeepEveryValue) {
  regtest::Home home;
  const HKEY user = home.user;
  HKEY shared = nullptr;
  ASSERT_EQ(RegCreateKeyExW(user, u"Shared", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &shared, nullptr),
            ERROR_SUCCESS);

  constexpr int kThreads = 4;
  constexpr int kValues = 25;
  std::atomic<int> failures{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kValues; ++i) {
        // One shared handle, and keys of the thread's own created, written and read back.
        uint32_t v = static_cast<uint32_t>(t * 1000 + i);
        if (RegSetValueExW(shared, Name(u"v", t, i).c_str(), 0, REG_DWORD, reinterpret_cast<uint8_t*>(&v), 4) != 0)
          ++failures;
        HKEY own = nullptr;
        std::u16string path = Name(u"Own", t, i % 5);
        if (RegCreateKeyExW(user, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &own, nullptr) !=
            0) {
          ++failures;
          continue;
        }
        uint32_t back = 0, size = 4;
        if (RegSetValueExW(own, u"Last", 0, REG_DWORD, reinterpret_cast<uint8_t*>(&v), 4) != 0 ||
            RegQueryValueExW(own, u"Last", nullptr, nullptr, reinterpret_cast<uint8_t*>(&back), &size) != 0 ||
            back != v)
          ++failures;
        RegCloseKey(own);
      }
    });
  }
  // A reader and a thread that deletes and creates a key that the reader opens.
  std::thread reader([&] {
    while (!stop.load()) {
      HKEY key = nullptr;
      long rc = RegOpenKeyExW(user, u"Flicker", 0, KEY_QUERY_VALUE, &key);
      if (rc == ERROR_SUCCESS) {
        uint32_t size = 0;
        rc = RegQueryValueExW(key, u"x", nullptr, nullptr, nullptr, &size);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && rc != ERROR_KEY_DELETED) ++failures;
        RegCloseKey(key);
      } else if (rc != ERROR_FILE_NOT_FOUND) {
        ++failures;
      }
    }
  });
  std::thread flicker([&] {
    for (int i = 0; i < 20; ++i) {
      HKEY key = nullptr;
      if (RegCreateKeyExW(user, u"Flicker", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != 0)
        ++failures;
      RegCloseKey(key);
      if (RegDeleteKeyW(user, u"Flicker") != ERROR_SUCCESS) ++failures;
    }
  });
  for (auto& w : writers) w.join();
  flicker.join();
  stop = true;
  reader.join();
  EXPECT_EQ(failures.load(), 0);

  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kValues; ++i) {
      uint32_t v = 0, size = 4;
      EXPECT_EQ(
          RegQueryValueExW(shared, Name(u"v", t, i).c_str(), nullptr, nullptr, reinterpret_cast<uint8_t*>(&v), &size),
          ERROR_SUCCESS);
      EXPECT_EQ(v, static_cast<uint32_t>(t * 1000 + i));
    }
  }
  // Every value is in the store's file too, not only in this process.
  if (!testsupport::kWindows) {
    std::string file = testsupport::ReadFile(home.Registry() + "HKCU.reg");
    EXPECT_NE(file.find("\"v3_24\"=dword:00000bd0"), std::string::npos);
    EXPECT_EQ(file.find("Flicker"), std::string::npos);
  }
  RegCloseKey(shared);
}

TEST(CryptConcurrency, ThreadsProtectingPasswordsAtOnceShareOneKey) {
  testsupport::TempDir dir;
  testsupport::ScopedEnv home("NAVCONFIG_HOME", (dir / "fresh").c_str());
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        std::string password = "password " + std::to_string(t) + "/" + std::to_string(i);
        char text[1024], back[256];
        if (!EncryptString(password.c_str(), text, sizeof text - 1, 0, 0) ||
            !DecryptString(text, back, sizeof back, 0, 0) || password != back)
          ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}
