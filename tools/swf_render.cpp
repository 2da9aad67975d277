// swf-render: plays a SWF movie for some frames and writes the last one as a
// PNG, describes the movie (--info) or prints its actions (--disassemble).
//
//   swf-render MOVIE.swf --frames N --out OUT.png [--size WxH] [--quality high|low]
//   swf-render MOVIE.swf --frames N --audio-out OUT.wav   (the sound of those frames)
//   swf-render MOVIE.swf --frames N --trace [--out OUT.png]
//   swf-render MOVIE.swf --info
//   swf-render MOVIE.swf --disassemble
//
// With --trace every trace() line goes to standard output; requests the
// player refuses (network, programs) are reported on standard error.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "png_io.h"
#include "wav_writer.h"
#include "swf/avm1/action_reader.h"
#include "swf/avm1/movie_actions.h"
#include "swf/format/tag_names.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"
#include "swf/sound/mixer.h"
#include "swf/sound/mpg123_decoder_native.h"

namespace {

using namespace orrivel;

constexpr int kMaxSide = 8192;
constexpr long kMaxFrames = 100000;

struct Options {
  std::string movie;
  std::string out;
  std::string audioOut;
  long frames = 1;
  int width = 0, height = 0;  // 0: the stage size
  swf::Quality quality = swf::Quality::High;
  bool info = false;
  bool disassemble = false;
  bool trace = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "swf-render: %s\n", message.c_str());
  return 1;
}

bool ParseLong(const std::string& s, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 10);
  return *end == '\0';
}

// Returns an error text, empty when the command line is good.
std::string ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](std::string& v) {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--info") {
      o.info = true;
    } else if (arg == "--disassemble") {
      o.disassemble = true;
    } else if (arg == "--trace") {
      o.trace = true;
    } else if (arg == "--frames") {
      if (!value(v) || !ParseLong(v, o.frames) || o.frames < 1 || o.frames > kMaxFrames)
        return "--frames needs a number from 1 to " + std::to_string(kMaxFrames);
    } else if (arg == "--out") {
      if (!value(o.out)) return "--out needs a file name";
    } else if (arg == "--size") {
      long w = 0, h = 0;
      const std::size_t x = value(v) ? v.find('x') : std::string::npos;
      if (x == std::string::npos || !ParseLong(v.substr(0, x), w) ||
          !ParseLong(v.substr(x + 1), h) || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
        return "--size needs WxH, each from 1 to " + std::to_string(kMaxSide);
      o.width = static_cast<int>(w);
      o.height = static_cast<int>(h);
    } else if (arg == "--quality") {
      if (!value(v) || (v != "high" && v != "low")) return "--quality needs high or low";
      o.quality = v == "low" ? swf::Quality::Low : swf::Quality::High;
    } else if (arg == "--audio-out") {
      if (!value(o.audioOut)) return "--audio-out needs a file name";
    } else if (!arg.empty() && arg[0] != '-' && o.movie.empty()) {
      o.movie = arg;
    } else {
      return "unknown argument: " + arg;
    }
  }
  if (o.movie.empty()) return "no movie given";
  if (!o.info && !o.disassemble && !o.trace && o.out.empty() && o.audioOut.empty())
    return "--out, --audio-out or --trace is required (or --info, --disassemble)";
  return {};
}

void PrintInfo(const swf::Movie& m) {
  const swf::Header& h = m.header;
  std::printf("signature: %.3s\n", h.signature);
  std::printf("version: %u\n", h.version);
  const double tw = kTwipsPerPixel;
  std::printf("stage: %gx%g px (twips %d,%d to %d,%d)\n", h.frameSize.Width() / tw,
              h.frameSize.Height() / tw, h.frameSize.xMin, h.frameSize.yMin, h.frameSize.xMax,
              h.frameSize.yMax);
  std::printf("frame rate: %g\n", h.frameRate);
  std::printf("frame count: %u (present: %zu)\n", h.frameCount, m.timeline.frames.size());
  if (m.backgroundColor) {
    std::printf("background: #%02x%02x%02x\n", m.backgroundColor->r, m.backgroundColor->g,
                m.backgroundColor->b);
  }
  std::printf("characters: %zu\n", m.characters.size());
  // Tags in order of first appearance, with counts (those inside sprites apart).
  std::vector<std::pair<uint16_t, int>> order;
  std::map<std::pair<uint16_t, int>, int> counts;
  for (const swf::TagInfo& t : m.tags) {
    const auto key = std::make_pair(t.code, t.spriteDepth > 0 ? 1 : 0);
    if (counts[key]++ == 0) order.push_back(key);
  }
  // Unknown actions are skipped by their length when they run.
  std::size_t blocks = 0, actions = 0, unknown = 0;
  for (const swf::avm1::ActionBlock& block : swf::avm1::ActionBlocksOf(m)) {
    const swf::avm1::BlockSummary s = swf::avm1::Summarize(block.code);
    ++blocks;
    actions += s.actions;
    unknown += s.unknown;
  }
  std::printf("action blocks: %zu (actions: %zu, unknown actions: %zu)\n", blocks, actions,
              unknown);
  std::printf("tags: %zu\n", m.tags.size());
  for (const auto& key : order) {
    std::printf("  %-28s %5d%s\n", swf::TagName(key.first), counts[key],
                key.second ? "  (in sprites)" : "");
  }
}

