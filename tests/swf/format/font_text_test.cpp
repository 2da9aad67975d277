// Fonts and text: DefineFont 1-3, DefineText 1-2 and DefineEditText, from
// hand-written tags (bytes grouped by field).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;
using std::tuple;

uint16_t S(int v) { return static_cast<uint16_t>(v); }

// A triangle glyph (0,0) -> (n,0) -> (n,-n) -> back, fillStyle0 = 1.
std::vector<uint8_t> Glyph(int n) {
  SwfWriter w;
  w.U8(0x10);  // 1 fill bit, 0 line bits
  w.Bits(1, 0).Bits(5, 0x03).Bits(5, 12).Bits(12, 0).Bits(12, 0).Bits(1, 1);  // move, fill0 = 1
  w.Bits(2, 0b11).Bits(4, 10).Bits(1, 0).Bits(1, 0).Bits(12, n);              // dx
  w.Bits(2, 0b11).Bits(4, 10).Bits(1, 0).Bits(1, 1).Bits(12, -n);             // dy
  w.Bits(2, 0b11).Bits(4, 10).Bits(1, 1).Bits(12, -n).Bits(12, n);            // dx, dy
  w.Bits(6, 0);                                                               // end
  return w.Take();
}

// DefineFont2/3 body, id 7: glyphs 'A' (size 100) and 'B' (size 200), with
// layout. codeTableDelta moves the code table offset (damage).
std::vector<uint8_t> Font2(bool wide, int codeTableDelta = 0) {
  const auto g0 = Glyph(100), g1 = Glyph(200);
  SwfWriter w;
  w.U16(7).U8(0x80 | (wide ? 0x0C : 0x00) | 0x01).U8(1);  // id, HasLayout (+ wide) Bold, lang
  w.U8(4).Raw({'A', 'b', 'c', 0});                        // name, with a NUL some writers keep
  w.U16(2);                                               // glyph count
  const size_t table = 3 * (wide ? 4 : 2);
  for (size_t off : {table, table + g0.size(), table + g0.size() + g1.size() + codeTableDelta}) {
    wide ? w.U32(static_cast<uint32_t>(off)) : w.U16(static_cast<uint32_t>(off));
  }
  w.Raw(g0).Raw(g1);
  wide ? w.U16('A').U16(0x263A) : w.U8('A').U8('B');  // code table
  w.U16(900).U16(200).U16(S(-5));                     // ascent, descent, leading
  w.U16(512).U16(S(-1));                              // advances
  w.Rect(1, 0, 0, 0, 0).Rect(1, 0, 0, 0, 0);          // glyph bounds
  w.U16(0);                                           // kerning count
  return w.Take();
}

std::vector<uint8_t> Text1() {
  SwfWriter w;
  w.U16(9).Rect(10, 0, 400, -200, 100);  // id, bounds
  w.Flag(true)
      .Bits(5, 19)
      .Bits(19, 2 << 16)
      .Bits(19, 2 << 16)  // scale 2
      .Flag(false)
      .Bits(5, 8)
      .Bits(8, 10)
      .Bits(8, -20)
      .Align();                                                     // translate (10, -20)
  w.U8(2).U8(9);                                                    // glyph bits, advance bits
  w.U8(0x8F).U16(7).Rgb(255, 0, 0).U16(S(-30)).U16(40).U16(240);    // font, colour, x, y, height
  w.U8(2).Bits(2, 1).Bits(9, 100).Bits(2, 0).Bits(9, -50).Align();  // two glyphs
  w.U8(0x86).Rgb(0, 0, 255).U16(80);                                // colour, y
  w.U8(1).Bits(2, 1).Bits(9, 0).Align();
  w.U8(0);  // end of records
  return w.Take();
}

std::vector<uint8_t> EditText(const std::string& text) {
  SwfWriter w;
  w.U16(12).Rect(12, -40, 2000, 0, 600);          // id, bounds
  w.U8(0x80 | 0x40 | 0x20 | 0x04 | 0x02 | 0x01);  // HasText WordWrap Multiline Color MaxLength Font
  w.U8(0x20 | 0x08 | 0x02 | 0x01);                // HasLayout Border HTML UseOutlines
  w.U16(7).U16(240);                              // font id, height
  w.Rgba(1, 2, 3, 4).U16(50);                     // colour, max length
  w.U8(2).U16(20).U16(30).U16(S(-40)).U16(S(-2));  // center, margins, indent, leading
  w.Str("_root.v").Str(text);                      // variable, initial text
  return w.Take();
}

