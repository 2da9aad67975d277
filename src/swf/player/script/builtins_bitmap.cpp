// flash.display.BitmapData as scripts see it: a grid of 32-bit pixels they
// create, read and fill. Sizes are capped as Flash caps them, and the pixels
// of all live bitmaps share one budget so that a movie cannot exhaust memory.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "swf/avm1/clip_methods.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"
#include "swf/player/bitmap_drawing.h"
#include "swf/player/bitmap_ops.h"
#include "swf/player/script/bitmap_object.h"
#include "swf/player/clip_geometry.h"
#include "swf/player/drawing.h"
#include "swf/player/script/script_display.h"
#include "swf/player/timeline_instance.h"
#include "swf/render/script_bitmap.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr int kMaxSide = 2880;
constexpr int kMaxSideV10 = 8191;
constexpr int64_t kMaxPixels = 16'777'215;
// Pixels all live bitmaps may hold together (256 MB).
constexpr int64_t kLivePixels = 64ll << 20;
int64_t livePixels = 0;

}  // namespace

bool BitmapObject::Allocate(int w, int h, bool alpha, uint32_t fill) {
  const int64_t n = static_cast<int64_t>(w) * h;
  if (livePixels + n > kLivePixels) return false;
  livePixels += n;
  bits->width = w;
  bits->height = h;
  bits->transparent = alpha;
  bits->argb.assign(static_cast<std::size_t>(n), KeptPixel(*bits, fill));
  bits->Changed();
  return true;
}

void BitmapObject::Free() {
  livePixels -= static_cast<int64_t>(bits->argb.size());
  bits->argb.clear();
  bits->argb.shrink_to_fit();
  bits->width = bits->height = -1;
  bits->Changed();
}

namespace {

BitmapObject* AsBitmap(Vm&, Object* self) { return avm1::AsBitmap(self); }
BitmapObject* Live(Vm&, Object* self) { return LiveBitmap(self); }

int Int(Vm& vm, const Value& v) { return PixelInt(vm, v); }
uint32_t Color(Vm& vm, const Value& v) { return PixelColor(vm, v); }

// What natives give when the bitmap is disposed or arguments are missing.
const Value kFailed = Value::Num(-1);

Object* MakeBitmap(Vm& vm) { return vm.New<BitmapObject>(); }

Completion BitmapCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  BitmapObject* b = AsBitmap(vm, self);
  if (!b) {
    // A subclass instance made by script: it holds its pixels as state.
    b = AttachState<BitmapObject>(vm, self);
  }
  if (b->Valid()) return {};
  const int w = Int(vm, Arg(args, 0)), h = Int(vm, Arg(args, 1));
  const bool alpha = args.size() < 3 || vm.ToBoolean(args[2]);
  const uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : Color(vm, args[3]);
  // Bad sizes, and sizes past the shared budget, make no bitmap at all.
  const int side = vm.version >= 10 ? kMaxSideV10 : kMaxSide;
  if (w <= 0 || h <= 0 || w > side || h > side || static_cast<int64_t>(w) * h > kMaxPixels ||
      !vm.ChargePixels(static_cast<std::size_t>(w) * h * 4) || !b->Allocate(w, h, alpha, fill))
    vm.RefuseConstruct();
  return {};
}

Completion Width(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = AsBitmap(vm, self);
  return b ? Value::Num(b->bits->width) : Value{};
}
Completion Height(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = AsBitmap(vm, self);
  return b ? Value::Num(b->bits->height) : Value{};
}
Completion Transparent(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = AsBitmap(vm, self);
  if (!b) return {};
  return b->Valid() ? Value::Bool(b->bits->transparent) : kFailed;
}
Completion Rectangle(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = AsBitmap(vm, self);
  if (!b) return {};
  if (!b->Valid()) return kFailed;
  // -1 too when flash.geom.Rectangle is no longer a class.
  const Value r = NewRectangle(vm, {0, 0, b->bits->width, b->bits->height});
  return r.IsUndefined() ? kFailed : r;
}

