// flash.external.ExternalInterface: the screen saver has no host page, so
// the interface is never available and call() answers null. The helpers
// that turn values into the XML and script text of the bridge work as in
// the player, since movies use them on their own.
#include <algorithm>
#include <cmath>

#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/xml_parser.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr int kMaxDepth = 64;  // nested objects written before giving up

// Each value visited costs a step of the frame's budget, so objects that
// refer to themselves many times over cannot make the walk run away.
bool Step(Vm& vm) { return vm.CountStep(); }

std::string UnescapeXml(std::string_view s) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    bool matched = false;
    for (const auto& [entity, c] : kEntities) {
      if (s.substr(i, entity.size()) == entity) {
        out += c;
        i += entity.size();
        matched = true;
        break;
      }
    }
    if (!matched) out += s[i++];
  }
  return out;
}

// Own enumerable names in the order they were made.
std::vector<std::string> KeysInOrder(Vm& vm, Object* o) {
  std::vector<std::string> keys;
  o->OwnKeys(vm, keys);
  std::reverse(keys.begin(), keys.end());
  return keys;
}

ArrayObject* AsArray(const Value& v) {
  return v.IsObject() ? dynamic_cast<ArrayObject*>(v.object) : nullptr;
}

std::string ToXml(Vm& vm, const Value& v, int depth);

std::string ObjectToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<object>";
  if (v.IsObject() && depth < kMaxDepth) {
    for (const std::string& k : KeysInOrder(vm, v.object)) {
      out +=
          "<property id=\"" + k + "\">" + ToXml(vm, vm.Get(v.object, k), depth + 1) + "</property>";
      if (!vm.Charge(out.size())) break;
    }
  }
  return out + "</object>";
}

// The elements of anything with a length, from index `first` on.
std::vector<Value> Elements(Vm& vm, const Value& v, double first) {
  std::vector<Value> out;
  if (v.IsNullish()) return out;
  const double n = vm.ToNumber(vm.GetMember(v, "length"));
  for (double i = std::max(first, 0.0); i < n && i < 65536; ++i)
    out.push_back(vm.GetMember(v, std::to_string(static_cast<int>(i))));
  return out;
}

std::string ArrayToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<array>";
  if (depth < kMaxDepth) {
    const auto elements = Elements(vm, v, 0);
    for (std::size_t i = 0; i < elements.size(); ++i) {
      out += "<property id=\"" + std::to_string(i) + "\">" + ToXml(vm, elements[i], depth + 1) +
             "</property>";
      if (!vm.Charge(out.size())) break;
    }
  }
  return out + "</array>";
}

std::string ToXml(Vm& vm, const Value& v, int depth) {
  if (!Step(vm)) return "<undefined/>";
  switch (v.type) {
    case Type::Undefined:
      return "<undefined/>";
    case Type::Null:
      return "<null/>";
    case Type::Boolean:
      return v.boolean ? "<true/>" : "<false/>";
    case Type::Number:
      return "<number>" + NumberToString(v.number) + "</number>";
    case Type::String:
      return "<string>" + (v.string.empty() ? "null" : XmlEscape(v.string)) + "</string>";
    case Type::Object:
      // Anything with a length is written as an array.
      if (!vm.Get(v.object, "length").IsUndefined()) return ArrayToXml(vm, v, depth);
      if (v.object->IsFunction()) return "<null/>";
      return ObjectToXml(vm, v, depth);
  }
  return {};
}

