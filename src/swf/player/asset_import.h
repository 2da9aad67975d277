// ImportAssets: characters a movie takes from another movie file. Only files
// in the movie's own folder (or below it) are read.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "swf/format/movie.h"

namespace orrivel::swf {

// Copies the imported characters into `movie` under their local ids (with
// the characters they use, renumbered). Refused or missing files are
// reported to `refusal` (when set) and skipped.
void ResolveImports(Movie& movie, const std::filesystem::path& folder,
                    const std::function<void(const std::string&)>& refusal);

// The file a movie may read for a relative URL, or empty when the URL leaves
// the folder (absolute paths, "..", schemes such as http:).
std::filesystem::path FileInFolder(const std::filesystem::path& folder, const std::string& url);

}  // namespace orrivel::swf
