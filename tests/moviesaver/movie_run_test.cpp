#include "moviesaver/movie_run.h"

#include <gtest/gtest.h>

#include <vector>

namespace orrivel {
namespace {

TEST(MovieRunKindTest, PreviewWinsAndOnlyExactFalseIsPlain) {
  struct Case {
    bool preview;
    const char* interactive;
    MovieRunKind kind;
  } cases[] = {
      {true, "FALSE", MovieRunKind::Preview}, {true, "TRUE", MovieRunKind::Preview},
      {false, "FALSE", MovieRunKind::Plain},  {false, "TRUE", MovieRunKind::Interactive},
      {false, "", MovieRunKind::Interactive}, {false, "false", MovieRunKind::Interactive},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MovieRunKindFor(c.preview, c.interactive), c.kind) << c.preview << c.interactive;
  }
}

TEST(LayoutMovieTest, InteractiveLeavesAStripWithTheButtonAtTheBottom) {
  MovieLayout plain = LayoutMovie(MovieRunKind::Plain, 28800, 16200);
  EXPECT_EQ(plain.playerHeight, 16200);
  EXPECT_FALSE(plain.buttonVisible);
  MovieLayout interactive = LayoutMovie(MovieRunKind::Interactive, 28800, 16200);
  EXPECT_EQ(interactive.playerWidth, 28800);
  EXPECT_EQ(interactive.playerHeight, 15800);
  EXPECT_TRUE(interactive.buttonVisible);
  EXPECT_EQ(interactive.buttonTop + kEndButtonHeight, 16200) << "bottom edges meet";
}

TEST(SlideEndButtonTest, MovesFiveTwipsAndRestartsNearTheRightEdge) {
  const float width = 3000;
  float left = kEndButtonLeft;
  std::vector<float> seen;
  for (int i = 0; i < 200; ++i) seen.push_back(left = SlideEndButton(left, width));
  EXPECT_EQ(seen[0], 845);
  // 840 + 5k + 1695 + 5 >= 3000 first at left 1300: the next tick goes back.
  EXPECT_EQ(SlideEndButton(1295, width), 1300);
  EXPECT_EQ(SlideEndButton(1300, width), 50);
  for (float l : seen) EXPECT_LE(l + kEndButtonWidth, width);
}

TEST(MouseWatchTest, TwoDiagonalMovesThenTheNextTickEnds) {
  struct Case {
    const char* name;
    bool preview;
    std::vector<std::pair<int, int>> samples;
    int endsAt;  // index of the ending tick, -1: never
  } cases[] = {
      {"shortest end", false, {{0, 0}, {1, 1}, {2, 2}, {2, 2}}, 3},
      {"still cursor", false, std::vector<std::pair<int, int>>(50, {7, 7}), -1},
      {"one axis only", false, {{0, 0}, {5, 0}, {9, 0}, {9, 4}, {9, 8}, {9, 9}}, -1},
      {"moves need not follow each other",
       false,
       {{0, 0}, {1, 1}, {1, 1}, {1, 5}, {2, 6}, {2, 6}},
       5},
      {"first sample only records",
       false,
       {{100, 100}, {100, 100}, {101, 101}, {102, 102}, {0, 0}},
       4},
      {"beyond 16 bits", false, {{40000, 0}, {40001, 1}, {40002, 2}, {0, 0}}, 3},
      {"preview never ends", true, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MouseWatch watch;
    int ended = -1;
    for (size_t i = 0; i < c.samples.size() && ended < 0; ++i) {
      if (watch.OnTick(c.preview, c.samples[i].first, c.samples[i].second)) ended = int(i);
    }
    EXPECT_EQ(ended, c.endsAt);
  }
}

}  // namespace
}  // namespace orrivel
