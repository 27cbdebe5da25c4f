// The registry functions against the library's registry store (on Windows the system's registry, under
// throw-away keys), and TRegUtil over the configuration's key trees read from real layer files.
#include <config/registry.h>

#include <cstring>
#include <vector>

#include "registry_support.h"
#include "store_env.h"

using regtest::Sub;
using namespace std::string_literals;

namespace reg = platform::reg;

extern "C" long CCallerRegistryRoundTrip(long root, const char* subKey, uint32_t value);

namespace {

constexpr uint32_t kUntouched = 0xA5A5A5A5u;

// Writes a value below the user root the way another program would (the library only writes REG_DWORD).
long SetRaw(const std::string& subKey, const std::string& name, uint32_t type, const void* data, size_t size) {
  const reg::HKEY key = regtest::Create(reg::HKEY_CURRENT_USER, regtest::Sub16(subKey).c_str());
  const auto* bytes = static_cast<const uint8_t*>(data);
  const long rc = reg::RegSetValueExW(key, regtest::Utf16(name).c_str(), 0, type, bytes, static_cast<uint32_t>(size));
  reg::RegCloseKey(key);
  return rc;
}

long SetText(const std::string& subKey, const std::string& name, const std::u16string& text) {
  return SetRaw(subKey, name, reg::REG_SZ, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

// The integer read into an area that held kUntouched; the result code in *rc.
uint32_t GetInt(long root, const std::string& subKey, const char* name, long* rc = nullptr) {
  uint32_t value = kUntouched;
  const long code = Config_RegistryGetIntValue(root, Sub(subKey).c_str(), name, &value);
  if (rc) *rc = code;
  return value;
}

long Code(long root, const std::string& subKey, const char* name) {
  long rc = 0;
  return GetInt(root, subKey, name, &rc), rc;
}

struct RegistryApi : ::testing::Test {
  regtest::Home home;
};

}  // namespace

TEST_F(RegistryApi, RootSelectorsPickTheirTreesAndEveryOtherValueIsTheCurrentUser) {
  // 2, 3, -1 and any other number name HKEY_CURRENT_USER: what one writes, the others read.
  ASSERT_EQ(Config_RegistryCreateKey(3, Sub("Software\\Nav").c_str()), 0);
  EXPECT_EQ(Config_RegistrySetIntValue(-1, Sub("software\\NAV").c_str(), "Count", 41), 0);
  for (long root : {-1L, 2L, 3L, 1000L}) EXPECT_EQ(GetInt(root, "Software\\Nav", "count"), 41u) << root;

  // 0 and 1 are trees of their own.
  for (long root : {0L, 1L}) {
    EXPECT_EQ(GetInt(root, "Software\\Nav", "Count"), kUntouched);
    EXPECT_EQ(Code(root, "Software\\Nav", "Count"), 2);
    ASSERT_EQ(Config_RegistryCreateKey(root, Sub("Software\\Nav").c_str()), 0);
    EXPECT_EQ(Config_RegistrySetIntValue(root, Sub("Software\\Nav").c_str(), "Count", 0xFFFFFFF0u + root), 0);
  }
  EXPECT_EQ(GetInt(0, "Software\\Nav", "Count"), 0xFFFFFFF0u);
  EXPECT_EQ(GetInt(1, "Software\\Nav", "Count"), 0xFFFFFFF1u);
  EXPECT_EQ(GetInt(2, "Software\\Nav", "Count"), 41u);
  EXPECT_TRUE(testsupport::kWindows ||
              testsupport::ReadFile(home.Registry() + "HKCR.reg").find("fffffff0") != std::string::npos);

  // The empty or null value name is the key's default value; the empty sub-key is the root itself (on
  // Windows, where the test keeps to its throw-away key, that key).
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("Software\\Nav").c_str(), "", 5), 0);
  EXPECT_EQ(GetInt(2, "Software\\Nav", nullptr), 5u);
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("").c_str(), "AtTheRoot", 9), 0);
  uint32_t atRoot = 0;
  EXPECT_EQ(Config_RegistryGetIntValue(2, testsupport::kWindows ? Sub("").c_str() : nullptr, "AtTheRoot", &atRoot), 0);
  EXPECT_EQ(atRoot, 9u);

  // A value goes only into a key that exists: nothing is created, and a missing key or value is 2. Deletion
  // passes the root and the path on.
  EXPECT_EQ(Config_RegistrySetIntValue(2, Sub("A\\B").c_str(), "V", 1), 2);
  EXPECT_EQ(Code(2, "A", nullptr), 2);
  EXPECT_EQ(Config_RegistryCreateKey(2, Sub("A\\B").c_str()), 0);
  EXPECT_EQ(Code(2, "A\\B", "V"), 2);
  EXPECT_EQ(Config_RegistryDeleteKey(2, Sub("A").c_str()), 5);
  for (const char* key : {"A\\B", "A"}) EXPECT_EQ(Config_RegistryDeleteKey(2, Sub(key).c_str()), 0) << key;
  EXPECT_EQ(Config_RegistryDeleteKey(0, Sub("Software\\Nav").c_str()) + Code(0, "Software\\Nav", "Count"), 2);

  // The functions can be called from C.
  EXPECT_EQ(CCallerRegistryRoundTrip(-1, Sub("Software\\FromC").c_str(), 1234), 1234);

  // Values of at most four bytes fill as many bytes as they have, the rest of the caller's area as it was. A
  // longer one (a text, a REG_QWORD of type 11) reports more data and leaves all four bytes as they were, on
  // every platform.
  const uint64_t qword = 0x0102030405060708u;
  const struct { const char* name; uint32_t type; const void* data; size_t size; long code; uint32_t value; } cases[]{
      {"Short", reg::REG_SZ, u"A", 4, 0, 0x41u}, {"Long", reg::REG_SZ, u"BC", 6, 234, kUntouched},
      {"Quad", 11, &qword, 8, 234, kUntouched},   {"Empty", reg::REG_SZ, u"", 2, 0, 0xA5A50000u},
      {"Three", reg::REG_BINARY, "\1\2\3", 3, 0, 0xA5030201u}};
  for (const auto& c : cases) {
    ASSERT_EQ(SetRaw("Texts", c.name, c.type, c.data, c.size), 0);
    long rc = -1;
    EXPECT_EQ(GetInt(2, "Texts", c.name, &rc), c.value) << c.name;
    EXPECT_EQ(rc, c.code) << c.name;
  }
  // A null area only asks for the size.
  EXPECT_EQ(Config_RegistryGetIntValue(2, Sub("Texts").c_str(), "Long", nullptr), 0);
}

