// UTF-8 (the program's text in memory) to and from UTF-16 (the system's).
#pragma once

#include <string>
#include <string_view>

namespace orrivel::win32 {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace orrivel::win32
