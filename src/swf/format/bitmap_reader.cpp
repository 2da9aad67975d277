// DefineBits, DefineBitsJPEG2/3/4 and DefineBitsLossless 1/2: the image bytes
// are kept as stored; the renderer decodes them.
#include "swf/format/tag_readers.h"

namespace orrivel::swf {
namespace {

bool Keep(std::span<const uint8_t> bytes, std::vector<uint8_t>& out, ParseContext& ctx) {
  if (!ctx.budget.Take(bytes.size())) return false;
  out.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace

std::optional<BitmapDefinition> ReadDefineBits(ByteReader& r, BitmapKind kind, ParseContext& ctx) {
  BitmapDefinition def;
  def.id = r.U16();
  def.kind = kind;
  switch (kind) {
    case BitmapKind::Jpeg1:
    case BitmapKind::Jpeg2:
      if (!Keep(r.Rest(), def.imageData, ctx)) r.Fail();
      break;
    case BitmapKind::Jpeg3:
    case BitmapKind::Jpeg4: {
      const uint32_t imageSize = r.U32();
      if (kind == BitmapKind::Jpeg4) def.deblocking = r.U16();
      if (!Keep(r.Bytes(imageSize), def.imageData, ctx)) r.Fail();
      if (!Keep(r.Rest(), def.alphaData, ctx)) r.Fail();
      break;
    }
    case BitmapKind::Lossless:
    case BitmapKind::Lossless2:
      def.losslessFormat = r.U8();
      def.width = r.U16();
      def.height = r.U16();
      if (def.losslessFormat == kLosslessColorMapped) {
        def.colorTableSize = static_cast<uint16_t>(r.U8() + 1);
      } else if (def.losslessFormat != kLossless15Bit && def.losslessFormat != kLossless32Bit) {
        r.Fail();
      }
      if (!Keep(r.Rest(), def.zlibData, ctx)) r.Fail();
      break;
  }
  if (r.Failed()) return std::nullopt;
  return def;
}

}  // namespace orrivel::swf
