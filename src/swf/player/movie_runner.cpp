#include "swf/player/movie_runner.h"

#include "swf/player/actions.h"
#include "swf/player/display_tree.h"

namespace orrivel::swf {

MovieRunner::MovieRunner(const Movie& movie, const PlayerLimits& limits, SoundSink* sound)
    : movie_(movie) {
  ctx_.movie = &movie;
  ctx_.sound = sound;
  ctx_.limits = limits;
  if (movie.backgroundColor) {
    const Rgba c = *movie.backgroundColor;
    ctx_.background = Rgba{c.r, c.g, c.b, 255};
  }
  root_ = TimelineInstance::Create(ctx_, &movie.timeline, {}, 0, true);
  root_->Start();
  RunActionQueue(ctx_);
}

MovieRunner::~MovieRunner() = default;

void MovieRunner::Tick() {
  ++ctx_.tick;
  ctx_.tagsThisTick = 0;
  ctx_.actionStepsThisTick = 0;
  root_->Tick();
  RunActionQueue(ctx_);
}

void MovieRunner::RunEventActions(const std::shared_ptr<TimelineInstance>& owner,
                                  std::span<const uint8_t> bytes) {
  ctx_.tagsThisTick = 0;
  ctx_.actionStepsThisTick = 0;
  RunActions(ctx_, owner, bytes);
  RunActionQueue(ctx_);
}

void MovieRunner::FlushActions() {
  if (ctx_.actions.empty()) return;
  ctx_.tagsThisTick = 0;
  ctx_.actionStepsThisTick = 0;
  RunActionQueue(ctx_);
}

DisplayNode MovieRunner::BuildTree(const Matrix& stageToDevice) const {
  return BuildDisplayTree(*root_, movie_, stageToDevice);
}

}  // namespace orrivel::swf
