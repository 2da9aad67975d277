#include "swf/sound/mixer.h"

#include <algorithm>
#include <deque>
#include <limits>

namespace orrivel::swf {
namespace {

constexpr size_t kChunk = 256;         // frames mixed between envelope updates
constexpr size_t kSourceBuffer = 512;  // decoded frames a voice reads at once
constexpr uint32_t kOne = 1u << 16;    // resampling phase: 16.16 fixed point

uint32_t StepFor(int rate) {
  if (rate <= 0) return 0;
  if (rate == 5512) return kOne / 8;  // 5512.5 Hz exactly
  return static_cast<uint32_t>((static_cast<uint64_t>(rate) * kOne + Mixer::kRate / 2) /
                               Mixer::kRate);
}

// Decoded stream blocks waiting to be heard, each with its timeline frame.
class FifoSource final : public SampleSource {
 public:
  explicit FifoSource(int rate) : rate_(rate) {}

  size_t Read(int16_t* out, size_t maxFrames) override {
    size_t n = 0;
    while (n < maxFrames && !blocks_.empty()) {
      Block& b = blocks_.front();
      const size_t take = std::min(maxFrames - n, b.frames() - b.pos);
      std::copy_n(b.samples.begin() + 2 * b.pos, 2 * take, out + 2 * n);
      b.pos += take;
      n += take;
      buffered_ -= take;
      if (b.pos == b.frames()) blocks_.pop_front();
    }
    read_ += n;
    // Spans the reader has left well behind can no longer be heard.
    while (!spans_.empty() && spans_.front().end + kSourceBuffer < read_) spans_.pop_front();
    return n;
  }
  int Rate() const override { return rate_; }
  void Rewind() override {}

  void SetRate(int rate) { rate_ = rate; }
  // A stream starts (and restarts after running dry) one block ahead, so
  // that a block arriving each frame keeps it going without gaps.
  bool Ready() const { return blocks_.size() >= 2; }
  size_t Buffered() const { return buffered_; }
  void Push(int frame, std::vector<int16_t> samples) {
    if (samples.empty()) return;
    const size_t n = samples.size() / 2;
    buffered_ += n;
    spans_.push_back({frame, pushed_, pushed_ + n});
    pushed_ += n;
    blocks_.push_back({frame, std::move(samples), 0});
  }
  // The frame heard when `unheard` of the frames read are still to be played.
  std::optional<double> CurrentFrame(uint64_t unheard) const {
    const uint64_t pos = read_ - std::min(read_, unheard);
    for (const Span& s : spans_) {
      if (pos >= s.begin && pos < s.end)
        return s.frame + static_cast<double>(pos - s.begin) / static_cast<double>(s.end - s.begin);
    }
    return std::nullopt;  // ran dry: the picture goes by the clock
  }

