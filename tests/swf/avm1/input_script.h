// The corpus's input.json: the keyboard and mouse events a trace test sends
// to the player, and the "Wait" marks that split them between frames. Each
// event is read into a flat map ("type", "pos/0", "key", "key/Char" ...).
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf/player/edit_text.h"
#include "swf/player/player.h"

namespace orrivel::swf::test {

using InputEvent = std::map<std::string, std::string>;

class JsonEvents {
 public:
  // Malformed text yields the events read before the fault.
  static std::vector<InputEvent> Parse(std::string_view text) {
    JsonEvents p{text};
    std::vector<InputEvent> out;
    p.Skip();
    if (!p.Eat('[')) return out;
    while (p.ok_ && !p.Eat(']')) {
      InputEvent e;
      p.Value("", e);
      if (p.ok_) out.push_back(std::move(e));
      p.Eat(',');
    }
    return out;
  }

 private:
  explicit JsonEvents(std::string_view t) : s_(t) {}

  void Skip() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Eat(char c) {
    Skip();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    if (i_ >= s_.size()) ok_ = false;
    return false;
  }
  std::string String() {
    std::string out;
    if (!Eat('"')) return ok_ = false, out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c == '\\' && i_ < s_.size()) {
        c = s_[i_++];
        if (c == 'n') c = '\n';
        if (c == 't') c = '\t';
        if (c == 'r') c = '\r';
        if (c == 'u' && i_ + 4 <= s_.size()) {
          Utf8(std::strtoul(std::string(s_.substr(i_, 4)).c_str(), nullptr, 16), out);
          i_ += 4;
          continue;
        }
      }
      out += c;
    }
    ++i_;
    return out;
  }
  static void Utf8(unsigned long cp, std::string& out) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  // Objects and arrays flatten into `into` under "path/key" and "path/index".
  void Value(const std::string& path, InputEvent& into) {
    Skip();
    if (++nesting_ > 16 || i_ >= s_.size()) {
      ok_ = false;
    } else if (s_[i_] == '{') {
      ++i_;
      while (ok_ && !Eat('}')) {
        const std::string key = String();
        Eat(':');
        Value(path.empty() ? key : path + "/" + key, into);
        Eat(',');
      }
    } else if (s_[i_] == '[') {
      ++i_;
      for (int n = 0; ok_ && !Eat(']'); ++n) {
        Value(path + "/" + std::to_string(n), into);
        Eat(',');
      }
    } else if (s_[i_] == '"') {
      into[path] = String();
    } else {
      const std::size_t end = s_.find_first_of(",}] \n\r\t", i_);
      into[path] = std::string(s_.substr(i_, end - i_));
      i_ = end == std::string_view::npos ? s_.size() : end;
    }
    --nesting_;
  }

  std::string_view s_;
  std::size_t i_ = 0;
  int nesting_ = 0;
  bool ok_ = true;
};

// A named key's code as Key.getCode reports it, and the character it types.
struct KeyStroke {
  int code = 0, character = 0;
};

