// The .cfg files as text: what the writer produces after a change, what the reader makes of every kind of
// line, lines of any length, and what the setters store reading back from the file.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/config_listen.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>

#include "store/configmgr.h"
#include "store_env.h"

using storetest::FileId;
using storetest::Str;
using storetest::StoreTest;
using storetest::Children;
using storetest::Keys;
using storetest::Names;

class CfgWriter : public StoreTest {};

TEST_F(CfgWriter, EditsTheFileInPlaceInTheFormsOfItsValues) {
  // ("[\\]" names the layer itself: the writer never writes its values, and a save keeps their lines.)
  const std::string rooted = "[\\]\n\"r\"=1\n";
  WriteCfg("mylayer.cfg", "; written by hand\n[Zeta]\n\"b\"=0x32\n\"A\"=062\n\"c\"=50\n" + rooted + "[alpha\\Sub]\n\"x\"=\"\"\n");
  Reload();
  const auto id = FileId(Cfg("mylayer.cfg"));
  EXPECT_EQ(Config_GetIntVal("mylayer\\Zeta", "b"), 50);
  EXPECT_EQ(FileId(Cfg("mylayer.cfg")), id);  // reading writes nothing
  // A save keeps the note and the form of every value that did not change; a setter's value is decimal unless the
  // hexadecimal setter wrote it. (Where edits put new keys and sections: data/cfg_documents.txt.)
  Config_SetIntVal("mylayer\\zeta", "b", 0x33);
  Config_SetHexVal("mylayer\\Zeta", "c", 10000);
  Config_SetHexVal("Image", "Hex", -2);
  // Nor does it remove them: a delete of one removes nothing, and no save is made or failed.
  EXPECT_EQ(Config_DeleteKeyVal("mylayer\\", "r") + Config_DeleteKeyVal(" mylayer\\Zeta", "b"), 0);
  EXPECT_EQ(storetest::SaveOutcome("mylayer"), "ok");
  EXPECT_EQ(ReadCfg("mylayer.cfg"),
            "; written by hand\n[Zeta]\n\"b\"=51\n\"A\"=062\n\"c\"=0x00002710\n" + rooted + "[alpha\\Sub]\n\"x\"=\"\"\n");
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"Hex\"=0xfffffffe\n\n");
  EXPECT_EQ(Config_GetIntVal("Image", "Hex"), -2);
}

class CfgReader : public StoreTest {};

