#include "settingsdialog/picture_browser.h"

#include <algorithm>
#include <cctype>

namespace orrivel {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

bool MatchesAny(std::string_view extension, std::string_view patterns) {
  while (!patterns.empty()) {
    const size_t end = patterns.find(';');
    std::string_view one = patterns.substr(0, end);
    if (one.starts_with("*.") && EqualsNoCase(one.substr(2), extension)) return true;
    if (end == std::string_view::npos) break;
    patterns.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace

bool IsPictureFileName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot + 1);
  return MatchesAny(extension, kPicturePattern) || MatchesAny(extension, kMorePicturePatterns);
}

void SortNames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), LessNoCase);
}

std::string DriveOf(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.starts_with("\\\\")) {
    const size_t server = path.find('\\', 2);
    if (server == std::string_view::npos) return std::string(path);
    const size_t share = path.find('\\', server + 1);
    return std::string(path.substr(0, share));
  }
  return {};
}

std::vector<DirectoryEntry> DirectoryEntries(std::string_view path,
                                             std::vector<std::string> subfolders,
                                             int& currentIndex) {
  std::vector<DirectoryEntry> entries;
  const std::string drive = DriveOf(path);
  std::string built = drive + "\\";
  entries.push_back({built, built, 0, true});
  std::string_view rest = path.substr(std::min(path.size(), drive.size()));
  while (!rest.empty()) {
    if (rest.front() == '\\') {
      rest.remove_prefix(1);
      continue;
    }
    const size_t end = rest.find('\\');
    const std::string_view folder = rest.substr(0, end);
    if (built.back() != '\\') built += '\\';
    built += folder;
    entries.push_back({built, std::string(folder), static_cast<int>(entries.size()), true});
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }
  currentIndex = static_cast<int>(entries.size()) - 1;
  const int level = static_cast<int>(entries.size());
  SortNames(subfolders);
  for (std::string& name : subfolders) {
    std::string full = built.back() == '\\' ? built + name : built + "\\" + name;
    entries.push_back({std::move(full), std::move(name), level, false});
  }
  return entries;
}

}  // namespace orrivel
