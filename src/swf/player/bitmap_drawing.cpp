#include "swf/player/bitmap_drawing.h"

#include <algorithm>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/twips.h"
#include "swf/player/display_tree.h"
#include "swf/player/bitmap_ops.h"
#include "swf/raster/pixel.h"
#include "swf/render/bitmap_decode.h"
#include "swf/render/renderer.h"

namespace orrivel::swf {

namespace {

Rgba Unpack(uint32_t argb) {
  return Rgba{static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 8),
              static_cast<uint8_t>(argb), static_cast<uint8_t>(argb >> 24)};
}

// Straight pixels back from premultiplied ones; an opaque bitmap stays opaque.
uint32_t Straight(uint32_t premultiplied, bool transparent) {
  const uint32_t p = StraightPixel(premultiplied);
  return transparent ? p : p | 0xFF000000u;
}

// Renders root (its matrix from twips to dst's pixels) over dst's pixels,
// blended as options say, and only inside their clip.
void RenderInto(ScriptBitmap& dst, DisplayNode root, const Movie& movie, ImageDecoder& decoder,
                const DrawOptions& options) {
  if (!dst.Valid()) return;
  PixelRect area{0, 0, dst.width, dst.height};
  if (options.clip) area = ClipRect(dst, *options.clip);
  if (area.width <= 0 || area.height <= 0) return;
  // Only the clip's pixels are drawn: the canvas covers them alone.
  std::vector<uint32_t> pixels(static_cast<std::size_t>(area.width) * area.height);
  const auto at = [&](int x, int y) -> uint32_t& {
    return dst.argb[static_cast<std::size_t>(area.y + y) * dst.width + area.x + x];
  };
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x)
      pixels[static_cast<std::size_t>(y) * area.width + x] = raster::Premultiply(Unpack(at(x, y)));
  }
  raster::Canvas canvas{pixels.data(), area.width, area.height, area.width};
  DisplayNode outer;
  outer.kind = DisplayNode::Kind::Group;
  // root's matrix already ends in dst's pixels.
  outer.matrix = Matrix{1, 0, 0, 1, static_cast<double>(-area.x), static_cast<double>(-area.y)};
  root.blendMode = options.blend;
  outer.children.push_back(std::move(root));
  Renderer renderer(movie, decoder);
  renderer.SetThreads(1);
  renderer.Render(outer, canvas, Quality::High);
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x)
      at(x, y) = Straight(pixels[static_cast<std::size_t>(y) * area.width + x], dst.transparent);
  }
  dst.Changed();
}

// A matrix on pixels made one on twips: the node's content is in twips.
Matrix FromTwips(const Matrix& m) {
  return m * Matrix{1.0 / kTwipsPerPixel, 0, 0, 1.0 / kTwipsPerPixel, 0, 0};
}

}  // namespace

void CopyPixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                const ScriptBitmap* alpha, int ax, int ay, bool mergeAlpha) {
  if (!dst.Valid() || !src.Valid() || (alpha && !alpha->Valid())) return;
  // The source rectangle clipped to the source, the destination moving with it.
  if (rect.x < 0) dx -= rect.x, ax -= rect.x, rect.width += rect.x, rect.x = 0;
  if (rect.y < 0) dy -= rect.y, ay -= rect.y, rect.height += rect.y, rect.y = 0;
  rect.width = std::min(rect.width, src.width - rect.x);
  rect.height = std::min(rect.height, src.height - rect.y);
  if (rect.width <= 0 || rect.height <= 0) return;
  // Copied row by row through a buffer: src may be dst itself.
  std::vector<uint32_t> row(static_cast<std::size_t>(rect.width));
  const int ystep = &src == &dst && dy > rect.y ? -1 : 1;
  for (int j = ystep > 0 ? 0 : rect.height - 1; j >= 0 && j < rect.height; j += ystep) {
    const int sy = rect.y + j, ty = dy + j;
    if (ty < 0 || ty >= dst.height) continue;
    std::copy_n(src.argb.begin() + static_cast<std::ptrdiff_t>(sy) * src.width + rect.x, rect.width,
                row.begin());
    for (int i = 0; i < rect.width; ++i) {
      const int tx = dx + i;
      if (tx < 0 || tx >= dst.width) continue;
      uint32_t p = row[static_cast<std::size_t>(i)];
      if (!src.transparent) p |= 0xFF000000u;
      uint32_t& out = dst.argb[static_cast<std::size_t>(ty) * dst.width + tx];
      bool blend = mergeAlpha;
      if (alpha) {
        const int mx = ax + i, my = ay + j;
        if (mx < 0 || my < 0 || mx >= alpha->width || my >= alpha->height) continue;
        const uint32_t m = alpha->transparent
                               ? alpha->argb[static_cast<std::size_t>(my) * alpha->width + mx] >> 24
                               : 255;
        p = (p & 0xFFFFFFu) | raster::Div255((p >> 24) * m) << 24;
        blend = true;
      }
      if (blend) {
        const uint32_t over =
            raster::SrcOver(raster::Premultiply(Unpack(out)), raster::Premultiply(Unpack(p)));
        out = Straight(over, dst.transparent);
      } else {
        out = KeptPixel(dst, p);
      }
    }
  }
  dst.Changed();
}

void DrawClip(ScriptBitmap& dst, const TimelineInstance& clip, const Matrix& m,
              const ColorTransform& cx, ImageDecoder& decoder, const DrawOptions& options) {
  DisplayNode root = BuildClipTree(clip);
  root.matrix = FromTwips(m);
  // A setMask mask covers the bitmap's pixels where it covers the stage's,
  // whatever the clip's place and the drawing's matrix.
  if (root.mask) {
    auto mask = std::make_shared<DisplayNode>(*root.mask);
    mask->matrix = FromTwips(Matrix{}) * mask->matrix;
    root.mask = std::move(mask);
  }
  root.colorTransform = cx;
  RenderInto(dst, std::move(root), clip.GetMovie(), decoder, options);
}

void DrawBitmap(ScriptBitmap& dst, ScriptBitmap& src, const Matrix& m, const ColorTransform& cx,
                ImageDecoder& decoder, const DrawOptions& options) {
  DisplayNode root;
  root.kind = DisplayNode::Kind::Group;
  root.matrix = FromTwips(m);
  root.colorTransform = cx;
  DisplayNode& image = root.children.emplace_back();
  image.kind = DisplayNode::Kind::Bitmap;
  // A copy of the pixels: drawing a bitmap into itself reads them as they were.
  image.picture = src.Picture();
  if (!image.picture) return;
  image.smooth = options.smooth;
  static const Movie kNoMovie{};
  RenderInto(dst, std::move(root), kNoMovie, decoder, options);
}

bool LoadLibraryBitmap(ScriptBitmap& dst, const Movie& movie, std::string_view linkage,
                       ImageDecoder& decoder) {
  const auto it = movie.exports.find(std::string(linkage));
  if (it == movie.exports.end()) return false;
  const auto c = movie.characters.find(it->second);
  const auto* def =
      c == movie.characters.end() ? nullptr : std::get_if<BitmapDefinition>(&c->second);
  if (!def) return false;
  const auto image = DecodeBitmap(*def, movie.jpegTables, decoder);
  if (!image || image->width <= 0 || image->height <= 0) return false;
  dst.width = image->width;
  dst.height = image->height;
  dst.transparent = true;
  dst.argb.resize(image->pixels.size());
  for (std::size_t i = 0; i < image->pixels.size(); ++i)
    dst.argb[i] = Straight(image->pixels[i], true);
  dst.Changed();
  return true;
}

}  // namespace orrivel::swf
