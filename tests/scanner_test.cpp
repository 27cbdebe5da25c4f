// The one-pass scanner of layer texts against the line parser, with every kind of line at every position of
// the scanner's 64-byte blocks.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cfg/format.h"

TEST(Scanner, TakesEveryLineApartAsTheLineParserDoes) {
  using navconfig::cfg::ParsedLine;
  static const char kLines[] = "note\n\"k\"=1\n[A]\r\n\"x\" = 0x1fF\n\n\"y\"==017\n \"z\"=\"s\" \n[[B\\C]]\r\"-\"=-5\n\0\"q\"=-0x\n"
                               "\"h\"=0XaB\n\"e\"=\n\"long\"=\"0123456789012345678901234567890123456789012345678901234\"\n[]\n\"t\"=-\n"
                               "\"o\"=-0778\n'a'=1\n\"u\"=\"unclosed\n\"g\"=12ab\n\"m\"=-0x0000001F\n\"m\"=0x0000001g\n"
                               "\"m\"=0x00000010\n\"m\"=0x000000100\n\"m\"=12345678901\n\"m\"=\"a\"b\"\n\"m\"=\"a\"b\n\"m\"\"=1\n";
  const std::string lines(kLines, sizeof kLines - 1);
  for (size_t shift = 0; shift <= 64; ++shift) {
    // The text ends in a line without its end, which may stop after its '=' or inside a header while the bytes
    // beyond the text would make a string or a longer name of it; or in a key that a NUL byte cuts.
    const std::pair<std::string_view, size_t> ends[] = {
        {"", 0}, {"w=9", 0}, {"\"e\"=\"tail\"\n", 7}, {"[abc]\n", 3}, {std::string_view("\"n\0m\"=1\n", 8), 0}};
    const auto& [end, beyond] = ends[shift % std::size(ends)];
    const std::string text = std::string("[").append(shift, 'p') + "]\n" + lines + lines + std::string(end);
    const size_t length = text.size() - beyond;
    std::vector<ParsedLine> fast, reference;
    navconfig::cfg::ScanLines(text.data(), length, fast);
    navconfig::cfg::ScanLinesOneByOne(text.data(), length, reference);
    ASSERT_EQ(fast.size(), reference.size()) << shift;
    EXPECT_GE(fast.size(), 30u);
    for (size_t i = 0; i < fast.size(); ++i) {
      const ParsedLine &a = fast[i], &b = reference[i];
      EXPECT_TRUE(a.kind == b.kind && a.name == b.name && a.nameLength == b.nameLength && a.isString == b.isString &&
                  a.text == b.text && a.textLength == b.textLength && a.number == b.number && a.hex == b.hex)
          << shift << " line " << i;
    }
  }
}
