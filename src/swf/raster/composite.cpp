#include "swf/raster/raster.h"
namespace orrivel::swf::raster {
void Composite(Canvas&, const Canvas&, BlendMode, const Mask*) {}
}
