// Lays out an edit text field's initial text with the field's embedded font:
// plain text (HTML reduced to its text), lines split at line breaks and, when
// the field wraps, at spaces; aligned between the margins.
#include <string>
#include <vector>

#include "swf/render/text_render.h"

namespace orrivel::swf {
namespace {

constexpr double kGutter = 40;  // twips (2 px) between the field's edge and its text

// UTF-8 from SWF 6 on, single-byte (Latin-1) before. Bad sequences become
// U+FFFD, which no font maps, so they draw nothing.
std::u32string Decode(const std::string& s, bool utf8) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    if (!utf8 || b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) {
        ok = false;
      } else {
        c = (c << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
      }
    }
    out.push_back(ok ? c : U'\uFFFD');
    i += ok ? extra + 1 : 1;
  }
  return out;
}

// The text of an HTML field: tags dropped (<br> and the end of a paragraph
// break the line), the common entities decoded.
std::u32string StripHtml(const std::u32string& html) {
  static const std::pair<std::u32string, char32_t> kEntities[] = {
      {U"&amp;", U'&'}, {U"&lt;", U'<'}, {U"&gt;", U'>'}, {U"&quot;", U'"'},
      {U"&apos;", U'\''}, {U"&nbsp;", 0xA0}};
  std::u32string out;
  for (size_t i = 0; i < html.size();) {
    if (html[i] == U'<') {
      const size_t end = html.find(U'>', i);
      if (end == std::u32string::npos) break;
      std::u32string tag;
      for (size_t k = i + 1; k < end; ++k) {
        const char32_t c = html[k];
        if (c == U' ' || (c == U'/' && k > i + 1)) break;
        tag.push_back(c >= U'A' && c <= U'Z' ? c + 32 : c);
      }
      if (tag == U"br" || tag == U"/p" || tag == U"/li") out.push_back(U'\n');
      i = end + 1;
      continue;
    }
    if (html[i] == U'&') {
      bool matched = false;
      for (const auto& [name, c] : kEntities) {
        if (html.compare(i, name.size(), name) == 0) {
          out.push_back(c);
          i += name.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    out.push_back(html[i++]);
  }
  // The closing tag of the last paragraph ends the text, not a line.
  if (!out.empty() && out.back() == U'\n') out.pop_back();
  return out;
}

struct Metrics {
  TextCache& cache;
  const FontDefinition& font;
  double scale;
  double Advance(char32_t c, int& index) {
    index = cache.GlyphIndex(font, c);
    if (index < 0) return 0;
    if (font.hasLayout && static_cast<size_t>(index) < font.advances.size())
      return font.advances[index] * scale;
    const ConvertedShape* shape = cache.Glyph(font, index);
    return shape ? shape->bounds.xMax * scale : 0;
  }
  double Width(const std::u32string& s, size_t from, size_t to) {
    double w = 0;
    int index = 0;
    for (size_t i = from; i < to; ++i) w += Advance(s[i], index);
    return w;
  }
};

// Splits one paragraph into lines no wider than width, at spaces; a word
// wider than the line is broken between characters.
std::vector<std::pair<size_t, size_t>> Wrap(const std::u32string& p, double firstWidth,
                                            double width, Metrics& metrics) {
  std::vector<std::pair<size_t, size_t>> lines;
  size_t start = 0;
  while (start < p.size()) {
    const double limit = lines.empty() ? firstWidth : width;
    double w = 0;
    size_t end = start, lastBreak = std::u32string::npos;
    int index = 0;
    for (; end < p.size(); ++end) {
      const double a = metrics.Advance(p[end], index);
      if (p[end] != U' ' && w + a > limit && end > start) break;
      if (p[end] == U' ') lastBreak = end;
      w += a;
    }
    if (end < p.size() && lastBreak != std::u32string::npos && lastBreak > start) end = lastBreak;
    lines.emplace_back(start, end);
    start = end;
    while (start < p.size() && p[start] == U' ') ++start;  // spaces at a wrap vanish
  }
  if (lines.empty()) lines.emplace_back(0, 0);
  return lines;
}

}  // namespace

TextLayout LayoutEditText(const EditTextDefinition& def, uint8_t swfVersion, TextCache& cache) {
  TextLayout layout;
  const Rect& b = def.bounds;
  FloatRect field;
  field.Include(static_cast<float>(b.xMin), static_cast<float>(b.yMin));
  field.Include(static_cast<float>(b.xMax), static_cast<float>(b.yMax));
  if (def.border) {
    layout.box = field;
    layout.bounds = field;
  }
  const FontDefinition* font = cache.Font(def.fontId);
  // Device fonts (no embedded outlines) are not drawn.
  if (!def.useOutlines || font == nullptr || font->glyphs.empty() || !def.initialText) {
    return layout;
  }
  std::u32string text = Decode(*def.initialText, swfVersion >= 6);
  if (def.html) text = StripHtml(text);
  if (def.password) {
    for (char32_t& c : text) {
      if (c != U'\r' && c != U'\n') c = U'*';
    }
  }
  if (def.maxLength && *def.maxLength > 0 && text.size() > *def.maxLength) text.resize(*def.maxLength);

  Metrics metrics{cache, *font, static_cast<double>(def.fontHeight) / font->EmSquare()};
  const double ascent = font->hasLayout ? font->ascent * metrics.scale : def.fontHeight * 0.9;
  const double descent = font->hasLayout ? font->descent * metrics.scale : def.fontHeight * 0.1;
  const double lineHeight = ascent + descent + def.leading;
  const double left = b.xMin + kGutter + def.leftMargin;
  const double right = b.xMax - kGutter - def.rightMargin;
  const Rgba color = def.color.value_or(Rgba{0, 0, 0, 255});
  double baseline = b.yMin + kGutter + ascent;

  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of(U"\r\n", pos);
    if (end == std::u32string::npos) end = text.size();
    const std::u32string paragraph = text.substr(pos, end - pos);
    const auto lines = def.wordWrap ? Wrap(paragraph, right - left - def.indent, right - left, metrics)
                                    : std::vector<std::pair<size_t, size_t>>{{0, paragraph.size()}};
    for (size_t l = 0; l < lines.size(); ++l) {
      const auto [from, to] = lines[l];
      const double start = left + (l == 0 ? def.indent : 0);
      const double width = metrics.Width(paragraph, from, to);
      double x = start;
      if (def.align == TextAlign::Right) {
        x = right - width;
      } else if (def.align == TextAlign::Center) {
        x = start + (right - start - width) / 2;
      }
      for (size_t i = from; i < to; ++i) {
        int index = 0;
        const double advance = metrics.Advance(paragraph[i], index);
        if (index >= 0) {
          const Matrix place{metrics.scale, 0, 0, metrics.scale, x, baseline};
          const ConvertedShape* shape = cache.Glyph(*font, index);
          // Glyphs wholly outside the field are clipped away.
          if (shape != nullptr && x < b.xMax && x + advance > b.xMin &&
              baseline - ascent < b.yMax) {
            AddGlyph(layout, shape, place, color);
          }
        }
        x += advance;
      }
      baseline += lineHeight;
    }
    if (end >= text.size()) break;
    // \r\n is one break.
    pos = end + ((text[end] == U'\r' && end + 1 < text.size() && text[end + 1] == U'\n') ? 2 : 1);
  }
  return layout;
}

}  // namespace orrivel::swf
