// What a MovieClipLoader's loads tell its listeners, read off trace lines.
#include <gtest/gtest.h>

#include <string>

#include "movie_builder.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf {
namespace {

using namespace test;
using avm1::Op;

// An empty SWF 6 movie of one frame: header, an empty frame rectangle,
// rate, count, ShowFrame, End.
std::string ChildMovie() {
  const uint8_t bytes[] = {'F', 'W', 'S', 6, 17, 0, 0, 0, 0, 0, 12, 1, 0, 0x40, 0, 0, 0};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Traces "<event> <target>" for a listener method.
avm1::test::Asm Listener(const std::string& event) {
  avm1::test::Asm body;
  body.Push({event + " "}).Push({"mc"}).Do(Op::GetVariable).Do(Op::Add2).Do(Op::Trace);
  avm1::test::Asm a;
  a.Push({"l"}).Do(Op::GetVariable).Push({event}).Function("", {"mc"}, body).Do(Op::SetMember);
  return a;
}

// loadClip with fewer than two arguments answers undefined; a number is a
// level, cut to a whole one; an object that is no clip is refused. Every
// load's start comes before the loaded movies' first frames, and onLoadInit
// after them, the newest load first. A file that is no movie loads as
// nothing, of no bytes.
TEST(MovieLoaderTest, MovieClipLoaderTargetsAndEventOrder) {
  avm1::test::Asm script;
  script.Push({"l", 0, "Object"}).Do(Op::NewObject).Do(Op::SetVariable);
  script.Then(Listener("onLoadStart")).Then(Listener("onLoadInit"));
  script.Push({"l"})
      .Do(Op::GetVariable)
      .Push({"onLoadProgress"})
      .Function("", {"mc", "n"}, avm1::test::Asm().Push({"n"}).Do(Op::GetVariable).Do(Op::Trace))
      .Do(Op::SetMember);
  script.Push({"m", 0, "MovieClipLoader"}).Do(Op::NewObject).Do(Op::SetVariable);
  script.Push({"l"})
      .Do(Op::GetVariable)
      .Push({1, "m"})
      .Do(Op::GetVariable)
      .Push({"addListener"})
      .Do(Op::CallMethod)
      .Do(Op::Pop);
  const auto load = [&](std::vector<avm1::test::PushArg> args) {
    script.PushAll(args)
        .Push({static_cast<int>(args.size()), "m"})
        .Do(Op::GetVariable)
        .Push({"loadClip"})
        .Do(Op::CallMethod)
        .Do(Op::Trace);
  };
  load({"child.swf"});  // arguments pushed last to first
  load({1, "child.swf"});
  load({2.9, "child.swf"});
  load({"note.txt", "child.swf"});  // a string naming no clip
  load({3, "note.txt"});
  script.Do(Op::Stop);
  Movie movie = BaseMovie();
  movie.header.version = 7;
  movie.timeline = MakeTimeline({MakeFrame({Act({script.Bytes()})})});
  PlayerLimits limits;
  limits.readFile = [](const std::string& url, std::string& out) {
    if (url == "child.swf") out = ChildMovie();
    if (url == "note.txt") out = "not a movie";
    return !out.empty();
  };
  std::string trace;
  MovieRunner runner(movie, limits, nullptr,
                     [&](const std::string& line) { trace += line + "\n"; });
  EXPECT_EQ(trace,
            "undefined\ntrue\ntrue\nfalse\ntrue\n"
            "onLoadStart _level1\n17\nonLoadStart _level2\n17\nonLoadStart _level3\n0\n"
            "onLoadInit _level3\nonLoadInit _level2\nonLoadInit _level1\n");
}

}  // namespace
}  // namespace orrivel::swf
