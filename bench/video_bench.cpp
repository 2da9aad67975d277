// Decode time per frame at 640x480 for each video codec, beside ffmpeg's
// single-threaded decode of the same stream measured in the same run (its
// whole-process time over the frame count, so it carries its start-up too;
// the streams are long enough for that to be small). Streams are made by
// ffmpeg; without it the benchmarks skip.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "swf/video/video_decoder.h"

namespace {

namespace fs = std::filesystem;
using namespace orrivel::swf;

constexpr int kFrames = 250;

struct Stream {
  fs::path file;
  std::vector<std::vector<uint8_t>> packets;
};

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Video packets of an FLV file, without their codec byte.
std::vector<std::vector<uint8_t>> FlvPackets(const std::vector<uint8_t>& f) {
  std::vector<std::vector<uint8_t>> out;
  if (f.size() < 13) return out;
  size_t pos = 13;
  while (pos + 11 <= f.size()) {
    const size_t size = size_t{f[pos + 1]} << 16 | size_t{f[pos + 2]} << 8 | f[pos + 3];
    if (pos + 11 + size > f.size()) break;
    if (f[pos] == 9 && size > 1)
      out.emplace_back(f.begin() + pos + 12, f.begin() + pos + 11 + size);
    pos += 11 + size + 4;
  }
  return out;
}

const Stream* MakeStream(const std::string& codec, const std::string& name) {
  static std::map<std::string, Stream> streams;
  auto it = streams.find(name);
  if (it != streams.end()) return it->second.packets.empty() ? nullptr : &it->second;
  Stream s;
  s.file = fs::temp_directory_path() / ("orrivel-bench-" + name + ".flv");
  const std::string cmd =
      "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25 "
      "-frames:v " +
      std::to_string(kFrames) + " -c:v " + codec + " -b:v 1500k -g 100 " + s.file.string() +
      " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) == 0) s.packets = FlvPackets(ReadAll(s.file));
  it = streams.emplace(name, std::move(s)).first;
  return it->second.packets.empty() ? nullptr : &it->second;
}

void DecodeOurs(benchmark::State& state, uint8_t codecId, const char* codec, const char* name) {
  const Stream* s = MakeStream(codec, name);
  if (!s) {
    state.SkipWithError("no ffmpeg to make the stream");
    return;
  }
  auto decoder = video::MakeVideoDecoder(codecId, 1);
  size_t i = 0;
  for (auto _ : state) {
    // Restart at the first (key) frame so every pass decodes the same frames.
    if (i == s->packets.size()) i = 0;
    decoder->Decode(s->packets[i++]);
    benchmark::DoNotOptimize(decoder->Picture().pixels.data());
  }
  state.counters["frames"] = static_cast<double>(s->packets.size());
}

void DecodeFfmpeg(benchmark::State& state, const char* codec, const char* name) {
  const Stream* s = MakeStream(codec, name);
  if (!s) {
    state.SkipWithError("no ffmpeg to make the stream");
    return;
  }
  const std::string cmd =
      "ffmpeg -loglevel error -threads 1 -i " + s->file.string() + " -f null - >/dev/null 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds / static_cast<double>(s->packets.size()));
  }
}

BENCHMARK_CAPTURE(DecodeOurs, spark_640x480, 2, "flv1", "spark")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeFfmpeg, spark_640x480, "flv1", "spark")
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
