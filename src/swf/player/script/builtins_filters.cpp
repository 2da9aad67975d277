// flash.filters: the bitmap filters as script objects, and MovieClip.filters
// which copies them to and from the clip's filter list. A filter's members
// are accessors on its class's prototype, not values of its own: each write
// is brought into the range the player keeps (alphas as bytes, blur 0..255,
// quality 0..15, convolution sides up to 15), so a script cannot ask the
// renderer for more than a file can.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/format/filters.h"
#include "swf/player/display_list.h"
#include "swf/player/edit_text.h"
#include "swf/player/script/bitmap_object.h"
#include "swf/player/script/text_field_object.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

// How a property's writes are normalised.
enum class Field : uint8_t {
  Number,    // any number
  Angle,     // degrees, wrapped into (-360, 360)
  Color,     // 24-bit RGB
  Alpha,     // 0..1 in steps of 1/255
  Quality,   // 0..15, whole
  Strength,  // 0..255
  Blur,      // 0..255
  Bool,
  BevelType,  // inner, outer, full
  Matrix20,   // color matrix
  ConvMatrix,
  Side,       // convolution matrixX / matrixY, 0..15
  Component,  // whole number
  Scale,      // -65535..65535
  Mode,       // displacement mode
  Point,
  Bitmap,
  Colors,
  Alphas,
  Ratios,
};

struct FieldLayout {
  const char* name;
  Field kind;
  double init;  // numbers, booleans (0/1), bevel types (index)
};

struct FilterLayout {
  const char* name;
  Filter::Kind kind;
  std::vector<FieldLayout> fields;  // as the player lists them
  std::vector<const char*> ctorOrder;
};

const std::vector<FilterLayout>& Classes() {
  using F = Field;
  static const std::vector<FilterLayout> classes = {
      {"BevelFilter",
       Filter::Kind::Bevel,
       {{"distance", F::Number, 4},
        {"angle", F::Angle, 45},
        {"highlightColor", F::Color, 0xFFFFFF},
        {"highlightAlpha", F::Alpha, 1},
        {"shadowColor", F::Color, 0},
        {"shadowAlpha", F::Alpha, 1},
        {"quality", F::Quality, 1},
        {"strength", F::Strength, 1},
        {"knockout", F::Bool, 0},
        {"blurX", F::Blur, 4},
        {"blurY", F::Blur, 4},
        {"type", F::BevelType, 0}},
       {"distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha",
        "blurX", "blurY", "strength", "quality", "type", "knockout"}},
      {"BlurFilter",
       Filter::Kind::Blur,
       {{"blurX", F::Blur, 4}, {"blurY", F::Blur, 4}, {"quality", F::Quality, 1}},
       {"blurX", "blurY", "quality"}},
      {"ColorMatrixFilter", Filter::Kind::ColorMatrix, {{"matrix", F::Matrix20, 0}}, {"matrix"}},
      {"ConvolutionFilter",
       Filter::Kind::Convolution,
       {{"matrixX", F::Side, 0},
        {"matrixY", F::Side, 0},
        {"matrix", F::ConvMatrix, 0},
        {"divisor", F::Number, 1},
        {"bias", F::Number, 0},
        {"preserveAlpha", F::Bool, 1},
        {"clamp", F::Bool, 1},
        {"color", F::Color, 0},
        {"alpha", F::Alpha, 0}},
       {"matrixX", "matrixY", "matrix", "divisor", "bias", "preserveAlpha", "clamp", "color",
        "alpha"}},
      {"DisplacementMapFilter",
       Filter::Kind::DisplacementMap,
       {{"mapBitmap", F::Bitmap, 0},
        {"mapPoint", F::Point, 0},
        {"componentX", F::Component, 0},
        {"componentY", F::Component, 0},
        {"scaleX", F::Scale, 0},
        {"scaleY", F::Scale, 0},
        {"mode", F::Mode, 0},
        {"color", F::Color, 0},
        {"alpha", F::Alpha, 0}},
       {"mapBitmap", "mapPoint", "componentX", "componentY", "scaleX", "scaleY", "mode", "color",
        "alpha"}},
      {"DropShadowFilter",
       Filter::Kind::DropShadow,
       {{"distance", F::Number, 4},
        {"angle", F::Angle, 45},
        {"color", F::Color, 0},
        {"alpha", F::Alpha, 1},
        {"quality", F::Quality, 1},
        {"inner", F::Bool, 0},
        {"knockout", F::Bool, 0},
        {"blurX", F::Blur, 4},
        {"blurY", F::Blur, 4},
        {"strength", F::Strength, 1},
        {"hideObject", F::Bool, 0}},
       {"distance", "angle", "color", "alpha", "blurX", "blurY", "strength", "quality", "inner",
        "knockout", "hideObject"}},
      {"GlowFilter",
       Filter::Kind::Glow,
       {{"color", F::Color, 0xFF0000},
        {"alpha", F::Alpha, 1},
        {"quality", F::Quality, 1},
        {"inner", F::Bool, 0},
        {"knockout", F::Bool, 0},
        {"blurX", F::Blur, 6},
        {"blurY", F::Blur, 6},
        {"strength", F::Strength, 2}},
       {"color", "alpha", "blurX", "blurY", "strength", "quality", "inner", "knockout"}},
  };
  static const std::vector<FilterLayout> all = [] {
    std::vector<FilterLayout> v = classes;
    for (const char* name : {"GradientBevelFilter", "GradientGlowFilter"}) {
      const bool bevel = name[8] == 'B';
      v.push_back({name,
                   bevel ? Filter::Kind::GradientBevel : Filter::Kind::GradientGlow,
                   {{"distance", F::Number, 4},
                    {"angle", F::Angle, 45},
                    {"colors", F::Colors, 0},
                    {"alphas", F::Alphas, 0},
                    {"ratios", F::Ratios, 0},
                    {"blurX", F::Blur, 4},
                    {"blurY", F::Blur, 4},
                    {"quality", F::Quality, 1},
                    {"strength", F::Strength, 1},
                    {"knockout", F::Bool, 0},
                    {"type", F::BevelType, 0}},
                   {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "strength",
                    "quality", "type", "knockout"}});
    }
    return v;
  }();
  return all;
}

