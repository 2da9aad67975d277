#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "swf/avm1/host_class.h"
#include "swf/player/script/style_sheet.h"
#include "swf/player/script/text_format_object.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

namespace {

// Most selectors and properties a sheet holds; more are ignored.
constexpr size_t kMaxSelectors = 1024, kMaxProperties = 64;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// "font-size" -> "fontSize", as scripts read a parsed sheet.
std::string CamelCase(const std::string& s) {
  std::string out;
  bool upper = false;
  for (char c : s) {
    if (c == '-') {
      upper = true;
      continue;
    }
    out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
    upper = false;
  }
  return out;
}

std::optional<double> Number(const std::string& v) {
  char* end = nullptr;
  const double n = std::strtod(v.c_str(), &end);
  if (end == v.c_str() || !std::isfinite(n)) return std::nullopt;
  return std::clamp(n, -10000.0, 10000.0);
}

// A style's properties as a text format.
TextStyle FormatOf(const std::map<std::string, std::string>& props) {
  TextStyle s;
  for (const auto& [key, raw] : props) {
    const std::string v = Lower(Trim(raw));
    if (key == "color" && v.size() == 7 && v[0] == '#') {
      s.color = static_cast<uint32_t>(std::strtoul(v.c_str() + 1, nullptr, 16)) & 0xFFFFFF;
    } else if (key == "fontSize") {
      if (const auto n = Number(v); n && *n > 0) s.size = *n;
    } else if (key == "fontFamily") {
      s.font = Trim(raw.substr(0, raw.find(',')));
    } else if (key == "fontWeight") {
      s.bold = v == "bold";
    } else if (key == "fontStyle") {
      s.italic = v == "italic";
    } else if (key == "textDecoration") {
      s.underline = v == "underline";
    } else if (key == "textAlign") {
      if (v == "left") s.align = TextAlign::Left;
      if (v == "right") s.align = TextAlign::Right;
      if (v == "center") s.align = TextAlign::Center;
      if (v == "justify") s.align = TextAlign::Justify;
    } else if (key == "kerning") {
      s.kerning = v == "true";
    } else if (const auto n = Number(v)) {
      if (key == "marginLeft") s.leftMargin = *n;
      if (key == "marginRight") s.rightMargin = *n;
      if (key == "textIndent") s.indent = *n;
      if (key == "leading") s.leading = *n;
      if (key == "letterSpacing") s.letterSpacing = *n;
    }
  }
  return s;
}

StyleSheetObject* Sheet(Object* self) { return dynamic_cast<StyleSheetObject*>(self); }

Object* Make(Vm& vm) { return vm.New<StyleSheetObject>(); }

Completion Construct(Vm&, const CallContext&, Args) { return {}; }

Completion SetStyle(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  StyleSheetObject* sheet = Sheet(self);
  if (!sheet || args.empty()) return {};
  const std::string name = vm.ToString(args[0]);
  const Value style = Arg(args, 1);
  if (!style.IsObject()) {
    sheet->styles.erase(name);
    return {};
  }
  if (sheet->styles.size() >= kMaxSelectors && !sheet->styles.contains(name)) return {};
  std::vector<std::string> keys;
  style.object->OwnKeys(vm, keys);
  std::map<std::string, std::string> props;
  for (const std::string& k : keys) {
    if (props.size() >= kMaxProperties) break;
    const std::string v = vm.ToString(vm.Get(style.object, k));
    if (!vm.Charge(k.size() + v.size())) break;
    props[k] = v;
  }
  sheet->styles[name] = std::move(props);
  return {};
}

Object* StyleObject(Vm& vm, const std::map<std::string, std::string>& props) {
  Object* o = vm.NewObject();
  for (const auto& [k, v] : props) vm.Set(o, k, Value::Str(v));
  return o;
}

Completion GetStyle(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  StyleSheetObject* sheet = Sheet(self);
  if (!sheet || args.empty()) return {};
  const auto it = sheet->styles.find(vm.ToString(args[0]));
  return it == sheet->styles.end() ? Value::Null() : Value::Obj(StyleObject(vm, it->second));
}

Completion GetStyleNames(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  StyleSheetObject* sheet = Sheet(self);
  std::vector<Value> names;
  if (sheet) {
    for (const auto& [name, props] : sheet->styles) names.push_back(Value::Str(name));
  }
  return Value::Obj(vm.NewArray(std::move(names)));
}

Completion Clear(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (StyleSheetObject* sheet = Sheet(self)) sheet->styles.clear();
  return {};
}

// transform(style): a TextFormat of the style object's properties (a number
// or a string gives one of none); null for nothing, null or undefined. What
// no property sets is null, but kerning, which is false.
Completion Transform(Vm& vm, const CallContext&, Args args) {
  const Value style = Arg(args, 0);
  if (style.IsNullish()) return Value::Null();
  std::map<std::string, std::string> props;
  if (style.IsObject()) {
    std::vector<std::string> keys;
    style.object->OwnKeys(vm, keys);
    for (const std::string& k : keys) props[k] = vm.ToString(vm.Get(style.object, k));
  }
  TextStyle format = FormatOf(props);
  if (!format.kerning) format.kerning = false;
  return Value::Obj(NewTextFormat(vm, format));
}

// "sel, sel { name: value; ... }": false when the text is not a sheet.
Completion ParseCss(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  StyleSheetObject* sheet = Sheet(self);
  if (!sheet || args.empty()) return Value::Bool(false);
  const std::string css = vm.ToString(args[0]);
  std::map<std::string, std::map<std::string, std::string>> parsed;
  size_t i = 0;
  while (true) {
    const size_t open = css.find('{', i);
    if (open == std::string::npos) {
      if (!Trim(css.substr(i)).empty()) return Value::Bool(false);
      break;
    }
    const size_t close = css.find('}', open);
    if (close == std::string::npos) return Value::Bool(false);
    std::map<std::string, std::string> props;
    const std::string body = css.substr(open + 1, close - open - 1);
    for (size_t p = 0; p < body.size();) {
      size_t semi = body.find(';', p);
      if (semi == std::string::npos) semi = body.size();
      const std::string decl = body.substr(p, semi - p);
      const size_t colon = decl.find(':');
      if (colon != std::string::npos && props.size() < kMaxProperties)
        props[CamelCase(Trim(decl.substr(0, colon)))] = Trim(decl.substr(colon + 1));
      p = semi + 1;
    }
    const std::string selectors = css.substr(i, open - i);
    for (size_t s = 0; s <= selectors.size();) {
      size_t comma = selectors.find(',', s);
      if (comma == std::string::npos) comma = selectors.size();
      const std::string name = Trim(selectors.substr(s, comma - s));
      if (!name.empty() && parsed.size() < kMaxSelectors) parsed[name] = props;
      s = comma + 1;
    }
    i = close + 1;
  }
  if (!vm.Charge(css.size())) return Value::Bool(false);
  for (auto& [name, props] : parsed) {
    if (sheet->styles.size() < kMaxSelectors || sheet->styles.contains(name))
      sheet->styles[name] = std::move(props);
  }
  return Value::Bool(true);
}

}  // namespace

