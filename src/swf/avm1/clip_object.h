// The script side of a movie clip (or the main timeline): its variables,
// its properties (_x, _alpha, _currentframe ...) and its named children.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "swf/avm1/object.h"

namespace orrivel::swf {
class TimelineInstance;
struct DisplayObject;
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

class ClipObject : public Object {
 public:
  bool GetOwn(Vm& vm, std::string_view name, Value& out) override;
  bool SetOwn(Vm& vm, std::string_view name, const Value& v) override;
  bool HasOwn(Vm& vm, std::string_view name) override;
  // Variables, then the named clips on the timeline (for-in lists both).
  void OwnKeys(Vm& vm, std::vector<std::string>& out) override;
  bool IsClip() const override { return true; }
  const char* TypeName() const override { return "[object Object]"; }

  // The clip shown; for a reference to an unloaded clip, whichever clip
  // now has its path (null when none does).
  std::shared_ptr<TimelineInstance> Instance() const;
  // The clip was unloaded: its variables go, and from now on this object
  // stands for whatever clip later takes its path.
  void Detach(Vm& vm);
  // The live object this one stands for: itself, another clip's object, or null.
  ClipObject* Resolve() const;
  // The display-list entry that shows this clip in its parent; null for the
  // root or a removed clip.
  DisplayObject* Placement() const;
  // "_level0.a.b", as targetPath and trace print a clip.
  std::string Path(Vm& vm) const;
  ClipObject* Parent(Vm& vm) const;
  ClipObject* Child(Vm& vm, std::string_view name) const;

  // Properties by the index GetProperty / SetProperty use (0 = _x ... 21).
  Value GetIndexed(Vm& vm, int index);
  void SetIndexed(Vm& vm, int index, const Value& v);

  std::weak_ptr<TimelineInstance> instance;
  std::optional<bool> focusRect;    // _focusrect; unset reads null
  std::optional<int32_t> tabIndex;  // a button's tabIndex; unset reads undefined

 private:
  Vm* detachedVm_ = nullptr;  // set once detached
  // Where the reference looks: the clip's path under its first name.
  std::string detachedPath_;
};

// Index of a property name (_x = 0 ... _ymouse = 21), or -1.
int ClipPropertyIndex(std::string_view name);

// Resolves a target path ("/a/b", "../c", "_root.a.b", "a:b" without the
// variable) from a clip; null when it names no clip.
ClipObject* ResolveTarget(Vm& vm, ClipObject* base, std::string_view path);
// The same walk for the owner of a variable ("/obj:name", "a/b:c.d"): steps may
// also pass through variables holding plain objects.
Object* ResolvePath(Vm& vm, ClipObject* base, std::string_view path, bool anyObject);
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
// _width and _height in pixels: the box of what the clip shows, in its parent.
double ClipSize(ClipObject* clip, bool height);
void SetClipSize(ClipObject* clip, bool height, double pixels);
void ClipStartDrag(Vm& vm, ClipObject* clip, bool lockCenter, const double* bounds);
void ClipStopDrag(Vm& vm);

}  // namespace orrivel::swf::avm1
