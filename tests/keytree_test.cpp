// The key tree: search, insertion, ordering, deletion and the index kept beside the lists.
#include <config/keytree.h>
#include <doroutil/memory.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keytree_ops.h"
#include "tree_index.h"

using namespace navconfig;

namespace {

// An owner with an index and no blocks: every record comes from the heap.
class HeapOwner : public TreeOwner {
 public:
  void* Carve(size_t) override { return nullptr; }
  void ReleaseBlockAt(const void*) override {}
  TreeIndex* Index() override { return &index; }
  TreeIndex index;
};

// An owner that carves from one block, as a file read does.
class BlockOwner : public TreeOwner {
 public:
  explicit BlockOwner(size_t size) : block(static_cast<char*>(Mem_Malloc(size))), capacity(size) {}
  ~BlockOwner() override { Mem_Free(block); }
  void* Carve(size_t n) override {
    if (!block || used + n > capacity) return nullptr;
    void* p = block + used;
    used += n;
    return p;
  }
  void ReleaseBlockAt(const void* record) override {
    if (record == block) released = true;
  }
  TreeIndex* Index() override { return &index; }
  char* block;
  size_t capacity;
  size_t used = 0;
  bool released = false;
  TreeIndex index;
};

std::vector<std::string> ValueNames(const KeyRoot* s) {
  std::vector<std::string> out;
  for (const KeyValue* v = s->values; v; v = v->next) out.push_back(v->name);
  return out;
}

std::vector<std::string> SiblingNames(const KeyRoot* s) {
  std::vector<std::string> out;
  for (; s; s = s->next) out.push_back(s->name);
  return out;
}

KeyRoot* Create(TreeOwner* owner, KeyRoot** root, const char* path) {
  KeyRoot* last = nullptr;
  EXPECT_TRUE(keytree::FindOrCreatePath(owner, root, path, false, nullptr, &last));
  return last;
}

}  // namespace

TEST(KeyTree, PathsIgnoreEmptyComponentsAndCase) {
  HeapOwner owner;
  KeyRoot* root = nullptr;
  KeyRoot* image = Create(&owner, &root, "user\\Image");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->FindRoot("\\user\\\\Image\\"), image);
  EXPECT_EQ(root->FindRoot("USER\\image"), image);
  EXPECT_EQ(root->FindRoot(""), nullptr);
  EXPECT_EQ(root->FindRoot("\\\\\\"), nullptr);
  EXPECT_EQ(root->FindRoot("user\\Image\\Deeper"), nullptr);
  EXPECT_EQ(root->FindRoot(nullptr), nullptr);
  // The first letter case stays.
  EXPECT_EQ(Create(&owner, &root, "USER\\IMAGE"), image);
  EXPECT_STREQ(image->name, "Image");

  // A path is cut at 255 bytes before it is split.
  std::string longName(300, 'a');
  KeyRoot* cut = Create(&owner, &root, ("user\\" + longName).c_str());
  EXPECT_EQ(std::string(cut->name).size(), 250u);
  keytree::FreeTree(&owner, root);
}

