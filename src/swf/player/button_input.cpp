#include "swf/player/button_input.h"

#include <utility>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/script_input.h"

namespace orrivel::swf {

namespace {

namespace bc = button_condition;

// Bounds the objects (and mask tests) one pointer test visits.
constexpr int kMaxVisits = 100000;

// Device pixels are named by their top-left corner; the pointer's pixel is
// tested at its centre, as the renderer decides coverage.
constexpr double kPixelCentre = 0.5;

// A display list is the only lasting owner of an instance; once the caller's
// other copies are gone, this tells whether it is still placed.
std::shared_ptr<TimelineInstance> StillPlaced(std::shared_ptr<TimelineInstance> instance) {
  const std::weak_ptr<TimelineInstance> weak = instance;
  instance.reset();
  return weak.lock();
}

bool IsMenu(avm1::Vm& vm, const TimelineInstance& button) {
  if (button.script) {
    const avm1::Value set = vm.Get(button.script, "trackAsMenu");
    if (!set.IsUndefined()) return vm.ToBoolean(set);
  }
  return button.Button() && button.Button()->trackAsMenu;
}

// The first button with an action for the key, in depth order (a sprite's
// buttons before those above the sprite): one button takes each key.
// Buttons inside a button's looks take none.
std::shared_ptr<TimelineInstance> FindKeyButton(const TimelineInstance& timeline, uint16_t code) {
  for (const auto& [depth, obj] : timeline.List()) {
    if (!obj.instance || !obj.visible || obj.clipDepth != 0) continue;
    const ButtonDefinition* button = obj.instance->Button();
    if (!button) {
      if (auto found = FindKeyButton(*obj.instance, code)) return found;
      continue;
    }
    for (const ButtonCondAction& a : button->actions) {
      if (bc::KeyCode(a.conditions) == code) return obj.instance;
    }
  }
  return nullptr;
}

// The handlers and clip events a transition runs besides a button's own actions.
struct Handler {
  uint16_t condition;
  const char* method;
  uint32_t clipEvent;
};
constexpr Handler kHandlers[] = {
    {bc::kIdleToOverUp, "onRollOver", kClipEventRollOver},
    {bc::kOverUpToIdle, "onRollOut", kClipEventRollOut},
    {bc::kOverUpToOverDown, "onPress", kClipEventPress},
    {bc::kOverDownToOverUp, "onRelease", kClipEventRelease},
    {bc::kOverDownToOutDown, "onDragOut", kClipEventDragOut},
    {bc::kOutDownToOverDown, "onDragOver", kClipEventDragOver},
    {bc::kOutDownToIdle, "onReleaseOutside", kClipEventReleaseOutside},
    {bc::kIdleToOverDown, "onDragOver", kClipEventDragOver},
    {bc::kOverDownToIdle, "onDragOut", kClipEventDragOut},
};

const Handler* HandlerOf(uint16_t condition) {
  for (const Handler& h : kHandlers) {
    if (h.condition == condition) return &h;
  }
  return nullptr;
}

// A script may switch a button (or a clip acting as one) off; an undefined
// `enabled` leaves it on, as in Flash.
bool Enabled(avm1::Vm& vm, const TimelineInstance& t) {
  if (!t.script) return true;
  const avm1::Value v = vm.Get(t.script, "enabled");
  return v.IsUndefined() || vm.ToBoolean(v);
}

}  // namespace

// A movie clip acts as a button once it has a button handler (onPress ...)
// or button clip events, and is enabled.
bool ButtonInput::IsClipButton(const DisplayObject& obj) {
  const TimelineInstance& t = *obj.instance;
  if (t.Button()) return false;
  bool handlers = false;
  if (obj.clipActions) {
    for (const ClipAction& a : *obj.clipActions) handlers |= (a.events & kClipEventButtonMask) != 0;
  }
  avm1::Vm& vm = runner_.Vm();
  if (!handlers && t.script) {
    for (const Handler& h : kHandlers) {
      if (!vm.GetPlain(t.script, h.method).IsUndefined()) {
        handlers = true;
        break;
      }
    }
  }
  return handlers && Enabled(vm, t);
}

ButtonInput::ButtonInput(MovieRunner& runner, const Movie& movie, ImageDecoder& decoder)
    : runner_(runner), hits_(movie, decoder) {}

// Children over parents as drawn: the highest depth first, a sprite's (or a
// button look's) buttons before anything below the sprite.
std::shared_ptr<TimelineInstance> ButtonInput::FindButton(const TimelineInstance& timeline,
                                                          const Matrix& m, int& visits) {
  const DisplayList& list = timeline.List();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const DisplayObject& obj = it->second;
    if (obj.clipDepth != 0 || !obj.visible || !obj.instance) continue;
    if (++visits > kMaxVisits) return nullptr;
    const Matrix child = m * obj.matrix;
    std::shared_ptr<TimelineInstance> found;
    // A clip acting as a button takes the pointer for everything inside it.
    if (IsClipButton(obj)) {
      if (hits_.OnObject(obj, m, &timeline.GetMovie())) found = obj.instance;
    } else {
      found = FindButton(*obj.instance, child, visits);
      if (!found && obj.instance->Button() && Enabled(runner_.Vm(), *obj.instance) &&
          hits_.InButtonArea(*obj.instance->Button(), child, &obj.instance->GetMovie())) {
        found = obj.instance;
      }
    }
    if (!found) continue;
    // A mask layer below the object whose clip depth reaches it must cover the point too.
    bool masked = false;
    for (auto mask = list.begin(); mask != list.end() && mask->first < obj.depth; ++mask) {
      if (++visits > kMaxVisits) return nullptr;
      const uint16_t clip = mask->second.clipDepth;
      if (clip != 0 && clip >= obj.depth &&
          !hits_.OnObject(mask->second, m, &timeline.GetMovie())) {
        masked = true;
        break;
      }
    }
    if (!masked) return found;
  }
  return nullptr;
}

