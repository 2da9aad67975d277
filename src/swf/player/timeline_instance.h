// A running timeline: the main movie or one placed sprite (or a button's
// state, which has a display list but no frames). Each owns its display list
// and its play state; nested sprites advance one frame per movie frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "swf/avm1/outgoing_request.h"
#include "swf/avm1/shared_object_store.h"
#include "swf/format/movie.h"
#include "swf/player/display_list.h"
#include "swf/sound/sound_sink.h"

namespace orrivel::swf {

class Drawing;
class EditText;
class HitTester;
class ImageDecoder;

namespace avm1 {
class Object;
class Vm;
}  // namespace avm1
class TextCache;

// Bounds that keep a hostile movie from taking unbounded time or memory.
struct PlayerLimits {
  std::size_t maxDisplayObjects = 20000;      // over all timelines together
  int maxNesting = 32;                        // sprite instances inside instances
  int maxActionBlocksPerTick = 2000;          // DoAction blocks run per frame
  int maxActionStepsPerBlock = 20000;         // actions read per block
  uint64_t maxActionStepsPerTick = 1u << 24;  // actions run per frame (scripts stop there)
  uint64_t maxTagsPerTick = 1u << 20;         // control tags run per frame (gotos)
  // Not a limit but a run option: Date's "now" at the start, in ms since
  // 1970; negative takes the wall clock.
  double clockStartMs = -1;
  // Nor is this: reads the files scripts load (Vm::readFile); unset, none is read.
  std::function<bool(const std::string& url, std::string& out)> readFile;
  // Nor this: reads the video files NetStream plays, under the same rules
  // as readFile but allowed to be bigger; unset, readFile reads them.
  std::function<bool(const std::string& url, std::string& out)> readStream;
  // Nor this: where SharedObject keeps its stores; unset, they last the run.
  avm1::LocalStorage localStorage;
  // Nor this: lights up what Selection.setFocus focused (Vm::focusHighlight).
  std::function<void(const std::shared_ptr<TimelineInstance>&)> focusHighlight;
  // Nor this: decodes the library bitmaps scripts load or draw into a
  // BitmapData; unset, those that need decoding stay empty.
  ImageDecoder* images = nullptr;
  // Nor this: hears of each request a movie makes (Vm::requestSink).
  std::function<void(const avm1::OutgoingRequest&)> requestSink;
  // Nor this: the movie's own URL (_url), which the files it loads are
  // found beside; empty for a movie that came from no file.
  std::string movieUrl;
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
inline constexpr uint32_t kClipEventInitialize = 0x200, kClipEventConstruct = 0x40000;

struct QueuedActions {
  std::weak_ptr<TimelineInstance> target;
  const std::vector<uint8_t>* bytes = nullptr;  // owned by the movie
  uint32_t clipEvent = 0;  // instead of bytes: a clip event (load = 1) to dispatch
  // An unload keeps its removed clip alive until the handlers have run.
  std::shared_ptr<TimelineInstance> keep;
  // A clip the timeline placed has its load event even if taken away first.
  bool placedByTimeline = false;
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
  // Run after the frame's display lists are built. The queue runs the first
  // entry of the most urgent non-empty list: DoInitAction blocks and the
  // initialize events of new clips (in tag order), then their construction
  // (class constructors), then frame actions and the other events in order.
  std::deque<QueuedActions> actions;
  std::deque<QueuedActions> initActions;
  std::deque<QueuedActions> constructs;
  bool scripts = true;  // false when the movie has no code: no events to queue
  // While a script's goto plays frames: how many calls deep that script is.
  int scriptGotoDepth = -1;
  uint64_t serial = 0;    // creation order of clips: the newest runs its frame first
  uint64_t removals = 0;  // clips that left the stage so far
  // Removed clips kept below every depth for their unload handlers: they
  // stay addressable for the rest of the frame and go when the next starts.
  std::vector<std::weak_ptr<TimelineInstance>> leaving;
  // Sprites whose DoInitAction already ran: once per sprite and movie.
  std::set<std::pair<const Movie*, uint16_t>> initDone;
  // The furthest frame of the main timeline whose tags have run: the
  // definitions up to its end are known to scripts.
  int framesReached = -1;
  Rgba background{255, 255, 255, 255};
  // The first SetBackgroundColor of any level sets the stage colour; later ones are ignored.
  bool backgroundSet = false;
  // fscommand:quit ran: once the running script ends, the movie plays,
  // hears and says nothing more.
  bool quit = false;
  SoundSink* sound = nullptr;  // told of each frame shown and each button change; may be null
  avm1::Vm* vm = nullptr;      // the movie's script machine, owned by the runner
  TextCache* texts = nullptr;  // lays out edit text for the metrics scripts read; may be null
  // Movies loaded into clips (loadMovie), kept while the runner lives.
  std::vector<std::unique_ptr<Movie>> loadedMovies;
  // The URL each movie came from, the main one's included (_url).
  std::map<const Movie*, std::string> movieUrls;
  // The player-wide settings scripts read and set: _quality (as scripts
  // name it; drawing keeps the user's choice) and _soundbuftime.
  std::string scriptQuality = "HIGH";
  int32_t soundBufferSeconds = 5;
  // Movies loaded into _level1, _level2 ... (loadMovieNum); level 0 is the
  // main timeline. Declared last: they die before the movies they show.
  std::map<int, std::shared_ptr<TimelineInstance>> levels;
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
  // This timeline alone moves on one frame (if playing); the frame's new
  // clips start at once and its actions queue.
  void StepOwnFrame();
  // The clips of this tree in the order their frames run: the newest first.
  void CollectExecutionOrder(std::vector<std::shared_ptr<TimelineInstance>>& out);
  uint64_t Serial() const { return serial_; }
  // Left the display list (its own or an ancestor's removal).
  bool Removed() const { return removed_; }
  // The instance name it had when it was last in a list.
  const std::string& LastName() const { return lastName_; }
  void SetLastName(std::string name) { lastName_ = std::move(name); }
  // The instance name it was placed with.
  const std::string& FirstName() const { return firstName_; }

