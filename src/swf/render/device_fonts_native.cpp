// Device fonts of the native build: fontconfig picks the face for a name
// (metric-compatible substitutes for Arial, Times New Roman and Courier
// New), FreeType gives its outlines: the font's own, or hinted at a pixel
// size (whole-pixel advances and metrics, stems on the pixel grid), as the
// Windows rasterizer gives them.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <map>
#include <vector>

#include "swf/render/device_fonts.h"

namespace orrivel::swf {
namespace {

constexpr size_t kMaxFaces = 256;

// Turns FreeType's outline (font units, y up) into shape records (em
// units of kDeviceEm, y down).
class OutlineWriter {
 public:
  explicit OutlineWriter(double scale) : scale_(scale) {}

  static int MoveTo(const FT_Vector* to, void* self) {
    auto& w = *static_cast<OutlineWriter*>(self);
    StyleChangeRecord start;
    w.at_ = w.Point(to);
    start.moveTo = std::pair<int32_t, int32_t>{w.at_.first, w.at_.second};
    start.fillStyle1 = 1;
    w.records_.push_back(start);
    return 0;
  }
  static int LineTo(const FT_Vector* to, void* self) {
    auto& w = *static_cast<OutlineWriter*>(self);
    const auto p = w.Point(to);
    w.records_.push_back(StraightEdgeRecord{p.first - w.at_.first, p.second - w.at_.second});
    w.at_ = p;
    return 0;
  }
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* self) {
    auto& w = *static_cast<OutlineWriter*>(self);
    w.Quad(w.Point(control), w.Point(to));
    return 0;
  }
  // Cubic outlines (CFF fonts) are drawn as two quadratic halves each.
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* self) {
    auto& w = *static_cast<OutlineWriter*>(self);
    const auto p0 = w.at_, p1 = w.Point(c1), p2 = w.Point(c2), p3 = w.Point(to);
    auto mid = [](std::pair<int32_t, int32_t> a, std::pair<int32_t, int32_t> b) {
      return std::pair<int32_t, int32_t>{(a.first + b.first) / 2, (a.second + b.second) / 2};
    };
    const auto m = mid(mid(mid(p0, p1), mid(p1, p2)), mid(mid(p1, p2), mid(p2, p3)));
    w.Quad(mid(p0, p1), m);
    w.Quad(mid(p2, p3), p3);
    return 0;
  }

  std::vector<ShapeRecord> Take() { return std::move(records_); }

 private:
  std::pair<int32_t, int32_t> Point(const FT_Vector* v) const {
    return {static_cast<int32_t>(std::lround(v->x * scale_)),
            static_cast<int32_t>(std::lround(-v->y * scale_))};
  }
  void Quad(std::pair<int32_t, int32_t> control, std::pair<int32_t, int32_t> to) {
    records_.push_back(CurvedEdgeRecord{control.first - at_.first, control.second - at_.second,
                                        to.first - control.first, to.second - control.second});
    at_ = to;
  }

  double scale_;
  std::pair<int32_t, int32_t> at_{0, 0};
  std::vector<ShapeRecord> records_;
};

