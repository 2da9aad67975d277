// The flash.geom package: Point, Rectangle, Matrix and ColorTransform
// (plain script objects whose fields scripts may set to anything), and
// Transform, the bridge to a clip's matrix and colour transform.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/vm.h"
#include "swf/player/clip_geometry.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

struct Classes {
  Object* point = nullptr;
  Object* rectangle = nullptr;
  Object* matrix = nullptr;
  Object* colorTransform = nullptr;
};

Object* Ctor(Vm& vm, const char* name) {
  const Value flash = vm.Get(vm.global, "flash");
  const Value geom = flash.IsObject() ? vm.Get(flash.object, "geom") : Value{};
  const Value c = geom.IsObject() ? vm.Get(geom.object, name) : Value{};
  return c.IsObject() ? c.object : nullptr;
}

Value Make(Vm& vm, const char* cls, std::vector<Value> args) {
  return vm.Construct(Ctor(vm, cls), args);
}

double N(Vm& vm, Object* o, std::string_view k) { return vm.ToNumber(o ? vm.Get(o, k) : Value{}); }
Value G(Vm& vm, Object* o, std::string_view k) { return o ? vm.Get(o, k) : Value{}; }
Object* O(const Value& v) { return v.IsObject() ? v.object : nullptr; }

// What the + operator makes of an operand: what valueOf gives, a clip
// included (its path, or NaN); the operand itself when valueOf gives
// another object.
Value Operand(Vm& vm, const Value& v) {
  if (!v.IsObject() || v.object->IsClip()) return v;
  const Value p = vm.ToPrimitive(v);
  return p.IsObject() && !p.object->IsClip() ? v : p;
}

// The + operator: strings join, anything else adds as numbers; the right
// side is converted first.
Value Plus(Vm& vm, const Value& a, const Value& b) {
  const Value pb = Operand(vm, b);
  const Value pa = Operand(vm, a);
  if (pa.type == Type::String || pb.type == Type::String)
    return Value::Str(vm.ToString(pa) + vm.ToString(pb));
  return Value::Num(vm.ToNumber(pa) + vm.ToNumber(pb));
}

void SetFields(Vm& vm, Object* self, std::initializer_list<const char*> names, Args args,
               std::initializer_list<double> defaults) {
  auto d = defaults.begin();
  std::size_t i = 0;
  for (const char* n : names) {
    vm.Set(self, n, args.empty() ? Value::Num(*d) : Arg(args, i));
    ++i;
    ++d;
  }
}

std::string Describe(Vm& vm, Object* self, std::initializer_list<const char*> names,
                     std::initializer_list<const char*> labels) {
  std::string out = "(";
  auto l = labels.begin();
  for (const char* n : names) {
    if (out.size() > 1) out += ", ";
    // The text is joined with +, so valueOf runs before toString.
    out += std::string(*l++) + "=" + vm.ToString(Operand(vm, vm.Get(self, n)));
  }
  return out + ")";
}

// ---- Point ----------------------------------------------------------------

Completion PointNew(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self) SetFields(vm, self, {"x", "y"}, args, {0, 0});
  return {};
}
Completion PointLength(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Num(std::hypot(N(vm, self, "x"), N(vm, self, "y")));
}
Completion PointAdd(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  // A primitive argument is read through its wrapper's prototype.
  Object* p = vm.ToObject(Arg(args, 0));
  return Make(
      vm, "Point",
      {Plus(vm, G(vm, self, "x"), G(vm, p, "x")), Plus(vm, G(vm, self, "y"), G(vm, p, "y"))});
}
Completion PointSubtract(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* p = O(Arg(args, 0));
  return Make(
      vm, "Point",
      {Value::Num(N(vm, self, "x") - N(vm, p, "x")), Value::Num(N(vm, self, "y") - N(vm, p, "y"))});
}
Completion PointClone(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Make(vm, "Point", {G(vm, self, "x"), G(vm, self, "y")});
}
Completion PointEquals(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* p = O(Arg(args, 0));
  if (!p || !vm.InstanceOf(p, Ctor(vm, "Point"))) return Value::Bool(false);
  return Value::Bool(vm.StrictEquals(G(vm, self, "x"), G(vm, p, "x")) &&
                     vm.StrictEquals(G(vm, self, "y"), G(vm, p, "y")));
}
Completion PointNormalize(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const double x = N(vm, self, "x"), y = N(vm, self, "y"), len = std::hypot(x, y);
  const double to = vm.ToNumber(Arg(args, 0));
  if (len > 0) {
    vm.Set(self, "x", Value::Num(x * to / len));
    vm.Set(self, "y", Value::Num(y * to / len));
  }
  return {};
}
Completion PointOffset(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  vm.Set(self, "x", Plus(vm, G(vm, self, "x"), Arg(args, 0)));
  vm.Set(self, "y", Plus(vm, G(vm, self, "y"), Arg(args, 1)));
  return {};
}
Completion PointToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Str(Describe(vm, self, {"x", "y"}, {"x", "y"}));
}
// The length of a.subtract(b): undefined when `a` has no subtract method.
Completion PointDistance(Vm& vm, const CallContext&, Args args) {
  Object* a = O(Arg(args, 0));
  if (!a) return {};
  const Value sub = vm.Get(a, "subtract");
  if (!sub.IsObject() || !sub.object->IsFunction()) return {};
  const Value other[] = {Arg(args, 1)};
  const Value diff = vm.Call(sub, Value::Obj(a), other);
  return diff.IsObject() ? vm.Get(diff.object, "length") : Value{};
}
Completion PointInterpolate(Vm& vm, const CallContext&, Args args) {
  Object* a = O(Arg(args, 0));
  Object* b = O(Arg(args, 1));
  const double f = vm.ToNumber(Arg(args, 2));
  return Make(vm, "Point",
              {Plus(vm, G(vm, b, "x"), Value::Num(f * (N(vm, a, "x") - N(vm, b, "x")))),
               Plus(vm, G(vm, b, "y"), Value::Num(f * (N(vm, a, "y") - N(vm, b, "y"))))});
}
Completion PointPolar(Vm& vm, const CallContext&, Args args) {
  const double len = vm.ToNumber(Arg(args, 0)), angle = vm.ToNumber(Arg(args, 1));
  return Make(vm, "Point", {Value::Num(len * std::cos(angle)), Value::Num(len * std::sin(angle))});
}