constexpr const char* kBevelTypes[] = {"inner", "outer", "full"};
constexpr std::size_t kMaxGradientStops = 16;

class FilterObject : public Object {
 public:
  const FilterLayout* layout = nullptr;
  std::vector<Value> values;  // one per field; arrays held as plain numbers lists below
  std::vector<std::vector<double>> lists;  // per field: matrices, colors, alphas, ratios
  // A gradient filter's stops: how many of the colours, alphas and ratios
  // show. The values past it are kept, and show again when it grows.
  std::size_t stops = 0;

  const FieldLayout* Find(Vm& vm, std::string_view name, std::size_t* index) const {
    if (!layout) return nullptr;
    for (std::size_t i = 0; i < layout->fields.size(); ++i) {
      if (vm.NamesEqual(layout->fields[i].name, name)) {
        *index = i;
        return &layout->fields[i];
      }
    }
    return nullptr;
  }
  // The members' values, as their accessors on the class's prototype read
  // and write them; false for a name the filter does not have.
  bool Read(Vm& vm, std::string_view name, Value& out);
  bool Write(Vm& vm, std::string_view name, const Value& v);
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    for (const Value& v : values) {
      if (v.object) out.push_back(v.object);
    }
  }
};

double Finite(double v) { return std::isfinite(v) ? v : 0; }
double ToColor(Vm& vm, const Value& v) {
  return static_cast<double>(static_cast<uint32_t>(ToInt32(vm.ToNumber(v))) & 0xFFFFFF);
}
double ToAlpha(Vm& vm, const Value& v) {
  const double a = std::clamp(Finite(vm.ToNumber(v)), 0.0, 1.0);
  return std::trunc(a * 255) / 255;
}

// What a list member takes from a value: an array's elements, at most `cap`
// of them; a string counts as as many undefined elements as it has
// characters; anything else as no elements.
std::vector<Value> ElementsOf(Vm& vm, const Value& v, std::size_t cap) {
  std::vector<Value> out;
  if (v.type == Type::String) out.resize(std::min(v.string.size(), cap));
  if (!v.IsObject()) return out;
  const double n = vm.ToNumber(vm.Get(v.object, "length"));
  for (int i = 0; i < n && static_cast<std::size_t>(i) < cap; ++i)
    out.push_back(vm.Get(v.object, std::to_string(i)));
  return out;
}

std::vector<double> NumbersOf(Vm& vm, const Value& v, std::size_t cap) {
  std::vector<double> out;
  for (const Value& e : ElementsOf(vm, v, cap)) out.push_back(vm.ToNumber(e));
  return out;
}

Value ListValue(Vm& vm, const std::vector<double>& list) {
  std::vector<Value> elems;
  for (double d : list) elems.push_back(Value::Num(d));
  return Value::Obj(vm.NewArray(std::move(elems)));
}

float AsFloat(double d) { return static_cast<float>(d); }

void ResizeConvolution(FilterObject* f, std::size_t matrixIndex) {
  const std::size_t side =
      static_cast<std::size_t>(f->values[0].number) * static_cast<std::size_t>(f->values[1].number);
  auto& m = f->lists[matrixIndex];
  if (m.size() < side) m.resize(side, 0);
}

