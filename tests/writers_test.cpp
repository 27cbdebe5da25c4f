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
#include <vector>

#include "store/configmgr.h"
#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr int kKeys = 200;  // of each process that saves non-stop

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

// The changes args[2..] (Apply) of the section args[1] on the folder args[0].
NAVCONFIG_TEST_CHILD(edit) {
  StartIn(args[0]);
  for (size_t i = 2; i < args.size(); ++i) Apply(args[1], args[i]);
  return LastSaveResult();
}

// Saves non-stop on the folder args[0] until the file args[1] appears: the n-th save sets the key "<args[2]><n % 200>"
// of [Busy] to n. Then prints how many saves it made.
NAVCONFIG_TEST_CHILD(save_non_stop) {
  StartIn(args[0]);
  long n = 0;
  for (; !testsupport::Exists(args[1]); ++n) Config_SetIntVal("Busy", (args[2] + std::to_string(n % kKeys)).c_str(), n);
  std::printf("%ld\n", n);
  std::fflush(stdout);
  return LastSaveResult();
}

class SeveralWriters : public StoreTest {};

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
      {"a delete of the value after one another removed", {"A=1", "B=2"}, {"-A"}, "-B", nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "user\\Case" + std::to_string(++n);
    const std::string header = "[Case" + std::to_string(n) + "]";
    for (const std::string& change : c.before) Apply(path, change);
    KeyRoot* const section = Config_FindRoot(path.c_str());
    ASSERT_NE(section, nullptr);
    KeyValue* cursor = Config_SetBeginEnumKeyValue(path.c_str());  // a caller's, held across the merge
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
    // And so do the records of its values, for the cursor (a read of freed memory shows in the sanitizer build).
    for (char name[64]; Config_GetNextKeyValue(&cursor, name, sizeof name);) {
    }
    EXPECT_TRUE(!c.other.empty() || storetest::FileId(Cfg("user.cfg")) == file) << "a save that changed nothing";
  }
  // Nothing in the files merged was lost, not even in one that another program emptied: no copy is kept.
  WriteCfg("user.cfg", "");
  Config_SetIntVal("Case1", "K", 3);
  EXPECT_EQ(ReadCfg("user.cfg"), "[Case1]\n\"K\"=3\n\n");
  EXPECT_FALSE(testsupport::Exists(Cfg("user.cfg.bak")));
}

// Two processes save non-stop, each its own keys: a third one gets its turn, and no save undoes another's.
TEST_F(SeveralWriters, ASaverGetsItsTurnWhileOtherProcessesSaveNonStopAndNoSaveUndoesAnother) {
  const std::string stop = tmp / "stop";
  testsupport::ChildProcess a("save_non_stop", {configDir, stop, "A"}), b("save_non_stop", {configDir, stop, "B"});
  // Both save non-stop once each has saved (a process may take a second to start under Wine).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (std::string text; (text = ReadCfg("user.cfg")).find("\"A0\"=") == std::string::npos ||
                         text.find("\"B0\"=") == std::string::npos;)
    if (std::chrono::steady_clock::now() > deadline) FAIL() << "the children do not save";
  GetConfigMgr()->SetSaveLockTimeout(std::chrono::seconds(3));
  for (int i = 1; i <= 5; ++i) {
    Config_SetIntVal("Busy", "Parent", i);
    EXPECT_EQ(storetest::SaveOutcome("user"), "ok");
  }
  testsupport::WriteFile(stop, "");
  long saves[2] = {};  // of each child
  for (int c = 0; c < 2; ++c) {
    std::string line;
    EXPECT_TRUE((c ? b : a).ReadLine(line, 60000) && (c ? b : a).Wait() == 0) << c;
    saves[c] = std::atol(line.c_str());
  }
  Reload();
  EXPECT_EQ(Config_GetIntVal("Busy", "Parent"), 5);
  // Key k holds the last n below the child's saves with n % kKeys == k.
  for (int c = 0; c < 2; ++c)
    for (long k = 0; k < kKeys && k < saves[c]; ++k) {
      const std::string key = std::string(1, static_cast<char>('A' + c)).append(std::to_string(k));
      EXPECT_EQ(Config_GetIntVal("Busy", key.c_str()), k + (saves[c] - 1 - k) / kKeys * kKeys) << key;
    }
}
