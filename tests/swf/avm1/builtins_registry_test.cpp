// The built-in classes as declared: every registered step defines what it
// says, every member of a class table is where the table puts it (with its
// flags, and version bits that agree with its first version), and every
// ASnative number of a member is that very member's function. A dropped or renamed registration
// fails here instead of leaving a class quietly missing.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"
#include "swf/player/movie_runner.h"
#include "swf/player/script/script_display.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;

// Follows a dotted path from _global, version bits and getters aside.
Property* FindPath(Vm& vm, const std::string& path) {
  Object* at = vm.global;
  Property* p = nullptr;
  std::stringstream parts(path);
  for (std::string part; std::getline(parts, part, '.');) {
    p = nullptr;
    for (Object* o = at; o && !p; o = o->proto) p = o->FindAnyProperty(vm, part);
    if (!p) return nullptr;
    at = p->value.IsObject() ? p->value.object : nullptr;
  }
  return p;
}

uint16_t VersionBitsOf(int since) {
  switch (since) {
    case 6:
      return kSince6;
    case 7:
      return kSince7;
    case 8:
      return kSince8;
    default:
      return 0;
  }
}

// The native under ASnative's numbers, or null.
Object* NativeAt(Vm& vm, int category, int index) {
  const auto& natives = HostStateOf(vm).natives;
  const auto it = natives.find({category, index});
  return it == natives.end() ? nullptr : it->second;
}

// Checks one table's members on obj as a movie of vm's version has them.
void ExpectMembers(Vm& vm, Object* obj, Members members, const std::string& where) {
  for (const Member& m : members) {
    SCOPED_TRACE(where + "." + m.name);
    // Version bits never hide a member from the version it first appears in.
    for (const uint16_t bit : {kSince6, kSince7, kSince8}) {
      if (m.flags & bit) {
        EXPECT_EQ(VersionBitsOf(m.since) & bit, bit);
      }
    }
    Property* p = obj->FindAnyProperty(vm, m.name);
    if (m.absentBefore && vm.version < m.since) {
      EXPECT_EQ(p, nullptr);
      continue;
    }
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->flags, m.flags);
    if (m.emptyBefore && vm.version < m.since) {
      EXPECT_TRUE(p->value.IsUndefined());
      continue;
    }
    switch (m.kind) {
      case Member::kMethod: {
        ASSERT_TRUE(p->value.IsObject() && p->value.object->IsFunction());
        EXPECT_EQ(static_cast<FunctionObject*>(p->value.object)->native, m.fn);
        EXPECT_EQ(p->value.object->FindProperty(vm, "prototype") != nullptr, m.ownPrototype);
        if (m.category >= 0) {
          EXPECT_EQ(NativeAt(vm, m.category, m.index), p->value.object);
        }
        break;
      }
      case Member::kAccessor:
        // Before version 6 a clip's transform is a plain property.
        if (where == "MovieClip" && p->name == "transform" && vm.version < 6) break;
        ASSERT_NE(p->getter, nullptr);
        EXPECT_EQ(static_cast<FunctionObject*>(p->getter)->native, m.fn);
        EXPECT_EQ(p->setter != nullptr, m.set != nullptr);
        if (m.category >= 0) {
          EXPECT_EQ(NativeAt(vm, m.category, m.index), p->getter);
          if (m.set) {
            EXPECT_EQ(NativeAt(vm, m.category, m.index + 1), p->setter);
          }
        }
        break;
      case Member::kNumber:
      case Member::kBool:
      case Member::kString:
        EXPECT_FALSE(p->value.IsObject());
        break;
    }
  }
}

// The table the display host installs for a step of the registry.
const ClassDecl* DisplayDecl(std::string_view step) {
  for (const Registration& d : DisplayClasses()) {
    if (d.name == step) return d.decl;
  }
  return nullptr;
}

