#include "moviesaver/player_control_win32.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "moviesaver/frame_ticker_win32.h"
#include "startup/settings_platform_win32.h"
#include "swf/render/wic_image_decoder_win32.h"
#include "win32/dpi_win32.h"

namespace orrivel {
namespace {

constexpr UINT kFrameDueMessage = WM_APP + 20;
constexpr UINT kPartsDrawnMessage = WM_APP + 21;

int64_t NowTicks() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart;
}

double SecondsBetween(int64_t from, int64_t to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return static_cast<double>(to - from) / frequency;
}

}  // namespace

PlayerControl::PlayerControl()
    : decoder_(std::make_unique<swf::WicImageDecoder>()),
      player_(std::make_unique<swf::Player>(*decoder_)) {
  // Games keep their SharedObject stores (scores, settings) in the user's
  // roaming profile, a folder per movie file.
  const std::string profile = win32::ProfileSettingsFolder();
  if (!profile.empty()) {
    const std::string root = profile + "\\SharedObjects";
    player_->SetSharedObjectRoot(std::filesystem::path(std::u8string(root.begin(), root.end())));
  }
}

PlayerControl::~PlayerControl() {
  if (ticker_) ticker_->Stop();
  worker_.Wait();
  StopSound();
}

void PlayerControl::StopSound() {
  sound_.Stop();  // the device falls silent at once
  mixer_.StopAll();
}

bool PlayerControl::Create(HWND parent, UINT_PTR controlId) {
  CreateArgs args;
  args.className = kPlayerClass;
  args.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  args.parent = parent;
  args.childId = controlId;
  args.cursor = LoadCursorW(nullptr, IDC_ARROW);
  if (!Window::Create(args)) return false;
  ticker_ = std::make_unique<FrameTicker>(hwnd(), kFrameDueMessage);
  return true;
}

void PlayerControl::SetBoundsTwips(float left, float top, float width, float height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (!IsOpen()) return;
  const double tpp = win32::TwipsPerPixel(hwnd());
  auto px = [tpp](float twips) {
    return static_cast<int>(std::clamp(std::nearbyint(twips / tpp), -1.0e6, 1.0e6));
  };
  MoveWindow(hwnd(), px(left), px(top), std::max(0, px(width)), std::max(0, px(height)), TRUE);
}

void PlayerControl::SetMovie(const std::string& utf8Path) {
  if (ticker_) ticker_->Stop();
  worker_.Wait();
  StopSound();
  // Sounds are reported only where a device plays them: without one the
  // movie runs by its clock, silent, and without an error.
  const bool sound = soundEnabled_ && !utf8Path.empty() && sound_.Start(mixer_);
  player_->SetSoundSink(sound ? &mixer_ : nullptr);
  hasMovie_ = !utf8Path.empty() && player_->LoadFile(utf8Path);
  if (!hasMovie_) {
    player_->Unload();
    StopSound();
  }
  lastError_ = player_->LastError();
  lastAdvance_ = NowTicks();
  if (PrepareSurface()) RenderChanges(true);
  PublishState();
  if (IsOpen()) InvalidateRect(hwnd(), nullptr, FALSE);
  if (hasMovie_ && ticker_) ticker_->Start(player_->SecondsPerFrame());
}

void PlayerControl::SetQuality2(std::string_view quality) {
  worker_.Wait();
  player_->SetQuality(quality == "Low" ? swf::Quality::Low : swf::Quality::High);
  RedrawNow();
}

void PlayerControl::RedrawNow() {
  worker_.Wait();
  if (PrepareSurface()) Present(RenderChanges(true));
}

void PlayerControl::OnDestroy() {
  if (ticker_) ticker_->Stop();
  worker_.Wait();
  StopSound();
}

LRESULT PlayerControl::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kFrameDueMessage) {
    OnFrameDue();
    return 0;
  }
  if (msg == kPartsDrawnMessage) {
    OnPartsDrawn();
    return 0;
  }
  if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS;
  if (msg == WM_MOUSEWHEEL && inputEnabled_ && hasMovie_) {
    // Scripts hear lines: three to a notch, as the system scrolls by default.
    const int lines = GET_WHEEL_DELTA_WPARAM(wParam) * 3 / WHEEL_DELTA;
    PostInput([lines](swf::Player& p) { return p.MouseWheel(lines); });
    return 0;
  }
  return Window::OnMessage(msg, wParam, lParam);
}

