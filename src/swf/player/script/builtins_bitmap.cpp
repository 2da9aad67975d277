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

class BitmapObject : public Object {
 public:
  ~BitmapObject() override { Free(); }
  bool Allocate(int w, int h, bool alpha, uint32_t fill) {
    const int64_t n = static_cast<int64_t>(w) * h;
    if (livePixels + n > kLivePixels) return false;
    livePixels += n;
    bits->width = w;
    bits->height = h;
    bits->transparent = alpha;
    bits->argb.assign(static_cast<std::size_t>(n), Opaque(fill));
    bits->Changed();
    return true;
  }
  // Clips showing the bitmap show nothing from now on.
  void Free() {
    livePixels -= static_cast<int64_t>(bits->argb.size());
    bits->argb.clear();
    bits->argb.shrink_to_fit();
    bits->width = bits->height = -1;
    bits->Changed();
  }
  bool Valid() const { return bits->Valid(); }
  bool Inside(int x, int y) const {
    return x >= 0 && y >= 0 && x < bits->width && y < bits->height;
  }
  uint32_t& At(int x, int y) { return bits->argb[static_cast<std::size_t>(y) * bits->width + x]; }
  // An opaque bitmap keeps every pixel's alpha at full.
  uint32_t Opaque(uint32_t argb) const { return bits->transparent ? argb : argb | 0xFF000000u; }

  // Shared with the clips that show the bitmap (attachBitmap).
  std::shared_ptr<ScriptBitmap> bits = std::make_shared<ScriptBitmap>();
};

BitmapObject* AsBitmap(Vm&, Object* self) { return StateOf<BitmapObject>(self); }

BitmapObject* Live(Vm& vm, Object* self) {
  BitmapObject* b = AsBitmap(vm, self);
  return b && b->Valid() ? b : nullptr;
}

int Int(Vm& vm, const Value& v) {
  const double d = vm.ToNumber(v);
  return std::isfinite(d) ? static_cast<int>(std::clamp(std::trunc(d), -1e9, 1e9)) : 0;
}
uint32_t Color(Vm& vm, const Value& v) { return static_cast<uint32_t>(ToInt32(vm.ToNumber(v))); }

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
      !vm.Charge(static_cast<std::size_t>(w) * h * 4) || !b->Allocate(w, h, alpha, fill))
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
  BitmapObject* b = Live(vm, self);
  return b ? Value::Bool(b->bits->transparent) : Value{};
}
Completion Rectangle(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b) return {};
  Value geom = vm.Get(vm.global, "flash");
  if (geom.IsObject()) geom = vm.Get(geom.object, "geom");
  const Value ctor = geom.IsObject() ? vm.Get(geom.object, "Rectangle") : Value{};
  if (!ctor.IsObject()) return {};
  const Value rect[] = {Value::Num(0), Value::Num(0), Value::Num(b->bits->width),
                        Value::Num(b->bits->height)};
  return vm.Construct(ctor.object, rect);
}

Completion GetPixel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b) return {};
  const int x = Int(vm, Arg(args, 0)), y = Int(vm, Arg(args, 1));
  return Value::Num(b->Inside(x, y) ? b->At(x, y) & 0xFFFFFF : 0);
}
Completion GetPixel32(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b) return {};
  const int x = Int(vm, Arg(args, 0)), y = Int(vm, Arg(args, 1));
  return Value::Num(b->Inside(x, y) ? static_cast<int32_t>(b->At(x, y)) : 0);
}
Completion SetPixel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 3) return {};
  const int x = Int(vm, args[0]), y = Int(vm, args[1]);
  if (!b->Inside(x, y)) return {};
  uint32_t& p = b->At(x, y);
  p = (p & 0xFF000000u) | (Color(vm, args[2]) & 0xFFFFFF);
  b->bits->Changed();
  return {};
}
Completion SetPixel32(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 3) return {};
  const int x = Int(vm, args[0]), y = Int(vm, args[1]);
  if (b->Inside(x, y)) {
    b->At(x, y) = b->Opaque(Color(vm, args[2]));
    b->bits->Changed();
  }
  return {};
}

