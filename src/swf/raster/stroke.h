// Stroker internals shared with the fill front end.
#pragma once

#include "swf/raster/flatten.h"

namespace orrivel::swf::raster {

// StrokeToPath; when visible is set, curves whose stroke cannot reach it
// are flattened to their chord, so far-away detail costs nothing.
Path StrokeToPathVisible(const Path& path, const Stroke& stroke, const CullRect* visible);

}  // namespace orrivel::swf::raster
