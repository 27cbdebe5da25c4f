// Several processes writing one configuration: every save merges with the file on disk under the file's
// lock, so that no process undoes what another saved, the newest write of a key wins, and a process that
// holds the lock too long (or dies holding it) never makes another hang.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <gtest/gtest.h>
#include <platform/file_lock.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "configmgr.h"
#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr int kKeysPerWriter = 200;

std::string Key(const std::string& prefix, int i) {
  char key[32];
  std::snprintf(key, sizeof key, "%s%03d", prefix.c_str(), i);
  return key;
}

void WaitForFile(const std::string& path) {
  for (int i = 0; i < 30000 && !testsupport::Exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A child's start on the configuration folder: a manager that reads the files as they are now.
void StartIn(const std::string& configDir) {
  SU_Config(configDir.c_str());
  Config_ResetConfigMgr();
}

int LastSaveResult() {
  bool ok = false;
  return Config_GetLastSaveStatus("user", &ok, nullptr, 0, nullptr, 0) && ok ? 0 : 1;
}

// One change as a process makes it: op is "set", "unset" or "delete-branch".
void Apply(const std::string& op, const std::string& path, const std::string& key, const std::string& value) {
  if (op == "set") Config_SetIntVal(path.c_str(), key.c_str(), std::stol(value));
  else if (op == "unset") Config_DeleteKeyVal(path.c_str(), key.c_str());
  else if (op == "delete-branch") Config_DeleteKey(path.c_str());
}

// The integer values of a section in memory, written as the writer writes a section ("<absent>" without any).
std::string MemoryBlock(const std::string& path, const std::string& header) {
  KeyValue* cursor = Config_SetBeginEnumKeyValue(path.c_str());
  if (!cursor) return "<absent>";
  std::string block = header;
  block += '\n';
  for (; cursor; cursor = cursor->next) {
    block += '"';
    block += cursor->name;
    block += "\"=";
    block += std::to_string(cursor->intValue);
    block += '\n';
  }
  block += '\n';
  return block;
}

}  // namespace

// Sets kKeysPerWriter keys "<args[2]>NNN" of [Writers] on the folder args[0] once the file args[1] exists.
NAVCONFIG_TEST_CHILD(set_keys) {
  StartIn(args[0]);
  WaitForFile(args[1]);
  for (int i = 0; i < kKeysPerWriter; ++i) Config_SetIntVal("Writers", Key(args[2], i).c_str(), i + 1);
  return LastSaveResult();
}

// One change (Apply with args[1..4]) on the folder args[0].
NAVCONFIG_TEST_CHILD(edit) {
  StartIn(args[0]);
  Apply(args[1], args[2], args[3], args[4]);
  return LastSaveResult();
}

// Takes the lock args[0], says so, and keeps it until it is killed.
NAVCONFIG_TEST_CHILD(hold_lock) {
  platform::FileLock lock;
  if (!lock.Acquire(args[0], std::chrono::milliseconds(10000)).ok) return 1;
  std::printf("locked\n");
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

class SeveralWriters : public StoreTest {};

TEST_F(SeveralWriters, TwoProcessesSettingDistinctKeysAtOnceLoseNone) {
  Config_SetIntVal("Writers", "Parent", 1);
  const std::string go = tmp / "go";
  testsupport::ChildProcess first("set_keys", {configDir, go, "A"});
  testsupport::ChildProcess second("set_keys", {configDir, go, "B"});
  ASSERT_TRUE(first.Started() && second.Started());
  testsupport::WriteFile(go, "");  // both start together
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);

  // This process's next save takes in what both saved: its memory holds every key, and so does the file.
  Config_SetIntVal("Writers", "Parent", 2);
  for (const bool fromFile : {false, true}) {
    SCOPED_TRACE(fromFile ? "read from the file" : "in memory");
    if (fromFile) Reload();
    int lost = 0;
    for (const char* prefix : {"A", "B"})
      for (int i = 0; i < kKeysPerWriter; ++i)
        if (Config_GetIntVal("user\\Writers", Key(prefix, i).c_str()) != i + 1) ++lost;
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(Config_GetIntVal("user\\Writers", "Parent"), 2);
  }
}

TEST_F(SeveralWriters, TheNewestWriteOfAKeyWins) {
  struct Change {
    std::string op, key, value;
  };
  struct Case {
    const char* what;
    std::vector<Change> before;  // this process's own, saved first
    std::vector<Change> other;   // another process's, after that
    Change then;                 // this process's, last
    const char* block;           // the section afterwards, in the file and in memory
  };
  const Case cases[] = {
      {"a write after another's delete", {{"set", "K", "1"}}, {{"unset", "K", "-"}}, {"set", "K", "2"},
       "\"K\"=2\n"},
      {"a delete after another's write", {{"set", "K", "1"}}, {{"set", "K", "5"}}, {"unset", "K", "-"}, nullptr},
      {"a delete of a key only the file holds", {{"set", "O", "1"}}, {{"set", "K", "5"}}, {"unset", "K", "-"},
       "\"O\"=1\n"},
      {"a write of the value memory holds", {{"set", "K", "1"}}, {{"set", "K", "5"}}, {"set", "K", "1"},
       "\"K\"=1\n"},
      {"a write after another's branch delete", {{"set", "K", "1"}, {"set", "O", "1"}},
       {{"delete-branch", "-", "-"}}, {"set", "K2", "3"}, "\"K2\"=3\n"},
      {"keys not touched take the file's values", {{"set", "K", "1"}, {"set", "O", "1"}},
       {{"set", "O", "7"}, {"unset", "K", "-"}, {"set", "N", "8"}}, {"set", "K", "2"},
       "\"K\"=2\n\"N\"=8\n\"O\"=7\n"},
      {"a write that changes nothing, with nobody else writing", {{"set", "K", "1"}}, {}, {"set", "K", "1"},
       "\"K\"=1\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "user\\Case" + std::to_string(++n);
    const std::string header = "[Case" + std::to_string(n) + "]";
    for (const Change& change : c.before) Apply(change.op, path, change.key, change.value);
    KeyRoot* const section = Config_FindRoot(path.c_str());
    ASSERT_NE(section, nullptr);
    for (const Change& change : c.other)
      ASSERT_EQ(testsupport::RunChild("edit", {configDir, change.op, path, change.key, change.value}), 0);
    const auto file = storetest::FileId(Cfg("user.cfg"));
    Apply(c.then.op, path, c.then.key, c.then.value);

    std::string expected = "<absent>";
    if (c.block) expected = header + '\n' + c.block + '\n';
    EXPECT_EQ(Block("user.cfg", header), expected);
    EXPECT_EQ(MemoryBlock(path, header), expected);
    // The section's record outlives the merge, so a handle to it stays good.
    EXPECT_EQ(Config_FindRoot(path.c_str()), section);
    if (c.other.empty()) {
      EXPECT_EQ(storetest::FileId(Cfg("user.cfg")), file) << "a save that changed nothing";
    }
  }
}

TEST_F(SeveralWriters, ALockHeldElsewhereFailsTheSaveInTimeAndItsHoldersDeathFreesIt) {
  Config_SetIntVal("Held", "K", 1);
  const std::string before = ReadCfg("user.cfg");
  testsupport::ChildProcess holder("hold_lock", {platform::LockFileOf(Cfg("user.cfg"))});
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line, 60000));
  ASSERT_EQ(line, "locked");

  GetConfigMgr()->m_saveLockTimeout = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  Config_SetIntVal("Held", "K", 2);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_EQ(ReadCfg("user.cfg"), before);
  bool ok = true;
  char reason[256];
  ASSERT_TRUE(Config_GetLastSaveStatus("user", &ok, nullptr, 0, reason, sizeof reason));
  EXPECT_FALSE(ok);
  EXPECT_NE(std::string(reason).find("lock .user.cfg.lock: another process has held it"), std::string::npos)
      << reason;
  EXPECT_EQ(Config_GetIntVal("Held", "K"), 2);  // memory keeps the change

  // The system releases the lock of a process that ends however it ends; the next save writes both changes.
  holder.Kill();
  EXPECT_EQ(holder.Wait(), -1);
  GetConfigMgr()->m_saveLockTimeout = navconfig::kSaveLockTimeout;
  Config_SetIntVal("Held", "Other", 1);
  EXPECT_EQ(Block("user.cfg", "[Held]"), "[Held]\n\"K\"=2\n\"Other\"=1\n\n");
}