// ---- Rectangle ------------------------------------------------------------

Completion RectNew(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self) SetFields(vm, self, {"x", "y", "width", "height"}, args, {0, 0, 0, 0});
  return {};
}
Value MakeRect(Vm& vm, double x, double y, double w, double h) {
  return Make(vm, "Rectangle", {Value::Num(x), Value::Num(y), Value::Num(w), Value::Num(h)});
}
struct R {
  double x, y, w, h;
};
R Read(Vm& vm, Object* o) {
  return {N(vm, o, "x"), N(vm, o, "y"), N(vm, o, "width"), N(vm, o, "height")};
}
bool IsEmpty(const R& r) { return !(r.w > 0 && r.h > 0); }

Completion RectClone(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Make(vm, "Rectangle",
              {G(vm, self, "x"), G(vm, self, "y"), G(vm, self, "width"), G(vm, self, "height")});
}
Completion RectIsEmpty(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Bool(IsEmpty(Read(vm, self)));
}
Completion RectSetEmpty(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  for (const char* k : {"x", "y", "width", "height"}) vm.Set(self, k, Value::Num(0));
  return {};
}
// The script `x >= this.x && x < this.x + this.width && ...`: `a >= b` is
// !(a < b), and `a < b` is undefined with NaN, which ends the chain.
Value Contains(Vm& vm, Object* self, const Value& x, const Value& y) {
  const std::pair<const Value*, const char*> axes[2] = {{&x, "x"}, {&y, "y"}};
  Value r = Value::Bool(true);
  for (int i = 0; i < 2; ++i) {
    const Value& v = *axes[i].first;
    const Value lo = G(vm, self, axes[i].second);
    if (vm.ToBoolean(vm.Less(v, lo))) return Value::Bool(false);
    r = vm.Less(v, Plus(vm, lo, G(vm, self, i == 0 ? "width" : "height")));
    if (!vm.ToBoolean(r)) return r;
  }
  return r;
}
Completion RectContains(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return Contains(vm, self, Arg(args, 0), Arg(args, 1));
}
Completion RectContainsPoint(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* p = O(Arg(args, 0));
  return Contains(vm, self, G(vm, p, "x"), G(vm, p, "y"));
}
// The script: each corner of r within this one, x then y, `a >= b` being
// !(a < b) and `a < b` or `a > b` undefined with NaN, which ends the chain.
Completion RectContainsRect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* r = O(Arg(args, 0));
  for (const auto& [pos, size] : {std::pair{"x", "width"}, std::pair{"y", "height"}}) {
    const Value lo = G(vm, self, pos), hi = Plus(vm, lo, G(vm, self, size));
    const Value start = G(vm, r, pos), end = Plus(vm, start, G(vm, r, size));
    const Value steps[] = {Value::Bool(!vm.ToBoolean(vm.Less(start, lo))), vm.Less(start, hi),
                           vm.Less(lo, end), Value::Bool(!vm.ToBoolean(vm.Less(hi, end)))};
    for (const Value& v : steps) {
      if (!vm.ToBoolean(v)) return v;
    }
  }
  return Value::Bool(true);
}
Completion RectEquals(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* o = O(Arg(args, 0));
  if (!o || !vm.InstanceOf(o, Ctor(vm, "Rectangle"))) return Value::Bool(false);
  const R a = Read(vm, self), b = Read(vm, o);
  return Value::Bool(a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h);
}
void Inflate(Vm& vm, Object* self, double dx, double dy) {
  const R r = Read(vm, self);
  vm.Set(self, "x", Value::Num(r.x - dx));
  vm.Set(self, "y", Value::Num(r.y - dy));
  vm.Set(self, "width", Value::Num(r.w + 2 * dx));
  vm.Set(self, "height", Value::Num(r.h + 2 * dy));
}
Completion RectInflate(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Inflate(vm, self, vm.ToNumber(Arg(args, 0)), vm.ToNumber(Arg(args, 1)));
  return {};
}
Completion RectInflatePoint(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* p = O(Arg(args, 0));
  Inflate(vm, self, N(vm, p, "x"), N(vm, p, "y"));
  return {};
}
Completion RectOffset(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  vm.Set(self, "x", Value::Num(N(vm, self, "x") + vm.ToNumber(Arg(args, 0))));
  vm.Set(self, "y", Value::Num(N(vm, self, "y") + vm.ToNumber(Arg(args, 1))));
  return {};
}
Completion RectOffsetPoint(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* p = O(Arg(args, 0));
  vm.Set(self, "x", Value::Num(N(vm, self, "x") + N(vm, p, "x")));
  vm.Set(self, "y", Value::Num(N(vm, self, "y") + N(vm, p, "y")));
  return {};
}
Completion RectIntersection(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const R a = Read(vm, self), b = Read(vm, O(Arg(args, 0)));
  const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  if (IsEmpty(a) || IsEmpty(b) || !(x1 > x0 && y1 > y0)) return MakeRect(vm, 0, 0, 0, 0);
  return MakeRect(vm, x0, y0, x1 - x0, y1 - y0);
}
Completion RectIntersects(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const R a = Read(vm, self), b = Read(vm, O(Arg(args, 0)));
  return Value::Bool(!IsEmpty(a) && !IsEmpty(b) &&
                     std::max(a.x, b.x) < std::min(a.x + a.w, b.x + b.w) &&
                     std::max(a.y, b.y) < std::min(a.y + a.h, b.y + b.h));
}
Completion RectUnion(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const R a = Read(vm, self), b = Read(vm, O(Arg(args, 0)));
  // A side is empty when its width or height is at most 0: NaN is not, and
  // spreads through the sums (Math.min and Math.max give NaN with it).
  const auto empty = [](const R& r) { return r.w <= 0 || r.h <= 0; };
  if (empty(a)) return MakeRect(vm, b.x, b.y, b.w, b.h);
  if (empty(b)) return MakeRect(vm, a.x, a.y, a.w, a.h);
  const auto lo = [](double p, double q) {
    return std::isnan(p) || std::isnan(q) ? NAN : std::min(p, q);
  };
  const auto hi = [](double p, double q) {
    return std::isnan(p) || std::isnan(q) ? NAN : std::max(p, q);
  };
  const double x0 = lo(a.x, b.x), y0 = lo(a.y, b.y);
  return MakeRect(vm, x0, y0, hi(a.x + a.w, b.x + b.w) - x0, hi(a.y + a.h, b.y + b.h) - y0);
}
Completion RectToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Str(Describe(vm, self, {"x", "y", "width", "height"}, {"x", "y", "w", "h"}));
}
Completion RectLeft(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return G(vm, self, "x");
}
Completion RectTop(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return G(vm, self, "y");
}
Completion RectRight(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Plus(vm, G(vm, self, "x"), G(vm, self, "width"));
}
Completion RectBottom(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Plus(vm, G(vm, self, "y"), G(vm, self, "height"));
}
Completion RectSetLeft(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const double x = vm.ToNumber(Arg(args, 0));
  vm.Set(self, "width", Plus(vm, G(vm, self, "width"), Value::Num(N(vm, self, "x") - x)));
  vm.Set(self, "x", Arg(args, 0));
  return {};
}
Completion RectSetTop(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const double y = vm.ToNumber(Arg(args, 0));
  vm.Set(self, "height", Plus(vm, G(vm, self, "height"), Value::Num(N(vm, self, "y") - y)));
  vm.Set(self, "y", Arg(args, 0));
  return {};
}
Completion RectSetRight(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  vm.Set(self, "width", Value::Num(vm.ToNumber(Arg(args, 0)) - N(vm, self, "x")));
  return {};
}
Completion RectSetBottom(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  vm.Set(self, "height", Value::Num(vm.ToNumber(Arg(args, 0)) - N(vm, self, "y")));
  return {};
}
Completion RectSize(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Make(vm, "Point", {G(vm, self, "width"), G(vm, self, "height")});
}
Completion RectSetSize(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* p = O(Arg(args, 0));
  vm.Set(self, "width", G(vm, p, "x"));
  vm.Set(self, "height", G(vm, p, "y"));
  return {};
}
Completion RectTopLeft(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Make(vm, "Point", {G(vm, self, "x"), G(vm, self, "y")});
}
Completion RectSetTopLeft(Vm& vm, const CallContext& call, Args args) {
  Object* p = O(Arg(args, 0));
  RectSetLeft(vm, call, std::vector<Value>{G(vm, p, "x")});
  RectSetTop(vm, call, std::vector<Value>{G(vm, p, "y")});
  return {};
}
Completion RectBottomRight(Vm& vm, const CallContext& call, Args) {
  return Make(vm, "Point", {RectRight(vm, call, {}).value, RectBottom(vm, call, {}).value});
}
Completion RectSetBottomRight(Vm& vm, const CallContext& call, Args args) {
  Object* p = O(Arg(args, 0));
  RectSetRight(vm, call, std::vector<Value>{G(vm, p, "x")});
  RectSetBottom(vm, call, std::vector<Value>{G(vm, p, "y")});
  return {};
}

