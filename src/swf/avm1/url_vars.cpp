#include "swf/avm1/url_vars.h"

#include <cstdint>

#include "base/utf8.h"

namespace orrivel::swf::avm1 {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  const auto unit = [&](std::size_t i) -> uint32_t {
    const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return static_cast<uint32_t>(hi << 8 | lo);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, cp >= 0xD800 && cp < 0xE000 ? 0xFFFD : cp);
  }
  return out;
}

// UTF-8 read the player's forgiving way: continuation bytes are added in
// without checks (16 bits kept), a stray continuation byte stands for
// itself and a sequence cut off by the end of the text is dropped.
std::string FromLooseUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  const auto at = [&](std::size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i]));
  };
  for (std::size_t i = 0; i < n;) {
    const uint32_t b = at(i);
    if (b < 0xC0) {
      AppendUtf8(out, b);
      ++i;
      continue;
    }
    const std::size_t len = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + len > n) break;
    uint32_t cp = b & (0x7Fu >> len);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) + at(i + k) - 0x80;
    cp &= len == 4 ? 0x1FFFFFu : 0xFFFFu;
    AppendUtf8(out, cp > 0x10FFFF ? 0xFFFD : cp);
    i += len;
  }
  return out;
}

}  // namespace

// Windows-1252 bytes 0x80 to 0x9F; the rest match Latin-1.
namespace {
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

}  // namespace

std::string FromCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
  }
  return out;
}

std::string FromUtf8OrCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto continuation = [&](std::size_t i) {
    return i < bytes.size() && (static_cast<uint8_t>(bytes[i]) & 0xC0) == 0x80;
  };
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    const std::size_t len = b < 0xC2 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 1;
    bool whole = len > 1;
    for (std::size_t k = 1; k < len && whole; ++k) whole = continuation(i + k);
    if (whole) {
      out.append(bytes.substr(i, len));
      i += len;
    } else {
      AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
      ++i;
    }
  }
  return out;
}

std::string UrlEscape(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string UrlUnescape(std::string_view text) { return Unescape(text, false); }

std::vector<std::pair<std::string, std::string>> DecodeUrlVars(std::string_view text,
                                                               std::size_t maxPairs) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t start = 0;
  while (start <= text.size() && out.size() < maxPairs) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = text.substr(start, end - start);
    if (!pair.empty()) {
      const std::size_t eq = pair.find('=');
      const std::string_view name = pair.substr(0, eq);
      const std::string_view value =
          eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
      out.emplace_back(Unescape(name, true), Unescape(value, true));
    }
    start = end + 1;
  }
  return out;
}

std::string DecodeLoadedText(std::string_view bytes, bool codepage, bool marks) {
  if (!marks) return FromCp1252(bytes);
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
    return std::string(bytes.substr(3));
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
    return FromUtf16(bytes.substr(2), false);
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF")
    return FromUtf16(bytes.substr(2), true);
  if (codepage) return FromCp1252(bytes);
  return FromLooseUtf8(bytes);
}

}  // namespace orrivel::swf::avm1
