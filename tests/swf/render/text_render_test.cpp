// Text drawn as glyph outlines: placement, scale, colour, fill rule, the
// edit text layout rules (lines, alignment, wrapping, HTML) and the border.
#include "swf/render/text_render.h"

#include <gtest/gtest.h>

#include "render_test_util.h"
#include "swf/render/renderer.h"

namespace orrivel::swf {
namespace {

using namespace testing;
using Kind = DisplayNode::Kind;

// A square glyph from (0,0) to (side,-side) in EM units, sitting on the
// baseline; fill style 1 on one side only, as font tools write them.
Shape SquareGlyph(int32_t side) {
  Shape s;
  s.records.push_back(Style(std::make_pair(0, 0), 1, std::nullopt));
  AddLines(s.records, {0, 0}, {{0, -side}, {side, -side}, {side, 0}, {0, 0}});
  return s;
}

// Font 1: glyph 0 'A' a full EM square, glyph 1 'B' a half square, glyph 2
// ' ' empty; advances in EM units.
FontDefinition SquareFont(int version = 2) {
  FontDefinition f;
  f.id = 1;
  f.version = version;
  const int em = version >= 3 ? 20480 : 1024;
  f.glyphs = {SquareGlyph(em), SquareGlyph(em / 2), Shape{}};
  f.codes = {'A', 'B', ' '};
  f.hasLayout = true;
  f.ascent = em;
  f.descent = 0;
  f.advances = {static_cast<int16_t>(em), static_cast<int16_t>(em / 2),
                static_cast<int16_t>(em / 2)};
  return f;
}

class TextRenderTest : public ::testing::Test {
 protected:
  template <typename T>
  void Add(T def) {
    const uint16_t id = def.id;
    movie.characters.emplace(id, std::move(def));
  }
  OwnedCanvas Draw(uint16_t id, int w, int h, Matrix m = {}, ColorTransform cx = {}) {
    DisplayNode root = Stage();
    DisplayNode node = Node(Kind::Text, id, 1);
    node.matrix = m;
    node.colorTransform = cx;
    root.children.push_back(node);
    OwnedCanvas canvas(w, h);
    Renderer renderer(movie, decoder);
    renderer.Render(root, canvas.canvas, Quality::Low);
    return canvas;
  }
  // The filled columns of row y, as a string of '#' and '.'.
  static std::string Row(const OwnedCanvas& c, int y) {
    std::string s;
    for (int x = 0; x < c.canvas.width; ++x) s += c.At(x, y) != 0 ? '#' : '.';
    return s;
  }

