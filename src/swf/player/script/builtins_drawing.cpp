// MovieClip's drawing methods (beginFill, lineStyle, lineTo ...) and its
// geometry: getBounds, getRect, localToGlobal, globalToLocal, hitTest,
// setMask, and the sizes _width and _height.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf/player/script/timeline_clip.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/player/script/text_field_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/clip_geometry.h"
#include "swf/player/drawing.h"
#include "swf/player/edit_text.h"
#include "swf/player/masking.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

// Flash's gradients hold at most this many colours.
constexpr std::size_t kMaxGradientRecords = 15;
// The gradient square is 32768 twips wide: 1638.4 pixels.
constexpr double kGradientSquare = 1638.4;
// What getBounds reports for a clip that shows nothing: 0x7FFFFFF twips.
constexpr double kNoBounds = 0x7FFFFFF / 20.0;

std::shared_ptr<TimelineInstance> InstanceOf(Object* self) {
  return self && self->IsClip() ? static_cast<ClipObject*>(self)->Instance() : nullptr;
}

Rgba ColorOf(Vm& vm, const Value& rgb, const Value& alpha) {
  const auto c = static_cast<uint32_t>(ToInt32(vm.ToNumber(rgb)));
  double a = alpha.IsUndefined() ? 100 : vm.ToNumber(alpha);
  if (std::isnan(a)) a = 0;
  Rgba out;
  out.r = static_cast<uint8_t>(c >> 16);
  out.g = static_cast<uint8_t>(c >> 8);
  out.b = static_cast<uint8_t>(c);
  out.a = static_cast<uint8_t>(std::lround(std::clamp(a, 0.0, 100.0) * 2.55));
  return out;
}

double Num(Vm& vm, Object* o, std::string_view name) { return vm.ToNumber(vm.Get(o, name)); }

// The gradient matrix: a box {matrixType: "box", x, y, w, h, r}, a
// flash.geom.Matrix-like {a, b, c, d, tx, ty}, or the older 3x3 form
// {a, b, d, e, g, h} that maps a unit square.
Matrix GradientMatrix(Vm& vm, const Value& v) {
  Matrix m;
  if (!v.IsObject()) return m;
  Object* o = v.object;
  if (vm.ToString(vm.Get(o, "matrixType")) == "box") {
    const double w = Num(vm, o, "w"), h = Num(vm, o, "h"), r = Num(vm, o, "r");
    m.a = w / kGradientSquare * std::cos(r);
    m.b = w / kGradientSquare * std::sin(r);
    m.c = -h / kGradientSquare * std::sin(r);
    m.d = h / kGradientSquare * std::cos(r);
    m.tx = (Num(vm, o, "x") + w / 2) * kTwipsPerPixel;
    m.ty = (Num(vm, o, "y") + h / 2) * kTwipsPerPixel;
  } else if (!vm.Get(o, "tx").IsUndefined()) {
    m = {Num(vm, o, "a"),
         Num(vm, o, "b"),
         Num(vm, o, "c"),
         Num(vm, o, "d"),
         Num(vm, o, "tx") * kTwipsPerPixel,
         Num(vm, o, "ty") * kTwipsPerPixel};
  } else {
    m = {Num(vm, o, "a") / kGradientSquare, Num(vm, o, "b") / kGradientSquare,
         Num(vm, o, "d") / kGradientSquare, Num(vm, o, "e") / kGradientSquare,
         Num(vm, o, "g") * kTwipsPerPixel,  Num(vm, o, "h") * kTwipsPerPixel};
  }
  for (double* f : {&m.a, &m.b, &m.c, &m.d, &m.tx, &m.ty}) {
    if (!std::isfinite(*f)) *f = 0;
  }
  return m;
}

// One gradient colour. Before version 8 a colour that is not a number is
// black and an undefined alpha is 0; later versions convert the colour and
// take an undefined alpha as opaque.
Rgba GradientColor(Vm& vm, const Value& rgb, const Value& alpha) {
  if (vm.version >= 8) return ColorOf(vm, rgb, alpha);
  return ColorOf(vm, rgb.type == Type::Number ? rgb : Value::Num(0),
                 alpha.IsUndefined() ? Value::Num(0) : alpha);
}

