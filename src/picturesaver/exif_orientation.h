// The orientation a camera records in a JPEG's Exif block, and turning the
// decoded pixels upright. Values follow the Exif/TIFF tag 0x0112: 1 upright,
// 2 mirrored left-right, 3 turned 180°, 4 mirrored top-bottom, 5 transposed,
// 6 to be turned 90° clockwise, 7 transversed, 8 to be turned 90° anticlockwise.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "picturesaver/bitmap.h"

namespace orrivel {

// The orientation tag of IFD0 in the APP1 "Exif" segment, or 1 when the
// bytes are not a JPEG, carry no such tag, or are damaged. Reads only within
// data; any length or offset pointing outside it ends the search.
int JpegExifOrientation(std::span<const uint8_t> data);

// True for the orientations that swap width and height (5 to 8).
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// The upright copy of src; values outside 1..8 count as 1. Nothing when the
// copy cannot be allocated.
std::optional<Bitmap> ApplyOrientation(const BitmapView& src, int orientation);

}  // namespace orrivel
