// The FLV container and its script data: files written here byte by byte,
// damaged in the ways real and hostile files are.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "swf/video/amf0.h"
#include "swf/video/flv_reader.h"

namespace orrivel::swf::video {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Be(uint64_t v, int n) {
  Bytes out;
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return out;
}
const Bytes kHeader = {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
Bytes Tag(uint8_t type, uint32_t time, const Bytes& body) {
  return Cat({{type},
              Be(body.size(), 3),
              Be(time & 0xFFFFFF, 3),
              {uint8_t(time >> 24)},
              Be(0, 3),
              body,
              Be(11 + body.size(), 4)});
}

// AMF0 values written compactly.
Bytes Num(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  return Cat({{0}, Be(bits, 8)});
}
Bytes Str(const std::string& s) { return Cat({{2}, Be(s.size(), 2), Bytes(s.begin(), s.end())}); }
Bytes Key(const std::string& s) { return Cat({Be(s.size(), 2), Bytes(s.begin(), s.end())}); }
const Bytes kEnd = {0, 0, 9};

std::string Describe(const AmfValue& v) {
  using T = AmfValue::Type;
  switch (v.type) {
    case T::Number:
      return std::to_string(static_cast<int64_t>(v.number));
    case T::Boolean:
      return v.boolean ? "true" : "false";
    case T::String:
      return "'" + v.string + "'";
    case T::Null:
      return "null";
    case T::Undefined:
      return "undefined";
    case T::Date:
      return "date(" + std::to_string(static_cast<int64_t>(v.number)) + ")";
    case T::StrictArray: {
      std::string s = "[";
      for (const auto& e : v.elements) s += Describe(e) + (&e == &v.elements.back() ? "" : ",");
      return s + "]";
    }
    default: {
      std::string s = v.type == T::EcmaArray ? "ecma{" : "{";
      for (const auto& [k, p] : v.properties)
        s += k + ":" + Describe(p) + (&p == &v.properties.back().value ? "" : ",");
      return s + "}";
    }
  }
}

TEST(FlvReaderTest, TagsOfWholeAndDamagedFiles) {
  const Bytes three = Cat(
      {kHeader, Tag(18, 0, Str("x")), Tag(9, 0x01000010, {0x12, 0}), Tag(8, 0xFF000000, {0x2F})});
  const struct {
    const char* name;
    Bytes file;
    std::string tags;  // type@time/size, in order
    std::string error;
  } cases[] = {
      {"three tags, extended time byte, negative time", three, "18@0/4 9@16777232/2 8@-16777216/1",
       ""},
      {"not FLV", {'F', 'W', 'S', 1, 5, 0, 0, 0, 9}, "", "not an FLV file"},
      {"header size beyond the file",
       Cat({Bytes(kHeader.begin(), kHeader.begin() + 5), Be(999, 4)}), "",
       "FLV header states a size of 999"},
      {"last tag runs past the end", Bytes(three.begin(), three.end() - 5), "18@0/4 9@16777232/2",
       "tag at byte 49 runs past the end of the file"},
      {"tag header cut short", Cat({kHeader, Tag(9, 5, {0x12, 0}), {9, 0, 0}}), "9@5/2",
       "tag header cut short at byte 30"},
      {"unknown and encrypted tags are passed over",
       Cat({kHeader, Tag(15, 1, {1}), Tag(0x29, 2, {1}), Tag(9, 3, {0x12})}), "9@3/1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FlvFile f = ReadFlv(c.file);
    std::string tags;
    for (const FlvTag& t : f.tags) {
      if (!tags.empty()) tags += " ";
      tags += std::to_string(int(t.type)) + "@" + std::to_string(t.timeMs) + "/" +
              std::to_string(t.size);
      ASSERT_LE(t.offset + t.size, c.file.size());
    }
    EXPECT_EQ(tags, c.tags);
    EXPECT_EQ(f.error, c.error);
  }
  EXPECT_EQ(ReadFlv(three, 2).tags.size(), 2u);  // the tag cap
  EXPECT_EQ(ReadFlv(three, 2).error, "more than 2 tags");
  const FlvVideoHeader v = ReadFlvVideoHeader(Bytes{0x12});
  EXPECT_EQ(v.frameType, 1);
  EXPECT_EQ(v.codec, 2);
  const FlvAudioHeader a = ReadFlvAudioHeader(Bytes{0x2F});
  EXPECT_EQ(a.format, 2);
  EXPECT_EQ(a.rate, 44100);
  EXPECT_TRUE(a.sixteenBit && a.stereo);
}

TEST(FlvReaderTest, ScriptDataValuesAndLimits) {
  Bytes deep = Str("n");
  for (int i = 0; i < 40; ++i) deep = Cat({deep, {10}, Be(1, 4)});  // arrays in arrays
  deep.push_back(5);
  Bytes wide = Cat({Str("n"), {10}, Be(70000, 4)});
  wide.resize(wide.size() + 70000, 5);
  const struct {
    const char* name;
    Bytes data;
    std::string parsed;  // name(args) or the error
  } cases[] = {
      {"metadata",
       Cat({Str("onMetaData"),
            {8},
            Be(3, 4),
            Key("duration"),
            Num(2.5),
            Key("stereo"),
            {1, 1},
            Key("codec"),
            Str("flv1"),
            kEnd}),
       "onMetaData(ecma{duration:2,stereo:true,codec:'flv1'})"},
      {"every other type",
       Cat({Str("onCuePoint"),
            {3},
            Key("t"),
            {10},
            Be(2, 4),
            {5},
            {6},
            Key("d"),
            {11},
            Be(0x4059000000000000, 8),
            Be(0, 2),
            Key("s"),
            {12},
            Be(2, 4),
            {'h', 'i'},
            kEnd,
            {16},
            Be(1, 2),
            {'C'},
            kEnd}),
       "onCuePoint({t:[null,undefined],d:date(100),s:'hi'},{})"},
      {"ECMA array ended by the data", Cat({Str("a"), {8}, Be(9, 4), Key("x"), Num(1), Be(0, 2)}),
       "a(ecma{x:1})"},
      {"number cut short", Cat({Str("a"), {0, 1, 2}}), "script data ends early at byte 5"},
      {"nested too deeply", deep, "script data nests too deeply at byte 169"},
      {"too many values", wide, "script data holds too many values at byte 65543"},
      {"strict array longer than its data", Cat({Str("a"), {10}, Be(0xFFFFFFFF, 4)}),
       "strict array longer than its data at byte 9"},
      {"unknown type", Cat({Str("a"), {0x11}}), "unknown value type in script data at byte 4"},
      {"name is no string", Num(1), "script data does not start with a name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AmfScript script;
    std::string error;
    if (ReadAmfScript(c.data, script, error)) {
      std::string s = script.name + "(";
      for (const auto& v : script.args) s += Describe(v) + (&v == &script.args.back() ? "" : ",");
      EXPECT_EQ(s + ")", c.parsed);
    } else {
      EXPECT_EQ(error, c.parsed);
      EXPECT_TRUE(script.args.empty());
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::video