// ---- Matrix ---------------------------------------------------------------

Matrix ReadMatrix(Vm& vm, Object* o) {
  return {N(vm, o, "a"), N(vm, o, "b"),  N(vm, o, "c"),
          N(vm, o, "d"), N(vm, o, "tx"), N(vm, o, "ty")};
}
void WriteMatrix(Vm& vm, Object* o, const Matrix& m) {
  vm.Set(o, "a", Value::Num(m.a));
  vm.Set(o, "b", Value::Num(m.b));
  vm.Set(o, "c", Value::Num(m.c));
  vm.Set(o, "d", Value::Num(m.d));
  vm.Set(o, "tx", Value::Num(m.tx));
  vm.Set(o, "ty", Value::Num(m.ty));
}
Value MakeMatrix(Vm& vm, const Matrix& m) {
  return Make(vm, "Matrix",
              {Value::Num(m.a), Value::Num(m.b), Value::Num(m.c), Value::Num(m.d), Value::Num(m.tx),
               Value::Num(m.ty)});
}

Completion MatrixNew(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self) SetFields(vm, self, {"a", "b", "c", "d", "tx", "ty"}, args, {1, 0, 0, 1, 0, 0});
  return {};
}
Completion MatrixClone(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Make(vm, "Matrix",
              {G(vm, self, "a"), G(vm, self, "b"), G(vm, self, "c"), G(vm, self, "d"),
               G(vm, self, "tx"), G(vm, self, "ty")});
}
Completion MatrixIdentity(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  WriteMatrix(vm, self, Matrix{});
  return {};
}
Completion MatrixConcat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  WriteMatrix(vm, self, ReadMatrix(vm, O(Arg(args, 0))) * ReadMatrix(vm, self));
  return {};
}
// The player builds rotate, scale, createBox, createGradientBox and invert
// from the object's own methods, so on an object that lacks them (a method
// copied onto a plain object) those steps do nothing.
void Invoke(Vm& vm, Object* self, std::string_view name, std::vector<Value> args,
            Value* result = nullptr) {
  if (self) vm.CallMethod(self, name, args, result);
}
Completion MatrixInvert(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return {};
  const Matrix m = ReadMatrix(vm, self);
  Matrix inv;
  if (!m.Invert(inv)) {
    Invoke(vm, self, "identity", {});
    return {};
  }
  vm.Set(self, "a", Value::Num(inv.a));
  vm.Set(self, "b", Value::Num(inv.b));
  vm.Set(self, "c", Value::Num(inv.c));
  vm.Set(self, "d", Value::Num(inv.d));
  // The new offsets are the old ones mapped by the inverted linear part.
  Value p;
  Invoke(vm, self, "deltaTransformPoint",
         {Make(vm, "Point", {G(vm, self, "tx"), G(vm, self, "ty")})}, &p);
  vm.Set(self, "tx", Value::Num(-N(vm, O(p), "x")));
  vm.Set(self, "ty", Value::Num(-N(vm, O(p), "y")));
  return {};
}
Completion MatrixCreateBox(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  // No default rotation here, unlike createGradientBox: a missing one is NaN
  // (0 before SWF 7). Without rotation the scales are set alone, so a NaN
  // scale leaves b and c at 0.
  if (vm.ToNumber(Arg(args, 2)) == 0) {
    const Matrix s{vm.ToNumber(Arg(args, 0)), 0, 0, vm.ToNumber(Arg(args, 1)), 0, 0};
    WriteMatrix(vm, self, s);
  } else {
    Invoke(vm, self, "identity", {});
    Invoke(vm, self, "rotate", {Arg(args, 2)});
    Invoke(vm, self, "scale", {Arg(args, 0), Arg(args, 1)});
  }
  const Value tx = Arg(args, 3), ty = Arg(args, 4);
  vm.Set(self, "tx", tx.IsUndefined() ? Value::Num(0) : tx);
  vm.Set(self, "ty", ty.IsUndefined() ? Value::Num(0) : ty);
  return {};
}
Completion MatrixGradientBox(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const double w = vm.ToNumber(Arg(args, 0)), h = vm.ToNumber(Arg(args, 1));
  const Value r = args.size() > 2 ? args[2] : Value::Num(0);
  const Value tx = args.size() > 3 ? args[3] : Value::Num(0);
  const Value ty = args.size() > 4 ? args[4] : Value::Num(0);
  Invoke(vm, self, "createBox",
         {Value::Num(w / 1638.4), Value::Num(h / 1638.4), r, Plus(vm, tx, Value::Num(w / 2)),
          Plus(vm, ty, Value::Num(h / 2))});
  return {};
}
Completion MatrixRotate(Vm& vm, const CallContext& call, Args args) {
  const double r = vm.ToNumber(Arg(args, 0));
  const double c = std::cos(r), s = std::sin(r);
  Invoke(vm, call.This(), "concat", {MakeMatrix(vm, {c, s, -s, c, 0, 0})});
  return {};
}
Completion MatrixScale(Vm& vm, const CallContext& call, Args args) {
  const Matrix s{vm.ToNumber(Arg(args, 0)), 0, 0, vm.ToNumber(Arg(args, 1)), 0, 0};
  Invoke(vm, call.This(), "concat", {MakeMatrix(vm, s)});
  return {};
}
Completion MatrixTranslate(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  vm.Set(self, "tx", Plus(vm, G(vm, self, "tx"), Arg(args, 0)));
  vm.Set(self, "ty", Plus(vm, G(vm, self, "ty"), Arg(args, 1)));
  return {};
}
Value MapWith(Vm& vm, Object* self, Args args, bool delta) {
  Matrix m = ReadMatrix(vm, self);
  if (delta) m.tx = m.ty = 0;
  Object* p = O(Arg(args, 0));
  const double x = N(vm, p, "x"), y = N(vm, p, "y");
  return Make(vm, "Point", {Value::Num(m.ApplyX(x, y)), Value::Num(m.ApplyY(x, y))});
}
Completion MatrixTransformPoint(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return MapWith(vm, self, args, false);
}
Completion MatrixDeltaTransformPoint(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  return MapWith(vm, self, args, true);
}
Completion MatrixToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Str(
      Describe(vm, self, {"a", "b", "c", "d", "tx", "ty"}, {"a", "b", "c", "d", "tx", "ty"}));
}

