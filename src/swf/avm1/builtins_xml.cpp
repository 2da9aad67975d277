// XMLNode and XML: a tree of nodes with the DOM-like methods of the player,
// parsing (XML.parseXML), printing (toString) and loading (XML.load, in
// builtins_loader.cpp). Walks over the tree keep their own stacks, so a deep
// tree built by script cannot exhaust the native stack.
#include <algorithm>
#include <optional>

#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/loader.h"
#include "swf/avm1/vm.h"
#include "swf/avm1/xml_parser.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr int kElement = 1;
constexpr int kText = 3;

class XmlNode : public Object {
 public:
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (parent) out.push_back(parent);
    for (XmlNode* c : children) out.push_back(c);
    if (attributes) out.push_back(attributes);
    if (childNodes) out.push_back(childNodes);
    if (loaded.object) out.push_back(loaded.object);
  }

  // A bare object: it inherits nothing, not even toString.
  Object* Attributes(Vm& vm) {
    if (!attributes) {
      attributes = vm.NewObject();
      attributes->proto = nullptr;
    }
    return attributes;
  }
  // The childNodes array shows the children after each change.
  void SyncChildNodes() {
    if (!childNodes) return;
    childNodes->elements.resize(children.size());
    for (std::size_t i = 0; i < children.size(); ++i)
      childNodes->elements[i] = Value::Obj(children[i]);
  }
  XmlNode* Sibling(int delta) const {
    if (!parent) return nullptr;
    const auto& list = parent->children;
    const auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return nullptr;
    const auto index = (it - list.begin()) + delta;
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(list.size())) return nullptr;
    return list[static_cast<std::size_t>(index)];
  }
  void Detach() {
    if (!parent) return;
    std::erase(parent->children, this);
    parent->SyncChildNodes();
    parent = nullptr;
  }
  bool IsSelfOrAncestorOf(const XmlNode* node) const {
    for (int guard = 0; node && guard < 1 << 20; node = node->parent, ++guard) {
      if (node == this) return true;
    }
    return false;
  }
  void Insert(XmlNode* child, std::size_t index) {
    child->Detach();
    child->parent = this;
    index = std::min(index, children.size());
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), child);
    SyncChildNodes();
  }

  int type = kElement;
  std::optional<std::string> name, value;
  std::optional<std::string> namespaceUri;  // of an element, as it was parsed
  XmlNode* parent = nullptr;
  std::vector<XmlNode*> children;
  Object* attributes = nullptr;
  ArrayObject* childNodes = nullptr;
  bool document = false;  // made by new XML: prints its declarations
  // A document's state behind XML.prototype's accessors.
  Value loaded;  // undefined until loaded or written, then a boolean
  int32_t status = 0;
  std::optional<std::string> xmlDecl, docTypeDecl;
  std::string contentType = "application/x-www-form-urlencoded";
  bool ignoreWhite = false;
};

XmlNode* NodeOf(Object* o) { return dynamic_cast<XmlNode*>(o); }
XmlNode* NodeOf(const Value& v) { return v.IsObject() ? NodeOf(v.object) : nullptr; }

Value NodeValue(XmlNode* n) { return n ? Value::Obj(n) : Value::Null(); }
Value OptionalString(const std::optional<std::string>& s) {
  return s ? Value::Str(*s) : Value::Null();
}

// A name splits at its first colon unless the colon ends it: "tag:" has
// no prefix.
std::size_t PrefixColon(std::string_view name) {
  const auto colon = name.find(':');
  return colon == std::string_view::npos || colon + 1 == name.size() ? std::string_view::npos
                                                                     : colon;
}
std::string_view LocalPart(std::string_view name) {
  const auto colon = PrefixColon(name);
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}
std::string_view PrefixPart(std::string_view name) {
  const auto colon = PrefixColon(name);
  return colon == std::string_view::npos ? std::string_view{} : name.substr(0, colon);
}

