#include "swf/player/movie_runner.h"

#include <algorithm>

#include "swf/avm1/host_state.h"
#include "swf/player/script/text_field_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/actions.h"
#include "swf/player/display_tree.h"
#include "swf/player/movie_loader.h"
#include "swf/player/script/net_stream_object.h"
#include "swf/player/script/script_display.h"

namespace orrivel::swf {

namespace {
// Collecting every frame costs little for small heaps; bigger heaps wait longer.
constexpr uint64_t kCollectEveryFrames = 8;
bool TimelineHasScripts(const Timeline& t) {
  for (const Frame& f : t.frames) {
    for (const ControlTag& tag : f.tags) {
      if (std::holds_alternative<DoAction>(tag)) return true;
      if (const auto* place = std::get_if<PlaceObject>(&tag); place && place->hasClipActions)
        return true;
    }
  }
  return false;
}

// Whether any code can run: movies without it skip the per-frame event walk.
bool HasScripts(const Movie& movie) {
  if (TimelineHasScripts(movie.timeline)) return true;
  for (const auto& [id, c] : movie.characters) {
    if (const auto* sprite = std::get_if<SpriteDefinition>(&c)) {
      if (TimelineHasScripts(sprite->timeline)) return true;
    } else if (const auto* button = std::get_if<ButtonDefinition>(&c)) {
      if (!button->actions.empty()) return true;
    }
  }
  return false;
}

}  // namespace

MovieRunner::MovieRunner(const Movie& movie, const PlayerLimits& limits, SoundSink* sound,
                         std::function<void(const std::string&)> trace,
                         std::function<void(const std::string&)> refusal)
    : movie_(movie) {
  ctx_.movie = &movie;
  ctx_.sound = sound;
  ctx_.limits = limits;
  if (movie.backgroundColor) {
    const Rgba c = *movie.backgroundColor;
    ctx_.background = Rgba{c.r, c.g, c.b, 255};
    ctx_.backgroundSet = true;
  }
  avm1::VmLimits vmLimits;
  vmLimits.stepsPerFrame = limits.maxActionStepsPerTick;
  display_ = std::make_unique<avm1::ScriptDisplay>(ctx_);
  vm_ = std::make_unique<avm1::Vm>(display_.get(), &movie, movie.header.version, vmLimits);
  ctx_.vm = vm_.get();
  texts_ = std::make_unique<TextCache>(movie);
  ctx_.texts = texts_.get();
  hasScripts_ = HasScripts(movie);
  ctx_.scripts = hasScripts_;
  // The player's log ends a line at every carriage return.
  if (trace) {
    vm_->traceSink = [sink = std::move(trace)](const std::string& line) {
      std::string out = line;
      std::replace(out.begin(), out.end(), '\r', '\n');
      sink(out);
    };
  }
  vm_->refusalSink = std::move(refusal);
  vm_->quitMovie = [this] { ctx_.quit = true; };
  vm_->quitMovieAfterFrame = [this] { quitAfterFrame_ = true; };
  if (limits.clockStartMs >= 0) vm_->dateBaseMs = limits.clockStartMs;
  vm_->readFile = limits.readFile;
  vm_->requestSink = limits.requestSink;
  vm_->focusHighlight = limits.focusHighlight;
  avm1::HostStateOf(*vm_).storage = limits.localStorage;
  if (!limits.movieUrl.empty()) ctx_.movieUrls[&movie] = limits.movieUrl;
  root_ = TimelineInstance::Create(ctx_, &movie.timeline, {}, 0, true);
  display_->root = root_;
  vm_->NewFrame();
  root_->Start();
  // The root's load event follows its first frame's actions.
  if (hasScripts_) ctx_.actions.push_back({root_, nullptr, kClipEventLoad, nullptr});
  RunActionQueue(ctx_);
  FinishFrameLoads();
}

std::map<int, std::shared_ptr<TimelineInstance>> MovieRunner::LevelsNow() const {
  return ctx_.levels;  // a copy: scripts may load or unload levels meanwhile
}

void MovieRunner::FinishFrameLoads() {
  if (!ctx_.vm->loads.empty()) {
    RunPendingLoads(ctx_);
    RunActionQueue(ctx_);
  }
  if (quitAfterFrame_) ctx_.quit = true;
  avm1::SyncTextFields(*vm_);
}

MovieRunner::~MovieRunner() {
  // Timelines go before the machine whose objects they point at. The sound
  // sink may already be gone: the host silences it. The movie's stores are
  // kept first, as Flash kept them when a movie closed.
  avm1::WriteSharedObjects(*vm_);
  ctx_.sound = nullptr;
  root_.reset();
  display_->root.reset();
  ctx_.levels.clear();
  ctx_.actions.clear();
  ctx_.constructs.clear();
}

void MovieRunner::AdvanceScriptTime(double ms) { vm_->timeMs += ms; }

void MovieRunner::Tick() {
  if (ctx_.quit) return;
  ++ctx_.tick;
  ctx_.tagsThisTick = 0;
  ctx_.actionStepsThisTick = 0;
  vm_->NewFrame();
  if (!hasScripts_) {
    root_->Tick();
    return;
  }
  DropLeavingClips(ctx_);
  vm_->RunTimers();
  RunActionQueue(ctx_);
  RunFrame(ctx_, root_);
  for (const auto& [n, level] : LevelsNow()) RunFrame(ctx_, level);
  RunActionQueue(ctx_);
  avm1::AdvanceNetStreams(*vm_);
  avm1::DeliverLocalConnectionMessages(*vm_);
  RunActionQueue(ctx_);
  FinishFrameLoads();
  if (++framesSinceCollect_ >= kCollectEveryFrames) {
    framesSinceCollect_ = 0;
    vm_->Collect();
  }
}

void MovieRunner::RunEventActions(const std::shared_ptr<TimelineInstance>& owner,
                                  std::span<const uint8_t> bytes) {
  if (ctx_.quit) return;
  ctx_.tagsThisTick = 0;
  ctx_.actionStepsThisTick = 0;
  vm_->NewFrame();
  RunActions(ctx_, owner, bytes);
  RunActionQueue(ctx_);
  if (quitAfterFrame_) ctx_.quit = true;
  avm1::SyncTextFields(*vm_);
}

void MovieRunner::FlushActions() {
  if (ctx_.actions.empty() && ctx_.initActions.empty() && ctx_.constructs.empty()) return;
  ctx_.tagsThisTick = 0;
  ctx_.actionStepsThisTick = 0;
  RunActionQueue(ctx_);
  if (quitAfterFrame_) ctx_.quit = true;
}

DisplayNode MovieRunner::BuildTree(const Matrix& stageToDevice) const {
  return BuildDisplayTree(*root_, movie_, stageToDevice, ctx_.levels);
}

}  // namespace orrivel::swf
