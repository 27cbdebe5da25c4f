// The utility layer: strings, conversions, locks, the pool and the globals holder.
#include <doroutil/listmgr.h>
#include <doroutil/logmgr.h>
#include <doroutil/memory.h>
#include <doroutil/orostring.h>
#include <doroutil/staticdata.h>
#include <doroutil/strutil.h>
#include <doroutil/sync.h>
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "support/test_support.h"

TEST(OROustring, NullAndEmptyAreTheSameAndOperationsBehaveAsTheConfigurationUsesThem) {
  OROustring null(static_cast<const char*>(nullptr));
  EXPECT_TRUE(null.is_null());
  EXPECT_TRUE(null == "");
  EXPECT_TRUE(null == OROustring(""));

  OROustring dir("maps");
  dir.appendSlash().appendSlash();
  EXPECT_EQ(dir.str(), "maps/");
  OROustring win("a\\b\\c");
  EXPECT_EQ(win.makeFileSlashOSCompatible().str(), "a/b/c");

  EXPECT_EQ(OROustring("  8.0 \t\r\n").strip().str(), "8.0");
  EXPECT_EQ(OROustring(" \t ").strip().str(), "");
  EXPECT_EQ(OROustring("MiXed_1").to_lower().str(), "mixed_1");
  EXPECT_EQ(OROustring("abcdef").substr(2, 3).str(), "cde");
  EXPECT_EQ(OROustring("abcdef").substr(9).str(), "");
  EXPECT_EQ(OROustring("c:/wrldgrid/x").find("wrldgrid"), 3);
  EXPECT_EQ(OROustring("c:/WRLDGRID/x").find("wrldgrid"), -1);
  EXPECT_EQ(OROustring("c:/WRLDGRID/x").find("wrldgrid", 0, true), 3);
}

TEST(OROustring, NumbersAreReadOnlyFromWholeNumericTexts) {
  EXPECT_EQ(OROustring("2011").to_long(10), 2011);
  EXPECT_EQ(OROustring("-12").to_long(10), -12);
  EXPECT_EQ(OROustring("12abc").to_long(10), 0);
  EXPECT_EQ(OROustring("abc").to_long(10), 0);
  EXPECT_EQ(OROustring("").to_long(10), 0);
  EXPECT_EQ(OROustring(" 5").to_long(10), 0);
  EXPECT_EQ(OROustring("99999999999999999999999").to_long(10), 0);

  EXPECT_TRUE(OROustring("0012").IsNumeric());
  EXPECT_FALSE(OROustring("").IsNumeric());
  EXPECT_FALSE(OROustring("-1").IsNumeric());
  EXPECT_FALSE(OROustring("1a").IsNumeric());

  EXPECT_EQ(OROustring::itoa(0).str(), "0");
  EXPECT_EQ(OROustring::itoa(4294967295L).str(), "4294967295");
  EXPECT_EQ(OROustring::itoa(-251655936L).str(), "-251655936");
  EXPECT_EQ(OROustring::itoa(255, 16).str(), "ff");
}

TEST(OROustring, CompareLooksAtTheFirstNCharactersWithOrWithoutCase) {
  OROustring major("8.0.0.0");
  EXPECT_EQ(OROustring("8").compare(major, true, 1), 0);
  EXPECT_EQ(OROustring("8.0").compare(major, true, 3), 0);
  EXPECT_NE(OROustring("9").compare(major, true, 1), 0);
  // A text longer than the other differs where the shorter one ends.
  EXPECT_NE(OROustring("8.0.0.0.1").compare(major, true, 9), 0);
  EXPECT_EQ(OROustring("ABC").compare(OROustring("abc"), true), 0);
  EXPECT_NE(OROustring("ABC").compare(OROustring("abc"), false), 0);
  EXPECT_LT(OROustring("abc").compare(OROustring("abd"), false), 0);
}

