#include "swf/player/focus.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <utility>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/input.h"
#include "swf/avm1/vm.h"

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

bool HasButtonHandler(avm1::Vm& vm, avm1::Object* script) {
  for (const char* h : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                        "onDragOver", "onDragOut"}) {
    if (!vm.Get(script, h).IsUndefined()) return true;
  }
  return false;
}

bool Tabbable(avm1::Vm& vm, TimelineInstance& t) {
  avm1::Object* script = vm.ClipFor(t.shared_from_this());
  const avm1::Value enabled = vm.Get(script, "tabEnabled");
  if (!enabled.IsUndefined()) return vm.ToBoolean(enabled);
  return t.Button() != nullptr || HasButtonHandler(vm, script);
}

struct Candidate {
  std::shared_ptr<TimelineInstance> target;
  double tabIndex = -1;  // none
};

// Visible objects in display order, parents before their children.
void Collect(avm1::Vm& vm, TimelineInstance& t, std::vector<Candidate>& out, int nesting) {
  if (nesting > kMaxNesting) return;
  for (const auto& [depth, obj] : t.List()) {
    if (!obj.instance || !obj.visible || out.size() >= kMaxCandidates) continue;
    TimelineInstance& child = *obj.instance;
    if (Tabbable(vm, child)) {
      const avm1::Value index = vm.Get(child.script, "tabIndex");
      const bool has = index.type == avm1::Type::Number && std::isfinite(index.number);
      out.push_back({obj.instance, has ? index.number : -1});
    }
    if (child.Button() || !child.script) {
      if (!child.Button()) Collect(vm, child, out, nesting + 1);
      continue;
    }
    const avm1::Value children = vm.Get(child.script, "tabChildren");
    if (children.IsUndefined() || vm.ToBoolean(children)) Collect(vm, child, out, nesting + 1);
  }
}

}  // namespace

std::vector<std::shared_ptr<TimelineInstance>> TabOrder(MovieRunner& runner) {
  avm1::Vm& vm = runner.Vm();
  std::vector<Candidate> all;
  Collect(vm, runner.Root(), all, 0);
  std::vector<std::shared_ptr<TimelineInstance>> order;
  const bool custom =
      std::any_of(all.begin(), all.end(), [](const Candidate& c) { return c.tabIndex >= 0; });
  if (custom) {
    std::erase_if(all, [](const Candidate& c) { return c.tabIndex < 0; });
    std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
      return a.tabIndex < b.tabIndex;
    });
    for (Candidate& c : all) order.push_back(std::move(c.target));
    return order;
  }
  // Each top-left corner once: the first object found there keeps it.
  std::vector<std::pair<std::pair<double, double>, std::shared_ptr<TimelineInstance>>> placed;
  std::set<std::pair<double, double>> corners;
  for (Candidate& c : all) {
    Box box;
    ListBounds(*runner.Root().Context().movie, c.target->List(), avm1::StageMatrix(*c.target), box,
               0);
    const std::pair corner =
        box.Empty() ? std::pair{0.0, 0.0} : std::pair{std::round(box.yMin), std::round(box.xMin)};
    if (corners.insert(corner).second) placed.emplace_back(corner, std::move(c.target));
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [corner, target] : placed) order.push_back(std::move(target));
  return order;
}

std::shared_ptr<TimelineInstance> NextTabStop(MovieRunner& runner, bool back) {
  const auto order = TabOrder(runner);
  if (order.empty()) return nullptr;
  const auto current = runner.Vm().input.focus.lock();
  const auto at = std::find(order.begin(), order.end(), current);
  const std::size_t n = order.size();
  if (at == order.end()) return back ? order.back() : order.front();
  const auto i = static_cast<std::size_t>(at - order.begin());
  return order[back ? (i + n - 1) % n : (i + 1) % n];
}

}  // namespace orrivel::swf
