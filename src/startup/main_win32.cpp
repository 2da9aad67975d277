// Main: read the settings, then carry out the start plan for the argument
// text on the one window it names.
#include <windows.h>

#include "moviesaver/frm_ss_win32.h"
#include "picturesaver/frm_pic_win32.h"
#include "startup/mod_main.h"
#include "startup/preview_win32.h"
#include "startup/run_control_win32.h"
#include "startup/settings_platform_win32.h"
#include "startup/startup_plan.h"
#include "win32/error_text_win32.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

// The calls that differ between the two saver windows.
struct SaverWindow {
  win32::Form* form = nullptr;
  void (*load)() = nullptr;
  void (*show)() = nullptr;
  void (*format)() = nullptr;  // FormatMovie or FormatPicture
};

SaverWindow MovieWindow() {
  return {&frmSS::Instance(), [] { frmSS::Instance().Load(); },
          [] { frmSS::Instance().Show(); }, [] { frmSS::Instance().FormatMovie(); }};
}

SaverWindow PictureWindow() {
  return {&frmPic::Instance(), [] { frmPic::Instance().Load(); },
          [] { frmPic::Instance().Show(); }, [] { frmPic::Instance().FormatPicture(); }};
}

// Returns false when the plan cannot go on (a preview argument that is not
// a window handle): the run then ends with a message instead of a crash.
bool RunStep(StartStep step, SaverWindow& window) {
  switch (step) {
    case StartStep::SetPreviewMode: PreviewMode = true; return true;
    case StartStep::CheckPrevInstance: CheckPrevInstance(); return true;
    case StartStep::Load: window.load(); return true;
    case StartStep::Show: window.show(); return true;
    case StartStep::EmbedInPreview: {
      ErrorInfo error = EmbedInPreview(*window.form);
      if (!error.failed()) return true;
      win32::ShowMessage(ErrorMessageText(error, 3));
      EndSaver();
      return false;
    }
    case StartStep::FormatMovie:
    case StartStep::FormatPicture: window.format(); return true;
    case StartStep::HidePicture: frmPic::Instance().SetPictureVisible(false); return true;
    case StartStep::ShowPicture: frmPic::Instance().SetPictureVisible(true); return true;
    case StartStep::RotateOnce: frmPic::Instance().tmrRotate_Timer(); return true;
    case StartStep::CaptionPreview:
      window.form->SetCaption(win32::Utf8ToWide(kCaptionPreview));
      return true;
    case StartStep::CaptionSaver:
      window.form->SetCaption(win32::Utf8ToWide(kCaptionSaver));
      return true;
  }
  return true;
}

}  // namespace

void Main() {
  win32::InstallWin32SettingsPlatform();
  ReadSettings();
  StartPlan plan = PlanStart(ArgumentText(), SaverSettings.MovieOrPic);
  if (plan.window == StartWindow::Settings) return;  // the settings dialog is not built yet
  SaverWindow window = plan.window == StartWindow::Movie ? MovieWindow() : PictureWindow();
  for (StartStep step : plan.steps) {
    if (!RunStep(step, window)) return;
  }
}

}  // namespace orrivel
