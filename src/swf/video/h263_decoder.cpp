#include "swf/video/h263_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "swf/video/bit_stream.h"
#include "swf/video/h263_tables.h"
#include "swf/video/idct.h"
#include "swf/video/deblock.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::video {
namespace {

constexpr int kLumaBorder = 32;  // vectors reach 16 pixels out, plus the half pixel
constexpr uint32_t kPictureStartCode = 1;
constexpr size_t kMinIntraBits = 51;

// The picture sizes that need no custom width and height.
constexpr int kPresetSizes[8][2] = {{0, 0},    {0, 0},     {352, 288}, {176, 144},
                                    {128, 96}, {320, 240}, {160, 120}, {0, 0}};

// Fills an 8x8 block (stride 8) from ref at (x, y) moved by a half-pixel vector.
void Predict8(const Plane& ref, int x, int y, int mvx, int mvy, uint8_t* dst) {
  int ix = x + (mvx >> 1);
  int iy = y + (mvy >> 1);
  ix = std::clamp(ix, -ref.border, ref.width + ref.border - 9);
  iy = std::clamp(iy, -ref.border, ref.height + ref.border - 9);
  const int stride = ref.stride;
  const uint8_t* s = ref.Row(iy) + ix;
  const bool hx = (mvx & 1) != 0, hy = (mvy & 1) != 0;
  if (!hx && !hy) {
    for (int r = 0; r < 8; ++r, s += stride, dst += 8) std::memcpy(dst, s, 8);
    return;
  }
#ifdef ORRIVEL_SSE2
  const auto load = [](const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  };
  if (!hy || !hx) {  // one half step: the rounded-up average of two samples
    const int step = hx ? 1 : stride;
    for (int r = 0; r < 8; ++r, s += stride, dst += 8) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_avg_epu8(load(s), load(s + step)));
    }
    return;
  }
  const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
  const auto pairSum = [&](const uint8_t* p) {
    return _mm_add_epi16(_mm_unpacklo_epi8(load(p), zero), _mm_unpacklo_epi8(load(p + 1), zero));
  };
  __m128i above = pairSum(s);
  for (int r = 0; r < 8; ++r, s += stride, dst += 8) {
    const __m128i below = pairSum(s + stride);
    const __m128i v = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(above, below), two), 2);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(v, v));
    above = below;
  }
#else
  for (int r = 0; r < 8; ++r, s += stride, dst += 8) {
    if (hx && !hy) {
      for (int c = 0; c < 8; ++c) dst[c] = static_cast<uint8_t>((s[c] + s[c + 1] + 1) >> 1);
    } else if (!hx) {
      for (int c = 0; c < 8; ++c) dst[c] = static_cast<uint8_t>((s[c] + s[c + stride] + 1) >> 1);
    } else {
      for (int c = 0; c < 8; ++c) {
        dst[c] =
            static_cast<uint8_t>((s[c] + s[c + 1] + s[c + stride] + s[c + stride + 1] + 2) >> 2);
      }
    }
  }
#endif
}

void Copy8(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride) {
  for (int r = 0; r < 8; ++r) std::memcpy(dst + r * dstStride, src + r * srcStride, 8);
}

