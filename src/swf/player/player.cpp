#include "swf/player/player.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "swf/player/frame_clock.h"
#include "swf/player/movie_runner.h"
#include "swf/player/stage_fit.h"

namespace orrivel::swf {

namespace {

constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
const Rgba kWhite{255, 255, 255, 255};

// Error texts are shown on one line.
std::string OneLine(std::string s) {
  for (char& c : s) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return s;
}

}  // namespace

struct Player::Impl {
  explicit Impl(ImageDecoder& d) : decoder(d) {}
  ImageDecoder& decoder;
  // Destroyed in reverse order: renderer and runner before the movie they read.
  std::unique_ptr<Movie> movie;
  std::unique_ptr<MovieRunner> runner;
  std::unique_ptr<Renderer> renderer;
  Quality quality = Quality::High;
  FrameClock clock;
  std::string lastError;

  void Reset() {
    renderer.reset();
    runner.reset();
    movie.reset();
    clock.SetRate(0);
  }
};

Player::Player(ImageDecoder& decoder) : impl_(std::make_unique<Impl>(decoder)) {}
Player::~Player() { impl_->Reset(); }

bool Player::LoadFile(const std::string& utf8Path) {
  Unload();
  const std::filesystem::path path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size()));
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    impl_->lastError = OneLine(utf8Path) + ": cannot open the file";
    return false;
  }
  if (size > kMaxFileBytes) {
    impl_->lastError = OneLine(utf8Path) + ": the file is too large";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    impl_->lastError = OneLine(utf8Path) + ": cannot read the file";
    return false;
  }
  if (!LoadMemory(bytes)) {
    impl_->lastError = OneLine(utf8Path) + ": " + impl_->lastError;
    return false;
  }
  return true;
}

bool Player::LoadMemory(std::span<const uint8_t> bytes) {
  Unload();
  LoadResult result = LoadMovie(bytes);
  if (!result.movie) {
    impl_->lastError = result.message.empty() ? "not a playable SWF movie" : OneLine(result.message);
    return false;
  }
  return LoadParsed(std::move(result.movie));
}

bool Player::LoadParsed(std::unique_ptr<Movie> movie) {
  Unload();
  if (!movie) {
    impl_->lastError = "no movie";
    return false;
  }
  impl_->movie = std::move(movie);
  impl_->renderer = std::make_unique<Renderer>(*impl_->movie, impl_->decoder);
  impl_->clock.SetRate(impl_->movie->header.frameRate);
  impl_->runner = std::make_unique<MovieRunner>(*impl_->movie);
  return true;
}

void Player::Unload() {
  impl_->Reset();
  impl_->lastError.clear();
}

int Player::FrameNum() const {
  return impl_->runner ? impl_->runner->Root().CurrentFrame() : -1;
}

const Movie* Player::GetMovie() const { return impl_->movie.get(); }
const std::string& Player::LastError() const { return impl_->lastError; }
void Player::SetQuality(Quality q) { impl_->quality = q; }
Quality Player::GetQuality() const { return impl_->quality; }

bool Player::IsPlaying() const { return impl_->runner && impl_->runner->Root().Playing(); }

Rgba Player::BackgroundColor() const {
  return impl_->runner ? impl_->runner->Background() : kWhite;
}

double Player::SecondsPerFrame() const { return impl_->clock.SecondsPerFrame(); }

bool Player::Advance(double elapsedSeconds) {
  if (!impl_->runner) return false;
  const int frames = impl_->clock.Advance(elapsedSeconds);
  for (int i = 0; i < frames; ++i) impl_->runner->Tick();
  return frames > 0;
}

void Player::StepFrame() {
  if (impl_->runner) impl_->runner->Tick();
}

DisplayNode Player::BuildDisplayTree(int width, int height) const {
  if (!impl_->runner) return {};
  const Rect& stage = impl_->movie->header.frameSize;
  const StageFit fit = FitShowAll(stage, width, height);
  if (fit.Empty()) return {};
  return impl_->runner->BuildTree(fit.ToDevice(stage));
}

void Player::Render(raster::Canvas& canvas) {
  if (!canvas.pixels || canvas.width <= 0 || canvas.height <= 0 || canvas.stride < canvas.width)
    return;
  raster::Clear(canvas, BackgroundColor());
  if (!impl_->runner) return;
  const DisplayNode tree = BuildDisplayTree(canvas.width, canvas.height);
  if (tree.children.empty()) return;
  impl_->renderer->Render(tree, canvas, impl_->quality);
}

}  // namespace orrivel::swf
