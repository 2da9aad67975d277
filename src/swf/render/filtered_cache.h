// Filtered nodes as they were last drawn. A node drawn again unchanged (the
// same subtree, the same place within its buffer, colour and filters) is
// composited from the kept pixels instead of being drawn and filtered anew:
// a still glow or shadow then costs a copy. The pixels kept stay within a
// bound; the least recently used go first, and what has not been used for a
// while is let go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/color.h"
#include "base/geometry.h"
#include "swf/render/display.h"

namespace orrivel::swf {

// Whether two subtrees draw the same pixels: every field that decides them,
// down to the leaves. Scripted drawings, pictures and text views compare by
// identity, as every change makes a new one.
bool SameDrawing(const DisplayNode& a, const DisplayNode& b);

class FilteredCache {
 public:
  // Everything besides the subtree that decides a filtered buffer's pixels.
  struct Setting {
    Matrix parent;  // the parent's matrix, moved to the buffer's origin
    ColorTransform colorTransform;
    Matrix stage;  // the stage's matrix, moved likewise (for masks inside)
    int width = 0, height = 0;
    double filterScale = 1;
    bool antiAlias = true;
    friend bool operator==(const Setting&, const Setting&) = default;
  };

  static constexpr size_t kMaxBytes = size_t{64} << 20;

  // The kept width x height pixels of node drawn and filtered so, or null.
  const uint32_t* Find(const DisplayNode& node, const Setting& setting);
  // Keeps a copy of the pixels (width x height of setting), unless they
  // would take more than half the bound.
  void Store(const DisplayNode& node, const Setting& setting, const uint32_t* pixels);
  // Counts one render; lets go of what the last few did not use.
  void EndRender();
  void Clear();
  size_t Bytes() const { return bytes_; }

 private:
  struct Entry {
    DisplayNode node;
    Setting setting;
    std::vector<uint32_t> pixels;
    uint64_t lastUse = 0;
  };
  void Erase(size_t index);

  std::vector<Entry> entries_;
  size_t bytes_ = 0;
  uint64_t render_ = 0;
};

}  // namespace orrivel::swf
