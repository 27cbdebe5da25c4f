// Every failure of the operating system that a save, a read of a layer file, the registry store and the key of
// stored passwords meet: each call that they make fails in turn, with each error. The operation reports its
// documented failure, loses nothing (the previous file stays whole, memory keeps the value, the next operation
// works), and an interrupted call (EINTR) is made again.
#include <config/config_api.h>
#include <config/config_info.h>
#include <config/registry.h>
#include <doroutil/crypt.h>
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <gtest/gtest.h>
#include <platform/faults.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "store_env.h"

using platform::faults::Call;
using storetest::SaveOutcome;

namespace {

const char* const kCallNames[] = {"open", "read", "write", "sync", "rename", "mkdir", "lock"};
constexpr int kErrors[] = {EINTR, ENOSPC, EACCES, EIO};

// A call whose failure fails the operation, and the outcome then: for a save the reason up to the error's text.
struct Failure {
  Call call;
  uint32_t nth;
  std::string outcome;
};

struct Subject {
  const char* what;
  bool reasons;  // the outcome ends with the error's text
  std::vector<Failure> failures;  // every other call may fail without failing the operation
  std::function<void()> start;
  std::function<std::string()> operate;  // "ok", or how it failed
  std::function<void(bool failed)> after;  // checks that nothing is lost and that the next operation works
};

std::string Code(long code) { return code == 0 ? "ok" : "code " + std::to_string(code); }

uint32_t Dword(const char* name) {
  uint32_t value = ~0u;
  Config_RegistryGetIntValue(2, "Software", name, &value);
  return value;
}

std::string Protect(const char* password) {
  char out[1024];
  return EncryptString(password, out, sizeof out, 0, 0) ? out : "failed";
}

std::string Recover(const std::string& text) {
  char out[64];
  return DecryptString(text.c_str(), out, sizeof out, 0, 0) ? out : "failed";
}

}  // namespace

class Faults : public storetest::StoreTest {
 protected:
  ~Faults() override { platform::faults::Clear(); }

  void Walk(const Subject& s) {
    SCOPED_TRACE(s.what);
    s.start();
    platform::faults::Count();
    ASSERT_EQ(s.operate(), "ok");
    uint32_t calls[platform::faults::kCallKinds];
    for (int k = 0; k < platform::faults::kCallKinds; ++k) calls[k] = platform::faults::Calls(static_cast<Call>(k));
    platform::faults::Clear();
    s.after(false);
    for (const Failure& f : s.failures)
      EXPECT_LE(f.nth, calls[static_cast<int>(f.call)]) << kCallNames[static_cast<int>(f.call)] << " " << f.nth;
    for (int k = 0; k < platform::faults::kCallKinds; ++k) {
      for (uint32_t nth = 1; nth <= calls[k]; ++nth) {
        for (int err : kErrors) {
          SCOPED_TRACE(std::string(kCallNames[k]) + " " + std::to_string(nth) + " fails with " + std::to_string(err));
          s.start();
          platform::faults::Fail(static_cast<Call>(k), err, nth);
          const std::string outcome = s.operate();
          platform::faults::Clear();
          std::string expected = "ok";
          for (const Failure& f : s.failures)
            if (static_cast<int>(f.call) == k && f.nth == nth && err != EINTR)
              expected = f.outcome + (s.reasons ? testsupport::FaultText(err) : "");
          EXPECT_EQ(testsupport::Reason(outcome), expected);
          s.after(outcome != "ok");
        }
      }
    }
  }

  const std::string kBefore = "[Saves]\n\"Value\"=1\n\n";
};

