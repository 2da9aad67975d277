#include "swf/player/button_input.h"

#include <utility>

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

bool IsMenu(const TimelineInstance& button) {
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

}  // namespace

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
    std::shared_ptr<TimelineInstance> found = FindButton(*obj.instance, child, visits);
    if (!found && obj.instance->Button() && hits_.InButtonArea(*obj.instance->Button(), child)) {
      found = obj.instance;
    }
    if (!found) continue;
    // A mask layer below the object whose clip depth reaches it must cover the point too.
    bool masked = false;
    for (auto mask = list.begin(); mask != list.end() && mask->first < obj.depth; ++mask) {
      if (++visits > kMaxVisits) return nullptr;
      const uint16_t clip = mask->second.clipDepth;
      if (clip != 0 && clip >= obj.depth && !hits_.OnObject(mask->second, m)) {
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
  bool changed = button->SetButtonState(state);
  // Sprites in the new look show their first frame with its actions.
  runner_.FlushActions();
  const auto parent = button->Parent();
  if (!parent || !button->Button()) return changed;
  for (const ButtonCondAction& action : button->Button()->actions) {
    if ((action.conditions & condition) == 0) continue;
    runner_.RunEventActions(parent, action.actions);
    changed = true;
  }
  return changed;
}

// Brings the buttons in line with where the pointer is now.
bool ButtonInput::Track(const Matrix& view) {
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
    if (over && pressed->GetButtonState() != ButtonState::Down)
      return Fire(pressed, ButtonState::Down, bc::kOutDownToOverDown);
    if (!over && pressed->GetButtonState() == ButtonState::Down)
      return Fire(pressed, ButtonState::Over, bc::kOverDownToOutDown);
    return false;
  }
  // Held down without a push button: menu buttons light up as the pointer passes.
  const auto menu = under && IsMenu(*under) ? under : nullptr;
  if (menu == hot) return false;
  bool changed = false;
  if (hot) changed |= Fire(hot, ButtonState::Up, bc::kOverDownToIdle);
  hot_ = menu;
  if (menu) changed |= Fire(menu, ButtonState::Down, bc::kIdleToOverDown);
  return changed;
}

bool ButtonInput::Move(const Matrix& view, double x, double y) {
  inside_ = true;
  x_ = x + kPixelCentre;
  y_ = y + kPixelCentre;
  return Track(view);
}

bool ButtonInput::Leave(const Matrix& view) {
  inside_ = false;
  return Track(view);
}

bool ButtonInput::Refresh(const Matrix& view) { return Track(view); }

bool ButtonInput::Press(const Matrix& view) {
  if (down_) return false;
  bool changed = Track(view);
  down_ = true;
  const auto hot = hot_.lock();
  if (!hot) return changed;
  if (!IsMenu(*hot)) captured_ = hot;
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
      if (pressed->GetButtonState() == ButtonState::Down) {
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

bool ButtonInput::OverButton() const {
  const auto under = under_.lock();
  if (!inside_ || !under) return false;
  const auto pressed = captured_.lock();
  return !pressed || pressed == under;
}

}  // namespace orrivel::swf