class FreeTypeFonts final : public DeviceFonts {
 public:
  FreeTypeFonts() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
  }
  ~FreeTypeFonts() override {
    for (FT_Face face : faces_) FT_Done_Face(face);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }

  int OpenFace(std::string_view swfName, bool bold, bool italic, int pixels) override {
    if (pixels < 0 || pixels > kMaxHintedPixels) pixels = 0;
    const std::string key = DeviceFaceKey(swfName, bold, italic, pixels);
    if (const auto it = byKey_.find(key); it != byKey_.end()) return it->second;
    // Faces stay open for the whole run: their number is bounded.
    if (byKey_.size() >= kMaxFaces) return -1;
    int id = -1;
    const std::string fileKey = DeviceFaceKey(swfName, bold, italic);
    if (const auto it = byFile_.find(fileKey); it != byFile_.end()) {
      id = it->second;
    } else {
      id = Open(SystemFamilyFor(swfName), bold, italic);
      byFile_[fileKey] = id;
    }
    if (id >= 0) {
      sizes_.push_back({id, pixels});
      id = static_cast<int>(sizes_.size()) - 1;
    }
    byKey_[key] = id;
    return id;
  }

  DeviceFaceMetrics Metrics(int face) override {
    const Sized* s = SizedFace(face);
    if (s == nullptr) return {};
    const FT_Face f = faces_[s->file];
    if (s->pixels > 0 && FT_IS_SCALABLE(f) &&
        FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(s->pixels)) == 0) {
      // Whole pixels, as the rasterizer rounds them at this size.
      const double toEm = static_cast<double>(kDeviceEm) / s->pixels;
      const double ascent = std::ceil(f->size->metrics.ascender / 64.0);
      const double descent = std::ceil(-f->size->metrics.descender / 64.0);
      const double height = std::round(f->size->metrics.height / 64.0);
      return {ascent * toEm, descent * toEm, std::max(0.0, height - ascent - descent) * toEm};
    }
    const double scale = static_cast<double>(kDeviceEm) / f->units_per_EM;
    const double ascent = f->ascender * scale, descent = -f->descender * scale;
    return {ascent, descent, std::max(0.0, f->height * scale - ascent - descent)};
  }

  std::optional<DeviceGlyph> Glyph(int face, char32_t c) override {
    const Sized* s = SizedFace(face);
    if (s == nullptr) return std::nullopt;
    const FT_Face f = faces_[s->file];
    const FT_UInt index = FT_Get_Char_Index(f, c);
    if (index == 0) return std::nullopt;
    const bool hinted =
        s->pixels > 0 && FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(s->pixels)) == 0;
    // The substitute fonts' own instructions hint only down; FreeType's
    // hinter in its strong mode fits stems across too, as Windows fits the
    // fonts these stand for.
    const FT_Int32 load = hinted ? FT_LOAD_NO_BITMAP | FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_MONO
                                 : FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    if (FT_Load_Glyph(f, index, load) != 0 || f->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      return std::nullopt;
    }
    // Hinted outlines come in 64ths of a pixel, the font's own in its units.
    const double scale = hinted ? static_cast<double>(kDeviceEm) / (64.0 * s->pixels)
                                : static_cast<double>(kDeviceEm) / f->units_per_EM;
    OutlineWriter writer(scale);
    FT_Outline_Funcs funcs{};
    funcs.move_to = &OutlineWriter::MoveTo;
    funcs.line_to = &OutlineWriter::LineTo;
    funcs.conic_to = &OutlineWriter::ConicTo;
    funcs.cubic_to = &OutlineWriter::CubicTo;
    if (FT_Outline_Decompose(&f->glyph->outline, &funcs, &writer) != 0) return std::nullopt;
    const double advance =
        hinted ? std::round(f->glyph->advance.x / 64.0) * 64.0 : f->glyph->metrics.horiAdvance;
    return DeviceGlyph{writer.Take(), advance * scale};
  }

 private:
  int Open(const std::string& family, bool bold, bool italic) {
    if (library_ == nullptr) return -1;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return -1;
    FcChar8* file = nullptr;
    int index = 0;
    FT_Face face = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (FT_New_Face(library_, reinterpret_cast<const char*>(file), index, &face) != 0)
        face = nullptr;
    }
    FcPatternDestroy(match);
    if (face == nullptr || face->units_per_EM == 0 || !FT_IS_SCALABLE(face)) {
      if (face != nullptr) FT_Done_Face(face);
      return -1;
    }
    faces_.push_back(face);
    return static_cast<int>(faces_.size()) - 1;
  }

  // A face of a font file at a hinted size (0: the font's own outlines).
  struct Sized {
    int file = -1;
    int pixels = 0;
  };
  const Sized* SizedFace(int face) const {
    if (face < 0 || face >= static_cast<int>(sizes_.size())) return nullptr;
    return &sizes_[static_cast<size_t>(face)];
  }

  FT_Library library_ = nullptr;
  std::vector<FT_Face> faces_;  // one per font file and style
  std::vector<Sized> sizes_;
  std::map<std::string, int> byFile_;  // into faces_
  std::map<std::string, int> byKey_;   // into sizes_
};

}  // namespace

DeviceFonts& SystemDeviceFonts() {
  static FreeTypeFonts fonts;
  return fonts;
}

}  // namespace orrivel::swf
