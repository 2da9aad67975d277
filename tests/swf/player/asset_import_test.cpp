#include "swf/player/asset_import.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "swf/format/reader.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

void Put(std::vector<uint8_t>& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}

// A version 6 movie whose only tags import "a" from `url`, `count` times.
std::vector<uint8_t> ImportingMovie(const std::string& url, int count) {
  std::vector<uint8_t> body;
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> tag(url.begin(), url.end());
    tag.push_back(0);
    Put(tag, {1, 0, i + 1, 0, 'a', 0});
    const uint16_t head = static_cast<uint16_t>(57 << 6 | 63);
    Put(body, {head & 0xFF, head >> 8, static_cast<int>(tag.size()), 0, 0, 0});
    body.insert(body.end(), tag.begin(), tag.end());
  }
  Put(body, {0x40, 0x00, 0, 0});  // ShowFrame, End
  std::vector<uint8_t> file = {'F', 'W', 'S', 6, 0, 0, 0, 0, 0x00, 0, 12, 1, 0};
  file.insert(file.end(), body.begin(), body.end());
  const auto size = static_cast<uint32_t>(file.size());
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  return file;
}

// A movie whose only tag exports character `id` as `name` without defining it.
std::vector<uint8_t> ExportingMovie(int id, const std::string& name) {
  std::vector<uint8_t> tag;
  Put(tag, {1, 0, id & 0xFF, id >> 8});
  tag.insert(tag.end(), name.begin(), name.end());
  tag.push_back(0);
  std::vector<uint8_t> file = {'F', 'W', 'S', 6, 0, 0, 0, 0, 0x00, 0, 12, 1, 0};
  const uint16_t head = static_cast<uint16_t>(56 << 6 | static_cast<int>(tag.size()));
  Put(file, {head & 0xFF, head >> 8});
  file.insert(file.end(), tag.begin(), tag.end());
  Put(file, {0x40, 0x00, 0, 0});
  const auto size = static_cast<uint32_t>(file.size());
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  return file;
}

// An import the exporting file cannot satisfy is skipped: a name exported
// without its character (whatever its id: near the top of the range the
// renumbered id would wrap), a name not exported at all, a file that is no
// movie, a file that is not there.
TEST(AssetImportTest, ImportsThatFindNothingAreSkipped) {
  const auto folder = std::filesystem::path(testing::TempDir()) / "orrivel_import_ghost";
  std::filesystem::create_directories(folder);
  const struct {
    const char* what;
    std::vector<uint8_t> lib;  // empty: no file
  } cases[] = {
      {"exported without its character", ExportingMovie(7, "a")},
      {"exported without its character, top id", ExportingMovie(65535, "a")},
      {"another name exported", ExportingMovie(7, "b")},
      {"not a movie", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0}},
      {"no file", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(folder / "lib.swf");
    if (!c.lib.empty()) {
      std::ofstream(folder / "lib.swf", std::ios::binary)
          .write(reinterpret_cast<const char*>(c.lib.data()),
                 static_cast<std::streamsize>(c.lib.size()));
    }
    LoadResult loaded = LoadMovie(ImportingMovie("lib.swf", 1));
    ASSERT_TRUE(loaded.movie);
    ResolveImports(*loaded.movie, folder, nullptr);
    EXPECT_FALSE(loaded.movie->characters.contains(1));
  }
  std::filesystem::remove_all(folder);
}

// Movies importing themselves, once or many times over, end after a bounded
// number of reads and say why they stopped.
TEST(AssetImportTest, ImportLoopsStayBounded) {
  const auto folder = std::filesystem::path(testing::TempDir()) / "orrivel_import_loop";
  std::filesystem::create_directories(folder);
  for (int fan : {1, 8}) {
    const std::vector<uint8_t> bytes = ImportingMovie("self.swf", fan);
    std::ofstream(folder / "self.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    LoadResult loaded = LoadMovie(bytes);
    ASSERT_TRUE(loaded.movie) << fan;
    ASSERT_EQ(loaded.movie->imports.size(), static_cast<std::size_t>(fan));
    int refusals = 0;
    ResolveImports(*loaded.movie, folder, [&](const std::string&) { ++refusals; });
    EXPECT_EQ(refusals > 0, fan > 1) << fan;
  }
  std::filesystem::remove_all(folder);
}

// Each file a movie imports from is a request the host hears of once, as
// the movie loads, whether or not the file is there.
TEST(AssetImportTest, ImportedFilesAreRequestsOfTheMovie) {
  const auto folder = std::filesystem::path(testing::TempDir()) / "orrivel_import_request";
  std::filesystem::create_directories(folder);
  for (const std::string url : {"lib.swf", ""}) {
    const std::vector<uint8_t> bytes = ImportingMovie(url, 2);
    std::ofstream(folder / "main.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    NativeImageDecoder decoder;
    Player player(decoder);
    std::vector<std::string> requests;
    player.SetRequestSink(
        [&](const avm1::OutgoingRequest& r) { requests.push_back(r.method + " " + r.url); });
    ASSERT_TRUE(player.LoadFile((folder / "main.swf").string()));
    EXPECT_EQ(requests,
              url.empty() ? std::vector<std::string>{} : std::vector<std::string>{"GET " + url});
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orrivel::swf