TEST_F(CfgReader, ValueLines) {
  // How the reader and Config_ClassifyLine take a line apart, and how the writer gives it back.
  constexpr ConfigLineKind V = CONFIG_LINE_VALUE, Bad = CONFIG_LINE_BAD_VALUE, Ign = CONFIG_LINE_IGNORED,
                           Open = CONFIG_LINE_NO_CLOSING_QUOTE, Blank = CONFIG_LINE_BLANK_BEFORE_ASSIGN;
  struct Case {
    const char* line;
    ConfigLineKind kind;
    long number = 0;             // an integer value
    const char* text = nullptr;  // a string value (null for an integer)
    size_t used = 0;             // the bytes of a value line that the reader took into account
    const char* written = nullptr;  // the value line as the writer gives it back
    const char* key = "K";
  };
  const Case cases[] = {
      // Lines that every earlier version read, and read alike: they must read exactly so for ever.
      {"\"K\"=50", V, 50, nullptr, 6, "\"K\"=50"}, {"\"K\"=0x32", V, 50, nullptr, 8, "\"K\"=0x00000032"},
      {"\"K\"=0X32:", V, 50, nullptr, 8, "\"K\"=0x00000032"}, {"\"K\"=0x1", V, 1, nullptr, 7, "\"K\"=0x00000001"},
      {"\"K\"=0xaFg", V, 175, nullptr, 8, "\"K\"=0x000000af"}, {"\"K\"=0x", V, 0, nullptr, 5, "\"K\"=0x00000000"},
      {"\"K\"=0xg", V, 0, nullptr, 5, "\"K\"=0x00000000"}, {"\"K\"=062", V, 50, nullptr, 7, "\"K\"=50"},
      {"\"K\"=08", V, 0, nullptr, 5, "\"K\"=0"}, {"\"K\"=-5", V, -5, nullptr, 6, "\"K\"=-5"},
      {"\"K\"=-0", V, 0, nullptr, 6, "\"K\"=0"}, {"\"K\"=-0x10", V, -16, nullptr, 9, "\"K\"=-16"},
      {"\"K\"=0xffffffff", V, -1, nullptr, 14, "\"K\"=0xffffffff"},
      {"\"K\"=-2147483648", V, -2147483647L - 1, nullptr, 15, "\"K\"=-2147483648"},
      {"\"K\"=4294967297", V, 1, nullptr, 14, "\"K\"=1"}, {"\"K\"=5abc", V, 5, nullptr, 5, "\"K\"=5"},
      {"\"K\"=5=6", V, 5, nullptr, 5, "\"K\"=5"}, {"\"K\"==5", V, 5, nullptr, 6, "\"K\"=5"},
      {"\xEFK\xEE=7", V, 7, nullptr, 5, "\"K\"=7"}, {"\"\"K\"=7", V, 7, nullptr, 6, "\"K\"=7"},
      {"\"a=b\"=8", V, 8, nullptr, 7, "\"a=b\"=8", "a=b"}, {"\"K\"=\"\"", V, 0, "", 6, "\"K\"=\"\""},
      {"\"K\"=\"\" x", V, 0, "", 6, "\"K\"=\"\""}, {"\"K\"=\xEEtext\xEE", V, 0, "text", 10, "\"K\"=\"text\""},
      {"\"K\"=\"text\xEF ; note", V, 0, "text", 10, "\"K\"=\"text\""},
      {"\"K\"=\"text with blanks\"", V, 0, "text with blanks", 22, "\"K\"=\"text with blanks\""},
      {"\"K\"=\"abc", V, 0, "abc", 8, "\"K\"=\"abc\""}, {"\"K\"=\"abc\"xyz", V, 0, "abc", 9, "\"K\"=\"abc\""},
      {"\"K\" = 5", Blank}, {"\"K\"", Blank}, {"\"K\"= 5", Bad}, {"\"K\"=", Bad}, {"\"K\"=\"", Bad}, {"\"K\"=-", Bad},
      {"\"K\"=-x1", Bad}, {"\"K", Open}, {"\"K\xEF", Open}, {"\"\"=5", Open}, {"K=5", Ign},
      // Strings holding '=' or a quote byte, which earlier versions cut or ignored: a string runs to the last
      // '"' of its line, and 0xEE or 0xEF (in UTF-8 characters) ends a key only right before '='.
      {"\"K\"=\"a=b\"", V, 0, "a=b", 9, "\"K\"=\"a=b\""}, {"\"K\"=\"abc=def", V, 0, "abc=def", 12, "\"K\"=\"abc=def\""},
      {"\"K\"=\"say \"hi\"\"", V, 0, "say \"hi\"", 14, "\"K\"=\"say \"hi\"\""},
      {"\"K\"=\"\"\"", V, 0, "\"", 7, "\"K\"=\"\"\""},
      {"\"K\"=\"a\"=\"b\" ; x", V, 0, "a\"=\"b", 11, "\"K\"=\"a\"=\"b\""},
      {"\"K\"=\"\xEF\xBC\xA1(x\xEF\xBC\x89\"", V, 0, "\xEF\xBC\xA1(x\xEF\xBC\x89", 14,
       "\"K\"=\"\xEF\xBC\xA1(x\xEF\xBC\x89\""},
      {"\"N\xEF\xBC\xA1\"=1", V, 1, nullptr, 8, "\"N\xEF\xBC\xA1\"=1", "N\xEF\xBC\xA1"},
      {"\"K\xEF\"=2", V, 2, nullptr, 6, "\"K\xEF\"=2", "K\xEF"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string layer = "edge" + std::to_string(n++), section = layer + "\\S", line = c.line;
    const std::string_view text = c.text ? c.text : "";
    WriteCfg(layer + ".cfg", "[S]\n" + line + "\n");
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Config_DoesKeyExist(section.c_str(), c.key), c.kind == V);
    EXPECT_EQ(Config_GetIntValDefault(section.c_str(), c.key, -99), c.kind == V && !c.text ? c.number : -99);
    int found = -1;
    char read[64] = "canary";
    Config_GetStrVal(section.c_str(), c.key, read, sizeof read, &found);
    EXPECT_EQ(std::make_pair(found, std::string_view(read)), std::make_pair(c.text ? 1 : 0, text));
    // The line function takes the line apart alike (through the string's closing quote or the number's last
    // digit), and never looks past the line's end.
    ConfigLineInfo alone{};
    ASSERT_EQ(Config_ClassifyLine(line.c_str(), line.size(), &alone), c.kind);
    EXPECT_EQ(alone.used, c.kind == V ? c.used : line.size());
    const bool hex = c.written && std::string(c.written).find("=0x") != std::string::npos;
    EXPECT_TRUE(c.kind != V || std::make_tuple(std::string_view(alone.name, alone.nameLength), alone.isString,
                                               std::string_view(alone.text, alone.textLength), alone.number,
                                               alone.hex) == std::make_tuple(std::string_view(c.key), c.text != nullptr,
                                                                             text, c.text ? 0 : c.number, hex));
    auto fields = [](const ConfigLineInfo& i, const std::string& base) {
      return std::make_tuple(i.kind, i.name ? i.name - base.c_str() : -1, i.nameLength,
                             std::string_view(i.text, i.textLength), i.number, i.hex, i.used);
    };
    for (const char* after : {"1=\"5", "\"=5x", "x=\"5"}) {
      ConfigLineInfo info{};
      const std::string longer = line + after;
      Config_ClassifyLine(longer.c_str(), line.size(), &info);
      EXPECT_EQ(fields(info, longer), fields(alone, line)) << after;
    }
    // A change elsewhere in the layer keeps the line as it is (a line the reader ignores is set apart from the
    // section added after it); the writer gives the value back so.
    Config_SetIntVal((layer + "\\T").c_str(), "Z", 1);
    EXPECT_EQ(storetest::SectionBlock(ReadCfg(layer + ".cfg"), "[S]"),
              "[S]\n" + line + (c.kind == Ign ? "\n\n" : "\n"));
    EXPECT_EQ(storetest::SectionBlock(GetConfigMgr()->LayerText(layer.c_str()), "[S]"),
              c.written ? std::string("[S]\n") + c.written + "\n\n" : std::string("<absent>"));
  }
  EXPECT_EQ(Config_ClassifyLine(nullptr, 3, nullptr), CONFIG_LINE_IGNORED);
  EXPECT_EQ(Config_ClassifyLine("\"K\"=1", 5, nullptr), CONFIG_LINE_VALUE);
}

