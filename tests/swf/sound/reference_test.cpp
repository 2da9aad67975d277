// Our decoding and mixing against other programs' decoding of the same data:
// mpg123 for the corpus MP3 sounds, ffmpeg for ADPCM (its own encoder and
// decoder, through FLV) and for an MP3 stream (its SWF writer and reader).
// Both sides are compared at 44.1 kHz stereo after finding the best lag
// (decoders differ in the delay they drop), as a signal-to-noise ratio.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "swf/format/reader.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"
#include "swf/sound/sample_source.h"
#include "swf/sound/mixer.h"
#include "swf/sound/mpg123_decoder_native.h"

namespace orrivel::swf {
namespace {

namespace fs = std::filesystem;
const fs::path kCorpus = ORRIVEL_CORPUS_DIR;

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<int16_t> ReadRaw(const fs::path& p) {
  const auto bytes = ReadBytes(p);
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return s;
}

// A folder of its own for one test, removed after it: two runs at once (two
// checkouts) must not share files.
class TempDir {
 public:
  explicit TempDir(const std::string& name) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("orrivel_sound_" + name + "_" + std::to_string(stamp));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  fs::path operator/(const char* name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Runs a command line; false (with the reason in the test log) on failure.
bool Shell(const std::string& command) {
  const int rc = std::system((command + " 2>/dev/null").c_str());
  if (rc != 0) ADD_FAILURE() << "failed (" << rc << "): " << command;
  return rc == 0;
}

struct Match {
  long lag = 0;
  double snrDb = 0;
  size_t overlap = 0;
};

// The lag (in frames, within +-maxLag) where our stereo mix best matches the
// reference (mono or stereo), and the SNR there over the frames both have.
Match Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& ref, int refChannels,
              long maxLag) {
  const int rc = refChannels;
  const long a = static_cast<long>(ours.size() / 2), b = static_cast<long>(ref.size() / rc);
  Match best;
  double bestErr = -1;
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double err = 0, sig = 0;
    long n = 0;
    for (long i = std::max(0L, -lag); i < a && i + lag < b; i += 3, ++n) {
      const double d = ours[2 * i] - ref[rc * (i + lag)];
      err += d * d;
      sig += double(ref[rc * (i + lag)]) * ref[rc * (i + lag)];
    }
    if (n < 1000 || sig == 0) continue;
    if (bestErr < 0 || err / sig < bestErr) {
      bestErr = err / sig;
      best.lag = lag;
    }
  }
  double err = 0, sig = 0;
  for (long i = std::max(0L, -best.lag); i < a && i + best.lag < b; ++i, ++best.overlap) {
    for (int c = 0; c < 2; ++c) {
      const double r = ref[rc * (i + best.lag) + c % rc];
      err += (ours[2 * i + c] - r) * (ours[2 * i + c] - r);
      sig += r * r;
    }
  }
  best.snrDb = 10 * std::log10(sig / std::max(err, 1.0));
  return best;
}

std::vector<int16_t> MixAll(Mixer& m, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  for (size_t done = 0; done < frames; done += 1024)
    m.Mix(out.data() + 2 * done, std::min<size_t>(1024, frames - done));
  return out;
}

// The corpus's event MP3 sounds (22 and 11 kHz mono), mixed, against mpg123's
// decoding resampled by ffmpeg.
TEST(SoundReference, CorpusMp3EventSoundsMatchMpg123) {
  const fs::path movie = kCorpus / "misc/shumway/examples/racing/race.swf";
  ASSERT_TRUE(fs::exists(movie)) << "no corpus at " << movie;
  const auto bytes = ReadBytes(movie);
  const LoadResult loaded = LoadMovie(bytes);
  ASSERT_TRUE(loaded.movie);
  const TempDir dir("mp3event");
  for (const uint16_t id : {1, 2}) {
    SCOPED_TRACE(id);
    const auto& def = loaded.movie->sounds.at(id);
    ASSERT_EQ(def->format.format, SoundFormat::Mp3);
    const fs::path mp3 = dir / "sound.mp3", native = dir / "native.raw", raw = dir / "ref.raw";
    std::ofstream(mp3, std::ios::binary)
        .write(reinterpret_cast<const char*>(def->data.data() + 2), def->data.size() - 2);
    ASSERT_TRUE(Shell("mpg123 -q -s --mono " + mp3.string() + " > " + native.string()));
    ASSERT_TRUE(Shell("ffmpeg -y -f s16le -ac 1 -ar " + std::to_string(def->format.Rate()) +
                      " -i " + native.string() + " -f s16le -ar 44100 " + raw.string()));
    Mpg123DecoderFactory factory;
    Mixer mixer(&factory);
    mixer.Start(def, {});
    const auto ours = MixAll(mixer, def->sampleCount * 44100ull / def->format.Rate());
    // The sound starts after its SeekSamples (the encoder's delay). Linear
    // interpolation leaves images of a full-band 11 kHz sound that a
    // filtering resampler removes: hence the lower bound there.
    const Match m = Compare(ours, ReadRaw(raw), 1, 4 * 2400);
    EXPECT_GT(m.overlap, ours.size() / 2 * 9 / 10);
    EXPECT_GT(m.snrDb, def->format.Rate() >= 22050 ? 20 : 10) << "lag " << m.lag;
  }
}

// One FLV audio tag per frame: FLV carries ADPCM in the same packets as
// SoundStreamBlock, after a format byte that matches SoundStreamHead's.
std::unique_ptr<Movie> MovieFromFlv(const std::vector<uint8_t>& flv) {
  auto movie = std::make_unique<Movie>();
  for (size_t p = 13; p + 11 <= flv.size();) {
    const uint8_t type = flv[p];
    const size_t size = (flv[p + 1] << 16) | (flv[p + 2] << 8) | flv[p + 3];
    if (p + 11 + size > flv.size()) break;
    if (type == 8 && size > 1) {
      const uint8_t format = flv[p + 11];
      SoundStreamHead head;
      head.stream = {static_cast<SoundFormat>(format >> 4), static_cast<uint8_t>((format >> 2) & 3),
                     (format & 2) != 0, (format & 1) != 0};
      if (!movie->timeline.streamHead) movie->timeline.streamHead = head;
      Frame f;
      f.streamBlock.emplace(flv.begin() + p + 12, flv.begin() + p + 11 + size);
      movie->timeline.frames.push_back(std::move(f));
    }
    p += 11 + size + 4;
  }
  return movie;
}

// The decoder against ffmpeg's at the sound's own rate (they must agree to
// the sample), then the mix at 44.1 kHz against ffmpeg's resampling.
TEST(SoundReference, AdpcmStreamsMatchFfmpeg) {
  struct Case {
    int rate, channels;
    double minSnrDb;  // of the mix; linear interpolation against a filtering resampler
  };
  const Case cases[] = {{22050, 1, 33}, {11025, 2, 24}, {44100, 2, 90}};
  const TempDir dir("adpcm");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
    const std::string ch = std::to_string(c.channels);
    const fs::path flv = dir / "a.flv", native = dir / "native.raw", raw = dir / "ref.raw";
    // A rising tone that swells, so that the step sizes move both ways.
    ASSERT_TRUE(
        Shell("ffmpeg -y -f lavfi -i \"aevalsrc=(0.05+0.45*t)*sin(2*PI*(200+300*t)*t)|"
              "0.3*sin(2*PI*330*t):s=44100:d=2\" -c:a adpcm_swf -ar " +
              std::to_string(c.rate) + " -ac " + ch + " " + flv.string()));
    ASSERT_TRUE(Shell("ffmpeg -y -i " + flv.string() + " -f s16le " + native.string()));
    ASSERT_TRUE(Shell("ffmpeg -y -i " + flv.string() + " -f s16le -ar 44100 " + raw.string()));
    const auto movie = MovieFromFlv(ReadBytes(flv));
    ASSERT_TRUE(movie->timeline.streamHead);
    const SoundFormatInfo format = movie->timeline.streamHead->stream;
    ASSERT_EQ(format.format, SoundFormat::Adpcm);

    std::vector<int16_t> decoded;
    for (const Frame& f : movie->timeline.frames) {
      auto source = MakeAdpcmSource(*f.streamBlock, format);
      int16_t buf[2048];
      while (const size_t n = source->Read(buf, 1024))
        decoded.insert(decoded.end(), buf, buf + 2 * n);
    }
    const auto ref = ReadRaw(native);
    ASSERT_EQ(decoded.size() / 2, ref.size() / c.channels);
    int worst = 0;
    for (size_t i = 0; i < ref.size(); ++i)
      worst = std::max(worst, std::abs(decoded[i / c.channels * 2 + i % c.channels] - ref[i]));
    EXPECT_LE(worst, 1);

    Mixer mixer(nullptr);
    for (int f = 0; f < static_cast<int>(movie->timeline.frames.size()); ++f)
      mixer.OnFrame(*movie, movie->timeline, f, movie.get());
    const auto ours = MixAll(mixer, 2 * 44100);
    const Match m = Compare(ours, ReadRaw(raw), c.channels, 64);
    EXPECT_GT(m.snrDb, c.minSnrDb) << "lag " << m.lag;
  }
}

// An MP3 stream movie written by ffmpeg, played frame by frame as swf-render
// does, against mpg123's decoding of its blocks' MP3 frames (ffmpeg
// resampling it).
TEST(SoundReference, Mp3StreamMovieMatchesMpg123) {
  const TempDir dir("mp3stream");
  const fs::path swf = dir / "s.swf", mp3 = dir / "s.mp3", native = dir / "native.raw",
                 raw = dir / "ref.raw";
  ASSERT_TRUE(
      Shell("ffmpeg -y -f lavfi -i \"sine=frequency=440:sample_rate=22050:d=2\" -c:a "
            "libmp3lame -ar 22050 -ac 1 " +
            swf.string()));
  LoadResult loaded = LoadMovie(ReadBytes(swf));
  ASSERT_TRUE(loaded.movie && loaded.movie->timeline.streamHead);
  std::ofstream out(mp3, std::ios::binary);
  for (const Frame& f : loaded.movie->timeline.frames) {
    ASSERT_TRUE(f.streamBlock && f.streamBlock->size() > 4);
    out.write(reinterpret_cast<const char*>(f.streamBlock->data() + 4), f.streamBlock->size() - 4);
  }
  out.close();
  ASSERT_TRUE(Shell("mpg123 -q -s --mono " + mp3.string() + " > " + native.string()));
  ASSERT_TRUE(Shell("ffmpeg -y -f s16le -ac 1 -ar 22050 -i " + native.string() +
                    " -f s16le -ar 44100 " + raw.string()));
  // ffmpeg puts one 576-sample MP3 frame in each block but declares 10 fps;
  // the picture runs at the sound's pace, as a stream makes it.
  loaded.movie->header.frameRate = 22050.0f / 576;
  NativeImageDecoder images;
  Mpg123DecoderFactory factory;
  Mixer mixer(&factory);
  Player player(images);
  player.SetSoundSink(&mixer);
  ASSERT_TRUE(player.LoadParsed(std::move(loaded.movie)));
  const double perFrame = 44100 * player.SecondsPerFrame();
  std::vector<int16_t> ours;
  for (int i = 1; i <= 70; ++i) {
    if (i > 1) player.StepFrame();
    const size_t from = ours.size() / 2, to = static_cast<size_t>(std::llround(perFrame * i));
    ours.resize(2 * to);
    mixer.Mix(ours.data() + 2 * from, to - from);
    if (i == 20) {
      EXPECT_NEAR(mixer.MainStreamFrame().value_or(-1), 19, 1.5);
    }
  }
  const Match m = Compare(ours, ReadRaw(raw), 1, 2400);
  EXPECT_GT(m.overlap, ours.size() / 2 * 9 / 10);
  EXPECT_GT(m.snrDb, 45) << "lag " << m.lag;
}

}  // namespace
}  // namespace orrivel::swf
