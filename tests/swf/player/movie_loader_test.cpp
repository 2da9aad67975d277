// What a MovieClipLoader's loads tell its listeners, read off trace lines.
#include <gtest/gtest.h>

#include <string>

#include "movie_builder.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_loader.h"
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

using Script = avm1::test::Asm;

// GetURL2 with the URL and target pushed: loadMovieNum and loadVariablesNum
// name "_levelN"; loadMovie (0x40) and loadVariables (0xC0) name a clip.
Script GetUrl2(const std::string& url, avm1::test::PushArg target, uint8_t flags) {
  return std::move(Script().Push({url}).Push({target}).GetUrl2(flags));
}

// What the loads left: the levels that show a movie (0 when the main one
// was replaced), and the root's variable a.
std::string Outcome(MovieRunner& runner, const Movie& main) {
  std::string out = &runner.Root().GetMovie() != &main ? "0" : "";
  for (const auto& [n, level] : runner.LevelsNow())
    out += (out.empty() ? "" : " ") + std::to_string(n);
  const avm1::Value a = runner.Vm().Get(runner.Vm().RootClip(), "a");
  if (!a.IsUndefined()) out += (out.empty() ? "a=" : " a=") + runner.Vm().ToString(a);
  return out;
}

// A load's target: a level's name in any case, made when not there yet; a
// number is the level of its whole part, and a negative one names nothing;
// a clip reference names the clip by its path.
TEST(MovieLoaderTest, LevelTargets) {
  const Script toRoot =
      std::move(Script().Push({"child.swf", "_level0"}).Do(Op::GetVariable).GetUrl2(0x40));
  const struct {
    int version;
    Script first, second;  // the scripts of frames 1 and 2
    const char* levels;
  } cases[] = {
      {6, GetUrl2("child.swf", "_level2", 0), {}, "2"},
      {7, GetUrl2("child.swf", "_LEVEL2", 0), {}, "2"},
      {7, GetUrl2("child.swf", "_Level1", 0x40), {}, "1"},
      {7, GetUrl2("child.swf", 2, 0x40), {}, "2"},
      {6, GetUrl2("child.swf", 2.7, 0x40), {}, "2"},
      {7, GetUrl2("child.swf", -1, 0x40), {}, ""},
      {6, toRoot, {}, "0"},
      {7, GetUrl2("child.swf", "_level3", 0), GetUrl2("", "_LEVEL3", 0x40), ""},
      {6, GetUrl2("child.swf", "_level3", 0), GetUrl2("", 3, 0x40), ""},
      {7, GetUrl2("vars.txt", "_LEVEL0", 0x80), {}, "a=1"},
      {7, GetUrl2("vars.txt", 0, 0xC0), {}, "a=1"},
  };
  PlayerLimits limits;
  limits.readFile = [](const std::string& url, std::string& out) {
    if (url == "child.swf") out = ChildMovie();
    if (url == "vars.txt") out = "a=1";
    return !out.empty();
  };
  for (const auto& c : cases) {
    Movie movie = BaseMovie();
    movie.header.version = static_cast<uint8_t>(c.version);
    movie.timeline =
        MakeTimeline({MakeFrame({Act({c.first.Bytes()})}), MakeFrame({Act({c.second.Bytes()})})});
    MovieRunner runner(movie, limits);
    runner.Tick();
    EXPECT_EQ(Outcome(runner, movie), c.levels) << c.version << " " << c.levels;
  }
}

// _url is the URL of the file a movie came from, in Flash's form for a
// local file; a loaded one is found beside the main movie.
TEST(MovieLoaderTest, UrlsOfMoviesAndTheFilesTheyLoad) {
  const struct {
    const char *path, *url;
  } files[] = {
      {"/home/me/main.swf", "file:///home/me/main.swf"},
      {"C:\\My Movies\\main.swf", "file:///C|/My%20Movies/main.swf"},
      {"d:/a#1/b?.swf", "file:///d|/a%231/b%3F.swf"},
      {"100%.swf", "file:///100%25.swf"},
  };
  for (const auto& f : files) EXPECT_EQ(FileUrl(f.path), f.url) << f.path;
  const struct {
    const char *base, *url, *resolved;
  } loads[] = {
      {"file:///C|/dir/main.swf", "child.swf", "file:///C|/dir/child.swf"},
      {"file:///dir/main.swf?a=b/c", "sub/child.swf", "file:///dir/sub/child.swf"},
      {"", "child.swf", "file:///child.swf"},
      {"file:///dir/main.swf", "http://host/child.swf", "http://host/child.swf"},
  };
  for (const auto& l : loads) EXPECT_EQ(ResolveUrl(l.base, l.url), l.resolved) << l.url;

  Script first = GetUrl2("child.swf", "_level1", 0);
  first.Push({"_url"}).Do(Op::GetVariable).Do(Op::Trace);
  Script second;
  second.Push({"_level1"}).Do(Op::GetVariable).Push({"_url"}).Do(Op::GetMember).Do(Op::Trace);
  Movie movie = BaseMovie();
  movie.timeline =
      MakeTimeline({MakeFrame({Act({first.Bytes()})}), MakeFrame({Act({second.Bytes()})})});
  PlayerLimits limits;
  limits.movieUrl = "file:///C|/My%20Movies/main.swf";
  limits.readFile = [](const std::string& url, std::string& out) {
    if (url == "child.swf") out = ChildMovie();
    return !out.empty();
  };
  std::string trace;
  MovieRunner runner(movie, limits, nullptr,
                     [&](const std::string& line) { trace += line + "\n"; });
  runner.Tick();
  EXPECT_EQ(trace, "file:///C|/My%20Movies/main.swf\nfile:///C|/My%20Movies/child.swf\n");
}

}  // namespace
}  // namespace orrivel::swf
