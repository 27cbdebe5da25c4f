// The registry functions against the library's registry store (on Windows the system's registry, under
// throw-away keys), and TRegUtil over the configuration's key trees read from real layer files.
#include <config/registry.h>
#include <gtest/gtest.h>
#include <platform/registry.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry_support.h"
#include "store_env.h"

using storetest::StoreTest;
using testsupport::Exists;
using testsupport::ReadFile;
using regtest::Sub;
using regtest::Sub16;

namespace reg = platform::reg;

extern "C" long CCallerRegistryRoundTrip(long root, const char* subKey, uint32_t value);

namespace {

constexpr uint32_t kUntouched = 0xA5A5A5A5u;

// Writes a value the way another program would (the library itself only writes REG_DWORD values).
long SetRaw(reg::HKEY root, const std::string& subKey, const char16_t* name, uint32_t type, const void* data,
            size_t size) {
  reg::HKEY key = nullptr;
  long rc = reg::RegCreateKeyExW(root, Sub16(subKey).c_str(), 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr);
  if (rc != reg::ERROR_SUCCESS) return rc;
  rc = reg::RegSetValueExW(key, name, 0, type, static_cast<const uint8_t*>(data), static_cast<uint32_t>(size));
  reg::RegCloseKey(key);
  return rc;
}

long SetText(reg::HKEY root, const std::string& subKey, const char16_t* name, const std::u16string& text) {
  return SetRaw(root, subKey, name, reg::REG_SZ, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

bool KeyExists(reg::HKEY root, const std::string& subKey) {
  reg::HKEY key = nullptr;
  if (reg::RegOpenKeyExW(root, Sub16(subKey).c_str(), 0, reg::KEY_QUERY_VALUE, &key) != reg::ERROR_SUCCESS)
    return false;
  reg::RegCloseKey(key);
  return true;
}

uint32_t GetInt(long root, const std::string& subKey, const char* name, long* rc = nullptr) {
  uint32_t value = kUntouched;
  long code = Config_RegistryGetIntValue(root, Sub(subKey).c_str(), name, &value);
  if (rc) *rc = code;
  return value;
}

}  // namespace

class RegistryApi : public StoreTest {
 protected:
  std::string RegFile(const char* root) const { return homeDir + "registry/" + root + ".reg"; }
  regtest::ScratchKeys scratch;
};

TEST_F(RegistryApi, RootSelectorsPickTheirTreesAndEveryOtherValueIsTheCurrentUser) {
  // 2, 3 and -1 all name HKEY_CURRENT_USER: what one writes, the others read.
  ASSERT_EQ(Config_RegistryCreateKey(2, Sub("Software\\Nav").c_str()), 0);
  EXPECT_EQ(Config_RegistrySetIntValue(3, Sub("software\\NAV").c_str(), "Count", 41), 0);
  EXPECT_EQ(GetInt(-1, "Software\\Nav", "count"), 41u);
  EXPECT_EQ(GetInt(2, "Software\\Nav", "Count"), 41u);
  EXPECT_EQ(GetInt(1000, "Software\\Nav", "Count"), 41u);
  EXPECT_TRUE(KeyExists(reg::HKEY_CURRENT_USER, "Software\\Nav"));

  // 0 and 1 are trees of their own.
  long rc = 0;
  EXPECT_EQ(GetInt(0, "Software\\Nav", "Count", &rc), kUntouched);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(GetInt(1, "Software\\Nav", "Count", &rc), kUntouched);
  EXPECT_EQ(rc, 2);
  ASSERT_EQ(Config_RegistryCreateKey(0, Sub("Software\\Nav").c_str()), 0);
  ASSERT_EQ(Config_RegistryCreateKey(1, Sub("Software\\Nav").c_str()), 0);
  EXPECT_EQ(Config_RegistrySetIntValue(0, Sub("Software\\Nav").c_str(), "Count", 7), 0);
  EXPECT_EQ(Config_RegistrySetIntValue(1, Sub("Software\\Nav").c_str(), "Count", 0xFFFFFFFFu), 0);
  EXPECT_EQ(GetInt(0, "Software\\Nav", "Count"), 7u);
  EXPECT_EQ(GetInt(1, "Software\\Nav", "Count"), 0xFFFFFFFFu);
  EXPECT_EQ(GetInt(-1, "Software\\Nav", "Count"), 41u);
  if (!testsupport::kWindows) {
    EXPECT_NE(ReadFile(RegFile("HKCR")).find("\"Count\"=dword:00000007"), std::string::npos);
    EXPECT_NE(ReadFile(RegFile("HKLM")).find("\"Count\"=dword:ffffffff"), std::string::npos);
    EXPECT_NE(ReadFile(RegFile("HKCU")).find("\"Count\"=dword:00000029"), std::string::npos);
  }

  // The empty value name is the key's default value; the empty sub-key is the root itself (on Windows, where
  // the test keeps to its throw-away key, that key itself: the path of the key and an empty value name).
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("Software\\Nav").c_str(), "", 5), 0);
  EXPECT_EQ(GetInt(2, "Software\\Nav", nullptr), 5u);
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("").c_str(), "AtTheRoot", 9), 0);
  const std::string scratchKey = Sub("");
  uint32_t atRoot = 0;
  EXPECT_EQ(Config_RegistryGetIntValue(2, testsupport::kWindows ? scratchKey.c_str() : nullptr, "AtTheRoot", &atRoot),
            0);
  EXPECT_EQ(atRoot, 9u);

  // The functions can be called from C.
  EXPECT_EQ(CCallerRegistryRoundTrip(-1, Sub("Software\\FromC").c_str(), 1234), 1234);
}

