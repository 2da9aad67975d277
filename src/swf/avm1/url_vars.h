// Text that crosses the movie's edge: URL-encoded variables (LoadVars,
// loadVariables) and the bytes of loaded files turned into script strings.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orrivel::swf::avm1 {

// escape(): every byte but letters and digits as %XX.
std::string UrlEscape(std::string_view text);
// unescape(): %XX sequences to bytes; '+' is kept.
std::string UrlUnescape(std::string_view text);
// "a=1&b=x+y%21" as (name, value) pairs, '+' read as a space; at most
// maxPairs pairs are read.
std::vector<std::pair<std::string, std::string>> DecodeUrlVars(std::string_view text,
                                                               std::size_t maxPairs = 1u << 16);
// A loaded file's bytes as a script string (UTF-8): a byte-order mark picks
// UTF-8 or UTF-16; otherwise movies before version 6 (or those asking for
// the system code page) read Windows-1252 and later ones UTF-8. Without
// `marks` (version 5 players knew none) every byte is Windows-1252, a mark too.
std::string DecodeLoadedText(std::string_view bytes, bool codepage, bool marks = true);

// Bytes in the Windows Western code page (SWF 5 and older text) as UTF-8.
std::string FromCp1252(std::string_view bytes);
// The same for the bytes that are not part of a well-formed UTF-8 sequence.
std::string FromUtf8OrCp1252(std::string_view bytes);

}  // namespace orrivel::swf::avm1
