// The exported interface at its edges: enumeration of sections and values, callers' buffers of every size,
// and layer names that must not lead to files outside the configuration and maps folders.
#include <config/config_api.h>
#include <config/config_info.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr char kCanary = '#';

// A buffer filled with the canary byte, with room to spare behind the part a call is told about.
struct Canary {
  char bytes[64];
  Canary() { std::memset(bytes, kCanary, sizeof bytes); }
  // True when no byte from index `from` on was touched.
  bool IntactFrom(size_t from) const {
    for (size_t i = from; i < sizeof bytes; ++i)
      if (bytes[i] != kCanary) return false;
    return true;
  }
};

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
  EXPECT_EQ(Config_GetLeaf(nullptr, name, sizeof name), 0);
  for (const char* none : {"enum\\C", "enum\\Nothing", "nolayer", static_cast<const char*>(nullptr)})
    EXPECT_EQ(Config_SetBranch(none), nullptr) << (none ? none : "null");

  KeyValue* value = Config_SetBeginEnumKeyValue("enum\\B");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type & 15, KEYVALUE_TYPE_INTEGER);
  EXPECT_EQ(value->intValue, 3);
  EXPECT_EQ(storetest::Keys("enum\\B"), (storetest::Names{"x", "Y", "z"}));
  value = Config_SetBeginEnumKeyValue("enum\\b");
  EXPECT_EQ(Config_GetNextKeyValue(&value, nullptr, 0), 1);  // a null buffer only moves the cursor
  EXPECT_STREQ(value->strValue, "y");
  for (const char* none : {"enum\\A", static_cast<const char*>(nullptr)}) EXPECT_EQ(Config_SetBeginEnumKeyValue(none), nullptr);
  // The handles are the sections themselves.
  KeyRoot* a = Config_FindRoot("enum\\A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->children, Config_SetBranch("enum\\A"));
  EXPECT_EQ(a->children->FindRoot("child2"), a->children->next);
  EXPECT_EQ(a->FindRoot("b"), a->next);
  EXPECT_EQ(Config_FindRoot("enum\\A\\Child3"), nullptr);

  // Counts with the longest name, and names by index: the last index and none past it.
  const std::tuple<const char*, int, int> counts[] = {{"enum", 3, 1}, {"enum\\A", 2, 6}, {"enum\\Nothing", 0, 0}};
  for (const auto& [path, count, length] : counts) {
    int longest = -1;
    const int n = Config_GetSubKeyCount(path, &longest);
    EXPECT_EQ(std::make_pair(n, longest), std::make_pair(count, length)) << path;
  }
  int longest = -1;
  EXPECT_EQ(Config_GetSubKeyCount("enum", nullptr) + Config_GetSubKeyCount(nullptr, &longest), 3);
  EXPECT_EQ(Config_GetSubKey("enum", 2, name, sizeof name), 1);
  EXPECT_STREQ(name, "C");
  EXPECT_EQ(Config_GetSubKey("enum\\a", 1, nullptr, 0), 6);
  for (const int index : {3, -1}) {  // past the end: untouched; negative: an empty text
    Canary c;
    EXPECT_EQ(Config_GetSubKey("enum", index, c.bytes, 16), 0);
    EXPECT_EQ(c.bytes[0], index < 0 ? '\0' : kCanary);
    EXPECT_TRUE(c.IntactFrom(1));
  }
}

class CallerBuffers : public StoreTest {};

TEST_F(CallerBuffers, NothingIsWrittenOutsideAndTextsAreAlwaysTerminated) {
  WriteCfg("enum.cfg", kEnumCfg);
  Config_SetStrVal("Shared", "Value", "abcdef");
  Reload();
  Config_SetIntVal("..\\S", "K", 1);  // a refused save, for its status texts
  using Read = void (*)(char* buffer, int size);
  const std::pair<Read, const char*> readers[] = {  // each with what a large buffer receives
      {[](char* b, int s) { Config_GetStrVal("Shared", "Value", b, s, nullptr); }, "abcdef"},
      {[](char* b, int s) { Config_GetStrVal("Shared", "Missing", b, s, nullptr); }, ""},
      {[](char* b, int s) { int found = 0; Config_GetStrVal("enum\\C", "Value", b, s, &found); EXPECT_EQ(found, 1); },
       "abcdef"},
      {[](char* b, int s) {
         KeyRoot* cursor = Config_SetBranch("enum\\A");
         EXPECT_EQ(Config_GetLeaf(&cursor, b, s), 1);
         EXPECT_STREQ(cursor ? cursor->name : "", "Child2");  // the cursor moves whatever the size
       },
       "child1"},
      {[](char* b, int s) { KeyRoot* none = nullptr; EXPECT_EQ(Config_GetLeaf(&none, b, s), 0); }, ""},
      {[](char* b, int s) {
         KeyValue* cursor = Config_SetBeginEnumKeyValue("enum\\C");
         EXPECT_EQ(Config_GetNextKeyValue(&cursor, b, s), 1);
         EXPECT_EQ(Config_GetNextKeyValue(&cursor, b, s), 0);
       },
       ""},
      {[](char* b, int s) { EXPECT_EQ(Config_GetSubKey("enum\\A", 0, b, s), 6); }, "child1"},
      {[](char* b, int s) { Config_GetLastSaveStatus("..", nullptr, b, s, nullptr, 0); }, ".."},
      {[](char* b, int s) { Config_GetLastSaveStatus("..", nullptr, nullptr, 0, b, s); }, "not a safe file name"},
  };
  for (const auto& [read, text] : readers) {
    const std::string whole = text;
    SCOPED_TRACE(whole);
    for (int size : {0, -1, -100}) {
      Canary c;
      read(c.bytes, size);
      EXPECT_TRUE(c.IntactFrom(0)) << "size " << size;
    }
    for (int size = 1; size <= static_cast<int>(whole.size()) + 2; ++size) {
      Canary c;
      read(c.bytes, size);
      const size_t copied = std::min(whole.size(), static_cast<size_t>(size - 1));
      EXPECT_EQ(std::string(c.bytes), whole.substr(0, copied)) << "size " << size;
      EXPECT_TRUE(c.IntactFrom(static_cast<size_t>(size))) << "size " << size;
    }
  }
  int found = -1;
  EXPECT_FALSE(Config_GetStrVal("enum\\C", "Value", nullptr, 8, &found));
  EXPECT_EQ(found, 1);
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
