// One FLV file played by a clock the caller moves: the video frames due by
// the stream's time are decoded, script data tags are handed out when their
// time comes, and the status events a stream reports are queued in the
// order Flash Player gives them. Audio tags are handed out as they come due,
// for the mixer to decode. A codec without a decoder (VP6, AVC) shows
// nothing, but the timing and the events run.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "swf/raster/raster.h"
#include "swf/video/amf0.h"
#include "swf/video/flv_reader.h"
#include "swf/video/video_decoder.h"

namespace orrivel::swf::video {

struct StreamEvent {
  // A status event has a code ("NetStream.Play.Start" ...) and a level
  // ("status" or "error"); a script data tag has its name and values.
  std::string code, level;
  bool isScript = false;
  AmfScript script;
  std::optional<double> details;  // Seek.InvalidTime: the last time a seek may reach
};

// The audio tags that came due, in order, each with its header byte.
struct StreamAudio {
  // The sound queued so far must be dropped first (a seek or a pause).
  bool restart = false;
  std::vector<std::span<const uint8_t>> tags;
};

class FlvPlayback {
 public:
  // The whole file; an unreadable one plays as an empty stream.
  explicit FlvPlayback(std::shared_ptr<const std::string> file);

  // Moves the stream's clock on by `ms` of the player's time (none while
  // paused or ended) and decodes what is due.
  void Advance(double ms);
  // nullopt toggles, as pause() without an argument does.
  void Pause(std::optional<bool> paused);
  // To the key frame at or before `seconds`; a time past the stream's end
  // is refused with Seek.InvalidTime.
  void Seek(double seconds);

  std::vector<StreamEvent> TakeEvents();
  // Valid while this playback lives.
  StreamAudio TakeAudio();

  double Time() const { return timeMs_ / 1000; }
  // Seconds of the stream held beyond its time: all of the rest of the file.
  double BufferLength() const;
  double CurrentFps() const;
  std::size_t Bytes() const { return file_ ? file_->size() : 0; }
  bool Paused() const { return paused_; }
  bool Ended() const { return ended_; }
  // Set by setBufferTime: when the buffer counts as full.
  void SetBufferTime(double seconds) { bufferMs_ = seconds * 1000; }

  // The last good picture; null before the first. A new object for every
  // frame decoded, so holders can tell pictures apart.
  std::shared_ptr<const raster::Image> Picture() const { return picture_; }
  const FlvFile& Index() const { return flv_; }

 private:
  void Push(const char* code, const char* level = "status");
  // Handles the tags due by the clock; a long run of video starts at the
  // last key frame due, and decoding stops for this call at a pixel budget.
  void RunDueTags();
  bool DecodeVideo(const FlvTag& tag);
  bool IsKey(const FlvTag& tag) const;
  std::span<const uint8_t> Body(const FlvTag& tag) const;
  std::span<const uint8_t> Whole() const;

  std::shared_ptr<const std::string> file_;
  FlvFile flv_;
  std::size_t next_ = 0;   // the first tag not handled yet
  double timeMs_ = 0;      // the stream's clock
  double endMs_ = 0;       // the last tag's time
  double bufferMs_ = 100;  // Flash's default buffer time
  bool started_ = false, paused_ = false, ended_ = false, flushed_ = false, full_ = false;
  std::deque<StreamEvent> events_;
  StreamAudio audio_;
  std::unique_ptr<VideoDecoder> decoder_;
  uint8_t codec_ = 0;
  std::shared_ptr<const raster::Image> picture_;
  std::vector<double> videoTimes_;  // of the video tags, for currentFps
};

}  // namespace orrivel::swf::video
