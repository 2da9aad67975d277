#include "picturesaver/picture_fit.h"

namespace orrivel {
namespace {

bool Usable(float size) { return size > 0 && size < 3.0e38f; }

}  // namespace

bool FitPicture(PictureBox& box, float windowWidth, float windowHeight) {
  if (!Usable(windowWidth) || !Usable(windowHeight)) return false;
  // Each ratio is kept in single precision, as the window toolkit stores it;
  // the divisions themselves run in double.
  if (box.width >= windowWidth) {
    float ratio = static_cast<float>(static_cast<double>(box.width) / windowWidth);
    box.stretch = true;
    box.width = windowWidth;
    box.height = static_cast<float>(static_cast<double>(box.height) / ratio);
  }
  if (box.height >= windowHeight) {
    float ratio = static_cast<float>(static_cast<double>(box.height) / windowHeight);
    box.stretch = true;
    box.height = windowHeight;
    box.width = static_cast<float>(static_cast<double>(box.width) / ratio);
  }
  box.top = static_cast<float>((static_cast<double>(windowHeight) - box.height) / 2.0);
  box.left = static_cast<float>((static_cast<double>(windowWidth) - box.width) / 2.0);
  return true;
}

double TwipsPerPixel(unsigned dpi) { return 1440.0 / (dpi == 0 ? 96 : dpi); }

}  // namespace orrivel