TEST_F(RegistryApi, SettingAValueNeedsAnExistingKeyAndCreatesNothing) {
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("Missing\\Key").c_str(), "Value", 1), 2);
  EXPECT_FALSE(KeyExists(reg::HKEY_CURRENT_USER, "Missing"));
  long rc = 0;
  EXPECT_EQ(GetInt(2, "Missing\\Key", "Value", &rc), kUntouched);
  EXPECT_EQ(rc, 2);
  if (!testsupport::kWindows) {
    EXPECT_EQ(ReadFile(RegFile("HKCU")).find("Missing"), std::string::npos);
  }

  // With the key in place the same call works; a missing value in an existing key is 2 as well.
  ASSERT_EQ(Config_RegistryCreateKey(2, Sub("Missing\\Key").c_str()), 0);
  EXPECT_EQ(GetInt(2, "Missing\\Key", "Value", &rc), kUntouched);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("Missing\\Key").c_str(), "Value", 1), 0);
  EXPECT_EQ(GetInt(2, "Missing\\Key", "Value"), 1u);
}

TEST_F(RegistryApi, AnIntegerReadTakesFourBytesOfWhateverIsStored) {
  // A text of one character and its terminator is four bytes: it fits and reads as a number.
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Texts", u"Short", u"A"), 0);
  long rc = -1;
  EXPECT_EQ(GetInt(2, "Texts", "Short", &rc), 0x41u);
  EXPECT_EQ(rc, 0);
  // A longer value reports more data and leaves the caller's four bytes as they were, on every platform: a
  // text, and a REG_QWORD (type 11) of eight bytes.
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Texts", u"Long", u"BCDEF"), 0);
  EXPECT_EQ(GetInt(2, "Texts", "Long", &rc), kUntouched);
  EXPECT_EQ(rc, 234);
  const uint64_t qword = 0x0102030405060708u;
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Texts", u"Quad", 11, &qword, sizeof qword), 0);
  EXPECT_EQ(GetInt(2, "Texts", "Quad", &rc), kUntouched);
  EXPECT_EQ(rc, 234);
  // The empty text is one terminator: two bytes, the rest of the caller's area as it was.
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Texts", u"Empty", u""), 0);
  EXPECT_EQ(GetInt(2, "Texts", "Empty", &rc), 0xA5A50000u);
  EXPECT_EQ(rc, 0);
  // A null area only asks for the size.
  EXPECT_EQ(Config_RegistryGetIntValue(2, Sub("Texts").c_str(), "Long", nullptr), 0);
}

