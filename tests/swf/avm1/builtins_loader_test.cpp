#include <gtest/gtest.h>

#include <string>

#include "../player/movie_builder.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf {
namespace {

using namespace test;

Bytes Trace(const std::string& text) { return Cat({PushString(text), {0x26}}); }

// fscommand:quit, in any case and through getURL or a load, ends the movie
// once the running script is done: no frames, events or output after it.
// Called as a function no script defined, fscommand("quit") ends it once
// the frame's scripts are done. Other commands do nothing.
TEST(FsCommandTest, QuitEndsTheMovie) {
  const Bytes getUrl = Long(0x83, Cat({Str("FSCommand:QUIT"), Str("")}));
  const Bytes getUrl2 = Cat({PushString("fscommand:quit"), PushString("_level0"), Long(0x9A, {0})});
  const Bytes other = Long(0x83, Cat({Str("fscommand:exec"), Str("calc.exe")}));
  const Bytes call = Cat({PushString("Quit"), PushInt(1), PushString("fscommand"), {0x3D, 0x17}});
  const Bytes defined = Asm().Function("fscommand", {}, Asm().Trace("own")).Bytes();
  const struct {
    const char* name;
    Bytes command;
    std::string trace;
  } cases[] = {
      {"getURL", getUrl, "a\nb\n"},
      {"loadMovieNum", getUrl2, "a\nb\n"},
      {"other command", other, "a\nb\nnext block\nc\n"},
      {"a call of fscommand", call, "a\nb\nnext block\n"},
      {"a call of a function the movie named fscommand", Cat({defined, call}),
       "a\nown\nb\nnext block\nc\n"},
  };
  for (const auto& c : cases) {
    Movie movie = BaseMovie();
    movie.timeline = MakeTimeline(
        {MakeFrame({Act({Trace("a"), c.command, Trace("b")}), Act({Trace("next block")})}),
         MakeFrame({Act({Trace("c")})}), MakeFrame({Act({kStop})})});
    std::string trace;
    MovieRunner runner(movie, {}, nullptr, [&](const std::string& line) { trace += line + "\n"; });
    runner.FlushActions();
    for (int i = 0; i < 4; ++i) runner.Tick();
    EXPECT_EQ(trace, c.trace) << c.name;
    EXPECT_EQ(runner.Ended(), c.trace.find("c\n") == std::string::npos) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf
