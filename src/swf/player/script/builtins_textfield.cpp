// TextField: the field properties as getter/setter pairs on the prototype,
// the format and replace methods, and MovieClip.createTextField.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <utility>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/player/script/style_sheet.h"
#include "swf/player/script/text_field_object.h"
#include "swf/player/script/text_format_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

// In the order the player lists them (newest first): defined last to first.
enum Prop {
  kStyleSheet,
  kMouseWheelEnabled,
  kCondenseWhite,
  kRestrict,
  kTextHeight,
  kTextWidth,
  kBottomScroll,
  kLength,
  kSelectable,
  kMultiline,
  kPassword,
  kWordWrap,
  kBackground,
  kBorder,
  kHtml,
  kEmbedFonts,
  kMaxChars,
  kMaxHScroll,
  kHScroll,
  kVariable,
  kHtmlText,
  kType,
  kText,
  kAutoSize,
  kTabIndex,
  kTextColor,
  kBackgroundColor,
  kBorderColor,
  kMaxScroll,
  kScroll,
  kFilters,
  kSharpness,
  kThickness,
  kAntiAliasType,
  kGridFitType,
  kPropCount
};
constexpr int kFirstFlash8Prop = kFilters;

constexpr const char* kPropNames[kPropCount] = {"styleSheet",
                                                "mouseWheelEnabled",
                                                "condenseWhite",
                                                "restrict",
                                                "textHeight",
                                                "textWidth",
                                                "bottomScroll",
                                                "length",
                                                "selectable",
                                                "multiline",
                                                "password",
                                                "wordWrap",
                                                "background",
                                                "border",
                                                "html",
                                                "embedFonts",
                                                "maxChars",
                                                "maxhscroll",
                                                "hscroll",
                                                "variable",
                                                "htmlText",
                                                "type",
                                                "text",
                                                "autoSize",
                                                "tabIndex",
                                                "textColor",
                                                "backgroundColor",
                                                "borderColor",
                                                "maxscroll",
                                                "scroll",
                                                "filters",
                                                "sharpness",
                                                "thickness",
                                                "antiAliasType",
                                                "gridFitType"};

// The field behind a method's `this`; empty for other objects.
class FieldView {
 public:
  FieldView(Vm&, Object* self) {
    if (self && self->IsTextField()) field_ = static_cast<TextFieldObject*>(self)->Field();
  }
  EditText* operator->() const { return field_.get(); }
  explicit operator bool() const { return field_ != nullptr; }
  EditText& operator*() const { return *field_; }

 private:
  std::shared_ptr<EditText> field_;
};

bool Utf8(const Vm& vm) { return vm.version >= 6; }

Value Str(const Vm& vm, std::u32string_view s) { return Value::Str(EncodeText(s, Utf8(vm))); }

// Whole lines shown when line `first` (0-based) is at the top; at least one.
int LinesShown(EditText& f, size_t first) {
  const auto& lines = f.Layout().lines;
  const double inner = f.Def().bounds.Height() - 80;
  if (first >= lines.size()) return 1;
  size_t last = first + 1;
  while (last < lines.size() && lines[last].second - lines[first].first <= inner) ++last;
  return static_cast<int>(last - first);
}

int MaxScroll(EditText& f) { return f.MaxScroll(); }
int MaxHScroll(EditText& f) { return f.MaxHScroll(); }

uint32_t Rgb(Vm& vm, const Value& v) {
  const double n = vm.ToNumber(v);
  return static_cast<uint32_t>(ToInt32(std::isfinite(n) ? n : 0)) & 0xFFFFFF;
}

