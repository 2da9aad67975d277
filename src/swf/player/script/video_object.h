// The script side of a placed video character (builtins_video.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "swf/avm1/object.h"
#include "swf/player/video_display.h"

namespace orrivel::swf {
class TimelineInstance;
struct DisplayObject;
struct VideoDefinition;
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

class ClipObject;

class VideoObject : public Object {
 public:
  bool GetOwn(Vm& vm, std::string_view name, Value& out) override;
  bool SetOwn(Vm& vm, std::string_view name, const Value& v) override;
  bool IsVideo() const override { return true; }
  // "_level0.clip.name"; empty once removed.
  std::string Path(Vm& vm) const;

  // Its place in its parent's list, and the character; null once removed.
  DisplayObject* Placement(const VideoDefinition** def = nullptr) const;

  std::weak_ptr<VideoDisplay> display;
  std::weak_ptr<TimelineInstance> parent;
  bool smoothing = false;
  double deblocking = 0;
};

// Whether the object on a timeline's list is a video character.
bool IsVideoPlacement(const TimelineInstance& t, const DisplayObject& obj);
// A video on a clip by instance name (its object made on first use); null
// when there is none.
VideoObject* VideoChild(Vm& vm, const ClipObject& parent, std::string_view name);
// duplicateMovieClip of a video: a copy of its placement under a new name
// at a script depth, showing no stream; false when it cannot be made.
bool DuplicateVideo(const VideoObject& source, const std::string& name, double depth);

}  // namespace orrivel::swf::avm1