bool FilterObject::Read(Vm& vm, std::string_view name, Value& out) {
  std::size_t i;
  const FieldLayout* field = Find(vm, name, &i);
  if (!field) return false;
  switch (field->kind) {
    case Field::Matrix20:
    case Field::ConvMatrix:
      out = ListValue(vm, lists[i]);
      return true;
    case Field::Colors:
    case Field::Alphas:
    case Field::Ratios: {
      std::vector<double> shown(stops, 0);
      std::copy_n(lists[i].begin(), std::min(stops, lists[i].size()), shown.begin());
      out = ListValue(vm, shown);
      return true;
    }
    case Field::Point: {
      // A fresh point each time, as the player gives.
      Object* p = vm.NewObject();
      p->Define(vm, "x", Value::Num(lists[i].size() > 0 ? lists[i][0] : 0));
      p->Define(vm, "y", Value::Num(lists[i].size() > 1 ? lists[i][1] : 0));
      Value pointClass = vm.Get(vm.global, "flash");
      if (pointClass.IsObject()) pointClass = vm.Get(pointClass.object, "geom");
      if (pointClass.IsObject()) pointClass = vm.Get(pointClass.object, "Point");
      if (pointClass.IsObject()) {
        const Value proto = vm.Get(pointClass.object, "prototype");
        if (proto.IsObject()) p->proto = proto.object;
      }
      out = Value::Obj(p);
      return true;
    }
    default:
      out = values[i];
      return true;
  }
}

bool FilterObject::Write(Vm& vm, std::string_view name, const Value& v) {
  std::size_t i;
  const FieldLayout* field = Find(vm, name, &i);
  if (!field) return false;
  switch (field->kind) {
    case Field::Number:
      values[i] = Value::Num(vm.ToNumber(v));
      break;
    case Field::Angle:
      values[i] = Value::Num(std::fmod(Finite(vm.ToNumber(v)), 360.0));
      break;
    case Field::Color:
      values[i] = Value::Num(ToColor(vm, v));
      break;
    case Field::Alpha:
      values[i] = Value::Num(ToAlpha(vm, v));
      break;
    case Field::Quality:
      values[i] = Value::Num(std::clamp(std::trunc(Finite(vm.ToNumber(v))), 0.0, 15.0));
      break;
    case Field::Strength:
    case Field::Blur:
      values[i] = Value::Num(std::clamp(Finite(vm.ToNumber(v)), 0.0, 255.0));
      break;
    case Field::Bool:
      values[i] = Value::Bool(vm.ToBoolean(v));
      break;
    case Field::BevelType: {
      const std::string s = vm.ToString(v);
      values[i] = Value::Str("full");
      for (const char* t : kBevelTypes) {
        if (s == t) values[i] = Value::Str(t);
      }
      break;
    }
    case Field::Mode: {
      const std::string s = vm.ToString(v);
      values[i] = Value::Str("wrap");
      for (const char* m : {"clamp", "ignore", "color", "wrap"}) {
        if (s == m) values[i] = Value::Str(m);
      }
      break;
    }
    case Field::Component:
      values[i] = Value::Num(ToInt32(vm.ToNumber(v)));
      break;
    case Field::Scale:
      values[i] = Value::Num(std::clamp(Finite(vm.ToNumber(v)), -65535.0, 65535.0));
      break;
    case Field::Side:
      values[i] = Value::Num(std::clamp(std::trunc(Finite(vm.ToNumber(v))), 0.0, 15.0));
      for (std::size_t k = 0; k < layout->fields.size(); ++k) {
        if (layout->fields[k].kind == Field::ConvMatrix) ResizeConvolution(this, k);
      }
      break;
    case Field::Matrix20: {
      if (v.IsNullish()) break;
      std::vector<double> m = NumbersOf(vm, v, 20);
      m.resize(20, NAN);
      for (double& d : m) d = AsFloat(d);
      lists[i] = std::move(m);
      break;
    }
    case Field::ConvMatrix: {
      std::vector<double> m = NumbersOf(vm, v, 15 * 15);
      for (double& d : m) d = AsFloat(d);
      lists[i] = std::move(m);
      ResizeConvolution(this, i);
      break;
    }
    case Field::Colors:
    case Field::Alphas:
    case Field::Ratios: {
      // colors sets how many stops show, ratios can only lower it, and
      // alphas fills in as many as show (a missing one is opaque).
      if (v.IsNullish()) break;
      const std::vector<double> given = NumbersOf(vm, v, kMaxGradientStops);
      auto& list = lists[i];
      list.resize(kMaxGradientStops, 0);
      if (field->kind == Field::Colors) stops = given.size();
      if (field->kind == Field::Ratios) stops = std::min(stops, given.size());
      for (std::size_t k = 0; k < stops; ++k) {
        const double d = k < given.size() ? given[k] : NAN;
        if (field->kind == Field::Colors) list[k] = ToColor(vm, Value::Num(d));
        if (field->kind == Field::Ratios) list[k] = std::clamp(std::trunc(Finite(d)), 0.0, 255.0);
        if (field->kind == Field::Alphas)
          list[k] = std::isnan(d) ? 1 : std::round(std::clamp(d, 0.0, 1.0) * 255) / 255;
      }
      break;
    }
    case Field::Point: {
      // A point needs both coordinates: one missing or not finite makes
      // it the origin.
      double x = 0, y = 0;
      if (v.IsObject()) {
        x = vm.ToNumber(vm.Get(v.object, "x"));
        y = vm.ToNumber(vm.Get(v.object, "y"));
      }
      if (!std::isfinite(x) || !std::isfinite(y)) x = y = 0;
      lists[i] = {std::trunc(x), std::trunc(y)};
      break;
    }
    case Field::Bitmap:
      if (v.IsObject()) values[i] = v;
      break;
  }
  return true;
}