Value Read(Vm& vm, EditText& f, int prop) {
  const EditTextDefinition& d = f.Def();
  switch (prop) {
    case kText:
      RefreshFromVariable(vm, f);
      return Str(vm, f.Text());
    case kHtmlText:
      RefreshFromVariable(vm, f);
      return Str(vm, f.HtmlText());
    case kHtml:
      return Value::Bool(d.html);
    case kLength:
      return Value::Num(static_cast<double>(f.Length()));
    case kTextWidth:
      return Value::Num(std::floor(f.Layout().textWidth / 20));
    case kTextHeight:
      return Value::Num(std::floor(f.Layout().textHeight / 20));
    case kAutoSize: {
      static const char* kNames[] = {"none", "left", "center", "right"};
      return Value::Str(kNames[static_cast<int>(f.autoSize)]);
    }
    case kBorder:
      return Value::Bool(d.border);
    case kBackground:
      return Value::Bool(f.background);
    case kBorderColor:
      return Value::Num(f.borderColor);
    case kBackgroundColor:
      return Value::Num(f.backgroundColor);
    case kTextColor:  // the color of text set next, not of the text shown
      return Value::Num(f.newFormat.color.value_or(0));
    case kMultiline:
      return Value::Bool(d.multiline);
    case kWordWrap:
      return Value::Bool(d.wordWrap);
    case kSelectable:
      return Value::Bool(!d.noSelect);
    case kPassword:
      return Value::Bool(d.password);
    case kType:
      return Value::Str(d.readOnly ? "dynamic" : "input");
    case kMaxChars:
      if (f.negativeMaxChars < 0) return Value::Num(f.negativeMaxChars);
      return d.maxLength && *d.maxLength > 0 ? Value::Num(*d.maxLength) : Value::Null();
    case kVariable:
      return f.variable.empty() ? Value::Null() : Value::Str(f.variable);
    case kEmbedFonts:
      return Value::Bool(f.embedFonts);
    case kCondenseWhite:
      return Value::Bool(f.condenseWhite);
    case kRestrict:
      return f.restrict ? Str(vm, *f.restrict) : Value::Null();
    case kScroll:
      return Value::Num(std::min(f.scroll, MaxScroll(f)));
    case kHScroll:
      return Value::Num(std::min(f.hscroll, MaxHScroll(f)));
    case kMaxHScroll:
      return Value::Num(MaxHScroll(f));
    case kMaxScroll:
      return Value::Num(MaxScroll(f));
    case kBottomScroll: {
      const int top = std::min(f.scroll, MaxScroll(f));
      return Value::Num(top + LinesShown(f, static_cast<size_t>(top - 1)) - 1);
    }
    case kMouseWheelEnabled:
      return Value::Bool(f.mouseWheelEnabled);
    case kTabIndex:
      return f.tabIndex ? Value::Num(*f.tabIndex) : Value{};
    case kAntiAliasType:
      return Value::Str(f.advancedAntiAlias ? "advanced" : "normal");
    case kGridFitType: {
      static const char* kFits[] = {"none", "pixel", "subpixel"};
      return Value::Str(kFits[std::clamp(f.gridFit, 0, 2)]);
    }
    case kSharpness:
      return Value::Num(f.sharpness);
    case kThickness:
      return Value::Num(f.thickness);
    default:
      return {};
  }
}

AutoSize ParseAutoSize(Vm& vm, const Value& v) {
  if (v.type == Type::Boolean) return v.boolean ? AutoSize::Left : AutoSize::None;
  std::string s = vm.ToString(v);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (s == "left") return AutoSize::Left;
  if (s == "center") return AutoSize::Center;
  if (s == "right") return AutoSize::Right;
  return AutoSize::None;
}

