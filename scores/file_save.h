// Saving the game's small files (high.dat, the settings) safely: the new
// content goes to a temporary file beside the old one, which is renamed over
// it, so an interrupted save never loses the old file.
#pragma once

#include <string>

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Replaces the file at path by content, or leaves it as it was: through a
// temporary file renamed over it; where the folder takes no new file, the
// old file (if it may be written) is written in place. A file or folder
// without any write permission is left alone. A link is saved through.
bool ReplaceFile(std::string path, const std::string& content);

// Makes the folders of path that are missing, each for its owner alone
// (0700); folders that are there keep their permissions. True when path is a
// folder afterwards.
bool MakeFolders(const std::string& path);
