// Decode time per frame at 640x480 for each video codec (our decoders also
// convert every picture to BGRA), beside ffmpeg's single-threaded decode of
// the same stream measured in the same run. Compare CPU columns: the machine
// may be shared. Streams are made by ffmpeg; without it the benchmarks skip.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// ffmpeg's own account of its decoding CPU time (-benchmark's utime), per
// frame: its start-up and file reading are left out as far as it can tell.
void DecodeFfmpeg(benchmark::State& state, const char* codec, const char* name) {
  const Stream* s = MakeStream(codec, name);
  if (!s) {
    state.SkipWithError("no ffmpeg to make the stream");
    return;
  }
  const std::string cmd = "ffmpeg -hide_banner -nostats -benchmark -threads 1 -i " +
                          s->file.string() + " -f null - 2>&1";
  for (auto _ : state) {
    double utime = -1;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char line[512];
      while (std::fgets(line, sizeof line, p) != nullptr) {
        if (const char* u = std::strstr(line, "utime=")) utime = std::atof(u + 6);
      }
      pclose(p);
    }
    if (utime < 0) {
      state.SkipWithError("ffmpeg gave no timing");
      return;
    }
    state.SetIterationTime(utime / static_cast<double>(s->packets.size()));
  }
}

BENCHMARK_CAPTURE(DecodeOurs, spark_640x480, 2, "flv1", "spark")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeFfmpeg, spark_640x480, "flv1", "spark")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeOurs, screen_640x480, 3, "flashsv", "screen")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeFfmpeg, screen_640x480, "flashsv", "screen")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);
// A quality setting makes ffmpeg write the 24-bit blocks this decoder reads.
BENCHMARK_CAPTURE(DecodeOurs, screen2_640x480, 6, "flashsv2 -q:v 5", "screen2")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeFfmpeg, screen2_640x480, "flashsv2 -q:v 5", "screen2")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