inline KeyStroke StrokeOf(const InputEvent& e) {
  if (const auto c = e.find("key/Char"); c != e.end() && !c->second.empty()) {
    const unsigned char ch = static_cast<unsigned char>(c->second[0]);
    if (std::isalnum(ch)) return {std::toupper(ch), ch};
    // Punctuation keys of a US keyboard, shifted or not.
    static constexpr std::string_view kKeys[][2] = {
        {";:", "186"}, {"=+", "187"}, {",<", "188"},  {"-_", "189"}, {".>", "190"},  {"/?", "191"},
        {"`~", "192"}, {"[{", "219"}, {"\\|", "220"}, {"]}", "221"}, {"'\"", "222"}, {" ", "32"}};
    for (const auto& [chars, code] : kKeys) {
      if (chars.find(static_cast<char>(ch)) != std::string_view::npos)
        return {std::atoi(std::string(code).c_str()), ch};
    }
    return {0, ch};
  }
  static const std::map<std::string, KeyStroke, std::less<>> kNamed = {
      {"Backspace", {8, 8}},     {"Tab", {9, 9}},         {"Enter", {13, 13}},
      {"LeftShift", {16, 0}},    {"RightShift", {16, 0}}, {"LeftControl", {17, 0}},
      {"RightControl", {17, 0}}, {"LeftAlt", {18, 0}},    {"CapsLock", {20, 0}},
      {"Escape", {27, 27}},      {"Space", {32, 32}},     {"PageUp", {33, 0}},
      {"PageDown", {34, 0}},     {"End", {35, 0}},        {"Home", {36, 0}},
      {"ArrowLeft", {37, 0}},    {"ArrowUp", {38, 0}},    {"ArrowRight", {39, 0}},
      {"ArrowDown", {40, 0}},    {"Insert", {45, 0}},     {"Delete", {46, 127}}};
  const auto k = e.find("key");
  const auto named = k == e.end() ? kNamed.end() : kNamed.find(k->second);
  return named == kNamed.end() ? KeyStroke{} : named->second;
}

inline std::optional<TextCommand> CommandOf(std::string_view name) {
  static const std::map<std::string, TextCommand, std::less<>> kCommands = {
      {"Backspace", TextCommand::Backspace},
      {"Delete", TextCommand::Delete},
      {"Enter", TextCommand::Enter},
      {"MoveLeft", TextCommand::MoveLeft},
      {"MoveRight", TextCommand::MoveRight},
      {"MoveLeftLine", TextCommand::MoveLeftLine},
      {"MoveRightLine", TextCommand::MoveRightLine},
      {"SelectLeft", TextCommand::SelectLeft},
      {"SelectRight", TextCommand::SelectRight},
      {"SelectAll", TextCommand::SelectAll},
      {"Copy", TextCommand::Copy},
      {"Cut", TextCommand::Cut},
      {"Paste", TextCommand::Paste}};
  const auto it = kCommands.find(name);
  return it == kCommands.end() ? std::nullopt : std::optional(it->second);
}

// Sends events from `next` up to the next "Wait" (or the end) to the player.
// A press or release names where it happens: the pointer moves there first
// when it was elsewhere.
struct PointerAt {
  double x = -1, y = -1;
};

inline void FeedInput(Player& player, const std::vector<InputEvent>& events, std::size_t& next,
                      PointerAt& at) {
  const auto get = [](const InputEvent& e, const char* key) {
    const auto it = e.find(key);
    return it == e.end() ? std::string() : it->second;
  };
  while (next < events.size()) {
    const InputEvent& e = events[next++];
    const std::string type = get(e, "type");
    if (type == "Wait") return;
    if (e.contains("pos/0")) {
      const double x = std::atof(get(e, "pos/0").c_str()), y = std::atof(get(e, "pos/1").c_str());
      if (type == "MouseMove" || x != at.x || y != at.y) player.MouseMove(x, y);
      at = {x, y};
    }
    const KeyStroke key = StrokeOf(e);
    if (type == "MouseDown") {
      player.MouseDown();
    } else if (type == "MouseUp") {
      player.MouseUp();
    } else if (type == "MouseWheel") {
      player.MouseWheel(std::atoi(get(e, "delta/Lines").c_str()));
    } else if (type == "KeyDown") {
      player.KeyDown(key.code, key.character);
    } else if (type == "KeyUp") {
      player.KeyUp(key.code, key.character);
    } else if (type == "FocusLost") {
      player.FocusLost();
    } else if (type == "TextInput") {
      const std::u32string cp = DecodeText(get(e, "codepoint"), true);
      if (!cp.empty()) player.TextInput(cp[0]);
    } else if (type == "TextControl") {
      if (const auto command = CommandOf(get(e, "code"))) player.TextEdit(*command);
    } else if (type == "SetClipboardText") {
      player.SetClipboardText(get(e, "text"));
    }
  }
}

}  // namespace orrivel::swf::test