TEST_F(RegistryApi, StringReadsFillAtMost255UnitsAndKeepTheResultWhenTheKeyIsMissing) {
  std::u16string text300;
  for (int i = 0; i < 300; ++i) text300 += static_cast<char16_t>(u'a' + i % 26);
  ASSERT_EQ(SetText("Strings", "Fits", text300.substr(0, 254)), 0);
  ASSERT_EQ(SetText("Strings", "Full", text300.substr(0, 255)), 0);
  ASSERT_EQ(SetText("Strings", "Long", text300), 0);
  ASSERT_EQ(SetText("Strings", "Wide", u"Stra\u00DFe \u6771\u4EAC"), 0);

  OROwstring result;
  EXPECT_EQ(Config_RegistryGetStrValue(-1, Sub("Strings").c_str(), "Fits", result), 0);
  EXPECT_EQ(result.str(), text300.substr(0, 254));
  // 255 units and the terminator need 512 bytes; the query offers 510. The result is the buffer as the query
  // left it: the first 255 units from the store; on Windows whatever the system left, never more than 255.
  for (const char* name : {"Full", "Long"}) {
    EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), name, result), 234);
    if (testsupport::kWindows) {
      EXPECT_LE(result.str().size(), 255u);
    } else {
      EXPECT_EQ(result.str(), text300.substr(0, 255));
    }
  }
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("strings").c_str(), "WIDE", result), 0);
  EXPECT_STREQ(result.c_str(), "Stra\xC3\x9F" "e \xE6\x9D\xB1\xE4\xBA\xAC");

  // An integer value comes back as its bytes.
  ASSERT_EQ(Config_RegistrySetIntValue(2, Sub("Strings").c_str(), "Number", 0x00490048u), 0);
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), "Number", result), 0);
  EXPECT_STREQ(result.c_str(), "HI");

  // A missing key leaves the result alone; a missing value in an existing key gives the empty text.
  result = OROwstring(u"kept");
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Missing").c_str(), "Fits", result), 2);
  EXPECT_EQ(Config_RegistryGetStrValue(0, Sub("Strings").c_str(), "Fits", result), 2);
  EXPECT_EQ(result.str(), u"kept");
  EXPECT_EQ(Config_RegistryGetStrValue(2, Sub("Strings").c_str(), "Nothing", result), 2);
  EXPECT_EQ(result.str(), u"");
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

// The first bytes of the buffer that GetStrValue filled (size bytes offered, '#' where it wrote nothing),
// after "null " when it returned null.
std::string Text(const TRegUtil& util, const char* subKey, const char* name, int size) {
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  const char* result = util.GetStrValue(subKey, name, buffer, size);
  return (result ? "" : "null ") + std::string(buffer, 12);
}

// The names EnumNext gives for a buffer of size bytes (the first three bytes of the buffer, '#' where it
// wrote nothing), then what the buffer holds after the end; empty when EnumStart finds nothing.
std::vector<std::string> Enumerate(TRegUtil& util, const char* subKey, int size = 8) {
  std::vector<std::string> names;
  char name[8];
  bool more = util.EnumStart(subKey);
  while (true) {
    std::memset(name, '#', sizeof name);
    if (!util.EnumNext(name, size)) break;
    names.push_back(std::string(name, 3));
  }
  if (more || name[0] != '\0') names.push_back(std::string(name, 3));
  return names;
}