TEST_F(CfgReader, HeadersLineEndsAndValuesBeforeTheFirstHeader) {
  // Values before the first header have no section; CR LF, CR alone and NUL bytes all end lines; "[]" is
  // ignored, so the values after it go on into the section before; empty path components are skipped.
  const char raw[] =
      "\"Top\"=1\n[S]\r\n\"A\"=1\r\n\"B\"=\"x\"\r\n\"Repeated1\"=1\r\n\"REPEATED1\"=2\r\n\"Aaa\"=3\r\n\r\n"
      "[T]\r\"C\"=2\r[U]\0\"D\"=3\0[[Twice]]\n\"E\"=4\n\"e\"=5\n"
      "[V] trailing text\n\"F\"=5\n[]\n\"G\"=6\n\"a\"=0\n[W\\\\X\\]\n\"H\"=7\n[w]\n\"I\"=8";
  WriteCfg("ends.cfg", std::string(raw, sizeof raw - 1));  // with its NUL bytes
  Reload();
  EXPECT_EQ(Keys("ends"), Names{});
  ConfigLineInfo info{};
  EXPECT_EQ(Config_ClassifyLine("[[W\\X]] x", 10, &info), CONFIG_LINE_HEADER);
  EXPECT_EQ(std::string_view(info.name, info.nameLength), "W\\X");
  EXPECT_EQ(Config_ClassifyLine("[]", 2, &info), CONFIG_LINE_HEADER_NO_NAME);
  EXPECT_EQ(Config_ClassifyLine("[[[", 2, &info), CONFIG_LINE_HEADER_NO_NAME);  // never read past the length
  EXPECT_EQ(Config_ClassifyLine("[abc", 3, &info), CONFIG_LINE_HEADER);
  EXPECT_EQ(std::string_view(info.name, info.nameLength), "ab");
  EXPECT_EQ(Config_ClassifyLine("[S]", 0, &info), CONFIG_LINE_IGNORED);

  // A byte order mark before the first line is skipped; anywhere else its first byte starts a value line
  // that is ignored. A save keeps the mark and the line ends.
  WriteCfg("bom.cfg", "\xEF\xBB\xBF[Bom]\r\n\"K\"=\"v\"\r\n\xEF\xBB\xBF[Not]\r\n\"L\"=1\r\n");
  WriteCfg("halfbom.cfg", "\xEF\xBB[Bom]\n\"K\"=1\n");
  EXPECT_EQ(Children("halfbom"), Names{});
  Config_SetIntVal("bom\\Bom", "L", 2);
  EXPECT_EQ(ReadCfg("bom.cfg"), "\xEF\xBB\xBF[Bom]\r\n\"K\"=\"v\"\r\n\xEF\xBB\xBF[Not]\r\n\"L\"=2\r\n");

  // A key that comes again (in any letter case) takes the later value. NUL bytes make no text: the file is set
  // aside and written from memory, sorted.
  Config_SetIntVal("ends\\S", "A", 10);
  EXPECT_EQ(ReadCfg("ends.cfg.bak"), std::string(raw, sizeof raw - 1));
  EXPECT_EQ(ReadCfg("ends.cfg"), "[S]\n\"A\"=10\n\"Aaa\"=3\n\"B\"=\"x\"\n\"Repeated1\"=2\n\n[T]\n\"C\"=2\n\n[Twice]\n\"E\"=5\n\n"
                                 "[U]\n\"D\"=3\n\n"
                                 "[V]\n\"a\"=0\n\"F\"=5\n\"G\"=6\n\n[W]\n\"I\"=8\n\n[W\\X]\n\"H\"=7\n\n");
}

