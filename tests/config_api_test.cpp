// The exported interface at its edges: enumeration of sections and values, every caller's buffer at the
// sizes around its text, and layer names that must not lead to files outside the configuration and maps folders.
#include <config/account.h>
#include <config/config_api.h>
#include <config/config_info.h>
#include <config/data_dirs.h>
#include <config/registry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "store_env.h"

using storetest::StoreTest;

namespace {

// The sign-on's sizes are unsigned: a size below 0 is given as 0.
uint32_t Unsigned(int size) { return static_cast<uint32_t>(std::max(size, 0)); }

const char* const kEnumCfg =
    "[b]\n\"z\"=1\n\"Y\"=\"y\"\n\"x\"=3\n"
    "[A\\Child2]\n\"k\"=1\n"
    "[A\\child1]\n\"k\"=1\n"
    "[A]\n"
    "[C]\n\"Value\"=\"abcdef\"\n";

}  // namespace

class Enumeration : public StoreTest {};

TEST_F(Enumeration, SectionsAndValuesInSortedOrderCountsAndNamesByIndex) {
  WriteCfg("enum.cfg", kEnumCfg);
  Reload();
  // Config_SetBranch reads the layer when needed.
  EXPECT_EQ(storetest::Children("enum"), (storetest::Names{"A", "b", "C"}));
  EXPECT_EQ(storetest::Children("ENUM\\a"), (storetest::Names{"child1", "Child2"}));
  char name[32];
  for (const char* none : {"enum\\C", "enum\\Nothing", "nolayer"}) EXPECT_EQ(Config_SetBranch(none), nullptr) << none;

  KeyValue* value = Config_SetBeginEnumKeyValue("enum\\B");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type & 15, KEYVALUE_TYPE_INTEGER);
  EXPECT_EQ(value->intValue, 3);
  EXPECT_EQ(storetest::Keys("enum\\B"), (storetest::Names{"x", "Y", "z"}));
  value = Config_SetBeginEnumKeyValue("enum\\b");
  EXPECT_EQ(Config_GetNextKeyValue(&value, nullptr, 0), 1);  // a null buffer only moves the cursor
  EXPECT_STREQ(value->strValue, "y");
  EXPECT_EQ(Config_SetBeginEnumKeyValue("enum\\A"), nullptr);
  // The handles are the sections themselves.
  KeyRoot* a = Config_FindRoot("enum\\A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->children->FindRoot("child2"), a->children->next);

  // Counts with the longest name, and names by index: the last index and none past it.
  const std::tuple<const char*, int, int> counts[] = {{"enum", 3, 1}, {"enum\\A", 2, 6}, {"enum\\Nothing", 0, 0}};
  for (const auto& [path, count, length] : counts) {
    int longest = -1;
    const int n = Config_GetSubKeyCount(path, &longest);
    EXPECT_EQ(std::make_pair(n, longest), std::make_pair(count, length)) << path;
  }
  EXPECT_EQ(Config_GetSubKeyCount("enum", nullptr), 3);
  EXPECT_EQ(Config_GetSubKey("enum", 2, name, sizeof name), 1);
  EXPECT_STREQ(name, "C");
  EXPECT_EQ(Config_GetSubKey("enum", 3, name, sizeof name), 0);  // past the end: untouched (a negative index
  EXPECT_STREQ(name, "C");                                        // gives the empty text: api_arguments_test.cpp)
}

class CallerBuffers : public StoreTest {};

