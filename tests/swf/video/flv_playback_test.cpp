// A stream's clock, pausing and seeking, and the events and sound they give,
// on a VP6 file (which has no decoder here: nothing shows, but time runs).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "swf/video/flv_playback.h"

namespace orrivel::swf::video {
namespace {

std::string Be(uint32_t v, int n) {
  std::string out;
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>(v >> (8 * i)));
  return out;
}
std::string Tag(uint8_t type, uint32_t time, const std::string& body) {
  return std::string(1, static_cast<char>(type)) + Be(body.size(), 3) + Be(time, 3) +
         std::string(4, '\0') + body + Be(11 + body.size(), 4);
}

// onMetaData at 0, then VP6 frames every 100 ms to 1400 ms, key frames
// every 500 ms, and an MP3 tag every 200 ms after the frame of its time.
std::shared_ptr<const std::string> Vp6File() {
  std::string f = std::string("FLV\x01\x01", 5) + Be(9, 4) + Be(0, 4);
  f += Tag(18, 0, std::string("\x02\x00\x0AonMetaData\x05", 14));
  for (uint32_t t = 0; t <= 1400; t += 100) {
    f += Tag(9, t, std::string(1, static_cast<char>(t % 500 == 0 ? 0x14 : 0x24)) + "\0\0\0");
    if (t % 200 == 0) f += Tag(8, t, std::string("\x2F\xFF\xFB", 3));
  }
  return std::make_shared<const std::string>(std::move(f));
}

TEST(FlvPlaybackTest, ClockPauseAndSeek) {
  enum class Op { Advance, Pause, Resume, Toggle, Seek };
  const struct {
    Op op;
    double arg;
    const char* events;  // codes, or the script data tag's name
    double time, fps;
    const char* audio;  // tags handed out, after "R" when queued sound is dropped first
  } steps[] = {
      {Op::Advance, 500, "Play.Start Buffer.Full onMetaData", 0, 1, "1"},  // the first tick opens
      {Op::Advance, 250, "", 0.25, 3, "1"},
      {Op::Toggle, 0, "", 0.25, 0, "R0"},
      {Op::Advance, 300, "", 0.25, 0, "0"},           // paused: the clock stands
      {Op::Seek, 0.75, "Seek.Notify", 0.5, 0, "R0"},  // back to the key frame, silent
      {Op::Resume, 0, "", 0.5, 6, "0"},
      {Op::Advance, 600, "", 1.1, 10, "3"},
      {Op::Advance, 5000, "Buffer.Flush Play.Stop Buffer.Empty", 1.4, 0, "2"},
      {Op::Advance, 100, "", 1.4, 0, "0"},
      {Op::Seek, 99, "Seek.InvalidTime", 1.4, 0, "0"},  // past the end: stays
      {Op::Seek, 1.2, "Seek.Notify", 1.0, 10, "R1"},    // plays again
      {Op::Pause, 0, "", 1.0, 0, "R0"},
      {Op::Seek, -3, "Seek.Notify", 0, 0, "R0"},
  };
  FlvPlayback p(Vp6File());
  EXPECT_EQ(p.Index().tags.size(), 24u);
  int n = 0;
  for (const auto& s : steps) {
    SCOPED_TRACE(n++);
    switch (s.op) {
      case Op::Advance:
        p.Advance(s.arg);
        break;
      case Op::Pause:
        p.Pause(true);
        break;
      case Op::Resume:
        p.Pause(false);
        break;
      case Op::Toggle:
        p.Pause(std::nullopt);
        break;
      case Op::Seek:
        p.Seek(s.arg);
        break;
    }
    std::string events;
    for (const StreamEvent& e : p.TakeEvents()) {
      if (!events.empty()) events += " ";
      events += e.isScript ? e.script.name : e.code.substr(10);
      const bool invalid = e.code == "NetStream.Seek.InvalidTime";
      EXPECT_EQ(e.level, e.isScript ? "" : invalid ? "error" : "status");
      EXPECT_EQ(e.details, invalid ? std::optional<double>(1.4) : std::nullopt);
    }
    EXPECT_EQ(events, s.events);
    const StreamAudio audio = p.TakeAudio();
    EXPECT_EQ((audio.restart ? "R" : "") + std::to_string(audio.tags.size()), s.audio);
    for (const auto& tag : audio.tags) EXPECT_EQ(tag.size(), 3u);
    EXPECT_DOUBLE_EQ(p.Time(), s.time);
    EXPECT_DOUBLE_EQ(p.CurrentFps(), s.fps);
    EXPECT_EQ(p.Picture(), nullptr);  // no VP6 decoder: nothing shows
  }
  EXPECT_DOUBLE_EQ(p.BufferLength(), 1.4);
  EXPECT_EQ(p.Bytes(), Vp6File()->size());
}

}  // namespace
}  // namespace orrivel::swf::video
