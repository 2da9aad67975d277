#include "picturesaver/slideshow.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <vector>

namespace orrivel {
namespace {

// Hands out scripted numbers, repeating the last one when the script runs out.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::deque<float> values) : values_(std::move(values)) {}
  void Reseed() override { ++reseeds; }
  float Next() override {
    ++draws;
    float v = values_.front();
    if (values_.size() > 1) values_.pop_front();
    return v;
  }
  int reseeds = 0;
  int draws = 0;

 private:
  std::deque<float> values_;
};

std::vector<int> Steps(int count, int steps, SlideOrder order, RandomSource& random) {
  int16_t index = 0;
  std::vector<int> loaded;
  for (int i = 0; i < steps; ++i) {
    auto entry = ChooseNextSlide(index, count, order, random);
    loaded.push_back(entry ? *entry : -1);
  }
  return loaded;
}

TEST(SlideOrderTest, OnlyExactUpperCaseRandomSelectsRandom) {
  EXPECT_EQ(SlideOrderFromSetting("RANDOM"), SlideOrder::Random);
  for (const char* text : {"random", "", "SEQ", "RANDOM ", "Random"}) {
    EXPECT_EQ(SlideOrderFromSetting(text), SlideOrder::List) << text;
  }
}

TEST(ChooseNextSlideTest, ListOrderAdvancesBeforeLoadingAndWraps) {
  ScriptedRandom unused({0.5f});
  struct Case {
    int count;
    std::vector<int> expected;
  } cases[] = {
      {3, {1, 2, 0, 1, 2, 0}},  // A, B, C: B first, then C, A, B ...
      {2, {1, 0, 1, 0}},
      {1, {0, 0, 0}},
      {0, {-1, -1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Steps(c.count, static_cast<int>(c.expected.size()), SlideOrder::List, unused),
              c.expected)
        << c.count << " entries";
  }
  EXPECT_EQ(unused.draws, 0);
}

TEST(ChooseNextSlideTest, ListOrderWrapsWhenTheListShrankBelowThePosition) {
  ScriptedRandom unused({0.5f});
  int16_t index = 7;
  EXPECT_EQ(ChooseNextSlide(index, 3, SlideOrder::List, unused), 0);
  EXPECT_EQ(index, 0);
}

TEST(ChooseNextSlideTest, RandomOrderMapsTheDrawToAOneBasedNumber) {
  // c = floor(n * r + 1): with 4 entries, r in [0.25, 0.5) gives number 2.
  struct Case {
    float r;
    int entry;
  } cases[] = {{0.0f, 0}, {0.2499f, 0}, {0.25f, 1}, {0.74f, 2}, {0.9999999f, 3}};
  for (const auto& c : cases) {
    ScriptedRandom random({c.r});
    int16_t index = 0;
    EXPECT_EQ(ChooseNextSlide(index, 4, SlideOrder::Random, random), c.entry) << c.r;
    EXPECT_EQ(index, c.entry + 1);
    EXPECT_EQ(random.reseeds, 1);
  }
}

TEST(ChooseNextSlideTest, RandomOrderRedrawsTheLastEntryButNeverSticks) {
  struct Case {
    std::deque<float> script;
    int count, index, entry, draws;  // entry -1: none
  } cases[] = {
      {{0.1f, 0.1f, 0.1f, 0.6f}, 3, 1, 1, 4},  // redraws while the last entry comes again
      {{0.0f}, 3, 1, 1, -1},                   // a stuck generator still moves on
      {{0.3f}, 1, 1, 0, -1},                   // one entry: shown again
      {{0.3f}, 0, 0, -1, 0},                   // no entries: fails without drawing
  };
  for (const Case& c : cases) {
    ScriptedRandom random(c.script);
    int16_t index = static_cast<int16_t>(c.index);
    const auto entry = ChooseNextSlide(index, c.count, SlideOrder::Random, random);
    EXPECT_EQ(entry ? *entry : -1, c.entry) << c.count << " entries";
    if (c.draws >= 0) {
      EXPECT_EQ(random.draws, c.draws);
    }
  }
}

TEST(ChooseNextSlideTest, ClockRandomNeverRepeatsAndReachesEveryEntry) {
  ClockRandom random;
  for (int count : {2, 3, 7}) {
    auto loaded = Steps(count, 400, SlideOrder::Random, random);
    std::set<int> seen(loaded.begin(), loaded.end());
    EXPECT_EQ(static_cast<int>(seen.size()), count);
    EXPECT_GE(*seen.begin(), 0);
    for (size_t i = 1; i < loaded.size(); ++i) ASSERT_NE(loaded[i], loaded[i - 1]) << i;
  }
}

TEST(IntervalFromSpeedTest, SecondsToMillisecondsWithSafeFallbacks) {
  struct Case {
    const char* speed;
    uint32_t ms;
    bool fellBack;
  } cases[] = {
      {"5", 5000, false},   {"15", 15000, false},  {"0", 0, false},          {"2.5", 2500, false},
      {" 7 ", 7000, false}, {"+3", 3000, false},   {"65.535", 65535, false}, {"0.0005", 0, false},
      {"0.0015", 2, false}, {"1e1", 10000, false}, {"65.536", 65535, true},  {"1e300", 65535, true},
      {"-1", 5000, true},   {"", 5000, true},      {"abc", 5000, true},      {"5x", 5000, true},
      {"nan", 5000, true},  {"inf", 5000, true},   {"1,5", 5000, true},
  };
  for (const auto& c : cases) {
    TimerInterval interval = IntervalFromSpeed(c.speed);
    EXPECT_EQ(interval.milliseconds, c.ms) << '"' << c.speed << '"';
    EXPECT_EQ(interval.fellBack, c.fellBack) << '"' << c.speed << '"';
  }
}

TEST(InputWatchTest, FifthMoveOfEitherCounterEndsTheSaver) {
  InputWatch watch(false);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(watch.OnFormMouseMove());
    EXPECT_FALSE(watch.OnPictureMouseMove());
  }
  InputWatch overPicture = watch;
  EXPECT_TRUE(watch.OnFormMouseMove());
  EXPECT_TRUE(overPicture.OnPictureMouseMove());
  EXPECT_TRUE(watch.OnFormMouseMove()) << "keeps asking to end once reached";
  EXPECT_TRUE(watch.OnCharacterKey());
}

TEST(InputWatchTest, PreviewNeverEndsOnInput) {
  InputWatch watch(true);
  for (int i = 0; i < 10; ++i) {
    EXPECT_FALSE(watch.OnFormMouseMove());
    EXPECT_FALSE(watch.OnPictureMouseMove());
  }
  EXPECT_FALSE(watch.OnCharacterKey());
  EXPECT_EQ(watch.FormMoveCount(), 0);
}

}  // namespace
}  // namespace orrivel
