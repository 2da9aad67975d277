// Runs a loaded movie's timelines frame by frame, without time or drawing:
// the display lists, the nested sprites and the frame actions.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <memory>
#include <span>

#include "swf/format/movie.h"
#include "swf/player/timeline_instance.h"
#include "swf/render/display.h"
#include "swf/render/text_render.h"

namespace orrivel::swf {

namespace avm1 {
class ScriptDisplay;
}

class MovieRunner {
 public:
  // Shows frame 1 at once (control tags, then actions). movie must outlive the runner.
  // The sound sink hears of frames and button changes (may be null); the
  // other sinks receive trace() lines and refused requests (may be empty).
  explicit MovieRunner(const Movie& movie, const PlayerLimits& limits = {},
                       SoundSink* sound = nullptr,
                       std::function<void(const std::string&)> trace = {},
                       std::function<void(const std::string&)> refusal = {});
  ~MovieRunner();
  MovieRunner(const MovieRunner&) = delete;
  MovieRunner& operator=(const MovieRunner&) = delete;

  // One movie frame: every timeline moves on, then the queued actions run.
  void Tick();

  // Runs an event's action block (a button's) between frames on the timeline
  // owner, at once; the frame actions its gotos queue run straight after. Each
  // event has a frame's worth of the action and tag limits.
  void RunEventActions(const std::shared_ptr<TimelineInstance>& owner,
                       std::span<const uint8_t> bytes);
  // Runs the frame actions queued between frames (by sprites an event placed).
  void FlushActions();

  // Script time (getTimer, intervals) moves on by this much before each Tick.
  void AdvanceScriptTime(double ms);
  avm1::Vm& Vm() { return *vm_; }

  TimelineInstance& Root() { return *root_; }
  const TimelineInstance& Root() const { return *root_; }
  Rgba Background() const { return ctx_.background; }
  // fscommand:quit ended the movie.
  bool Ended() const { return ctx_.quit; }
  std::size_t LiveObjects() const { return ctx_.liveObjects; }
  DisplayNode BuildTree(const Matrix& stageToDevice) const;
  // The movies loaded into levels above the root, by level.
  std::map<int, std::shared_ptr<TimelineInstance>> LevelsNow() const;

 private:
  // Answers the files the frame's scripts asked for.
  void FinishFrameLoads();

  const Movie& movie_;
  TimelineContext ctx_;
  std::unique_ptr<avm1::ScriptDisplay> display_;  // what the machine asks of the display
  std::unique_ptr<avm1::Vm> vm_;
  std::unique_ptr<TextCache> texts_;        // edit text metrics for scripts
  std::shared_ptr<TimelineInstance> root_;  // declared after ctx_ and vm_: dies first
  uint64_t framesSinceCollect_ = 0;
  bool hasScripts_ = true;
  bool quitAfterFrame_ = false;  // the movie ends once this frame's scripts have run
};

}  // namespace orrivel::swf
