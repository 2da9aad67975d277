#include "swf/raster/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace orrivel::swf::raster {
namespace {

// Every row of the range is handed out exactly once, whether the work is
// split or not, with or without a pool.
TEST(ParallelTest, BandsCoverEveryRowOnce) {
  struct Case {
    int threads, begin, end;
    int64_t pixels;
  };
  const Case cases[] = {
      {1, 0, 1000, 1 << 20},  {2, 0, 1000, 1 << 20}, {3, 5, 1004, 1 << 20},
      {4, 0, 17, 1 << 20},    {4, 0, 15, 1 << 20},   {2, 0, 1000, 100},
      {8, 100, 101, 1 << 20}, {2, 10, 10, 1 << 20},  {16, 0, 4321, 1 << 24},
  };
  for (const Case& c : cases) {
    WorkerPool pool(c.threads);
    const ScopedWorkers scope(&pool);
    std::vector<std::atomic<int>> seen(static_cast<size_t>(c.end + 1));
    ForEachBand(c.begin, c.end, c.pixels, [&](int from, int to) {
      for (int y = from; y < to; ++y) ++seen[static_cast<size_t>(y)];
    });
    for (int y = 0; y <= c.end; ++y) {
      const int expected = y >= c.begin && y < c.end ? 1 : 0;
      EXPECT_EQ(seen[static_cast<size_t>(y)], expected)
          << "row " << y << " of " << c.begin << ".." << c.end << ", " << c.threads << " threads";
    }
  }
}

TEST(ParallelTest, LargeWorkSplitsOnlyWithAPoolOfSeveralThreads) {
  EXPECT_FALSE(WouldSplit(1000, 1 << 20));  // no pool current
  WorkerPool one(1), two(2);
  {
    const ScopedWorkers scope(&one);
    EXPECT_FALSE(WouldSplit(1000, 1 << 20));
  }
  const ScopedWorkers scope(&two);
  EXPECT_TRUE(WouldSplit(1000, 1 << 20));
  EXPECT_FALSE(WouldSplit(1000, 1000));  // too small to pay for the threads
  EXPECT_FALSE(WouldSplit(4, 1 << 20));  // too few rows
}

// A band that asks for bands again runs them itself instead of waiting on
// the busy pool; a pool runs many jobs one after another.
TEST(ParallelTest, NestedAndRepeatedJobsFinish) {
  WorkerPool pool(3);
  const ScopedWorkers scope(&pool);
  std::atomic<int64_t> sum{0};
  for (int job = 0; job < 200; ++job) {
    ForEachBand(0, 256, 1 << 20, [&](int from, int to) {
      ForEachBand(from, to, 1 << 20, [&](int a, int b) {
        for (int y = a; y < b; ++y) sum += y;
      });
    });
  }
  EXPECT_EQ(sum, int64_t{200} * (255 * 256 / 2));
}

}  // namespace
}  // namespace orrivel::swf::raster
