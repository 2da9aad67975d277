// Appending a code point to UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orrivel {

// Writes cp (at most 0x10FFFF; callers replace anything larger) as UTF-8.
inline void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Movie text: UTF-8 (SWF 6 on) or single-byte Latin-1 (before). Bad
// sequences become U+FFFD, which no font maps, so they draw nothing.
inline std::u32string DecodeMovieText(std::string_view s, bool utf8) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    if (!utf8 || b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) {
        ok = false;
      } else {
        c = (c << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
      }
    }
    out.push_back(ok ? c : U'\uFFFD');
    i += ok ? extra + 1 : 1;
  }
  return out;
}

}  // namespace orrivel