void PlayerControl::OnFrameDue() {
  if (!hasMovie_ || !PrepareSurface()) {
    if (ticker_) ticker_->Acknowledge();
    return;
  }
  const int64_t now = NowTicks();
  const double elapsed = SecondsBetween(lastAdvance_, now);
  lastAdvance_ = now;
  worker_.Post([this, elapsed] {
    player_->Advance(elapsed);
    Publish(RenderChanges(false), true);
  });
}

void PlayerControl::PostInput(std::function<bool(swf::Player&)> input) {
  worker_.Post([this, input = std::move(input)] {
    const bool changed = input(*player_);
    Publish(changed ? RenderChanges(false) : std::vector<swf::DamageBox>{}, false);
  });
}

void PlayerControl::PublishState() {
  frameNum_ = player_->FrameNum();
  cursorHidden_ = player_->WantsCursorHidden();
  handCursor_ = player_->WantsHandCursor();
}

void PlayerControl::Publish(std::vector<swf::DamageBox> parts, bool frame) {
  PublishState();
  std::lock_guard lock(drawnMutex_);
  drawn_.insert(drawn_.end(), parts.begin(), parts.end());
  frameDrawn_ |= frame;
  if (drawnPosted_ || (drawn_.empty() && !frameDrawn_)) return;
  drawnPosted_ = PostMessageW(hwnd(), kPartsDrawnMessage, 0, 0) != 0;
}

void PlayerControl::OnPartsDrawn() {
  std::vector<swf::DamageBox> parts;
  bool frame = false;
  {
    std::lock_guard lock(drawnMutex_);
    parts.swap(drawn_);
    std::swap(frame, frameDrawn_);
    drawnPosted_ = false;
  }
  // Should the worker be drawing into these parts again already, they show
  // half drawn for a moment: its next message brings them whole.
  Present(parts);
  if (frame && ticker_) ticker_->Acknowledge();
}

bool PlayerControl::EnsureSurface(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  if (surface_ && canvas_.width == width && canvas_.height == height) return true;
  if (surfaceDc_ && oldBitmap_ != nullptr) SelectObject(surfaceDc_.get(), oldBitmap_);
  surface_.reset();
  canvas_ = {};
  if (!surfaceDc_) surfaceDc_.reset(CreateCompatibleDC(nullptr));
  if (!surfaceDc_) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, like the canvas
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  surface_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!surface_ || bits == nullptr) {
    surface_.reset();
    return false;
  }
  oldBitmap_ = SelectObject(surfaceDc_.get(), surface_.get());
  canvas_ = {static_cast<uint32_t*>(bits), width, height, width};
  shown_.valid = false;
  return true;
}

bool PlayerControl::PrepareSurface() {
  if (!IsOpen()) return false;
  RECT client{};
  GetClientRect(hwnd(), &client);
  return EnsureSurface(client.right, client.bottom);
}

std::vector<swf::DamageBox> PlayerControl::RenderChanges(bool whole) {
  if (!canvas_.pixels) return {};
  const swf::DamageBox all{0, 0, canvas_.width, canvas_.height};
  if (!hasMovie_) {
    // Nothing loaded: the control shows plain black.
    if (!whole && !shown_.valid) return {};
    std::fill_n(canvas_.pixels, static_cast<size_t>(canvas_.width) * canvas_.height, 0xFF000000u);
    shown_.valid = false;
    return {all};
  }
  if (whole) shown_.valid = false;
  std::vector<swf::DamageBox> parts = player_->RenderChanges(canvas_, shown_);
  if (parts.empty()) {
    ++framesUnchanged_;
  } else {
    ++framesRendered_;
    for (const swf::DamageBox& part : parts) pixelsRendered_ += part.Area();
  }
  return parts;
}

void PlayerControl::Present(const std::vector<swf::DamageBox>& parts) {
  if (!IsOpen() || !surface_ || parts.empty()) return;
  HDC hdc = GetDC(hwnd());
  if (hdc == nullptr) return;
  for (const swf::DamageBox& p : parts) {
    BitBlt(hdc, p.x0, p.y0, p.x1 - p.x0, p.y1 - p.y0, surfaceDc_.get(), p.x0, p.y0, SRCCOPY);
  }
  ReleaseDC(hwnd(), hdc);
  GdiFlush();  // done with the surface before the worker draws into it again
}

