#include "swf/raster/raster.h"
namespace orrivel::swf::raster {
Path StrokeToPath(const Path&, const Stroke&) { return {}; }
}
