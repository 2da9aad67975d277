// The settings file as a user's disk may hold it, through everything that
// reads it: the KEY = VALUE parser, the picture list split, the number
// parser, and the settings dialog filling its lists and speed from it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settingsdialog/picture_browser.h"
#include "settingsdialog/settings_dialog_model.h"
#include "startup/settings_format.h"

namespace {

class NoEffects : public orrivel::DialogEffects {
 public:
  std::string ResourceToTempFile() override { return "copy"; }
  void LoadPreview(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  orrivel::SaverSettingsRecord record;
  orrivel::ApplySettingsText(text, record);
  const std::vector<std::string> pictures = orrivel::SplitPicsText(record.Pics);
  orrivel::ParseSettingsNumber(record.Speed);
  NoEffects effects;
  orrivel::SettingsDialogModel model(effects);
  model.Load(record, pictures);
  model.SwitchMode(orrivel::DialogMode::Movie);
  model.SwitchMode(orrivel::DialogMode::Picture);
  model.AddPicture(record.MovieFile, record.Random);
  model.DeletePicture(static_cast<int>(size % 7) - 1);
  model.OkWrite();
  int current = 0;
  orrivel::DirectoryEntries(record.MovieFile, pictures, current);
  orrivel::IsPictureFileName(record.Quality);
  return 0;
}
