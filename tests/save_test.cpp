// Saving layer files: a writer killed at random moments, saves that fail part-way, files reached through
// symbolic links and the permission bits of the files.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <gtest/gtest.h>
#include <platform/os.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "configmgr.h"
#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr int kCrashKeys = 300;

std::string CrashKey(int i) {
  char key[16];
  std::snprintf(key, sizeof key, "Key%03d", i);
  return key;
}

std::string CrashValue(int i) {
  char value[64];
  std::snprintf(value, sizeof value, "value %03d of the crash test, padded to make the file larger", i);
  return value;
}

}  // namespace

// The child of the crash test, on the configuration folder args[0]: writes the keys once each (so the file
// grows to several KB), tells the parent with a line, then counts up for ever, each count a save of the whole
// file.
NAVCONFIG_TEST_CHILD(write_until_killed) {
  SU_Config(args[0].c_str());
  Config_ResetConfigMgr();  // the file as the last writer left it
  for (int i = 0; i < kCrashKeys; ++i) Config_SetStrVal("Crash", CrashKey(i).c_str(), CrashValue(i).c_str());
  std::printf("ready\n");
  std::fflush(stdout);
  long counter = Config_GetIntVal("user\\Crash", "Counter");
  for (;;) Config_SetIntVal("Crash", "Counter", ++counter);
}

namespace {

struct CrashState {
  int keys = 0;
  long counter = -1;
};

// Checks that text is a whole file as the writer makes it: every line a header, a value or the empty line
// after a section, the last line ended. The [Crash] section must hold the first keys in order with their
// values, and the counter only once all keys are there.
testing::AssertionResult IsWholeFile(const std::string& text, CrashState& state) {
  if (text.empty()) return testing::AssertionFailure() << "empty file";
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\n\n") != 0)
    return testing::AssertionFailure() << "the file does not end with a section's empty line";
  static const std::regex header(R"(\[[^\]\r\n]+\])");
  static const std::regex value(R"("[^"\r\n]+"=(-?[0-9]+|0x[0-9a-f]{8}|"[^"\r\n]*"))");
  bool inCrash = false;
  bool afterEmpty = true;
  state = CrashState();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) {
      afterEmpty = true;
      inCrash = false;
      continue;
    }
    if (std::regex_match(line, header)) {
      if (!afterEmpty) return testing::AssertionFailure() << "no empty line before " << line;
      afterEmpty = false;
      inCrash = line == "[Crash]";
      continue;
    }
    if (afterEmpty || !std::regex_match(line, value))
      return testing::AssertionFailure() << "malformed line: " << line;
    if (!inCrash) continue;
    if (line.rfind("\"Counter\"=", 0) == 0) {
      state.counter = std::stol(line.substr(10));
      continue;
    }
    std::string expected = "\"";
    expected += CrashKey(state.keys);
    expected += "\"=\"";
    expected += CrashValue(state.keys);
    expected += '"';
    if (line != expected) return testing::AssertionFailure() << "expected " << expected << ", found " << line;
    ++state.keys;
  }
  if (state.counter >= 0 && state.keys != kCrashKeys)
    return testing::AssertionFailure() << "a counter with only " << state.keys << " keys";
  return testing::AssertionSuccess();
}

std::vector<std::string> TemporaryFiles(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& name : storetest::Listing(dir))
    if (name.find(".tmp") != std::string::npos) out.push_back(name);
  return out;
}

const navconfig::SaveStatus* LastSave(const char* layer) { return GetConfigMgr()->LastSave(layer); }

}  // namespace

class CrashSafeSaves : public StoreTest {};

