// TextFormat: the constructor with its thirteen arguments, the eighteen
// style properties (each null until set, each coerced as the player does)
// and getTextExtent.
#include <array>
#include <climits>
#include <cmath>
#include <utility>

#include "swf/player/script/text_format_object.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"
#include "swf/render/text_render.h"
#include "swf/player/timeline_instance.h"
#include "swf/player/script/script_display.h"

namespace orrivel::swf::avm1 {

namespace {

enum Field {
  kFont,
  kSize,
  kColor,
  kUrl,
  kTarget,
  kBold,
  kItalic,
  kUnderline,
  kAlign,
  kLeftMargin,
  kRightMargin,
  kIndent,
  kLeading,
  kBlockIndent,
  kTabStops,
  kBullet,
  kKerning,
  kLetterSpacing,
  kFieldCount
};

// In the order the properties enumerate (last defined first).
constexpr const char* kNames[kFieldCount] = {
    "font",    "size",        "color",    "url",        "target",      "bold",
    "italic",  "underline",   "align",    "leftMargin", "rightMargin", "indent",
    "leading", "blockIndent", "tabStops", "bullet",     "kerning",     "letterSpacing"};

// A whole number the way the player stores one: ties to even (or truncated),
// and anything that is not a finite 32-bit value reads back as the lowest one.
double ToPlayerInt(double n, bool truncate = false) {
  if (!std::isfinite(n)) return INT_MIN;
  const double r = truncate ? std::trunc(n) : std::nearbyint(n);
  return r < INT_MIN || r > INT_MAX ? INT_MIN : r;
}

Value BoolOrNull(const std::optional<bool>& b) { return b ? Value::Bool(*b) : Value::Null(); }
Value NumOrNull(const std::optional<double>& n) { return n ? Value::Num(*n) : Value::Null(); }
Value StrOrNull(const std::optional<std::string>& s) { return s ? Value::Str(*s) : Value::Null(); }

const char* AlignText(TextAlign a) {
  switch (a) {
    case TextAlign::Right:
      return "right";
    case TextAlign::Center:
      return "center";
    case TextAlign::Justify:
      return "justify";
    default:
      return "left";
  }
}

Value Read(Vm& vm, const TextStyle& s, int field) {
  switch (field) {
    case kFont:
      return StrOrNull(s.font);
    case kSize:
      return NumOrNull(s.size);
    case kColor:
      return s.color ? Value::Num(*s.color) : Value::Null();
    case kUrl:
      return StrOrNull(s.url);
    case kTarget:
      return StrOrNull(s.target);
    case kBold:
      return BoolOrNull(s.bold);
    case kItalic:
      return BoolOrNull(s.italic);
    case kUnderline:
      return BoolOrNull(s.underline);
    case kAlign:
      return s.align ? Value::Str(AlignText(*s.align)) : Value::Null();
    case kLeftMargin:
      return NumOrNull(s.leftMargin);
    case kRightMargin:
      return NumOrNull(s.rightMargin);
    case kIndent:
      return NumOrNull(s.indent);
    case kLeading:
      return NumOrNull(s.leading);
    case kBlockIndent:
      return NumOrNull(s.blockIndent);
    case kTabStops: {
      if (!s.tabStops) return Value::Null();
      std::vector<Value> stops;
      for (double t : *s.tabStops) stops.push_back(Value::Num(t));
      return Value::Obj(vm.NewArray(std::move(stops)));
    }
    case kBullet:
      return BoolOrNull(s.bullet);
    case kKerning:
      return BoolOrNull(s.kerning);
    case kLetterSpacing:
      return NumOrNull(s.letterSpacing);
    default:
      return {};
  }
}

// The constructor truncates and keeps negative margins; the setters clamp
// margins (before SWF 8 also indents and leading) and round (SWF 8) or
// truncate.
void Write(Vm& vm, TextStyle& s, int field, const Value& v, bool construct = false) {
  const bool unset = v.IsNullish();
  const bool swf8 = vm.version >= 8;
  const auto whole = [&](std::optional<double>& to, bool margin) {
    if (unset) return to.reset();
    double n = vm.ToNumber(v);
    if (!construct && (margin || (!swf8 && field != kSize))) n = std::max(0.0, n);
    // Before SWF 8 a number that is not one reads back as 0.
    to = !swf8 && std::isnan(n) ? 0 : ToPlayerInt(n, construct || !swf8);
  };
  const auto flag = [&](std::optional<bool>& to) {
    if (unset) return to.reset();
    to = vm.ToBoolean(v);
  };
  const auto text = [&](std::optional<std::string>& to) {
    if (unset) return to.reset();
    to = vm.ToString(v);
  };
  switch (field) {
    case kFont: {
      // Font names keep their first 64 characters.
      if (unset) return s.font.reset();
      std::string name = vm.ToString(v);
      size_t chars = 0, i = 0;
      for (; i < name.size(); ++i)
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && chars++ == 64) break;
      name.resize(i);
      s.font = std::move(name);
      return;
    }
    case kSize:
      return whole(s.size, false);
    case kColor: {
      if (unset) return s.color.reset();
      const double n = vm.ToNumber(v);
      s.color = static_cast<uint32_t>(ToInt32(std::isfinite(n) ? std::trunc(n) : 0));
      return;
    }
    case kUrl:
      return text(s.url);
    case kTarget:
      return text(s.target);
    case kBold:
      return flag(s.bold);
    case kItalic:
      return flag(s.italic);
    case kUnderline:
      return flag(s.underline);
    case kAlign: {
      if (unset) return;  // null and undefined leave it as it was
      std::string a = vm.ToString(v);
      for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (a == "left") s.align = TextAlign::Left;
      if (a == "right") s.align = TextAlign::Right;
      if (a == "center") s.align = TextAlign::Center;
      if (a == "justify") s.align = TextAlign::Justify;
      return;  // anything else leaves it as it was
    }
    case kLeftMargin:
      return whole(s.leftMargin, true);
    case kRightMargin:
      return whole(s.rightMargin, true);
    case kIndent:
      return whole(s.indent, false);
    case kLeading:
      return whole(s.leading, false);
    case kBlockIndent:
      return whole(s.blockIndent, false);
    case kTabStops: {
      if (unset || !v.IsObject()) return s.tabStops.reset();
      std::vector<double> stops;
      const double n = std::min(vm.ToNumber(vm.Get(v.object, "length")), 1024.0);
      for (int i = 0; i < n; ++i)
        stops.push_back(ToPlayerInt(vm.ToNumber(vm.Get(v.object, std::to_string(i)))));
      s.tabStops = std::move(stops);
      return;
    }
    case kBullet:
      return flag(s.bullet);
    case kKerning:
      return flag(s.kerning);
    case kLetterSpacing:
      if (unset) return s.letterSpacing.reset();
      s.letterSpacing = vm.ToNumber(v);
      return;
    default:
      return;
  }
}

TextFormatObject* Self(Object* self) { return dynamic_cast<TextFormatObject*>(self); }

template <int F>
Completion Getter(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  TextFormatObject* f = Self(self);
  return f ? Read(vm, f->style, F) : Value{};
}

template <int F>
Completion Setter(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (TextFormatObject* f = Self(self)) Write(vm, f->style, F, Arg(args, 0));
  return {};
}

Completion GetTextExtent(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  TextFormatObject* f = Self(self);
  if (!f || !DisplayOf(vm).ctx.texts) return {};
  TextStyle style = DefaultStyle(*vm.movie, EditTextDefinition{});
  style.size = 12;
  style.Apply(f->style);
  const Value widthArg = Arg(args, 1);
  const bool wrap = !widthArg.IsUndefined();
  const double width = wrap ? std::max(0.0, vm.ToNumber(widthArg)) : 0;
  EditTextView view;
  view.def.fontHeight =
      static_cast<uint16_t>(std::clamp(style.size.value_or(12), 0.0, 3000.0) * 20);
  view.def.wordWrap = wrap;
  view.def.multiline = true;
  view.def.autoSize = true;
  view.def.html = true;
  view.def.bounds =
      Rect{0, static_cast<int32_t>(wrap && std::isfinite(width) ? width * 20 + 80 : 1e8), 0,
           static_cast<int32_t>(1e8)};
  const bool utf8 = vm.version >= 6;
  const std::u32string text = DecodeText(vm.ToString(Arg(args, 0)), utf8);
  view.def.initialText = LayoutHtml({TextRun{text, style}}, utf8);
  const TextLayout layout =
      LayoutEditText(view, vm.movie->header.version, *DisplayOf(vm).ctx.texts);
  double ascent = style.size.value_or(12) * 0.9, descent = style.size.value_or(12) * 0.1;
  if (const FontDefinition* font = DisplayOf(vm).ctx.texts->DeviceFont(
          style.font.value_or(""), style.bold.value_or(false), style.italic.value_or(false));
      font && font->hasLayout && font->EmSquare() > 0) {
    ascent = font->ascent * style.size.value_or(12) / font->EmSquare();
    descent = font->descent * style.size.value_or(12) / font->EmSquare();
  }
  const double w = std::round(layout.textWidth / 20), h = std::round(layout.textHeight / 20);
  Object* out = vm.NewObject();
  vm.Set(out, "ascent", Value::Num(std::round(ascent)));
  vm.Set(out, "descent", Value::Num(std::round(descent)));
  vm.Set(out, "width", Value::Num(w));
  vm.Set(out, "height", Value::Num(h));
  vm.Set(out, "textFieldHeight", Value::Num(h + 4));
  vm.Set(out, "textFieldWidth", Value::Num(wrap ? width : w + 4));
  return Value::Obj(out);
}

Completion Construct(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  TextFormatObject* f = Self(self);
  if (!f) return {};
  // The order the constructor takes its arguments.
  constexpr int kArgOrder[] = {kFont,        kSize,   kColor,  kBold,  kItalic,
                               kUnderline,   kUrl,    kTarget, kAlign, kLeftMargin,
                               kRightMargin, kIndent, kLeading};
  for (size_t i = 0; i < args.size() && i < std::size(kArgOrder); ++i)
    Write(vm, f->style, kArgOrder[i], args[i], true);
  vm.Method(f, "getTextExtent", GetTextExtent);
  return {};
}

Object* Make(Vm& vm);

// "inline", "block" or "none"; anything else (case and all) reads as "block".
Completion Display(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  TextFormatObject* f = Self(self);
  return Value::Str(f && !f->display.empty() ? f->display : "block");
}
Completion SetDisplay(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  TextFormatObject* f = Self(self);
  if (!f) return {};
  const Value v = Arg(args, 0);
  const std::string d = v.type == Type::String ? vm.ToString(v) : std::string();
  f->display = d == "inline" || d == "none" ? d : std::string();
  return {};
}

// The native getters appear on the prototype when the first format is
// built; newest first when enumerated, so defined from the last to the first.
// Kerning and letter spacing came with Flash 8: older movies read them
// as undefined and cannot set them.
constexpr Member FieldMember(int f) {
  constexpr NativeFn kGetters[] = {Getter<0>,  Getter<1>,  Getter<2>,  Getter<3>,  Getter<4>,
                                   Getter<5>,  Getter<6>,  Getter<7>,  Getter<8>,  Getter<9>,
                                   Getter<10>, Getter<11>, Getter<12>, Getter<13>, Getter<14>,
                                   Getter<15>, Getter<16>, Getter<17>};
  constexpr NativeFn kSetters[] = {Setter<0>,  Setter<1>,  Setter<2>,  Setter<3>,  Setter<4>,
                                   Setter<5>,  Setter<6>,  Setter<7>,  Setter<8>,  Setter<9>,
                                   Setter<10>, Setter<11>, Setter<12>, Setter<13>, Setter<14>,
                                   Setter<15>, Setter<16>, Setter<17>};
  static_assert(std::size(kGetters) == kFieldCount);
  const bool flash8 = f == kKerning || f == kLetterSpacing;
  return EmptyBefore(Accessor(kNames[f], kGetters[f], kSetters[f], 0, flash8 ? 8 : 5));
}
template <size_t... I>
constexpr std::array<Member, kFieldCount + 1> FirstInstanceMembers(std::index_sequence<I...>) {
  return {FieldMember(static_cast<int>(kFieldCount - 1 - I))...,
          Accessor("display", Display, SetDisplay, 0)};
}
constexpr auto kTextFormatFirstInstance =
    FirstInstanceMembers(std::make_index_sequence<kFieldCount>{});

Object* Make(Vm& vm) {
  TextFormatObject* f = vm.New<TextFormatObject>();
  f->proto = vm.textFormatProto;
  DeclareOnFirstInstance(vm, vm.textFormatProto, kTextFormatFirstInstance);
  return f;
}

}  // namespace

TextFormatObject* NewTextFormat(Vm& vm, const TextStyle& style) {
  auto* f = static_cast<TextFormatObject*>(Make(vm));
  f->style = style;
  vm.Method(f, "getTextExtent", GetTextExtent);
  return f;
}

TextStyle StyleOf(const Value& v) {
  if (const auto* f = v.IsObject() ? dynamic_cast<TextFormatObject*>(v.object) : nullptr)
    return f->style;
  return {};
}

extern const ClassDecl kTextFormatClass{.name = "TextFormat",
                                        .ctor = Construct,
                                        .proto = {},
                                        .construct = Make,
                                        .keep = &Vm::textFormatProto};

}  // namespace orrivel::swf::avm1
