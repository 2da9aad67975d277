// What a placed video character shows besides its own frames: the stream a
// script attached to it (Video.attachVideo), and the picture that stays
// after the stream stops or closes, until Video.clear().
#pragma once

#include <memory>

#include "swf/raster/raster.h"
#include "swf/video/flv_playback.h"

namespace orrivel::swf {

namespace avm1 {
class Object;
}

// One per NetStream, shared with the videos it is attached to: play()
// puts a new playback in, close() takes it out.
struct StreamSource {
  std::shared_ptr<video::FlvPlayback> playback;
};

struct VideoDisplay {
  avm1::Object* script = nullptr;  // the Video object scripts see; the collector's root
  std::shared_ptr<StreamSource> source;

  // The picture to draw: the stream's newest, else the last one shown.
  std::shared_ptr<const raster::Image> Current() {
    auto latest = source && source->playback ? source->playback->Picture() : nullptr;
    if (latest && latest != hidden) shown = std::move(latest);
    return shown;
  }
  // Video.clear(): nothing shows until the stream gives a new picture.
  void Clear() {
    hidden = source && source->playback ? source->playback->Picture() : shown;
    shown = nullptr;
  }

 private:
  std::shared_ptr<const raster::Image> shown, hidden;
};

}  // namespace orrivel::swf