// beginGradientFill's and lineGradientStyle's arguments; none when they
// are not a gradient (a call the player ignores). Before version 8 the
// matrix must be an object.
std::optional<FillStyle> GradientFill(Vm& vm, Args args) {
  if (args.size() < 5 || args.size() > 8) return std::nullopt;
  const std::string type = vm.ToString(Arg(args, 0));
  const Value colors = Arg(args, 1), alphas = Arg(args, 2), ratios = Arg(args, 3);
  if ((type != "linear" && type != "radial") || !colors.IsObject() || !alphas.IsObject() ||
      !ratios.IsObject())
    return std::nullopt;
  if (vm.version < 8 && !Arg(args, 4).IsObject()) return std::nullopt;
  const double n = Num(vm, colors.object, "length");
  // Empty arrays make a gradient without stops, which fills solid black.
  if (!(n >= 0) || Num(vm, alphas.object, "length") != n || Num(vm, ratios.object, "length") != n)
    return std::nullopt;
  FillStyle fill;
  fill.type = type == "linear" ? FillType::LinearGradient : FillType::RadialGradient;
  Gradient& g = fill.gradient;
  const auto count = std::min(static_cast<std::size_t>(n), kMaxGradientRecords);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string key = std::to_string(i);
    GradientRecord rec;
    rec.color = GradientColor(vm, vm.Get(colors.object, key), vm.Get(alphas.object, key));
    const double ratio = vm.ToNumber(vm.Get(ratios.object, key));
    const double whole = std::isnan(ratio) ? 0 : std::trunc(ratio);
    if (whole < 0 || whole > 255) return std::nullopt;
    rec.ratio = static_cast<uint8_t>(whole);
    g.records.push_back(rec);
  }
  g.matrix = GradientMatrix(vm, Arg(args, 4));
  const std::string spread = vm.ToString(Arg(args, 5));
  g.spread = spread == "reflect"  ? SpreadMode::Reflect
             : spread == "repeat" ? SpreadMode::Repeat
                                  : SpreadMode::Pad;
  if (vm.ToString(Arg(args, 6)) == "linearRGB") g.interpolation = InterpolationMode::LinearRgb;
  const double focal = args.size() > 7 ? vm.ToNumber(args[7]) : 0;
  if (fill.type == FillType::RadialGradient && std::isfinite(focal) && focal != 0) {
    fill.type = FillType::FocalRadialGradient;
    g.focalPoint = static_cast<float>(std::clamp(focal, -1.0, 1.0));
  }
  return fill;
}

CapStyle CapOf(const std::string& s) {
  return s == "none" ? CapStyle::None : s == "square" ? CapStyle::Square : CapStyle::Round;
}

// Pixels to twips; what is not a number draws at 0.
double Twips(Vm& vm, const Value& v) {
  const double n = vm.ToNumber(v);
  return std::isnan(n) ? 0 : n * kTwipsPerPixel;
}

// ---- Geometry -------------------------------------------------------------

// The clip a target argument names: a clip, or a path from self.
std::shared_ptr<TimelineInstance> TargetOf(Vm& vm, Object* self, const Value& v) {
  if (v.IsObject()) return InstanceOf(v.object);
  if (v.type != Type::String || !self || !self->IsClip()) return nullptr;
  ClipObject* c = ResolveTarget(vm, static_cast<ClipObject*>(self), v.string);
  return c ? c->Instance() : nullptr;
}

// Maps from's coordinates to to's (both twips); false when either is off the list.
bool Between(const TimelineInstance& from, const TimelineInstance& to, Matrix& out) {
  // Up to an ancestor the placements multiply exactly, without an inverse.
  if (MatrixUpTo(from, &to, out)) return true;
  Matrix a, b, inverse;
  if (!ConcatenatedMatrix(from, a) || !ConcatenatedMatrix(to, b) || !b.Invert(inverse))
    return false;
  out = inverse * a;
  return true;
}

Value BoundsIn(Vm& vm, Object* self, Args args, bool withStrokes) {
  auto t = InstanceOf(self);
  if (!t) return {};
  std::shared_ptr<TimelineInstance> target = t;
  if (!args.empty()) {
    target = TargetOf(vm, self, args[0]);
    if (!target) return {};
  }
  TwipsBox box = LocalBounds(*t, withStrokes);
  Matrix m;
  if (target != t) box = Between(*t, *target, m) ? TransformBox(box, m) : TwipsBox{};
  // An empty box mapped into another clip's space goes through single
  // precision, which rounds 0x7FFFFFF twips up to 2^27, when the first movie
  // or the calling code is version 8 or later. The mode stays once version 8
  // code has asked for bounds, for all movies after it.
  const auto caller = InstanceOf(vm.CurrentTarget());
  const int callerVersion = caller ? caller->GetMovie().header.version : vm.version;
  const bool single = vm.rootVersion >= 8 || callerVersion >= 8 || vm.singlePrecisionBounds;
  if (callerVersion >= 8) vm.singlePrecisionBounds = true;
  const double none =
      target != t && single ? static_cast<double>(static_cast<float>(0x7FFFFFF)) / 20.0 : kNoBounds;
  Object* o = vm.NewObject();
  const auto put = [&](const char* k, double twips) {
    vm.Set(o, k, Value::Num(box.empty ? none : twips / 20));
  };
  put("xMin", box.xMin);
  put("xMax", box.xMax);
  put("yMin", box.yMin);
  put("yMax", box.yMax);
  return Value::Obj(o);
}

