// Sorenson Spark (codec 2): H.263 baseline without groups of blocks, with its
// own picture header, disposable inter frames, vectors that may point past the
// picture, and an optional deblocking filter on what is shown.
#pragma once

#include <optional>
#include <vector>

#include "swf/video/video_decoder.h"
#include "swf/video/yuv.h"

namespace orrivel::swf::video {

enum class SparkPictureType : uint8_t { Intra = 0, Inter = 1, Disposable = 2 };

struct SparkHeader {
  int version = 0;  // 0: 8-bit escaped levels, 1: 7- or 11-bit
  int width = 0, height = 0;
  SparkPictureType type = SparkPictureType::Intra;
  bool deblocking = false;
  int quantizer = 1;
  size_t headerBits = 0;  // where the macroblocks start
};

// Nothing when the header is damaged or names a size past the cap.
std::optional<SparkHeader> ReadSparkHeader(std::span<const uint8_t> data);

class SparkDecoder final : public VideoDecoder {
 public:
  explicit SparkDecoder(uint8_t deblocking = 0) : deblockingMode_(deblocking) {}
  bool IsKeyFrame(std::span<const uint8_t> data) const override;
  bool Decode(std::span<const uint8_t> data) override;
  const raster::Image& Picture() const override { return image_; }
  // The last good picture before conversion; null before the first.
  const YuvPicture* Yuv() const { return shownYuv_; }

 private:
  struct Vector {
    int8_t x = 0, y = 0;  // half pixels
  };
  class Frame;

  uint8_t deblockingMode_;
  YuvPicture ref_, work_, shown_;
  bool haveRef_ = false;
  int refWidth_ = 0, refHeight_ = 0;
  std::vector<Vector> vectors_;   // per 8x8 luma block of the picture being decoded
  std::vector<uint8_t> changed_;  // per macroblock: not a copy of the reference
  // Per macroblock: work_ holds the reference's pixels already (the last
  // frame skipped it), so skipping it again needs no copy.
  std::vector<uint8_t> workMatchesRef_;
  // The picture shown is the reference as it stands, so an inter frame
  // need convert only the macroblocks it changes.
  bool shownIsRef_ = false;
  raster::Image image_;
  const YuvPicture* shownYuv_ = nullptr;
};

}  // namespace orrivel::swf::video
