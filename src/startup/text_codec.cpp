#include "startup/text_codec.h"

namespace orrivel {

std::string EncodeSettingsBytes(std::string_view utf8, const AnsiCodePage& codePage) {
  if (auto ansi = codePage.Encode(utf8)) return *std::move(ansi);
  std::string bytes(kUtf8Bom);
  bytes += utf8;
  return bytes;
}

std::string DecodeSettingsBytes(std::string_view bytes, const AnsiCodePage& codePage) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    return std::string(bytes.substr(kUtf8Bom.size()));
  }
  return codePage.Decode(bytes);
}

}  // namespace orrivel
