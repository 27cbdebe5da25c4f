// The account and service settings end to end: the sign-on stored in user.cfg and recovered in other
// processes, its protected password under tampering, other keys and failures, and the other settings with
// their built-in defaults.
#include <config/account.h>
#include <config/config_api.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "store_env.h"

using testsupport::ScopedEnv;

namespace {

using SignOn = std::tuple<bool, std::string, std::string>;  // the answer, the name and the password

SignOn Get() {
  std::vector<char> name(256, '#'), password(1025, '#');
  const bool ok = Config_GetSingleSignon(name.data(), 256, password.data(), 1024);
  return {ok, name.data(), password.data()};
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
  return Get() == SignOn{true, args[1], password} ? 0 : 1;
}

class Account : public storetest::StoreTest {
 protected:
  // The value of a setting of [ClientInfo] as user.cfg holds it ("<absent>" when it is not there).
  std::string Stored(const std::string& key) const {
    const std::string text = Block("user.cfg", "[ClientInfo]"), wanted = "\"" + key + "\"=\"";
    const size_t at = text.find(wanted);
    if (at == std::string::npos) return "<absent>";
    return text.substr(at + wanted.size(), text.find('"', at + wanted.size()) - at - wanted.size());
  }
};

TEST_F(Account, TheSignOnComesBackElsewhereIntoAnyBufferAndTheFileNeverHoldsThePassword) {
  EXPECT_EQ(Get(), (SignOn{true, "", ""}));  // nothing stored yet
  const std::string password = "s3cret pass\xC3\xA9";
  EXPECT_TRUE(Config_SetSingleSignon("alice", password, false));
  EXPECT_EQ(Stored("LoginName"), "alice");
  EXPECT_EQ(ReadCfg("user.cfg").find("s3cret"), std::string::npos);
  EXPECT_EQ(testsupport::RunChild("read_sign_on", {configDir, "alice", password}), 0);
  EXPECT_EQ(Get(), (SignOn{true, "alice", password}));

  // A long password survives too: its protected text is longer than a plain settings read of 510 bytes.
  EXPECT_TRUE(Config_SetSingleSignon("", std::string(kLongPassword, 'p'), false));
  EXPECT_GT(Stored("LoginPassword").size(), 510u);
  EXPECT_EQ(Stored("LoginName"), "alice");
  EXPECT_EQ(testsupport::RunChild("read_sign_on", {configDir, "alice", "<long>"}), 0);

  // Empty passwords and clearing (callers' buffers: config_api_test.cpp). What is kept in memory is the whole
  // password, not what the first caller's buffer held.
  ASSERT_TRUE(Config_SetSingleSignon("erin", "topsecret", false));
  char shortBuffer[4];
  EXPECT_TRUE(Config_GetSingleSignon(nullptr, 0, shortBuffer, sizeof shortBuffer));
  EXPECT_EQ(Get(), (SignOn{true, "erin", "topsecret"}));

  // An empty password with a name: the name is stored, the password and the copy in memory stay.
  const std::string stored = Stored("LoginPassword");
  EXPECT_FALSE(Config_SetSingleSignon("frank", "", false));
  EXPECT_EQ(Stored("LoginPassword"), stored);
  EXPECT_EQ(Get(), (SignOn{true, "frank", "topsecret"}));
  Config_DeleteKeyVal("user\\ClientInfo", "LoginPassword");  // as another module may
  EXPECT_EQ(Get(), (SignOn{true, "frank", ""}));
  ASSERT_TRUE(Config_SetSingleSignon("", "topsecret", false));

  // Clearing empties both settings and forgets the password in memory.
  EXPECT_FALSE(Config_SetSingleSignon("ignored", "ignored too", true));
  EXPECT_EQ(Stored("LoginName") + Stored("LoginPassword"), "");
  EXPECT_EQ(Get(), (SignOn{true, "", ""}));
}

TEST_F(Account, APasswordNotRecoveredIsTriedAgainAndOneNotProtectedLeavesTheStoredOne) {
  ASSERT_TRUE(Config_SetSingleSignon("bob", "hunter2", false));
  // Another user's key (another home folder): nothing comes back, and nothing false is kept. (On Windows the
  // key is the Windows user's, which a test cannot change.)
  if (!testsupport::kWindows) {
    testsupport::TempDir otherHome;
    ScopedEnv home("NAVCONFIG_HOME", otherHome.path().c_str());
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Get(), (SignOn{false, "bob", ""}));
    EXPECT_FALSE(testsupport::Exists(otherHome / "secret.key"));  // reading makes no key
  }
  // With the key back the next call tries again and succeeds.
  EXPECT_EQ(Get(), (SignOn{true, "bob", "hunter2"}));