  // 0-based; out-of-range frames are clamped (past the last frame, without
  // queueing that frame's actions). Going forward runs the skipped
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
  // The frame count its definition states, as scripts read it; a sprite
  // may state fewer or more frames than it has.
  int DeclaredFrames() const;
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
  std::shared_ptr<TimelineInstance> PlaceClip(uint16_t characterId, int32_t depth,
                                              const std::string& name, const DisplayObject* like);
  // Shows a script's bitmap at a depth, replacing what was there; false
  // when over budget.
  bool PlaceBitmap(int32_t depth, std::shared_ptr<ScriptBitmap> bitmap, bool smooth = false);
  // Takes the object at a depth out; true when a clip stays, below every
  // depth, for its unload handlers.
  bool RemoveDepth(int32_t depth);
  // Takes a removed clip, kept in the list for its unload handlers, out.
  void DropRemovedChild(const TimelineInstance* child);
  // Whether the clip or a clip inside it has an unload handler: such a
  // clip is kept, below every depth, until the handlers have run.
  bool HasUnloadHandler(const TimelineInstance& clip) const;
  TimelineContext& Context() { return ctx_; }
  // The movie whose characters this timeline shows: the main movie's, or a
  // movie loaded into the clip (and its sprites).
  const Movie& GetMovie() const { return *movie_; }
  // loadMovie: shows another movie's main timeline from its first frame, or
  // nothing (null, unloadMovie). The clip keeps its place and name.
  void ReplaceContent(const Movie* movie);

  // The script object of this clip, owned by the script machine's heap.
  avm1::Object* script = nullptr;
  // The clip event handlers of its placing tag (owned by the movie); kept
  // for the unload event, which runs after the clip left the list.
  const std::vector<ClipAction>* clipActions = nullptr;
  // Its initialize and construct events are still queued: a class
  // constructor waits for them.
  bool constructPending = false;
  // Placed by a script's goto (-1 otherwise): its initialize and construct
  // events run once a call made at this depth of that script returns, if the
  // queue has not run them yet.
  int buildAfterCallAt = -1;
  // The depth this instance was last placed at in its parent's list: where a
  // lookup of its entry starts.
  int32_t depthHint = 0;
  // What scripts drew into this clip; null until they draw.
  std::shared_ptr<Drawing> drawing;
  // The clip that masks this one (setMask); expired when none.
  std::weak_ptr<TimelineInstance> mask;
  // A text field masking this one instead (its glyphs); expired when none.
  std::weak_ptr<EditText> maskField;
  // Masks some clip: not drawn itself.
  bool isMask = false;
  // A level's root has no entry in a list, but scripts may still move,
  // scale, turn, fade or hide it (_root._x ...): its own placement, null
  // until they do.
  std::unique_ptr<DisplayObject> rootPlacement;
  // The address a load into this clip asked for and could not find: _url
  // reads it until a movie loads. Empty otherwise.
  std::string failedLoadUrl;

 private:
  TimelineInstance(TimelineContext& ctx, const Timeline* timeline,
                   std::weak_ptr<TimelineInstance> parent, int nesting, bool isRoot);
  std::size_t ListBudget() const;
  // pool: during a rewind, the objects the timeline may take back when a
  // placement finds its own character at the same depth.
  void ApplyFrameTags(int frame, DisplayList& list, bool queueActions, bool materialize,
                      DisplayList* pool = nullptr);
  // Goes back to an earlier frame by playing the timeline again from frame 1.
  void Rewind(int frame, bool runActions = true);
  void Commit(DisplayList next, bool rebuilt);
  // Whether a DoInitAction met now runs (and is marked as run).
  bool InitActionReady(const DoAction& action);
  void ShowButtonState(ButtonState state);
  void Materialize(DisplayObject& obj);
  // Queues the unload events of a clip leaving the list, its children first.
  void QueueUnload(const std::shared_ptr<TimelineInstance>& gone);
  void MarkRemoved(std::vector<std::shared_ptr<TimelineInstance>>& order);
  // Takes out of a removed clip's tree the clips no unload handler waits for.
  void DropQuietChildren();
  void Advance(bool recurse);
  void AttachEditText(DisplayObject& obj);

  TimelineContext& ctx_;
  const Movie* movie_;  // owned by the runner
  const Timeline* timeline_;
  std::weak_ptr<TimelineInstance> parent_;
  int nesting_;
  bool isRoot_;
  int current_ = 0;
  bool playing_ = true;
  uint64_t bornTick_ = 0;
  uint64_t serial_ = 0;
  bool removed_ = false;
  std::string lastName_, firstName_;
  const ButtonDefinition* button_ = nullptr;  // owned by the movie
  ButtonState buttonState_ = ButtonState::Up;
  DisplayList list_;
};

}  // namespace orrivel::swf