 private:
  struct Block {
    int frame;
    std::vector<int16_t> samples;
    size_t pos;
    size_t frames() const { return samples.size() / 2; }
  };
  struct Span {
    int frame;
    uint64_t begin, end;  // in frames pushed since the stream started
  };
  std::deque<Block> blocks_;
  std::deque<Span> spans_;
  uint64_t pushed_ = 0, read_ = 0;
  size_t buffered_ = 0;
  int rate_;
};

int32_t Level(const std::vector<SoundEnvelopePoint>& env, uint64_t pos, bool right) {
  auto at = [right](const SoundEnvelopePoint& p) -> int32_t { return right ? p.right : p.left; };
  if (env.empty()) return 32768;
  if (pos <= env.front().pos44) return at(env.front());
  for (size_t i = 1; i < env.size(); ++i) {
    const SoundEnvelopePoint& a = env[i - 1];
    const SoundEnvelopePoint& b = env[i];
    if (pos >= b.pos44) continue;
    const double t = static_cast<double>(pos - a.pos44) / static_cast<double>(b.pos44 - a.pos44);
    return static_cast<int32_t>(at(a) + (at(b) - at(a)) * t);
  }
  return at(env.back());
}

}  // namespace

struct Mixer::Voice {
  std::unique_ptr<SampleSource> source;
  uint16_t soundId = 0;
  const void* owner = nullptr;  // the timeline a script started it for
  bool owned = false;
  int32_t gain[2] = {32768, 32768};
  std::vector<SoundEnvelopePoint> envelope;
  uint32_t loopsLeft = 0;
  uint64_t inFrames = 0, outFrames = std::numeric_limits<uint64_t>::max();  // per loop
  uint64_t loopFrames = 0;
  int loopFills = 0;  // source reads in this play of the sound
  bool loopHadFrames = false;
  bool isStream = false;
  FifoSource* fifo = nullptr;  // streams only
  bool primed = false, done = false;
  bool starved = false;   // a stream waiting for its next sample
  bool tail = false;      // an event sound past its last sample, holding it for one step
  uint64_t played44 = 0;  // output frames so far: the envelope's clock
  int16_t buffer[2 * kSourceBuffer];
  size_t bufferLen = 0, bufferPos = 0;
  int32_t s0[2] = {0, 0}, s1[2] = {0, 0};
  uint32_t phase = 0, step = 0;

  void SkipIn() {
    uint64_t left = inFrames;
    while (left > 0) {
      const size_t n = source->Read(buffer, std::min<uint64_t>(left, kSourceBuffer));
      if (n == 0) break;
      left -= n;
    }
    loopFrames = inFrames - left;  // the out point counts from the sound's start
    loopFills = 0;
  }

  // The next source frame, across loops; false at the end (or, for a
  // stream, when nothing is buffered).
  bool Pull(int32_t f[2]) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (bufferPos < bufferLen) {
        f[0] = buffer[2 * bufferPos];
        f[1] = buffer[2 * bufferPos + 1];
        ++bufferPos;
        return true;
      }
      const uint64_t want =
          std::min<uint64_t>(kSourceBuffer, outFrames > loopFrames ? outFrames - loopFrames : 0);
      const size_t n = want > 0 ? source->Read(buffer, want) : 0;
      if (n > 0) {
        bufferLen = n;
        bufferPos = 0;
        loopFrames += n;
        loopHadFrames = true;
        ++loopFills;
        step = StepFor(source->Rate());
        continue;
      }
      if (isStream) return false;
      // End of one play: loop again, unless it gave nothing (which would
      // spin through 65535 empty loops).
      if (loopsLeft == 0 || !loopHadFrames) break;
      --loopsLeft;
      if (loopFills == 1) {  // the whole play is still in the buffer: no decoding again
        bufferPos = 0;
        continue;
      }
      loopHadFrames = false;
      source->Rewind();
      SkipIn();
    }
    done = !isStream;
    return false;
  }
};

struct Mixer::Stream {
  SoundFormatInfo format;
  std::unique_ptr<Mp3Decoder> mp3;
  int lastFrame = -2;          // of the last block fed
  FifoSource* fifo = nullptr;  // owned by voice
  std::unique_ptr<Voice> voice;
};

Mixer::Mixer(Mp3DecoderFactory* mp3, const MixerLimits& limits) : mp3_(mp3), limits_(limits) {}
Mixer::~Mixer() = default;

Mixer::Voice* Mixer::AddVoice(std::unique_ptr<SampleSource> source, int nominalRate) {
  if (!source || voices_.size() >= limits_.maxVoices) return nullptr;
  auto v = std::make_unique<Voice>();
  v->source = std::move(source);
  v->step = StepFor(nominalRate);
  voices_.push_back(std::move(v));
  return voices_.back().get();
}

void Mixer::Start(std::shared_ptr<const SoundDefinition> sound, const SoundInfo& info) {
  std::lock_guard lock(mutex_);
  StartLocked(std::move(sound), info);
}

