// The slideshow's hot path: reducing a large photo to the screen, against
// decoding the same photo as a JPEG (libjpeg-turbo), so the downscaler's
// cost can be read as a fraction of the decode it always follows, both on a
// picture held whole in memory and fed strip by strip from the decoder.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <jpeglib.h>
#include <random>
#include <vector>

#include "picturesaver/downscale.h"

namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
// 6000 x 4000 fitted to a 1920 x 1080 screen keeps its 3:2 shape.
constexpr int kFittedWidth = 1620;
constexpr int kFittedHeight = 1080;

// Smooth shapes with some grain, so the JPEG has the density of a photo.
const orrivel::Bitmap& Photo() {
  static const orrivel::Bitmap photo = [] {
    orrivel::Bitmap bmp{kPhotoWidth, kPhotoHeight, {}};
    bmp.pixels.resize(bmp.Stride() * kPhotoHeight);
    std::mt19937 rng(1);
    for (int y = 0; y < kPhotoHeight; ++y) {
      uint8_t* p = bmp.Row(y);
      for (int x = 0; x < kPhotoWidth; ++x, p += 4) {
        double s = std::sin(x * 0.004) * std::cos(y * 0.006);
        int grain = static_cast<int>(rng() % 17) - 8;
        p[0] = static_cast<uint8_t>(std::clamp(128 + 100 * s + grain, 0.0, 255.0));
        p[1] = static_cast<uint8_t>(
            std::clamp(90 + 60 * std::sin((x + y) * 0.002) + grain, 0.0, 255.0));
        p[2] = static_cast<uint8_t>((x / 7 + y / 5) & 0xFF);
        p[3] = 255;
      }
    }
    return bmp;
  }();
  return photo;
}

const std::vector<unsigned char>& PhotoJpeg() {
  static const std::vector<unsigned char> jpeg = [] {
    const orrivel::Bitmap& photo = Photo();
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = kPhotoWidth;
    c.image_height = kPhotoHeight;
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      JSAMPROW row = const_cast<uint8_t*>(photo.pixels.data()) + c.next_scanline * photo.Stride();
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> out(buffer, buffer + size);
    free(buffer);
    return out;
  }();
  return jpeg;
}

void BM_Downscale6000x4000ToScreen(benchmark::State& state) {
  const orrivel::Bitmap& photo = Photo();
  for (auto _ : state) {
    auto out = orrivel::Downscale(photo.View(), kFittedWidth, kFittedHeight);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kPhotoWidth} * kPhotoHeight);
}
BENCHMARK(BM_Downscale6000x4000ToScreen)->Unit(benchmark::kMillisecond);

// The whole decode into BGRA, as the imaging component hands pictures over.
void BM_JpegDecode6000x4000(benchmark::State& state) {
  const auto& jpeg = PhotoJpeg();
  std::vector<uint8_t> pixels(size_t{kPhotoWidth} * kPhotoHeight * 4);
  for (auto _ : state) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
      JSAMPROW row = pixels.data() + size_t{d.output_scanline} * kPhotoWidth * 4;
      jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
  state.SetItemsProcessed(state.iterations() * int64_t{kPhotoWidth} * kPhotoHeight);
}
BENCHMARK(BM_JpegDecode6000x4000)->Unit(benchmark::kMillisecond);

// Decode and reduction together, the decoder handing over strips of rows
// while they are still in the cache (as the picture window does with the
// imaging component). Minus the plain decode, this is what reducing costs.
void BM_JpegDecodeAndDownscaleInStrips(benchmark::State& state) {
  const auto& jpeg = PhotoJpeg();
  constexpr int kStrip = 16;
  std::vector<uint8_t> strip(size_t{kPhotoWidth} * kStrip * 4);
  for (auto _ : state) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d);
    orrivel::RowDownscaler scaler;
    scaler.Start(kPhotoWidth, kPhotoHeight, kFittedWidth, kFittedHeight);
    while (d.output_scanline < d.output_height) {
      int rows = 0;
      while (rows < kStrip && d.output_scanline < d.output_height) {
        JSAMPROW row = strip.data() + size_t{static_cast<unsigned>(rows)} * kPhotoWidth * 4;
        rows += static_cast<int>(jpeg_read_scanlines(&d, &row, 1));
      }
      scaler.AddRows({strip.data(), kPhotoWidth, rows, size_t{kPhotoWidth} * 4});
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    auto out = scaler.Finish();
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kPhotoWidth} * kPhotoHeight);
}
BENCHMARK(BM_JpegDecodeAndDownscaleInStrips)->Unit(benchmark::kMillisecond);

}  // namespace
