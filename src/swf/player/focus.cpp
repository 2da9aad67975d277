#include "swf/player/focus.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <utility>

#include "swf/avm1/clip_object.h"
#include "swf/player/script/input.h"
#include "swf/player/script/text_field_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"

namespace orrivel::swf {

namespace {

constexpr int kMaxNesting = 64;
constexpr std::size_t kMaxCandidates = 1u << 14;

struct Box {
  double xMin = std::numeric_limits<double>::infinity(), yMin = xMin;
  double xMax = -xMin, yMax = -xMin;
  bool Empty() const { return xMin > xMax; }
  void Add(const Rect& r, const Matrix& m) {
    for (const auto& [x, y] : {std::pair{r.xMin, r.yMin}, std::pair{r.xMax, r.yMin},
                               std::pair{r.xMin, r.yMax}, std::pair{r.xMax, r.yMax}}) {
      const double px = m.ApplyX(x, y), py = m.ApplyY(x, y);
      xMin = std::min(xMin, px);
      xMax = std::max(xMax, px);
      yMin = std::min(yMin, py);
      yMax = std::max(yMax, py);
    }
  }
};

// The stage box of what a display list shows, m mapping it to the stage.
void ListBounds(const Movie& movie, const DisplayList& list, const Matrix& m, Box& box,
                int nesting) {
  if (nesting > kMaxNesting) return;
  for (const auto& [depth, obj] : list) {
    if (obj.clipDepth != 0) continue;
    const Matrix child = m * obj.matrix;
    if (obj.instance) {
      ListBounds(movie, obj.instance->List(), child, box, nesting + 1);
      continue;
    }
    const auto it = movie.characters.find(obj.characterId);
    if (it == movie.characters.end()) continue;
    if (const auto* shape = std::get_if<ShapeDefinition>(&it->second)) {
      box.Add(shape->bounds, child);
    } else if (const auto* morph = std::get_if<MorphShapeDefinition>(&it->second)) {
      box.Add(morph->startBounds, child);
    } else if (const auto* text = std::get_if<TextDefinition>(&it->second)) {
      box.Add(text->bounds, child);
    } else if (const auto* field = std::get_if<EditTextDefinition>(&it->second)) {
      box.Add(field->bounds, child);
    }
  }
}

// A handler counts once the clip (or its prototype chain) has the property,
// even one holding undefined.
bool HasButtonHandler(avm1::Vm& vm, avm1::Object* script) {
  constexpr int kMaxChain = 64;
  for (const char* h : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                        "onDragOver", "onDragOut"}) {
    int links = 0;
    for (avm1::Object* o = script; o && links < kMaxChain; o = o->proto, ++links) {
      if (o->HasOwn(vm, h)) return true;
    }
  }
  return false;
}

// Tab indices order as 32-bit signed numbers; -1 is none.
std::optional<int32_t> TabIndexOf(avm1::Vm& vm, avm1::Object* script) {
  const avm1::Value index = script ? vm.Get(script, "tabIndex") : avm1::Value{};
  if (index.type != avm1::Type::Number || !std::isfinite(index.number)) return std::nullopt;
  const int32_t n = avm1::ToInt32(index.number);
  return n == -1 ? std::nullopt : std::optional(n);
}

// A clip is tabbable by default when it acts as a button or has a tabIndex.
bool Tabbable(avm1::Vm& vm, TimelineInstance& t) {
  avm1::Object* script = vm.ClipFor(t.shared_from_this());
  const avm1::Value enabled = vm.Get(script, "tabEnabled");
  if (!enabled.IsUndefined()) return vm.ToBoolean(enabled);
  return t.Button() != nullptr || HasButtonHandler(vm, script) || TabIndexOf(vm, script);
}

// Only input fields are tabbable, unless a script says otherwise.
bool FieldTabbable(avm1::Vm& vm, const std::shared_ptr<EditText>& field) {
  if (field->Def().readOnly) return false;
  avm1::Object* script = avm1::TextFieldFor(vm, field);
  const avm1::Value enabled = script ? vm.Get(script, "tabEnabled") : avm1::Value{};
  return enabled.IsUndefined() || vm.ToBoolean(enabled);
}

struct Candidate {
  TabStop stop;
  std::optional<int32_t> tabIndex;
  Box box;  // for fields: their bounds on the stage
};

// Visible objects in display order, parents before their children.
void Collect(avm1::Vm& vm, TimelineInstance& t, std::vector<Candidate>& out, int nesting) {
  if (nesting > kMaxNesting) return;
  for (const auto& [depth, obj] : t.List()) {
    if (!obj.visible || out.size() >= kMaxCandidates) continue;
    if (obj.text && !obj.instance) {
      if (!FieldTabbable(vm, obj.text)) continue;
      Candidate c{{nullptr, obj.text}, TabIndexOf(vm, avm1::TextFieldFor(vm, obj.text)), {}};
      c.box.Add(obj.text->Def().bounds, avm1::StageMatrix(t) * obj.matrix);
      out.push_back(std::move(c));
      continue;
    }
    if (!obj.instance) continue;
    TimelineInstance& child = *obj.instance;
    if (Tabbable(vm, child))
      out.push_back({{obj.instance, nullptr}, TabIndexOf(vm, child.script), {}});
    if (child.Button() || !child.script) {
      if (!child.Button()) Collect(vm, child, out, nesting + 1);
      continue;
    }
    const avm1::Value children = vm.Get(child.script, "tabChildren");
    if (children.IsUndefined() || vm.ToBoolean(children)) Collect(vm, child, out, nesting + 1);
  }
}

std::shared_ptr<EditText> FieldIn(const DisplayList& list, const Matrix& m, double x, double y,
                                  int nesting) {
  if (nesting > kMaxNesting) return nullptr;
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const DisplayObject& obj = it->second;
    if (!obj.visible || obj.clipDepth != 0) continue;
    const Matrix child = m * obj.matrix;
    if (obj.instance) {
      if (obj.instance->Button()) continue;
      if (auto found = FieldIn(obj.instance->List(), child, x, y, nesting + 1)) return found;
      continue;
    }
    Matrix inverse;
    if (!obj.text || !child.Invert(inverse)) continue;
    const double lx = inverse.ApplyX(x, y), ly = inverse.ApplyY(x, y);
    const Rect& b = obj.text->Def().bounds;
    if (lx >= b.xMin && lx <= b.xMax && ly >= b.yMin && ly <= b.yMax) return obj.text;
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<EditText> FieldAt(MovieRunner& runner, double x, double y) {
  return FieldIn(runner.Root().List(), Matrix{}, x, y, 0);
}

std::vector<TabStop> TabOrder(MovieRunner& runner) {
  avm1::Vm& vm = runner.Vm();
  std::vector<Candidate> all;
  // The root's tabChildren turns off every stop, as a clip's does for its own.
  avm1::Object* root = runner.Root().script;
  const avm1::Value children = root ? vm.Get(root, "tabChildren") : avm1::Value{};
  if (children.IsUndefined() || vm.ToBoolean(children)) Collect(vm, runner.Root(), all, 0);
  std::vector<TabStop> order;
  const bool custom = std::any_of(all.begin(), all.end(),
                                  [](const Candidate& c) { return c.tabIndex.has_value(); });
  if (custom) {
    std::erase_if(all, [](const Candidate& c) { return !c.tabIndex; });
    std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
      return *a.tabIndex < *b.tabIndex;
    });
    for (Candidate& c : all) order.push_back(std::move(c.stop));
    return order;
  }
  // Each top-left corner once: the first object found there keeps it.
  std::vector<std::pair<std::pair<double, double>, TabStop>> placed;
  std::set<std::pair<double, double>> corners;
  for (Candidate& c : all) {
    Box box = c.box;
    if (c.stop.clip) {
      ListBounds(*runner.Root().Context().movie, c.stop.clip->List(),
                 avm1::StageMatrix(*c.stop.clip), box, 0);
    }
    const std::pair corner =
        box.Empty() ? std::pair{0.0, 0.0} : std::pair{std::round(box.yMin), std::round(box.xMin)};
    if (corners.insert(corner).second) placed.emplace_back(corner, std::move(c.stop));
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [corner, stop] : placed) order.push_back(std::move(stop));
  return order;
}

TabStop NextTabStop(MovieRunner& runner, bool back) {
  const auto order = TabOrder(runner);
  if (order.empty()) return {};
  const avm1::InputState& in = runner.Vm().input;
  const TabStop current{in.focus.lock(), in.focusField.lock()};
  const auto at = std::find(order.begin(), order.end(), current);
  const std::size_t n = order.size();
  if (at == order.end()) return back ? order.back() : order.front();
  const auto i = static_cast<std::size_t>(at - order.begin());
  return order[back ? (i + n - 1) % n : (i + 1) % n];
}

}  // namespace orrivel::swf
