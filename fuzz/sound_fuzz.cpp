// Sound data from a hostile file: the first bytes choose a format and a
// SOUNDINFO (loops, in/out points, envelope), the rest is the sound, played
// as an event sound and cut into stream blocks; the bytes are also loaded as
// a movie whose frames are reported to the mixer, so the sound tags' parsing
// is reached too. Every run mixes a bounded second of sound.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "swf/format/reader.h"
#include "swf/format/sound_readers.h"
#include "swf/sound/mixer.h"
#include "swf/sound/mpg123_decoder_native.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrivel;
  using namespace orrivel::swf;
  static Mpg123DecoderFactory mp3;
  if (size < 2) return 0;
  std::vector<int16_t> out(2 * 4410);
  Mixer mixer(&mp3, {.maxVoices = 4, .maxStreams = 2, .maxStreamFrames = 44100});

  ByteReader r(std::span<const uint8_t>(data, size));
  const SoundFormatInfo format = SoundFormatFromByte(r.U8());
  const uint8_t blockSize = r.U8();
  const SoundInfo info = ReadSoundInfo(r);
  const auto rest = r.Rest();
  auto sound = std::make_shared<SoundDefinition>();
  sound->id = 1;
  sound->format = format;
  sound->sampleCount = static_cast<uint32_t>(rest.size() * 4);
  sound->data.assign(rest.begin(), rest.end());
  mixer.Start(sound, info);
  mixer.Start(sound, {});

  Movie movie;
  SoundStreamHead head;
  head.stream = format;
  movie.timeline.streamHead = head;
  const size_t step = blockSize + 1u;
  for (size_t at = 0; at < sound->data.size() && movie.timeline.frames.size() < 64; at += step) {
    Frame f;
    const auto end = sound->data.begin() + std::min(sound->data.size(), at + step);
    f.streamBlock.emplace(sound->data.begin() + at, end);
    movie.timeline.frames.push_back(std::move(f));
  }
  for (int i = 0; i < static_cast<int>(movie.timeline.frames.size()); ++i) {
    mixer.OnFrame(movie, movie.timeline, i, &movie);
    if (i % 8 == 0) mixer.Mix(out.data(), 4410 / 8);
  }
  for (int i = 0; i < 10; ++i) mixer.Mix(out.data(), 4410);

  const LoadResult loaded = LoadMovie(std::span<const uint8_t>(data, size));
  if (loaded.movie) {
    const Movie& m = *loaded.movie;
    for (int i = 0; i < static_cast<int>(m.timeline.frames.size()) && i < 64; ++i)
      mixer.OnFrame(m, m.timeline, i, &m);
    for (const auto& [id, sounds] : m.buttonSounds)
      mixer.OnButtonSound(m, id, ButtonSoundEvent::IdleToOverUp);
    mixer.Mix(out.data(), 4410);
    mixer.StopAll();
  }
  return 0;
}
