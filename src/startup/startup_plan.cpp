#include "startup/startup_plan.h"

#include "startup/settings_format.h"

namespace orrivel {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

StartSwitch ParseStartSwitch(std::string_view argumentText) {
  std::string head = UpperAscii(argumentText.substr(0, 2));
  if (head == "/C") return StartSwitch::Configure;
  if (head == "/P") return StartSwitch::Preview;
  if (head == "/S") return StartSwitch::Saver;
  return StartSwitch::Other;
}

std::string_view ArgumentTextOf(std::string_view commandLine) {
  size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    size_t close = commandLine.find('"', 1);
    i = close == std::string_view::npos ? commandLine.size() : close + 1;
  }
  while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  return commandLine.substr(i);
}

StartPlan PlanStart(std::string_view argumentText, std::string_view movieOrPic) {
  using S = StartStep;
  const bool movie = movieOrPic == "MOVIE";
  const StartWindow saver = movie ? StartWindow::Movie : StartWindow::Picture;
  switch (ParseStartSwitch(argumentText)) {
    case StartSwitch::Configure:
      return {StartWindow::Settings, {S::Load, S::Show}};
    case StartSwitch::Preview:
      if (movie) {
        return {saver,
                {S::SetPreviewMode, S::Load, S::EmbedInPreview, S::FormatMovie, S::CaptionPreview}};
      }
      return {saver,
              {S::SetPreviewMode, S::Load, S::EmbedInPreview, S::HidePicture, S::FormatPicture,
               S::ShowPicture, S::CaptionPreview}};
    case StartSwitch::Saver:
      if (movie) {
        return {saver, {S::CheckPrevInstance, S::Load, S::Show, S::FormatMovie, S::CaptionSaver}};
      }
      return {saver, {S::CheckPrevInstance, S::Load, S::Show, S::RotateOnce, S::CaptionSaver}};
    case StartSwitch::Other:
      break;
  }
  if (movie) return {saver, {S::Load, S::Show, S::FormatMovie}};
  return {saver, {S::Load, S::Show, S::FormatPicture}};
}

PreviewHandle ParsePreviewHandle(std::string_view argumentText) {
  PreviewHandle result;
  std::string_view rest = argumentText.size() > 3 ? argumentText.substr(3) : std::string_view{};
  size_t i = 0;
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) negative = rest[i++] == '-';
  int64_t value = 0;
  size_t digits = 0;
  bool overflow = false;
  for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (rest[i] - '0');
    if (value > 0xFFFFFFFFLL) overflow = true, value = 0xFFFFFFFFLL;
  }
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  if (digits == 0 || i != rest.size()) {
    result.error = MakeError(kErrTypeMismatch);
    return result;
  }
  if (negative) value = -value;
  if (overflow || value < -0x80000000LL) {
    result.error = MakeError(kErrOverflow);
    return result;
  }
  result.value = static_cast<uint32_t>(value);
  return result;
}

}  // namespace orrivel
