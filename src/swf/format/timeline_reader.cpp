#include "swf/format/timeline_reader.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "swf/format/sound_readers.h"
#include "swf/format/tag_codes.h"
#include "swf/format/text_readers.h"

namespace orrivel::swf {
namespace {

constexpr uint32_t kFileAttributesAs3 = 0x08;
constexpr uint32_t kFileAttributesUseNetwork = 0x01;

// RECORDHEADER: the code above six bits of length; a length of 0x3F means a
// 32-bit length follows.
constexpr unsigned kTagCodeShift = 6;
constexpr uint16_t kShortLengthMask = 0x3F;
constexpr uint32_t kLongLength = 0x3F;

class TimelineWalker {
 public:
  TimelineWalker(size_t fileOffset, int depth, Timeline& timeline, Movie& movie, ParseContext& ctx,
                 TagWalkResult& result)
      : fileOffset_(fileOffset),
        depth_(depth),
        timeline_(timeline),
        movie_(movie),
        ctx_(ctx),
        result_(result) {}

  void Run(ByteReader& r) {
    while (!r.AtEnd() && !stop_) {
      const size_t tagStart = r.Position();
      const uint16_t codeAndLength = r.U16();
      uint32_t length = codeAndLength & kShortLengthMask;
      if (length == kLongLength) length = r.U32();
      if (r.Failed()) break;  // a tag header cut short ends the timeline
      const uint16_t code = codeAndLength >> kTagCodeShift;
      // A tag longer than what is left is dropped, and is the last one of
      // this timeline.
      const bool cutShort = length > r.Remaining();
      const size_t bodyOffset = fileOffset_ + r.Position();
      ByteReader body = r.Sub(cutShort ? r.Remaining() : length);
      if (!ctx_.budget.Take(sizeof(TagInfo))) break;
      const size_t infoIndex = movie_.tags.size();
      movie_.tags.push_back({code, length, static_cast<uint32_t>(fileOffset_ + tagStart), depth_});
      if (cutShort || !Dispatch(code, body, bodyOffset)) {
        movie_.tags[infoIndex].damaged = true;
        ++result_.damagedTags;
      }
      if (cutShort || ctx_.budget.Exhausted()) break;
    }
    if (ctx_.budget.Exhausted()) result_.budgetExhausted = true;
    // Tags after the last ShowFrame form a frame that never finished, and a
    // timeline without its End tag never finished loading: either way the
    // playhead plays into the last frame and waits there instead of looping.
    const bool trailing = !frame_.tags.empty() || frame_.label || !frame_.sounds.empty();
    if (trailing) EndFrame();
    timeline_.lastFrameIncomplete = (trailing || !endSeen_) && !timeline_.frames.empty();
  }

 private:
  void EndFrame() {
    if (timeline_.frames.size() >= ctx_.limits.maxFrames || !ctx_.budget.Take(sizeof(Frame))) {
      stop_ = true;
      return;
    }
    timeline_.frames.push_back(std::move(frame_));
    frame_ = Frame{};
  }

  bool AddControl(ControlTag tag, size_t extraBytes) {
    if (!ctx_.budget.Take(sizeof(ControlTag) + extraBytes)) return false;
    frame_.tags.push_back(std::move(tag));
    return true;
  }

  template <typename T>
  bool AddCharacter(std::optional<T> def) {
    if (!def) return false;
    if (depth_ > 0) return true;  // definitions belong on the main timeline
    if (!ctx_.budget.Take(sizeof(Character))) return false;
    // The first definition of an id wins, as in the reference player.
    movie_.characters.emplace(def->id, std::move(*def));
    return true;
  }

