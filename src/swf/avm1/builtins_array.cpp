// Array and its methods. Methods work on any object with a length, as the
// player's do; arrays take a fast path through their element vector.
#include <algorithm>
#include <cmath>
#include <functional>

#include "swf/avm1/vm.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/text_units.h"

namespace orrivel::swf::avm1 {

namespace {

enum SortFlags {
  kCaseInsensitive = 1,
  kDescending = 2,
  kUniqueSort = 4,
  kReturnIndexedArray = 8,
  kNumeric = 16
};

std::vector<Value> Elements(Vm& vm, Object* self) {
  if (auto* a = dynamic_cast<ArrayObject*>(self)) return a->elements;
  std::vector<Value> out;
  if (!self) return out;
  // Another object's elements are its own stored values: neither its
  // prototypes nor its getters are asked. Its length is its own too (a
  // getter runs), never inherited nor asked of __resolve.
  const double n = self->FindProperty(vm, "length") ? vm.ToNumber(vm.Get(self, "length")) : 0;
  for (int i = 0; i < n && i < 1 << 20; ++i) {
    const Property* p = self->FindProperty(vm, std::to_string(i));
    out.push_back(p ? p->value : Value{});
  }
  return out;
}

// Deletes every element of a and sets its length to n, ready to be written
// again.
void Rewrite(Vm& vm, ArrayObject* a, std::size_t n) {
  for (std::size_t i = 0; i < a->elements.size(); ++i) a->EraseAt(i);
  if (n < a->elements.size()) {
    a->SetLength(vm, static_cast<int32_t>(n));  // protected elements stay past the end
  } else {
    a->Resize(vm, static_cast<double>(n));
  }
  a->lengthApart = false;
}

// A value moved from one index to another: a hole so moved is an element
// holding undefined from then on.
Value Moved(const Value& v) { return ArrayObject::IsHole(v) ? Value{} : v; }

// Another object's element moved to index i: deleted and written again, so
// it is the newest of its members.
void Replace(Vm& vm, Object* self, std::size_t i, const Value& v) {
  const std::string name = std::to_string(i);
  self->DeleteOwn(vm, name);
  vm.Set(self, name, v);
}

void Store(Vm& vm, Object* self, std::vector<Value> elems) {
  if (auto* a = dynamic_cast<ArrayObject*>(self)) {
    // Every element is deleted and written again from the first: the
    // elements are newest of all, in index order, and lose their flags,
    // but for the protected ones.
    Rewrite(vm, a, elems.size());
    for (std::size_t i = 0; i < elems.size(); ++i) {
      if (!ArrayObject::IsHole(elems[i])) a->PutAt(vm, i, elems[i]);
    }
    return;
  }
  if (!self) return;
  // Another object has every element written in place and its length set;
  // members past the new end stay.
  for (std::size_t i = 0; i < elems.size(); ++i) vm.Set(self, std::to_string(i), elems[i]);
  vm.Set(self, "length", Value::Num(static_cast<double>(elems.size())));
}

Object* MakeArray(Vm& vm) { return vm.NewArray(); }

Completion ArrayCtor(Vm& vm, const CallContext& call, Args args) {
  // Called as a function, it makes a new array whatever `this` is.
  Object* const self = call.This();
  auto* a = call.isNew ? dynamic_cast<ArrayObject*>(self) : nullptr;
  if (!a) a = vm.NewArray();
  if (args.size() == 1 && args[0].type == Type::Number) {
    a->SetLength(vm, ToInt32(args[0].number));
  } else {
    a->elements.assign(args.begin(), args.end());
    a->Sync();
  }
  return Value::Obj(a);
}

// A real array grows and shrinks in place: a queue or a particle list built
// with push and pop must not copy itself on every call.
Completion Push(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* a = dynamic_cast<ArrayObject*>(self);
  std::vector<Value> copy = a ? std::vector<Value>{} : Elements(vm, self);
  std::vector<Value>& e = a ? a->elements : copy;
  if (!vm.Charge(args.size() * sizeof(Value))) return {};
  for (const Value& v : args) {
    if (e.size() < vm.limits.maxElements) e.push_back(v);
  }
  if (a) {
    a->lengthApart = false;
    a->Sync();
  }
  const double n = static_cast<double>(e.size());
  if (!a) Store(vm, self, std::move(copy));
  return Value::Num(n);
}

Completion Pop(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (auto* a = dynamic_cast<ArrayObject*>(self)) {
    a->lengthApart = false;
    if (a->elements.empty()) return {};
    Value v = std::move(a->elements.back());
    a->elements.pop_back();
    a->Sync();
    return v;
  }
  // Another object loses its last element; its length is left as it was.
  std::vector<Value> e = Elements(vm, self);
  if (e.empty()) return {};
  self->DeleteOwn(vm, std::to_string(e.size() - 1));
  return e.back();
}

Completion Shift(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  std::vector<Value> e = Elements(vm, self);
  if (e.empty()) return {};
  if (auto* a = dynamic_cast<ArrayObject*>(self)) {
    // All deleted, then written again one place down from the first.
    Rewrite(vm, a, e.size() - 1);
    for (std::size_t i = 1; i < e.size(); ++i) a->PutAt(vm, i - 1, Moved(e[i]));
    return Moved(e[0]);
  }
  // Another object has each element moved one place down from the first;
  // the last one and the length are left as they were.
  for (std::size_t i = 1; i < e.size(); ++i) Replace(vm, self, i - 1, e[i]);
  return e.front();
}

Completion Unshift(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  std::vector<Value> e = Elements(vm, self);
  if (auto* a = dynamic_cast<ArrayObject*>(self)) {
    // All deleted, the old ones written again moved up from the last, then
    // the new ones from the first.
    const std::size_t n = e.size(), k = args.size();
    if (!vm.Charge(k * sizeof(Value))) return {};
    Rewrite(vm, a, n + k);
    for (std::size_t i = n; i-- > 0;) a->PutAt(vm, i + k, Moved(e[i]));
    for (std::size_t j = 0; j < k; ++j) a->PutAt(vm, j, args[j]);
    return Value::Num(a->Length());
  }
  // Another object has its elements moved up from the last, then the new
  // ones written from the first; its length is left as it was.
  if (!self) return {};
  for (std::size_t i = e.size(); i-- > 0;) Replace(vm, self, i + args.size(), e[i]);
  for (std::size_t j = 0; j < args.size(); ++j) Replace(vm, self, j, args[j]);
  return Value::Num(static_cast<double>(e.size() + args.size()));
}

Completion Join(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const std::string sep = args.empty() || args[0].IsUndefined() ? "," : vm.ToString(args[0]);
  std::string out;
  const std::vector<Value> e = Elements(vm, self);
  for (std::size_t i = 0; i < e.size(); ++i) {
    if (i) out += sep;
    out += vm.ToString(e[i]);
    if (out.size() > vm.limits.maxElements) break;
  }
  if (!vm.Charge(out.size())) return {};
  return Value::Str(out);
}

Completion ToStringMethod(Vm& vm, const CallContext& call, Args) { return Join(vm, call, {}); }

Completion Reverse(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  std::vector<Value> e = Elements(vm, self);
  if (auto* a = dynamic_cast<ArrayObject*>(self)) {
    // Pair by pair from the ends: both deleted, then the lower written
    // before the upper. The middle one stays as it was.
    for (std::size_t i = 0, j = e.size(); i + 1 < j; ++i) {
      --j;
      a->EraseAt(i);
      a->EraseAt(j);
      a->PutAt(vm, i, Moved(e[j]));
      a->PutAt(vm, j, Moved(e[i]));
    }
    return Value::Obj(self);
  }
  if (!self) return {};
  for (std::size_t i = 0, j = e.size(); i + 1 < j; ++i) {
    --j;
    Replace(vm, self, i, e[j]);
    Replace(vm, self, j, e[i]);
  }
  return Value::Obj(self);
}

Completion Concat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  std::vector<Value> e = Elements(vm, self);
  for (const Value& v : args) {
    if (auto* a = v.IsObject() ? dynamic_cast<ArrayObject*>(v.object) : nullptr) {
      e.insert(e.end(), a->elements.begin(), a->elements.end());
    } else {
      e.push_back(v);
    }
    if (e.size() > vm.limits.maxElements) break;
  }
  // Every index of the new array holds an element: holes are copied as
  // undefined.
  for (Value& v : e) v = Moved(v);
  if (!vm.Charge(e.size() * sizeof(Value))) return {};
  return Value::Obj(vm.NewArray(std::move(e)));
}

std::size_t RelIndex(Vm& vm, const Value& v, std::size_t size, std::size_t fallback) {
  if (v.IsUndefined()) return fallback;
  double n = vm.ToNumber(v);
  if (std::isnan(n)) n = 0;
  if (n < 0) n = std::max(0.0, static_cast<double>(size) + n);
  return static_cast<std::size_t>(std::min(n, static_cast<double>(size)));
}

Completion Slice(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const std::vector<Value> e = Elements(vm, self);
  const std::size_t from = RelIndex(vm, Arg(args, 0), e.size(), 0);
  const std::size_t to = RelIndex(vm, Arg(args, 1), e.size(), e.size());
  std::vector<Value> out;
  if (from < to) out.assign(e.begin() + static_cast<long>(from), e.begin() + static_cast<long>(to));
  return Value::Obj(vm.NewArray(std::move(out)));
}

Completion Splice(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  // An undefined start or count, or a negative count, changes nothing and
  // gives undefined.
  if (args.empty() || args[0].IsUndefined()) return {};
  if (args.size() > 1 && args[1].IsUndefined()) return {};
  std::vector<Value> e = Elements(vm, self);
  const std::size_t from = RelIndex(vm, args[0], e.size(), 0);
  std::size_t count = e.size() - from;
  if (args.size() > 1) {
    const double c = vm.ToNumber(args[1]);
    if (c < 0) return {};
    count = c > 0 ? std::min(count, static_cast<std::size_t>(std::min(c, 1e9))) : 0;
  }
  std::vector<Value> removed(e.begin() + static_cast<long>(from),
                             e.begin() + static_cast<long>(from + count));
  e.erase(e.begin() + static_cast<long>(from), e.begin() + static_cast<long>(from + count));
  if (args.size() > 2) e.insert(e.begin() + static_cast<long>(from), args.begin() + 2, args.end());
  // Every index is written again, a hole as undefined, and so are the
  // elements taken out.
  for (Value& v : e) v = Moved(v);
  for (Value& v : removed) v = Moved(v);
  Store(vm, self, std::move(e));
  return Value::Obj(vm.NewArray(std::move(removed)));
}

std::string CaseFolded(Vm& vm, std::string s) {
  if (vm.version < 6) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::u16string u = ToUnits(s);
  for (char16_t& c : u) c = LowerUnit(c);
  return FromUnits(u);
}

// NUMERIC compares two numbers by value; any other pair, even with the
// flag, compares as text.
int Compare(Vm& vm, const Value& a, const Value& b, int flags) {
  if ((flags & kNumeric) && a.type == Type::Number && b.type == Type::Number) {
    if (a.number < b.number) return -1;
    if (a.number > b.number) return 1;
    return 0;
  }
  std::string x = vm.ToString(a), y = vm.ToString(b);
  if (flags & kCaseInsensitive) {
    x = CaseFolded(vm, std::move(x));
    y = CaseFolded(vm, std::move(y));
  }
  return x < y ? -1 : x > y ? 1 : 0;
}

// The player's quicksort: the first element of a range is its pivot, and a
// script comparison sees the pairs in the same order as there. An
// inconsistent comparison cannot loop it; a range that takes too many
// comparisons (sorted input is the worst case) is finished by a merge sort.
void QuickSort(Vm& vm, std::vector<std::size_t>& order,
               const std::function<int(std::size_t, std::size_t)>& compare) {
  const std::size_t n = order.size();
  std::size_t budget = 64 * n + 4096;
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  if (n > 1) ranges.emplace_back(0, n - 1);
  const auto cmp = [&](std::size_t x, std::size_t y) {
    if (budget > 0) --budget;
    return compare(x, y);
  };
  while (!ranges.empty() && budget > 0 && !vm.Aborted()) {
    const auto [lo, hi] = ranges.back();
    ranges.pop_back();
    const std::size_t pivot = order[lo];
    std::size_t i = lo + 1, j = hi;
    while (budget > 0) {
      while (i < j && cmp(pivot, order[i]) > 0) ++i;
      while (j > lo && cmp(pivot, order[j]) <= 0) --j;
      if (i >= j) break;
      std::swap(order[i], order[j]);
    }
    std::swap(order[lo], order[j]);
    if (j + 1 < hi) ranges.emplace_back(j + 1, hi);
    if (j > lo + 1) ranges.emplace_back(lo, j - 1);
  }
  if (budget > 0 || vm.Aborted()) return;
  std::vector<std::size_t> buffer(n);
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width) {
      const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi)
        buffer[k++] = compare(order[j], order[i]) < 0 ? order[j++] : order[i++];
      while (i < mid) buffer[k++] = order[i++];
      while (j < hi) buffer[k++] = order[j++];
    }
    order.swap(buffer);
  }
}

