// What the renderer keeps from frame to frame, by character id: shapes
// converted to paths, each morph at the ratio it was last drawn at, decoded
// bitmaps and text layouts. Each is built on first use.
#pragma once

#include <cstdint>
#include <memory>
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

  // A decoded bitmap by character id of `movie` (null: the cache's own),
  // for bitmap fills.
  const raster::Image* Bitmap(uint16_t id, const Movie* movie = nullptr);

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

  // What is kept for one movie's characters.
  struct Store {
    explicit Store(const Movie& m) : movie(m), texts(m) {}
    const Character* Find(uint16_t id) const;
    const Movie& movie;
    std::unordered_map<uint16_t, ConvertedShape> shapes;
    std::unordered_map<uint16_t, MorphEntry> morphs;
    // nullopt remembers a bitmap that failed to decode, so it is tried once.
    std::unordered_map<uint16_t, std::optional<raster::Image>> bitmaps;
    TextCache texts;
    VideoFrames videos;
  };
  // The store of a node's movie; other movies' stores are made on first use.
  Store& StoreOf(const Movie* movie);
  // The character of a node, from its movie; null when there is none.
  const Character* CharacterOf(const DisplayNode& node) const;

  ImageDecoder& decoder_;
  Store main_;
  std::unordered_map<const Movie*, std::unique_ptr<Store>> others_;
  // Layouts of script-changed fields by view; dropped wholesale when many.
  std::unordered_map<const EditTextView*,
                     std::pair<std::shared_ptr<const EditTextView>, TextLayout>>
      views_;
};

}  // namespace orrivel::swf
