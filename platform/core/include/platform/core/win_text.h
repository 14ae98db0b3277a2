// Texts cross the Win32-style interface as Windows-1252 bytes; SDL and ImGui
// speak UTF-8. These convert between the two inside the platform.
#pragma once

#include <string>
#include <string_view>

// Every byte maps to a character; the five bytes the code page leaves
// unassigned become the C1 control characters of the same number, so any byte
// string survives the round trip.
std::string Utf8FromWindows1252(std::string_view text);

// Characters the code page lacks, and malformed UTF-8 sequences, become '?'.
std::string Windows1252FromUtf8(std::string_view text);

// Whether a Unicode code point has a Windows-1252 byte (the unassigned C1
// controls count as having one, as above).
bool HasWindows1252Byte(unsigned codePoint);

// Line breaks as Windows message boxes take them: "\r\n" or a lone "\r" become "\n".
std::string UnixLineBreaks(std::string_view text);

// Menu and control labels: a single '&' marks the mnemonic and is dropped;
// "&&" stands for one '&'.
std::string WithoutMnemonic(std::string_view label);
