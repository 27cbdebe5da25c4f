// The account and service settings: the sign-on with its protected password, the Twitter account, the
// network ports and the update mode.
#include <config/account.h>
#include <config/config_api.h>
#include <config/config_globals.h>
#include <doroutil/crypt.h>
#include <doroutil/strutil.h>

#include <algorithm>
#include <climits>

#include "api/globals.h"
#include "store/configmgr.h"

using namespace navconfig;

namespace {

constexpr const char* kClientInfo = "ClientInfo";
constexpr const char* kLoginName = "LoginName";
constexpr const char* kLoginPassword = "LoginPassword";
// Room for any protected text that EncryptString makes (1023 bytes and the terminator), and therefore for
// any password that one decrypts to.
constexpr size_t kProtectedSize = 1024;

long BufferSize(uint32_t size) { return static_cast<long>(std::min<uint32_t>(size, INT_MAX)); }

}  // namespace

bool Config_GetSingleSignon(char* nameBuffer, uint32_t nameSize, char* passwordBuffer, uint32_t passwordSize) try {
  CConfigGlobals& g = Globals();
  if (nameBuffer && g.m_pConfigMgr)
    g.m_pConfigMgr->ReadLayeredStr(kClientInfo, kLoginName, nameBuffer, BufferSize(nameSize));

  // The whole protected text: a long password's protected form is longer than the 510 bytes that
  // Config_GetOroUStrVal gives, and would never decrypt.
  char stored[kProtectedSize];
  stored[0] = '\0';
  Config_GetStrVal(kClientInfo, kLoginPassword, stored, sizeof stored, nullptr);
  if (g.CachedPassword(stored, passwordBuffer, BufferSize(passwordSize))) return true;
  // Decrypted in full, so that the copy kept is the whole password whatever this caller's buffer holds.
  char plain[kProtectedSize];
  const bool ok = DecryptString(stored, plain, sizeof plain, 0, 0);
  if (!ok) plain[0] = '\0';
  if (passwordBuffer) CopyTruncated(passwordBuffer, BufferSize(passwordSize), plain);
  // Only a password that was recovered is kept: a failure is tried again by the next call, and never turns
  // into a stored empty password that later calls would report as recovered.
  if (ok) g.KeepPassword(stored, plain);
  WipeSecret(plain, sizeof plain);
  return ok;
} catch (...) {
  return false;
}

bool Config_SetSingleSignon(const OROustring& name, const OROustring& password, bool clear) try {
  CConfigGlobals& g = Globals();
  if (clear) {
    Config_SetStrVal(kClientInfo, kLoginName, "");
    Config_SetStrVal(kClientInfo, kLoginPassword, "");
    g.ReleaseCachedPassword();
    return false;
  }
  if (!name.empty()) Config_SetStrVal(kClientInfo, kLoginName, name.c_str());
  if (password.empty()) return false;
  char buffer[kProtectedSize] = {};
  // A password that cannot be protected leaves the stored one (and the copy in memory) as it was, rather than
  // replacing it by an empty text.
  if (!EncryptString(password.c_str(), buffer, kProtectedSize - 1, 0, 0)) return false;
  Config_SetStrVal(kClientInfo, kLoginPassword, buffer);
  g.ReleaseCachedPassword();
  return true;
} catch (...) {
  return false;
}

bool Config_GetTwitterAccount(OROustring& userName, OROustring& token, OROustring& tokenSecret) try {
  userName = Config_GetOroUStrVal("Twitter", "Username");
  token = Config_GetOroUStrVal("Twitter", "oauth_token");
  tokenSecret = Config_GetOroUStrVal("Twitter", "oauth_token_secret");
  return true;
} catch (...) {
  return false;
}

bool Config_GetAvailablePorts(TVector<long>& ports) try {
  const OROustring text = Config_GetOroUStrVal("TCP", "Ports");
  return TokenizeStringToLongs(text.c_str(), ";", ports);
} catch (...) {
  return false;
}

bool Config_IsUpdateMode() try {
  CConfigMgr* mgr = Globals().m_pConfigMgr;
  if (!mgr) return false;
  return mgr->ReadLayeredInt("User Settings", "UseMapUpdate") != 0 &&
         mgr->ReadLayeredInt("Data Updates", "UpdaterEnabled") != 0;
} catch (...) {
  return false;
}
