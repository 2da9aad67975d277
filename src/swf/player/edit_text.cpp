#include "swf/player/edit_text.h"

#include <algorithm>
#include <cmath>

#include "base/utf8.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf {

namespace {

constexpr double kGutterTwips = 40;  // 2 px each side between the field's edge and its text

template <typename T>
void Take(std::optional<T>& to, const std::optional<T>& from) {
  if (from) to = from;
}
template <typename T>
void Keep(std::optional<T>& mine, const std::optional<T>& other) {
  if (mine != other) mine.reset();
}

// The embedded font with outlines that a format names, preferring the
// matching style; none when the movie has none of that name.
std::optional<uint16_t> EmbeddedFont(const Movie& movie, const TextStyle& s) {
  if (!s.font) return std::nullopt;
  std::optional<uint16_t> any;
  for (const auto& [id, c] : movie.characters) {
    const auto* font = std::get_if<FontDefinition>(&c);
    if (!font || font->glyphs.empty() || font->name.size() != s.font->size()) continue;
    bool same = true;
    for (size_t i = 0; i < font->name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(font->name[i])) ==
             std::tolower(static_cast<unsigned char>((*s.font)[i]));
    if (!same) continue;
    if (font->bold == s.bold.value_or(false) && font->italic == s.italic.value_or(false)) return id;
    if (!any) any = id;
  }
  return any;
}

bool HasOutlines(const Movie& movie, std::optional<uint16_t> fontId) {
  const auto it = fontId ? movie.characters.find(*fontId) : movie.characters.end();
  const auto* font =
      it != movie.characters.end() ? std::get_if<FontDefinition>(&it->second) : nullptr;
  return font && !font->glyphs.empty();
}

}  // namespace

void TextStyle::Apply(const TextStyle& o) {
  Take(font, o.font), Take(url, o.url), Take(target, o.target), Take(size, o.size);
  Take(leftMargin, o.leftMargin), Take(rightMargin, o.rightMargin), Take(indent, o.indent);
  Take(leading, o.leading), Take(blockIndent, o.blockIndent);
  Take(letterSpacing, o.letterSpacing), Take(color, o.color), Take(bold, o.bold);
  Take(italic, o.italic), Take(underline, o.underline), Take(bullet, o.bullet);
  Take(kerning, o.kerning), Take(align, o.align), Take(tabStops, o.tabStops);
}

void TextStyle::Intersect(const TextStyle& o) {
  Keep(font, o.font), Keep(url, o.url), Keep(target, o.target), Keep(size, o.size);
  Keep(leftMargin, o.leftMargin), Keep(rightMargin, o.rightMargin), Keep(indent, o.indent);
  Keep(leading, o.leading), Keep(blockIndent, o.blockIndent);
  Keep(letterSpacing, o.letterSpacing), Keep(color, o.color), Keep(bold, o.bold);
  Keep(italic, o.italic), Keep(underline, o.underline), Keep(bullet, o.bullet);
  Keep(kerning, o.kerning), Keep(align, o.align), Keep(tabStops, o.tabStops);
}

std::u32string DecodeText(std::string_view s, bool utf8) { return DecodeMovieText(s, utf8); }