// Moves the point object {x, y} between the clip's and the stage's pixels.
Value MapPoint(Vm& vm, Object* self, Args args, bool toGlobal) {
  auto t = InstanceOf(self);
  Matrix m;
  if (!t || args.empty() || !args[0].IsObject() || !ConcatenatedMatrix(*t, m)) return {};
  Object* pt = args[0].object;
  const Value xv = vm.Get(pt, "x"), yv = vm.Get(pt, "y");
  if (xv.IsUndefined() || yv.IsUndefined()) return {};
  if (!toGlobal) {
    Matrix inverse;
    if (!m.Invert(inverse)) return {};
    m = inverse;
  }
  // The player works in whole twips.
  const auto twips = [](double v) { return std::floor(v + 0.5); };
  const double x = vm.ToNumber(xv) * kTwipsPerPixel, y = vm.ToNumber(yv) * kTwipsPerPixel;
  vm.Set(pt, "x", Value::Num(twips(m.ApplyX(x, y)) / kTwipsPerPixel));
  vm.Set(pt, "y", Value::Num(twips(m.ApplyY(x, y)) / kTwipsPerPixel));
  return {};
}

// The clip's box on the stage; empty when it is off the list or shows nothing.
TwipsBox StageBox(const TimelineInstance& t) {
  Matrix m;
  if (!ConcatenatedMatrix(t, m)) return {};
  return TransformBox(LocalBounds(t), m);
}

}  // namespace

double ClipSize(ClipObject* clip, bool height) {
  auto t = clip ? clip->Instance() : nullptr;
  if (!t) return 0;
  TwipsBox box = LocalBounds(*t);
  if (const DisplayObject* p = PlacementOf(*t)) box = TransformBox(box, p->matrix);
  if (box.empty) return 0;
  return (height ? box.yMax - box.yMin : box.xMax - box.xMin) / kTwipsPerPixel;
}

void SetClipSize(ClipObject* clip, bool height, double pixels) {
  DisplayObject* p = clip ? clip->Placement() : nullptr;
  const double now = ClipSize(clip, height);
  if (!p || !std::isfinite(pixels) || pixels < 0 || now <= 0) return;
  // Scale along the clip's own axis, keeping its rotation.
  const double k = pixels / now;
  Matrix& m = p->matrix;
  if (height) {
    m.c *= k;
    m.d *= k;
  } else {
    m.a *= k;
    m.b *= k;
  }
  p->scripted = true;
}

Completion BeginFill(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (!t) return {};
  std::optional<FillStyle> fill;
  if (!Arg(args, 0).IsUndefined()) {
    fill.emplace();
    fill->color = ColorOf(vm, args[0], Arg(args, 1));
  }
  DrawingOf(*t).BeginFill(std::move(fill));
  return {};
}

Completion BeginGradientFill(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (!t) return {};
  // No type at all ends the fill; other bad arguments leave it as it is.
  if (Arg(args, 0).IsUndefined()) {
    DrawingOf(*t).BeginFill(std::nullopt);
  } else if (auto fill = GradientFill(vm, args)) {
    DrawingOf(*t).BeginFill(std::move(fill));
  }
  return {};
}

Completion SetLineStyle(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (!t) return {};
  const double thickness = vm.ToNumber(Arg(args, 0));
  if (Arg(args, 0).IsUndefined() || std::isnan(thickness)) {
    DrawingOf(*t).SetLineStyle(std::nullopt);
    return {};
  }
  LineStyle line;
  line.width = static_cast<uint16_t>(std::lround(std::clamp(thickness, 0.0, 255.0) * 20));
  line.color = ColorOf(vm, Arg(args, 1), Arg(args, 2));
  line.pixelHinting = vm.ToBoolean(Arg(args, 3));
  if (args.size() > 4) {
    const std::string scale = vm.ToString(args[4]);
    line.noHScale = scale == "none" || scale == "horizontal";
    line.noVScale = scale == "none" || scale == "vertical";
  }
  if (args.size() > 5 && !args[5].IsNullish()) {
    line.startCap = line.endCap = CapOf(vm.ToString(args[5]));
  }
  if (args.size() > 6 && !args[6].IsNullish()) {
    const std::string join = vm.ToString(args[6]);
    line.join = join == "miter"   ? JoinStyle::Miter
                : join == "bevel" ? JoinStyle::Bevel
                                  : JoinStyle::Round;
  }
  if (args.size() > 7) {
    const double limit = vm.ToNumber(args[7]);
    line.miterLimit = static_cast<float>(std::isnan(limit) ? 3 : std::clamp(limit, 1.0, 255.0));
  }
  DrawingOf(*t).SetLineStyle(line);
  return {};
}