FilterObject* AsFilter(Object* o) { return dynamic_cast<FilterObject*>(o); }

// Gives a new filter object its fields at their defaults.
void InitFields(Vm& vm, FilterObject* f, const FilterLayout& layout) {
  f->layout = &layout;
  f->values.assign(layout.fields.size(), Value{});
  f->lists.assign(layout.fields.size(), {});
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const FieldLayout& field = layout.fields[i];
    switch (field.kind) {
      case Field::Bool:
        f->values[i] = Value::Bool(field.init != 0);
        break;
      case Field::BevelType:
        f->values[i] = Value::Str(kBevelTypes[static_cast<int>(field.init)]);
        break;
      case Field::Mode:
        f->values[i] = Value::Str("wrap");
        break;
      case Field::Matrix20:
        f->lists[i] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
        break;
      case Field::Point:
        f->lists[i] = {0, 0};
        break;
      case Field::Bitmap:
        break;
      default:
        f->values[i] = Value::Num(field.init);
    }
  }
  (void)vm;
}

// Marks the prototype of each filter class with the class's layout.
class FilterClassState : public Object {
 public:
  const FilterLayout* layout = nullptr;
};

// The layout of the filter class whose constructor chain made self.
const FilterLayout* LayoutOfCtor(Vm&, Object* self) {
  int guard = 0;
  for (Object* p = self ? self->proto : nullptr; p && guard < 256; p = p->proto, ++guard) {
    if (const auto* s = StateOf<FilterClassState>(p)) return s->layout;
  }
  return nullptr;
}

Completion FilterCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FilterObject* f = AsFilter(self);
  if (!f) return {};
  const FilterLayout* layout = LayoutOfCtor(vm, self);
  if (!layout) return {};
  // A filter is made once: running the constructor again only converts
  // its arguments.
  if (f->layout) {
    for (std::size_t i = 0; i < args.size() && i < layout->ctorOrder.size(); ++i) {
      if (args[i].IsObject()) vm.ToNumber(args[i]);
    }
    return {};
  }
  InitFields(vm, f, *layout);
  for (std::size_t i = 0; i < args.size() && i < layout->ctorOrder.size(); ++i) {
    if (!args[i].IsUndefined()) f->Write(vm, layout->ctorOrder[i], args[i]);
  }
  // A convolution's colour given without its alpha is opaque (alpha is 0
  // when neither is given).
  constexpr std::size_t kConvColor = 7;
  if (layout->kind == Filter::Kind::Convolution && args.size() == kConvColor + 1)
    f->Write(vm, "alpha", Value::Num(1));
  return {};
}

Object* MakeFilter(Vm& vm) { return vm.New<FilterObject>(); }

Completion Clone(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  FilterObject* f = AsFilter(self);
  if (!f || !f->layout) return {};
  auto* copy = vm.New<FilterObject>();
  copy->proto = f->proto;
  copy->layout = f->layout;
  copy->values = f->values;
  copy->lists = f->lists;
  return Value::Obj(copy);
}

// ---- To and from the player's filters ---------------------------------------------

double Num(const FilterObject* f, const char* name) {
  for (std::size_t i = 0; i < f->layout->fields.size(); ++i) {
    if (std::string_view(f->layout->fields[i].name) == name) {
      const Value& v = f->values[i];
      return v.type == Type::Boolean ? (v.boolean ? 1 : 0) : v.number;
    }
  }
  return 0;
}

const std::vector<double>* List(const FilterObject* f, const char* name) {
  for (std::size_t i = 0; i < f->layout->fields.size(); ++i) {
    if (std::string_view(f->layout->fields[i].name) == name) return &f->lists[i];
  }
  return nullptr;
}