// The chroma vector from the sum of the four luma vectors (a single vector
// counts four times): sixteenths of a chroma pixel rounded to halves.
int ChromaComponent(int sum) {
  static constexpr int kRound[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
  const int a = std::abs(sum);
  const int v = 2 * (a >> 4) + kRound[a & 15];
  return sum < 0 ? -v : v;
}

int Median(int a, int b, int c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

int WrapVector(int v) {
  if (v < -32) return v + 64;
  if (v > 31) return v - 64;
  return v;
}

// q (2 |level| + 1), less one for even q, held to -2048..2047; without
// branches, as the sign's mask picks the bound and negates.
int Dequantize(int level, int q) {
  const int sign = level >> 31;  // 0 or -1
  const int a = (level ^ sign) - sign;
  const int v = std::min(q * (2 * a + 1) - ((q & 1) ^ 1), 2047 - sign);
  return (v ^ sign) - sign;
}

}  // namespace

std::optional<SparkHeader> ReadSparkHeader(std::span<const uint8_t> data) {
  BitStream bits(data);
  SparkHeader h;
  if (bits.Read(17) != kPictureStartCode) return std::nullopt;
  h.version = static_cast<int>(bits.Read(5));
  if (h.version > 1) return std::nullopt;
  bits.Skip(8);  // temporal reference
  const unsigned size = bits.Read(3);
  if (size == 0 || size == 1) {
    const unsigned n = size == 0 ? 8 : 16;
    h.width = static_cast<int>(bits.Read(n));
    h.height = static_cast<int>(bits.Read(n));
  } else {
    h.width = kPresetSizes[size][0];
    h.height = kPresetSizes[size][1];
  }
  if (h.width <= 0 || h.height <= 0 || h.width > kMaxFrameSide || h.height > kMaxFrameSide)
    return std::nullopt;
  const unsigned type = bits.Read(2);
  if (type > 2) return std::nullopt;
  h.type = static_cast<SparkPictureType>(type);
  h.deblocking = bits.Flag();
  h.quantizer = static_cast<int>(bits.Read(5));
  if (h.quantizer == 0) return std::nullopt;
  while (bits.Flag()) {  // extra information, unused
    bits.Skip(8);
    if (bits.Overrun()) return std::nullopt;
  }
  if (bits.Overrun()) return std::nullopt;
  h.headerBits = data.size() * 8 - bits.BitsLeft();
  return h;
}

// The macroblock layer of one picture.
class SparkDecoder::Frame {
 public:
  Frame(BitStream& bits, const SparkHeader& header, const YuvPicture* ref, YuvPicture& out,
        std::vector<Vector>& vectors, std::vector<uint8_t>& changed,
        const std::vector<uint8_t>& workMatchesRef)
      : bits_(bits),
        header_(header),
        ref_(ref),
        out_(out),
        vectors_(vectors),
        changed_(changed),
        workMatchesRef_(workMatchesRef),
        mbWidth_(out.y.width / 16),
        mbHeight_(out.y.height / 16),
        quant_(header.quantizer) {}

  bool Run() {
    const bool inter = header_.type != SparkPictureType::Intra;
    for (int my = 0; my < mbHeight_; ++my) {
      for (int mx = 0; mx < mbWidth_; ++mx) {
        changed_[static_cast<size_t>(my) * mbWidth_ + mx] = 1;
        if (!Macroblock(mx, my, inter) || bits_.Overrun()) return false;
      }
    }
    return true;
  }

 private:
  Vector& At(int bx, int by) { return vectors_[static_cast<size_t>(by) * mbWidth_ * 2 + bx]; }

  void SetAll(int mx, int my, Vector v) {
    At(2 * mx, 2 * my) = v;
    At(2 * mx + 1, 2 * my) = v;
    At(2 * mx, 2 * my + 1) = v;
    At(2 * mx + 1, 2 * my + 1) = v;
  }

  // The median predictor of block k (0..3) of a macroblock.
  Vector Predictor(int mx, int my, int k) {
    const int bx = 2 * mx + (k & 1), by = 2 * my + (k >> 1);
    const Vector left = bx > 0 ? At(bx - 1, by) : Vector{};
    Vector above, aboveRight;
    if (k == 3) {
      above = At(bx, by - 1);
      aboveRight = At(bx - 1, by - 1);
    } else if (by == 0) {
      above = aboveRight = left;
    } else {
      above = At(bx, by - 1);
      const int cx = k == 2 ? bx + 1 : 2 * mx + 2;
      aboveRight = cx < 2 * mbWidth_ ? At(cx, by - 1) : Vector{};
    }
    return {static_cast<int8_t>(Median(left.x, above.x, aboveRight.x)),
            static_cast<int8_t>(Median(left.y, above.y, aboveRight.y))};
  }

  bool ReadVector(Vector pred, Vector& out) {
    const h263::VlcEntry dx = h263::ReadMvd(bits_);
    const h263::VlcEntry dy = h263::ReadMvd(bits_);
    if (dx.length == 0 || dy.length == 0) return false;
    out.x = static_cast<int8_t>(WrapVector(pred.x + dx.value));
    out.y = static_cast<int8_t>(WrapVector(pred.y + dy.value));
    return true;
  }

  bool Macroblock(int mx, int my, bool inter) {
    int type = 0, cbpc = 0;
    for (;;) {
      if (inter && bits_.Flag()) {
        Skipped(mx, my);
        return true;
      }
      const h263::VlcEntry e = inter ? h263::ReadInterMcbpc(bits_) : h263::ReadIntraMcbpc(bits_);
      if (e.length == 0 || bits_.Overrun()) return false;
      if (e.value == h263::kStuffing) continue;
      type = e.value >> 2;
      cbpc = e.value & 3;
      break;
    }
    const bool intra = type >= 3;
    const h263::VlcEntry cbpy = h263::ReadCbpy(bits_);
    if (cbpy.length == 0) return false;
    const int luma = intra ? cbpy.value : 15 - cbpy.value;
    if (type == 1 || type == 4) {
      static constexpr int kStep[4] = {-1, -2, 1, 2};
      quant_ = std::clamp(quant_ + kStep[bits_.Read(2)], 1, 31);
    }
    if (intra) {
      SetAll(mx, my, {});
    } else if (type == 2) {
      for (int k = 0; k < 4; ++k) {
        Vector v;
        if (!ReadVector(Predictor(mx, my, k), v)) return false;
        At(2 * mx + (k & 1), 2 * my + (k >> 1)) = v;
      }
    } else {
      Vector v;
      if (!ReadVector(Predictor(mx, my, 0), v)) return false;
      SetAll(mx, my, v);
    }
    const int cbp = (luma << 2) | cbpc;
    int16_t block[64];
    uint8_t pred[64];
    for (int b = 0; b < 6; ++b) {
      const bool coded = ((cbp >> (5 - b)) & 1) != 0;
      if (!ReadBlock(block, intra, coded)) return false;
      const bool chroma = b >= 4;
      Plane& plane = b == 4 ? out_.u : b == 5 ? out_.v : out_.y;
      const int x = chroma ? mx * 8 : mx * 16 + (b & 1) * 8;
      const int y = chroma ? my * 8 : my * 16 + (b >> 1) * 8;
      uint8_t* dst = plane.Row(y) + x;
      if (intra) {
        InverseDct(block);
        AddBlock(block, nullptr, 0, dst, plane.stride);
        continue;
      }
      const Plane& refPlane = b == 4 ? ref_->u : b == 5 ? ref_->v : ref_->y;
      Vector v;
      if (chroma) {
        int sx = 0, sy = 0;
        for (int k = 0; k < 4; ++k) {
          const Vector& lv = At(2 * mx + (k & 1), 2 * my + (k >> 1));
          sx += lv.x;
          sy += lv.y;
        }
        v = {static_cast<int8_t>(ChromaComponent(sx)), static_cast<int8_t>(ChromaComponent(sy))};
      } else {
        v = At(2 * mx + (b & 1), 2 * my + (b >> 1));
      }
      Predict8(refPlane, x, y, v.x, v.y, pred);
      if (coded) {
        InverseDct(block);
        AddBlock(block, pred, 8, dst, plane.stride);
      } else {
        Copy8(pred, 8, dst, plane.stride);
      }
    }
    return true;
  }

  void Skipped(int mx, int my) {
    SetAll(mx, my, {});
    const size_t index = static_cast<size_t>(my) * mbWidth_ + mx;
    changed_[index] = 0;
    if (workMatchesRef_[index]) return;
    for (int b = 0; b < 6; ++b) {
      const bool chroma = b >= 4;
      const Plane& src = b == 4 ? ref_->u : b == 5 ? ref_->v : ref_->y;
      Plane& dst = b == 4 ? out_.u : b == 5 ? out_.v : out_.y;
      const int x = chroma ? mx * 8 : mx * 16 + (b & 1) * 8;
      const int y = chroma ? my * 8 : my * 16 + (b >> 1) * 8;
      Copy8(src.Row(y) + x, src.stride, dst.Row(y) + x, dst.stride);
    }
  }

  bool ReadBlock(int16_t block[64], bool intra, bool coded) {
    if (!intra && !coded) return true;  // the prediction alone; the block is unused
#ifdef ORRIVEL_SSE2
    // Eight stores: the library's memset starts slowly for 128 bytes.
    for (int i = 0; i < 64; i += 8)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_setzero_si128());
#else
    std::memset(block, 0, 64 * sizeof(int16_t));
#endif
    int i = 0;
    if (intra) {
      const int dc = static_cast<int>(bits_.Read(8));
      block[0] = static_cast<int16_t>((dc == 255 ? 128 : dc) * 8);
      i = 1;
    }
    if (!coded) return true;
    for (;;) {
      const h263::Coefficient c = h263::ReadCoefficient(bits_);
      if (!c.valid) return false;
      bool last = c.last;
      int run = c.run, level = c.level;
      if (c.escape) {
        if (header_.version == 0) {
          last = bits_.Flag();
          run = static_cast<int>(bits_.Read(6));
          level = bits_.ReadSigned(8);
        } else {
          const bool wide = bits_.Flag();
          last = bits_.Flag();
          run = static_cast<int>(bits_.Read(6));
          level = bits_.ReadSigned(wide ? 11 : 7);
        }
        if (level == 0) return false;
      }
      i += run;
      if (i > 63) return false;
      block[h263::kZigzag[i]] = static_cast<int16_t>(Dequantize(level, quant_));
      ++i;
      if (last) return true;
      if (bits_.Overrun()) return false;
    }
  }

  BitStream& bits_;
  const SparkHeader& header_;
  const YuvPicture* ref_;
  YuvPicture& out_;
  std::vector<Vector>& vectors_;
  std::vector<uint8_t>& changed_;
  const std::vector<uint8_t>& workMatchesRef_;
  int mbWidth_, mbHeight_;
  int quant_;
};

