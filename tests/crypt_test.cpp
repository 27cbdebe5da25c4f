// Protection of stored passwords: round trips, the form of the protected text, tampering, other keys, the
// key file and the size limits that the sign-on settings rely on.
#include <doroutil/crypt.h>
#include <gtest/gtest.h>
#include <platform/faults.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "support/file_kinds.h"
#include "support/test_support.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// What a call left in an output of outSize bytes (and guard bytes past it): the text, or "<failed>" when it
// failed and left the empty text (nothing at all for a size of 0); anything else when it wrote where it must
// not.
std::string Output(bool ok, const std::vector<char>& out, uint32_t outSize) {
  if (std::count(out.begin() + outSize, out.end(), 'J') != 16) return "<wrote past the output>";
  if (ok) return out.data();
  if (outSize == 0) return out[0] == 'J' ? "<failed>" : "<wrote into an empty output>";
  const auto untouched = std::count(out.begin() + 1, out.end(), 'J');
  return out[0] == '\0' && untouched + 1 == static_cast<long>(out.size()) ? "<failed>" : "<failed, output not emptied>";
}

std::string Protect(const std::string& plain, uint32_t outSize = 1023) {
  std::vector<char> out(outSize + 16, 'J');
  return Output(EncryptString(plain.c_str(), out.data(), outSize, 0, 0), out, outSize);
}

std::string Recover(const std::string& text, uint32_t outSize = 1024) {
  std::vector<char> out(outSize + 16, 'J');
  return Output(DecryptString(text.c_str(), out.data(), outSize, 0, 0), out, outSize);
}

// The longest password whose protected text fits in the 1023 bytes of the sign-on settings: the system's
// protection on Windows carries a larger header than the libsodium form.
constexpr size_t kLongestPassword = testsupport::kWindows ? 400 : 700;

constexpr const char* kNoKeyFile = "Windows keeps the user's key itself: there is no key file";

}  // namespace

TEST(Crypt, APasswordComesBackFromItsPrintableTextNoChangedTextDecryptsAndSizesAreKept) {
  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", (dir / "home").c_str());
  const std::string password = "pa\"ss=wo\r\nrd \xC3\xA9 ;#[x]";
  const std::string text = Protect(password);
  EXPECT_EQ(text.find(password), std::string::npos);
  for (char c : text) EXPECT_TRUE(c > ' ' && c < 0x7F && !std::strchr("\"='\\;", c)) << text;
  EXPECT_EQ(Recover(text), password);
  // Each protection is a new one, and each gives the password back.
  const std::string again = Protect(password);
  EXPECT_TRUE(again != text && Recover(again) == password);
  // The key is the user's alone.
  if (!testsupport::kWindows) {
    EXPECT_EQ(testsupport::FileMode(dir / "home"), 0700u);
    EXPECT_EQ(testsupport::FileMode(dir / "home/secret.key"), 0600u);
  }

  // Every single changed character, cut or added one is detected.
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.";
  for (size_t i = 0; i < text.size(); ++i) {
    std::string changed = text;
    changed[i] = alphabet[(alphabet.find(text[i]) + 1) % alphabet.size()];
    ASSERT_EQ(Recover(changed), "<failed>") << "position " << i;
  }
  for (const std::string& bad : {text.substr(0, text.size() - 1), text.substr(0, 10), text + "A", text + "\n",
                                 password, std::string("v1."), std::string("w1."), std::string(100000, 'A')})
    EXPECT_EQ(Recover(bad), "<failed>") << bad.substr(0, 80);

  // Empty texts.
  EXPECT_EQ(Recover(""), "");
  char out[8] = "junk";
  EXPECT_TRUE(DecryptString(nullptr, out, sizeof out, 0, 0) && out[0] == '\0');
  EXPECT_EQ(Recover(Protect("")), "");

  // A long password fits in the 1023 bytes that the sign-on settings give; a byte more is refused, also where
  // its text would fit.
  const std::string longest(kLongestPassword, 'p');
  EXPECT_EQ(Recover(Protect(longest, 1023)), longest);
  EXPECT_EQ(Protect(longest + "p", 4096), "<failed>");

  // The output must hold the text (or the password) and its terminator; short of that it is left empty.
  const std::string secret = Protect("twelve bytes");
  const auto size = static_cast<uint32_t>(secret.size());
  EXPECT_EQ(Recover(Protect("twelve bytes", size + 1)), "twelve bytes");
  EXPECT_EQ(Protect("twelve bytes", size), "<failed>");
  EXPECT_EQ(Recover(secret, 13), "twelve bytes");
  for (uint32_t small : {12u, 5u, 0u}) EXPECT_EQ(Recover(secret, small), "<failed>") << small;
  EXPECT_EQ(Protect("x", 0), "<failed>");
  std::vector<char> buf(64, 'J');
  EXPECT_FALSE(EncryptString(nullptr, buf.data(), 48, 0, 0));
  EXPECT_EQ(Output(false, buf, 48), "<failed>");
}

// A key file that is not a key (shorter or longer) is set aside and replaced, under a name that no copy set
// aside before (in the same second) has taken. One that is not the user's own regular file is neither used nor
// replaced, and nothing waits on a FIFO; one that others may read or write is made the user's alone, when a
// password is read or stored.
TEST(Crypt, OnlyTheUsersOwnKeyFileIsUsedAndItIsMadePrivate) {
  if (testsupport::kWindows) GTEST_SKIP() << kNoKeyFile;
  {  // one that cannot be moved aside is left as it is, and no new key is made
    TempDir dir;
    ScopedEnv home("NAVCONFIG_HOME", dir.path().c_str());
    testsupport::LogCapture log;
    testsupport::WriteFile(dir / "secret.key", "short");
    platform::faults::Fail(platform::faults::Call::Rename, EACCES);
    EXPECT_EQ(Protect("x"), "<failed>");
    EXPECT_EQ(ReadFile(dir / "secret.key"), "short");
    EXPECT_EQ(log.Matching("secret.key is not a key and cannot be moved aside: rename secret.key: " +
                           std::string(std::strerror(EACCES))).size(), 1u);
  }

  TempDir dir;
  ScopedEnv home("NAVCONFIG_HOME", dir.path().c_str());
  const std::string key = dir / "secret.key";
  const long long now = static_cast<long long>(std::time(nullptr));
  for (long long t = now; t < now + 3; ++t) testsupport::WriteFile(key + ".damaged-" + std::to_string(t), "earlier");
  for (const std::string& wrong : {std::string("short"), std::string(33, 'k')}) {
    testsupport::LogCapture log;
    testsupport::WriteFile(key, wrong);
    EXPECT_EQ(Recover(Protect("x")), "x");
    EXPECT_EQ(ReadFile(key).size(), 32u);
    EXPECT_EQ(log.Matching("secret.key is not a key; moved to secret.key.damaged-").size(), 1u);
  }
  std::vector<std::string> aside;
  for (const std::string& name : testsupport::Listing(dir.path()))
    if (name.find(".damaged-") != std::string::npos) {
      aside.push_back(ReadFile(dir / name));
      testsupport::RemoveAll(dir / name);
    }
  std::sort(aside.begin(), aside.end());
  EXPECT_EQ(aside, (std::vector<std::string>{"earlier", "earlier", "earlier", std::string(33, 'k'), "short"}));

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
