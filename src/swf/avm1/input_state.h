// What the player last heard from the keyboard and the pointer, as Key,
// Mouse, Selection and the clips' _xmouse, _ymouse and _droptarget report it
// to scripts, and the clip being dragged.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

namespace orrivel::swf {
class TimelineInstance;
class EditText;
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

struct InputState {
  std::bitset<256> keysDown;  // by key code
  // Key.isToggled: every key (and mouse button) flips its bit as it goes down.
  std::bitset<256> toggled;
  int lastCode = 0;   // Key.getCode: the last key that went down or up
  int lastAscii = 0;  // Key.getAscii: its character
  // The pointer on the stage, in twips.
  double mouseX = 0, mouseY = 0;
  bool mouseDown = false;

  // startDrag: the clip follows the pointer until stopDrag.
  std::weak_ptr<TimelineInstance> dragged;
  double dragOffsetX = 0, dragOffsetY = 0;  // clip origin minus pointer, in parent twips
  bool dragBounded = false;
  double dragLeft = 0, dragTop = 0, dragRight = 0, dragBottom = 0;  // parent twips
  // _droptarget of the last dragged clip: where it was over, as a slash path.
  std::weak_ptr<TimelineInstance> dropSource;
  std::string dropTarget;

  // The object with keyboard focus (a clip, button or text field); empty for none.
  std::weak_ptr<TimelineInstance> focus;
  // Or the text field with focus (then `focus` is empty): it takes typing.
  std::weak_ptr<EditText> focusField;
  // Set while the objects and listeners hear of a focus move: the new
  // field's selection is not there for scripts until they are done.
  bool focusMoving = false;
  // The focused object hears keys (and Enter or Space click it) until the pointer moves.
  bool focusTakesKeys = false;
  // Whether the focused clip showed its rectangle when it took focus: a
  // later _focusrect applies from the next focus move.
  bool focusRectShown = false;
  // The movie-wide _focusrect: whether focus shows a yellow rectangle.
  bool focusRect = true;
};

}  // namespace orrivel::swf::avm1
