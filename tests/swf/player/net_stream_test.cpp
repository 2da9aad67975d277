// A movie built here plays an FLV file made by ffmpeg through NetStream into
// a Video object: the events arrive in Flash Player's order, pictures show in
// the video's box, the sound goes to the mixer, and names outside the
// movie's folder are refused.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../avm1/action_builder.h"
#include "../video/ffmpeg_oracle.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using avm1::Op;
using avm1::test::Asm;
using avm1::test::Null;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Tag(Bytes& out, uint16_t code, const Bytes& body) {
  Put16(out, code << 6 | 0x3F);  // the long form fits every length
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
}

// A 160x120 stage at 10 fps: a 160x120 video named "vid" over all of it,
// and the script, which stops on frame 1.
Bytes MovieWith(const Bytes& script) {
  Bytes tags;
  Bytes video;
  for (uint32_t v : {1u, 0u, 160u, 120u}) Put16(video, v);
  video.push_back(0);
  video.push_back(2);
  Tag(tags, 60, video);
  Bytes place = {0x22, 1, 0, 1, 0, 'v', 'i', 'd', 0};  // PlaceObject2: character and name
  Tag(tags, 26, place);
  Tag(tags, 12, script);
  Tag(tags, 1, {});
  Tag(tags, 0, {});
  // RECT of 13-bit fields: 0, 3200, 0, 2400 twips.
  const Bytes rect = {0x68, 0x00, 0x19, 0x00, 0x00, 0x04, 0xB0, 0x00};
  Bytes swf = {'F', 'W', 'S', 8, 0, 0, 0, 0};
  swf.insert(swf.end(), rect.begin(), rect.end());
  swf.insert(swf.end(), {0, 10, 1, 0});
  swf.insert(swf.end(), tags.begin(), tags.end());
  for (int i = 0; i < 4; ++i) swf[4 + i] = static_cast<uint8_t>(swf.size() >> (8 * i));
  return swf;
}

// nc.connect(null); ns = new NetStream(nc) tracing its status codes and
// metadata; vid shows it; ns.play(name).
Bytes PlayScript(const std::string& name) {
  Asm traceCode;
  traceCode.Push({"info"}).Do(Op::GetVariable).Push({"code"}).Do(Op::GetMember).Do(Op::Trace);
  Asm traceMeta;
  traceMeta.Push({"meta "}).Push({"m"}).Do(Op::GetVariable).Push({"width"}).Do(Op::GetMember);
  traceMeta.Do(Op::Add2).Do(Op::Trace);
  Asm a;
  a.Push({"nc", 0, "NetConnection"}).Do(Op::NewObject).Do(Op::SetVariable);
  a.Push({Null(), 1, "nc"}).Do(Op::GetVariable).Push({"connect"}).Do(Op::CallMethod).Do(Op::Pop);
  a.Push({"ns", "nc"}).Do(Op::GetVariable).Push({1, "NetStream"}).Do(Op::NewObject);
  a.Do(Op::SetVariable);
  a.Push({"ns"}).Do(Op::GetVariable).Push({"onStatus"}).Function("", {"info"}, traceCode);
  a.Do(Op::SetMember);
  a.Push({"ns"}).Do(Op::GetVariable).Push({"onMetaData"}).Function("", {"m"}, traceMeta);
  a.Do(Op::SetMember);
  a.Push({"ns"}).Do(Op::GetVariable).Push({1, "vid"}).Do(Op::GetVariable);
  a.Push({"attachVideo"}).Do(Op::CallMethod).Do(Op::Pop);
  a.Push({name, 1, "ns"}).Do(Op::GetVariable).Push({"play"}).Do(Op::CallMethod).Do(Op::Pop);
  a.Do(Op::Stop).Do(Op::End);
  return a.Bytes();
}