// ---- ColorTransform --------------------------------------------------------

constexpr const char* kColorFields[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                        "alphaMultiplier", "redOffset",       "greenOffset",
                                        "blueOffset",      "alphaOffset"};

// The fields live in the object; scripts reach them through properties of
// the prototype, which turn what they set into numbers.
class ColorTransformObject : public Object {
 public:
  double fields[8] = {1, 1, 1, 1, 0, 0, 0, 0};
};

double* Fields(Object* self) {
  auto* c = dynamic_cast<ColorTransformObject*>(self);
  return c ? c->fields : nullptr;
}

template <int kIndex>
Completion ColorField(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const double* f = Fields(self);
  return f ? Value::Num(f[kIndex]) : Value{};
}
template <int kIndex>
Completion SetColorField(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (double* f = Fields(self)) f[kIndex] = vm.ToNumber(Arg(args, 0));
  return {};
}

Completion ColorNew(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  double* f = Fields(self);
  if (!f || args.size() < 8) return {};
  for (int i = 0; i < 8; ++i) f[i] = vm.ToNumber(args[i]);
  return {};
}
Completion ColorToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  std::string out = "(";
  for (const char* k : kColorFields) {
    if (out.size() > 1) out += ", ";
    out += std::string(k) + "=" + vm.ToString(vm.Get(self, k));
  }
  return Value::Str(out + ")");
}
Completion ColorRgb(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const double* f = Fields(self);
  if (!f) return {};
  const auto c = [&](int i) { return static_cast<uint32_t>(ToInt32(f[i])); };
  return Value::Num((c(4) << 16) | (c(5) << 8) | c(6));
}
Completion ColorSetRgb(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  double* f = Fields(self);
  if (!f) return {};
  const auto rgb = static_cast<uint32_t>(ToInt32(vm.ToNumber(Arg(args, 0))));
  f[0] = f[1] = f[2] = 0;
  f[4] = (rgb >> 16) & 0xFF;
  f[5] = (rgb >> 8) & 0xFF;
  f[6] = rgb & 0xFF;
  return {};
}
Completion ColorConcat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  double* f = Fields(self);
  const double* o = Fields(O(Arg(args, 0)));
  if (!f || !o) return {};
  for (int i = 0; i < 4; ++i) {
    f[i + 4] += o[i + 4] * f[i];
    f[i] *= o[i];
  }
  return {};
}