void PrintActions(const swf::Movie& m) {
  std::size_t unknown = 0;
  for (const swf::avm1::ActionBlock& block : swf::avm1::ActionBlocksOf(m)) {
    std::printf("; %s (%zu bytes)\n", block.where.c_str(), block.code.size());
    const std::string text = swf::avm1::Disassemble(block.code);
    std::fwrite(text.data(), 1, text.size(), stdout);
    unknown += swf::avm1::Summarize(block.code).unknown;
  }
  std::printf("; unknown actions in the movie: %zu\n", unknown);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const std::string error = ParseArgs(argc, argv, o); !error.empty()) {
    std::fprintf(stderr,
                 "swf-render: %s\nusage: swf-render MOVIE.swf --frames N --out OUT.png "
                 "[--size WxH] [--quality high|low] [--audio-out OUT.wav] [--trace]\n"
                 "       swf-render MOVIE.swf --info\n"
                 "       swf-render MOVIE.swf --disassemble\n",
                 error.c_str());
    return 2;
  }
  swf::NativeImageDecoder decoder;
  swf::Player player(decoder);
  swf::Mpg123DecoderFactory mp3;
  swf::Mixer mixer(&mp3);
  if (!o.audioOut.empty()) player.SetSoundSink(&mixer);
  if (o.trace) {
    player.SetTraceSink([](const std::string& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    });
  }
  // Dates repeat from run to run: the clock starts at 2001-02-02 22:20:06 UTC.
  player.SetClockStart(981152406000);
  player.SetRefusalSink([](const std::string& what) {
    std::fprintf(stderr, "swf-render: refused %s\n", what.c_str());
  });
  if (!player.LoadFile(o.movie)) return Fail(player.LastError());
  const swf::Movie& movie = *player.GetMovie();
  if (o.info || o.disassemble) {
    if (o.info) PrintInfo(movie);
    if (o.disassemble) PrintActions(movie);
    return 0;
  }
  if (!o.audioOut.empty()) {
    // Each frame is followed by one frame period of sound; the sample count is
    // rounded per frame boundary so that no drift builds up.
    std::vector<int16_t> sound;
    const double perFrame = swf::Mixer::kRate * player.SecondsPerFrame();
    size_t written = 0;
    for (long i = 1; i <= o.frames; ++i) {
      if (i > 1) player.StepFrame();
      const auto end = static_cast<size_t>(std::llround(perFrame * static_cast<double>(i)));
      sound.resize(2 * end);
      mixer.Mix(sound.data() + 2 * written, end - written);
      written = end;
    }
    std::string error;
    if (!tools::WriteWav(o.audioOut, sound, swf::Mixer::kRate, error)) return Fail(error);
    if (o.out.empty()) return 0;
  }
  if (o.width == 0) {
    const double w = std::round(movie.header.frameSize.Width() / double{kTwipsPerPixel});
    const double h = std::round(movie.header.frameSize.Height() / double{kTwipsPerPixel});
    if (!(w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide))
      return Fail(o.movie + ": stage size unusable; give --size");
    o.width = static_cast<int>(w);
    o.height = static_cast<int>(h);
  }
  // Frame 1 is already shown after loading (and with sound, frame N).
  if (o.audioOut.empty()) {
    for (long i = 1; i < o.frames; ++i) player.StepFrame();
  }
  if (o.out.empty()) return 0;
  player.SetQuality(o.quality);
  std::vector<uint32_t> pixels(static_cast<std::size_t>(o.width) * o.height);
  swf::raster::Canvas canvas{pixels.data(), o.width, o.height, o.width};
  player.Render(canvas);
  std::string error;
  if (!tools::WritePng(o.out, tools::FromCanvas(canvas), error)) return Fail(error);
  return 0;
}
