#include "swf/render/damage.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace orrivel::swf {
namespace {

// Covering most of the target, one full redraw is cheaper than many parts.
constexpr double kFullRedrawShare = 0.6;
constexpr size_t kMaxBoxesToMerge = 64;

// A group drawn as one bitmap (filtered, cached or with an opaque
// background): a change anywhere inside may show anywhere in its bounds.
struct Effect {
  const DisplayNode* node = nullptr;
  Matrix parent;
};

// A group masked by a clip (setMask) counts as one too: the mask moving
// changes what shows anywhere in the group.
bool HasEffect(const DisplayNode& n) {
  return !n.filters.empty() || n.cacheAsBitmap || n.opaqueBackground.has_value() || n.mask ||
         n.clipRect.has_value();
}

bool SameTree(const DisplayNode& x, const DisplayNode& y) {
  return x.kind == y.kind && x.characterId == y.characterId && x.movie == y.movie &&
         x.drawing == y.drawing && x.picture == y.picture && x.matrix == y.matrix &&
         x.ratio == y.ratio && x.clipDepth == y.clipDepth && x.depth == y.depth &&
         std::equal(x.children.begin(), x.children.end(), y.children.begin(), y.children.end(),
                    SameTree);
}

bool SameEffect(const DisplayNode& x, const DisplayNode& y) {
  return x.filters == y.filters && x.cacheAsBitmap == y.cacheAsBitmap &&
         x.opaqueBackground == y.opaqueBackground && x.clipRect == y.clipRect &&
         !x.mask == !y.mask && (!x.mask || SameTree(*x.mask, *y.mask));
}

// One drawn leaf: where it sits in the tree and everything that decides its pixels.
struct Leaf {
  const DisplayNode* node = nullptr;
  Matrix parent;                             // full matrix of the parent
  ColorTransform colorTransform;             // concatenated, the leaf's own included
  std::vector<BlendMode> blends;             // of the groups above, outermost first
  std::vector<std::vector<uint32_t>> masks;  // paths of the masks over it
  bool drawn = true;                         // false: a mask, whose pixels show only through others
  std::vector<Effect> effects;               // of the groups above, outermost first
};

// Depths from the root; a drawing, which has no depth, is one past the last.
using Path = std::vector<uint32_t>;
constexpr uint32_t kDrawingStep = 0x10000;

void Flatten(const DisplayNode& group, const Matrix& m, const ColorTransform& cx, bool inMask,
             Path& path, std::vector<BlendMode>& blends, std::vector<Path>& masks,
             std::vector<Effect>& effects, std::map<Path, Leaf>& out) {
  // A mask layer inside another's range is cut by it over its whole range,
  // so it carries the paths of the masks in force when it started.
  struct ActiveMask {
    uint16_t clipDepth;
    std::vector<Path> paths;
  };
  std::vector<ActiveMask> active;
  const size_t outerMasks = masks.size();
  uint32_t lastStep = 0, sharing = 0;  // objects sharing a depth count up above it
  for (const DisplayNode& child : group.children) {
    std::erase_if(active, [&](const ActiveMask& a) { return a.clipDepth < child.depth; });
    masks.resize(outerMasks);
    if (!active.empty()) {
      masks.insert(masks.end(), active.back().paths.begin(), active.back().paths.end());
    }
    const uint32_t step = child.drawing ? kDrawingStep : child.depth;
    sharing = &child != &group.children.front() && step == lastStep ? sharing + 1 : 0;
    lastStep = step;
    path.push_back(step | sharing << 17);
    const bool isMask = child.clipDepth != 0;
    if (isMask || child.visible) {
      const ColorTransform childCx = cx * child.colorTransform;
      if (child.kind == DisplayNode::Kind::Group) {
        blends.push_back(child.blendMode);
        const bool effect = HasEffect(child);
        if (effect) effects.push_back({&child, m});
        Flatten(child, m * child.matrix, childCx, inMask || isMask, path, blends, masks, effects,
                out);
        if (effect) effects.pop_back();
        blends.pop_back();
      } else {
        out[path] = Leaf{&child, m, childCx, blends, masks, !isMask && !inMask, effects};
      }
    }
    if (isMask) {
      std::vector<Path> paths = active.empty() ? std::vector<Path>{} : active.back().paths;
      paths.push_back(path);
      active.push_back({child.clipDepth, std::move(paths)});
    }
    path.pop_back();
  }
  masks.resize(outerMasks);
}

std::map<Path, Leaf> Leaves(const DisplayNode& root) {
  std::map<Path, Leaf> out;
  Path path;
  std::vector<BlendMode> blends;
  std::vector<Path> masks;
  std::vector<Effect> effects;
  if (root.visible) {
    Flatten(root, root.matrix, root.colorTransform, false, path, blends, masks, effects, out);
  }
  return out;
}

bool SameLeaf(const Leaf& a, const Leaf& b) {
  const DisplayNode& x = *a.node;
  const DisplayNode& y = *b.node;
  return x.kind == y.kind && x.characterId == y.characterId && x.movie == y.movie &&
         x.editText == y.editText && x.drawing == y.drawing && x.picture == y.picture &&
         x.clipDepth == y.clipDepth && x.ratio == y.ratio && x.blendMode == y.blendMode &&
         a.parent * x.matrix == b.parent * y.matrix && a.colorTransform == b.colorTransform &&
         a.blends == b.blends && a.masks == b.masks && a.drawn == b.drawn && SameEffect(x, y) &&
         std::equal(a.effects.begin(), a.effects.end(), b.effects.begin(), b.effects.end(),
                    [](const Effect& e, const Effect& f) {
                      return e.parent * e.node->matrix == f.parent * f.node->matrix &&
                             SameEffect(*e.node, *f.node);
                    });
}

double RootScale(const DisplayNode& root) {
  const Matrix& m = root.matrix;
  return std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
}

DamageBox ToBox(const FloatRect& r, int width, int height) {
  DamageBox b;
  if (r.Empty() || !std::isfinite(r.xMin) || !std::isfinite(r.yMin) || !std::isfinite(r.xMax) ||
      !std::isfinite(r.yMax)) {
    return b;
  }
  // A pixel of margin for anti-aliasing that reaches past the bounds.
  b.x0 = static_cast<int>(std::clamp(std::floor(r.xMin) - 1.0f, 0.0f, static_cast<float>(width)));
  b.y0 = static_cast<int>(std::clamp(std::floor(r.yMin) - 1.0f, 0.0f, static_cast<float>(height)));
  b.x1 = static_cast<int>(std::clamp(std::ceil(r.xMax) + 1.0f, 0.0f, static_cast<float>(width)));
  b.y1 = static_cast<int>(std::clamp(std::ceil(r.yMax) + 1.0f, 0.0f, static_cast<float>(height)));
  return b;
}

DamageBox Union(const DamageBox& a, const DamageBox& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

bool Overlap(const DamageBox& a, const DamageBox& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

}  // namespace

std::vector<DamageBox> MergeDamage(std::vector<DamageBox> boxes, int width, int height,
                                   size_t maxBoxes) {
  std::erase_if(boxes, [](const DamageBox& b) { return b.Empty(); });
  const DamageBox full{0, 0, width, height};
  // The pairwise merging below costs the cube of the box count: hundreds of
  // moving clips would take longer than drawing the frame. So many boxes
  // become their one bounding box.
  if (boxes.size() > kMaxBoxesToMerge) {
    DamageBox all = boxes.front();
    for (const DamageBox& b : boxes) all = Union(all, b);
    if (all.Area() > kFullRedrawShare * full.Area()) return {full};
    return {all};
  }
  // Overlapping boxes become one, until none overlap (a merge can make new overlaps).
  for (bool merged = true; merged;) {
    merged = false;
    for (size_t i = 0; i < boxes.size() && !merged; ++i) {
      for (size_t j = i + 1; j < boxes.size(); ++j) {
        if (Overlap(boxes[i], boxes[j])) {
          boxes[i] = Union(boxes[i], boxes[j]);
          boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
          break;
        }
      }
    }
  }
  while (boxes.size() > std::max<size_t>(1, maxBoxes)) {
    size_t bi = 0, bj = 1;
    long long best = -1;
    for (size_t i = 0; i < boxes.size(); ++i) {
      for (size_t j = i + 1; j < boxes.size(); ++j) {
        const long long cost = Union(boxes[i], boxes[j]).Area() - boxes[i].Area() - boxes[j].Area();
        if (best < 0 || cost < best) best = cost, bi = i, bj = j;
      }
    }
    boxes[bi] = Union(boxes[bi], boxes[bj]);
    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(bj));
    // The union may now overlap a third box.
    return MergeDamage(std::move(boxes), width, height, maxBoxes);
  }
  long long area = 0;
  for (const DamageBox& b : boxes) area += b.Area();
  if (area > kFullRedrawShare * full.Area()) return {full};
  return boxes;
}

std::vector<DamageBox> FrameDamage(Renderer& renderer, const DisplayNode& before,
                                   const DisplayNode& after, int width, int height,
                                   size_t maxBoxes) {
  if (width <= 0 || height <= 0) return {};
  const DamageBox full{0, 0, width, height};
  if (!(before.matrix == after.matrix) || before.visible != after.visible ||
      !(before.colorTransform == after.colorTransform)) {
    return {full};
  }
  const double scale = RootScale(after);
  const std::map<Path, Leaf> old = Leaves(before);
  const std::map<Path, Leaf> now = Leaves(after);
  std::vector<DamageBox> boxes;
  std::set<const DisplayNode*> groupsDamaged;
  auto damage = [&](const Leaf& leaf) {
    boxes.push_back(ToBox(renderer.Bounds(*leaf.node, leaf.parent, scale), width, height));
    for (const Effect& e : leaf.effects) {
      if (groupsDamaged.insert(e.node).second) {
        boxes.push_back(ToBox(renderer.Bounds(*e.node, e.parent, scale), width, height));
      }
    }
  };
  for (const auto& [path, leaf] : old) {
    auto it = now.find(path);
    if (it == now.end() || !SameLeaf(leaf, it->second)) damage(leaf);
  }
  for (const auto& [path, leaf] : now) {
    auto it = old.find(path);
    if (it == old.end() || !SameLeaf(leaf, it->second)) damage(leaf);
  }
  return MergeDamage(std::move(boxes), width, height, maxBoxes);
}

}  // namespace orrivel::swf
