#include "swf/render/native_image_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

#include "swf/render/gif_decoder.h"

namespace orrivel::swf {

namespace {

// libjpeg and libpng report errors by longjmp. Only C objects and the
// pre-sized image live across the jump, so nothing is skipped on unwinding.
constexpr long kMaxDecoderMemory = 256l << 20;

struct JpegError {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void JpegQuiet(j_common_ptr) {}

uint32_t CmykToBgra(const uint8_t* p, bool inverted) {
  // Adobe writes CMYK inverted (255 = no ink).
  uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
  if (!inverted) {
    c = 255 - c;
    m = 255 - m;
    y = 255 - y;
    k = 255 - k;
  }
  const uint32_t r = c * k / 255, g = m * k / 255, b = y * k / 255;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

bool DecodeJpeg(std::span<const uint8_t> data, uint64_t maxPixels, raster::Image& image) {
  jpeg_decompress_struct cinfo;
  JpegError error;
  cinfo.err = jpeg_std_error(&error.base);
  error.base.error_exit = JpegFail;
  error.base.output_message = JpegQuiet;
  std::vector<uint8_t> cmykRow;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK ||
      static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > maxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(&cinfo);
  image.width = static_cast<int>(cinfo.output_width);
  image.height = static_cast<int>(cinfo.output_height);
  image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0xFF000000u);
  if (cmyk) cmykRow.resize(static_cast<size_t>(image.width) * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    uint32_t* dst = image.pixels.data() + static_cast<size_t>(cinfo.output_scanline) * image.width;
    JSAMPROW row = cmyk ? cmykRow.data() : reinterpret_cast<JSAMPROW>(dst);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
    if (cmyk) {
      for (int x = 0; x < image.width; ++x) {
        dst[x] = CmykToBgra(&cmykRow[static_cast<size_t>(x) * 4], cinfo.saw_Adobe_marker);
      }
    }
  }
  // A stream cut short keeps the rows decoded so far, as browsers show it.
  jpeg_abort_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

struct PngSource {
  std::span<const uint8_t> data;
  size_t offset = 0;
};

void PngRead(png_structp png, png_bytep out, png_size_t length) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > src->data.size() - src->offset) png_error(png, "truncated");
  std::memcpy(out, src->data.data() + src->offset, length);
  src->offset += length;
}

void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarn(png_structp, png_const_charp) {}

bool DecodePng(std::span<const uint8_t> data, uint64_t maxPixels, raster::Image& image) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  PngSource source{data};
  std::vector<png_bytep> rows;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, PngRead);
  png_set_user_limits(png, 1u << 20, 1u << 20);
  png_set_chunk_malloc_max(png, kMaxDecoderMemory);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width == 0 || height == 0 || static_cast<uint64_t>(width) * height > maxPixels) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.assign(static_cast<size_t>(width) * height, 0);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    rows[y] = reinterpret_cast<png_bytep>(image.pixels.data() + static_cast<size_t>(y) * width);
  }
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  for (uint32_t& p : image.pixels) {
    const uint32_t a = p >> 24;
    if (a == 255) continue;
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    p = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
  }
  return true;
}

}  // namespace

std::optional<raster::Image> NativeImageDecoder::Decode(std::span<const uint8_t> data,
                                                        uint64_t maxPixels) {
  raster::Image image;
  bool ok = false;
  if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8) {
    ok = DecodeJpeg(data, maxPixels, image);
  } else if (data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0) {
    ok = DecodePng(data, maxPixels, image);
  } else if (data.size() >= 6 && std::memcmp(data.data(), "GIF8", 4) == 0) {
    if (auto gif = DecodeGif(data, maxPixels)) return gif;
  }
  if (!ok) return std::nullopt;
  return image;
}

}  // namespace orrivel::swf
