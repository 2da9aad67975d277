#include "swf/avm1/text_units.h"

#include <gtest/gtest.h>

#include <string>

namespace orrivel::swf::avm1 {
namespace {

TEST(TextUnitsTest, HostileBytesCountAsSingleUnits) {
  const struct {
    std::string bytes;
    std::u16string units;
  } cases[] = {
      {"", u""},
      {"t\xC3\xA9st", u"t\u00E9st"},
      {"\xF0\x90\x80\x82", u"\xD800\xDC02"},              // one code point, two units
      {"\xED\xA0\x80\xED\xB0\x82", u"\xD800\xDC02"},      // a pair written unit by unit
      {"\xC3", u"\u00C3"},                                // cut short at the end
      {"\xE2\x82x", u"\u00E2\u0082x"},                    // cut short before a letter
      {"\xC0\xAF", u"\u00C0\u00AF"},                      // overlong
      {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},  // beyond U+10FFFF
      {"\xFF\xFE", u"\u00FF\u00FE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToUnits(c.bytes), c.units) << c.bytes;
    EXPECT_EQ(UnitCount(c.bytes), c.units.size()) << c.bytes;
  }
}

TEST(TextUnitsTest, SplitPairsBecomeReplacementCharacters) {
  const std::u16string pair = u"a\xD83D\xDE00z";
  const std::string text = FromUnits(pair);
  EXPECT_EQ(text, "a\xF0\x9F\x98\x80z");
  // Either half alone is U+FFFD, and two halves cut apart stay two of them.
  EXPECT_EQ(FromUnits(pair.substr(0, 2)) + FromUnits(pair.substr(2)), "a\xEF\xBF\xBD\xEF\xBF\xBDz");
  EXPECT_EQ(FromUnits(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextUnitsTest, ComparesByCodePoint) {
  EXPECT_LT(CompareCodePoints("A", "B"), 0);
  EXPECT_EQ(CompareCodePoints("abc", "abc"), 0);
  EXPECT_GT(CompareCodePoints("abcd", "abc"), 0);
  // U+FF61 sorts before U+10002, however the latter is written.
  EXPECT_LT(CompareCodePoints("\xEF\xBD\xA1", "\xF0\x90\x80\x82"), 0);
  EXPECT_LT(CompareCodePoints("\xEF\xBD\xA1", "\xED\xA0\x80\xED\xB0\x82"), 0);
}

}  // namespace
}  // namespace orrivel::swf::avm1
