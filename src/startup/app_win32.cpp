#include "startup/app_win32.h"

#include "moviesaver/movie_window_win32.h"
#include "picturesaver/picture_window_win32.h"
#include "settingsdialog/about_box_win32.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

constexpr wchar_t kMessageWindowClass[] = L"OrrivelApp";
constexpr UINT kRestartMessage = WM_APP + 1;
constexpr UINT_PTR kHostWatchTimer = 1;
constexpr UINT kHostWatchMs = 250;

}  // namespace

// A message-only window: where the loop learns that Main should run again,
// and the clock that watches a preview host.
class App::MessageWindow : public win32::Window {
 public:
  explicit MessageWindow(App& app) : app_(app) {
    CreateArgs args;
    args.className = kMessageWindowClass;
    args.parent = HWND_MESSAGE;
    args.cursor = nullptr;
    Create(args);
  }

 protected:
  void OnTimer(UINT_PTR id) override {
    if (id == kHostWatchTimer) app_.OnHostWatch();
  }
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == kRestartMessage) {
      app_.Main();
      return 0;
    }
    return Window::OnMessage(msg, wParam, lParam);
  }

 private:
  App& app_;
};

App::App(std::string argumentText, SettingsPlatform& settingsPlatform, const InstanceGuard& guard,
         TempFilePlatform& tempFilePlatform)
    : argumentText_(std::move(argumentText)),
      store_(settingsPlatform),
      guard_(guard),
      tempFiles_(tempFilePlatform),
      messages_(std::make_unique<MessageWindow>(*this)) {}

App::~App() {
  // Windows first: their clean-up still uses the application.
  EndSaver();
  if (settingsDialog_) settingsDialog_->Close();
  if (about_) about_->Close();
}

void App::Main() {
  store_.ReadSettings();
  StartPlan plan = PlanStart(argumentText_, store_.settings().MovieOrPic);
  SaverWindow* window = nullptr;
  switch (plan.window) {
    case StartWindow::Movie:
      window = &MovieSaver();
      break;
    case StartWindow::Picture:
      window = &PictureSaver();
      break;
    case StartWindow::Settings:
      window = &SettingsWindow();
      break;
  }
  for (StartStep step : plan.steps) {
    if (!RunStep(step, *window)) return;
  }
}

// Wakes the message loop, which ends with the last window.
void App::WakeLoop() { PostMessageW(messages_->hwnd(), WM_NULL, 0, 0); }

MovieWindow& App::MovieSaver() {
  if (!movie_) {
    movie_ = std::make_unique<MovieWindow>(*this);
    movie_->SetOnClosed([this] { WakeLoop(); });
  }
  return *movie_;
}

PictureWindow& App::PictureSaver() {
  if (!picture_) {
    picture_ = std::make_unique<PictureWindow>(*this);
    picture_->SetOnClosed([this] { WakeLoop(); });
  }
  return *picture_;
}

SettingsDialog& App::SettingsWindow() {
  if (!settingsDialog_) {
    // The file dialog is asked through the application, so tests can answer it.
    settingsDialog_ =
        std::make_unique<SettingsDialog>(*this, [this](HWND owner) { return chooser_(owner); });
    settingsDialog_->SetOnClosed([this] { WakeLoop(); });
  }
  return *settingsDialog_;
}

void App::ShowAbout() {
  if (!about_) {
    about_ = std::make_unique<AboutBox>();
    about_->SetOnClosed([this] { WakeLoop(); });
  }
  about_->Open();
}

bool App::RunStep(StartStep step, SaverWindow& window) {
  switch (step) {
    case StartStep::SetPreviewMode:
      EnterPreviewMode();
      return true;
    case StartStep::CheckPrevInstance:
      // A second start-up of this same process would find its own window.
      if (!restarted_) guard_.CheckPrevInstance();
      return true;
    case StartStep::Load:
      return window.Load();
    case StartStep::Show:
      window.Show();
      return true;
    case StartStep::EmbedInPreview: {
      PreviewHandle handle = ParsePreviewHandle(argumentText_);
      if (handle.error.failed()) {
        // Not a window handle: a message instead of a crash, then the run ends.
        ShowError(ErrorMessageText(handle.error, 3));
        EndSaver();
        return false;
      }
      HWND host = HandleFromValue(handle.value);
      EmbedInPreview(window, host);
      WatchPreviewHost(host);
      return true;
    }
    case StartStep::FormatMovie:
    case StartStep::FormatPicture:
      window.Format();
      return true;
    case StartStep::HidePicture:
      if (picture_) picture_->SetPictureVisible(false);
      return true;
    case StartStep::ShowPicture:
      if (picture_) picture_->SetPictureVisible(true);
      return true;
    case StartStep::RotateOnce:
      if (picture_) picture_->OnRotateTimer();
      return true;
    case StartStep::CaptionPreview:
      window.SetTitle(win32::Utf8ToWide(kCaptionPreview));
      return true;
    case StartStep::CaptionSaver:
      window.SetTitle(win32::Utf8ToWide(kCaptionSaver));
      return true;
  }
  return true;
}

void App::WatchPreviewHost(HWND host) {
  previewHost_ = host;
  SetTimer(messages_->hwnd(), kHostWatchTimer, kHostWatchMs, nullptr);
}

void App::OnHostWatch() {
  if (IsWindow(previewHost_)) return;
  KillTimer(messages_->hwnd(), kHostWatchTimer);
  // The host ends a preview by going away; nothing else would end the run.
  EndSaver();
}

void App::EndSaver() {
  if (movie_) movie_->Close();
  if (picture_) picture_->Close();
}

void App::RestartWithBuiltInMovie() {
  restarted_ = true;
  PostMessageW(messages_->hwnd(), kRestartMessage, 0, 0);
}

void App::ShowError(const std::string& text) {
  if (MessageSink* sink = store_.platform().messages) sink->ShowError(text);
}

bool App::AnyWindowOpen() const {
  return (movie_ && movie_->IsOpen()) || (picture_ && picture_->IsOpen()) ||
         (settingsDialog_ && settingsDialog_->IsOpen()) || (about_ && about_->IsOpen());
}

bool App::IsDialogMessageForAny(MSG& msg) {
  for (win32::Window* dialog : {static_cast<win32::Window*>(settingsDialog_.get()),
                                static_cast<win32::Window*>(about_.get())}) {
    if (dialog && dialog->IsOpen() && IsDialogMessageW(dialog->hwnd(), &msg)) return true;
  }
  return false;
}

int App::RunMessageLoop() {
  MSG msg;
  while (AnyWindowOpen()) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return 1;
    if (got == 0) return static_cast<int>(msg.wParam);
    if (IsDialogMessageForAny(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace orrivel