class RegUtil : public storetest::StoreTest {
 protected:
  void SetUp() override {
    WriteCfg("user.cfg", kUserCfg);
    Reload();
  }
};

}  // namespace

TEST_F(RegUtil, ReadsEnumerationsAndWritesFindTheSectionsOfTheLayerAlone) {
  TRegUtil util("user", false, true);
  EXPECT_EQ(util.GetIntValue("NAV", "count"), 3);
  EXPECT_EQ(util.GetIntValue("Nav", "Mask"), 0xff00);
  EXPECT_EQ(util.GetIntValue("Nav\\c\\deep", "K"), 2);
  // A string, a missing value, a missing section and a value that only has a built-in default give 0.
  const std::pair<const char*, const char*> zeros[] = {
      {"Nav", "Name"}, {"Nav", "Nothing"}, {"Nav\\No", "k"}, {"Image", "KeepPercent"}, {"Nav", nullptr}};
  for (const auto& [section, name] : zeros) EXPECT_EQ(util.GetIntValue(section, name), 0) << section;

  // An empty string, an integer and a missing value give null and an empty buffer (the buffer's sizes:
  // config_api_test.cpp).
  EXPECT_EQ(Text(util, "Nav", "Name", 11), "Route Nord\0#"s);
  for (const char* name : {"Empty", "Count", "Nothing"}) EXPECT_EQ(Text(util, "Nav", name, 16), "null \0###########"s);

  // Another layer is read from its file when it is first touched. The base path may hold several sections
  // and the sub-key may be empty.
  WriteCfg("product.cfg", "[Brand]\n\"Title\"=\"Navigator\"\n");
  EXPECT_EQ(Text(TRegUtil("product", true, true), "Brand", "Title", 11), "Navigator\0##"s);
  EXPECT_EQ(TRegUtil("user\\Nav\\C", false, true).GetIntValue("Deep", "k"), 2);
  TRegUtil whole("user\\Nav\\C\\Deep", false, true);
  EXPECT_EQ(whole.GetIntValue("", "k") + whole.GetIntValue(nullptr, "k"), 4);

  // Enumeration goes through the sub-sections in order, the layer's own with an empty sub-key; a size of 0
  // moves on without writing. After the end the buffer is emptied.
  EXPECT_EQ(Enumerate(util, "Nav"), (std::vector{"a\0#"s, "b\0#"s, "C\0#"s, "\0##"s}));
  EXPECT_EQ(Enumerate(util, "Nav", 0), (std::vector{"###"s, "###"s, "###"s, "###"s}));
  EXPECT_EQ(Enumerate(util, "nav\\c"), (std::vector{"Dee"s, "\0##"s}));
  EXPECT_EQ(Enumerate(util, ""), (std::vector{"Lea"s, "Nav"s, "\0##"s}));
  // A section without sub-sections, and a missing one: nothing to enumerate.
  for (const char* subKey : {"Leaf", "Missing"}) EXPECT_TRUE(Enumerate(util, subKey).empty()) << subKey;

  // A read-only object refuses to write, and a writable one saves at once.
  const unsigned long long before = storetest::FileId(Cfg("user.cfg"));
  TRegUtil readOnly("user", false, true);
  EXPECT_FALSE(readOnly.SetIntValue("Nav", "Count", 9));
  EXPECT_FALSE(readOnly.SetStrValue("Nav", "Name", "Other"));
  EXPECT_FALSE(readOnly.SetIntValue("New", "Value", 1));
  EXPECT_EQ(readOnly.GetIntValue("Nav", "Count"), 3);
  EXPECT_EQ(Config_FindRoot("user\\New"), nullptr);
  EXPECT_EQ(storetest::FileId(Cfg("user.cfg")), before);

  TRegUtil writable("user", true, false);
  EXPECT_TRUE(writable.SetIntValue("Nav", "Count", 9));
  EXPECT_TRUE(writable.SetStrValue("Nav\\New", "Text", "hello"));
  // In the file at once, and a new manager reads them back.
  EXPECT_NE(ReadCfg("user.cfg").find("\"Count\"=9\n"), std::string::npos);
  EXPECT_NE(Block("user.cfg", "[Nav\\New]").find("\"Text\"=\"hello\""), std::string::npos);
  Reload();
  EXPECT_EQ(readOnly.GetIntValue("Nav", "Count"), 9);
  EXPECT_EQ(Text(readOnly, "Nav\\New", "Text", 16), "hello\0######"s);

  // A key name is cut to 255 bytes, as the registry's are.
  EXPECT_TRUE(writable.SetIntValue(std::string(250, 'k').append("x").c_str(), "v", 5));
  EXPECT_EQ(Config_GetIntVal(std::string("user\\").append(250, 'k').c_str(), "v"), 5);
}
