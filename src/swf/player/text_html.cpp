// The HTML subset of text fields: read into styled runs the way the player
// reads htmlText, and written back in the player's own form (a TEXTFORMAT
// block when the paragraph has spacing, then P, FONT, A, B, I and U).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "swf/player/edit_text.h"

namespace orrivel::swf {

namespace {

std::u32string Lower(std::u32string_view s) {
  std::u32string out(s);
  for (char32_t& c : out) {
    if (c >= U'A' && c <= U'Z') c += 32;
  }
  return out;
}

std::u32string Widen(std::string_view s) { return DecodeText(s, true); }

bool IsSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r'; }

struct Tag {
  std::u32string name;  // lower case; "/p" for a closing tag
  std::vector<std::pair<std::u32string, std::u32string>> attributes;  // names lower case
  bool malformed = false;  // an attribute value without quotes ends the text
  const std::u32string* Find(std::u32string_view n) const {
    for (const auto& [k, v] : attributes) {
      if (k == n) return &v;
    }
    return nullptr;
  }
};

Tag ParseTag(std::u32string_view body) {
  Tag tag;
  size_t i = 0;
  while (i < body.size() && !IsSpace(body[i]) && body[i] != U'/') ++i;
  if (i == 0 && !body.empty() && body[0] == U'/') {
    i = 1;
    while (i < body.size() && !IsSpace(body[i])) ++i;
  }
  tag.name = Lower(body.substr(0, i));
  while (i < body.size()) {
    while (i < body.size() && (IsSpace(body[i]) || body[i] == U'/')) ++i;
    const size_t nameStart = i;
    while (i < body.size() && body[i] != U'=' && !IsSpace(body[i])) ++i;
    std::u32string name = Lower(body.substr(nameStart, i - nameStart));
    while (i < body.size() && IsSpace(body[i])) ++i;
    std::u32string value;
    if (i < body.size() && body[i] == U'=') {
      ++i;
      while (i < body.size() && IsSpace(body[i])) ++i;
      if (i < body.size() && (body[i] == U'"' || body[i] == U'\'')) {
        const char32_t quote = body[i++];
        const size_t end = body.find(quote, i);
        const size_t stop = end == std::u32string_view::npos ? body.size() : end;
        value = body.substr(i, stop - i);
        i = stop + 1;
      } else {
        tag.malformed = true;
        return tag;
      }
    }
    if (!name.empty()) tag.attributes.emplace_back(std::move(name), std::move(value));
  }
  return tag;
}

std::optional<double> Number(const std::u32string& v) {
  std::string s;
  for (char32_t c : v) s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  char* end = nullptr;
  const double n = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(n)) return std::nullopt;
  return n;
}

// "#rrggbb": blanks after the '#' are skipped, and of a longer run of hex
// digits the last six count; no digit at all is no colour.
std::optional<uint32_t> Color(const std::u32string& v) {
  if (v.empty() || v[0] != U'#') return std::nullopt;
  size_t i = 1;
  while (i < v.size() && IsSpace(v[i])) ++i;
  uint32_t c = 0;
  size_t digits = 0;
  for (; i < v.size(); ++i, ++digits) {
    const char32_t d = v[i];
    const int x = d >= U'0' && d <= U'9'   ? int(d - U'0')
                  : d >= U'a' && d <= U'f' ? int(d - U'a' + 10)
                  : d >= U'A' && d <= U'F' ? int(d - U'A' + 10)
                                           : -1;
    if (x < 0) break;
    c = ((c << 4) | static_cast<uint32_t>(x)) & 0xFFFFFF;
  }
  if (digits == 0) return std::nullopt;
  return c;
}

std::string Narrow(const std::u32string& s) { return EncodeText(s, true); }

char32_t Entity(std::u32string_view name) {
  static const std::pair<std::u32string_view, char32_t> kNamed[] = {
      {U"lt", U'<'},   {U"gt", U'>'},    {U"amp", U'&'},
      {U"quot", U'"'}, {U"apos", U'\''}, {U"nbsp", 0xA0}};
  for (const auto& [n, c] : kNamed) {
    if (n == name) return c;
  }
  if (name.size() > 1 && name[0] == U'#') {
    const bool hex = name[1] == U'x' || name[1] == U'X';
    uint32_t v = 0;
    for (size_t i = hex ? 2 : 1; i < name.size(); ++i) {
      const char32_t d = name[i];
      const int x = d >= U'0' && d <= U'9'          ? int(d - U'0')
                    : hex && d >= U'a' && d <= U'f' ? int(d - U'a' + 10)
                    : hex && d >= U'A' && d <= U'F' ? int(d - U'A' + 10)
                                                    : -1;
      if (x < 0 || v > 0x10FFFF) return 0;
      v = v * (hex ? 16 : 10) + static_cast<uint32_t>(x);
    }
    return v > 0 && v <= 0x10FFFF ? v : 0;
  }
  return 0;
}

const char* AlignName(TextAlign a) {
  switch (a) {
    case TextAlign::Right:
      return "RIGHT";
    case TextAlign::Center:
      return "CENTER";
    case TextAlign::Justify:
      return "JUSTIFY";
    default:
      return "LEFT";
  }
}

std::string Num(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string Hex(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
  return buf;
}

void Escape(std::u32string_view text, std::u32string& out) {
  for (char32_t c : text) {
    if (c == U'<') {
      out += U"&lt;";
    } else if (c == U'>') {
      out += U"&gt;";
    } else if (c == U'&') {
      out += U"&amp;";
    } else if (c == U'"') {
      out += U"&quot;";
    } else if (c == U'\'') {
      out += U"&apos;";
    } else {
      out.push_back(c);
    }
  }
}

std::string FontAttributes(const TextStyle& s, const TextStyle* base) {
  std::string out;
  if (!base || s.font != base->font) out += " FACE=\"" + s.font.value_or("") + "\"";
  if (!base || s.size != base->size) out += " SIZE=\"" + Num(s.size.value_or(12)) + "\"";
  if (!base || s.color != base->color) out += " COLOR=\"" + Hex(s.color.value_or(0)) + "\"";
  if (!base || s.letterSpacing != base->letterSpacing)
    out += " LETTERSPACING=\"" + Num(s.letterSpacing.value_or(0)) + "\"";
  if (!base || s.kerning != base->kerning)
    out += std::string(" KERNING=\"") + (s.kerning.value_or(false) ? "1" : "0") + "\"";
  return out;
}

// One paragraph's runs: pieces of runs between line breaks.
struct Piece {
  std::u32string text;
  const TextStyle* style;
};

// Pieces of one paragraph differ only in their characters' format: its
// paragraph format (alignment, margins, bullet) is the first one's.
bool SameCharacters(const TextStyle& a, const TextStyle& b) {
  return a.font == b.font && a.size == b.size && a.color == b.color && a.url == b.url &&
         a.target == b.target && a.bold == b.bold && a.italic == b.italic &&
         a.underline == b.underline && a.kerning == b.kerning && a.letterSpacing == b.letterSpacing;
}

void AddPiece(std::vector<Piece>& pieces, std::u32string_view text, const TextStyle* style) {
  if (!pieces.empty() && SameCharacters(*pieces.back().style, *style)) {
    pieces.back().text += text;
  } else {
    pieces.push_back({std::u32string(text), style});
  }
}

void WriteParagraph(const std::vector<Piece>& pieces, const TextStyle& base, std::u32string& out) {
  std::string block;
  const auto attr = [&](const char* name, const std::optional<double>& v) {
    if (v && *v != 0) block += std::string(" ") + name + "=\"" + Num(*v) + "\"";
  };
  attr("LEFTMARGIN", base.leftMargin);
  attr("RIGHTMARGIN", base.rightMargin);
  attr("INDENT", base.indent);
  attr("BLOCKINDENT", base.blockIndent);
  attr("LEADING", base.leading);
  if (base.tabStops && !base.tabStops->empty()) {
    block += " TABSTOPS=\"";
    for (size_t i = 0; i < base.tabStops->size(); ++i)
      block += (i ? "," : "") + Num((*base.tabStops)[i]);
    block += "\"";
  }
  std::string open;
  if (!block.empty()) open += "<TEXTFORMAT" + block + ">";
  const bool bullet = base.bullet.value_or(false);
  open +=
      bullet ? "<LI>"
             : std::string("<P ALIGN=\"") + AlignName(base.align.value_or(TextAlign::Left)) + "\">";
  open += "<FONT" + FontAttributes(base, nullptr) + ">";
  out += Widen(open);
  // Font changes nest: each opens inside the last with what differs from
  // it, and going back to the paragraph's own font closes them all.
  std::vector<const TextStyle*> fonts = {&base};
  const auto closeFonts = [&] {
    for (; fonts.size() > 1; fonts.pop_back()) out += U"</FONT>";
  };
  for (const Piece& p : pieces) {
    const TextStyle& s = *p.style;
    if (FontAttributes(s, &base).empty()) {
      closeFonts();
    } else if (const std::string font = FontAttributes(s, fonts.back()); !font.empty()) {
      out += Widen("<FONT" + font + ">");
      fonts.push_back(&s);
    }
    std::string before, after;
    if (s.url && !s.url->empty()) {
      before += "<A HREF=\"" + *s.url + "\" TARGET=\"" + s.target.value_or("") + "\">";
      after = "</A>" + after;
    }
    if (s.bold.value_or(false)) before += "<B>", after = "</B>" + after;
    if (s.italic.value_or(false)) before += "<I>", after = "</I>" + after;
    if (s.underline.value_or(false)) before += "<U>", after = "</U>" + after;
    out += Widen(before);
    Escape(p.text, out);
    out += Widen(after);
  }
  closeFonts();
  std::string close = "</FONT>";
  close += bullet ? "</LI>" : "</P>";
  if (!block.empty()) close += "</TEXTFORMAT>";
  out += Widen(close);
}

}  // namespace

std::vector<TextRun> ParseHtml(std::u32string_view html, const TextStyle& base,
                               const HtmlReading& how) {
  // SWF 6 breaks paragraphs and lines in single-line fields too.
  const bool multiline = how.multiline || how.version < 7;
  const bool condenseWhite = how.condenseWhite;
  const size_t maxLength = how.maxLength;
  const HtmlStyles* styles = how.styles;
  std::vector<TextRun> runs;
  std::vector<std::pair<std::u32string, TextStyle>> stack;  // open tags and the style inside
  std::vector<size_t> openedAt;  // the length of the text when each opened
  // The last <font> closed with nothing in it: the format every later </p>
  // ends its paragraph in.
  std::optional<TextStyle> emptyFont;
  TextStyle style = base;
  size_t length = 0;
  std::optional<TextStyle> lastOpened;  // since the last character
  bool inParagraph = false;
  bool lastOpenedIsP = false;
  const auto emit = [&](char32_t c) {
    if (c != U'\r') lastOpened.reset();
    if (length >= maxLength) return;
    if (runs.empty() || !(runs.back().style == style)) runs.push_back({U"", style});
    runs.back().text.push_back(c);
    ++length;
  };
  const auto lastChar = [&]() -> char32_t {
    return runs.empty() || runs.back().text.empty() ? 0 : runs.back().text.back();
  };
  for (size_t i = 0; i < html.size();) {
    const char32_t c = html[i];
    if (c == U'<') {
      const size_t end = html.find(U'>', i);
      if (end == std::u32string_view::npos) break;
      const Tag tag = ParseTag(html.substr(i + 1, end - i - 1));
      if (tag.malformed) break;
      i = end + 1;
      if (tag.name.empty()) continue;
      if (tag.name[0] == U'/') {
        const std::u32string name = tag.name.substr(1);
        const bool paragraph = name == U"p" || name == U"li";
        TextStyle closed = style;
        bool closedEmpty = false;
        // A character tag closes only the innermost element ("<b>a<i>b</b>c"
        // keeps c bold); paragraphs close through what is left open in them.
        for (size_t k = stack.size(); k-- > 0;) {
          if (stack[k].first == name) {
            closed = stack[k].second;
            closedEmpty = openedAt[k] == length;
            style = k == 0 ? base : stack[k - 1].second;
            stack.resize(k);
            openedAt.resize(k);
            break;
          }
          if (!paragraph) break;
        }
        if (name == U"font" && closedEmpty) emptyFont = closed;
        // Nested <p> make one paragraph: the first </p> ends it.
        if (name == U"p" && !std::exchange(inParagraph, false)) continue;
        // Paragraphs break lines only in a multiline field. The break ends
        // a paragraph in the format of its text (an item's in its own);
        // ending an empty one, in that of the last tag opened in it, else
        // of the element it closes.
        if (multiline && paragraph) {
          const TextStyle after = style;
          const bool empty = runs.empty() || runs.back().text.empty() || lastChar() == U'\r';
          if (name == U"p" && emptyFont) {
            style = *emptyFont;
          } else if (name == U"li") {
            style = closed;  // an item ends in its own format
          } else if (empty && lastOpened && !lastOpenedIsP) {
            style = *lastOpened;
          } else if (!empty && name == U"p") {
            style = runs.back().style;
          } else if (empty && name == U"p") {
            // An empty paragraph with nothing opened in it keeps only its
            // own paragraph format; its characters are the field's.
            style = base;
            style.align = closed.align;
            style.leftMargin = closed.leftMargin, style.rightMargin = closed.rightMargin;
            style.indent = closed.indent, style.blockIndent = closed.blockIndent;
            style.leading = closed.leading, style.tabStops = closed.tabStops;
            style.bullet = closed.bullet;
          } else {
            style = closed;
          }
          emit(U'\r');
          lastOpened.reset();
          style = after;
        }
        continue;
      }
      // Line breaks exist only in a multiline field.
      if (tag.name == U"br" || tag.name == U"sbr") {
        if (multiline) emit(U'\r');
        continue;
      }
      TextStyle inner = style;
      if (styles) (*styles)(tag.name, tag.Find(U"class"), inner);
      if (tag.name == U"b") inner.bold = true;
      if (tag.name == U"i") inner.italic = true;
      if (tag.name == U"u") inner.underline = true;
      if (tag.name == U"li") {
        inner.bullet = true;
        if (multiline && length > 0 && lastChar() != U'\r') emit(U'\r');
      }
      if (tag.name == U"p") {
        inParagraph = true;
        if (const auto* a = tag.Find(U"align")) {
          const std::u32string v = Lower(*a);
          if (v == U"left") inner.align = TextAlign::Left;
          if (v == U"right") inner.align = TextAlign::Right;
          if (v == U"center") inner.align = TextAlign::Center;
          if (v == U"justify") inner.align = TextAlign::Justify;
        }
      }
      if (tag.name == U"a") {
        if (const auto* h = tag.Find(U"href")) inner.url = Narrow(*h);
        if (const auto* t = tag.Find(U"target")) inner.target = Narrow(*t);
      }
      if (tag.name == U"font") {
        if (const auto* f = tag.Find(U"face")) inner.font = Narrow(*f);
        if (const auto* s = tag.Find(U"size")) {
          if (const auto n = Number(*s)) {
            const bool relative = !s->empty() && (s->front() == U'+' || s->front() == U'-');
            // Sizes are whole points.
            const double size =
                relative ? style.size.value_or(12) + std::trunc(*n) : std::trunc(*n);
            inner.size = std::clamp(size, 1.0, 127.0);
          }
        }
        if (const auto* col = tag.Find(U"color")) {
          if (const auto v = Color(*col)) inner.color = v;
        }
        // Letter spacing and kerning are read from SWF 8.
        if (const auto* l = tag.Find(U"letterspacing"); l && how.version >= 8) {
          if (const auto n = Number(*l)) inner.letterSpacing = *n;
        }
        if (const auto* k = tag.Find(U"kerning"); k && how.version >= 8) {
          if (const auto n = Number(*k)) inner.kerning = *n != 0;
        }
      }
      if (tag.name == U"textformat") {
        const auto take = [&](const char32_t* name, std::optional<double>& to) {
          if (const auto* v = tag.Find(name)) {
            if (const auto n = Number(*v)) to = *n;
          }
        };
        take(U"leftmargin", inner.leftMargin);
        take(U"rightmargin", inner.rightMargin);
        take(U"indent", inner.indent);
        take(U"blockindent", inner.blockIndent);
        take(U"leading", inner.leading);
        if (const auto* v = tag.Find(U"tabstops")) {
          std::vector<double> stops;
          for (size_t at = 0; at <= v->size();) {
            const size_t comma = std::min(v->find(U',', at), v->size());
            if (const auto n = Number(v->substr(at, comma - at))) stops.push_back(std::trunc(*n));
            at = comma + 1;
          }
          inner.tabStops = std::move(stops);
        }
      }
      stack.emplace_back(tag.name, inner);
      openedAt.push_back(length);
      style = inner;
      lastOpened = inner;
      lastOpenedIsP = tag.name == U"p";
      continue;
    }
    if (c == U'&') {
      const size_t semi = html.find(U';', i);
      if (semi != std::u32string_view::npos && semi - i <= 10) {
        if (const char32_t e = Entity(html.substr(i + 1, semi - i - 1))) {
          emit(e);
          i = semi + 1;
          continue;
        }
      }
    }
    // Before SWF 8 text made only of blanks between two tags is dropped
    // ("<b>a</b>\n" is "a").
    if (how.version < 8 && IsSpace(c) && (i == 0 || html[i - 1] == U'>')) {
      size_t end = i;
      while (end < html.size() && IsSpace(html[end])) ++end;
      if (end == html.size() || html[end] == U'<') {
        i = end;
        continue;
      }
    }
    // Condensed blanks become one space; from SWF 8 none at the start, and
    // none after a space ending the text before a tag (older players
    // condense each stretch of text between tags on its own).
    if (condenseWhite && IsSpace(c)) {
      while (i < html.size() && IsSpace(html[i])) ++i;
      const bool afterSpace = how.version >= 8 && lastChar() == U' ';
      if ((length > 0 || how.version < 8) && !afterSpace && lastChar() != U'\r') emit(U' ');
      continue;
    }
    if (c == U'\r' || c == U'\n') {
      emit(U'\r');
      i += c == U'\r' && i + 1 < html.size() && html[i + 1] == U'\n' ? 2 : 1;
      continue;
    }
    emit(c);
    ++i;
  }
  return runs;
}

std::u32string WriteHtml(const std::vector<TextRun>& runs) {
  std::u32string out;
  std::vector<Piece> pieces;
  const TextStyle* base = runs.empty() ? nullptr : &runs.front().style;
  bool open = false;
  for (const TextRun& r : runs) {
    std::u32string_view text = r.text;
    while (!text.empty()) {
      if (!open) {
        base = &r.style;
        open = true;
      }
      const size_t cut = text.find(U'\r');
      if (cut != 0) AddPiece(pieces, text.substr(0, cut), &r.style);
      if (cut == std::u32string_view::npos) break;
      // The break's own format shows as empty tags where it differs.
      AddPiece(pieces, {}, &r.style);
      WriteParagraph(pieces, *base, out);
      pieces.clear();
      open = false;
      text.remove_prefix(cut + 1);
    }
  }
  if (open || out.empty()) {
    if (base) WriteParagraph(pieces, *base, out);
  }
  return out;
}

std::string LayoutHtml(const std::vector<TextRun>& runs, bool utf8) {
  std::u32string out;
  bool open = false;
  const auto openParagraph = [&](const TextStyle& s) {
    std::string align = AlignName(s.align.value_or(TextAlign::Left));
    for (char& ch : align) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string tabs;
    if (s.tabStops && !s.tabStops->empty()) {
      tabs = " tabstops=\"";
      for (size_t i = 0; i < s.tabStops->size(); ++i)
        tabs += (i ? "," : "") + Num((*s.tabStops)[i]);
      tabs += "\"";
    }
    out += Widen("<p align=\"" + align + "\"" + tabs + ">");
    open = true;
  };
  for (const TextRun& r : runs) {
    const TextStyle& s = r.style;
    std::string before = "<font face=\"" + s.font.value_or("") + "\" size=\"" +
                         Num(std::round(std::clamp(s.size.value_or(12), 0.0, 1000.0))) +
                         "\" color=\"" + Hex(s.color.value_or(0)) + "\"";
    if (const double spacing = s.letterSpacing.value_or(0); spacing != 0 && std::isfinite(spacing))
      before += " letterspacing=\"" + Num(std::clamp(spacing, -1000.0, 1000.0)) + "\"";
    before += ">";
    std::string after = "</font>";
    if (s.bold.value_or(false)) before += "<b>", after = "</b>" + after;
    if (s.italic.value_or(false)) before += "<i>", after = "</i>" + after;
    if (s.underline.value_or(false)) before += "<u>", after = "</u>" + after;
    std::u32string_view text = r.text;
    while (!text.empty()) {
      if (!open) openParagraph(s);
      const size_t cut = text.find(U'\r');
      if (cut != 0) {
        out += Widen(before);
        std::u32string escaped;
        Escape(text.substr(0, cut), escaped);
        out += escaped;
        out += Widen(after);
      }
      if (cut == std::u32string_view::npos) break;
      out += U"</p>";
      open = false;
      text.remove_prefix(cut + 1);
    }
  }
  if (open) out += U"</p>";
  // A text that ends with a break shows an empty last line.
  if (!runs.empty() && !runs.back().text.empty() && runs.back().text.back() == U'\r')
    out += U"<p></p>";
  return EncodeText(out, utf8);
}

}  // namespace orrivel::swf
