#include "swf/render/device_fonts.h"
#include "base/twips.h"

#include <cmath>
#include <string>

#include <algorithm>
#include <cctype>

namespace orrivel::swf {

std::string SystemFamilyFor(std::string_view swfName) {
  std::string lower(swfName);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "_sans") return "Arial";
  // A field that names no font is set in the player's default, Times New Roman.
  if (lower == "_serif" || lower.empty()) return "Times New Roman";
  if (lower == "_typewriter") return "Courier New";
  return std::string(swfName);
}

int HintedPixels(double twips) {
  const double pixels = std::round(twips / kTwipsPerPixel);
  return pixels >= 1 && pixels <= kMaxHintedPixels ? static_cast<int>(pixels) : 0;
}

std::string DeviceFaceKey(std::string_view swfName, bool bold, bool italic, int pixels) {
  std::string key(swfName);
  key += bold ? "|b" : "|";
  key += italic ? "i" : "";
  if (pixels > 0) key += "|" + std::to_string(pixels);
  return key;
}

}  // namespace orrivel::swf