// Counts what a stream gives the sound side.
class RecordingSink final : public SoundSink {
 public:
  void OnFrame(const Movie&, const Timeline&, int, const void*) override {}
  void OnButtonSound(const Movie&, uint16_t, ButtonSoundEvent) override {}
  void PushExternalSound(const void*, const SoundFormatInfo& format,
                         std::span<const uint8_t> data) override {
    mp3Tags += format.format == SoundFormat::Mp3 && !data.empty();
  }
  void StopExternalSound(const void*) override { ++stops; }
  int mp3Tags = 0, stops = 0;
};

TEST(NetStreamTest, PlaysAnFlvFromTheMoviesFolderIntoAVideo) {
  using video::test::HaveFfmpeg;
  using video::test::RunQuiet;
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  video::test::ScratchDir dir("netstream");
  const auto folder = dir.Path() / "movie";
  std::filesystem::create_directories(folder / "clips");
  // One second of a bright test picture at 10 fps, 64x48, with a tone in MP3.
  ASSERT_TRUE(
      RunQuiet("ffmpeg -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i "
               "sine=frequency=440:duration=1 -c:v flv1 -q:v 2 -c:a libmp3lame -ar 22050 '" +
               (folder / "clips" / "clip.flv").string() + "'"));
  std::ofstream(folder / "clips" / "text.flv") << "not a video at all";
  std::filesystem::copy_file(folder / "clips" / "clip.flv", dir.Path() / "outside.flv");
  const struct {
    const char* name;
    std::string trace;
    bool pictures;
    bool refused;
    bool sound;
  } cases[] = {
      {"clips/clip.flv",
       "NetStream.Play.Start\nNetStream.Buffer.Full\nmeta 64\nNetStream.Buffer.Flush\n"
       "NetStream.Play.Stop\nNetStream.Buffer.Empty\n",
       true, false, true},
      {"missing.flv", "NetStream.Play.StreamNotFound\n", false, false, false},
      {"clips/text.flv", "NetStream.Play.FileStructureInvalid\n", false, false, false},
      {"../outside.flv", "NetStream.Play.StreamNotFound\n", false, true, false},
      {"http://example.com/clip.flv", "NetStream.Play.StreamNotFound\n", false, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto swfPath = folder / "movie.swf";
    const Bytes swf = MovieWith(PlayScript(c.name));
    std::ofstream(swfPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(swf.data()), static_cast<std::streamsize>(swf.size()));
    NativeImageDecoder decoder;
    Player player(decoder);
    std::string trace;
    int refusals = 0;
    player.SetTraceSink([&](const std::string& line) { trace += line + "\n"; });
    player.SetRefusalSink([&](const std::string&) { ++refusals; });
    RecordingSink sound;
    player.SetSoundSink(&sound);
    ASSERT_TRUE(player.LoadFile(swfPath.string()));
    std::vector<uint32_t> pixels(160 * 120, 0);
    raster::Canvas canvas{pixels.data(), 160, 120, 160};
    bool sawPicture = false;
    // Two seconds of the movie's frames: the stream's clock is the player's.
    for (int i = 0; i < 20; ++i) {
      player.StepFrame();
      player.Render(canvas);
      // testsrc is colourful: any pixel far from the white stage is video.
      for (uint32_t p : pixels) sawPicture |= (p & 0xFFFFFF) != 0xFFFFFF && (p & 0xFF) < 0x80;
      if (i == 4) {
        EXPECT_TRUE(!c.pictures || trace.find("Stop") == std::string::npos);
      }
    }
    EXPECT_EQ(trace, c.trace);
    EXPECT_EQ(sawPicture, c.pictures);
    EXPECT_EQ(refusals > 0, c.refused);
    // About 38 MP3 frames of 26 ms in the second of sound.
    if (c.sound) {
      EXPECT_GE(sound.mp3Tags, 30);
    } else {
      EXPECT_EQ(sound.mp3Tags, 0);
    }
  }
}

}  // namespace
}  // namespace orrivel::swf
