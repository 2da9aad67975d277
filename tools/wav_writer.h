// Writes 16-bit stereo PCM as a RIFF WAVE file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orrivel::tools {

inline bool WriteWav(const std::string& path, const std::vector<int16_t>& stereo, int rate,
                     std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = path + ": cannot create";
    return false;
  }
  const uint32_t dataBytes = static_cast<uint32_t>(stereo.size() * 2);
  std::vector<uint8_t> h;
  const auto u32 = [&h](uint32_t v) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto u16 = [&h](uint16_t v) {
    h.push_back(static_cast<uint8_t>(v));
    h.push_back(static_cast<uint8_t>(v >> 8));
  };
  const auto tag = [&h](const char* t) { h.insert(h.end(), t, t + 4); };
  tag("RIFF");
  u32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  u32(16);
  u16(1);  // PCM
  u16(2);
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate) * 4);
  u16(4);
  u16(16);
  tag("data");
  u32(dataBytes);
  std::vector<uint8_t> body;
  body.reserve(dataBytes);
  for (const int16_t s : stereo) {
    body.push_back(static_cast<uint8_t>(s & 0xFF));
    body.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  const bool ok = std::fwrite(h.data(), 1, h.size(), f) == h.size() &&
                  std::fwrite(body.data(), 1, body.size(), f) == body.size();
  if (std::fclose(f) != 0 || !ok) {
    error = path + ": write failed";
    return false;
  }
  return true;
}

}  // namespace orrivel::tools
