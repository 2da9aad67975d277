// Internal to the reader: the sound tags' parsers (sound_reader.cpp).
#pragma once

#include <optional>

#include "swf/format/tag_readers.h"

namespace orrivel::swf {

SoundFormatInfo SoundFormatFromByte(uint8_t value);
// SOUNDINFO; check r.Failed() afterwards.
SoundInfo ReadSoundInfo(ByteReader& r);
std::optional<SoundDefinition> ReadDefineSound(ByteReader& r, ParseContext& ctx);
// StartSound (version 1) or StartSound2 (version 2).
std::optional<StartSound> ReadStartSound(ByteReader& r, int version);
std::optional<SoundStreamHead> ReadSoundStreamHead(ByteReader& r);
// DefineButtonSound: the button's id and its four sounds.
std::optional<std::pair<uint16_t, ButtonSounds>> ReadDefineButtonSound(ByteReader& r);

}  // namespace orrivel::swf
