// The Windows sound path: waveOut output that starts and stops at once with
// or without a device, and the ACM MP3 decoder, which decodes the corpus's
// MP3 sound where the system has the codec and stays silent where not.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "swf/format/reader.h"
#include "swf/sound/acm_mp3_decoder_win32.h"
#include "swf/sound/sound_output_win32.h"

namespace orrivel::swf {
namespace {

TEST(SoundOutput, StartsAndStopsAtOnceWithOrWithoutDevice) {
  Mixer mixer(nullptr);
  auto def = std::make_shared<SoundDefinition>();
  def->format = {SoundFormat::PcmLittle, 3, true, false};
  def->data.assign(44100 * 2, 0x10);
  SoundInfo loops;
  loops.loopCount = 100;
  mixer.Start(def, loops);
  SoundOutput output;
  for (int round = 0; round < 3; ++round) {
    const bool started = output.Start(mixer);
    EXPECT_EQ(output.Playing(), started);
    Sleep(60);
    const auto t0 = std::chrono::steady_clock::now();
    output.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
    EXPECT_FALSE(output.Playing());
  }
}

TEST(AcmMp3Decoder, DecodesTheCorpusSoundOrNothing) {
  const std::string path = ORRIVEL_CORPUS_DIR "/misc/shumway/examples/racing/race.swf";
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "no corpus at " << path;
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const LoadResult loaded = LoadMovie(bytes);
  ASSERT_TRUE(loaded.movie);
  AcmMp3DecoderFactory factory;
  auto source = MakeEventSource(loaded.movie->sounds.at(1), &factory);
  ASSERT_TRUE(source);
  std::vector<int16_t> buf(2 * 1024);
  size_t frames = 0;
  int peak = 0;
  while (const size_t n = source->Read(buf.data(), 1024)) {
    frames += n;
    for (size_t i = 0; i < 2 * n; ++i) peak = std::max(peak, std::abs(int{buf[i]}));
    ASSERT_LT(frames, 100000u);
  }
  RecordProperty("frames", static_cast<int>(frames));
  if (frames > 0) {  // the codec is there: the whole sound, at its rate
    EXPECT_NEAR(static_cast<double>(frames), 24335, 1200);
    EXPECT_EQ(source->Rate(), 22050);
    EXPECT_GT(peak, 1000);
  }
}

}  // namespace
}  // namespace orrivel::swf