// A clip keeps its colour transform in 16-bit fields (multipliers in 8.8
// fixed point): a value is cut to an integer and wraps, as the player's do.
ColorTransform ReadColor(Vm& vm, Object* o) {
  const auto wrap = [](double v) { return static_cast<int16_t>(ToInt32(v)); };
  const auto mult = [&](const char* k) { return wrap(N(vm, o, k) * 256); };
  const auto add = [&](const char* k) { return wrap(N(vm, o, k)); };
  ColorTransform c;
  c.rMult = mult("redMultiplier");
  c.gMult = mult("greenMultiplier");
  c.bMult = mult("blueMultiplier");
  c.aMult = mult("alphaMultiplier");
  c.rAdd = add("redOffset");
  c.gAdd = add("greenOffset");
  c.bAdd = add("blueOffset");
  c.aAdd = add("alphaOffset");
  return c;
}
Value MakeColor(Vm& vm, const ColorTransform& c) {
  return Make(vm, "ColorTransform",
              {Value::Num(c.rMult / 256.0), Value::Num(c.gMult / 256.0),
               Value::Num(c.bMult / 256.0), Value::Num(c.aMult / 256.0), Value::Num(c.rAdd),
               Value::Num(c.gAdd), Value::Num(c.bAdd), Value::Num(c.aAdd)});
}