std::string Str(const FilterObject* f, const char* name) {
  for (std::size_t i = 0; i < f->layout->fields.size(); ++i) {
    if (std::string_view(f->layout->fields[i].name) == name) return f->values[i].string;
  }
  return {};
}

Rgba ColorOf(double rgb, double alpha) {
  const auto c = static_cast<uint32_t>(rgb);
  return Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
              static_cast<uint8_t>(std::lround(alpha * 255))};
}

std::optional<Filter> ToFilter(const FilterObject* f) {
  if (!f->layout) return std::nullopt;
  Filter out;
  out.kind = f->layout->kind;
  // A clip's filters keep the angle in radians, made with the player's own
  // value of pi; reading it back divides by the true one.
  constexpr double kPlayerPi = 3.141592652;
  const double rad = Num(f, "angle") * kPlayerPi / 180;
  out.blurX = static_cast<float>(Num(f, "blurX"));
  out.blurY = static_cast<float>(Num(f, "blurY"));
  out.passes = static_cast<int>(Num(f, "quality"));
  out.angle = rad;
  out.distance = static_cast<float>(std::clamp(Num(f, "distance"), -1000.0, 1000.0));
  out.strength = static_cast<float>(Num(f, "strength"));
  out.inner = Num(f, "inner") != 0;
  out.knockout = Num(f, "knockout") != 0;
  out.hideObject = Num(f, "hideObject") != 0;
  const std::string type = Str(f, "type");
  if (!type.empty()) {
    out.inner = type == "inner";
    out.onTop = type == "full";
  }
  switch (out.kind) {
    case Filter::Kind::DropShadow:
    case Filter::Kind::Glow:
      out.color = ColorOf(Num(f, "color"), Num(f, "alpha"));
      break;
    case Filter::Kind::Bevel:
      out.color = ColorOf(Num(f, "shadowColor"), Num(f, "shadowAlpha"));
      out.highlight = ColorOf(Num(f, "highlightColor"), Num(f, "highlightAlpha"));
      break;
    case Filter::Kind::GradientGlow:
    case Filter::Kind::GradientBevel: {
      const auto* colors = List(f, "colors");
      const auto* alphas = List(f, "alphas");
      const auto* ratios = List(f, "ratios");
      const auto at = [](const std::vector<double>* list, std::size_t i) {
        return i < list->size() ? (*list)[i] : 0.0;
      };
      for (std::size_t i = 0; i < f->stops; ++i)
        out.gradient.push_back(
            {ColorOf(at(colors, i), at(alphas, i)), static_cast<uint8_t>(at(ratios, i))});
      break;
    }
    case Filter::Kind::Convolution: {
      out.columns = static_cast<int>(Num(f, "matrixX"));
      out.rows = static_cast<int>(Num(f, "matrixY"));
      out.divisor = static_cast<float>(Num(f, "divisor"));
      out.bias = static_cast<float>(Num(f, "bias"));
      out.clamp = Num(f, "clamp") != 0;
      out.preserveAlpha = Num(f, "preserveAlpha") != 0;
      out.color = ColorOf(Num(f, "color"), Num(f, "alpha"));
      const auto* m = List(f, "matrix");
      for (int i = 0; i < out.columns * out.rows; ++i) {
        const double d = static_cast<std::size_t>(i) < m->size() ? (*m)[i] : 0;
        out.matrix.push_back(std::isfinite(d) ? static_cast<float>(d) : 0.f);
      }
      break;
    }
    case Filter::Kind::DisplacementMap: {
      // The map's pixels as they are now; without a live map nothing moves.
      std::size_t i;
      BitmapObject* map = nullptr;
      for (i = 0; i < f->layout->fields.size(); ++i) {
        if (f->layout->fields[i].kind == Field::Bitmap && f->values[i].IsObject())
          map = LiveBitmap(f->values[i].object);
      }
      if (!map) return std::nullopt;
      auto pixels = std::make_shared<std::vector<uint32_t>>(map->bits->argb);
      if (!map->bits->transparent) {
        for (uint32_t& p : *pixels) p |= 0xFF000000u;
      }
      out.map = std::move(pixels);
      out.mapWidth = map->bits->width;
      out.mapHeight = map->bits->height;
      if (const auto* at = List(f, "mapPoint"); at && at->size() == 2) {
        out.mapX = static_cast<float>((*at)[0]);
        out.mapY = static_cast<float>((*at)[1]);
      }
      out.componentX = static_cast<uint8_t>(static_cast<int>(Num(f, "componentX")) & 0xFF);
      out.componentY = static_cast<uint8_t>(static_cast<int>(Num(f, "componentY")) & 0xFF);
      out.scaleX = static_cast<float>(Num(f, "scaleX"));
      out.scaleY = static_cast<float>(Num(f, "scaleY"));
      const std::string mode = Str(f, "mode");
      out.displace = mode == "clamp"    ? Filter::Displace::Clamp
                     : mode == "ignore" ? Filter::Displace::Ignore
                     : mode == "color"  ? Filter::Displace::Color
                                        : Filter::Displace::Wrap;
      out.color = ColorOf(Num(f, "color"), Num(f, "alpha"));
      break;
    }
    case Filter::Kind::ColorMatrix: {
      const auto* m = List(f, "matrix");
      for (std::size_t i = 0; i < 20; ++i) {
        const double d = i < m->size() ? (*m)[i] : 0;
        out.colorMatrix[i] = std::isfinite(d) ? static_cast<float>(d) : 0.f;
      }
      break;
    }
    default:
      break;
  }
  return out;
}

