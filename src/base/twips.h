// Twips: the unit of SWF coordinates, and of the program's own layout figures.
#pragma once

#include <cstdint>

namespace orrivel {

using Twips = int32_t;

// A SWF pixel is 20 twips.
inline constexpr int kTwipsPerPixel = 20;

}  // namespace orrivel
