#include "swf/render/gif_decoder.h"

#include <array>
#include <cstring>

#include "base/byte_reader.h"

namespace orrivel::swf {

namespace {

constexpr uint8_t kExtensionBlock = 0x21;
constexpr uint8_t kImageBlock = 0x2C;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kHasColorTable = 0x80;  // screen and image flags
constexpr uint8_t kColorTableSize = 0x07;
constexpr uint8_t kInterlaced = 0x40;       // image flags
constexpr uint8_t kHasTransparency = 0x01;  // graphic control flags

// Concatenates data sub-blocks up to the zero-length terminator; a block cut
// short by the end of the data ends the list without failing.
std::vector<uint8_t> SubBlocks(ByteReader& r) {
  std::vector<uint8_t> out;
  while (!r.Failed()) {
    const uint8_t n = r.U8();
    if (n == 0 || n > r.Remaining()) break;
    const auto block = r.Bytes(n);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

void SkipSubBlocks(ByteReader& r) {
  while (!r.Failed()) {
    const uint8_t n = r.U8();
    if (n == 0) break;
    r.Skip(n);
  }
}

// Variable-width LZW as GIF uses it; stops quietly at the end of the data
// or at the pixel count, whichever comes first.
std::vector<uint8_t> Lzw(const std::vector<uint8_t>& in, int minCodeSize, size_t pixels) {
  std::vector<uint8_t> out;
  if (minCodeSize < 2 || minCodeSize > 11) return out;
  out.reserve(pixels);
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  std::array<uint16_t, 4096> prefix{};
  std::array<uint8_t, 4096> suffix{};
  std::array<uint8_t, 4096> firstByte{};
  std::array<uint8_t, 4097> stack{};
  for (int i = 0; i < clear; ++i) {
    suffix[i] = static_cast<uint8_t>(i);
    firstByte[i] = static_cast<uint8_t>(i);
  }
  int codeSize = minCodeSize + 1;
  int next = clear + 2;
  int prev = -1;
  uint32_t bits = 0;
  int bitCount = 0;
  size_t pos = 0;
  while (out.size() < pixels) {
    while (bitCount < codeSize && pos < in.size()) {
      bits |= static_cast<uint32_t>(in[pos++]) << bitCount;
      bitCount += 8;
    }
    if (bitCount < codeSize) break;
    const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
    bits >>= codeSize;
    bitCount -= codeSize;
    if (code == clear) {
      codeSize = minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) break;
    int cur = code;
    size_t depth = 0;
    if (prev < 0) {
      if (code >= clear) break;
      out.push_back(static_cast<uint8_t>(code));
      prev = code;
      continue;
    }
    if (code > next || (code == next && next >= 4096)) break;  // damaged stream
    if (code == next) {                                        // the KwKwK case
      stack[depth++] = firstByte[prev];
      cur = prev;
    }
    while (cur >= clear) {
      stack[depth++] = suffix[cur];
      cur = prefix[cur];
    }
    stack[depth++] = static_cast<uint8_t>(cur);
    while (depth > 0 && out.size() < pixels) out.push_back(stack[--depth]);
    if (next < 4096) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = static_cast<uint8_t>(cur);
      firstByte[next] = firstByte[prev];
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    prev = code;
  }
  return out;
}

}  // namespace

std::optional<raster::Image> DecodeGif(std::span<const uint8_t> data, uint64_t maxPixels) {
  if (data.size() < 13 || std::memcmp(data.data(), "GIF8", 4) != 0) return std::nullopt;
  ByteReader r(data);
  r.Skip(6);
  const uint16_t screenW = r.U16(), screenH = r.U16();
  const uint8_t flags = r.U8();
  r.Skip(2);  // background index (drawn transparent, as browsers do), pixel ratio
  std::array<uint32_t, 256> global{};
  auto readTable = [&r](std::array<uint32_t, 256>& table, int entries) {
    for (int i = 0; i < entries; ++i) {
      const uint32_t red = r.U8(), green = r.U8(), blue = r.U8();
      table[i] = 0xFF000000u | (red << 16) | (green << 8) | blue;
    }
  };
  if (flags & kHasColorTable) readTable(global, 2 << (flags & kColorTableSize));
  if (screenW == 0 || screenH == 0 || static_cast<uint64_t>(screenW) * screenH > maxPixels) {
    return std::nullopt;
  }

  int transparent = -1;
  while (!r.Failed()) {
    const uint8_t block = r.U8();
    if (block == kExtensionBlock) {
      const uint8_t label = r.U8();
      if (label == kGraphicControlLabel) {
        const std::vector<uint8_t> gce = SubBlocks(r);
        if (gce.size() >= 4 && (gce[0] & kHasTransparency)) transparent = gce[3];
      } else {
        SkipSubBlocks(r);
      }
      continue;
    }
    if (block != kImageBlock) return std::nullopt;  // trailer or damage before any picture

    const uint16_t left = r.U16(), top = r.U16(), w = r.U16(), h = r.U16();
    const uint8_t imageFlags = r.U8();
    std::array<uint32_t, 256> local = global;
    if (imageFlags & kHasColorTable) readTable(local, 2 << (imageFlags & kColorTableSize));
    const int minCodeSize = r.U8();
    const std::vector<uint8_t> compressed = SubBlocks(r);
    if (r.Failed() && compressed.empty()) return std::nullopt;
    const std::vector<uint8_t> indices = Lzw(compressed, minCodeSize, static_cast<size_t>(w) * h);

    raster::Image image;
    image.width = screenW;
    image.height = screenH;
    image.pixels.assign(static_cast<size_t>(screenW) * screenH, 0);
    // Interlaced rows come in four passes.
    std::vector<int> rowOrder;
    rowOrder.reserve(h);
    if (imageFlags & kInterlaced) {
      for (int y = 0; y < h; y += 8) rowOrder.push_back(y);
      for (int y = 4; y < h; y += 8) rowOrder.push_back(y);
      for (int y = 2; y < h; y += 4) rowOrder.push_back(y);
      for (int y = 1; y < h; y += 2) rowOrder.push_back(y);
    } else {
      for (int y = 0; y < h; ++y) rowOrder.push_back(y);
    }
    for (size_t i = 0; i < indices.size(); ++i) {
      const int y = top + rowOrder[i / w];
      const int x = left + static_cast<int>(i % w);
      if (x >= screenW || y >= screenH || indices[i] == transparent) continue;
      image.pixels[static_cast<size_t>(y) * screenW + x] = local[indices[i]];
    }
    return image;
  }
  return std::nullopt;
}

}  // namespace orrivel::swf
