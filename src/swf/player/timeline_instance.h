// A running timeline: the main movie or one placed sprite (or a button's
// state, which has a display list but no frames). Each owns its display list
// and its play state; nested sprites advance one frame per movie frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "swf/format/movie.h"
#include "swf/player/display_list.h"
#include "swf/sound/sound_sink.h"

namespace orrivel::swf {

class Drawing;
class HitTester;

namespace avm1 {
class Object;
class Vm;
}  // namespace avm1

// Bounds that keep a hostile movie from taking unbounded time or memory.
struct PlayerLimits {
  std::size_t maxDisplayObjects = 20000;      // over all timelines together
  int maxNesting = 32;                        // sprite instances inside instances
  int maxActionBlocksPerTick = 2000;          // DoAction blocks run per frame
  int maxActionStepsPerBlock = 20000;         // actions read per block
  uint64_t maxActionStepsPerTick = 1u << 20;  // actions run per frame (scripts stop there)
  uint64_t maxTagsPerTick = 1u << 20;         // control tags run per frame (gotos)
  // Not a limit but a run option: Date's "now" at the start, in ms since
  // 1970; negative takes the wall clock.
  double clockStartMs = -1;
};

// The three looks of a button; its hit area is a fourth set of records that
// is tested, never shown.
enum class ButtonState : uint8_t { Up, Over, Down };

// Clip event bits of ClipAction::events.
inline constexpr uint32_t kClipEventLoad = 0x1, kClipEventEnterFrame = 0x2, kClipEventUnload = 0x4;
inline constexpr uint32_t kClipEventMouseMove = 0x8, kClipEventMouseDown = 0x10;
inline constexpr uint32_t kClipEventMouseUp = 0x20, kClipEventKeyDown = 0x40,
                          kClipEventKeyUp = 0x80;
inline constexpr uint32_t kClipEventData = 0x100;

struct QueuedActions {
  std::weak_ptr<TimelineInstance> target;
  const std::vector<uint8_t>* bytes = nullptr;  // owned by the movie
  uint32_t clipEvent = 0;  // instead of bytes: a clip event (load = 1) to dispatch
};

// State shared by every timeline of one loaded movie.
struct TimelineContext {
  const Movie* movie = nullptr;
  PlayerLimits limits;
  std::size_t liveObjects = 0;     // sum of all live display lists' sizes
  std::size_t pendingObjects = 0;  // placed in lists still being built
  uint64_t instanceCount = 0;      // for the names of unnamed instances
  uint64_t tick = 0;
  uint64_t tagsThisTick = 0;
  uint64_t actionStepsThisTick = 0;
  std::deque<QueuedActions> actions;      // run after the frame's display lists are built
  std::deque<QueuedActions> initActions;  // DoInitAction blocks, run before `actions`
  std::set<const void*> initDone;         // init blocks already queued
  Rgba background{255, 255, 255, 255};
  SoundSink* sound = nullptr;  // told of each frame shown and each button change; may be null
  avm1::Vm* vm = nullptr;      // the movie's script machine, owned by the runner
  std::shared_ptr<HitTester> scriptHits;  // for hitTest with shapeFlag, made on first use
  std::size_t drawingCommands = 0;        // held by all clips' drawings together
};

class TimelineInstance : public std::enable_shared_from_this<TimelineInstance> {
 public:
  // timeline is null for a button state: a fixed list built by StartButton.
  static std::shared_ptr<TimelineInstance> Create(TimelineContext& ctx, const Timeline* timeline,
                                                  std::weak_ptr<TimelineInstance> parent,
                                                  int nesting, bool isRoot);
  ~TimelineInstance();
  TimelineInstance(const TimelineInstance&) = delete;
  TimelineInstance& operator=(const TimelineInstance&) = delete;

  // Shows frame 1: its control tags run now, its actions are queued.
  void Start();
  // Shows the up state of a button.
  void StartButton(const ButtonDefinition& button);
  // Rebuilds a button's display list from the records of another state.
  // Objects shown in both states keep their instance. False when nothing changed.
  bool SetButtonState(ButtonState state);
  // The definition of a button instance; null for timelines.
  const ButtonDefinition* Button() const { return button_; }
  ButtonState GetButtonState() const { return buttonState_; }

  // One movie frame: this timeline moves on (if playing), then the instances
  // that existed before this frame do the same.
  void Tick();

  // 0-based; out-of-range frames are clamped. Going forward runs the skipped
  // frames' control tags; going backward rebuilds from frame 1, keeping
  // instances that stay at the same depth with the same character. The
  // target frame's actions are queued. False when nothing moved.
  bool GotoFrame(int frame);
  // -1 when no frame carries the label (compared without case, as AVM1 does).
  int FindLabel(std::string_view label) const;

  void SetPlaying(bool playing) { playing_ = playing; }
  bool Playing() const { return playing_; }
  int CurrentFrame() const { return current_; }
  int FrameCount() const;
  const DisplayList& List() const { return list_; }
  std::shared_ptr<TimelineInstance> Parent() const { return parent_.lock(); }
  // A child sprite by instance name (without case); null when there is none.
  std::shared_ptr<TimelineInstance> ChildByName(std::string_view name) const;
  bool IsRoot() const { return isRoot_; }
  DisplayList& MutableList() { return list_; }
  // The action blocks of a frame (0-based), for the Call action.
  std::vector<const std::vector<uint8_t>*> FrameActions(int frame) const;
  // Places a new instance of a sprite (or an empty clip when characterId has
  // no timeline) at a depth, replacing what was there. Null when over budget.
  std::shared_ptr<TimelineInstance> PlaceClip(uint16_t characterId, uint16_t depth,
                                              const std::string& name, const DisplayObject* like);
  void RemoveDepth(uint16_t depth);
  TimelineContext& Context() { return ctx_; }

  // The script object of this clip, owned by the script machine's heap.
  avm1::Object* script = nullptr;
  // The depth this instance was last placed at in its parent's list: where a
  // lookup of its entry starts.
  uint16_t depthHint = 0;
  // What scripts drew into this clip; null until they draw.
  std::shared_ptr<Drawing> drawing;
  // The clip that masks this one (setMask); expired when none.
  std::weak_ptr<TimelineInstance> mask;
  // Masks some clip: not drawn itself.
  bool isMask = false;

 private:
  TimelineInstance(TimelineContext& ctx, const Timeline* timeline,
                   std::weak_ptr<TimelineInstance> parent, int nesting, bool isRoot);
  std::size_t ListBudget() const;
  void ApplyFrameTags(int frame, DisplayList& list, bool queueActions, bool materialize);
  void Commit(DisplayList next, bool rebuilt);
  void ShowButtonState(ButtonState state);
  void Materialize(DisplayObject& obj);

  TimelineContext& ctx_;
  const Timeline* timeline_;
  std::weak_ptr<TimelineInstance> parent_;
  int nesting_;
  bool isRoot_;
  int current_ = 0;
  bool playing_ = true;
  uint64_t bornTick_ = 0;
  const ButtonDefinition* button_ = nullptr;  // owned by the movie
  ButtonState buttonState_ = ButtonState::Up;
  DisplayList list_;
};

}  // namespace orrivel::swf