// ---- Transform -------------------------------------------------------------

// The clip a Transform was made for.
class TransformState : public Object {
 public:
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (clip) out.push_back(clip);
  }
  ClipObject* clip = nullptr;
};

ClipObject* TransformClip(Object* self) {
  const TransformState* s = InheritedStateOf<TransformState>(self);
  return s ? s->clip : nullptr;
}
std::shared_ptr<TimelineInstance> ClipOf(Vm&, Object* self) {
  ClipObject* clip = TransformClip(self);
  return clip ? clip->Instance() : nullptr;
}
DisplayObject* PlacedOf(Vm&, Object* self) {
  ClipObject* clip = TransformClip(self);
  return clip ? clip->Placement() : nullptr;
}
Matrix ToPixels(Matrix m) {
  m.tx /= kTwipsPerPixel;
  m.ty /= kTwipsPerPixel;
  return m;
}

Completion TransformNew(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self && Arg(args, 0).IsObject() && args[0].object->IsClip()) {
    AttachState<TransformState>(vm, self)->clip = static_cast<ClipObject*>(args[0].object);
  } else {
    vm.RefuseConstruct();  // a Transform belongs to a clip: without one, `new` gives undefined
  }
  return {};
}
Completion TransformMatrix(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const DisplayObject* p = PlacedOf(vm, self);
  if (!p) return ClipOf(vm, self) ? MakeMatrix(vm, Matrix{}) : Value{};
  return MakeMatrix(vm, ToPixels(p->matrix));
}
Completion TransformSetMatrix(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* p = PlacedOf(vm, self);
  Object* o = O(Arg(args, 0));
  if (!p || !o) return {};
  Matrix m = ReadMatrix(vm, o);
  for (double* f : {&m.a, &m.b, &m.c, &m.d, &m.tx, &m.ty}) {
    if (!std::isfinite(*f)) return {};
  }
  // A clip holds its matrix in single precision, its offset in whole twips.
  for (double* f : {&m.a, &m.b, &m.c, &m.d}) *f = static_cast<float>(*f);
  m.tx = std::round(m.tx * kTwipsPerPixel);
  m.ty = std::round(m.ty * kTwipsPerPixel);
  // The scale and rotation scripts read stay as they were: the player does
  // not take them from a matrix set this way.
  p->scaleRotation = ScaleRotationOf(*p);
  p->scaleRotationMatrix = m;
  p->matrix = m;
  p->scripted = true;
  return {};
}
Completion TransformConcatMatrix(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  auto t = ClipOf(vm, self);
  Matrix m;
  if (!t || !ConcatenatedMatrix(*t, m)) return {};
  return MakeMatrix(vm, ToPixels(m));
}
// A level's root keeps what scripts set on it in a placement of its own,
// made when first needed.
DisplayObject* RootPlacementOf(Vm& vm, Object* self, bool make) {
  auto t = ClipOf(vm, self);
  if (!t || !t->IsRoot()) return nullptr;
  if (!t->rootPlacement && make) t->rootPlacement = std::make_unique<DisplayObject>();
  return t->rootPlacement.get();
}
Completion TransformColor(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const DisplayObject* p = PlacedOf(vm, self);
  if (!p) p = RootPlacementOf(vm, self, false);
  if (!p) return ClipOf(vm, self) ? MakeColor(vm, ColorTransform{}) : Value{};
  return MakeColor(vm, p->colorTransform);
}
Completion TransformSetColor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* p = PlacedOf(vm, self);
  Object* o = O(Arg(args, 0));
  // Only a ColorTransform is taken; any other object leaves the clip's.
  if (!o || !Fields(o)) return {};
  if (!p) p = RootPlacementOf(vm, self, true);
  if (!p) return {};
  p->colorTransform = ReadColor(vm, o);
  p->scripted = true;
  return {};
}
Completion TransformConcatColor(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  auto t = ClipOf(vm, self);
  if (!t) return {};
  // The player combines them in its 8.8 fixed point, rounding down and
  // wrapping past 16 bits.
  const auto combine = [](const ColorTransform& o, const ColorTransform& in) {
    const auto wrap = [](int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); };
    const auto mul = [&](int16_t a, int16_t b) { return wrap((int32_t{a} * b) >> 8); };
    ColorTransform r;
    r.rMult = mul(o.rMult, in.rMult), r.gMult = mul(o.gMult, in.gMult);
    r.bMult = mul(o.bMult, in.bMult), r.aMult = mul(o.aMult, in.aMult);
    r.rAdd = wrap(mul(o.rMult, in.rAdd) + o.rAdd), r.gAdd = wrap(mul(o.gMult, in.gAdd) + o.gAdd);
    r.bAdd = wrap(mul(o.bMult, in.bAdd) + o.bAdd), r.aAdd = wrap(mul(o.aMult, in.aAdd) + o.aAdd);
    return r;
  };
  ColorTransform c;
  for (auto cur = t; cur; cur = cur->Parent()) {
    // A level's root has a colour transform of its own once scripts set one.
    const DisplayObject* p = cur->IsRoot() ? cur->rootPlacement.get() : PlacementOf(*cur);
    if (!p) break;
    c = combine(p->colorTransform, c);
    if (cur->IsRoot()) break;
  }
  return MakeColor(vm, c);
}
Completion TransformPixelBounds(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  auto t = ClipOf(vm, self);
  Matrix m;
  if (!t || !ConcatenatedMatrix(*t, m)) return {};
  const TwipsBox b = TransformBox(LocalBounds(*t), m);
  if (b.empty) return MakeRect(vm, 0, 0, 0, 0);
  return MakeRect(vm, b.xMin / 20, b.yMin / 20, (b.xMax - b.xMin) / 20, (b.yMax - b.yMin) / 20);
}

