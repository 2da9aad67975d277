#include "settingsdialog/dialog_layout.h"

#include <algorithm>
#include <cstdlib>

namespace orrivel {
namespace {

using K = ControlKind;
using I = ControlId;

// Frames with no caption show only their border.
constexpr ControlRow kControls[] = {
    {I::ModeMovie, K::OptionButton, I::Form, "Flash Screen Saver", {120, 0, 1815, 375}, 12},
    {I::ModePicture, K::OptionButton, I::Form, "Picture Screen Saver", {3600, 0, 1815, 375}, 16},
    {I::MovieFrame, K::Frame, I::Form, "", {0, 360, 5415, 3015}, 1},
    {I::PathLabel,
     K::Label,
     I::MovieFrame,
     "Hit the button to set the path of the Flash Movie(.swf):",
     {120, 240, 5055, 255},
     7},
    {I::SetPath, K::Button, I::MovieFrame, "Set Path", {120, 480, 975, 285}, 0},
    {I::PathText, K::TextBox, I::MovieFrame, "", {1200, 480, 3975, 285}, 2},
    {I::OptionsFrame, K::Frame, I::MovieFrame, "Options", {2760, 840, 2535, 1935}, 3},
    {I::Interactive, K::CheckBox, I::OptionsFrame, "Interactive Movies", {120, 240, 1695, 315}, 4},
    {I::InteractiveNote,
     K::Label,
     I::OptionsFrame,
     "Allows the Screensaver to respond to mouse clicks and key presses",
     {390, 525, 2055, 615},
     6,
     false,
     LabelFont::Arial825},
    {I::LowQuality,
     K::CheckBox,
     I::OptionsFrame,
     "Low Quality (faster)",
     {120, 1200, 2175, 255},
     32},
    {I::DefaultMovie, K::CheckBox, I::OptionsFrame, "Default Movie", {120, 1560, 1575, 255}, 5},
    {I::PreviewFrame, K::Frame, I::Form, "Preview", {120, 1200, 2535, 1935}, 10},
    {I::Preview, K::Player, I::PreviewFrame, "", {120, 240, 2295, 1575}, 11},
    {I::PictureFrame, K::Frame, I::Form, "", {0, 3600, 7215, 4455}, 13},
    {I::Drives, K::DriveList, I::PictureFrame, "", {120, 120, 3735, 315}, 15},
    {I::Directories, K::DirectoryList, I::PictureFrame, "", {120, 480, 2295, 3015}, 14},
    {I::Files, K::FileList, I::PictureFrame, "", {2520, 480, 1335, 3015}, 17},
    {I::AddLabel, K::Label, I::PictureFrame, "Add to image list", {3960, 120, 1155, 195}, 20, true},
    {I::BrowsePreview, K::Image, I::PictureFrame, "", {3960, 360, 1575, 1215}, -1},
    {I::Add, K::Button, I::PictureFrame, ">", {4380, 1680, 735, 255}, 18},
    {I::ListPreviewLabel,
     K::Label,
     I::PictureFrame,
     "Preview of list image",
     {3960, 2040, 1440, 195},
     19,
     true},
    {I::ListPreview, K::Image, I::PictureFrame, "", {3960, 2280, 1575, 1215}, -1},
    {I::ImageListLabel, K::Label, I::PictureFrame, "Image List", {5640, 120, 1455, 255}, 23},
    {I::ImageList, K::ListBox, I::PictureFrame, "", {5640, 360, 1455, 3060}, 21},
    {I::SpeedMin, K::Label, I::PictureFrame, "1", {120, 3675, 90, 195}, 26, true},
    {I::SpeedUnit, K::Label, I::PictureFrame, "Seconds", {1680, 3675, 630, 195}, 30, true},
    {I::SpeedMax, K::Label, I::PictureFrame, "15", {3720, 3675, 180, 195}, 29, true},
    {I::Speed, K::Slider, I::PictureFrame, "", {120, 3840, 3735, 255}, 24},
    {I::SpeedLabel,
     K::Label,
     I::PictureFrame,
     "Image Display Time",
     {1320, 4200, 1380, 195},
     25,
     true},
    // Too narrow to show its caption; the label beside it says what it does.
    {I::Random, K::CheckBox, I::PictureFrame, "Check1", {4920, 3840, 255, 255}, 27},
    {I::RandomLabel,
     K::Label,
     I::PictureFrame,
     "Randomly Display Images",
     {5280, 3870, 1815, 195},
     28,
     true},
    {I::Ok, K::Button, I::Form, "&Ok", {5160, 2280, 1335, 375}, 8},
    {I::Cancel, K::Button, I::Form, "&Cancel", {5160, 2760, 1335, 375}, 9},
    {I::About, K::Button, I::Form, "About", {5160, 3240, 1335, 375}, 31},
};

// Two rectangles round the previews, then an etched rule across the frame.
constexpr FrameLine kLines[] = {
    {3960, 360, 5520, 360, LineColor::Plain},
    {5520, 360, 5520, 1560, LineColor::Plain},
    {5520, 1560, 3960, 1560, LineColor::Plain},
    {3960, 1560, 3960, 360, LineColor::Plain},
    {3960, 2280, 5520, 2280, LineColor::Plain},
    {5520, 2280, 5520, 3480, LineColor::Plain},
    {5520, 3480, 3960, 3480, LineColor::Plain},
    {3960, 3480, 3960, 2280, LineColor::Plain},
    {0, 3600, 7200, 3600, LineColor::InactiveCaption},
    {20, 3620, 7200, 3620, LineColor::WindowBackground},
};

// The frames take their place 50 twips from the left, 300 from the top.
constexpr int kFrameLeft = 50, kFrameTop = 300;
constexpr int kButtonGap = 50;
constexpr int kFormRightMargin = 150;
constexpr int kFormBottomMargin = 350;

}  // namespace

std::span<const ControlRow> DialogControls() { return kControls; }

const ControlRow& ControlById(ControlId id) {
  for (const ControlRow& c : kControls) {
    if (c.id == id) return c;
  }
  std::abort();  // every id names a row of the table
}

std::span<const FrameLine> PictureFrameLines() { return kLines; }

DialogLayout LayoutFor(DialogMode mode) {
  DialogLayout out;
  out.activeFrame = mode == DialogMode::Movie ? I::MovieFrame : I::PictureFrame;
  out.frame = ControlById(out.activeFrame).rect;
  out.frame.left = kFrameLeft;
  out.frame.top = kFrameTop;
  const TwipRect& f = out.frame;
  out.ok = ControlById(I::Ok).rect;
  out.cancel = ControlById(I::Cancel).rect;
  out.about = ControlById(I::About).rect;
  out.ok.left = f.left;
  out.ok.top = f.top + f.height + kButtonGap;
  out.cancel.left = f.left + f.width - out.cancel.width;
  out.cancel.top = out.ok.top;
  out.about.left = out.cancel.left - out.about.width - kButtonGap;
  out.about.top = out.ok.top;
  out.formWidth = f.left + f.width + kFormRightMargin;
  out.formHeight = out.ok.top + out.ok.height + kFormBottomMargin;
  return out;
}

}  // namespace orrivel
