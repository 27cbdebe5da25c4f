// Password protection on Windows: the system's per-user data protection (CryptProtectData and
// CryptUnprotectData), which keeps the key with the user's logon, with a check of our own on top.
//
// Protected text: "w1." followed by blob || tag in URL-safe base64 without padding. blob is the system's
// protection of k || password, where k is 32 random bytes made for this text; tag is HMAC-SHA-256 under k of
// "w1." || blob. The system's protection checks what it encrypted, but not every byte of its own header on
// every implementation (Wine's ignores some); the tag makes any change of the text fail everywhere, and k,
// known only inside the protected data, keeps it from being made anew. The prefix names the format (the
// libsodium form of other systems begins with "v1.", and neither decrypts on the other) and is bound to the
// blob as its additional entropy and to the tag. The blob carries the system's header, so the password may
// be shorter than elsewhere: one of up to 400 bytes fits in the 1023 bytes of the sign-on settings.
#include <doroutil/crypt.h>

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kPrefix[] = "w1.";
constexpr size_t kPrefixLen = sizeof kPrefix - 1;
// Longer protected texts are not ours; refusing them keeps a hostile value from costing much.
constexpr size_t kMaxProtectedLen = 64 * 1024;
// The longest password protected (doroutil/crypt.h): the system's header varies between its
// implementations, and this one fits the sign-on setting with every one of them.
constexpr size_t kMaxPasswordLen = 400;
constexpr size_t kKeyBytes = 32;
constexpr size_t kTagBytes = 32;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

size_t EncodedLength(size_t bytes) { return bytes / 3 * 4 + (bytes % 3 == 0 ? 0 : bytes % 3 + 1); }

void Encode(const unsigned char* in, size_t n, char* out) {
  size_t o = 0;
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = kAlphabet[(v >> 6) & 63];
    out[o++] = kAlphabet[v & 63];
  }
  if (n - i == 1) {
    const unsigned v = in[i] << 16;
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
  } else if (n - i == 2) {
    const unsigned v = (in[i] << 16) | (in[i + 1] << 8);
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = kAlphabet[(v >> 6) & 63];
  }
  out[o] = '\0';
}

int Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '-') return 62;
  if (c == '_') return 63;
  return -1;
}

// Strict decoding: only the alphabet, no padding, and the unused low bits of the last character zero, so
// that every blob has exactly one text.
bool Decode(const char* in, size_t n, std::vector<unsigned char>& out) {
  if (n % 4 == 1) return false;
  out.clear();
  out.reserve(n / 4 * 3 + 2);
  unsigned v = 0;
  int bits = 0;
  for (size_t i = 0; i < n; ++i) {
    const int d = Digit(in[i]);
    if (d < 0) return false;
    v = (v << 6) | static_cast<unsigned>(d);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<unsigned char>((v >> bits) & 0xFF));
    }
  }
  return (v & ((1u << bits) - 1)) == 0;
}

DATA_BLOB Entropy() {
  DATA_BLOB entropy;
  entropy.cbData = static_cast<DWORD>(kPrefixLen);
  entropy.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(kPrefix));
  return entropy;
}

// HMAC-SHA-256 under key of the prefix and the blob.
bool Tag(const unsigned char* key, const unsigned char* blob, size_t blobLen, unsigned char out[kTagBytes]) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                      BCRYPT_ALG_HANDLE_HMAC_FLAG)))
    return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(alg, &hash, nullptr, 0, const_cast<PUCHAR>(key), kKeyBytes, 0));
  ok = ok && BCRYPT_SUCCESS(::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(kPrefix)),
                                             static_cast<ULONG>(kPrefixLen), 0));
  ok = ok && BCRYPT_SUCCESS(::BCryptHashData(hash, const_cast<PUCHAR>(blob), static_cast<ULONG>(blobLen), 0));
  ok = ok && BCRYPT_SUCCESS(::BCryptFinishHash(hash, out, kTagBytes, 0));
  if (hash) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(alg, 0);
  return ok;
}

bool SameTag(const unsigned char* a, const unsigned char* b) {
  unsigned char diff = 0;
  for (size_t i = 0; i < kTagBytes; ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

bool Fail(char* out, uint32_t outSize) {
  if (out && outSize > 0) out[0] = '\0';
  return false;
}

}  // namespace

bool EncryptString(const char* plain, char* out, uint32_t outSize, int /*reserved1*/, int /*reserved2*/) {
  if (!plain || !out || outSize == 0) return Fail(out, outSize);
  const size_t plainLen = std::strlen(plain);
  if (plainLen > kMaxPasswordLen) return Fail(out, outSize);
  std::vector<unsigned char> inner(kKeyBytes + plainLen);
  if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, inner.data(), kKeyBytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    return Fail(out, outSize);
  std::memcpy(inner.data() + kKeyBytes, plain, plainLen);
  DATA_BLOB in;
  in.cbData = static_cast<DWORD>(inner.size());
  in.pbData = inner.data();
  DATA_BLOB entropy = Entropy();
  DATA_BLOB blob{};
  const bool protectedOk =
      ::CryptProtectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &blob) != 0;
  std::vector<unsigned char> bin;
  bool ok = protectedOk;
  if (ok) {
    bin.assign(blob.pbData, blob.pbData + blob.cbData);
    bin.resize(blob.cbData + kTagBytes);
    ok = Tag(inner.data(), blob.pbData, blob.cbData, bin.data() + blob.cbData);
    ::LocalFree(blob.pbData);
  }
  ::SecureZeroMemory(inner.data(), inner.size());
  if (!ok) return Fail(out, outSize);
  if (kPrefixLen + EncodedLength(bin.size()) + 1 > outSize) return Fail(out, outSize);  // terminator included
  std::memcpy(out, kPrefix, kPrefixLen);
  Encode(bin.data(), bin.size(), out + kPrefixLen);
  return true;
}

bool DecryptString(const char* protectedText, char* out, uint32_t outSize, int /*reserved1*/, int /*reserved2*/) {
  if (!out || outSize == 0) return false;
  out[0] = '\0';
  if (!protectedText || !*protectedText) return true;
  const size_t textLen = std::strlen(protectedText);
  if (textLen > kMaxProtectedLen || std::strncmp(protectedText, kPrefix, kPrefixLen) != 0) return false;

  std::vector<unsigned char> bin;
  if (!Decode(protectedText + kPrefixLen, textLen - kPrefixLen, bin) || bin.size() <= kTagBytes) return false;
  const size_t blobLen = bin.size() - kTagBytes;
  DATA_BLOB in;
  in.cbData = static_cast<DWORD>(blobLen);
  in.pbData = bin.data();
  DATA_BLOB entropy = Entropy();
  DATA_BLOB inner{};
  if (!::CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &inner))
    return false;
  unsigned char tag[kTagBytes];
  bool ok = inner.cbData >= kKeyBytes && Tag(inner.pbData, bin.data(), blobLen, tag) &&
            SameTag(tag, bin.data() + blobLen);
  const unsigned char* password = inner.pbData + kKeyBytes;
  const size_t passwordLen = ok ? inner.cbData - kKeyBytes : 0;
  // A password holds no NUL (it was a C string); one that does, or does not fit, is not given out in part.
  ok = ok && passwordLen < outSize && (passwordLen == 0 || std::memchr(password, 0, passwordLen) == nullptr);
  if (ok) {
    std::memcpy(out, password, passwordLen);
    out[passwordLen] = '\0';
  }
  ::SecureZeroMemory(inner.pbData, inner.cbData);
  ::LocalFree(inner.pbData);
  return ok;
}
