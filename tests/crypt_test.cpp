// Protection of stored passwords: round trips, the form of the protected text, tampering, other keys and the
// size limits that the sign-on settings rely on.
#include <doroutil/crypt.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/special_files.h"
#include "support/test_support.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

std::string Protect(const std::string& plain, uint32_t outSize = 1023) {
  std::vector<char> out(outSize + 1, 'J');
  if (!EncryptString(plain.c_str(), out.data(), outSize, 0, 0)) return "<failed>";
  return out.data();
}

// The password, or "<failed>".
std::string Recover(const std::string& text, uint32_t outSize = 1024) {
  std::vector<char> out(outSize + 1, 'J');
  bool ok = DecryptString(text.c_str(), out.data(), outSize, 0, 0);
  if (!ok) return out[0] == '\0' ? "<failed>" : "<failed, output not cleared>";
  return out.data();
}

// The longest password whose protected text fits in the 1023 bytes of the sign-on settings: the system's
// protection on Windows carries a larger header than the libsodium form.
constexpr size_t kLongestPassword = testsupport::kWindows ? 400 : 700;

constexpr const char* kNoKeyFile = "Windows keeps the user's key itself: there is no key file";

}  // namespace

// Recovers the password from the protected text args[0]: exit code 0 when it is args[1].
NAVCONFIG_TEST_CHILD(recover) { return args.size() == 2 && Recover(args[0]) == args[1] ? 0 : 1; }

