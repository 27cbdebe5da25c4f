// The utility layer: strings and their conversions, case-folding comparisons, the pool, locks, the set-up of
// process-wide contents and the log.
#include <doroutil/listmgr.h>
#include <doroutil/logmgr.h>
#include <doroutil/memory.h>
#include <doroutil/orostring.h>
#include <doroutil/staticdata.h>
#include <doroutil/strutil.h>
#include <doroutil/sync.h>
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/folded_names.h"
#include "support/test_support.h"

using navconfig::EqualsIgnoringCase;

using testsupport::Native;

TEST(OROustring, EditsSearchesComparisonsNumbersAndConversions) {
  OROustring dir("maps");
  const std::pair<std::string, std::string> edits[] = {
      {dir.appendSlash().appendSlash().str(), Native("maps/")},
      {OROustring("a\\b/c").makeFileSlashOSCompatible().str(), Native("a/b/c")},
      {OROustring("  8.0 \t\r\n").strip().str(), "8.0"}, {OROustring(" \t ").strip().str(), ""},
      {OROustring("@AZ[_1").to_lower().str(), "@az[_1"}, {OROustring(static_cast<const char*>(nullptr)).str(), ""},
      {OROwstring("A\xC3\x9C").to_lower().uString().str(), "a\xC3\x9C"},  // ASCII letters only
      {OROustring("abcdef").substr(0, 2).str(), "ab"}, {OROustring("abcdef").substr(2, 3).str(), "cde"},
      {OROustring("abcdef").substr(1, 0).str(), ""},   {OROustring("abcdef").substr(5).str(), "f"},
      {OROustring("abcdef").substr(6).str(), ""},      {OROustring("abcdef").substr(-1).str(), ""},
  };
  for (const auto& [got, want] : edits) EXPECT_EQ(got, want);

  const OROustring upper("c:/WRLDGRID/x"), text("abcdef"), major("8.0.0.0");
  const std::pair<long, long> found[] = {
      {OROustring("c:/wrldgrid/x").find("wrldgrid"), 3}, {upper.find("wrldgrid"), -1},
      {upper.find("wrldgrid", 3, true), 3}, {upper.find("wrldgrid", 4, true), -1},
      {text.find("", 6), 6}, {text.find("", 7), -1}, {text.find("a", -1), -1}, {text.find(nullptr), -1},
      // compare looks at the first n characters (all when n is negative), with or without case
      {OROustring("8").compare(major, true, 1), 0}, {OROustring("8.0").compare(major, true, 3), 0},
      {OROustring("8.0").compare(major, true, 4), -1}, {OROustring("8.0.0.0.1").compare(major, true, 9), 1},
      {OROustring("1").compare(OROustring("2"), true, 0), 0}, {OROustring("AZ").compare(OROustring("az"), true), 0},
      {OROustring("AZ").compare(OROustring("az"), false), -1}, {OROustring("@").compare(OROustring("`"), true), -1},
      {OROustring("abd").compare(OROustring("abc"), false), 1},
      {OROwstring("X\xC3\x9C").compare(OROwstring("x\xC3\x9C"), true), 0},
  };
  for (size_t i = 0; i < std::size(found); ++i) EXPECT_EQ(found[i].first, found[i].second) << i;

  // The text, to_long(10) (only a whole number counts) and IsNumeric.
  const std::tuple<const char*, long, bool> numbers[] = {
      {"2011", 2011, true}, {"0012", 12, true}, {"-12", -12, false}, {"+5", 5, false}, {"12abc", 0, false},
      {"abc", 0, false},    {"", 0, false},     {" 5", 0, false},    {"-x", 0, false}, {"9999999999999999999", 0, true},
  };
  for (const auto& [text, value, numeric] : numbers)
    EXPECT_EQ(std::pair(OROustring(text).to_long(10), OROustring(text).IsNumeric()), std::pair(value, numeric)) << text;
  const std::pair<OROustring, std::string> texts[] = {
      {OROustring::itoa(0), "0"},     {OROustring::itoa(255, 16), "ff"}, {OROustring::itoa(71, 36), "1z"},
      {OROustring::itoa(5, 2), "101"}, {OROustring::itoa(5, 1), "5"},    {OROustring::itoa(36, 37), "36"},
      {OROustring::itoa(LONG_MAX), std::to_string(LONG_MAX)}, {OROustring::itoa(LONG_MIN), std::to_string(LONG_MIN)},
  };
  for (const auto& [got, want] : texts) EXPECT_EQ(got.str(), want);

  // The first and last characters of each UTF-8 length, and those around the surrogates; also before another.
  const std::pair<const char*, std::u16string> valid[] = {
      {"\x7F", u"\x7F"},           {"\xC2\x80", u"\x80"},         {"\xDF\xBF", u"\x7FF"},
      {"\xE0\xA0\x80", u"\x800"},  {"\xED\x9F\xBF", u"\xD7FF"},   {"\xEE\x80\x80", u"\xE000"},
      {"\xEF\xBF\xBF", u"\xFFFF"}, {"\xF0\x90\x80\x80", u"\xD800\xDC00"}, {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
  };
  for (const auto& [utf8, utf16] : valid) {
    EXPECT_EQ(OROwstring(utf8).str(), utf16) << utf8;
    EXPECT_EQ(OROConvertUTF16toUTF8(utf16.c_str()).str(), utf8);
    EXPECT_EQ(OROConvertUTF8toUTF16((std::string(utf8) + "b").c_str()).str(), std::u16string(utf16).append(u"b"));
  }
  // Each byte that starts no valid sequence stands as U+DC80 + (byte - 0x80), and turns back into that byte: a
  // stray continuation byte, overlong forms, encoded surrogates, code points past U+10FFFF, sequences cut short
  // by the end or by another character, and a name in Latin-1.
  const std::pair<const char*, std::u16string> invalid[] = {
      {"\x80", u"\xDC80"},
      {"\xC0\xAF", u"\xDCC0\xDCAF"},
      {"\xE0\x9F\xBF", u"\xDCE0\xDC9F\xDCBF"},
      {"\xF0\x8F\xBF\xBF", u"\xDCF0\xDC8F\xDCBF\xDCBF"},
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"\xED\xB3\xBF", u"\xDCED\xDCB3\xDCBF"},
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {"\xE2\x82", u"\xDCE2\xDC82"},
      {"\xC3(", u"\xDCC3("},
      {"Karten-\xE9\xFF", u"Karten-\xDCE9\xDCFF"},
  };
  for (const auto& [utf8, utf16] : invalid) {
    EXPECT_EQ(OROwstring(utf8).str(), utf16) << utf8;
    EXPECT_EQ(OROwstring(utf8).uString().str(), utf8);
  }
  // Other unpaired surrogates become U+FFFD in UTF-8.
  const std::string bad = "\xEF\xBF\xBD";
  EXPECT_EQ(OROConvertUTF16toUTF8(u"x\xD800y").str(), "x" + bad + "y");
  EXPECT_EQ(OROConvertUTF16toUTF8(u"\xDFFF\xDC00\xD800\xDC00\xD800 \xDC7F\xDD00").str(),
            bad + bad + "\xF0\x90\x80\x80" + bad + " " + bad + bad);
  EXPECT_EQ(OROConvertUTF16toUTF8(nullptr).str(), "");
  OROwstring wide("cfg\xE2\x82\xAC");
  EXPECT_STREQ(wide.appendSlash().c_str(false), Native("cfg\xE2\x82\xAC/").c_str());
}