std::string EncodeText(std::u32string_view s, bool utf8) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) {
    if (!utf8) {
      out.push_back(static_cast<char>(c < 0x100 ? c : '?'));
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

TextStyle DefaultStyle(const Movie& movie, const EditTextDefinition& def) {
  TextStyle s;
  s.font = "Times New Roman";
  s.bold = false;
  s.italic = false;
  if (def.fontId) {
    auto it = movie.characters.find(*def.fontId);
    if (it != movie.characters.end()) {
      if (const auto* font = std::get_if<FontDefinition>(&it->second)) {
        if (!font->name.empty()) s.font = font->name;
        // HTML text takes its style from its tags alone.
        s.bold = font->bold && !def.html;
        s.italic = font->italic && !def.html;
      }
    }
  } else if (def.fontClass) {
    s.font = *def.fontClass;
  }
  // A field without a font of its own is set in 12 points.
  s.size = def.fontId || def.fontClass ? def.fontHeight / 20.0 : 12;
  const Rgba c = def.color.value_or(Rgba{0, 0, 0, 255});
  s.color = (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
  s.underline = false;
  s.url = "";
  s.target = "";
  // HTML fields start left-aligned whatever the tag says; see SetHtmlText.
  s.align = def.html ? TextAlign::Left : def.align;
  s.leftMargin = def.leftMargin / 20.0;
  s.rightMargin = def.rightMargin / 20.0;
  s.indent = def.indent / 20.0;
  s.leading = def.leading / 20.0;
  s.blockIndent = 0;
  s.bullet = false;
  s.tabStops = std::vector<double>{};
  s.letterSpacing = 0;
  s.kerning = false;
  return s;
}

EditText::EditText(TimelineContext& ctx, const EditTextDefinition& def)
    : ctx_(ctx), def_(def), baseBounds_(def.bounds), textGiven_(def.initialText.has_value()) {
  newFormat = DefaultStyle(*ctx.movie, def);
  autoSize = def.autoSize ? AutoSize::Left : AutoSize::None;
  variable = def.variableName;
  embedFonts = def.useOutlines;
  advancedAntiAlias = def.advancedAntiAlias;
  gridFit = def.gridFit;
  thickness = def.thickness;
  sharpness = def.sharpness;
  background = def.border;  // the tag's border flag draws both
  const bool utf8 = ctx.movie->header.version >= 6;
  if (def.initialText) {
    const std::u32string initial = DecodeText(*def.initialText, utf8);
    if (def.html) {
      SetHtmlText(initial);
    } else {
      SetText(initial);
    }
  }
}

std::u32string EditText::Text() const {
  std::u32string out;
  for (const TextRun& r : runs_) out += r.text;
  return out;
}

size_t EditText::Length() const {
  size_t n = 0;
  for (const TextRun& r : runs_) n += r.text.size();
  return n;
}

void EditText::SetText(std::u32string_view text) {
  styledSource_.reset();
  runs_.clear();
  Replace(0, 0, text, newFormat);
}

std::u32string EditText::HtmlText() const {
  if (styledSource_) return *styledSource_;
  if ((!def_.html && !styleSheetOn_) || runs_.empty()) return Text();
  return WriteHtml(runs_);
}

void EditText::SetStyledText(std::u32string_view html, const HtmlStyles& styles) {
  runs_ = ParseHtml(html, newFormat, Reading(&styles));
  textGiven_ = true;
  styledSource_ = std::u32string(html.substr(0, kMaxLength));
  Merge();
  Changed();
}

void EditText::SetHtmlText(std::u32string_view html) {
  styledSource_.reset();
  if (!def_.html) {
    SetText(html);
    return;
  }
  // Paragraphs without an ALIGN of their own take the tag's alignment from
  // SWF 8, and are left-aligned before; so is text set after them.
  newFormat.align = ctx_.movie->header.version >= 8 ? def_.align : TextAlign::Left;
  runs_ = ParseHtml(html, newFormat, Reading(nullptr));
  textGiven_ = true;
  Merge();
  Changed();
}

HtmlReading EditText::Reading(const HtmlStyles* styles) const {
  return {.condenseWhite = condenseWhite,
          .multiline = def_.multiline,
          .maxLength = kMaxLength,
          .version = ctx_.movie->header.version,
          .styles = styles};
}

size_t EditText::Split(size_t pos) {
  size_t at = 0;
  for (size_t i = 0; i < runs_.size(); ++i) {
    const size_t len = runs_[i].text.size();
    if (pos == at) return i;
    if (pos < at + len) {
      TextRun tail{runs_[i].text.substr(pos - at), runs_[i].style};
      runs_[i].text.resize(pos - at);
      runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(tail));
      return i + 1;
    }
    at += len;
  }
  return runs_.size();
}

void EditText::Merge() {
  std::vector<TextRun> out;
  for (TextRun& r : runs_) {
    if (r.text.empty()) continue;
    if (!out.empty() && out.back().style == r.style) {
      out.back().text += r.text;
    } else {
      out.push_back(std::move(r));
    }
  }
  runs_ = std::move(out);
}

void EditText::Replace(size_t begin, size_t end, std::u32string_view text, const TextStyle& style) {
  const size_t length = Length();
  end = std::min(end, length);
  begin = std::min(begin, end);
  const size_t room = kMaxLength - std::min(kMaxLength, length - (end - begin));
  if (text.size() > room) text = text.substr(0, room);
  textGiven_ = true;
  const size_t first = Split(begin);
  const size_t last = Split(end);
  runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(first),
              runs_.begin() + static_cast<std::ptrdiff_t>(last));
  TextStyle full = newFormat;
  full.Apply(style);
  runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(first),
               TextRun{std::u32string(text), full});
  Merge();
  Changed();
}