const FilterLayout* LayoutOfKind(Filter::Kind kind) {
  for (const FilterLayout& c : Classes()) {
    if (c.kind == kind) return &c;
  }
  return nullptr;
}

double Round6(double d) { return d; }

Value FromFilter(Vm& vm, const Filter& in) {
  const FilterLayout* layout = LayoutOfKind(in.kind);
  Value filters = vm.Get(vm.global, "flash");
  if (filters.IsObject()) filters = vm.Get(filters.object, "filters");
  Value ctor = layout && filters.IsObject() ? vm.Get(filters.object, layout->name) : Value{};
  if (!layout || !ctor.IsObject()) return {};
  auto* f = vm.New<FilterObject>();
  const Value proto = vm.Get(ctor.object, "prototype");
  if (proto.IsObject()) f->proto = proto.object;
  InitFields(vm, f, *layout);
  // Only the fields this kind of filter has: the others stay unset.
  auto set = [&](const char* name, const Value& v) { f->Write(vm, name, v); };
  set("blurX", Value::Num(in.blurX));
  set("blurY", Value::Num(in.blurY));
  set("quality", Value::Num(in.passes));
  set("angle", Value::Num(Round6(in.angle * 180 / std::numbers::pi)));
  set("distance", Value::Num(in.distance));
  set("strength", Value::Num(in.strength));
  set("inner", Value::Bool(in.inner));
  set("knockout", Value::Bool(in.knockout));
  set("hideObject", Value::Bool(in.hideObject));
  set("type", Value::Str(in.onTop ? "full" : in.inner ? "inner" : "outer"));
  auto rgb = [](const Rgba& c) { return Value::Num((c.r << 16) | (c.g << 8) | c.b); };
  auto alpha = [](const Rgba& c) { return Value::Num(c.a / 255.0); };
  switch (in.kind) {
    case Filter::Kind::Bevel:
      set("shadowColor", rgb(in.color));
      set("shadowAlpha", alpha(in.color));
      set("highlightColor", rgb(in.highlight));
      set("highlightAlpha", alpha(in.highlight));
      break;
    case Filter::Kind::GradientGlow:
    case Filter::Kind::GradientBevel: {
      std::vector<Value> colors, alphas, ratios;
      for (const GradientFilterStop& s : in.gradient) {
        colors.push_back(rgb(s.color));
        alphas.push_back(alpha(s.color));
        ratios.push_back(Value::Num(s.ratio));
      }
      set("colors", Value::Obj(vm.NewArray(colors)));
      set("alphas", Value::Obj(vm.NewArray(alphas)));
      set("ratios", Value::Obj(vm.NewArray(ratios)));
      break;
    }
    case Filter::Kind::Convolution: {
      set("matrixX", Value::Num(in.columns));
      set("matrixY", Value::Num(in.rows));
      std::vector<Value> m;
      for (float x : in.matrix) m.push_back(Value::Num(x));
      set("matrix", Value::Obj(vm.NewArray(m)));
      set("divisor", Value::Num(in.divisor));
      set("bias", Value::Num(in.bias));
      set("clamp", Value::Bool(in.clamp));
      set("preserveAlpha", Value::Bool(in.preserveAlpha));
      set("color", rgb(in.color));
      set("alpha", alpha(in.color));
      break;
    }
    case Filter::Kind::DisplacementMap: {
      // The map comes back as a copy of the pixels the filter holds.
      Value bitmapClass = vm.Get(vm.global, "flash");
      if (bitmapClass.IsObject()) bitmapClass = vm.Get(bitmapClass.object, "display");
      if (bitmapClass.IsObject()) bitmapClass = vm.Get(bitmapClass.object, "BitmapData");
      const Value bitmapProto =
          bitmapClass.IsObject() ? vm.Get(bitmapClass.object, "prototype") : Value{};
      if (in.map && bitmapProto.IsObject()) {
        Object like;
        like.proto = bitmapProto.object;
        ScriptBitmap pixels;
        pixels.width = in.mapWidth;
        pixels.height = in.mapHeight;
        pixels.argb = *in.map;
        set("mapBitmap", NewBitmapLike(vm, &like, std::move(pixels)));
      }
      Object* point = vm.NewObject();
      point->Define(vm, "x", Value::Num(in.mapX));
      point->Define(vm, "y", Value::Num(in.mapY));
      set("mapPoint", Value::Obj(point));
      set("componentX", Value::Num(in.componentX));
      set("componentY", Value::Num(in.componentY));
      set("scaleX", Value::Num(in.scaleX));
      set("scaleY", Value::Num(in.scaleY));
      static constexpr const char* kModes[] = {"wrap", "clamp", "ignore", "color"};
      set("mode", Value::Str(kModes[static_cast<int>(in.displace)]));
      set("color", rgb(in.color));
      set("alpha", alpha(in.color));
      break;
    }
    case Filter::Kind::ColorMatrix: {
      std::vector<Value> m;
      for (float x : in.colorMatrix) m.push_back(Value::Num(x));
      set("matrix", Value::Obj(vm.NewArray(m)));
      break;
    }
    default:
      set("color", rgb(in.color));
      set("alpha", alpha(in.color));
  }
  return Value::Obj(f);
}

