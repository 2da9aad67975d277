// Mixes a movie's sounds into 44.1 kHz 16-bit stereo: event sounds (with
// their envelopes, loops, in and out points), the stream sound of each
// timeline, and button sounds. The player thread reports frames through
// SoundSink; the audio thread (or a tool) pulls samples with Mix. Both may
// run at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "swf/sound/sample_source.h"
#include "swf/sound/sound_sink.h"

namespace orrivel::swf {

// Bounds that keep a hostile movie's sound to a fixed cost.
struct MixerLimits {
  size_t maxVoices = 32;               // event sounds at once; more are not started
  size_t maxStreams = 8;               // timelines streaming at once
  size_t maxStreamFrames = 44100 * 4;  // decoded stream sound waiting to be played, per timeline
};

class Mixer final : public SoundSink {
 public:
  static constexpr int kRate = 44100;

  // mp3 may be null (MP3 sounds play silent); it must outlive the mixer.
  explicit Mixer(Mp3DecoderFactory* mp3, const MixerLimits& limits = {});
  ~Mixer() override;
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  void OnFrame(const Movie& movie, const Timeline& timeline, int frame,
               const void* instance) override;
  void OnButtonSound(const Movie& movie, uint16_t buttonId, ButtonSoundEvent event) override;

  // Starts (or, with syncStop, stops) an event sound as StartSound does.
  void Start(std::shared_ptr<const SoundDefinition> sound, const SoundInfo& info);
  void StartOwnedSound(const Movie& movie, uint16_t soundId, const SoundInfo& info,
                       const void* owner, int gainLeft, int gainRight) override;
  void StopOwnedSounds(const void* owner, uint16_t soundId) override;
  void SetOwnedGain(const void* owner, int gainLeft, int gainRight) override;
  void PushExternalSound(const void* owner, const SoundFormatInfo& format,
                         std::span<const uint8_t> data) override;
  void StopExternalSound(const void* owner) override;
  // Silence at once: every voice and stream ends (stopAllSounds, or the
  // movie was unloaded).
  void StopAll() override;

  // Writes `frames` interleaved stereo frames at 44.1 kHz.
  void Mix(int16_t* out, size_t frames);

  // The frame of the main timeline whose stream sound is being heard now
  // (with the fraction of its block played), or nothing when the main
  // timeline streams no sound at the moment.
  std::optional<double> MainStreamFrame() const;
  std::optional<double> StreamFrame() const override { return MainStreamFrame(); }
  size_t ActiveVoices() const;

 private:
  struct Voice;
  struct Stream;
  Voice* StartLocked(std::shared_ptr<const SoundDefinition> sound, const SoundInfo& info);
  Stream* StreamFor(const void* key, const SoundFormatInfo& format, bool restart);
  void FeedStream(Stream& st, int frame, std::span<const uint8_t> block);
  Voice* AddVoice(std::unique_ptr<SampleSource> source, int nominalRate);
  void MixVoice(Voice& v, int32_t* acc, size_t frames);

  Mp3DecoderFactory* mp3_;
  MixerLimits limits_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Voice>> voices_;
  std::map<const void*, std::unique_ptr<Stream>> streams_;
  const void* mainStream_ = nullptr;
  std::vector<int32_t> acc_;
};

}  // namespace orrivel::swf
