// Script speed: simple actions per second, and the cost of a frame of a
// particle movie (500 clips, each moved by its enterFrame handler) played
// and rendered at 1920x1080.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace {

using namespace orrivel;
using namespace orrivel::swf;
using Bytes = std::vector<uint8_t>;

Bytes Op(uint8_t code, const Bytes& payload = {}) {
  Bytes out{code};
  if (code >= 0x80) {
    out.push_back(static_cast<uint8_t>(payload.size()));
    out.push_back(static_cast<uint8_t>(payload.size() >> 8));
    out.insert(out.end(), payload.begin(), payload.end());
  }
  return out;
}
Bytes Str(const std::string& s) {
  Bytes p{0};
  p.insert(p.end(), s.begin(), s.end());
  p.push_back(0);
  return Op(0x96, p);
}
Bytes Int(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  return Op(0x96, {7, uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)});
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Branch(uint8_t code, int16_t offset) {
  const auto u = static_cast<uint16_t>(offset);
  return Op(code, {uint8_t(u), uint8_t(u >> 8)});
}

// i = 0; while (i < n) { x = x + i; i = i + 1; }
Bytes CountingLoop(int n) {
  const Bytes body = Cat({Str("x"), Str("x"), Op(0x1C), Str("i"), Op(0x1C), Op(0x47), Op(0x1D),
                          Str("i"), Str("i"), Op(0x1C), Op(0x50), Op(0x1D)});
  const Bytes test = Cat({Str("i"), Op(0x1C), Int(n), Op(0x48), Op(0x12)});
  const int16_t exit = static_cast<int16_t>(body.size() + 5);
  const int16_t back = static_cast<int16_t>(-(test.size() + 5 + body.size() + 5));
  return Cat(
      {Str("i"), Int(0), Op(0x1D), test, Branch(0x9D, exit), body, Branch(0x99, back), Bytes{0}});
}

std::unique_ptr<Movie> BaseMovie(int width, int height) {
  auto m = std::make_unique<Movie>();
  m->header.version = 8;
  m->header.frameSize = Rect{0, width * 20, 0, height * 20};
  m->header.frameRate = 30;
  return m;
}

void BM_SimpleActions(benchmark::State& state) {
  std::unique_ptr<Movie> m = BaseMovie(100, 100);
  Frame f;
  f.tags.push_back(DoAction{CountingLoop(20000)});
  m->timeline.frames = {f, f};
  MovieRunner runner(*m);
  uint64_t steps = 0;
  for (auto _ : state) {
    runner.Tick();
    steps += runner.Vm().StepsThisFrame();
  }
  state.SetItemsProcessed(static_cast<int64_t>(steps));  // items: actions run
}
BENCHMARK(BM_SimpleActions)->Unit(benchmark::kMillisecond);

// A 24x24 px square in twips around the origin.
ShapeDefinition Square(uint16_t id) {
  ShapeDefinition s;
  s.id = id;
  s.bounds = Rect{-240, 240, -240, 240};
  FillStyle fill;
  fill.color = Rgba{200, 80, 40, 255};
  s.shape.fillStyles = {fill};
  StyleChangeRecord start;
  start.moveTo = std::make_pair(-240, -240);
  start.fillStyle1 = 1;
  s.shape.records = {start, StraightEdgeRecord{480, 0}, StraightEdgeRecord{0, 480},
                     StraightEdgeRecord{-480, 0}, StraightEdgeRecord{0, -480}};
  return s;
}

void BM_ParticleFrame(benchmark::State& state) {
  std::unique_ptr<Movie> m = BaseMovie(1920, 1080);
  m->characters.emplace(1, Square(1));
  SpriteDefinition particle;
  particle.id = 2;
  Frame inner;
  PlaceObject shape;
  shape.depth = 1;
  shape.characterId = 1;
  inner.tags.push_back(shape);
  particle.timeline.frames = {inner};
  m->characters.emplace(2, std::move(particle));
  // onClipEvent(enterFrame) { _x = (_x + 7) % 1920; _y = (_y + 3) % 1080; }
  const auto move = [](int index, int step, int wrap) {
    return Cat({Str(""), Int(index), Str(""), Int(index), Op(0x22), Int(step), Op(0x47), Int(wrap),
                Op(0x3F), Op(0x23)});
  };
  const Bytes handler = Cat({move(0, 7, 1920), move(1, 3, 1080), Bytes{0}});
  Frame frame;
  for (int i = 0; i < 500; ++i) {
    PlaceObject p;
    p.version = 2;
    p.depth = static_cast<uint16_t>(i + 1);
    p.characterId = 2;
    p.matrix = Matrix{1, 0, 0, 1, (i * 37 % 1920) * 20.0, (i * 53 % 1080) * 20.0};
    p.clipActionRecords = {ClipAction{kClipEventEnterFrame, 0, handler}};
    p.hasClipActions = true;
    frame.tags.push_back(p);
  }
  m->timeline.frames = {frame};
  NativeImageDecoder decoder;
  Player player(decoder);
  player.LoadParsed(std::move(m));
  player.SetQuality(Quality::High);
  std::vector<uint32_t> pixels(1920 * 1080);
  raster::Canvas canvas{pixels.data(), 1920, 1080, 1920};
  Player::ShownFrame shown;
  for (auto _ : state) {
    player.StepFrame();
    player.RenderChanges(canvas, shown);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_ParticleFrame)->Unit(benchmark::kMillisecond);

}  // namespace