TEST(BuiltinsRegistryTest, EveryRegisteredClassMemberAndNativeResolves) {
  for (const int version : {5, 6, 7, 8, 9, 10}) {
    SCOPED_TRACE("version " + std::to_string(version));
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(version);
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    for (const Registration& step : Registry()) {
      SCOPED_TRACE(step.name);
      // A step with no table of its own is the display's, under the same name.
      const ClassDecl* decl = step.decl ? step.decl : DisplayDecl(step.name);
      ASSERT_NE(decl, nullptr);
      if (version == 8) {
        std::stringstream paths(step.defines);
        for (std::string path; paths >> path;) EXPECT_NE(FindPath(vm, path), nullptr) << path;
      }
      const ClassDecl& d = *decl;
      Object* owner = vm.global;
      if (d.package) {
        const Property* package = FindPath(vm, d.package);
        if (!package) {
          EXPECT_LT(version, d.since);
          continue;
        }
        owner = package->value.object;
      }
      if (!d.name) {
        ExpectMembers(vm, owner, d.statics, "_global");
        continue;
      }
      Property* cls = owner->FindAnyProperty(vm, d.name);
      if (version < d.since) {
        // An older movie finds nothing, or an empty class standing in.
        if (!cls) continue;
        Object* stand = PrototypeOf(vm, cls->value.object);
        for (const Member& m : d.proto) EXPECT_EQ(stand->FindAnyProperty(vm, m.name), nullptr);
        continue;
      }
      ASSERT_TRUE(cls && cls->value.IsObject());
      EXPECT_EQ(cls->flags, d.flags);
      EXPECT_EQ(cls->value.object->IsFunction(), d.ctor != nullptr);
      if (d.keep) {
        EXPECT_EQ(vm.*d.keep, d.ctor ? PrototypeOf(vm, cls->value.object) : cls->value.object);
      }
      if (d.category >= 0) {
        EXPECT_EQ(NativeAt(vm, d.category, d.index), cls->value.object);
      }
      if (d.ctor) ExpectMembers(vm, PrototypeOf(vm, cls->value.object), d.proto, d.name);
      ExpectMembers(vm, cls->value.object, d.statics, d.name);
    }
    // The table holds what the classes number, and five unnamed natives.
    std::size_t numbered = 5;
    for (const Registration& step : Registry()) {
      const ClassDecl* d = step.decl ? step.decl : DisplayDecl(step.name);
      ASSERT_NE(d, nullptr) << step.name;
      numbered += d->category >= 0;
      for (const Members members : {d->proto, d->statics}) {
        for (const Member& m : members) {
          if (m.category >= 0 && !(m.emptyBefore && version < m.since)) numbered += m.set ? 2 : 1;
        }
      }
    }
    EXPECT_EQ(HostStateOf(vm).natives.size(), numbered);
  }
}

// ASnative numbers as a movie calls them: each gives a function that works
// as the named one does, whatever the movie's version.
TEST(BuiltinsRegistryTest, NativeNumbersCallTheNamedFunctions) {
  const struct {
    int category, index;
    const char* args;  // one argument, as script text
    const char* expected;
  } cases[] = {
      {100, 0, "\"a b\"", "a%20b"},
      {100, 1, "\"%41\"", "A"},
      {100, 2, "\"12px\"", "12"},
      {200, 0, "-3", "3"},
      {200, 17, "2", "NaN"},
      {200, 18, "\"x\"", "true"},
      {251, 3, "\"abc\"", "ABC"},
      {200, 12, "2.5", "2"},
      {200, 99, "1", "NaN"},
      {200, 15, "0.3", "0.304692654015397"},     // the player's arc sine, one unit low
      {102, 0, "\"a\xC3\xA9b\"", "A\xC3\xA9B"},  // SWF 5's case change: ASCII only
      {102, 1, "\"A\xC3\x89B\"", "a\xC3\x89b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.category) + "," + std::to_string(c.index));
    Movie m = BaseMovie();
    m.header.version = 6;
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    Object* fn = NativeAt(vm, c.category, c.index);
    if (!fn) fn = NativeAt(vm, c.category, -1);
    ASSERT_NE(fn, nullptr);
    const Value arg = std::string_view(c.args).starts_with("\"")
                          ? Value::Str(std::string(c.args + 1, std::strlen(c.args) - 2))
                          : Value::Num(std::stod(c.args));
    const Value self =
        c.category == 251 || c.category == 102 ? Value::Obj(vm.ToObject(arg)) : Value{};
    const Value r = vm.Call(Value::Obj(fn), CallContext{self}, Args(&arg, 1));
    EXPECT_EQ(vm.ToString(r), c.expected);
  }
}

// The object a dotted path from _global names.
Object* ObjectAt(Vm& vm, const std::string& path) {
  const Property* p = FindPath(vm, path);
  return p && p->value.IsObject() ? p->value.object : nullptr;
}

// Members the player makes read-only keep their value when a script
// assigns to them; others take it.
TEST(BuiltinsRegistryTest, ReadOnlyMembersKeepTheirValue) {
  const struct {
    const char* owner;
    const char* name;
    bool readOnly;
  } cases[] = {
      {"Math", "abs", true},
      {"Math", "PI", true},
      {"Key", "isDown", true},
      {"Key", "addListener", true},
      {"Mouse", "hide", true},
      {"Selection", "getFocus", true},
      {"Date", "UTC", true},
      {"Color.prototype", "setRGB", true},
      {"Array.prototype", "push", false},
      {"String", "fromCharCode", false},
      {"Stage", "addListener", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.owner) + "." + c.name);
    Movie m = BaseMovie();
    m.header.version = 8;
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    Object* owner = ObjectAt(vm, c.owner);
    ASSERT_NE(owner, nullptr);
    vm.Set(owner, c.name, Value::Num(7));
    const Value after = vm.Get(owner, c.name);
    EXPECT_EQ(!(after.type == Type::Number && after.number == 7), c.readOnly);
  }
}