  // A changed text fails the same way, each time, also in place of a password kept in memory (which changes
  // are found: crypt_test.cpp).
  const std::string fresh = Stored("LoginPassword");
  Config_SetStrVal("ClientInfo", "LoginPassword", (fresh + "A").c_str());
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Get(), (SignOn{false, "bob", ""}));
  Config_SetStrVal("ClientInfo", "LoginPassword", fresh.c_str());
  EXPECT_EQ(Get(), (SignOn{true, "bob", "hunter2"}));

  // A password that cannot be protected leaves the stored one as it was (a password too long: crypt_test.cpp).
  ASSERT_TRUE(Config_SetSingleSignon("carol", "first", false));
  const std::string stored = Stored("LoginPassword");
  // No key can be had: the home folder cannot be made (on Windows the system keeps the key: a password too
  // long to fit is the failure there). The name is stored all the same.
  if (testsupport::kWindows) {
    EXPECT_FALSE(Config_SetSingleSignon("dave", std::string(800, 's'), false));
  } else {
    ScopedEnv home("NAVCONFIG_HOME", (Cfg("user.cfg") + "/home").c_str());
    EXPECT_FALSE(Config_SetSingleSignon("dave", "second", false));
  }
  EXPECT_EQ(Stored("LoginPassword"), stored);
  EXPECT_EQ(Stored("LoginName"), "dave");
  // The old password comes back from the settings, here and in a new process; a failure does not drop the
  // password kept in memory either.
  EXPECT_EQ(testsupport::RunChild("read_sign_on", {configDir, "dave", "first"}), 0);
  EXPECT_EQ(Get(), (SignOn{true, "dave", "first"}));
  EXPECT_FALSE(Config_SetSingleSignon("", std::string(800, 'x'), false));
  EXPECT_EQ(Get(), (SignOn{true, "dave", "first"}));
}


TEST_F(Account, ServiceSettingsWithTheirDefaultsAndStoredValues) {
  auto ports = [](std::vector<long> before) {
    TVector<long> v;
    for (long p : before) v.Add(p);
    const bool ok = Config_GetAvailablePorts(v);
    return std::make_pair(ok, std::vector<long>(v.begin(), v.end()));
  };
  // Built-in defaults: the update mode is off (UpdaterEnabled is 0), the ports are 80, 9880 and 8080.
  EXPECT_FALSE(Config_IsUpdateMode());
  EXPECT_EQ(ports({}), std::make_pair(true, std::vector<long>{80, 9880, 8080}));
  OROustring user("old"), token("old"), secret("old");
  EXPECT_TRUE(Config_GetTwitterAccount(user, token, secret));
  EXPECT_TRUE(user.empty() && token.empty() && secret.empty());

  Config_SetIntVal("Data Updates", "UpdaterEnabled", 1);
  EXPECT_TRUE(Config_IsUpdateMode());
  Config_SetIntVal("User Settings", "UseMapUpdate", 0);
  EXPECT_FALSE(Config_IsUpdateMode());

  // Pieces that are not numbers are passed over; the numbers are appended to what the vector holds.
  Config_SetStrVal("TCP", "Ports", "443;web;8443");
  EXPECT_EQ(ports({1}), std::make_pair(true, std::vector<long>{1, 443, 8443}));
  Config_SetStrVal("TCP", "Ports", ";none;");
  EXPECT_EQ(ports({}), std::make_pair(false, std::vector<long>{}));

  const char* const twitter[][2] = {{"Username", "navfan"}, {"oauth_token", "tok"}, {"oauth_token_secret", "sec"}};
  for (const auto& setting : twitter) Config_SetStrVal("Twitter", setting[0], setting[1]);
  Reload();
  EXPECT_TRUE(Config_GetTwitterAccount(user, token, secret));
  EXPECT_EQ(std::string(user.c_str()) + "," + token.c_str() + "," + secret.c_str(), "navfan,tok,sec");
}
