#include "swf/player/display_tree.h"

#include <algorithm>
#include <variant>

#include "swf/player/edit_text.h"
#include "swf/player/clip_geometry.h"
#include "swf/player/drawing.h"
#include "swf/player/video_display.h"
#include "swf/render/script_bitmap.h"

namespace orrivel::swf {

namespace {

void AppendChildren(const TimelineInstance& timeline, const Movie& movie, DisplayNode& parent);

void AddScriptParts(const TimelineInstance& t, const Movie& movie, DisplayNode& node);

std::shared_ptr<const DisplayNode> MaskNode(const std::shared_ptr<TimelineInstance>& clip,
                                            const std::shared_ptr<EditText>& field);

// A clip with a scroll window shows the window's top left at its origin,
// and nothing outside the window.
void ScrollThrough(const DisplayObject& obj, DisplayNode& node) {
  if (!obj.scrollRect) return;
  const auto& [x, y, w, h] = *obj.scrollRect;
  node.matrix = node.matrix * Matrix{1, 0, 0, 1, -x * 20, -y * 20};
  node.clipRect = std::array<double, 4>{x * 20, y * 20, (x + w) * 20, (y + h) * 20};
}

bool MakeNode(const DisplayObject& obj, const Movie& movie, DisplayNode& node) {
  // A field is laid out first: sizing itself to its text may move it.
  if (obj.text) node.editText = obj.text->View();
  auto it = movie.characters.find(obj.characterId);
  if (obj.bitmap) {
    // A script's bitmap: its pixels as they are now, one pixel per 20 twips.
    node.picture = obj.bitmap->Picture();
    if (!node.picture) return false;
    node.smooth = obj.smoothBitmap;
    node.kind = DisplayNode::Kind::Bitmap;
    node.depth = static_cast<uint16_t>(std::clamp<int32_t>(obj.depth, 0, 0xFFFF));
    node.matrix = obj.matrix;
    node.colorTransform = obj.colorTransform;
    node.blendMode = obj.blendMode;
    node.visible = obj.visible;
    return true;
  }
  if (it == movie.characters.end() && !obj.text) {
    // A clip a script made (createEmptyMovieClip) has no character.
    if (!obj.instance) return false;
    node.depth = static_cast<uint16_t>(std::clamp<int32_t>(obj.depth, 0, 0xFFFF));
    node.matrix = obj.matrix;
    node.colorTransform = obj.colorTransform;
    node.blendMode = obj.blendMode;
    node.visible = obj.visible;
    node.filters = obj.filters;
    node.cacheAsBitmap = obj.cacheAsBitmap;
    node.opaqueBackground = obj.opaqueBackground;
    // A movie or picture loaded into the clip draws its own characters.
    AppendChildren(*obj.instance, obj.instance->GetMovie(), node);
    ScrollThrough(obj, node);
    return true;
  }
  node.characterId = obj.characterId;
  node.movie = &movie;
  // Script depths above the tags' range are never under a timeline mask.
  node.depth = static_cast<uint16_t>(std::clamp<int32_t>(obj.depth, 0, 0xFFFF));
  node.clipDepth = obj.clipDepth;
  node.matrix = obj.matrix;
  node.colorTransform = obj.colorTransform;
  node.blendMode = obj.blendMode;
  node.visible = obj.visible;
  node.filters = obj.filters;
  node.cacheAsBitmap = obj.cacheAsBitmap;
  node.opaqueBackground = obj.opaqueBackground;
  if (obj.text) {
    node.kind = DisplayNode::Kind::Text;
    node.mask = MaskNode(obj.text->mask.lock(), obj.text->maskField.lock());
    return true;
  }
  const Character& c = it->second;
  if (std::holds_alternative<ShapeDefinition>(c)) {
    node.kind = DisplayNode::Kind::Shape;
  } else if (std::holds_alternative<MorphShapeDefinition>(c)) {
    node.kind = DisplayNode::Kind::MorphShape;
    node.ratio = static_cast<float>(obj.ratio) / 65535.0f;
  } else if (std::holds_alternative<BitmapDefinition>(c)) {
    node.kind = DisplayNode::Kind::Bitmap;
  } else if (std::holds_alternative<VideoDefinition>(c)) {
    node.kind = DisplayNode::Kind::Video;
    node.ratio = obj.ratio;
    // A stream attached by a script shows instead of the character's frames.
    if (obj.video) node.picture = obj.video->Current();
  } else if (std::holds_alternative<TextDefinition>(c) ||
             std::holds_alternative<EditTextDefinition>(c)) {
    node.kind = DisplayNode::Kind::Text;
  } else {
    // Sprites and buttons; one past the nesting cap has no instance and stays empty.
    node.kind = DisplayNode::Kind::Group;
    // A movie loaded into the clip draws its own characters.
    if (obj.instance) AppendChildren(*obj.instance, obj.instance->GetMovie(), node);
    ScrollThrough(obj, node);
  }
  return true;
}

void AppendChildren(const TimelineInstance& timeline, const Movie& movie, DisplayNode& parent) {
  parent.children.reserve(timeline.List().size() + (timeline.drawing ? 1 : 0));
  AddScriptParts(timeline, movie, parent);
  for (const auto& [depth, obj] : timeline.List()) {
    // A clip that masks another shows only through what it masks.
    if (obj.instance && obj.instance->isMask && obj.clipDepth == 0) continue;
    if (obj.text && obj.text->IsMask() && obj.clipDepth == 0) continue;
    if (obj.instance && obj.instance->Removed()) continue;  // waits for its unload handlers
    DisplayNode node;
    if (MakeNode(obj, movie, node)) parent.children.push_back(std::move(node));
    for (const DisplayObject& sharing : obj.above) {
      DisplayNode over;
      if (MakeNode(sharing, movie, over)) parent.children.push_back(std::move(over));
    }
  }
}

// The coverage a setMask mask gives: a clip's, or a text field's glyphs,
// with the full matrix from the stage; null when the mask is off the list.
std::shared_ptr<const DisplayNode> MaskNode(const std::shared_ptr<TimelineInstance>& clip,
                                            const std::shared_ptr<EditText>& field) {
  const DisplayObject* placed = nullptr;
  std::shared_ptr<TimelineInstance> parent;
  if (field) {
    placed = field->Placement();
    parent = field->parent.lock();
  } else if (clip) {
    placed = PlacementOf(*clip);
    parent = clip->Parent();
  }
  Matrix full;
  if (!placed || !parent || !ConcatenatedMatrix(*parent, full)) return nullptr;
  // Clips that mask each other stop after one step.
  static thread_local int maskNesting = 0;
  if (maskNesting > 0) return nullptr;
  auto maskNode = std::make_shared<DisplayNode>();
  // The mask is drawn as coverage only, so its own masks and flags do not matter.
  DisplayObject plain = *placed;
  plain.clipDepth = 0;
  ++maskNesting;
  const bool made = MakeNode(plain, parent->GetMovie(), *maskNode);
  --maskNesting;
  if (!made) return nullptr;
  maskNode->matrix = full * placed->matrix;
  maskNode->mask.reset();
  return maskNode;
}

// The drawing, below the children, and the clip masking this one.
void AddScriptParts(const TimelineInstance& t, const Movie& movie, DisplayNode& node) {
  if (t.drawing) {
    if (auto shape = t.drawing->Snapshot()) {
      DisplayNode drawn;
      drawn.kind = DisplayNode::Kind::Shape;
      drawn.drawing = std::move(shape);
      node.children.push_back(std::move(drawn));
    }
  }
  const auto mask = t.mask.lock();
  if (mask.get() == &t) return;
  node.mask = MaskNode(mask, t.maskField.lock());
}

// A level's root as a group, moved, scaled, faded or hidden as scripts set it.
void PlaceRoot(const TimelineInstance& root, DisplayNode& node) {
  node.kind = DisplayNode::Kind::Group;
  if (const DisplayObject* p = root.rootPlacement.get()) {
    node.matrix = p->matrix;
    node.colorTransform = p->colorTransform;
    node.visible = p->visible;
  }
}

}  // namespace

DisplayNode BuildDisplayTree(const TimelineInstance& root, const Movie& movie,
                             const Matrix& stageToDevice, const Levels& levels) {
  DisplayNode stage;
  stage.kind = DisplayNode::Kind::Group;
  stage.matrix = stageToDevice;
  if (root.rootPlacement) {
    DisplayNode& node = stage.children.emplace_back();
    PlaceRoot(root, node);
    AppendChildren(root, movie, node);
  } else {
    AppendChildren(root, movie, stage);
  }
  // Each level draws over the ones below it.
  for (const auto& [number, level] : levels) {
    if (!level) continue;
    DisplayNode& node = stage.children.emplace_back();
    PlaceRoot(*level, node);
    node.depth = 0xFFFF;
    AppendChildren(*level, level->GetMovie(), node);
  }
  return stage;
}

DisplayNode BuildClipTree(const TimelineInstance& clip) {
  DisplayNode node;
  node.kind = DisplayNode::Kind::Group;
  AppendChildren(clip, clip.GetMovie(), node);
  return node;
}

}  // namespace orrivel::swf