HtmlStyles SnapshotStyles(const StyleSheetObject& sheet) {
  std::map<std::string, TextStyle> formats;
  for (const auto& [name, props] : sheet.styles) formats[Lower(name)] = FormatOf(props);
  return [formats = std::move(formats)](std::u32string_view tag, const std::u32string* cls,
                                        TextStyle& inner) {
    const auto apply = [&](const std::string& key) {
      if (const auto it = formats.find(key); it != formats.end()) inner.Apply(it->second);
    };
    const std::string name = EncodeText(tag, true);
    apply(name);
    if (cls) {
      const std::string c = Lower(EncodeText(*cls, true));
      apply("." + c);
      apply(name + "." + c);
    }
  };
}

namespace {

constexpr Member kStyleSheetProto[] = {
    Method("setStyle", SetStyle),           Method("getStyle", GetStyle),
    Method("getStyleNames", GetStyleNames), Method("clear", Clear),
    Method("transform", Transform),         Method("parseCSS", ParseCss),
};

}  // namespace

// Movies before version 7 do not see it.
extern const ClassDecl kStyleSheetClass{.name = "StyleSheet",
                                        .ctor = Construct,
                                        .proto = kStyleSheetProto,
                                        .construct = Make,
                                        .package = "TextField",
                                        .flags = kDontEnum | kSince7};

}  // namespace orrivel::swf::avm1
