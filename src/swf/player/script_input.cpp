#include "swf/player/script_input.h"

#include <algorithm>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/clip_object.h"
#include "swf/player/script/input.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf {

namespace {

// Keeps a hostile movie's event walk bounded (the display budget bounds it too).
constexpr std::size_t kMaxClipsPerEvent = 1u << 16;

void Collect(const std::shared_ptr<TimelineInstance>& t,
             std::vector<std::shared_ptr<TimelineInstance>>& out, int nesting) {
  if (nesting > 64 || out.size() >= kMaxClipsPerEvent) return;
  const DisplayList& list = t->List();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const auto& child = it->second.instance;
    if (child && !child->Button()) Collect(child, out, nesting + 1);
  }
  out.push_back(t);
}

// Runs a clip's actions for an event bit (and a key code for keyPress).
// True when any ran.
bool RunClipActions(avm1::Vm& vm, const std::shared_ptr<TimelineInstance>& t, uint32_t event,
                    uint16_t keyCode = 0) {
  avm1::ClipObject* clip = vm.ClipFor(t);
  const DisplayObject* placed = clip ? clip->Placement() : nullptr;
  if (!placed || !placed->clipActions) return false;
  bool ran = false;
  for (const ClipAction& action : *placed->clipActions) {
    if ((action.events & event) == 0) continue;
    if (event == kClipEventKeyPress && action.keyCode != keyCode) continue;
    vm.RunBlock(action.actions, clip);
    ran = true;
  }
  return ran;
}

}  // namespace

std::vector<std::shared_ptr<TimelineInstance>> ClipsInEventOrder(TimelineInstance& root) {
  std::vector<std::shared_ptr<TimelineInstance>> out;
  Collect(root.shared_from_this(), out, 0);
  // As for frames, the newest clip hears an event first.
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a->Serial() > b->Serial(); });
  return out;
}

uint16_t SwfKeyCodeOf(int keyCode, int character) {
  if (character >= 32 && character < 127) return static_cast<uint16_t>(character);
  switch (keyCode) {
    case 37:
      return 1;  // left
    case 39:
      return 2;  // right
    case 36:
      return 3;  // home
    case 35:
      return 4;  // end
    case 45:
      return 5;  // insert
    case 46:
      return 6;  // delete
    case 8:
      return 8;  // backspace
    case 13:
      return 13;  // enter
    case 38:
      return 14;  // up
    case 40:
      return 15;  // down
    case 33:
      return 16;  // page up
    case 34:
      return 17;  // page down
    case 9:
      return 18;  // tab
    case 27:
      return 19;  // escape
    default:
      return 0;
  }
}

bool ScriptInput::Send(uint32_t clipEvent, const char* method, avm1::Object* listeners,
                       const char* message, avm1::Args args) {
  avm1::Vm& vm = runner_.Vm();
  vm.NewFrame();
  bool heard = false;
  for (const auto& clip : ClipsInEventOrder(runner_.Root())) {
    // A handler may have removed a later clip: it hears nothing more.
    if (clip.use_count() <= 1 && !clip->IsRoot()) continue;
    heard |= RunClipActions(vm, clip, clipEvent);
    if (method) heard |= vm.CallMethod(vm.ClipFor(clip), method, {});
  }
  if (listeners) heard |= avm1::Broadcast(vm, listeners, message, args);
  runner_.FlushActions();
  return heard;
}

bool ScriptInput::Move(double x, double y) {
  avm1::Vm& vm = runner_.Vm();
  // Flash reports every pointer event, even one that stays on the same
  // pixel, and any takes the keys from the focused object.
  vm.input.focusTakesKeys = false;
  vm.input.mouseX = x;
  vm.input.mouseY = y;
  const bool moved = avm1::FollowPointer(vm);
  return Send(kClipEventMouseMove, "onMouseMove", vm.mouseObject, "onMouseMove", {}) || moved;
}

bool ScriptInput::Press() {
  avm1::Vm& vm = runner_.Vm();
  constexpr int kLeftButton = 1;  // the key code of the left mouse button
  if (!vm.input.mouseDown) vm.input.toggled.flip(kLeftButton);
  vm.input.mouseDown = true;
  return Send(kClipEventMouseDown, "onMouseDown", vm.mouseObject, "onMouseDown", {});
}

bool ScriptInput::Release() {
  avm1::Vm& vm = runner_.Vm();
  vm.input.mouseDown = false;
  return Send(kClipEventMouseUp, "onMouseUp", vm.mouseObject, "onMouseUp", {});
}

bool ScriptInput::Wheel(int delta) {
  avm1::Vm& vm = runner_.Vm();
  const avm1::Value args[1] = {avm1::Value::Num(delta)};
  vm.NewFrame();
  const bool heard = avm1::Broadcast(vm, vm.mouseObject, "onMouseWheel", args);
  runner_.FlushActions();
  return heard;
}

bool ScriptInput::Key(bool down, int keyCode, int character) {
  avm1::Vm& vm = runner_.Vm();
  avm1::InputState& in = vm.input;
  if (keyCode > 0 && keyCode < 256) {
    if (down && !in.keysDown[keyCode]) in.toggled.flip(keyCode);
    in.keysDown[keyCode] = down;
    in.lastCode = keyCode;
  }
  in.lastAscii = character;
  const char* message = down ? "onKeyDown" : "onKeyUp";
  Send(down ? kClipEventKeyDown : kClipEventKeyUp, nullptr, nullptr, nullptr, {});
  // The focused object hears the key first, then Key's listeners.
  vm.NewFrame();
  if (const auto focus = in.focus.lock(); focus && focus->script && in.focusTakesKeys)
    vm.CallMethod(focus->script, message, {});
  avm1::Broadcast(vm, vm.keyObject, message);
  runner_.FlushActions();
  if (const uint16_t swfCode = down ? SwfKeyCodeOf(keyCode, character) : 0) {
    vm.NewFrame();
    for (const auto& clip : ClipsInEventOrder(runner_.Root()))
      RunClipActions(vm, clip, kClipEventKeyPress, swfCode);
    runner_.FlushActions();
  }
  return true;
}

}  // namespace orrivel::swf
