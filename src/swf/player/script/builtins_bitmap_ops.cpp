// BitmapData's pixel methods as scripts call them. Each gives what the
// player's natives give: -1 when the bitmap is disposed or arguments are
// missing, -2 for a source that is no BitmapData, -3 for a disposed one,
// -4 for a source rectangle that is none.
#include <algorithm>
#include <cmath>
#include <string>

#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"
#include "swf/player/bitmap_ops.h"
#include "swf/player/script/bitmap_object.h"

namespace orrivel::swf::avm1 {

namespace {

const Value kFailed = Value::Num(-1);

Value GeomClass(Vm& vm, const char* name) {
  Value v = vm.Get(vm.global, "flash");
  if (v.IsObject()) v = vm.Get(v.object, "geom");
  return v.IsObject() ? vm.Get(v.object, name) : Value{};
}

bool IsA(Vm& vm, const Value& v, const char* geomClass) {
  const Value ctor = GeomClass(vm, geomClass);
  return v.IsObject() && ctor.IsObject() && vm.InstanceOf(v.object, ctor.object);
}

bool Has(Vm& vm, Object* o, const char* name) { return !vm.Get(o, name).IsUndefined(); }

// The source, rectangle and point that most methods start with; the
// error code when they are not usable.
struct Source {
  BitmapObject* bitmap = nullptr;
  PixelRect rect;
  int x = 0, y = 0;
};
std::optional<Value> ReadSource(Vm& vm, Args args, Source& out) {
  out.bitmap = args[0].IsObject() ? AsBitmap(args[0].object) : nullptr;
  if (!out.bitmap) return Value::Num(-2);
  if (!out.bitmap->Valid()) return Value::Num(-3);
  if (!RectArg(vm, args[1], out.rect)) return Value::Num(-4);
  PointArg(vm, args[2], out.x, out.y);
  return std::nullopt;
}

uint32_t Unsigned(Vm& vm, const Value& v) { return PixelColor(vm, v); }

}  // namespace

int PixelInt(Vm& vm, const Value& v) {
  const double d = vm.ToNumber(v);
  return std::isfinite(d) ? static_cast<int>(std::clamp(std::trunc(d), -1e9, 1e9)) : 0;
}

uint32_t PixelColor(Vm& vm, const Value& v) {
  return static_cast<uint32_t>(ToInt32(vm.ToNumber(v)));
}

bool RectArg(Vm& vm, const Value& v, PixelRect& out) {
  if (!v.IsObject()) return false;
  Object* o = v.object;
  for (const char* name : {"x", "y", "width", "height"}) {
    if (!Has(vm, o, name)) return false;
  }
  out = {PixelInt(vm, vm.Get(o, "x")), PixelInt(vm, vm.Get(o, "y")),
         PixelInt(vm, vm.Get(o, "width")), PixelInt(vm, vm.Get(o, "height"))};
  return true;
}

void PointArg(Vm& vm, const Value& v, int& x, int& y) {
  x = y = 0;
  if (!v.IsObject()) return;
  x = PixelInt(vm, vm.Get(v.object, "x"));
  y = PixelInt(vm, vm.Get(v.object, "y"));
}

Value NewRectangle(Vm& vm, const PixelRect& r) {
  const Value ctor = GeomClass(vm, "Rectangle");
  if (!ctor.IsObject()) return {};
  const Value args[] = {Value::Num(r.x), Value::Num(r.y), Value::Num(r.width),
                        Value::Num(r.height)};
  return vm.Construct(ctor.object, args);
}

Value NewBitmapLike(Vm& vm, Object* self, ScriptBitmap&& pixels) {
  if (!vm.ChargePixels(pixels.argb.size() * 4)) return {};
  auto* out = vm.New<BitmapObject>();
  out->proto = self->proto;
  if (!out->Allocate(pixels.width, pixels.height, pixels.transparent, 0)) return {};
  out->bits->argb = std::move(pixels.argb);
  out->bits->Changed();
  return Value::Obj(out);
}

// colorTransform(rect, colorTransform): the transform must be a real
// flash.geom.ColorTransform.
Completion BitmapColorTransform(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 2) return kFailed;
  PixelRect r;
  if (!RectArg(vm, args[0], r)) return Value::Num(-2);
  if (!IsA(vm, args[1], "ColorTransform")) return Value::Num(-3);
  ColorTransformPixels(*b->bits, ClipRect(*b->bits, r), ColorTransformArg(vm, args[1]));
  return kFailed;
}

