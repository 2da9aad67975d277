// The temporary copies on a real system: the temporary folder and names,
// the program's own resources, and files, all through the wide (UTF-16)
// functions so a temporary folder with any characters in its name works.
#pragma once

#include <windows.h>

#include "defaultmovie/temp_movie_files.h"

namespace orrivel::win32 {

class Win32TempFilePlatform final : public TempFilePlatform {
 public:
  // Resources come from `module`; null: the program file itself.
  explicit Win32TempFilePlatform(HMODULE module = nullptr) : module_(module) {}

  std::string TempPath() override;
  std::string TempFileName(const std::string& dir, const std::string& prefix,
                           uint16_t unique) override;
  int WriteResource(uint16_t id, std::string_view type, const std::string& path) override;
  bool RemoveFile(const std::string& path) override;

 private:
  HMODULE module_;
};

}  // namespace orrivel::win32