TEST(KeyTree, ValuesStaySortedAndChangesAreReported) {
  HeapOwner owner;
  KeyRoot* root = nullptr;
  KeyRoot* s = Create(&owner, &root, "user\\Image");
  for (const char* n : {"b", "D", "a", "c", "A_B"})
    EXPECT_TRUE(keytree::AddValue(&owner, s, n, KEYVALUE_TYPE_INTEGER, 1, "", false));
  EXPECT_EQ(ValueNames(s), (std::vector<std::string>{"a", "A_B", "b", "c", "D"}));

  EXPECT_FALSE(keytree::AddValue(&owner, s, "B", KEYVALUE_TYPE_INTEGER, 1, "", false));  // same type, same number
  EXPECT_TRUE(keytree::AddValue(&owner, s, "B", KEYVALUE_TYPE_INTEGER | KEYVALUE_FLAG_HEX, 1, "", false));
  EXPECT_TRUE(keytree::AddValue(&owner, s, "b", KEYVALUE_TYPE_INTEGER, 1, "", false));  // hex flag dropped
  EXPECT_STREQ(s->GetValue("B")->name, "b");

  // A value equal to its default is not added, but a present one is updated all the same.
  EXPECT_FALSE(keytree::AddValue(&owner, s, "KeepPercent", KEYVALUE_TYPE_INTEGER, 50, "", true));
  EXPECT_EQ(s->GetValue("keeppercent"), nullptr);
  EXPECT_TRUE(keytree::AddValue(&owner, s, "c", KEYVALUE_TYPE_INTEGER, 50, "", true));
  EXPECT_EQ(s->GetValue("C")->intValue, 50);

  // Strings compare byte for byte; a leading line feed makes the string empty; null means empty.
  EXPECT_TRUE(keytree::AddValue(&owner, s, "Str", KEYVALUE_TYPE_STRING, 0, "Coast", false));
  EXPECT_FALSE(keytree::AddValue(&owner, s, "str", KEYVALUE_TYPE_STRING, 0, "Coast", false));
  EXPECT_TRUE(keytree::AddValue(&owner, s, "str", KEYVALUE_TYPE_STRING, 0, "coast", false));
  EXPECT_TRUE(keytree::AddValue(&owner, s, "Lf", KEYVALUE_TYPE_STRING, 0, "\nabc", false));
  EXPECT_STREQ(s->GetValue("lf")->strValue, "");
  EXPECT_TRUE(keytree::AddValue(&owner, s, "Null", KEYVALUE_TYPE_STRING, 0, nullptr, false));
  EXPECT_STREQ(s->GetValue("Null")->strValue, "");
  // The integer keeps its string field as it was when the type changes.
  EXPECT_TRUE(keytree::AddValue(&owner, s, "Str", KEYVALUE_TYPE_INTEGER, 7, "", false));
  EXPECT_STREQ(s->GetValue("Str")->strValue, "coast");
  EXPECT_EQ(s->GetValue("Str")->type, KEYVALUE_TYPE_INTEGER);

  // Signed 32 bits: the low 32 bits of the argument are stored.
  EXPECT_TRUE(keytree::AddValue(&owner, s, "Msg0", KEYVALUE_TYPE_INTEGER, static_cast<long>(0xF1000900UL), "", false));
  EXPECT_EQ(s->GetValue("Msg0")->intValue, -251655936);
  EXPECT_FALSE(keytree::AddValue(&owner, s, "Msg0", KEYVALUE_TYPE_INTEGER, -251655936L, "", false));
  keytree::FreeTree(&owner, root);
}

TEST(KeyTree, DeletionKeepsSiblingsAndTheIndexTrue) {
  HeapOwner owner;
  KeyRoot* root = nullptr;
  Create(&owner, &root, "product\\Image");
  Create(&owner, &root, "user\\Image\\Sub");
  KeyRoot* ro = Create(&owner, &root, "user_ro\\Image");
  EXPECT_EQ(SiblingNames(root), (std::vector<std::string>{"product", "user", "user_ro"}));
  keytree::AddValue(&owner, ro, "KeepPercent", KEYVALUE_TYPE_INTEGER, 5, "", false);

  // Deleting the first top-level section leaves the next one first.
  EXPECT_TRUE(keytree::DeleteBranch(&owner, &root, "product"));
  EXPECT_EQ(SiblingNames(root), (std::vector<std::string>{"user", "user_ro"}));
  EXPECT_FALSE(keytree::DeleteBranch(&owner, &root, "product"));
  // A deeper section: its former siblings stay.
  Create(&owner, &root, "user\\Image\\Other");
  EXPECT_TRUE(keytree::DeleteBranch(&owner, &root, "user\\Image\\Sub"));
  EXPECT_EQ(SiblingNames(root->FindRoot("user\\Image")->children), (std::vector<std::string>{"Other"}));

  TreeIndex::PathKey key;
  ASSERT_TRUE(TreeIndex::MakePathKey("user_ro\\image", key));
  ASSERT_NE(owner.index.FindSection(key), nullptr);
  SectionInfo* roInfo = owner.index.FindSection(ro);
  ASSERT_NE(roInfo, nullptr);
  EXPECT_NE(owner.index.FindValue(roInfo, "keeppercent", TreeIndex::NameHash("keeppercent")), nullptr);
  EXPECT_TRUE(keytree::DeleteValue(&owner, root, "user_ro\\Image", "KEEPPERCENT"));
  EXPECT_FALSE(keytree::DeleteValue(&owner, root, "user_ro\\Image", "KEEPPERCENT"));
  EXPECT_EQ(owner.index.FindValue(roInfo, "keeppercent", TreeIndex::NameHash("keeppercent")), nullptr);
  ASSERT_TRUE(TreeIndex::MakePathKey("product\\Image", key));
  EXPECT_EQ(owner.index.FindSection(key), nullptr);

  keytree::FreeTree(&owner, root);
  EXPECT_EQ(owner.index.SectionCount(), 0u);
  EXPECT_EQ(owner.index.ValueCount(), 0u);
}

