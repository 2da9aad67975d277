// DefineButton and DefineButton2.
#include "swf/format/tag_readers.h"

namespace orrivel::swf {
namespace {

constexpr uint16_t kCondRelease = 0x0008;  // OverDown -> OverUp

// BUTTONRECORD flags.
constexpr uint8_t kStateUp = 0x01;
constexpr uint8_t kStateOver = 0x02;
constexpr uint8_t kStateDown = 0x04;
constexpr uint8_t kStateHitTest = 0x08;
constexpr uint8_t kHasFilterList = 0x10;
constexpr uint8_t kHasBlendMode = 0x20;

void ReadButtonRecords(ByteReader& r, ButtonDefinition& def, ParseContext& ctx) {
  for (;;) {
    const uint8_t flags = r.U8();
    if (r.Failed() || flags == 0) return;
    if (!ctx.budget.Take(sizeof(ButtonRecord))) {
      r.Fail();
      return;
    }
    ButtonRecord rec;
    rec.stateUp = (flags & kStateUp) != 0;
    rec.stateOver = (flags & kStateOver) != 0;
    rec.stateDown = (flags & kStateDown) != 0;
    rec.stateHitTest = (flags & kStateHitTest) != 0;
    rec.characterId = r.U16();
    rec.depth = r.U16();
    rec.matrix = ReadMatrix(r);
    if (def.version >= 2) {
      rec.colorTransform = ReadColorTransform(r, true);
      if (flags & kHasFilterList) {
        rec.hasFilters = true;
        ReadFilterList(r, ctx.budget);  // not drawn on buttons yet
      }
      if (flags & kHasBlendMode) rec.blendMode = BlendModeFromByte(r.U8());
    }
    if (r.Failed()) return;
    def.records.push_back(rec);
  }
}

bool KeepActions(std::span<const uint8_t> bytes, uint16_t conditions, ButtonDefinition& def,
                 ParseContext& ctx) {
  if (!ctx.budget.Take(sizeof(ButtonCondAction) + bytes.size())) return false;
  def.actions.push_back({conditions, std::vector<uint8_t>(bytes.begin(), bytes.end())});
  return true;
}

}  // namespace

std::optional<ButtonDefinition> ReadDefineButton(ByteReader& r, int version, ParseContext& ctx) {
  ButtonDefinition def;
  def.id = r.U16();
  def.version = version;
  if (version == 1) {
    ReadButtonRecords(r, def, ctx);
    if (!r.Failed() && !KeepActions(r.Rest(), kCondRelease, def, ctx)) r.Fail();
    if (r.Failed()) return std::nullopt;
    return def;
  }

  def.trackAsMenu = (r.U8() & 0x01) != 0;
  const size_t offsetField = r.Position();
  const uint16_t actionOffset = r.U16();
  ReadButtonRecords(r, def, ctx);
  if (r.Failed()) return std::nullopt;
  if (actionOffset == 0) return def;
  if (actionOffset > r.Data().size() - offsetField) return std::nullopt;
  r.Seek(offsetField + actionOffset);
  for (;;) {
    const uint16_t size = r.U16();
    const uint16_t conditions = r.U16();
    if (r.Failed()) return std::nullopt;
    if (size != 0 && size < 4) return std::nullopt;
    const auto actions = size == 0 ? r.Rest() : r.Bytes(size - 4u);
    if (r.Failed() || !KeepActions(actions, conditions, def, ctx)) return std::nullopt;
    if (size == 0) return def;
  }
}

}  // namespace orrivel::swf
