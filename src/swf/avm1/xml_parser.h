// The XML reader behind XML.parseXML: a single pass over the text that
// reports elements, text and declarations to a sink, with the status codes
// scripts read from XML.status. It keeps its own stack of open elements (no
// recursion) and stops at a node count and a depth, so a hostile document
// costs bounded time and memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orrivel::swf::avm1 {

// XML.status values.
enum XmlStatus : int {
  kXmlOk = 0,
  kXmlCdataUnterminated = -2,
  kXmlDeclUnterminated = -3,
  kXmlDoctypeUnterminated = -4,
  kXmlCommentUnterminated = -5,
  kXmlMalformedElement = -6,
  kXmlOutOfMemory = -7,
  kXmlAttributeUnterminated = -8,
  kXmlMissingEndTag = -9,
  kXmlUnmatchedEndTag = -10,
};

using XmlAttributes = std::vector<std::pair<std::string, std::string>>;

class XmlSink {
 public:
  virtual ~XmlSink() = default;
  virtual void OpenElement(std::string name, XmlAttributes attributes) = 0;
  virtual void CloseElement() = 0;
  virtual void Text(std::string text) = 0;
  virtual void XmlDecl(std::string text) = 0;
  virtual void DocType(std::string text) = 0;
};

struct XmlParseLimits {
  std::size_t maxNodes = 1u << 16;
  std::size_t maxDepth = 1024;
};

// Parses `text`, reporting to `sink`; every OpenElement is matched by a
// CloseElement, even when the text ends early. Returns an XmlStatus.
int ParseXml(std::string_view text, bool ignoreWhite, XmlSink& sink, XmlParseLimits limits = {});

// Replaces &amp; &lt; &gt; &quot; &apos; and numeric references; anything
// else that starts with '&' is kept as written.
std::string XmlUnescape(std::string_view text);
// Escapes & < > " ' as entities, the way XML.toString writes text.
std::string XmlEscape(std::string_view text);

}  // namespace orrivel::swf::avm1
