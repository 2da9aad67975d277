#include "defaultmovie/temp_movie_files.h"

namespace orrivel {

std::string CutAtNul(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::string TempMovieFiles::ResourceToTempFile(int32_t id, std::string_view type,
                                               const std::string& fileName) {
  // Resource ids are 16 bits; a larger one would name a different resource.
  if (id < 0 || id > UINT16_MAX) return {};
  std::string name = fileName;
  const bool madeName = name.empty();
  if (madeName && !MakeTempFileName("", kTempFilePrefix, 0, name)) return {};
  if (WriteResourceToFile(static_cast<uint16_t>(id), type, name) != 0) {
    // The platform created the temporary file empty; nobody would ever
    // delete it, so it goes now.
    if (madeName) platform_.RemoveFile(name);
    return {};
  }
  files_.push_back(name);
  return name;
}

int TempMovieFiles::WriteResourceToFile(uint16_t id, std::string_view type,
                                        const std::string& fileName) {
  return platform_.WriteResource(id, type, fileName);
}

bool TempMovieFiles::MakeTempFileName(const std::string& dir, const std::string& prefix,
                                      uint16_t unique, std::string& fileName) {
  std::string folder = dir;
  if (folder.empty()) {
    folder = platform_.TempPath();
    if (folder.empty()) return false;
  }
  fileName = CutAtNul(platform_.TempFileName(folder, prefix, unique));
  return !fileName.empty();
}

void TempMovieFiles::DeleteTempFiles() {
  // A file that is gone, locked or unnamed is passed over; the rest still go.
  for (const std::string& path : files_) platform_.RemoveFile(path);
}

}  // namespace orrivel
