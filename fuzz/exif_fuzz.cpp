// A picture file's bytes through the Exif orientation reader (JPEG markers,
// the TIFF structure inside APP1) that every slideshow step runs.
#include <cstddef>
#include <cstdint>
#include <span>

#include "picturesaver/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orrivel::JpegExifOrientation(std::span<const uint8_t>(data, size));
  return 0;
}
