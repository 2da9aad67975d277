// Fonts of the system, for text that names a font the movie does not carry
// ("device fonts": _sans, _serif, _typewriter, Arial, Verdana, ...). Glyph
// outlines come from the platform (FreeType natively, GDI on Windows) and
// are drawn by our rasterizer like embedded glyphs, anti-aliased like the
// rest of the movie.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "swf/format/movie.h"

namespace orrivel::swf {

// Units of a device font's outlines and metrics: 1024 to the em, y down.
inline constexpr int kDeviceEm = 1024;

struct DeviceFaceMetrics {
  double ascent = 0, descent = 0, leading = 0;  // em units
};

struct DeviceGlyph {
  std::vector<ShapeRecord> outline;  // em units, filled with fill style 1
  double advance = 0;                // em units
};

class DeviceFonts {
 public:
  virtual ~DeviceFonts() = default;
  // A face for a font name as movies give it; -1 when the system has no
  // font at all to offer. Repeated calls give the same id. With `pixels`,
  // the face is hinted for that many pixels to the em, as the system's
  // rasterizer draws it: outlines fitted to the pixel grid, advances and
  // metrics whole pixels (still given in em units). Without, its outlines
  // are the font's own.
  virtual int OpenFace(std::string_view swfName, bool bold, bool italic, int pixels = 0) = 0;
  virtual DeviceFaceMetrics Metrics(int face) = 0;
  // Nothing for a character the face cannot draw.
  virtual std::optional<DeviceGlyph> Glyph(int face, char32_t c) = 0;
};

// The system family that stands for a movie's font name: the three generic
// names map to Arial, Times New Roman and Courier New (names that a system
// without them resolves to metric-compatible faces); others pass unchanged.
std::string SystemFamilyFor(std::string_view swfName);

// One text per font name, style and hinted size, for the caches of faces.
std::string DeviceFaceKey(std::string_view swfName, bool bold, bool italic, int pixels = 0);

// Hinted faces are made up to this many pixels to the em; larger text
// gains nothing from hinting.
inline constexpr int kMaxHintedPixels = 255;

// The pixels to the em that system glyphs of a size in twips are hinted
// for; 0 (not hinted) past the sizes hinting serves.
int HintedPixels(double twips);

// The platform's fonts (device_fonts_native.cpp, device_fonts_win32.cpp);
// one instance for the process, used from one thread.
DeviceFonts& SystemDeviceFonts();

}  // namespace orrivel::swf
