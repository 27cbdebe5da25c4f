// Change listeners in one process: who is told of which change, what a listener may do while it is called,
// removal, and the changes that reloads and merges bring in from the files.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_listen.h>
#include <config/data_dirs.h>
#include <gtest/gtest.h>
#include <platform/faults.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "store_env.h"

using storetest::StoreTest;

namespace {

using Calls = std::vector<std::string>;

void Record(const char* layer, const char* section, const char* key, void* context) {
  static_cast<Calls*>(context)->push_back(std::string(layer) + '|' + section + '|' + key);
}

// A listener for the lifetime of the object.
class Listen {
 public:
  Listen(const char* section, const char* key, Config_ChangeCallback callback, void* context)
      : id(Config_AddChangeListener(section, key, callback, context)) {}
  Listen(const char* section, const char* key, Calls& calls) : Listen(section, key, Record, &calls) {}
  ~Listen() { Config_RemoveChangeListener(id); }
  const int id;
};

}  // namespace

class Listeners : public StoreTest {};

// A listener of the table below: what it heard goes to the log as "<its index> <layer>|<section>|<key>".
struct Heard {
  Calls* log;
  int index;
};

void Log(const char* layer, const char* section, const char* key, void* context) {
  const auto* heard = static_cast<Heard*>(context);
  heard->log->push_back(std::to_string(heard->index) + " " + layer + '|' + section + '|' + key);
}

TEST_F(Listeners, EachValueThatChangedIsToldOnceToTheListenersWhoseFiltersMatch) {
  // Any change; a section in any letter case; a key of a section; a key of any section; a subsection (of one
  // letter) with separators to spare; and filters one letter off or a letter short of the names changed.
  const std::pair<const char*, const char*> filters[] = {
      {nullptr, nullptr}, {"image", nullptr},   {"IMAGE", "keeppercent"}, {nullptr, "KeepPercent"},
      {"\\Image\\\\s\\", nullptr}, {"Imagf", nullptr}, {"Image", "KeepPercenu"}, {"Imag", nullptr},
      {"Image\\S", "Deep"}};
  Calls log;
  std::vector<Heard> contexts;
  contexts.reserve(std::size(filters));
  std::vector<std::unique_ptr<Listen>> listening;
  for (const auto& [section, key] : filters) {
    contexts.push_back({&log, static_cast<int>(contexts.size())});
    listening.push_back(std::make_unique<Listen>(section, key, Log, &contexts.back()));
  }
  struct Step {
    const char* what;
    std::function<void()> change;
    std::vector<std::pair<const char*, const char*>> heard;  // the listeners that hear a value, and the value
  };
  const char* const kKeepPercent = "user|Image|KeepPercent";
  const Step steps[] = {
      {"a new value", [] { Config_SetIntVal("Image", "KeepPercent", 70); }, {{"0123", kKeepPercent}}},
      {"the same value again", [] { Config_SetIntVal("Image", "KeepPercent", 70); }, {}},
      {"a full path in other letter case, told as the layer spells it",
       [] { Config_SetIntVal("USER\\image", "KEEPPERCENT", 71); }, {{"0123", kKeepPercent}}},
      {"an absent key written with its default", [] { Config_SetIntVal("Image", "AllowSquish", 0); }, {}},
      {"a string", [] { Config_SetStrVal("Image", "Name", "x"); }, {{"01", "user|Image|Name"}}},
      {"the same string again", [] { Config_SetStrVal("Image", "Name", "x"); }, {}},
      {"a string in other letter case", [] { Config_SetStrVal("Image", "Name", "X"); }, {{"01", "user|Image|Name"}}},
      {"a key one letter off", [] { Config_SetIntVal("Image", "KeepPercenu", 1); },
       {{"016", "user|Image|KeepPercenu"}}},
      {"a key a letter short", [] { Config_SetIntVal("Image", "KeepPercen", 1); }, {{"01", "user|Image|KeepPercen"}}},
      {"a section one letter off", [] { Config_SetIntVal("Imagf", "KeepPercent", 1); },
       {{"035", "user|Imagf|KeepPercent"}}},
      {"a section a letter longer", [] { Config_SetIntVal("ImageX", "KeepPercent", 1); },
       {{"03", "user|ImageX|KeepPercent"}}},
      {"a subsection", [] { Config_SetIntVal("user\\Image\\S", "Deep", 1); }, {{"048", "user|Image\\S|Deep"}}},
      {"another layer", [] { Config_SetIntVal("mylayer\\Image", "KeepPercent", 1); },
       {{"0123", "mylayer|Image|KeepPercent"}}},
      {"a directory", [] { Config_SetDirPath("SpeechDir", OROustring("speech/")); },
       {{"0", "user|Directories|SpeechDir"}}},
      {"a deleted value", [] { Config_DeleteKeyVal("user\\Image", "name"); }, {{"01", "user|Image|Name"}}},
      {"a value deleted twice", [] { Config_DeleteKeyVal("user\\Image", "Name"); }, {}},
      {"a deleted branch: each of its values", [] { Config_DeleteKey("user\\Image"); },
       {{"01", "user|Image|KeepPercen"}, {"0123", kKeepPercent}, {"016", "user|Image|KeepPercenu"},
        {"048", "user|Image\\S|Deep"}}},
      {"a deleted layer", [] { Config_DeleteKey("mylayer"); }, {{"0123", "mylayer|Image|KeepPercent"}}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    log.clear();
    step.change();
    Calls expected;
    for (const auto& [listeners, value] : step.heard)
      for (const char* l = listeners; *l; ++l) expected.push_back(std::string(1, *l) + " " + value);
    EXPECT_EQ(log, expected);
  }
}

// A listener that keeps Image\KeepPercent at 80 at most: it reads the saved value and writes 80 over a larger
// one. Beside it another listener logs what it reads.
struct Clamp {
  std::string file;  // user.cfg
  Calls log;
};

void ClampKeepPercent(const char*, const char* section, const char* key, void* context) {
  auto* clamp = static_cast<Clamp*>(context);
  const long value = Config_GetIntVal(section, key);
  const bool saved = testsupport::ReadFile(clamp->file).find("\"KeepPercent\"=" + std::to_string(value)) !=
                     std::string::npos;
  clamp->log.push_back("clamp read " + std::to_string(value) + (saved ? " saved" : " not saved"));
  if (value > 80) Config_SetIntVal(section, key, 80);
}

void LogKeepPercent(const char*, const char* section, const char* key, void* context) {
  static_cast<Clamp*>(context)->log.push_back("other read " + std::to_string(Config_GetIntVal(section, key)));
}

TEST_F(Listeners, AListenerReadsTheSavedValueAndWhatItWritesIsToldAfterTheChangeAtHand) {
  Clamp clamp{Cfg("user.cfg"), {}};
  Listen clamping("Image", "KeepPercent", ClampKeepPercent, &clamp);
  Listen logging("Image", "KeepPercent", LogKeepPercent, &clamp);
  Config_SetIntVal("Image", "KeepPercent", 95);
  // Not called from inside a listener: the second change waits for the first to reach every listener.
  EXPECT_EQ(clamp.log, (Calls{"clamp read 95 saved", "other read 80", "clamp read 80 saved", "other read 80"}));
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 80);
}

