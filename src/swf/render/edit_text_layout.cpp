// Lays out an edit text field's initial text with the field's embedded font,
// or with the system's font of that name when the field uses device fonts:
// plain text (HTML reduced to its text and styles), lines split at line
// breaks and, when the field wraps, at spaces; tabs moved to tab stops;
// aligned between the margins.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/twips.h"
#include "base/utf8.h"
#include "swf/render/text_render.h"

namespace orrivel::swf {
namespace {

constexpr double kGutter = 40;  // twips (2 px) between the field's edge and its text
// Without tab stops of its own a paragraph has one every four average
// characters (about 8 px each).
constexpr double kDefaultTabInterval = 32 * kTwipsPerPixel;

// One character of the field's text with the style HTML gave it.
struct StyledChar {
  char32_t c = 0;
  bool bold = false, italic = false, underline = false;
  std::optional<Rgba> color;        // <font color>; else the field's colour
  std::optional<TextAlign> align;   // <p align>; else the field's
  std::optional<std::string> face;  // <font face>; else the field's font
  std::optional<double> size;       // <font size>, twips; else the field's height
  double letterSpacing = 0;         // twips added after the character
  // <p tabstops>: the paragraph's tab stops, pixels; none for the default ones.
  std::shared_ptr<const std::vector<double>> tabStops;
};

// What one open <font> tag sets.
struct FontTag {
  std::optional<Rgba> color;
  std::optional<std::string> face;
  std::optional<double> size;
  std::optional<double> letterSpacing;  // twips
};
using StyledText = std::vector<StyledChar>;

std::optional<TextAlign> ParseAlign(const std::u32string& tag) {
  static const std::pair<std::u32string, TextAlign> kAligns[] = {
      {U"align=\"left\"", TextAlign::Left},
      {U"align=\"right\"", TextAlign::Right},
      {U"align=\"center\"", TextAlign::Center},
      {U"align=\"justify\"", TextAlign::Justify}};
  for (const auto& [attribute, align] : kAligns) {
    if (tag.find(attribute) != std::u32string::npos) return align;
  }
  return std::nullopt;
}

std::optional<Rgba> ParseColor(const std::u32string& tag) {
  const size_t at = tag.find(U"color=");
  if (at == std::u32string::npos) return std::nullopt;
  size_t i = tag.find(U'#', at);
  if (i == std::u32string::npos || i + 7 > tag.size()) return std::nullopt;
  uint32_t v = 0;
  for (size_t k = i + 1; k < i + 7; ++k) {
    const char32_t c = tag[k];
    const int d = c >= U'0' && c <= U'9' ? c - U'0' : c >= U'a' && c <= U'f' ? c - U'a' + 10 : -1;
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return Rgba{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
              255};
}

// The value of attribute `name` ("name=\"value\"" or with single quotes).
std::optional<std::u32string> Attribute(const std::u32string& tag, const std::u32string& name) {
  const size_t at = tag.find(name + U"=");
  if (at == std::u32string::npos) return std::nullopt;
  size_t i = at + name.size() + 1;
  if (i >= tag.size() || (tag[i] != U'"' && tag[i] != U'\'')) return std::nullopt;
  const size_t end = tag.find(tag[i], i + 1);
  if (end == std::u32string::npos) return std::nullopt;
  return tag.substr(i + 1, end - i - 1);
}

// <p tabstops="10,20">: pixels from the paragraph's left edge.
std::shared_ptr<const std::vector<double>> ParseTabStops(const std::u32string& tag) {
  const auto value = Attribute(tag, U"tabstops");
  if (!value) return nullptr;
  std::string digits;
  for (char32_t c : *value) digits.push_back(c < 0x80 ? static_cast<char>(c) : ' ');
  auto stops = std::make_shared<std::vector<double>>();
  for (const char* at = digits.c_str(); *at != 0;) {
    char* next = nullptr;
    const double px = std::strtod(at, &next);
    if (next == at) {
      ++at;
      continue;
    }
    if (std::isfinite(px)) stops->push_back(px);
    at = next;
  }
  if (stops->empty()) return nullptr;
  return stops;
}

// <font size>: points, or a change of the field's size with a sign.
std::optional<double> ParseSize(const std::u32string& tag, double fieldSize) {
  const auto value = Attribute(tag, U"size");
  if (!value || value->empty()) return std::nullopt;
  double n = 0;
  size_t i = (*value)[0] == U'+' || (*value)[0] == U'-' ? 1 : 0;
  for (; i < value->size() && (*value)[i] >= U'0' && (*value)[i] <= U'9'; ++i)
    n = std::min(n * 10 + ((*value)[i] - U'0'), 1000.0);
  const double twips = n * kTwipsPerPixel;
  if ((*value)[0] == U'+') return fieldSize + twips;
  if ((*value)[0] == U'-') return std::max(0.0, fieldSize - twips);
  return twips;
}

// The text of an HTML field: tags dropped (<br> and the end of a paragraph
// break the line; <b>, <i>, <font color> and <p align> style the characters), the
// common entities decoded.
StyledText StripHtml(const std::u32string& html, double fieldSize) {
  static const std::pair<std::u32string, char32_t> kEntities[] = {
      {U"&amp;", U'&'},  {U"&lt;", U'<'},    {U"&gt;", U'>'},
      {U"&quot;", U'"'}, {U"&apos;", U'\''}, {U"&nbsp;", 0xA0}};
  StyledText out;
  int bold = 0, italic = 0, underline = 0;
  std::vector<FontTag> fonts;  // one per open <font>
  StyledChar style;
  std::shared_ptr<const std::vector<double>> blockTabStops;
  for (size_t i = 0; i < html.size();) {
    if (html[i] == U'<') {
      const size_t end = html.find(U'>', i);
      if (end == std::u32string::npos) break;
      std::u32string tag;
      for (size_t k = i + 1; k < end; ++k) {
        const char32_t c = html[k];
        tag.push_back(c >= U'A' && c <= U'Z' ? c + 32 : c);
      }
      const std::u32string name = tag.substr(0, tag.find(U' '));
      if (name == U"br" || name == U"br/" || name == U"/p" || name == U"/li") {
        style.c = U'\n';
        out.push_back(style);
      }
      if (name == U"b") ++bold;
      if (name == U"/b" && bold > 0) --bold;
      if (name == U"i") ++italic;
      if (name == U"/i" && italic > 0) --italic;
      if (name == U"u") ++underline;
      if (name == U"/u" && underline > 0) --underline;
      if (name == U"font") {
        FontTag font{ParseColor(tag), std::nullopt, ParseSize(tag, fieldSize), std::nullopt};
        if (const auto spacing = Attribute(tag, U"letterspacing")) {
          std::string digits;
          for (char32_t c : *spacing) digits.push_back(c < 0x80 ? static_cast<char>(c) : ' ');
          const double px = std::strtod(digits.c_str(), nullptr);
          if (std::isfinite(px)) font.letterSpacing = std::clamp(px, -1000.0, 1000.0) * 20;
        }
        if (const auto face = Attribute(tag, U"face")) {
          font.face.emplace();
          for (char32_t c : *face) font.face->push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        fonts.push_back(std::move(font));
      }
      // Tab stops are a paragraph's: its own, or those of the <textformat> around it.
      if (name == U"textformat") blockTabStops = ParseTabStops(tag);
      if (name == U"/textformat") blockTabStops.reset();
      if (name == U"p") {
        style.align = ParseAlign(tag);
        style.tabStops = ParseTabStops(tag);
        if (!style.tabStops) style.tabStops = blockTabStops;
      }
      if (name == U"/font" && !fonts.empty()) fonts.pop_back();
      style.bold = bold > 0;
      style.italic = italic > 0;
      style.underline = underline > 0;
      style.color.reset();
      style.face.reset();
      style.size.reset();
      style.letterSpacing = 0;
      for (const FontTag& f : fonts) {
        if (f.letterSpacing) style.letterSpacing = *f.letterSpacing;
        if (f.color) style.color = f.color;
        if (f.face) style.face = f.face;
        if (f.size) style.size = f.size;
      }
      i = end + 1;
      continue;
    }
    style.c = html[i];
    size_t length = 1;
    if (html[i] == U'&') {
      for (const auto& [entity, c] : kEntities) {
        if (html.compare(i, entity.size(), entity) == 0) {
          style.c = c;
          length = entity.size();
          break;
        }
      }
    }
    out.push_back(style);
    i += length;
  }
  // The closing tag of the last paragraph ends the text, not a line.
  if (!out.empty() && out.back().c == U'\n') out.pop_back();
  return out;
}

double WholePixels(double twips) { return std::round(twips / kTwipsPerPixel) * kTwipsPerPixel; }

struct Metrics {
  TextCache& cache;
  const FontDefinition& font;
  double height;  // the field's font height, twips
  bool device;    // glyphs come from the system's fonts
  // The glyph of a character: its font (a bold or italic sibling of the
  // field's font when HTML asks for one, or the font <font face> names),
  // index (-1: none), scale from font units to twips, and advance.
  struct Pick {
    const FontDefinition* font = nullptr;
    int index = -1;
    double scale = 0;
    double advance = 0;
  };
  Pick Glyph(const StyledChar& ch) {
    Pick p;
    p.font = &font;
    if (device) {
      // The system's font hinted at the character's own size.
      const bool restyled = ch.face || ch.bold != font.bold || ch.italic != font.italic;
      const int pixels = HintedPixels(ch.size.value_or(height));
      const FontDefinition* f =
          restyled ? cache.DeviceFont(ch.face ? std::string_view(*ch.face) : font.name, ch.bold,
                                      ch.italic, pixels)
                   : cache.DeviceFont(font.name, font.bold, font.italic, pixels);
      if (f != nullptr) p.font = f;
    } else if (ch.bold != font.bold || ch.italic != font.italic) {
      if (const FontDefinition* v = cache.Variant(font, ch.bold, ch.italic)) p.font = v;
    }
    p.scale = ch.size.value_or(height) / p.font->EmSquare();
    p.index = cache.GlyphIndex(*p.font, ch.c);
    if (p.index < 0) return p;
    if (p.font->hasLayout && static_cast<size_t>(p.index) < p.font->advances.size()) {
      p.advance = p.font->advances[p.index] * p.scale;
    } else if (const ConvertedShape* shape = cache.Glyph(*p.font, p.index)) {
      p.advance = shape->bounds.xMax * p.scale;
    }
    // Characters advance by whole twips; hinted system glyphs by whole pixels.
    const bool hinted = device && cache.DevicePixels(*p.font) > 0;
    p.advance = hinted ? WholePixels(p.advance) : std::floor(p.advance);
    p.advance += ch.letterSpacing;
    return p;
  }
  // Twips above and below the baseline that a character needs.
  std::pair<double, double> Extent(const StyledChar& ch) {
    const Pick p = Glyph(ch);
    const double h = ch.size.value_or(height);
    if (!p.font->hasLayout) return {h * 0.9, h * 0.1};
    if (device && cache.DevicePixels(*p.font) > 0)
      return {WholePixels(p.font->ascent * p.scale), WholePixels(p.font->descent * p.scale)};
    // Whole twips, as line heights are kept.
    return {std::floor(p.font->ascent * p.scale), std::floor(p.font->descent * p.scale)};
  }
  // How far a character moves the pen at `pen` (twips from the
  // paragraph's left edge): a tab goes to the first stop right of the pen,
  // and no further once the paragraph's stops are behind it.
  double Advance(const StyledChar& ch, double pen) {
    if (ch.c != U'\t') return Glyph(ch).advance;
    if (!ch.tabStops)
      return (std::floor(pen / kDefaultTabInterval) + 1) * kDefaultTabInterval - pen;
    for (double stop : *ch.tabStops) {
      if (stop * kTwipsPerPixel > pen) return stop * kTwipsPerPixel - pen;
    }
    return 0;
  }
  double Width(const StyledText& t, size_t from, size_t to, double pen) {
    double w = 0;
    for (size_t i = from; i < to; ++i) w += Advance(t[i], pen + w);
    return w;
  }
};

// Splits t[from, to) into lines no wider than width, at spaces; a word
// wider than the line is broken between characters. The first line starts
// `indent` into the paragraph, where its tabs count from.
std::vector<std::pair<size_t, size_t>> Wrap(const StyledText& t, size_t from, size_t to,
                                            double indent, double width, Metrics& metrics) {
  std::vector<std::pair<size_t, size_t>> lines;
  size_t start = from;
  while (start < to) {
    const double limit = lines.empty() ? width - indent : width;
    const double pen = lines.empty() ? indent : 0;
    double w = 0;
    size_t end = start, lastBreak = to;
    for (; end < to; ++end) {
      const double a = metrics.Advance(t[end], pen + w);
      // A line with no room at all (an indent past the field) keeps its first word.
      if (limit <= 0 ? t[end].c == U' ' && end > start
                     : t[end].c != U' ' && w + a > limit && end > start)
        break;
      if (t[end].c == U' ') lastBreak = end;
      w += a;
    }
    if (end < to && lastBreak < to && lastBreak > start) end = lastBreak;
    lines.emplace_back(start, end);
    start = end;
    while (start < to && t[start].c == U' ') ++start;  // spaces at a wrap vanish
  }
  if (lines.empty()) lines.emplace_back(from, from);
  return lines;
}

}  // namespace

TextLayout LayoutEditText(const EditTextDefinition& def, uint8_t swfVersion, TextCache& cache) {
  EditTextView view{def, std::nullopt, std::nullopt};
  if (def.border) {
    view.fill = Rgba{255, 255, 255, 255};
    view.line = Rgba{0, 0, 0, 255};
  }
  return LayoutEditText(view, swfVersion, cache);
}

TextLayout LayoutEditText(const EditTextView& view, uint8_t swfVersion, TextCache& cache) {
  const EditTextDefinition& def = view.def;
  TextLayout layout;
  layout.editText = true;
  const Rect& b = def.bounds;
  FloatRect field;
  field.Include(static_cast<float>(b.xMin), static_cast<float>(b.yMin));
  field.Include(static_cast<float>(b.xMax), static_cast<float>(b.yMax));
  if (view.fill || view.line) {
    layout.box = field;
    layout.bounds = field;
    layout.boxFill = view.fill;
    layout.boxLine = view.line;
  }
  const FontDefinition* font = cache.Font(def.fontId);
  // Without embedded outlines the field is set in the system's font of
  // that name.
  const bool device = !def.useOutlines || font == nullptr || font->glyphs.empty();
  if (device) {
    font = cache.DeviceFont(font != nullptr ? std::string_view(font->name) : std::string_view(),
                            font != nullptr && font->bold, font != nullptr && font->italic);
  }
  layout.deviceText = device;
  layout.uprightOnly = !def.useOutlines;
  // Device glyphs follow the vertical scale across, so they may reach
  // anywhere in the field (drawn clipped to it): redraws cover all of it.
  if (device) layout.bounds.Include(field);
  if (font == nullptr || !def.initialText) return layout;
  const std::u32string decoded = DecodeMovieText(*def.initialText, swfVersion >= 6);
  StyledText text;
  if (def.html) {
    text = StripHtml(decoded, def.fontHeight);
  } else {
    text.resize(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) text[i].c = decoded[i];
  }
  if (def.password) {
    for (StyledChar& ch : text) {
      if (ch.c != U'\r' && ch.c != U'\n') ch.c = U'*';
    }
  }

  Metrics metrics{cache, *font, static_cast<double>(def.fontHeight), device};
  const auto [fieldAscent, fieldDescent] = metrics.Extent(StyledChar{});
  const double left = b.xMin + kGutter + def.leftMargin;
  layout.field = field;
  layout.textOrigin = left;
  const double right = b.xMax - kGutter - def.rightMargin;
  // A negative indent does not move the first line past the margin.
  const double indent = std::max(0, static_cast<int>(def.indent));
  const Rgba fieldColor = def.color.value_or(Rgba{0, 0, 0, 255});
  double top = b.yMin + kGutter;  // of the next line

  // Lines above the scrolled-to one are not drawn; the rest move up by its top.
  const int firstLine = std::max(0, view.scroll - 1);
  const double shiftX = std::max(0, view.hscroll) * static_cast<double>(kTwipsPerPixel);
  double shiftY = 0;
  // A field sized to its text, or a mask, shows every glyph.
  const bool showAll = def.autoSize || view.unclipped;
  size_t pos = 0;
  for (;;) {
    size_t end = pos;
    while (end < text.size() && text[end].c != U'\r' && text[end].c != U'\n') ++end;
    const auto lines = def.wordWrap ? Wrap(text, pos, end, indent, right - left, metrics)
                                    : std::vector<std::pair<size_t, size_t>>{{pos, end}};
    bool below = false;
    for (size_t l = 0; l < lines.size(); ++l) {
      const auto [from, to] = lines[l];
      // A line is as tall as its tallest character.
      double ascent = from < to ? 0 : fieldAscent, descent = from < to ? 0 : fieldDescent;
      for (size_t i = from; i < to; ++i) {
        const auto [a, d] = metrics.Extent(text[i]);
        ascent = std::max(ascent, a);
        descent = std::max(descent, d);
      }
      if (layout.lineCount == firstLine) shiftY = top - (b.yMin + kGutter);
      const double baseline = top + ascent;
      // Device text shows whole lines only: one reaching below the inner
      // bottom is not drawn, unless it is the first shown.
      const bool cut = device && !showAll && layout.lineCount > firstLine &&
                       baseline + descent - shiftY > b.yMax - kGutter;
      const bool hidden = layout.lineCount < firstLine || cut;
      const double drawBaseline = baseline - shiftY;
      const double lineIndent = l == 0 ? indent : 0;
      const double start = left + lineIndent;
      const TextAlign align = from < to ? text[from].align.value_or(def.align) : def.align;
      // From SWF 8 a line set right or centred hangs its trailing spaces:
      // they neither count in its width nor move it.
      size_t last = to;
      if (swfVersion >= 8 && (align == TextAlign::Right || align == TextAlign::Center)) {
        while (last > from && text[last - 1].c == U' ') --last;
      }
      const double width = metrics.Width(text, from, last, lineIndent);
      // A left-aligned line wrapped at a space counts the space in the text's width.
      const bool wrappedAtSpace =
          align == TextAlign::Left && l + 1 < lines.size() && to < end && text[to].c == U' ';
      const double measured =
          wrappedAtSpace ? metrics.Width(text, from, to + 1, lineIndent) : width;
      layout.textWidth = std::max(layout.textWidth, measured + lineIndent);
      ++layout.lineCount;
      double x = start - shiftX;
      if (align == TextAlign::Right) {
        x = right - width - shiftX;
      } else if (align == TextAlign::Center) {
        x = start + (right - start - width) / 2 - shiftX;
      }
      if (!hidden) {
        // The selected stretch of the line is a black box the line's height.
        double selX = x, selLeft = 0, selRight = 0;
        for (size_t i = from; i < to; ++i) {
          const double a = metrics.Advance(text[i], lineIndent + selX - x);
          if (i >= view.selectionBegin && i < view.selectionEnd) {
            if (selRight <= selLeft) selLeft = selX;
            selRight = selX + a;
          }
          selX += a;
        }
        if (selRight > selLeft) {
          AddGlyph(layout, cache.UnitBox(),
                   Matrix{selRight - selLeft, 0, 0, ascent + descent, selLeft, top - shiftY},
                   Rgba{0, 0, 0, 255});
        }
      }
      const double lineX = x;
      for (size_t i = from; i < to; ++i) {
        Metrics::Pick pick = metrics.Glyph(text[i]);
        // A tab shows nothing; it only moves the pen.
        if (text[i].c == U'\t') {
          pick.index = -1;
          pick.advance = metrics.Advance(text[i], lineIndent + x - lineX);
        }
        const ConvertedShape* shape =
            pick.index >= 0 ? cache.Glyph(*pick.font, pick.index) : nullptr;
        // Glyphs wholly outside the field are clipped away.
        const bool inside =
            !hidden &&
            (showAll || (x < b.xMax && x + pick.advance > b.xMin && top - shiftY < b.yMax));
        const bool selected = i >= view.selectionBegin && i < view.selectionEnd;
        const Rgba color = selected ? Rgba{255, 255, 255, 255} : text[i].color.value_or(fieldColor);
        if (shape != nullptr && inside) {
          AddGlyph(layout, shape, Matrix{pick.scale, 0, 0, pick.scale, x, drawBaseline}, color);
        }
        if (text[i].underline && inside && pick.advance > 0) {
          // A line a twentieth of the size thick, just under the baseline.
          const double size = text[i].size.value_or(def.fontHeight);
          const double thickness = std::max(1.0 * kTwipsPerPixel, size / 20);
          AddGlyph(layout, cache.UnitBox(),
                   Matrix{pick.advance, 0, 0, thickness, x, drawBaseline + size / 20}, color);
        }
        x += pick.advance;
      }
      const double textTop = b.yMin + kGutter;
      layout.lines.emplace_back(top - textTop, baseline + descent - textTop);
      // Leading separates lines: the last line's is not part of the text,
      // unless it is the only one.
      layout.textHeight = baseline + descent - textTop + (layout.lineCount == 1 ? def.leading : 0);
      top = baseline + descent + def.leading;
      // Lines below the field would be clipped away entirely.
      below = !showAll && top - shiftY >= b.yMax;
      if (below) break;
    }
    if (end >= text.size() || below) break;
    // \r\n is one break.
    pos =
        end + ((text[end].c == U'\r' && end + 1 < text.size() && text[end + 1].c == U'\n') ? 2 : 1);
  }
  // A field that sizes itself to its text shows all of it.
  const FloatRect& g = layout.bounds;
  if (!showAll && !g.Empty() &&
      (g.xMin < field.xMin || g.yMin < field.yMin || g.xMax > field.xMax || g.yMax > field.yMax)) {
    layout.clip = field;
  }
  return layout;
}

}  // namespace orrivel::swf
