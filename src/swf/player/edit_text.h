// An edit text field on a display list (a DefineEditText placement or one a
// script made): its text with the format of each stretch, the settings that
// scripts change, its layout for the metrics scripts read, and the view the
// renderer draws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf/format/movie.h"
#include "swf/render/text_render.h"

namespace orrivel::swf {

namespace avm1 {
class Object;
}  // namespace avm1

class TimelineInstance;
struct TimelineContext;
struct DisplayObject;

// A text format: any field may be unset, as in a TextFormat object; the
// characters of a field have every field set.
struct TextStyle {
  std::optional<std::string> font, url, target;
  std::optional<double> size, leftMargin, rightMargin, indent, leading, blockIndent;
  std::optional<double> letterSpacing;
  std::optional<uint32_t> color;  // 0xRRGGBB
  std::optional<bool> bold, italic, underline, bullet, kerning;
  std::optional<TextAlign> align;
  std::optional<std::vector<double>> tabStops;

  bool operator==(const TextStyle&) const = default;
  // Takes the fields that `over` sets.
  void Apply(const TextStyle& over);
  // Unsets the fields that differ from `other`'s.
  void Intersect(const TextStyle& other);
};

struct TextRun {
  std::u32string text;
  TextStyle style;
};

enum class AutoSize : uint8_t { None, Left, Center, Right };

struct HtmlReading;

// A style sheet's formats for an HTML tag: applies those of the tag's name
// and class (null: none) to `inner`.
using HtmlStyles =
    std::function<void(std::u32string_view tag, const std::u32string* cls, TextStyle& inner)>;

class EditText {
 public:
  // def is copied: scripts change the copy.
  EditText(TimelineContext& ctx, const EditTextDefinition& def);

  // ---- Text --------------------------------------------------------------
  std::u32string Text() const;
  size_t Length() const;
  // Replaces all text with plain text in the new-text format.
  void SetText(std::u32string_view text);
  std::u32string HtmlText() const;
  void SetHtmlText(std::u32string_view html);
  // Text set while a style sheet is on: shown as HTML in the sheet's
  // formats, whatever the html flag; htmlText reads it back as given.
  void SetStyledText(std::u32string_view html, const HtmlStyles& styles);
  // A style sheet given or taken away: htmlText writes the text as HTML
  // while one is on; without one it forgets the HTML it was given.
  void SetStyleSheetOn(bool on) {
    styleSheetOn_ = on;
    if (!on) styledSource_.reset();
  }
  // Replaces [begin, end) (clamped) with text in `style`.
  void Replace(size_t begin, size_t end, std::u32string_view text, const TextStyle& style);
  // The format shared by [begin, end): fields that differ are unset.
  TextStyle FormatOf(size_t begin, size_t end) const;
  void SetFormat(size_t begin, size_t end, const TextStyle& style);
  // The format of text typed or set next (setNewTextFormat).
  TextStyle newFormat;

  // ---- Settings ------------------------------------------------------------
  // The definition with the field's current flags and bounds (twips).
  const EditTextDefinition& Def() const { return def_; }
  EditTextDefinition& MutableDef();
  AutoSize autoSize = AutoSize::None;
  bool background = false, condenseWhite = false, embedFonts = false;
  uint32_t backgroundColor = 0xFFFFFF, borderColor = 0x000000;
  std::optional<std::u32string> restrict;
  int32_t negativeMaxChars = 0;  // a maxChars below 0 reads back; it limits nothing
  int scroll = 1, hscroll = 0;
  // Glyph rendering settings scripts read back (drawing does not use them).
  bool advancedAntiAlias = false;
  int gridFit = 1;  // none, pixel, subpixel
  double sharpness = 0, thickness = 0;
  std::optional<uint32_t> tabIndex;  // where Tab visits it; unset for none
  bool mouseWheelEnabled = true;
  // The selection (character indices; begin == end is the caret). Focus and
  // typing set it; replaceSel and typed text replace it.
  size_t selectionBegin = 0, selectionEnd = 0;
  // Has keyboard focus: its selection is drawn.
  bool focused = false;
  void SetAutoSize(AutoSize a);
  void SetScroll(int lines, int pixels);
  // The first scroll that shows the last line whole; how many pixels the
  // text runs past the field's inner width.
  int MaxScroll();
  int MaxHScroll();
  void SetColors(bool changed) {
    if (changed) Changed();
  }

  // ---- Layout --------------------------------------------------------------
  const TextLayout& Layout();
  // What the renderer draws; the same view until something changes.
  std::shared_ptr<const EditTextView> View();

  // ---- Place ---------------------------------------------------------------
  std::weak_ptr<TimelineInstance> parent;
  uint16_t depthHint = 0;
  avm1::Object* script = nullptr;  // owned by the script machine's heap
  // The display-list entry that shows this field; null once removed.
  DisplayObject* Placement();
  // The variable the field shows (DefineEditText's VariableName, or set by script).
  std::string variable;
  std::u32string shownVariable;  // the value last taken from it
  // The object the variable held when its text was last taken (compared,
  // never followed): the same object again is not converted anew.
  const void* shownObject = nullptr;
  // What masks this field (setMask): a clip or another field; expired when none.
  std::weak_ptr<TimelineInstance> mask;
  std::weak_ptr<EditText> maskField;
  // Masks a clip (setMask): not drawn itself, and its glyphs are not cut
  // at its bounds.
  bool IsMask() const { return isMask_; }
  void SetIsMask(bool mask) {
    if (mask != isMask_) view_.reset();
    isMask_ = mask;
  }

  // Most characters a field holds; longer text is cut.
  static constexpr size_t kMaxLength = 1u << 20;

 private:
  void Changed();
  size_t Split(size_t pos);  // makes a run start at pos; returns that run's index
  void Merge();
  void ApplyAutoSize();
  HtmlReading Reading(const HtmlStyles* styles) const;

  TimelineContext& ctx_;
  EditTextDefinition def_;
  std::vector<TextRun> runs_;
  std::optional<TextLayout> layout_;
  std::optional<EditTextView> baseView_;  // as laid out, before scrolling
  std::shared_ptr<const EditTextView> view_;
  Rect baseBounds_;                             // before auto-sizing
  std::optional<std::u32string> styledSource_;  // as SetStyledText took it
  bool styleSheetOn_ = false;
  bool isMask_ = false;
  bool textGiven_ = false;  // text was set (or defined): auto-sizing fits it
};

// The format of a new field's text: the definition's font, size, colour and layout.
TextStyle DefaultStyle(const Movie& movie, const EditTextDefinition& def);

// How a field reads HTML: its flags and the movie's version.
struct HtmlReading {
  bool condenseWhite = false;
  bool multiline = true;
  size_t maxLength = EditText::kMaxLength;
  int version = 8;
  const HtmlStyles* styles = nullptr;
};

// HTML as Flash reads it into runs (text_html.cpp), and writes it back.
std::vector<TextRun> ParseHtml(std::u32string_view html, const TextStyle& base,
                               const HtmlReading& how);
std::u32string WriteHtml(const std::vector<TextRun>& runs);
// The lower-case HTML the layout reads: fonts, sizes, colours, styles, alignment.
std::string LayoutHtml(const std::vector<TextRun>& runs, bool utf8);

// Text of a script string: UTF-8 from SWF 6, Latin-1 before.
std::u32string DecodeText(std::string_view s, bool utf8);
std::string EncodeText(std::u32string_view s, bool utf8);

}  // namespace orrivel::swf
