// The settings file's text: KEY = VALUE lines, parsed into and written from
// the settings record. Pure functions over UTF-8 text; the byte encoding and the
// file itself are handled by settings_store.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_info.h"

namespace orrivel {

// The user's choices, one text per settings key (UTF-8 in memory), kept
// exactly as read so that writing them back is byte-exact.
struct SaverSettingsRecord {
  std::string MovieOrPic;   // MOVIEORPIC
  std::string MovieFile;    // SWFMOVIE
  std::string Interactive;  // INTERACTIVE
  std::string Quality;      // QUALITY
  std::string Pics;         // PICS
  std::string Random;       // RANDOM
  std::string Speed;        // SPEED
};

inline constexpr char kSettingsFileName[] = "Velmorand.ini";

// Key names of the settings file.
inline constexpr char kKeyMovieOrPic[] = "MOVIEORPIC";
inline constexpr char kKeySwfMovie[] = "SWFMOVIE";
inline constexpr char kKeyInteractive[] = "INTERACTIVE";
inline constexpr char kKeyQuality[] = "QUALITY";
inline constexpr char kKeyPics[] = "PICS";
inline constexpr char kKeyRandom[] = "RANDOM";
inline constexpr char kKeySpeed[] = "SPEED";

// Positions within a line are 16-bit: a line whose first "=" lies beyond
// this many characters fails the read.
inline constexpr size_t kMaxKeyLength = 32767;

std::string UpperAscii(std::string_view text);
std::string_view TrimSpaces(std::string_view text);

// Stores every KEY = VALUE line of `text` into `into`, in file order (a later
// line wins, unknown keys are ignored). Lines end with CR LF, LF or CR. On a
// failing line the fields stored so far keep their values.
ErrorInfo ApplySettingsText(std::string_view text, SaverSettingsRecord& into);

// The PICS entries: each path is followed by ";"; text after the last ";"
// is dropped, empty entries are kept.
std::vector<std::string> SplitPicsText(std::string_view pics);

// Numbers as the settings accept them: optional blanks, sign, digits with an
// optional decimal fraction and exponent, optional blanks.
std::optional<double> ParseSettingsNumber(std::string_view text);
inline bool IsSettingsNumber(std::string_view text) {
  return ParseSettingsNumber(text).has_value();
}

// The file text in one of its three layouts, every line ended by CR LF.
std::string DefaultSettingsText();
std::string BuildSettingsText(const std::string& movieOrPic, const std::string& movieFile,
                              const std::string& interactive, const std::string& pics,
                              const std::string& random, const std::string& speed,
                              const std::string& quality);

}  // namespace orrivel
