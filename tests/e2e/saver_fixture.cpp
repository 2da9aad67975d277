#include "saver_fixture.h"

#include <filesystem>

namespace orrivel::e2e {

namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

}  // namespace

void SaverTest::SetUp() {
  auto build = FindWindowsBuild();
  if (!build) GTEST_SKIP() << "Orrivel.scr not built (set ORRIVEL_WINDOWS_BUILD_DIR)";
  build_ = *build;
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no test display";
  ASSERT_FALSE(dir_.path().empty());
  std::filesystem::copy_file(build_.scr, dir_ / "Orrivel.scr");
  screen_ = ScreenSize();
  ASSERT_GT(screen_.width, 0);
  // A saver left over from an earlier test would answer for this one.
  ASSERT_TRUE(PollUntil([&] { return CountTopWindows("Tavrenn") == 0; }, 10s))
      << "a saver window of an earlier run is still open";
  MoveMouse(10, 10);
}

Process SaverTest::StartSaver(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"wine", dir_ / "Orrivel.scr"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Process::Start(argv, dir_.path(), dir_ / "saver.log");
}

Process SaverTest::StartInspect(const std::vector<std::string>& args, const std::string& outFile) {
  std::vector<std::string> argv{"wine", build_.inspect};
  argv.insert(argv.end(), args.begin(), args.end());
  return Process::Start(argv, dir_.path(), outFile);
}

std::vector<WinInfo> SaverTest::Windows() {
  return ParseWindowList(Capture("timeout 30 wine " + Quote(build_.inspect) + " list"));
}

std::optional<WinInfo> SaverTest::WaitForWindow(const std::function<bool(const WinInfo&)>& match,
                                                Millis timeout) {
  std::optional<WinInfo> found;
  PollUntil(
      [&] {
        for (const auto& w : Windows())
          if (match(w)) {
            found = w;
            return true;
          }
        return false;
      },
      timeout, 100ms);
  return found;
}

std::optional<WinInfo> SaverTest::WaitForTopWindow(const std::string& title, Millis timeout) {
  return WaitForWindow(
      [&](const WinInfo& w) { return w.topLevel && w.visible && w.title == title; }, timeout);
}

int SaverTest::CountTopWindows(const std::string& title) {
  int n = 0;
  for (const auto& w : Windows())
    if (w.topLevel && w.visible && w.title == title) ++n;
  return n;
}

std::string SaverTest::XWindowId(const std::string& title) {
  std::string out =
      Capture("timeout 10 xdotool search --onlyvisible --name " + Quote("^" + title + "$"));
  auto end = out.find('\n');
  return out.substr(0, end);
}

bool SaverTest::Focus(const std::string& title) {
  std::string id;
  if (!PollUntil([&] { return !(id = XWindowId(title)).empty(); }, 10s)) return false;
  int rc = 0;
  Capture("timeout 10 xdotool windowfocus --sync " + id, &rc);
  return rc == 0;
}

bool SaverTest::Ends(Process& saver, Millis timeout, const std::string& title) {
  return PollUntil([&] { return !saver.Running() || XWindowId(title).empty(); }, timeout);
}

void SaverTest::Key(const std::string& keysym) { Capture("timeout 10 xdotool key " + keysym); }

void SaverTest::MoveMouse(int x, int y) {
  // --sync would wait for ever when the pointer is already there.
  Capture("timeout 10 xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
}

std::string SaverTest::PictureSettings(const std::vector<std::string>& names,
                                       const std::string& speed, const std::string& order) const {
  std::string pics;
  for (const auto& n : names) pics += WinePath(dir_ / n) + ";";
  return "MOVIEORPIC = PIC\r\nPICS = " + pics + "\r\nRANDOM = " + order + "\r\nSPEED = " + speed +
         "\r\n";
}

void SaverTest::MakePicture(const std::string& name, int width, int height, std::uint32_t top,
                            std::uint32_t bottom) {
  WriteBmp(dir_ / name, width, height, [&](int, int y) { return y < height / 2 ? top : bottom; });
}

std::optional<Image> SaverTest::WaitForScreen(const std::function<bool(const Image&)>& accept,
                                              Millis timeout) {
  std::optional<Image> last;
  PollUntil(
      [&] {
        last = TakeScreenshot();
        return last && accept(*last);
      },
      timeout, 100ms);
  return last;
}

}  // namespace orrivel::e2e
