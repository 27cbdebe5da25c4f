// The account and service settings end to end: the sign-on stored in user.cfg and recovered in other
// processes, its protected password under tampering, other keys and failures, and the other settings with
// their built-in defaults.
#include <config/account.h>
#include <config/config_api.h>
#include <doroutil/crypt.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store_env.h"

using storetest::StoreTest;
using testsupport::ScopedEnv;

namespace {

struct SignOn {
  bool ok;
  std::string name;
  std::string password;
};

SignOn Get(uint32_t passwordSize = 1024) {
  std::vector<char> name(256, '#');
  std::vector<char> password(passwordSize + 1, '#');
  bool ok = Config_GetSingleSignon(name.data(), 256, password.data(), passwordSize);
  return {ok, name.data(), passwordSize ? std::string(password.data()) : std::string()};
}

// The value of a key in a file's text ("<absent>" when it is not there).
std::string FileValue(const std::string& text, const std::string& key) {
  const std::string wanted = "\"" + key + "\"=\"";
  const size_t at = text.find(wanted);
  if (at == std::string::npos) return "<absent>";
  const size_t start = at + wanted.size();
  return text.substr(start, text.find('"', start) - start);
}

std::string Recover(const std::string& text) {
  char out[1024];
  return DecryptString(text.c_str(), out, sizeof out, 0, 0) ? std::string(out) : "<failed>";
}

// The longest password of these tests: its protected text must fit in the 1023 bytes of the setting, and the
// system's protection on Windows carries a larger header than the libsodium form.
constexpr size_t kLongPassword = testsupport::kWindows ? 400 : 700;

}  // namespace

// A new process started on the configuration folder args[0]: exit code 0 when it reads the sign-on with the
// name args[1] and the password args[2] (or a password of kLongPassword p's when args[2] is "<long>").
NAVCONFIG_TEST_CHILD(read_sign_on) {
  SU_Config(args[0].c_str());
  Config_ResetConfigMgr();
  const std::string password = args[2] == "<long>" ? std::string(kLongPassword, 'p') : args[2];
  const SignOn s = Get();
  return s.ok && s.name == args[1] && s.password == password ? 0 : 1;
}

class Account : public StoreTest {
 protected:
  std::string StoredPassword() const { return FileValue(ReadCfg("user.cfg"), "LoginPassword"); }
  std::string StoredName() const { return FileValue(ReadCfg("user.cfg"), "LoginName"); }
  // Replaces the protected text in user.cfg, as an editor would, and reads the files afresh.
  void EditStoredPassword(const std::string& text) {
    std::string file = ReadCfg("user.cfg");
    const std::string old = "\"LoginPassword\"=\"" + StoredPassword() + "\"";
    file.replace(file.find(old), old.size(), "\"LoginPassword\"=\"" + text + "\"");
    WriteCfg("user.cfg", file);
    Reload();
  }
};

TEST_F(Account, TheSignOnComesBackInAnotherProcessAndTheFileNeverHoldsThePassword) {
  const std::string password = "s3cret pass\xC3\xA9";
  EXPECT_TRUE(Config_SetSingleSignon("alice", password, false));
  EXPECT_EQ(StoredName(), "alice");
  const std::string stored = StoredPassword();
  ASSERT_NE(stored, "<absent>");
  EXPECT_EQ(ReadCfg("user.cfg").find("s3cret"), std::string::npos);
  EXPECT_EQ(Recover(stored), password);

  // A new process, reading the files and the key from disk.
  EXPECT_EQ(testsupport::RunChild("read_sign_on", {configDir, "alice", password}), 0);
  SignOn s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.name, "alice");
  EXPECT_EQ(s.password, password);

  // A long password survives too: its protected text is longer than a plain settings read of 510 bytes.
  const std::string longPassword(kLongPassword, 'p');
  EXPECT_TRUE(Config_SetSingleSignon("", longPassword, false));
  EXPECT_GT(StoredPassword().size(), 510u);
  EXPECT_EQ(StoredName(), "alice");
  EXPECT_EQ(testsupport::RunChild("read_sign_on", {configDir, "alice", "<long>"}), 0);
}

