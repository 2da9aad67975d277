// What the corpus cannot show: hostile XML and variables stay bounded, and
// scripts read files only from the movie's own folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "swf/avm1/loader.h"
#include "swf/avm1/url_vars.h"
#include "swf/avm1/xml_parser.h"
#include "swf/player/movie_loader.h"

namespace orrivel::swf::avm1 {
namespace {

// Counts what the parser reports and checks that elements nest.
class CountingSink : public XmlSink {
 public:
  void OpenElement(std::string, XmlAttributes) override {
    ++nodes;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
  }
  void CloseElement() override { --depth; }
  void Text(std::string) override { ++nodes; }
  void XmlDecl(std::string) override {}
  void DocType(std::string) override {}
  int nodes = 0, depth = 0, maxDepth = 0;
};

TEST(XmlParserTest, StatusOfBrokenDocuments) {
  const struct {
    const char* text;
    int status;
  } cases[] = {{"<a><b/></a>", kXmlOk},
               {"<a><![CDATA[x</a>", kXmlCdataUnterminated},
               {"<?xml version='1.0'", kXmlDeclUnterminated},
               {"<!DOCTYPE x", kXmlDoctypeUnterminated},
               {"<a><!-- x</a>", kXmlCommentUnterminated},
               {"<a =''/>", kXmlMalformedElement},
               {"<a b='x/>", kXmlAttributeUnterminated},
               {"<a><b>", kXmlMissingEndTag},
               {"<a></b>", kXmlUnmatchedEndTag},
               {"</a>", kXmlUnmatchedEndTag}};
  for (const auto& c : cases) {
    CountingSink sink;
    EXPECT_EQ(ParseXml(c.text, false, sink), c.status) << c.text;
    EXPECT_EQ(sink.depth, 0) << c.text;  // every opened element was closed
  }
}

TEST(XmlParserTest, HostileDocumentsStayBounded) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  CountingSink sink;
  EXPECT_EQ(ParseXml(deep, false, sink), kXmlOutOfMemory);
  EXPECT_LE(sink.maxDepth, 1024);
  EXPECT_EQ(sink.depth, 0);

  std::string wide;
  for (int i = 0; i < 100000; ++i) wide += "<b/>";
  CountingSink wideSink;
  EXPECT_EQ(ParseXml(wide, false, wideSink, XmlParseLimits{1000, 64}), kXmlOutOfMemory);
  EXPECT_LE(wideSink.nodes, 1000);
}

TEST(XmlParserTest, EntitiesAndEscapes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"A &amp; &#39; B", "A & ' B"},
               {"A &&amp; B", "A && B"},
               {"&thing; &#x41;&#66;", "&thing; AB"},
               {"&#0; &#xFFFFFFFFF; &", "&#0; &#xFFFFFFFFF; &"},
               {"&lt;&gt;&quot;&apos;", "<>\"'"}};
  for (const auto& c : cases) EXPECT_EQ(XmlUnescape(c.in), c.out) << c.in;
  EXPECT_EQ(XmlEscape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&apos;");
}

TEST(UrlVarsTest, DecodesAndEscapes) {
  const auto vars = DecodeUrlVars("a=1&b=x+y%21&&c&=v&d=%4");
  ASSERT_EQ(vars.size(), 5u);
  EXPECT_EQ(vars[1].second, "x y!");
  EXPECT_EQ(vars[2].first, "c");
  EXPECT_EQ(vars[3].first, "");
  EXPECT_EQ(vars[4].second, "%4");
  EXPECT_EQ(DecodeUrlVars(std::string(10000, '&') + "x=1&y=2", 1).size(), 1u);
  EXPECT_EQ(UrlEscape("a b_é"), "a%20b%5F%C3%A9");
  EXPECT_EQ(UrlUnescape("a+b%20%zz"), "a+b %zz");
  EXPECT_EQ(DecodeLoadedText(std::string_view("\xFF\xFE"
                                              "A\0\xE9\0",
                                              6),
                             false),
            "A\xC3\xA9");
  EXPECT_EQ(DecodeLoadedText("\x80", true), "\xE2\x82\xAC");
}

// Damaged UTF-8 still yields well-formed text, decoded as the player does.
TEST(UrlVarsTest, DecodesDamagedUtf8) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"\xC4\xD6", "\xC5\x96"},                           // continuation bits added in unchecked
      {"\xDC\x20-", "\xDA\xA0-"},                         // an ASCII byte is swallowed
      {"\x95\xBC", "\xC2\x95\xC2\xBC"},                   // stray continuation bytes stand alone
      {"ab\xE7\x89", "ab"},                               // a cut-off sequence is dropped
      {std::string_view("\xC0\x00", 2), "\xEF\xBE\x80"},  // underflow wraps to 16 bits
      {"\xF7\xBF\xBF\xBF", "\xEF\xBF\xBD"},               // past the last code point
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(DecodeLoadedText(in, false), want) << in;
}

// SWF 5 text is bytes: well-formed UTF-8 stays, every other byte is read
// in the Windows Western code page.
TEST(UrlVarsTest, Swf5BytesAsText) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"test\xC5test", "test\xC3\x85test"},  // a lead byte without its continuation
      {"\xC3\xB6", "\xC3\xB6"},              // UTF-8 already
      {"\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},  // the euro sign, and a cut-off lead byte
      {"\xF8x", "\xC3\xB8x"},                // never a lead byte
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(FromUtf8OrCp1252(in), want) << in;
}

TEST(FolderReaderTest, ReadsOnlyTheMovieFolder) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / "orrivel_loader_test";
  fs::remove_all(root);
  fs::create_directories(root / "movie" / "sub");
  std::ofstream(root / "secret.txt") << "secret";
  std::ofstream(root / "movie" / "sub" / "vars.txt") << "a=1";
  std::ofstream(root / "movie" / "big.txt") << std::string(kMaxLoadBytes + 1, 'x');
  std::error_code ec;
  fs::create_symlink(root / "secret.txt", root / "movie" / "link.txt", ec);

  std::vector<std::string> refused;
  const auto read =
      FolderReader(root / "movie", [&](const std::string& s) { refused.push_back(s); });
  std::string out;
  EXPECT_TRUE(read("sub/vars.txt", out));
  EXPECT_EQ(out, "a=1");
  for (const char* url :
       {"../secret.txt", "sub/../../secret.txt", "/etc/passwd", "http://example.com/x",
        "file:///etc/passwd", "C:\\x.txt", "link.txt", "big.txt"}) {
    EXPECT_FALSE(read(url, out)) << url;
  }
  EXPECT_FALSE(read("missing.txt", out));
  EXPECT_GE(refused.size(), 7u);
  fs::remove_all(root);
}

}  // namespace
}  // namespace orrivel::swf::avm1
