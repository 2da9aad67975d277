// The script side of a movie clip (or the main timeline): its variables,
// its properties (_x, _alpha, _currentframe ...) and its named children.
// What the clip shows belongs to the display, which implements this class
// (TimelineClip in the player); the machine only calls it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/object.h"

namespace orrivel::swf {
class TimelineInstance;
struct DisplayObject;
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

class ClipObject : public Object {
 public:
  bool IsClip() const override { return true; }
  const char* TypeName() const override { return "[object Object]"; }

  // The clip shown (an opaque handle here); for a reference to an unloaded
  // clip, whichever clip now has its path (null when none does).
  virtual std::shared_ptr<TimelineInstance> Instance() const = 0;
  // The clip was unloaded: its variables go, and from now on this object
  // stands for whatever clip later takes its path.
  virtual void Detach(Vm& vm) = 0;
  // The live object this one stands for: itself, another clip's object, or null.
  virtual ClipObject* Resolve() const = 0;
  // The display-list entry that shows this clip in its parent; null for the
  // root or a removed clip.
  virtual DisplayObject* Placement() const = 0;
  // "_level0.a.b", as targetPath and trace print a clip.
  virtual std::string Path(Vm& vm) const = 0;
  virtual ClipObject* Parent(Vm& vm) const = 0;
  virtual ClipObject* Child(Vm& vm, std::string_view name) const = 0;
  // A button instance (from version 6 its own kind of object).
  virtual bool IsButton() const = 0;
  // The version of the movie the clip shows; 0 when it is off the stage.
  virtual int MovieVersion() const = 0;

  // Properties by the index GetProperty / SetProperty use (0 = _x ... 21).
  virtual Value GetIndexed(Vm& vm, int index) = 0;
  virtual void SetIndexed(Vm& vm, int index, const Value& v) = 0;

  // The timeline; each does nothing when the clip is off the stage.
  virtual void SetPlaying(bool playing) = 0;
  virtual void GotoFrame(int frame, bool play) = 0;  // 0-based
  virtual void Step(int delta) = 0;                  // nextFrame / prevFrame
  // -1 when no frame carries the label (or the clip is off the stage).
  virtual int FindLabel(std::string_view label) const = 0;
  // The action blocks of a frame (0-based), for the Call action.
  virtual std::vector<const std::vector<uint8_t>*> FrameActions(int frame) const = 0;

  std::optional<bool> focusRect;    // _focusrect; unset reads null
  std::optional<int32_t> tabIndex;  // a button's tabIndex; unset reads undefined
};

// Index of a property name (_x = 0 ... _ymouse = 21), or -1.
int ClipPropertyIndex(std::string_view name);

// Resolves a target path ("/a/b", "../c", "_root.a.b", "a:b" without the
// variable) from a clip; null when it names no clip. The target actions log
// a step reaching a primitive variable, as the player does.
ClipObject* ResolveTarget(Vm& vm, ClipObject* base, std::string_view path,
                          bool logPrimitive = false);
// The same walk for the owner of a variable ("/obj:name", "a/b:c.d"): steps may
// also pass through variables holding plain objects, and may start at one.
Object* ResolvePath(Vm& vm, Object* base, std::string_view path, bool anyObject,
                    bool logPrimitive = false);
// What SetProperty makes of a value for property `index` (a number or text,
// or nothing for read-only ones); calls valueOf or toString as that needs.
Value ConvertPropertyValue(Vm& vm, int index, const Value& v);

// Timeline control on a clip, as the actions and MovieClip methods use it.
void ClipSetPlaying(ClipObject* clip, bool playing);
void ClipGotoFrame(ClipObject* clip, int frame, bool play);  // 0-based
// A frame by value: 1-based number, label, or "path:frame"; bias shifts numbers.
void ClipGotoValue(Vm& vm, ClipObject* clip, const Value& frame, bool play, int bias = 0);
// The GotoLabel action: labels only; a missing label changes nothing.
void ClipGotoLabel(ClipObject* clip, const std::string& label);
void ClipStep(ClipObject* clip, int delta);  // nextFrame / prevFrame
// Runs the actions of a frame of the clip now (the Call action).
void ClipCallFrame(Vm& vm, ClipObject* clip, const Value& frame);
// The display-list key of a depth a script names; false outside the range
// scripts may use (-16384 up to 2130690044).
bool ClipDepthKey(double depth, int32_t& key);
ClipObject* ClipDuplicate(Vm& vm, ClipObject* clip, const std::string& name, double depth);
void ClipRemove(Vm& vm, ClipObject* clip);
void ClipStartDrag(Vm& vm, ClipObject* clip, bool lockCenter, const double* bounds);
void ClipStopDrag(Vm& vm);

}  // namespace orrivel::swf::avm1