  // False when the tag body is damaged.
  bool Dispatch(uint16_t code, ByteReader& r, size_t bodyOffset) {
    using namespace tag;
    switch (code) {
      case kEnd:
        endSeen_ = true;
        stop_ = true;
        return true;
      case kShowFrame:
        EndFrame();
        return true;
      case kSetBackgroundColor: {
        const Rgba color = r.Rgb();
        if (r.Failed()) return false;
        if (depth_ == 0 && !movie_.backgroundColor) movie_.backgroundColor = color;
        return AddControl(SetBackgroundColor{color}, 0);
      }
      case kFrameLabel: {
        std::string label = r.String();
        if (r.Failed() || !ctx_.budget.Take(label.size())) return false;
        if (!frame_.label) {
          frame_.label = std::move(label);
        } else if (frame_.otherLabels.size() < 64) {
          frame_.otherLabels.push_back(std::move(label));
        }
        return true;
      }
      case kDoAction: {
        const auto bytes = r.Rest();
        return AddControl(DoAction{{bytes.begin(), bytes.end()}}, bytes.size());
      }
      case kDoInitAction: {
        const uint16_t sprite = r.U16();
        const auto bytes = r.Rest();
        if (r.Failed()) return false;
        const auto def = movie_.characters.find(sprite);
        const bool defined =
            def != movie_.characters.end() && std::holds_alternative<SpriteDefinition>(def->second);
        return AddControl(DoAction{{bytes.begin(), bytes.end()}, true, sprite, defined},
                          bytes.size());
      }
      case kImportAssets:
      case kImportAssets2: {
        Movie::Import import;
        import.url = r.String();
        if (code == kImportAssets2) r.U16();  // reserved
        const uint16_t count = r.U16();
        for (uint16_t i = 0; i < count && !r.Failed(); ++i) {
          const uint16_t id = r.U16();
          std::string name = r.String();
          if (r.Failed() || !ctx_.budget.Take(name.size() + 16)) return false;
          import.assets.emplace_back(id, std::move(name));
        }
        if (r.Failed() || movie_.imports.size() >= 64) return false;
        movie_.imports.push_back(std::move(import));
        return true;
      }
      case kExportAssets: {
        const uint16_t count = r.U16();
        for (uint16_t i = 0; i < count && !r.Failed(); ++i) {
          const uint16_t id = r.U16();
          std::string name = r.String();
          if (r.Failed() || !ctx_.budget.Take(name.size() + 16)) return false;
          const auto frame = static_cast<uint32_t>(depth_ > 0 ? 0 : timeline_.frames.size());
          movie_.exportFrames.insert_or_assign(name, frame);
          movie_.exports.insert_or_assign(std::move(name), id);
        }
        return true;
      }
      case kPlaceObject:
      case kPlaceObject2:
      case kPlaceObject3:
      case kPlaceObject4: {  // PlaceObject4 adds trailing data that is not kept
        const int version = code == kPlaceObject ? 1 : code == kPlaceObject2 ? 2 : 3;
        auto po = ReadPlaceObject(r, version, ctx_);
        if (!po) return false;
        const size_t extra = po->clipActions.size() + (po->name ? po->name->size() : 0);
        return AddControl(std::move(*po), extra);
      }
      case kRemoveObject:
      case kRemoveObject2: {
        auto ro = ReadRemoveObject(r, code == kRemoveObject ? 1 : 2);
        return ro && AddControl(*ro, 0);
      }
      case kDefineSprite:
        return ReadSprite(r, bodyOffset);
      case kFileAttributes: {
        const uint32_t flags = r.U8();
        if (r.Failed()) return false;
        if (depth_ == 0) {
          movie_.fileAttributesAs3 = (flags & kFileAttributesAs3) != 0;
          movie_.fileAttributesUseNetwork = (flags & kFileAttributesUseNetwork) != 0;
        }
        return true;
      }
      case kDoAbc:
      case kDoAbc2:
        movie_.hasDoAbc = true;
        result_.actionScript3 = true;
        stop_ = true;
        return true;
      case kJpegTables: {
        if (depth_ > 0 || !movie_.jpegTables.empty()) return true;
        const auto bytes = r.Rest();
        if (!ctx_.budget.Take(bytes.size())) return false;
        movie_.jpegTables.assign(bytes.begin(), bytes.end());
        return true;
      }
      case kDefineShape:
        return AddCharacter(ReadDefineShape(r, 1, ctx_));
      case kDefineShape2:
        return AddCharacter(ReadDefineShape(r, 2, ctx_));
      case kDefineShape3:
        return AddCharacter(ReadDefineShape(r, 3, ctx_));
      case kDefineShape4:
        return AddCharacter(ReadDefineShape(r, 4, ctx_));
      case kDefineMorphShape:
        return AddCharacter(ReadDefineMorphShape(r, 1, ctx_));
      case kDefineMorphShape2:
        return AddCharacter(ReadDefineMorphShape(r, 2, ctx_));
      case kDefineBits:
        return AddCharacter(ReadDefineBits(r, BitmapKind::Jpeg1, ctx_));
      case kDefineBitsJpeg2:
        return AddCharacter(ReadDefineBits(r, BitmapKind::Jpeg2, ctx_));
      case kDefineBitsJpeg3:
        return AddCharacter(ReadDefineBits(r, BitmapKind::Jpeg3, ctx_));
      case kDefineBitsJpeg4:
        return AddCharacter(ReadDefineBits(r, BitmapKind::Jpeg4, ctx_));
      case kDefineBitsLossless:
        return AddCharacter(ReadDefineBits(r, BitmapKind::Lossless, ctx_));
      case kDefineBitsLossless2:
        return AddCharacter(ReadDefineBits(r, BitmapKind::Lossless2, ctx_));
      case kDefineButton:
        return AddCharacter(ReadDefineButton(r, 1, ctx_));
      case kDefineButton2:
        return AddCharacter(ReadDefineButton(r, 2, ctx_));
      case kDefineButtonCxform:
        return ReadButtonCxform(r);
      case kDefineFont:
        return AddCharacter(ReadDefineFont(r, 1, ctx_));
      case kDefineFont2:
        return AddCharacter(ReadDefineFont(r, 2, ctx_));
      case kDefineFont3:
        return AddCharacter(ReadDefineFont(r, 3, ctx_));
      case kDefineText:
        return AddCharacter(ReadDefineText(r, 1, ctx_));
      case kDefineText2:
        return AddCharacter(ReadDefineText(r, 2, ctx_));
      case kDefineEditText:
        return AddCharacter(ReadDefineEditText(r, ctx_));
      case kCsmTextSettings: {
        // Kept for the edit text it names; static text draws without it.
        const uint16_t id = r.U16();
        const uint8_t flags = r.U8();
        const float thickness = r.F32(), sharpness = r.F32();
        if (r.Failed()) return true;
        const auto it = movie_.characters.find(id);
        auto* def =
            it == movie_.characters.end() ? nullptr : std::get_if<EditTextDefinition>(&it->second);
        if (def && depth_ == 0) {
          def->advancedAntiAlias = (flags >> 6) == 1;
          def->gridFit = static_cast<uint8_t>(std::min((flags >> 3) & 7, 2));
          def->thickness = std::isfinite(thickness) ? thickness : 0;
          def->sharpness = std::isfinite(sharpness) ? sharpness : 0;
        }
        return true;
      }
      case kDefineVideoStream:
        return AddCharacter(ReadDefineVideoStream(r));
      case kVideoFrame:
        return ReadVideoFrame(r, movie_, ctx_);
      case kDefineSound:
      case kStartSound:
      case kStartSound2:
      case kSoundStreamHead:
      case kSoundStreamHead2:
      case kSoundStreamBlock:
      case kDefineButtonSound:
        return ReadSoundTag(code, r);
      default:
        return true;  // tags the player does not use are skipped by length
    }
  }

