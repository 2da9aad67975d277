// What scripts do to a BitmapData's pixels beyond single pixels: copying
// from another bitmap, drawing a clip or a bitmap into it through a matrix
// and a colour transform, and filling it from a library bitmap.
#pragma once

#include <optional>
#include <string_view>

#include "base/color.h"
#include "base/geometry.h"
#include "swf/format/movie.h"
#include "swf/render/image_decoder.h"
#include "swf/render/script_bitmap.h"

namespace orrivel::swf {

class TimelineInstance;

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// copyPixels: src's rectangle to dst at (dx, dy), clipped to both bitmaps.
// Without an alpha bitmap the pixels replace dst's, unless mergeAlpha
// blends them over it. With one, src's alpha is multiplied by its alpha
// (its pixel at (ax, ay) meeting the rectangle's corner), the result is
// blended over dst, and only where it covers is anything copied.
void CopyPixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                const ScriptBitmap* alpha, int ax, int ay, bool mergeAlpha);

// draw's last arguments: how the drawing blends with the pixels, the
// rectangle of them it may change, and whether a bitmap drawn scaled or
// turned is smoothed.
struct DrawOptions {
  BlendMode blend = BlendMode::Normal;
  std::optional<PixelRect> clip;
  bool smooth = false;
};

// draw: what clip shows (its own space; m maps its pixels to dst's), or a
// bitmap's pixels, drawn over dst's through the colour transform.
void DrawClip(ScriptBitmap& dst, const TimelineInstance& clip, const Matrix& m,
              const ColorTransform& cx, ImageDecoder& decoder, const DrawOptions& options = {});
void DrawBitmap(ScriptBitmap& dst, ScriptBitmap& src, const Matrix& m, const ColorTransform& cx,
                ImageDecoder& decoder, const DrawOptions& options = {});

// loadBitmap: a new bitmap of the size and pixels of the library bitmap
// exported as linkage; false when no bitmap is exported by that name or
// it cannot be decoded.
bool LoadLibraryBitmap(ScriptBitmap& dst, const Movie& movie, std::string_view linkage,
                       ImageDecoder& decoder);

}  // namespace orrivel::swf