Mixer::Voice* Mixer::StartLocked(std::shared_ptr<const SoundDefinition> sound,
                                 const SoundInfo& info) {
  if (!sound) return nullptr;
  const uint16_t id = sound->id;
  if (info.syncStop) {
    std::erase_if(voices_, [id](const auto& v) { return v->soundId == id; });
    return nullptr;
  }
  if (info.syncNoMultiple &&
      std::any_of(voices_.begin(), voices_.end(), [id](const auto& v) { return v->soundId == id; }))
    return nullptr;
  const int rate = sound->format.Rate();
  Voice* v = AddVoice(MakeEventSource(std::move(sound), mp3_), rate);
  if (!v) return nullptr;
  v->soundId = id;
  v->envelope = info.envelope;
  v->loopsLeft = info.loopCount > 0 ? info.loopCount - 1u : 0;
  if (info.inPoint) v->inFrames = static_cast<uint64_t>(*info.inPoint) * rate / kRate;
  if (info.outPoint) v->outFrames = static_cast<uint64_t>(*info.outPoint) * rate / kRate;
  v->SkipIn();
  return v;
}

void Mixer::StartOwnedSound(const Movie& movie, uint16_t soundId, const SoundInfo& info,
                            const void* owner, int gainLeft, int gainRight) {
  const auto it = movie.sounds.find(soundId);
  if (it == movie.sounds.end()) return;
  std::lock_guard lock(mutex_);
  if (Voice* v = StartLocked(it->second, info)) {
    v->owner = owner;
    v->owned = true;
    v->gain[0] = std::clamp(gainLeft, 0, 32768);
    v->gain[1] = std::clamp(gainRight, 0, 32768);
  }
}

void Mixer::StopOwnedSounds(const void* owner, uint16_t soundId) {
  std::lock_guard lock(mutex_);
  std::erase_if(voices_, [&](const auto& v) {
    return (!owner || (v->owned && v->owner == owner)) && (soundId == 0 || v->soundId == soundId);
  });
}

void Mixer::SetOwnedGain(const void* owner, int gainLeft, int gainRight) {
  std::lock_guard lock(mutex_);
  for (auto& v : voices_) {
    if (v->owned && v->owner == owner) {
      v->gain[0] = std::clamp(gainLeft, 0, 32768);
      v->gain[1] = std::clamp(gainRight, 0, 32768);
    }
  }
}

void Mixer::OnFrame(const Movie& movie, const Timeline& timeline, int frame, const void* instance) {
  if (frame < 0 || static_cast<size_t>(frame) >= timeline.frames.size()) return;
  const Frame& f = timeline.frames[frame];
  for (const StartSound& s : f.sounds) {
    const auto it = movie.sounds.find(s.soundId);
    if (s.className.empty() && it != movie.sounds.end()) Start(it->second, s.info);
  }
  if (!f.streamBlock || !timeline.streamHead) return;
  std::lock_guard lock(mutex_);
  const SoundStreamHead& head = *timeline.streamHead;
  const auto& prior = streams_.find(instance);
  // A new stream, or a jump: what is queued belongs to other frames.
  const bool fresh = prior == streams_.end() || prior->second->lastFrame + 1 != frame;
  Stream* st = StreamFor(instance, head.stream, fresh);
  if (!st) return;
  if (&timeline == &movie.timeline) mainStream_ = instance;
  const std::span<const uint8_t> block = *f.streamBlock;
  // An MP3 block starts with SampleCount and SeekSamples.
  const bool mp3 = head.stream.format == SoundFormat::Mp3;
  FeedStream(*st, frame, mp3 ? block.subspan(std::min<size_t>(block.size(), 4)) : block);
}

