// Every action block a movie holds, named by where it sits: what the
// disassembler prints and the movie summary counts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "swf/format/movie.h"

namespace orrivel::swf::avm1 {

struct ActionBlock {
  std::string where;  // "frame 3", "sprite 12 frame 1 init", "button 4 condition 0x0008" ...
  std::span<const uint8_t> code;
};

// Frame scripts and init actions of the main timeline and of sprites, clip
// event handlers, and button actions: the main timeline first, then sprites
// and buttons by id.
std::vector<ActionBlock> ActionBlocksOf(const Movie& movie);

}  // namespace orrivel::swf::avm1
