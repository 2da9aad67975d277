// The ImageDecoder of the Windows build: JPEG and PNG through the imaging
// component (WIC), GIF through the engine's own decoder so that both builds
// show a GIF on its logical screen alike.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include "swf/render/image_decoder.h"
#include "win32/unique_handle_win32.h"

namespace orrivel::swf {

// Releases a COM interface held in a win32::UniqueHandle.
struct ComReleaser {
  void operator()(IUnknown* p) const { p->Release(); }
};

class WicImageDecoder : public ImageDecoder {
 public:
  // Needs COM on the calling thread; when the imaging component cannot be
  // created yet, each Decode tries again.
  WicImageDecoder();

  std::optional<raster::Image> Decode(std::span<const uint8_t> data, uint64_t maxPixels) override;

 private:
  bool EnsureFactory();

  win32::UniqueHandle<IWICImagingFactory*, ComReleaser> factory_;
};

}  // namespace orrivel::swf