Mixer::Stream* Mixer::StreamFor(const void* key, const SoundFormatInfo& format, bool restart) {
  auto& slot = streams_[key];
  if (slot && !restart) return slot.get();
  if (!slot && streams_.size() > limits_.maxStreams) {
    streams_.erase(key);
    return nullptr;
  }
  slot = std::make_unique<Stream>();
  slot->format = format;
  if (format.format == SoundFormat::Mp3 && mp3_) slot->mp3 = mp3_->Create();
  auto fifo = std::make_unique<FifoSource>(format.Rate());
  slot->fifo = fifo.get();
  slot->voice = std::make_unique<Voice>();
  slot->voice->fifo = fifo.get();
  slot->voice->isStream = true;
  slot->voice->step = StepFor(format.Rate());
  slot->voice->source = std::move(fifo);
  return slot.get();
}

void Mixer::FeedStream(Stream& st, int frame, std::span<const uint8_t> block) {
  st.lastFrame = frame;
  const size_t room =
      limits_.maxStreamFrames - std::min(limits_.maxStreamFrames, st.fifo->Buffered());
  if (room == 0) return;
  std::unique_ptr<SampleSource> decoder;
  switch (st.format.format) {
    case SoundFormat::PcmNative:
    case SoundFormat::PcmLittle:
      decoder = MakePcmSource(block, st.format);
      break;
    case SoundFormat::Adpcm:
      decoder = MakeAdpcmSource(block, st.format);
      break;
    case SoundFormat::G711ALaw:
    case SoundFormat::G711MuLaw:
      decoder = MakeG711Source(block, st.format);
      break;
    case SoundFormat::Mp3:
      if (st.mp3) st.mp3->Feed(block);
      break;
    default:
      break;
  }
  std::vector<int16_t> samples;
  int16_t tmp[2 * kSourceBuffer];
  while (samples.size() / 2 < room) {
    const size_t want = std::min(kSourceBuffer, room - samples.size() / 2);
    const size_t n = decoder ? decoder->Read(tmp, want) : st.mp3 ? st.mp3->Read(tmp, want) : 0;
    if (n == 0) break;
    samples.insert(samples.end(), tmp, tmp + 2 * n);
  }
  if (st.mp3 && st.mp3->Rate() > 0) st.fifo->SetRate(st.mp3->Rate());
  st.fifo->Push(frame, std::move(samples));
}

void Mixer::PushExternalSound(const void* owner, const SoundFormatInfo& format,
                              std::span<const uint8_t> data) {
  if (!owner) return;
  std::lock_guard lock(mutex_);
  const auto prior = streams_.find(owner);
  // A stream whose format changes starts over with a decoder for the new one.
  const bool fresh = prior == streams_.end() || prior->second->format.format != format.format ||
                     prior->second->format.rateCode != format.rateCode ||
                     prior->second->format.stereo != format.stereo ||
                     prior->second->format.is16Bit != format.is16Bit;
  Stream* st = StreamFor(owner, format, fresh);
  if (st) FeedStream(*st, st->lastFrame + 1, data);
}

void Mixer::StopExternalSound(const void* owner) {
  std::lock_guard lock(mutex_);
  if (owner != mainStream_) streams_.erase(owner);
}

void Mixer::OnButtonSound(const Movie& movie, uint16_t buttonId, ButtonSoundEvent event) {
  const auto it = movie.buttonSounds.find(buttonId);
  if (it == movie.buttonSounds.end()) return;
  const auto& s = it->second.sounds[static_cast<size_t>(event) & 3];
  if (!s) return;
  const auto def = movie.sounds.find(s->soundId);
  if (def != movie.sounds.end()) Start(def->second, s->info);
}

void Mixer::StopAll() {
  std::lock_guard lock(mutex_);
  voices_.clear();
  streams_.clear();
  mainStream_ = nullptr;
}