// Every exported function that fills a caller's buffer, with a buffer of size -1, 0, 1, the text's length and
// one more, and without a buffer: the text is cut to size-1 bytes and terminated (Config_GetDirPath and a
// finished Config_GetLeaf clear the rest up to the size); nothing is written for a size below 1, and no byte
// outside the size ever.
TEST_F(CallerBuffers, TextsAreCutAndTerminatedInsideTheBufferAndNothingIsWrittenOutside) {
  WriteCfg("user.cfg", std::string(1, '\0') + "no text, kept in user.cfg.bak\n[Buffers]\n\"Text\"=\"abcdef\"\n[Buffers\\Child]\n\"k\"=1\n");
  Reload();
  Config_SetIntVal("Buffers", "Count", 1);  // a save that keeps a copy of the file
  Config_SetIntVal("..\\S", "K", 1);        // a save refused, with its reason
  ASSERT_TRUE(Config_SetSingleSignon("login", "secret", false));
  struct Row {
    const char* what;
    std::string text;  // what a buffer with room receives
    std::function<long(char*, int)> call;
    long results[5];  // for the sizes 0 (and -1), 1, the length, the length + 1, and for no buffer
    bool clears = false;
  };
  auto leaf = [](const char* path) {
    return [path](char* b, int s) {
      KeyRoot* cursor = Config_SetBranch(path);
      return Config_GetLeaf(&cursor, b, s) + (cursor ? 10 : 0);  // 10: the cursor was not moved to the end
    };
  };
  const Row rows[] = {
      {"a layered string", "abcdef",
       [](char* b, int s) { return long{Config_GetStrVal("Buffers", "Text", b, s, nullptr)}; }, {0, 0, 1, 1, 0}},
      {"a string by its path", "abcdef",
       [](char* b, int s) { return long{Config_GetStrVal("user\\Buffers", "Text", b, s, nullptr)}; }, {0, 0, 1, 1, 0}},
      {"a section name", "Child", leaf("user\\Buffers"), {1, 1, 1, 1, 1}},
      {"the end of the sections", "", leaf("user\\Buffers\\Child"), {0, 0, 0, 0, 0}, true},
      {"a value name", "Count",
       [](char* b, int s) {
         KeyValue* cursor = Config_SetBeginEnumKeyValue("user\\Buffers");
         return Config_GetNextKeyValue(&cursor, b, s) + (cursor && std::string(cursor->name) == "Text" ? 0 : 10);
       },
       {1, 1, 1, 1, 1}},
      {"a section name by index", "Child",
       [](char* b, int s) { return long{Config_GetSubKey("user\\Buffers", 0, b, s)}; }, {5, 5, 5, 5, 5}},
      {"the layer of a value", "user",
       [](char* b, int s) { return long{Config_GetValueOrigin("Buffers", "Text", 0, b, s)}; }, {1, 1, 1, 1, 1}},
      {"the file of a save", Cfg("user.cfg"),
       [](char* b, int s) { return long{Config_GetLastSaveStatus("user", nullptr, b, s, nullptr, 0)}; },
       {1, 1, 1, 1, 1}},
      {"the reason of a save", "not a safe file name",
       [](char* b, int s) { return long{Config_GetLastSaveStatus("..", nullptr, nullptr, 0, b, s)}; }, {1, 1, 1, 1, 1}},
      {"the copy a save kept", Cfg("user.cfg.bak"),
       [](char* b, int s) { return long{Config_GetLastSaveBackup("user", b, s)}; }, {1, 1, 1, 1, 1}},
      {"the file of a layer", Cfg("user.cfg"), [](char* b, int s) { return long{Config_GetLayerFile("user", b, s)}; },
       {1, 1, 1, 1, 1}},
      {"no file of a layer", "", [](char* b, int s) { return long{Config_GetLayerFile("..", b, s)}; }, {0, 0, 0, 0, 0}},
      {"no copy kept", "", [](char* b, int s) { return long{Config_GetLastSaveBackup("..", b, s)}; }, {0, 0, 0, 0, 0}},
      {"a directory", runtimeDir, [](char* b, int s) { return Config_GetDirPath("RuntimeDir", b, s, true); },
       {1, 1, 1, 1, 1}, true},
      {"the sign-on name", "login",
       [](char* b, int s) { return long{Config_GetSingleSignon(b, Unsigned(s), nullptr, 0)}; }, {1, 1, 1, 1, 1}},
      {"the sign-on password", "secret",
       [](char* b, int s) { return long{Config_GetSingleSignon(nullptr, 0, b, Unsigned(s))}; }, {1, 1, 1, 1, 1}},
      {"a string through TRegUtil", "abcdef",
       [](char* b, int s) {
         const char* text = TRegUtil("user\\Buffers", false, true).GetStrValue("", "Text", b, s);
         return long{text && text == b};
       },
       {0, 0, 1, 1, 0}},
      {"a section name through TRegUtil", "Child",
       [](char* b, int s) {
         TRegUtil util("user", false, true);
         return util.EnumStart("Buffers") + long{util.EnumNext(b, s)} * 2;
       },
       {3, 3, 3, 3, 3}},
      {"the end of the sections through TRegUtil", "",
       [](char* b, int s) {
         TRegUtil util("user\\Buffers", false, true);
         return util.EnumStart("Child") + long{util.EnumNext(b, s)} * 2;
       },
       {0, 0, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const int length = static_cast<int>(row.text.size());
    const int sizes[] = {-1, 0, 1, length, length + 1};
    for (int i = 0; i < 5; ++i) {
      const int size = sizes[i];
      SCOPED_TRACE("size " + std::to_string(size));
      std::string bytes(std::max(size, 0) + 16, '#');  // 8 bytes on either side must stay as they are
      EXPECT_EQ(row.call(bytes.data() + 8, size), row.results[std::max(i - 1, 0)]);
      std::string expected(bytes.size(), '#');
      if (size > 0) {
        const int kept = std::min(length, size - 1);
        expected.replace(8, static_cast<size_t>(kept), row.text, 0, static_cast<size_t>(kept));
        std::fill(expected.begin() + 8 + kept, expected.begin() + (row.clears ? 8 + size : 9 + kept), '\0');
      }
      EXPECT_EQ(bytes, expected);
    }
    EXPECT_EQ(row.call(nullptr, length + 1), row.results[4]);
  }
}

class LayerNames : public StoreTest {};

TEST_F(LayerNames, NamesThatCouldLeaveTheirFolderNeverReachAFileAndTheirSavesAreRefused) {
  // Files where a careless store would look for these layers or write them: "..", ".", "", "a/b" and
  // "../evil" in the configuration and the maps folders.
  const std::string decoy = "[Image]\n\"K\"=9\n";
  std::vector<std::string> decoys = {tmp / "evil.cfg", runtimeDir + "evil.cfg"};
  for (const std::string& dir : {configDir, runtimeDir + "maps/"}) {
    testsupport::MakeDirs(dir + "a");
    for (const char* name : {"...cfg", "..cfg", ".cfg", "a/b.cfg"}) decoys.push_back(dir + name);
  }
  for (const auto& f : decoys) testsupport::WriteFile(f, decoy);
  Reload();
  const auto before = storetest::AllFiles(tmp.path());
  std::vector<std::string> layers = {".", "..", "a/b", "../evil", "a/../..", "./"};
  // Windows gives meaning to more: a drive or stream (':'), and the device names that every folder holds
  // ("con.cfg" is the console, whose reading would wait for input).
  if (testsupport::kWindows) layers.insert(layers.end(), {"c:evil", "evil:stream", "con", "NUL", "com1", "lpt9"});
  for (const std::string& name : layers) {
    const char* layer = name.c_str();
    SCOPED_TRACE(layer);
    const std::string section = name + "\\Image";
    EXPECT_EQ(std::make_tuple(Config_GetIntVal(section.c_str(), "K"), Config_DoesKeyExist(section.c_str(), "K"),
                              Config_FindRoot(layer), Config_SetBranch(layer), Config_DeleteKeyVal(section.c_str(), "K"),
                              Config_GetLastSaveStatus(layer, nullptr, nullptr, 0, nullptr, 0)),
              std::make_tuple(0L, false, nullptr, nullptr, 0, false));
    Config_SetIntVal(section.c_str(), "K", 5);
    Config_SetStrVal(section.c_str(), "S", "text");
    Config_DeleteKeyVal(section.c_str(), "S");
    Config_DeleteKey(section.c_str());
    Config_FlushBranch(layer);
    char file[16], reason[32];
    bool ok = true;
    ASSERT_TRUE(Config_GetLastSaveStatus(layer, &ok, file, sizeof file, reason, sizeof reason));
    // The layer's name, for want of a file.
    EXPECT_EQ(std::make_tuple(ok, std::string(file), std::string(reason)), std::make_tuple(false, name, "not a safe file name"));
  }
  // No path component at all: nothing is stored anywhere.
  Config_SetIntVal("\\", "K", 5);
  Config_SetIntVal("\\\\\\", "K", 5);
  EXPECT_EQ(Config_GetIntVal("\\", "K"), 0);
  EXPECT_FALSE(Config_GetLastSaveStatus("", nullptr, nullptr, 0, nullptr, 0));
  EXPECT_FALSE(Config_GetLastSaveStatus(nullptr, nullptr, nullptr, 0, nullptr, 0));
  EXPECT_EQ(storetest::AllFiles(tmp.path()), before);
  for (const auto& f : decoys) EXPECT_EQ(testsupport::ReadFile(f), decoy) << f;
  // Ordinary layers beside them still work.
  Config_SetIntVal("mylayer\\Image", "K", 5);
  EXPECT_EQ(ReadCfg("mylayer.cfg"), "[Image]\n\"K\"=5\n\n");
}
