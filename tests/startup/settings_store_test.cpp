#include "startup/settings_store.h"

#include <gtest/gtest.h>

#include "fake_settings_platform.h"
#include "startup/settings_format.h"

namespace orrivel {
namespace {

using testing::kProfileFile;
using testing::kProfileFolder;
using testing::kProgramFile;
using testing::kProgramFolder;

const std::string kDefaultFile = "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n";

class ReadSettingsTest : public testing::SettingsTest {};

TEST_F(ReadSettingsTest, NoFileWritesTheDefaultAndSkipsDefaulting) {
  ReadSettings();
  EXPECT_EQ(files.files.at(kProgramFile), kDefaultFile);
  EXPECT_EQ(SaverSettings.MovieOrPic, "MOVIE");
  EXPECT_EQ(SaverSettings.MovieFile, "DEFAULT");
  EXPECT_EQ(SaverSettings.Interactive, "");
  EXPECT_EQ(SaverSettings.Speed, "");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(files.files.size(), 1u);  // no temporary file left behind
}

TEST_F(ReadSettingsTest, Defaulting) {
  struct Case {
    const char* file;
    SaverSettingsRecord expected;
    std::vector<std::string> pictures;
  } cases[] = {
      {"", {"MOVIE", "DEFAULT", "FALSE", "", "", "", "5"}, {}},
      {"\r\n\r\nno equals here\r\n", {"MOVIE", "DEFAULT", "FALSE", "", "", "", "5"}, {}},
      {"SWFMOVIE =\r\nSPEED = abc\r\n", {"MOVIE", "DEFAULT", "FALSE", "", "", "", "5"}, {}},
      {"SPEED = 2.5\r\n", {"MOVIE", "DEFAULT", "FALSE", "", "", "", "2.5"}, {}},
      // Lower-case kind: picture saver, but the list is not split.
      {"MOVIEORPIC = pic\r\nPICS = a;b;\r\n", {"pic", "", "FALSE", "", "a;b;", "", "5"}, {}},
      {"MOVIEORPIC = PIC\r\nPICS = C:\\a.jpg;;C:\\b.jpg;C:\\c.jpg\r\nRANDOM = random\r\n",
       {"PIC", "", "FALSE", "", "C:\\a.jpg;;C:\\b.jpg;C:\\c.jpg", "random", "5"},
       {"C:\\a.jpg", "", "C:\\b.jpg"}},
      // No ";": no entry, and no fall-back either.
      {"MOVIEORPIC = PIC\r\nPICS = C:\\a.jpg\r\n",
       {"PIC", "", "FALSE", "", "C:\\a.jpg", "", "5"},
       {}},
      // A picture configuration written by the dialog reads back like this.
      {"MOVIEORPIC = PIC\r\nPICS = x;\r\nRANDOM = SEQ\r\nSPEED = 15\r\n",
       {"PIC", "", "FALSE", "", "x;", "SEQ", "15"},
       {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    SetUp();
    files.files[kProgramFile] = c.file;
    ReadSettings();
    EXPECT_EQ(SaverSettings.MovieOrPic, c.expected.MovieOrPic);
    EXPECT_EQ(SaverSettings.MovieFile, c.expected.MovieFile);
    EXPECT_EQ(SaverSettings.Interactive, c.expected.Interactive);
    EXPECT_EQ(SaverSettings.Quality, c.expected.Quality);
    EXPECT_EQ(SaverSettings.Pics, c.expected.Pics);
    EXPECT_EQ(SaverSettings.Random, c.expected.Random);
    EXPECT_EQ(SaverSettings.Speed, c.expected.Speed);
    EXPECT_EQ(PictureList, c.pictures);
    EXPECT_EQ(files.files.at(kProgramFile), c.file);  // reading never rewrites
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(ReadSettingsTest, PictureKindWithoutPicsFallsBackToTheBuiltInMovie) {
  files.files[kProgramFile] = "MOVIEORPIC = PIC\r\nRANDOM = SEQ\r\nSPEED = 3\r\n";
  ReadSettings();
  EXPECT_EQ(files.files.at(kProgramFile), kDefaultFile);
  EXPECT_EQ(SaverSettings.MovieOrPic, "MOVIE");
  EXPECT_EQ(SaverSettings.MovieFile, "DEFAULT");
  EXPECT_EQ(SaverSettings.Interactive, "FALSE");
  EXPECT_EQ(SaverSettings.Speed, "3");
  EXPECT_TRUE(PictureList.empty());
}

TEST_F(ReadSettingsTest, ReadFailureShowsNumberThreeSpacesDescriptionAndSkipsDefaults) {
  files.files[kProgramFile] = "SPEED = x\r\n";
  files.readError = ErrorInfo{kErrPathFileAccess, "Access is denied."};
  ReadSettings();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "75   Access is denied.");
  EXPECT_EQ(SaverSettings.MovieOrPic, "");
  EXPECT_EQ(SaverSettings.Speed, "");
}

TEST_F(ReadSettingsTest, OverlongKeyKeepsEarlierFieldsAndSkipsDefaults) {
  files.files[kProgramFile] = "SPEED = x\r\n" + std::string(33000, 'A') + "=1\r\n";
  ReadSettings();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "6   Overflow");
  EXPECT_EQ(SaverSettings.Speed, "x");
  EXPECT_EQ(SaverSettings.MovieOrPic, "");
}

TEST_F(ReadSettingsTest, OversizedFileIsNotRead) {
  files.files[kProgramFile] = std::string(kMaxSettingsFileBytes + 1, ' ');
  ReadSettings();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].substr(0, 4), "7   ");
}

TEST_F(ReadSettingsTest, NoFileAndNowhereToWriteReportsAndGoesOnWithTheBuiltInMovie) {
  files.readOnlyFolders = {kProgramFolder, "C:\\Users\\u\\AppData\\Roaming"};
  ReadSettings();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "75   Access is denied.");
  EXPECT_EQ(SaverSettings.MovieOrPic, "MOVIE");
  EXPECT_EQ(SaverSettings.MovieFile, "DEFAULT");
  EXPECT_TRUE(files.files.empty());
}

TEST_F(ReadSettingsTest, EmptyPicsAndAFailedWriteReachTheMessageBox) {
  files.files[kProgramFile] = "MOVIEORPIC = PIC\r\n";
  files.failReplace = true;
  ReadSettings();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "75   Access is denied.");
  EXPECT_EQ(files.files.at(kProgramFile), "MOVIEORPIC = PIC\r\n");
  EXPECT_EQ(SaverSettings.Interactive, "");  // defaulting skipped
}