TextStyle EditText::FormatOf(size_t begin, size_t end) const {
  std::optional<TextStyle> out;
  size_t at = 0;
  for (const TextRun& r : runs_) {
    const size_t len = r.text.size();
    if (at < end && at + len > begin) {
      if (out) {
        out->Intersect(r.style);
      } else {
        out = r.style;
      }
    }
    at += len;
  }
  // An empty field has no format at all.
  if (!out) return begin >= Length() && !runs_.empty() ? runs_.back().style : TextStyle{};
  return *out;
}

void EditText::SetFormat(size_t begin, size_t end, const TextStyle& style) {
  const size_t length = Length();
  end = std::min(end, length);
  if (begin >= end) return;
  const size_t first = Split(begin);
  const size_t last = Split(end);
  for (size_t i = first; i < last; ++i) runs_[i].style.Apply(style);
  Merge();
  Changed();
}

EditTextDefinition& EditText::MutableDef() {
  Changed();
  return def_;
}

void EditText::SetAutoSize(AutoSize a) {
  if (a == autoSize) return;
  autoSize = a;
  Changed();
}

void EditText::SetScroll(int lines, int pixels) {
  if (lines == scroll && pixels == hscroll) return;
  scroll = lines;
  hscroll = pixels;
  view_.reset();  // the text moves; its measures stay
}

int EditText::MaxScroll() {
  const auto& lines = Layout().lines;
  const double inner = def_.bounds.Height() - 2 * kGutterTwips;
  size_t first = 0;
  while (first + 1 < lines.size() && lines.back().second - lines[first].first > inner) ++first;
  return static_cast<int>(first) + 1;
}

int EditText::MaxHScroll() {
  const double over = Layout().textWidth + 2 * kGutterTwips - def_.bounds.Width();
  return over > 0 ? static_cast<int>(std::floor(over / kTwipsPerPixel)) : 0;
}

void EditText::Changed() {
  layout_.reset();
  view_.reset();
}

DisplayObject* EditText::Placement() {
  auto p = parent.lock();
  if (!p) return nullptr;
  DisplayList& list = p->MutableList();
  if (auto it = list.find(depthHint); it != list.end() && it->second.text.get() == this)
    return &it->second;
  for (auto& [depth, obj] : list) {
    if (obj.text.get() == this) {
      depthHint = depth;
      return &obj;
    }
  }
  return nullptr;
}

