// MP3 decoding through libmpg123 (native builds).
#pragma once

#include "swf/sound/sample_source.h"

namespace orrivel::swf {

class Mpg123DecoderFactory final : public Mp3DecoderFactory {
 public:
  std::unique_ptr<Mp3Decoder> Create() override;
};

}  // namespace orrivel::swf
