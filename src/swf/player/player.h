// The SWF player: loads a movie, runs its timeline at the movie's frame rate,
// and renders frames with "show all" scaling. This is what the movie window
// and the settings dialog's preview host.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "swf/format/reader.h"
#include "swf/raster/raster.h"
#include "swf/render/image_decoder.h"
#include "swf/render/display.h"
#include "swf/render/renderer.h"

namespace orrivel::swf {

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

  void SetQuality(Quality q);
  Quality GetQuality() const;

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

  // What Render would draw into a width x height target; the root maps stage
  // twips to device pixels.
  DisplayNode BuildDisplayTree(int width, int height) const;
  // Whether the main timeline is playing (false once the movie stopped itself).
  bool IsPlaying() const;
  // The stage colour (SetBackgroundColor; white when the movie sets none).
  Rgba BackgroundColor() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orrivel::swf