// The namespace bound to a prefix ("" for the default, which "xmlns:" also
// declares) at a node, looking up through its ancestors' xmlns attributes.
Value NamespaceFor(Vm& vm, XmlNode* node, std::string_view prefix) {
  const std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (int guard = 0; node && guard < 1 << 20; node = node->parent, ++guard) {
    if (!node->attributes) continue;
    if (Property* p = node->attributes->FindProperty(vm, attr))
      return Value::Str(vm.ToString(p->value));
    if (!prefix.empty()) continue;
    if (Property* p = node->attributes->FindProperty(vm, "xmlns:"))
      return Value::Str(vm.ToString(p->value));
  }
  return Value::Null();
}

// ---- Accessors ---------------------------------------------------------------
// The player keeps a node's fields natively and shows them through getters
// on the prototypes; read from anything else they are undefined.

template <typename F>
Completion OnNode(const CallContext& call, F f) {
  XmlNode* n = NodeOf(call.This());
  return n ? Completion(f(n)) : Completion();
}

Completion GetNodeType(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return Value::Num(n->type); });
}
Completion GetNodeName(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return OptionalString(n->name); });
}
Completion GetNodeValue(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return OptionalString(n->value); });
}
// Undefined leaves the field as it is; null clears it.
void SetOptional(Vm& vm, std::optional<std::string>& field, const Value& v) {
  if (v.IsUndefined()) return;
  field.reset();
  if (!(v.type == Type::Null)) field = vm.ToString(v);
}
Completion SetNodeName(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) SetOptional(vm, n->name, Arg(args, 0));
  return {};
}
Completion SetNodeValue(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) SetOptional(vm, n->value, Arg(args, 0));
  return {};
}
Completion GetAttributes(Vm& vm, const CallContext& call, Args) {
  return OnNode(call, [&](XmlNode* n) { return Value::Obj(n->Attributes(vm)); });
}
Completion SetAttributes(Vm&, const CallContext& call, Args args) {
  XmlNode* n = NodeOf(call.This());
  if (n && Arg(args, 0).IsObject()) n->attributes = Arg(args, 0).object;
  return {};
}
Completion GetChildNodes(Vm& vm, const CallContext& call, Args) {
  return OnNode(call, [&](XmlNode* n) {
    if (!n->childNodes) {
      n->childNodes = vm.NewArray();
      n->SyncChildNodes();
    }
    return Value::Obj(n->childNodes);
  });
}
Completion GetFirstChild(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) {
    return NodeValue(n->children.empty() ? nullptr : n->children.front());
  });
}
Completion GetLastChild(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) {
    return NodeValue(n->children.empty() ? nullptr : n->children.back());
  });
}
Completion GetNextSibling(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return NodeValue(n->Sibling(1)); });
}
Completion GetPreviousSibling(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return NodeValue(n->Sibling(-1)); });
}
Completion GetParentNode(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return NodeValue(n->parent); });
}
Completion GetLocalName(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) {
    return n->name ? Value::Str(std::string(LocalPart(*n->name))) : Value::Null();
  });
}
Completion GetPrefix(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) {
    return n->name ? Value::Str(std::string(PrefixPart(*n->name))) : Value::Null();
  });
}
// A parsed element keeps the namespace it was read in; a made one looks it up.
Completion GetNamespaceUri(Vm& vm, const CallContext& call, Args) {
  return OnNode(call, [&](XmlNode* n) {
    if (!n->name) return Value::Null();
    if (n->namespaceUri) return Value::Str(*n->namespaceUri);
    const Value found = NamespaceFor(vm, n, PrefixPart(*n->name));
    return found.IsNullish() ? Value::Str("") : found;
  });
}