TEST_F(RegistryApi, StringReadsFillAtMost255UnitsAndKeepTheResultWhenTheKeyIsMissing) {
  const std::u16string text254(254, u'x');
  const std::u16string text255(255, u'y');
  std::u16string text300;
  for (int i = 0; i < 300; ++i) text300 += static_cast<char16_t>(u'a' + i % 26);
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Strings", u"Fits", text254), 0);
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Strings", u"Full", text255), 0);
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Strings", u"Long", text300), 0);
  ASSERT_EQ(SetText(reg::HKEY_CURRENT_USER, "Strings", u"Wide", u"Stra\u00DFe \u6771\u4EAC"), 0);

  OROwstring result;
  EXPECT_EQ(Config_RegistryGetStrValue(-1, Sub("Strings").c_str(), "Fits", result), 0);
  EXPECT_EQ(result.str(), text254);
  // 255 units and the terminator need 512 bytes; the query offers 510. The result is the buffer as the query
  // left it: the first 255 units from the store; on Windows whatever the system left, never more than 255.
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), "Full", result), 234);
  if (testsupport::kWindows) {
    EXPECT_LE(result.str().size(), 255u);
  } else {
    EXPECT_EQ(result.str(), text255);
  }
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), "Long", result), 234);
  if (testsupport::kWindows) {
    EXPECT_LE(result.str().size(), 255u);
  } else {
    EXPECT_EQ(result.str(), text300.substr(0, 255));
  }
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("strings").c_str(), "WIDE", result), 0);
  EXPECT_STREQ(result.c_str(), "Stra\xC3\x9F" "e \xE6\x9D\xB1\xE4\xBA\xAC");

  // An integer value comes back as its bytes.
  ASSERT_EQ(Config_RegistrySetIntValue(2, Sub("Strings").c_str(), "Number", 0x00490048u), 0);
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), "Number", result), 0);
  EXPECT_STREQ(result.c_str(), "HI");

  // A missing value in an existing key gives the empty text; a missing key leaves the result alone.
  result = OROwstring(u"kept");
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Missing").c_str(), "Fits", result), 2);
  EXPECT_EQ(result.str(), u"kept");
  EXPECT_EQ(Config_RegistryGetStrValue(0, Sub("Strings").c_str(), "Fits", result), 2);
  EXPECT_EQ(result.str(), u"kept");
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), "Nothing", result), 2);
  EXPECT_EQ(result.str(), u"");
}

TEST_F(RegistryApi, KeysAreCreatedWithTheirParentsAndDeletedOnlyWithoutSubKeys) {
  EXPECT_EQ(Config_RegistryCreateKey(2, Sub("A\\B\\C").c_str()), 0);
  EXPECT_TRUE(KeyExists(reg::HKEY_CURRENT_USER, "A\\B"));
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("A\\B").c_str(), "V", 3), 0);
  // Creating an existing key keeps its values.
  EXPECT_EQ(Config_RegistryCreateKey(2, Sub("a\\b").c_str()), 0);
  EXPECT_EQ(GetInt(2, "A\\B", "V"), 3u);

  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("A\\B").c_str()), 5);
  EXPECT_EQ(GetInt(2, "A\\B", "V"), 3u);
  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("A\\B\\C").c_str()), 0);
  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("A\\B\\C").c_str()), 2);
  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("A\\B").c_str()), 0);
  long rc = 0;
  GetInt(2, "A\\B", "V", &rc);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(KeyExists(reg::HKEY_CURRENT_USER, "A"));
  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("A").c_str()), 0);
  EXPECT_FALSE(KeyExists(reg::HKEY_CURRENT_USER, "A"));
  // A root is never deleted.
  EXPECT_EQ(Config_RegistryDeleteKey(2, ""), 5);
  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("Nothing\\Here").c_str()), 2);
}

// Creates Software\Shared and writes FromChild = 77 there: exit code 0 when both worked.
NAVCONFIG_TEST_CHILD(registry_write) {
  return Config_RegistryCreateKey(2, Sub("Software\\Shared").c_str()) == 0 &&
                 Config_RegistrySetIntValue(2, Sub("Software\\Shared").c_str(), "FromChild", 77) == 0
             ? 0
             : 1;
}

// Reads FromParent (88 expected) and writes 99 in its place: exit code 0 when both worked.
NAVCONFIG_TEST_CHILD(registry_read_and_write) {
  return GetInt(2, "Software\\Shared", "FromParent") == 88u &&
                 Config_RegistrySetIntValue(2, Sub("Software\\Shared").c_str(), "FromParent", 99) == 0
             ? 0
             : 1;
}

