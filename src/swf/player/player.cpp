#include "swf/player/player.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/player/script/input.h"
#include "swf/avm1/vm.h"
#include "swf/player/asset_import.h"
#include "swf/player/button_input.h"
#include "swf/player/focus.h"
#include "swf/player/focus_ring.h"
#include "swf/player/frame_clock.h"
#include "swf/player/movie_loader.h"
#include "swf/player/shared_object_folder.h"
#include "swf/player/movie_runner.h"
#include "swf/player/script_input.h"
#include "swf/player/edit_text.h"
#include "swf/player/stage_fit.h"
#include "swf/player/text_typing.h"

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
  // The movie ended itself (fscommand:quit): input reaches nothing more.
  bool Ended() const { return runner && runner->Ended(); }
  explicit Impl(ImageDecoder& d) : decoder(d) {}
  ImageDecoder& decoder;
  // Destroyed in reverse order: renderer and runner before the movie they read.
  std::unique_ptr<Movie> movie;
  std::unique_ptr<MovieRunner> runner;
  std::unique_ptr<Renderer> renderer;
  std::unique_ptr<ButtonInput> input;
  std::unique_ptr<ScriptInput> scripts;
  TextTyping typing;  // kept across loads, as a clipboard is
  uint16_t pendingKeyPress = 0;
  // What Selection.setFocus focused, lit up once the script has run.
  static constexpr std::size_t kMaxHighlights = 256;
  struct Highlight {
    std::weak_ptr<TimelineInstance> target;
    bool none = false;  // nothing lit
  };
  std::vector<Highlight> highlights;  // a typing key's SWF code until its character comes
  Quality quality = Quality::High;
  int renderThreads = 0;
  FrameClock clock;
  std::string lastError;
  std::function<void(const std::string&)> traceSink, refusalSink;
  std::function<void(const avm1::OutgoingRequest&)> requestSink;
  int viewWidth = 0, viewHeight = 0;  // Render's last target, 0 before the first
  SoundSink* sound = nullptr;
  double clockStartMs = -1;           // wall clock
  std::filesystem::path folder;       // while LoadFile runs: the folder its scripts may read
  std::string movieUrl;               // while LoadFile runs: the movie's URL
  std::string movieUrlOverride;       // SetMovieUrl's
  std::filesystem::path storageRoot;  // SharedObject stores; empty: none kept
  std::filesystem::path storage;      // while LoadFile runs: the movie's stores

  // One frame period in milliseconds, for script time.
  double FrameMs() const {
    const double ms = clock.SecondsPerFrame() * 1000;
    return std::isfinite(ms) ? ms : 0;
  }

  void Reset() {
    pendingKeyPress = 0;
    highlights.clear();
    scripts.reset();
    input.reset();
    renderer.reset();
    runner.reset();
    movie.reset();
    clock.SetRate(0);
  }

  // Stage twips to the pointer's device pixels; false when nothing is shown.
  bool View(Matrix& view) const {
    const Rect& stage = movie->header.frameSize;
    // The stage's own size in pixels, computed wide: a damaged header can
    // hold any coordinates.
    const auto pixels = [](int32_t lo, int32_t hi) {
      const double px = (static_cast<double>(hi) - lo) / kTwipsPerPixel;
      return static_cast<int>(std::clamp(px, 0.0, 1e6));
    };
    const int w = viewWidth > 0 ? viewWidth : pixels(stage.xMin, stage.xMax);
    const int h = viewHeight > 0 ? viewHeight : pixels(stage.yMin, stage.yMax);
    const StageFit fit = FitShowAll(stage, w, h);
    if (fit.Empty()) return false;
    view = fit.ToDevice(stage);
    return true;
  }

  // Tells scripts where the pointer is: device (x, y) on the stage, in twips.
  bool ScriptPointer(double x, double y) {
    Matrix view, toStage;
    if (!scripts || !View(view) || !view.Invert(toStage)) return false;
    return scripts->Move(toStage.ApplyX(x, y), toStage.ApplyY(x, y));
  }

  // _droptarget: where the dragged clip is over, as its slash path ("" for nothing).
  void UpdateDropTarget() {
    if (!runner || !input) return;
    avm1::Vm& vm = runner->Vm();
    const auto dragged = vm.input.dragged.lock();
    Matrix view;
    if (!dragged || !View(view)) return;
    const auto over = input->DropTarget(view, *dragged);
    vm.input.dropTarget = over ? avm1::SlashPath(vm, over) : "";
  }

  bool RunHighlights() {
    bool changed = false;
    for (std::size_t i = 0; input && i < highlights.size(); ++i) {
      // A clip removed since is lit no more.
      const auto target = highlights[i].target.lock();
      if (target || highlights[i].none) changed |= input->Highlight(target);
    }
    highlights.clear();
    return changed;
  }

  // The dragged clip follows the pointer as frames go by too.
  void AfterFrames() {
    RunHighlights();
    if (runner) avm1::FollowPointer(runner->Vm());
    Pointer([](ButtonInput& in, const Matrix& view) { return in.Refresh(view); });
  }

  // A typing key whose character never came reaches the buttons now.
  void FlushKeyPress() {
    const uint16_t code = std::exchange(pendingKeyPress, 0);
    if (code && input) input->Key(code);
  }

  // A click gives focus to the selectable field under the pointer (caret at
  // its end) and takes it from anything else.
  bool ClickFocus() {
    if (!runner || !input) return false;
    avm1::Vm& vm = runner->Vm();
    std::shared_ptr<EditText> field;
    if (!input->OverButton()) field = FieldAt(*runner, vm.input.mouseX, vm.input.mouseY);
    if (field && field->Def().noSelect) field = nullptr;
    const auto focusField = vm.input.focusField.lock();
    if (field && field == focusField) return false;
    if (!field && !focusField && vm.input.focus.expired()) return false;
    vm.NewFrame();
    const bool changed = field ? avm1::SetFocusField(vm, field) : avm1::SetFocus(vm, nullptr);
    if (field) field->selectionBegin = field->selectionEnd = field->Length();
    // Focus taken away unlights what the pointer pressed, once released.
    if (!field && changed && highlights.size() < kMaxHighlights) highlights.push_back({{}, true});
    runner->FlushActions();
    return changed;
  }

  // Runs a typing event against the focused field; true when a script heard it.
  template <typename Event>
  bool Typing(Event event) {
    if (!runner) return false;
    avm1::Vm& vm = runner->Vm();
    vm.NewFrame();
    const bool changed = event(typing, vm);
    runner->FlushActions();
    return changed;
  }

  // Runs one pointer event with the current view; an empty view has no buttons.
  template <typename Event>
  bool Pointer(Event event) {
    if (!input) return false;
    Matrix view;
    if (!View(view)) return input->Leave(Matrix{});
    return event(*input, view);
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
  LoadResult result = LoadMovie(bytes);
  if (!result.movie) {
    impl_->lastError =
        OneLine(utf8Path) + ": " +
        (result.message.empty() ? "not a playable SWF movie" : OneLine(result.message));
    return false;
  }
  // Imported characters come from files beside the movie (or below it);
  // each file named is a request of the movie's, told to the host once.
  if (impl_->requestSink) {
    std::vector<std::string> asked;
    for (const Movie::Import& import : result.movie->imports) {
      if (import.url.empty() || std::find(asked.begin(), asked.end(), import.url) != asked.end())
        continue;
      asked.push_back(import.url);
      avm1::OutgoingRequest request;
      request.url = import.url;
      request.method = "GET";
      impl_->requestSink(request);
    }
  }
  ResolveImports(*result.movie, path.parent_path(), impl_->refusalSink);
  impl_->folder = path.parent_path();
  if (impl_->movieUrlOverride.empty()) {
    const std::u8string full = std::filesystem::absolute(path, ec).u8string();
    impl_->movieUrl =
        FileUrl(std::string_view(reinterpret_cast<const char*>(full.data()), full.size()));
  } else {
    impl_->movieUrl = impl_->movieUrlOverride;
  }
  if (!impl_->storageRoot.empty()) impl_->storage = MovieStorageFolder(impl_->storageRoot, path);
  const bool loaded = LoadParsed(std::move(result.movie));
  impl_->folder.clear();
  impl_->movieUrl.clear();
  impl_->storage.clear();
  return loaded;
}