void Write(Vm& vm, EditText& f, int prop, const Value& v) {
  switch (prop) {
    case kText: {
      const std::string s = vm.ToString(v);
      if (!vm.Charge(s.size())) return;
      f.SetText(DecodeText(s, Utf8(vm)));
      StoreTextVariable(vm, f);
      return;
    }
    case kHtmlText: {
      const std::string s = vm.ToString(v);
      if (!vm.Charge(s.size())) return;
      f.SetHtmlText(DecodeText(s, Utf8(vm)));
      StoreTextVariable(vm, f);
      return;
    }
    case kHtml:
      f.MutableDef().html = vm.ToBoolean(v);
      return;
    case kAutoSize:
      f.SetAutoSize(ParseAutoSize(vm, v));
      return;
    case kBorder:
      f.MutableDef().border = vm.ToBoolean(v);
      return;
    case kBackground:
      f.background = vm.ToBoolean(v);
      f.MutableDef();
      return;
    case kBorderColor:
      f.borderColor = Rgb(vm, v);
      f.MutableDef();
      return;
    case kBackgroundColor:
      f.backgroundColor = Rgb(vm, v);
      f.MutableDef();
      return;
    case kTextColor: {
      TextStyle color;
      color.color = Rgb(vm, v);
      f.newFormat.Apply(color);
      f.SetFormat(0, f.Length(), color);
      return;
    }
    case kMultiline:
      f.MutableDef().multiline = vm.ToBoolean(v);
      return;
    case kWordWrap:
      f.MutableDef().wordWrap = vm.ToBoolean(v);
      return;
    case kSelectable:
      f.MutableDef().noSelect = !vm.ToBoolean(v);
      return;
    case kPassword:
      f.MutableDef().password = vm.ToBoolean(v);
      return;
    case kType: {
      // Either name in any case; other values leave the type.
      std::string t = vm.ToString(v);
      for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (t == "input") f.MutableDef().readOnly = false;
      if (t == "dynamic") f.MutableDef().readOnly = true;
      return;
    }
    case kMaxChars: {
      // A whole number; 0 (and what is no number) means no limit.
      const int32_t n = v.IsNullish() ? 0 : ToInt32(vm.ToNumber(v));
      f.negativeMaxChars = std::min(n, 0);
      if (n > 0) {
        f.MutableDef().maxLength = static_cast<uint16_t>(std::min(n, 65535));
      } else {
        f.MutableDef().maxLength.reset();
      }
      return;
    }
    case kVariable:
      f.variable = v.IsNullish() ? "" : vm.ToString(v);
      f.shownVariable.clear();
      f.shownObject = nullptr;
      BindTextVariable(vm, f, true);
      return;
    case kEmbedFonts:
      f.embedFonts = vm.ToBoolean(v);
      f.MutableDef().useOutlines = f.embedFonts;
      return;
    case kCondenseWhite:
      f.condenseWhite = vm.ToBoolean(v);
      return;
    case kRestrict:
      if (v.IsNullish()) {
        f.restrict.reset();
      } else {
        // "" leaves a field without a restriction as it is, and empties
        // one that has characters (then none are admitted).
        std::u32string chars = DecodeText(vm.ToString(v), Utf8(vm));
        if (!chars.empty() || f.restrict) f.restrict = std::move(chars);
      }
      return;
    case kScroll: {
      // Kept as a line index: one less, wrapping as a 32-bit number does.
      const int32_t line =
          static_cast<int32_t>(static_cast<uint32_t>(ToInt32(vm.ToNumber(v))) - 1u);
      f.SetScroll(std::clamp(line, 0, MaxScroll(f) - 1) + 1, f.hscroll);
      return;
    }
    case kHScroll:
      f.SetScroll(f.scroll, std::clamp(ToInt32(vm.ToNumber(v)), 0, MaxHScroll(f)));
      return;
    case kAntiAliasType: {
      const std::string t = vm.ToString(v);
      if (t == "normal" || t == "advanced") f.advancedAntiAlias = t == "advanced";
      return;
    }
    case kGridFitType: {
      const std::string t = vm.ToString(v);
      if (t == "none") f.gridFit = 0;
      if (t == "pixel") f.gridFit = 1;
      if (t == "subpixel") f.gridFit = 2;
      return;
    }
    case kSharpness:
      f.sharpness = vm.ToNumber(v);
      return;
    case kThickness:
      f.thickness = vm.ToNumber(v);
      return;
    case kMouseWheelEnabled:
      f.mouseWheelEnabled = vm.ToBoolean(v);
      return;
    case kTabIndex:
      if (v.IsUndefined()) {
        f.tabIndex.reset();
      } else {
        f.tabIndex = static_cast<uint32_t>(ToInt32(vm.ToNumber(v)));
      }
      return;
    default:
      return;  // read-only, or kept by no field
  }
}

template <int P>
Completion Getter(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (!f) return {};
  if constexpr (P == kStyleSheet) {
    Object* sheet = static_cast<TextFieldObject*>(self)->styleSheet;
    return sheet ? Value::Obj(sheet) : Value{};
  }
  if constexpr (P == kFilters) return GetFilters(vm, call, {});  // as a clip keeps them
  return Read(vm, *f, P);
}

// Text set into a field with a style sheet is HTML in the sheet's formats.
bool WriteStyled(Vm& vm, EditText& f, Object* sheet, const Value& v) {
  const auto* styles = dynamic_cast<StyleSheetObject*>(sheet);
  if (!styles) return false;
  const std::string s = vm.ToString(v);
  if (!vm.Charge(s.size())) return true;
  f.SetStyledText(DecodeText(s, Utf8(vm)), SnapshotStyles(*styles));
  StoreTextVariable(vm, f);
  return true;
}