TEST_F(RegistryApi, ValuesOutliveTheProcessAndAnotherProcessSeesThem) {
  // A child writes and exits; this process reads what it wrote.
  ASSERT_EQ(testsupport::RunChild("registry_write"), 0);
  EXPECT_EQ(GetInt(2, "Software\\Shared", "FromChild"), 77u);

  // This process writes; a child sees it, and its own change in turn reaches this process.
  ASSERT_EQ(Config_RegistrySetIntValue(2, Sub("Software\\Shared").c_str(), "FromParent", 88), 0);
  ASSERT_EQ(testsupport::RunChild("registry_read_and_write"), 0);
  EXPECT_EQ(GetInt(2, "Software\\Shared", "FromParent"), 99u);
  EXPECT_EQ(GetInt(2, "Software\\Shared", "FromChild"), 77u);

  // The store is the user's alone.
  if (!testsupport::kWindows) {
    EXPECT_EQ(testsupport::FileMode(homeDir + "registry"), 0700u);
    EXPECT_EQ(testsupport::FileMode(RegFile("HKCU")), 0600u);
    EXPECT_FALSE(Exists(RegFile("HKLM")));
  }
}

// ---- TRegUtil ----

namespace {

const char* const kUserCfg =
    "[Nav]\n"
    "\"Count\"=3\n"
    "\"Empty\"=\"\"\n"
    "\"Mask\"=0x0000ff00\n"
    "\"Name\"=\"Route Nord\"\n"
    "[Nav\\b]\n"
    "[Nav\\a]\n"
    "\"k\"=1\n"
    "[Nav\\C\\Deep]\n"
    "\"k\"=2\n"
    "[Leaf]\n"
    "\"k\"=3\n";

std::vector<std::string> Enumerate(TRegUtil& util, const char* subKey) {
  std::vector<std::string> names;
  if (!util.EnumStart(subKey)) return names;
  char name[64];
  while (util.EnumNext(name, sizeof name)) names.push_back(name);
  return names;
}

}  // namespace

class RegUtil : public StoreTest {
 protected:
  void SetUp() override {
    WriteCfg("user.cfg", kUserCfg);
    Reload();
  }
};

TEST_F(RegUtil, ReadsFindValuesOfTheirTypeInTheTreesAlone) {
  TRegUtil util("user", false, true);
  EXPECT_EQ(util.GetIntValue("Nav", "Count"), 3);
  EXPECT_EQ(util.GetIntValue("NAV", "count"), 3);
  EXPECT_EQ(util.GetIntValue("Nav", "Mask"), 0xff00);
  EXPECT_EQ(util.GetIntValue("Nav\\a", "k"), 1);
  EXPECT_EQ(util.GetIntValue("Nav\\c\\deep", "K"), 2);
  // A string, a missing value, a missing section and a value that only has a built-in default give 0.
  EXPECT_EQ(util.GetIntValue("Nav", "Name"), 0);
  EXPECT_EQ(util.GetIntValue("Nav", "Nothing"), 0);
  EXPECT_EQ(util.GetIntValue("Nav\\Nothing", "k"), 0);
  EXPECT_EQ(util.GetIntValue("Image", "KeepPercent"), 0);

  char buffer[32];
  EXPECT_EQ(util.GetStrValue("Nav", "Name", buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "Route Nord");
  // Cut to the buffer, with its terminator.
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(util.GetStrValue("Nav", "Name", buffer, 6), buffer);
  EXPECT_STREQ(buffer, "Route");
  EXPECT_EQ(buffer[6], '#');
  // An existing empty string, an integer and a missing value: null and an empty buffer.
  for (const char* name : {"Empty", "Count", "Nothing"}) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(util.GetStrValue("Nav", name, buffer, sizeof buffer), nullptr) << name;
    EXPECT_EQ(buffer[0], '\0') << name;
  }
  // A one-byte buffer holds only the terminator; a size of 0 writes nothing.
  EXPECT_EQ(util.GetStrValue("Nav", "Name", buffer, 1), nullptr);
  EXPECT_EQ(buffer[0], '\0');
  buffer[0] = '#';
  EXPECT_EQ(util.GetStrValue("Nav", "Name", buffer, 0), nullptr);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(util.GetStrValue("Nav", "Name", nullptr, 10), nullptr);

  // Another layer is read from its file when it is first touched.
  WriteCfg("product.cfg", "[Brand]\n\"Title\"=\"Navigator\"\n");
  TRegUtil product("product", true, true);
  EXPECT_STREQ(product.GetStrValue("Brand", "Title", buffer, sizeof buffer), "Navigator");
  // The base path may hold several sections and the sub-key may be empty.
  TRegUtil deep("user\\Nav\\C", false, true);
  EXPECT_EQ(deep.GetIntValue("Deep", "k"), 2);
  TRegUtil whole("user\\Nav\\C\\Deep", false, true);
  EXPECT_EQ(whole.GetIntValue("", "k"), 2);
  EXPECT_EQ(whole.GetIntValue(nullptr, "k"), 2);
}

