// The built-in classes whose natives work on the display: the player's
// library defines them, and the display host installs them at their place
// in the machine's registry.
#pragma once

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

extern const ClassDecl kMovieClipClass;
extern const ClassDecl kKeyObject;
extern const ClassDecl kMouseObject;
extern const ClassDecl kSelectionObject;
extern const ClassDecl kButtonClass;
extern const ClassDecl kTextFormatClass;
extern const ClassDecl kTextFieldClass;
extern const ClassDecl kStyleSheetClass;
extern const ClassDecl kTextSnapshotClass;
extern const ClassDecl kColorClass;
extern const ClassDecl kPointClass;
extern const ClassDecl kRectangleClass;
extern const ClassDecl kMatrixClass;
extern const ClassDecl kColorTransformClass;
extern const ClassDecl kTransformClass;
extern const ClassDecl kBitmapDataClass;
extern const ClassDecl kSoundClass;
extern const ClassDecl kNetConnectionClass;
extern const ClassDecl kNetStreamClass;
extern const ClassDecl kVideoClass;
extern const ClassDecl kBitmapFilterClass;
extern const ClassDecl kBevelFilterClass;
extern const ClassDecl kBlurFilterClass;
extern const ClassDecl kColorMatrixFilterClass;
extern const ClassDecl kConvolutionFilterClass;
extern const ClassDecl kDisplacementMapFilterClass;
extern const ClassDecl kDropShadowFilterClass;
extern const ClassDecl kGlowFilterClass;
extern const ClassDecl kGradientBevelFilterClass;
extern const ClassDecl kGradientGlowFilterClass;

}  // namespace orrivel::swf::avm1
