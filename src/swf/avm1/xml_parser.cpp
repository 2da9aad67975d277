#include "swf/avm1/xml_parser.h"

#include <algorithm>
#include <cstdint>

#include "base/utf8.h"

namespace orrivel::swf::avm1 {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool AllSpace(std::string_view s) {
  for (char c : s) {
    if (!IsSpace(c)) return false;
  }
  return true;
}

// The code point of "#65" or "#x41"; 0 when it is not one. The number is
// read as far as its digits go and the rest up to ';' is ignored ("#76e9"
// is 'L'), but it must start with a digit.
uint32_t NumericReference(std::string_view ref) {
  if (ref.size() < 2 || ref[0] != '#') return 0;
  const bool hex = ref[1] == 'x' || ref[1] == 'X';
  const std::string_view digits = ref.substr(hex ? 2 : 1);
  uint32_t cp = 0;
  std::size_t used = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) break;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
    if (cp > 0x10FFFF) return 0;
    ++used;
  }
  return used ? cp : 0;
}

class Parser {
 public:
  Parser(std::string_view text, bool ignoreWhite, XmlSink& sink, XmlParseLimits limits)
      : s_(text), ignoreWhite_(ignoreWhite), sink_(sink), limits_(limits) {}

  int Run() {
    int status = kXmlOk;
    while (pos_ < s_.size() && status == kXmlOk) {
      if (s_[pos_] != '<') {
        status = ReadText();
      } else if (Starts("<!--")) {
        status = Skip("-->", kXmlCommentUnterminated, nullptr);
      } else if (Starts("<![CDATA[")) {
        status = ReadCdata();
      } else if (Starts("<?")) {
        status = Declaration("?>", kXmlDeclUnterminated, true);
      } else if (Starts("<!")) {
        status = Declaration(">", kXmlDoctypeUnterminated, false);
      } else if (Starts("</")) {
        status = EndTag();
      } else {
        status = StartTag();
      }
    }
    if (status == kXmlOk && !open_.empty()) status = kXmlMissingEndTag;
    while (!open_.empty()) {
      open_.pop_back();
      sink_.CloseElement();
    }
    return status;
  }

 private:
  bool Starts(std::string_view prefix) const { return s_.substr(pos_, prefix.size()) == prefix; }

  bool Count() {
    if (++nodes_ > limits_.maxNodes) return false;
    return true;
  }

  int ReadText() {
    const std::size_t end = std::min(s_.find('<', pos_), s_.size());
    const std::string_view raw = s_.substr(pos_, end - pos_);
    pos_ = end;
    if (ignoreWhite_ && AllSpace(raw)) return kXmlOk;
    if (!Count()) return kXmlOutOfMemory;
    sink_.Text(XmlUnescape(raw));
    return kXmlOk;
  }

  int ReadCdata() {
    const std::size_t start = pos_ + 9;
    const std::size_t end = s_.find("]]>", start);
    if (end == std::string_view::npos) return kXmlCdataUnterminated;
    pos_ = end + 3;
    const std::string_view raw = s_.substr(start, end - start);
    if (ignoreWhite_ && AllSpace(raw)) return kXmlOk;
    if (!Count()) return kXmlOutOfMemory;
    sink_.Text(std::string(raw));
    return kXmlOk;
  }

  // Moves past `terminator`; the text skipped (with the opening) goes to `out`.
  int Skip(std::string_view terminator, int failure, std::string_view* out) {
    const std::size_t end = s_.find(terminator, pos_ + 2);
    if (end == std::string_view::npos) return failure;
    const std::size_t next = end + terminator.size();
    if (out) *out = s_.substr(pos_, next - pos_);
    pos_ = next;
    return kXmlOk;
  }

  int Declaration(std::string_view terminator, int failure, bool xmlDecl) {
    std::string_view text;
    const int status = Skip(terminator, failure, &text);
    if (status != kXmlOk) return status;
    if (xmlDecl) {
      sink_.XmlDecl(std::string(text));
    } else {
      sink_.DocType(std::string(text));
    }
    return kXmlOk;
  }

  std::string_view Name() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != '>' && s_[pos_] != '/' &&
           s_[pos_] != '=' && s_[pos_] != '<')
      ++pos_;
    return s_.substr(start, pos_ - start);
  }

  void Blanks() {
    while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
  }

  int EndTag() {
    pos_ += 2;
    const std::string_view name = Name();
    Blanks();
    if (pos_ >= s_.size() || s_[pos_] != '>') return kXmlMalformedElement;
    ++pos_;
    if (open_.empty() || open_.back() != name) return kXmlUnmatchedEndTag;
    open_.pop_back();
    sink_.CloseElement();
    return kXmlOk;
  }

  int StartTag() {
    ++pos_;
    const std::string_view name = Name();
    if (name.empty()) return kXmlMalformedElement;
    XmlAttributes attributes;
    for (;;) {
      Blanks();
      if (pos_ >= s_.size()) return kXmlMalformedElement;
      if (s_[pos_] == '>' || Starts("/>")) break;
      const std::string_view key = Name();
      if (key.empty()) return kXmlMalformedElement;
      Blanks();
      if (pos_ >= s_.size() || s_[pos_] != '=') return kXmlMalformedElement;
      ++pos_;
      Blanks();
      if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return kXmlMalformedElement;
      const char quote = s_[pos_++];
      const std::size_t end = s_.find(quote, pos_);
      if (end == std::string_view::npos) return kXmlAttributeUnterminated;
      std::string value = XmlUnescape(s_.substr(pos_, end - pos_));
      pos_ = end + 1;
      bool seen = false;
      for (const auto& [k, v] : attributes) seen = seen || k == key;
      if (!seen) attributes.emplace_back(std::string(key), std::move(value));
    }
    const bool empty = s_[pos_] == '/';
    pos_ += empty ? 2 : 1;
    if (!Count() || open_.size() >= limits_.maxDepth) return kXmlOutOfMemory;
    sink_.OpenElement(std::string(name), std::move(attributes));
    if (empty) {
      sink_.CloseElement();
    } else {
      open_.push_back(name);
    }
    return kXmlOk;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  bool ignoreWhite_;
  XmlSink& sink_;
  XmlParseLimits limits_;
  std::size_t nodes_ = 0;
  std::vector<std::string_view> open_;
};

}  // namespace

int ParseXml(std::string_view text, bool ignoreWhite, XmlSink& sink, XmlParseLimits limits) {
  return Parser(text, ignoreWhite, sink, limits).Run();
}

std::string XmlUnescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    // A reference is '&', up to 10 name characters, then ';'.
    std::size_t end = i + 1;
    while (end < text.size() && end - i <= 10 && text[end] != ';' && text[end] != '&') ++end;
    if (end >= text.size() || text[end] != ';') {
      out += '&';
      continue;
    }
    const std::string_view ref = text.substr(i + 1, end - i - 1);
    const char* named = ref == "amp"    ? "&"
                        : ref == "lt"   ? "<"
                        : ref == "gt"   ? ">"
                        : ref == "quot" ? "\""
                        : ref == "apos" ? "'"
                                        : nullptr;
    const uint32_t cp = named ? 0 : NumericReference(ref);
    if (named) {
      out += named;
    } else if (cp != 0) {
      AppendUtf8(out, cp);
    } else {
      out += '&';
      continue;
    }
    i = end;
  }
  return out;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace orrivel::swf::avm1
