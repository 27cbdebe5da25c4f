// Saving layer files: a writer killed at random moments, saves that fail part-way, files reached through
// symbolic links and the permission bits of the files.
#include <config/config_api.h>
#include <config/config_changes.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <gtest/gtest.h>
#include <platform/faults.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "store/configmgr.h"
#include "store_env.h"
#include "support/file_kinds.h"

using storetest::SaveOutcome;
using storetest::StoreTest;

namespace {

constexpr int kCrashKeys = 300;

std::string CrashLine(int i) {
  char line[96];
  std::snprintf(line, sizeof line, "\"Key%03d\"=\"value %03d of the crash test, padded to make the file larger\"", i, i);
  return line;
}

}  // namespace

// The child of the crash test, on the configuration folder args[0]: writes the keys once each (so the file
// grows to several KB), tells the parent with a line, then counts up for ever, each count a change set of two
// values saved as the whole file.
NAVCONFIG_TEST_CHILD(write_until_killed) {
  SU_Config(args[0].c_str());
  Config_ResetConfigMgr();  // the file as the last writer left it
  for (int i = 0; i < kCrashKeys; ++i) {
    const std::string line = CrashLine(i);
    Config_SetStrVal("Crash", line.substr(1, 6).c_str(), line.substr(10, line.size() - 11).c_str());
  }
  std::printf("ready\n");
  std::fflush(stdout);
  long counter = Config_GetIntVal("user\\Crash", "Counter");
  for (;;) {
    Config_ChangeSet* set = Config_ChangeSetNew();
    Config_ChangeSetSetInt(set, "Crash", "Counter", ++counter);
    Config_ChangeSetSetInt(set, "Crash", "Counter2", counter);
    Config_ChangeSetApply(set);
    Config_ChangeSetFree(set);
  }
}

class CrashSafeSaves : public StoreTest {};

TEST_F(CrashSafeSaves, AWriterKilledAtAnyMomentLeavesACompleteEarlierFile) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const std::string file = Cfg("user.cfg");
  const std::string rest = ReadCfg("user.cfg");  // what the start wrote, which sorts after [Crash]
  int keys = 0;
  long counter = -1;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    testsupport::ChildProcess child("write_until_killed", {configDir});
    ASSERT_TRUE(child.Started());
    // The first rounds may stop the child while the file still grows; the others once it counts.
    std::string line;
    EXPECT_TRUE(round < 3 || (child.ReadLine(line, 120000) && line == "ready")) << "the writer ended early";
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 31));
    child.Kill();
    ASSERT_EQ(child.Wait(), -1) << "the writer ended by itself";

    // A whole file as a save writes it: the first keys in order, the counter only once all keys are there, both
    // values of a change set or neither.
    const std::string text = testsupport::ReadFile(file);
    ASSERT_GE(text.size(), rest.size());
    ASSERT_EQ(text.substr(text.size() - rest.size()), rest);
    const std::string crash = text.substr(0, text.size() - rest.size());
    int nowKeys = 0;
    for (size_t at = crash.find("\n\"Key"); at != std::string::npos; at = crash.find("\n\"Key", at + 1)) ++nowKeys;
    const size_t at = crash.find("\"Counter\"=");
    const long nowCounter = at == std::string::npos ? -1 : std::stol(crash.substr(at + 10));
    std::string expected = nowKeys || nowCounter >= 0 ? "[Crash]\n" : "";
    const std::string count = std::to_string(nowCounter);
    if (nowCounter >= 0) expected += "\"Counter\"=" + count + "\n\"Counter2\"=" + count + "\n";
    for (int i = 0; i < nowKeys; ++i) expected += CrashLine(i) + "\n";
    if (!expected.empty()) expected += "\n";
    ASSERT_EQ(crash, expected);
    EXPECT_TRUE(nowCounter < 0 || nowKeys == kCrashKeys);
    EXPECT_GE(nowKeys, keys);
    EXPECT_GE(nowCounter, counter);
    keys = nowKeys;
    counter = nowCounter;
    EXPECT_NE(testsupport::KindAt(file), "symlink");
    // Saves go through one temporary name, so killed writers leave at most that one file.
    for (const auto& name : storetest::Listing(configDir))
      EXPECT_TRUE(name.find(".tmp") == std::string::npos || name == ".user.cfg.tmp") << name;
  }
  EXPECT_EQ(keys, kCrashKeys);
  EXPECT_GT(counter, 0);

  // Neither the lock nor the temporary file of a killed writer is in the next one's way, and its save leaves
  // no temporary file behind, not even those that writers of older versions left under names of their own.
  Reload();
  testsupport::WriteFile(Cfg(".user.cfg.tmp.Xy12Zw"), "left by an older writer");
  GetConfigMgr()->SetSaveLockTimeout(std::chrono::milliseconds(1000));
  Config_SetIntVal("Crash", "Counter", counter + 1);
  EXPECT_EQ(SaveOutcome("user"), "ok");
  EXPECT_EQ(Config_GetIntVal("user\\Crash", "Counter"), counter + 1);
  for (const auto& name : storetest::Listing(configDir)) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