TEST_F(RegUtil, AReadOnlyObjectRefusesToWriteAndAWritableOneSavesAtOnce) {
  const unsigned long long before = storetest::FileId(Cfg("user.cfg"));
  TRegUtil readOnly("user", false, true);
  EXPECT_FALSE(readOnly.SetIntValue("Nav", "Count", 9));
  EXPECT_FALSE(readOnly.SetStrValue("Nav", "Name", "Other"));
  EXPECT_FALSE(readOnly.SetIntValue("New", "Value", 1));
  EXPECT_EQ(readOnly.GetIntValue("Nav", "Count"), 3);
  EXPECT_EQ(storetest::Str("user\\Nav", "Name"), "Route Nord");
  EXPECT_EQ(Config_FindRoot("user\\New"), nullptr);
  EXPECT_EQ(storetest::FileId(Cfg("user.cfg")), before);
  EXPECT_EQ(ReadCfg("user.cfg"), kUserCfg);

  TRegUtil writable("user", true, false);
  EXPECT_TRUE(writable.SetIntValue("Nav", "Count", 9));
  EXPECT_TRUE(writable.SetStrValue("Nav\\New", "Text", "hello"));
  EXPECT_EQ(writable.GetIntValue("Nav", "Count"), 9);
  char buffer[16];
  EXPECT_STREQ(writable.GetStrValue("Nav\\New", "Text", buffer, sizeof buffer), "hello");
  // Both are in the file, and a new manager reads them back.
  EXPECT_NE(ReadCfg("user.cfg").find("\"Count\"=9\n"), std::string::npos);
  EXPECT_NE(Block("user.cfg", "[Nav\\New]").find("\"Text\"=\"hello\""), std::string::npos);
  Reload();
  EXPECT_EQ(readOnly.GetIntValue("Nav", "Count"), 9);
  EXPECT_STREQ(readOnly.GetStrValue("Nav\\New", "Text", buffer, sizeof buffer), "hello");
}

TEST_F(RegUtil, EnumerationGoesThroughTheSubSectionsInOrder) {
  TRegUtil util("user", false, true);
  EXPECT_EQ(Enumerate(util, "Nav"), (std::vector<std::string>{"a", "b", "C"}));
  EXPECT_EQ(Enumerate(util, "nav\\c"), (std::vector<std::string>{"Deep"}));
  // The layer's own sections.
  EXPECT_EQ(Enumerate(util, ""), (std::vector<std::string>{"Leaf", "Nav"}));

  // A section without subsections, and a missing one: nothing to enumerate, and the end stays the end.
  char name[8];
  for (const char* subKey : {"Leaf", "Nav\\a", "Missing"}) {
    EXPECT_FALSE(util.EnumStart(subKey)) << subKey;
    std::memset(name, '#', sizeof name);
    EXPECT_FALSE(util.EnumNext(name, sizeof name)) << subKey;
    EXPECT_EQ(name[0], '\0') << subKey;
  }

  // Short buffers: names are cut with their terminator; a size of 0 moves on without writing.
  ASSERT_TRUE(util.EnumStart("Nav"));
  std::memset(name, '#', sizeof name);
  EXPECT_TRUE(util.EnumNext(name, 0));
  EXPECT_EQ(name[0], '#');
  EXPECT_TRUE(util.EnumNext(name, 1));
  EXPECT_EQ(name[0], '\0');
  // A copy carries the position on its own.
  TRegUtil copy("other", false, false);
  copy = util;
  EXPECT_TRUE(util.EnumNext(name, sizeof name));
  EXPECT_STREQ(name, "C");
  EXPECT_FALSE(util.EnumNext(name, sizeof name));
  EXPECT_TRUE(copy.EnumNext(name, sizeof name));
  EXPECT_STREQ(name, "C");
  EXPECT_FALSE(copy.SetIntValue("Nav", "Count", 1));  // the copy is read-only too
}
