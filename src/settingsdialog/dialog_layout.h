// The settings dialog's controls and its two layouts, in twips (1/1440
// inch) relative to each control's container. One table holds every
// control: the shell builds the window from it, and the mode switch moves
// the active frame and the three buttons by the formulas below.
#pragma once

#include <span>

namespace orrivel {

enum class ControlKind {
  OptionButton,
  Frame,
  Label,
  Button,
  TextBox,
  CheckBox,
  Player,
  DriveList,
  DirectoryList,
  FileList,
  Image,
  ListBox,
  Slider,
};

// Control ids; "&Ok" and "&Cancel" use the system's ids for OK and Cancel
// (1 and 2) so Enter and Esc reach them.
enum class ControlId : int {
  Form = 0,
  Ok = 1,
  Cancel = 2,
  ModeMovie = 100,
  ModePicture,
  MovieFrame,
  PathLabel,
  SetPath,
  PathText,
  OptionsFrame,
  Interactive,
  InteractiveNote,
  LowQuality,
  DefaultMovie,
  PreviewFrame,
  Preview,
  PictureFrame,
  Drives,
  Directories,
  Files,
  AddLabel,
  BrowsePreview,
  Add,
  ListPreviewLabel,
  ListPreview,
  ImageListLabel,
  ImageList,
  SpeedMin,
  SpeedUnit,
  SpeedMax,
  Speed,
  SpeedLabel,
  Random,
  RandomLabel,
  About,
};

struct TwipRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TwipRect&) const = default;
};

enum class LabelFont { Dialog, Arial825 };

struct ControlRow {
  ControlId id;
  ControlKind kind;
  ControlId container;
  const char* caption;  // UTF-8; "" for none
  TwipRect rect;
  int tab;                // tab position; -1 for controls that take no focus
  bool autoSize = false;  // labels that size themselves to their text
  LabelFont font = LabelFont::Dialog;
};

// Every control, containers before what they hold.
std::span<const ControlRow> DialogControls();
const ControlRow& ControlById(ControlId id);

// The stacking order of the three large frames, front to back.
inline constexpr ControlId kFrameStacking[] = {ControlId::PictureFrame, ControlId::PreviewFrame,
                                               ControlId::MovieFrame};

// The plain lines that decorate the picture frame.
enum class LineColor { Plain, InactiveCaption, WindowBackground };
struct FrameLine {
  int x1, y1, x2, y2;
  LineColor color;
};
std::span<const FrameLine> PictureFrameLines();

inline constexpr const char kDialogCaption[] = "Orrivel Settings";
// The client area the form is created with, before the mode switch sizes it.
inline constexpr int kInitialClientWidth = 7320, kInitialClientHeight = 8205;

enum class DialogMode { Movie, Picture };

// Where the mode switch puts things: the active frame, the three buttons,
// and the form's outer size (title bar and borders included).
struct DialogLayout {
  ControlId activeFrame;
  TwipRect frame, ok, cancel, about;
  int formWidth = 0, formHeight = 0;
};
DialogLayout LayoutFor(DialogMode mode);

}  // namespace orrivel
