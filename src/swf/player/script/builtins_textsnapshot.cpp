// TextSnapshot (MovieClip.getTextSnapshot): the characters of the static
// text placed directly on a clip, in depth order, for reading, searching and
// selecting.
#include <algorithm>
#include <cmath>
#include <cwctype>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

struct Snapshot {
  std::u32string chars;
  std::vector<bool> lineStart;  // the character begins a new line
};

// The text is taken when the snapshot is made.
class SnapshotObject : public Object {
 public:
  Snapshot snap;
  bool bound = false;          // made for a clip (a bare `new TextSnapshot` is not)
  std::vector<bool> selected;  // by character
};

Snapshot Collect(const Vm& vm, const std::shared_ptr<TimelineInstance>& t) {
  Snapshot out;
  if (!t) return out;
  const Movie& movie = *vm.movie;
  for (const auto& [depth, obj] : t->List()) {
    auto it = movie.characters.find(obj.characterId);
    const auto* text =
        it == movie.characters.end() ? nullptr : std::get_if<TextDefinition>(&it->second);
    if (!text) continue;
    const FontDefinition* font = nullptr;
    std::optional<int32_t> lastY;
    bool first = true;
    // Each text object starts a line of its own.
    bool newText = !out.chars.empty();
    for (const TextRecord& rec : text->records) {
      if (rec.fontId) {
        auto f = movie.characters.find(*rec.fontId);
        font = f == movie.characters.end() ? nullptr : std::get_if<FontDefinition>(&f->second);
      }
      const bool newLine = newText || (!first && rec.yOffset && rec.yOffset != lastY);
      newText = false;
      if (rec.yOffset) lastY = rec.yOffset;
      bool startOfRecord = true;
      for (const GlyphEntry& g : rec.glyphs) {
        if (out.chars.size() >= EditText::kMaxLength) return out;
        const bool known = font && g.index < font->codes.size();
        out.chars.push_back(known ? font->codes[g.index] : U'?');
        out.lineStart.push_back(newLine && startOfRecord);
        startOfRecord = false;
        first = false;
      }
    }
  }
  return out;
}

SnapshotObject* Self(Object* self) { return dynamic_cast<SnapshotObject*>(self); }

double Num(Vm& vm, const Value& v) {
  const double n = vm.ToNumber(v);
  return std::isnan(n) ? 0 : std::trunc(n);
}

std::string Encode(const Vm& vm, std::u32string_view s) { return EncodeText(s, vm.version >= 6); }

Completion GetCount(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  if (!s || !s->bound || !args.empty()) return {};
  return Value::Num(static_cast<double>(s->snap.chars.size()));
}

// [begin, end) from a script's numbers: begin within the text, end past it.
std::pair<size_t, size_t> Range(Vm& vm, const Value& b, const Value& e, size_t count) {
  const double last = static_cast<double>(count) - 1;
  const double begin = std::clamp(Num(vm, b), 0.0, std::max(0.0, last));
  const double end = std::clamp(Num(vm, e), begin + 1, std::max(begin + 1, last + 1));
  return {static_cast<size_t>(begin), static_cast<size_t>(end)};
}

std::u32string Text(const Snapshot& snap, size_t begin, size_t end, bool lineEndings,
                    const std::vector<bool>* only = nullptr) {
  std::u32string out;
  for (size_t i = begin; i < end && i < snap.chars.size(); ++i) {
    if (only && (i >= only->size() || !(*only)[i])) continue;
    if (lineEndings && i > begin && snap.lineStart[i]) out.push_back(U'\n');
    out.push_back(snap.chars[i]);
  }
  return out;
}

Completion GetText(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  if (!s || !s->bound || args.size() < 2 || args.size() > 3) return {};
  const Snapshot& snap = s->snap;
  const auto [begin, end] = Range(vm, args[0], args[1], snap.chars.size());
  const bool endings = args.size() > 2 && vm.ToBoolean(args[2]);
  return Value::Str(Encode(vm, Text(snap, begin, end, endings)));
}

char32_t Lower(char32_t c) { return c < 0x10000 ? std::towlower(static_cast<wint_t>(c)) : c; }

