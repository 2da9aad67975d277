// What SharedObject keeps between runs: a store's data as bytes in a small
// versioned format of our own, and where the host keeps those bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace orrivel::swf::avm1 {

class Object;
class Vm;

// Flash Player gave each movie 100 KB of local storage.
inline constexpr std::size_t kSharedObjectMovieBytes = 100 * 1024;

// The host's storage for one movie: named files it keeps in a folder of its
// own. Unset functions keep nothing (data lives for the run only).
struct LocalStorage {
  // False when there is no such file or it is larger than the limit.
  std::function<bool(const std::string& file, std::string& out)> read;
  // False when it was not written: the movie's files would pass the limit,
  // or the disk failed. An empty `bytes` removes the file.
  std::function<bool(const std::string& file, const std::string& bytes)> write;
};

// The file a store named `name` (and `localPath`) is kept in: letters,
// digits, '-', '_' and inner dots kept, anything else escaped, long names
// shortened with a hash, so it never leaves the folder. Empty when Flash
// refuses the name (empty, too long, or with one of ~%&\;:"',<>?# or space).
std::string SharedObjectFileName(std::string_view name, std::string_view localPath);

// One path component made from any text, by the same escaping.
std::string SafeFileComponent(std::string_view text);

// The data object's enumerable properties as bytes. Functions and clips are
// left out, cycles kept as references, nesting cut at a fixed depth.
std::string EncodeSharedData(Vm& vm, Object* data);

// The object `bytes` describe; an empty object when they are damaged, of
// another version, or too large.
Object* DecodeSharedData(Vm& vm, std::string_view bytes);

}  // namespace orrivel::swf::avm1
