// What the settings dialog holds while it is open: the working copies that
// "&Ok" writes, and the state its controls show (check boxes, path text,
// slider, the image list). The shell turns clicks into these calls and shows
// the state afterwards; the model never touches the settings record itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settingsdialog/dialog_layout.h"
#include "startup/settings_format.h"

namespace orrivel {

// Side effects the model asks of the shell.
class DialogEffects {
 public:
  virtual ~DialogEffects() = default;
  // Writes the built-in movie to a fresh temporary file; "" when that fails.
  virtual std::string ResourceToTempFile() = 0;
  // The preview plays the movie at `path` ("" shows nothing).
  virtual void LoadPreview(const std::string& path) = 0;
};

enum class CheckState { Unchecked = 0, Checked = 1, Grayed = 2 };

inline constexpr int kMinSpeed = 1, kMaxSpeed = 15, kDefaultSpeed = 5;
// The settings reader takes a PICS text of at most this many characters.
inline constexpr size_t kMaxPicsChars = 32767;
inline constexpr char kDefaultMoviePathText[] = "default movie";

// The arguments "&Ok" passes to WriteSettings.
struct DialogWrite {
  std::string movieOrPic, movieFile, interactive;
  bool writeDefault = false;
  std::string pics, random, speed, quality;
  bool operator==(const DialogWrite&) const = default;
};

// What the controls show.
struct DialogState {
  DialogMode mode = DialogMode::Movie;
  std::string pathText;
  CheckState defaultMovie = CheckState::Unchecked;
  bool defaultMovieEnabled = true;
  bool interactive = false, lowQuality = false, random = false;
  int speed = kMinSpeed;
  std::vector<std::string> names;  // the image list as shown
  std::vector<std::string> paths;  // the full path of each entry
};

enum class AddResult { Added, NothingSelected, AlreadyListed, ListFull };

class SettingsDialogModel {
 public:
  explicit SettingsDialogModel(DialogEffects& effects) : effects_(effects) {}

  // Fills the dialog from the settings as read, in the stored mode.
  void Load(const SaverSettingsRecord& saved, const std::vector<std::string>& pictureList);
  // The option buttons: the layout, and on each entry into the picture
  // layout the slider and random box as stored.
  void SwitchMode(DialogMode mode);

  // Movie options.
  void CheckDefaultMovie();  // the user ticks "Default Movie"
  void MovieChosen(const std::string& path);
  void SetInteractive(bool on);
  void SetLowQuality(bool on);

  // The image list.
  AddResult AddPicture(const std::string& folder, const std::string& name);
  // Removes entry `index` from the list; false when nothing was removed.
  bool DeletePicture(int index);
  void SetSpeed(int seconds);
  void SetRandom(bool on);
  std::string JoinPictureList() const;

  DialogWrite OkWrite() const;
  const DialogState& state() const { return state_; }

 private:
  void FillPictureLists(const std::vector<std::string>& pictureList);

  DialogEffects& effects_;
  SaverSettingsRecord saved_;
  DialogState state_;
  // Working copies, written by "&Ok".
  std::string mode_, movie_, interactive_, quality_, speed_, random_;
};

// The display name of a full path: the text after its last backslash. A
// path without one is its own name; one that ends in a backslash is shown whole.
std::string GetFileName(std::string_view path);

// The slider position for a stored speed: 5 when empty or not a number,
// else the number rounded half to even and kept within 1 to 15.
int SliderSpeed(std::string_view stored);

}  // namespace orrivel
