// Places a loaded picture in the window: scaled down (proportions kept) when
// it reaches the window's width or height, never enlarged, then centred.
#pragma once

namespace orrivel {

// The image control's placement, in twips (single precision, as the window
// toolkit keeps them). With stretch off, width and height are the picture's
// natural size.
struct PictureBox {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  bool stretch = false;
};

// Fits box into a window of the given inner size (twips). Returns false and
// leaves box alone when the window has no usable size (0, negative or not a
// number), where a division would have no meaning.
bool FitPicture(PictureBox& box, float windowWidth, float windowHeight);

// Twips per pixel for a display of the given dots per inch (15 at 96).
double TwipsPerPixel(unsigned dpi);

}  // namespace orrivel
