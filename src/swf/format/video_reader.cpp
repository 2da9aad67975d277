// DefineVideoStream and VideoFrame: the compressed frames are kept as stored;
// the video decoders (swf/video) read them when a frame is shown.
#include "swf/format/tag_readers.h"

namespace orrivel::swf {

std::optional<VideoDefinition> ReadDefineVideoStream(ByteReader& r) {
  VideoDefinition def;
  def.id = r.U16();
  def.frameCount = r.U16();
  def.width = r.U16();
  def.height = r.U16();
  const uint8_t flags = r.U8();
  def.deblocking = (flags >> 1) & 7;
  def.smoothing = (flags & 1) != 0;
  def.codec = r.U8();
  if (r.Failed()) return std::nullopt;
  return def;
}

bool ReadVideoFrame(ByteReader& r, Movie& movie, ParseContext& ctx) {
  const uint16_t streamId = r.U16();
  const uint16_t frame = r.U16();
  const auto bytes = r.Rest();
  if (r.Failed()) return false;
  const auto it = movie.characters.find(streamId);
  auto* video = it == movie.characters.end() ? nullptr : std::get_if<VideoDefinition>(&it->second);
  // A frame for no stream, or a second one for the same number, is ignored.
  if (video == nullptr || video->frames.contains(frame)) return true;
  if (!ctx.budget.Take(bytes.size() + 64)) return false;
  video->frames.emplace(frame, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  return true;
}

}  // namespace orrivel::swf
