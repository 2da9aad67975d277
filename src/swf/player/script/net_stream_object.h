// NetConnection and NetStream as a screen saver can have them: a null
// connection only, and streams of FLV files from the movie's own folder.
// What a stream keeps lives in a typed state, out of every script's reach.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "swf/avm1/object.h"
#include "swf/player/video_display.h"

namespace orrivel::swf::avm1 {

class Vm;

class NetStreamState : public Object {
 public:
  bool connected = false;  // made on a connected NetConnection
  Value bufferTime;        // as setBufferTime last set it
  // Shared with the videos the stream is attached to.
  std::shared_ptr<StreamSource> source = std::make_shared<StreamSource>();
  // Status events of a failed play(), told on the next tick.
  std::vector<std::pair<std::string, std::string>> pending;
};

// The state of a NetStream object (or one it inherits from); null for others.
NetStreamState* NetStreamOf(Object* obj);

// Moves every open stream on by the player's time since the last call, and
// tells the streams' scripts what happened (between frames).
void AdvanceNetStreams(Vm& vm);

}  // namespace orrivel::swf::avm1
