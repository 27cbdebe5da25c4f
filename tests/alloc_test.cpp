// Running out of memory at any allocation of a read, a write, a deletion, a file read or a merge: no exception
// leaves the exported functions, each fails as it documents (a read answers the built-in default, a write
// records a failed save "out of memory") or works, and the trees stay whole (every section and value that the
// lists hold is found through the index, and the reverse).
//
// A program of its own: it replaces operator new, so that the fault seam (platform/faults.h) fails the library's
// strings, vectors and maps as well as its Mem_Malloc.
#include <config/config_api.h>
#include <config/config_info.h>
#include <config/config_listen.h>
#include <config/keytree.h>
#include <gtest/gtest.h>
#include <platform/faults.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "store_env.h"

void* operator new(std::size_t size) {
  if (platform::faults::AllocationFails()) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return platform::faults::AllocationFails() ? nullptr : std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// The sections and values below a path as the lists hold them, each looked up again through the index; a
// record that one holds and the other misses is marked "!".
std::string Walk(const std::string& path) {
  std::string out;
  for (const std::string& key : storetest::Keys(path.c_str()))
    out += path + "|" + key + "=" + std::to_string(Config_GetIntVal(path.c_str(), key.c_str())) +
           (Config_DoesKeyExist(path.c_str(), key.c_str()) ? "" : "!") + "\n";
  for (const std::string& child : storetest::Children(path.c_str())) {
    const std::string below = path + "\\" + child;
    if (!Config_FindRoot(below.c_str())) out += below + "!\n";
    out += Walk(below);
  }
  return out;
}

}  // namespace

class AllocationFailures : public storetest::StoreTest {};

TEST_F(AllocationFailures, EveryAllocationOfAnOperationMayFailAndNothingThrowsOrBreaks) {
  // In hand order: a load cut short leaves lists put in order, or not yet, whole.
  const std::string file =
      "[Keys\\Sub]\n\"C\"=3\n[Keys\\Other]\n[Keys]\n\"B\"=\"two\"\n\"A\"=1\n\"D\"=4\n[Image]\n\"KeepPercent\"=70\n";
  const auto loaded = [] { Config_GetIntVal("Keys", "A"); };
  // A section of short strings whose records outgrow the block the text is read into.
  std::string grown = file + "[Grown]\n";
  const std::string longText(6000, 'x');
  for (int i = 0; i < 400; ++i) grown += "\"k" + std::to_string(i) + "\"=\"v" + std::to_string(i) + "\"\n";
  struct Operation {
    const char* what;
    std::function<void()> prepare;
    std::function<bool()> run;   // with allocations failing: false when it answered what it must not
    std::function<bool()> done;  // afterwards: whether it took effect (when not, a write recorded its failure)
    bool write;
  } const operations[] = {
      {"a layered read of a layer read from its file", nullptr,
       [] { const long v = Config_GetIntVal("Image", "KeepPercent"); return v == 70 || v == 50; },
       [] { return true; }, false},
      {"a read through a full path: the caller's default, not the built-in one, when it cannot read", nullptr,
       [] { const long v = Config_GetIntValDefault("user\\Image", "KeepPercent", -9); return v == 70 || v == -9; },
       [] { return true; }, false},
      {"a new value in a new section", nullptr, [] { Config_SetIntVal("Fresh", "K", 7); return true; },
       [] { return Config_GetIntVal("user\\Fresh", "K") == 7; }, true},
      {"a string", loaded, [] { Config_SetStrVal("Keys", "B", "three"); return true; },
       [] { return storetest::Str("Keys", "B") == "three"; }, true},
      // A fourth value makes the section's table (made by the read) grow.
      {"a new value in a section whose table was made", loaded, [] { Config_SetIntVal("Keys", "E", 5); return true; },
       [] { return Config_GetIntVal("user\\Keys", "E") == 5; }, true},
      {"a value stored through its section's record: changed only when it was", loaded,
       [] {
         return Config_FindRoot("user\\Keys")->AddValue("F", KEYVALUE_TYPE_INTEGER, 6, nullptr, false) ==
                Config_DoesKeyExist("user\\Keys", "F");
       },
       [] { return Config_GetIntVal("user\\Keys", "F") == 6; }, false},
      // Longer than the room left in the block the file was read into: its string comes from the heap.
      {"a new long string", loaded, [&] { Config_SetStrVal("Keys", "L", longText.c_str()); return true; },
       [&] {
         const bool whole = storetest::Str("Keys", "L") == longText;
         EXPECT_TRUE(whole || !Config_DoesKeyExist("user\\Keys", "L"));  // never a value without its string
         return whole;
       }, true},
      {"a deletion", loaded, [] { Config_DeleteKeyVal("user\\Keys", "A"); return true; },
       [] { return !Config_DoesKeyExist("Keys", "A"); }, true},
      {"a branch deletion", loaded, [] { Config_DeleteKey("user\\Keys"); return true; },
       [] { return !Config_FindRoot("user\\Keys"); }, true},
      // Each string is the file's, or else the layer was not taken at all.
      {"strings read into a block that had to grow", [&] { WriteCfg("user.cfg", grown); },
       [] {
         // Nothing here may allocate: the test's own allocations would fail too.
         for (int i = 0; i < 400; ++i) {
           char key[16], want[16], got[16];
           std::snprintf(key, sizeof key, "k%d", i);
           std::snprintf(want, sizeof want, "v%d", i);
           Config_GetStrVal("Grown", key, got, sizeof got, nullptr);
           if (std::strcmp(got, want) != 0 && got[0] != '\0') return false;
         }
         return true;
       },
       [] { return storetest::Str("Grown", "k399") == "v399"; }, false},
      // A reload that failed is made again by the next one (a long string of a section held comes from the heap).
      {"a reload of what another writer saved",
       [&] { loaded(); WriteCfg("user.cfg", file + "[New]\n\"N\"=1\n[Keys]\n\"L\"=\"" + longText + "\"\n"); },
       [] { Config_ReloadChangedLayers(); return true; },
       [&] {
         Config_ReloadChangedLayers();
         return Config_GetIntVal("New", "N") == 1 && storetest::Str("Keys", "L") == longText;
       }, false},
  };
  for (const Operation& op : operations) {
    SCOPED_TRACE(op.what);
    for (uint32_t nth = 1;; ++nth) {
      WriteCfg("user.cfg", file);
      Reload();
      if (op.prepare) op.prepare();
      platform::faults::FailAllocations(nth);
      const bool answered = op.run();
      const uint32_t made = platform::faults::Allocations();
      platform::faults::Clear();
      SCOPED_TRACE("allocation " + std::to_string(nth) + " of " + std::to_string(made));
      EXPECT_TRUE(answered);
      EXPECT_EQ(Walk("user").find('!'), std::string::npos) << Walk("user");
      const bool done = op.done();
      const std::string saved = storetest::SaveOutcome("user");
      EXPECT_TRUE(done || !op.write || saved == "out of memory") << saved;
      // Once no allocation failed, the operation worked; whatever failed, memory and file stay usable.
      if (nth > made) {
        EXPECT_TRUE(done);
        break;
      }
      Config_SetIntVal("Image", "KeepPercent", 71);
      EXPECT_EQ(Config_GetIntVal("user\\Image", "KeepPercent"), 71);
      EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=71\n");
    }
  }
}
