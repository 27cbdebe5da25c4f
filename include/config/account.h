/* Account and service settings that need special handling: the single-sign-on login, the Twitter account,
 * the network ports and the map-update mode.
 *
 * Settings used (with their built-in defaults): ClientInfo\LoginName (empty), ClientInfo\LoginPassword
 * (empty; only ever the protected form, never the password), Twitter\Username, Twitter\oauth_token and
 * Twitter\oauth_token_secret (empty; plain text), TCP\Ports ("80;9880;8080"), User Settings\UseMapUpdate (1)
 * and Data Updates\UpdaterEnabled (0). Writes go to the user layer and are saved at once.
 *
 * The password is protected with EncryptString (doroutil/crypt.h) under a key of the user's own, so it only
 * comes back for the same user on the same machine. The last password read is kept in memory, so that later
 * reads skip the settings and the decryption; storing a password or clearing the sign-on drops it, and so
 * does unloading the library. The copy in memory is not guarded by a lock: calls that read or replace the
 * sign-on must not run at the same time on different threads. The other functions may be called from any
 * thread. Nothing here throws or logs. */
#ifndef NAVCONFIG_CONFIG_ACCOUNT_H
#define NAVCONFIG_CONFIG_ACCOUNT_H

#include <config/export.h>

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdbool.h>
#include <stdint.h>
#endif

NAVCONFIG_BEGIN_C

/* The login name into nameBuffer (skipped when it is null) and the password into passwordBuffer, each cut
 * to fit with its terminator; nothing is written for a size of 0. True when the password could be
 * recovered; also for a sign-on that was never stored or was cleared (the empty password). False, with an
 * empty password, when the stored form does not decrypt (changed, or made under another user's key); every
 * later call tries again. The password is what the settings hold at the call, also when another module or
 * process stored or removed it since the last call; any thread may call. */
NAVCONFIG_API bool Config_GetSingleSignon(char* nameBuffer, uint32_t nameSize, char* passwordBuffer,
                                         uint32_t passwordSize);
/* True when both User Settings\UseMapUpdate and Data Updates\UpdaterEnabled are not 0. */
NAVCONFIG_API bool Config_IsUpdateMode(void);

NAVCONFIG_END_C

#ifdef __cplusplus

#include <doroutil/orostring.h>
#include <doroutil/tvector.h>

// clear: empties the stored name and password and returns false. Otherwise stores a non-empty name, then,
// for a non-empty password, its protected form, and returns true. False when the password is empty (the
// name is stored all the same) or cannot be protected (a password longer than 700 bytes, 400 on Windows, or
// no key can be had); the stored password then stays as it was. A password stored by an earlier version that
// allowed a few bytes more is still read back whole.
NAVCONFIG_API bool Config_SetSingleSignon(const OROustring& name, const OROustring& password, bool clear);
// The three Twitter settings, empty when not set. Always true.
NAVCONFIG_API bool Config_GetTwitterAccount(OROustring& userName, OROustring& token, OROustring& tokenSecret);
// Appends the numbers of TCP\Ports (separated by ';'; other pieces are skipped) to ports; true when at least
// one was appended.
NAVCONFIG_API bool Config_GetAvailablePorts(TVector<long>& ports);

#endif /* __cplusplus */

#endif