// (The searches without case and the copies into callers' buffers are checked where the library uses them: the
// labels of version files and the exported functions.)
TEST(StringHelpers, CaseInsensitiveComparisonsAgreeWithTheByteByByteOneAndTokens) {
  const long one = 1, two = 2;
  const std::pair<long, long> results[] = {
      {SpecialChar_stricmp("KeepPercent", "keeppercent"), 0}, {SpecialChar_stricmp("A_B", "AB"), -1},  // '_' < letters
      {SpecialChar_stricmp("\xC3\xA9", "z"), 1}, {SpecialChar_strnicmp("Product Name: x", "product name:", 13), 0},
      {SpecialChar_stricmpn("abX", 2, "AB"), 0}, {EqualsIgnoringCase("abX", "ABY", 2), 1},
      {CompareByLong(&one, &two), -1}, {CompareByLong(&two, &one), 1}, {CompareByLong(&two, &two), 0},
  };
  for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i].first, results[i].second) << i;

  TVector<long> ports;
  EXPECT_TRUE(TokenizeStringToLongs("80; -9 ;;8080;-;x", ";", ports));
  EXPECT_FALSE(TokenizeStringToLongs("abc;", ";", ports));
  EXPECT_FALSE(TokenizeStringToLongs("", ";", ports));
  EXPECT_EQ(std::vector<long>(ports.begin(), ports.end()), (std::vector<long>{80, -9, 8080}));

  // The word-at-a-time comparisons agree with the byte-by-byte one.
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  std::mt19937 rng(11);
  const char alphabet[] = "aAbBzZ_@[`{\x7f\x80\xc1\xe1 09";
  auto any = [&] { return alphabet[rng() % (sizeof alphabet - 1)]; };
  for (int round = 0; round < 10000; ++round) {
    std::string a;
    for (size_t i = 0, n = rng() % 40; i < n; ++i) a += any();
    std::string b = a;  // the copy differs a little: case, one byte, or its length
    if (!b.empty() && rng() % 2) b[rng() % b.size()] = any();
    if (rng() % 4 == 0) b.resize(rng() % (b.size() + 3), 'q');
    for (auto& c : b) c = rng() % 3 ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const int reference = sign(SpecialChar_strnicmp(a.c_str(), b.c_str(), SIZE_MAX));
    ASSERT_EQ(sign(SpecialChar_stricmp(a.c_str(), b.c_str())), reference) << a << " | " << b;
    ASSERT_EQ(sign(SpecialChar_stricmpn(a.data(), a.size(), b.c_str())), reference) << a << " | " << b;
    ASSERT_TRUE(a.size() != b.size() || EqualsIgnoringCase(a.data(), b.data(), a.size()) == (reference == 0));
  }
}

