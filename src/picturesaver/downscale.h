// High-quality reduction of a picture to the size it is shown at: each
// target pixel is the average of the exact source area it covers (edge
// pixels weighted by the part inside), computed in linear light with
// premultiplied alpha, so fine detail neither aliases nor darkens.
#pragma once

#include <memory>
#include <optional>

#include "picturesaver/bitmap.h"

namespace orrivel {

// Reduces src to targetWidth × targetHeight. Pictures are never enlarged: a
// target dimension above the source's keeps the source's. Nothing for an
// invalid source or a target below 1 pixel, or when memory runs out.
std::optional<Bitmap> Downscale(const BitmapView& src, int targetWidth, int targetHeight);

// The same reduction fed a few rows at a time, top to bottom, so a decoder
// can hand over strips while they are still in the cache and a picture far
// larger than the screen never has to be held whole.
class RowDownscaler {
 public:
  RowDownscaler();
  ~RowDownscaler();
  RowDownscaler(const RowDownscaler&) = delete;
  RowDownscaler& operator=(const RowDownscaler&) = delete;

  // False for sizes below 1 pixel or when memory runs out.
  bool Start(int srcWidth, int srcHeight, int targetWidth, int targetHeight);
  // The next source rows (rows.width must be the source width). False, and
  // nothing taken, when they do not fit.
  bool AddRows(const BitmapView& rows);
  // True once every source row has been added.
  bool Done() const;
  // The reduced picture, once done; the scaler is then empty again.
  std::optional<Bitmap> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace orrivel