class FailedSaves : public StoreTest {};

// Every failure of every call of a save: faults_test.cpp. What a failed save leaves for the next one:
TEST_F(FailedSaves, AChangeWhoseSaveFailedIsSavedWithTheNextOne) {
  Config_SetIntVal("Saves", "Value", 4);
  Config_SetIntVal("Saves", "Other", 4);
  // A layer deleted whole stays deleted while its save fails (no read takes the file's values back), and the
  // deletion is saved with the next change.
  platform::faults::Fail(platform::faults::Call::Rename, ENOSPC);
  Config_DeleteKey("user");
  Config_FlushBranch("user");  // read once more, and deleted again
  platform::faults::Count();
  const long value = Config_GetIntVal("Saves", "Value") + Config_GetIntVal("Saves", "Value");
  EXPECT_EQ(platform::faults::Calls(platform::faults::Call::Open), 1u);
  Config_SetIntVal("Saves", "Other", value + 5);  // not 4 from the file
  EXPECT_EQ(ReadCfg("user.cfg"), "[Saves]\n\"Other\"=5\n\n");
  // One whose layer was flushed, and read again from its file, is saved with the next change too.
  platform::faults::Fail(platform::faults::Call::Rename, ENOSPC);
  Config_SetIntVal("Saves", "Kept", 1);
  Config_FlushBranch("user");
  EXPECT_EQ(Config_GetIntVal("Saves", "Kept"), 1);
  Config_SetIntVal("Saves", "More", 2);
  EXPECT_EQ(ReadCfg("user.cfg"), "[Saves]\n\"Kept\"=1\n\"More\"=2\n\"Other\"=5\n\n");
  // So is one of a layer that no file holds yet, read through every layer after the flush.
  platform::faults::Fail(platform::faults::Call::Rename, ENOSPC);
  Config_SetIntVal("product\\Plain", "Value", 3);
  Config_FlushBranch("product");
  EXPECT_EQ(Config_GetIntVal("Plain", "Value"), 3);
  // While saves fail (the lock file a folder) the journal keeps one change per key, and a branch deletion in
  // place of the changes below it; SD_Config tries them once more, and logs what still fails.
  const std::string lock = Cfg(".user.cfg.lock");
  testsupport::RemoveAll(lock);
  testsupport::MakeDirs(lock);
  for (int i = 0; i < 1000; ++i) Config_SetIntVal("Saves", "Other", i);
  Config_SetIntVal("user\\Saves\\Sub", "A", 1);
  Config_SetIntVal("user\\Saves\\Sub", "B", 1);
  Config_SetIntVal("user\\Saves\\Subway", "C", 1);  // not below Sub
  EXPECT_EQ(GetConfigMgr()->UnsavedChanges("user"), 4u);
  Config_DeleteKey("user\\Saves\\Sub");
  EXPECT_EQ(GetConfigMgr()->UnsavedChanges("user"), 3u);
  {
    testsupport::LogCapture log;
    SD_Config();
    EXPECT_EQ(log.Matching("could not be saved before the trees were released").size(), 1u);
  }
  EXPECT_NE(SaveOutcome("user"), "ok");
  EXPECT_EQ(Config_GetIntVal("Saves", "Other"), 5);  // the file's
  Config_SetIntVal("Saves", "Other", 6);
  testsupport::RemoveAll(lock);
  SD_Config();
  EXPECT_EQ(ReadCfg("user.cfg"), "[Saves]\n\"Kept\"=1\n\"More\"=2\n\"Other\"=6\n\n");
}