  Movie movie;
  NoDecoder decoder;
};

TEST_F(TextRenderTest, StaticTextRecordsPlaceScaleAndColourGlyphs) {
  for (const int version : {2, 3}) {
    movie.characters.clear();
    Add(SquareFont(version));
    TextDefinition text;
    text.id = 2;
    text.matrix = {1, 0, 0, 1, 20, 0};  // the text's own matrix: 1 px right
    TextRecord a;
    a.fontId = 1;
    a.height = 80;  // 4 px
    a.color = Rgba{255, 0, 0, 255};
    a.xOffset = 20;
    a.yOffset = 100;  // baseline at 5 px
    a.glyphs = {{0, 100}, {1, 60}};
    TextRecord b;  // keeps font, height and x; new colour and baseline
    b.color = Rgba{0, 0, 255, 255};
    b.yOffset = 200;
    b.glyphs = {{0, 0}};
    text.records = {a, b};
    Add(text);

    const OwnedCanvas c = Draw(2, 16, 12, {}, ColorTransform{256, 256, 256, 256, 0, 100, 0, 0});
    EXPECT_EQ(Row(c, 2), "..####..........") << version;
    EXPECT_EQ(Row(c, 4), "..####.##.......") << version;
    EXPECT_EQ(Row(c, 5), "................") << version;
    EXPECT_EQ(Row(c, 7), "..........####..") << version;
    EXPECT_EQ(c.At(3, 3), 0xFFFF6400u);  // red, green added by the colour transform
    EXPECT_EQ(c.At(11, 8), 0xFF0064FFu);
  }
}

TEST_F(TextRenderTest, MissingFontsAndGlyphsDrawNothing) {
  Add(SquareFont());
  TextDefinition text;
  text.id = 2;
  TextRecord r;
  r.fontId = 9;  // no such font
  r.height = 200;
  r.yOffset = 200;
  r.glyphs = {{0, 0}};
  TextRecord s;
  s.fontId = 1;
  s.height = 200;
  s.glyphs = {{2, 0}, {7, 0}};  // empty glyph, index past the font
  text.records = {r, s};
  Add(text);
  const OwnedCanvas c = Draw(2, 16, 16);
  for (uint32_t p : c.pixels) ASSERT_EQ(p, 0u);
}

EditTextDefinition Field(const std::string& text) {
  EditTextDefinition e;
  e.id = 3;
  e.bounds = {0, 400, 0, 400};  // 20 x 20 px; text starts 2 px in
  e.fontId = 1;
  e.fontHeight = 40;  // 2 px squares
  e.useOutlines = true;
  e.multiline = true;
  e.color = Rgba{0, 0, 0, 255};
  e.initialText = text;
  return e;
}

TEST_F(TextRenderTest, EditTextLayout) {
  Add(SquareFont());
  struct Case {
    const char* name;
    EditTextDefinition field;
    std::vector<std::pair<int, std::string>> rows;  // y, expected row
  };
  auto centered = Field("AA");
  centered.align = TextAlign::Center;
  auto right = Field("AB\rA");
  right.align = TextAlign::Right;
  right.rightMargin = 20;
  right.bounds.xMax = 320;
  auto wrapped = Field("AA AA AA");
  wrapped.wordWrap = true;
  wrapped.bounds.xMax = 260;  // room for "AA AA"
  auto html = Field("<p>A&amp;<b>A</b></p><P ALIGN=\"center\">BB</p>");
  html.html = true;
  html.leading = 20;
  FontDefinition bold = SquareFont();  // same name and bold: 'A' is a half square
  bold.id = 4;
  bold.bold = true;
  bold.glyphs[0] = SquareGlyph(512);
  Add(bold);
  auto clipped = Field("A\nA\nA");
  clipped.bounds.yMax = 140;  // the third line's lower half lies outside
  auto autoSized = clipped;
  autoSized.autoSize = true;
  auto indented = Field("AA AA");
  indented.wordWrap = true;
  indented.indent = 32767;  // no room on the first line: its word goes out of sight
  const Case cases[] = {
      {"left",
       Field("AAB"),
       {{2, "..####.........."}, {3, "..#####........."}, {4, "................"}}},
      {"lines",
       Field("A\r\nA\nB"),
       {{3, "..##............"}, {5, "..##............"}, {7, "..#............."}}},
      {"center", centered, {{3, "........####...."}}},
      {"right margin", right, {{3, "..........###..."}, {5, "...........##..."}}},
      {"word wrap",
       wrapped,
       {{3, "..####.####....."}, {5, "..####.........."}, {7, "................"}}},
      // '&' has no glyph; <b> picks the bold font; </p> breaks the line;
      // the paragraph's alignment wins; leading adds 1 px.
      {"html", html, {{3, "..###..........."}, {6, ".........##....."}}},
      {"clipped", clipped, {{6, "..##............"}, {7, "................"}}},
      {"auto size", autoSized, {{7, "..##............"}}},
      {"indent past the field", indented, {{3, "................"}, {5, "..####.........."}}},
  };
  for (const Case& c : cases) {
    movie.characters.erase(3);
    Add(c.field);
    const OwnedCanvas canvas = Draw(3, 16, 10);
    for (const auto& [y, row] : c.rows) EXPECT_EQ(Row(canvas, y), row) << c.name << " y " << y;
  }
}

// From SWF 8 a line set right or centred hangs its trailing spaces; left
// lines and older movies count them.
TEST_F(TextRenderTest, TrailingSpacesHangInRightAndCentredLinesFromSwf8) {
  Add(SquareFont());
  const struct {
    uint8_t version;
    TextAlign align;
    const char* text;
    const char* row;
  } cases[] = {
      {8, TextAlign::Right, "A  ", "................##.."},
      {7, TextAlign::Right, "A  ", "..............##...."},
      {8, TextAlign::Center, "A  ", ".........##........."},
      {7, TextAlign::Center, "A  ", "........##.........."},
      {8, TextAlign::Left, "A  ", "..##................"},
  };
  for (const auto& c : cases) {
    movie.header.version = c.version;
    movie.characters.erase(3);
    auto field = Field(c.text);
    field.align = c.align;
    Add(field);
    EXPECT_EQ(Row(Draw(3, 20, 10), 3), c.row) << c.text << " in SWF " << int(c.version);
  }
}

// A tab moves the pen to the paragraph's first tab stop right of it (pixels
// from its left edge, the first line's indent included), to nothing once
// none is left, and to every 32 px where the paragraph sets none.
TEST_F(TextRenderTest, TabsMoveThePenToTheNextTabStop) {
  Add(SquareFont());  // 'A' 2 px wide
  const auto html = [](const char* text) {
    auto f = Field(text);
    f.html = true;
    return f;
  };
  auto plain = Field("A\tA");
  plain.bounds.xMax = 1000;  // room for the default stop at 32 px
  auto indented = html("<p tabstops=\"5,6\">A\tA</p>");
  indented.indent = 60;
  auto wrapped = html("<p tabstops=\"8\">A\tA A\tA</p>");
  wrapped.wordWrap = true;
  wrapped.bounds.xMax = 280;  // 10 px inside
  auto centred = html("<p tabstops=\"5\">A\tA</p>");
  centred.align = TextAlign::Center;
  const struct {
    const char* name;
    EditTextDefinition field;
    std::vector<double> xs;  // twips from the text's left edge, one per 'A'
    int lines;
    double textWidth;
  } cases[] = {
      {"default stops", plain, {0, 640}, 1, 680},
      {"own stops", html("<p tabstops=\"5,10\">A\tA\tA</p>"), {0, 100, 200}, 1, 240},
      {"stops behind the pen are skipped",
       html("<p tabstops=\"1,10\">AA\tA</p>"),
       {0, 40, 200},
       1,
       240},
      {"no stop left", html("<p tabstops=\"1\">AA\tA</p>"), {0, 40, 80}, 1, 120},
      {"textformat stops",
       html("<textformat tabstops=\"5\"><p>A\tA</p></textformat>"),
       {0, 100},
       1,
       140},
      {"indent counts", indented, {60, 120}, 1, 160},
      // A tab is no place to break; each line starts at the paragraph's edge.
      {"wrapped", wrapped, {0, 160, 0, 160}, 2, 220},
      {"centred", centred, {90, 190}, 1, 140},
  };
  for (const auto& c : cases) {
    TextCache cache(movie);
    const TextLayout layout = LayoutEditText(c.field, 8, cache);
    std::vector<double> xs;
    for (const PlacedGlyph& g : layout.glyphs) {
      if (g.shape != nullptr && !g.shape->bounds.Empty()) xs.push_back(g.matrix.tx - 40);
    }
    EXPECT_EQ(xs, c.xs) << c.name;
    EXPECT_EQ(layout.lineCount, c.lines) << c.name;
    EXPECT_EQ(layout.textWidth, c.textWidth) << c.name;
  }
}

TEST_F(TextRenderTest, BorderDrawsWhiteBoxWithBlackEdge) {
  Add(SquareFont());
  auto field = Field("");
  field.border = true;
  field.bounds = {40, 200, 40, 200};  // 2..10 px
  Add(field);
  const OwnedCanvas c = Draw(3, 12, 12);
  EXPECT_EQ(c.At(5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(c.At(0, 5), 0u);
  EXPECT_EQ(c.At(11, 5), 0u);
  // Border on whole pixels: left and top lines at 2, right and bottom at 10,
  // the bottom-right corner included.
  for (const auto& [x, y] :
       {std::pair{2, 5}, {5, 2}, {10, 5}, {5, 10}, {2, 10}, {10, 2}, {10, 10}}) {
    EXPECT_EQ(c.At(x, y), 0xFF000000u) << x << "," << y;
  }
  EXPECT_EQ(c.At(11, 11), 0u);
}

}  // namespace
}  // namespace orrivel::swf