// ---- MovieClip.filters ---------------------------------------------------------------

// Clips and text fields carry filters.
DisplayObject* PlacementOf(Object* self) {
  if (self && self->IsTextField()) {
    const auto& field = static_cast<TextFieldObject*>(self)->Field();
    return field ? field->Placement() : nullptr;
  }
  return self && self->IsClip() ? static_cast<ClipObject*>(self)->Placement() : nullptr;
}

}  // namespace

namespace {

constexpr Member kBitmapFilterProto[] = {Method("clone", Clone, 0)};

// Every member name of the filter classes; each has its own getter and
// setter, which act on the filter they are called on.
constexpr const char* kMemberNames[] = {
    "distance",   "angle",    "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha",
    "quality",    "strength", "knockout",       "blurX",          "blurY",       "type",
    "matrix",     "matrixX",  "matrixY",        "divisor",        "bias",        "preserveAlpha",
    "clamp",      "color",    "alpha",          "mapBitmap",      "mapPoint",    "componentX",
    "componentY", "scaleX",   "scaleY",         "mode",           "inner",       "hideObject",
    "colors",     "alphas",   "ratios"};
constexpr std::size_t kMemberCount = std::size(kMemberNames);

template <std::size_t kName>
Completion GetFilterMember(Vm& vm, const CallContext& call, Args) {
  FilterObject* f = AsFilter(call.This());
  Value out;
  if (f && f->layout) f->Read(vm, kMemberNames[kName], out);
  return out;
}

template <std::size_t kName>
Completion SetFilterMember(Vm& vm, const CallContext& call, Args args) {
  FilterObject* f = AsFilter(call.This());
  if (f && f->layout) f->Write(vm, kMemberNames[kName], args.empty() ? Value{} : args[0]);
  return {};
}

template <std::size_t... kNames>
constexpr auto MakeAccessors(std::index_sequence<kNames...>) {
  return std::array<std::pair<NativeFn, NativeFn>, kMemberCount>{
      std::pair<NativeFn, NativeFn>{GetFilterMember<kNames>, SetFilterMember<kNames>}...};
}
constexpr auto kAccessors = MakeAccessors(std::make_index_sequence<kMemberCount>{});

// A filter class's prototype: its members, enumerable, in the order the
// player made them, then clone.
std::vector<Member> ProtoMembers(std::size_t classIndex) {
  std::vector<Member> out;
  for (const FieldLayout& field : Classes()[classIndex].fields) {
    for (std::size_t k = 0; k < kMemberCount; ++k) {
      if (std::string_view(kMemberNames[k]) == field.name)
        out.push_back(Accessor(field.name, kAccessors[k].first, kAccessors[k].second, kDontDelete));
    }
  }
  out.push_back(Method("clone", Clone, 0));
  return out;
}
const std::vector<Member> kBevelProto = ProtoMembers(0);
const std::vector<Member> kBlurProto = ProtoMembers(1);
const std::vector<Member> kColorMatrixProto = ProtoMembers(2);
const std::vector<Member> kConvolutionProto = ProtoMembers(3);
const std::vector<Member> kDisplacementMapProto = ProtoMembers(4);
const std::vector<Member> kDropShadowProto = ProtoMembers(5);
const std::vector<Member> kGlowProto = ProtoMembers(6);
const std::vector<Member> kGradientBevelProto = ProtoMembers(7);
const std::vector<Member> kGradientGlowProto = ProtoMembers(8);

// Each filter class inherits from BitmapFilter and knows its layout (by its
// place in Classes()).
template <std::size_t kIndex>
void FinishFilter(Vm& vm, Object* cls) {
  Object* proto = PrototypeOf(vm, cls);
  Object* at = vm.global;
  for (const char* name : {"flash", "filters", "BitmapFilter"}) {
    const Property* p = at ? at->FindProperty(vm, name) : nullptr;
    at = p && p->value.IsObject() ? p->value.object : nullptr;
  }
  if (at) proto->proto = PrototypeOf(vm, at);
  AttachState<FilterClassState>(vm, proto)->layout = &Classes()[kIndex];
}

}  // namespace

