#include <gtest/gtest.h>

#include "corpus_scoring.h"
#include "toml_lite.h"

namespace orrivel::swf::test {
namespace {

TEST(TomlLiteTest, ReadsTheShapesTheCorpusUses) {
  const TomlLite t = TomlLite::Parse(R"(num_frames = 30 # trailing comment
# a comment line
image_comparisons."output.02".trigger = 2
[image_comparisons.output]
tolerance = 34
max_outliers = 1070

[[image_comparisons.more.checks]]
tolerance = 0
[[image_comparisons.more.checks]]
tolerance = 16
max_outliers = 1300

[player_options]
with_renderer = { optional = false, quality = "low" }
viewport_dimensions = { width = 800, height = 400, scale_factor = 1.0 }
label = "a # not a comment"
)");
  EXPECT_EQ(t.Number("num_frames"), 30);
  EXPECT_EQ(t.Number("image_comparisons/output.02/trigger"), 2);
  EXPECT_EQ(t.Number("image_comparisons/output/tolerance"), 34);
  EXPECT_EQ(t.Number("image_comparisons/output/max_outliers"), 1070);
  EXPECT_EQ(t.Number("image_comparisons/more/checks/0/tolerance"), 0);
  EXPECT_EQ(t.Number("image_comparisons/more/checks/1/max_outliers"), 1300);
  EXPECT_EQ(t.String("player_options/with_renderer/quality"), "low");
  EXPECT_EQ(t.Number("player_options/viewport_dimensions/width"), 800);
  EXPECT_EQ(t.String("player_options/label"), "a # not a comment");
  EXPECT_FALSE(t.Number("player_options/with_renderer/quality"));
  EXPECT_FALSE(t.Number("missing"));
}

TEST(CorpusScoringTest, OwnChecksOrTheTwoPercentRule) {
  tools::RgbaImage a{10, 10, std::vector<uint8_t>(400, 100)};
  tools::RgbaImage b = a;
  for (int i = 0; i < 8; ++i) b.rgba[i] = 140;  // 8 of 400 values off by 40: 2%
  EXPECT_TRUE(ImagesMatch(a, b, {Check{0, 0}}));
  b.rgba[8] = 140;  // 9: over 2%
  EXPECT_FALSE(ImagesMatch(a, b, {Check{0, 0}}));
  EXPECT_TRUE(ImagesMatch(a, b, {Check{40, 0}}));
  EXPECT_TRUE(ImagesMatch(a, b, {Check{0, 9}}));
  EXPECT_FALSE(ImagesMatch(a, b, {Check{0, 9}, Check{39, 8}}));
  tools::RgbaImage small{5, 10, std::vector<uint8_t>(200, 100)};
  EXPECT_FALSE(ImagesMatch(a, small, {Check{255, 1000}}));
}

}  // namespace
}  // namespace orrivel::swf::test
