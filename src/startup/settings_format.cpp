#include "startup/settings_format.h"

#include <charconv>

namespace orrivel {
namespace {

// Characters as the platform counts them (UTF-16 units) in a UTF-8 prefix.
size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++units;
    if (c >= 0xF0) ++units;  // outside the BMP: a surrogate pair
  }
  return units;
}

void StoreSetting(const std::string& key, std::string_view value, SaverSettingsRecord& into) {
  if (key == kKeyMovieOrPic) {
    into.MovieOrPic = value;
  } else if (key == kKeySwfMovie) {
    into.MovieFile = value;
  } else if (key == kKeyInteractive) {
    into.Interactive = UpperAscii(value);
  } else if (key == kKeyQuality) {
    into.Quality = UpperAscii(value);
  } else if (key == kKeyPics) {
    into.Pics = value;
  } else if (key == kKeyRandom) {
    into.Random = value;
  } else if (key == kKeySpeed) {
    into.Speed = value;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Line(const char* key, const std::string& value) {
  return std::string(key) + " = " + value + "\r\n";
}

}  // namespace

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string_view TrimSpaces(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

ErrorInfo ApplySettingsText(std::string_view text, SaverSettingsRecord& into) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
    if (end == std::string_view::npos) {
      pos = text.size();
    } else {
      pos = end + 1;
      if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (Utf16Length(line.substr(0, equals)) >= kMaxKeyLength) return MakeError(kErrOverflow);
    std::string key = UpperAscii(TrimSpaces(line.substr(0, equals)));
    if (key.empty()) continue;
    StoreSetting(key, TrimSpaces(line.substr(equals + 1)), into);
  }
  return {};
}

std::vector<std::string> SplitPicsText(std::string_view pics) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (size_t semi = pics.find(';'); semi != std::string_view::npos; semi = pics.find(';', start)) {
    entries.emplace_back(pics.substr(start, semi - start));
    start = semi + 1;
  }
  return entries;
}

std::optional<double> ParseSettingsNumber(std::string_view text) {
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skipBlanks();
  size_t numberStart = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < text.size() && IsDigit(text[j])) ++j, ++expDigits;
    if (expDigits == 0) return std::nullopt;
    i = j;
  }
  size_t numberEnd = i;
  skipBlanks();
  if (i != text.size()) return std::nullopt;
  // from_chars ignores the locale's decimal separator but rejects a "+".
  if (text[numberStart] == '+') ++numberStart;
  double value = 0;
  auto result = std::from_chars(text.data() + numberStart, text.data() + numberEnd, value);
  if (result.ec == std::errc::result_out_of_range) return std::nullopt;
  return value;
}

std::string DefaultSettingsText() {
  return Line(kKeyMovieOrPic, "MOVIE") + Line(kKeySwfMovie, "DEFAULT");
}

std::string BuildSettingsText(const std::string& movieOrPic, const std::string& movieFile,
                              const std::string& interactive, const std::string& pics,
                              const std::string& random, const std::string& speed,
                              const std::string& quality) {
  if (movieOrPic == "MOVIE") {
    return Line(kKeyMovieOrPic, movieOrPic) + Line(kKeySwfMovie, movieFile) +
           Line(kKeyInteractive, interactive) + Line(kKeyQuality, quality);
  }
  return Line(kKeyMovieOrPic, movieOrPic) + Line(kKeyPics, pics) + Line(kKeyRandom, random) +
         Line(kKeySpeed, speed);
}

}  // namespace orrivel
