// Runs arbitrary bytes as the frame scripts of a small movie: the first byte
// picks the SWF version, the rest is split into the actions of two frames of
// the main timeline and one frame of a placed sprite named "mc". The frames
// loop, so every block runs several times; input events follow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace {

using namespace orrivel;
using namespace orrivel::swf;

DoAction Block(std::span<const uint8_t> bytes) {
  DoAction a;
  a.actions.assign(bytes.begin(), bytes.end());
  a.actions.push_back(0);
  return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NativeImageDecoder decoder;
  if (size < 1) return 0;
  auto movie = std::make_unique<Movie>();
  movie->header.version = static_cast<uint8_t>(4 + data[0] % 7);
  movie->header.frameSize = Rect{0, 200 * 20, 0, 150 * 20};
  movie->header.frameRate = 30;
  const std::span<const uint8_t> code(data + 1, size - 1);
  const std::size_t third = code.size() / 3;
  ShapeDefinition shape;
  shape.id = 1;
  movie->characters.emplace(1, shape);
  SpriteDefinition sprite;
  sprite.id = 2;
  Frame spriteFrame;
  PlaceObject inner;
  inner.depth = 1;
  inner.characterId = 1;
  spriteFrame.tags.push_back(inner);
  spriteFrame.tags.push_back(Block(code.subspan(2 * third)));
  sprite.timeline.frames = {spriteFrame, Frame{}};
  movie->characters.emplace(2, std::move(sprite));
  Frame first, second;
  PlaceObject place;
  place.depth = 1;
  place.characterId = 2;
  place.name = "mc";
  first.tags.push_back(place);
  first.tags.push_back(Block(code.subspan(0, third)));
  second.tags.push_back(Block(code.subspan(third, third)));
  movie->timeline.frames = {first, second};
  movie->header.frameCount = 2;
  movie->exports.emplace("mc", 2);

  Player player(decoder);
  player.SetTraceSink([](const std::string&) {});
  if (!player.LoadParsed(std::move(movie))) return 0;
  std::vector<uint32_t> pixels(32 * 24);
  raster::Canvas canvas{pixels.data(), 32, 24, 32};
  Player::ShownFrame shown;
  for (int i = 0; i < 4; ++i) {
    player.StepFrame();
    player.MouseMove(i * 7.0, i * 5.0);
    if (i == 1) player.MouseDown();
    if (i == 2) player.MouseUp();
    player.KeyPress(static_cast<uint16_t>(32 + i));
    player.RenderChanges(canvas, shown);
  }
  return 0;
}