// A listener that logs its name and then removes a listener (itself or another), if any.
struct Act {
  Calls* log;
  const char* name;
  const int* removes;
};

void Acting(const char*, const char*, const char*, void* context) {
  auto* act = static_cast<Act*>(context);
  act->log->push_back(act->name);
  if (act->removes) Config_RemoveChangeListener(*act->removes);
}

TEST_F(Listeners, ARemovedListenerIsNeverCalledAgainAlsoWhenItIsRemovedWhileListenersAreCalled) {
  EXPECT_EQ(Config_AddChangeListener(nullptr, nullptr, nullptr, nullptr), 0);
  for (int never : {0, -1, 123456}) Config_RemoveChangeListener(never);  // ignored

  Calls log;
  int self = 0, next = 0;
  Act removingItself{&log, "self", &self}, removingNext{&log, "remover", &next}, removed{&log, "next", nullptr};
  self = Config_AddChangeListener(nullptr, nullptr, Acting, &removingItself);
  Listen remover(nullptr, nullptr, Acting, &removingNext);
  next = Config_AddChangeListener(nullptr, nullptr, Acting, &removed);

  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(log, (Calls{"self", "remover"})) << "the listener removed before its turn came was called";
  Config_SetIntVal("Image", "KeepPercent", 71);
  EXPECT_EQ(log, (Calls{"self", "remover", "remover"}));
}