Completion GetPixel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 2) return kFailed;
  const int x = Int(vm, args[0]), y = Int(vm, args[1]);
  return Value::Num(b->Inside(x, y) ? b->At(x, y) & 0xFFFFFF : 0);
}
Completion GetPixel32(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 2) return kFailed;
  const int x = Int(vm, args[0]), y = Int(vm, args[1]);
  if (!b->Inside(x, y)) return Value::Num(0);
  const uint32_t p = b->bits->transparent ? b->At(x, y) : b->At(x, y) | 0xFF000000u;
  return Value::Num(static_cast<int32_t>(p));
}
Completion SetPixel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 3) return kFailed;
  const int x = Int(vm, args[0]), y = Int(vm, args[1]);
  if (!b->Inside(x, y)) return Value::Num(0);
  uint32_t& p = b->At(x, y);
  // The alpha stays; the colour is kept through it.
  p = KeptPixel(*b->bits, (p & 0xFF000000u) | (Color(vm, args[2]) & 0xFFFFFF));
  b->bits->Changed();
  return Value::Num(0);
}
Completion SetPixel32(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 3) return kFailed;
  const int x = Int(vm, args[0]), y = Int(vm, args[1]);
  if (b->Inside(x, y)) {
    b->At(x, y) = KeptPixel(*b->bits, Color(vm, args[2]));
    b->bits->Changed();
  }
  return Value::Num(0);
}

Completion FillRect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b) return {};
  PixelRect r;
  if (args.size() < 2 || !RectArg(vm, args[0], r)) return kFailed;
  r = ClipRect(*b->bits, r);
  const uint32_t c = KeptPixel(*b->bits, Color(vm, args[1]));
  for (int y = r.y; y < r.y + r.height; ++y) {
    for (int x = r.x; x < r.x + r.width; ++x) b->At(x, y) = c;
  }
  b->bits->Changed();
  return Value::Num(0);
}

Completion Dispose(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b) return kFailed;
  b->Free();
  return {};
}

Completion Clone(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b) return kFailed;
  if (!vm.ChargePixels(b->bits->argb.size() * 4)) return {};
  auto* copy = vm.New<BitmapObject>();
  copy->proto = self->proto;
  if (!copy->Allocate(b->bits->width, b->bits->height, b->bits->transparent, 0)) return {};
  copy->bits->argb = b->bits->argb;
  return Value::Obj(copy);
}

double Field(Vm& vm, Object* o, const char* name) { return vm.ToNumber(vm.Get(o, name)); }

// A flash.geom.Matrix in pixels; identity when the argument is no object.
Matrix MatrixArg(Vm& vm, const Value& v) {
  if (!v.IsObject()) return {};
  const auto get = [&](const char* name, double fallback) {
    const double d = Field(vm, v.object, name);
    return std::isfinite(d) ? d : fallback;
  };
  return Matrix{get("a", 1), get("b", 0), get("c", 0), get("d", 1), get("tx", 0), get("ty", 0)};
}

class NoImages : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t>, uint64_t) override {
    return std::nullopt;
  }
};

ImageDecoder& Images(Vm& vm) {
  static NoImages none;
  return DisplayOf(vm).ctx.limits.images ? *DisplayOf(vm).ctx.limits.images : none;
}

