// Pointer and keyboard input for the buttons of a running movie: finds the
// topmost button under the pointer, moves buttons between their up, over and
// down looks, and runs the actions whose conditions a transition meets, on
// the timeline that holds the button, at once.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/format/movie.h"
#include "swf/player/hit_test.h"
#include "swf/player/movie_runner.h"
#include "swf/render/image_decoder.h"

namespace orrivel::swf {

// Transition bits of ButtonCondAction::conditions as stored (DefineButton
// actions run on kOverDownToOverUp, a click); bits 9 to 15 hold a key code.
namespace button_condition {
inline constexpr uint16_t kIdleToOverUp = 0x0001;       // roll over
inline constexpr uint16_t kOverUpToIdle = 0x0002;       // roll out
inline constexpr uint16_t kOverUpToOverDown = 0x0004;   // press
inline constexpr uint16_t kOverDownToOverUp = 0x0008;   // release
inline constexpr uint16_t kOverDownToOutDown = 0x0010;  // drag out
inline constexpr uint16_t kOutDownToOverDown = 0x0020;  // drag back over
inline constexpr uint16_t kOutDownToIdle = 0x0040;      // release outside
inline constexpr uint16_t kIdleToOverDown = 0x0080;     // menu: drag over
inline constexpr uint16_t kOverDownToIdle = 0x0100;     // menu: drag out
inline constexpr uint16_t KeyCode(uint16_t conditions) { return (conditions >> 9) & 0x7F; }
}  // namespace button_condition

class ButtonInput {
 public:
  // runner, movie and decoder must outlive the input.
  ButtonInput(MovieRunner& runner, const Movie& movie, ImageDecoder& decoder);

  // view maps stage twips to device pixels; (x, y) is a device point. Each
  // returns true when a button changed its look or actions ran.
  bool Move(const Matrix& view, double x, double y);
  bool Leave(const Matrix& view);
  bool Press(const Matrix& view);
  bool Release(const Matrix& view);
  // Tests the still pointer again after the picture changed under it.
  bool Refresh(const Matrix& view);
  // The first button (in depth order) with an action for the key runs it.
  bool Key(uint16_t code);
  // Presses and releases a button (or a clip acting as one) from the
  // keyboard, wherever the pointer is.
  bool Click(const std::shared_ptr<TimelineInstance>& target);
  // Shows a button (or clip acting as one) reached by Tab as if the pointer
  // were over it, until the pointer moves.
  bool Highlight(const std::shared_ptr<TimelineInstance>& target);
  // The innermost clip under the pointer other than the dragged one (and
  // what it holds); null over nothing.
  std::shared_ptr<TimelineInstance> DropTarget(const Matrix& view, const TimelineInstance& dragged);
  // The pointer is over a button that would react to a click.
  bool OverButton() const;

 private:
  std::shared_ptr<TimelineInstance> FindButton(const TimelineInstance& timeline, const Matrix& m,
                                               int& visits);
  bool IsClipButton(const DisplayObject& obj);
  std::shared_ptr<TimelineInstance> FindClip(const TimelineInstance& timeline, const Matrix& m,
                                             const TimelineInstance& dragged, int& visits);
  bool Track(const Matrix& view);
  bool Fire(const std::shared_ptr<TimelineInstance>& button, ButtonState state, uint16_t condition);

  MovieRunner& runner_;
  HitTester hits_;
  bool inside_ = false;  // the pointer is in the window
  bool down_ = false;    // the mouse button is held
  double x_ = 0, y_ = 0;
  // The button showing over (or, pressed, down) for the pointer.
  std::weak_ptr<TimelineInstance> hot_;
  // A push button pressed and tracking the pointer until the release.
  std::weak_ptr<TimelineInstance> captured_;
  bool pressedOver_ = false;
  bool keyHot_ = false;  // hot_ was lit by the keyboard: only the pointer moving puts it out // the
                         // captured button has the pointer over it
  std::weak_ptr<TimelineInstance> under_;  // topmost button under the pointer
};

}  // namespace orrivel::swf