TEST_F(Listeners, ReloadsAndSavesTellWhatOtherWritersSavedAndALayerFileThatAppeared) {
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Config_GetIntVal("Image", "AllowSquish"), 0);  // user_ro and product have no file: reads skip them
  Calls heard;
  Listen any(nullptr, nullptr, heard);
  EXPECT_EQ(Config_ReloadChangedLayers(), 0);

  // Other writers: user.cfg with a value added; product.cfg and user_ro.cfg appear.
  WriteCfg("user.cfg", ReadCfg("user.cfg") + "[Theirs]\n\"K\"=1\n");
  WriteCfg("product.cfg", "[Image]\n\"AllowSquish\"=3\n[\\]\n\"AtTheLayer\"=1\n");
  WriteCfg("user_ro.cfg", "[Image]\n\"AllowSquish\"=4\n");
  EXPECT_EQ(Config_ReloadChangedLayers(), 4);
  std::sort(heard.begin(), heard.end());
  EXPECT_EQ(heard, (Calls{"product|Image|AllowSquish", "product||AtTheLayer", "user_ro|Image|AllowSquish",
                          "user|Theirs|K"}));
  EXPECT_EQ(Config_GetIntVal("Image", "AllowSquish"), 4);
  heard.clear();

  // A save that merges what another writer saved tells its own change and the other's.
  WriteCfg("user.cfg", ReadCfg("user.cfg") + "[Theirs2]\n\"K\"=2\n");
  Config_SetIntVal("Image", "KeepPercent", 71);
  EXPECT_EQ(heard, (Calls{"user|Image|KeepPercent", "user|Theirs2|K"}));
  heard.clear();
  EXPECT_EQ(Config_ReloadChangedLayers(), 0);
  // A file that goes: its values go with it.
  testsupport::RemoveAll(Cfg("user_ro.cfg"));
  EXPECT_EQ(Config_ReloadChangedLayers(), 1);
  EXPECT_EQ(heard, Calls{"user_ro|Image|AllowSquish"});
  Config_FlushBranch("user_ro");
  EXPECT_EQ(Config_GetIntVal("Image", "AllowSquish"), 3);
  // One that comes back and is read first by a full path is searched by plain-section reads as well.
  WriteCfg("user_ro.cfg", "[Image]\n\"AllowSquish\"=5\n");
  EXPECT_EQ(Config_GetIntVal("user_ro\\Image", "AllowSquish"), 5);
  EXPECT_EQ(Config_GetIntVal("Image", "AllowSquish"), 5);
  EXPECT_EQ(heard, (Calls{"user_ro|Image|AllowSquish", "user_ro|Image|AllowSquish"}));  // went, and came back
  // What a flush dropped comes back from the unchanged file untold, at a reload or a save's merge.
  heard.clear();
  Config_FlushBranch("user\\Image");
  EXPECT_EQ(Config_ReloadChangedLayers(), 0);
  Config_FlushBranch("user\\Image");
  Config_SetIntVal("Theirs", "K", 9);
  EXPECT_EQ(heard, Calls{"user|Theirs|K"});
}

// A layer file that holds no section (an installer's empty user_ro.cfg, a product.cfg of comments, user.cfg
// after its layer was deleted) is an empty layer in memory: reads open no file, and what another process saves
// into it comes in with a reload, which tells the listeners, and not before.
TEST_F(Listeners, EmptyLayersStayInMemoryAndAReloadTellsWhatOthersSaveIntoThem) {
  WriteCfg("user_ro.cfg", "");
  WriteCfg("product.cfg", "; written by the installer\n");
  Reload();
  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Config_DeleteKey("user"), 1);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);  // user_ro and product read
  platform::faults::Count();
  long sum = 0;
  for (int i = 0; i < 100; ++i) sum += Config_GetIntVal("Image", "KeepPercent") + Config_GetIntVal("Image", "None");
  EXPECT_EQ(sum, 100 * 50);
  EXPECT_EQ(platform::faults::Calls(platform::faults::Call::Open) + platform::faults::Calls(platform::faults::Call::Read),
            0u);
  platform::faults::Clear();
  EXPECT_EQ(ReadCfg("user_ro.cfg") + ReadCfg("product.cfg"), "; written by the installer\n");  // nor write any
  Calls heard;
  Listen any(nullptr, nullptr, heard);
  for (const char* layer : {"user", "user_ro", "product"})
    WriteCfg(std::string(layer) + ".cfg", "[Image]\n\"KeepPercent\"=" + std::to_string(std::strlen(layer)) + "\n");
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  EXPECT_EQ(Config_ReloadChangedLayers(), 3);
  std::sort(heard.begin(), heard.end());
  EXPECT_EQ(heard, (Calls{"product|Image|KeepPercent", "user_ro|Image|KeepPercent", "user|Image|KeepPercent"}));
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 4);
}
