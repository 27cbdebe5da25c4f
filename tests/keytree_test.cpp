// The key tree behind the configuration: paths, the order of sections and values, deletion, names that
// compare without case, the exported members on a caller's own tree, and the memory of trees read from files.
#include <config/config_api.h>
#include <config/keytree.h>
#include <doroutil/memory.h>
#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <string>
#include <tuple>

#include "store_env.h"

using storetest::StoreTest;

using storetest::Children;
using storetest::Keys;
using storetest::Names;

class KeyTree : public StoreTest {};

TEST_F(KeyTree, PathsOrderAndDeletionThroughTheInterface) {
  // Names compare without case and the first spelling stays.
  for (const char* name : {"b", "D", "a", "c", "A_B", "B"}) Config_SetIntVal("MyLayer\\Image", name, 2);
  EXPECT_EQ(Keys("mylayer\\image"), (Names{"a", "A_B", "b", "c", "D"}));
  // (A path is cut at 255 bytes before it is split: the test of headers at the edges, and the arguments' test.)
  // Names of every length up to past two words compare without case, in sections and keys alike.
  const std::string lower = "abcdefghijklmnopq", upper = "ABCDEFGHIJKLMNOPQ";
  for (size_t n = 1; n <= lower.size(); ++n) {
    Config_SetIntVal(("hash\\" + lower.substr(0, n)).c_str(), lower.substr(0, n).c_str(), static_cast<long>(n));
    EXPECT_EQ(Config_GetIntVal(("HASH\\" + upper.substr(0, n)).c_str(), upper.substr(0, n).c_str()),
              static_cast<long>(n));
  }

  // Deleting the first section of a layer, the subsection or layer inserted last, or the value inserted last,
  // leaves the siblings, and later insertions find their place.
  for (const char* path : {"del\\A\\X", "del\\A\\Y", "del\\B", "aaa\\S"}) Config_SetIntVal(path, "K", 1);
  EXPECT_EQ(Config_DeleteKey("del\\A\\Y"), 1);
  Config_SetIntVal("del\\A\\Z", "K", 1);
  EXPECT_EQ(Children("del\\A"), (Names{"X", "Z"}));
  EXPECT_EQ(Config_DeleteKey("del\\A"), 1);
  EXPECT_EQ(Children("del"), Names{"B"});
  EXPECT_EQ(Config_DeleteKey("aaa"), 1);
  Config_SetIntVal("zzz\\S", "K", 1);
  for (const char* layer : {"del", "mylayer", "user", "zzz"}) EXPECT_NE(Config_FindRoot(layer), nullptr) << layer;
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", "a_b"), 1);
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\Image", "a"), 1);
  Config_SetIntVal("mylayer\\Image", "Z", 1);
  EXPECT_EQ(Keys("mylayer\\Image"), (Names{"b", "c", "D", "Z"}));
}

