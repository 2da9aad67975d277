#include "swf/player/text_typing.h"

#include <algorithm>

#include "swf/avm1/broadcaster.h"
#include "swf/player/script/text_field_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"

namespace orrivel::swf {

namespace {

// The other case of an ASCII letter; c for any other character.
char32_t OtherCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 'a' && c <= 'z') return c - 0x20;
  return c;
}

// Whether restrict admits c exactly. Characters and ranges ("a-z") admit or,
// after a "^", refuse what they name; the last that names c decides. A
// leading "^" admits everything not refused; "\" takes the next literally.
// A range without a first character ("-z", or after another range) starts
// at 0; a reversed range names nothing more than its first character.
bool Admits(std::u32string_view r, char32_t c) {
  bool admit = !r.empty() && r[0] == U'^';
  bool including = true;
  std::optional<char32_t> single;  // the character a "-" would start from
  for (size_t i = 0; i < r.size(); ++i) {
    char32_t ch = r[i];
    if (ch == U'^') {
      including = !including;
      single.reset();
      continue;
    }
    if (ch == U'-') {
      while (i + 1 < r.size() && r[i + 1] == U'-') ++i;
      if (i + 1 >= r.size()) break;
      char32_t last = r[++i];
      if (last == U'\\') {
        if (i + 1 >= r.size()) break;
        last = r[++i];
      }
      const char32_t first = single.value_or(0);
      if (c >= first && c <= last) admit = including;
      single.reset();
      continue;
    }
    if (ch == U'\\') {
      if (i + 1 >= r.size()) break;
      ch = r[++i];
    }
    if (c == ch) admit = including;
    single = ch;
  }
  return admit;
}

size_t Low(const EditText& f) { return std::min(f.selectionBegin, f.selectionEnd); }
size_t High(const EditText& f) { return std::max(f.selectionBegin, f.selectionEnd); }

void Caret(EditText& f, size_t at) {
  at = std::min(at, f.Length());
  f.selectionBegin = f.selectionEnd = at;
}

constexpr size_t kMaxRestrictSteps = size_t{1} << 26;

bool IsBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

}  // namespace

std::optional<char32_t> RestrictChar(const std::u32string* restrict, char32_t c) {
  if (!restrict) return c;
  if (Admits(*restrict, c)) return c;
  const char32_t other = OtherCase(c);
  if (other != c && Admits(*restrict, other)) return other;
  return std::nullopt;
}

std::optional<TextCommand> TextCommandForKey(int keyCode, bool shift, bool control) {
  if (control) {
    switch (keyCode) {
      case 'A':
        return TextCommand::SelectAll;
      case 'C':
        return TextCommand::Copy;
      case 'X':
        return TextCommand::Cut;
      case 'V':
        return TextCommand::Paste;
      default:
        return std::nullopt;
    }
  }
  switch (keyCode) {
    case 8:
      return TextCommand::Backspace;
    case 46:
      return TextCommand::Delete;
    case 13:
      return TextCommand::Enter;
    case 37:
      return shift ? TextCommand::SelectLeft : TextCommand::MoveLeft;
    case 39:
      return shift ? TextCommand::SelectRight : TextCommand::MoveRight;
    case 36:
      return TextCommand::MoveLeftLine;
    case 35:
      return TextCommand::MoveRightLine;
    default:
      return std::nullopt;
  }
}

void TextTyping::SetClipboard(std::u32string text) {
  if (text.size() > EditText::kMaxLength) text.resize(EditText::kMaxLength);
  clipboard_ = std::move(text);
}

bool TextTyping::Type(avm1::Vm& vm, std::u32string_view text) {
  const auto field = vm.input.focusField.lock();
  if (!field || field->Def().readOnly) return false;
  // Line breaks come from the Enter command, not from typing.
  std::u32string typed(text);
  std::erase_if(typed, [](char32_t c) { return c < 32; });
  return Insert(vm, *field, typed);
}