TEST_F(CrashSafeSaves, AWriterKilledAtAnyMomentLeavesACompleteEarlierFile) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(0, 30);
  const std::string file = Cfg("user.cfg");

  CrashState seen;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    testsupport::ChildProcess child("write_until_killed", {configDir});
    ASSERT_TRUE(child.Started());
    // The first rounds may stop the child while the file still grows; the others once it counts.
    if (round >= 3) {
      std::string line;
      EXPECT_TRUE(child.ReadLine(line, 120000)) << "the writer ended early";
      EXPECT_EQ(line, "ready");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    child.Kill();
    ASSERT_EQ(child.Wait(), -1) << "the writer ended by itself";

    if (!testsupport::Exists(file)) {
      ASSERT_EQ(seen.keys, 0) << "the file went away";
      continue;
    }
    EXPECT_FALSE(testsupport::IsSymlink(file));
    // Saves go through one temporary name, so killed writers leave at most that one file.
    for (const auto& name : TemporaryFiles(configDir)) EXPECT_EQ(name, ".user.cfg.tmp");
    CrashState state;
    ASSERT_TRUE(IsWholeFile(testsupport::ReadFile(file), state));
    EXPECT_GE(state.keys, seen.keys);
    EXPECT_GE(state.counter, seen.counter);
    seen = state;
  }
  EXPECT_EQ(seen.keys, kCrashKeys);
  EXPECT_GT(seen.counter, 0);

  // The library reads back what the last writer left.
  Reload();
  EXPECT_EQ(Config_GetIntVal("user\\Crash", "Counter"), seen.counter);
  EXPECT_EQ(storetest::Str("user\\Crash", CrashKey(kCrashKeys - 1).c_str()), CrashValue(kCrashKeys - 1));

  // Neither the lock nor the temporary file of a killed writer is in the next one's way, and its save leaves
  // no temporary file behind, not even those that writers of older versions left under names of their own.
  testsupport::WriteFile(Cfg(".user.cfg.tmp.Xy12Zw"), "left by an older writer");
  GetConfigMgr()->m_saveLockTimeout = std::chrono::milliseconds(1000);
  Config_SetIntVal("Crash", "Counter", seen.counter + 1);
  EXPECT_TRUE(LastSave("user")->ok) << LastSave("user")->reason;
  EXPECT_EQ(TemporaryFiles(configDir), std::vector<std::string>{});
}

class FailedSaves : public StoreTest {};

TEST_F(FailedSaves, LeaveThePreviousFileWholeAndNoTemporaryFile) {
  EXPECT_EQ(LastSave("no_such_layer"), nullptr);
  Config_SetIntVal("Saves", "Value", 100);
  ASSERT_NE(LastSave("user"), nullptr);
  EXPECT_TRUE(LastSave("user")->ok);
  EXPECT_EQ(LastSave("USER"), LastSave("user"));
  const auto files = storetest::Listing(configDir);
  std::string good = ReadCfg("user.cfg");

  struct Case {
    platform::FsStep step;
    platform::FsFault fault;
  };
  const Case cases[] = {
      {platform::FsStep::CreateTemp, platform::FsFault::NoSpace},
      {platform::FsStep::Write, platform::FsFault::NoSpace},
      {platform::FsStep::Sync, platform::FsFault::IoError},
      {platform::FsStep::Rename, platform::FsFault::AccessDenied},
  };
  long n = 0;
  for (const auto& c : cases) {
    const std::string reason = testsupport::FaultText(c.fault);
    SCOPED_TRACE(reason);
    ++n;
    platform::InjectFault(c.step, c.fault);
    Config_SetIntVal("Saves", "Value", n);  // the failure is not reported to the caller
    EXPECT_EQ(ReadCfg("user.cfg"), good);
    EXPECT_EQ(storetest::Listing(configDir), files);
    const navconfig::SaveStatus* status = LastSave("user");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->attempted);
    EXPECT_FALSE(status->ok);
    EXPECT_NE(status->reason.find(reason), std::string::npos) << status->reason;
    EXPECT_EQ(status->file, Cfg("user.cfg"));
    EXPECT_EQ(Config_GetIntVal("Saves", "Value"), n);  // memory keeps the change

    // The next save writes everything that memory holds.
    Config_SetIntVal("Saves", "Other", n);
    status = LastSave("user");
    EXPECT_TRUE(status->ok);
    EXPECT_EQ(status->reason, "");
    good = ReadCfg("user.cfg");
    EXPECT_EQ(storetest::SectionBlock(good, "[Saves]"),
              "[Saves]\n\"Other\"=" + std::to_string(n) + "\n\"Value\"=" + std::to_string(n) + "\n\n");
  }

  // A folder that does not exist: the save fails, nothing is created.
  const std::string missing = tmp / "missing/";
  SU_Config(missing.c_str());
  Config_SetIntVal("elsewhere\\S", "K", 1);
  ASSERT_NE(LastSave("elsewhere"), nullptr);
  EXPECT_FALSE(LastSave("elsewhere")->ok);
  EXPECT_NE(LastSave("elsewhere")->reason, "");
  EXPECT_FALSE(testsupport::Exists(missing));
}

