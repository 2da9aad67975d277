// Screen Video 2 frames from a hostile file (video_fuzz_body.h).
#include "video_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzVideo(6, data, size);
}
