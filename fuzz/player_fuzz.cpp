// Loads arbitrary bytes as a movie, plays a few frames and renders them small.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrivel::swf;
  static NativeImageDecoder decoder;
  Player player(decoder);
  if (!player.LoadMemory(std::span<const uint8_t>(data, size))) return 0;
  std::vector<uint32_t> pixels(64 * 48);
  raster::Canvas canvas{pixels.data(), 64, 48, 64};
  player.Render(canvas);
  player.SetQuality(Quality::Low);
  for (int i = 0; i < 3; ++i) {
    player.Advance(player.SecondsPerFrame());
    player.Render(canvas);
  }
  return 0;
}
