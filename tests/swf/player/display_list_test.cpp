#include "swf/player/display_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace orrivel::swf {
namespace {

// Scale and rotation as scripts set them survive through zero and below it;
// once the matrix is changed by anything else they are read off it again.
TEST(ScaleRotationTest, KeptBesideTheMatrix) {
  DisplayObject obj;
  for (int i = 0; i < 200; ++i) {
    ScaleRotation s = ScaleRotationOf(obj);
    s.scaleX -= 0.01;
    SetScaleRotation(obj, s);
  }
  EXPECT_NEAR(ScaleRotationOf(obj).scaleX, -1, 1e-9);
  EXPECT_NEAR(obj.matrix.a, -1, 1e-9);  // mirrored

  const struct {
    double scaleX, rotation;  // set, in order
    double a, b;              // the matrix made
  } steps[] = {
      {0, 0, 0, 0},
      {0.5, 0, 0.5, 0},  // grows again from zero
      {0, std::numbers::pi / 2, 0, 0},
      {2, std::numbers::pi / 2, 0, 2},  // the rotation was kept at zero scale
  };
  DisplayObject clip;
  for (const auto& step : steps) {
    ScaleRotation s = ScaleRotationOf(clip);
    s.scaleX = step.scaleX;
    s.rotation = step.rotation;
    SetScaleRotation(clip, s);
    EXPECT_NEAR(clip.matrix.a, step.a, 1e-9) << step.scaleX;
    EXPECT_NEAR(clip.matrix.b, step.b, 1e-9) << step.scaleX;
    EXPECT_EQ(ScaleRotationOf(clip).scaleX, step.scaleX);
  }

  // A timeline move replaces the matrix: a mirrored one reads as a turn.
  clip.matrix = Matrix{-1, 0, 0, 1, 0, 0};
  const ScaleRotation read = ScaleRotationOf(clip);
  EXPECT_EQ(read.scaleX, 1);
  EXPECT_NEAR(std::abs(read.rotation), std::numbers::pi, 1e-9);
}

// The script properties: percent and degrees, the angle brought into
// -180..180, NaN ignored, infinities kept for reading but drawn collapsed.
TEST(ScaleRotationTest, ScriptPropertiesInPercentAndDegrees) {
  const struct {
    ScaleProperty which;
    double set, read;
  } cases[] = {
      {ScaleProperty::Rotation, 270, -90},
      {ScaleProperty::Rotation, -190, 170},
      {ScaleProperty::Rotation, 720, 0},
      {ScaleProperty::Rotation, -98, -98},  // read back as set, not through radians
      {ScaleProperty::Rotation, 0.1, 0.1},
      {ScaleProperty::XScale, -50, -50},
      {ScaleProperty::YScale, 0, 0},
      {ScaleProperty::XScale, std::nan(""), 100},
      {ScaleProperty::YScale, INFINITY, INFINITY},
  };
  for (const auto& c : cases) {
    DisplayObject obj;
    SetScaleProperty(obj, c.which, c.set);
    const double read = GetScaleProperty(&obj, c.which);
    if (std::isinf(c.read)) {
      EXPECT_EQ(read, c.read);
      EXPECT_EQ(obj.matrix.d, 0);
    } else {
      EXPECT_EQ(read, c.read) << c.set;
    }
  }
  EXPECT_EQ(GetScaleProperty(nullptr, ScaleProperty::XScale), 100);
}

// The matrix a script's scale and rotation make is held in 16.16 fixed
// point: a quarter turn has exact zeros, other values round to 1/65536.
TEST(ScaleRotationTest, MatrixHeldInFixedPoint) {
  DisplayObject obj;
  SetScaleProperty(obj, ScaleProperty::Rotation, 90);
  EXPECT_EQ(obj.matrix.a, 0);
  EXPECT_EQ(obj.matrix.d, 0);
  EXPECT_EQ(obj.matrix.b, 1);
  SetScaleProperty(obj, ScaleProperty::Rotation, 45);
  EXPECT_EQ(obj.matrix.a, 46341 / 65536.0);
  EXPECT_EQ(GetScaleProperty(&obj, ScaleProperty::Rotation), 45);
}

}  // namespace
}  // namespace orrivel::swf
