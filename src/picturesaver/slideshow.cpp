#include "picturesaver/slideshow.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <string>

namespace orrivel {

SlideOrder SlideOrderFromSetting(std::string_view random) {
  return random == "RANDOM" ? SlideOrder::Random : SlideOrder::List;
}

void ClockRandom::Reseed() {
  auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  std::seed_seq seq{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32),
                    static_cast<uint32_t>(++reseeds_)};
  engine_.seed(seq);
}

float ClockRandom::Next() {
  // 24 random bits give every float in [0, 1) on an even grid, never 1.
  return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f);
}

namespace {

// A broken generator (a test's, or one stuck on one value) must not hang the
// step: after this many repeats the entry after the last one is taken.
constexpr int kMaxRedraws = 64;

int DrawNumber(int n, RandomSource& random) {
  double r = random.Next();
  auto c = static_cast<long long>(std::floor(static_cast<double>(static_cast<float>(n)) * r + 1.0));
  return static_cast<int>(std::clamp<long long>(c, 1, n));
}

}  // namespace

std::optional<int> ChooseNextSlide(int16_t& pictureIndex, int entryCount, SlideOrder order,
                                   RandomSource& random) {
  int n = std::min(entryCount, kMaxSlides);
  if (n <= 0) return std::nullopt;
  if (order == SlideOrder::List) {
    // An index beyond the end (the list shrank) wraps like the last one.
    if (pictureIndex >= n - 1 || pictureIndex < 0) {
      pictureIndex = 0;
    } else {
      ++pictureIndex;
    }
    return pictureIndex;
  }
  random.Reseed();
  int c = DrawNumber(n, random);
  if (n > 1) {
    for (int draws = 1; c == pictureIndex; ++draws) {
      if (draws >= kMaxRedraws) {
        c = pictureIndex % n + 1;
        break;
      }
      c = DrawNumber(n, random);
    }
  }
  pictureIndex = static_cast<int16_t>(c);
  return c - 1;
}

TimerInterval IntervalFromSpeed(std::string_view speed) {
  auto isSpace = [](char ch) { return ch == ' ' || ch == '\t'; };
  while (!speed.empty() && isSpace(speed.front())) speed.remove_prefix(1);
  while (!speed.empty() && isSpace(speed.back())) speed.remove_suffix(1);
  if (!speed.empty() && speed.front() == '+') speed.remove_prefix(1);
  double seconds = 0;
  auto [end, ec] = std::from_chars(speed.data(), speed.data() + speed.size(), seconds,
                                   std::chars_format::general);
  if (speed.empty() || ec != std::errc() || end != speed.data() + speed.size() ||
      !std::isfinite(seconds) || seconds < 0) {
    return {kFallbackIntervalMs, true};
  }
  double ms = std::nearbyint(seconds * 1000.0);  // default rounding: half to even
  if (ms > kMaxIntervalMs) return {kMaxIntervalMs, true};
  return {static_cast<uint32_t>(ms), false};
}

bool InputWatch::Count(int16_t& counter) {
  if (previewMode_) return false;
  if (counter < kEndAt) ++counter;
  return counter >= kEndAt;
}

}  // namespace orrivel
