#include "swf/player/asset_import.h"

#include <fstream>
#include <vector>

#include "swf/format/reader.h"

namespace orrivel::swf {

namespace {

constexpr std::uintmax_t kMaxImportBytes = 16u << 20;

// Renumbers the character references inside a copied character.
void Renumber(Character& c, uint16_t offset) {
  const auto shift = [offset](uint16_t& id) { id = static_cast<uint16_t>(id + offset); };
  std::visit([&](auto& d) { shift(d.id); }, c);
  if (auto* sprite = std::get_if<SpriteDefinition>(&c)) {
    for (Frame& f : sprite->timeline.frames) {
      for (ControlTag& tag : f.tags) {
        if (auto* place = std::get_if<PlaceObject>(&tag); place && place->characterId)
          shift(*place->characterId);
      }
    }
  } else if (auto* button = std::get_if<ButtonDefinition>(&c)) {
    for (ButtonRecord& r : button->records) shift(r.characterId);
  } else if (auto* edit = std::get_if<EditTextDefinition>(&c); edit && edit->fontId) {
    shift(*edit->fontId);
  } else if (auto* text = std::get_if<TextDefinition>(&c)) {
    for (TextRecord& r : text->records) {
      if (r.fontId) shift(*r.fontId);
    }
  }
}

}  // namespace

std::filesystem::path FileInFolder(const std::filesystem::path& folder, const std::string& url) {
  if (url.empty() || url.find(':') != std::string::npos || url[0] == '/' || url[0] == '\\')
    return {};
  const std::filesystem::path rel(
      std::u8string(reinterpret_cast<const char8_t*>(url.data()), url.size()));
  for (const auto& part : rel) {
    if (part == ".." || part.has_root_name() || part.has_root_directory()) return {};
  }
  std::error_code ec;
  const auto base = std::filesystem::weakly_canonical(folder, ec);
  if (ec) return {};
  const auto full = std::filesystem::weakly_canonical(base / rel, ec);
  if (ec) return {};
  // A link inside the folder must not lead out of it.
  const auto [b, f] = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
  if (b != base.end()) return {};
  return full;
}

namespace {

// A movie may take characters that its source itself imported, through a
// short chain of files; a loop of imports ends there, and the files read for
// one movie are counted so that fanning chains stay small.
constexpr int kMaxImportDepth = 4;
constexpr int kMaxImportFiles = 64;

void ResolveImportsAt(Movie& movie, const std::filesystem::path& folder,
                      const std::function<void(const std::string&)>& refusal, int depth,
                      int& filesLeft) {
  for (const Movie::Import& import : movie.imports) {
    if (filesLeft <= 0) {
      if (refusal) refusal("importing from \"" + import.url + "\" (too many imports)");
      continue;
    }
    --filesLeft;
    const auto file = FileInFolder(folder, import.url);
    std::error_code ec;
    const auto size = file.empty() ? 0 : std::filesystem::file_size(file, ec);
    if (file.empty() || ec || size > kMaxImportBytes) {
      if (refusal) refusal("importing from \"" + import.url + "\"");
      continue;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
      continue;
    LoadResult loaded = LoadMovie(bytes);
    if (!loaded.movie) continue;
    Movie& other = *loaded.movie;
    if (depth + 1 < kMaxImportDepth) ResolveImportsAt(other, folder, refusal, depth + 1, filesLeft);
    const uint16_t localMax = movie.characters.empty() ? 0 : movie.characters.rbegin()->first;
    const uint16_t otherMax = other.characters.empty() ? 0 : other.characters.rbegin()->first;
    if (static_cast<int>(localMax) + otherMax + 1 > 65535) continue;
    const auto offset = static_cast<uint16_t>(localMax + 1);
    for (auto& [id, c] : other.characters) {
      Renumber(c, offset);
      movie.characters.emplace(static_cast<uint16_t>(id + offset), c);
    }
    for (const auto& [localId, name] : import.assets) {
      // A name the source exports but holds no character for is skipped.
      const auto it = other.exports.find(name);
      if (it == other.exports.end() || !other.characters.contains(it->second)) continue;
      Character c = movie.characters.at(static_cast<uint16_t>(it->second + offset));
      const uint16_t id = localId;  // a structured binding cannot be captured everywhere
      std::visit([id](auto& d) { d.id = id; }, c);
      movie.characters.insert_or_assign(localId, std::move(c));
      movie.exports.emplace(name, localId);
    }
  }
}

}  // namespace

void ResolveImports(Movie& movie, const std::filesystem::path& folder,
                    const std::function<void(const std::string&)>& refusal) {
  int filesLeft = kMaxImportFiles;
  ResolveImportsAt(movie, folder, refusal, 0, filesLeft);
}

}  // namespace orrivel::swf