const Movie* LoadTags(LoadResult& result, std::vector<uint8_t> tags) {
  tags.insert(tags.end(), {0x40, 0x00});  // ShowFrame
  result = Load(Fws(10, tags));
  return result.movie.get();
}

template <typename T>
const T* Get(const Movie* m, uint16_t id) {
  if (m == nullptr) return nullptr;
  const auto it = m->characters.find(id);
  return it == m->characters.end() ? nullptr : std::get_if<T>(&it->second);
}

TEST(FontText, Font2WithCodeTableAndLayout) {
  // DefineFont3 too: its code width follows the flag like DefineFont2's.
  for (const auto& [code, wide] : {std::pair{tag::kDefineFont2, false},
                                   {tag::kDefineFont2, true},
                                   {tag::kDefineFont3, false},
                                   {tag::kDefineFont3, true}}) {
    LoadResult result;
    const Movie* m = LoadTags(result, Tag(code, Font2(wide)));
    const auto* font = Get<FontDefinition>(m, 7);
    ASSERT_NE(font, nullptr) << wide;
    EXPECT_EQ(tuple(font->name, font->bold, font->italic, font->EmSquare()),
              tuple("Abc", true, false, code == tag::kDefineFont3 ? 20480 : 1024));
    ASSERT_EQ(font->glyphs.size(), 2u);
    ASSERT_EQ(font->glyphs[1].records.size(), 4u);
    EXPECT_EQ(std::get<StraightEdgeRecord>(font->glyphs[1].records[1]).dx, 200);
    EXPECT_EQ(std::get<StyleChangeRecord>(font->glyphs[0].records[0]).fillStyle0, 1u);
    EXPECT_EQ(font->codes, (std::vector<uint16_t>{'A', uint16_t(wide ? 0x263A : 'B')}));
    EXPECT_EQ(tuple(font->hasLayout, font->ascent, font->descent, font->leading),
              tuple(true, 900, 200, -5));
    EXPECT_EQ(font->advances, (std::vector<int16_t>{512, -1}));
  }
}

TEST(FontText, DamagedFonts) {
  struct Case {
    const char* name;
    std::vector<uint8_t> body;
    bool kept;  // the font survives
    size_t nonEmptyGlyphs;
  };
  auto cut = Font2(false);
  cut.resize(14);  // inside the offset table
  const Case cases[] = {
      {"good", Font2(false), true, 2},
      // A code table offset short of the glyph data leaves the second glyph
      // without its end record; past the tag, there are no codes.
      {"code table inside glyph", Font2(false, -3), true, 1},
      {"code table past end", Font2(false, 500), true, 2},
      {"offset table cut short", cut, false, 0},
      {"glyph count over the tag", {7, 0, 0, 1, 0, 0xFF, 0xFF, 6, 0}, false, 0},
      {"device font", {7, 0, 0, 1, 1, 'V', 0, 0}, true, 0},
  };
  for (const Case& c : cases) {
    LoadResult result;
    const auto* font = Get<FontDefinition>(LoadTags(result, Tag(tag::kDefineFont2, c.body)), 7);
    ASSERT_NE(result.movie, nullptr) << c.name;
    EXPECT_EQ(font != nullptr, c.kept) << c.name;
    if (font == nullptr) continue;
    size_t nonEmpty = 0;
    for (const Shape& g : font->glyphs) nonEmpty += g.records.empty() ? 0 : 1;
    EXPECT_EQ(nonEmpty, c.nonEmptyGlyphs) << c.name;
  }
}

