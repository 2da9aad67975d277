// Rebuilds the JPEG data of DefineBits / DefineBitsJPEG2-4 as one standalone
// JPEG stream that any decoder accepts.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/jpeg_markers.h"

namespace orrivel::swf {

// One SOI, the segments of tables (JPEGTables, for DefineBits; empty
// otherwise), the segments and scans of image, one EOI. Every SOI and EOI
// inside is dropped, which removes the erroneous FF D9 FF D8 pair at the
// start or in the middle of old files. Image bytes that are not JPEG (PNG or
// GIF in DefineBitsJPEG2/3) are returned unchanged.
std::vector<uint8_t> MakeStandaloneJpeg(std::span<const uint8_t> tables,
                                        std::span<const uint8_t> image);

}  // namespace orrivel::swf