// Older movies reach them only by unhiding the flash package.
extern const ClassDecl kBitmapFilterClass{.name = "BitmapFilter",
                                          .ctor = PlainCtor,
                                          .proto = kBitmapFilterProto,
                                          .package = "flash.filters"};
extern const ClassDecl kBevelFilterClass{.name = "BevelFilter",
                                         .ctor = FilterCtor,
                                         .proto = kBevelProto,
                                         .construct = MakeFilter,
                                         .package = "flash.filters",
                                         .finish = FinishFilter<0>};
extern const ClassDecl kBlurFilterClass{.name = "BlurFilter",
                                        .ctor = FilterCtor,
                                        .proto = kBlurProto,
                                        .construct = MakeFilter,
                                        .package = "flash.filters",
                                        .finish = FinishFilter<1>};
extern const ClassDecl kColorMatrixFilterClass{.name = "ColorMatrixFilter",
                                               .ctor = FilterCtor,
                                               .proto = kColorMatrixProto,
                                               .construct = MakeFilter,
                                               .package = "flash.filters",
                                               .finish = FinishFilter<2>};
extern const ClassDecl kConvolutionFilterClass{.name = "ConvolutionFilter",
                                               .ctor = FilterCtor,
                                               .proto = kConvolutionProto,
                                               .construct = MakeFilter,
                                               .package = "flash.filters",
                                               .finish = FinishFilter<3>};
extern const ClassDecl kDisplacementMapFilterClass{.name = "DisplacementMapFilter",
                                                   .ctor = FilterCtor,
                                                   .proto = kDisplacementMapProto,
                                                   .construct = MakeFilter,
                                                   .package = "flash.filters",
                                                   .finish = FinishFilter<4>};
extern const ClassDecl kDropShadowFilterClass{.name = "DropShadowFilter",
                                              .ctor = FilterCtor,
                                              .proto = kDropShadowProto,
                                              .construct = MakeFilter,
                                              .package = "flash.filters",
                                              .finish = FinishFilter<5>};
extern const ClassDecl kGlowFilterClass{.name = "GlowFilter",
                                        .ctor = FilterCtor,
                                        .proto = kGlowProto,
                                        .construct = MakeFilter,
                                        .package = "flash.filters",
                                        .finish = FinishFilter<6>};
extern const ClassDecl kGradientBevelFilterClass{.name = "GradientBevelFilter",
                                                 .ctor = FilterCtor,
                                                 .proto = kGradientBevelProto,
                                                 .construct = MakeFilter,
                                                 .package = "flash.filters",
                                                 .finish = FinishFilter<7>};
extern const ClassDecl kGradientGlowFilterClass{.name = "GradientGlowFilter",
                                                .ctor = FilterCtor,
                                                .proto = kGradientGlowProto,
                                                .construct = MakeFilter,
                                                .package = "flash.filters",
                                                .finish = FinishFilter<8>};

std::optional<Filter> FilterOf(Object* o) {
  FilterObject* f = AsFilter(o);
  return f ? ToFilter(f) : std::nullopt;
}

Completion GetFilters(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  DisplayObject* placed = PlacementOf(self);
  ArrayObject* out = vm.NewArray();
  if (!placed) return Value::Obj(out);
  for (const Filter& f : placed->filters) {
    const Value v = FromFilter(vm, f);
    if (v.IsObject()) out->elements.push_back(v);
  }
  return Value::Obj(out);
}

Completion SetFilters(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* placed = PlacementOf(self);
  if (!placed || args.empty()) return {};
  FilterList list;
  if (args[0].IsObject()) {
    const double n = vm.ToNumber(vm.Get(args[0].object, "length"));
    for (int i = 0; i < n && i < 64; ++i) {
      const Value v = vm.Get(args[0].object, std::to_string(i));
      FilterObject* f = v.IsObject() ? AsFilter(v.object) : nullptr;
      if (!f) continue;
      if (auto filter = ToFilter(f)) list.push_back(std::move(*filter));
    }
  }
  placed->filters = std::move(list);
  return {};
}

}  // namespace orrivel::swf::avm1
