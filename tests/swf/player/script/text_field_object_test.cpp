#include "swf/player/script/text_field_object.h"

#include <gtest/gtest.h>

#include "../movie_builder.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

// createTextField cuts position and size to whole pixels, toward zero.
TEST(TextFieldObjectTest, CreateTextFieldCutsToWholePixels) {
  const struct {
    double x, y, width, height;
    double readX, readY, readWidth, readHeight;
  } cases[] = {
      {10.7, 5.9, 100.5, 20.99, 10, 5, 100, 20},
      {-3.8, 0.2, 0.9, 7, -3, 0, 0, 7},
  };
  for (const auto& c : cases) {
    const Movie movie = swf::test::BaseMovie();
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    TextFieldObject* field =
        CreateTextField(vm, vm.RootClip(), "t", 1, c.x, c.y, c.width, c.height);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_x")), c.readX) << c.x;
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_y")), c.readY) << c.y;
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_width")), c.readWidth) << c.width;
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_height")), c.readHeight) << c.height;
  }
}

// A movie of one version with a field "t" made by a script.
struct FieldMovie {
  explicit FieldMovie(int version) {
    movie.header.version = static_cast<uint8_t>(version);
    runner = std::make_unique<MovieRunner>(movie);
    field = CreateTextField(vm(), vm().RootClip(), "t", 1, 0, 0, 100, 20);
  }
  Vm& vm() { return runner->Vm(); }
  std::string Read(Object* o, const char* name) { return vm().ToString(vm().Get(o, name)); }
  Movie movie = swf::test::BaseMovie();
  std::unique_ptr<MovieRunner> runner;
  TextFieldObject* field = nullptr;
};

int heard = 0;
Completion Hear(Vm&, const CallContext&, Args) {
  ++heard;
  return {};
}

// Fields are broadcasters from SWF 6: each lists itself, and onChanged
// reaches the field and its listeners through that list.
TEST(TextFieldObjectTest, FieldsBroadcastTheirChanges) {
  const struct {
    int version;
    bool removeSelf;
    const char* listeners;  // _listeners.length
    int calls;              // of the field's and the listener's onChanged
  } cases[] = {
      {5, false, "none", 1},  // no list: the field's own handler only
      {6, false, "2", 2},
      {8, true, "1", 1},  // off its own list, the field no longer hears itself
  };
  for (const auto& c : cases) {
    FieldMovie m(c.version);
    ASSERT_NE(m.field, nullptr);
    Vm& vm = m.vm();
    const Value list = vm.Get(m.field, "_listeners");
    Object* listener = vm.NewObject();
    vm.Method(listener, "onChanged", Hear);
    vm.Method(m.field, "onChanged", Hear);
    const Value args[] = {Value::Obj(listener)};
    vm.CallMethod(m.field, "addListener", args);
    if (c.removeSelf) {
      const Value self[] = {Value::Obj(m.field)};
      vm.CallMethod(m.field, "removeListener", self);
    }
    EXPECT_EQ(list.IsObject() ? m.Read(list.object, "length") : "none", c.listeners) << c.version;
    heard = 0;
    const Value field = Value::Obj(m.field);
    NotifyField(vm, m.field, "onChanged", Args(&field, 1));
    EXPECT_EQ(heard, c.calls) << c.version;
  }
}

// TextFormat's kerning and letterSpacing exist from SWF 8, on every format
// (new, a field's, the new-text one); before, a script may still set plain
// properties of those names, and a field ignores them.
TEST(TextFieldObjectTest, KerningAndLetterSpacingNeedFlash8) {
  for (const int version : {6, 7, 8}) {
    FieldMovie m(version);
    Vm& vm = m.vm();
    vm.Set(m.field, "text", Value::Str("ab"));
    Value made, field, fresh;
    const Value none[] = {Value{}};
    made = vm.Construct(vm.Get(vm.global, "TextFormat").object, {});
    vm.CallMethod(m.field, "getTextFormat", none, &field);
    vm.CallMethod(m.field, "getNewTextFormat", {}, &fresh);
    const bool flash8 = version >= 8;
    for (const Value& format : {made, field, fresh}) {
      ASSERT_TRUE(format.IsObject()) << version;
      EXPECT_EQ(vm.Get(format.object, "kerning").IsUndefined(), !flash8) << version;
      EXPECT_EQ(vm.Get(format.object, "letterSpacing").IsUndefined(), !flash8) << version;
    }
    // Spacing set through a format reaches the field only from SWF 8.
    vm.Set(made.object, "letterSpacing", Value::Num(3));
    const Value apply[] = {made};
    vm.CallMethod(m.field, "setTextFormat", apply);
    vm.CallMethod(m.field, "getTextFormat", none, &field);
    const Value spacing = vm.Get(field.object, "letterSpacing");
    EXPECT_EQ(spacing.IsUndefined() ? "none" : m.Read(field.object, "letterSpacing"),
              flash8 ? "3" : "none")
        << version;
    EXPECT_EQ(m.Read(made.object, "letterSpacing"), "3") << version;
  }
}