// Methods the player writes in ActionScript carry a prototype object as
// script functions do; native ones have none.
TEST(BuiltinsRegistryTest, ScriptWrittenMethodsHaveTheirOwnPrototype) {
  const struct {
    const char* path;
    bool hasPrototype;
  } cases[] = {
      {"Object.prototype.toLocaleString", true},
      {"AsBroadcaster.addListener", true},
      {"AsBroadcaster.removeListener", true},
      {"Key.addListener", true},
      {"Stage.removeListener", true},
      {"AsBroadcaster.broadcastMessage", false},
      {"Object.prototype.toString", false},
      {"Math.abs", false},
  };
  Movie m = BaseMovie();
  m.header.version = 8;
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  for (const auto& c : cases) {
    Object* fn = ObjectAt(vm, c.path);
    ASSERT_NE(fn, nullptr) << c.path;
    EXPECT_EQ(fn->FindProperty(vm, "prototype") != nullptr, c.hasPrototype) << c.path;
  }
}

// Native getters that appear on a prototype with the class's first instance.
TEST(BuiltinsRegistryTest, NativeGettersAppearWithTheFirstInstance) {
  const struct {
    const char* cls;
    const char* getter;
  } cases[] = {{"TextFormat", "font"},
               {"TextFormat", "display"},
               {"PrintJob", "paperWidth"},
               {"XML", "loaded"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cls) + "." + c.getter);
    Movie m = BaseMovie();
    m.header.version = 8;
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    Object* cls = ObjectAt(vm, c.cls);
    ASSERT_NE(cls, nullptr);
    Object* proto = PrototypeOf(vm, cls);
    EXPECT_EQ(proto->FindProperty(vm, c.getter), nullptr);
    vm.Construct(cls, {});
    const Property* p = proto->FindProperty(vm, c.getter);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p->getter, nullptr);
  }
}

// What a movie finds on _global, listed apart from the registry so that a
// dropped step fails here: each name from the first version that has it.
TEST(BuiltinsRegistryTest, EveryVersionHasItsGlobalClasses) {
  const struct {
    int since;
    const char* paths;
  } expected[] = {
      {5,
       "Object Function Boolean Number ASSetPropFlags Array String Math Date parseInt "
       "parseFloat isNaN isFinite escape unescape setInterval clearInterval setTimeout "
       "clearTimeout Error Stage MovieClip AsBroadcaster Key Mouse Selection Button TextFormat "
       "TextField TextField.StyleSheet TextSnapshot XMLNode XML LoadVars MovieClipLoader "
       "XMLSocket SharedObject Color System System.capabilities Accessibility Sound Camera "
       "Microphone NetStream PrintJob ASnative ASSetNative ASSetNativeAccessor ASconstructor "
       "ContextMenu ContextMenuItem updateAfterEvent LocalConnection NetConnection Video "
       "flash.geom.Point flash.geom.Rectangle "
       "flash.geom.Matrix flash.geom.ColorTransform flash.geom.Transform "
       "flash.display.BitmapData flash.text.TextRenderer"},
      {8,
       "flash.filters.BitmapFilter flash.filters.BlurFilter flash.filters.DropShadowFilter "
       "flash.filters.GlowFilter flash.filters.ColorMatrixFilter flash.external.ExternalInterface "
       "flash.net.FileReference"},
  };
  for (const int version : {5, 6, 7, 8, 9, 10}) {
    SCOPED_TRACE("version " + std::to_string(version));
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(version);
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    for (const auto& e : expected) {
      if (version < e.since) continue;
      std::stringstream paths(e.paths);
      for (std::string path; paths >> path;) {
        const Property* p = FindPath(vm, path);
        EXPECT_TRUE(p && p->value.IsObject()) << path;
      }
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
