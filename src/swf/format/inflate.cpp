#include "swf/format/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace orrivel::swf {

InflateStatus InflateCapped(std::span<const uint8_t> in, size_t maxOut, std::vector<uint8_t>& out) {
  constexpr size_t kChunk = 256 * 1024;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return InflateStatus::Corrupt;
  const size_t start = out.size();
  size_t consumed = 0;
  InflateStatus status = InflateStatus::Truncated;
  while (out.size() - start < maxOut) {
    const size_t produced = out.size() - start;
    const size_t grow = std::min(kChunk, maxOut - produced);
    out.resize(out.size() + grow);
    zs.next_out = out.data() + start + produced;
    zs.avail_out = static_cast<uInt>(grow);
    const size_t inLeft = in.size() - consumed;
    const size_t inNow = std::min<size_t>(inLeft, std::numeric_limits<uInt>::max());
    zs.next_in = const_cast<Bytef*>(in.data() + consumed);
    zs.avail_in = static_cast<uInt>(inNow);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    consumed += inNow - zs.avail_in;
    out.resize(out.size() - zs.avail_out);
    if (rc == Z_STREAM_END) {
      status = InflateStatus::Ok;
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      status = InflateStatus::Corrupt;
      break;
    }
    if (rc == Z_BUF_ERROR) break;  // no progress possible: the input ran out
  }
  // Hitting the cap counts as Ok: the caller asked for no more than that.
  if (status == InflateStatus::Truncated && out.size() - start >= maxOut) {
    status = InflateStatus::Ok;
  }
  inflateEnd(&zs);
  return status;
}

}  // namespace orrivel::swf