TEST(FontText, TextRecordsChangeColourAndOffset) {
  LoadResult result;
  const auto* text = Get<TextDefinition>(LoadTags(result, Tag(tag::kDefineText, Text1())), 9);
  ASSERT_NE(text, nullptr) << result.message;
  EXPECT_EQ(text->bounds, (Rect{0, 400, -200, 100}));
  EXPECT_EQ(text->matrix, (Matrix{2, 0, 0, 2, 10, -20}));
  ASSERT_EQ(text->records.size(), 2u);
  const TextRecord& a = text->records[0];
  EXPECT_EQ(tuple(a.fontId, a.color, a.xOffset, a.yOffset, a.height),
            tuple(7, Rgba{255, 0, 0, 255}, -30, 40, 240));
  ASSERT_EQ(a.glyphs.size(), 2u);
  EXPECT_EQ(tuple(a.glyphs[0].index, a.glyphs[0].advance, a.glyphs[1].advance),
            tuple(1u, 100, -50));
  const TextRecord& b = text->records[1];  // changes only colour and y
  EXPECT_EQ(tuple(b.fontId.has_value(), b.xOffset.has_value(), b.yOffset, b.color),
            tuple(false, false, 80, Rgba{0, 0, 255, 255}));
  EXPECT_EQ(b.glyphs.size(), 1u);

  auto damaged = Text1();
  damaged[damaged.size() - 4] = 0xFF;  // a glyph count running past the tag
  EXPECT_EQ(Get<TextDefinition>(LoadTags(result, Tag(tag::kDefineText, damaged)), 9), nullptr);
}

TEST(FontText, EditTextFields) {
  LoadResult result;
  const auto* e = Get<EditTextDefinition>(
      LoadTags(result, Tag(tag::kDefineEditText, EditText("<p>a &amp; b</p>"))), 12);
  ASSERT_NE(e, nullptr) << result.message;
  EXPECT_EQ(e->bounds, (Rect{-40, 2000, 0, 600}));
  EXPECT_TRUE(e->wordWrap && e->multiline && e->border && e->html && e->useOutlines);
  EXPECT_FALSE(e->password || e->readOnly || e->autoSize || e->wasStatic);
  EXPECT_EQ(tuple(e->fontId, e->fontHeight, e->color, e->maxLength),
            tuple(7, 240, Rgba{1, 2, 3, 4}, 50));
  EXPECT_EQ(tuple(e->align, e->leftMargin, e->rightMargin, e->indent, e->leading),
            tuple(TextAlign::Center, 20, 30, -40, -2));
  EXPECT_EQ(tuple(e->variableName, e->initialText), tuple("_root.v", "<p>a &amp; b</p>"));

  auto cut = EditText("abc");
  cut.pop_back();  // initial text without its terminator
  EXPECT_EQ(Get<EditTextDefinition>(LoadTags(result, Tag(tag::kDefineEditText, cut)), 12), nullptr);
}

// CSMTextSettings gives the field it names its anti-aliasing, grid fit,
// thickness and sharpness; a tag naming no edit text changes nothing.
TEST(FontText, TextSettingsReachTheirField) {
  const auto settings = [](uint16_t id, uint8_t flags, float thickness, float sharpness) {
    SwfWriter w;
    w.U16(id).U8(flags);
    uint32_t t = 0, s = 0;
    std::memcpy(&t, &thickness, 4);
    std::memcpy(&s, &sharpness, 4);
    w.U32(t).U32(s).U8(0);
    return Tag(tag::kCsmTextSettings, w.Take());
  };
  const struct {
    uint16_t id;
    uint8_t flags;  // UseFlashType:2 GridFit:3 reserved:3
    float thickness, sharpness;
    bool advanced;
    int gridFit;
    float readThickness;
  } cases[] = {
      {12, 0b01'010'000, 1.5f, -100, true, 2, 1.5f},
      {12, 0b00'000'000, std::numeric_limits<float>::infinity(), 0, false, 0, 0},
      {12, 0b10'111'000, 0, 0, false, 2, 0},  // unknown values: normal, subpixel at most
      {99, 0b01'010'000, 3, 3, false, 1, 0},  // names no field: the defaults stay
  };
  for (const auto& c : cases) {
    LoadResult result;
    auto tags = Tag(tag::kDefineEditText, EditText("a"));
    const auto more = settings(c.id, c.flags, c.thickness, c.sharpness);
    tags.insert(tags.end(), more.begin(), more.end());
    const auto* e = Get<EditTextDefinition>(LoadTags(result, tags), 12);
    ASSERT_NE(e, nullptr) << result.message;
    EXPECT_EQ(tuple(e->advancedAntiAlias, int(e->gridFit), e->thickness),
              tuple(c.advanced, c.gridFit, c.readThickness))
        << int(c.flags);
  }
}

}  // namespace
}  // namespace orrivel::swf
