// The mixer's CPU per second of sound: 8 voices resampled from 22 kHz (with
// and without envelopes) against copying a second of 44.1 kHz stereo, the
// floor any output path pays.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "swf/sound/mixer.h"

namespace {

using namespace orrivel::swf;

std::shared_ptr<SoundDefinition> Tone(uint16_t id, int seconds) {
  auto def = std::make_shared<SoundDefinition>();
  def->id = id;
  def->format = {SoundFormat::PcmLittle, 2, true, false};
  const int n = 22050 * seconds;
  for (int i = 0; i < n; ++i) {
    const auto s = static_cast<int16_t>(3000 * std::sin(i * 0.05 * id));
    def->data.push_back(static_cast<uint8_t>(s));
    def->data.push_back(static_cast<uint8_t>(s >> 8));
  }
  def->sampleCount = static_cast<uint32_t>(n);
  return def;
}

void MixVoices(benchmark::State& state) {
  const bool envelope = state.range(1) != 0;
  std::vector<std::shared_ptr<SoundDefinition>> sounds;
  for (int v = 0; v < state.range(0); ++v) sounds.push_back(Tone(static_cast<uint16_t>(v + 1), 2));
  SoundInfo info;
  info.loopCount = 65535;
  if (envelope) info.envelope = {{0, 0, 32768}, {44100, 32768, 0}, {88200, 16384, 16384}};
  Mixer mixer(nullptr);
  for (const auto& s : sounds) mixer.Start(s, info);
  std::vector<int16_t> out(2 * 1024);
  for (auto _ : state) {
    for (int done = 0; done < Mixer::kRate; done += 1024) mixer.Mix(out.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel("per second of sound");
}
BENCHMARK(MixVoices)->Args({8, 0})->Args({8, 1})->Args({1, 0})->Unit(benchmark::kMicrosecond);

void CopyOneSecond(benchmark::State& state) {
  std::vector<int16_t> from(2 * Mixer::kRate, 7), to(2 * Mixer::kRate);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size() * sizeof(int16_t));
    benchmark::DoNotOptimize(to.data());
  }
}
BENCHMARK(CopyOneSecond)->Unit(benchmark::kMicrosecond);

}  // namespace