// The geom classes are script classes in Flash, so their members enumerate.
// In the order the player defines them (it lists them newest first).
constexpr Member kPointProto[] = {
    Accessor("length", PointLength, nullptr, 0),
    Method("clone", PointClone, 0),
    Method("offset", PointOffset, 0),
    Method("equals", PointEquals, 0),
    Method("subtract", PointSubtract, 0),
    Method("add", PointAdd, 0),
    Method("normalize", PointNormalize, 0),
    Method("toString", PointToString, 0),
};
constexpr Member kPointStatics[] = {
    Method("distance", PointDistance),
    Method("polar", PointPolar),
    Method("interpolate", PointInterpolate),
};

constexpr Member kRectangleProto[] = {
    Method("clone", RectClone, 0),
    Method("setEmpty", RectSetEmpty, 0),
    Method("isEmpty", RectIsEmpty, 0),
    Accessor("left", RectLeft, RectSetLeft, 0),
    Accessor("right", RectRight, RectSetRight, 0),
    Accessor("top", RectTop, RectSetTop, 0),
    Accessor("bottom", RectBottom, RectSetBottom, 0),
    Accessor("topLeft", RectTopLeft, RectSetTopLeft, 0),
    Accessor("bottomRight", RectBottomRight, RectSetBottomRight, 0),
    Accessor("size", RectSize, RectSetSize, 0),
    Method("inflate", RectInflate, 0),
    Method("inflatePoint", RectInflatePoint, 0),
    Method("offset", RectOffset, 0),
    Method("offsetPoint", RectOffsetPoint, 0),
    Method("contains", RectContains, 0),
    Method("containsPoint", RectContainsPoint, 0),
    Method("containsRectangle", RectContainsRect, 0),
    Method("intersection", RectIntersection, 0),
    Method("intersects", RectIntersects, 0),
    Method("union", RectUnion, 0),
    Method("equals", RectEquals, 0),
    Method("toString", RectToString, 0),
};

