// Cost of filtered nodes at 1920x1080: a full-screen blur of radius 32 and
// a glow on a 500x500 clip, beside a plain copy of one 1920x1080 BGRA frame
// measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "swf/render/native_image_decoder.h"
#include "swf/render/renderer.h"

namespace {

using namespace orrivel::swf;

constexpr int kWidth = 1920, kHeight = 1080;

// A movie of one opaque rectangle of w x h pixels, id 1.
Movie RectMovie(int w, int h) {
  Shape s;
  FillStyle fill;
  fill.color = {40, 160, 220, 255};
  s.fillStyles = {fill};
  StyleChangeRecord start;
  start.moveTo = std::make_pair(0, 0);
  start.fillStyle1 = 1;
  s.records.push_back(start);
  const int32_t tw = w * 20, th = h * 20;
  s.records.push_back(StraightEdgeRecord{tw, 0});
  s.records.push_back(StraightEdgeRecord{0, th});
  s.records.push_back(StraightEdgeRecord{-tw, 0});
  s.records.push_back(StraightEdgeRecord{0, -th});
  ShapeDefinition def;
  def.id = 1;
  def.shape = std::move(s);
  def.bounds = {0, tw, 0, th};
  Movie movie;
  movie.characters.emplace(1, std::move(def));
  return movie;
}

void RenderFiltered(benchmark::State& state, int w, int h, const Filter& filter) {
  const Movie movie = RectMovie(w, h);
  NativeImageDecoder decoder;
  Renderer renderer(movie, decoder);
  DisplayNode root;
  root.matrix = {1.0 / 20, 0, 0, 1.0 / 20, 0, 0};
  DisplayNode node;
  node.kind = DisplayNode::Kind::Shape;
  node.characterId = 1;
  node.depth = 1;
  node.matrix.tx = (kWidth - w) / 2 * 20;
  node.matrix.ty = (kHeight - h) / 2 * 20;
  node.filters = {filter};
  root.children = {node};
  std::vector<uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight, 0xFFFFFFFFu);
  raster::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
  for (auto _ : state) {
    renderer.Render(root, canvas, Quality::High);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

void BM_FullScreenBlur32(benchmark::State& state) {
  Filter blur;
  blur.kind = Filter::Kind::Blur;
  blur.blurX = blur.blurY = 65;  // 32 pixels either side
  blur.passes = static_cast<int>(state.range(0));
  RenderFiltered(state, kWidth, kHeight, blur);
}
BENCHMARK(BM_FullScreenBlur32)->Arg(1)->Arg(3)->ArgName("passes")->Unit(benchmark::kMillisecond);

void BM_Glow500(benchmark::State& state) {
  Filter glow;
  glow.kind = Filter::Kind::Glow;
  glow.blurX = glow.blurY = 16;
  glow.strength = 2;
  glow.color = {255, 200, 0, 255};
  glow.passes = static_cast<int>(state.range(0));
  RenderFiltered(state, 500, 500, glow);
}
BENCHMARK(BM_Glow500)->Arg(1)->Arg(3)->ArgName("passes")->Unit(benchmark::kMillisecond);

void BM_CopyFrame(benchmark::State& state) {
  std::vector<uint32_t> src(static_cast<std::size_t>(kWidth) * kHeight, 0xFF336699u);
  std::vector<uint32_t> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyFrame)->Unit(benchmark::kMillisecond);

}  // namespace
