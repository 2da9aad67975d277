// The player control: a child window that plays one SWF movie with the
// engine, scaled to show the whole stage ("show all"), at the movie's own
// frame rate, in a loop. Each due frame is rendered into a DIB section of
// the control's pixel size, only where it differs from the frame before,
// and only those parts are drawn; a frame that changes nothing on screen
// is neither rendered nor drawn. WM_PAINT draws from the last frame.
// Frames and input run on a worker thread of the control's own, in the
// order they came; the window's thread only hands them over and draws the
// finished parts, so it never waits for a heavy frame.
// Used by the movie window and by the settings dialog's preview.
// Window class "OrrivelPlayer".
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "moviesaver/frame_worker.h"
#include "swf/player/player.h"
#include "swf/sound/acm_mp3_decoder_win32.h"
#include "swf/sound/mixer.h"
#include "swf/sound/sound_output_win32.h"
#include "win32/unique_handle_win32.h"
#include "win32/window_win32.h"

namespace orrivel {

class FrameTicker;

inline constexpr wchar_t kPlayerClass[] = L"OrrivelPlayer";

class PlayerControl : public win32::Window {
 public:
  PlayerControl();
  ~PlayerControl() override;

  // Creates the control, visible, as a child of `parent`.
  bool Create(HWND parent, UINT_PTR controlId);

  // Position and size in twips of the parent, at the control's real DPI.
  void SetBoundsTwips(float left, float top, float width, float height);
  float TopTwips() const { return top_; }
  float HeightTwips() const { return height_; }

  // Loads the movie file and plays it at once, in a loop. An empty path, or
  // one that names no loadable movie, shows nothing.
  void SetMovie(const std::string& utf8Path);
  // The current frame, 0-based; -1 when no movie is loaded.
  int FrameNum() const { return frameNum_; }
  // "Low": faster rendering without anti-aliasing; any other text keeps high quality.
  void SetQuality2(std::string_view quality);
  // Mouse and keyboard go to the movie (its buttons).
  void SetInputEnabled(bool enabled) { inputEnabled_ = enabled; }
  // The movie's sound plays (full-screen runs); previews stay silent. Takes
  // effect with the next SetMovie.
  void SetSoundEnabled(bool enabled) { soundEnabled_ = enabled; }
  // Silences the movie at once (the saver is ending).
  void StopSound();

  // For measurements and tests.
  uint64_t FramesRendered() const { return framesRendered_; }
  uint64_t FramesUnchanged() const { return framesUnchanged_; }
  uint64_t PixelsRendered() const { return pixelsRendered_; }
  const std::string& LastError() const { return lastError_; }

 protected:
  void OnDestroy() override;
  void OnPaint(HDC hdc, const RECT& dirty) override;
  bool OnEraseBackground(HDC) override { return true; }
  void OnSize(int width, int height) override;
  void OnMouseMove(POINT at, WPARAM keys) override;
  void OnMouseButton(UINT msg, POINT at, WPARAM keys) override;
  void OnMouseLeave() override;
  void OnKey(UINT msg, UINT virtualKey, LPARAM flags) override;
  void OnChar(wchar_t character) override;
  bool OnSetCursor(UINT hitTest) override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnFrameDue();
  // The worker has drawn parts: they go to the screen.
  void OnPartsDrawn();
  // Waits for the worker, then renders and shows the whole frame here.
  void RedrawNow();
  // Makes the surface the control's size; on the window's thread, with the
  // worker idle.
  bool PrepareSurface();
  // Renders the current frame where it differs from the surface (all of it
  // when `whole`); returns the parts that changed. Runs where the player
  // runs: on the worker, or here while it is idle.
  std::vector<swf::DamageBox> RenderChanges(bool whole);
  // After every job: what the window's thread reads without the player.
  void PublishState();
  // Hands the drawn parts to the window's thread.
  void Publish(std::vector<swf::DamageBox> parts, bool frame);
  void Present(const std::vector<swf::DamageBox>& parts);
  bool EnsureSurface(int width, int height);
  // Runs input on the worker; what it changed is drawn.
  void PostInput(std::function<bool(swf::Player&)> input);
  void FlushPendingKey();
  // A key goes down: scripts hear it, then the focused text field edits with it.
  void SendKeyDown(int key, int character);

  // Declared first, so the sound outlives the player that reports to it.
  swf::AcmMp3DecoderFactory mp3_;
  swf::Mixer mixer_{&mp3_};
  swf::SoundOutput sound_;
  std::unique_ptr<swf::ImageDecoder> decoder_;
  std::unique_ptr<swf::Player> player_;
  std::unique_ptr<FrameTicker> ticker_;
  win32::UniqueHandle<HGDIOBJ, win32::GdiObjectDeleter> surface_;
  win32::UniqueHandle<HDC, win32::MemoryDcDeleter> surfaceDc_;
  HGDIOBJ oldBitmap_ = nullptr;
  swf::raster::Canvas canvas_;
  swf::Player::ShownFrame shown_;  // what the surface holds
  bool hasMovie_ = false;
  bool inputEnabled_ = false;
  bool soundEnabled_ = false;
  bool trackingLeave_ = false;
  int pendingKey_ = 0;  // a key down waiting for its character (WM_CHAR)
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int64_t lastAdvance_ = 0;
  std::atomic<uint64_t> framesRendered_ = 0, framesUnchanged_ = 0;
  std::atomic<uint64_t> pixelsRendered_ = 0;
  // The player's state as the last job left it, for the window's thread.
  std::atomic<int> frameNum_ = -1;
  std::atomic<bool> cursorHidden_ = false, handCursor_ = false;
  std::string lastError_;
  // Parts drawn by the worker and not yet shown.
  std::mutex drawnMutex_;
  std::vector<swf::DamageBox> drawn_;
  bool frameDrawn_ = false, drawnPosted_ = false;
  // The pointer's last place, for the one move waiting on the worker.
  std::atomic<int64_t> mouseAt_ = 0;
  std::atomic<bool> moveQueued_ = false;
  // Last: it ends first, finishing its jobs while the player still lives.
  // Its thread decodes pictures through WIC, so it joins COM.
  FrameWorker worker_{[] { CoInitializeEx(nullptr, COINIT_MULTITHREADED); },
                      [] { CoUninitialize(); }};
};

}  // namespace orrivel