constexpr Member kMatrixProto[] = {
    Method("concat", MatrixConcat, 0),
    Method("invert", MatrixInvert, 0),
    Method("createBox", MatrixCreateBox, 0),
    Method("createGradientBox", MatrixGradientBox, 0),
    Method("clone", MatrixClone, 0),
    Method("identity", MatrixIdentity, 0),
    Method("rotate", MatrixRotate, 0),
    Method("translate", MatrixTranslate, 0),
    Method("scale", MatrixScale, 0),
    Method("deltaTransformPoint", MatrixDeltaTransformPoint, 0),
    Method("transformPoint", MatrixTransformPoint, 0),
    Method("toString", MatrixToString, 0),
};

// The colour's numbers are accessors of the prototype over the typed
// instance, as the player has them.
constexpr Member kColorTransformProto[] = {
    Accessor("alphaMultiplier", ColorField<3>, SetColorField<3>, 0),
    Accessor("redMultiplier", ColorField<0>, SetColorField<0>, 0),
    Accessor("greenMultiplier", ColorField<1>, SetColorField<1>, 0),
    Accessor("blueMultiplier", ColorField<2>, SetColorField<2>, 0),
    Accessor("alphaOffset", ColorField<7>, SetColorField<7>, 0),
    Accessor("redOffset", ColorField<4>, SetColorField<4>, 0),
    Accessor("greenOffset", ColorField<5>, SetColorField<5>, 0),
    Accessor("blueOffset", ColorField<6>, SetColorField<6>, 0),
    Accessor("rgb", ColorRgb, ColorSetRgb, 0),
    Method("concat", ColorConcat, 0),
    Method("toString", ColorToString, 0),
};

constexpr Member kTransformProto[] = {
    Accessor("matrix", TransformMatrix, TransformSetMatrix, 0),
    Accessor("concatenatedMatrix", TransformConcatMatrix, nullptr, 0),
    Accessor("colorTransform", TransformColor, TransformSetColor, 0),
    Accessor("concatenatedColorTransform", TransformConcatColor, nullptr, 0),
    Accessor("pixelBounds", TransformPixelBounds, nullptr, 0),
};

Object* MakeColorTransform(Vm& vm) { return vm.New<ColorTransformObject>(); }

}  // namespace

// The flash packages arrived with version 8: versions 6 and 7 see no
// `flash` unless they unhide it with ASSetPropFlags; version 5 has none
// (but empty stand-ins for typeof tests).
extern const ClassDecl kPointClass{.name = "Point",
                                   .ctor = PointNew,
                                   .proto = kPointProto,
                                   .statics = kPointStatics,
                                   .since = 6,
                                   .package = "flash.geom"};
extern const ClassDecl kRectangleClass{.name = "Rectangle",
                                       .ctor = RectNew,
                                       .proto = kRectangleProto,
                                       .since = 6,
                                       .package = "flash.geom"};
extern const ClassDecl kMatrixClass{.name = "Matrix",
                                    .ctor = MatrixNew,
                                    .proto = kMatrixProto,
                                    .since = 6,
                                    .package = "flash.geom"};
extern const ClassDecl kColorTransformClass{.name = "ColorTransform",
                                            .ctor = ColorNew,
                                            .proto = kColorTransformProto,
                                            .since = 6,
                                            .construct = MakeColorTransform,
                                            .package = "flash.geom"};
extern const ClassDecl kTransformClass{.name = "Transform",
                                       .ctor = TransformNew,
                                       .proto = kTransformProto,
                                       .since = 6,
                                       .package = "flash.geom"};

// MovieClip.transform: a new Transform of the clip on each read.
Completion ClipTransform(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Make(vm, "Transform", {Value::Obj(self)});
}

Completion ClipSetTransform(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Object* t = O(Arg(args, 0));
  if (!t || !self || !self->IsClip()) return {};
  const Value mine = Make(vm, "Transform", {Value::Obj(self)});
  const Value m = vm.Get(t, "matrix");
  const Value c = vm.Get(t, "colorTransform");
  if (m.IsObject()) TransformSetMatrix(vm, CallContext{mine}, std::vector<Value>{m});
  if (c.IsObject()) TransformSetColor(vm, CallContext{mine}, std::vector<Value>{c});
  return {};
}

}  // namespace orrivel::swf::avm1
