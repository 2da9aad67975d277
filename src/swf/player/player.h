// The SWF player: loads a movie, runs its timeline at the movie's frame rate,
// and renders frames with "show all" scaling. This is what the movie window
// and the settings dialog's preview host.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "swf/format/reader.h"
#include "swf/raster/raster.h"
#include "swf/render/image_decoder.h"
#include "swf/render/damage.h"
#include "swf/render/display.h"
#include "swf/render/renderer.h"
#include "swf/sound/sound_sink.h"
#include "swf/avm1/outgoing_request.h"
#include "swf/player/text_typing.h"

namespace orrivel::swf {

// Key codes of Player::KeyPress: a printable key is its ASCII code (32 to
// 126, the character typed); the other keys have these codes.
namespace swf_key {
inline constexpr uint16_t kLeft = 1, kRight = 2, kHome = 3, kEnd = 4, kInsert = 5;
inline constexpr uint16_t kDelete = 6, kBackspace = 8, kEnter = 13, kUp = 14, kDown = 15;
inline constexpr uint16_t kPageUp = 16, kPageDown = 17, kTab = 18, kEscape = 19;
}  // namespace swf_key

class Player {
 public:
  // decoder must outlive the player.
  explicit Player(ImageDecoder& decoder);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Loads and starts the movie at its first frame, playing and looping.
  // Returns false (and FrameNum() reads -1) when nothing could be loaded.
  bool LoadFile(const std::string& utf8Path);
  bool LoadMemory(std::span<const uint8_t> bytes);
  // Plays a movie that is already parsed (built by hand in tests, for example).
  bool LoadParsed(std::unique_ptr<Movie> movie);
  void Unload();

  // 0-based current frame of the main timeline; -1 when no movie is loaded.
  int FrameNum() const;
  const Movie* GetMovie() const;
  const std::string& LastError() const;

  // Where the frames' sounds are reported (a Mixer); null for none. Takes
  // effect with the next load; the sink must outlive the player.
  void SetSoundSink(SoundSink* sink);

  void SetQuality(Quality q);
  Quality GetQuality() const;
  // Threads that draw each frame (0: the machine's, the default; 1: one).
  // Kept across loads; the picture is the same for every count.
  void SetRenderThreads(int threads);

  // Moves the timeline on by the frames due in the elapsed time, running
  // frame actions. Returns true when the picture may have changed.
  bool Advance(double elapsedSeconds);
  // Runs exactly one frame (the next ShowFrame), as a tick would.
  void StepFrame();
  // Seconds until the next frame is due (for the host's timer).
  double SecondsPerFrame() const;

  // Renders the current frame into the canvas: the stage scaled to fit
  // ("show all"), centred, the background colour filling the rest.
  void Render(raster::Canvas& canvas);

  // What a canvas holds after RenderChanges: the tree drawn in it and for
  // which size and background.
  struct ShownFrame {
    DisplayNode tree;
    Rgba background;
    int width = 0, height = 0;
    bool valid = false;
  };
  // Redraws the current frame only where it differs from what the canvas
  // shows (all of it when `shown` is not valid or was for another size) and
  // records the new frame in `shown`. Returns the boxes redrawn: none when
  // nothing on screen changed.
  std::vector<DamageBox> RenderChanges(raster::Canvas& canvas, ShownFrame& shown);

  // What Render would draw into a width x height target; the root maps stage
  // twips to device pixels.
  DisplayNode BuildDisplayTree(int width, int height) const;
  // Whether the main timeline is playing (false once the movie stopped itself).
  bool IsPlaying() const;
  // The stage colour (SetBackgroundColor; white when the movie sets none).
  Rgba BackgroundColor() const;

  // ---- Input, for interactive runs --------------------------------------
  // The pointer is given in device pixels of the target Render draws into
  // (its last width x height; the stage size before the first Render), as
  // window client coordinates name a pixel: the centre of pixel (x, y) is
  // what is tested, against the buttons' hit areas under the same show-all
  // fit. Button actions run at once, between frames. Each call returns true
  // when the picture may have changed.
  bool MouseMove(double x, double y);
  bool MouseDown();
  bool MouseUp();
  bool MouseLeave();  // the pointer left the window
  // One SWF key code (see swf_key below); only buttons with a key-press
  // action for the code react, wherever the pointer is.
  bool KeyPress(uint16_t swfKeyCode);
  // A key went down or up: its key code as Key.getCode reports it (the
  // Windows virtual-key code: 65 for A, 37 for the left arrow) and the
  // character it types (0 for none). Scripts hear keyDown / keyUp, and a
  // key going down also reaches the buttons' key-press actions.
  bool KeyDown(int keyCode, int character);
  bool KeyUp(int keyCode, int character);
  // The window lost the keyboard: the highlighted button rolls out and the
  // focused object loses focus.
  bool FocusLost();
  // One character typed into the focused text field (after its KeyDown).
  bool TextInput(uint32_t codepoint);
  // An editing command on the focused text field (the host maps Backspace,
  // the arrows, Ctrl+V ... to these).
  bool TextEdit(TextCommand command);
  // What Paste inserts. The player keeps its own clipboard, apart from the
  // system's, so that movies never read what the user copied elsewhere.
  void SetClipboardText(const std::string& utf8);
  // The wheel turned by delta lines (positive: away from the user).
  bool MouseWheel(int delta);
  // The pointer is over a button (the host shows a hand cursor).
  bool WantsHandCursor() const;
  // The movie hid the pointer (Mouse.hide); the host hides its cursor.
  bool WantsCursorHidden() const;

  // ---- Scripts ------------------------------------------------------------
  // Receives each trace() line. Set before loading, kept across loads.
  void SetTraceSink(std::function<void(const std::string&)> sink);
  // Receives a description of each refused request (network, programs,
  // files outside the movie's folder).
  void SetRefusalSink(std::function<void(const std::string&)> sink);
  // Hears of each request a movie makes of the outside world (none is
  // sent): fetches, pages opened, socket connections. Set before loading.
  void SetRequestSink(std::function<void(const avm1::OutgoingRequest&)> sink);
  // Date's clock starts at this time (ms since 1970) at each load instead
  // of the wall clock, so runs repeat (the render tool). Set before loading.
  void SetClockStart(double msSinceEpoch);
  // The URL a movie loaded from a file reads as its _url, and finds the
  // files it loads beside, instead of the file's own (FileUrl). Empty, the
  // default, keeps the file's. Set before loading, kept across loads.
  void SetMovieUrl(std::string url);
  // Where movies loaded from files keep their SharedObject stores: a folder
  // per movie file inside `root` (DefaultSharedObjectRoot on a desktop,
  // %APPDATA%\Orrivel\SharedObjects on Windows). Empty, the default, keeps
  // nothing between runs. Set before loading, kept across loads.
  void SetSharedObjectRoot(std::filesystem::path root);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orrivel::swf
