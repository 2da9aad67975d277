// The player's side of the script machine's display host: clips' script
// objects, target paths through the display lists, and the script objects
// the display keeps, which the collector reaches through here.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/display_host.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

class ScriptDisplay final : public DisplayHost {
 public:
  explicit ScriptDisplay(TimelineContext& ctx);

  ClipObject* ClipFor(const std::shared_ptr<TimelineInstance>& t) override;
  ClipObject* RootClip() override { return ClipFor(root); }
  void CallReturned() override;
  ClipObject* RootOf(ClipObject* clip) override;
  ClipObject* LevelClip(std::string_view name) override;
  int LevelOf(const TimelineInstance* top) override;
  const Movie& CodeMovie() override;
  ClipObject* Duplicate(ClipObject* clip, const std::string& name, double depth) override;
  bool DuplicateField(Object* target, const std::string& name, double depth) override;
  bool RemoveField(Object* target) override;
  void Remove(ClipObject* clip) override;
  void StartDrag(ClipObject* clip, bool lockCenter, const double* bounds) override;
  void StopDrag() override;
  void StopSounds() override;
  std::string FieldPath(Object* field) override;
  std::weak_ptr<TimelineInstance> Watch(ClipObject* clip) override;
  bool LeftStage(const std::weak_ptr<TimelineInstance>& watched) override;
  void InstallClasses(Vm& vm, std::string_view step) override;
  void TraceRoots(std::vector<Object*>& out) override;

  TimelineContext& ctx;
  std::shared_ptr<TimelineInstance> root;  // the main timeline (level 0)
  // NetStreams with a file open or an event to tell, roots of the collector;
  // and the script time they were last moved on at (-1: never).
  std::vector<Object*> netStreams;
  double streamClockMs = -1;

 private:
  Vm& Machine() { return *ctx.vm; }
};

// The display host of a machine the player made.
inline ScriptDisplay& DisplayOf(Vm& vm) { return *static_cast<ScriptDisplay*>(vm.display); }

// The registry's steps whose natives work on the display, by the names the
// registry gives them.
std::span<const Registration> DisplayClasses();

// The class registered for the character a clip was placed as; null when none.
Object* RegisteredClass(Vm& vm, const std::shared_ptr<TimelineInstance>& t, uint16_t characterId);

}  // namespace orrivel::swf::avm1
