#include "swf/raster/filter_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "swf/raster/pixel_row.h"

namespace orrivel::swf::raster {
namespace {

// The vector loops must give the scalar loops' pixels for every way a
// shadow or bevel meets its object, every row length (tails included), and
// pixels that are not premultiplied (whose channel sums spill past 16 bits).
#if ORRIVEL_AVX2_DISPATCH
struct Rows {
  std::vector<uint32_t> pixels;
  std::vector<uint8_t> lit, shaded;
};

Rows RandomRows(std::mt19937& rng, int n, bool premultiplied) {
  Rows r{std::vector<uint32_t>(n), std::vector<uint8_t>(n), std::vector<uint8_t>(n)};
  for (int i = 0; i < n; ++i) {
    const uint32_t a = rng() % 4 == 0 ? 255 : rng() % 256;
    const auto c = [&] { return premultiplied ? rng() % (a + 1) : rng() % 256; };
    r.pixels[i] = a << 24 | c() << 16 | c() << 8 | c();
    // Runs of equal alpha, as inside and outside an object.
    r.lit[i] = static_cast<uint8_t>(i > 0 && rng() % 3 != 0 ? r.lit[i - 1] : rng() % 256);
    r.shaded[i] = static_cast<uint8_t>(rng() % 2 == 0 ? r.lit[i] : rng() % 256);
  }
  return r;
}

TEST(FilterRowsTest, VectorLoopsMatchScalarLoops) {
  if (BestSimd() != SimdLevel::Avx2) GTEST_SKIP() << "no AVX2 here";
  std::mt19937 rng(11);
  std::array<uint32_t, 256> colors{}, zeroFirst{}, ramp{};
  for (uint32_t i = 0; i < 256; ++i) {
    colors[i] = ScaleColor(0xFF3366CCu, AlphaFraction(i));
    zeroFirst[i] = ScaleColor(0xC0102030u, AlphaFraction(i));
    ramp[i] = i << 24 | (255 - i) / 2;
  }
  const float strengths[] = {1, 0.3f, 2.5f, 255, 1.0f / 3};
  for (int mode = 0; mode < 64; ++mode) {
    const bool inner = mode & 1, knockout = mode & 2, hide = mode & 4, onTop = mode & 8;
    const bool raw = mode & 16, gradient = mode & 32;
    for (int n : {0, 7, 8, 9, 33, 100}) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << ", " << n << " pixels");
      Rows r = RandomRows(rng, n, !raw);
      const ShadowStyle shadow{(mode & 8) ? zeroFirst.data() : colors.data(), inner, knockout,
                               hide};
      std::vector<uint32_t> want = r.pixels, got = r.pixels;
      scalar::ShadowRow(want.data(), r.lit.data(), n, shadow);
      avx2::ShadowRow(got.data(), r.lit.data(), n, shadow);
      EXPECT_EQ(want, got) << "shadow";
      for (float strength : strengths) {
        BevelStyle bevel{0xFFFFFFFFu, 0x80000000u, strength, gradient ? ramp.data() : nullptr,
                         inner,       onTop,       knockout, hide};
        want = got = r.pixels;
        scalar::BevelRow(want.data(), r.lit.data(), r.shaded.data(), n, bevel);
        avx2::BevelRow(got.data(), r.lit.data(), r.shaded.data(), n, bevel);
        EXPECT_EQ(want, got) << "bevel of strength " << strength;
      }
    }
  }
}
#endif

}  // namespace
}  // namespace orrivel::swf::raster
