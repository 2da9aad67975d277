// The settings dialog: a fixed tool window titled "Orrivel Settings" with
// the mode switch, the movie options (file, built-in movie, interactive, low
// quality, a playing preview) and the image list editor (drive, folder and
// file lists with previews, the image list, display time, random order).
// "&Ok" writes the settings file; "&Cancel" and the close box leave it as
// it was. Built from the control table at the window's real DPI, and laid
// out again when the window moves to a monitor with another DPI.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "moviesaver/player_control_win32.h"
#include "settingsdialog/dialog_controls_win32.h"
#include "settingsdialog/picture_browser.h"
#include "settingsdialog/settings_dialog_model.h"
#include "startup/saver_window_win32.h"
#include "win32/unique_handle_win32.h"

namespace orrivel {

class App;

inline constexpr wchar_t kSettingsDialogClass[] = L"OrrivelSettings";

// Asks the user for a movie file: the path, nothing when cancelled, or the
// failure of the file dialog.
struct MovieChoice {
  std::optional<std::wstring> path;
  ErrorInfo error;
};
using MovieChooser = std::function<MovieChoice(HWND owner)>;
// The system's file-open dialog, filtered to Flash movies.
MovieChoice ChooseMovieFile(HWND owner);

class SettingsDialog : public SaverWindow, private DialogEffects {
 public:
  SettingsDialog(App& app, MovieChooser chooser);
  ~SettingsDialog() override;

  // Creates the window, hidden, and fills it from the settings.
  bool Load() override;
  void Show() override;
  void Format() override {}

  // For tests: the control with `id`, and the model behind the controls.
  HWND Control(ControlId id) const;
  const SettingsDialogModel& Model() const { return model_; }
  const std::wstring& BrowseFolder() const { return folder_; }
  PlayerControl& Preview() { return preview_; }
  bool BrowsePreviewShown() const { return browsePreview_.HasPicture(); }
  bool ListPreviewShown() const { return listPreview_.HasPicture(); }
  // Opens a folder in the browser; false (after a message) when it cannot be read.
  bool OpenFolder(const std::wstring& folder);

 protected:
  void OnUnload() override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // DialogEffects
  std::string ResourceToTempFile() override;
  void LoadPreview(const std::string& path) override;

  bool CreateControls();
  HWND CreateControl(const ControlRow& row, HWND parent);
  void OrderControls();
  void MakeFonts();
  void PlaceControls();
  void ShowState();
  void ShowImageList();
  void SwitchMode(DialogMode mode);
  void OnSetPath();
  void OnOk();
  void OnAdd();
  void OnFileSelected();
  void OnListSelected();
  void OnListKeyUp(UINT key);
  void OnDriveChosen();
  void OnDirectoryOpened();
  void FillDrives();
  void FocusFirstControl();
  HFONT FontFor(const ControlRow& row) const;
  void DrawDirectoryEntry(const DRAWITEMSTRUCT& item);
  static LRESULT CALLBACK ListKeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);

  App& app_;
  MovieChooser chooser_;
  SettingsDialogModel model_;
  std::map<ControlId, HWND> controls_;
  std::map<ControlId, TwipRect> rects_;  // where each control stands now
  std::map<ControlId, std::unique_ptr<FrameBox>> frames_;
  ImageBox browsePreview_, listPreview_;
  PlayerControl preview_;
  win32::UniqueHandle<HGDIOBJ, win32::GdiObjectDeleter> dialogFont_, noteFont_;
  UINT dpi_ = 96;
  std::wstring folder_;  // the folder the file list shows
  std::vector<DirectoryEntry> directories_;
  std::vector<std::string> shownNames_;  // what the image list box holds
  HICON folderClosed_ = nullptr, folderOpen_ = nullptr;
};

}  // namespace orrivel