TEST_F(CfgReader, NamesAndValuesOfAnyLengthSurviveAndTheTailOfALongLineNeverBecomesALineOfItsOwn) {
  const std::string key(1000, 'k');
  const std::string value = std::string(500, 'v') + std::string(500, 'w');
  const std::string intKey = "Int" + std::string(997, 'i');
  Config_SetStrVal("mylayer\\Long", key.c_str(), value.c_str());
  Config_SetIntVal("mylayer\\Long", intKey.c_str(), 0x7654321);
  EXPECT_EQ(ReadCfg("mylayer.cfg"),
            "[Long]\n\"" + intKey + "\"=124076833\n\"" + key + "\"=\"" + value + "\"\n\n");

  Reload();
  EXPECT_EQ(Str("mylayer\\Long", key.c_str()), value);
  EXPECT_EQ(Config_GetIntVal("mylayer\\Long", intKey.c_str()), 0x7654321);

  // Older readers cut lines after 255 bytes, lost two and went on with the rest as a new line.
  for (size_t filler : {250u, 253u, 254u, 255u, 256u, 257u, 258u, 511u, 1000u, 5000u, 70000u}) {
    SCOPED_TRACE(filler);
    std::string comment(filler, '-'), layer = "tails" + std::to_string(filler);
    comment[0] = ';';
    WriteCfg(layer + ".cfg", "[S]\n" + comment + "[Evil]\n\"K\"=1\n" + comment + "\"Injected\"=5\n\"Long\"=\"" +
                                 std::string(filler, 's') + "\"\"Injected2\"=6\n");
    EXPECT_EQ(Children(layer.c_str()), Names{"S"});
    EXPECT_EQ(Keys((layer + "\\S").c_str()), (Names{"K", "Long"}));
    EXPECT_EQ(Str((layer + "\\S").c_str(), "Long"), std::string(filler, 's') + "\"\"Injected2");
  }
}

