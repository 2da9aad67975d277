// Loads every SWF of the shared corpus: nothing may crash, the files made to
// be broken must fail cleanly, and the well-formed ones must load.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "swf/format/reader.h"

namespace orrivel::swf {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

struct Expectation {
  const char* pathPart;
  LoadErrorKind error;
};

// Files whose outcome is known in advance.
const Expectation kKnown[] = {
    {"ruffle-swf-crate/swf/tests/swfs/lzma", LoadErrorKind::Lzma},
    {"ruffle-swf-crate/swf/tests/swfs/Avm2", LoadErrorKind::ActionScript3},
    {"ruffle-swf-crate/swf/tests/swfs/DefineShape.swf", LoadErrorKind::None},
    {"ruffle-swf-crate/swf/tests/swfs/zlib.swf", LoadErrorKind::None},
};

TEST(Corpus, EveryFileLoadsOrFailsCleanly) {
  const fs::path root = ORRIVEL_CORPUS_DIR;
  ASSERT_TRUE(fs::exists(root)) << "no corpus at " << root << " (../shared/corpus)";
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file() && e.path().extension() == ".swf") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  std::map<LoadErrorKind, int> byError;
  size_t damagedTags = 0, loadedWithDamage = 0;
  for (const auto& path : files) {
    const std::string name = path.generic_string();
    const auto data = ReadFile(path);
    const LoadResult result = LoadMovie(data);
    ++byError[result.error];
    EXPECT_EQ(result.movie != nullptr, result.error == LoadErrorKind::None) << name;
    for (const auto& k : kKnown) {
      if (Contains(name, k.pathPart)) {
        EXPECT_EQ(result.error, k.error) << name << ": " << result.message;
      }
    }
    // Reference tests of the player: timeline content that must load.
    const bool playerTest = Contains(name, "/ruffle/") || Contains(name, "/ruffle-noscript/");
    if (playerTest) {
      EXPECT_EQ(result.error, LoadErrorKind::None) << name << ": " << result.message;
    }
    if (!result.movie) continue;
    size_t damaged = 0;
    for (const auto& t : result.movie->tags) {
      EXPECT_LE(t.offset, 8 + result.movie->header.fileLength + data.size()) << name;
      damaged += t.damaged;
    }
    damagedTags += damaged;
    loadedWithDamage += damaged > 0;
    if (damaged > 0 && (playerTest || Contains(name, "ruffle-swf-crate")))
      ADD_FAILURE() << name << ": " << result.message;
  }
  const int loaded = byError[LoadErrorKind::None];
  std::printf("corpus: %zu files, %d loaded (%zu with damaged tags, %zu damaged tags)\n",
              files.size(), loaded, loadedWithDamage, damagedTags);
  for (const auto& [kind, count] : byError) {
    if (kind != LoadErrorKind::None) std::printf("  error kind %d: %d\n", int(kind), count);
  }
  EXPECT_GT(loaded, 0);
}

// Damaged copies of small real movies (uncompressed, so the damage reaches
// the tags): every load must end cleanly, which the sanitizer build checks.
TEST(Corpus, MutatedMoviesNeverCrash) {
  const fs::path dir = fs::path(ORRIVEL_CORPUS_DIR) / "misc/ruffle-swf-crate/swf/tests/swfs";
  ASSERT_TRUE(fs::exists(dir)) << "no corpus at " << dir << " (../shared/corpus)";
  std::mt19937 rng(1234);
  int loads = 0;
  for (const char* name :
       {"DefineShape.swf", "DefineShape4.swf", "DefineMorphShape2.swf", "PlaceObject3-theworks.swf",
        "DefineButton2-CS6.swf", "DefineSprite.swf", "PlaceObject2-ClipActions-CS6.swf",
        "DefineBits-JpegTables-MX.swf", "DefineMorphShape-MX.swf"}) {
    const auto original = ReadFile(dir / name);
    const LoadResult plain = LoadMovie(original);
    ASSERT_TRUE(plain.movie) << name << ": " << plain.message;
    // Work on the uncompressed form so that damage lands in tag data.
    std::vector<uint8_t> base = original;
    if (base[0] == 'C') {
      uLongf size = plain.movie->header.fileLength - 8;
      base.resize(8 + size);
      ASSERT_EQ(uncompress(base.data() + 8, &size, original.data() + 8, original.size() - 8), Z_OK);
      base[0] = 'F';
    }
    for (int i = 0; i < 2000; ++i) {
      auto data = base;
      const int edits = 1 + static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) {
        const size_t at = 8 + rng() % (data.size() - 8);
        switch (rng() % 3) {
          case 0:
            data[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
          case 1:
            data[at] = static_cast<uint8_t>(rng());
            break;
          default:
            data.resize(at);
            break;
        }
        if (data.size() <= 9) break;
      }
      const LoadResult r = LoadMovie(data);
      EXPECT_EQ(r.movie != nullptr, r.error == LoadErrorKind::None);
      ++loads;
    }
  }
  EXPECT_GT(loads, 0);
}

}  // namespace
}  // namespace orrivel::swf
