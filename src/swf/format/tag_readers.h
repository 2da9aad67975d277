// Internal to the reader: the per-tag parsers and the shared parse state.
// Each parser gets a ByteReader limited to the tag body and reports failure
// through that reader; the caller drops the result of a failed tag.
#pragma once

#include <cstdint>
#include <optional>

#include "base/byte_reader.h"
#include "swf/format/movie.h"
#include "swf/format/reader.h"

namespace orrivel::swf {

// Bounds the memory that the parsed model may take, counted in bytes of the
// model's own structures, so that a small hostile file cannot inflate into a
// huge one.
class Budget {
 public:
  explicit Budget(uint64_t bytes) : left_(bytes) {}
  bool Take(uint64_t bytes) {
    if (bytes > left_) {
      exhausted_ = true;
      left_ = 0;
      return false;
    }
    left_ -= bytes;
    return true;
  }
  bool Exhausted() const { return exhausted_; }

 private:
  uint64_t left_;
  bool exhausted_ = false;
};

struct ParseContext {
  uint8_t swfVersion = 0;
  const LoadLimits& limits;
  Budget& budget;
};

// Basic records.
Rect ReadRect(ByteReader& r);
Matrix ReadMatrix(ByteReader& r);
ColorTransform ReadColorTransform(ByteReader& r, bool withAlpha);
BlendMode BlendModeFromByte(uint8_t value);
// Reads a FILTERLIST (filter_reader.cpp); fails on an unknown filter.
// Filters the player cannot apply at a bounded cost are left out.
FilterList ReadFilterList(ByteReader& r, Budget& budget);

// Shapes (shape_reader.cpp, morph_reader.cpp).
std::optional<ShapeDefinition> ReadDefineShape(ByteReader& r, int version, ParseContext& ctx);
std::optional<MorphShapeDefinition> ReadDefineMorphShape(ByteReader& r, int version,
                                                         ParseContext& ctx);

// Display list tags (place_reader.cpp).
std::optional<PlaceObject> ReadPlaceObject(ByteReader& r, int version, ParseContext& ctx);
std::optional<RemoveObject> ReadRemoveObject(ByteReader& r, int version);

// Bitmaps and buttons (bitmap_reader.cpp, button_reader.cpp).
std::optional<BitmapDefinition> ReadDefineBits(ByteReader& r, BitmapKind kind, ParseContext& ctx);
std::optional<ButtonDefinition> ReadDefineButton(ByteReader& r, int version, ParseContext& ctx);

// Video (video_reader.cpp). A VideoFrame's body is kept in its stream's
// definition; false when the tag is damaged.
std::optional<VideoDefinition> ReadDefineVideoStream(ByteReader& r);
bool ReadVideoFrame(ByteReader& r, Movie& movie, ParseContext& ctx);

}  // namespace orrivel::swf
