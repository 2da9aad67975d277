#include "swf/video/flv_playback.h"

#include <algorithm>

namespace orrivel::swf::video {

namespace {

// Pixels decoded per call at most, so that a jump of the clock costs a
// bounded time; the rest is decoded on later calls.
constexpr uint64_t kMaxPixelsPerCall = 64ull << 20;
// Audio tags held between calls at most: a long jump of the clock keeps the
// first ones (the mixer holds a few seconds anyway).
constexpr std::size_t kMaxAudioTagsPerCall = 1024;

}  // namespace

FlvPlayback::FlvPlayback(std::shared_ptr<const std::string> file) : file_(std::move(file)) {
  if (file_) flv_ = ReadFlv(Whole());
  for (FlvTag& tag : flv_.tags) {
    tag.timeMs = std::max<int64_t>(tag.timeMs, 0);
    endMs_ = std::max(endMs_, static_cast<double>(tag.timeMs));
    if (tag.type == FlvTagType::Video) videoTimes_.push_back(static_cast<double>(tag.timeMs));
  }
  std::sort(videoTimes_.begin(), videoTimes_.end());
}

void FlvPlayback::Push(const char* code, const char* level) {
  StreamEvent e;
  e.code = code;
  e.level = level;
  events_.push_back(std::move(e));
}

std::vector<StreamEvent> FlvPlayback::TakeEvents() {
  std::vector<StreamEvent> out(std::make_move_iterator(events_.begin()),
                               std::make_move_iterator(events_.end()));
  events_.clear();
  return out;
}

StreamAudio FlvPlayback::TakeAudio() {
  StreamAudio out = std::move(audio_);
  audio_ = {};
  return out;
}

std::span<const uint8_t> FlvPlayback::Body(const FlvTag& tag) const {
  return Whole().subspan(tag.offset, tag.size);
}

std::span<const uint8_t> FlvPlayback::Whole() const {
  if (!file_) return {};
  return {reinterpret_cast<const uint8_t*>(file_->data()), file_->size()};
}

bool FlvPlayback::IsKey(const FlvTag& tag) const {
  if (tag.type != FlvTagType::Video) return false;
  const uint8_t type = ReadFlvVideoHeader(Body(tag)).frameType;
  return type == 1 || type == 4;
}

void FlvPlayback::Advance(double ms) {
  if (!started_) {
    // The stream opens on the first tick after play(): the first tags show
    // at once, even when paused, and the clock runs from the next tick.
    started_ = true;
    Push("NetStream.Play.Start");
    if (!paused_) {
      Push("NetStream.Buffer.Full");
      full_ = true;
    }
    RunDueTags();
    return;
  }
  if (paused_ || ended_) return;
  if (ms > 0) timeMs_ = std::min(timeMs_ + ms, endMs_);
  RunDueTags();
  if (next_ < flv_.tags.size()) return;
  if (!flushed_) {
    Push("NetStream.Buffer.Flush");
    flushed_ = true;
  }
  if (timeMs_ >= endMs_) {
    Push("NetStream.Play.Stop");
    Push("NetStream.Buffer.Empty");
    ended_ = true;
  }
}

void FlvPlayback::Pause(std::optional<bool> paused) {
  paused_ = paused ? *paused : !paused_;
  // What the mixer still holds would sound on after the pause.
  if (paused_) audio_ = {true, {}};
  if (!paused_ && started_ && !full_) {
    Push("NetStream.Buffer.Full");
    full_ = true;
  }
}

void FlvPlayback::Seek(double seconds) {
  if (!(seconds >= 0)) seconds = 0;  // NaN too
  if (seconds * 1000 > endMs_) {
    // Past the end of the file: the stream stays where it is.
    StreamEvent e;
    e.code = "NetStream.Seek.InvalidTime";
    e.level = "error";
    e.details = endMs_ / 1000;
    events_.push_back(std::move(e));
    return;
  }
  const double target = seconds * 1000;
  // The last key frame at or before the target; audio-only streams go to
  // the first tag at or after it.
  std::size_t start = flv_.tags.size();
  std::size_t firstAfter = flv_.tags.size();
  for (std::size_t i = 0; i < flv_.tags.size(); ++i) {
    const double t = static_cast<double>(flv_.tags[i].timeMs);
    if (t <= target && IsKey(flv_.tags[i])) start = i;
    if (t >= target && firstAfter == flv_.tags.size()) firstAfter = i;
  }
  if (start == flv_.tags.size()) {
    start = videoTimes_.empty() ? firstAfter : 0;
    timeMs_ = videoTimes_.empty() ? target : 0;
  } else {
    timeMs_ = static_cast<double>(flv_.tags[start].timeMs);
  }
  next_ = start;
  ended_ = flushed_ = false;
  audio_ = {true, {}};
  Push("NetStream.Seek.Notify");
  // The picture at the new place shows at once, paused or not.
  if (started_) RunDueTags();
}

void FlvPlayback::RunDueTags() {
  const auto& tags = flv_.tags;
  std::size_t last = next_;
  std::size_t key = tags.size();
  while (last < tags.size() && static_cast<double>(tags[last].timeMs) <= timeMs_) {
    if (IsKey(tags[last])) key = last;
    ++last;
  }
  // Video before the last key frame due would be overwritten unseen.
  const std::size_t videoFrom = key == tags.size() ? next_ : key;
  uint64_t pixels = 0;
  bool decoded = false;
  for (; next_ < last; ++next_) {
    const FlvTag& tag = tags[next_];
    if (tag.type == FlvTagType::Script) {
      StreamEvent e;
      std::string error;
      if (ReadAmfScript(Body(tag), e.script, error) && !e.script.name.empty()) {
        e.isScript = true;
        events_.push_back(std::move(e));
      }
    } else if (tag.type == FlvTagType::Audio) {
      // Not while paused: the first tags show at once then, but stay silent.
      if (!paused_ && tag.size > 1 && audio_.tags.size() < kMaxAudioTagsPerCall)
        audio_.tags.push_back(Body(tag));
    } else if (tag.type == FlvTagType::Video && next_ >= videoFrom) {
      if (pixels >= kMaxPixelsPerCall) break;  // the rest waits for the next call
      decoded |= DecodeVideo(tag);
      if (decoder_) {
        const raster::Image& p = decoder_->Picture();
        pixels += std::max<uint64_t>(uint64_t(p.width) * uint64_t(p.height), 1 << 14);
      }
    }
  }
  if (decoded) picture_ = std::make_shared<const raster::Image>(decoder_->Picture());
}

bool FlvPlayback::DecodeVideo(const FlvTag& tag) {
  const auto body = Body(tag);
  const FlvVideoHeader h = ReadFlvVideoHeader(body);
  if (body.size() < 2 || h.frameType == 5) return false;  // a command, not a picture
  if (!decoder_ || h.codec != codec_) {
    decoder_ = MakeVideoDecoder(h.codec, 0);
    codec_ = h.codec;
  }
  return decoder_ && decoder_->Decode(body.subspan(1));
}

double FlvPlayback::BufferLength() const {
  if (!started_) return 0;
  return std::max(0.0, endMs_ - timeMs_) / 1000;
}

double FlvPlayback::CurrentFps() const {
  if (!started_ || paused_ || ended_) return 0;
  const auto from = std::upper_bound(videoTimes_.begin(), videoTimes_.end(), timeMs_ - 1000);
  const auto to = std::upper_bound(videoTimes_.begin(), videoTimes_.end(), timeMs_);
  return static_cast<double>(to - from);
}

}  // namespace orrivel::swf::video
