// Internal to the reader: walks the tag stream of a timeline (the main one or
// a sprite's), dispatching each tag body to its parser.
#pragma once

#include "swf/format/tag_readers.h"

namespace orrivel::swf {

struct TagWalkResult {
  bool actionScript3 = false;  // a DoABC tag was met: the load must fail
  bool budgetExhausted = false;
  size_t damagedTags = 0;
};

// Reads tags from r (whose position 0 lies at fileOffset in the file) into
// timeline. depth is 0 for the main timeline.
void ReadTimeline(ByteReader& r, size_t fileOffset, int depth, Timeline& timeline, Movie& movie,
                  ParseContext& ctx, TagWalkResult& result);

}  // namespace orrivel::swf
