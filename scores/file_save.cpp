// Saving a small file so that an interrupted save never loses the old one.
#include "scores/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