// type takes either name in any case and ignores anything else.
TEST(TextFieldObjectTest, TypeTakesEitherNameInAnyCase) {
  const struct {
    const char* set;
    const char* read;
  } steps[] = {{"input", "input"}, {"DYNAMIC", "dynamic"}, {"Input", "input"},
               {"other", "input"}, {"", "input"},          {"dynamic", "dynamic"}};
  FieldMovie m(8);
  ASSERT_NE(m.field, nullptr);
  for (const auto& s : steps) {
    m.vm().Set(m.field, "type", Value::Str(s.set));
    EXPECT_EQ(m.Read(m.field, "type"), s.read) << s.set;
  }
}

// A field keeps the filters a script gives it, as a clip does; a copy of
// the field starts without them.
TEST(TextFieldObjectTest, FiltersStayWithTheFieldNotItsCopy) {
  FieldMovie m(8);
  ASSERT_NE(m.field, nullptr);
  Vm& vm = m.vm();
  Object* filters = vm.Get(vm.Get(vm.global, "flash").object, "filters").object;
  ASSERT_NE(filters, nullptr);
  const Value shadow = vm.Construct(vm.Get(filters, "DropShadowFilter").object, {});
  vm.Set(m.field, "filters", Value::Obj(vm.NewArray({shadow})));
  TextFieldObject* copy = DuplicateTextField(vm, *m.field->Field(), "c", 2);
  ASSERT_NE(copy, nullptr);
  const struct {
    Object* field;
    const char* length;
  } cases[] = {{m.field, "1"}, {copy, "0"}};
  for (const auto& c : cases) {
    const Value list = vm.Get(c.field, "filters");
    ASSERT_TRUE(list.IsObject());
    EXPECT_EQ(m.Read(list.object, "length"), c.length);
  }
}

// A copy of a field a script made is a new field: no size, no text, the
// defaults again and visible; only its type carries over.
TEST(TextFieldObjectTest, CopyOfAScriptFieldStartsAfresh) {
  FieldMovie m(8);
  ASSERT_NE(m.field, nullptr);
  Vm& vm = m.vm();
  vm.Set(m.field, "border", Value::Bool(true));
  vm.Set(m.field, "type", Value::Str("input"));
  vm.Set(m.field, "_visible", Value::Bool(false));
  vm.Set(m.field, "text", Value::Str("abc"));
  TextFieldObject* copy = DuplicateTextField(vm, *m.field->Field(), "c", 2);
  ASSERT_NE(copy, nullptr);
  const struct {
    const char* name;
    const char* original;
    const char* copy;
  } cases[] = {{"_width", "100", "0"},     {"_height", "20", "0"},
               {"text", "abc", ""},        {"border", "true", "false"},
               {"type", "input", "input"}, {"_visible", "false", "true"}};
  for (const auto& c : cases) {
    EXPECT_EQ(m.Read(m.field, c.name), c.original) << c.name;
    EXPECT_EQ(m.Read(copy, c.name), c.copy) << c.name;
  }
}

