// The decoders we wrote ourselves and the mixer's rules, on tiny hand-made
// sounds whose output is known sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"
#include "swf/sound/mixer.h"

namespace orrivel::swf {
namespace {

SoundFormatInfo Format(SoundFormat f, uint8_t rateCode, bool is16, bool stereo) {
  return {f, rateCode, is16, stereo};
}

std::vector<int16_t> ReadAll(SampleSource& s) {
  std::vector<int16_t> out;
  int16_t buf[256];
  while (const size_t n = s.Read(buf, 128)) out.insert(out.end(), buf, buf + 2 * n);
  return out;
}

TEST(SoundDecoders, KnownSamples) {
  struct Case {
    const char* name;
    SoundFormatInfo format;
    std::vector<uint8_t> data;
    std::vector<int16_t> stereo;
  };
  const Case cases[] = {
      {"pcm8 mono",
       Format(SoundFormat::PcmNative, 3, false, false),
       {0x80, 0xFF, 0x00},
       {0, 0, 32512, 32512, -32768, -32768}},
      {"pcm16 stereo, odd byte dropped",
       Format(SoundFormat::PcmLittle, 3, true, true),
       {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x80, 0x07},
       {1, -1, -32768, -32768}},
      {"a-law",
       Format(SoundFormat::G711ALaw, 1, false, false),
       {0xD5, 0x55, 0x2A},
       {8, 8, -8, -8, -32256, -32256}},
      {"mu-law",
       Format(SoundFormat::G711MuLaw, 1, false, false),
       {0xFF, 0x00, 0x80},
       {0, 0, -32124, -32124, 32124, 32124}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto source =
        c.format.format == SoundFormat::G711ALaw || c.format.format == SoundFormat::G711MuLaw
            ? MakeG711Source(c.data, c.format)
            : MakePcmSource(c.data, c.format);
    EXPECT_EQ(ReadAll(*source), c.stereo);
    source->Rewind();
    EXPECT_EQ(ReadAll(*source).size(), c.stereo.size());
  }
}

std::shared_ptr<SoundDefinition> Pcm16(uint16_t id, std::vector<int16_t> mono, uint8_t rate = 3) {
  auto def = std::make_shared<SoundDefinition>();
  def->id = id;
  def->format = Format(SoundFormat::PcmLittle, rate, true, false);
  for (const int16_t s : mono) {
    def->data.push_back(static_cast<uint8_t>(s));
    def->data.push_back(static_cast<uint8_t>(s >> 8));
  }
  def->sampleCount = static_cast<uint32_t>(mono.size());
  return def;
}

std::vector<int16_t> Left(Mixer& m, size_t frames) {
  std::vector<int16_t> out(2 * frames), left(frames);
  m.Mix(out.data(), frames);
  for (size_t i = 0; i < frames; ++i) left[i] = out[2 * i];
  return left;
}

TEST(Mixer, EventSoundRules) {
  struct Case {
    const char* name;
    SoundInfo info;
    std::vector<int16_t> left;  // first 8 frames of the left side
  };
  SoundInfo loops;
  loops.loopCount = 2;
  SoundInfo inOut;  // both count from the sound's start
  inOut.inPoint = 1;
  inOut.outPoint = 2;
  SoundInfo envelope;
  envelope.envelope = {{0, 16384, 0}, {4, 16384, 0}, {6, 0, 0}};
  const Case cases[] = {
      {"plain", {}, {100, 200, 300, 0, 0, 0, 0, 0}},
      {"two loops", loops, {100, 200, 300, 100, 200, 300, 0, 0}},
      {"in and out points", inOut, {200, 0, 0, 0, 0, 0, 0, 0}},
      {"envelope", envelope, {50, 100, 150, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mixer mixer(nullptr);
    mixer.Start(Pcm16(1, {100, 200, 300}), c.info);
    EXPECT_EQ(Left(mixer, 8), c.left);
    EXPECT_EQ(mixer.ActiveVoices(), 0u);
  }
}

TEST(Mixer, StartStopAndBounds) {
  Mixer mixer(nullptr, {.maxVoices = 4});
  const auto sound = Pcm16(7, std::vector<int16_t>(1000, 10));
  SoundInfo once;
  once.syncNoMultiple = true;
  mixer.Start(sound, once);
  mixer.Start(sound, once);
  EXPECT_EQ(mixer.ActiveVoices(), 1u);
  for (int i = 0; i < 10; ++i) mixer.Start(sound, {});
  EXPECT_EQ(mixer.ActiveVoices(), 4u);  // the cap
  SoundInfo stop;
  stop.syncStop = true;
  mixer.Start(sound, stop);
  EXPECT_EQ(mixer.ActiveVoices(), 0u);

  // An empty sound looped 65535 times, and a one-sample one, end at once.
  SoundInfo forever;
  forever.loopCount = 65535;
  mixer.Start(Pcm16(8, {}), forever);
  forever.outPoint = 0;
  mixer.Start(Pcm16(9, {5, 5}), forever);
  const auto t0 = std::chrono::steady_clock::now();
  Left(mixer, 64);
  EXPECT_EQ(mixer.ActiveVoices(), 0u);
  // A one-sample sound plays all its 65535 loops, without decoding each anew.
  forever.outPoint.reset();
  mixer.Start(Pcm16(11, {5}), forever);
  const auto looped = Left(mixer, 70000);
  EXPECT_EQ(std::count(looped.begin(), looped.end(), 5), 65535);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));

  // 5.5 kHz: every source sample spans 8 output frames, interpolated.
  mixer.Start(Pcm16(10, {0, 800}, 0), {});
  EXPECT_EQ(Left(mixer, 9), (std::vector<int16_t>{0, 100, 200, 300, 400, 500, 600, 700, 800}));
}

// Sounds a script starts belong to a clip: they stop with it (and only
// with it) and take its gains, now and when they change.
TEST(Mixer, OwnedSounds) {
  Mixer mixer(nullptr);
  Movie movie;
  movie.sounds[3] = Pcm16(3, std::vector<int16_t>(100, 1000));
  movie.sounds[4] = Pcm16(4, std::vector<int16_t>(100, 1000));
  const int clipA = 0, clipB = 0;
  mixer.StartOwnedSound(movie, 3, {}, &clipA, 16384, 32768);
  mixer.StartOwnedSound(movie, 4, {}, &clipA, 32768, 32768);
  mixer.StartOwnedSound(movie, 3, {}, &clipB, 32768, 32768);
  mixer.StartOwnedSound(movie, 99, {}, &clipB, 32768, 32768);  // no such sound
  mixer.Start(movie.sounds[3], {});                            // the timeline's own
  EXPECT_EQ(mixer.ActiveVoices(), 4u);
  mixer.StopOwnedSounds(&clipA, 4);
  EXPECT_EQ(mixer.ActiveVoices(), 3u);
  mixer.StopOwnedSounds(&clipB, 0);
  EXPECT_EQ(mixer.ActiveVoices(), 2u);
  // clipA's sound at half volume on the left, the timeline's at full.
  EXPECT_EQ(Left(mixer, 4), (std::vector<int16_t>(4, 1500)));
  mixer.SetOwnedGain(&clipA, 0, 0);
  EXPECT_EQ(Left(mixer, 4), (std::vector<int16_t>(4, 1000)));
  mixer.StopOwnedSounds(nullptr, 0);  // everything
  EXPECT_EQ(mixer.ActiveVoices(), 0u);
}

TEST(Mixer, StreamFollowsTheTimeline) {
  Movie movie;
  SoundStreamHead head;
  head.stream = Format(SoundFormat::PcmLittle, 3, true, false);
  movie.timeline.streamHead = head;
  for (int16_t f = 0; f < 6; ++f) {
    Frame frame;
    frame.streamBlock =
        std::vector<uint8_t>{static_cast<uint8_t>(f + 1), 0, static_cast<uint8_t>(f + 1), 0};
    movie.timeline.frames.push_back(frame);
  }
  Mixer mixer(nullptr, {.maxStreamFrames = 6});
  for (int f : {0, 1, 2}) mixer.OnFrame(movie, movie.timeline, f, &movie);
  EXPECT_EQ(Left(mixer, 6), (std::vector<int16_t>{1, 1, 2, 2, 3, 0}));  // one block held back
  // A jump drops what was queued and starts again at the new frame.
  mixer.OnFrame(movie, movie.timeline, 4, &movie);
  mixer.OnFrame(movie, movie.timeline, 5, &movie);
  EXPECT_EQ(Left(mixer, 4), (std::vector<int16_t>{5, 5, 6, 0}));
  // However many blocks arrive unheard, only maxStreamFrames are kept.
  for (int i = 0; i < 1000; ++i) mixer.OnFrame(movie, movie.timeline, i % 6, &movie);
  const auto left = Left(mixer, 64);
  const auto heard = std::count_if(left.begin(), left.end(), [](int16_t s) { return s != 0; });
  EXPECT_GE(heard, 4);
  EXPECT_LE(heard, 6);
}

// A script's stream (NetStream) hands its sound over a block at a time: it
// plays like a timeline's stream, a block in another format starts it over,
// and stopping drops what is queued.
TEST(Mixer, ExternalStreams) {
  Mixer mixer(nullptr);
  const auto pcm16 = Format(SoundFormat::PcmLittle, 3, true, false);
  const auto pcm8 = Format(SoundFormat::PcmLittle, 3, false, false);
  const int stream = 0, other = 0;
  using Samples = std::vector<int16_t>;
  mixer.PushExternalSound(&stream, pcm16, std::vector<uint8_t>{1, 0, 1, 0});
  mixer.PushExternalSound(nullptr, pcm16, std::vector<uint8_t>{9, 0});  // no owner: ignored
  EXPECT_EQ(Left(mixer, 2), (Samples{0, 0}));  // one block waits for the next
  mixer.PushExternalSound(&stream, pcm16, std::vector<uint8_t>{2, 0, 2, 0});
  const std::vector<uint8_t> tens = {10, 0, 10, 0, 10, 0, 10, 0, 10, 0, 10, 0};
  mixer.PushExternalSound(&other, pcm16, tens);
  mixer.PushExternalSound(&other, pcm16, tens);
  EXPECT_EQ(Left(mixer, 2), (Samples{11, 11}));
  // 8-bit blocks: the queued 16-bit ones are dropped.
  mixer.PushExternalSound(&stream, pcm8, std::vector<uint8_t>{0x90, 0x90});
  mixer.PushExternalSound(&stream, pcm8, std::vector<uint8_t>{0x90, 0x90});
  EXPECT_EQ(Left(mixer, 2), (Samples{4096 + 10, 4096 + 10}));
  mixer.StopExternalSound(&stream);
  EXPECT_EQ(Left(mixer, 2), (Samples{10, 10}));
}

// A streaming movie's picture waits for its sound, and catches up with it.
TEST(Mixer, PlayerFollowsItsStream) {
  auto movie = std::make_unique<Movie>();
  movie->header.frameRate = 12;
  SoundStreamHead head;
  head.stream = Format(SoundFormat::PcmLittle, 3, true, false);
  movie->timeline.streamHead = head;
  for (int f = 0; f < 10; ++f) {
    Frame frame;
    frame.streamBlock = std::vector<uint8_t>(200, 1);  // 100 samples
    movie->timeline.frames.push_back(frame);
  }
  NativeImageDecoder images;
  Mixer mixer(nullptr);
  Player player(images);
  player.SetSoundSink(&mixer);
  ASSERT_TRUE(player.LoadParsed(std::move(movie)));
  player.Advance(1.0);  // the clock's cap of frames: the sound has not started yet
  EXPECT_EQ(player.FrameNum(), 4);
  Left(mixer, 150);  // frame 1 and a half heard
  player.Advance(1.0);
  EXPECT_EQ(player.FrameNum(), 4);
  Left(mixer, 300);  // frame 4 and a half
  player.Advance(0);
  EXPECT_EQ(player.FrameNum(), 5);
}

// stopAllSounds ends the event sounds at once and the stream sound until
// the next frame that carries a block of it.
TEST(Mixer, StopAllSoundsSilencesUntilTheStreamGoesOn) {
  auto movie = std::make_unique<Movie>();
  movie->header.version = 6;
  movie->header.frameRate = 12;
  movie->sounds[1] = Pcm16(1, std::vector<int16_t>(1000, 1000));
  SoundStreamHead head;
  head.stream = Format(SoundFormat::PcmLittle, 3, true, false);
  movie->timeline.streamHead = head;
  SoundInfo looped;
  looped.loopCount = 100;
  for (int f = 0; f < 4; ++f) {
    Frame frame;
    if (f == 0) frame.sounds.push_back(StartSound{1, {}, looped});
    if (f == 1) frame.tags.push_back(DoAction{{0x09, 0x00}});
    if (f != 1) frame.streamBlock = std::vector<uint8_t>(20, 1);  // 10 samples of 257
    movie->timeline.frames.push_back(frame);
  }
  NativeImageDecoder images;
  Mixer mixer(nullptr);
  Player player(images);
  player.SetSoundSink(&mixer);
  ASSERT_TRUE(player.LoadParsed(std::move(movie)));
  EXPECT_EQ(mixer.ActiveVoices(), 1u);
  player.StepFrame();
  EXPECT_EQ(player.FrameNum(), 1);
  EXPECT_EQ(mixer.ActiveVoices(), 0u);
  EXPECT_EQ(Left(mixer, 16), std::vector<int16_t>(16, 0));
  player.StepFrame();
  player.StepFrame();  // the stream plays once two blocks are queued
  const auto left = Left(mixer, 20);
  EXPECT_GE(std::count(left.begin(), left.end(), 257), 16);  // the stream, and nothing else
  EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](int16_t s) { return s == 0 || s == 257; }));
}

// The corpus's two audio tests play their G.711 sounds through the player.
TEST(Mixer, CorpusG711MoviesPlay) {
  const std::filesystem::path root =
      std::filesystem::path(ORRIVEL_CORPUS_DIR) / "ruffle-avm1/audio";
  ASSERT_TRUE(std::filesystem::exists(root)) << "no corpus at " << root;
  for (const char* name : {"g711_event_alaw", "g711_event_mulaw"}) {
    SCOPED_TRACE(name);
    NativeImageDecoder images;
    Mixer mixer(nullptr);
    Player player(images);
    player.SetSoundSink(&mixer);
    ASSERT_TRUE(player.LoadFile((root / name / "test.swf").string()));
    player.StepFrame();
    const auto left = Left(mixer, 44100);
    // 800 samples at 11 kHz played twice (its StartSound loops it): 6400 frames.
    const auto last = std::find_if(left.rbegin(), left.rend(), [](int16_t s) { return s != 0; });
    EXPECT_NEAR(left.rend() - last, 6400, 8);
    EXPECT_GT(*std::max_element(left.begin(), left.end()), 10000);
  }
}

}  // namespace
}  // namespace orrivel::swf
