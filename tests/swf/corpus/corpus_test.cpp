#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "corpus_scoring.h"
#include "passing_list.h"

namespace orrivel::swf::test {
namespace {

const fs::path kCorpus = ORRIVEL_CORPUS_DIR;

struct Tally {
  int total = 0, passed = 0;
};

TEST(CorpusTest, ReferenceImagesScore) {
  ASSERT_TRUE(fs::exists(kCorpus / "ruffle")) << "no corpus at " << kCorpus;
  const bool verbose = std::getenv("ORRIVEL_CORPUS_VERBOSE") != nullptr;
  // ORRIVEL_CORPUS_ONLY=part runs only the tests whose path holds it.
  const char* only = std::getenv("ORRIVEL_CORPUS_ONLY");
  PassingList passing(fs::path(ORRIVEL_SOURCE_DIR) / "tests/swf/corpus/render_passing.txt");
  ASSERT_FALSE(passing.Empty());
  NativeImageDecoder decoder;
  std::map<std::string, Tally> byCategory;
  Tally all;
  int skipped = 0;
  const auto started = std::chrono::steady_clock::now();
  for (const char* set : {"ruffle", "ruffle-noscript"}) {
    const auto tags = ReadIndexTags(kCorpus / set / "INDEX.tsv");
    std::vector<fs::path> dirs;
    for (const auto& e : fs::recursive_directory_iterator(kCorpus / set)) {
      if (e.path().filename() == "test.toml" && fs::exists(e.path().parent_path() / "test.swf"))
        dirs.push_back(e.path().parent_path());
    }
    std::sort(dirs.begin(), dirs.end());
    for (const fs::path& dir : dirs) {
      const std::string rel = fs::relative(dir, kCorpus / set).generic_string();
      if (only && rel.find(only) == std::string::npos) continue;
      const CorpusCase c = ReadCase(dir, std::string(set) + "/" + rel);
      if (c.comparisons.empty()) continue;
      const CaseResult r = RunCase(c, decoder);
      if (r.verdict == Verdict::Skipped) {
        ++skipped;
        continue;
      }
      const auto tagIt = tags.find(rel + "/test.swf");
      Player probe(decoder);
      const std::u8string swf = (dir / "test.swf").u8string();
      probe.LoadFile(std::string(swf.begin(), swf.end()));
      const bool pass = r.verdict == Verdict::Pass;
      for (const auto& cat :
           Categorise(c.relPath, tagIt == tags.end() ? "" : tagIt->second, probe.GetMovie())) {
        ++byCategory[cat].total;
        byCategory[cat].passed += pass;
      }
      passing.Record(c.relPath, pass);
      ++all.total;
      all.passed += pass;
      if (verbose)
        std::printf("%s\t%s\t%s\n", pass ? "PASS" : "FAIL", c.relPath.c_str(), r.detail.c_str());
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("\n%-34s %6s %6s\n", "category", "passed", "tests");
  for (const auto& [cat, t] : byCategory)
    std::printf("%-34s %6d %6d\n", cat.c_str(), t.passed, t.total);
  std::printf("%-34s %6d %6d   (%d skipped for length, %.1f s)\n", "all", all.passed, all.total,
              skipped, seconds);
  if (!only) passing.Check();
}

TEST(CorpusTest, EverySwfLoadsRunsAndRendersWithoutCrashing) {
  ASSERT_TRUE(fs::exists(kCorpus)) << "no corpus at " << kCorpus;
  NativeImageDecoder decoder;
  std::vector<uint32_t> pixels(64 * 48);
  int files = 0, loaded = 0;
  for (const auto& e : fs::recursive_directory_iterator(kCorpus)) {
    if (!e.is_regular_file() || e.path().extension() != ".swf") continue;
    ++files;
    Player player(decoder);
    const std::u8string path = e.path().u8string();
    if (!player.LoadFile(std::string(path.begin(), path.end()))) {
      EXPECT_EQ(player.FrameNum(), -1) << e.path();
      EXPECT_FALSE(player.LastError().empty()) << e.path();
      continue;
    }
    ++loaded;
    raster::Canvas canvas{pixels.data(), 64, 48, 64};
    for (int i = 0; i < 3; ++i) {
      player.StepFrame();
      player.Render(canvas);
    }
    EXPECT_GE(player.FrameNum(), 0) << e.path();
  }
  std::printf("%d of %d SWF files loaded\n", loaded, files);
  EXPECT_GT(files, 0);
}

// The scoring itself must not pass images that differ: a lenient rule would
// hide a drop below the baselines.
TEST(CorpusScoringTest, OwnChecksOrTheTwoPercentRule) {
  tools::RgbaImage a{10, 10, std::vector<uint8_t>(400, 100)};
  tools::RgbaImage b = a;
  for (int i = 0; i < 8; ++i) b.rgba[i] = 140;  // 8 of 400 values off by 40: 2%
  EXPECT_TRUE(ImagesMatch(a, b, {Check{0, 0}}));
  b.rgba[8] = 140;  // 9: over 2%
  EXPECT_FALSE(ImagesMatch(a, b, {Check{0, 0}}));
  EXPECT_TRUE(ImagesMatch(a, b, {Check{40, 0}}));
  EXPECT_TRUE(ImagesMatch(a, b, {Check{0, 9}}));
  EXPECT_FALSE(ImagesMatch(a, b, {Check{0, 9}, Check{39, 8}}));
  tools::RgbaImage small{5, 10, std::vector<uint8_t>(200, 100)};
  EXPECT_FALSE(ImagesMatch(a, small, {Check{255, 1000}}));
}

}  // namespace
}  // namespace orrivel::swf::test