// In the order the player lists them.
constexpr Member kXmlNodeFirstInstance[] = {
    Accessor("firstChild", GetFirstChild, nullptr),
    Accessor("lastChild", GetLastChild, nullptr),
    Accessor("namespaceURI", GetNamespaceUri, nullptr),
    Accessor("localName", GetLocalName, nullptr),
    Accessor("attributes", GetAttributes, SetAttributes),
    Accessor("childNodes", GetChildNodes, nullptr),
    Accessor("nextSibling", GetNextSibling, nullptr),
    Accessor("nodeName", GetNodeName, SetNodeName),
    Accessor("nodeType", GetNodeType, nullptr),
    Accessor("nodeValue", GetNodeValue, SetNodeValue),
    Accessor("parentNode", GetParentNode, nullptr),
    Accessor("prefix", GetPrefix, nullptr),
    Accessor("previousSibling", GetPreviousSibling, nullptr),
};

// A document's own fields; writes convert to the field's type.
Completion GetLoaded(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return n->loaded; });
}
Completion SetLoaded(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) n->loaded = Value::Bool(vm.ToBoolean(Arg(args, 0)));
  return {};
}
Completion GetStatus(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return Value::Num(n->status); });
}
Completion SetStatus(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) n->status = ToInt32(vm.ToNumber(Arg(args, 0)));
  return {};
}
Completion GetXmlDecl(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return n->xmlDecl ? Value::Str(*n->xmlDecl) : Value(); });
}
Completion SetXmlDecl(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) n->xmlDecl = vm.ToString(Arg(args, 0));
  return {};
}
Completion GetDocTypeDecl(Vm&, const CallContext& call, Args) {
  return OnNode(call,
                [](XmlNode* n) { return n->docTypeDecl ? Value::Str(*n->docTypeDecl) : Value(); });
}
Completion SetDocTypeDecl(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) n->docTypeDecl = vm.ToString(Arg(args, 0));
  return {};
}
Completion GetContentType(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return Value::Str(n->contentType); });
}
Completion SetContentType(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) n->contentType = vm.ToString(Arg(args, 0));
  return {};
}
Completion GetIgnoreWhite(Vm&, const CallContext& call, Args) {
  return OnNode(call, [](XmlNode* n) { return Value::Bool(n->ignoreWhite); });
}
Completion SetIgnoreWhite(Vm& vm, const CallContext& call, Args args) {
  if (XmlNode* n = NodeOf(call.This())) n->ignoreWhite = vm.ToBoolean(Arg(args, 0));
  return {};
}

constexpr Member kXmlFirstInstance[] = {
    Accessor("docTypeDecl", GetDocTypeDecl, SetDocTypeDecl),
    Accessor("ignoreWhite", GetIgnoreWhite, SetIgnoreWhite),
    Accessor("contentType", GetContentType, SetContentType),
    Accessor("xmlDecl", GetXmlDecl, SetXmlDecl),
    Accessor("status", GetStatus, SetStatus),
    Accessor("loaded", GetLoaded, SetLoaded),
};

Object* NodeProto(Vm& vm) {
  const Value ctor = vm.Get(vm.global, "XMLNode");
  const Value proto = ctor.IsObject() ? vm.Get(ctor.object, "prototype") : Value{};
  return proto.object;
}

XmlNode* NewNode(Vm& vm, int type, std::optional<std::string> text) {
  XmlNode* n = vm.New<XmlNode>();
  if (Object* proto = NodeProto(vm)) {
    n->proto = proto;
    DeclareOnFirstInstance(vm, proto, kXmlNodeFirstInstance);
  }
  n->type = type;
  if (type == kElement) {
    n->name = std::move(text);
  } else {
    n->value = std::move(text);
  }
  return n;
}

Object* MakeNode(Vm& vm) { return vm.New<XmlNode>(); }
Object* MakeDocument(Vm& vm) {
  XmlNode* n = vm.New<XmlNode>();
  n->document = true;
  return n;
}

// ---- Printing ----------------------------------------------------------------

void AppendOpenTag(Vm& vm, XmlNode* n, std::string& out) {
  out += '<';
  out += *n->name;
  if (n->attributes) {
    // In for-in order, newest first (the parser adds them last to first).
    const std::vector<Property>& props = n->attributes->Properties();
    for (auto it = props.rbegin(); it != props.rend(); ++it) {
      const Property& p = *it;
      if (p.flags & kDontEnum) continue;
      out += ' ';
      out += p.name;
      out += "=\"";
      out += XmlEscape(vm.ToString(p.value));
      out += '"';
    }
  }
  out += n->children.empty() ? " />" : ">";
}

