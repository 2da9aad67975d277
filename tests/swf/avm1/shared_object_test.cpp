// SharedObject stores outlive the run: kept per movie in a folder the host
// names, bounded, and never outside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/shared_object_store.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"
#include "swf/player/shared_object_folder.h"

namespace orrivel::swf::avm1 {
namespace {

namespace fs = std::filesystem;
using namespace swf::test;

class SharedObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("orrivel_so_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::unique_ptr<MovieRunner> Run() {
    PlayerLimits limits;
    limits.localStorage = FolderStorage(root_);
    return std::make_unique<MovieRunner>(movie_, limits);
  }
  static Value Call(Vm& vm, Object* owner, const char* name, std::vector<Value> args = {}) {
    Value r;
    vm.CallMethod(owner, name, args, &r);
    return r;
  }
  static Object* GetLocal(Vm& vm, std::vector<Value> args) {
    return Call(vm, vm.Get(vm.global, "SharedObject").object, "getLocal", std::move(args)).object;
  }
  static Object* Data(Vm& vm, Object* so) { return vm.Get(so, "data").object; }

  Movie movie_ = BaseMovie();
  fs::path root_;
};

TEST_F(SharedObjectTest, DataComesBackOnTheNextRun) {
  {
    auto runner = Run();
    Vm& vm = runner->Vm();
    Object* so = GetLocal(vm, {Value::Str("scores")});
    ASSERT_NE(so, nullptr);
    Object* data = Data(vm, so);
    vm.Set(data, "best", Value::Num(1250.5));
    vm.Set(data, "name", Value::Str("Ann"));
    vm.Set(data, "sound", Value::Bool(false));
    vm.Set(data, "none", Value::Null());
    ArrayObject* list = vm.NewArray({Value::Num(3), Value::Str("x")});
    vm.Set(data, "list", Value::Obj(list));
    Object* nested = vm.NewObject();
    vm.Set(nested, "self", Value::Obj(nested));  // a cycle
    vm.Set(data, "nested", Value::Obj(nested));
    const Value when[1] = {Value::Num(86400000)};
    vm.Set(data, "when", vm.Construct(vm.Get(vm.global, "Date").object, when));
    vm.Set(data, "fn", vm.Get(vm.global, "escape"));  // functions are not data
    EXPECT_TRUE(Call(vm, so, "flush").boolean);
    // Written again as the movie ends, with what changed since the flush.
    vm.Set(data, "best", Value::Num(2000));
    // Another store of the same movie, and one under a local path.
    vm.Set(Data(vm, GetLocal(vm, {Value::Str("a/b")})), "k", Value::Num(1));
    vm.Set(Data(vm, GetLocal(vm, {Value::Str("scores"), Value::Str("/")})), "k", Value::Num(2));
  }
  auto runner = Run();
  Vm& vm = runner->Vm();
  Object* data = Data(vm, GetLocal(vm, {Value::Str("scores")}));
  const struct {
    const char* expr;
    const char* value;
  } cases[] = {
      {"best", "2000"}, {"name", "Ann"}, {"sound", "false"}, {"none", "null"}, {"fn", "undefined"}};
  for (const auto& c : cases) EXPECT_EQ(vm.ToString(vm.Get(data, c.expr)), c.value) << c.expr;
  Object* list = vm.Get(data, "list").object;
  ASSERT_NE(dynamic_cast<ArrayObject*>(list), nullptr);
  EXPECT_EQ(vm.ToString(Value::Obj(list)), "3,x");
  Object* nested = vm.Get(data, "nested").object;
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(vm.Get(nested, "self").object, nested);
  auto* when = dynamic_cast<BoxObject*>(vm.Get(data, "when").object);
  ASSERT_NE(when, nullptr);
  EXPECT_TRUE(when->isDate);
  EXPECT_EQ(when->primitive.number, 86400000);
  EXPECT_EQ(vm.ToNumber(vm.Get(Data(vm, GetLocal(vm, {Value::Str("a/b")})), "k")), 1);
  EXPECT_EQ(
      vm.ToNumber(vm.Get(Data(vm, GetLocal(vm, {Value::Str("scores"), Value::Str("/")})), "k")), 2);
  // clear() forgets what was kept.
  Call(vm, GetLocal(vm, {Value::Str("a/b")}), "clear");
  runner.reset();
  runner = Run();
  std::vector<std::string> keys;
  Data(runner->Vm(), GetLocal(runner->Vm(), {Value::Str("a/b")}))->OwnKeys(runner->Vm(), keys);
  EXPECT_TRUE(keys.empty());
}

TEST_F(SharedObjectTest, NamesStayInsideTheFolder) {
  const struct {
    const char* name;
    const char* path;
    bool accepted;
  } cases[] = {{"scores", "", true}, {"../../etc/passwd", "", true},
               {"..", "", true},     {"a/b", "/x/..", true},
               {"", "", false},      {"a b", "", false},
               {"a:b", "", false},   {"a\\b", "", false},
               {"a?", "", false},    {"a#", "", false},
               {"a~", "", false}};
  for (const auto& c : cases) {
    const std::string file = SharedObjectFileName(c.name, c.path);
    EXPECT_EQ(!file.empty(), c.accepted) << c.name;
    if (file.empty()) continue;
    EXPECT_EQ(file.find_first_of("/\\:"), std::string::npos) << c.name;
    EXPECT_NE(file[0], '.') << c.name;
  }
  EXPECT_NE(SharedObjectFileName("a", ""), SharedObjectFileName("a", "/"));
  EXPECT_TRUE(SharedObjectFileName(std::string(201, 'x'), "").empty());
  EXPECT_LE(SharedObjectFileName(std::string(200, 'x'), std::string(200, 'y')).size(), 124u);
  EXPECT_EQ(MovieStorageFolder(root_, fs::path("/m") / "..").filename().string()[0], '%');

  auto runner = Run();
  Vm& vm = runner->Vm();
  EXPECT_EQ(GetLocal(vm, {Value::Str("a b")}), nullptr);
  Object* so = GetLocal(vm, {Value::Str("../../escape")});
  ASSERT_NE(so, nullptr);
  vm.Set(Data(vm, so), "x", Value::Num(1));
  EXPECT_TRUE(Call(vm, so, "flush").boolean);
  std::size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(root_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST_F(SharedObjectTest, MoreThanTheMoviesShareIsNotWritten) {
  auto runner = Run();
  Vm& vm = runner->Vm();
  Object* small = GetLocal(vm, {Value::Str("small")});
  vm.Set(Data(vm, small), "s", Value::Str(std::string(60 * 1024, 'a')));
  EXPECT_TRUE(Call(vm, small, "flush").boolean);
  // Alone it would fit; with the first store the movie is over 100 KB.
  Object* big = GetLocal(vm, {Value::Str("big")});
  vm.Set(Data(vm, big), "s", Value::Str(std::string(50 * 1024, 'b')));
  EXPECT_FALSE(Call(vm, big, "flush").boolean);
  EXPECT_FALSE(fs::exists(root_ / "big.sol"));
  EXPECT_GT(vm.ToNumber(Call(vm, big, "getSize")), 50 * 1024);
}

TEST_F(SharedObjectTest, DamagedFilesGiveEmptyData) {
  std::string good;
  {
    auto runner = Run();
    Vm& vm = runner->Vm();
    Object* so = GetLocal(vm, {Value::Str("s")});
    vm.Set(Data(vm, so), "a", Value::Num(1));
    Object* inner = vm.NewObject();
    vm.Set(inner, "b", Value::Str("text"));
    vm.Set(Data(vm, so), "inner", Value::Obj(inner));
    good = EncodeSharedData(vm, Data(vm, so));
  }
  std::vector<std::string> damaged = {"",         "ORSO",
                                      "XRSO\x01", good.substr(0, good.size() - 1),
                                      good + "x", std::string(300 * 1024, 'O')};
  std::string wrongVersion = good;
  wrongVersion[4] = 2;
  damaged.push_back(wrongVersion);
  for (std::size_t i = 5; i < good.size(); ++i) {
    std::string flipped = good;
    flipped[i] = static_cast<char>(0xFF);
    damaged.push_back(flipped);
  }
  std::string deep = std::string("ORSO\x01", 5);
  for (int i = 0; i < 10000; ++i) deep += std::string("\x06\x01\0\0\0\x01\0\0\0k", 10);
  damaged.push_back(deep);
  auto runner = Run();
  Vm& vm = runner->Vm();
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    Object* data = DecodeSharedData(vm, damaged[i]);
    ASSERT_NE(data, nullptr) << i;
    std::vector<std::string> keys;
    data->OwnKeys(vm, keys);
    // A byte flipped inside a string's text still reads; anything else is empty.
    if (!keys.empty()) {
      EXPECT_EQ(keys.size(), 2u) << i;
    }
  }
  // A file over the limit is not read at all.
  fs::create_directories(root_);
  std::ofstream(root_ / "huge.sol", std::ios::binary) << std::string(200 * 1024, 'x');
  std::vector<std::string> keys;
  Data(vm, GetLocal(vm, {Value::Str("huge")}))->OwnKeys(vm, keys);
  EXPECT_TRUE(keys.empty());
}

// A desktop host without its own folder uses the XDG data folder.
TEST(SharedObjectRootTest, FollowsTheXdgDataFolder) {
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string data = savedData ? savedData : "", home = savedHome ? savedHome : "";
  const struct {
    const char* data;
    const char* home;
    const char* root;
  } cases[] = {{"/x/data", "/home/u", "/x/data/Orrivel/SharedObjects"},
               {"relative", "/home/u", "/home/u/.local/share/Orrivel/SharedObjects"},
               {nullptr, "/home/u", "/home/u/.local/share/Orrivel/SharedObjects"},
               {nullptr, nullptr, ""}};
  for (const auto& c : cases) {
    c.data ? setenv("XDG_DATA_HOME", c.data, 1) : unsetenv("XDG_DATA_HOME");
    c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
    EXPECT_EQ(swf::DefaultSharedObjectRoot().string(), c.root);
  }
  savedData ? setenv("XDG_DATA_HOME", data.c_str(), 1) : unsetenv("XDG_DATA_HOME");
  savedHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
}

}  // namespace
}  // namespace orrivel::swf::avm1
