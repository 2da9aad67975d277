// Static text (DefineText) and edit text fields (DefineEditText) drawn as
// glyph outlines of embedded fonts. A text character is laid out once into
// glyph placements; each glyph outline is converted once per font.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"
#include "swf/render/device_fonts.h"
#include "swf/render/shape_convert.h"

namespace orrivel::swf {

struct PlacedGlyph {
  const ConvertedShape* shape = nullptr;  // EM units, owned by the TextCache
  Matrix matrix;                          // glyph units to the character's twips
  Rgba color;
};

struct TextLayout {
  std::vector<PlacedGlyph> glyphs;
  // Edit text with the border flag: white background, black 1-pixel border
  // (a script may change either colour or leave either out).
  std::optional<FloatRect> box;
  std::optional<Rgba> boxFill = Rgba{255, 255, 255, 255};
  std::optional<Rgba> boxLine = Rgba{0, 0, 0, 255};
  FloatRect bounds;  // twips of the character, for culling and layers
  // Edit text whose glyphs reach past the field: drawing is clipped to it.
  std::optional<FloatRect> clip;
  // Edit text: the extent of the laid out text (twips, without the field's
  // gutters) and its lines, as scripts read them.
  double textWidth = 0, textHeight = 0;
  int lineCount = 0;
  bool editText = false;  // laid out from a field: drawn on whole pixels
  // Set in the system's fonts: never translucent, and no area in a mask.
  bool deviceText = false;
  // A field without embedded fonts: the system draws it upright or not at
  // all (box included), so a turned, sheared or mirrored one shows nothing.
  bool uprightOnly = false;
  // Edit text: the field's box and where its text starts (twips). The
  // system sets device text at the field's vertical scale in both
  // directions; the horizontal scale only moves the box and this origin.
  FloatRect field;
  double textOrigin = 0;
  // Each line's top and bottom (its descent, without leading), from the top
  // of the text in twips: what scrolling shows whole.
  std::vector<std::pair<double, double>> lines;
};

// A field as a script left it: its definition carrying the current text (as
// HTML) and settings, and the colours of its box (none: not drawn).
struct EditTextView {
  EditTextDefinition def;
  std::optional<Rgba> fill, line;
  int scroll = 1;          // the line shown at the top (1-based)
  int hscroll = 0;         // pixels the text is moved left
  bool unclipped = false;  // a mask: glyphs past the field still count
  // The focused field's selected characters, drawn white on black; empty: none.
  size_t selectionBegin = 0, selectionEnd = 0;
};

class TextCache {
 public:
  // Device fonts come from the system unless `devices` is given.
  explicit TextCache(const Movie& movie, DeviceFonts* devices = nullptr)
      : movie_(movie), devices_(devices) {}
  TextCache(const TextCache&) = delete;
  TextCache& operator=(const TextCache&) = delete;

  // nullptr when id is not a text character.
  const TextLayout* Layout(uint16_t id);

  // The font's outline of glyph index; nullptr when there is none.
  const ConvertedShape* Glyph(const FontDefinition& font, uint32_t index);
  const FontDefinition* Font(std::optional<uint16_t> id) const;
  // Glyph index of a character code; -1 when the font lacks it.
  int GlyphIndex(const FontDefinition& font, uint32_t code);
  // The font with base's name and the given style that has glyphs;
  // nullptr when the movie has none.
  const FontDefinition* Variant(const FontDefinition& base, bool bold, bool italic);
  // A system font standing in for a font name, as a font whose glyphs are
  // made as characters ask for them; nullptr when the system has none.
  // With `pixels`, hinted for text of that many pixels to the em.
  const FontDefinition* DeviceFont(std::string_view name, bool bold, bool italic, int pixels = 0);
  // The hinted size of a device font, 0 for none.
  int DevicePixels(const FontDefinition& font);
  // A filled 1 x 1 square at the origin (underlines, in twips).
  const ConvertedShape* UnitBox();

 private:
  struct DeviceEntry {
    int face = -1;
    int pixels = 0;
    FontDefinition def;
    std::unordered_map<uint32_t, int> index;  // code to glyph; -1: none
    std::deque<ConvertedShape> shapes;
  };
  TextLayout LayoutStatic(const TextDefinition& def);
  DeviceEntry* DeviceOf(const FontDefinition& font);
  int DeviceGlyphIndex(DeviceEntry& entry, uint32_t code);

  const Movie& movie_;
  std::unordered_map<uint32_t, ConvertedShape> glyphs_;  // font id << 16 | index
  std::unordered_map<uint16_t, std::unordered_map<uint32_t, int>> codeMaps_;
  std::unordered_map<uint16_t, TextLayout> layouts_;
  std::unordered_map<uint32_t, const FontDefinition*> variants_;  // id << 2 | bold << 1 | italic
  DeviceFonts* devices_;
  std::map<std::string, std::unique_ptr<DeviceEntry>> deviceFonts_;  // by name, style, size
  std::unordered_map<const FontDefinition*, DeviceEntry*> deviceByDef_;
  std::optional<ConvertedShape> unitBox_;
};

// Lays out the field's initial text (edit_text_layout.cpp).
TextLayout LayoutEditText(const EditTextDefinition& def, uint8_t swfVersion, TextCache& cache);
// Lays out a field a script changed.
TextLayout LayoutEditText(const EditTextView& view, uint8_t swfVersion, TextCache& cache);

// Appends a glyph to a layout, growing its bounds.
void AddGlyph(TextLayout& layout, const ConvertedShape* shape, const Matrix& m, Rgba color);

// Draws a layout whose character space maps to device pixels through m;
// its glyphs are one batch of fills, prepared in scratch when given.
void DrawTextLayout(const TextLayout& layout, const Matrix& m, const ColorTransform& cx,
                    raster::Canvas& canvas, const raster::DrawOptions& options,
                    raster::FillScratch* scratch = nullptr);
// Adds the layout's coverage to a clip mask.
void AddTextCoverage(const TextLayout& layout, const Matrix& m, raster::Mask& mask,
                     const raster::DrawOptions& options);

}  // namespace orrivel::swf