// A write of another process that came after a change whose save failed is the newer one: the next save keeps
// it, for a value set or deleted and below a deleted branch, and saves the changes to what it left alone.
TEST_F(FailedSaves, AWriteOfAnotherProcessAfterAFailedSaveOutlivesTheChange) {
  for (const char* key : {"Set", "Deleted", "Mine"}) Config_SetIntVal("S", key, 1);
  for (const char* key : {"Kept", "Newer"}) Config_SetIntVal("user\\S\\B\\C", key, 1);
  platform::faults::Fail(platform::faults::Call::Rename, ENOSPC, 1, 5);
  Config_SetIntVal("S", "Set", 2);
  Config_DeleteKeyVal("user\\S", "Deleted");
  Config_SetIntVal("S", "Mine", 2);
  Config_DeleteKey("user\\S\\B");
  Config_FlushBranch("user");  // read again at the next change, from the other process's file
  testsupport::WriteFile(Cfg("user.cfg"), "[S]\n\"Deleted\"=3\n\"Mine\"=1\n\"Set\"=3\n\n"
                                          "[S\\B\\C]\n\"Kept\"=1\n\"Newer\"=3\n\n");
  Config_SetIntVal("S", "Next", 1);  // fails too, after the merge
  EXPECT_EQ(Config_GetIntVal("S", "Set"), 3);
  Config_SetIntVal("S", "Set", 5);
  EXPECT_EQ(ReadCfg("user.cfg"), "[S]\n\"Deleted\"=3\n\"Mine\"=2\n\"Next\"=1\n\"Set\"=5\n\n"
                                 "[S\\B\\C]\n\"Newer\"=3\n\n");
  // A name spelled anew by the other writer is taken in by the merge: the next save leaves its line as it is.
  testsupport::WriteFile(Cfg("user.cfg"), "[S]\n\"MINE\"=0x2\n");
  Config_SetIntVal("S", "Set", 6);
  EXPECT_EQ(ReadCfg("user.cfg"), "[S]\n\"MINE\"=0x2\n\"Set\"=6\n");
}

class SaveTargets : public StoreTest {};

