// The display side of a clip's script object: the timeline it shows, its
// place in its parent's display list, and the clip properties scripts read
// and set there.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/clip_object.h"

namespace orrivel::swf::avm1 {

class TimelineClip final : public ClipObject {
 public:
  bool GetOwn(Vm& vm, std::string_view name, Value& out) override;
  bool SetOwn(Vm& vm, std::string_view name, const Value& v) override;
  bool HasOwn(Vm& vm, std::string_view name) override;
  // Variables, then the named clips on the timeline (for-in lists both).
  void OwnKeys(Vm& vm, std::vector<std::string>& out) override;

  std::shared_ptr<TimelineInstance> Instance() const override;
  void Detach(Vm& vm) override;
  ClipObject* Resolve() const override;
  DisplayObject* Placement() const override;
  std::string Path(Vm& vm) const override;
  ClipObject* Parent(Vm& vm) const override;
  ClipObject* Child(Vm& vm, std::string_view name) const override;
  bool IsButton() const override;
  int MovieVersion() const override;
  Value GetIndexed(Vm& vm, int index) override;
  void SetIndexed(Vm& vm, int index, const Value& v) override;
  void SetPlaying(bool playing) override;
  void GotoFrame(int frame, bool play) override;
  void Step(int delta) override;
  int FindLabel(std::string_view label) const override;
  std::vector<const std::vector<uint8_t>*> FrameActions(int frame) const override;

  // The clip it was made for; Instance() also follows a detached reference.
  std::weak_ptr<TimelineInstance> instance;

 private:
  bool Detached() const { return detachedVm_ != nullptr; }
  Vm* detachedVm_ = nullptr;  // set once detached
  // Where the reference looks: the clip's path under its first name.
  std::string detachedPath_;
};

// _width and _height in pixels: the box of what the clip shows, in its parent.
double ClipSize(ClipObject* clip, bool height);
void SetClipSize(ClipObject* clip, bool height, double pixels);
// What the display host does for duplicateMovieClip, removeMovieClip and
// startDrag / stopDrag.
ClipObject* DuplicateClip(Vm& vm, ClipObject* clip, const std::string& name, double depth);
void RemoveClip(Vm& vm, ClipObject* clip);
// The copy duplicateMovieClip places, before its script object is made.
std::shared_ptr<TimelineInstance> DuplicateInstance(ClipObject* clip, const std::string& name,
                                                    double depth);
void StartDragging(Vm& vm, ClipObject* clip, bool lockCenter, const double* bounds);
void StopDragging(Vm& vm);

}  // namespace orrivel::swf::avm1