std::string NodeToString(Vm& vm, XmlNode* root) {
  std::string out;
  if (root->document) {
    if (root->xmlDecl) out += *root->xmlDecl;
    if (root->docTypeDecl) out += *root->docTypeDecl;
  }
  // (node, next child to print); an element's tag opens on its first visit.
  std::vector<std::pair<XmlNode*, std::size_t>> stack{{root, 0}};
  const std::size_t cap = vm.limits.bytesPerFrame;
  while (!stack.empty() && out.size() <= cap) {
    auto& [n, next] = stack.back();
    if (n->type != kElement) {
      if (n->value) out += XmlEscape(*n->value);
      stack.pop_back();
      continue;
    }
    const bool named = n->name.has_value();
    if (next == 0 && named) AppendOpenTag(vm, n, out);
    if (next < n->children.size()) {
      XmlNode* child = n->children[next++];
      stack.emplace_back(child, 0);  // `n` and `next` are not used after this
      continue;
    }
    if (named && !n->children.empty()) out += "</" + *n->name + ">";
    stack.pop_back();
  }
  if (!vm.Charge(out.size())) return {};
  return out;
}

// ---- Parsing -------------------------------------------------------------------

class TreeBuilder : public XmlSink {
 public:
  TreeBuilder(Vm& vm, XmlNode* doc, Object* idMap) : vm_(vm), idMap_(idMap), open_{doc} {}

  void OpenElement(std::string name, XmlAttributes attributes) override {
    vm_.Charge(name.size());
    XmlNode* n = NewNode(vm_, kElement, std::move(name));
    for (auto it = attributes.rbegin(); it != attributes.rend(); ++it) {
      auto& [k, v] = *it;
      vm_.Charge(k.size() + v.size());
      if (idMap_ && k == "id") idMap_->SetOwn(vm_, v, Value::Obj(n));
      n->Attributes(vm_)->SetOwn(vm_, k, Value::Str(std::move(v)));
    }
    Add(n);
    const Value ns = NamespaceFor(vm_, n, PrefixPart(*n->name));
    n->namespaceUri = ns.IsNullish() ? std::string() : vm_.ToString(ns);
    open_.push_back(n);
  }
  void CloseElement() override {
    if (open_.size() > 1) open_.pop_back();
  }
  void Text(std::string text) override {
    vm_.Charge(text.size());
    Add(NewNode(vm_, kText, std::move(text)));
  }
  void XmlDecl(std::string text) override { xmlDecl += text; }
  void DocType(std::string text) override { docType = std::move(text); }

  std::string xmlDecl;
  std::optional<std::string> docType;

 private:
  void Add(XmlNode* n) {
    XmlNode* parent = open_.back();
    n->parent = parent;
    parent->children.push_back(n);
  }
  Vm& vm_;
  Object* idMap_;
  std::vector<XmlNode*> open_;
};

void ClearChildren(XmlNode* n) {
  for (XmlNode* c : n->children) c->parent = nullptr;
  n->children.clear();
}

void Parse(Vm& vm, XmlNode* doc, const std::string& text) {
  ClearChildren(doc);
  const Value idMap = vm.version >= 8 ? vm.Get(doc, "idMap") : Value{};
  TreeBuilder builder(vm, doc, idMap.IsObject() ? idMap.object : nullptr);
  XmlParseLimits limits;
  limits.maxNodes = std::min(limits.maxNodes, vm.limits.maxObjects / 4);
  // Read as a property: a value a script set on the prototype counts.
  const bool ignoreWhite = vm.ToBoolean(vm.Get(doc, "ignoreWhite"));
  doc->status = ParseXml(text, ignoreWhite, builder, limits);
  doc->SyncChildNodes();
  // Every parsed element's childNodes is made on demand, so only the root's
  // array needs refreshing.
  if (!builder.xmlDecl.empty()) doc->xmlDecl = builder.xmlDecl;
  if (builder.docType) doc->docTypeDecl = *builder.docType;
}