void PlayerControl::OnPaint(HDC hdc, const RECT& dirty) {
  if (!surface_) {
    worker_.Wait();
    if (PrepareSurface()) RenderChanges(true);
  }
  if (surface_) {
    BitBlt(hdc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top,
           surfaceDc_.get(), dirty.left, dirty.top, SRCCOPY);
    GdiFlush();
  } else {
    FillRect(hdc, &dirty, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
}

void PlayerControl::OnSize(int width, int height) {
  worker_.Wait();
  if (EnsureSurface(width, height)) RenderChanges(true);
}

void PlayerControl::OnMouseMove(POINT at, WPARAM) {
  if (!inputEnabled_ || !hasMovie_) return;
  if (!trackingLeave_) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
    trackingLeave_ = TrackMouseEvent(&track) != 0;
  }
  // Moves come faster than a heavy movie draws: one waits at a time, and
  // it takes the pointer where it is when its turn comes.
  mouseAt_ = (static_cast<int64_t>(at.x) << 32) | static_cast<uint32_t>(at.y);
  if (moveQueued_.exchange(true)) return;
  PostInput([this](swf::Player& p) {
    moveQueued_ = false;
    const int64_t packed = mouseAt_;
    return p.MouseMove(static_cast<int>(packed >> 32), static_cast<int32_t>(packed & 0xFFFFFFFF));
  });
}

void PlayerControl::OnMouseButton(UINT msg, POINT at, WPARAM) {
  if (!inputEnabled_ || !hasMovie_) return;
  if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
    SetFocus(hwnd());
    SetCapture(hwnd());
    PostInput([at](swf::Player& p) {
      p.MouseMove(at.x, at.y);
      return p.MouseDown();
    });
  } else if (msg == WM_LBUTTONUP) {
    if (GetCapture() == hwnd()) ReleaseCapture();
    PostInput([at](swf::Player& p) {
      p.MouseMove(at.x, at.y);
      return p.MouseUp();
    });
  }
}

void PlayerControl::OnMouseLeave() {
  trackingLeave_ = false;
  if (inputEnabled_ && hasMovie_) PostInput([](swf::Player& p) { return p.MouseLeave(); });
}

void PlayerControl::OnKey(UINT msg, UINT virtualKey, LPARAM) {
  if (!inputEnabled_ || !hasMovie_) return;
  FlushPendingKey();
  const int key = static_cast<int>(virtualKey & 0xFF);
  if (msg == WM_KEYUP || msg == WM_SYSKEYUP) {
    PostInput([key](swf::Player& p) { return p.KeyUp(key, 0); });
    return;
  }
  // A key that types waits for its WM_CHAR, which names the character.
  if (msg == WM_KEYDOWN && MapVirtualKeyW(virtualKey, MAPVK_VK_TO_CHAR) != 0) {
    pendingKey_ = key;
    return;
  }
  SendKeyDown(key, 0);
}

void PlayerControl::OnChar(wchar_t character) {
  if (!inputEnabled_ || !hasMovie_) return;
  if (pendingKey_ != 0) {
    SendKeyDown(pendingKey_, character);
    pendingKey_ = 0;
  }
  if (character >= 32) PostInput([character](swf::Player& p) { return p.TextInput(character); });
}

void PlayerControl::SendKeyDown(int key, int character) {
  // The modifiers as they are now, not when the worker gets to the key.
  const bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
  PostInput([=](swf::Player& p) {
    bool changed = p.KeyDown(key, character);
    if (const auto command = swf::TextCommandForKey(key, shift, control))
      changed = p.TextEdit(*command) || changed;
    return changed;
  });
}

// A key whose character never came (a shortcut, a dead key) goes down without one.
void PlayerControl::FlushPendingKey() {
  if (pendingKey_ == 0) return;
  const int key = pendingKey_;
  pendingKey_ = 0;
  SendKeyDown(key, 0);
}

bool PlayerControl::OnSetCursor(UINT hitTest) {
  if (hitTest != HTCLIENT || !inputEnabled_ || !hasMovie_) return false;
  // A movie that called Mouse.hide() draws its own pointer, if any.
  if (cursorHidden_) {
    SetCursor(nullptr);
    return true;
  }
  if (!handCursor_) return false;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return true;
}

}  // namespace orrivel
