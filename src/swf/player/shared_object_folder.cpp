#include "swf/player/shared_object_folder.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace orrivel::swf {

namespace {

namespace fs = std::filesystem;

// A name the store produced: one component, no way out of the folder.
bool PlainName(const std::string& file) {
  if (file.empty() || file == "." || file == ".." || file.size() > 255) return false;
  return file.find_first_of("/\\:") == std::string::npos && file.find('\0') == std::string::npos;
}

// Bytes the folder's files other than `except` take.
std::uintmax_t OthersSize(const fs::path& folder, const std::string& except) {
  std::error_code ec;
  std::uintmax_t total = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename() == except || !it->is_regular_file(ec)) continue;
    const std::uintmax_t size = it->file_size(ec);
    if (!ec) total += size;
    ec.clear();
  }
  return total;
}

}  // namespace

avm1::LocalStorage FolderStorage(fs::path folder, std::size_t maxBytes) {
  avm1::LocalStorage storage;
  storage.read = [folder, maxBytes](const std::string& file, std::string& out) {
    if (!PlainName(file)) return false;
    std::error_code ec;
    const fs::path path = folder / file;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > maxBytes) return false;
    std::ifstream in(path, std::ios::binary);
    out.assign(static_cast<std::size_t>(size), '\0');
    return in && in.read(out.data(), static_cast<std::streamsize>(size)) &&
           in.gcount() == static_cast<std::streamsize>(size);
  };
  storage.write = [folder, maxBytes](const std::string& file, const std::string& bytes) {
    if (!PlainName(file)) return false;
    std::error_code ec;
    const fs::path path = folder / file;
    if (bytes.empty()) {
      fs::remove(path, ec);
      return !ec;
    }
    if (bytes.size() > maxBytes || OthersSize(folder, file) + bytes.size() > maxBytes) return false;
    fs::create_directories(folder, ec);
    if (ec) return false;
    // Written beside and renamed over, so a run that dies midway leaves the
    // old data whole.
    const fs::path temp = folder / (file + ".new");
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
          !out.flush())
        return false;
    }
    fs::rename(temp, path, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
  };
  return storage;
}

fs::path MovieStorageFolder(const fs::path& root, const fs::path& movieFile) {
  const std::u8string name = movieFile.filename().u8string();
  return root / avm1::SafeFileComponent(
                    std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
}

fs::path DefaultSharedObjectRoot() {
  fs::path base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = fs::path(home) / ".local" / "share";
  } else {
    return {};
  }
  return base / "Orrivel" / "SharedObjects";
}

}  // namespace orrivel::swf