Completion LineGradientStyle(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (!t) return {};
  if (auto fill = GradientFill(vm, args)) DrawingOf(*t).SetLineFill(*fill);
  return {};
}

Completion MoveTo(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (t && args.size() >= 2) DrawingOf(*t).MoveTo(Twips(vm, args[0]), Twips(vm, args[1]));
  return {};
}

Completion LineTo(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (t && args.size() >= 2) DrawingOf(*t).LineTo(Twips(vm, args[0]), Twips(vm, args[1]));
  return {};
}

Completion CurveTo(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (t && args.size() >= 4) {
    DrawingOf(*t).CurveTo(Twips(vm, args[0]), Twips(vm, args[1]), Twips(vm, args[2]),
                          Twips(vm, args[3]));
  }
  return {};
}

Completion EndFill(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (auto t = InstanceOf(self); t && t->drawing) t->drawing->EndFill();
  return {};
}

Completion Clear(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (auto t = InstanceOf(self); t && t->drawing) t->drawing->Clear();
  return {};
}

Completion GetBounds(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return BoundsIn(vm, self, args, true);
}

Completion GetRect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return BoundsIn(vm, self, args, false);
}

Completion LocalToGlobal(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return MapPoint(vm, self, args, true);
}

Completion GlobalToLocal(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return MapPoint(vm, self, args, false);
}

// A clip masked by setMask, or inside one, covers only what its mask
// covers, itself seen through its own mask.
bool InsideMasks(const TimelineInstance& t, double x, double y, int nesting = 0) {
  const TimelineInstance* cur = &t;
  for (int guard = 0; cur && guard < 256; ++guard) {
    const auto mask = cur->mask.lock();
    if (mask && (nesting > 16 || !HitsShape(*mask, x, y) || !InsideMasks(*mask, x, y, nesting + 1)))
      return false;
    cur = cur->Parent().get();
  }
  return true;
}

Completion HitTest(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto t = InstanceOf(self);
  if (!t || args.empty()) return Value::Bool(false);
  if (args.size() >= 2) {
    double x = vm.ToNumber(args[0]) * kTwipsPerPixel;
    double y = vm.ToNumber(args[1]) * kTwipsPerPixel;
    if (std::isnan(x) || std::isnan(y)) return Value::Bool(false);
    // The point is in the space of the clip's level, which a script may have moved.
    const TimelineInstance* level = t.get();
    for (int guard = 0; level && !level->IsRoot() && guard < 256; ++guard) {
      level = level->Parent().get();
    }
    if (level && level->rootPlacement) {
      const Matrix& m = level->rootPlacement->matrix;
      const double sx = m.ApplyX(x, y);
      y = m.ApplyY(x, y);
      x = sx;
    }
    // The stage point is in whole twips, as Flash keeps it.
    x = std::floor(x + 0.5);
    y = std::floor(y + 0.5);
    // A clip masking another by setMask covers nothing of its own.
    if (args.size() >= 3 && vm.ToBoolean(args[2]))
      return Value::Bool(!t->isMask && HitsShape(*t, x, y) && InsideMasks(*t, x, y));
    const TwipsBox b = StageBox(*t);
    return Value::Bool(!b.empty && x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax);
  }
  auto other = TargetOf(vm, self, args[0]);
  if (!other) return Value::Bool(false);
  const TwipsBox a = StageBox(*t), b = StageBox(*other);
  return Value::Bool(!a.empty && !b.empty && a.xMin <= b.xMax && b.xMin <= a.xMax &&
                     a.yMin <= b.yMax && b.yMin <= a.yMax);
}

// True when the mask is set or removed (null, undefined), false when the
// argument names no clip; no argument at all does nothing. A text field
// borrowing the method is masked as a clip is.
Completion SetMask(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  MaskSide masked{InstanceOf(self), nullptr};
  if (auto* tf = dynamic_cast<TextFieldObject*>(self)) masked.field = tf->Field();
  if (masked.Empty() || args.empty()) return {};
  MaskSide mask;
  if (args[0].IsObject()) {
    mask.clip = InstanceOf(args[0].object);
    if (auto* tf = dynamic_cast<TextFieldObject*>(args[0].object)) mask.field = tf->Field();
  } else if (!args[0].IsNullish()) {
    // A path (or a number used as one) is looked up from the calling script's timeline.
    ClipObject* base = vm.CurrentTarget() ? vm.CurrentTarget() : vm.RootClip();
    ClipObject* c = base ? ResolveTarget(vm, base, vm.ToString(args[0])) : nullptr;
    mask.clip = c ? c->Instance() : nullptr;
  }
  if (!args[0].IsNullish() && mask.Empty()) return Value::Bool(false);
  swf::SetMask(masked, mask);
  return Value::Bool(true);
}

}  // namespace orrivel::swf::avm1