TEST_F(Account, WithoutTheKeyOrWithAChangedTextThePasswordIsNotRecoveredAndIsTriedAgain) {
  ASSERT_TRUE(Config_SetSingleSignon("bob", "hunter2", false));
  const std::string stored = StoredPassword();

  // Another user's key (another home folder): nothing comes back, and nothing false is kept. (On Windows the
  // key is the Windows user's, which a test cannot change.)
  if (!testsupport::kWindows) {
    testsupport::TempDir otherHome;
    ScopedEnv home("NAVCONFIG_HOME", otherHome.path().c_str());
    EXPECT_EQ(Recover(stored), "<failed>");
    for (int i = 0; i < 2; ++i) {
      SignOn s = Get();
      EXPECT_FALSE(s.ok);
      EXPECT_EQ(s.name, "bob");
      EXPECT_EQ(s.password, "");
    }
  }
  // With the key back the next call tries again and succeeds.
  SignOn s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.password, "hunter2");

  // Changed texts fail: one character flipped, cut short, another format, garbage.
  ASSERT_TRUE(Config_SetSingleSignon("", "hunter2", false));  // drops the password kept in memory
  const std::string fresh = StoredPassword();
  std::string flipped = fresh;
  flipped[fresh.size() / 2] = flipped[fresh.size() / 2] == 'A' ? 'B' : 'A';
  for (const std::string& bad : {flipped, fresh.substr(0, fresh.size() - 4), "v2" + fresh.substr(2),
                                 std::string("hunter2"), std::string("x")}) {
    EditStoredPassword(bad);
    for (int i = 0; i < 2; ++i) {
      SignOn t = Get();
      EXPECT_FALSE(t.ok) << bad;
      EXPECT_EQ(t.password, "") << bad;
      EXPECT_EQ(t.name, "bob") << bad;
    }
  }
  EditStoredPassword(fresh);
  s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.password, "hunter2");
}

TEST_F(Account, APasswordThatCannotBeProtectedLeavesTheStoredOneAsItWas) {
  ASSERT_TRUE(Config_SetSingleSignon("carol", "first", false));
  const std::string stored = StoredPassword();

  // One byte longer than the longest password that account.h promises to protect.
  EXPECT_FALSE(Config_SetSingleSignon("", std::string(kLongPassword + 1, 'x'), false));
  EXPECT_EQ(StoredPassword(), stored);
  // No key can be had: the home folder cannot be made (on Windows the system keeps the key: a password too
  // long to fit is the failure there). The name is stored all the same.
  if (testsupport::kWindows) {
    EXPECT_FALSE(Config_SetSingleSignon("dave", std::string(800, 's'), false));
  } else {
    ScopedEnv home("NAVCONFIG_HOME", (Cfg("user.cfg") + "/home").c_str());
    EXPECT_FALSE(Config_SetSingleSignon("dave", "second", false));
  }
  EXPECT_EQ(StoredPassword(), stored);
  EXPECT_EQ(StoredName(), "dave");
  EXPECT_EQ(Recover(StoredPassword()), "first");

  // The old password comes back from the settings, here and in a new process.
  EXPECT_EQ(testsupport::RunChild("read_sign_on", {configDir, "dave", "first"}), 0);
  SignOn s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.password, "first");
  // A failure does not drop the password kept in memory either.
  EXPECT_FALSE(Config_SetSingleSignon("", std::string(800, 'x'), false));
  s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.password, "first");
}

