// Text set in the system's fonts: the layout with a fixed stand-in for the
// system (so sizes and positions are exact), and the real system fonts of
// the native build (Arial's metrics, from its metric-compatible substitute).
#include "swf/render/device_fonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "swf/render/text_render.h"

namespace orrivel::swf {
namespace {

// Every face draws 'A' and 'B' as a full em square advancing one em.
class SquareFonts : public DeviceFonts {
 public:
  std::set<std::string> opened;
  int OpenFace(std::string_view name, bool bold, bool italic, int = 0) override {
    opened.insert(std::string(name) + (bold ? "+b" : "") + (italic ? "+i" : ""));
    return 0;
  }
  DeviceFaceMetrics Metrics(int) override { return {800, 224, 0}; }
  std::optional<DeviceGlyph> Glyph(int, char32_t c) override {
    if (c != U'A' && c != U'B') return std::nullopt;
    StyleChangeRecord start;
    start.moveTo = std::pair<int32_t, int32_t>{0, -kDeviceEm};
    start.fillStyle1 = 1;
    return DeviceGlyph{{start, StraightEdgeRecord{kDeviceEm, 0}, StraightEdgeRecord{0, kDeviceEm},
                        StraightEdgeRecord{-kDeviceEm, 0}, StraightEdgeRecord{0, -kDeviceEm}},
                       kDeviceEm};
  }
};

TEST(DeviceFontsTest, FieldsWithoutOutlinesUseTheSystemsFonts) {
  struct Case {
    const char* name;
    const char* text;
    bool html;
    std::vector<std::pair<double, double>> glyphs;  // x and scale (twips per em unit * 1024)
    const char* opened;
  };
  // Field: 40 twips high, text from x = 40 (the gutter); advance = height.
  const Case cases[] = {
      {"plain", "AB", false, {{40, 40}, {80, 40}}, "Verdana"},
      {"sized", "<font size=\"4\">A</font>A", true, {{40, 80}, {120, 40}}, "Verdana"},
      {"relative size", "<font size=\"+2\">A</font>", true, {{40, 80}}, "Verdana"},
      {"face", "<font face=\"Courier New\">A</font>", true, {{40, 40}}, "courier new"},
      {"bold", "<b>A</b>", true, {{40, 40}}, "Verdana+b"},
      {"underline", "<u>A</u>", true, {{40, 40}, {40, 0}}, "Verdana"},
      {"missing glyph", "AxA", false, {{40, 40}, {80, 40}}, "Verdana"},
  };
  for (const Case& c : cases) {
    Movie movie;
    movie.header.version = 8;
    FontDefinition font;
    font.id = 1;
    font.name = "Verdana";
    movie.characters.emplace(1, font);  // no glyphs: a device font
    EditTextDefinition field;
    field.bounds = {0, 4000, 0, 400};
    field.fontId = 1;
    field.fontHeight = 40;
    field.html = c.html;
    field.initialText = c.text;
    SquareFonts system;
    TextCache cache(movie, &system);
    const TextLayout layout = LayoutEditText(field, 8, cache);
    ASSERT_EQ(layout.glyphs.size(), c.glyphs.size()) << c.name;
    for (size_t i = 0; i < c.glyphs.size(); ++i) {
      EXPECT_DOUBLE_EQ(layout.glyphs[i].matrix.tx, c.glyphs[i].first) << c.name << " " << i;
      if (c.glyphs[i].second > 0) {
        EXPECT_DOUBLE_EQ(layout.glyphs[i].matrix.a * kDeviceEm, c.glyphs[i].second) << c.name;
      }
    }
    EXPECT_TRUE(system.opened.count(c.opened)) << c.name;
  }
}

// A movie whose font 1 is the system's "Verdana" (no glyphs), and a field
// of text in it.
Movie DeviceMovie() {
  Movie movie;
  FontDefinition font;
  font.id = 1;
  font.name = "Verdana";
  movie.characters.emplace(1, font);
  return movie;
}

EditTextDefinition DeviceField(const char* text, int32_t height, uint16_t fontHeight) {
  EditTextDefinition field;
  field.bounds = {0, 4000, 0, height};
  field.fontId = 1;
  field.fontHeight = fontHeight;
  field.initialText = text;
  return field;
}

// Device text shows whole lines: a line reaching below the field's inner
// bottom (less the 2-pixel gutter) is left out, but never the first.
TEST(DeviceFontsTest, OnlyWholeLinesAreDrawn) {
  const struct {
    int32_t yMax;
    std::size_t glyphs;
  } cases[] = {{200, 3}, {170, 2}, {130, 1}, {50, 1}};  // lines 40 twips tall, from 40
  const Movie movie = DeviceMovie();
  SquareFonts system;
  TextCache cache(movie, &system);
  for (const auto& c : cases) {
    const TextLayout layout = LayoutEditText(DeviceField("A\nA\nA", c.yMax, 40), 8, cache);
    EXPECT_EQ(layout.glyphs.size(), c.glyphs) << c.yMax;
  }
}

// Device text is drawn opaque whatever the alpha of its colour transform,
// only upright (not when mirrored, turned or sheared), and adds no area to
// a mask.
TEST(DeviceFontsTest, MirroredTranslucentAndMaskingFields) {
  const Movie movie = DeviceMovie();
  SquareFonts system;
  TextCache cache(movie, &system);  // holds the glyphs the layout points at
  const TextLayout layout = LayoutEditText(DeviceField("A", 400, 200), 8, cache);
  ASSERT_TRUE(layout.deviceText);
  const Matrix toPixels{0.05, 0, 0, 0.05, 0, 0};
  ColorTransform faded;
  faded.aMult = 0;
  const struct {
    const char* name;
    Matrix m;
    ColorTransform cx;
    uint32_t pixel;  // at (5, 5), inside the glyph
  } cases[] = {
      {"plain", toPixels, {}, 0xFF000000u},
      {"faded", toPixels, faded, 0xFF000000u},
      {"mirrored", Matrix{-0.05, 0, 0, 0.05, 20, 0}, {}, 0},
      {"upside down", Matrix{0.05, 0, 0, -0.05, 0, 20}, {}, 0},
      // Turned or sheared by too little to move the glyph off (5, 5).
      {"turned", Matrix{0.05, 0.001, -0.001, 0.05, 0, 0}, {}, 0},
      {"sheared", Matrix{0.05, 0, 0.001, 0.05, 0, 0}, {}, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> pixels(20 * 20, 0);
    raster::Canvas canvas{pixels.data(), 20, 20, 20};
    DrawTextLayout(layout, c.m, c.cx, canvas, {});
    EXPECT_EQ(pixels[5 * 20 + 5], c.pixel) << c.name;
  }
  raster::Mask mask{20, 20, std::vector<uint8_t>(400, 0)};
  AddTextCoverage(layout, toPixels, mask, {});
  EXPECT_EQ(std::count(mask.coverage.begin(), mask.coverage.end(), 0), 400);
}

// Device text is set at the field's vertical scale in both directions: the
// horizontal scale moves only the box and where the text starts.
TEST(DeviceFontsTest, HorizontalScaleMovesTheTextButDoesNotStretchIt) {
  const Movie movie = DeviceMovie();
  SquareFonts system;
  TextCache cache(movie, &system);
  // "A": a square em of 200 twips from x = 40 (the gutter); 10 px at a
  // vertical scale of 1/20.
  const TextLayout layout = LayoutEditText(DeviceField("A", 400, 200), 8, cache);
  const struct {
    const char* name;
    double xScale;    // pixels per twip across; 0.05 down
    int left, right;  // the glyph's first and last pixel columns in row 5
  } cases[] = {
      {"upright", 0.05, 2, 11},
      {"twice as wide", 0.1, 4, 13},
      {"half as wide", 0.025, 1, 10},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> pixels(60 * 20, 0);
    raster::Canvas canvas{pixels.data(), 60, 20, 60};
    DrawTextLayout(layout, Matrix{c.xScale, 0, 0, 0.05, 0, 0}, {}, canvas, {false, nullptr});
    int left = -1, right = -1;
    for (int x = 0; x < 60; ++x) {
      if (pixels[5 * 60 + x] == 0) continue;
      if (left < 0) left = x;
      right = x;
    }
    EXPECT_EQ(left, c.left) << c.name;
    EXPECT_EQ(right, c.right) << c.name;
  }
}

TEST(DeviceFontsTest, GenericNamesGetArialsMetrics) {
  DeviceFonts& fonts = SystemDeviceFonts();
  // Arial's 'A' advances 1366/2048 em; its metric-compatible substitutes too.
  for (const char* name : {"_sans", "Arial"}) {
    const int face = fonts.OpenFace(name, false, false);
    ASSERT_GE(face, 0) << name << ": no system font (is fonts-liberation2 installed?)";
    const auto a = fonts.Glyph(face, U'A');
    ASSERT_TRUE(a && !a->outline.empty()) << name;
    EXPECT_NEAR(a->advance, 683, 1) << name;
  }
  EXPECT_EQ(SystemFamilyFor("_typewriter"), "Courier New");
  EXPECT_EQ(SystemFamilyFor(""), "Times New Roman");
  const int mono = fonts.OpenFace("_typewriter", false, false);
  ASSERT_GE(mono, 0);
  EXPECT_NEAR(fonts.Glyph(mono, U'i')->advance, fonts.Glyph(mono, U'W')->advance, 1);
}

// Hinted at a pixel size, a face gives whole-pixel advances and metrics,
// and stems land on the pixel grid: the vertical stems of 'H' at 12 pixels
// have edges at whole pixels, while the font's own outline does not.
TEST(DeviceFontsTest, HintedFacesKeepToWholePixels) {
  DeviceFonts& fonts = SystemDeviceFonts();
  for (int pixels : {9, 12, 17}) {
    SCOPED_TRACE(pixels);
    const int face = fonts.OpenFace("_sans", false, false, pixels);
    ASSERT_GE(face, 0);
    EXPECT_EQ(face, fonts.OpenFace("_sans", false, false, pixels));
    EXPECT_NE(face, fonts.OpenFace("_sans", false, false));
    const double toPixels = static_cast<double>(pixels) / kDeviceEm;
    for (char32_t c : {U'A', U'H', U'i', U'W', U'.'}) {
      const auto g = fonts.Glyph(face, c);
      ASSERT_TRUE(g);
      EXPECT_NEAR(g->advance * toPixels, std::round(g->advance * toPixels), 1e-9);
    }
    const DeviceFaceMetrics m = fonts.Metrics(face);
    EXPECT_NEAR(m.ascent * toPixels, std::round(m.ascent * toPixels), 1e-9);
    EXPECT_NEAR(m.descent * toPixels, std::round(m.descent * toPixels), 1e-9);
  }
  // Every x an outline of 'H' reaches, in pixels at 12 to the em.
  auto xs = [&](int face) {
    std::set<double> out;
    double x = 0;
    const auto glyph = fonts.Glyph(face, U'H');
    for (const ShapeRecord& r : glyph->outline) {
      if (const auto* s = std::get_if<StyleChangeRecord>(&r); s && s->moveTo) x = s->moveTo->first;
      if (const auto* e = std::get_if<StraightEdgeRecord>(&r)) x += e->dx;
      if (const auto* e = std::get_if<CurvedEdgeRecord>(&r)) x += e->controlDx + e->anchorDx;
      out.insert(x * 12 / kDeviceEm);
    }
    return out;
  };
  auto offGrid = [](const std::set<double>& v) {
    return std::count_if(v.begin(), v.end(),
                         [](double x) { return std::abs(x - std::round(x)) > 0.02; });
  };
  EXPECT_EQ(offGrid(xs(fonts.OpenFace("_sans", false, false, 12))), 0);
  EXPECT_GT(offGrid(xs(fonts.OpenFace("_sans", false, false))), 0);
  // Laid out, system text advances by whole pixels at each character's size.
  Movie movie = DeviceMovie();
  std::get<FontDefinition>(movie.characters.at(1)).name = "_sans";
  for (const char* text : {"Will it fit, Wim?", "<font size=\"17\">Will</font> it <b>fit</b>"}) {
    SCOPED_TRACE(text);
    EditTextDefinition field = DeviceField(text, 400, 240);
    field.html = text[0] == '<';
    TextCache cache(movie);
    const TextLayout layout = LayoutEditText(field, 8, cache);
    ASSERT_GE(layout.glyphs.size(), 9u);
    for (const auto& g : layout.glyphs) EXPECT_EQ(std::fmod(g.matrix.tx, 20.0), 0) << g.matrix.tx;
  }
}

}  // namespace
}  // namespace orrivel::swf
