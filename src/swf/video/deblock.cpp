#include "swf/video/deblock.h"

#include <algorithm>
#include <cstdlib>

namespace orrivel::swf::video {
namespace {

constexpr int kStrength[32] = {1, 1, 1, 2, 2, 3, 3, 4, 4,  4,  5,  5,  5,  6,  6,  7,
                               7, 7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12};

int Ramp(int x, int strength) {
  const int a = std::abs(x);
  const int v = std::max(0, a - std::max(0, 2 * (a - strength)));
  return x < 0 ? -v : v;
}

uint8_t Clip(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Filters the four samples a, b | c, d that straddle an edge, step apart.
// The edge step is rounded down, as the pictures Flash shows say.
void FilterEdge(uint8_t* c, int step, int strength) {
  uint8_t* b = c - step;
  uint8_t* a = b - step;
  uint8_t* d = c + step;
  const int d0 = (*a - 4 * *b + 4 * *c - *d) >> 3;
  const int d1 = Ramp(d0, strength);
  const int lim = std::abs(d1 / 2);
  const int d2 = std::clamp((*a - *d) / 4, -lim, lim);
  *b = Clip(*b + d1);
  *c = Clip(*c - d1);
  *a = Clip(*a - d2);
  *d = Clip(*d + d2);
}

void DeblockPlane(Plane& p, int strength) {
  for (int y = 8; y < p.height; y += 8) {
    for (int x = 0; x < p.width; ++x) FilterEdge(p.Row(y) + x, p.stride, strength);
  }
  for (int y = 0; y < p.height; ++y) {
    uint8_t* row = p.Row(y);
    for (int x = 8; x < p.width; x += 8) FilterEdge(row + x, 1, strength);
  }
}

}  // namespace

void Deblock(YuvPicture& pic, int quantizer) {
  const int strength = kStrength[std::clamp(quantizer, 1, 31)];
  DeblockPlane(pic.y, strength);
  DeblockPlane(pic.u, strength);
  DeblockPlane(pic.v, strength);
}

}  // namespace orrivel::swf::video
