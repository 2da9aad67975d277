// Feeds arbitrary text to the readers of loaded data: the XML parser (with
// and without ignoreWhite, and under small limits), its entity decoding, and
// URL-encoded variables with the text decodings of loaded files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "swf/avm1/url_vars.h"
#include "swf/avm1/xml_parser.h"

namespace {

using namespace orrivel::swf::avm1;

// Checks the parser's promise: every opened element is closed.
class CheckingSink : public XmlSink {
 public:
  void OpenElement(std::string, XmlAttributes) override { ++depth; }
  void CloseElement() override {
    if (--depth < 0) __builtin_trap();
  }
  void Text(std::string) override {}
  void XmlDecl(std::string) override {}
  void DocType(std::string) override {}
  int depth = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  CheckingSink sink;
  const XmlParseLimits limits{static_cast<std::size_t>(data[0]) + 1, (data[0] & 15u) + 1};
  const int status = ParseXml(text, data[0] & 1, sink, data[0] & 2 ? limits : XmlParseLimits{});
  if (sink.depth != 0 || status > 0 || status < kXmlUnmatchedEndTag) __builtin_trap();
  const std::string escaped = XmlEscape(XmlUnescape(text));
  if (XmlUnescape(escaped).size() > text.size()) __builtin_trap();  // decoding never grows
  for (const auto& [name, value] : DecodeUrlVars(text, 64)) {
    if (UrlUnescape(UrlEscape(name)) != name) __builtin_trap();
    (void)value;
  }
  (void)DecodeLoadedText(text, data[0] & 4);
  return 0;
}
