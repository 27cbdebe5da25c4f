// Saving layer files: a writer killed at random moments, saves that fail part-way, files reached through
// symbolic links and the permission bits of the files.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <gtest/gtest.h>
#include <platform/os.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The child of the crash test: writes the keys once each (so the file grows to several KB), tells the
// parent, then counts up for ever, each count a save of the whole file.
[[noreturn]] void WriteUntilKilled(int readyFd) {
  Config_ResetConfigMgr();  // the file as the last writer left it
  for (int i = 0; i < kCrashKeys; ++i) Config_SetStrVal("Crash", CrashKey(i).c_str(), CrashValue(i).c_str());
  const char ready = 'k';
  if (::write(readyFd, &ready, 1) != 1) ::_exit(3);
  long counter = Config_GetIntVal("user\\Crash", "Counter");
  for (;;) Config_SetIntVal("Crash", "Counter", ++counter);
}

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
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      WriteUntilKilled(ready[1]);
    }
    ::close(ready[1]);
    // The first rounds may stop the child while the file still grows; the others once it counts.
    if (round >= 3) {
      pollfd p{ready[0], POLLIN, 0};
      EXPECT_EQ(::poll(&p, 1, 120000), 1);
      char c = 0;
      EXPECT_EQ(::read(ready[0], &c, 1), 1) << "the writer ended early";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer ended by itself: " << status;

    if (!testsupport::Exists(file)) {
      ASSERT_EQ(seen.keys, 0) << "the file went away";
      continue;
    }
    struct stat st{};
    ASSERT_EQ(::lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
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
    const char* reason;
  };
  const Case cases[] = {
      {platform::FsStep::CreateTemp, platform::FsFault::NoSpace, "No space left on device"},
      {platform::FsStep::Write, platform::FsFault::NoSpace, "No space left on device"},
      {platform::FsStep::Sync, platform::FsFault::IoError, "Input/output error"},
      {platform::FsStep::Rename, platform::FsFault::AccessDenied, "Permission denied"},
  };
  long n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ++n;
    platform::InjectFault(c.step, c.fault);
    Config_SetIntVal("Saves", "Value", n);  // the failure is not reported to the caller
    EXPECT_EQ(ReadCfg("user.cfg"), good);
    EXPECT_EQ(storetest::Listing(configDir), files);
    const navconfig::SaveStatus* status = LastSave("user");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->attempted);
    EXPECT_FALSE(status->ok);
    EXPECT_NE(status->reason.find(c.reason), std::string::npos) << status->reason;
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

TEST_F(SaveTargets, ALinkStaysALinkAndFilesKeepTheirPermissions) {
  const std::string real = tmp / "real/user-settings.cfg";
  testsupport::MakeDirs(tmp / "real");
  testsupport::WriteFile(real, "[Image]\n\"KeepPercent\"=60\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  std::remove(Cfg("user.cfg").c_str());  // written by the start
  ASSERT_EQ(::symlink("../real/user-settings.cfg", Cfg("user.cfg").c_str()), 0);
  Reload();
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 60);

  Config_SetIntVal("Image", "KeepPercent", 61);
  struct stat st{};
  ASSERT_EQ(::lstat(Cfg("user.cfg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  char target[256] = {};
  ASSERT_GT(::readlink(Cfg("user.cfg").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "../real/user-settings.cfg");
  EXPECT_EQ(storetest::SectionBlock(testsupport::ReadFile(real), "[Image]"), "[Image]\n\"KeepPercent\"=61\n\n");
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(TemporaryFiles(tmp / "real"), std::vector<std::string>{});
  EXPECT_EQ(storetest::Listing(configDir), std::vector<std::string>{"user.cfg"});

  // An existing file keeps its bits; a new one gets 0644 less the umask.
  testsupport::WriteFile(Cfg("private.cfg"), "[S]\n\"K\"=1\n");
  ASSERT_EQ(::chmod(Cfg("private.cfg").c_str(), 0600), 0);
  Config_SetIntVal("private\\S", "K", 2);
  ASSERT_EQ(::stat(Cfg("private.cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadCfg("private.cfg"), "[S]\n\"K\"=2\n\n");

  const mode_t old = ::umask(027);
  Config_SetIntVal("fresh\\S", "K", 1);
  ::umask(022);
  Config_SetIntVal("usual\\S", "K", 1);
  ::umask(old);
  ASSERT_EQ(::stat(Cfg("fresh.cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_EQ(::stat(Cfg("usual.cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}
