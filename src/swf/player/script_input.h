// Keyboard and pointer events as scripts hear them: the clip events
// (mouseDown, keyUp ...) that every clip receives, newest clip first, then
// the messages to the Key and Mouse listeners. Buttons are ButtonInput's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/avm1/object.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf {

// Clip event bits of ClipAction::events beyond those the timelines use.
inline constexpr uint32_t kClipEventPress = 0x400, kClipEventRelease = 0x800;
inline constexpr uint32_t kClipEventReleaseOutside = 0x1000, kClipEventRollOver = 0x2000;
inline constexpr uint32_t kClipEventRollOut = 0x4000, kClipEventDragOver = 0x8000;
inline constexpr uint32_t kClipEventDragOut = 0x10000, kClipEventKeyPress = 0x20000;
inline constexpr uint32_t kClipEventButtonMask = 0x1FC00;

// The SWF key code (button and keyPress conditions) of a key: its character
// when printable, else 1 to 19 for the keys that have one; 0 for none.
uint16_t SwfKeyCodeOf(int keyCode, int character);

class ScriptInput {
 public:
  explicit ScriptInput(MovieRunner& runner) : runner_(runner) {}

  // The pointer moved to stage twips (x, y): mouseMove events, and the
  // dragged clip follows it.
  bool Move(double x, double y);
  bool Press();
  bool Release();
  bool Wheel(int delta);
  // A key went down or up; character is what it types (0 for none).
  bool Key(bool down, int keyCode, int character);

 private:
  // Sends one clip event to every clip and then a message to a broadcaster's
  // listeners. True when a script heard it (the picture may have changed).
  bool Send(uint32_t clipEvent, const char* method, avm1::Object* listeners, const char* message,
            avm1::Args args);

  MovieRunner& runner_;
};

// Every clip (not buttons), children before their parent and the highest
// depth first: the order clip events reach them.
std::vector<std::shared_ptr<TimelineInstance>> ClipsInEventOrder(TimelineInstance& root);

}  // namespace orrivel::swf
