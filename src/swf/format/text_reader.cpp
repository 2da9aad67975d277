// DefineText / DefineText2 (glyph runs of static text) and DefineEditText.
#include "swf/format/text_readers.h"

namespace orrivel::swf {
namespace {

constexpr uint8_t kRecordHasFont = 0x08;
constexpr uint8_t kRecordHasColor = 0x04;
constexpr uint8_t kRecordHasY = 0x02;
constexpr uint8_t kRecordHasX = 0x01;

bool ReadTextRecord(ByteReader& r, uint8_t flags, int version, unsigned glyphBits,
                    unsigned advanceBits, TextRecord& rec, ParseContext& ctx) {
  if (flags & kRecordHasFont) rec.fontId = r.U16();
  if (flags & kRecordHasColor) rec.color = version >= 2 ? r.RgbaColor() : r.Rgb();
  if (flags & kRecordHasX) rec.xOffset = r.S16();
  if (flags & kRecordHasY) rec.yOffset = r.S16();
  if (flags & kRecordHasFont) rec.height = r.U16();
  const size_t count = r.U8();
  if (r.Failed() || !ctx.budget.Take(count * sizeof(GlyphEntry))) return false;
  rec.glyphs.resize(count);
  BitReader bits(r);
  for (GlyphEntry& e : rec.glyphs) {
    e.index = bits.UB(glyphBits);
    e.advance = bits.SB(advanceBits);
  }
  return !r.Failed();
}

}  // namespace

std::optional<TextDefinition> ReadDefineText(ByteReader& r, int version, ParseContext& ctx) {
  TextDefinition def;
  def.id = r.U16();
  def.version = version;
  def.bounds = ReadRect(r);
  def.matrix = ReadMatrix(r);
  const unsigned glyphBits = r.U8();
  const unsigned advanceBits = r.U8();
  if (r.Failed() || glyphBits > 32 || advanceBits > 32) return std::nullopt;
  // Records end at a zero byte; a tag that stops without it ends them too.
  while (!r.AtEnd()) {
    const uint8_t flags = r.U8();
    if (flags == 0) break;
    if (!ctx.budget.Take(sizeof(TextRecord))) return std::nullopt;
    TextRecord& rec = def.records.emplace_back();
    if (!ReadTextRecord(r, flags, version, glyphBits, advanceBits, rec, ctx)) return std::nullopt;
  }
  return def;
}

std::optional<EditTextDefinition> ReadDefineEditText(ByteReader& r, ParseContext& ctx) {
  EditTextDefinition def;
  def.id = r.U16();
  def.bounds = ReadRect(r);
  const uint8_t f1 = r.U8();
  const uint8_t f2 = r.U8();
  const bool hasText = f1 & 0x80, hasColor = f1 & 0x04, hasMaxLength = f1 & 0x02;
  const bool hasFont = f1 & 0x01, hasFontClass = f2 & 0x80;
  def.wordWrap = f1 & 0x40;
  def.multiline = f1 & 0x20;
  def.password = f1 & 0x10;
  def.readOnly = f1 & 0x08;
  def.autoSize = f2 & 0x40;
  def.hasLayout = f2 & 0x20;
  def.noSelect = f2 & 0x10;
  def.border = f2 & 0x08;
  def.wasStatic = f2 & 0x04;
  def.html = f2 & 0x02;
  def.useOutlines = f2 & 0x01;
  if (hasFont) def.fontId = r.U16();
  if (hasFontClass) def.fontClass = r.String();
  if (hasFont || hasFontClass) def.fontHeight = r.U16();
  if (hasColor) def.color = r.RgbaColor();
  if (hasMaxLength) def.maxLength = r.U16();
  if (def.hasLayout) {
    const uint8_t align = r.U8();
    def.align = static_cast<TextAlign>(align <= 3 ? align : 0);
    def.leftMargin = r.U16();
    def.rightMargin = r.U16();
    def.indent = r.S16();
    def.leading = r.S16();
  }
  def.variableName = r.String();
  if (hasText) def.initialText = r.String();
  const size_t strings = def.variableName.size() + (def.initialText ? def.initialText->size() : 0) +
                         (def.fontClass ? def.fontClass->size() : 0);
  if (r.Failed() || !ctx.budget.Take(strings)) return std::nullopt;
  return def;
}

}  // namespace orrivel::swf
