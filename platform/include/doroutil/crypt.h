// Protection of stored passwords: a reversible, authenticated encryption under a key of the user's own, so
// that a configuration file never holds a password in plain text and a changed protected text is detected.
//
// The key is a random secret kept in the file "secret.key" of the user's folder of the library
// (platform::UserHomeDirectory(), platform/os.h), readable by the user alone; it is made on first use. On
// Windows the system's per-user data protection keeps the key instead (no file). A protected text is only
// good under the key that made it: with another key (another user, another machine, a removed key file) it
// no longer decrypts.
//
// The protected text is printable ASCII without quotes, '=', spaces or line breaks, so that it can stand as a
// setting's value. Passwords of up to 700 bytes are protected (400 on Windows, whose protected form carries a
// larger header), each into a text of at most 1022 bytes (1023 with the terminator); longer ones are refused.
// A text made for a longer password by an earlier version still decrypts.
//
// Both functions may be called from any thread. The two trailing arguments are reserved and ignored.
#ifndef NAVCONFIG_DOROUTIL_CRYPT_H
#define NAVCONFIG_DOROUTIL_CRYPT_H

#include <cstdint>

// Protects the password plain (NUL-terminated) into out, which holds outSize bytes with the terminator.
// False when the password is longer than the limit above, the key cannot be had or made, or the protected
// text does not fit; out then holds the empty text (when outSize > 0).
bool EncryptString(const char* plain, char* out, uint32_t outSize, int reserved1, int reserved2);

// Recovers the password from protectedText into out (at most outSize bytes with the terminator). The empty
// (or null) protected text gives the empty password and succeeds. False when the text was not made under
// this user's key, was changed, or its password does not fit; out then holds the empty text (when
// outSize > 0).
bool DecryptString(const char* protectedText, char* out, uint32_t outSize, int reserved1, int reserved2);

#endif
