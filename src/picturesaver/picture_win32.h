// A picture loaded from a file the user chose, as the picture window shows
// it: raster pictures decoded by the imaging component (turned upright by
// their Exif orientation), metafiles played as vectors, cursors drawn by the
// system. Loading reads the whole file each time; nothing is shared between
// loads.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <functional>
#include <memory>
#include <string>

#include "picturesaver/bitmap.h"
#include "base/error_info.h"
#include "win32/unique_handle_win32.h"

namespace orrivel {

class Picture {
 public:
  enum class Kind { Empty, Raster, Metafile, Cursor };

  // A picture that draws nothing but has a size, like the window's design
  // picture (a fully transparent GIF).
  static std::unique_ptr<Picture> Transparent(SIZE pixels);

  Kind kind() const { return kind_; }
  // The natural size in twips: pixels at one picture pixel per screen pixel,
  // or the size a metafile states.
  float NaturalWidthTwips(float twipsPerPixel) const;
  float NaturalHeightTwips(float twipsPerPixel) const;
  // Raster and cursor pictures: the upright size in pixels.
  SIZE NaturalPixels() const { return naturalPixels_; }
  // The pixels kept for drawing (a raster picture much larger than the
  // window is kept only at the size it will be shown at).
  const Bitmap& Pixels() const { return pixels_; }

  // Draws the picture scaled to dest; raster pictures go through the
  // high-quality reduction, kept for the last size asked for.
  void Draw(HDC hdc, const RECT& dest);

 private:
  friend class PictureLoader;
  bool PrepareScaled(int width, int height);

  Kind kind_ = Kind::Empty;
  SIZE naturalPixels_{0, 0};
  float metafileWidthTwips_ = 0, metafileHeightTwips_ = 0;
  Bitmap pixels_;
  bool opaque_ = true;
  win32::UniqueHandle<HENHMETAFILE, win32::EnhMetaFileDeleter> metafile_;
  win32::UniqueHandle<HCURSOR, win32::CursorDeleter> cursor_;
  // Drawing cache: a DIB section of the pixels at the last size drawn.
  SIZE cachedSize_{0, 0};
  win32::UniqueHandle<HGDIOBJ, win32::GdiObjectDeleter> cachedBitmap_;
};

struct PictureLoadResult {
  std::unique_ptr<Picture> picture;  // set on success
  ErrorInfo error;                   // kErrFileNotFound only for a missing file
};

// Largest raster picture accepted, in pixels (128 Mi, 16k × 8k); larger ones
// fail like an unreadable file.
inline constexpr uint64_t kMaxSourcePixels = 134'217'728;
// Error number for a file that is not a readable picture.
inline constexpr int kErrInvalidPicture = 481;

// Loads the file at path (UTF-16). The empty path gives the empty picture.
// targetFor tells, for the upright natural size in pixels, the size the
// picture will most likely be shown at; a raster picture larger than that is
// reduced while it is decoded, so only the reduced copy is kept. Needs COM
// on the calling thread.
PictureLoadResult LoadPictureFile(const std::wstring& path,
                                  const std::function<SIZE(SIZE)>& targetFor);

// The imaging component's interface for decoders that scale, flip or turn
// while decoding (the JPEG decoder reduces by 1/2, 1/4 and 1/8 on the fly).
// The MinGW headers lack it; its layout is the documented one.
struct ScalingSource : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions transform, UINT stride,
                                               UINT bufferSize, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                         BOOL* supported) = 0;
};
inline constexpr IID kIidScalingSource = {
    0x3B16811B, 0x6A43, 0x4ec9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

// The smallest size such a decoder reduces width x height to that still
// covers target on both axes (never below it, so the final reduction stays
// an area average from a larger picture); {0, 0} when none is smaller than
// the picture.
SIZE ReducedDecodeSize(ScalingSource* scaling, UINT width, UINT height, SIZE target);

}  // namespace orrivel