class SaveTargets : public StoreTest {};

TEST_F(SaveTargets, ALinkStaysALink) {
  const std::string real = tmp / "real/user-settings.cfg";
  testsupport::MakeDirs(tmp / "real");
  testsupport::WriteFile(real, "[Image]\n\"KeepPercent\"=60\n");
  testsupport::RemoveAll(Cfg("user.cfg"));  // written by the start
  if (!testsupport::MakeSymlink("../real/user-settings.cfg", Cfg("user.cfg"))) {
    ASSERT_TRUE(testsupport::kWindows) << "cannot make a symbolic link";
    GTEST_SKIP() << testsupport::kNoSymlinks;
  }
  Reload();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 60);

  Config_SetIntVal("Image", "KeepPercent", 61);
  EXPECT_TRUE(testsupport::IsSymlink(Cfg("user.cfg")));
  EXPECT_EQ(testsupport::ReadSymlink(Cfg("user.cfg")), testsupport::Native("../real/user-settings.cfg"));
  EXPECT_EQ(storetest::SectionBlock(testsupport::ReadFile(real), "[Image]"), "[Image]\n\"KeepPercent\"=61\n\n");
  EXPECT_EQ(TemporaryFiles(tmp / "real"), std::vector<std::string>{});
  EXPECT_EQ(storetest::Listing(configDir), (std::vector<std::string>{".user.cfg.lock", "user.cfg"}));
}

TEST_F(SaveTargets, FilesKeepTheirPermissionBits) {
  if (testsupport::kWindows) GTEST_SKIP() << testsupport::kNoPermissionBits;
  const std::string real = tmp / "real/user-settings.cfg";
  testsupport::MakeDirs(tmp / "real");
  testsupport::WriteFile(real, "[Image]\n\"KeepPercent\"=60\n");
  ASSERT_TRUE(testsupport::SetFileMode(real, 0640));
  testsupport::RemoveAll(Cfg("user.cfg"));  // written by the start
  ASSERT_TRUE(testsupport::MakeSymlink("../real/user-settings.cfg", Cfg("user.cfg")));
  Reload();
  Config_SetIntVal("Image", "KeepPercent", 61);
  EXPECT_EQ(testsupport::FileMode(real), 0640u);

  // An existing file keeps its bits; a new one gets 0644 less the umask.
  testsupport::WriteFile(Cfg("private.cfg"), "[S]\n\"K\"=1\n");
  ASSERT_TRUE(testsupport::SetFileMode(Cfg("private.cfg"), 0600));
  Config_SetIntVal("private\\S", "K", 2);
  EXPECT_EQ(testsupport::FileMode(Cfg("private.cfg")), 0600u);
  EXPECT_EQ(ReadCfg("private.cfg"), "[S]\n\"K\"=2\n\n");

  const unsigned old = testsupport::SetUmask(027);
  Config_SetIntVal("fresh\\S", "K", 1);
  testsupport::SetUmask(022);
  Config_SetIntVal("usual\\S", "K", 1);
  testsupport::SetUmask(old);
  EXPECT_EQ(testsupport::FileMode(Cfg("fresh.cfg")), 0640u);
  EXPECT_EQ(testsupport::FileMode(Cfg("usual.cfg")), 0644u);
}
