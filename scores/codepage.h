// Conversion between Windows-1252, in which the game keeps its texts and
// high.dat its names, and UTF-8, which the user interface shows and takes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Every byte has a character: the five bytes Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same
// number, so any byte string survives the way there and back.
std::string Utf8FromCp1252(std::string_view text);

// Characters that Windows-1252 lacks, and bytes that are not valid UTF-8,
// become '?' (one for each broken sequence).
std::string Cp1252FromUtf8(std::string_view text);

// Converts into out, at most outSize - 1 characters and a terminating zero.
// Returns the number of characters written. Since Windows-1252 has one byte per
// character, the cut always falls between whole characters.
std::size_t Cp1252FromUtf8(std::string_view text, char* out, std::size_t outSize);
