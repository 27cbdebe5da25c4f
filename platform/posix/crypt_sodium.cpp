// Password protection with libsodium: XChaCha20-Poly1305 under a random key of the user's own.
//
// Protected text: "v1." followed by nonce (24 bytes) || ciphertext with its tag (password length + 16
// bytes), in URL-safe base64 without padding. The prefix names the format and is bound to the ciphertext as
// additional data, so that a later format can be told apart and a text cannot be passed off as another
// format. The key file holds the 32 key bytes and nothing else.
#include <doroutil/crypt.h>
#include <doroutil/logmgr.h>
#include <fcntl.h>
#include <platform/os.h>
#include <sodium.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "posix_files.h"

namespace {

constexpr char kPrefix[] = "v1.";
constexpr size_t kPrefixLen = sizeof kPrefix - 1;
constexpr size_t kKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr int kVariant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
// Longer protected texts are not ours; refusing them keeps a hostile value from costing much.
constexpr size_t kMaxProtectedLen = 64 * 1024;
// The longest password protected (doroutil/crypt.h): its text fits the sign-on setting with room to spare,
// and callers size their buffers by it.
constexpr size_t kMaxPasswordLen = 700;

std::mutex g_keyMutex;  // key creation within this process; the lock file orders processes

// The key bytes, wiped when the object goes.
struct Key {
  unsigned char bytes[kKeyBytes];
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() { sodium_memzero(bytes, sizeof bytes); }
};

std::string KeyPath() { return platform::UserHomeDirectory() + "secret.key"; }

void LogError(int line, const std::string& message) {
  CLogMgr* log = GetLogMgr();
  if (!log) return;
  log->LockTempBuffer();
  const char* text = log->MakeString("%s", message.c_str());
  log->Publish(0, 2, "crypt", line, text, GetThreadID(), true);
  log->UnlockTempBuffer();
}

// Unusable: something stands there that is not the user's own regular file, or it cannot be read. It is
// neither used nor replaced.
enum class KeyFile { Ok, Missing, Unusable, Damaged };

KeyFile ReadKey(const std::string& path, Key& key) {
  const platform::posix::ReadableFile file = platform::posix::OpenRegularFile(path);
  if (file.fd < 0) {
    if (file.notRegular) LogError(__LINE__, std::string("secret.key is ") + file.kind + ", not a regular file; it is not used");
    return !file.notRegular && file.err == ENOENT ? KeyFile::Missing : KeyFile::Unusable;
  }
  switch (platform::posix::KeepPrivate(file.fd, file.st)) {
    case platform::posix::Privacy::Refused:
      LogError(__LINE__, "secret.key belongs to another user; it is not used");
      ::close(file.fd);
      return KeyFile::Unusable;
    case platform::posix::Privacy::Repaired:
      LogError(__LINE__, "secret.key could be read or written by other users; its mode is now 0600");
      break;
    case platform::posix::Privacy::Exposed:
      LogError(__LINE__, "secret.key can be read or written by other users, and its mode cannot be changed");
      break;
    case platform::posix::Privacy::Private:
      break;
  }
  // One byte more than a key, to tell a longer file.
  unsigned char bytes[kKeyBytes + 1];
  size_t size = 0;
  bool failed = false;
  while (size < sizeof bytes) {
    const ssize_t n = platform::posix::Read(file.fd, bytes + size, sizeof bytes - size);
    if (n <= 0) {
      failed = n < 0;
      break;
    }
    size += static_cast<size_t>(n);
  }
  ::close(file.fd);
  KeyFile result = failed ? KeyFile::Unusable : KeyFile::Damaged;
  if (!failed && size == kKeyBytes) {
    std::memcpy(key.bytes, bytes, kKeyBytes);
    result = KeyFile::Ok;
  }
  sodium_memzero(bytes, sizeof bytes);
  return result;
}

// The user's key; made (under a lock that orders the processes that try at once) when create is set and
// there is none. A key file that is not a key is moved aside, never overwritten.
bool GetKey(Key& key, bool create) {
  const std::string path = KeyPath();
  KeyFile state = ReadKey(path, key);
  if (state == KeyFile::Ok) return true;
  if (!create || state == KeyFile::Unusable) return false;

  std::lock_guard<std::mutex> guard(g_keyMutex);
  const std::string home = platform::UserHomeDirectory();
  if (!platform::MakeDirectories(home, /*privateToUser=*/true)) return false;
  // Without the lock another process could make a key of its own meanwhile, and the passwords protected under
  // one of the two would be lost; only a file system without any locks has the key made without one.
  platform::FileLock lock;
  if (const platform::Status locked =
          platform::posix::LockPrivateFile(path + ".lock", platform::posix::kPrivateLockTimeout, lock);
      !locked.ok) {
    LogError(__LINE__, "no key is made: " + locked.reason);
    return false;
  }
  bool ok = false;
  state = ReadKey(path, key);  // another process may have made it meanwhile
  if (state == KeyFile::Ok) {
    ok = true;
  } else if (state != KeyFile::Unusable) {
    bool clear = true;
    if (state == KeyFile::Damaged) {
      std::string aside;
      platform::Status s = platform::posix::SetAside(path, aside);
      if (s.ok) {
        LogError(__LINE__, "secret.key is not a key; moved to " + aside.substr(home.size()) + ", a new key is made");
      } else {
        LogError(__LINE__, "secret.key is not a key and cannot be moved aside: " + s.reason);
        clear = false;
      }
    }
    if (clear) {
      randombytes_buf(key.bytes, sizeof key.bytes);
      ok = platform::WriteFileAtomically(path, key.bytes, sizeof key.bytes, /*privateToUser=*/true).ok;
    }
  }
  return ok;
}

bool Fail(char* out, uint32_t outSize) {
  if (out && outSize > 0) out[0] = '\0';
  return false;
}

}  // namespace

