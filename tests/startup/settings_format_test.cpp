#include "startup/settings_format.h"

#include <gtest/gtest.h>

namespace orrivel {
namespace {

SaverSettingsRecord Parse(std::string_view text) {
  SaverSettingsRecord record;
  EXPECT_FALSE(ApplySettingsText(text, record).failed());
  return record;
}

TEST(ApplySettingsText, KeysValuesAndCase) {
  struct Case {
    const char* text;
    SaverSettingsRecord expected;
  } cases[] = {
      {"swfmovie=C:\\Films\\a=b.swf\r\n", {"", "C:\\Films\\a=b.swf", "", "", "", "", ""}},
      {"  MovieOrPic   =   pic  \r\n", {"pic", "", "", "", "", "", ""}},
      {"INTERACTIVE = false\r\nQUALITY = low\r\n", {"", "", "FALSE", "LOW", "", "", ""}},
      {"RANDOM = random\r\nSPEED = 2.5\r\n", {"", "", "", "", "", "random", "2.5"}},
      {"PICS = C:\\a.jpg;C:\\b.jpg;\r\n", {"", "", "", "", "C:\\a.jpg;C:\\b.jpg;", "", ""}},
      // Only spaces are trimmed: a tab stays in the value.
      {"SPEED =\t5 \r\n", {"", "", "", "", "", "", "\t5"}},
      {"SWFMOVIE =\r\n", {"", "", "", "", "", "", ""}},
      // Later lines win; unknown keys, key-less and "="-less lines are ignored.
      {"SPEED = 1\r\nSPEED = 9\r\nCOLOR = red\r\n= 4\r\nnonsense\r\n\r\n",
       {"", "", "", "", "", "", "9"}},
      // Lone LF, lone CR and a last line without an ending.
      {"MOVIEORPIC = PIC\nSPEED = 3\rRANDOM = SEQ", {"PIC", "", "", "", "", "SEQ", "3"}},
      // Non-ASCII text is kept byte for byte.
      {"SWFMOVIE = C:\\Ταινίες\\映画.swf\r\n", {"", "C:\\Ταινίες\\映画.swf", "", "", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SaverSettingsRecord got = Parse(c.text);
    EXPECT_EQ(got.MovieOrPic, c.expected.MovieOrPic);
    EXPECT_EQ(got.MovieFile, c.expected.MovieFile);
    EXPECT_EQ(got.Interactive, c.expected.Interactive);
    EXPECT_EQ(got.Quality, c.expected.Quality);
    EXPECT_EQ(got.Pics, c.expected.Pics);
    EXPECT_EQ(got.Random, c.expected.Random);
    EXPECT_EQ(got.Speed, c.expected.Speed);
  }
}

TEST(ApplySettingsText, OnlyKeysInTheFileOverwriteFields) {
  SaverSettingsRecord record{"PIC", "", "", "", "x;", "", "7"};
  ASSERT_FALSE(ApplySettingsText("MOVIEORPIC = MOVIE\r\n", record).failed());
  EXPECT_EQ(record.MovieOrPic, "MOVIE");
  EXPECT_EQ(record.Pics, "x;");
  EXPECT_EQ(record.Speed, "7");
}

TEST(ApplySettingsText, KeyBeyondSixteenBitPositionsFailsAfterEarlierLines) {
  std::string text = "SPEED = 3\r\n" + std::string(40000, 'K') + " = 1\r\nRANDOM = SEQ\r\n";
  SaverSettingsRecord record;
  ErrorInfo error = ApplySettingsText(text, record);
  EXPECT_EQ(error.number, kErrOverflow);
  EXPECT_EQ(record.Speed, "3");
  EXPECT_EQ(record.Random, "");
  // A long value after a short key is fine.
  std::string longValue = "PICS = " + std::string(40000, 'p') + ";\r\n";
  EXPECT_FALSE(ApplySettingsText(longValue, record).failed());
  EXPECT_EQ(record.Pics.size(), 40001u);
}

TEST(SplitPicsText, Entries) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitPicsText("C:\\a.jpg;;C:\\b.jpg;C:\\c.jpg"), (V{"C:\\a.jpg", "", "C:\\b.jpg"}));
  EXPECT_EQ(SplitPicsText("C:\\a.jpg"), V{});
  EXPECT_EQ(SplitPicsText(";"), V{""});
  EXPECT_EQ(SplitPicsText("a;a; b ;"), (V{"a", "a", " b "}));
  EXPECT_EQ(SplitPicsText(""), V{});
}

TEST(ParseSettingsNumber, AcceptsPlainNumbersOnly) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"5", true, 5},     {"2.5", true, 2.5}, {" 7 ", true, 7},    {"+3", true, 3},
      {"-4", true, -4},   {"\t15", true, 15}, {".5", true, 0.5},   {"5.", true, 5},
      {"1e2", true, 100}, {"", false, 0},     {"abc", false, 0},   {"5s", false, 0},
      {"-", false, 0},    {".", false, 0},    {"1e", false, 0},    {"1,5", false, 0},
      {"0x10", false, 0}, {"1 2", false, 0},  {"1e999", false, 0}, {"  ", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto got = ParseSettingsNumber(c.text);
    ASSERT_EQ(got.has_value(), c.ok);
    if (c.ok) {
      EXPECT_DOUBLE_EQ(*got, c.value);
    }
  }
}

TEST(SettingsText, ThreeLayoutsByteForByte) {
  EXPECT_EQ(DefaultSettingsText(), "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
  EXPECT_EQ(BuildSettingsText("MOVIE", "C:\\m.swf", "TRUE", "p;", "RANDOM", "5", "LOW"),
            "MOVIEORPIC = MOVIE\r\nSWFMOVIE = C:\\m.swf\r\nINTERACTIVE = TRUE\r\n"
            "QUALITY = LOW\r\n");
  EXPECT_EQ(BuildSettingsText("PIC", "", "", "C:\\a.jpg;C:\\b.jpg;", "SEQ", "15", ""),
            "MOVIEORPIC = PIC\r\nPICS = C:\\a.jpg;C:\\b.jpg;\r\nRANDOM = SEQ\r\nSPEED = 15\r\n");
  // Any kind other than exactly "MOVIE" takes the picture layout, unchanged.
  EXPECT_EQ(BuildSettingsText("movie", "x", "y", "", "", "", "z"),
            "MOVIEORPIC = movie\r\nPICS = \r\nRANDOM = \r\nSPEED = \r\n");
}

TEST(SettingsText, WrittenTextReadsBack) {
  SaverSettingsRecord record;
  ASSERT_FALSE(ApplySettingsText(
                   BuildSettingsText("MOVIE", "D:\\x = y.swf", "FALSE", "", "", "", "HIGH"), record)
                   .failed());
  EXPECT_EQ(record.MovieFile, "D:\\x = y.swf");
  EXPECT_EQ(record.Interactive, "FALSE");
  EXPECT_EQ(record.Quality, "HIGH");
}

}  // namespace
}  // namespace orrivel
