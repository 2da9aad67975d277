#include "swf/raster/raster.h"

namespace orrivel::swf::raster {

void Path::MoveTo(float x, float y) {
  verbs_.push_back(Verb::Move);
  points_.push_back({x, y});
}

void Path::LineTo(float x, float y) {
  if (verbs_.empty()) MoveTo(x, y);
  verbs_.push_back(Verb::Line);
  points_.push_back({x, y});
}

void Path::QuadTo(float cx, float cy, float x, float y) {
  if (verbs_.empty()) MoveTo(cx, cy);
  verbs_.push_back(Verb::Quad);
  points_.push_back({cx, cy});
  points_.push_back({x, y});
}

void Path::Close() {
  if (!verbs_.empty() && verbs_.back() != Verb::Close) verbs_.push_back(Verb::Close);
}

void Path::Append(const Path& other, const Matrix& m) {
  verbs_.insert(verbs_.end(), other.verbs_.begin(), other.verbs_.end());
  points_.reserve(points_.size() + other.points_.size());
  for (const Point& p : other.points_) {
    points_.push_back(
        {static_cast<float>(m.ApplyX(p.x, p.y)), static_cast<float>(m.ApplyY(p.x, p.y))});
  }
}

}  // namespace orrivel::swf::raster