template <int P>
Completion Setter(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (!f) return {};
  auto* object = static_cast<TextFieldObject*>(self);
  if constexpr (P == kStyleSheet) {
    const Value v = Arg(args, 0);
    object->styleSheet = v.IsObject() && !v.object->IsClip() ? v.object : nullptr;
    f->SetStyleSheetOn(dynamic_cast<StyleSheetObject*>(object->styleSheet) != nullptr);
    return {};
  }
  if constexpr (P == kFilters) return SetFilters(vm, call, args);
  if ((P == kText || P == kHtmlText) && WriteStyled(vm, *f, object->styleSheet, Arg(args, 0)))
    return {};
  const std::pair<int, int> scrolled{f->scroll, f->hscroll};
  Write(vm, *f, P, Arg(args, 0));
  if ((P == kScroll || P == kHScroll) && scrolled != std::pair{f->scroll, f->hscroll}) {
    const Value field = Value::Obj(self);
    NotifyField(vm, self, "onScroller", Args(&field, 1));
  }
  // A field that sizes itself does so at once: _x and _width read it next.
  if (f->autoSize != AutoSize::None) f->Layout();
  return {};
}

size_t Index(double n, size_t fallback) {
  if (!std::isfinite(n)) return fallback;
  return n <= 0 ? 0 : static_cast<size_t>(std::min(n, 1e9));
}
size_t Index(Vm& vm, const Value& v, size_t fallback) { return Index(vm.ToNumber(v), fallback); }

Completion GetTextFormat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (!f) return {};
  const size_t length = f->Length();
  size_t begin = 0, end = length;
  if (!args.empty() && !args[0].IsUndefined()) {
    begin = Index(vm, args[0], 0);
    end = args.size() > 1 && !args[1].IsUndefined() ? Index(vm, args[1], length) : begin + 1;
  }
  return Value::Obj(NewTextFormat(vm, f->FormatOf(begin, std::max(begin, end))));
}

Completion SetTextFormat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (!f || args.empty()) return {};
  const TextStyle style = StyleOf(args.back());
  const size_t length = f->Length();
  size_t begin = 0, end = length;
  if (args.size() == 2) {
    begin = Index(vm, args[0], 0);
    end = begin + 1;
  } else if (args.size() >= 3) {
    begin = Index(vm, args[0], 0);
    end = Index(vm, args[1], length);
  }
  f->SetFormat(begin, end, style);
  return {};
}

Completion GetNewTextFormat(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  return f ? Value::Obj(NewTextFormat(vm, f->newFormat)) : Value{};
}

Completion SetNewTextFormat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (f) f->newFormat.Apply(StyleOf(Arg(args, 0)));
  return {};
}

Completion ReplaceSel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (!f || args.empty()) return {};
  const std::string s = vm.ToString(args[0]);
  if (!vm.Charge(s.size())) return {};
  const std::u32string text = DecodeText(s, Utf8(vm));
  const size_t begin = std::min(f->selectionBegin, f->selectionEnd);
  const size_t end = std::max(f->selectionBegin, f->selectionEnd);
  f->Replace(begin, end, text, f->newFormat);
  f->selectionBegin = f->selectionEnd = std::min(begin + text.size(), f->Length());
  StoreTextVariable(vm, *f);
  return {};
}

Completion ReplaceText(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (!f || args.size() < 3) return {};
  // A negative index or a range running backwards replaces nothing.
  const double from = vm.ToNumber(args[0]), to = vm.ToNumber(args[1]);
  if (from < 0 || to < 0) return {};
  const size_t begin = Index(from, 0), end = Index(to, 0);
  if (end < begin) return {};
  const std::string s = vm.ToString(args[2]);
  if (!vm.Charge(s.size())) return {};
  const TextStyle style = f->Length() ? f->FormatOf(begin, begin + 1) : f->newFormat;
  f->Replace(begin, end, DecodeText(s, Utf8(vm)), style);
  StoreTextVariable(vm, *f);
  return {};
}

Completion GetDepth(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  const DisplayObject* p = f ? f->Placement() : nullptr;
  return p ? Value::Num(p->depth - 16384.0) : Value{};
}

Completion RemoveField(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  FieldView f(vm, self);
  if (f) RemoveTextField(vm, *f);
  return {};
}

