// Script strings are held as UTF-8. From version 6 the player counts, indexes
// and compares them as UTF-16 text; these convert between the two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orrivel::swf::avm1 {

// The UTF-16 code units of s. Surrogates written out one by one (as three
// byte sequences) stay single units; a byte that starts no valid sequence
// counts as one unit of its own value.
std::u16string ToUnits(std::string_view s);

// ToUnits(s).size() without building the units.
std::size_t UnitCount(std::string_view s);

// UTF-8 for units: pairs join into one code point, a lone surrogate becomes
// U+FFFD (a pair split by substring or charAt does not join again).
std::string FromUnits(std::u16string_view units);

// The upper and lower case of a UTF-16 unit as String.toUpperCase and
// toLowerCase give them from version 6 (letter_case.cpp); any unit outside
// the player's tables is its own case.
char16_t UpperUnit(char16_t c);
char16_t LowerUnit(char16_t c);

// Orders two strings by code point, surrogate pairs joined: <0, 0 or >0.
int CompareCodePoints(std::string_view a, std::string_view b);

}  // namespace orrivel::swf::avm1