// A save edits the file: notes stay, and no copy is made. Only a file that is no text (random bytes) is set
// aside before it is replaced, under a name that replaces no earlier copy, and only once.
TEST_F(SaveTargets, ASaveKeepsWhatItDoesNotChangeAndSetsAsideOnlyAFileThatIsNoText) {
  std::mt19937 random(13);
  std::string noise(65536, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string section = "[Image]\n\"KeepPercent\"=60\n", large = "; " + std::string(1 << 20, '.') + "\n";
  // (Line ends, values before any section and the last line end: data/cfg_documents.txt. A file over 1 MB is read
  // again for its text at the save.)
  const std::pair<std::string, std::string> cases[] = {  // a file's text, and the text after a save
      {"; settings of the car\n" + section, "; settings of the car\n[Image]\n\"KeepPercent\"=61\n"},
      {noise, "[Image]\n\"KeepPercent\"=61\n\n"}, {large + section, large + "[Image]\n\"KeepPercent\"=61\n"}};
  // The first start in a folder records its directories in user.cfg, and strips nothing.
  WriteCfg("user.cfg", "; settings of the car\n" + section);
  Restart();
  EXPECT_NE(ReadCfg("user.cfg").find("[Directories]"), std::string::npos);
  EXPECT_NE(ReadCfg("user.cfg").find("; settings of the car\n" + section), std::string::npos);
  WriteCfg("user.cfg.bak", "an older copy");
  int copies = 0;
  for (const auto& [text, saved] : cases) {
    SCOPED_TRACE(text.substr(0, 24));
    testsupport::LogCapture log;
    WriteCfg("user.cfg", text);
    Reload();
    Config_SetIntVal("Image", "KeepPercent", 61);
    ASSERT_EQ(SaveOutcome("user"), "ok");
    EXPECT_EQ(Block("user.cfg", "[Image]"), storetest::SectionBlock(saved, "[Image]"));
    const size_t image = saved.find("[Image]");
    EXPECT_EQ(ReadCfg("user.cfg").substr(0, image), saved.substr(0, image));
    const bool kept = text == noise;
    const std::string backup = Cfg("user.cfg.bak." + std::to_string(copies += kept));
    char file[512];
    EXPECT_EQ(Config_GetLastSaveBackup("user", file, sizeof file), kept);
    EXPECT_EQ(std::string(file), kept ? backup : "");
    EXPECT_EQ(kept ? ReadCfg("user.cfg.bak.1") : "", kept ? text : "");
    EXPECT_EQ(ReadCfg("user.cfg.bak"), "an older copy");
    EXPECT_EQ(log.Matching("is not a text file").size(), kept ? 1u : 0u);
    // Once: the next save edits the file the library wrote itself.
    Config_SetIntVal("Image", "KeepPercent", 62);
    EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg.bak." + std::to_string(copies + 1))));
  }
  // A copy that cannot be made fails the save, and the file stays as it was.
  WriteCfg("user.cfg", noise);
  Reload();
  platform::faults::Fail(platform::faults::Call::Rename, EACCES);
  Config_SetIntVal("Image", "KeepPercent", 61);
  platform::faults::Clear();
  EXPECT_EQ(SaveOutcome("user").rfind("could not keep the previous file: ", 0), 0u) << SaveOutcome("user");
  EXPECT_EQ(ReadCfg("user.cfg"), noise);
}

// What a save finds in the place of its lock file or temporary file: an empty folder or a read-only file left as the
// temporary file is taken over; anything else that is no regular file fails the save, which says what stands there.
TEST_F(SaveTargets, WhatStandsInPlaceOfTheLockOrTheTemporaryFileIsTakenOverOrNamed) {
  const std::string lock = Cfg(".user.cfg.lock"), temp = Cfg(".user.cfg.tmp");
  const struct {
    const char* what;
    std::function<bool()> make;
    const char* reason;  // null: the save works
  } cases[] = {
      {"an empty folder as the temporary file", [&] { testsupport::MakeDirs(temp); return true; }, nullptr},
      {"a read-only file as the temporary file",
       [&] { testsupport::WriteFile(temp, "left"); return testsupport::MakeReadOnly(temp); }, nullptr},
      {"a folder with a file as the temporary file",
       [&] { testsupport::MakeDirs(temp); testsupport::WriteFile(temp + "/x", ""); return true; },
       ".user.cfg.tmp is a directory that is not empty, standing where a save writes its temporary file; it holds "
       "no settings: move it away or remove it"},
      {"a folder as the lock file", [&] { testsupport::MakeDirs(lock); return true; },
       "lock .user.cfg.lock: is a directory, not a regular file (remove it)"},
      {"a link as the lock file", [&] { return testsupport::MakeSymlink("user.cfg", lock); },
       "lock .user.cfg.lock: is a symbolic link, and links are refused there (remove it)"},
  };
  long n = 0, saved = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RemoveAll(lock);
    testsupport::RemoveAll(temp);
    if (!c.make()) {
      std::printf("case skipped, %s: %s\n", c.what, testsupport::kNoSymlinks);
      continue;
    }
    Config_SetIntVal("Obstacle", "K", ++n);
    EXPECT_EQ(SaveOutcome("user"), c.reason ? c.reason : "ok");
    if (!c.reason) saved = n;  // a failed save leaves the file
    EXPECT_EQ(Block("user.cfg", "[Obstacle]"), "[Obstacle]\n\"K\"=" + std::to_string(saved) + "\n\n");
  }
  testsupport::RemoveAll(lock);
  testsupport::RemoveAll(temp);
  Config_SetIntVal("Obstacle", "K", 9);
  EXPECT_EQ(Block("user.cfg", "[Obstacle]"), "[Obstacle]\n\"K\"=9\n\n");
}

