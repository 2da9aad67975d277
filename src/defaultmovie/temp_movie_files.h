// The built-in movie written out to temporary files: the player only loads
// movies from files, so each window that shows the built-in movie asks for
// a fresh copy. Every copy is remembered and deleted when the movie window
// closes. The system (temporary folder, resources, files) comes in through
// TempFilePlatform so tests can give fixed answers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_info.h"

namespace orrivel {

// The built-in movie's resource: type "FLASH" (names match without regard
// to case), id 101, stored as English (United States).
inline constexpr int32_t kDefaultMovieId = 101;
inline constexpr char kDefaultMovieType[] = "Flash";
inline constexpr char kTempFilePrefix[] = "~fs";

// The runtime's number for a resource that the program does not carry.
inline constexpr int kErrResourceNotFound = 326;

class TempFilePlatform {
 public:
  virtual ~TempFilePlatform() = default;
  // The folder for temporary files, ending in a separator; "" when the
  // system gives none (or one too long to use).
  virtual std::string TempPath() = 0;
  // Makes a name in `dir` from the prefix and a hexadecimal number with a
  // .TMP extension; unique 0 lets the system pick a number not yet in use
  // and create the file, empty. Returns the name ("" on failure); anything
  // after a NUL character is not part of it.
  virtual std::string TempFileName(const std::string& dir, const std::string& prefix,
                                   uint16_t unique) = 0;
  // Writes the program's own resource to `path` (created when missing) so
  // that the file holds exactly its bytes. Returns 0 or an error number:
  // kErrResourceNotFound, kErrPathFileAccess for an empty path, else the
  // file system's.
  virtual int WriteResource(uint16_t id, std::string_view type, const std::string& path) = 0;
  // False when the file could not be deleted (gone, locked, no name).
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The text up to, not including, its first NUL; all of it when it has none.
std::string CutAtNul(std::string_view text);

// The copies made for this process. One instance lives as long as the
// process; the platform must outlive it.
class TempMovieFiles {
 public:
  explicit TempMovieFiles(TempFilePlatform& platform) : platform_(platform) {}
  TempMovieFiles(const TempMovieFiles&) = delete;
  TempMovieFiles& operator=(const TempMovieFiles&) = delete;

  // Writes the resource to `fileName`, or to a fresh temporary file when
  // none is given, and records the path (a given name too: it is deleted
  // with the rest). Returns the path, or "" when nothing was written; then
  // nothing is recorded and no empty temporary file is left behind.
  std::string ResourceToTempFile(int32_t id, std::string_view type,
                                 const std::string& fileName = {});
  // 0 on success, else the number of the error that stopped the write.
  int WriteResourceToFile(uint16_t id, std::string_view type, const std::string& fileName);
  // A fresh name from the platform in `dir` (the temporary folder when
  // empty). False, and `fileName` untouched, when there is no temporary
  // folder; false and "" when the platform made no name.
  bool MakeTempFileName(const std::string& dir, const std::string& prefix, uint16_t unique,
                        std::string& fileName);
  // Deletes every recorded file, passing over any that cannot be deleted;
  // the record keeps its entries.
  void DeleteTempFiles();

  const std::vector<std::string>& Files() const { return files_; }

 private:
  TempFilePlatform& platform_;
  std::vector<std::string> files_;
};

}  // namespace orrivel
