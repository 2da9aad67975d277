// Helpers of the end-to-end tests: run Orrivel.scr under Wine on the test
// display, list its windows, drive real input, read screenshots back.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orrivel::e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Where the Windows build put its programs; empty when not built.
struct WindowsBuild {
  std::string scr;      // Orrivel.scr
  std::string inspect;  // wininspect.exe
};
std::optional<WindowsBuild> FindWindowsBuild();

// Polls `done` every `step` until it holds or `timeout` passes.
bool PollUntil(const std::function<bool()>& done, Millis timeout, Millis step = 50ms);

// A child process (wine or a tool); killed on destruction if still running.
class Process {
 public:
  Process() = default;
  Process(Process&& other) noexcept : pid_(std::exchange(other.pid_, -1)), exited_(other.exited_) {}
  Process& operator=(Process&&) = delete;
  ~Process() { Kill(); }

  // Starts argv[0] (searched in PATH) in `cwd`, stdin from /dev/null,
  // stdout and stderr appended to `outFile` (never a pipe: Wine helpers must
  // not hold the test runner's output open).
  static Process Start(const std::vector<std::string>& argv, const std::string& cwd,
                       const std::string& outFile);

  bool Running();
  // Waits for the end; false on timeout.
  bool WaitExit(Millis timeout);
  void Kill();

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

// Runs a command through the shell and returns its stdout (stderr dropped).
std::string Capture(const std::string& command, int* exitCode = nullptr);

// One window as wininspect lists it.
struct WinInfo {
  bool topLevel = false;
  std::uint64_t hwnd = 0;
  std::uint64_t parent = 0;
  bool visible = false;
  int left = 0, top = 0, right = 0, bottom = 0;
  std::string className;
  std::string title;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};
std::vector<WinInfo> ParseWindowList(const std::string& text);

// Screen size of the test display, from xdpyinfo.
struct Size {
  int width = 0;
  int height = 0;
};
Size ScreenSize();

// A screenshot of the whole display, 0xRRGGBB per pixel.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
// Parses an X window dump (xwd, ZPixmap, 24 or 32 bits per pixel).
std::optional<Image> ParseXwd(const std::string& bytes);
std::optional<Image> TakeScreenshot();

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right/bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
};
// Bounding box of the pixels for which `match` holds.
Box BoundingBox(const Image& image, const std::function<bool(std::uint32_t)>& match);
// True when every channel of `a` is within `tolerance` of `b`.
bool Near(std::uint32_t a, std::uint32_t b, int tolerance);

// Writes a 24-bit BMP whose pixel (x, y) has colour fill(x, y) (0xRRGGBB).
void WriteBmp(const std::string& path, int width, int height,
              const std::function<std::uint32_t(int, int)>& fill);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The Wine (drive Z:) form of a Unix path.
std::string WinePath(const std::string& unixPath);

// A fresh folder under the temporary directory, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace orrivel::e2e