// Sorts with a comparison; returns the sorted array, or the indices, or 0
// when kUniqueSort finds equal elements.
Value SortWith(Vm& vm, Object* self, const std::function<int(const Value&, const Value&)>& cmp,
               int flags) {
  std::vector<Value> e = Elements(vm, self);
  std::vector<std::size_t> order(e.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  bool equalFound = false;
  const auto compare = [&](std::size_t x, std::size_t y) {
    int c = cmp(e[x], e[y]);
    if (c == 0) equalFound = true;
    return c;
  };
  // Descending is the ascending order turned around, equal elements too.
  QuickSort(vm, order, compare);
  if (flags & kDescending) std::reverse(order.begin(), order.end());
  if ((flags & kUniqueSort) && equalFound) return Value::Num(0);
  if (flags & kReturnIndexedArray) {
    std::vector<Value> idx;
    for (std::size_t i : order) idx.push_back(Value::Num(static_cast<double>(i)));
    return Value::Obj(vm.NewArray(std::move(idx)));
  }
  // An order left as it was writes nothing: what a comparison function did
  // to the array stays.
  bool unchanged = true;
  for (std::size_t i = 0; i < order.size() && unchanged; ++i) unchanged = order[i] == i;
  if (unchanged) return Value::Obj(self);
  // Each index is written again, but one that held no element and gets
  // none (undefined of another object) is left without one.
  auto* a = dynamic_cast<ArrayObject*>(self);
  const auto absent = [&](std::size_t i) {
    return a ? ArrayObject::IsHole(e[i]) : !self->HasOwn(vm, std::to_string(i));
  };
  std::vector<bool> had(e.size());
  for (std::size_t i = 0; i < e.size(); ++i) had[i] = !absent(i);
  if (a) Rewrite(vm, a, e.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const bool none =
        a ? ArrayObject::IsHole(e[order[i]]) : !had[order[i]] || e[order[i]].IsUndefined();
    if (none && !had[i]) continue;
    if (a) {
      a->PutAt(vm, i, Moved(e[order[i]]));
    } else {
      Replace(vm, self, i, e[order[i]]);
    }
  }
  return Value::Obj(self);
}

// sort(), sort(compare[, flags]), sort(flags) and sort(ignored, flags):
// a first argument that is neither an object nor a number sorts nothing.
Completion Sort(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Value fn;
  int flags = 0;
  const Value first = Arg(args, 0), second = Arg(args, 1);
  if (first.IsObject()) {
    fn = first;
    if (second.type == Type::Number) flags = ToInt32(second.number);
  } else if (first.type == Type::Number) {
    flags = ToInt32(second.type == Type::Number ? second.number : first.number);
  } else if (!args.empty()) {
    return {};
  }
  if (fn.IsObject()) {
    // Before version 9 a comparison function's ties are no duplicates:
    // UNIQUESORT is ignored.
    if (vm.version < 9) flags &= ~kUniqueSort;
    return SortWith(
        vm, self,
        [&](const Value& a, const Value& b) {
          const Value pair[2] = {a, b};
          const double r = vm.ToNumber(vm.Call(fn, Value{}, pair));
          return r < 0 ? -1 : r > 0 ? 1 : 0;
        },
        flags);
  }
  return SortWith(
      vm, self, [&](const Value& a, const Value& b) { return Compare(vm, a, b, flags); }, flags);
}

// sortOn(field or fields[, flags or per-field flags]). A flags array that
// does not give one entry per field counts as none; the first entry's
// UNIQUESORT and RETURNINDEXEDARRAY apply to the whole sort. An element that
// is no object is compared itself.
Completion SortOn(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  std::vector<std::string> fields;
  std::vector<int> fieldFlags;
  int flags = args.size() > 1 && !args[1].IsObject() ? ToInt32(vm.ToNumber(args[1])) : 0;
  if (auto* a = args[0].IsObject() ? dynamic_cast<ArrayObject*>(args[0].object) : nullptr) {
    for (const Value& v : a->elements) fields.push_back(vm.ToString(v));
  } else if (!args[0].IsObject()) {
    fields.push_back(vm.ToString(args[0]));
  }
  // An object other than an array names no field, and with no field there
  // is no order to turn around.
  if (fields.empty()) flags &= ~kDescending;
  auto* flagArray =
      args.size() > 1 && args[1].IsObject() ? dynamic_cast<ArrayObject*>(args[1].object) : nullptr;
  if (flagArray && flagArray->elements.size() != fields.size()) flagArray = nullptr;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    fieldFlags.push_back(flagArray ? ToInt32(vm.ToNumber(flagArray->elements[i])) : flags);
  }
  if (flagArray && !fields.empty()) flags = fieldFlags[0] & (kUniqueSort | kReturnIndexedArray);
  // A field is the element's own stored value: neither its prototypes nor
  // its getters are asked (a getter's property reads as undefined).
  const auto field = [&](const Value& v, const std::string& name) {
    if (!v.IsObject()) return v;
    if (const Property* p = v.object->FindProperty(vm, name)) return p->getter ? Value{} : p->value;
    Value out;  // computed members: array elements, a clip's _x
    if (!v.object->GetOwn(vm, name, out)) out = Value{};
    return out;
  };
  return SortWith(
      vm, self,
      [&](const Value& a, const Value& b) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
          int c = Compare(vm, field(a, fields[i]), field(b, fields[i]), fieldFlags[i]);
          if (flagArray && (fieldFlags[i] & kDescending)) c = -c;
          if (c != 0) return c;
        }
        return 0;
      },
      flags);
}

constexpr Member kArrayProto[] = {
    Method("push", Push),       Method("pop", Pop),       Method("shift", Shift),
    Method("unshift", Unshift), Method("join", Join),     Method("toString", ToStringMethod),
    Method("reverse", Reverse), Method("concat", Concat), Method("slice", Slice),
    Method("splice", Splice),   Method("sort", Sort),     Method("sortOn", SortOn),
};
constexpr Member kArrayStatics[] = {
    ConstNumber("CASEINSENSITIVE", kCaseInsensitive, kConstant),
    ConstNumber("DESCENDING", kDescending, kConstant),
    ConstNumber("UNIQUESORT", kUniqueSort, kConstant),
    ConstNumber("RETURNINDEXEDARRAY", kReturnIndexedArray, kConstant),
    ConstNumber("NUMERIC", kNumeric, kConstant),
};

}  // namespace

// Array.prototype is a plain object: it has no length of its own.
extern const ClassDecl kArrayClass{
    .name = "Array",
    .ctor = ArrayCtor,
    .proto = kArrayProto,
    .statics = kArrayStatics,
    .construct = MakeArray,
    .keep = &Vm::arrayProto,
    .category = 252,
};

}  // namespace orrivel::swf::avm1
