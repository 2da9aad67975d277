// Scoring of the player against the corpus's reference images: one corpus
// test folder in, a pass/fail verdict and its categories out.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "../../../tools/png_io.h"
#include "../avm1/input_script.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"
#include "toml_lite.h"

namespace orrivel::swf::test {

namespace fs = std::filesystem;

// Frames a test may ask for before it is skipped, to keep the run short.
constexpr int kMaxCorpusFrames = 400;

struct Check {
  int tolerance = 0;
  long maxOutliers = 0;
};

struct Comparison {
  std::string name;  // <name>.expected.png
  int trigger = 0;   // frame to capture; 0: the last frame run
  std::vector<Check> checks;
};

struct CorpusCase {
  fs::path dir;
  std::string relPath;  // "ruffle/visual/..." for reports
  int frames = 1;
  Quality quality = Quality::High;
  std::vector<Comparison> comparisons;
};

inline std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Reads test.toml; the comparisons found there, or "output" when it names none.
inline CorpusCase ReadCase(const fs::path& dir, const std::string& relPath) {
  CorpusCase c;
  c.dir = dir;
  c.relPath = relPath;
  const TomlLite toml = TomlLite::Parse(ReadText(dir / "test.toml"));
  if (auto n = toml.Number("num_frames")) {
    c.frames = static_cast<int>(*n);
  } else if (auto t = toml.Number("num_ticks")) {
    c.frames = static_cast<int>(*t);
  }
  c.frames = std::max(c.frames, 1);
  if (toml.String("player_options/with_renderer/quality").value_or("high") == "low")
    c.quality = Quality::Low;
  std::map<std::string, Comparison> byName;
  const std::string prefix = "image_comparisons/";
  for (const auto& [key, value] : toml.Values()) {
    if (!key.starts_with(prefix)) continue;
    const std::string rest = key.substr(prefix.size());
    const std::string name = rest.substr(0, rest.find('/'));
    Comparison& cmp = byName[name];
    cmp.name = name;
    const std::string field = rest.substr(std::min(rest.size(), name.size() + 1));
    // checks/N/<field> or <field>; a plain tolerance/max_outliers is check 0.
    std::size_t index = 0;
    std::string leaf = field;
    if (field.starts_with("checks/")) {
      const std::string tail = field.substr(7);
      index = std::strtoul(tail.c_str(), nullptr, 10);
      leaf = tail.substr(tail.find('/') + 1);
    }
    const double v = toml.Number(key).value_or(0);
    if (leaf == "trigger") {
      cmp.trigger = static_cast<int>(v);
      continue;
    }
    if (leaf != "tolerance" && leaf != "max_outliers") continue;
    if (cmp.checks.size() <= index) cmp.checks.resize(index + 1);
    if (leaf == "tolerance")
      cmp.checks[index].tolerance = static_cast<int>(v);
    else
      cmp.checks[index].maxOutliers = static_cast<long>(v);
  }
  for (auto& [name, cmp] : byName) {
    if (cmp.checks.empty()) cmp.checks.push_back({});
    if (fs::exists(dir / (name + ".expected.png"))) c.comparisons.push_back(cmp);
  }
  if (c.comparisons.empty() && fs::exists(dir / "output.expected.png"))
    c.comparisons.push_back(Comparison{"output", 0, {Check{}}});
  return c;
}

// How many channel values differ by more than tolerance.
inline long CountOutliers(const tools::RgbaImage& a, const tools::RgbaImage& b, int tolerance) {
  long n = 0;
  for (std::size_t i = 0; i < a.rgba.size(); ++i) {
    if (std::abs(int(a.rgba[i]) - int(b.rgba[i])) > tolerance) ++n;
  }
  return n;
}

// Within the test's own checks, or at most 2% of channel values off by more than 32.
inline bool ImagesMatch(const tools::RgbaImage& expected, const tools::RgbaImage& actual,
                        const std::vector<Check>& checks) {
  if (expected.width != actual.width || expected.height != actual.height) return false;
  const bool own = std::all_of(checks.begin(), checks.end(), [&](const Check& c) {
    return CountOutliers(expected, actual, c.tolerance) <= c.maxOutliers;
  });
  return own || CountOutliers(expected, actual, 32) * 50 <= static_cast<long>(actual.rgba.size());
}

enum class Verdict { Pass, Fail, Skipped, LoadError };

struct CaseResult {
  Verdict verdict = Verdict::Fail;
  std::string detail;
};

inline CaseResult RunCase(const CorpusCase& c, ImageDecoder& decoder) {
  int lastFrame = c.frames;
  for (const auto& cmp : c.comparisons) lastFrame = std::max(lastFrame, cmp.trigger);
  if (lastFrame > kMaxCorpusFrames) return {Verdict::Skipped, "too many frames"};
  Player player(decoder);
  const std::u8string path = (c.dir / "test.swf").u8string();
  if (!player.LoadFile(std::string(path.begin(), path.end())))
    return {Verdict::LoadError, player.LastError()};
  player.SetQuality(c.quality);
  // Input events up to each "Wait" come after a frame has run, as in the trace tests.
  std::ifstream inputFile(c.dir / "input.json", std::ios::binary);
  std::stringstream inputText;
  inputText << inputFile.rdbuf();
  const std::vector<InputEvent> input = JsonEvents::Parse(inputText.str());
  std::size_t nextInput = 0;
  PointerAt pointer;
  FeedInput(player, input, nextInput, pointer);
  CaseResult result{Verdict::Pass, {}};
  for (int frame = 1; frame <= lastFrame; ++frame) {
    if (frame > 1) {
      player.StepFrame();
      FeedInput(player, input, nextInput, pointer);
    }
    for (const auto& cmp : c.comparisons) {
      if ((cmp.trigger ? cmp.trigger : c.frames) != frame) continue;
      tools::RgbaImage expected;
      std::string error;
      if (!tools::ReadPng((c.dir / (cmp.name + ".expected.png")).string(), expected, error))
        return {Verdict::Fail, error};
      std::vector<uint32_t> pixels(static_cast<std::size_t>(expected.width) * expected.height);
      raster::Canvas canvas{pixels.data(), expected.width, expected.height, expected.width};
      player.Render(canvas);
      const tools::RgbaImage actual = tools::FromCanvas(canvas);
      if (!ImagesMatch(expected, actual, cmp.checks)) {
        result.verdict = Verdict::Fail;
        result.detail += cmp.name + " differs; ";
        // ORRIVEL_CORPUS_DUMP names a folder that receives what was drawn.
        if (const char* dump = std::getenv("ORRIVEL_CORPUS_DUMP")) {
          std::string file = c.dir.filename().string() + "." + cmp.name + ".png";
          tools::WritePng((fs::path(dump) / file).string(), actual, error);
        }
      }
    }
  }
  return result;
}

// ---- Categories ----------------------------------------------------------

inline void CollectPlacements(const Timeline& t, bool& masks, bool& blends, bool& filters) {
  for (const Frame& f : t.frames) {
    for (const ControlTag& tag : f.tags) {
      const auto* p = std::get_if<PlaceObject>(&tag);
      if (!p) continue;
      masks |= p->clipDepth.has_value();
      blends |= p->blendMode.has_value() && *p->blendMode != BlendMode::Normal;
      filters |= p->hasFilters;
    }
  }
}

// Categories from the tag names (INDEX.tsv), the path and the parsed movie.
inline std::set<std::string> Categorise(const std::string& relPath, const std::string& tags,
                                        const Movie* movie) {
  const auto has = [&](const char* s) { return tags.find(s) != std::string::npos; };
  const auto inPath = [&](const char* s) { return relPath.find(s) != std::string::npos; };
  bool masks = inPath("mask"), blends = inPath("blend"), filters = inPath("filter");
  if (movie) {
    CollectPlacements(movie->timeline, masks, blends, filters);
    for (const auto& [id, ch] : movie->characters) {
      if (const auto* s = std::get_if<SpriteDefinition>(&ch))
        CollectPlacements(s->timeline, masks, blends, filters);
    }
  }
  std::set<std::string> out;
  const bool scripted = has("DoAction") || has("DoInitAction") || has("DoABC");
  const bool text = has("DefineText") || has("DefineEditText") || has("DefineFont") ||
                    inPath("/text/") || inPath("edittext");
  const bool video = has("Video") || inPath("video");
  if (has("DefineShape")) out.insert("shapes+gradients");
  if (has("DefineBits") || has("JPEGTables")) out.insert("bitmaps");
  if (has("DefineMorphShape")) out.insert("morphs");
  if (masks) out.insert("masks");
  if (blends) out.insert("blend modes");
  if (text) out.insert("text");
  if (scripted) out.insert("scripted");
  if (video) out.insert("video");
  if (filters) out.insert("filters");
  if (!scripted && !text && !video && !filters) out.insert("plain (no AS/text/video/filters)");
  return out;
}

// path -> tags column of an INDEX.tsv (paths relative to its folder).
inline std::map<std::string, std::string> ReadIndexTags(const fs::path& index) {
  std::map<std::string, std::string> out;
  std::istringstream in(ReadText(index));
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> cols;
    for (std::string col; std::getline(fields, col, '\t');) cols.push_back(col);
    if (cols.size() >= 18) out[cols[0]] = cols[17];
  }
  return out;
}

}  // namespace orrivel::swf::test