std::string QuoteJs(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string ToJs(Vm& vm, const Value& v, int depth) {
  if (!Step(vm)) return "undefined";
  switch (v.type) {
    case Type::Undefined:
      return "undefined";
    case Type::Null:
      return "null";
    case Type::Boolean:
      return v.boolean ? "true" : "false";
    case Type::Number:
      return NumberToString(v.number);
    case Type::String:
      return QuoteJs(v.string);
    case Type::Object:
      break;
  }
  if (depth >= kMaxDepth) return "null";
  if (ArrayObject* a = AsArray(v)) {
    std::string out = "[";
    for (std::size_t i = 0; i < a->elements.size() && vm.Charge(out.size()); ++i)
      out += (i ? "," : "") + ToJs(vm, a->elements[i], depth + 1);
    return out + "]";
  }
  if (v.object->IsFunction()) return "null";
  std::string out = "({";
  const std::vector<std::string> keys = KeysInOrder(vm, v.object);
  for (std::size_t i = 0; i < keys.size() && vm.Charge(out.size()); ++i)
    out += (i ? "," : "") + keys[i] + ":" + ToJs(vm, vm.Get(v.object, keys[i]), depth + 1);
  return out + "})";
}

Completion JsQuoteString(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return Value::Null();
  const std::string s = vm.ToString(args[0]);
  if (s.empty()) return Value::Null();
  std::string out;
  for (const char c : s) {
    if (c == '"') out += '\\';
    out += c;
  }
  return Value::Str(out);
}

Completion EscapeXmlFn(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return Value::Null();
  const std::string s = vm.ToString(args[0]);
  return s.empty() ? Value::Null() : Value::Str(XmlEscape(s));
}

Completion UnescapeXmlFn(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return Value::Null();
  const std::string s = vm.ToString(args[0]);
  return s.empty() ? Value::Null() : Value::Str(UnescapeXml(s));
}

Completion ToXmlFn(Vm& vm, const CallContext&, Args args) {
  return Value::Str(ToXml(vm, Arg(args, 0), 0));
}
Completion ObjectToXmlFn(Vm& vm, const CallContext&, Args args) {
  return Value::Str(ObjectToXml(vm, Arg(args, 0), 0));
}
Completion ArrayToXmlFn(Vm& vm, const CallContext&, Args args) {
  return Value::Str(ArrayToXml(vm, Arg(args, 0), 0));
}

// The call's arguments from index `first` on.
Completion ArgumentsToXmlFn(Vm& vm, const CallContext&, Args args) {
  std::string out = "<arguments>";
  double first = args.size() > 1 ? vm.ToNumber(args[1]) : 1;
  if (!(first >= 0)) first = 1;
  for (const Value& e : Elements(vm, Arg(args, 0), first)) {
    out += ToXml(vm, e, 1);
    if (!vm.Charge(out.size())) break;
  }
  return Value::Str(out + "</arguments>");
}

Completion ToJsFn(Vm& vm, const CallContext&, Args args) {
  return Value::Str(ToJs(vm, Arg(args, 0), 0));
}

// ---- From the bridge's XML, as parsed XML nodes ----------------------------------------

Value NodeToAs(Vm& vm, const Value& node, int depth);

std::vector<Value> Children(Vm& vm, const Value& node) {
  std::vector<Value> out;
  if (!node.IsObject()) return out;
  const Value list = vm.Get(node.object, "childNodes");
  if (!list.IsObject()) return out;
  const double n = vm.ToNumber(vm.Get(list.object, "length"));
  for (int i = 0; i < n && i < 65536; ++i) out.push_back(vm.Get(list.object, std::to_string(i)));
  return out;
}

// The node's name by its value: a String object counts, any other object
// names nothing.
std::string NodeName(Vm& vm, const Value& node) {
  if (!node.IsObject()) return {};
  const Value name = vm.ToPrimitive(vm.Get(node.object, "nodeName"));
  return name.type == Type::String ? name.string : std::string();
}

// The node's first child as text, still escaped ("undefined" when it has none).
std::string NodeText(Vm& vm, const Value& node) {
  return vm.ToString(vm.GetMember(node, "firstChild"));
}

Value ObjectToAs(Vm& vm, const Value& node, int depth) {
  Object* out = vm.NewObject();
  if (depth >= kMaxDepth) return Value::Obj(out);
  for (const Value& p : Children(vm, node)) {
    if (NodeName(vm, p) != "property") continue;
    const Value attrs = vm.Get(p.object, "attributes");
    const std::string id = attrs.IsObject() ? vm.ToString(vm.Get(attrs.object, "id")) : "";
    const auto kids = Children(vm, p);
    vm.Set(out, id, kids.empty() ? Value{} : NodeToAs(vm, kids[0], depth + 1));
  }
  return Value::Obj(out);
}

Value ArrayToAs(Vm& vm, const Value& node, int depth) {
  ArrayObject* out = vm.NewArray();
  if (depth >= kMaxDepth) return Value::Obj(out);
  for (const Value& p : Children(vm, node)) {
    if (NodeName(vm, p) != "property") continue;
    const Value attrs = vm.Get(p.object, "attributes");
    const double id = attrs.IsObject() ? vm.ToNumber(vm.Get(attrs.object, "id")) : NAN;
    const auto kids = Children(vm, p);
    if (id >= 0 && id < 65536)
      vm.Set(out, std::to_string(static_cast<int>(id)),
             kids.empty() ? Value{} : NodeToAs(vm, kids[0], depth + 1));
  }
  return Value::Obj(out);
}

Value NodeToAs(Vm& vm, const Value& node, int depth) {
  if (!Step(vm)) return {};
  const std::string name = NodeName(vm, node);
  if (name == "number") return Value::Num(StringToNumber(NodeText(vm, node), vm.version));
  if (name == "string") return Value::Str(UnescapeXml(NodeText(vm, node)));
  if (name == "false") return Value::Bool(false);
  if (name == "true") return Value::Bool(true);
  if (name == "null") return Value::Null();
  if (name == "object") return ObjectToAs(vm, node, depth);
  if (name == "array") return ArrayToAs(vm, node, depth);
  if (name == "class") return vm.Get(vm.global, NodeText(vm, node));
  return {};
}

Completion ToAsFn(Vm& vm, const CallContext&, Args args) { return NodeToAs(vm, Arg(args, 0), 0); }
Completion ObjectToAsFn(Vm& vm, const CallContext&, Args args) {
  return ObjectToAs(vm, Arg(args, 0), 0);
}
Completion ArrayToAsFn(Vm& vm, const CallContext&, Args args) {
  return ArrayToAs(vm, Arg(args, 0), 0);
}
Completion ArgumentsToAsFn(Vm& vm, const CallContext&, Args args) {
  ArrayObject* out = vm.NewArray();
  for (const Value& c : Children(vm, Arg(args, 0))) out->elements.push_back(NodeToAs(vm, c, 1));
  return Value::Obj(out);
}

Completion Call(Vm& vm, const CallContext&, Args) {
  Refuse(vm, "ExternalInterface.call");
  return Value::Null();
}

Completion EvalJs(Vm& vm, const CallContext&, Args) {
  Refuse(vm, "ExternalInterface script");
  return Value::Null();
}

// Older movies that reach the package see only call.
constexpr Member kExternalInterface[] = {
    ConstBool("available", false, kConstant | kSince8, 8),
    Method("addCallback", ReturnFalse, kHidden | kSince8, 8),
    Method("call", Call),
    Method("_callIn", ReturnUndefined, kHidden | kSince8, 8),
    Method("_callOut", Call, kHidden | kSince8, 8),
    Method("_evalJS", EvalJs, kHidden | kSince8, 8),
    Method("_initJS", ReturnUndefined, kHidden | kSince8, 8),
    Method("_objectID", ReturnNull, kHidden | kSince8, 8),
    Method("_jsQuoteString", JsQuoteString, kHidden | kSince8, 8),
    Method("_escapeXML", EscapeXmlFn, kHidden | kSince8, 8),
    Method("_unescapeXML", UnescapeXmlFn, kHidden | kSince8, 8),
    Method("_toXML", ToXmlFn, kHidden | kSince8, 8),
    Method("_objectToXML", ObjectToXmlFn, kHidden | kSince8, 8),
    Method("_arrayToXML", ArrayToXmlFn, kHidden | kSince8, 8),
    Method("_argumentsToXML", ArgumentsToXmlFn, kHidden | kSince8, 8),
    Method("_toJS", ToJsFn, kHidden | kSince8, 8),
    Method("_objectToJS", ToJsFn, kHidden | kSince8, 8),
    Method("_arrayToJS", ToJsFn, kHidden | kSince8, 8),
    Method("_toAS", ToAsFn, kHidden | kSince8, 8),
    Method("_objectToAS", ObjectToAsFn, kHidden | kSince8, 8),
    Method("_arrayToAS", ArrayToAsFn, kHidden | kSince8, 8),
    Method("_argumentsToAS", ArgumentsToAsFn, kHidden | kSince8, 8),
};

}  // namespace

extern const ClassDecl kExternalInterfaceClass{.name = "ExternalInterface",
                                               .ctor = PlainCtor,
                                               .proto = {},
                                               .statics = kExternalInterface,
                                               .package = "flash.external"};

}  // namespace orrivel::swf::avm1
