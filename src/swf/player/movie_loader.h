// Answers the loads a movie's scripts asked for (avm1/loader.h): reads the
// files through the script machine's reader (which only reaches the movie's
// own folder) and reports to the scripts in the player's order.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "swf/avm1/loader.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf {

// Runs after a frame's scripts: answers the requests made so far; those the
// answers make wait for the next frame.
void RunPendingLoads(TimelineContext& ctx);

// Largest video file a movie may play; videos are read whole.
inline constexpr std::size_t kMaxStreamBytes = 128u << 20;

// The URL Flash gives a local file: "file:///C|/dir/movie.swf" for a path
// with a drive letter, "file:///dir/movie.swf" for another, with '/' between
// folders and spaces, '%', '#' and '?' escaped.
std::string FileUrl(std::string_view path);

// The address a movie at `base` reaches by `url`: one with a scheme is
// itself, another is found in base's folder ("file:///" with no base).
std::string ResolveUrl(std::string_view base, std::string_view url);

// A reader for Vm::readFile: files in `folder` and below, at most `maxBytes`;
// refused URLs (other folders, schemes, absolute paths) go to `refusal`.
std::function<bool(const std::string&, std::string&)> FolderReader(
    std::filesystem::path folder, std::function<void(const std::string&)> refusal,
    std::size_t maxBytes = avm1::kMaxLoadBytes);

}  // namespace orrivel::swf
