// Typing into the focused text field: characters, the editing commands
// (erase, move the caret, select all) and the clipboard. The clipboard is
// the player's own: movies never see or change the system's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orrivel::swf {

namespace avm1 {
class Vm;
}  // namespace avm1

class EditText;

enum class TextCommand : uint8_t {
  Backspace,
  Delete,
  Enter,
  MoveLeft,
  MoveRight,
  MoveLeftLine,  // to the start of the line
  MoveRightLine,
  SelectLeft,  // grows the selection
  SelectRight,
  SelectAll,
  Copy,
  Cut,
  Paste,
};

// The character `restrict` lets through for c: c itself, c in the other
// case when only that is allowed, or nothing. A null restrict allows all.
std::optional<char32_t> RestrictChar(const std::u32string* restrict, char32_t c);

// The editing command a key going down gives (key codes as Player::KeyDown
// takes them): Backspace, Delete, Enter, the arrows, Home, End, Ctrl+A/C/X/V.
std::optional<TextCommand> TextCommandForKey(int keyCode, bool shift, bool control);

class TextTyping {
 public:
  // Text typed at the caret of the focused field (replacing the selection).
  // True when a script may have changed the picture.
  bool Type(avm1::Vm& vm, std::u32string_view text);
  bool Command(avm1::Vm& vm, TextCommand command);
  void SetClipboard(std::u32string text);

 private:
  // Replaces the focused field's selection with what restrict and maxChars let in.
  bool Insert(avm1::Vm& vm, EditText& field, std::u32string_view text);
  bool Erase(avm1::Vm& vm, EditText& field, size_t begin, size_t end);
  void Changed(avm1::Vm& vm, EditText& field);

  std::u32string clipboard_;
};

}  // namespace orrivel::swf
