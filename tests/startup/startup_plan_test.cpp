#include "startup/startup_plan.h"

#include <gtest/gtest.h>

namespace orrivel {
namespace {

using S = StartStep;

TEST(ParseStartSwitch, FirstTwoCharactersUpperCased) {
  struct Case {
    const char* text;
    StartSwitch expected;
  } cases[] = {
      {"/s", StartSwitch::Saver},        {"/S", StartSwitch::Saver},
      {"/s 99", StartSwitch::Saver},     {"/S:0", StartSwitch::Saver},
      {"/c", StartSwitch::Configure},    {"/c:4711", StartSwitch::Configure},
      {"/p 1234", StartSwitch::Preview}, {"/P", StartSwitch::Preview},
      {"", StartSwitch::Other},          {"-s", StartSwitch::Other},
      {"/a", StartSwitch::Other},        {"S", StartSwitch::Other},
      {"/", StartSwitch::Other},         {" /s", StartSwitch::Other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseStartSwitch(c.text), c.expected);
  }
}

TEST(ArgumentTextOf, SkipsTheProgramNameAndTheBlanksAfterIt) {
  EXPECT_EQ(ArgumentTextOf("\"C:\\Program Files\\Orrivel.scr\" /p 1234"), "/p 1234");
  EXPECT_EQ(ArgumentTextOf("C:\\WINDOWS\\Orrivel.scr /s"), "/s");
  EXPECT_EQ(ArgumentTextOf("Orrivel.scr   /c:4711 "), "/c:4711 ");
  EXPECT_EQ(ArgumentTextOf("Orrivel.scr"), "");
  EXPECT_EQ(ArgumentTextOf("\"unclosed /s"), "");
  EXPECT_EQ(ArgumentTextOf(""), "");
}

TEST(PlanStart, DispatchTable) {
  struct Case {
    const char* argument;
    const char* kind;
    StartWindow window;
    std::vector<StartStep> steps;
  } cases[] = {
      {"/c", "PIC", StartWindow::Settings, {S::Load, S::Show}},
      {"/C:123", "MOVIE", StartWindow::Settings, {S::Load, S::Show}},
      {"/p 1",
       "MOVIE",
       StartWindow::Movie,
       {S::SetPreviewMode, S::Load, S::EmbedInPreview, S::FormatMovie, S::CaptionPreview}},
      {"/P 1",
       "PIC",
       StartWindow::Picture,
       {S::SetPreviewMode, S::Load, S::EmbedInPreview, S::HidePicture, S::FormatPicture,
        S::ShowPicture, S::CaptionPreview}},
      {"/s",
       "MOVIE",
       StartWindow::Movie,
       {S::CheckPrevInstance, S::Load, S::Show, S::FormatMovie, S::CaptionSaver}},
      {"/S",
       "PIC",
       StartWindow::Picture,
       {S::CheckPrevInstance, S::Load, S::Show, S::RotateOnce, S::CaptionSaver}},
      {"", "MOVIE", StartWindow::Movie, {S::Load, S::Show, S::FormatMovie}},
      {"-s", "PIC", StartWindow::Picture, {S::Load, S::Show, S::FormatPicture}},
      // Only exactly "MOVIE" is the movie saver.
      {"/s",
       "movie",
       StartWindow::Picture,
       {S::CheckPrevInstance, S::Load, S::Show, S::RotateOnce, S::CaptionSaver}},
      {"", "", StartWindow::Picture, {S::Load, S::Show, S::FormatPicture}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.argument) + " / " + c.kind);
    StartPlan plan = PlanStart(c.argument, c.kind);
    EXPECT_EQ(plan.window, c.window);
    EXPECT_EQ(plan.steps, c.steps);
  }
}

TEST(ParsePreviewHandle, DecimalAfterTheFirstThreeCharacters) {
  struct Case {
    const char* text;
    int error;
    uint32_t value;
  } cases[] = {
      {"/p 1234", 0, 1234},
      {"/p:1234", 0, 1234},
      {"/p  1234", 0, 1234},
      {"/P 1234  ", 0, 1234},
      {"/p 4294967295", 0, 0xFFFFFFFFu},
      {"/p -2", 0, 0xFFFFFFFEu},  // a sign-extended handle
      {"/p 0", 0, 0},
      {"/p 12ab", kErrTypeMismatch, 0},
      {"/p", kErrTypeMismatch, 0},
      {"/p ", kErrTypeMismatch, 0},
      {"/p -", kErrTypeMismatch, 0},
      {"/p 1 2", kErrTypeMismatch, 0},
      {"/p 0x10", kErrTypeMismatch, 0},
      {"/p 4294967296", kErrOverflow, 0},
      {"/p 99999999999999999999999", kErrOverflow, 0},
      {"/p -2147483649", kErrOverflow, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PreviewHandle handle = ParsePreviewHandle(c.text);
    EXPECT_EQ(handle.error.number, c.error);
    if (c.error == 0) {
      EXPECT_EQ(handle.value, c.value);
    } else {
      EXPECT_FALSE(handle.error.description.empty());
    }
  }
}

TEST(DecideKeyboardHook, NegativeCodesPassOnEverythingElseEnds) {
  EXPECT_EQ(DecideKeyboardHook(-1), HookAction::PassOn);
  EXPECT_EQ(DecideKeyboardHook(-2147483647 - 1), HookAction::PassOn);
  EXPECT_EQ(DecideKeyboardHook(0), HookAction::EndSaver);  // HC_ACTION
  EXPECT_EQ(DecideKeyboardHook(3), HookAction::EndSaver);  // HC_NOREMOVE
}

TEST(ErrorMessageText, NumberSpacesDescription) {
  EXPECT_EQ(ErrorMessageText({75, "Access is denied."}, 3), "75   Access is denied.");
  EXPECT_EQ(ErrorMessageText(MakeError(kErrFileNotFound), 2), "53  File not found");
}

}  // namespace
}  // namespace orrivel
