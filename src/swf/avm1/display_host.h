// What the script machine asks of the display that runs it. The machine
// never looks inside a timeline: a clip is a ClipObject whose display side
// the host implements, and a timeline is an opaque TimelineInstance handle
// that only the host opens. The player library implements this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/value.h"

namespace orrivel::swf {
struct Movie;
class TimelineInstance;
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

class ClipObject;
class Object;
class Vm;

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;

  // ---- Clips by name and by place -------------------------------------------
  // The script object of a timeline (made on first use); null for none.
  virtual ClipObject* ClipFor(const std::shared_ptr<TimelineInstance>& t) = 0;
  virtual ClipObject* RootClip() = 0;
  // A script's call of a function or method has returned.
  virtual void CallReturned() {}
  // What _root means to code in `clip`: the root of its level (or of the
  // nearest clip with _lockroot set).
  virtual ClipObject* RootOf(ClipObject* clip) = 0;
  // "_level0", "_level1" ...: null when no movie is loaded there.
  virtual ClipObject* LevelClip(std::string_view name) = 0;
  virtual int LevelOf(const TimelineInstance* top) = 0;
  // The movie whose exports and version the running code names.
  virtual const Movie& CodeMovie() = 0;

  // ---- Changing the display --------------------------------------------------
  virtual ClipObject* Duplicate(ClipObject* clip, const std::string& name, double depth) = 0;
  // duplicateMovieClip on a text field; false when `target` is none.
  virtual bool DuplicateField(Object* target, const std::string& name, double depth) = 0;
  virtual void Remove(ClipObject* clip) = 0;
  // removeMovieClip on a text field (at any depth); false when `target` is none.
  virtual bool RemoveField(Object* target) = 0;
  virtual void StartDrag(ClipObject* clip, bool lockCenter, const double* bounds) = 0;
  virtual void StopDrag() = 0;
  virtual void StopSounds() = 0;
  // "_level0.a.field", as a text field converts to text.
  virtual std::string FieldPath(Object* field) = 0;

  // ---- Running code ----------------------------------------------------------
  // The timeline a frame or event block of `clip` stops with when it leaves
  // the stage; empty when the block runs to its end regardless.
  virtual std::weak_ptr<TimelineInstance> Watch(ClipObject* clip) = 0;
  virtual bool LeftStage(const std::weak_ptr<TimelineInstance>& watched) = 0;
  // Clips that left the stage so far: a running block checks its own clip
  // only when this moved, so the count is read without a call.
  uint64_t Removals() const { return *removals_; }

  // ---- Built-in classes and the collector ------------------------------------
  // Installs a step of the registry whose natives work on the display
  // (MovieClip, TextField, Key and Selection ...).
  virtual void InstallClasses(Vm& vm, std::string_view step) = 0;
  // Adds every script object the display holds: clips' and fields' objects,
  // and whatever else keeps script objects for later.
  virtual void TraceRoots(std::vector<Object*>& out) = 0;

 protected:
  void CountRemovalsAt(const uint64_t* removals) { removals_ = removals; }

 private:
  static constexpr uint64_t kNoRemovals = 0;
  const uint64_t* removals_ = &kNoRemovals;
};

}  // namespace orrivel::swf::avm1