namespace {
struct CountingHolder : StaticDataHolder {
  int setups = 0, teardowns = 0;
  const char* GetName() const override { return "Counting"; }
  void AddDependencies() override {  // neither nothing nor the holder itself is a dependency
    AddDependency(nullptr);
    AddDependency(this);
    AddDependency(GetOROUtilGlobals());
  }
  void DoSetup() override { ++setups, Setup(); }  // a call from inside the set-up returns at once
  void DoTeardown() override { ++teardowns; }
};
}  // namespace

TEST(Memory, ThePoolReusesFreedElementsGrowsInDoublingBlocksAndLocksSerialiseThreads) {
  Allocator pool(32, 0, 4096);  // 128 elements in the first block, 256 in the second
  std::set<void*> seen;
  const uint64_t before = Mem_AllocationCount();
  for (int i = 0; i < 384; ++i) EXPECT_TRUE(seen.insert(pool.Alloc()).second);
  EXPECT_EQ(Mem_AllocationCount() - before, 2u);
  void* some = *std::next(seen.begin(), 100);
  pool.Free(nullptr);
  pool.Free(some);
  EXPECT_EQ(pool.Alloc(), some);
  EXPECT_EQ(seen.count(pool.Alloc()), 0u);
  EXPECT_EQ(Mem_AllocationCount() - before, 3u);

  // Elements smaller than a pointer and no block size: one element per block, still reused last in first out.
  Allocator tiny(1, 0, 0);
  void *a = tiny.Alloc(), *b = tiny.Alloc();
  tiny.Free(a), tiny.Free(b);
  EXPECT_TRUE(tiny.Alloc() == b && tiny.Alloc() == a);

  // A lock serialises threads and a holder sets up once.
  critSec lock;
  CountingHolder holder;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      holder.Setup();
      for (int i = 0; i < 20000; ++i) lock.Enter(), ++counter, lock.Exit();
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
  EXPECT_TRUE(lock.TryLock() && !lock.TryLock());
  lock.Exit();

  EXPECT_EQ(holder.setups, 1);
  EXPECT_TRUE(holder.IsSetUp() && GetOROUtilGlobals()->IsSetUp());
  holder.TryTeardown();
  holder.TryTeardown();
  EXPECT_EQ(holder.teardowns, 1);
  holder.Setup();
  EXPECT_EQ(holder.setups, 2);
}

// The log settings are read at the first call, and again only when asked to.
NAVCONFIG_TEST_CHILD(log_switches_read_once) {
  const bool first = IsAndroidLoggingEnabled() && GetLogMgr() == nullptr;
  const testsupport::ScopedEnv perf("NAVCONFIG_LOG_SWITCHES", "perf");
  return first && IsAndroidLoggingEnabled() && !IsPerfIntervalLoggingEnabled() ? 0 : 1;
}

TEST(LogMgr, SettingsAreReadOnceEachMessageIsOneLineAndStandardErrorStaysOpen) {
  {
    testsupport::ScopedEnv off("NAVCONFIG_LOG", nullptr);
    testsupport::ScopedEnv android("NAVCONFIG_LOG_SWITCHES", "android");
    EXPECT_EQ(testsupport::RunChild("log_switches_read_once"), 0);
  }
  testsupport::LogCapture log("perf,,android");
  CLogMgr* mgr = GetLogMgr();
  ASSERT_NE(mgr, nullptr);
  EXPECT_TRUE(IsAndroidLoggingEnabled() && IsPerfIntervalLoggingEnabled() && !IsHashTableStatsLoggingEnabled());
  mgr->LockTempBuffer();
  mgr->Publish(0, 2, "config_defaults", 2840, mgr->MakeString("Config int value is really a string %s", "x\\y"),
               GetThreadID(), true);
  mgr->UnlockTempBuffer();
  GetCacheMgr()->LogPerfInterval(0, "SetupConfigDefaults", nullptr);
  GetCacheMgr()->LogPerfInterval(1, "SetupConfigDefaults", nullptr);
  const std::string thread = " T" + std::to_string(GetThreadID()) + " ";
  auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "L2 C0 config_defaults:2840" + thread + "Config int value is really a string x\\y");
  EXPECT_EQ(lines[1].rfind("L5 C0 cachemgr:0" + thread + "perf interval SetupConfigDefaults: ", 0), 0u) << lines[1];
  // A log given a stream it did not open (NAVCONFIG_LOG=stderr) leaves it open when it goes.
  { CLogMgr given(stderr, false); }
  EXPECT_TRUE(testsupport::StandardErrorOpen());
}
