// The slideshow's rules that need no window: which entry comes next, how
// long each picture stays, and when input ends the saver.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string_view>

namespace orrivel {

enum class SlideOrder { List, Random };

// Exactly "RANDOM" selects random order; any other text list order.
SlideOrder SlideOrderFromSetting(std::string_view random);

// Uniform single-precision numbers in [0, 1), re-seedable; a seam for tests.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Reseed() = 0;
  virtual float Next() = 0;
};

// Re-seeded from the clock (mixed with a call counter, so two re-seeds within
// one clock tick still differ).
class ClockRandom final : public RandomSource {
 public:
  void Reseed() override;
  float Next() override;

 private:
  std::mt19937 engine_;
  uint64_t reseeds_ = 0;
};

// Positions are 16-bit, so at most this many entries take part.
inline constexpr int kMaxSlides = 32767;

// Advances pictureIndex (the slideshow position; 0-based entry in list order,
// 1-based number in random order) and returns the 0-based entry to load, or
// nothing when the list is empty. List order advances before the load and
// wraps; random order never repeats the last entry unless the list holds
// only one, where the same picture comes again.
std::optional<int> ChooseNextSlide(int16_t& pictureIndex, int entryCount, SlideOrder order,
                                   RandomSource& random);

// The display time in seconds (settings text) as a timer interval.
struct TimerInterval {
  uint32_t milliseconds = 0;  // 0: the timer never fires
  bool fellBack = false;      // the text was unusable; a safe value was chosen
};
inline constexpr uint32_t kFallbackIntervalMs = 5000;
inline constexpr uint32_t kMaxIntervalMs = 65535;

// Seconds × 1000, rounded half to even. Text that is not a finite number, or
// a negative time, gives kFallbackIntervalMs; a time above the timer's limit
// is clamped to kMaxIntervalMs. Both are flagged in fellBack.
TimerInterval IntervalFromSpeed(std::string_view speed);

// Counts mouse moves over the background and over the picture apart; the
// fifth of either ends the saver. Character keys end it at once. A preview
// never ends on input.
class InputWatch {
 public:
  explicit InputWatch(bool previewMode) : previewMode_(previewMode) {}
  bool OnFormMouseMove() { return Count(formMoveCount_); }
  bool OnPictureMouseMove() { return Count(pictureMoveCount_); }
  bool OnCharacterKey() const { return !previewMode_; }
  int FormMoveCount() const { return formMoveCount_; }
  int PictureMoveCount() const { return pictureMoveCount_; }

 private:
  static constexpr int16_t kEndAt = 5;
  bool Count(int16_t& counter);
  bool previewMode_;
  int16_t formMoveCount_ = 0;
  int16_t pictureMoveCount_ = 0;
};

}  // namespace orrivel
