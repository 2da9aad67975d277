// DefineFont, DefineFont2, DefineFont3: glyph shapes found through an offset
// table, and the code table and layout metrics of the later versions.
#include <algorithm>

#include "swf/format/shape_reader.h"
#include "swf/format/text_readers.h"

namespace orrivel::swf {
namespace {

constexpr uint8_t kHasLayout = 0x80;
constexpr uint8_t kShiftJis = 0x40;
constexpr uint8_t kSmallText = 0x20;
constexpr uint8_t kAnsi = 0x10;
constexpr uint8_t kWideOffsets = 0x08;
constexpr uint8_t kWideCodes = 0x04;
constexpr uint8_t kItalic = 0x02;
constexpr uint8_t kBold = 0x01;

// Glyph i lies between offsets[i] and offsets[i + 1] (the last one ends at
// tableEnd), counted from tableStart. A glyph whose range is out of order or
// outside the tag, or whose records do not parse, stays empty: one damaged
// glyph should not cost the whole font.
void ReadGlyphs(std::span<const uint8_t> body, size_t tableStart,
                const std::vector<uint32_t>& offsets, size_t tableEnd, FontDefinition& font,
                ParseContext& ctx) {
  font.glyphs.resize(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    const size_t begin = tableStart + offsets[i];
    const size_t end = i + 1 < offsets.size() ? tableStart + offsets[i + 1] : tableEnd;
    if (begin >= end || end > body.size()) continue;
    ByteReader g(body.subspan(begin, end - begin));
    ReadShapeRecords(g, 1, false, font.glyphs[i].records, ctx);
    if (g.Failed()) font.glyphs[i].records.clear();
  }
}

std::optional<FontDefinition> ReadFont1(ByteReader& r, FontDefinition font, ParseContext& ctx) {
  const size_t tableStart = r.Position();
  if (r.AtEnd()) return font;  // a font without glyphs
  const uint16_t first = r.U16();
  const size_t count = first / 2;
  if (count == 0 || count * 2 > r.Remaining() + 2) return std::nullopt;
  if (!ctx.budget.Take(count * (sizeof(Shape) + sizeof(uint32_t)))) return std::nullopt;
  std::vector<uint32_t> offsets{first};
  for (size_t i = 1; i < count; ++i) offsets.push_back(r.U16());
  if (r.Failed()) return std::nullopt;
  ReadGlyphs(r.Data(), tableStart, offsets, r.Data().size(), font, ctx);
  return font;
}

void ReadLayout(ByteReader& r, FontDefinition& font, ParseContext& ctx) {
  const size_t n = font.glyphs.size();
  font.ascent = r.U16();
  font.descent = r.U16();
  font.leading = r.S16();
  if (!ctx.budget.Take(n * sizeof(int16_t))) return;
  font.advances.reserve(std::min(n, r.Remaining() / 2));
  for (size_t i = 0; i < n && !r.Failed(); ++i) font.advances.push_back(r.S16());
  // Glyph bounds and kerning pairs follow; text layout here does not use them.
  if (r.Failed()) {
    font.advances.clear();
    return;
  }
  font.hasLayout = true;
}

std::optional<FontDefinition> ReadFont23(ByteReader& r, FontDefinition font, ParseContext& ctx) {
  const uint8_t flags = r.U8();
  font.shiftJis = (flags & kShiftJis) != 0;
  font.smallText = (flags & kSmallText) != 0;
  font.ansi = (flags & kAnsi) != 0;
  font.italic = (flags & kItalic) != 0;
  font.bold = (flags & kBold) != 0;
  const bool wideOffsets = (flags & kWideOffsets) != 0;
  // DefineFont3 is written with 16-bit codes, but the flag is what counts.
  const bool wideCodes = (flags & kWideCodes) != 0;
  font.language = r.U8();
  const auto name = r.Bytes(r.U8());
  font.name.assign(name.begin(), name.end());
  while (!font.name.empty() && font.name.back() == '\0') font.name.pop_back();
  const size_t count = r.U16();
  if (r.Failed() || !ctx.budget.Take(font.name.size())) return std::nullopt;
  const size_t tableStart = r.Position();
  const size_t offsetSize = wideOffsets ? 4 : 2;
  if (count == 0) return font;  // a device font: name only
  // The offsets and the code table offset must fit in the tag.
  if ((count + 1) * offsetSize > r.Remaining()) return std::nullopt;
  if (!ctx.budget.Take(count * (sizeof(Shape) + sizeof(uint32_t) + sizeof(uint16_t))))
    return std::nullopt;
  std::vector<uint32_t> offsets(count);
  for (auto& o : offsets) o = wideOffsets ? r.U32() : r.U16();
  const uint32_t codeTableOffset = wideOffsets ? r.U32() : r.U16();
  if (r.Failed()) return std::nullopt;
  const size_t codeTable = tableStart + static_cast<size_t>(codeTableOffset);
  const size_t bodySize = r.Data().size();
  ReadGlyphs(r.Data(), tableStart, offsets, std::min(codeTable, bodySize), font, ctx);
  if (codeTable > bodySize) return font;  // no code table: glyphs by index only
  r.Seek(codeTable);
  font.codes.resize(count);
  for (auto& c : font.codes) c = wideCodes ? r.U16() : r.U8();
  if (r.Failed()) {
    font.codes.clear();
    return font;
  }
  if (flags & kHasLayout) ReadLayout(r, font, ctx);
  return font;
}

}  // namespace

std::optional<FontDefinition> ReadDefineFont(ByteReader& r, int version, ParseContext& ctx) {
  FontDefinition font;
  font.id = r.U16();
  font.version = version;
  if (r.Failed()) return std::nullopt;
  return version == 1 ? ReadFont1(r, std::move(font), ctx) : ReadFont23(r, std::move(font), ctx);
}

}  // namespace orrivel::swf