bool EncryptString(const char* plain, char* out, uint32_t outSize, int /*reserved1*/, int /*reserved2*/) {
  if (!plain || !out || outSize == 0 || sodium_init() < 0) return Fail(out, outSize);
  const size_t plainLen = std::strlen(plain);
  if (plainLen > kMaxPasswordLen) return Fail(out, outSize);
  const size_t binLen = kNonceBytes + plainLen + kTagBytes;
  const size_t textLen = kPrefixLen + sodium_base64_ENCODED_LEN(binLen, kVariant);  // terminator included
  if (textLen > outSize) return Fail(out, outSize);

  Key key;
  if (!GetKey(key, /*create=*/true)) return Fail(out, outSize);
  std::vector<unsigned char> bin(binLen);
  randombytes_buf(bin.data(), kNonceBytes);
  unsigned long long cipherLen = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(
      bin.data() + kNonceBytes, &cipherLen, reinterpret_cast<const unsigned char*>(plain), plainLen,
      reinterpret_cast<const unsigned char*>(kPrefix), kPrefixLen, nullptr, bin.data(), key.bytes);
  std::memcpy(out, kPrefix, kPrefixLen);
  sodium_bin2base64(out + kPrefixLen, outSize - kPrefixLen, bin.data(), kNonceBytes + cipherLen, kVariant);
  return true;
}

bool DecryptString(const char* protectedText, char* out, uint32_t outSize, int /*reserved1*/, int /*reserved2*/) {
  if (!out || outSize == 0) return false;
  out[0] = '\0';
  if (!protectedText || !*protectedText) return true;
  const size_t textLen = std::strlen(protectedText);
  if (textLen > kMaxProtectedLen || std::strncmp(protectedText, kPrefix, kPrefixLen) != 0) return false;
  if (sodium_init() < 0) return false;

  const char* b64 = protectedText + kPrefixLen;
  const size_t b64Len = textLen - kPrefixLen;
  std::vector<unsigned char> bin(b64Len * 3 / 4 + 1);
  size_t binLen = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bin.data(), bin.size(), b64, b64Len, nullptr, &binLen, &end, kVariant) != 0 ||
      end != b64 + b64Len || binLen < kNonceBytes + kTagBytes)
    return false;

  Key key;
  if (!GetKey(key, /*create=*/false)) return false;
  std::vector<unsigned char> plain(binLen - kNonceBytes - kTagBytes + 1);
  unsigned long long plainLen = 0;
  bool ok = crypto_aead_xchacha20poly1305_ietf_decrypt(
                plain.data(), &plainLen, nullptr, bin.data() + kNonceBytes, binLen - kNonceBytes,
                reinterpret_cast<const unsigned char*>(kPrefix), kPrefixLen, bin.data(), key.bytes) == 0;
  // A password holds no NUL (it was a C string); one that does, or does not fit, is not given out in part.
  ok = ok && plainLen < outSize && std::memchr(plain.data(), 0, plainLen) == nullptr;
  if (ok) {
    std::memcpy(out, plain.data(), plainLen);
    out[plainLen] = '\0';
  }
  sodium_memzero(plain.data(), plain.size());
  return ok;
}
