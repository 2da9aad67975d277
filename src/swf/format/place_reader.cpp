// PlaceObject 1-3 and RemoveObject 1-2.
#include "swf/format/tag_readers.h"

namespace orrivel::swf {
namespace {

constexpr uint32_t kClipEventKeyPress = 0x20000;

// PlaceObject2 flags.
constexpr uint8_t kPlaceMove = 0x01;
constexpr uint8_t kPlaceHasCharacter = 0x02;
constexpr uint8_t kPlaceHasMatrix = 0x04;
constexpr uint8_t kPlaceHasColorTransform = 0x08;
constexpr uint8_t kPlaceHasRatio = 0x10;
constexpr uint8_t kPlaceHasName = 0x20;
constexpr uint8_t kPlaceHasClipDepth = 0x40;
constexpr uint8_t kPlaceHasClipActions = 0x80;

// PlaceObject3's second flags byte.
constexpr uint8_t kPlaceHasFilterList = 0x01;
constexpr uint8_t kPlaceHasBlendMode = 0x02;
constexpr uint8_t kPlaceHasCacheAsBitmap = 0x04;
constexpr uint8_t kPlaceHasClassName = 0x08;
constexpr uint8_t kPlaceHasImage = 0x10;
constexpr uint8_t kPlaceHasVisible = 0x20;
constexpr uint8_t kPlaceOpaqueBackground = 0x40;

void ReadClipActions(std::span<const uint8_t> raw, uint8_t swfVersion, PlaceObject& po,
                     ParseContext& ctx) {
  if (!ctx.budget.Take(raw.size())) return;
  po.clipActions.assign(raw.begin(), raw.end());
  ByteReader r(raw);
  const bool wideFlags = swfVersion >= 6;
  auto readFlags = [&]() -> uint32_t { return wideFlags ? r.U32() : r.U16(); };
  r.U16();      // reserved
  readFlags();  // union of all events
  for (;;) {
    const uint32_t events = readFlags();
    if (r.Failed() || events == 0) return;
    ByteReader body = r.Sub(r.U32());
    if (r.Failed() || !ctx.budget.Take(sizeof(ClipAction))) return;
    ClipAction action;
    action.events = events;
    if (wideFlags && (events & kClipEventKeyPress)) action.keyCode = body.U8();
    const auto bytes = body.Rest();
    action.actions.assign(bytes.begin(), bytes.end());
    po.clipActionRecords.push_back(std::move(action));
  }
}

}  // namespace

std::optional<PlaceObject> ReadPlaceObject(ByteReader& r, int version, ParseContext& ctx) {
  PlaceObject po;
  po.version = version;
  if (version == 1) {
    po.characterId = r.U16();
    po.depth = r.U16();
    po.matrix = ReadMatrix(r);
    if (!r.AtEnd()) po.colorTransform = ReadColorTransform(r, false);
    if (r.Failed()) return std::nullopt;
    return po;
  }

  const uint8_t flags = r.U8();
  const uint8_t flags2 = version >= 3 ? r.U8() : 0;
  po.move = (flags & kPlaceMove) != 0;
  const bool hasCharacter = (flags & kPlaceHasCharacter) != 0;
  const bool hasImage = (flags2 & kPlaceHasImage) != 0;
  po.depth = r.U16();
  if ((flags2 & kPlaceHasClassName) || (hasImage && hasCharacter)) po.className = r.String();
  if (hasCharacter) po.characterId = r.U16();
  if (flags & kPlaceHasMatrix) po.matrix = ReadMatrix(r);
  if (flags & kPlaceHasColorTransform) po.colorTransform = ReadColorTransform(r, true);
  if (flags & kPlaceHasRatio) po.ratio = r.U16();
  if (flags & kPlaceHasName) po.name = r.String();
  if (flags & kPlaceHasClipDepth) po.clipDepth = r.U16();
  if (r.Failed()) return std::nullopt;

  // What follows is optional decoration: a damaged filter list or clip event
  // list keeps the placement itself.
  if (flags2 & kPlaceHasFilterList) {
    po.hasFilters = true;
    po.filters = ReadFilterList(r, ctx.budget);
    if (r.Failed()) return po;
  }
  if (flags2 & kPlaceHasBlendMode) po.blendMode = BlendModeFromByte(r.U8());
  if (flags2 & kPlaceHasCacheAsBitmap) po.cacheAsBitmap = r.U8() != 0;
  if (flags2 & kPlaceHasVisible) po.visible = r.U8() != 0;
  if (flags2 & kPlaceOpaqueBackground) po.backgroundColor = r.RgbaColor();
  if (r.Failed()) return po;
  if (flags & kPlaceHasClipActions) {
    po.hasClipActions = true;
    ReadClipActions(r.Rest(), ctx.swfVersion, po, ctx);
  }
  return po;
}

std::optional<RemoveObject> ReadRemoveObject(ByteReader& r, int version) {
  RemoveObject ro;
  ro.version = version;
  if (version == 1) ro.characterId = r.U16();
  ro.depth = r.U16();
  if (r.Failed()) return std::nullopt;
  return ro;
}

}  // namespace orrivel::swf
