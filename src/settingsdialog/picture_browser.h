// The rules of the small file browser in the image list editor: which file
// names the file list shows, and the entries of the directory list (the
// folders of the current path, then its subfolders) as a classic directory
// list draws them. The shell reads the file system; this decides what shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orrivel {

// The file list's pattern, and the other picture files the slideshow reads.
inline constexpr char kPicturePattern[] = "*.gif;*.jpg;*.bmp;*.wmf;*.emf;*.dib;*.ico;*.cur";
inline constexpr char kMorePicturePatterns[] = "*.png;*.tif;*.tiff;*.jpeg;*.jpe;*.jfif";

// True when `name` matches one of the patterns (extensions compared
// without regard to case).
bool IsPictureFileName(std::string_view name);

struct DirectoryEntry {
  std::string path;   // full path, used to open it
  std::string label;  // what the list shows
  int level = 0;      // indentation: 0 for the drive's root
  bool open = false;  // a folder of the current path (drawn open)
};

// The entries for `path` ("C:\", "C:\a\b", or "\\server\share\a"): the root
// and each folder down to the current one (open), then `subfolders`
// (closed, sorted without regard to case). Returns the index of the
// current folder in `currentIndex`.
std::vector<DirectoryEntry> DirectoryEntries(std::string_view path,
                                             std::vector<std::string> subfolders,
                                             int& currentIndex);

// Sorts names as the lists show them: without regard to case.
void SortNames(std::vector<std::string>& names);

// "C:" for "C:\...", "\\server\share" for a network path, "" otherwise.
std::string DriveOf(std::string_view path);

}  // namespace orrivel
