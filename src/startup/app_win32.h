// The application: what one run of the program holds (the argument text,
// the settings, the run mode, the instance guard, the temporary movie
// copies) and its saver windows. WinMain owns it; each window is given it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "defaultmovie/temp_movie_files.h"
#include "settingsdialog/settings_dialog_win32.h"
#include "startup/run_control_win32.h"
#include "startup/settings_store.h"
#include "startup/startup_plan.h"
#include "win32/window_win32.h"

namespace orrivel {

class AboutBox;
class MovieWindow;
class PictureWindow;
class SaverWindow;

class App {
 public:
  // The platforms must outlive the application.
  App(std::string argumentText, SettingsPlatform& settingsPlatform, const InstanceGuard& guard,
      TempFilePlatform& tempFilePlatform);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // The start-up: reads the settings and opens the one window the argument
  // text and the saver kind ask for. Called once by WinMain, and again from
  // the message loop after a window asked for the built-in movie.
  void Main();
  // Runs until no window is left (or a quit message); returns the exit code.
  int RunMessageLoop();

  // Closes every saver window; the run ends when none is left.
  void EndSaver();
  // The settings now name the built-in movie: once the current handler has
  // returned, Main runs again and opens the movie window over the others.
  void RestartWithBuiltInMovie();

  bool AnyWindowOpen() const;
  // A message box with an OK button, titled "Orrivel".
  void ShowError(const std::string& text);
  bool PreviewMode() const { return previewMode_; }
  const std::string& ArgumentText() const { return argumentText_; }
  SettingsStore& Store() { return store_; }
  const SaverSettingsRecord& Settings() const { return store_.settings(); }
  TempMovieFiles& TempFiles() { return tempFiles_; }

  // The saver windows, made on first use (not yet loaded).
  MovieWindow& MovieSaver();
  PictureWindow& PictureSaver();
  MovieWindow* Movie() const { return movie_.get(); }
  PictureWindow* Pictures() const { return picture_.get(); }
  // The settings dialog (made on first use) and the About box, which lives
  // until the run ends so that what it counts carries over.
  SettingsDialog& SettingsWindow();
  SettingsDialog* Dialog() const { return settingsDialog_.get(); }
  AboutBox* About() const { return about_.get(); }
  void ShowAbout();
  // How the settings dialog asks for a movie file (tests answer for the user).
  void SetMovieChooser(MovieChooser chooser) { chooser_ = std::move(chooser); }
  // The start-up's first step in a preview; set once, never cleared.
  void EnterPreviewMode() { previewMode_ = true; }

 private:
  class MessageWindow;
  bool RunStep(StartStep step, SaverWindow& window);
  // Keyboard navigation (Tab, arrows, Enter, Esc) in the dialog windows.
  bool IsDialogMessageForAny(MSG& msg);
  void WakeLoop();
  void WatchPreviewHost(HWND host);
  void OnHostWatch();

  std::string argumentText_;
  SettingsStore store_;
  const InstanceGuard& guard_;
  TempMovieFiles tempFiles_;
  bool previewMode_ = false;
  bool restarted_ = false;
  HWND previewHost_ = nullptr;
  std::unique_ptr<MessageWindow> messages_;
  std::unique_ptr<PictureWindow> picture_;
  std::unique_ptr<MovieWindow> movie_;
  MovieChooser chooser_ = ChooseMovieFile;
  std::unique_ptr<SettingsDialog> settingsDialog_;
  std::unique_ptr<AboutBox> about_;
};

}  // namespace orrivel