// Auto-sizing moves the field's box, not its placement: _x follows the box
// at once (after _width too), and a copy starts at the placement.
TEST(TextFieldObjectTest, AutoSizeMovesTheBoxNotThePlacement) {
  const struct {
    const char* autoSize;
    double width;  // set after auto-sizing; 0: none
    const char* x;
  } cases[] = {{"left", 0, "-4"}, {"right", 0, "92"}, {"center", 0, "44"}, {"right", 19, "107"}};
  for (const auto& c : cases) {
    FieldMovie m(8);
    ASSERT_NE(m.field, nullptr);
    Vm& vm = m.vm();
    vm.Set(m.field, "_x", Value::Num(-4));
    vm.Set(m.field, "text", Value::Str(""));
    vm.Set(m.field, "autoSize", Value::Str(c.autoSize));
    if (c.width) vm.Set(m.field, "_width", Value::Num(c.width));
    EXPECT_EQ(m.Read(m.field, "_x"), c.x) << c.autoSize << " " << c.width;
    TextFieldObject* copy = DuplicateTextField(vm, *m.field->Field(), "c", 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(m.Read(copy, "_x"), "-4") << c.autoSize << " " << c.width;
  }
}

// Auto-sizing fits the text once the field has been given some, even an
// empty one; a field no text was given keeps the size it was made with.
TEST(TextFieldObjectTest, AutoSizeWaitsForText) {
  const struct {
    const char* text;  // nullptr: none given
    const char* width;
    const char* height;
  } cases[] = {{nullptr, "100", "20"}, {"", "4", "4"}};
  for (const auto& c : cases) {
    FieldMovie m(8);
    ASSERT_NE(m.field, nullptr);
    m.vm().Set(m.field, "autoSize", Value::Str("left"));
    if (c.text) m.vm().Set(m.field, "text", Value::Str(c.text));
    m.vm().Set(m.field, "autoSize", Value::Str("none"));
    EXPECT_EQ(m.Read(m.field, "_width"), c.width) << (c.text ? "given" : "none");
    EXPECT_EQ(m.Read(m.field, "_height"), c.height) << (c.text ? "given" : "none");
  }
}

// A field's display properties are read through it, yet hasOwnProperty
// names none of them; what a script sets on it is its own.
TEST(TextFieldObjectTest, DisplayPropertiesAreNotOwn) {
  const struct {
    const char* name;
    bool own;
  } cases[] = {{"_alpha", false},  {"_x", false},    {"_parent", false},
               {"_xmouse", false}, {"_name", false}, {"_mine", true}};
  FieldMovie m(7);
  ASSERT_NE(m.field, nullptr);
  m.vm().Set(m.field, "_mine", Value::Num(1));
  for (const auto& c : cases) {
    const Value args[] = {Value::Str(c.name)};
    Value own;
    m.vm().CallMethod(m.field, "hasOwnProperty", args, &own);
    EXPECT_EQ(m.vm().ToBoolean(own), c.own) << c.name;
  }
}

// With embedFonts on and no embedded font to set it in, the text shows and
// measures nothing.
TEST(TextFieldObjectTest, EmbedFontsWithoutAFontMeasuresNothing) {
  for (const bool embed : {false, true}) {
    FieldMovie m(8);
    ASSERT_NE(m.field, nullptr);
    m.vm().Set(m.field, "text", Value::Str("Hello"));
    m.vm().Set(m.field, "embedFonts", Value::Bool(embed));
    EXPECT_EQ(m.Read(m.field, "textWidth") == "0", embed) << embed;
    EXPECT_EQ(m.Read(m.field, "textHeight") == "0", embed) << embed;
  }
}

// replaceText, one call after another on "ba": a negative index or a
// backward range changes nothing; an end past the text stops at it.
TEST(TextFieldObjectTest, ReplaceTextRanges) {
  const struct {
    double begin, end;
    const char* with;
    const char* text;  // after the call
  } steps[] = {{-1, 0, "c", "ba"}, {0, 5, "d", "d"},    {-1, 5, "e", "d"},    {1, 5, "f", "df"},
               {1, 1, "h", "dhf"}, {3, 3, "i", "dhfi"}, {3, -1, "y", "dhfi"}, {2, 1, "z", "dhfi"}};
  FieldMovie m(8);
  ASSERT_NE(m.field, nullptr);
  m.vm().Set(m.field, "text", Value::Str("ba"));
  for (const auto& s : steps) {
    const Value args[] = {Value::Num(s.begin), Value::Num(s.end), Value::Str(s.with)};
    m.vm().CallMethod(m.field, "replaceText", args);
    EXPECT_EQ(m.Read(m.field, "text"), s.text) << s.begin << ".." << s.end << " " << s.with;
  }
}

// maxChars keeps a whole number, negative ones too, and reads null for 0
// or what is no number; restrict "" empties a restriction but leaves a
// field without one as it is.
TEST(TextFieldObjectTest, MaxCharsAndRestrictReadBack) {
  const struct {
    const char* name;
    Value set;
    const char* read;
  } steps[] = {
      {"maxChars", Value::Num(5.7), "5"},   {"maxChars", Value::Str("x"), "null"},
      {"maxChars", Value::Num(-6), "-6"},   {"maxChars", Value::Num(0), "null"},
      {"restrict", Value::Str(""), "null"}, {"restrict", Value::Str("a-z"), "a-z"},
      {"restrict", Value::Str(""), ""},     {"restrict", Value::Null(), "null"},
  };
  FieldMovie m(8);
  ASSERT_NE(m.field, nullptr);
  for (const auto& s : steps) {
    m.vm().Set(m.field, s.name, s.set);
    EXPECT_EQ(m.Read(m.field, s.name), s.read) << s.name << " = " << m.vm().ToString(s.set);
  }
}

// typeof a field: "movieclip" in SWF 5, "object" later until the field is
// removed, then "movieclip" in every version.
TEST(TextFieldObjectTest, TypeofAFieldAndARemovedOne) {
  const struct {
    int version;
    const char* placed;
    const char* removed;
  } cases[] = {
      {5, "movieclip", "movieclip"}, {6, "object", "movieclip"}, {8, "object", "movieclip"}};
  for (const auto& c : cases) {
    FieldMovie m(c.version);
    ASSERT_NE(m.field, nullptr);
    const Value field = Value::Obj(m.field);
    EXPECT_EQ(m.vm().TypeOf(field), c.placed) << c.version;
    RemoveTextField(m.vm(), *m.field->Field());
    EXPECT_EQ(m.vm().TypeOf(field), c.removed) << c.version;
  }
}

Completion SaysX(Vm&, const CallContext&, Args) { return Value::Str("X"); }

// A field bound to a variable shows what the variable last took: text the
// variable refused (read-only) stays shown, and an object keeps the text it
// converted to until the variable takes another value.
TEST(TextFieldObjectTest, BoundFieldsFollowTheVariablesValues) {
  const struct {
    const char* name;
    bool readOnly;
    bool object;
    std::string shown, variable;
  } cases[] = {
      {"a read-only variable", true, false, "new", "start"},
      {"a writable variable", false, false, "new", "new"},
      {"the same object, converting anew", false, true, "[object Object]", "[object Object]"},
  };
  for (const auto& c : cases) {
    FieldMovie m(7);
    Vm& vm = m.vm();
    Object* root = vm.RootClip();
    Object* obj = vm.NewObject();
    root->Define(vm, "v", c.object ? Value::Obj(obj) : Value::Str("start"),
                 c.readOnly ? kReadOnly : 0);
    vm.Set(m.field, "variable", Value::Str("v"));
    if (c.object) {
      vm.Set(obj, "toString", Value::Obj(vm.NewNative(SaysX)));
    } else {
      vm.Set(m.field, "text", Value::Str("new"));
    }
    SyncTextFields(vm);
    EXPECT_EQ(m.Read(m.field, "text"), c.shown) << c.name;
    EXPECT_EQ(m.Read(root, "v"), c.object ? "X" : c.variable) << c.name;
    if (!c.object) continue;
    Object* other = vm.NewObject();
    vm.Set(other, "toString", Value::Obj(vm.NewNative(SaysX)));
    vm.Set(root, "v", Value::Obj(other));
    SyncTextFields(vm);
    EXPECT_EQ(m.Read(m.field, "text"), "X") << c.name;
  }
}

// A script binding its own field to a variable: an unset variable leaves
// the field's text and stays unset; a set one gives the field its value.
TEST(TextFieldObjectTest, BindingAScriptFieldToAVariable) {
  const struct {
    const char* value;  // the variable's; nullptr: unset
    const char* text;
  } cases[] = {{nullptr, "hello world"}, {"dynamic", "dynamic"}};
  for (const auto& c : cases) {
    FieldMovie m(8);
    Vm& vm = m.vm();
    Object* root = vm.RootClip();
    if (c.value) vm.Set(root, "v", Value::Str(c.value));
    vm.Set(m.field, "text", Value::Str("hello world"));
    vm.Set(m.field, "variable", Value::Str("_level0.v"));
    EXPECT_EQ(m.Read(m.field, "text"), c.text) << c.text;
    EXPECT_EQ(root->HasOwn(vm, "v"), c.value != nullptr) << c.text;
  }
}

// createTextField is a clip method for SWF 5 movies as well; there the
// field it makes reads as a movie clip to typeof and inherits from
// MovieClip, and TextField's prototype leads nowhere further.
TEST(TextFieldObjectTest, CreateTextFieldInEveryVersion) {
  for (const int version : {5, 6, 8}) {
    Movie movie = swf::test::BaseMovie();
    movie.header.version = static_cast<uint8_t>(version);
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    const Value args[] = {Value::Str("t"), Value::Num(1),  Value::Num(0),
                          Value::Num(0),   Value::Num(10), Value::Num(10)};
    ASSERT_TRUE(vm.CallMethod(vm.RootClip(), "createTextField", args)) << version;
    const Value field = vm.Get(vm.RootClip(), "t");
    EXPECT_EQ(vm.TypeOf(field), version < 6 ? "movieclip" : "object") << version;
    ASSERT_TRUE(field.IsObject()) << version;
    EXPECT_EQ(field.object->proto, version < 6 ? vm.clipProto : vm.textFieldProto) << version;
    Object* made = vm.NewObject();
    made->proto = vm.textFieldProto;
    EXPECT_EQ(vm.ToString(Value::Obj(made)), version < 6 ? "[type Object]" : "[object Object]")
        << version;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
