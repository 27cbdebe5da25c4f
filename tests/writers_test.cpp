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

#include "store/configmgr.h"
#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr int kKeysPerWriter = 200;

// A child's start on the configuration folder: a manager that reads the files as they are now.
void StartIn(const std::string& configDir) {
  SU_Config(configDir.c_str());
  Config_ResetConfigMgr();
}

int LastSaveResult() { return storetest::SaveOutcome("user") == "ok" ? 0 : 1; }

// One change of a section as a process makes it: "K=1" sets K, "-K" deletes it, "-" deletes the section, "~"
// flushes another section from memory.
void Apply(const std::string& path, const std::string& change) {
  const size_t equals = change.find('=');
  if (change == "~") {
    Config_SetIntVal("user\\Elsewhere", "E", 1);
    Config_FlushBranch("user\\Elsewhere");
  } else if (equals != std::string::npos)
    Config_SetIntVal(path.c_str(), change.substr(0, equals).c_str(), std::stol(change.substr(equals + 1)));
  else if (change == "-")
    Config_DeleteKey(path.c_str());
  else
    Config_DeleteKeyVal(path.c_str(), change.substr(1).c_str());
}

// The integer values of a section in memory, written as the writer writes a section ("<absent>" without any).
std::string MemoryBlock(const std::string& path, const std::string& header) {
  std::string block = header + "\n";
  for (KeyValue* v = Config_SetBeginEnumKeyValue(path.c_str()); v; v = v->next)
    block.append("\"").append(v->name).append("\"=").append(std::to_string(v->intValue)).append("\n");
  return block == header + "\n" ? "<absent>" : block + "\n";
}

}  // namespace

// Sets kKeysPerWriter keys "<args[2]><i>" of [Writers] to i on the folder args[0] once the file args[1] exists.
NAVCONFIG_TEST_CHILD(set_keys) {
  StartIn(args[0]);
  for (int i = 0; i < 30000 && !testsupport::Exists(args[1]); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (int i = 0; i < kKeysPerWriter; ++i) Config_SetIntVal("Writers", (args[2] + std::to_string(i)).c_str(), i);
  return LastSaveResult();
}

// The changes args[2..] (Apply) of the section args[1] on the folder args[0].
NAVCONFIG_TEST_CHILD(edit) {
  StartIn(args[0]);
  for (size_t i = 2; i < args.size(); ++i) Apply(args[1], args[i]);
  return LastSaveResult();
}

// Saves the key args[2] of [Busy] non-stop on the folder args[0] until the file args[1] appears.
NAVCONFIG_TEST_CHILD(save_non_stop) {
  StartIn(args[0]);
  for (long i = 0; !testsupport::Exists(args[1]); ++i) Config_SetIntVal("Busy", args[2].c_str(), i);
  return LastSaveResult();
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
    for (const std::string prefix : {"A", "B"})
      for (int i = 0; i < kKeysPerWriter; ++i) lost += Config_GetIntVal("Writers", (prefix + std::to_string(i)).c_str()) != i;
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(Config_GetIntVal("user\\Writers", "Parent"), 2);
  }
}

TEST_F(SeveralWriters, TheNewestWriteOfAKeyWins) {
  struct Case {
    const char* what;
    std::vector<std::string> before;  // this process's own changes, saved first
    std::vector<std::string> other;   // another process's, after that
    const char* then;                 // this process's, last
    const char* block;                // the section afterwards, in the file and in memory
  };
  const Case cases[] = {
      {"a write after another's delete", {"K=1"}, {"-K"}, "K=2", "\"K\"=2\n"},
      {"a delete after another's write", {"K=1"}, {"K=5"}, "-K", nullptr},
      {"a delete of a key only the file holds", {"O=1"}, {"K=5"}, "-K", "\"O\"=1\n"},
      {"a write of the value memory holds", {"K=1"}, {"K=5"}, "K=1", "\"K\"=1\n"},
      {"the same after a flush of another section", {"K=1", "~"}, {"K=5"}, "K=1", "\"K\"=1\n"},
      {"a write after another's branch delete", {"K=1", "O=1"}, {"-"}, "K2=3", "\"K2\"=3\n"},
      {"keys not touched take the file's values", {"K=1", "O=1"}, {"O=7", "-K", "N=8"}, "K=2",
       "\"K\"=2\n\"N\"=8\n\"O\"=7\n"},
      {"a write that changes nothing, with nobody else writing", {"K=1"}, {}, "K=1", "\"K\"=1\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "user\\Case" + std::to_string(++n);
    const std::string header = "[Case" + std::to_string(n) + "]";
    for (const std::string& change : c.before) Apply(path, change);
    KeyRoot* const section = Config_FindRoot(path.c_str());
    ASSERT_NE(section, nullptr);
    if (!c.other.empty()) {
      std::vector<std::string> args = {configDir, path};
      args.insert(args.end(), c.other.begin(), c.other.end());
      ASSERT_EQ(testsupport::RunChild("edit", args), 0);
    }
    const auto file = storetest::FileId(Cfg("user.cfg"));
    Apply(path, c.then);
    const std::string expected = c.block ? header + '\n' + c.block + '\n' : "<absent>";
    EXPECT_EQ(Block("user.cfg", header), expected);
    EXPECT_EQ(MemoryBlock(path, header), expected);
    EXPECT_EQ(Config_FindRoot(path.c_str()), section);  // the section's record outlives the merge
    EXPECT_TRUE(!c.other.empty() || storetest::FileId(Cfg("user.cfg")) == file) << "a save that changed nothing";
  }
  // Nothing in the files merged was lost, not even in one that another program emptied: no copy is kept.
  WriteCfg("user.cfg", "");
  Config_SetIntVal("Case1", "K", 3);
  EXPECT_EQ(ReadCfg("user.cfg"), "[Case1]\n\"K\"=3\n\n");
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg.bak")));
}

TEST_F(SeveralWriters, ASaverGetsItsTurnWhileOtherProcessesSaveNonStop) {
  const std::string stop = tmp / "stop";
  testsupport::ChildProcess a("save_non_stop", {configDir, stop, "A"}), b("save_non_stop", {configDir, stop, "B"});
  // Both save non-stop once each has saved (a process may take a second to start under Wine).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (std::string text; (text = ReadCfg("user.cfg")).find("\"A\"=") == std::string::npos ||
                         text.find("\"B\"=") == std::string::npos;)
    if (std::chrono::steady_clock::now() > deadline) FAIL() << "the children do not save";
  GetConfigMgr()->SetSaveLockTimeout(std::chrono::seconds(3));
  for (int i = 1; i <= 5; ++i) {
    Config_SetIntVal("Busy", "Parent", i);
    EXPECT_EQ(storetest::SaveOutcome("user"), "ok");
  }
  testsupport::WriteFile(stop, "");
  EXPECT_EQ(a.Wait(), 0);
  EXPECT_EQ(b.Wait(), 0);
  Reload();
  EXPECT_EQ(Config_GetIntVal("Busy", "Parent"), 5);
}