// What may stand in the place of user.cfg, and what a start, a read and a save make of it: a link to the
// user's own regular file stays a link, the file being replaced in its own folder under a lock beside it;
// anything else is neither replaced nor truncated, the save fails with the reason, nothing is made outside the
// configuration folder, and nothing waits on a FIFO. Regular files are read through links (another user's too, as an installation's
// product.cfg may be); nothing else is read. Files keep their permission bits.
TEST_F(SaveTargets, OnlyTheUsersOwnRegularFileIsReadAndReplacedAlsoThroughALinkWithItsPermissionBits) {
  using namespace testsupport;
  if (kWindows) GTEST_SKIP() << kNoPosixFileKinds;
  const std::string outside = tmp / "outside/";
  const std::string user = Cfg("user.cfg");
  const std::string kText = "[Image]\n\"KeepPercent\"=60\n";
  auto linkTo = [&](const std::string& name) { return MakeSymlink("../outside/" + name, user); };
  auto fileTo = [&](const std::string& name) {
    WriteFile(outside + name, kText);
    return linkTo(name);
  };
  struct Case {
    const char* what;
    bool rootOnly;
    std::function<bool()> make;  // puts it in place of user.cfg
    long read;                   // what a read gives
    const char* reason;          // why the save fails (after "user.cfg is a "); null when it works
  } const cases[] = {
      {"a FIFO", false, [&] { return MakeFifo(user); }, 50, "FIFO, not a regular file"},
      {"a device", true, [&] { return MakeNullDevice(user); }, 50, "character device, not a regular file"},
      {"a directory", false, [&] { MakeDirs(user); return true; }, 50, "directory, not a regular file"},
      {"a dangling link", false, [&] { return linkTo("missing.cfg"); }, 50, "symbolic link to a missing file (@)"},
      {"a link to a directory", false, [&] { MakeDirs(outside + "dir"); return linkTo("dir"); }, 50,
       "symbolic link to a directory (@), not to a regular file"},
      {"a link to a device", true, [&] { return MakeNullDevice(outside + "null") && linkTo("null"); }, 50,
       "symbolic link to a character device (@), not to a regular file"},
      {"a link to another user's file", true, [&] { return fileTo("theirs.cfg") && GiveToAnotherUser(outside + "theirs.cfg"); },
       60, "symbolic link to a file of another user (@)"},
      {"a link to the user's own file", false, [&] { return fileTo("own.cfg") && SetFileMode(outside + "own.cfg", 0640); },
       60, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.rootOnly && !RunsAsRoot()) {
      std::printf("case skipped, %s: %s\n", c.what, kNotRoot);
      continue;
    }
    RemoveAll(user);
    RemoveAll(outside);
    MakeDirs(outside);
    ASSERT_TRUE(c.make());
    const std::string kind = KindAt(user), link = ReadSymlink(user);
    const std::vector<std::string> outsideFiles = storetest::AllFiles(outside);
    const std::vector<std::string> configFiles = storetest::Listing(configDir);
    {
      FifoGuard guard(user);
      Restart();  // the first start creates user.cfg when nothing stands there, and saves the directories
      EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), c.read);
      Config_SetIntVal("Image", "KeepPercent", 61);
      EXPECT_FALSE(guard.Fired()) << "a FIFO held the library up";
    }
    if (c.reason) {
      std::string reason = "user.cfg is a " + std::string(c.reason);  // @: where the link leads
      if (const size_t at = reason.find('@'); at != std::string::npos) reason.replace(at, 1, configDir + link);
      EXPECT_EQ(SaveOutcome("user"), reason);
    } else {
      EXPECT_EQ(SaveOutcome("user"), "ok");
      EXPECT_EQ(storetest::SectionBlock(ReadFile(outside + "own.cfg"), "[Image]"), "[Image]\n\"KeepPercent\"=61\n");
      EXPECT_EQ(FileMode(outside + "own.cfg"), 0640u);
      // Its lock is beside it, where every writer that reaches it through a link takes it.
      EXPECT_TRUE(Exists(outside + ".own.cfg.lock"));
      RemoveAll(outside + ".own.cfg.lock");
    }
    EXPECT_EQ(KindAt(user), kind);
    EXPECT_EQ(ReadSymlink(user), link);
    EXPECT_EQ(storetest::Listing(configDir), configFiles);
    EXPECT_EQ(storetest::AllFiles(outside), outsideFiles);
    EXPECT_TRUE(!Exists(outside + "theirs.cfg") || ReadFile(outside + "theirs.cfg") == kText);
  }

  // An existing file keeps its permission bits, and its owner when root saves it (its owner could not read it
  // else); a new one gets 0644 less the umask.
  WriteFile(Cfg("private.cfg"), "[S]\n\"K\"=1\n");
  ASSERT_TRUE(SetFileMode(Cfg("private.cfg"), 0600));
  const bool given = GiveToAnotherUser(Cfg("private.cfg"));
  Config_SetIntVal("private\\S", "K", 2);
  EXPECT_EQ(FileMode(Cfg("private.cfg")), 0600u);
  struct stat st{};
  EXPECT_TRUE(!given || (::stat(Cfg("private.cfg").c_str(), &st) == 0 && st.st_uid == 65534)) << "given to root";
  EXPECT_EQ(ReadCfg("private.cfg"), "[S]\n\"K\"=2\n");
  const unsigned old = SetUmask(027);
  Config_SetIntVal("fresh\\S", "K", 1);
  SetUmask(022);
  Config_SetIntVal("usual\\S", "K", 1);
  SetUmask(old);
  EXPECT_EQ(FileMode(Cfg("fresh.cfg")), 0640u);
  EXPECT_EQ(FileMode(Cfg("usual.cfg")), 0644u);
}