class CfgRoundTrip : public StoreTest {};

TEST_F(CfgRoundTrip, WhatTheSettersStoreReadsBackFromTheFileAndUnsafeNamesAreRefused) {
  // Through the setters, the layer saved at each change, the trees released and read again from the files:
  // each value reads back equal (a string up to its first line break, as the writer cuts it); a key or
  // section name that a line cannot carry is refused, stores nothing and is reported as the layer's save.
  struct Case {
    const char* section;  // below mylayer
    std::string key;
    std::string value;
    enum { Str, Int, Cut, RefusedStr, RefusedInt } kind;
    std::string expected = "";  // Cut: the text read back; refused: the reason, up to the words all reasons end with
  };
  const std::string quoteByte = "starts with the byte 0xEE or 0xEF (a character from U+E000 to U+FFFF)";
  const Case cases[] = {
      {"Web", "Url", "https://maps.example/tiles?x=1&y=2", Case::Str},
      {"S", "Quoted", "say \"hi\"", Case::Str}, {"S", "OneQuote", "\"", Case::Str},
      {"S", "QuoteLast", "abc\"", Case::Str}, {"S", "Assign", "a\"=\"b", Case::Str},
      {"S", "Fullwidth", "\xEF\xBC\xA1\xEF\xBC\x88x\xEF\xBC\x89", Case::Str},
      {"S", "ByteOrderMark", "\xEF\xBB\xBF", Case::Str}, {"S", "LoneBytes", "x\xEF\xEE", Case::Str},
      {"S", "Header", "[Evil]", Case::Str}, {"S", "Blanks", "  x  ", Case::Str}, {"S", "Empty", "", Case::Str},
      {"S", "Crlf", "abc\r\n[Evil]\n\"Y\"=\"z\"", Case::Cut, "abc"}, {"S", "Lf", "\n[Evil]", Case::Cut, ""},
      {"S", "LfAlone", "\n", Case::Cut, ""}, {"S", "Cr", "line\rbreak", Case::Cut, "line"},
      {"S", "N\xEF\xBC\xA1me", "v", Case::Str}, {"S", "K\xEE", "v", Case::Str}, {"S", "[x] ;\\", "v", Case::Str},
      {"S", "Int\xEF\xBC\xA1", "7", Case::Int}, {"Sec\xEF\xBC\xA1", "K", "v", Case::Str},
      {"Deep\\ Sub (2)", "K", "-5", Case::Int},
      {"S", "a \"b", "v", Case::RefusedStr, "the key name 'a \"b' holds '\"'"},
      {"S", "a=b", "1", Case::RefusedInt, "the key name 'a=b' holds '='"},
      {"S", "Key\n[Evil]", "2", Case::RefusedInt, "the key name 'Key\\x0A[Evil]' holds a line break or a NUL byte"},
      {"S", "", "v", Case::RefusedStr, "the key name '' is empty"},
      {"S", "\xEF\xBC\xA1", "v", Case::RefusedStr, "the key name '\xEF\xBC\xA1' " + quoteByte},
      {"S", "\xEE\x80\x80x", "1", Case::RefusedInt, "the key name '\xEE\x80\x80x' " + quoteByte},
      {"Good\r\n[Evil]\n\"E\"=1", "K", "1", Case::RefusedInt,
       "the section path 'mylayer\\Good\\x0D\\x0A[Evil]\\x0A\"E\"=1' holds '[' or ']'"},
      {"Audio[1]\\Sub", "K", "1", Case::RefusedInt, "the section path 'mylayer\\Audio[1]\\Sub' holds '[' or ']'"},
      {"", "K", "1", Case::RefusedInt, "the section path 'mylayer\\' names a layer but no section in it"},
  };
  auto refused = [](const Case& c) { return c.kind == Case::RefusedStr || c.kind == Case::RefusedInt; };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key + " in " + c.section);
    const std::string section = "mylayer\\" + std::string(c.section);
    if (c.kind == Case::Int || c.kind == Case::RefusedInt)
      Config_SetIntVal(section.c_str(), c.key.c_str(), std::stol(c.value));
    else
      Config_SetStrVal(section.c_str(), c.key.c_str(), c.value.c_str());
    bool ok = false;
    char file[512], reason[512];
    ASSERT_TRUE(Config_GetLastSaveStatus("mylayer", &ok, file, sizeof file, reason, sizeof reason));
    EXPECT_EQ(std::make_pair(ok, std::string(file)), std::make_pair(!refused(c), Cfg("mylayer.cfg"))) << reason;
    EXPECT_EQ(Config_DoesKeyExist(section.c_str(), c.key.c_str()), !refused(c));
    if (refused(c)) {
      EXPECT_EQ(std::string(reason), c.expected + ", which a .cfg file cannot carry; nothing was stored");
    } else if (c.kind != Case::Int) {
      // Memory holds the whole text, but a line feed first stands for the empty text.
      EXPECT_EQ(Str(section.c_str(), c.key.c_str()), c.value[0] == '\n' ? "" : c.value);
    }
  }
  // The status of a layer never saved, and of one named in other letter case (null arguments: api_arguments_test).
  bool ok = true;
  char file[8] = "x", reason[8] = "x";
  EXPECT_FALSE(Config_GetLastSaveStatus("product", &ok, file, sizeof file, reason, sizeof reason) || !ok);
  EXPECT_EQ(std::string(file) + reason, "");
  EXPECT_TRUE(Config_GetLastSaveStatus("MyLayer", nullptr, nullptr, 8, nullptr, 8));
  const std::string text = ReadCfg("mylayer.cfg");
  EXPECT_EQ(text.find('\r'), std::string::npos);

  SD_Config();
  size_t keysInS = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key + " in " + c.section);
    const std::string section = "mylayer\\" + std::string(c.section);
    EXPECT_EQ(Config_DoesKeyExist(section.c_str(), c.key.c_str()), !refused(c));
    keysInS += !refused(c) && std::string(c.section) == "S";
    if (c.kind == Case::Int) {
      EXPECT_EQ(Config_GetIntVal(section.c_str(), c.key.c_str()), std::stol(c.value));
    } else if (!refused(c)) {
      EXPECT_EQ(Str(section.c_str(), c.key.c_str()), c.kind == Case::Cut ? c.expected : c.value);
    }
  }
  // Nothing else came out of the file: no section, key or line of a refused name or of a stored text.
  EXPECT_EQ(Children("mylayer"), (Names{"Deep", "S", "Sec\xEF\xBC\xA1", "Web"}));
  EXPECT_EQ(Keys("mylayer\\S").size(), keysInS);
  EXPECT_EQ(Config_FindRoot("mylayer\\Evil"), nullptr);
}
