// Plays every trace test of the corpus for its frame count and compares the
// trace() lines exactly with what Flash Player logged. Every test listed in
// trace_passing.txt must keep passing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "../corpus/passing_list.h"
#include "../corpus/toml_lite.h"
#include "input_script.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf::test {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxFrames = 600;  // longer tests run only this far

const fs::path kTraceCorpus = fs::path(ORRIVEL_CORPUS_DIR) / "ruffle-avm1";

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  std::erase(text, '\r');
  return text;
}

// The request log of the recordings' player, for tests that ask for it.
std::string RequestLog(const avm1::OutgoingRequest& r) {
  using Kind = avm1::OutgoingRequest::Kind;
  if (r.kind == Kind::kSocket)
    return "Navigator::connect_socket\n    Host: " + r.url + "; Port: " + std::to_string(r.port);
  if (r.kind == Kind::kNavigate) {
    std::string out = "Navigator::navigate_to_url:\n  URL: " + r.url + "\n  Target: " + r.target;
    if (!r.method.empty() && !r.body.empty()) out += "\n  Method: " + r.method;
    return out;
  }
  std::string out = "Navigator::fetch:\n  URL: " + r.url + "\n  Method: " + r.method;
  if (r.method != "POST") return out;
  out += "\n  Mime-Type: " + r.mime + "\n  Body: ";
  const bool text = std::all_of(r.body.begin(), r.body.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
  if (text) return out + r.body;
  out += "[";
  char hex[4];
  for (std::size_t i = 0; i < r.body.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(r.body[i]));
    out += (i ? ", " : "") + std::string(hex);
  }
  return out + "]";
}

struct Tally {
  int total = 0, passed = 0;
};

TEST(TraceCorpusTest, TraceOutputMatchesFlashPlayer) {
  ASSERT_TRUE(fs::exists(kTraceCorpus / "INDEX.tsv")) << "no corpus at " << kTraceCorpus;
  // The recordings were made in a zone 5:45 ahead of UTC, whose offset the
  // player applied to every date.
  setenv("TZ", "<+0545>-05:45", 1);
  tzset();
  const bool verbose = std::getenv("ORRIVEL_CORPUS_VERBOSE") != nullptr;
  // ORRIVEL_CORPUS_ONLY=part runs only the tests whose path holds it and prints their traces.
  const char* only = std::getenv("ORRIVEL_CORPUS_ONLY");
  PassingList passing(fs::path(ORRIVEL_SOURCE_DIR) / "tests/swf/avm1/trace_passing.txt");
  ASSERT_FALSE(passing.Empty());
  std::vector<fs::path> dirs;
  for (const auto& e : fs::recursive_directory_iterator(kTraceCorpus)) {
    if (e.path().filename() == "test.swf" && fs::exists(e.path().parent_path() / "output.txt"))
      dirs.push_back(e.path().parent_path());
  }
  std::sort(dirs.begin(), dirs.end());
  NativeImageDecoder decoder;
  std::map<std::string, Tally> byFolder;
  Tally all, upToV8;
  const auto started = std::chrono::steady_clock::now();
  for (const fs::path& dir : dirs) {
    const std::string rel = fs::relative(dir, kTraceCorpus).generic_string();
    if (only && rel.find(only) == std::string::npos) continue;
    const TomlLite toml = TomlLite::Parse(ReadText(dir / "test.toml"));
    // A tick is one frame at the movie's rate.
    const double count = toml.Number("num_frames").value_or(toml.Number("num_ticks").value_or(1));
    const int frames = std::clamp(static_cast<int>(count), 1, kMaxFrames);
    const std::vector<InputEvent> input = fs::exists(dir / "input.json")
                                              ? JsonEvents::Parse(ReadText(dir / "input.json"))
                                              : std::vector<InputEvent>{};
    std::size_t nextInput = 0;
    PointerAt pointer;
    std::string trace;
    Player player(decoder);
    player.SetClockStart(981152406000);      // the instant the recordings were made at
    player.SetMovieUrl("file:///test.swf");  // where the recordings ran the movie from
    player.SetTraceSink([&trace](const std::string& line) {
      if (trace.size() < (1u << 22)) trace += line + "\n";
    });
    if (toml.String("log_fetch").value_or("") == "true") {
      player.SetRequestSink([&trace](const avm1::OutgoingRequest& r) {
        if (trace.size() < (1u << 22)) trace += RequestLog(r) + "\n";
      });
    }
    const std::u8string swf = (dir / "test.swf").u8string();
    bool pass = false;
    int version = 0;
    if (player.LoadFile(std::string(swf.begin(), swf.end()))) {
      version = player.GetMovie()->header.version;
      // Events up to each "Wait" come after a frame has run.
      FeedInput(player, input, nextInput, pointer);
      for (int i = 1; i < frames; ++i) {
        player.StepFrame();
        FeedInput(player, input, nextInput, pointer);
      }
      pass = trace == ReadText(dir / "output.txt");
      if (only) std::printf("---- %s\n%s", rel.c_str(), trace.c_str());
    }
    const std::string folder = rel.substr(0, rel.find('/'));
    ++byFolder[folder].total;
    byFolder[folder].passed += pass;
    passing.Record(rel, pass);
    ++all.total;
    all.passed += pass;
    if (version <= 8) {
      ++upToV8.total;
      upToV8.passed += pass;
    }
    if (verbose) std::printf("%s\tv%d\t%s\n", pass ? "PASS" : "FAIL", version, rel.c_str());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("\n%-20s %6s %6s\n", "folder", "passed", "tests");
  for (const auto& [folder, t] : byFolder)
    std::printf("%-20s %6d %6d\n", folder.c_str(), t.passed, t.total);
  std::printf("%-20s %6d %6d\n%-20s %6d %6d   (%.1f s)\n", "SWF version <= 8", upToV8.passed,
              upToV8.total, "all", all.passed, all.total, seconds);
  if (only) return;
  passing.Check();
}

}  // namespace
}  // namespace orrivel::swf::test
