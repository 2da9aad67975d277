// The settings file's bytes: the system's narrow (ANSI) code page whenever
// every character fits, so the file stays byte-identical to what older
// readers expect; UTF-8 with a byte-order mark otherwise, so no path is lost.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orrivel {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The system's narrow code page. Text in memory is UTF-8.
class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;
  // The text in the code page, or nothing when some character has no exact
  // (non best-fit) equivalent there.
  virtual std::optional<std::string> Encode(std::string_view utf8) const = 0;
  virtual std::string Decode(std::string_view ansi) const = 0;
};

std::string EncodeSettingsBytes(std::string_view utf8, const AnsiCodePage& codePage);
std::string DecodeSettingsBytes(std::string_view bytes, const AnsiCodePage& codePage);

}  // namespace orrivel