// ---- Methods ---------------------------------------------------------------------

Completion NodeCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  if (!n) return {};
  DeclareOnFirstInstance(vm, NodeProto(vm), kXmlNodeFirstInstance);
  n->type = ClampToInt(vm.ToNumber(Arg(args, 0)));
  const Value text = Arg(args, 1);
  std::optional<std::string> s;
  if (!text.IsNullish()) s = vm.ToString(text);
  if (n->type == kElement) {
    n->name = std::move(s);
  } else {
    n->value = std::move(s);
  }
  return {};
}

Completion XmlCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  if (!n) return {};
  // The first document made gives the class its accessors, which keep the
  // state on each document rather than as its own properties; a value a
  // script already put on the prototype under one of their names stays.
  const Value xml = vm.Get(vm.global, "XML");
  if (Object* proto = xml.IsObject() ? PrototypeOf(vm, xml.object) : nullptr) {
    for (const Member& m : kXmlFirstInstance) {
      if (!proto->FindProperty(vm, m.name)) Declare(vm, proto, Members(&m, 1));
    }
  }
  n->document = true;
  n->type = kElement;
  if (vm.version >= 8) n->Define(vm, "idMap", Value::Obj(vm.NewObject()), kDontEnum);
  if (!args.empty() && !args[0].IsNullish()) Parse(vm, n, vm.ToString(args[0]));
  return {};
}

Completion AppendChild(Vm&, const CallContext& call, Args args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  XmlNode* child = NodeOf(Arg(args, 0));
  // A node already among the children stays where it is.
  if (!n || !child || child->parent == n || child->IsSelfOrAncestorOf(n)) return {};
  n->Insert(child, n->children.size());
  return {};
}

Completion InsertBefore(Vm&, const CallContext& call, Args args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  XmlNode* child = NodeOf(Arg(args, 0));
  XmlNode* before = NodeOf(Arg(args, 1));
  if (!n || !child || !before || child == before || child->IsSelfOrAncestorOf(n)) return {};
  if (before->parent != n || child->parent == n) return {};
  child->Detach();
  const auto it = std::find(n->children.begin(), n->children.end(), before);
  n->Insert(child, static_cast<std::size_t>(it - n->children.begin()));
  return {};
}

Completion RemoveNode(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (XmlNode* n = NodeOf(self)) n->Detach();
  return {};
}

Completion HasChildNodes(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  return Value::Bool(n && !n->children.empty());
}

XmlNode* CopyNode(Vm& vm, XmlNode* src) {
  XmlNode* copy = vm.New<XmlNode>();
  copy->proto = src->proto;
  copy->type = src->type;
  copy->name = src->name;
  copy->value = src->value;
  copy->document = src->document;
  copy->namespaceUri = src->namespaceUri;
  if (src->attributes) {
    for (const Property& p : src->attributes->Properties())
      copy->Attributes(vm)->Define(vm, p.name, p.value, p.flags);
  }
  return copy;
}

Completion CloneNode(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  if (!n) return {};
  XmlNode* root = CopyNode(vm, n);
  if (!vm.ToBoolean(Arg(args, 0))) return Value::Obj(root);
  std::vector<std::pair<XmlNode*, XmlNode*>> work{{n, root}};  // (source, copy)
  while (!work.empty() && !vm.Aborted()) {
    auto [src, dst] = work.back();
    work.pop_back();
    for (XmlNode* c : src->children) {
      XmlNode* copy = CopyNode(vm, c);
      copy->parent = dst;
      dst->children.push_back(copy);
      work.emplace_back(c, copy);
    }
  }
  return Value::Obj(root);
}

Completion NodeToStringFn(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  if (!n) return Value::Str("");
  return Value::Str(NodeToString(vm, n));
}

