// LoadMovie: signature, decompression, header, then the main timeline.
#include "swf/format/reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "swf/format/inflate.h"
#include "swf/format/timeline_reader.h"

namespace orrivel::swf {
namespace {

constexpr size_t kFileHeaderSize = 8;  // signature, version, length

LoadResult Fail(LoadErrorKind kind, std::string message) {
  LoadResult result;
  result.error = kind;
  result.message = std::move(message);
  return result;
}

uint64_t ModelBudget(size_t dataSize, const LoadLimits& limits) {
  const uint64_t scaled = static_cast<uint64_t>(dataSize) * kModelBytesPerInputByte + (1u << 20);
  return std::min(scaled, limits.maxModelBytes);
}

LoadResult LoadUnchecked(std::span<const uint8_t> file, const LoadLimits& limits) {
  if (file.size() < kFileHeaderSize) return Fail(LoadErrorKind::TooShort, "file too short");
  auto movie = std::make_unique<Movie>();
  Header& header = movie->header;
  std::memcpy(header.signature, file.data(), 3);
  header.version = file[3];
  header.fileLength = static_cast<uint32_t>(file[4]) | (static_cast<uint32_t>(file[5]) << 8) |
                      (static_cast<uint32_t>(file[6]) << 16) |
                      (static_cast<uint32_t>(file[7]) << 24);
  const std::string_view sig(header.signature, 3);
  if (sig == "ZWS") return Fail(LoadErrorKind::Lzma, "LZMA-compressed SWF (ZWS) not supported");
  if (sig != "FWS" && sig != "CWS") return Fail(LoadErrorKind::BadSignature, "not a SWF file");

  // The uncompressed file: the 8 header bytes followed by the body.
  std::vector<uint8_t> inflated;
  std::span<const uint8_t> data = file;
  if (sig == "CWS") {
    if (header.fileLength > limits.maxUncompressedBytes)
      return Fail(LoadErrorKind::TooLarge, "declared uncompressed size over the limit");
    if (header.fileLength <= kFileHeaderSize)
      return Fail(LoadErrorKind::Malformed, "declared length too small");
    inflated.assign(file.begin(), file.begin() + kFileHeaderSize);
    const auto status =
        InflateCapped(file.subspan(kFileHeaderSize), header.fileLength - kFileHeaderSize, inflated);
    if (status == InflateStatus::Corrupt)
      return Fail(LoadErrorKind::Compression, "zlib data damaged");
    data = inflated;
  } else if (file.size() > limits.maxUncompressedBytes) {
    return Fail(LoadErrorKind::TooLarge, "file over the size limit");
  }
  // The declared length ends the movie: bytes after it are ignored, and a
  // length too small for the header leaves no movie at all.
  if (data.size() > header.fileLength) data = data.first(header.fileLength);
  header.bytesLoaded = static_cast<uint32_t>(data.size());

  ByteReader r(data);
  r.Seek(kFileHeaderSize);
  header.frameSize = ReadRect(r);
  header.frameRate = r.U16() / 256.0f;
  header.frameCount = r.U16();
  if (r.Failed()) return Fail(LoadErrorKind::Malformed, "header cut short");
  movie->timeline.declaredFrameCount = header.frameCount;

  Budget budget(ModelBudget(data.size(), limits));
  ParseContext ctx{header.version, limits, budget};
  TagWalkResult walk;
  ReadTimeline(r, 0, 0, movie->timeline, *movie, ctx, walk);
  if (walk.actionScript3)
    return Fail(LoadErrorKind::ActionScript3, "ActionScript 3 movie (DoABC) not supported");

  LoadResult result;
  result.message = std::to_string(movie->tags.size()) + " tags, " +
                   std::to_string(movie->timeline.frames.size()) + " frames, " +
                   std::to_string(walk.damagedTags) + " damaged";
  if (walk.budgetExhausted) result.message += ", cut short: model size limit";
  result.movie = std::move(movie);
  return result;
}

}  // namespace

LoadResult LoadMovie(std::span<const uint8_t> file, const LoadLimits& limits) {
  // The budget keeps allocations bounded; this only guards against the
  // machine itself running out.
  try {
    return LoadUnchecked(file, limits);
  } catch (const std::bad_alloc&) {
    return Fail(LoadErrorKind::TooLarge, "out of memory");
  }
}

}  // namespace orrivel::swf