Completion BitmapScroll(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 2) return kFailed;
  ScrollPixels(*b->bits, PixelInt(vm, args[0]), PixelInt(vm, args[1]));
  return Value::Num(0);
}

// copyChannel(source, rect, point, sourceChannel, destChannel)
Completion BitmapCopyChannel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 5) return kFailed;
  Source s;
  if (auto error = ReadSource(vm, args, s)) return *error;
  CopyChannel(*b->bits, *s.bitmap->bits, s.rect, s.x, s.y, Unsigned(vm, args[3]),
              Unsigned(vm, args[4]));
  return kFailed;
}

// merge(source, rect, point, red, green, blue, alpha multipliers)
Completion BitmapMerge(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 7) return kFailed;
  Source s;
  if (auto error = ReadSource(vm, args, s)) return *error;
  const std::array<uint32_t, 4> mult{Unsigned(vm, args[6]), Unsigned(vm, args[3]),
                                     Unsigned(vm, args[4]), Unsigned(vm, args[5])};
  MergePixels(*b->bits, *s.bitmap->bits, s.rect, s.x, s.y, mult);
  return kFailed;
}

// compare(other): 0 when alike, -3 / -4 when the widths / heights differ,
// otherwise a bitmap of the differences.
Completion BitmapCompare(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.empty()) return kFailed;
  BitmapObject* other = args[0].IsObject() ? LiveBitmap(args[0].object) : nullptr;
  if (!other) return Value::Num(-2);
  if (other->bits->width != b->bits->width) return Value::Num(-3);
  if (other->bits->height != b->bits->height) return Value::Num(-4);
  auto diff = ComparePixels(*b->bits, *other->bits);
  if (!diff) return Value::Num(0);
  return NewBitmapLike(vm, self, std::move(*diff));
}

// threshold(source, rect, point, operation, threshold, color, mask, copySource)
Completion BitmapThreshold(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 5) return kFailed;
  Source s;
  if (auto error = ReadSource(vm, args, s)) return *error;
  const auto op = ThresholdOpOf(vm.ToString(args[3]));
  if (!op) return Value::Num(0);
  const uint32_t color = args.size() > 5 ? Unsigned(vm, args[5]) : 0;
  const uint32_t mask = args.size() > 6 ? Unsigned(vm, args[6]) : 0xFFFFFFFFu;
  return Value::Num(ThresholdPixels(*b->bits, *s.bitmap->bits, s.rect, s.x, s.y, *op,
                                    Unsigned(vm, args[4]), color, mask,
                                    vm.ToBoolean(Arg(args, 7))));
}

Completion BitmapFloodFill(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 3) return kFailed;
  const bool changed =
      FloodFill(*b->bits, PixelInt(vm, args[0]), PixelInt(vm, args[1]), Unsigned(vm, args[2]));
  return Value::Num(changed ? 1 : 0);
}

// getColorBoundsRect(mask, color, findColor = true)
Completion BitmapColorBounds(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 2) return kFailed;
  const bool find = args.size() < 3 || vm.ToBoolean(args[2]);
  return NewRectangle(vm,
                      ColorBounds(*b->bits, Unsigned(vm, args[0]), Unsigned(vm, args[1]), find));
}

