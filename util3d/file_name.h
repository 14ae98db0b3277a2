// Finding a file by a name written on Windows, where file names ignore case
// and '\' separates folders: material lists of X files name their textures so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The path of the regular file that `name` means: the name as written if it
// names one; else with every '\' read as '/'; else, folder by folder, a
// case-insensitive match (ASCII letters; among several, the first in byte
// order; an exact match always wins). Empty when nothing matches.
std::string FindFileByWindowsName(const std::string& name);

// The whole of a file the loaders read (at most 256 MB; an empty file gives
// no bytes). False when it cannot be opened or read, or is larger.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes);