// Waits for the file args[0], then protects "secret <args[1]>" and writes the text to the file args[2].
NAVCONFIG_TEST_CHILD(protect) {
  for (int i = 0; i < 20000 && !testsupport::Exists(args[0]); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string text = Protect("secret " + args[1]);
  testsupport::WriteFile(args[2], text);
  return text == "<failed>" ? 1 : 0;
}

TEST(Crypt, APasswordComesBackFromItsPrintableProtectedText) {
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", (dir / "home").c_str());
  const std::string password = "pa\"ss=wo\r\nrd \xC3\xA9 ;#[x]";
  const std::string text = Protect(password);
  ASSERT_NE(text, "<failed>");
  EXPECT_NE(text, password);
  EXPECT_EQ(text.find(password), std::string::npos);
  for (char c : text) {
    EXPECT_TRUE(c > ' ' && c < 0x7F) << text;
    EXPECT_TRUE(c != '"' && c != '=' && c != '\'' && c != '\\' && c != ';') << text;
  }
  EXPECT_EQ(Recover(text), password);

  // Each protection is a new one, and each gives the password back.
  const std::string again = Protect(password);
  EXPECT_NE(again, text);
  EXPECT_EQ(Recover(again), password);

  // The key is the user's alone, and another process (which reads it from the file) recovers the password.
  if (!testsupport::kWindows) {
    EXPECT_EQ(testsupport::FileMode(dir / "home"), 0700u);
    EXPECT_EQ(testsupport::FileMode(dir / "home/secret.key"), 0600u);
    EXPECT_EQ(ReadFile(dir / "home/secret.key").size(), 32u);
  }
  EXPECT_EQ(testsupport::RunChild("recover", {text, password}), 0);
}

TEST(Crypt, TwoProcessesMakingTheKeyAtOnceAgreeOnIt) {
  if (testsupport::kWindows) GTEST_SKIP() << kNoKeyFile;
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", (dir / "home").c_str());
  std::vector<std::unique_ptr<testsupport::ChildProcess>> children;
  for (int p = 0; p < 4; ++p) {
    children.push_back(std::make_unique<testsupport::ChildProcess>(
        "protect", std::vector<std::string>{dir / "go", std::to_string(p), dir / ("text" + std::to_string(p))}));
  }
  testsupport::WriteFile(dir / "go", "");  // all start together
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
  for (int p = 0; p < 4; ++p)
    EXPECT_EQ(Recover(ReadFile(dir / ("text" + std::to_string(p)))), "secret " + std::to_string(p));
}

TEST(Crypt, ChangedTextsDoNotDecrypt) {
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", (dir / "a").c_str());
  const std::string text = Protect("correct horse");
  ASSERT_NE(text, "<failed>");

  // Every single changed character, cut or added one is detected.
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.";
  for (size_t i = 0; i < text.size(); ++i) {
    std::string changed = text;
    changed[i] = alphabet[(alphabet.find(text[i]) + 1) % alphabet.size()];
    ASSERT_EQ(Recover(changed), "<failed>") << "position " << i;
  }
  EXPECT_EQ(Recover(text.substr(0, text.size() - 1)), "<failed>");
  EXPECT_EQ(Recover(text.substr(0, 10)), "<failed>");
  EXPECT_EQ(Recover(text + "A"), "<failed>");
  EXPECT_EQ(Recover(text + "\n"), "<failed>");
  EXPECT_EQ(Recover("correct horse"), "<failed>");
  EXPECT_EQ(Recover("v1."), "<failed>");
  EXPECT_EQ(Recover("w1."), "<failed>");
  EXPECT_EQ(Recover(std::string(100000, 'A')), "<failed>");
  EXPECT_EQ(Recover(text), "correct horse");
}

TEST(Crypt, TextsOfOtherKeysDoNotDecrypt) {
  if (testsupport::kWindows) GTEST_SKIP() << kNoKeyFile << ", and a test cannot act as another Windows user";
  TempDir dir;
  std::string text;
  {
    ScopedEnv home("NAVCONFIG_HOME", (dir / "a").c_str());
    text = Protect("correct horse");
    ASSERT_NE(text, "<failed>");
  }
  {
    // Another user's key.
    ScopedEnv home("NAVCONFIG_HOME", (dir / "b").c_str());
    EXPECT_EQ(Recover(text), "<failed>");
    EXPECT_FALSE(testsupport::Exists(dir / "b/secret.key"));  // decrypting makes no key
    EXPECT_NE(Protect("x"), "<failed>");
    EXPECT_EQ(Recover(text), "<failed>");
  }
  {
    // The same user after the key file was removed.
    ScopedEnv home("NAVCONFIG_HOME", (dir / "a").c_str());
    EXPECT_EQ(Recover(text), "correct horse");
    std::filesystem::remove(dir / "a/secret.key");
    EXPECT_EQ(Recover(text), "<failed>");
    EXPECT_NE(Protect("x"), "<failed>");
    EXPECT_EQ(Recover(text), "<failed>");
  }
}

TEST(Crypt, EmptyTextsAndSizeLimits) {
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", dir.path().c_str());
  EXPECT_EQ(Recover(""), "");
  char out[8] = "junk";
  EXPECT_TRUE(DecryptString(nullptr, out, sizeof out, 0, 0));
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(Recover(Protect("")), "");

  // A long password fits in the 1023 bytes that the sign-on settings give; a byte more is refused, also where
  // its text would fit.
  const std::string longest(kLongestPassword, 'p');
  const std::string text = Protect(longest, 1023);
  ASSERT_NE(text, "<failed>");
  EXPECT_LE(text.size(), 1022u);
  EXPECT_EQ(Recover(text), longest);
  EXPECT_EQ(Protect(longest + "p", 1023), "<failed>");
  EXPECT_EQ(Protect(longest + "p", 4096), "<failed>");

  // Too small an output fails without writing past it, and leaves the empty text.
  std::vector<char> buf(64, 'J');
  EXPECT_FALSE(EncryptString(std::string(2000, 'p').c_str(), buf.data(), 32, 0, 0));
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(std::string(buf.begin() + 1, buf.end()), std::string(63, 'J'));
  EXPECT_EQ(Protect("short", 20), "<failed>");
  EXPECT_FALSE(EncryptString("x", buf.data(), 0, 0, 0));
  EXPECT_FALSE(EncryptString(nullptr, buf.data(), 64, 0, 0));

  const std::string secret = Protect("twelve bytes");
  EXPECT_EQ(Recover(secret, 12), "<failed>");
  EXPECT_EQ(Recover(secret, 13), "twelve bytes");
  std::fill(buf.begin(), buf.end(), 'J');
  EXPECT_FALSE(DecryptString(secret.c_str(), buf.data(), 5, 0, 0));
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(std::string(buf.begin() + 1, buf.end()), std::string(63, 'J'));
  EXPECT_FALSE(DecryptString(secret.c_str(), buf.data(), 0, 0, 0));
  EXPECT_EQ(buf[0], '\0');
}

// A key file that is not the user's own regular file is neither used nor replaced, and nothing waits on a
// FIFO; one that others may read or write is made the user's alone, when a password is read or stored.
TEST(Crypt, OnlyTheUsersOwnKeyFileIsUsedAndItIsMadePrivate) {
  if (testsupport::kWindows) GTEST_SKIP() << kNoKeyFile;
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", dir.path().c_str());
  const std::string key = dir / "secret.key";
  const std::string text = Protect("x");
  const std::string keyBytes = ReadFile(key);
  for (const bool storing : {false, true}) {
    testsupport::LogCapture log;
    ASSERT_TRUE(testsupport::SetFileMode(key, storing ? 0640 : 0604));
    EXPECT_EQ(storing ? Recover(Protect("y")) : Recover(text), storing ? "y" : "x");
    EXPECT_EQ(testsupport::FileMode(key), 0600u);
    EXPECT_EQ(log.Matching("secret.key could be read or written by other users; its mode is now 0600").size(), 1u);
    EXPECT_EQ(Recover(text), "x");
    EXPECT_EQ(log.Lines().size(), 1u);
  }

  const std::pair<const char*, std::function<bool()>> cases[] = {
      {"secret.key is a FIFO, not a regular file", [&] { return testsupport::MakeFifo(key); }},
      {"secret.key belongs to another user",
       [&] { testsupport::WriteFile(key, keyBytes); return testsupport::GiveToAnotherUser(key); }},
  };
  for (const auto& [message, make] : cases) {
    SCOPED_TRACE(message);
    testsupport::RemoveAll(key);
    if (!make()) {
      ASSERT_FALSE(testsupport::RunsAsRoot());
      std::printf("case skipped, %s: %s\n", message, testsupport::kNotRoot);
      continue;
    }
    const std::string kind = testsupport::KindAt(key);
    testsupport::LogCapture log;
    testsupport::FifoGuard guard(key);
    EXPECT_EQ(Recover(text), "<failed>");
    EXPECT_EQ(Protect("z"), "<failed>");
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(testsupport::KindAt(key), kind);
    EXPECT_EQ(kind == "regular" ? ReadFile(key) : keyBytes, keyBytes);
    EXPECT_EQ(log.Matching(message).size(), 2u);
    EXPECT_EQ(testsupport::Listing(dir.path()), (std::vector<std::string>{"secret.key", "secret.key.lock"}));
  }
}

TEST(Crypt, AKeyFileThatIsNoKeyIsSetAsideAndReplaced) {
  if (testsupport::kWindows) GTEST_SKIP() << kNoKeyFile;
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", dir.path().c_str());
  testsupport::LogCapture log;
  testsupport::WriteFile(dir / "secret.key", "short");
  EXPECT_EQ(Recover(Protect("x")), "x");
  EXPECT_EQ(ReadFile(dir / "secret.key").size(), 32u);
  int aside = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) {
    if (e.path().filename().string().rfind("secret.key.damaged-", 0) == 0) {
      ++aside;
      EXPECT_EQ(ReadFile(e.path().string()), "short");
    }
  }
  EXPECT_EQ(aside, 1);
  EXPECT_EQ(log.Matching("secret.key is not a key").size(), 1u);
}