TEST_F(ReadSettingsTest, ReentryOverwritesOnlyKeysInTheFile) {
  files.files[kProgramFile] = "MOVIEORPIC = PIC\r\nPICS = gone.jpg;\r\nSPEED = 4\r\n";
  ReadSettings();
  ASSERT_EQ(PictureList.size(), 1u);
  ASSERT_TRUE(WriteSettings("", "", "", true, "", "", "", ""));
  ReadSettings();
  EXPECT_EQ(SaverSettings.MovieOrPic, "MOVIE");
  EXPECT_EQ(SaverSettings.MovieFile, "DEFAULT");
  EXPECT_EQ(SaverSettings.Speed, "4");
  EXPECT_EQ(SaverSettings.Pics, "gone.jpg;");
  EXPECT_EQ(PictureList.size(), 1u);
}

class WriteSettingsTest : public testing::SettingsTest {};

TEST_F(WriteSettingsTest, LayoutsAndMemoryUpdates) {
  SaverSettings = {"PIC", "old.swf", "TRUE", "HIGH", "p;", "RANDOM", "9"};
  PictureList = {"p"};
  ASSERT_TRUE(WriteSettings("MOVIE", "C:\\m.swf", "FALSE", false, "", "", "", "LOW"));
  EXPECT_EQ(
      files.files.at(kProgramFile),
      "MOVIEORPIC = MOVIE\r\nSWFMOVIE = C:\\m.swf\r\nINTERACTIVE = FALSE\r\nQUALITY = LOW\r\n");
  EXPECT_EQ(SaverSettings.MovieOrPic, "MOVIE");
  EXPECT_EQ(SaverSettings.MovieFile, "C:\\m.swf");
  EXPECT_EQ(SaverSettings.Interactive, "FALSE");
  // Quality, Pics, Random, Speed and the list are left alone.
  EXPECT_EQ(SaverSettings.Quality, "HIGH");
  EXPECT_EQ(SaverSettings.Pics, "p;");
  EXPECT_EQ(SaverSettings.Random, "RANDOM");
  EXPECT_EQ(SaverSettings.Speed, "9");
  EXPECT_EQ(PictureList.size(), 1u);

  ASSERT_TRUE(WriteSettings("PIC", "", "", false, "a;b;", "SEQ", "5", ""));
  EXPECT_EQ(files.files.at(kProgramFile),
            "MOVIEORPIC = PIC\r\nPICS = a;b;\r\nRANDOM = SEQ\r\nSPEED = 5\r\n");
  EXPECT_EQ(SaverSettings.MovieOrPic, "PIC");
  EXPECT_EQ(SaverSettings.MovieFile, "");
  EXPECT_EQ(SaverSettings.Interactive, "");
  EXPECT_EQ(SaverSettings.Pics, "p;");

  ASSERT_TRUE(WriteSettings("x", "y", "z", true, "a;", "b", "c", "d"));
  EXPECT_EQ(files.files.at(kProgramFile), kDefaultFile);
  EXPECT_EQ(SaverSettings.MovieOrPic, "MOVIE");
  EXPECT_EQ(SaverSettings.MovieFile, "DEFAULT");
  EXPECT_EQ(SaverSettings.Interactive, "");
}

