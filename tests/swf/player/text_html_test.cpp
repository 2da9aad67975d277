#include <gtest/gtest.h>

#include "swf/player/edit_text.h"

namespace orrivel::swf {
namespace {

TextStyle Base() {
  TextStyle s = DefaultStyle(Movie{}, EditTextDefinition{});
  s.size = 12;
  return s;
}

std::u32string Plain(const std::vector<TextRun>& runs) {
  std::u32string out;
  for (const TextRun& r : runs) out += r.text;
  return out;
}

TEST(TextHtmlTest, ReadsTextBreaksAndEntities) {
  const struct {
    std::u32string html;
    std::u32string text;
  } cases[] = {
      {U"<p>a</p><p>b</p>", U"a\rb\r"},
      {U"a<br>b", U"a\rb"},
      {U"\ntest\n", U"\rtest\r"},
      {U"&lt;&amp;&gt;&#65;&#x42;", U"<&>AB"},
      {U"&#99999999999;&bogus;", U"&#99999999999;&bogus;"},  // not characters: kept as text
      {U"<b>unclosed <i>tags", U"unclosed tags"},
      {U"trailing <", U"trailing "},
      {U"<font size='+2'>x</font>", U"x"},
      {U"a<font color=#FF0000>x</font>", U"a"},  // an unquoted value ends the text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Plain(ParseHtml(c.html, Base(), false, true, 1000)), c.text);
  }
}

TEST(TextHtmlTest, KeepsStylesAndCapsLength) {
  const auto runs = ParseHtml(U"<font size=\"+2\"><b>ab</b></font>cd", Base(), false, true, 3);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].text, U"ab");
  EXPECT_EQ(runs[0].style.size, 14.0);
  EXPECT_EQ(runs[0].style.bold, true);
  EXPECT_EQ(runs[1].text, U"c");  // cut at the cap
  EXPECT_EQ(runs[1].style.bold, false);
  // A single-line field ignores paragraphs.
  EXPECT_EQ(Plain(ParseHtml(U"<p>a</p><li>b</li>", Base(), false, false, 10)), U"ab");
}

TEST(TextHtmlTest, WritesThePlayersForm) {
  TextStyle s = Base();
  s.leading = 2;
  TextStyle bold = s;
  bold.bold = true;
  const std::vector<TextRun> runs = {{U"a ", s}, {U"b", bold}, {U"\r<c>", s}};
  EXPECT_EQ(WriteHtml(runs),
            U"<TEXTFORMAT LEADING=\"2\"><P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" "
            U"SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">a <B>b</B></FONT>"
            U"</P></TEXTFORMAT><TEXTFORMAT LEADING=\"2\"><P ALIGN=\"LEFT\"><FONT FACE=\"Times "
            U"New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">"
            U"&lt;c&gt;</FONT></P></TEXTFORMAT>");
}

TEST(TextHtmlTest, TextCodecsRoundTrip) {
  const std::u32string text = U"a\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(DecodeText(EncodeText(text, true), true), text);
  EXPECT_EQ(EncodeText(text, false), "a\xe9??");
  EXPECT_EQ(DecodeText("\xff\xc3", true), U"\uFFFD\uFFFD");  // broken sequences
}

}  // namespace
}  // namespace orrivel::swf
