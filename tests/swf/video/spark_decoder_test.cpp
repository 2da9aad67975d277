// Sorenson Spark against ffmpeg's own decode of the streams its encoder made,
// and the picture header's fields and damage rules.
#include <gtest/gtest.h>

#include "ffmpeg_oracle.h"
#include "spark_frames.h"
#include "swf/video/h263_decoder.h"

namespace orrivel::swf::video {
namespace {

using namespace test;

TEST(SparkDecoder, MatchesFfmpegDecodeOfItsOwnStreams) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  struct Case {
    const char* name;
    int width, height;
    const char* encode;  // ffmpeg options after the source
    int frames;
  };
  const Case cases[] = {
      {"fine quantizer, long escapes", 176, 144, "-q:v 2 -g 10", 12},
      {"coarse quantizer", 320, 240, "-q:v 20 -g 30", 20},
      {"custom size, one intra", 200, 120, "-q:v 5 -g 300", 15},
      {"varying quantizer", 352, 288, "-b:v 300k -g 25", 25},
      {"four vectors per macroblock", 320, 240, "-q:v 4 -flags +mv4 -g 50", 20},
      {"vectors past the edges", 160, 120, "-q:v 3 -g 100 -me_range 16", 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir("spark");
    const fs::path flv = dir.Path() / "in.flv", yuv = dir.Path() / "out.yuv";
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    ASSERT_TRUE(RunQuiet("ffmpeg -y -f lavfi -i testsrc2=size=" + size + ":rate=25 -frames:v " +
                         std::to_string(c.frames) + " -c:v flv1 " + c.encode + " " + flv.string()));
    ASSERT_TRUE(RunQuiet("ffmpeg -y -threads 1 -i " + flv.string() +
                         " -f rawvideo -pix_fmt yuv420p " + yuv.string()));
    const FlvVideo video = ReadFlvVideo(ReadFile(flv));
    const std::vector<uint8_t> ref = ReadFile(yuv);
    ASSERT_EQ(static_cast<int>(video.packets.size()), c.frames);
    const size_t lumaSize = size_t(c.width) * c.height;
    const size_t frameSize = lumaSize + 2 * (size_t(c.width / 2) * (c.height / 2));
    ASSERT_EQ(ref.size(), frameSize * c.frames);
    SparkDecoder decoder(1);  // ffmpeg shows frames unfiltered, whatever their flag
    double worst = 99;
    for (int i = 0; i < c.frames; ++i) {
      ASSERT_EQ(decoder.IsKeyFrame(video.packets[i]), video.keyFrames[i]) << i;
      ASSERT_TRUE(decoder.Decode(video.packets[i])) << "frame " << i;
      const YuvPicture& pic = *decoder.Yuv();
      const uint8_t* want = ref.data() + frameSize * i;
      std::vector<uint8_t> got;
      for (int y = 0; y < c.height; ++y)
        got.insert(got.end(), pic.y.Row(y), pic.y.Row(y) + c.width);
      for (const Plane* p : {&pic.u, &pic.v}) {
        for (int y = 0; y < c.height / 2; ++y)
          got.insert(got.end(), p->Row(y), p->Row(y) + c.width / 2);
      }
      const double psnr = Psnr(got.data(), want, frameSize);
      // The picture converted piecewise equals the whole picture converted.
      raster::Image whole;
      YuvToBgra(pic, c.width, c.height, whole);
      EXPECT_EQ(whole.pixels, decoder.Picture().pixels) << "frame " << i;
      worst = std::min(worst, psnr);
      EXPECT_GE(psnr, 45) << "frame " << i;
    }
    std::printf("%s: worst PSNR %.1f dB\n", c.name, worst);
  }
}

// Skipped macroblocks come from the reference, whatever the buffer being
// written last held: a disposable frame, a new key frame or a frame that
// broke off part-way.
TEST(SparkDecoder, SkippedMacroblocksShowTheReference) {
  constexpr int kW = 48, kH = 32;
  const auto skip = [] { return SkipFrame(Kind::Inter, kW, kH); };
  const auto flat = [](Kind k, uint8_t luma) { return FlatFrame(k, kW, kH, luma); };
  std::vector<uint8_t> broken = flat(Kind::Inter, 200);
  broken.resize(broken.size() / 2);
  struct Step {
    std::vector<uint8_t> frame;
    bool decodes;
    int luma;  // of every pixel shown after the step
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"skips in a row",
       {{flat(Kind::Intra, 50), true, 50}, {skip(), true, 50}, {skip(), true, 50}}},
      {"after a disposable frame",
       {{flat(Kind::Intra, 50), true, 50},
        {skip(), true, 50},
        {flat(Kind::Disposable, 200), true, 200},
        {skip(), true, 50},
        {skip(), true, 50}}},
      {"after a new key frame",
       {{flat(Kind::Intra, 50), true, 50},
        {skip(), true, 50},
        {flat(Kind::Intra, 120), true, 120},
        {skip(), true, 120}}},
      {"after a frame that broke off",
       {{flat(Kind::Intra, 50), true, 50},
        {skip(), true, 50},
        {broken, false, 50},
        {skip(), true, 50},
        {skip(), true, 50}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SparkDecoder decoder(1);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      ASSERT_EQ(decoder.Decode(s.frame), s.decodes) << "step " << i;
      const Plane& y = decoder.Yuv()->y;
      for (int row = 0; row < kH; row += 8) {
        for (int x = 0; x < kW; x += 8) ASSERT_EQ(y.Row(row)[x], s.luma) << "step " << i;
      }
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::video
