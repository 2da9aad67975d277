// What the renderer keeps from frame to frame, by character id: shapes
// converted to paths, each morph at the ratio it was last drawn at, decoded
// bitmaps and text layouts. Each is built on first use.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"
#include "swf/render/display.h"
#include "swf/render/image_decoder.h"
#include "swf/render/shape_convert.h"
#include "swf/render/text_render.h"
#include "swf/render/video_paint.h"

namespace orrivel::swf {

class RenderCache {
 public:
  // movie and decoder must outlive the cache.
  RenderCache(const Movie& movie, ImageDecoder& decoder);
  RenderCache(const RenderCache&) = delete;
  RenderCache& operator=(const RenderCache&) = delete;

  // What a node draws; nullptr when the node is of another kind or its
  // character is missing or undecodable. ShapeOf serves shapes and morphs.
  const ConvertedShape* ShapeOf(const DisplayNode& node);
  const raster::Image* BitmapOf(const DisplayNode& node);
  const TextLayout* TextOf(const DisplayNode& node);

  // A decoded bitmap by character id, for bitmap fills.
  const raster::Image* Bitmap(uint16_t id);

  // What BitmapOf's picture is drawn through before the node's matrix (a
  // video frame is stretched over its stream's box), and whether it is
  // smoothed when the quality allows.
  Matrix ImageScale(const DisplayNode& node, const raster::Image& image) const;
  bool SmoothImage(const DisplayNode& node) const;

 private:
  struct MorphEntry {
    float ratio = -1;  // never a valid ratio, so the first use converts
    ConvertedShape shape;
  };

  const Character* Find(uint16_t id) const;

  const Movie& movie_;
  ImageDecoder& decoder_;
  std::unordered_map<uint16_t, ConvertedShape> shapes_;
  std::unordered_map<uint16_t, MorphEntry> morphs_;
  // nullopt remembers a bitmap that failed to decode, so it is tried once.
  std::unordered_map<uint16_t, std::optional<raster::Image>> bitmaps_;
  TextCache texts_;
  VideoFrames videos_;
  // Layouts of script-changed fields by view; dropped wholesale when many.
  std::unordered_map<const EditTextView*,
                     std::pair<std::shared_ptr<const EditTextView>, TextLayout>>
      views_;
};

}  // namespace orrivel::swf