bool Player::LoadMemory(std::span<const uint8_t> bytes) {
  Unload();
  LoadResult result = LoadMovie(bytes);
  if (!result.movie) {
    impl_->lastError =
        result.message.empty() ? "not a playable SWF movie" : OneLine(result.message);
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
  impl_->renderer->SetThreads(impl_->renderThreads);
  impl_->clock.SetRate(impl_->movie->header.frameRate);
  PlayerLimits options;
  options.clockStartMs = impl_->clockStartMs;
  options.images = &impl_->decoder;
  options.requestSink = impl_->requestSink;
  options.movieUrl = impl_->movieUrl;
  if (!impl_->folder.empty()) {
    options.readFile = FolderReader(impl_->folder, impl_->refusalSink);
    options.readStream = FolderReader(impl_->folder, impl_->refusalSink, kMaxStreamBytes);
  }
  if (!impl_->storage.empty()) options.localStorage = FolderStorage(impl_->storage);
  options.focusHighlight = [impl = impl_.get()](const std::shared_ptr<TimelineInstance>& target) {
    if (impl->highlights.size() < Impl::kMaxHighlights)
      impl->highlights.push_back({target, target == nullptr});
  };
  impl_->runner = std::make_unique<MovieRunner>(*impl_->movie, options, impl_->sound,
                                                impl_->traceSink, impl_->refusalSink);
  impl_->input = std::make_unique<ButtonInput>(*impl_->runner, *impl_->movie, impl_->decoder);
  impl_->scripts = std::make_unique<ScriptInput>(*impl_->runner);
  impl_->RunHighlights();
  return true;
}

void Player::Unload() {
  impl_->Reset();
  impl_->lastError.clear();
}

void Player::SetSoundSink(SoundSink* sink) { impl_->sound = sink; }

int Player::FrameNum() const { return impl_->runner ? impl_->runner->Root().CurrentFrame() : -1; }

const Movie* Player::GetMovie() const { return impl_->movie.get(); }
const std::string& Player::LastError() const { return impl_->lastError; }
void Player::SetQuality(Quality q) { impl_->quality = q; }
Quality Player::GetQuality() const { return impl_->quality; }

void Player::SetRenderThreads(int threads) {
  impl_->renderThreads = threads;
  if (impl_->renderer) impl_->renderer->SetThreads(threads);
}

bool Player::IsPlaying() const { return impl_->runner && impl_->runner->Root().Playing(); }

Rgba Player::BackgroundColor() const {
  return impl_->runner ? impl_->runner->Background() : kWhite;
}

double Player::SecondsPerFrame() const { return impl_->clock.SecondsPerFrame(); }

bool Player::Advance(double elapsedSeconds) {
  if (!impl_->runner) return false;
  int frames = impl_->clock.Advance(elapsedSeconds);
  // A streaming movie follows its sound: frames are run (or held back) to
  // stay one frame ahead of the block being heard.
  if (const auto heard = impl_->sound ? impl_->sound->StreamFrame() : std::nullopt)
    frames =
        std::clamp(static_cast<int>(*heard) + 1 - FrameNum(), 0, FrameClock::kMaxFramesPerAdvance);
  for (int i = 0; i < frames; ++i) {
    impl_->runner->AdvanceScriptTime(impl_->FrameMs());
    impl_->runner->Tick();
  }
  if (frames == 0) return false;
  // Buttons that came or went under a still pointer roll over or out.
  impl_->AfterFrames();
  return true;
}

void Player::StepFrame() {
  if (!impl_->runner) return;
  impl_->runner->AdvanceScriptTime(impl_->FrameMs());
  impl_->runner->Tick();
  impl_->AfterFrames();
}

bool Player::MouseMove(double x, double y) {
  if (impl_->Ended()) return false;
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  const bool heard = impl_->ScriptPointer(x, y);
  const bool moved =
      impl_->Pointer([x, y](ButtonInput& in, const Matrix& view) { return in.Move(view, x, y); });
  impl_->UpdateDropTarget();
  return moved || heard;
}

// Scripts hear the mouse button (mouseDown, Mouse listeners) before buttons
// do; in between, focus goes to the selectable field clicked, or away.
bool Player::MouseDown() {
  if (impl_->Ended()) return false;
  const bool heard = impl_->scripts && impl_->scripts->Press();
  const bool focused = impl_->ClickFocus() || impl_->RunHighlights();
  return impl_->Pointer([](ButtonInput& in, const Matrix& view) { return in.Press(view); }) ||
         heard || focused;
}

bool Player::MouseUp() {
  if (impl_->Ended()) return false;
  impl_->UpdateDropTarget();
  const bool heard = impl_->scripts && impl_->scripts->Release();
  const bool released =
      impl_->Pointer([](ButtonInput& in, const Matrix& view) { return in.Release(view); });
  return impl_->RunHighlights() || released || heard;
}

bool Player::MouseWheel(int delta) {
  return !impl_->Ended() && impl_->scripts && impl_->scripts->Wheel(delta);
}

// Scripts hear the key, then a button with a key-press action for it takes
// it; otherwise Tab moves the focus and Space or Enter click the focused button.
bool Player::KeyDown(int keyCode, int character) {
  if (impl_->Ended()) return false;
  if (!impl_->scripts) return false;
  impl_->FlushKeyPress();
  impl_->scripts->Key(true, keyCode, character);
  impl_->RunHighlights();
  const uint16_t code = SwfKeyCodeOf(keyCode, character);
  // A key that types reaches the buttons with its character (TextInput),
  // which they take from the focused field.
  if (code > 32 && code < 127) {
    impl_->pendingKeyPress = code;
    return true;
  }
  if (code && impl_->input->Key(code)) return true;
  constexpr int kTab = 9, kEnter = 13, kShift = 16, kSpace = 32;
  avm1::Vm& vm = impl_->runner->Vm();
  if (keyCode == kTab) {
    // The new stop lights up as if the pointer were over it, then takes focus.
    if (const TabStop next = NextTabStop(*impl_->runner, vm.input.keysDown[kShift])) {
      impl_->input->Highlight(next.clip);
      vm.NewFrame();
      if (next.field) {
        avm1::SetFocusField(vm, next.field);
      } else {
        avm1::SetFocus(vm, next.clip);
      }
      impl_->runner->FlushActions();
      // Focus the listeners moved on lights up before the key comes up.
      impl_->RunHighlights();
    }
  } else if ((keyCode == kSpace || keyCode == kEnter) && vm.input.focusTakesKeys) {
    // Only an object that shows its focus rectangle is clicked.
    const auto focus = vm.input.focus.lock();
    const avm1::ClipObject* clip = focus ? vm.ClipFor(focus) : nullptr;
    if (clip && clip->focusRect.value_or(vm.input.focusRect)) impl_->input->Click(focus);
  }
  return true;
}

bool Player::FocusLost() {
  if (impl_->Ended()) return false;
  if (!impl_->runner || !impl_->input) return false;
  avm1::Vm& vm = impl_->runner->Vm();
  bool changed = impl_->input->Highlight(nullptr);
  vm.NewFrame();
  changed |= avm1::SetFocus(vm, nullptr);
  impl_->runner->FlushActions();
  return changed;
}

bool Player::KeyUp(int keyCode, int character) {
  if (impl_->Ended()) return false;
  if (!impl_->scripts) return false;
  impl_->FlushKeyPress();
  const bool heard = impl_->scripts->Key(false, keyCode, character);
  return impl_->RunHighlights() || heard;
}

// Typing goes to the focused input text field; nothing else takes it.
bool Player::TextInput(uint32_t codepoint) {
  if (impl_->Ended()) return false;
  if (!impl_->runner || codepoint > 0x10FFFF) return false;
  const char32_t c = codepoint;
  impl_->pendingKeyPress = 0;
  if (c > 32 && c < 127 && impl_->input && impl_->input->Key(static_cast<uint16_t>(c))) return true;
  return impl_->Typing([&](TextTyping& t, avm1::Vm& vm) { return t.Type(vm, {&c, 1}); });
}

bool Player::TextEdit(TextCommand command) {
  if (impl_->Ended()) return false;
  return impl_->Typing([&](TextTyping& t, avm1::Vm& vm) { return t.Command(vm, command); });
}

void Player::SetClipboardText(const std::string& utf8) {
  impl_->typing.SetClipboard(DecodeText(utf8, true));
}

bool Player::MouseLeave() {
  if (impl_->Ended()) return false;
  return impl_->Pointer([](ButtonInput& in, const Matrix& view) { return in.Leave(view); });
}

bool Player::KeyPress(uint16_t swfKeyCode) {
  return !impl_->Ended() && impl_->input && impl_->input->Key(swfKeyCode);
}

bool Player::WantsCursorHidden() const { return impl_->runner && impl_->runner->Vm().cursorHidden; }

void Player::SetClockStart(double msSinceEpoch) { impl_->clockStartMs = msSinceEpoch; }
void Player::SetMovieUrl(std::string url) { impl_->movieUrlOverride = std::move(url); }

void Player::SetTraceSink(std::function<void(const std::string&)> sink) {
  impl_->traceSink = std::move(sink);
}

void Player::SetSharedObjectRoot(std::filesystem::path root) {
  impl_->storageRoot = std::move(root);
}

void Player::SetRequestSink(std::function<void(const avm1::OutgoingRequest&)> sink) {
  impl_->requestSink = std::move(sink);
}

void Player::SetRefusalSink(std::function<void(const std::string&)> sink) {
  impl_->refusalSink = std::move(sink);
}

bool Player::WantsHandCursor() const { return impl_->input && impl_->input->OverButton(); }

DisplayNode Player::BuildDisplayTree(int width, int height) const {
  if (!impl_->runner) return {};
  const Rect& stage = impl_->movie->header.frameSize;
  const StageFit fit = FitShowAll(stage, width, height);
  if (fit.Empty()) return {};
  DisplayNode tree = impl_->runner->BuildTree(fit.ToDevice(stage));
  if (auto ring = FocusRingNode(impl_->runner->Vm(), fit.ToDevice(stage)))
    tree.children.push_back(std::move(*ring));
  return tree;
}

void Player::Render(raster::Canvas& canvas) {
  if (!canvas.pixels || canvas.width <= 0 || canvas.height <= 0 || canvas.stride < canvas.width)
    return;
  raster::Clear(canvas, BackgroundColor());
  if (!impl_->runner) return;
  impl_->viewWidth = canvas.width;
  impl_->viewHeight = canvas.height;
  const DisplayNode tree = BuildDisplayTree(canvas.width, canvas.height);
  if (tree.children.empty()) return;
  impl_->renderer->Render(tree, canvas, impl_->quality);
}

std::vector<DamageBox> Player::RenderChanges(raster::Canvas& canvas, ShownFrame& shown) {
  if (!canvas.pixels || canvas.width <= 0 || canvas.height <= 0 || canvas.stride < canvas.width) {
    return {};
  }
  impl_->viewWidth = canvas.width;
  impl_->viewHeight = canvas.height;
  DisplayNode tree = BuildDisplayTree(canvas.width, canvas.height);
  const Rgba background = BackgroundColor();
  const DamageBox full{0, 0, canvas.width, canvas.height};
  std::vector<DamageBox> boxes;
  if (!shown.valid || shown.width != canvas.width || shown.height != canvas.height ||
      !(shown.background == background) || !impl_->renderer) {
    boxes = {full};
  } else {
    boxes = FrameDamage(*impl_->renderer, shown.tree, tree, canvas.width, canvas.height);
  }
  for (const DamageBox& box : boxes) {
    raster::Canvas part{canvas.pixels + static_cast<size_t>(box.y0) * canvas.stride + box.x0,
                        box.x1 - box.x0, box.y1 - box.y0, canvas.stride};
    raster::Clear(part, background);
    if (!impl_->renderer || tree.children.empty()) continue;
    // The same frame, seen through this box.
    tree.matrix.tx -= box.x0;
    tree.matrix.ty -= box.y0;
    impl_->renderer->Render(tree, part, impl_->quality,
                            {box.x0, box.y0, canvas.width, canvas.height});
    tree.matrix.tx += box.x0;
    tree.matrix.ty += box.y0;
  }
  shown = {std::move(tree), background, canvas.width, canvas.height, true};
  return boxes;
}

}  // namespace orrivel::swf
