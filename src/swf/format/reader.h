// Loads a SWF file into a Movie. Every tag is parsed inside its own length;
// sizes are capped so damaged or hostile files fail cleanly.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "swf/format/movie.h"

namespace orrivel::swf {

struct LoadLimits {
  uint32_t maxUncompressedBytes = 64u << 20;  // declared or actual
  uint32_t maxSpriteNesting = 16;
  uint32_t maxRecordsPerShape = 1u << 20;
  uint32_t maxFrames = 1u << 16;
  // The parsed model never takes more than kModelBytesPerInputByte times the
  // (uncompressed) file size plus 1 MiB, nor more than this.
  uint64_t maxModelBytes = 512ull << 20;
};

inline constexpr uint64_t kModelBytesPerInputByte = 128;

enum class LoadErrorKind {
  None,
  TooShort,
  BadSignature,
  Lzma,           // ZWS: not supported
  Compression,    // zlib failure
  TooLarge,       // a cap was exceeded
  ActionScript3,  // DoABC present
  Malformed,      // header damaged
};

struct LoadResult {
  std::unique_ptr<Movie> movie;  // null on failure
  LoadErrorKind error = LoadErrorKind::None;
  std::string message;  // one line, for tools and logs
};

// Parses a whole file held in memory. Damaged tags after a good header are
// skipped or end the timeline early; only a bad header fails the load.
LoadResult LoadMovie(std::span<const uint8_t> file, const LoadLimits& limits = {});

}  // namespace orrivel::swf
