// Internal to the reader: zlib decompression with a hard output cap.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orrivel::swf {

enum class InflateStatus { Ok, Truncated, Corrupt };

// Appends at most maxOut decompressed bytes to out, growing it in chunks so
// that a stream that stops early never costs the full declared size.
// Truncated: the input ended before the stream did (out holds what came).
InflateStatus InflateCapped(std::span<const uint8_t> in, size_t maxOut, std::vector<uint8_t>& out);

}  // namespace orrivel::swf