TEST(OROwstring, ConversionsRoundTripAndNeverFailOnInvalidInput) {
  const char* text = "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x97\xBA";  // Zürich € 🗺
  OROwstring wide(text);
  EXPECT_EQ(wide.length(), 11);  // the map symbol takes a surrogate pair
  EXPECT_STREQ(wide.c_str(false), text);
  EXPECT_EQ(wide.uString().str(), text);

  // Invalid UTF-8: a stray continuation byte, a truncated sequence, an overlong form, an encoded surrogate.
  OROwstring bad("a\x80" "b\xE2\x82" "c\xC0\xAF" "d\xED\xA0\x80");
  for (char16_t c : bad.str()) EXPECT_NE(c, 0);
  EXPECT_EQ(bad.str()[0], u'a');
  EXPECT_EQ(bad.str()[1], 0xFFFD);
  EXPECT_EQ(bad.str()[2], u'b');

  // An unpaired surrogate becomes U+FFFD in UTF-8.
  const char16_t lone[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(OROConvertUTF16toUTF8(lone).str(), "x\xEF\xBF\xBDy");
  EXPECT_EQ(OROConvertUTF8toUTF16("abc").str(), u"abc");

  OROwstring dir("cfg");
  dir.appendSlash();
  EXPECT_EQ(dir.uString().str(), "cfg/");
}

TEST(StringHelpers, CaseInsensitiveComparisonsAndTokens) {
  EXPECT_EQ(SpecialChar_stricmp("KeepPercent", "keeppercent"), 0);
  EXPECT_LT(SpecialChar_stricmp("a", "B"), 0);
  // Letters fold to lower case, so '_' (0x5F) sorts before letters.
  EXPECT_LT(SpecialChar_stricmp("A_B", "AB"), 0);
  EXPECT_GT(SpecialChar_stricmp("\xC3\xA9", "z"), 0);
  EXPECT_EQ(SpecialChar_strnicmp("Product Name: x", "product name:", 13), 0);
  EXPECT_STREQ(custom_stristr("xx Data Format: 8", "data format:"), "Data Format: 8");
  EXPECT_EQ(custom_stristr("abc", "x"), nullptr);

  TVector<long> ports;
  EXPECT_TRUE(TokenizeStringToLongs("80;9880;;8080;", ";", ports));
  ASSERT_EQ(ports.Count(), 3u);
  EXPECT_EQ(ports[0], 80);
  EXPECT_EQ(ports[2], 8080);
  TVector<long> none;
  EXPECT_FALSE(TokenizeStringToLongs("abc;", ";", none));
  EXPECT_FALSE(TokenizeStringToLongs("", ";", none));
  EXPECT_EQ(none.Count(), 0u);

  char buf[4] = {'x', 'x', 'x', 'x'};
  CopyTruncated(buf, 0, "hello");
  EXPECT_EQ(buf[0], 'x');
  CopyTruncated(buf, 4, "hello");
  EXPECT_STREQ(buf, "hel");
}

TEST(StringHelpers, WordAtATimeComparisonsAgreeWithAByteByByteReference) {
  auto reference = [](const std::string& a, const std::string& b) {
    for (size_t i = 0;; ++i) {
      unsigned ca = static_cast<unsigned char>(FoldAscii(i < a.size() ? a[i] : '\0'));
      unsigned cb = static_cast<unsigned char>(FoldAscii(i < b.size() ? b[i] : '\0'));
      if (ca != cb) return ca < cb ? -1 : 1;
      if (ca == 0) return 0;
    }
  };
  auto sign = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
  std::mt19937 rng(11);
  const char alphabet[] = "aAbBzZ_@[`{\x7f\x80\xc3\xe9 09";
  for (int round = 0; round < 20000; ++round) {
    std::string a, b;
    const size_t length = rng() % 40;
    for (size_t i = 0; i < length; ++i) a += alphabet[rng() % (sizeof alphabet - 1)];
    b = a;
    // Change the copy a little: case, one byte, or its length.
    if (!b.empty() && rng() % 2) b[rng() % b.size()] = alphabet[rng() % (sizeof alphabet - 1)];
    if (rng() % 4 == 0) b.resize(rng() % (b.size() + 3), 'q');
    for (auto& c : b) {
      if (rng() % 3 == 0) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    SCOPED_TRACE(a + " | " + b);
    ASSERT_EQ(sign(SpecialChar_stricmp(a.c_str(), b.c_str())), reference(a, b));
    ASSERT_EQ(sign(SpecialChar_stricmpn(a.data(), a.size(), b.c_str())), reference(a, b));
    if (a.size() == b.size()) {
      ASSERT_EQ(EqualsIgnoringCase(a.data(), b.data(), a.size()), reference(a, b) == 0);
    }
  }
}

TEST(Allocator, ReusesFreedElementsAndSpreadsOverBlocks) {
  Allocator pool(24, 0, 4096);
  std::set<void*> seen;
  std::vector<void*> all;
  for (int i = 0; i < 1000; ++i) {
    void* p = pool.Alloc();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(seen.insert(p).second);
    all.push_back(p);
  }
  pool.Free(all[10]);
  EXPECT_EQ(pool.Alloc(), all[10]);
}

TEST(MemoryLevel, ComesFromTheEnvironmentWhenSet) {
  testsupport::ScopedEnv level("NAVCONFIG_MEMORY_LEVEL", "2");
  EXPECT_EQ(GetCacheMgr()->GetMemoryLevel(false), 2);
  testsupport::ScopedEnv other("NAVCONFIG_MEMORY_LEVEL", "7");
  EXPECT_EQ(GetCacheMgr()->GetMemoryLevel(false), 7);
}

TEST(CritSec, SerialisesThreads) {
  critSec lock;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        lock.Enter();
        ++counter;
        lock.Exit();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
  EXPECT_TRUE(lock.TryLock());
  EXPECT_FALSE(lock.TryLock());
  lock.Exit();
}

namespace {
struct CountingHolder : StaticDataHolder {
  int setups = 0;
  int teardowns = 0;
  const char* GetName() const override { return "Counting"; }
  void AddDependencies() override { AddDependency(GetOROUtilGlobals()); }
  void DoSetup() override {
    ++setups;
    Setup();  // a call from inside the set-up returns at once
  }
  void DoTeardown() override { ++teardowns; }
};
}  // namespace

TEST(StaticDataHolder, SetsUpOnceEvenFromManyThreadsAndFromInsideItsOwnSetup) {
  CountingHolder holder;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back([&] { holder.Setup(); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(holder.setups, 1);
  EXPECT_TRUE(holder.IsSetUp());
  EXPECT_TRUE(GetOROUtilGlobals()->IsSetUp());
  holder.TryTeardown();
  holder.TryTeardown();
  EXPECT_EQ(holder.teardowns, 1);
  holder.Setup();
  EXPECT_EQ(holder.setups, 2);
}

TEST(LogMgr, WritesOneLineWithLevelCategorySourceThreadAndMessage) {
  {
    testsupport::ScopedEnv off("NAVCONFIG_LOG", nullptr);
    ReloadLogSettings();
    EXPECT_EQ(GetLogMgr(), nullptr);
    EXPECT_FALSE(IsAndroidLoggingEnabled());
  }
  testsupport::LogCapture log("perf,android");
  ASSERT_NE(GetLogMgr(), nullptr);
  EXPECT_TRUE(IsAndroidLoggingEnabled());
  EXPECT_TRUE(IsPerfIntervalLoggingEnabled());
  EXPECT_FALSE(IsHashTableStatsLoggingEnabled());
  CLogMgr* mgr = GetLogMgr();
  mgr->LockTempBuffer();
  const char* msg = mgr->MakeString("Config int value is really a string %s", "Directories\\RootDir");
  mgr->Publish(0, 2, "config_defaults", 2840, msg, GetThreadID(), true);
  mgr->UnlockTempBuffer();
  auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "L2 C0 config_defaults:2840 T" + std::to_string(GetThreadID()) +
                          " Config int value is really a string Directories\\RootDir");
}
