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
    EXPECT_EQ(Plain(ParseHtml(c.html, Base(), {.maxLength = 1000})), c.text);
  }
}

TEST(TextHtmlTest, KeepsStylesAndCapsLength) {
  const auto runs = ParseHtml(U"<font size=\"+2\"><b>ab</b></font>cd", Base(), {.maxLength = 3});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].text, U"ab");
  EXPECT_EQ(runs[0].style.size, 14.0);
  EXPECT_EQ(runs[0].style.bold, true);
  EXPECT_EQ(runs[1].text, U"c");  // cut at the cap
  EXPECT_EQ(runs[1].style.bold, false);
  // A single-line field ignores paragraphs.
  EXPECT_EQ(Plain(ParseHtml(U"<p>a</p><li>b</li>", Base(), {.multiline = false})), U"ab");
}

// Breaks, blanks and tags by version and field flags, as read and written back.
TEST(TextHtmlTest, BreaksAndBlanksFollowTheVersion) {
  const struct {
    int version;
    bool multiline, condense;
    std::u32string html, text;
    std::u32string written;  // a part of the HTML written back; empty: not checked
  } cases[] = {
      {8, false, false, U"a <br> b", U"a  b", U""},  // no line breaks in one line
      {8, true, false, U"a <br> b", U"a \r b", U""},
      {6, false, false, U"<p>a</p><br>b", U"a\r\rb", U""},   // SWF 6 breaks them anyway
      {8, false, false, U"<li>a</li>", U"a", U"<LI><FONT"},  // a bullet without a break
      {8, false, false, U"<b>a</b>\n", U"a\r", U""},
      {7, false, false, U"<b>a</b>\n", U"a", U""},  // blanks between tags dropped before 8
      {7, false, false, U" \n ", U"", U""},
      {7, false, false, U"a\n", U"a\r", U""},
      {8, false, true, U"  a  b ", U"a b ", U""},
      {7, false, true, U"  a  b ", U" a b ", U""},
      // Before SWF 8 each stretch between tags condenses on its own.
      {7, false, true, U"<b> a </b> <i> b </i>", U" a  b ", U""},
      {8, false, true, U"<b> a </b> <i> b </i>", U"a b ", U""},
      {8, true, false, U"<b>\n</b>", U"\r", U"KERNING=\"0\"><B></B></FONT></P>"},
      {8, true, false, U"<font color='#111111'>a</font>\n", U"a\r",
       U">a<FONT COLOR=\"#000000\"></FONT></FONT></P>"},
      {8, true, false, U"<li></li>", U"\r", U"<LI><FONT"},  // an empty item keeps its bullet
      {8, true, false, U"<p align='right'>a<li></li></p>", U"a\r\r\r", U"</LI><P ALIGN=\"RIGHT\">"},
      {8, true, false, U"<p>a<p>b</p>c</p>d", U"ab\rcd", U""},  // nested paragraphs are one
      {8, true, false, U"<b>a<i>b</b>c</i>", U"abc",
       U"<B><I>bc</I></B>"},                                          // only the innermost closes
      {8, false, false, U"<i>a<li>b</li></i>", U"ab", U"<I>ab</I>"},  // one paragraph, one run
      {8, true, false, U"<b><p align='right'></p></b>", U"\r", U"KERNING=\"0\"></FONT></P>"},
      // An empty <font> gives its format to every later </p> break; an
      // empty <b> does not, nor does an item's end, which keeps its own.
      {8, true, false, U"<p>a<font color='#121212'></font><p>b</p></p>", U"ab\r",
       U">ab<FONT COLOR=\"#121212\"></FONT></FONT></P>"},
      {8, true, false, U"<p>a<b></b><p>b</p></p>", U"ab\r", U"KERNING=\"0\">ab</FONT></P>"},
      {8, true, false, U"<p><font color='#111111'><b></b></font></p>", U"\r",
       U"COLOR=\"#111111\" LETTERSPACING=\"0\" KERNING=\"0\"></FONT></P>"},
      {8, true, false, U"a<li><br><textformat leftmargin='2'></textformat></li>", U"a\r\r\r",
       U"</LI><LI><FONT"},
      {8, true, false, U"<font size='300'>a<font size='0.5'>b</font></font>", U"ab",
       U"SIZE=\"127\""
       U" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">a<FONT SIZE=\"1\">"},
      {8, true, false, U"<textformat tabstops='5, 10.7,x'>a</textformat>", U"a",
       U"<TEXTFORMAT TABSTOPS=\"5,10\">"},
      {7, true, false, U"<font kerning='1' letterspacing='3'>a</font>", U"a",
       U"LETTERSPACING=\"0\" KERNING=\"0\""},
      {8, true, false, U"<font kerning='1' letterspacing='3'>a</font>", U"a",
       U"LETTERSPACING=\"3\" KERNING=\"1\""},
  };
  for (const auto& c : cases) {
    const auto runs =
        ParseHtml(c.html, Base(),
                  {.condenseWhite = c.condense, .multiline = c.multiline, .version = c.version});
    EXPECT_EQ(Plain(runs), c.text) << EncodeText(c.html, true) << " in SWF " << c.version;
    if (!c.written.empty()) {
      EXPECT_NE(WriteHtml(runs).find(c.written), std::u32string::npos)
          << EncodeText(WriteHtml(runs), true);
    }
  }
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
