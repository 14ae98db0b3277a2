// Saving the game's small files (high.dat, the settings) safely: the new
// content goes to a temporary file beside the old one, which is renamed over
// it, so an interrupted save never loses the old file.
#pragma once

#include <chrono>
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

// How long a save waits for another game's save to let go of the lock.
constexpr std::chrono::milliseconds kSaveLockWait{5000};

// An advisory lock (flock) on the file "<path>.lock" beside the file at path,
// held while it lives, so that the saves of two games never interleave: each
// reads, merges and writes while holding it. A lock another process holds
// is waited for at most `wait`; after that the save goes ahead without it
// and the terminal says so, for a stuck game must never hang this one. A
// folder that takes no new file (no write permission, read-only, immutable)
// gets no lock file, and the save goes ahead without it as it always did.
// The lock file is removed again when the lock is let go; one left behind by
// a game that died holding it is harmless and taken up by the next save.
class SaveLock {
public:
    explicit SaveLock(const std::string& path, std::chrono::milliseconds wait = kSaveLockWait);
    ~SaveLock();
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    const std::string& LockFile() const { return lockFile_; }

private:
    std::string lockFile_;
    int fd_ = -1;
};