Completion FindText(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  if (!s || !s->bound || args.size() != 3) return {};
  const Snapshot& snap = s->snap;
  const double start = Num(vm, args[0]);
  const std::u32string needle = DecodeText(vm.ToString(args[1]), vm.version >= 6);
  const bool caseSensitive = vm.ToBoolean(args[2]);
  const size_t n = snap.chars.size();
  if (needle.empty() || start < 0 || start >= static_cast<double>(n)) return Value::Num(-1);
  for (size_t i = static_cast<size_t>(start); i + needle.size() <= n; ++i) {
    bool same = true;
    for (size_t k = 0; k < needle.size() && same; ++k) {
      const char32_t a = snap.chars[i + k], b = needle[k];
      same = caseSensitive ? a == b : Lower(a) == Lower(b);
    }
    if (same) return Value::Num(static_cast<double>(i));
  }
  return Value::Num(-1);
}

Completion SetSelected(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  if (!s || !s->bound || args.size() < 3) return {};
  const size_t count = s->snap.chars.size();
  s->selected.resize(count);
  const auto [begin, end] = Range(vm, args[0], args[1], count);
  const bool on = vm.ToBoolean(args[2]);
  for (size_t i = begin; i < end && i < count; ++i) s->selected[i] = on;
  return {};
}

Completion GetSelected(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  if (!s || !s->bound || args.size() != 2) return {};
  const size_t count = s->snap.chars.size();
  const auto [begin, end] = Range(vm, args[0], args[1], count);
  for (size_t i = begin; i < end && i < s->selected.size(); ++i) {
    if (s->selected[i]) return Value::Bool(true);
  }
  return Value::Bool(false);
}

Completion GetSelectedText(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  if (!s || !s->bound || args.size() > 1) return {};
  const Snapshot& snap = s->snap;
  const bool endings = !args.empty() && vm.ToBoolean(args[0]);
  return Value::Str(Encode(vm, Text(snap, 0, snap.chars.size(), endings, &s->selected)));
}

Completion HitTestNear(Vm&, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  const bool fits = args.size() == 2 || args.size() == 3;
  return s && s->bound && fits ? Value::Num(-1) : Value{};
}

Completion Ignore(Vm&, const CallContext&, Args) { return {}; }

Completion GetRunInfo(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  return s && s->bound ? Value::Obj(vm.NewArray()) : Value{};
}

Object* Make(Vm& vm) { return vm.New<SnapshotObject>(); }

Completion Construct(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SnapshotObject* s = Self(self);
  // Exactly one argument, a clip; anything more leaves the snapshot unbound.
  if (s && args.size() == 1 && args[0].IsObject() && args[0].object->IsClip()) {
    s->snap = Collect(vm, static_cast<ClipObject*>(args[0].object)->Instance());
    if (!vm.Charge(s->snap.chars.size() * sizeof(char32_t))) s->snap = {};
    s->bound = true;
  }
  return {};
}

// Enumerable, newest first: getTextRunInfo ... getCount. Version 5 movies
// list the names but read nothing from them.
constexpr Member kTextSnapshotProto[] = {
    EmptyBefore(Method("getCount", GetCount, 0, 6)),
    EmptyBefore(Method("setSelected", SetSelected, 0, 6)),
    EmptyBefore(Method("getSelected", GetSelected, 0, 6)),
    EmptyBefore(Method("getText", GetText, 0, 6)),
    EmptyBefore(Method("getSelectedText", GetSelectedText, 0, 6)),
    EmptyBefore(Method("hitTestTextNearPos", HitTestNear, 0, 6)),
    EmptyBefore(Method("findText", FindText, 0, 6)),
    EmptyBefore(Method("setSelectColor", Ignore, 0, 6)),
    EmptyBefore(Method("getTextRunInfo", GetRunInfo, 0, 6)),
};

}  // namespace

extern const ClassDecl kTextSnapshotClass{
    .name = "TextSnapshot", .ctor = Construct, .proto = kTextSnapshotProto, .construct = Make};

Completion GetTextSnapshot(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self || !self->IsClip()) return {};
  // Made by whatever _global.TextSnapshot is now, given the clip.
  const Value ctor = vm.Get(vm.global, "TextSnapshot");
  if (!ctor.IsObject()) return {};
  const Value arg[1] = {Value::Obj(self)};
  return vm.Construct(ctor.object, arg);
}

}  // namespace orrivel::swf::avm1