bool ButtonInput::Fire(const std::shared_ptr<TimelineInstance>& button, ButtonState state,
                       uint16_t condition) {
  const Handler* handler = HandlerOf(condition);
  avm1::Vm& vm = runner_.Vm();
  bool changed = false;
  if (button->Button()) {
    changed = button->SetButtonState(state);
    // Sprites in the new look show their first frame with its actions.
    runner_.FlushActions();
    const auto parent = button->Parent();
    if (!parent) return changed;
    for (const ButtonCondAction& action : button->Button()->actions) {
      if ((action.conditions & condition) == 0) continue;
      runner_.RunEventActions(parent, action.actions);
      changed = true;
    }
  } else if (handler) {
    avm1::ClipObject* clip = vm.ClipFor(button);
    const DisplayObject* placed = clip->Placement();
    for (const ClipAction& a :
         placed && placed->clipActions ? *placed->clipActions : std::vector<ClipAction>{}) {
      if ((a.events & handler->clipEvent) == 0) continue;
      runner_.RunEventActions(button, a.actions);
      changed = true;
    }
  }
  if (handler && button->script) {
    vm.NewFrame();
    changed |= vm.CallMethod(button->script, handler->method, {});
    runner_.FlushActions();
  }
  return changed;
}

// Brings the buttons in line with where the pointer is now.
bool ButtonInput::Track(const Matrix& view) {
  keyHot_ = false;
  int visits = 0;
  hits_.Begin(x_, y_);
  std::shared_ptr<TimelineInstance> under =
      inside_ ? FindButton(runner_.Root(), view, visits) : nullptr;
  under_ = under;
  std::shared_ptr<TimelineInstance> hot = hot_.lock();
  if (!down_) {
    if (under == hot) return false;
    bool changed = false;
    hot_ = under;
    if (hot) {
      changed = Fire(hot, ButtonState::Up, bc::kOverUpToIdle);
      // The roll-out's actions may have taken the new button off the stage:
      // then only this copy still holds it.
      hot.reset();
      under = StillPlaced(std::move(under));
    }
    if (under) changed |= Fire(under, ButtonState::Over, bc::kIdleToOverUp);
    return changed;
  }
  if (const auto pressed = captured_.lock()) {
    // A pressed push button follows the pointer alone until the release.
    const bool over = under == pressed;
    if (over == pressedOver_) return false;
    pressedOver_ = over;
    return over ? Fire(pressed, ButtonState::Down, bc::kOutDownToOverDown)
                : Fire(pressed, ButtonState::Over, bc::kOverDownToOutDown);
  }
  // Held down without a push button: menu buttons light up as the pointer passes.
  const auto menu = under && IsMenu(runner_.Vm(), *under) ? under : nullptr;
  if (menu == hot) return false;
  bool changed = false;
  if (hot) changed |= Fire(hot, ButtonState::Up, bc::kOverDownToIdle);
  hot_ = menu;
  if (menu) changed |= Fire(menu, ButtonState::Down, bc::kIdleToOverDown);
  return changed;
}

bool ButtonInput::Move(const Matrix& view, double x, double y) {
  // A button lit by the keyboard stays lit until the pointer really moves.
  if (keyHot_ && inside_ && x + kPixelCentre == x_ && y + kPixelCentre == y_) return false;
  inside_ = true;
  x_ = x + kPixelCentre;
  y_ = y + kPixelCentre;
  return Track(view);
}

bool ButtonInput::Leave(const Matrix& view) {
  inside_ = false;
  return Track(view);
}

bool ButtonInput::Refresh(const Matrix& view) { return !keyHot_ && Track(view); }

bool ButtonInput::Press(const Matrix& view) {
  if (down_) return false;
  bool changed = Track(view);
  down_ = true;
  const auto hot = hot_.lock();
  if (!hot) return changed;
  if (!IsMenu(runner_.Vm(), *hot)) {
    captured_ = hot;
    pressedOver_ = true;
  }
  return Fire(hot, ButtonState::Down, bc::kOverUpToOverDown) || changed;
}

