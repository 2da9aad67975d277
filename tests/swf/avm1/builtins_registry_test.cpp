// The built-in classes as declared: every registered step defines what it
// says, every member of a class table is where the table puts it (with its
// flags, and version bits that agree with its first version), and every
// ASnative number names a function. A dropped or renamed registration fails
// here instead of leaving a class quietly missing.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/clip_methods.h"
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
    switch (m.kind) {
      case Member::kMethod: {
        ASSERT_TRUE(p->value.IsObject() && p->value.object->IsFunction());
        EXPECT_EQ(static_cast<FunctionObject*>(p->value.object)->native, m.fn);
        break;
      }
      case Member::kAccessor:
        // Before version 6 a clip's transform is a plain property.
        if (where == "MovieClip.prototype" && p->name == "transform" && vm.version < 6) break;
        ASSERT_NE(p->getter, nullptr);
        EXPECT_EQ(static_cast<FunctionObject*>(p->getter)->native, m.fn);
        EXPECT_EQ(p->setter != nullptr, m.set != nullptr);
        break;
      case Member::kNumber:
      case Member::kBool:
        EXPECT_FALSE(p->value.IsObject());
        break;
    }
  }
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
      // A step with no code of its own is the display's, under the same name.
      const Registration* found = &step;
      if (!step.install && !step.decl) {
        found = nullptr;
        for (const Registration& d : DisplayClasses()) {
          if (std::string_view(d.name) == step.name) found = &d;
        }
      }
      ASSERT_NE(found, nullptr);
      const Registration& r = *found;
      EXPECT_TRUE(r.install || r.decl);
      if (version == 8) {
        std::stringstream paths(step.defines);
        for (std::string path; paths >> path;) EXPECT_NE(FindPath(vm, path), nullptr) << path;
      }
      if (!r.decl) continue;
      Property* cls = vm.global->FindAnyProperty(vm, r.decl->name);
      if (version < r.decl->since) {
        EXPECT_EQ(cls, nullptr);
        continue;
      }
      ASSERT_TRUE(cls && cls->value.IsObject());
      EXPECT_EQ(cls->value.object->IsFunction(), r.decl->ctor != nullptr);
      if (r.decl->ctor)
        ExpectMembers(vm, PrototypeOf(vm, cls->value.object), r.decl->proto, r.decl->name);
      ExpectMembers(vm, cls->value.object, r.decl->statics, r.decl->name);
    }
    ExpectMembers(vm, vm.clipProto, ClipPrototypeMembers(), "MovieClip.prototype");
    // Binding again finds every numbered native among the installed classes.
    EXPECT_EQ(BindNativeTable(vm), std::vector<std::string>{});
    EXPECT_GT(HostStateOf(vm).natives.size(), 80u);
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
       "ContextMenu ContextMenuItem updateAfterEvent flash.geom.Point flash.geom.Rectangle "
       "flash.geom.Matrix flash.geom.ColorTransform flash.geom.Transform "
       "flash.display.BitmapData flash.text.TextRenderer"},
      {6, "LocalConnection NetConnection Video"},
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
