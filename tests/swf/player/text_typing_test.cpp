#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"
#include "swf/player/movie_runner.h"
#include "swf/player/text_typing.h"

namespace orrivel::swf {
namespace {

struct Step {
  enum Kind { Type, Command, Clipboard } kind;
  std::u32string text;
  TextCommand command = TextCommand::Paste;
};

// What an input field holds after the steps, focused with its text selected.
TEST(TextTypingTest, FieldRulesHold) {
  const struct Case {
    const char* name;
    std::u32string start;
    bool password = false, multiline = false, readOnly = false;
    uint16_t maxChars = 0;
    std::vector<Step> steps;
    std::u32string expect;
  } cases[] = {
      {"maxChars cuts typing", U"", false, false, false, 3, {{Step::Type, U"abcdef"}}, U"abc"},
      {"controls and breaks are not typed",
       U"",
       false,
       true,
       false,
       0,
       {{Step::Type, U"a\tb\rc\n"}},
       U"abc"},
      {"a password is never copied",
       U"secret",
       true,
       false,
       false,
       0,
       {{Step::Clipboard, U"x"},
        {Step::Command, U"", TextCommand::Copy},
        {Step::Command, U"", TextCommand::MoveRight},
        {Step::Command, U"", TextCommand::Paste}},
       U"secretx"},
      {"nor cut",
       U"secret",
       true,
       false,
       false,
       0,
       {{Step::Command, U"", TextCommand::Cut}},
       U"secret"},
      {"a dynamic field takes no text",
       U"fixed",
       false,
       true,
       true,
       0,
       {{Step::Clipboard, U"x"},
        {Step::Command, U"", TextCommand::Paste},
        {Step::Command, U"", TextCommand::Enter},
        {Step::Command, U"", TextCommand::Backspace}},
       U"fixed"},
      {"a pasted CRLF is one break",
       U"",
       false,
       true,
       false,
       0,
       {{Step::Clipboard, U"a\r\nb"}, {Step::Command, U"", TextCommand::Paste}},
       U"a\rb"},
  };
  Movie movie = test::BaseMovie();
  MovieRunner runner(movie);
  avm1::Vm& vm = runner.Vm();
  for (const Case& c : cases) {
    EditTextDefinition def;
    def.password = c.password;
    def.multiline = c.multiline;
    def.readOnly = c.readOnly;
    if (c.maxChars) def.maxLength = c.maxChars;
    auto field = std::make_shared<EditText>(runner.Root().Context(), def);
    field->SetText(c.start);
    field->selectionBegin = 0;
    field->selectionEnd = field->Length();
    vm.input.focusField = field;
    TextTyping typing;
    for (const Step& s : c.steps) {
      if (s.kind == Step::Type) typing.Type(vm, s.text);
      if (s.kind == Step::Command) typing.Command(vm, s.command);
      if (s.kind == Step::Clipboard) typing.SetClipboard(s.text);
    }
    EXPECT_EQ(field->Text(), c.expect) << c.name;
  }
}

// A movie's long restrict against a long paste ends in bounded time.
TEST(TextTypingTest, LongRestrictAndPasteStayBounded) {
  Movie movie = test::BaseMovie();
  MovieRunner runner(movie);
  auto field = std::make_shared<EditText>(runner.Root().Context(), EditTextDefinition{});
  field->restrict = std::u32string(1u << 20, U'b');
  runner.Vm().input.focusField = field;
  TextTyping typing;
  typing.SetClipboard(std::u32string(EditText::kMaxLength * 2, U'a'));
  const auto start = std::chrono::steady_clock::now();
  typing.Command(runner.Vm(), TextCommand::Paste);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(field->Length(), 0u);
}

TEST(TextTypingTest, RestrictReadsLikeFlash) {
  const struct {
    std::u32string restrict;
    char32_t typed;
    char32_t expect;  // 0: refused
  } cases[] = {{U"a-z", U'Q', U'q'}, {U"^a", U'a', U'A'},  {U"-b", U' ', U' '},
               {U"b-a", U'a', 0},    {U"\\^", U'^', U'^'}, {U"a^b^c", U'b', 0},
               {U"-", U'-', 0},      {U"a\\", U'\\', 0},   {U"\u00e0", U'\u00c0', 0}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto got = RestrictChar(&cases[i].restrict, cases[i].typed);
    EXPECT_EQ(got.value_or(0), cases[i].expect) << "case " << i;
  }
}

}  // namespace
}  // namespace orrivel::swf
