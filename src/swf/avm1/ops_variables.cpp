// Variables, members and the scope chain.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/interpreter_internal.h"

namespace orrivel::swf::avm1 {

bool HasProperty(Vm& vm, Object* o, std::string_view name) {
  int guard = 0;
  for (; o && guard < 256; o = o->proto, ++guard) {
    if (o->HasOwn(vm, name)) return true;
  }
  return false;
}

namespace {

// The names every scope chain answers before its objects; false when `name`
// is none of them.
bool LookupSpecialName(Activation& a, std::string_view name, Value& out) {
  Vm& vm = a.vm;
  if (vm.NamesEqual(name, "this")) {
    // `this` is a variable like others: one a script assigned (on the
    // timeline, a `with` object, or a call's locals) is found first, and a
    // call's own `this` sits in its locals.
    for (std::size_t i = a.scope.size(); i-- > 0;) {
      Object* o = a.scope[i];
      if (!o || o == vm.global) continue;
      if (o->HasOwn(vm, name)) {
        out = vm.Get(o, name);
        return true;
      }
      if (o == a.locals) break;
    }
    // A suppressed `this` falls through to the timeline (nothing before SWF 6).
    if (!a.suppressThis) {
      out = a.self;
    } else {
      out = vm.version >= 6 ? Value::Obj(a.base) : Value{};
    }
    return true;
  }
  // A variable a script stored under _root, _global or a level's name
  // hides what the name otherwise means.
  if (name.starts_with('_') &&
      (vm.NamesEqual(name, "_global") || vm.NamesEqual(name, "_root") || vm.LevelClip(name))) {
    for (std::size_t i = a.scope.size(); i-- > 0;) {
      Object* o = a.scope[i];
      if (!o || o == vm.global) continue;
      if (const Property* p = o->FindProperty(vm, name); p && !p->getter) {
        out = p->value;
        return true;
      }
    }
  }
  if (vm.version >= 6 && vm.NamesEqual(name, "_global")) {
    out = Value::Obj(vm.global);
    return true;
  }
  if (vm.NamesEqual(name, "_root")) {
    // The innermost clip in scope (a `with` clip, else the code's own) decides.
    ClipObject* from = a.base;
    for (std::size_t i = a.scope.size(); i-- > 0;) {
      if (a.scope[i] && a.scope[i]->IsClip()) {
        from = static_cast<ClipObject*>(a.scope[i]);
        break;
      }
    }
    out = Value::Obj(vm.RootOf(from));
    return true;
  }
  if (ClipObject* level = vm.LevelClip(name)) {
    out = Value::Obj(level);
    return true;
  }
  return false;
}

}  // namespace

// A plain name through the scope chain, innermost first.
bool LookupName(Activation& a, std::string_view name, Value& out) {
  Vm& vm = a.vm;
  // SWF 4 knows no globals and no special names: `this`, `_root` and the
  // like are plain variables of the timeline.
  if (a.version < 5) {
    for (std::size_t i = a.scope.size(); i-- > 0;) {
      Object* o = a.scope[i];
      if (o && o != vm.global && HasProperty(vm, o, name)) {
        out = vm.Get(o, name);
        return true;
      }
    }
    return false;
  }
  if (LookupSpecialName(a, name, out)) return true;
  // Every object with a prototype has __proto__, though it is no property.
  const bool proto = vm.NamesEqual(name, "__proto__");
  for (std::size_t i = a.scope.size(); i-- > 0;) {
    Object* o = a.scope[i];
    if (o && ((proto && o->proto) || HasProperty(vm, o, name))) {
      out = vm.Get(o, name);
      return true;
    }
  }
  return false;
}

// Splits "a.b.c" (dot syntax inside a variable name) for path lookups.
bool HasPathChars(std::string_view name) {
  return name.find_first_of(":/.") != std::string_view::npos && name != "..";
}

namespace {

// Where a variable path splits into its owner's path and the variable's
// name: the last colon or dot ("a/..:b" and "a/...b" both name b of a's
// parent). Version 4 knows no dot syntax: only a colon splits.
std::size_t VariableCut(std::string_view name, int version) {
  return version < 5 ? name.rfind(':') : name.find_last_of(".:");
}

// The object a variable path's owner part names. Its first step may be a
// local or a with-object's member (innermost first); otherwise the path
// starts at the target clip, where children come before variables.
// The object a variable path's owner part names, tried in each scope from
// the innermost. A read goes on past an owner lacking the member it wants
// (`accept` says no) and, when none has it, takes the first owner found.
template <typename Accept>
Object* VariableOwner(Activation& a, std::string_view path, Accept accept) {
  Vm& vm = a.vm;
  const std::string_view first = path.substr(0, path.find_first_of("/.:"));
  Object* firstFound = nullptr;
  const auto offer = [&](Object* r) {
    if (!r) return false;
    if (!firstFound) firstFound = r;
    return accept(r);
  };
  bool clipTried = false;
  for (std::size_t i = a.scope.size(); i-- > 0;) {
    Object* o = a.scope[i];
    if (!o) continue;
    if (o->IsClip()) {
      if (clipTried) continue;
      clipTried = true;
      if (Object* r = ResolvePath(vm, a.target, path, true); offer(r)) return r;
      continue;
    }
    if (first.empty() || !HasProperty(vm, o, first)) continue;
    if (Object* r = ResolvePath(vm, o, path, true); offer(r)) return r;
  }
  if (!clipTried) offer(ResolvePath(vm, a.target, path, true));
  return firstFound;
}

Object* VariableOwner(Activation& a, std::string_view path) {
  return VariableOwner(a, path, [](Object*) { return true; });
}

Value GetPathVariable(Activation& a, const std::string& name) {
  Vm& vm = a.vm;
  const std::size_t cut = VariableCut(name, a.version);
  if (cut == std::string::npos) {
    // A slash path that names no clip may still be a variable's name (a
    // slash path without a colon sets one).
    if (ClipObject* clip = ResolveTarget(vm, a.target, name)) return Value::Obj(clip);
    Value out;
    return LookupName(a, name, out) ? out : Value{};
  }
  // A name starting with a single dot names nothing, nor does an empty
  // owner or one ending in an empty step (":x", "a/::x", "a/:::x"; "a::x"
  // is x of a).
  if (name.starts_with('.') && !name.starts_with("..")) return {};
  if (cut == 0 ||
      (name[cut - 1] == ':' && (cut == 1 || name[cut - 2] == ':' || name[cut - 2] == '/')))
    return {};
  const std::string_view member = std::string_view(name).substr(cut + 1);
  Object* owner = VariableOwner(a, std::string_view(name).substr(0, cut),
                                [&](Object* o) { return HasProperty(vm, o, member); });
  // SWF 4 paths name variables only: a clip's properties are read with GetProperty.
  if (owner && a.version < 5 && owner->IsClip() && ClipPropertyIndex(member) >= 0) return {};
  return owner ? vm.Get(owner, member) : Value{};
}

// "path.name" or "path:name": sets the member of the object the path names;
// false when the name has no path.
bool SetPathVariable(Activation& a, const std::string& name, const Value& v) {
  const std::size_t cut = VariableCut(name, a.version);
  if (cut == std::string::npos) return false;
  Object* owner = VariableOwner(a, std::string_view(name).substr(0, cut));
  if (owner) a.vm.Set(owner, std::string_view(name).substr(cut + 1), v);
  return true;
}

}  // namespace

// `this` of a function called by name: the object a `with` block put in
// scope when the name was found on it (with (mc) lineTo(...) draws on mc),
// else the clip the code belongs to.
Object* CallFunctionThis(Activation& a, const std::string& name) {
  if (HasPathChars(name)) {
    // A path's function runs on the object the path names.
    const std::size_t cut = VariableCut(name, a.version);
    if (cut == std::string::npos) return a.base;
    const std::string_view member = std::string_view(name).substr(cut + 1);
    Object* owner = VariableOwner(a, std::string_view(name).substr(0, cut),
                                  [&](Object* o) { return HasProperty(a.vm, o, member); });
    return owner ? owner : a.base;
  }
  for (std::size_t i = a.scope.size(); i-- > 0;) {
    Object* o = a.scope[i];
    if (!o || !HasProperty(a.vm, o, name)) continue;
    // A local function (or one of an enclosing call) runs on that call's
    // object of locals.
    if (i + a.withs >= a.scope.size() || o->IsActivation()) return o;
    if (o->IsClip() && o != a.target && static_cast<int>(i) != a.clipSlot) return o;
    // Under a tell-target, a function found on the target runs on it.
    if (static_cast<int>(i) == a.clipSlot && a.target) return a.target;
    return a.base;
  }
  return a.base;
}

Value GetVariable(Activation& a, const std::string& name) {
  if (HasPathChars(name) && !name.empty()) return GetPathVariable(a, name);
  Value out;
  if (LookupName(a, name, out)) return out;
  return {};
}

void SetVariable(Activation& a, const std::string& name, const Value& v) {
  Vm& vm = a.vm;
  if (HasPathChars(name) && SetPathVariable(a, name, v)) return;
  const std::size_t firstWith = a.scope.size() - a.withs;
  // A call's own `this` is one of its locals.
  const bool callThis = a.locals && !a.suppressThis && vm.NamesEqual(name, "this");
  for (std::size_t i = a.scope.size(); i-- > 1;) {
    Object* o = a.scope[i];
    // A clip put in scope by `with` takes its variables and properties, not
    // names of its children.
    // Another `with` object takes a name it inherits too (a node's nodeValue).
    const bool with = i >= firstWith && o;
    const bool has = with && o->IsClip()
                         ? o->Object::HasOwn(vm, name) || ClipPropertyIndex(name) >= 0
                     : with ? HasProperty(vm, o, name)
                            : o && (o->HasOwn(vm, name) || (callThis && o == a.locals));
    if (has) {
      vm.Set(o, name, v);
      return;
    }
  }
  // A new variable (not declared with var) belongs to the timeline, even
  // inside a function: the innermost clip of the scope chain below any
  // `with` blocks.
  for (std::size_t i = std::min(firstWith, a.scope.size()); i-- > 1;) {
    if (a.scope[i] && a.scope[i]->IsClip()) {
      vm.Set(a.scope[i], name, v);
      return;
    }
  }
  vm.Set(a.target ? a.target : a.locals, name, v);
}

ClipObject* TimelineTarget(Activation& a) { return a.target ? a.target : a.vm.RootClip(); }

namespace {

Flow GetVariableOp(Activation& a, const Action&) {
  const std::string name = a.vm.ToString(a.Pop());
  Value v = GetVariable(a, name);
  // Version 4 has no object values: a name or path that reaches a clip
  // reads as undefined there.
  if (a.version < 5 && v.IsObject() && v.object->IsClip()) v = {};
  a.Push(std::move(v));
  return Flow::Normal;
}

Flow SetVariableOp(Activation& a, const Action&) {
  Value v = a.Pop();
  SetVariable(a, a.vm.ToString(a.Pop()), v);
  return Flow::Normal;
}

// Where `var` puts a variable: a call's locals; outside calls the timeline,
// or inside `with` a with-object that holds the name itself.
Object* VarHolder(Activation& a, std::string_view name) {
  if (a.locals) return a.locals;
  const std::size_t firstWith = a.scope.size() - std::min<std::size_t>(a.withs, a.scope.size());
  for (std::size_t i = a.scope.size(); i-- > firstWith;) {
    if (a.scope[i] && a.scope[i]->HasOwn(a.vm, name)) return a.scope[i];
  }
  return TimelineTarget(a);
}

Flow DefineLocal(Activation& a, const Action&) {
  Value v = a.Pop();
  const std::string name = a.vm.ToString(a.Pop());
  // Outside functions a variable path names where the variable goes;
  // inside, the name is kept as it is.
  if (!a.locals && HasPathChars(name)) {
    SetVariable(a, name, v);
    return Flow::Normal;
  }
  a.vm.Set(VarHolder(a, name), name, v);
  return Flow::Normal;
}

Flow DefineLocal2(Activation& a, const Action&) {
  Vm& vm = a.vm;
  const std::string name = vm.ToString(a.Pop());
  if (!a.locals && HasPathChars(name)) {
    if (GetVariable(a, name).IsUndefined()) SetVariable(a, name, Value{});
    return Flow::Normal;
  }
  // A name the holder already has, even through its prototypes, is left be.
  Object* l = VarHolder(a, name);
  if (l && !HasProperty(vm, l, name)) vm.Set(l, name, Value{});
  return Flow::Normal;
}

// Delete2: a name through the scope chain, or a dot (or colon) path's last
// member of the object the rest names.
bool DeleteName(Activation& a, const std::string& name) {
  Vm& vm = a.vm;
  if (const std::size_t dot = name.find_last_of(".:"); dot != std::string::npos && dot > 0 &&
                                                       HasPathChars(name) &&
                                                       name.find('/') == std::string::npos) {
    std::string ownerPath = name.substr(0, dot);
    std::replace(ownerPath.begin(), ownerPath.end(), ':', '.');
    const Value owner = GetVariable(a, ownerPath);
    // The player logs a primitive owner, which it no longer boxes.
    const Type t = owner.type;
    if ((t == Type::String || t == Type::Number || t == Type::Boolean) && vm.traceSink)
      vm.traceSink(
          "Parameters of primitive types are no longer coerced into the required type - "
          "Object.");
    return owner.IsObject() && owner.object->DeleteOwn(vm, name.substr(dot + 1));
  }
  for (std::size_t i = a.scope.size(); i-- > 0;) {
    if (a.scope[i] && a.scope[i]->HasOwn(vm, name)) {
      // A function's local variables stay; a protected variable hides the
      // ones further out.
      return a.scope[i] != a.locals && a.scope[i]->DeleteOwn(vm, name);
    }
  }
  return false;
}

Flow Delete(Activation& a, const Action&) {
  const std::string name = a.vm.ToString(a.Pop());
  // With no object under the name, SWF 7 deletes nothing; older versions
  // delete the name as a variable.
  if (!a.stack.empty() || a.version >= 7) {
    const Value obj = a.Pop();
    a.Push(Value::Bool(obj.IsObject() && obj.object->DeleteOwn(a.vm, name)));
    return Flow::Normal;
  }
  a.Push(Value::Bool(DeleteName(a, name)));
  return Flow::Normal;
}

Flow Delete2(Activation& a, const Action&) {
  const std::string name = a.vm.ToString(a.Pop());
  a.Push(Value::Bool(DeleteName(a, name)));
  return Flow::Normal;
}

Flow GetMember(Activation& a, const Action&) {
  Vm& vm = a.vm;
  const Value name = a.Pop();
  const Value obj = a.Pop();
  const std::string key = vm.ToString(name);
  // super reads from whatever its home's prototype is now, and has no
  // prototype of its own: its __proto__ is read from there too.
  auto* sup = obj.IsObject() ? dynamic_cast<SuperObject*>(obj.object) : nullptr;
  if (sup) sup->proto = sup->home->proto;
  if (sup && sup->proto && vm.NamesEqual(key, "__proto__")) {
    a.Push(vm.Get(sup->proto, key));
    return Flow::Normal;
  }
  a.Push(vm.GetMember(obj, key));
  return Flow::Normal;
}

Flow SetMember(Activation& a, const Action&) {
  const Value v = a.Pop();
  const std::string name = a.vm.ToString(a.Pop());
  a.vm.SetMember(a.Pop(), name, v);
  return Flow::Normal;
}

void PushKeys(Activation& a, const Value& v) {
  Vm& vm = a.vm;
  a.Push({});  // the end marker
  if (!v.IsObject()) return;
  std::vector<Object*> chain;
  int guard = 0;
  for (Object* o = v.object; o && guard < 256; o = o->proto, ++guard) {
    chain.push_back(o);
    if (ProtoHidden(o, vm.version)) break;
  }
  std::vector<std::string> keys;
  for (Object* o : chain) {
    std::vector<std::string> own;
    o->OwnKeys(vm, own);
    for (std::string& k : own) {
      if (std::none_of(keys.begin(), keys.end(),
                       [&](const std::string& e) { return vm.NamesEqual(e, k); }))
        keys.push_back(std::move(k));
    }
  }
  for (const std::string& k : keys) a.Push(Value::Str(k));
}

Flow Enumerate(Activation& a, const Action&) {
  const std::string name = a.vm.ToString(a.Pop());
  PushKeys(a, GetVariable(a, name));
  return Flow::Normal;
}

Flow Enumerate2(Activation& a, const Action&) {
  PushKeys(a, a.Pop());
  return Flow::Normal;
}

}  // namespace

void AddVariableOps(OpTable& t) {
  t.Set(Op::GetVariable, GetVariableOp);
  t.Set(Op::SetVariable, SetVariableOp);
  t.Set(Op::DefineLocal, DefineLocal);
  t.Set(Op::DefineLocal2, DefineLocal2);
  t.Set(Op::Delete, Delete);
  t.Set(Op::Delete2, Delete2);
  t.Set(Op::GetMember, GetMember);
  t.Set(Op::SetMember, SetMember);
  t.Set(Op::Enumerate, Enumerate);
  t.Set(Op::Enumerate2, Enumerate2);
}

}  // namespace orrivel::swf::avm1
