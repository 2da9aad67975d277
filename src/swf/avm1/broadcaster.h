// Listener lists as AsBroadcaster keeps them: an object's _listeners array
// and its addListener / removeListener / broadcastMessage methods, which the
// player's input objects (Key, Mouse, Stage, Selection) share.
#pragma once

#include <string_view>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

// Gives obj the three methods and an empty _listeners array, each with
// the extra flags (the player makes some objects read-only).
void MakeBroadcaster(Vm& vm, Object* obj, uint16_t extraFlags = 0);

// Calls listener[message](args) for each of obj's listeners, in the order
// they were added, as the list stood when the broadcast began. False when
// obj had no listener.
bool Broadcast(Vm& vm, Object* obj, std::string_view message, Args args = {});

}  // namespace orrivel::swf::avm1