TEST_F(WriteSettingsTest, FailedWriteKeepsTheOldFileWholeAndTheRecordUnchanged) {
  const std::string old = "MOVIEORPIC = PIC\r\nPICS = a;\r\nRANDOM = SEQ\r\nSPEED = 5\r\n";
  for (bool midway : {true, false}) {
    SCOPED_TRACE(midway ? "write fails midway" : "rename fails");
    SetUp();
    files.files[kProgramFile] = old;
    files.failWriteMidway = midway;
    files.failReplace = !midway;
    files.readOnlyFolders = {"C:\\Users\\u\\AppData\\Roaming"};  // no fall-back either
    SaverSettings.MovieOrPic = "PIC";
    EXPECT_FALSE(WriteSettings("MOVIE", "m.swf", "TRUE", false, "", "", "", "HIGH"));
    EXPECT_NE(LastWriteSettingsError().number, 0);
    EXPECT_EQ(files.files.at(kProgramFile), old);
    EXPECT_EQ(files.files.size(), 1u);  // the temporary file is gone
    EXPECT_EQ(SaverSettings.MovieOrPic, "PIC");
  }
}

TEST_F(WriteSettingsTest, ReadOnlyProgramFolderMovesTheFileToTheProfile) {
  files.readOnlyFolders = {kProgramFolder};
  ASSERT_TRUE(WriteSettings("PIC", "", "", false, "a;", "SEQ", "5", ""));
  EXPECT_EQ(files.files.count(kProgramFile), 0u);
  EXPECT_EQ(files.folders.count(kProfileFolder), 1u);
  EXPECT_EQ(files.files.at(kProfileFile),
            "MOVIEORPIC = PIC\r\nPICS = a;\r\nRANDOM = SEQ\r\nSPEED = 5\r\n");

  // Reading prefers the profile's file, even when the program's folder holds one.
  files.files[kProgramFile] = "MOVIEORPIC = MOVIE\r\n";
  SaverSettings = {};
  ReadSettings();
  EXPECT_EQ(SaverSettings.MovieOrPic, "PIC");
  EXPECT_EQ(PictureList, std::vector<std::string>{"a"});

  // Once the profile's file exists, writes go there even if the folder
  // beside the program has become writable.
  files.readOnlyFolders.clear();
  ASSERT_TRUE(WriteSettings("", "", "", true, "", "", "", ""));
  EXPECT_EQ(files.files.at(kProfileFile), kDefaultFile);
  EXPECT_EQ(files.files.at(kProgramFile), "MOVIEORPIC = MOVIE\r\n");
}

TEST_F(WriteSettingsTest, NoFileInAReadOnlyFolderIsCreatedInTheProfile) {
  files.readOnlyFolders = {kProgramFolder};
  ReadSettings();
  EXPECT_EQ(files.files.at(kProfileFile), kDefaultFile);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace orrivel
