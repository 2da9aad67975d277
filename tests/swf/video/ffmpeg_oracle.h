// Test streams made and decoded by the system's ffmpeg, when it is there:
// the reference the decoders are compared against. Nothing links it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orrivel::swf::video::test {

namespace fs = std::filesystem;

inline bool HaveFfmpeg() {
  return std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0;
}

inline std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool RunQuiet(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A fresh folder under the system's temporary one, removed with the object.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name) {
    path_ = fs::temp_directory_path() /
            ("orrivel-" + name + "-" + std::to_string(std::rand()) + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

// The packets of the video tags of an FLV file, without the codec byte
// (and, when skip > 0, without that many more leading bytes).
struct FlvVideo {
  std::vector<std::vector<uint8_t>> packets;
  std::vector<bool> keyFrames;
};

inline FlvVideo ReadFlvVideo(const std::vector<uint8_t>& f) {
  FlvVideo out;
  if (f.size() < 13 || f[0] != 'F' || f[1] != 'L' || f[2] != 'V') return out;
  size_t pos = (size_t{f[5]} << 24 | size_t{f[6]} << 16 | size_t{f[7]} << 8 | f[8]) + 4;
  while (pos + 11 <= f.size()) {
    const uint8_t type = f[pos];
    const size_t size = size_t{f[pos + 1]} << 16 | size_t{f[pos + 2]} << 8 | f[pos + 3];
    const size_t body = pos + 11;
    if (body + size > f.size()) break;
    if (type == 9 && size >= 1) {
      out.keyFrames.push_back((f[body] >> 4) == 1);
      out.packets.emplace_back(f.begin() + body + 1, f.begin() + body + size);
    }
    pos = body + size + 4;
  }
  return out;
}

inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * n / sum);
}

}  // namespace orrivel::swf::video::test
