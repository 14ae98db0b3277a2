// Saving a small file so that an interrupted save never loses the old one.
#include "scores/file_save.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

bool WriteAllAt(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::pwrite(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes content over the file's own bytes. This is how the first version of
// the game saved, and the one way left when the folder takes no new file but
// the table itself may be written. Should the writing fail halfway, the old
// bytes are put back as far as the file lets us.
bool RewriteInPlace(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string old;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(old.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        old.append(chunk, static_cast<std::size_t>(n));
    }
    bool ok = WriteAllAt(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 &&
              ::fsync(fd) == 0;
    if (!ok) {
        WriteAllAt(fd, old);
        if (::ftruncate(fd, static_cast<off_t>(old.size())) == 0) ::fsync(fd);
    }
    ok = ::close(fd) == 0 && ok;
    return ok;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool ReplaceFile(std::string path, const std::string& content) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Save through the link rather than replace the link by a file.
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    // A file or folder without any write permission was made read-only on
    // purpose; respect that also when running with privileges that ignore it.
    if (exists && (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0)) return false;
    const std::string folder = FolderOf(path);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)) return false;

    std::string temp;
    int fd = -1;
    // A folder without any write permission takes no new file, as for any player.
    if ((dir.st_mode & 0222) != 0) {
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) break;
        }
    }
    if (fd < 0) return exists && RewriteInPlace(path, content);

    bool ok = WriteAllAt(fd, content);
    if (ok && exists) ::fchmod(fd, old.st_mode & 07777);
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the file is saved either way.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// As the XDG base directories want.
bool MakeFolders(const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (end == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

// Opens the lock file, making it if need be; -1 when the folder takes none.
int OpenLockFile(const std::string& lockFile) {
    struct stat dir {};
    // As ReplaceFile: a folder without any write permission was made so on
    // purpose, also for a player whose privileges would pass over it.
    if (::stat(FolderOf(lockFile).c_str(), &dir) != 0 || (dir.st_mode & 0222) == 0) return -1;
    int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    // Another player's lock file in a shared folder: locking needs no write access.
    if (fd < 0 && errno == EACCES) fd = ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether fd is still the file the lock file's name stands for: the holder
// before us removes the file as it lets go, and a lock on a removed file
// keeps nobody else out.
bool StillNamed(int fd, const std::string& lockFile) {
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::lstat(lockFile.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

}  // namespace

SaveLock::SaveLock(const std::string& path, std::chrono::milliseconds wait) : lockFile_(path + ".lock") {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point giveUp = Clock::now() + wait;
    for (;;) {
        const int fd = OpenLockFile(lockFile_);
        if (fd < 0) return;
        bool locked = false, busy = false;
        for (;;) {
            locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            busy = !locked && (errno == EWOULDBLOCK || errno == EINTR);
            if (!busy || Clock::now() >= giveUp) break;
            const timespec pause{0, 20 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
        if (locked && StillNamed(fd, lockFile_)) {
            fd_ = fd;
            return;
        }
        ::close(fd);
        // The file was removed meanwhile by the holder before: lock the one there now.
        if (locked && Clock::now() < giveUp) continue;
        // A file system without locks saves as it always did, without a word.
        if (busy || locked)
            std::fprintf(stderr,
                         "Tarvik 3D: \"%s\" bleibt von einem anderen Spiel gesperrt; es wird ohne die Sperre "
                         "gespeichert.\n",
                         lockFile_.c_str());
        return;
    }
}

SaveLock::~SaveLock() {
    if (fd_ < 0) return;
    // Removed while still held, so that whoever opened it meanwhile sees
    // that it is gone once it gets the lock, and takes the next one.
    ::unlink(lockFile_.c_str());
    ::close(fd_);
}
