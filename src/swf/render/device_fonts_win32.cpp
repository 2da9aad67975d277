// Device fonts on Windows: the system's fonts through GDI, their outlines
// (GetGlyphOutlineW) handed to our rasterizer: unhinted at a large size, or
// hinted at the text's own pixel size, as GDI fits them to the grid.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "swf/render/device_fonts.h"

namespace orrivel::swf {
namespace {

constexpr size_t kMaxFaces = 256;

// Unhinted outlines are asked for at this many pixels to the em, for precision.
constexpr int kOutlineEm = 2048;

double FixedValue(FIXED f) { return f.value + f.fract / 65536.0; }

class OutlineBuilder {
 public:
  explicit OutlineBuilder(double toEm) : toEm_(toEm) {}
  void Start(POINTFX p) {
    StyleChangeRecord start;
    at_ = Point(p);
    start.moveTo = at_;
    start.fillStyle1 = 1;
    records_.push_back(start);
  }
  void Line(POINTFX p) {
    const auto to = Point(p);
    records_.push_back(StraightEdgeRecord{to.first - at_.first, to.second - at_.second});
    at_ = to;
  }
  void Quad(std::pair<int32_t, int32_t> control, std::pair<int32_t, int32_t> to) {
    records_.push_back(CurvedEdgeRecord{control.first - at_.first, control.second - at_.second,
                                        to.first - control.first, to.second - control.second});
    at_ = to;
  }
  std::pair<int32_t, int32_t> Point(POINTFX p) const {
    return {static_cast<int32_t>(std::lround(FixedValue(p.x) * toEm_)),
            static_cast<int32_t>(std::lround(-FixedValue(p.y) * toEm_))};
  }
  std::pair<int32_t, int32_t> At() const { return at_; }
  std::vector<ShapeRecord> Take() { return std::move(records_); }

 private:
  double toEm_;
  std::pair<int32_t, int32_t> at_{0, 0};
  std::vector<ShapeRecord> records_;
};

// Reads GDI's native outline: polygons of lines and quadratic B-splines
// (between two control points lies an implied on-curve point).
std::vector<ShapeRecord> ParseOutline(const std::vector<char>& data, double toEm) {
  OutlineBuilder out(toEm);
  size_t at = 0;
  while (at + sizeof(TTPOLYGONHEADER) <= data.size()) {
    TTPOLYGONHEADER header;
    memcpy(&header, data.data() + at, sizeof(header));
    if (header.cb < sizeof(header) || at + header.cb > data.size()) break;
    const size_t end = at + header.cb;
    out.Start(header.pfxStart);
    const auto start = out.At();
    size_t p = at + sizeof(header);
    while (p + sizeof(WORD) * 2 <= end) {
      WORD type = 0, count = 0;
      memcpy(&type, data.data() + p, sizeof(WORD));
      memcpy(&count, data.data() + p + sizeof(WORD), sizeof(WORD));
      const size_t points = p + sizeof(WORD) * 2;
      if (points + count * sizeof(POINTFX) > end) break;
      std::vector<POINTFX> pts(count);
      if (count > 0) memcpy(pts.data(), data.data() + points, count * sizeof(POINTFX));
      if (type == TT_PRIM_LINE) {
        for (const POINTFX& pt : pts) out.Line(pt);
      } else if (type == TT_PRIM_QSPLINE) {
        for (size_t i = 0; i + 1 < pts.size(); ++i) {
          const auto control = out.Point(pts[i]);
          auto to = out.Point(pts[i + 1]);
          if (i + 2 < pts.size())
            to = {(control.first + to.first) / 2, (control.second + to.second) / 2};
          out.Quad(control, to);
        }
      }
      p = points + count * sizeof(POINTFX);
    }
    // Each polygon closes back to its start.
    if (out.At() != start) out.Line(header.pfxStart);
    at = end;
  }
  return out.Take();
}

class GdiFonts final : public DeviceFonts {
 public:
  GdiFonts() : dc_(CreateCompatibleDC(nullptr)) {}
  ~GdiFonts() override {
    for (HFONT font : fonts_) DeleteObject(font);
    if (dc_ != nullptr) DeleteDC(dc_);
  }

  int OpenFace(std::string_view swfName, bool bold, bool italic, int pixels) override {
    if (pixels < 0 || pixels > kMaxHintedPixels) pixels = 0;
    const std::string key = DeviceFaceKey(swfName, bold, italic, pixels);
    if (const auto it = byKey_.find(key); it != byKey_.end()) return it->second;
    // Faces stay open for the whole run: their number is bounded.
    if (byKey_.size() >= kMaxFaces) return -1;
    const std::string family = SystemFamilyFor(swfName);
    LOGFONTW lf{};
    lf.lfHeight = pixels > 0 ? -pixels : -kOutlineEm;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    const int length = MultiByteToWideChar(CP_UTF8, 0, family.data(),
                                           static_cast<int>(family.size()), lf.lfFaceName, 31);
    lf.lfFaceName[std::max(0, std::min(length, 31))] = L'\0';
    HFONT font = dc_ != nullptr ? CreateFontIndirectW(&lf) : nullptr;
    const int id = font != nullptr ? static_cast<int>(fonts_.size()) : -1;
    if (font != nullptr) {
      fonts_.push_back(font);
      hinted_.push_back(pixels > 0);
      toEm_.push_back(static_cast<double>(kDeviceEm) / (pixels > 0 ? pixels : kOutlineEm));
    }
    byKey_[key] = id;
    return id;
  }

  DeviceFaceMetrics Metrics(int face) override {
    if (!Select(face)) return {};
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    const double toEm = toEm_[static_cast<size_t>(face)];
    return {tm.tmAscent * toEm, tm.tmDescent * toEm, tm.tmExternalLeading * toEm};
  }

  std::optional<DeviceGlyph> Glyph(int face, char32_t c) override {
    if (c > 0xFFFF || !Select(face)) return std::nullopt;
    WORD index = 0;
    const wchar_t ch = static_cast<wchar_t>(c);
    if (GetGlyphIndicesW(dc_, &ch, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
        index == 0xFFFF) {
      return std::nullopt;
    }
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS metrics{};
    const bool hinted = hinted_[static_cast<size_t>(face)];
    const UINT format = hinted ? GGO_NATIVE : GGO_NATIVE | GGO_UNHINTED;
    const DWORD size = GetGlyphOutlineW(dc_, ch, format, &metrics, 0, nullptr, &identity);
    if (size == GDI_ERROR) return std::nullopt;
    std::vector<char> data(size);
    if (size > 0 &&
        GetGlyphOutlineW(dc_, ch, format, &metrics, size, data.data(), &identity) == GDI_ERROR) {
      return std::nullopt;
    }
    const double toEm = toEm_[static_cast<size_t>(face)];
    return DeviceGlyph{ParseOutline(data, toEm), metrics.gmCellIncX * toEm};
  }

 private:
  bool Select(int face) {
    if (face < 0 || face >= static_cast<int>(fonts_.size()) || dc_ == nullptr) return false;
    SelectObject(dc_, fonts_[face]);
    return true;
  }

  HDC dc_;
  std::vector<HFONT> fonts_;
  std::vector<bool> hinted_;  // per font: outlines fitted to its pixel size
  std::vector<double> toEm_;  // per font: em units per pixel
  std::map<std::string, int> byKey_;
};

}  // namespace

DeviceFonts& SystemDeviceFonts() {
  static GdiFonts fonts;
  return fonts;
}

}  // namespace orrivel::swf