const TextLayout& EditText::Layout() {
  if (layout_) return *layout_;
  EditTextView view;
  view.def = def_;
  view.def.html = true;
  view.def.autoSize = autoSize != AutoSize::None;
  view.def.initialText = LayoutHtml(runs_, ctx_.movie->header.version >= 6);
  // The spacing of the first paragraph stands for the field's.
  const TextStyle& first = runs_.empty() ? newFormat : runs_.front().style;
  const auto twips = [](const std::optional<double>& v, double lo, double hi) {
    return std::clamp(v.value_or(0) * 20, lo, hi);
  };
  view.def.leading = static_cast<int16_t>(twips(first.leading, -32768, 32767));
  view.def.indent = static_cast<int16_t>(twips(first.indent, -32768, 32767));
  // The block indent moves every line right, as the left margin does.
  view.def.leftMargin = static_cast<uint16_t>(std::clamp(
      twips(first.leftMargin, 0, 65535) + twips(first.blockIndent, 0, 65535), 0.0, 65535.0));
  view.def.rightMargin = static_cast<uint16_t>(twips(first.rightMargin, 0, 65535));
  view.def.align = first.align.value_or(def_.align);
  view.def.fontHeight = static_cast<uint16_t>(twips(first.size, 0, 65535));
  if (embedFonts) {
    if (const auto font = EmbeddedFont(*ctx_.movie, first)) {
      view.def.fontId = font;
      view.def.useOutlines = true;
    } else if (!HasOutlines(*ctx_.movie, def_.fontId)) {
      // Embedded fonts asked for and none found: nothing to draw the text
      // with, so it shows nothing and measures nothing.
      view.def.initialText = std::string();
      view.def.fontHeight = 0;
    }
  }
  const auto rgb = [](uint32_t c) {
    return Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                static_cast<uint8_t>(c), 255};
  };
  if (background) view.fill = rgb(backgroundColor);
  if (def_.border) view.line = rgb(borderColor);
  // Measured as if sized to the text, so lines below the field still count
  // (maxscroll, textHeight); the view keeps the field's own flag for drawing.
  EditTextView measure = view;
  measure.def.autoSize = true;
  TextLayout layout =
      ctx_.texts ? LayoutEditText(measure, ctx_.movie->header.version, *ctx_.texts) : TextLayout{};
  // A field no text was ever given keeps its size: it fits nothing yet.
  if (autoSize != AutoSize::None && ctx_.texts && (textGiven_ || Length() > 0)) {
    Rect& b = def_.bounds;
    const double width = b.xMax - b.xMin;
    const double wanted = def_.wordWrap ? width : std::ceil(layout.textWidth) + 2 * kGutterTwips;
    // An empty field shrinks to its gutters.
    const double text = Length() == 0 ? 0 : std::floor(layout.textHeight);
    const double height = text + 2 * kGutterTwips;
    double shift = 0;
    if (autoSize == AutoSize::Center) shift = (width - wanted) / 2;
    if (autoSize == AutoSize::Right) shift = width - wanted;
    if (wanted != width || height != b.yMax - b.yMin) {
      // The box moves inside the field, not the field: its placement (and
      // so a copy's) stays where it was.
      b.xMin += static_cast<int32_t>(std::round(shift));
      b.xMax = b.xMin + static_cast<int32_t>(wanted);
      b.yMax = b.yMin + static_cast<int32_t>(height);
      view.def.bounds = measure.def.bounds = b;
      layout = LayoutEditText(measure, ctx_.movie->header.version, *ctx_.texts);
    }
  }
  layout_ = std::move(layout);
  baseView_ = std::move(view);
  view_.reset();
  return *layout_;
}

std::shared_ptr<const EditTextView> EditText::View() {
  size_t low = 0, high = 0;
  if (focused) {
    low = std::min({selectionBegin, selectionEnd, Length()});
    high = std::min(std::max(selectionBegin, selectionEnd), Length());
  }
  if (view_ && (view_->selectionBegin != low || view_->selectionEnd != high)) view_.reset();
  if (!view_) {
    Layout();
    EditTextView view = *baseView_;
    view.scroll = std::min(scroll, MaxScroll());
    view.hscroll = std::min(hscroll, MaxHScroll());
    view.unclipped = isMask_;
    view.selectionBegin = low;
    view.selectionEnd = high;
    view_ = std::make_shared<const EditTextView>(std::move(view));
  }
  return view_;
}

}  // namespace orrivel::swf
