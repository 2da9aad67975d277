#include "e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace orrivel::e2e {

namespace fs = std::filesystem;

std::optional<WindowsBuild> FindWindowsBuild() {
  std::string dir;
  if (const char* env = std::getenv("ORRIVEL_WINDOWS_BUILD_DIR"); env && *env) {
    dir = env;
  } else {
#ifdef ORRIVEL_WINDOWS_BUILD_DIR
    dir = ORRIVEL_WINDOWS_BUILD_DIR;
#endif
  }
  if (dir.empty()) return std::nullopt;
  WindowsBuild build{dir + "/Orrivel.scr", dir + "/tests/e2e/wininspect.exe"};
  if (!FileExists(build.scr) || !FileExists(build.inspect)) return std::nullopt;
  return build;
}

bool PollUntil(const std::function<bool()>& done, Millis timeout, Millis step) {
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(step);
  }
}

Process Process::Start(const std::vector<std::string>& argv, const std::string& cwd,
                       const std::string& outFile) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::fflush(nullptr);
  Process p;
  p.pid_ = fork();
  if (p.pid_ == 0) {
    setpgid(0, 0);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0 || chdir(cwd.c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execvp(args[0], args.data());
    _exit(127);
  }
  return p;
}

bool Process::Running() {
  if (pid_ <= 0 || exited_) return false;
  const pid_t r = waitpid(pid_, nullptr, WNOHANG);
  exited_ = r == pid_;
  return r == 0;
}

bool Process::WaitExit(Millis timeout) {
  return PollUntil([this] { return !Running(); }, timeout, 20ms);
}

void Process::Kill() {
  if (pid_ > 0 && Running()) {
    kill(pid_, SIGKILL);
    WaitExit(5s);
  }
  pid_ = -1;
}

std::string Capture(const std::string& command, int* exitCode) {
  std::string out;
  FILE* pipe = popen((command + " 2>/dev/null </dev/null").c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

namespace {

std::string Field(const std::string& line, const std::string& key) {
  auto at = line.find(" " + key + "=");
  if (at == std::string::npos) return {};
  at += key.size() + 2;
  auto end = line.find(' ', at);
  return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// class="..." is followed by title="...", which ends the line; both may hold
// spaces and quotes.
void ReadQuoted(const std::string& line, WinInfo& w) {
  const auto cls = line.find(" class=\""), title = line.rfind("\" title=\"");
  if (cls == std::string::npos || title == std::string::npos || title < cls + 8) return;
  w.className = line.substr(cls + 8, title - cls - 8);
  if (line.back() == '"') w.title = line.substr(title + 9, line.size() - title - 10);
}

}  // namespace

std::vector<WinInfo> ParseWindowList(const std::string& text) {
  std::vector<WinInfo> windows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bool top = line.rfind("top ", 0) == 0;
    if (!top && line.rfind("child ", 0) != 0) continue;
    WinInfo w;
    w.topLevel = top;
    w.hwnd = std::strtoull(Field(line, "hwnd").c_str(), nullptr, 10);
    w.parent = std::strtoull(Field(line, "parent").c_str(), nullptr, 10);
    w.visible = Field(line, "visible") == "1";
    std::sscanf(Field(line, "rect").c_str(), "%d,%d,%d,%d", &w.left, &w.top, &w.right, &w.bottom);
    ReadQuoted(line, w);
    windows.push_back(w);
  }
  return windows;
}

Size ScreenSize() {
  Size size;
  std::string info = Capture("xdpyinfo");
  auto at = info.find("dimensions:");
  if (at != std::string::npos)
    std::sscanf(info.c_str() + at, "dimensions: %dx%d", &size.width, &size.height);
  return size;
}

namespace {

std::uint32_t BigEndian32(const std::string& b, size_t at) {
  return (std::uint32_t(std::uint8_t(b[at])) << 24) |
         (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint32_t(std::uint8_t(b[at + 3]));
}

int Shift(std::uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

}  // namespace

std::optional<Image> ParseXwd(const std::string& b) {
  constexpr size_t kHeaderFields = 25;
  if (b.size() < kHeaderFields * 4) return std::nullopt;
  auto field = [&](int i) { return BigEndian32(b, static_cast<size_t>(i) * 4); };
  std::uint32_t headerSize = field(0), format = field(2), width = field(4), height = field(5),
                byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12),
                redMask = field(14), greenMask = field(15), blueMask = field(16),
                ncolors = field(19);
  if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || width == 0 || height == 0 ||
      width > 16384 || height > 16384)
    return std::nullopt;
  size_t data = size_t(headerSize) + size_t(ncolors) * 12;
  if (data + size_t(bytesPerLine) * height > b.size()) return std::nullopt;
  Image img;
  img.width = static_cast<int>(width);
  img.height = static_cast<int>(height);
  img.pixels.resize(size_t(width) * height);
  int bytes = static_cast<int>(bitsPerPixel / 8);
  for (std::uint32_t y = 0; y < height; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint8_t*>(b.data() + data + size_t(y) * bytesPerLine);
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* p = row + size_t(x) * bytes;
      std::uint32_t v = 0;
      for (int i = 0; i < bytes; ++i) {
        int shift = byteOrder == 0 ? 8 * i : 8 * (bytes - 1 - i);  // 0: LSBFirst
        v |= std::uint32_t(p[i]) << shift;
      }
      std::uint32_t r = (v & redMask) >> Shift(redMask);
      std::uint32_t g = (v & greenMask) >> Shift(greenMask);
      std::uint32_t bl = (v & blueMask) >> Shift(blueMask);
      img.pixels[size_t(y) * width + x] = (r << 16) | (g << 8) | bl;
    }
  }
  return img;
}

std::optional<Image> TakeScreenshot() {
  TempDir dir;
  std::string file = dir / "screen.xwd";
  int rc = 0;
  Capture("xwd -root -silent -out '" + file + "'", &rc);
  if (rc != 0) return std::nullopt;
  return ParseXwd(ReadFileBytes(file));
}

Box BoundingBox(const Image& image, const std::function<bool(std::uint32_t)>& match) {
  Box box{image.width, image.height, 0, 0};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (match(image.At(x, y))) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box;
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > tolerance) return false;
  }
  return true;
}

void WriteBmp(const std::string& path, int width, int height,
              const std::function<std::uint32_t(int, int)>& fill) {
  int rowBytes = (width * 3 + 3) & ~3;
  std::uint32_t imageSize = std::uint32_t(rowBytes) * height;
  std::string out;
  auto u16 = [&](unsigned v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  out += "BM";
  u32(54 + imageSize);
  u32(0);
  u32(54);  // file header
  u32(40);
  u32(std::uint32_t(width));
  u32(std::uint32_t(height));  // info header
  u16(1);
  u16(24);
  u32(0);
  u32(imageSize);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int y = height - 1; y >= 0; --y) {  // bottom-up rows
    size_t start = out.size();
    for (int x = 0; x < width; ++x) {
      std::uint32_t c = fill(x, y);
      out.push_back(char(c & 0xFF));
      out.push_back(char((c >> 8) & 0xFF));
      out.push_back(char((c >> 16) & 0xFF));
    }
    out.append(size_t(rowBytes) - (out.size() - start), '\0');
  }
  WriteFileBytes(path, out);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string WinePath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orrivel-e2e-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

}  // namespace orrivel::e2e
