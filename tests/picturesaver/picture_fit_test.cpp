#include "picturesaver/picture_fit.h"

#include <gtest/gtest.h>

namespace orrivel {
namespace {

constexpr float kWindowWidth = 1024 * 15.0f;
constexpr float kWindowHeight = 768 * 15.0f;

PictureBox Natural(int widthPx, int heightPx) {
  return {2160, 1800, widthPx * 15.0f, heightPx * 15.0f, false};
}

TEST(FitPictureTest, FullScreenCases) {
  struct Case {
    int w, h;
    float width, height, left, top;
    bool stretch;
  } cases[] = {
      {800, 600, 12000, 9000, 1680, 1260, false},
      {2048, 1536, 15360, 11520, 0, 0, true},
      {2000, 500, 15360, 3840, 0, 3840, true},
      {500, 2000, 2880, 11520, 6240, 0, true},
      {1600, 1400, 13165.714f, 11520, 1097.1428f, 0, true},
      {1024, 768, 15360, 11520, 0, 0, true},
      {1024, 100, 15360, 1500, 0, 5010, true},
  };
  for (const auto& c : cases) {
    PictureBox box = Natural(c.w, c.h);
    ASSERT_TRUE(FitPicture(box, kWindowWidth, kWindowHeight));
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    EXPECT_FLOAT_EQ(box.width, c.width);
    EXPECT_FLOAT_EQ(box.height, c.height);
    EXPECT_FLOAT_EQ(box.left, c.left);
    EXPECT_FLOAT_EQ(box.top, c.top);
    EXPECT_EQ(box.stretch, c.stretch);
  }
}

TEST(FitPictureTest, RefittingChangesNothingAndNeverEnlarges) {
  PictureBox box = Natural(1600, 1400);
  ASSERT_TRUE(FitPicture(box, kWindowWidth, kWindowHeight));
  PictureBox once = box;
  // The ratio 13440 / 11520 rounds to a float before the width is divided by it.
  EXPECT_EQ(box.width, static_cast<float>(15360.0 / static_cast<float>(13440.0 / 11520.0)));
  ASSERT_TRUE(FitPicture(box, kWindowWidth, kWindowHeight));
  EXPECT_EQ(box.width, once.width);
  EXPECT_EQ(box.height, once.height);
  EXPECT_EQ(box.left, once.left);

  ASSERT_TRUE(FitPicture(box, kWindowWidth * 2, kWindowHeight * 2));
  EXPECT_EQ(box.width, once.width);
  EXPECT_EQ(box.height, once.height);
  EXPECT_FLOAT_EQ(box.left, (kWindowWidth * 2 - once.width) / 2);
  EXPECT_FLOAT_EQ(box.top, (kWindowHeight * 2 - once.height) / 2);
}

TEST(FitPictureTest, WindowWithoutSizeLeavesThePictureAlone) {
  for (auto [w, h] :
       {std::pair{0.0f, 11520.0f}, {15360.0f, 0.0f}, {0.0f, 0.0f}, {-15.0f, 100.0f}}) {
    PictureBox box = Natural(2000, 500);
    PictureBox before = box;
    EXPECT_FALSE(FitPicture(box, w, h));
    EXPECT_EQ(box.width, before.width);
    EXPECT_EQ(box.left, before.left);
    EXPECT_FALSE(box.stretch);
  }
  PictureBox empty{};  // an empty picture is centred unscaled
  ASSERT_TRUE(FitPicture(empty, 3000, 2000));
  EXPECT_FALSE(empty.stretch);
  EXPECT_EQ(empty.left, 1500);
  EXPECT_EQ(empty.top, 1000);
}

}  // namespace
}  // namespace orrivel
