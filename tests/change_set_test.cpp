// Change sets: refused whole or applied whole, once, with each layer saved before the listeners hear of it. (Readers
// see a set whole or not at all: concurrency_test.cpp; a writer killed during a save leaves a whole file:
// save_test.cpp.)
#include <config/config_api.h>
#include <config/config_changes.h>
#include <config/config_info.h>
#include <config/config_listen.h>
#include <gtest/gtest.h>
#include <platform/faults.h>

#include <cerrno>
#include <string>

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
  std::string heard;  // the keys of the values heard of, in the order heard
  std::string file;  // what it held when the first listener call came
};

}  // namespace

class ChangeSets : public StoreTest {};

TEST_F(ChangeSets, ASetIsRefusedWholeOrMadeWholeOnceAndSavedBeforeListenersHearOfIt) {
  WriteCfg("product.cfg", "[Image]\n\"KeepPercent\"=60\n");
  Reload();
  Config_SetIntVal("Old", "Gone", 1);
  Config_SetIntVal("user\\Old\\Sub", "Gone", 2);
  Config_SetIntVal("Kept", "K", 1);
  const std::string cut = std::string(260, 'L');  // a path is used up to 255 bytes: "<cut>a" and "<cut>b" are one
  Config_SetIntVal((cut + "a").c_str(), "K", 1);
  const std::string before = ReadCfg("user.cfg");
  // A name that a write would refuse, anywhere in the set, or a deletion without a section or with an empty one
  // (which would name the whole user layer): nothing changes, and the layer's status says why.
  const struct {
    const char *section, *key, *deleted, *layer, *reason;
  } refused[] = {{"Set", "=b", "Old", "user", "the key name '=b' holds '='"},  // at its first byte
                 {"user\\", "K", "Old", "user", "the section path 'user\\' names a layer but no section in it"},
                 {" user\\Set", "K", "Old", "user", "the section path ' user\\Set' has a blank before its layer's"},
                 {"..\\S", "K", "Old", "..", "not a safe file name"}, {"Set", "B", nullptr, "user", "a deletion of"},
                 {"Set", "B", "", "user", "a deletion of the set names no section"},
                 {"Set", nullptr, "Old", "user", "a change of the set names no key"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.reason);
    Config_ChangeSet* set = Config_ChangeSetNew();
    Config_ChangeSetSetInt(set, "Set", "A", 1);
    Config_ChangeSetDelete(set, r.deleted, nullptr);
    Config_ChangeSetSetInt(set, r.section, r.key, 2);
    EXPECT_FALSE(Config_ChangeSetApply(set));
    Config_ChangeSetFree(set);
    EXPECT_EQ(storetest::SaveOutcome(r.layer).rfind(r.reason, 0), 0u) << storetest::SaveOutcome(r.layer);
    EXPECT_EQ(ReadCfg("user.cfg"), before);
    EXPECT_TRUE(Config_GetIntVal("Old", "Gone") == 1 && !Config_DoesKeyExist("Set", "A"));
  }

  // A set made whole: the listeners hear of each value once, after every file is saved.
  Heard heard{Cfg("user.cfg"), {}, {}};
  const int id = Config_AddChangeListener(nullptr, nullptr, [](const char*, const char*, const char* key, void* p) {
    auto* h = static_cast<Heard*>(p);
    if (h->heard.empty()) h->file = testsupport::ReadFile(h->path);
    h->heard += std::string(key) + " ";
  }, &heard);
  Config_ChangeSet* set = Config_ChangeSetNew();
  Config_ChangeSetSetInt(set, "Set", "A", 1);
  Config_ChangeSetSetInt(set, "set", "a", 3);  // the later write of a key wins
  Config_ChangeSetSetStr(set, "Set", "S", "x=\"y\"");
  Config_ChangeSetSetHex(set, "Set", "H", 255);
  Config_ChangeSetDelete(set, "Old", nullptr);
  Config_ChangeSetSetInt(set, "product\\Image", "KeepPercent", 61);
  Config_ChangeSetSetInt(set, "Image", "AllowSquish", 0);  // its default: nothing stored
  Config_ChangeSetDelete(set, "Kept", nullptr);  // a section written back as it was: nobody hears of it
  Config_ChangeSetSetInt(set, "Kept", "K", 1);
  EXPECT_TRUE(Config_ChangeSetApply(set));
  EXPECT_FALSE(Config_ChangeSetApply(set));  // a set applies once
  Config_ChangeSetFree(set);
  set = Config_ChangeSetNew();  // a value written back under another spelling of its path: nobody hears of it
  Config_ChangeSetSetInt(set, "Kept", "K", 2);
  Config_ChangeSetSetInt(set, "\\user\\\\Kept\\", "K", 1);
  EXPECT_TRUE(Config_ChangeSetApply(set));
  Config_ChangeSetFree(set);
  set = Config_ChangeSetNew();
  Config_ChangeSetSetInt(set, (cut + "a").c_str(), "K", 2);
  Config_ChangeSetSetInt(set, (cut + "b").c_str(), "K", 1);
  EXPECT_TRUE(Config_ChangeSetApply(set));
  Config_ChangeSetFree(set);
  Config_RemoveChangeListener(id);
  const std::string written = "[Set]\n\"A\"=3\n\"H\"=0x000000ff\n\"S\"=\"x=\"y\"\"\n\n";
  EXPECT_EQ(Block("user.cfg", "[Set]"), written);
  EXPECT_EQ(Block("user.cfg", "[Old]") + Block("user.cfg", "[Old\\Sub]"), "<absent><absent>");
  EXPECT_EQ(ReadCfg("product.cfg"), "[Image]\n\"KeepPercent\"=61\n");
  EXPECT_EQ(heard.heard, "A S H Gone Gone KeepPercent ");  // Set\A once (written twice), two values of Old
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
