// The account and service settings end to end: the sign-on stored in user.cfg and recovered in other
// processes, its protected password under tampering, other keys and failures, and the other settings with
// their built-in defaults.
#include <config/account.h>
#include <config/config_api.h>
#include <doroutil/crypt.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Runs a check in a child process; true when it passed there.
template <typename F>
bool InChild(F check) {
  pid_t pid = fork();
  if (pid == 0) _exit(check() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

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
  EXPECT_TRUE(InChild([&] {
    Config_Reset();
    SignOn s = Get();
    return s.ok && s.name == "alice" && s.password == password;
  }));
  SignOn s = Get();
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.name, "alice");
  EXPECT_EQ(s.password, password);

  // A long password survives too: its protected text is longer than a plain settings read of 510 bytes.
  const std::string longPassword(700, 'p');
  EXPECT_TRUE(Config_SetSingleSignon("", longPassword, false));
  EXPECT_GT(StoredPassword().size(), 900u);
  EXPECT_EQ(StoredName(), "alice");
  EXPECT_TRUE(InChild([&] {
    Config_Reset();
    SignOn child = Get();
    return child.ok && child.password == longPassword;
  }));
}

TEST_F(Account, WithoutTheKeyOrWithAChangedTextThePasswordIsNotRecoveredAndIsTriedAgain) {
  ASSERT_TRUE(Config_SetSingleSignon("bob", "hunter2", false));
  const std::string stored = StoredPassword();

  // Another user's key (another home folder): nothing comes back, and nothing false is kept.
  {
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

  // Too long for the protected form to fit.
  EXPECT_FALSE(Config_SetSingleSignon("", std::string(800, 'x'), false));
  EXPECT_EQ(StoredPassword(), stored);
  // No key can be had: the home folder cannot be made. The name is stored all the same.
  {
    ScopedEnv home("NAVCONFIG_HOME", (Cfg("user.cfg") + "/home").c_str());
    EXPECT_FALSE(Config_SetSingleSignon("dave", "second", false));
  }
  EXPECT_EQ(StoredPassword(), stored);
  EXPECT_EQ(StoredName(), "dave");
  EXPECT_EQ(Recover(StoredPassword()), "first");

  // The old password comes back from the settings, here and in a new process.
  EXPECT_TRUE(InChild([] {
    Config_Reset();
    SignOn child = Get();
    return child.ok && child.name == "dave" && child.password == "first";
  }));
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