// copyPixels(source, sourceRect, destPoint, alphaBitmap, alphaPoint, mergeAlpha)
Completion CopyPixelsFrom(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 3) return kFailed;
  BitmapObject* src = args[0].IsObject() ? AsBitmap(vm, args[0].object) : nullptr;
  PixelRect rect;
  if (!src) return Value::Num(-2);
  if (!src->Valid()) return Value::Num(-3);
  if (!RectArg(vm, args[1], rect)) return Value::Num(-4);
  int dx = 0, dy = 0, ax = 0, ay = 0;
  PointArg(vm, args[2], dx, dy);
  // The alpha bitmap takes part only together with its point.
  BitmapObject* alpha = args.size() > 4 && args[3].IsObject() ? Live(vm, args[3].object) : nullptr;
  if (alpha) PointArg(vm, args[4], ax, ay);
  CopyPixels(*b->bits, *src->bits, rect, dx, dy, alpha ? alpha->bits.get() : nullptr, ax, ay,
             vm.ToBoolean(Arg(args, 5)));
  return Value::Num(0);
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a
// clip or a bitmap drawn over the pixels.
Completion DrawSource(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.empty()) return kFailed;
  if (!args[0].IsObject()) return {};
  const Matrix m = MatrixArg(vm, Arg(args, 1));
  const ColorTransform cx = ColorTransformArg(vm, Arg(args, 2));
  DrawOptions options;
  options.blend = BlendModeArg(vm, Arg(args, 3)).value_or(BlendMode::Normal);
  if (PixelRect clip; RectArg(vm, Arg(args, 4), clip)) options.clip = clip;
  options.smooth = vm.ToBoolean(Arg(args, 5));
  Object* source = args[0].object;
  if (BitmapObject* src = Live(vm, source)) {
    DrawBitmap(*b->bits, *src->bits, m, cx, Images(vm), options);
  } else if (source->IsClip()) {
    if (auto clip = static_cast<ClipObject*>(source)->Instance())
      DrawClip(*b->bits, *clip, m, cx, Images(vm), options);
  }
  return {};
}

// BitmapData.loadBitmap(linkage): the library bitmap exported by that name
// in the calling script's movie, as a new transparent bitmap.
Completion LoadBitmap(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return {};
  std::shared_ptr<TimelineInstance> caller =
      vm.CurrentTarget() ? vm.CurrentTarget()->Instance() : nullptr;
  const Movie* movie = caller ? &caller->GetMovie() : DisplayOf(vm).ctx.movie;
  ScriptBitmap loaded;
  if (!movie || !LoadLibraryBitmap(loaded, *movie, vm.ToString(args[0]), Images(vm)) ||
      static_cast<int64_t>(loaded.width) * loaded.height > kMaxPixels ||
      !vm.ChargePixels(loaded.argb.size() * 4))
    return {};
  auto* out = vm.New<BitmapObject>();
  out->proto = PrototypeOf(vm, self);
  if (!out->Allocate(loaded.width, loaded.height, true, 0)) return {};
  out->bits->argb = std::move(loaded.argb);
  out->bits->Changed();
  return Value::Obj(out);
}

}  // namespace

namespace {
double Num(Vm& vm, Object* o, const char* name) { return vm.ToNumber(vm.Get(o, name)); }
}  // namespace

ColorTransform ColorTransformArg(Vm& vm, const Value& v) {
  ColorTransform c;
  if (!v.IsObject()) return c;
  const auto clamp = [](double d) {
    return static_cast<int16_t>(std::isfinite(d) ? std::clamp(d, -32768.0, 32767.0) : 0);
  };
  Object* o = v.object;
  c.rMult = clamp(Num(vm, o, "redMultiplier") * 256);
  c.gMult = clamp(Num(vm, o, "greenMultiplier") * 256);
  c.bMult = clamp(Num(vm, o, "blueMultiplier") * 256);
  c.aMult = clamp(Num(vm, o, "alphaMultiplier") * 256);
  c.rAdd = clamp(Num(vm, o, "redOffset"));
  c.gAdd = clamp(Num(vm, o, "greenOffset"));
  c.bAdd = clamp(Num(vm, o, "blueOffset"));
  c.aAdd = clamp(Num(vm, o, "alphaOffset"));
  return c;
}