TEST_F(SeveralWriters, AfterTheFolderChangesTheFirstSaveKeepsTheLayerInMemoryAndTheFoldersFile) {
  Config_SetIntVal("Mine", "Old", 1);
  const std::string other = tmp / "other/";
  testsupport::MakeDirs(other);
  testsupport::WriteFile(other + "user.cfg", "[Mine]\n\"Old\"=9\n[Theirs]\n\"K\"=5\n");
  SU_Config(other.c_str());
  Config_SetIntVal("Mine", "New", 2);
  const std::string text = testsupport::ReadFile(other + "user.cfg");
  EXPECT_EQ(storetest::SectionBlock(text, "[Mine]"), "[Mine]\n\"New\"=2\n\"Old\"=1\n\n");
  EXPECT_EQ(storetest::SectionBlock(text, "[Theirs]"), "[Theirs]\n\"K\"=5\n\n");
  EXPECT_EQ(Config_GetIntVal("Theirs", "K"), 5);
  EXPECT_EQ(Config_GetIntVal("Mine", "Old"), 1);
}

TEST_F(SeveralWriters, ALayerBroughtToItsFileTellsEveryValueThatChanged) {
  for (const char* key : {"Same", "Changes", "Goes"}) Config_SetIntVal("mylayer\\A", key, 1);
  Config_SetIntVal("mylayer\\A\\Deep", "Goes", 1);
  KeyRoot* const deep = Config_FindRoot("mylayer\\A\\Deep");
  CConfigMgr* mgr = GetConfigMgr();
  EXPECT_FALSE(mgr->LayerFileChanged("mylayer"));

  WriteCfg("mylayer.cfg", "[A]\n\"Changes\"=2\n\"New\"=3\n\"Same\"=1\n[B]\n\"K\"=4\n");
  EXPECT_TRUE(mgr->LayerFileChanged("mylayer"));
  std::vector<navconfig::ValueChange> changes;
  {
    navconfig::ConfigLock lock(mgr);
    ASSERT_TRUE(mgr->SyncLayerWithFile("mylayer", &changes).ok);
  }
  std::vector<std::string> told;
  for (const auto& c : changes) {
    const char* kind = c.kind == navconfig::ValueChange::Kind::Added     ? "added"
                       : c.kind == navconfig::ValueChange::Kind::Changed ? "changed"
                                                                         : "removed";
    told.push_back(std::string(kind) + " " + c.layer + " [" + c.section + "] " + c.key);
  }
  EXPECT_EQ(told, (std::vector<std::string>{"removed mylayer [A] Goes", "changed mylayer [A] Changes",
                                            "added mylayer [A] New", "removed mylayer [A\\Deep] Goes",
                                            "added mylayer [B] K"}));
  EXPECT_FALSE(mgr->LayerFileChanged("mylayer"));
  EXPECT_EQ(Config_GetIntVal("mylayer\\A", "Changes"), 2);
  EXPECT_EQ(Config_GetIntVal("mylayer\\B", "K"), 4);
  EXPECT_EQ(Config_FindRoot("mylayer\\A\\Deep"), deep);
  EXPECT_EQ(Config_SetBeginEnumKeyValue("mylayer\\A\\Deep"), nullptr);
}