// paletteMap(source, rect, point, red, green, blue, alpha): arrays of 256
// entries; a channel without one is copied.
Completion BitmapPaletteMap(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 4) return kFailed;
  Source s;
  if (auto error = ReadSource(vm, args, s)) return *error;
  PaletteTables tables;
  constexpr std::size_t kArgOf[] = {6, 3, 4, 5};  // alpha, red, green, blue
  for (std::size_t c = 0; c < 4; ++c) {
    const Value v = Arg(args, kArgOf[c]);
    if (!v.IsObject()) continue;
    auto& table = tables.argb[c].emplace();
    for (std::size_t i = 0; i < 256; ++i)
      table[i] = Unsigned(vm, vm.Get(v.object, std::to_string(i)));
  }
  PaletteMap(*b->bits, *s.bitmap->bits, s.rect, s.x, s.y, tables);
  return kFailed;
}

// noise(seed, low = 0, high = 255, channels = 7, grayScale = false)
Completion BitmapNoise(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.empty()) return kFailed;
  const int low = args.size() > 1 ? PixelInt(vm, args[1]) : 0;
  const int high = args.size() > 2 ? PixelInt(vm, args[2]) : 255;
  const uint32_t channels = args.size() > 3 ? Unsigned(vm, args[3]) : 7;
  NoisePixels(*b->bits, ToInt32(vm.ToNumber(args[0])), low, high, channels,
              vm.ToBoolean(Arg(args, 4)));
  return Value::Num(0);
}

// perlinNoise(baseX, baseY, octaves, seed, stitch, fractalNoise, channels,
// grayScale, offsets)
Completion BitmapPerlinNoise(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 6) return kFailed;
  PerlinArgs p;
  const auto finite = [](double d) { return std::isfinite(d) ? d : 0; };
  p.baseX = finite(vm.ToNumber(args[0]));
  p.baseY = finite(vm.ToNumber(args[1]));
  p.octaves = PixelInt(vm, args[2]);
  p.seed = ToInt32(vm.ToNumber(args[3]));
  p.stitch = vm.ToBoolean(args[4]);
  p.fractal = vm.ToBoolean(args[5]);
  p.channels = args.size() > 6 ? Unsigned(vm, args[6]) : 7;
  p.grayScale = vm.ToBoolean(Arg(args, 7));
  if (Arg(args, 8).IsObject()) {
    Object* list = args[8].object;
    const int n = std::clamp(PixelInt(vm, vm.Get(list, "length")), 0, 16);
    for (int i = 0; i < n; ++i) {
      const Value pt = vm.Get(list, std::to_string(i));
      double x = 0, y = 0;
      if (pt.IsObject()) {
        x = finite(vm.ToNumber(vm.Get(pt.object, "x")));
        y = finite(vm.ToNumber(vm.Get(pt.object, "y")));
      }
      p.offsets.emplace_back(x, y);
    }
  }
  PerlinNoise(*b->bits, p);
  return Value::Num(0);
}