TEST_F(Faults, EveryFailingCallIsReportedLosesNothingAndAnInterruptedCallIsMadeAgain) {
  // A save opens and locks the lock file, writes the temporary file and renames it; on POSIX it then syncs the
  // folder, whose failure the save does not report (the file is in place).
  const std::vector<Failure> saveFailures = {
      {Call::Open, 1, "lock .user.cfg.lock: "},  {Call::Lock, 1, "lock .user.cfg.lock: "},
      {Call::Open, 2, "create .user.cfg.tmp: "}, {Call::Write, 1, "write .user.cfg.tmp: "},
      {Call::Sync, 1, "sync .user.cfg.tmp: "},   {Call::Rename, 1, "rename .user.cfg.tmp: "}};
  const auto startLayer = [&] { WriteCfg("user.cfg", kBefore), Reload(); };
  const Subject save = {
      "a save", true, saveFailures,
      [&] { startLayer(); ASSERT_EQ(Config_GetIntVal("user\\Saves", "Value"), 1); },
      [] { Config_SetIntVal("Saves", "Value", 2); return SaveOutcome("user"); },
      [&](bool failed) {
        EXPECT_EQ(ReadCfg("user.cfg"), failed ? kBefore : "[Saves]\n\"Value\"=2\n\n");
        EXPECT_EQ(testsupport::Listing(configDir), (std::vector<std::string>{".user.cfg.lock", "user.cfg"}));
        EXPECT_EQ(Config_GetIntVal("user\\Saves", "Value"), 2);
        Config_SetIntVal("Saves", "Other", 3);
        EXPECT_EQ(SaveOutcome("user"), "ok");
        EXPECT_EQ(ReadCfg("user.cfg"), "[Saves]\n\"Other\"=3\n\"Value\"=2\n\n");
      }};
  // A layer that cannot be read is not in memory: reads find nothing in it, and the next access reads it again.
  const Subject load = {
      "a read of a layer file", false,
      {{Call::Open, 1, "read 0"}, {Call::Read, 1, "read 0"}, {Call::Read, 2, "read 0"}}, startLayer,
      [] {
        const long value = Config_GetIntVal("user\\Saves", "Value");
        return value == 1 ? std::string("ok") : "read " + std::to_string(value);
      },
      [&](bool) {
        EXPECT_EQ(Config_GetIntVal("user\\Saves", "Value"), 1);
        Config_SetIntVal("Saves", "Other", 3);
        EXPECT_EQ(ReadCfg("user.cfg"), "[Saves]\n\"Other\"=3\n\"Value\"=1\n\n");
      }};
  Walk(save);
  Walk(load);
  if (testsupport::kWindows) return;  // the registry and the key of passwords are the system's, without faults here

  // The registry store.
  const std::string store = homeDir + "registry/HKCU.reg";
  const char* const kFailed = "code 1016";  // ERROR_REGISTRY_IO_FAILED
  std::string before;
  const auto storeWith = [&](const char* more) {
    testsupport::RemoveAll(homeDir + "registry");
    ASSERT_EQ(Config_RegistryCreateKey(2, "Software") + Config_RegistrySetIntValue(2, "Software", "Count", 1), 0);
    before = testsupport::ReadFile(store);
    if (*more) testsupport::WriteFile(store, before + more);  // as another process would
  };
  const Subject firstWrite = {
      "the first write of the registry store", false,
      {{Call::MakeDir, 1, kFailed}, {Call::Open, 1, kFailed}, {Call::Lock, 1, kFailed}, {Call::Open, 2, kFailed},
       {Call::Write, 1, kFailed}, {Call::Sync, 1, kFailed}, {Call::Rename, 1, kFailed}},
      [&] { testsupport::RemoveAll(homeDir + "registry"); },
      [] { return Code(Config_RegistryCreateKey(2, "Software")); },
      [&](bool failed) {
        EXPECT_EQ(Code(Config_RegistrySetIntValue(2, "Software", "Count", 2)), failed ? "code 2" : "ok");
        EXPECT_EQ(Config_RegistryCreateKey(2, "Software") + Config_RegistrySetIntValue(2, "Software", "Count", 2), 0);
      }};
  const Subject write = {
      "a write of the registry store", false,
      {{Call::Open, 1, kFailed}, {Call::Lock, 1, kFailed}, {Call::Open, 2, kFailed}, {Call::Read, 1, kFailed},
       {Call::Read, 2, kFailed}, {Call::Open, 3, kFailed}, {Call::Write, 1, kFailed}, {Call::Sync, 1, kFailed},
       {Call::Rename, 1, kFailed}},
      [&] { storeWith(""); },
      [] { return Code(Config_RegistrySetIntValue(2, "Software", "Count", 2)); },
      [&](bool failed) {
        EXPECT_TRUE(!failed || testsupport::ReadFile(store) == before);
        EXPECT_EQ(Dword("Count"), failed ? 1u : 2u);
        EXPECT_EQ(Config_RegistrySetIntValue(2, "Software", "Count", 3), 0);
      }};
  // What another process wrote is read at the next access; a store that cannot be read is read again after.
  const Subject read = {
      "a read of the registry store", false,
      {{Call::Open, 1, "failed"}, {Call::Read, 1, "failed"}, {Call::Read, 2, "failed"}},
      [&] { storeWith("\"Fresh\"=dword:00000005\n"); },
      [] { return Dword("Fresh") == 5 ? "ok" : "failed"; },
      [&](bool) { EXPECT_EQ(Dword("Fresh"), 5u); }};
  Walk(firstWrite);
  Walk(write);
  Walk(read);

  // The key of stored passwords: a key that cannot be read is neither replaced
  // nor taken for a damaged one, and one that cannot be made is not half made.
  const std::string key = homeDir + "secret.key";
  std::string keyBytes, protectedText;
  const Subject useKey = {
      "a password protected and recovered", false,
      {{Call::Open, 1, "failed"}, {Call::Read, 1, "failed"}, {Call::Read, 2, "failed"}, {Call::Open, 2, "failed"},
       {Call::Read, 3, "failed"}, {Call::Read, 4, "failed"}},
      [] {}, [] { return Recover(Protect("secret")) == "secret" ? "ok" : "failed"; },
      [&](bool) { EXPECT_EQ(testsupport::ReadFile(key), keyBytes); EXPECT_EQ(Recover(protectedText), "secret"); }};
  const Subject makeKey = {
      "a key made", false,
      {{Call::MakeDir, 1, "failed"}, {Call::Open, 1, "failed"}, {Call::Lock, 1, "failed"}, {Call::Open, 2, "failed"},
       {Call::Write, 1, "failed"}, {Call::Sync, 1, "failed"}, {Call::Rename, 1, "failed"}},
      [&] { testsupport::RemoveAll(homeDir); },
      [] { return Protect("secret") == "failed" ? "failed" : "ok"; },
      [&](bool failed) {
        std::vector<std::string> left = testsupport::Listing(homeDir);  // besides the lock file
        std::erase(left, "secret.key.lock");
        EXPECT_EQ(left, failed ? std::vector<std::string>{} : std::vector<std::string>{"secret.key"});
        EXPECT_EQ(Recover(Protect("other")), "other");
      }};
  protectedText = Protect("secret");
  keyBytes = testsupport::ReadFile(key);
  Walk(useKey);
  Walk(makeKey);
}

TEST(FaultSeam, AllocationsFailAtTheNthAndAWholeFileIsNotReadWithoutItsBuffer) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp / "f.txt", "text");
  platform::faults::FailAllocations(2, 2);
  void* first = Mem_Malloc(8);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(Mem_Malloc(8), nullptr);
  EXPECT_EQ(Mem_Realloc(first, 16), nullptr);  // the block stays the caller's
  Mem_Free(Mem_Realloc(first, 16));
  EXPECT_EQ(platform::faults::Allocations(), 4u);
  char* buffer = nullptr;
  platform::faults::FailAllocations(1);
  EXPECT_EQ(LoadFile((tmp / "f.txt").c_str(), &buffer), 0);
  EXPECT_EQ(buffer, nullptr);
  platform::faults::Clear();
  EXPECT_EQ(LoadFile((tmp / "f.txt").c_str(), &buffer), 4);
  Mem_Free(buffer);
}