bool ButtonInput::Release(const Matrix& view) {
  if (!down_) return false;
  down_ = false;
  bool changed = false;
  {
    // Held only for the event: a button its own actions remove is gone afterwards.
    const auto pressed = captured_.lock();
    captured_.reset();
    if (pressed) {
      if (pressedOver_) {
        changed = Fire(pressed, ButtonState::Over, bc::kOverDownToOverUp);
      } else {
        hot_.reset();
        changed = Fire(pressed, ButtonState::Up, bc::kOutDownToIdle);
      }
    } else if (const auto menu = hot_.lock()) {
      changed = Fire(menu, ButtonState::Over, bc::kOverDownToOverUp);
    }
  }
  // What lies under the pointer now rolls over (or out, if the click removed it).
  return Track(view) || changed;
}

bool ButtonInput::Key(uint16_t code) {
  if (code == 0 || code > 0x7F) return false;
  const std::shared_ptr<TimelineInstance> button = FindKeyButton(runner_.Root(), code);
  const auto parent = button ? button->Parent() : nullptr;
  if (!parent) return false;
  for (const ButtonCondAction& a : button->Button()->actions) {
    if (bc::KeyCode(a.conditions) == code) runner_.RunEventActions(parent, a.actions);
  }
  return true;
}

bool ButtonInput::Highlight(const std::shared_ptr<TimelineInstance>& target) {
  if (down_) return false;
  // Even the button under the pointer rolls out and over again.
  const auto hot = hot_.lock();
  bool changed = false;
  if (hot) changed = Fire(hot, ButtonState::Up, bc::kOverUpToIdle);
  hot_.reset();
  keyHot_ = false;
  if (!target) return changed;
  const bool button = target->Button() != nullptr || (target->script && [&] {
                        avm1::ClipObject* clip = runner_.Vm().ClipFor(target);
                        const DisplayObject* placed = clip->Placement();
                        return placed && IsClipButton(*placed);
                      }());
  if (!button) return changed;
  hot_ = target;
  keyHot_ = true;
  return Fire(target, ButtonState::Over, bc::kIdleToOverUp) || changed;
}

bool ButtonInput::Click(const std::shared_ptr<TimelineInstance>& target) {
  if (!target || !Enabled(runner_.Vm(), *target)) return false;
  bool changed = Fire(target, ButtonState::Down, bc::kOverUpToOverDown);
  const bool over = hot_.lock() == target;
  if (const auto still = StillPlaced(target))
    changed |= Fire(still, over ? ButtonState::Over : ButtonState::Up, bc::kOverDownToOverUp);
  return changed;
}

// The clip whose own drawing lies topmost under the point: a shape over a
// child clip makes its parent the target.
std::shared_ptr<TimelineInstance> ButtonInput::FindClip(const TimelineInstance& timeline,
                                                        const Matrix& m,
                                                        const TimelineInstance& dragged,
                                                        int& visits) {
  const auto self = [&]() -> std::shared_ptr<TimelineInstance> {
    // Over the root itself is over no clip.
    if (timeline.IsRoot()) return nullptr;
    return std::const_pointer_cast<TimelineInstance>(timeline.shared_from_this());
  };
  const DisplayList& list = timeline.List();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const DisplayObject& obj = it->second;
    if (obj.clipDepth != 0 || !obj.visible || obj.instance.get() == &dragged ||
        (obj.instance && obj.instance->Button()))
      continue;
    if (++visits > kMaxVisits) return nullptr;
    if (obj.instance) {
      if (!hits_.OnObject(obj, m, &timeline.GetMovie())) continue;
      if (auto inner = FindClip(*obj.instance, m * obj.matrix, dragged, visits)) return inner;
      // Only what the dragged clip covers of it was hit: look further down.
      continue;
    }
    if (hits_.OnObject(obj, m, &timeline.GetMovie())) return self();
  }
  if (hits_.OnDrawing(timeline, m)) return self();
  return nullptr;
}

std::shared_ptr<TimelineInstance> ButtonInput::DropTarget(const Matrix& view,
                                                          const TimelineInstance& dragged) {
  if (!inside_) return nullptr;
  int visits = 0;
  hits_.Begin(x_, y_);
  // Higher levels lie on top of the lower ones and of the root.
  const auto levels = runner_.LevelsNow();
  for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
    if (auto found = FindClip(*it->second, view, dragged, visits)) return found;
  }
  return FindClip(runner_.Root(), view, dragged, visits);
}

bool ButtonInput::OverButton() const {
  const auto under = under_.lock();
  if (!inside_ || !under) return false;
  const auto pressed = captured_.lock();
  return !pressed || pressed == under;
}

}  // namespace orrivel::swf