// pixelDissolve(source, rect, point, seed = 0, count = area / 30, fill = 0):
// the seed for the next call.
Completion BitmapPixelDissolve(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 3) return kFailed;
  Source s;
  if (auto error = ReadSource(vm, args, s)) return *error;
  const PixelRect area = ClipRect(*s.bitmap->bits, s.rect);
  const int64_t count =
      args.size() > 4 ? PixelInt(vm, args[4]) : static_cast<int64_t>(area.width) * area.height / 30;
  const uint32_t fill = args.size() > 5 ? Unsigned(vm, args[5]) : 0;
  return Value::Num(DissolvePixels(*b->bits, *s.bitmap->bits, s.rect, s.x, s.y,
                                   ToInt32(vm.ToNumber(Arg(args, 3))), count, fill));
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondPoint,
// secondAlphaThreshold): secondObject is a point, a rectangle or a bitmap.
Completion BitmapHitTest(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 3) return kFailed;
  if (!args[0].IsObject() || !Has(vm, args[0].object, "x") || !Has(vm, args[0].object, "y"))
    return Value::Num(-2);
  int fx, fy;
  PointArg(vm, args[0], fx, fy);
  // A threshold of 0 still takes a fully clear pixel as a miss.
  const auto threshold = [&](const Value& v) {
    return static_cast<uint32_t>(std::clamp(PixelInt(vm, v), 1, 255));
  };
  const uint32_t first = threshold(args[1]);
  const ScriptBitmap& mine = *b->bits;
  const auto alphaAt = [](const ScriptBitmap& bm, int x, int y) -> uint32_t {
    if (x < 0 || y < 0 || x >= bm.width || y >= bm.height) return 0;
    if (!bm.transparent) return 255;
    return bm.argb[static_cast<std::size_t>(y) * bm.width + x] >> 24;
  };
  if (!args[2].IsObject()) return Value::Num(-3);
  Object* second = args[2].object;
  if (BitmapObject* other = AsBitmap(second)) {
    if (!other->Valid()) return Value::Num(-3);
    // The second bitmap's point may be left out, but not be a non-point.
    const Value at = Arg(args, 3);
    if (args.size() > 3 && !(at.IsObject() && Has(vm, at.object, "x") && Has(vm, at.object, "y")))
      return Value::Num(-4);
    int sx, sy;
    PointArg(vm, at, sx, sy);
    const uint32_t secondThreshold = threshold(Arg(args, 4));
    const ScriptBitmap& theirs = *other->bits;
    // Overlap of the two bitmaps in the space both points share.
    const int x0 = std::max(fx, sx), y0 = std::max(fy, sy);
    const int x1 = std::min(fx + mine.width, sx + theirs.width);
    const int y1 = std::min(fy + mine.height, sy + theirs.height);
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        if (alphaAt(mine, x - fx, y - fy) >= first &&
            alphaAt(theirs, x - sx, y - sy) >= secondThreshold)
          return Value::Bool(true);
      }
    }
    return Value::Bool(false);
  }
  PixelRect r;
  if (IsA(vm, args[2], "Rectangle") && RectArg(vm, args[2], r)) {
    const PixelRect area = ClipRect(mine, {r.x - fx, r.y - fy, r.width, r.height});
    for (int y = area.y; y < area.y + area.height; ++y) {
      for (int x = area.x; x < area.x + area.width; ++x) {
        if (alphaAt(mine, x, y) >= first) return Value::Bool(true);
      }
    }
    return Value::Bool(false);
  }
  if (!Has(vm, second, "x") || !Has(vm, second, "y")) return Value::Num(-3);
  // Only a flash.geom.Point is tested; another object with x and y misses.
  if (!IsA(vm, args[2], "Point")) return Value::Bool(false);
  int px, py;
  PointArg(vm, args[2], px, py);
  return Value::Bool(alphaAt(mine, px - fx, py - fy) >= first);
}

// applyFilter(source, rect, point, filter)
Completion BitmapApplyFilter(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 4) return kFailed;
  Source s;
  if (auto error = ReadSource(vm, args, s)) return *error;
  const auto filter = args[3].IsObject() ? FilterOf(args[3].object) : std::nullopt;
  if (!filter) return Value::Num(-5);
  ApplyFilterPixels(*b->bits, *s.bitmap->bits, s.rect, s.x, s.y, *filter);
  return Value::Num(0);
}

// generateFilterRect(rect, filter): where applyFilter would draw.
Completion BitmapFilterRect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BitmapObject* b = LiveBitmap(self);
  if (!b || args.size() < 2) return kFailed;
  PixelRect r;
  if (!RectArg(vm, args[0], r)) return Value::Num(-2);
  const auto filter = args[1].IsObject() ? FilterOf(args[1].object) : std::nullopt;
  if (!filter) return Value::Num(-3);
  return NewRectangle(vm, FilterRect(r, *filter));
}

}  // namespace orrivel::swf::avm1
