// What the timelines tell the sound side: which frame each timeline shows.
// The player only reports; the mixer starts, stops and streams the sounds.
#pragma once

#include <optional>
#include <span>

#include "swf/format/movie.h"

namespace orrivel::swf {

class SoundSink {
 public:
  virtual ~SoundSink() = default;
  // A timeline shows `frame` of `timeline` (played or the target of a goto,
  // not a frame a goto skipped): its StartSound tags and its stream block.
  // `instance` tells the running copies of one timeline apart.
  virtual void OnFrame(const Movie& movie, const Timeline& timeline, int frame,
                       const void* instance) = 0;
  // A button went from one state to another.
  virtual void OnButtonSound(const Movie& movie, uint16_t buttonId, ButtonSoundEvent event) = 0;
  // The main timeline's frame whose stream sound is heard now (with the
  // fraction of its block played); nothing while no stream sound plays. A
  // streaming movie keeps its picture in step with this.
  virtual std::optional<double> StreamFrame() const { return std::nullopt; }
  // A script starts an event sound (Sound.start). `owner` is the timeline
  // whose sounds it is (null: the movie's), so that they stop together;
  // gains are 0 to 32768 for each ear.
  virtual void StartOwnedSound(const Movie& movie, uint16_t soundId, const SoundInfo& info,
                               const void* owner, int gainLeft, int gainRight) {}
  // Ends the owner's sounds: one sound, or all of them when soundId is 0. A
  // null owner ends every event sound.
  virtual void StopOwnedSounds(const void* owner, uint16_t soundId) {}
  // A script changed the owner's volume or pan: its playing sounds follow.
  virtual void SetOwnedGain(const void* owner, int gainLeft, int gainRight) {}
  // A stream played by a script (NetStream) gives its sound a block at a
  // time, in order: MP3 frames, PCM or ADPCM as the format says. `owner`
  // tells the streams apart; a block in another format starts the sound
  // over. Stopping drops what is still queued (pause, seek, close).
  virtual void PushExternalSound(const void* owner, const SoundFormatInfo& format,
                                 std::span<const uint8_t> data) {}
  virtual void StopExternalSound(const void* owner) {}
  // stopAllSounds: every sound ends at once. A stream sound starts again
  // with the next frame that carries a block of it.
  virtual void StopAll() {}
};

// The sound of a button's state change, states numbered up 0, over 1, down 2;
// other changes make none.
inline std::optional<ButtonSoundEvent> ButtonSoundEventFor(int from, int to) {
  if (from == 0 && to == 1) return ButtonSoundEvent::IdleToOverUp;
  if (from == 1 && to == 0) return ButtonSoundEvent::OverUpToIdle;
  if (from == 1 && to == 2) return ButtonSoundEvent::OverUpToOverDown;
  if (from == 2 && to == 1) return ButtonSoundEvent::OverDownToOverUp;
  return std::nullopt;
}

}  // namespace orrivel::swf
