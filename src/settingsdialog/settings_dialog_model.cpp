#include "settingsdialog/settings_dialog_model.h"

#include <algorithm>
#include <cmath>

namespace orrivel {
namespace {

constexpr char kModeMovie[] = "MOVIE";
constexpr char kModePicture[] = "PIC";
constexpr char kDefaultMovie[] = "DEFAULT";

// Characters, not bytes: the settings reader's limit counts characters.
size_t CharCount(std::string_view utf8) {
  return static_cast<size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string GetFileName(std::string_view path) {
  const size_t slash = path.rfind('\\');
  // Without a name after a backslash the whole path is shown, so the entry
  // can still be seen and removed.
  if (slash == std::string_view::npos || slash + 1 == path.size()) return std::string(path);
  return std::string(path.substr(slash + 1));
}

int SliderSpeed(std::string_view stored) {
  if (stored.empty()) return kDefaultSpeed;
  const std::optional<double> value = ParseSettingsNumber(stored);
  if (!value || std::isnan(*value)) return kDefaultSpeed;
  // nearbyint rounds half to even in the default rounding mode.
  const double rounded = std::nearbyint(std::clamp(*value, double{kMinSpeed}, double{kMaxSpeed}));
  return static_cast<int>(rounded);
}

void SettingsDialogModel::Load(const SaverSettingsRecord& saved,
                               const std::vector<std::string>& pictureList) {
  saved_ = saved;
  if (saved.MovieOrPic == kModeMovie) {
    SwitchMode(DialogMode::Movie);
    movie_ = saved.MovieFile;
    interactive_ = saved.Interactive;
    state_.pathText = saved.MovieFile;
    if (saved.MovieFile == kDefaultMovie) {
      effects_.LoadPreview(effects_.ResourceToTempFile());
      CheckDefaultMovie();
    } else {
      effects_.LoadPreview(saved.MovieFile);
    }
    if (saved.Interactive == "TRUE") SetInteractive(true);
    if (saved.Quality == "LOW") SetLowQuality(true);
    return;
  }
  SwitchMode(DialogMode::Picture);
  random_ = saved.Random;
  // The stored text is written back as it is, unless the slider could not
  // show it (a hand-edited value out of range): then the slider's value.
  const std::optional<double> stored = ParseSettingsNumber(saved.Speed);
  const bool showable =
      saved.Speed.empty() || (stored && *stored >= kMinSpeed - 0.5 && *stored <= kMaxSpeed + 0.5);
  speed_ = showable ? saved.Speed : std::to_string(state_.speed);
  FillPictureLists(pictureList);
}

void SettingsDialogModel::SwitchMode(DialogMode mode) {
  state_.mode = mode;
  if (mode == DialogMode::Movie) {
    mode_ = kModeMovie;
    return;
  }
  mode_ = kModePicture;
  SetSpeed(SliderSpeed(saved_.Speed));
  if (saved_.Random == "RANDOM") SetRandom(true);
}

void SettingsDialogModel::CheckDefaultMovie() {
  // While in use the box is grayed and disabled: only "Set Path" leaves it.
  if (state_.defaultMovie == CheckState::Grayed || !state_.defaultMovieEnabled) return;
  state_.defaultMovie = CheckState::Grayed;
  state_.defaultMovieEnabled = false;
  movie_ = kDefaultMovie;
  state_.pathText = kDefaultMoviePathText;
  effects_.LoadPreview(effects_.ResourceToTempFile());
}

void SettingsDialogModel::MovieChosen(const std::string& path) {
  movie_ = path;
  state_.pathText = path;
  effects_.LoadPreview(path);
  if (state_.defaultMovie == CheckState::Grayed) {
    state_.defaultMovie = CheckState::Unchecked;
    state_.defaultMovieEnabled = true;
  }
}

void SettingsDialogModel::SetInteractive(bool on) {
  state_.interactive = on;
  interactive_ = on ? "TRUE" : "FALSE";
}

void SettingsDialogModel::SetLowQuality(bool on) {
  state_.lowQuality = on;
  quality_ = on ? "LOW" : "HIGH";
}

AddResult SettingsDialogModel::AddPicture(const std::string& folder, const std::string& name) {
  if (name.empty()) return AddResult::NothingSelected;
  // Joined as text: a file in a drive's root gets a doubled backslash,
  // which the system's file functions accept and the list keeps as built.
  std::string full = folder + "\\" + name;
  if (std::find(state_.paths.begin(), state_.paths.end(), full) != state_.paths.end())
    return AddResult::AlreadyListed;
  if (CharCount(JoinPictureList()) + CharCount(full) + 1 > kMaxPicsChars)
    return AddResult::ListFull;
  state_.names.push_back(name);
  state_.paths.push_back(std::move(full));
  return AddResult::Added;
}

bool SettingsDialogModel::DeletePicture(int index) {
  if (index < 0 || static_cast<size_t>(index) >= state_.paths.size()) return false;
  state_.paths.erase(state_.paths.begin() + index);
  state_.names.erase(state_.names.begin() + index);
  return true;
}

void SettingsDialogModel::SetSpeed(int seconds) {
  state_.speed = std::clamp(seconds, kMinSpeed, kMaxSpeed);
  speed_ = std::to_string(state_.speed);
}

void SettingsDialogModel::SetRandom(bool on) {
  state_.random = on;
  random_ = on ? "RANDOM" : "SEQ";
}

std::string SettingsDialogModel::JoinPictureList() const {
  std::string text;
  for (const std::string& path : state_.paths) text += path + ";";
  return text;
}

void SettingsDialogModel::FillPictureLists(const std::vector<std::string>& pictureList) {
  for (const std::string& path : pictureList) {
    state_.paths.push_back(path);
    state_.names.push_back(GetFileName(path));
  }
}

DialogWrite SettingsDialogModel::OkWrite() const {
  if (mode_ == kModeMovie) return {mode_, movie_, interactive_, false, "", "", "", quality_};
  return {mode_, "", "", false, JoinPictureList(), random_, speed_, ""};
}

}  // namespace orrivel
