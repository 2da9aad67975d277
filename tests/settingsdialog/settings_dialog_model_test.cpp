#include <gtest/gtest.h>

#include <functional>

#include "settingsdialog/dialog_layout.h"
#include "settingsdialog/picture_browser.h"
#include "settingsdialog/settings_dialog_model.h"

namespace orrivel {
namespace {

class FakeEffects : public DialogEffects {
 public:
  std::string ResourceToTempFile() override { return "tmp" + std::to_string(++copies); }
  void LoadPreview(const std::string& path) override { previews.push_back(path); }
  int copies = 0;
  std::vector<std::string> previews;
};

TEST(DialogLayoutTest, ModeSwitchPlacesFrameButtonsAndForm) {
  struct Case {
    DialogMode mode;
    TwipRect ok, cancel, about;
    int width, height;
  };
  const Case cases[] = {
      {DialogMode::Movie,
       {50, 3365, 1335, 375},
       {4130, 3365, 1335, 375},
       {2745, 3365, 1335, 375},
       5615,
       4090},
      {DialogMode::Picture,
       {50, 4805, 1335, 375},
       {5930, 4805, 1335, 375},
       {4545, 4805, 1335, 375},
       7415,
       5530},
  };
  for (const Case& c : cases) {
    const DialogLayout l = LayoutFor(c.mode);
    EXPECT_EQ(l.frame.left, 50);
    EXPECT_EQ(l.frame.top, 300);
    EXPECT_EQ(l.ok, c.ok);
    EXPECT_EQ(l.cancel, c.cancel);
    EXPECT_EQ(l.about, c.about);
    EXPECT_EQ(l.formWidth, c.width);
    EXPECT_EQ(l.formHeight, c.height);
  }
}

TEST(DialogLayoutTest, EveryContainerPrecedesWhatItHolds) {
  std::vector<ControlId> seen{ControlId::Form};
  for (const ControlRow& c : DialogControls()) {
    EXPECT_NE(std::find(seen.begin(), seen.end(), c.container), seen.end()) << c.caption;
    seen.push_back(c.id);
  }
}

SaverSettingsRecord Movie(std::string file, std::string interactive, std::string quality) {
  SaverSettingsRecord r;
  r.MovieOrPic = "MOVIE";
  r.MovieFile = std::move(file);
  r.Interactive = std::move(interactive);
  r.Quality = std::move(quality);
  return r;
}
SaverSettingsRecord Pictures(std::string speed, std::string random) {
  SaverSettingsRecord r;
  r.MovieOrPic = "PIC";
  r.Speed = std::move(speed);
  r.Random = std::move(random);
  return r;
}

// What "&Ok" writes after the user's steps on a dialog opened from each file.
TEST(SettingsDialogModelTest, OkWritesTheChosenModesWorkingCopies) {
  using Steps = std::function<void(SettingsDialogModel&)>;
  const std::vector<std::string> two = {"C:\\p\\a.jpg", "C:\\p\\b.gif"};
  struct Case {
    const char* name;
    SaverSettingsRecord saved;
    Steps steps;
    DialogWrite expected;
  };
  const Case cases[] = {
      {"movie as read, LOW kept",
       Movie("C:\\m.swf", "TRUE", "LOW"),
       [](auto&) {},
       {"MOVIE", "C:\\m.swf", "TRUE", false, "", "", "", "LOW"}},
      {"stored HIGH is written empty",
       Movie("DEFAULT", "FALSE", "HIGH"),
       [](auto&) {},
       {"MOVIE", "DEFAULT", "FALSE", false, "", "", "", ""}},
      {"boxes ticked and cleared",
       Movie("C:\\m.swf", "", ""),
       [](auto& m) {
         m.SetInteractive(true);
         m.SetInteractive(false);
         m.SetLowQuality(true);
         m.SetLowQuality(false);
       },
       {"MOVIE", "C:\\m.swf", "FALSE", false, "", "", "", "HIGH"}},
      {"default movie chosen",
       Movie("C:\\m.swf", "", ""),
       [](auto& m) { m.CheckDefaultMovie(); },
       {"MOVIE", "DEFAULT", "", false, "", "", "", ""}},
      {"file chosen over the default",
       Movie("DEFAULT", "", ""),
       [](auto& m) { m.MovieChosen("D:\\x.swf"); },
       {"MOVIE", "D:\\x.swf", "", false, "", "", "", ""}},
      {"movie to pictures, two added",
       Movie("DEFAULT", "", ""),
       [](auto& m) {
         m.SwitchMode(DialogMode::Picture);
         m.AddPicture("C:\\p", "a.jpg");
         m.AddPicture("C:\\p", "b.gif");
       },
       {"PIC", "", "", false, "C:\\p\\a.jpg;C:\\p\\b.gif;", "", "5", ""}},
      {"pictures as read",
       Pictures("8", "RANDOM"),
       [](auto&) {},
       {"PIC", "", "", false, "C:\\p\\a.jpg;C:\\p\\b.gif;", "RANDOM", "8", ""}},
      {"first of two deleted, slider to the end, random toggled",
       Pictures("3", ""),
       [](auto& m) {
         m.DeletePicture(0);
         m.SetSpeed(15);
         m.SetRandom(true);
         m.SetRandom(false);
       },
       {"PIC", "", "", false, "C:\\p\\b.gif;", "SEQ", "15", ""}},
      {"slider reset on entering the picture layout",
       Pictures("8", ""),
       [](auto& m) {
         m.SetSpeed(12);
         m.SwitchMode(DialogMode::Movie);
         m.SwitchMode(DialogMode::Picture);
       },
       {"PIC", "", "", false, "C:\\p\\a.jpg;C:\\p\\b.gif;", "", "8", ""}},
      {"hand-edited speed clamped",
       Pictures("40", ""),
       [](auto&) {},
       {"PIC", "", "", false, "C:\\p\\a.jpg;C:\\p\\b.gif;", "", "15", ""}},
      {"pictures to movie, nothing chosen",
       Pictures("8", ""),
       [](auto& m) { m.SwitchMode(DialogMode::Movie); },
       {"MOVIE", "", "", false, "", "", "", ""}},
  };
  for (const Case& c : cases) {
    FakeEffects effects;
    SettingsDialogModel model(effects);
    model.Load(c.saved, c.saved.MovieOrPic == "PIC" ? two : std::vector<std::string>{});
    c.steps(model);
    EXPECT_EQ(model.OkWrite(), c.expected) << c.name;
  }
}

TEST(SettingsDialogModelTest, DefaultMovieBoxGraysUntilAFileIsChosen) {
  FakeEffects effects;
  SettingsDialogModel model(effects);
  model.Load(Movie("DEFAULT", "TRUE", "LOW"), {});
  const DialogState& s = model.state();
  EXPECT_EQ(s.defaultMovie, CheckState::Grayed);
  EXPECT_FALSE(s.defaultMovieEnabled);
  EXPECT_EQ(s.pathText, "default movie");
  EXPECT_TRUE(s.interactive && s.lowQuality);
  EXPECT_EQ(effects.previews, (std::vector<std::string>{"tmp1", "tmp2"}));
  model.CheckDefaultMovie();  // disabled: a click changes nothing
  EXPECT_EQ(effects.copies, 2);
  model.MovieChosen("E:\\y.swf");
  EXPECT_EQ(s.defaultMovie, CheckState::Unchecked);
  EXPECT_TRUE(s.defaultMovieEnabled);
  EXPECT_EQ(s.pathText, "E:\\y.swf");
  EXPECT_EQ(effects.previews.back(), "E:\\y.swf");
}

TEST(SettingsDialogModelTest, ImageListAddsOnceAndDeletesTheSameIndexFromBoth) {
  FakeEffects effects;
  SettingsDialogModel model(effects);
  model.Load(Pictures("", ""), {});  // an empty list opens without fault
  EXPECT_EQ(model.AddPicture("C:\\", "r.jpg"), AddResult::Added);
  EXPECT_EQ(model.AddPicture("C:\\", "r.jpg"), AddResult::AlreadyListed);
  EXPECT_EQ(model.AddPicture("C:\\x", ""), AddResult::NothingSelected);
  EXPECT_EQ(model.AddPicture("D:\\a", "same.png"), AddResult::Added);
  EXPECT_EQ(model.AddPicture("D:\\b", "same.png"), AddResult::Added);
  EXPECT_EQ(model.state().paths[0], "C:\\\\r.jpg");
  EXPECT_EQ(model.state().names[0], "r.jpg");
  EXPECT_FALSE(model.DeletePicture(-1));
  EXPECT_FALSE(model.DeletePicture(3));
  EXPECT_TRUE(model.DeletePicture(1));
  EXPECT_EQ(model.JoinPictureList(), "C:\\\\r.jpg;D:\\b\\same.png;");
  EXPECT_EQ(model.state().names, (std::vector<std::string>{"r.jpg", "same.png"}));
}

TEST(SettingsDialogModelTest, ImageListStopsBeforeTheReadersLimit) {
  FakeEffects effects;
  SettingsDialogModel model(effects);
  model.Load(Pictures("5", ""), {});
  const std::string folder = "C:\\" + std::string(200, 'f');
  int added = 0;
  while (model.AddPicture(folder, std::to_string(added) + ".jpg") == AddResult::Added) ++added;
  EXPECT_LE(model.JoinPictureList().size(), kMaxPicsChars);
  EXPECT_GT(model.JoinPictureList().size(), kMaxPicsChars - 220);
}

TEST(SettingsDialogModelTest, NamesAndSpeedsFromStoredText) {
  const std::pair<const char*, const char*> names[] = {
      {"C:\\a\\b.jpg", "b.jpg"}, {"b.jpg", "b.jpg"}, {"", ""}, {"C:\\a\\", "C:\\a\\"}};
  for (auto [path, name] : names) EXPECT_EQ(GetFileName(path), name) << path;
  const std::pair<const char*, int> speeds[] = {{"", 5},    {"8", 8}, {"2.5", 2},
                                                {"3.5", 4}, {"0", 1}, {"99", 15},
                                                {"-4", 1},  {"x", 5}, {"1e3", 15}};
  for (auto [text, speed] : speeds) EXPECT_EQ(SliderSpeed(text), speed) << text;
}

TEST(PictureBrowserTest, PatternAndDirectoryEntries) {
  for (const char* yes : {"a.JPG", "b.gif", "c.jpeg", "d.Png", "e.cur", "f.tiff", "x.y.bmp"})
    EXPECT_TRUE(IsPictureFileName(yes)) << yes;
  for (const char* no : {"a.swf", "jpg", "b.jpgx", "c.", ""}) EXPECT_FALSE(IsPictureFileName(no));

  int current = -1;
  auto e = DirectoryEntries("C:\\Users\\ann", {"zed", "Alpha"}, current);
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(current, 2);
  EXPECT_EQ(e[0].path, "C:\\");
  EXPECT_EQ(e[2].path, "C:\\Users\\ann");
  EXPECT_EQ(e[3].label, "Alpha");
  EXPECT_EQ(e[3].path, "C:\\Users\\ann\\Alpha");
  EXPECT_FALSE(e[3].open);
  EXPECT_EQ(e[4].level, 3);
  e = DirectoryEntries("D:\\", {"x"}, current);
  EXPECT_EQ(current, 0);
  EXPECT_EQ(e[1].path, "D:\\x");
  e = DirectoryEntries("\\\\srv\\share\\pics", {}, current);
  EXPECT_EQ(e[0].path, "\\\\srv\\share\\");
  EXPECT_EQ(e[1].path, "\\\\srv\\share\\pics");
}

}  // namespace
}  // namespace orrivel
