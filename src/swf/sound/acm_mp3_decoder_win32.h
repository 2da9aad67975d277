// MP3 decoding through the system's ACM MPEG Layer-3 codec (msacm32). A
// system without the codec (some Wine set-ups) decodes nothing: silence.
#pragma once

#include "swf/sound/sample_source.h"

namespace orrivel::swf {

class AcmMp3DecoderFactory final : public Mp3DecoderFactory {
 public:
  std::unique_ptr<Mp3Decoder> Create() override;
};

}  // namespace orrivel::swf
