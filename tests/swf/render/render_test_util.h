// Small builders shared by the renderer tests: shapes from point lists, an
// owned canvas, and a movie holding a few characters.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"
#include "swf/render/display.h"
#include "swf/render/image_decoder.h"

namespace orrivel::swf::testing {

inline FillStyle Solid(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  FillStyle f;
  f.color = {r, g, b, a};
  return f;
}

inline StyleChangeRecord Style(std::optional<std::pair<int32_t, int32_t>> move,
                               std::optional<uint32_t> fill0, std::optional<uint32_t> fill1,
                               std::optional<uint32_t> line = std::nullopt) {
  StyleChangeRecord s;
  s.moveTo = move;
  s.fillStyle0 = fill0;
  s.fillStyle1 = fill1;
  s.lineStyle = line;
  return s;
}

// Straight edges through the given absolute points, starting at the pen.
inline void AddLines(std::vector<ShapeRecord>& records, std::pair<int32_t, int32_t> from,
                     const std::vector<std::pair<int32_t, int32_t>>& to) {
  for (const auto& p : to) {
    records.push_back(StraightEdgeRecord{p.first - from.first, p.second - from.second});
    from = p;
  }
}

// A clockwise (on screen) rectangle with fillStyle1 = fill inside.
inline void AddRect(std::vector<ShapeRecord>& records, int32_t x0, int32_t y0, int32_t x1,
                    int32_t y1, uint32_t fill) {
  records.push_back(Style(std::make_pair(x0, y0), 0, fill));
  AddLines(records, {x0, y0}, {{x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}});
}

struct OwnedCanvas {
  std::vector<uint32_t> pixels;
  raster::Canvas canvas;
  OwnedCanvas(int w, int h, uint32_t fill = 0) : pixels(static_cast<size_t>(w) * h, fill) {
    canvas = {pixels.data(), w, h, w};
  }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * canvas.width + x]; }
};

inline uint32_t Channel(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// Root node whose matrix maps twips to pixels one to one (20 twips a pixel).
inline DisplayNode Stage() {
  DisplayNode root;
  root.matrix = {1.0 / 20, 0, 0, 1.0 / 20, 0, 0};
  return root;
}

inline DisplayNode Node(DisplayNode::Kind kind, uint16_t id, uint16_t depth) {
  DisplayNode n;
  n.kind = kind;
  n.characterId = id;
  n.depth = depth;
  return n;
}

inline ShapeDefinition ShapeDef(uint16_t id, Shape shape, bool winding = false) {
  ShapeDefinition d;
  d.id = id;
  d.shape = std::move(shape);
  d.usesFillWindingRule = winding;
  return d;
}

// A decoder for tests that draw no JPEG or PNG bitmaps.
class NoDecoder : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t>, uint64_t) override {
    return std::nullopt;
  }
};

}  // namespace orrivel::swf::testing