TEST(KeyTree, RecordsCarvedFromABlockAreReleasedWithIt) {
  size_t size = 0;
  KeyRoot* none = nullptr;
  // Counting creates nothing and costs every component of a new path.
  EXPECT_TRUE(keytree::FindOrCreatePath(nullptr, &none, "user\\Image", true, &size, nullptr));
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(size, keytree::SectionCost(4) + keytree::SectionCost(5));
  size += keytree::ValueCost(11) + keytree::StringCost(5);

  BlockOwner owner(size);
  KeyRoot* root = nullptr;
  KeyRoot* image = Create(&owner, &root, "user\\Image");
  EXPECT_EQ(static_cast<void*>(root), static_cast<void*>(owner.block));
  EXPECT_FALSE(root->allocated);
  EXPECT_TRUE(keytree::AddValue(&owner, image, "KeepPercent", KEYVALUE_TYPE_STRING, 0, "fifty", false));
  EXPECT_EQ(owner.used, size);
  const KeyValue* v = image->GetValue("keeppercent");
  EXPECT_FALSE(v->allocated);
  EXPECT_FALSE(v->strAllocated);
  // The block is full: what comes next is from the heap and flagged so.
  EXPECT_TRUE(keytree::AddValue(&owner, image, "Other", KEYVALUE_TYPE_STRING, 0, "x", false));
  EXPECT_TRUE(image->GetValue("Other")->allocated);
  EXPECT_TRUE(keytree::AddValue(&owner, image, "KeepPercent", KEYVALUE_TYPE_STRING, 0, "sixty", false));
  EXPECT_TRUE(image->GetValue("KeepPercent")->strAllocated);

  EXPECT_TRUE(keytree::DeleteBranch(&owner, &root, "user"));
  EXPECT_TRUE(owner.released);
  EXPECT_EQ(root, nullptr);
}

TEST(KeyTree, ExportedMembersWorkOnACallersOwnTree) {
  KeyRoot section("Mine");
  EXPECT_TRUE(section.allocated);
  EXPECT_TRUE(section.AddValue("x", KEYVALUE_TYPE_INTEGER, 3, nullptr, false));
  EXPECT_EQ(section.GetValue("X")->intValue, 3);
  EXPECT_EQ(section.FindRoot("Mine"), &section);
  KeyRoot copy(nullptr);
  copy = section;
  EXPECT_EQ(copy.values, section.values);
  copy.Initialize();
  EXPECT_EQ(copy.name, nullptr);
  EXPECT_FALSE(copy.allocated);
  keytree::FreeTree(nullptr, section.children);
  KeyValue* v = section.values;
  Mem_Free(v->name);
  Mem_Free(v);
  section.values = nullptr;
}

TEST(KeyTree, SortedInputUsesTheInsertionHint) {
  HeapOwner owner;
  KeyRoot* root = nullptr;
  KeyRoot* s = Create(&owner, &root, "user\\Big");
  char name[32];
  for (int i = 0; i < 2000; ++i) {
    std::snprintf(name, sizeof name, "Key%05d", i);
    keytree::AddValue(&owner, s, name, KEYVALUE_TYPE_INTEGER, i, "", false);
  }
  // An insertion before the hint still lands in its place.
  keytree::AddValue(&owner, s, "Key00000a", KEYVALUE_TYPE_INTEGER, 1, "", false);
  auto names = ValueNames(s);
  ASSERT_EQ(names.size(), 2001u);
  EXPECT_EQ(names[1], "Key00000a");
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  keytree::FreeTree(&owner, root);
}
