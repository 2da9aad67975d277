#include "defaultmovie/temp_movie_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orrivel {
namespace {

const std::string kMovie = "FWS\x04 the built-in movie";

// Files in a map; names made like the system's: prefix, hex number, .TMP.
class FakePlatform final : public TempFilePlatform {
 public:
  std::string tempPath = "C:\\Temp\\";
  bool makeNoNames = false;
  std::set<std::string> readOnly;
  std::map<std::string, std::string> files;
  std::vector<std::string> removeCalls;
  int next = 0x1a;

  std::string TempPath() override { return tempPath; }
  std::string TempFileName(const std::string& dir, const std::string& prefix,
                           uint16_t unique) override {
    if (makeNoNames || unique != 0) return std::string(8, '\0');  // the buffer as it was
    char number[8];
    std::snprintf(number, sizeof number, "%X", next++);
    const std::string name = dir + prefix + number + ".TMP";
    files[name] = "";
    return name + std::string(4, '\0');  // the rest of the buffer
  }
  int WriteResource(uint16_t id, std::string_view type, const std::string& path) override {
    if (id != 101 || type != "Flash") return kErrResourceNotFound;
    if (path.empty() || readOnly.contains(path)) return kErrPathFileAccess;
    files[path] = kMovie;
    return 0;
  }
  bool RemoveFile(const std::string& path) override {
    removeCalls.push_back(path);
    return files.erase(path) != 0;
  }
};

TEST(TempMovieFilesTest, EachExtractionWritesAndRecordsAFreshFile) {
  FakePlatform platform;
  platform.files["D:\\mine.swf"] = "an older and longer file";
  TempMovieFiles store(platform);
  const std::string first = store.ResourceToTempFile(101, "Flash");
  const std::string second = store.ResourceToTempFile(101, "Flash");
  const std::string given = store.ResourceToTempFile(101, "Flash", "D:\\mine.swf");

  EXPECT_EQ(first, "C:\\Temp\\~fs1A.TMP");  // cut at the buffer's first NUL
  EXPECT_EQ(second, "C:\\Temp\\~fs1B.TMP");
  EXPECT_EQ(given, "D:\\mine.swf");
  EXPECT_EQ(store.Files(), (std::vector<std::string>{first, second, given}));
  for (const std::string& path : store.Files()) EXPECT_EQ(platform.files[path], kMovie);
}

TEST(TempMovieFilesTest, AFailedWriteRecordsNothingAndLeavesNoFile) {
  struct Case {
    const char* what;
    int32_t id;
    std::string fileName;
    std::string tempPath;
    bool makeNoNames;
  } cases[] = {
      {"no such resource", 102, "", "C:\\Temp\\", false},
      {"id beyond 16 bits", 101 + 65536, "", "C:\\Temp\\", false},
      {"negative id", -1, "", "C:\\Temp\\", false},
      {"no temporary folder", 101, "", "", false},
      {"no name made", 101, "", "C:\\Temp\\", true},
      {"given file not writable", 101, "D:\\locked.swf", "C:\\Temp\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.tempPath = c.tempPath;
    platform.makeNoNames = c.makeNoNames;
    platform.files["D:\\locked.swf"] = "theirs";
    platform.readOnly.insert("D:\\locked.swf");
    TempMovieFiles store(platform);
    EXPECT_EQ(store.ResourceToTempFile(c.id, "Flash", c.fileName), "");
    EXPECT_TRUE(store.Files().empty());
    // Only the locked file, untouched: no empty temporary file is left over.
    EXPECT_EQ(platform.files, (std::map<std::string, std::string>{{"D:\\locked.swf", "theirs"}}));
  }
}

TEST(TempMovieFilesTest, DeletingPassesOverVanishedFilesAndKeepsTheRecord) {
  FakePlatform platform;
  TempMovieFiles store(platform);
  store.DeleteTempFiles();  // before any extraction: nothing to do
  EXPECT_TRUE(platform.removeCalls.empty());
  for (int i = 0; i < 3; ++i) store.ResourceToTempFile(101, "Flash");
  const std::vector<std::string> recorded = store.Files();
  platform.files.erase(recorded[1]);  // deleted by someone else

  store.DeleteTempFiles();
  EXPECT_TRUE(platform.files.empty());
  EXPECT_EQ(platform.removeCalls, recorded);
  // A second pass finds nothing and says nothing; the record stays.
  store.DeleteTempFiles();
  EXPECT_EQ(platform.removeCalls.size(), 6u);
  EXPECT_EQ(store.Files(), recorded);
}

}  // namespace
}  // namespace orrivel
