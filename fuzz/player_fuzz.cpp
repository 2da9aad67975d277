// Loads arbitrary bytes as a movie, plays a few frames and renders them small
// (whole, and then only where they changed);
// the last bytes also drive the pointer and the keys, so buttons are fuzzed.
#include <algorithm>
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
  // Before any Render the pointer maps through the stage's own size.
  player.MouseMove(static_cast<double>(size % 600), static_cast<double>(size % 450));
  // Large enough that still pictures and gradients are kept between renders.
  std::vector<uint32_t> pixels(80 * 60);
  raster::Canvas canvas{pixels.data(), 80, 60, 80};
  Player::ShownFrame shown;
  player.RenderChanges(canvas, shown);
  player.SetQuality(Quality::Low);
  for (int i = 0; i < 3; ++i) {
    player.Advance(player.SecondsPerFrame());
    player.RenderChanges(canvas, shown);  // only what changed: the damage is fuzzed too
  }
  // A byte is one event: its low 3 bits the kind, the rest its argument.
  for (size_t i = size - std::min<size_t>(size, 24); i < size; ++i) {
    const uint8_t b = data[i];
    switch (b & 7) {
      case 0:
      case 1:
      case 2:  // around and a little beyond the 80x60 target
        player.MouseMove((b >> 3) * 2.5 - 4, (b * 37) % 68 - 4.0);
        break;
      case 3:
        player.MouseDown();
        break;
      case 4:
        player.MouseUp();
        break;
      case 5:
        player.KeyPress(static_cast<uint16_t>(b >> 1));
        break;
      case 6:
        player.MouseLeave();
        break;
      default:
        player.Advance(player.SecondsPerFrame());
        player.WantsHandCursor();
        break;
    }
  }
  player.Render(canvas);
  return 0;
}