TEST_F(Account, EmptyPasswordsClearingAndCallersBuffers) {
  // Nothing stored yet: an empty sign-on, recovered.
  SignOn s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.name, "");
  EXPECT_EQ(s.password, "");

  ASSERT_TRUE(Config_SetSingleSignon("erin", "topsecret", false));
  // Short buffers, first from the settings and then from memory: cut, terminated, the rest untouched.
  for (int pass = 0; pass < 2; ++pass) {
    char name[8];
    char password[8];
    std::memset(name, '#', sizeof name);
    std::memset(password, '#', sizeof password);
    EXPECT_TRUE(Config_GetSingleSignon(name, 3, password, 4));
    EXPECT_STREQ(name, "er");
    EXPECT_STREQ(password, "top");
    EXPECT_EQ(name[3], '#');
    EXPECT_EQ(password[4], '#');
    // Size 0 writes nothing; a null name buffer is skipped.
    std::memset(name, '#', sizeof name);
    std::memset(password, '#', sizeof password);
    EXPECT_TRUE(Config_GetSingleSignon(name, 0, password, 0));
    EXPECT_EQ(name[0], '#');
    EXPECT_EQ(password[0], '#');
    EXPECT_TRUE(Config_GetSingleSignon(nullptr, 100, password, sizeof password));
    EXPECT_STREQ(password, "topsecr");
  }
  // What is kept in memory is the whole password, not what the first caller's buffer held.
  s = Get();
  EXPECT_EQ(s.password, "topsecret");

  // An empty password with a name: the name is stored, the password and the copy in memory stay.
  const std::string stored = StoredPassword();
  EXPECT_FALSE(Config_SetSingleSignon("frank", "", false));
  EXPECT_EQ(StoredName(), "frank");
  EXPECT_EQ(StoredPassword(), stored);
  s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.name, "frank");
  EXPECT_EQ(s.password, "topsecret");

  // Clearing empties both settings and forgets the password in memory.
  EXPECT_FALSE(Config_SetSingleSignon("ignored", "ignored too", true));
  EXPECT_EQ(StoredName(), "");
  EXPECT_EQ(StoredPassword(), "");
  s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.name, "");
  EXPECT_EQ(s.password, "");
  Reload();
  s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.password, "");
}

TEST_F(Account, ServiceSettingsWithTheirDefaultsAndStoredValues) {
  // Built-in defaults: the update mode is off (UpdaterEnabled is 0), the ports are 80, 9880 and 8080.
  EXPECT_FALSE(Config_IsUpdateMode());
  TVector<long> ports;
  EXPECT_TRUE(Config_GetAvailablePorts(ports));
  EXPECT_EQ(std::vector<long>(ports.begin(), ports.end()), (std::vector<long>{80, 9880, 8080}));
  OROustring user("old"), token("old"), secret("old");
  EXPECT_TRUE(Config_GetTwitterAccount(user, token, secret));
  EXPECT_TRUE(user.empty() && token.empty() && secret.empty());

  Config_SetIntVal("Data Updates", "UpdaterEnabled", 1);
  EXPECT_TRUE(Config_IsUpdateMode());
  Config_SetIntVal("User Settings", "UseMapUpdate", 0);
  EXPECT_FALSE(Config_IsUpdateMode());
  Config_SetIntVal("User Settings", "UseMapUpdate", 2);
  EXPECT_TRUE(Config_IsUpdateMode());

  // Pieces that are not numbers are passed over; the numbers are appended to what the vector holds.
  Config_SetStrVal("TCP", "Ports", "443;web;8443");
  TVector<long> more;
  more.Add(1);
  EXPECT_TRUE(Config_GetAvailablePorts(more));
  EXPECT_EQ(std::vector<long>(more.begin(), more.end()), (std::vector<long>{1, 443, 8443}));
  for (const char* text : {"", "none", ";;"}) {
    Config_SetStrVal("TCP", "Ports", text);
    TVector<long> none;
    EXPECT_FALSE(Config_GetAvailablePorts(none)) << text;
    EXPECT_TRUE(none.IsEmpty()) << text;
  }

  Config_SetStrVal("Twitter", "Username", "navfan");
  Config_SetStrVal("Twitter", "oauth_token", "tok-123");
  Config_SetStrVal("Twitter", "oauth_token_secret", "sec-456");
  Reload();
  EXPECT_TRUE(Config_GetTwitterAccount(user, token, secret));
  EXPECT_STREQ(user.c_str(), "navfan");
  EXPECT_STREQ(token.c_str(), "tok-123");
  EXPECT_STREQ(secret.c_str(), "sec-456");
}