// hitTest(firstPoint, alphaThreshold, point): whether the pixel under the
// point (placed by firstPoint) is opaque enough. Only a point is tested yet.
Completion PixelHitTest(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 3 || !args[0].IsObject() || !args[2].IsObject()) return {};
  Object* other = args[2].object;
  if (Live(vm, other) || !vm.Get(other, "width").IsUndefined()) return {};
  const int x = Int(vm, vm.Get(other, "x")) - Int(vm, vm.Get(args[0].object, "x"));
  const int y = Int(vm, vm.Get(other, "y")) - Int(vm, vm.Get(args[0].object, "y"));
  if (!b->Inside(x, y)) return Value::Bool(false);
  // A threshold of 0 still takes a fully clear pixel as a miss.
  const uint32_t threshold = static_cast<uint32_t>(std::clamp(Int(vm, args[1]), 1, 255));
  return Value::Bool((b->At(x, y) >> 24) >= threshold);
}

Completion FillRect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.size() < 2 || !args[0].IsObject()) return {};
  Object* r = args[0].object;
  const int x0 = std::max(0, Int(vm, vm.Get(r, "x"))), y0 = std::max(0, Int(vm, vm.Get(r, "y")));
  const int x1 = std::min(b->bits->width, Int(vm, vm.Get(r, "x")) + Int(vm, vm.Get(r, "width")));
  const int y1 = std::min(b->bits->height, Int(vm, vm.Get(r, "y")) + Int(vm, vm.Get(r, "height")));
  const uint32_t c = b->Opaque(Color(vm, args[1]));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) b->At(x, y) = c;
  }
  b->bits->Changed();
  return {};
}

Completion Dispose(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (BitmapObject* b = AsBitmap(vm, self)) b->Free();
  return {};
}

Completion Clone(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || !vm.Charge(b->bits->argb.size() * 4)) return {};
  auto* copy = vm.New<BitmapObject>();
  copy->proto = self->proto;
  if (!copy->Allocate(b->bits->width, b->bits->height, b->bits->transparent, 0)) return {};
  copy->bits->argb = b->bits->argb;
  return Value::Obj(copy);
}

double Field(Vm& vm, Object* o, const char* name) { return vm.ToNumber(vm.Get(o, name)); }

int IntField(Vm& vm, Object* o, const char* name) { return Int(vm, vm.Get(o, name)); }

// A flash.geom.Matrix in pixels; identity when the argument is no object.
Matrix MatrixArg(Vm& vm, const Value& v) {
  if (!v.IsObject()) return {};
  const auto get = [&](const char* name, double fallback) {
    const double d = Field(vm, v.object, name);
    return std::isfinite(d) ? d : fallback;
  };
  return Matrix{get("a", 1), get("b", 0), get("c", 0), get("d", 1), get("tx", 0), get("ty", 0)};
}

