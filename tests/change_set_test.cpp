// Change sets: refused whole or applied whole, once, with each layer saved before the listeners hear of it; other
// processes see a set whole or not at all, also when the process that applies it is killed.
#include <config/config_api.h>
#include <config/config_changes.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/config_listen.h>
#include <gtest/gtest.h>
#include <platform/faults.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "store/configmgr.h"
#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr int kSetKeys = 500;

// Applies a set that writes the keys K0, K1, ... of [Sets] in the user layer to n.
bool ApplyNumberedSet(long n) {
  Config_ChangeSet* set = Config_ChangeSetNew();
  for (int k = 0; k < kSetKeys; ++k) Config_ChangeSetSetInt(set, "Sets", storetest::SetKey(k).c_str(), n);
  const bool applied = Config_ChangeSetApply(set);
  Config_ChangeSetFree(set);
  return applied;
}

struct Heard {
  std::string path;  // of the user layer's file
  int calls = 0;
  std::string file;  // what it held when the first listener call came
};

}  // namespace

// On the configuration folder args[0]: sets numbered on from what the file holds, for ever; "ready" after the
// first.
NAVCONFIG_TEST_CHILD(apply_sets) {
  SU_Config(args[0].c_str());
  Config_ResetConfigMgr();
  for (long n = Config_GetIntVal("Sets", "K0") + 1, first = n;; ++n) {
    if (!ApplyNumberedSet(n)) return 1;
    if (n == first) std::printf("ready\n"), std::fflush(stdout);
  }
}

class ChangeSets : public StoreTest {};

TEST_F(ChangeSets, ASetIsRefusedWholeOrMadeWholeOnceAndSavedBeforeListenersHearOfIt) {
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=60\n");
  Reload();
  Config_SetIntVal("Old", "Gone", 1);
  Config_SetIntVal("user\\Old\\Sub", "Gone", 2);
  const std::string before = ReadCfg("user.cfg");
  // A name that a write would refuse, anywhere in the set: nothing changes, and the layer's status says why.
  const struct {
    const char *section, *key, *layer, *reason;
  } refused[] = {{"Set", "a=b", "user", "the key name 'a=b' holds '='"},
                 {"user\\", "K", "user", "the section path 'user\\' names a layer but no section in it"},
                 {"..\\S", "K", "..", "not a safe file name"},
                 {"Set", nullptr, "user", "a change of the set names no key"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.reason);
    Config_ChangeSet* set = Config_ChangeSetNew();
    Config_ChangeSetSetInt(set, "Set", "A", 1);
    Config_ChangeSetDelete(set, "Old", nullptr);
    Config_ChangeSetSetInt(set, r.section, r.key, 2);
    EXPECT_FALSE(Config_ChangeSetApply(set));
    Config_ChangeSetFree(set);
    EXPECT_EQ(storetest::SaveOutcome(r.layer).rfind(r.reason, 0), 0u) << storetest::SaveOutcome(r.layer);
    EXPECT_EQ(ReadCfg("user.cfg"), before);
    EXPECT_TRUE(Config_GetIntVal("Old", "Gone") == 1 && !Config_DoesKeyExist("Set", "A"));
  }

  // A set made whole: the listeners hear of each value once, after every file is saved.
  Heard heard{Cfg("user.cfg"), 0, {}};
  const int id = Config_AddChangeListener(nullptr, nullptr, [](const char*, const char*, const char*, void* context) {
    auto* h = static_cast<Heard*>(context);
    if (h->calls++ == 0) h->file = testsupport::ReadFile(h->path);
  }, &heard);
  Config_ChangeSet* set = Config_ChangeSetNew();
  Config_ChangeSetSetInt(set, "Set", "A", 1);
  Config_ChangeSetSetInt(set, "set", "a", 3);  // the later write of a key wins
  Config_ChangeSetSetStr(set, "Set", "S", "x=\"y\"");
  Config_ChangeSetSetHex(set, "Set", "H", 255);
  Config_ChangeSetDelete(set, "Old", nullptr);
  Config_ChangeSetSetInt(set, "product\\Image", "KeepPercent", 61);
  Config_ChangeSetSetInt(set, "Image", "AllowSquish", 0);  // its default: nothing stored
  EXPECT_TRUE(Config_ChangeSetApply(set));
  EXPECT_FALSE(Config_ChangeSetApply(set));  // a set applies once
  Config_ChangeSetFree(set);
  Config_RemoveChangeListener(id);
  const std::string written = "[Set]\n\"A\"=3\n\"H\"=0x000000ff\n\"S\"=\"x=\"y\"\"\n\n";
  EXPECT_EQ(Block("user.cfg", "[Set]"), written);
  EXPECT_EQ(Block("user.cfg", "[Old]") + Block("user.cfg", "[Old\\Sub]"), "<absent><absent>");
  EXPECT_EQ(ReadCfg("product.cfg"), "[Image]\n\"KeepPercent\"=61\n");
  EXPECT_EQ(heard.calls, 6);  // Set\A, Set\S, Set\H, two values of Old, product's KeepPercent
  EXPECT_NE(heard.file.find(written), std::string::npos) << heard.file;

  // A save that fails: memory keeps the set, and the next save writes it.
  platform::faults::Fail(platform::faults::Call::Rename, EACCES);
  EXPECT_FALSE(ApplyNumberedSet(7));
  EXPECT_EQ(Block("user.cfg", "[Set]"), written);
  EXPECT_NE(storetest::SaveOutcome("user"), "ok");
  EXPECT_EQ(Config_GetIntVal("Sets", "K9"), 7);
  Config_SetIntVal("Set", "A", 4);
  long number = 0;
  EXPECT_TRUE(storetest::WholeSet(Block("user.cfg", "[Sets]"), kSetKeys, &number) && number == 7);
  // Null sets and arguments.
  Config_ChangeSetSetInt(nullptr, "Set", "A", 1);
  Config_ChangeSetDelete(nullptr, nullptr, nullptr);
  EXPECT_FALSE(Config_ChangeSetApply(nullptr));
  Config_ChangeSetFree(nullptr);
}

TEST_F(ChangeSets, OtherProcessesSeeASetWholeAlsoWhenItsProcessIsKilledWhileApplyingIt) {
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    testsupport::ChildProcess child("apply_sets", {configDir});
    std::string line;
    ASSERT_TRUE(child.ReadLine(line, 60000) && line == "ready");
    // What this process takes in while the other applies sets, from the file and into memory.
    long number = 0, seen = 0;
    for (int i = 0; i < 20 + round * 10; ++i) {
      Config_ReloadChangedLayers();
      EXPECT_EQ(Config_GetIntVal("Sets", "K0"), Config_GetIntVal("Sets", storetest::SetKey(kSetKeys - 1).c_str()));
      ASSERT_TRUE(storetest::WholeSet(Block("user.cfg", "[Sets]"), kSetKeys, &number));
      EXPECT_GE(number, seen);
      seen = number;
    }
    child.Kill();
    ASSERT_EQ(child.Wait(), -1);
    EXPECT_TRUE(storetest::WholeSet(Block("user.cfg", "[Sets]"), kSetKeys, &number) && number >= seen && number > 0);
  }
}