void Mixer::MixVoice(Voice& v, int32_t* acc, size_t frames) {
  if (v.fifo && (!v.primed || v.starved) && !v.fifo->Ready()) return;
  if (!v.primed) {
    if (!v.Pull(v.s0)) return;
    if (!v.Pull(v.s1)) {  // a one-sample sound: it sounds for one step
      std::copy_n(v.s0, 2, v.s1);
      v.tail = v.done;
      v.done = false;
    }
    v.primed = true;
  } else if (v.starved) {
    if (!v.Pull(v.s1)) return;
    v.starved = false;
  }
  for (size_t start = 0, n = 0; start < frames && !v.done; start += n) {
    // Blocks end at envelope points, so a straight ramp per block is exact.
    n = std::min(kChunk, frames - start);
    for (const SoundEnvelopePoint& p : v.envelope) {
      if (p.pos44 > v.played44) {
        n = std::min<uint64_t>(n, p.pos44 - v.played44);
        break;
      }
    }
    const int32_t l0 = Level(v.envelope, v.played44, false),
                  r0 = Level(v.envelope, v.played44, true);
    const int32_t l1 = Level(v.envelope, v.played44 + n, false);
    const int32_t r1 = Level(v.envelope, v.played44 + n, true);
    const bool flat = l0 == 32768 && r0 == 32768 && l1 == 32768 && r1 == 32768;
    const bool unity = v.gain[0] == 32768 && v.gain[1] == 32768;
    int32_t* out = acc + 2 * start;
    for (size_t i = 0; i < n; ++i) {
      // The difference of two samples times a 16-bit fraction needs 33 bits.
      const int64_t f = v.phase;
      int32_t left = v.s0[0] + static_cast<int32_t>(((v.s1[0] - v.s0[0]) * f) >> 16);
      int32_t right = v.s0[1] + static_cast<int32_t>(((v.s1[1] - v.s0[1]) * f) >> 16);
      if (!flat) {
        const int64_t t = static_cast<int64_t>(i);
        const int64_t gl = l0 + (l1 - l0) * t / static_cast<int64_t>(n);
        const int64_t gr = r0 + (r1 - r0) * t / static_cast<int64_t>(n);
        left = static_cast<int32_t>(left * gl >> 15);
        right = static_cast<int32_t>(right * gr >> 15);
      }
      if (!unity) {
        left = static_cast<int32_t>(static_cast<int64_t>(left) * v.gain[0] >> 15);
        right = static_cast<int32_t>(static_cast<int64_t>(right) * v.gain[1] >> 15);
      }
      out[2 * i] += left;
      out[2 * i + 1] += right;
      v.phase += v.step;
      while (v.phase >= kOne) {
        v.phase -= kOne;
        std::copy_n(v.s1, 2, v.s0);
        if (!v.Pull(v.s1)) {
          if (v.done && !v.tail) {
            // The last sample still sounds for one step before the end.
            v.tail = true;
            v.done = false;
            std::copy_n(v.s0, 2, v.s1);
            continue;
          }
          if (v.done) break;
          // A stream ran dry: it goes on from here when blocks come again.
          v.starved = true;
          v.played44 += i + 1;
          return;
        }
      }
      if (v.done) break;
    }
    v.played44 += n;
  }
}

void Mixer::Mix(int16_t* out, size_t frames) {
  std::lock_guard lock(mutex_);
  acc_.assign(2 * frames, 0);
  for (auto& v : voices_) MixVoice(*v, acc_.data(), frames);
  std::erase_if(voices_, [](const auto& v) { return v->done; });
  for (auto& [key, st] : streams_) MixVoice(*st->voice, acc_.data(), frames);
  for (size_t i = 0; i < 2 * frames; ++i)
    out[i] = static_cast<int16_t>(std::clamp(acc_[i], -32768, 32767));
}

std::optional<double> Mixer::MainStreamFrame() const {
  std::lock_guard lock(mutex_);
  const auto it = streams_.find(mainStream_);
  if (!mainStream_ || it == streams_.end()) return std::nullopt;
  const Voice& v = *it->second->voice;
  if (!v.primed) return std::nullopt;  // not heard yet
  return it->second->fifo->CurrentFrame(v.bufferLen - v.bufferPos + 1);
}

size_t Mixer::ActiveVoices() const {
  std::lock_guard lock(mutex_);
  return voices_.size();
}

}  // namespace orrivel::swf