bool SparkDecoder::IsKeyFrame(std::span<const uint8_t> data) const {
  const auto h = ReadSparkHeader(data);
  return h && h->type == SparkPictureType::Intra;
}

bool SparkDecoder::Decode(std::span<const uint8_t> data) {
  const auto header = ReadSparkHeader(data);
  if (!header) return false;
  const bool intra = header->type == SparkPictureType::Intra;
  if (!intra && (!haveRef_ || refWidth_ != header->width || refHeight_ != header->height))
    return false;
  const int codedW = (header->width + 15) / 16 * 16;
  const int codedH = (header->height + 15) / 16 * 16;
  // Every macroblock takes at least a bit (an intra one 51: its type, its
  // pattern and six DC bytes), so a short frame cannot claim a large picture.
  const size_t macroblocks = static_cast<size_t>(codedW / 16) * (codedH / 16);
  if ((data.size() * 8 - header->headerBits) < macroblocks * (intra ? kMinIntraBits : 1))
    return false;
  if (work_.y.width != codedW || work_.y.height != codedH) {
    work_.Resize(codedW, codedH, kLumaBorder);
    workMatchesRef_.clear();
  }
  if (workMatchesRef_.size() != macroblocks) workMatchesRef_.assign(macroblocks, 0);
  vectors_.assign(static_cast<size_t>(codedW / 8) * (codedH / 8), Vector{});
  changed_.assign(static_cast<size_t>(codedW / 16) * (codedH / 16), 1);
  BitStream bits(data);
  bits.Skip(static_cast<unsigned>(header->headerBits));
  Frame frame(bits, *header, intra ? nullptr : &ref_, work_, vectors_, changed_, workMatchesRef_);
  if (!frame.Run()) {
    workMatchesRef_.assign(macroblocks, 0);  // partly written
    return false;
  }
  // Skipped macroblocks now match in both pictures, whichever is the
  // reference next.
  for (size_t i = 0; i < macroblocks; ++i) workMatchesRef_[i] = changed_[i] == 0;
  const YuvPicture* shown = &work_;
  if (header->type != SparkPictureType::Disposable) {
    std::swap(ref_, work_);
    ref_.y.ExtendEdges();
    ref_.u.ExtendEdges();
    ref_.v.ExtendEdges();
    haveRef_ = true;
    refWidth_ = header->width;
    refHeight_ = header->height;
    shown = &ref_;
  }
  const bool deblock = deblockingMode_ == 0 ? header->deblocking : deblockingMode_ >= 2;
  if (deblock) {
    shown_ = *shown;
    Deblock(shown_, header->quantizer);
    shown = &shown_;
  }
  const bool incremental = !intra && !deblock && shownIsRef_ && image_.width == header->width &&
                           image_.height == header->height;
  if (incremental) {
    const int mbWidth = codedW / 16;
    for (size_t i = 0; i < changed_.size(); ++i) {
      if (!changed_[i]) continue;
      const int x = static_cast<int>(i % mbWidth) * 16, y = static_cast<int>(i / mbWidth) * 16;
      YuvToBgraRect(*shown, x, y, x + 16, y + 16, image_);
    }
  } else {
    YuvToBgra(*shown, header->width, header->height, image_);
  }
  shownIsRef_ = shown == &ref_;
  shownYuv_ = shown;
  return true;
}

}  // namespace orrivel::swf::video
