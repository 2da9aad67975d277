#include "swf/format/sound_readers.h"

namespace orrivel::swf {
namespace {

constexpr uint8_t kHasInPoint = 0x01, kHasOutPoint = 0x02, kHasLoops = 0x04;
constexpr uint8_t kHasEnvelope = 0x08, kNoMultiple = 0x10, kStop = 0x20;

}  // namespace

SoundFormatInfo SoundFormatFromByte(uint8_t value) {
  SoundFormatInfo f;
  f.format = static_cast<SoundFormat>(value >> 4);
  f.rateCode = (value >> 2) & 3;
  f.is16Bit = (value & 2) != 0;
  f.stereo = (value & 1) != 0;
  return f;
}

SoundInfo ReadSoundInfo(ByteReader& r) {
  SoundInfo info;
  const uint8_t flags = r.U8();
  info.syncStop = (flags & kStop) != 0;
  info.syncNoMultiple = (flags & kNoMultiple) != 0;
  if (flags & kHasInPoint) info.inPoint = r.U32();
  if (flags & kHasOutPoint) info.outPoint = r.U32();
  if (flags & kHasLoops) info.loopCount = r.U16();
  if (flags & kHasEnvelope) {
    const uint8_t count = r.U8();  // at most 255 points: bounded by the type
    info.envelope.reserve(count);
    for (unsigned i = 0; i < count && !r.Failed(); ++i) {
      SoundEnvelopePoint p;
      p.pos44 = r.U32();
      p.left = r.U16();
      p.right = r.U16();
      info.envelope.push_back(p);
    }
  }
  return info;
}

std::optional<SoundDefinition> ReadDefineSound(ByteReader& r, ParseContext& ctx) {
  SoundDefinition def;
  def.id = r.U16();
  def.format = SoundFormatFromByte(r.U8());
  def.sampleCount = r.U32();
  if (r.Failed()) return std::nullopt;
  const auto bytes = r.Rest();
  if (!ctx.budget.Take(sizeof(SoundDefinition) + bytes.size())) return std::nullopt;
  def.data.assign(bytes.begin(), bytes.end());
  return def;
}

std::optional<StartSound> ReadStartSound(ByteReader& r, int version) {
  StartSound start;
  if (version == 1) {
    start.soundId = r.U16();
  } else {
    start.className = r.String();
  }
  start.info = ReadSoundInfo(r);
  if (r.Failed()) return std::nullopt;
  return start;
}

std::optional<SoundStreamHead> ReadSoundStreamHead(ByteReader& r) {
  SoundStreamHead head;
  head.playback = SoundFormatFromByte(r.U8() & 0x0F);
  head.stream = SoundFormatFromByte(r.U8());
  head.samplesPerBlock = r.U16();
  // Some writers leave LatencySeek out; a missing one reads as 0.
  if (head.stream.format == SoundFormat::Mp3 && r.Remaining() >= 2) head.latencySeek = r.S16();
  if (r.Failed()) return std::nullopt;
  return head;
}

std::optional<std::pair<uint16_t, ButtonSounds>> ReadDefineButtonSound(ByteReader& r) {
  std::pair<uint16_t, ButtonSounds> result;
  result.first = r.U16();
  for (auto& slot : result.second.sounds) {
    const uint16_t id = r.U16();
    if (id == 0) continue;
    StartSound start;
    start.soundId = id;
    start.info = ReadSoundInfo(r);
    slot = std::move(start);
  }
  if (r.Failed()) return std::nullopt;
  return result;
}

}  // namespace orrivel::swf
