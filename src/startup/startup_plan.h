// The start-up decision: which window Main opens for an argument text and a
// saver kind, in which steps; the preview host handle; the keyboard hook's
// rule. Pure functions; the shell carries the plan out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_info.h"

namespace orrivel {

inline constexpr char kCaptionSaver[] = "Tavrenn";    // a running full-screen saver
inline constexpr char kCaptionPreview[] = "preview";  // a window inside the host's preview

enum class StartSwitch { Configure, Preview, Saver, Other };

// The first two characters of the argument text, upper-cased: "/C", "/P",
// "/S"; anything else (the empty text included) is Other.
StartSwitch ParseStartSwitch(std::string_view argumentText);

// The text after the program's name on a full command line, as the host
// passed it (a quoted or plain name, then the blanks after it skipped).
std::string_view ArgumentTextOf(std::string_view commandLine);

enum class StartWindow { Settings, Movie, Picture };

enum class StartStep {
  SetPreviewMode,
  CheckPrevInstance,
  Load,
  Show,
  EmbedInPreview,
  FormatMovie,
  HidePicture,
  FormatPicture,
  ShowPicture,
  RotateOnce,
  CaptionPreview,
  CaptionSaver,
};

struct StartPlan {
  StartWindow window = StartWindow::Settings;
  std::vector<StartStep> steps;
};

// Saver kind: exactly "MOVIE" is the movie window; any other text the pictures.
StartPlan PlanStart(std::string_view argumentText, std::string_view movieOrPic);

// The host window handle of a "/P" start: the text after the first three
// characters, a decimal number with optional blanks around it and an
// optional sign, within 32 bits (signed or unsigned). Anything else fails
// with error 13 (type mismatch).
struct PreviewHandle {
  ErrorInfo error;
  uint32_t value = 0;  // the handle's 32 significant bits
};
PreviewHandle ParsePreviewHandle(std::string_view argumentText);

// The keyboard hook's rule for a non-interactive movie run.
enum class HookAction { PassOn, EndSaver };
inline HookAction DecideKeyboardHook(int code) {
  return code < 0 ? HookAction::PassOn : HookAction::EndSaver;
}

}  // namespace orrivel