  bool ReadSoundTag(uint16_t code, ByteReader& r) {
    using namespace tag;
    if (code == kStartSound || code == kStartSound2) {
      auto start = ReadStartSound(r, code == kStartSound ? 1 : 2);
      const size_t extra = start ? start->info.envelope.size() * sizeof(SoundEnvelopePoint) : 0;
      if (!start || !ctx_.budget.Take(sizeof(StartSound) + extra)) return false;
      frame_.sounds.push_back(std::move(*start));
      return true;
    }
    if (code == kSoundStreamBlock) {
      const auto bytes = r.Rest();
      if (!ctx_.budget.Take(bytes.size())) return false;
      if (!frame_.streamBlock) frame_.streamBlock.emplace(bytes.begin(), bytes.end());
      return true;
    }
    if (code == kSoundStreamHead || code == kSoundStreamHead2) {
      auto head = ReadSoundStreamHead(r);
      if (!head) return false;
      if (!timeline_.streamHead) timeline_.streamHead = *head;
      return true;
    }
    if (code == kDefineButtonSound) {
      auto sounds = ReadDefineButtonSound(r);
      if (!sounds || !ctx_.budget.Take(sizeof(ButtonSounds))) return false;
      if (depth_ == 0) movie_.buttonSounds.emplace(sounds->first, std::move(sounds->second));
      return true;
    }
    auto def = ReadDefineSound(r, ctx_);
    if (!def) return false;
    const uint16_t id = def->id;
    if (depth_ == 0 && !movie_.characters.contains(id))
      movie_.sounds.emplace(id, std::make_shared<const SoundDefinition>(std::move(*def)));
    return true;
  }

  bool ReadButtonCxform(ByteReader& r) {
    const uint16_t id = r.U16();
    const ColorTransform cx = ReadColorTransform(r, false);
    if (r.Failed()) return false;
    if (depth_ > 0) return true;
    const auto it = movie_.characters.find(id);
    if (it == movie_.characters.end()) return true;
    if (auto* button = std::get_if<ButtonDefinition>(&it->second)) button->colorTransform = cx;
    return true;
  }

  bool ReadSprite(ByteReader& r, size_t bodyOffset) {
    if (static_cast<uint32_t>(depth_) >= ctx_.limits.maxSpriteNesting) return false;
    SpriteDefinition sprite;
    sprite.id = r.U16();
    sprite.timeline.declaredFrameCount = r.U16();
    if (r.Failed()) return false;
    const size_t tagsOffset = bodyOffset + r.Position();
    ByteReader tags = r.Sub(r.Remaining());
    TimelineWalker inner(tagsOffset, depth_ + 1, sprite.timeline, movie_, ctx_, result_);
    inner.Run(tags);
    if (result_.actionScript3) {
      stop_ = true;
      return true;
    }
    // Sprites inside sprites are not characters; only the tag count above
    // shows they were there.
    if (depth_ > 0) return true;
    sprite.definedInFrame = static_cast<uint32_t>(timeline_.frames.size());
    return AddCharacter(std::optional<SpriteDefinition>(std::move(sprite)));
  }

  size_t fileOffset_;
  int depth_;
  Timeline& timeline_;
  Movie& movie_;
  ParseContext& ctx_;
  TagWalkResult& result_;
  Frame frame_;
  bool stop_ = false;
  bool endSeen_ = false;
};

}  // namespace

void ReadTimeline(ByteReader& r, size_t fileOffset, int depth, Timeline& timeline, Movie& movie,
                  ParseContext& ctx, TagWalkResult& result) {
  TimelineWalker(fileOffset, depth, timeline, movie, ctx, result).Run(r);
}

}  // namespace orrivel::swf