// beginBitmapFill(bitmap, matrix, repeat, smoothing): fills what follows
// with the bitmap's pixels as they are at each frame.
Completion BeginBitmapFill(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = self && self->IsClip() ? static_cast<ClipObject*>(self) : nullptr;
  auto t = clip ? clip->Instance() : nullptr;
  BitmapObject* b = args.empty() || !args[0].IsObject() ? nullptr : Live(vm, args[0].object);
  if (!t || !b) return {};
  const Matrix m = MatrixArg(vm, Arg(args, 1));
  const bool repeat = args.size() < 3 || vm.ToBoolean(args[2]);
  const bool smooth = args.size() >= 4 && vm.ToBoolean(args[3]);
  FillStyle fill;
  fill.type = repeat ? (smooth ? FillType::RepeatingBitmap : FillType::NonSmoothedRepeatingBitmap)
                     : (smooth ? FillType::ClippedBitmap : FillType::NonSmoothedClippedBitmap);
  // Bitmap pixels to the clip's twips.
  const double tw = kTwipsPerPixel;
  fill.bitmapMatrix = Matrix{m.a * tw, m.b * tw, m.c * tw, m.d * tw, m.tx * tw, m.ty * tw};
  DrawingOf(*t).BeginFill(fill, b->bits);
  return {};
}

// attachBitmap(bitmap, depth): shows the bitmap's pixels in the clip at
// that depth, as they are at every frame.
Completion AttachBitmap(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = self && self->IsClip() ? static_cast<ClipObject*>(self) : nullptr;
  auto t = clip ? clip->Instance() : nullptr;
  BitmapObject* b = args.empty() || !args[0].IsObject() ? nullptr : Live(vm, args[0].object);
  int32_t depth = 0;
  if (!t || !b || !ClipDepthKey(vm.ToNumber(Arg(args, 1)), depth)) return {};
  // attachBitmap(bitmap, depth, pixelSnapping, smoothing)
  t->PlaceBitmap(depth, b->bits, vm.ToBoolean(Arg(args, 3)));
  return {};
}

namespace {

// In the order the player defines them (it lists them newest first).
constexpr Member kBitmapDataProto[] = {
    Accessor("width", Width, nullptr, kDontDelete),
    Accessor("height", Height, nullptr, kDontDelete),
    Accessor("rectangle", Rectangle, nullptr, kDontDelete),
    Accessor("transparent", Transparent, nullptr, kDontDelete),
    Method("getPixel", GetPixel),
    Method("setPixel", SetPixel),
    Method("fillRect", FillRect),
    Method("copyPixels", CopyPixelsFrom),
    Method("applyFilter", BitmapApplyFilter),
    Method("scroll", BitmapScroll),
    Method("threshold", BitmapThreshold),
    Method("draw", DrawSource),
    Method("pixelDissolve", BitmapPixelDissolve),
    Method("getPixel32", GetPixel32),
    Method("setPixel32", SetPixel32),
    Method("floodFill", BitmapFloodFill),
    Method("getColorBoundsRect", BitmapColorBounds),
    Method("perlinNoise", BitmapPerlinNoise),
    Method("colorTransform", BitmapColorTransform),
    Method("hitTest", BitmapHitTest),
    Method("paletteMap", BitmapPaletteMap),
    Method("merge", BitmapMerge),
    Method("noise", BitmapNoise),
    Method("copyChannel", BitmapCopyChannel),
    Method("clone", Clone),
    Method("dispose", Dispose),
    Method("generateFilterRect", BitmapFilterRect),
    Method("compare", BitmapCompare),
};
constexpr Member kBitmapDataStatics[] = {
    ConstNumber("RED_CHANNEL", 1, kConstant),  ConstNumber("GREEN_CHANNEL", 2, kConstant),
    ConstNumber("BLUE_CHANNEL", 4, kConstant), ConstNumber("ALPHA_CHANNEL", 8, kConstant),
    Method("loadBitmap", LoadBitmap),
};

}  // namespace

// Movies before version 8 find an empty stand-in.
extern const ClassDecl kBitmapDataClass{.name = "BitmapData",
                                        .ctor = BitmapCtor,
                                        .proto = kBitmapDataProto,
                                        .statics = kBitmapDataStatics,
                                        .since = 8,
                                        .construct = MakeBitmap,
                                        .package = "flash.display"};

}  // namespace orrivel::swf::avm1