Completion FontList(Vm& vm, const CallContext&, Args) {
  std::vector<Value> names;
  for (const char* n :
       {"_sans", "_serif", "_typewriter", "Arial", "Courier New", "Times New Roman", "Verdana"})
    names.push_back(Value::Str(n));
  return Value::Obj(vm.NewArray(std::move(names)));
}

// `new TextField()` makes a plain object, but builds the getters as a
// field does.
Completion TextFieldCtor(Vm& vm, const CallContext&, Args) {
  DeclareTextFieldGetters(vm);
  return {};
}

// Newest first when enumerated, so defined from the last to the first. The
// Flash 8 names are on the prototype from the start (before version 8 as
// plain, empty properties); the others appear with the first field.
template <int kFirst, size_t... I>
constexpr std::array<Member, sizeof...(I)> PropMembers(std::index_sequence<I...>) {
  constexpr int kLast = kFirst + static_cast<int>(sizeof...(I)) - 1;
  constexpr uint8_t kSince = kFirst >= kFirstFlash8Prop ? 8 : 5;
  return {EmptyBefore(Accessor(kPropNames[kLast - static_cast<int>(I)],
                               Getter<kLast - static_cast<int>(I)>,
                               Setter<kLast - static_cast<int>(I)>, 0, kSince))...};
}
constexpr auto kTextFieldFlash8Props =
    PropMembers<kFirstFlash8Prop>(std::make_index_sequence<kPropCount - kFirstFlash8Prop>{});
constexpr auto kTextFieldFirstInstance =
    PropMembers<0>(std::make_index_sequence<kFirstFlash8Prop>{});

constexpr Member kTextFieldProto[] = {
    AbsentBefore(Method("replaceSel", ReplaceSel, kHidden, 6)),
    AbsentBefore(Method("getTextFormat", GetTextFormat, kHidden, 6)),
    AbsentBefore(Method("setTextFormat", SetTextFormat, kHidden, 6)),
    AbsentBefore(Method("removeTextField", RemoveField, kHidden, 6)),
    AbsentBefore(Method("getNewTextFormat", GetNewTextFormat, kHidden, 6)),
    AbsentBefore(Method("setNewTextFormat", SetNewTextFormat, kHidden, 6)),
    AbsentBefore(Method("getDepth", GetDepth, kHidden, 6)),
    AbsentBefore(Method("replaceText", ReplaceText, kHidden, 7)),
};
constexpr Member kTextFieldStatics[] = {Method("getFontList", FontList)};

void FinishTextField(Vm& vm, Object* cls) {
  Object* proto = PrototypeOf(vm, cls);
  Declare(vm, proto, kTextFieldFlash8Props);
  // The listener methods are shared, with an empty list of their own;
  // each field has its own list.
  if (proto && vm.version >= 6) MakeBroadcaster(vm, proto);
  // SWF 5 sees no prototype on TextField (its fields still have theirs).
  if (Property* p = cls->FindProperty(vm, "prototype"); p && vm.version < 6) p->flags |= kSince6;
  if (proto && vm.version < 6) proto->protoFlags |= kSince6;
}

}  // namespace

void DeclareTextFieldGetters(Vm& vm) {
  DeclareOnFirstInstance(vm, vm.textFieldProto, kTextFieldFirstInstance);
}

extern const ClassDecl kTextFieldClass{.name = "TextField",
                                       .ctor = TextFieldCtor,
                                       .proto = kTextFieldProto,
                                       .statics = kTextFieldStatics,
                                       .keep = &Vm::textFieldProto,
                                       .finish = FinishTextField};

Completion CreateField(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = self && self->IsClip() ? static_cast<ClipObject*>(self) : nullptr;
  if (!clip || args.size() < 6) return {};
  const double depth = vm.ToNumber(args[1]);
  if (!std::isfinite(depth)) return {};
  TextFieldObject* made =
      CreateTextField(vm, clip, vm.ToString(args[0]), ClampToInt(depth), vm.ToNumber(args[2]),
                      vm.ToNumber(args[3]), vm.ToNumber(args[4]), vm.ToNumber(args[5]));
  // The field is returned from version 8 on.
  return vm.version >= 8 ? Value::Obj(made) : Value{};
}

}  // namespace orrivel::swf::avm1
