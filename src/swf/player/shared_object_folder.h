// Where SharedObject stores are kept on disk: one folder per movie file in
// a folder the host names, with the movie's 100 KB shared by its stores.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "swf/avm1/shared_object_store.h"

namespace orrivel::swf {

// Storage in `folder` (made when first written). Only plain file names are
// read or written, reads stop at the limit, and a write that would take the
// folder's files past `maxBytes` leaves the disk unchanged.
avm1::LocalStorage FolderStorage(std::filesystem::path folder,
                                 std::size_t maxBytes = avm1::kSharedObjectMovieBytes);

// The folder of a movie's stores inside `root`, named after the movie file.
std::filesystem::path MovieStorageFolder(const std::filesystem::path& root,
                                         const std::filesystem::path& movieFile);

// The folder a host without its own idea uses: $XDG_DATA_HOME, else
// ~/.local/share, then Orrivel/SharedObjects; empty when neither is known.
std::filesystem::path DefaultSharedObjectRoot();

}  // namespace orrivel::swf