void TextTyping::Changed(avm1::Vm& vm, EditText& field) {
  avm1::StoreTextVariable(vm, field);
  const auto keep = vm.input.focusField.lock();  // handlers may remove the field
  avm1::Object* script = avm1::TextFieldFor(vm, keep);
  if (!script) return;
  const avm1::Value self = avm1::Value::Obj(script);
  avm1::NotifyField(vm, script, "onChanged", avm1::Args(&self, 1));
}

bool TextTyping::Insert(avm1::Vm& vm, EditText& field, std::u32string_view text) {
  const EditTextDefinition& def = field.Def();
  const size_t begin = Low(field), end = std::min(High(field), field.Length());
  const size_t kept = field.Length() - (end - std::min(begin, end));
  size_t room = EditText::kMaxLength - std::min(kept, EditText::kMaxLength);
  if (def.maxLength && *def.maxLength > 0)
    room = std::min<size_t>(room, *def.maxLength > kept ? *def.maxLength - kept : 0);
  // A long paste through a long restrict stops at a budget of comparisons.
  const std::u32string* restrict = field.restrict ? &*field.restrict : nullptr;
  const size_t cost = (restrict ? restrict->size() : 0) + 1;
  size_t budget = kMaxRestrictSteps / cost;
  std::u32string in;
  for (size_t i = 0; i < text.size() && in.size() < room && budget > 0; ++i, --budget) {
    const char32_t c = text[i];
    if (IsBreak(c)) {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;  // CRLF is one break
      if (def.multiline) in += U'\r';
      continue;
    }
    if (c < 32 && c != U'\t') continue;
    if (const auto ok = RestrictChar(restrict, c)) in += *ok;
  }
  if (in.empty()) return false;
  if (!vm.Charge(in.size())) return false;
  field.Replace(begin, end, in, field.newFormat);
  Caret(field, begin + in.size());
  Changed(vm, field);
  return true;
}

bool TextTyping::Erase(avm1::Vm& vm, EditText& field, size_t begin, size_t end) {
  end = std::min(end, field.Length());
  if (begin >= end || field.Def().readOnly) return false;
  field.Replace(begin, end, U"", field.newFormat);
  Caret(field, begin);
  Changed(vm, field);
  return true;
}

bool TextTyping::Command(avm1::Vm& vm, TextCommand command) {
  const auto field = vm.input.focusField.lock();
  if (!field) return false;
  EditText& f = *field;
  const size_t low = Low(f), high = std::min(High(f), f.Length());
  const bool selected = low < high;
  const std::u32string text = f.Text();
  switch (command) {
    case TextCommand::Backspace:
      return Erase(vm, f, selected || low == 0 ? low : low - 1, selected ? high : low);
    case TextCommand::Delete:
      return Erase(vm, f, low, selected ? high : high + 1);
    case TextCommand::Enter:
      return !f.Def().readOnly && f.Def().multiline && Insert(vm, f, U"\r");
    case TextCommand::MoveLeft:
      Caret(f, selected || low == 0 ? low : low - 1);
      return true;
    case TextCommand::MoveRight:
      Caret(f, selected ? high : high + 1);
      return true;
    case TextCommand::SelectLeft:
      if (f.selectionEnd > 0) --f.selectionEnd;
      return true;
    case TextCommand::SelectRight:
      f.selectionEnd = std::min(f.selectionEnd + 1, f.Length());
      return true;
    case TextCommand::MoveLeftLine: {
      size_t at = std::min(low, text.size());
      while (at > 0 && !IsBreak(text[at - 1])) --at;
      Caret(f, at);
      return true;
    }
    case TextCommand::MoveRightLine: {
      size_t at = high;
      while (at < text.size() && !IsBreak(text[at])) ++at;
      Caret(f, at);
      return true;
    }
    case TextCommand::SelectAll:
      f.selectionBegin = 0;
      f.selectionEnd = f.Length();
      return true;
    case TextCommand::Copy:
    case TextCommand::Cut:
      // A password never leaves its field.
      if (!selected || f.Def().password) return false;
      clipboard_ = text.substr(low, high - low);
      return command == TextCommand::Cut && Erase(vm, f, low, high);
    case TextCommand::Paste:
      return !f.Def().readOnly && Insert(vm, f, clipboard_);
  }
  return false;
}

}  // namespace orrivel::swf