TEST(KeyRootMembers, WorkOnACallersOwnTree) {
  KeyRoot section("Mine");
  EXPECT_TRUE(section.allocated);
  EXPECT_EQ(section.FindRoot("MINE"), &section);
  // Each call and whether it changed a value. A default is not added, but a value that is there is updated all
  // the same; strings compare byte for byte; a leading line feed makes a string empty, and so does null.
  constexpr long I = KEYVALUE_TYPE_INTEGER, S = KEYVALUE_TYPE_STRING;
  const std::tuple<const char*, long, long, const char*, bool, bool> calls[] = {
      {nullptr, I, 3, nullptr, false, false},          {"x", I, 3, nullptr, false, true},
      {"X", I, 3, nullptr, false, false},              {"X", I | KEYVALUE_FLAG_HEX, 3, nullptr, false, true},
      {"Absent", I, 50, nullptr, true, false},         {"x", I, 50, nullptr, true, true},
      {"s", S, 0, "Coast", false, true},               {"S", S, 0, "Coast", false, false},
      {"S", S, 0, "coast", false, true},               {"S", S, 0, "coast2", false, true},
      {"\n", S, 0, "\n", false, true},                 {"\nabc", S, 0, "\nabc", false, true},
      {"null", S, 0, nullptr, false, true}};
  for (const auto& [name, type, number, text, isDefault, changed] : calls)
    EXPECT_EQ(section.AddValue(name, type, number, text, isDefault), changed) << (name ? name : "null");
  EXPECT_EQ(std::make_pair(section.GetValue("x")->type, section.GetValue("x")->intValue),
            std::make_pair(static_cast<unsigned>(I), 50));  // the hexadecimal form dropped by the last write
  EXPECT_EQ(section.GetValue("absent"), nullptr);
  EXPECT_STREQ(section.GetValue("s")->strValue, "coast2");
  for (const char* empty : {"\n", "\nabc", "NULL"}) EXPECT_STREQ(section.GetValue(empty)->strValue, "") << empty;
  EXPECT_EQ(section.GetValue(nullptr), nullptr);
  while (KeyValue* v = section.values) {
    section.values = v->next;
    if (v->strAllocated) Mem_Free(v->strValue);
    Mem_Free(v->name);
    Mem_Free(v);
  }
  KeyRoot copy(nullptr);
  copy = section;
  EXPECT_EQ(copy.name, section.name);
  copy.Initialize();
  EXPECT_EQ(copy.name, nullptr);
  EXPECT_FALSE(copy.allocated);
}

// A layer read from its file is carved from one block, which goes back to the heap when the layer goes.
TEST_F(KeyTree, TheBlockOfALayerReadFromItsFileIsReleasedWithTheLayer) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "heap statistics come from glibc";
#else
  std::string text;
  for (int s = 0; s < 100; ++s) {
    text += "[Section" + std::to_string(s) + "]\n";
    for (int k = 0; k < 100; ++k) text += "\"Key" + std::to_string(k) + "\"=\"" + std::string(40, 'v') + "\"\n";
  }
  WriteCfg("big.cfg", text);
  auto cycle = [] {
    EXPECT_EQ(Config_GetIntVal("big\\Section99", "Key99"), 0);
    EXPECT_EQ(storetest::Str("big\\Section7", "Key7"), std::string(40, 'v'));
    Config_FlushBranch("big");
  };
  cycle();
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 10; ++i) cycle();
  // Ten blocks of about a megabyte each if they stayed.
  EXPECT_LT(mallinfo2().uordblks, before + text.size());
#endif
}

// Values deleted one by one from a section whose lookup table is made leave every other value found; a header
// longer than a path is cut to the longest path, and one of nothing but separators makes no section.
TEST_F(KeyTree, DeletionsFromALargeSectionAndHeadersAtTheEdges) {
  const auto key = [](int i) { return std::string(1, 'K').append(std::to_string(i)); };
  std::string text = "[Big]\n";
  for (int i = 0; i < 64; ++i) text.append("\"").append(key(i)).append("\"=").append(std::to_string(i)).append("\n");
  WriteCfg("big.cfg", text + std::string("[") + std::string(300, 'h') + "]\n\"Cut\"=1\n[\\\\]\n\"None\"=2\n");
  Reload();
  for (int n = 0; n < 64; n += 2) {
    const int gone = n * 7 % 64;  // the even keys in a scattered order
    EXPECT_EQ(Config_DeleteKeyVal("big\\Big", key(gone).c_str()), 1);
    for (int i = 1; i < 64; i += 2) ASSERT_EQ(Config_GetIntVal("big\\Big", key(i).c_str()), i);
  }
  EXPECT_EQ(Children("big"), (Names{"Big", std::string(251, 'h')}));
  EXPECT_EQ(Keys(std::string("big\\").append(251, 'h').c_str()), Names{"Cut"});  // 255 bytes with the layer
}
