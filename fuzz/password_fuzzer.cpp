// Fuzzing the reading of a protected password: whatever text a setting holds, DecryptString must not crash or
// write past its buffer, must leave the empty text when it fails, and gives back only a password that
// protects and recovers again. The input is also taken as a password: one that is protected must come back.
//
// The key is a fixed one in a folder of the fuzzer's own, so that the seed corpus can hold texts made under
// it (fuzz/corpus/password_fuzzer/valid_*).
#include <doroutil/crypt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxInput = 4096;
// The sign-on setting's room for a protected text.
constexpr uint32_t kProtectedSize = 1024;

std::string g_folder;  // of the key, removed at the end
void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(g_folder, ec);
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// The password recovered into a buffer of outSize bytes (followed by guard bytes), or false.
bool Recover(const char* text, uint32_t outSize, std::string& password) {
  std::vector<char> out(outSize + 16, 'G');
  const bool ok = DecryptString(text, out.data(), outSize, 0, 0);
  for (size_t i = outSize; i < out.size(); ++i) Check(out[i] == 'G', "DecryptString wrote past its buffer");
  if (!ok) {
    Check(outSize == 0 || out[0] == '\0', "a failed DecryptString left text in its buffer");
    return false;
  }
  Check(std::memchr(out.data(), '\0', outSize) != nullptr, "a recovered password without its terminator");
  password = out.data();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/navconfig-password-fuzzer-XXXXXX";
  Check(::mkdtemp(folder) != nullptr, "no folder for the key");
  g_folder = folder;
  std::atexit(RemoveFolder);
  ::setenv("NAVCONFIG_HOME", folder, 1);
  unsigned char key[32];
  for (unsigned i = 0; i < sizeof key; ++i) key[i] = static_cast<unsigned char>(i * 7 + 3);
  const std::string path = std::string(folder) + "/secret.key";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f && std::fwrite(key, 1, sizeof key, f) == sizeof key && std::fclose(f) == 0, "the key cannot be written");
  ::chmod(path.c_str(), 0600);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);  // a setting ends at its first NUL
  std::string password;
  if (Recover(text.c_str(), kProtectedSize, password)) {
    // What decrypts in full is refused by a buffer one byte short, and taken by one that just fits.
    std::string again;
    const uint32_t fits = static_cast<uint32_t>(password.size() + 1);
    Check(!Recover(text.c_str(), fits - 1, again), "a password that does not fit was given out");
    Check(Recover(text.c_str(), fits, again) && again == password, "a password that fits did not come back");
  }
  // The input as a password.
  char protectedText[kProtectedSize];
  if (EncryptString(text.c_str(), protectedText, kProtectedSize - 1, 0, 0)) {
    Check(std::strlen(text.c_str()) <= 700, "a password past the limit was protected");
    Check(Recover(protectedText, kProtectedSize, password) && password == text.c_str(),
          "a protected password did not come back");
  }
  return 0;
}
