#include "swf/render/text_render.h"

#include <algorithm>
#include <cmath>

#include "swf/render/paint.h"

namespace orrivel::swf {
namespace {

FloatRect Transformed(const FloatRect& r, const Matrix& m) {
  FloatRect out;
  if (r.Empty()) return out;
  for (double x : {r.xMin, r.xMax}) {
    for (double y : {r.yMin, r.yMax}) {
      out.Include(static_cast<float>(m.ApplyX(x, y)), static_cast<float>(m.ApplyY(x, y)));
    }
  }
  return out;
}

raster::Path RectPath(const FloatRect& r, const Matrix& m) {
  raster::Path rect, out;
  rect.MoveTo(r.xMin, r.yMin);
  rect.LineTo(r.xMax, r.yMin);
  rect.LineTo(r.xMax, r.yMax);
  rect.LineTo(r.xMin, r.yMax);
  rect.Close();
  out.Append(rect, m);
  return out;
}

// Appends the glyph's fill outlines; lines in glyph shapes are not drawn.
void GlyphPath(const PlacedGlyph& g, const Matrix& m, raster::Path& out) {
  out.Clear();
  const Matrix full = m * g.matrix;
  for (const ShapeLayer& layer : g.shape->layers) {
    if (!layer.isLine) out.Append(layer.path, full);
  }
}

void FillBox(raster::Canvas& canvas, float x0, float y0, float x1, float y1,
             const raster::Paint& paint, const raster::DrawOptions& options) {
  FloatRect r;
  r.Include(x0, y0);
  r.Include(x1, y1);
  raster::FillPath(canvas, RectPath(r, {}), raster::FillRule::NonZero, paint, options);
}

// The field's white background and black border. Unrotated fields snap to
// whole pixels as Flash does: the border runs along the pixel rows and
// columns at the box's edges, the bottom-right pixel included.
void DrawBox(const TextLayout& layout, const Matrix& m, const ColorTransform& cx,
             raster::Canvas& canvas, const raster::DrawOptions& options) {
  const FloatRect& box = *layout.box;
  const raster::Paint white = SolidPaint(layout.boxFill.value_or(Rgba{}), cx);
  const raster::Paint black = SolidPaint(layout.boxLine.value_or(Rgba{}), cx);
  const bool fill = layout.boxFill.has_value(), line = layout.boxLine.has_value();
  // The corners on whole pixels; a box that still lines up with the pixel
  // grid there (no turn or shear, or too little to move a corner a pixel)
  // is drawn crisp.
  const auto corner = [&](double x, double y) {
    return std::pair{std::round(m.ApplyX(x, y)), std::round(m.ApplyY(x, y))};
  };
  const auto [ax, ay] = corner(box.xMin, box.yMin);
  const auto [bx, by] = corner(box.xMax, box.yMin);
  const auto [cx2, cy2] = corner(box.xMax, box.yMax);
  const auto [dx, dy] = corner(box.xMin, box.yMax);
  if (ay != by || cy2 != dy || ax != dx || bx != cx2) {
    const raster::Path rect = RectPath(box, m);
    if (fill) raster::FillPath(canvas, rect, raster::FillRule::NonZero, white, options);
    if (line) raster::StrokePath(canvas, rect, raster::Stroke{}, black, options);
    return;
  }
  const float x0 = static_cast<float>(std::min(ax, bx)), y0 = static_cast<float>(std::min(ay, dy));
  const float x1 = static_cast<float>(std::max(ax, bx)), y1 = static_cast<float>(std::max(ay, dy));
  raster::DrawOptions crisp = options;
  crisp.antiAlias = false;
  if (fill) FillBox(canvas, x0, y0, x1, y1, white, crisp);
  if (!line) return;
  FillBox(canvas, x0, y0, x1 + 1, y0 + 1, black, crisp);
  FillBox(canvas, x0, y0, x0 + 1, y1 + 1, black, crisp);
  FillBox(canvas, x0, y1, x1 + 1, y1 + 1, black, crisp);
  FillBox(canvas, x1, y0, x1 + 1, y1, black, crisp);
}

}  // namespace

const FontDefinition* TextCache::Font(std::optional<uint16_t> id) const {
  if (!id) return nullptr;
  const auto it = movie_.characters.find(*id);
  return it == movie_.characters.end() ? nullptr : std::get_if<FontDefinition>(&it->second);
}

const ConvertedShape* TextCache::Glyph(const FontDefinition& font, uint32_t index) {
  if (DeviceEntry* device = DeviceOf(font)) {
    return index < device->shapes.size() && !device->shapes[index].layers.empty()
               ? &device->shapes[index]
               : nullptr;
  }
  if (index >= font.glyphs.size()) return nullptr;
  const uint32_t key = (static_cast<uint32_t>(font.id) << 16) | index;
  auto it = glyphs_.find(key);
  if (it == glyphs_.end()) {
    // The text supplies the colour; fill style 1 only has to exist.
    Shape shape;
    shape.fillStyles.resize(1);
    shape.records = font.glyphs[index].records;
    it = glyphs_.emplace(key, ConvertShape(shape, false)).first;
  }
  return it->second.layers.empty() ? nullptr : &it->second;
}

int TextCache::GlyphIndex(const FontDefinition& font, uint32_t code) {
  if (DeviceEntry* device = DeviceOf(font)) return DeviceGlyphIndex(*device, code);
  auto& map = codeMaps_[font.id];
  if (map.empty()) {
    for (size_t i = font.codes.size(); i-- > 0;) map[font.codes[i]] = static_cast<int>(i);
  }
  const auto it = map.find(code);
  return it == map.end() ? -1 : it->second;
}

const FontDefinition* TextCache::Variant(const FontDefinition& base, bool bold, bool italic) {
  if (const DeviceEntry* device = DeviceOf(base))
    return DeviceFont(base.name, bold, italic, device->pixels);
  const uint32_t key =
      (static_cast<uint32_t>(base.id) << 2) | (bold ? 2u : 0u) | (italic ? 1u : 0u);
  if (const auto it = variants_.find(key); it != variants_.end()) return it->second;
  const FontDefinition* found = nullptr;
  for (const auto& [id, c] : movie_.characters) {
    const auto* f = std::get_if<FontDefinition>(&c);
    if (f != nullptr && f->bold == bold && f->italic == italic && !f->glyphs.empty() &&
        f->name == base.name) {
      found = f;
      break;
    }
  }
  variants_.emplace(key, found);
  return found;
}

TextCache::DeviceEntry* TextCache::DeviceOf(const FontDefinition& font) {
  if (deviceByDef_.empty()) return nullptr;
  const auto it = deviceByDef_.find(&font);
  return it == deviceByDef_.end() ? nullptr : it->second;
}

int TextCache::DevicePixels(const FontDefinition& font) {
  const DeviceEntry* device = DeviceOf(font);
  return device != nullptr ? device->pixels : 0;
}

const FontDefinition* TextCache::DeviceFont(std::string_view name, bool bold, bool italic,
                                            int pixels) {
  if (pixels < 0 || pixels > kMaxHintedPixels) pixels = 0;
  const std::string key = DeviceFaceKey(name, bold, italic, pixels);
  // A movie naming very many fonts and sizes gets no more system faces past
  // this many; further sizes share the font's own outlines.
  constexpr size_t kMaxDeviceFonts = 64;
  if (deviceFonts_.size() >= kMaxDeviceFonts && !deviceFonts_.count(key)) {
    if (pixels == 0) return nullptr;
    return DeviceFont(name, bold, italic, 0);
  }
  auto& entry = deviceFonts_[key];
  if (!entry) {
    entry = std::make_unique<DeviceEntry>();
    DeviceFonts& fonts = devices_ != nullptr ? *devices_ : SystemDeviceFonts();
    entry->pixels = pixels;
    entry->face = fonts.OpenFace(name, bold, italic, pixels);
    FontDefinition& def = entry->def;
    def.name = std::string(name);
    def.bold = bold;
    def.italic = italic;
    def.version = 1;  // 1024 units to the em
    def.hasLayout = true;
    if (entry->face >= 0) {
      const DeviceFaceMetrics m = fonts.Metrics(entry->face);
      def.ascent = static_cast<int32_t>(m.ascent);
      def.descent = static_cast<int32_t>(m.descent);
      def.leading = static_cast<int32_t>(m.leading);
    }
    deviceByDef_[&def] = entry.get();
  }
  return entry->face >= 0 ? &entry->def : nullptr;
}

int TextCache::DeviceGlyphIndex(DeviceEntry& entry, uint32_t code) {
  // A text with very many different characters stops growing the font here.
  constexpr size_t kMaxDeviceGlyphs = 4096;
  if (const auto it = entry.index.find(code); it != entry.index.end()) return it->second;
  DeviceFonts& fonts = devices_ != nullptr ? *devices_ : SystemDeviceFonts();
  std::optional<DeviceGlyph> glyph;
  if (entry.shapes.size() < kMaxDeviceGlyphs) glyph = fonts.Glyph(entry.face, code);
  if (!glyph) {
    entry.index[code] = -1;
    return -1;
  }
  Shape shape;
  shape.fillStyles.resize(1);
  shape.records = std::move(glyph->outline);
  entry.shapes.push_back(ConvertShape(shape, true));
  entry.def.codes.push_back(static_cast<uint16_t>(code));
  entry.def.advances.push_back(static_cast<int16_t>(std::clamp(glyph->advance, -32768.0, 32767.0)));
  const int index = static_cast<int>(entry.shapes.size()) - 1;
  entry.index[code] = index;
  return index;
}

const ConvertedShape* TextCache::UnitBox() {
  if (!unitBox_) {
    Shape box;
    box.fillStyles.resize(1);
    StyleChangeRecord start;
    start.moveTo = std::pair<int32_t, int32_t>{0, 0};
    start.fillStyle1 = 1;
    box.records = {start, StraightEdgeRecord{1, 0}, StraightEdgeRecord{0, 1},
                   StraightEdgeRecord{-1, 0}, StraightEdgeRecord{0, -1}};
    unitBox_ = ConvertShape(box, true);
  }
  return &*unitBox_;
}

void AddGlyph(TextLayout& layout, const ConvertedShape* shape, const Matrix& m, Rgba color) {
  if (shape == nullptr) return;
  layout.glyphs.push_back({shape, m, color});
  layout.bounds.Include(Transformed(shape->bounds, m));
}

TextLayout TextCache::LayoutStatic(const TextDefinition& def) {
  TextLayout layout;
  const FontDefinition* font = nullptr;
  double scale = 0;
  Rgba color;
  int64_t x = 0, y = 0;
  // A font without outlines but with character codes names a system font.
  const FontDefinition* device = nullptr;
  for (const TextRecord& rec : def.records) {
    if (rec.fontId) {
      font = Font(rec.fontId);
      device = font != nullptr && font->glyphs.empty() && !font->codes.empty()
                   ? DeviceFont(font->name, font->bold, font->italic, HintedPixels(rec.height))
                   : nullptr;
      const FontDefinition* drawn = device != nullptr ? device : font;
      scale = drawn ? static_cast<double>(rec.height) / drawn->EmSquare() : 0;
    }
    if (rec.color) color = *rec.color;
    if (rec.xOffset) x = *rec.xOffset;
    if (rec.yOffset) y = *rec.yOffset;
    for (const GlyphEntry& e : rec.glyphs) {
      if (font != nullptr) {
        const Matrix place{scale, 0, 0, scale, static_cast<double>(x), static_cast<double>(y)};
        const ConvertedShape* shape = nullptr;
        if (device == nullptr) {
          shape = Glyph(*font, e.index);
        } else if (e.index < font->codes.size()) {
          const int index = GlyphIndex(*device, font->codes[e.index]);
          shape = index < 0 ? nullptr : Glyph(*device, static_cast<uint32_t>(index));
        }
        AddGlyph(layout, shape, def.matrix * place, color);
      }
      x += e.advance;
    }
  }
  return layout;
}

const TextLayout* TextCache::Layout(uint16_t id) {
  if (auto it = layouts_.find(id); it != layouts_.end()) return &it->second;
  const auto c = movie_.characters.find(id);
  if (c == movie_.characters.end()) return nullptr;
  if (const auto* text = std::get_if<TextDefinition>(&c->second)) {
    return &layouts_.emplace(id, LayoutStatic(*text)).first->second;
  }
  if (const auto* edit = std::get_if<EditTextDefinition>(&c->second)) {
    return &layouts_.emplace(id, LayoutEditText(*edit, movie_.header.version, *this)).first->second;
  }
  return nullptr;
}

namespace {

// Device text drawn at a size the field's horizontal scale does not follow.
bool Restretched(const TextLayout& layout, const Matrix& m) {
  return layout.deviceText && layout.editText && m.b == 0 && m.c == 0 && m.a > 0 && m.d > 0 &&
         m.a != m.d;
}

// Options that clip glyphs to the field as well, when the layout needs it;
// fieldMask holds the mask.
raster::DrawOptions GlyphOptions(const TextLayout& layout, const Matrix& m, int width, int height,
                                 const raster::DrawOptions& options, raster::Mask& fieldMask) {
  // Restretched glyphs may reach past the box whatever the layout found.
  const std::optional<FloatRect> clip =
      Restretched(layout, m) && !layout.field.Empty() ? std::optional(layout.field) : layout.clip;
  if (!clip) return options;
  fieldMask.width = width;
  fieldMask.height = height;
  fieldMask.coverage.assign(static_cast<size_t>(width) * height, 0);
  fieldMask.top = fieldMask.bottom = 0;
  raster::FillMask(fieldMask, RectPath(*clip, m), raster::FillRule::NonZero, options);
  raster::DrawOptions clipped = options;
  clipped.clip = &fieldMask;
  return clipped;
}

// An upright field's text starts on the nearest whole device pixel. Device
// text keeps the vertical scale across too, from the text's origin on.
Matrix GlyphMatrix(const TextLayout& layout, const Matrix& m) {
  Matrix out = m;
  if (layout.editText && m.b == 0 && m.c == 0 && std::isfinite(m.tx)) out.tx = std::round(m.tx);
  if (Restretched(layout, m)) {
    const double k = m.d / m.a;
    out = out * Matrix{k, 0, 0, 1, layout.textOrigin * (1 - k), 0};
  }
  return out;
}

// Neither turned, sheared nor mirrored.
bool Upright(const Matrix& m) { return m.b == 0 && m.c == 0 && m.a > 0 && m.d > 0; }

}  // namespace

void DrawTextLayout(const TextLayout& layout, const Matrix& m, const ColorTransform& transform,
                    raster::Canvas& canvas, const raster::DrawOptions& options,
                    raster::FillScratch* scratch) {
  ColorTransform cx = transform;
  if (layout.uprightOnly && !Upright(m)) return;
  if (layout.deviceText) {
    // The system draws such a field opaque.
    cx.aMult = 256;
    cx.aAdd = 0;
  }
  if (layout.box) DrawBox(layout, m, cx, canvas, options);
  raster::Mask fieldMask;
  const raster::DrawOptions glyphOptions =
      GlyphOptions(layout, m, canvas.width, canvas.height, options, fieldMask);
  // The glyphs go to the rasterizer as one batch, which a page of text
  // spreads over the threads. A glyph of one outline is drawn from the
  // font's own path; one of several from their union.
  const Matrix gm = GlyphMatrix(layout, m);
  const size_t n = layout.glyphs.size();
  std::vector<raster::Paint> paints;
  std::vector<raster::Path> merged;
  std::vector<raster::FillItem> items;
  paints.reserve(n);
  merged.reserve(n);
  items.reserve(n);
  for (const PlacedGlyph& g : layout.glyphs) {
    const raster::Path* outline = nullptr;
    int outlines = 0;
    for (const ShapeLayer& layer : g.shape->layers) {
      if (!layer.isLine) {
        outline = &layer.path;
        ++outlines;
      }
    }
    if (outlines == 0) continue;
    Matrix full = gm * g.matrix;
    if (outlines > 1) {
      GlyphPath(g, gm, merged.emplace_back());
      outline = &merged.back();
      full = Matrix{};
    }
    paints.push_back(SolidPaint(g.color, cx));
    items.push_back({outline, full, g.shape->fillRule, &paints.back(), nullptr});
  }
  raster::FillPaths(canvas, items, glyphOptions, scratch);
}

void AddTextCoverage(const TextLayout& layout, const Matrix& m, raster::Mask& mask,
                     const raster::DrawOptions& options) {
  // A field masks by its glyphs alone, its box left out; device text has
  // no outlines to mask by.
  if (layout.deviceText) return;
  raster::Mask fieldMask;
  const raster::DrawOptions glyphOptions =
      GlyphOptions(layout, m, mask.width, mask.height, options, fieldMask);
  raster::Path device;
  const Matrix gm = GlyphMatrix(layout, m);
  for (const PlacedGlyph& g : layout.glyphs) {
    GlyphPath(g, gm, device);
    raster::FillMask(mask, device, g.shape->fillRule, glyphOptions);
  }
}

}  // namespace orrivel::swf
