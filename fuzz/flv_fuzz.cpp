// FLV files from a hostile source: the tag index, every script data tag's
// values, and the first two video frames through the decoder their codec
// names (the decoders have fuzz targets of their own).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "swf/video/amf0.h"
#include "swf/video/flv_reader.h"
#include "swf/video/video_decoder.h"

namespace {

using namespace orrivel::swf::video;

std::size_t CountValues(const AmfValue& v) {
  std::size_t n = 1;
  for (const auto& [name, p] : v.properties) n += CountValues(p);
  for (const AmfValue& e : v.elements) n += CountValues(e);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  const FlvFile flv = ReadFlv(file, 4096);
  std::unique_ptr<VideoDecoder> decoder;
  uint8_t codec = 0;
  int frames = 0;
  for (const FlvTag& tag : flv.tags) {
    if (tag.offset > size || size - tag.offset < tag.size) __builtin_trap();
    const auto body = file.subspan(tag.offset, tag.size);
    if (tag.type == FlvTagType::Script) {
      AmfScript script;
      std::string error;
      const AmfLimits limits{8, 512};
      if (ReadAmfScript(body, script, error, limits)) {
        std::size_t values = 1;
        for (const AmfValue& v : script.args) values += CountValues(v);
        if (values > limits.maxValues) __builtin_trap();
      } else if (error.empty()) {
        __builtin_trap();
      }
    } else if (tag.type == FlvTagType::Video && frames < 2 && !body.empty()) {
      const FlvVideoHeader h = ReadFlvVideoHeader(body);
      if (!decoder || h.codec != codec) decoder = MakeVideoDecoder(codec = h.codec, 0);
      if (decoder) {
        decoder->Decode(body.subspan(1));
        ++frames;
      }
    } else if (tag.type == FlvTagType::Audio) {
      (void)ReadFlvAudioHeader(body);
    }
  }
  return 0;
}