// A flash.geom.ColorTransform; none when the argument is no object.
ColorTransform ColorArg(Vm& vm, const Value& v) {
  ColorTransform c;
  if (!v.IsObject()) return c;
  const auto clamp = [](double d) {
    return static_cast<int16_t>(std::isfinite(d) ? std::clamp(d, -32768.0, 32767.0) : 0);
  };
  Object* o = v.object;
  c.rMult = clamp(Field(vm, o, "redMultiplier") * 256);
  c.gMult = clamp(Field(vm, o, "greenMultiplier") * 256);
  c.bMult = clamp(Field(vm, o, "blueMultiplier") * 256);
  c.aMult = clamp(Field(vm, o, "alphaMultiplier") * 256);
  c.rAdd = clamp(Field(vm, o, "redOffset"));
  c.gAdd = clamp(Field(vm, o, "greenOffset"));
  c.bAdd = clamp(Field(vm, o, "blueOffset"));
  c.aAdd = clamp(Field(vm, o, "alphaOffset"));
  return c;
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
  BitmapObject* src = args.empty() || !args[0].IsObject() ? nullptr : Live(vm, args[0].object);
  if (!b || !src || !Arg(args, 1).IsObject() || !Arg(args, 2).IsObject()) return {};
  Object* r = args[1].object;
  const PixelRect rect{IntField(vm, r, "x"), IntField(vm, r, "y"), IntField(vm, r, "width"),
                       IntField(vm, r, "height")};
  BitmapObject* alpha = Arg(args, 3).IsObject() ? Live(vm, args[3].object) : nullptr;
  int ax = 0, ay = 0;
  if (alpha && Arg(args, 4).IsObject()) {
    ax = IntField(vm, args[4].object, "x");
    ay = IntField(vm, args[4].object, "y");
  }
  CopyPixels(*b->bits, *src->bits, rect, IntField(vm, args[2].object, "x"),
             IntField(vm, args[2].object, "y"), alpha ? alpha->bits.get() : nullptr, ax, ay,
             vm.ToBoolean(Arg(args, 5)));
  return {};
}

// draw(source, matrix, colorTransform): a clip or a bitmap drawn over the pixels.
Completion DrawSource(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = Live(vm, self);
  if (!b || args.empty() || !args[0].IsObject()) return {};
  const Matrix m = MatrixArg(vm, Arg(args, 1));
  const ColorTransform cx = ColorArg(vm, Arg(args, 2));
  Object* source = args[0].object;
  if (BitmapObject* src = Live(vm, source)) {
    DrawBitmap(*b->bits, *src->bits, m, cx, Images(vm));
  } else if (source->IsClip()) {
    if (auto clip = static_cast<ClipObject*>(source)->Instance())
      DrawClip(*b->bits, *clip, m, cx, Images(vm));
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
      !vm.Charge(loaded.argb.size() * 4))
    return {};
  auto* out = vm.New<BitmapObject>();
  out->proto = PrototypeOf(vm, self);
  if (!out->Allocate(loaded.width, loaded.height, true, 0)) return {};
  out->bits->argb = std::move(loaded.argb);
  out->bits->Changed();
  return Value::Obj(out);
}

}  // namespace

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
  t->PlaceBitmap(depth, b->bits);
  return {};
}

namespace {

// In the order the player defines them (it lists them newest first). The
// methods doing nothing are those the player does not carry out yet.
constexpr Member kBitmapDataProto[] = {
    Accessor("width", Width, nullptr),
    Accessor("height", Height, nullptr),
    Accessor("rectangle", Rectangle, nullptr),
    Accessor("transparent", Transparent, nullptr),
    Method("getPixel", GetPixel),
    Method("setPixel", SetPixel),
    Method("fillRect", FillRect),
    Method("copyPixels", CopyPixelsFrom),
    Method("applyFilter", ReturnUndefined),
    Method("scroll", ReturnUndefined),
    Method("threshold", ReturnUndefined),
    Method("draw", DrawSource),
    Method("pixelDissolve", ReturnUndefined),
    Method("getPixel32", GetPixel32),
    Method("setPixel32", SetPixel32),
    Method("floodFill", ReturnUndefined),
    Method("getColorBoundsRect", ReturnUndefined),
    Method("perlinNoise", ReturnUndefined),
    Method("colorTransform", ReturnUndefined),
    Method("hitTest", PixelHitTest),
    Method("paletteMap", ReturnUndefined),
    Method("merge", ReturnUndefined),
    Method("noise", ReturnUndefined),
    Method("copyChannel", ReturnUndefined),
    Method("clone", Clone),
    Method("dispose", Dispose),
    Method("generateFilterRect", ReturnUndefined),
    Method("compare", ReturnUndefined),
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