Completion GetNamespaceForPrefix(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  XmlNode* n = NodeOf(self);
  if (!n || args.empty()) return {};
  return NamespaceFor(vm, n, vm.ToString(args[0]));
}

Completion GetPrefixForNamespace(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const std::string uri = vm.ToString(Arg(args, 0));
  for (XmlNode* n = NodeOf(self); n; n = n->parent) {
    if (!n->attributes) continue;
    for (const Property& p : n->attributes->Properties()) {
      if (vm.ToString(p.value) != uri) continue;
      if (p.name == "xmlns") return Value::Str("");
      if (p.name.rfind("xmlns:", 0) == 0) return Value::Str(p.name.substr(6));
    }
  }
  return Value::Null();
}

Completion CreateElement(Vm& vm, const CallContext&, Args args) {
  return Value::Obj(NewNode(vm, kElement, vm.ToString(Arg(args, 0))));
}

Completion CreateTextNode(Vm& vm, const CallContext&, Args args) {
  return Value::Obj(NewNode(vm, kText, vm.ToString(Arg(args, 0))));
}

Completion ParseXmlFn(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (XmlNode* n = NodeOf(self)) Parse(vm, n, vm.ToString(Arg(args, 0)));
  return {};
}

// The default onData: parse what came, then report success or failure.
Completion XmlOnData(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  const Value src = Arg(args, 0);
  if (src.IsUndefined()) {
    const Value arg[1] = {Value::Bool(false)};
    vm.CallMethod(self, "onLoad", arg);
    return {};
  }
  if (XmlNode* n = NodeOf(self)) Parse(vm, n, vm.ToString(src));
  vm.Set(self, "loaded", Value::Bool(true));
  const Value arg[1] = {Value::Bool(true)};
  vm.CallMethod(self, "onLoad", arg);
  return {};
}

Completion Nothing(Vm&, const CallContext&, Args) { return {}; }

constexpr Member kXmlNodeProto[] = {
    Method("cloneNode", CloneNode),
    Method("removeNode", RemoveNode),
    Method("insertBefore", InsertBefore),
    Method("appendChild", AppendChild),
    Method("hasChildNodes", HasChildNodes),
    Method("toString", NodeToStringFn),
    Method("getNamespaceForPrefix", GetNamespaceForPrefix),
    Method("getPrefixForNamespace", GetPrefixForNamespace),
};

// In the order the player defines them (it lists them newest first).
constexpr Member kXmlProto[] = {
    Method("createElement", CreateElement),
    Method("createTextNode", CreateTextNode),
    Method("parseXML", ParseXmlFn),
    Method("load", LoadFromUrl),
    Method("send", SendToUrl),
    Method("sendAndLoad", SendAndLoadUrl),
    Method("onLoad", Nothing),
    Method("onData", XmlOnData),
    Method("getBytesLoaded", LoadedBytes),
    Method("getBytesTotal", TotalBytes),
    Method("addRequestHeader", AddRequestHeader),
};

// XML.prototype inherits from XMLNode.prototype.
void FinishXml(Vm& vm, Object* xml) {
  Value node;
  if (!vm.global->GetOwn(vm, "XMLNode", node) || !node.IsObject()) return;
  Object* nodeProto = PrototypeOf(vm, node.object);
  PrototypeOf(vm, xml)->proto = nodeProto;
  // The player makes XML's prototype as a node, the class's first.
  DeclareOnFirstInstance(vm, nodeProto, kXmlNodeFirstInstance);
}

}  // namespace

extern const ClassDecl kXmlNodeClass{
    .name = "XMLNode", .ctor = NodeCtor, .proto = kXmlNodeProto, .construct = MakeNode};
extern const ClassDecl kXmlClass{.name = "XML",
                                 .ctor = XmlCtor,
                                 .proto = kXmlProto,
                                 .construct = MakeDocument,
                                 .finish = FinishXml};

}  // namespace orrivel::swf::avm1
