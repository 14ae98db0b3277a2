#include "race/course.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>

int TruncToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483520.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

namespace {

// Reads one decimal integer the way "%d" does (white space skipped, optional
// sign, digits), but with values beyond the int range clamped instead of
// undefined. Returns false, leaving the offending character unread, when no
// number follows.
bool ReadInt(std::FILE* file, int* out) {
    int ch = std::getc(file);
    while (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f') ch = std::getc(file);
    bool negative = false;
    if (ch == '+' || ch == '-') {
        negative = ch == '-';
        ch = std::getc(file);
    }
    if (ch < '0' || ch > '9') {
        if (ch != EOF) std::ungetc(ch, file);
        return false;
    }
    long long value = 0;
    while (ch >= '0' && ch <= '9') {
        if (value < 10000000000LL) value = value * 10 + (ch - '0');
        ch = std::getc(file);
    }
    if (ch != EOF) std::ungetc(ch, file);
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) value = std::numeric_limits<int>::min();
    *out = static_cast<int>(value);
    return true;
}

// Opens the file for reading only when it is a regular file. A folder opens
// but reads nothing, which would pass for a course of wood; a pipe would hold
// up the start until something writes to it. Both count as unreadable.
std::FILE* OpenRegularFile(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "r");
    if (!file) ::close(fd);
    return file;
}

}  // namespace

Course::Course(std::string fileName) : fields{}, fileName_(std::move(fileName)) { Load(kRows, kColumns); }

void Course::Load(int rowCount, int columnCount) {
    rows = rowCount;
    columns = columnCount;
    std::FILE* file = OpenRegularFile(fileName_);
    if (!file) {
        // Without its course the game still runs: every field stays wood, which
        // a player notices at once, and the reason is on the terminal.
        std::fprintf(stderr,
                     "Tarvik 3D: Die Strecke \"%s\" fehlt oder ist nicht lesbar; gefahren wird auf einer Strecke "
                     "nur aus Holz.\n",
                     fileName_.c_str());
        fileRead = false;
        return;
    }
    fileRead = true;
    int unknown = 0;
    // Rows and columns beyond the storage are never read into it.
    for (int r = 0; r < rows && r < kStorageSize; ++r) {
        for (int c = 0; c < columns && c < kStorageSize; ++c) {
            // A failed read (end of file, a token that is not a number) leaves the
            // field wood, and every later read fails the same way.
            int value = 0;
            if (ReadInt(file, &value)) {
                fields[r * kStorageSize + c] = value;
                if (!IsKnownFieldType(value)) ++unknown;
            }
        }
    }
    std::fclose(file);
    if (unknown > 0)
        std::fprintf(stderr,
                     "Tarvik 3D: %d Felder in \"%s\" haben keine bekannte Art (0 bis 5); sie werden nicht "
                     "gezeichnet und wie Holz befahren.\n",
                     unknown, fileName_.c_str());
}

FieldType Course::FieldAt(int column, int row) const {
    if (column < 0 || row < 0 || column >= kStorageSize || row >= kStorageSize) return Wood;
    return fields[row * kStorageSize + column];
}

int Course::ColumnOf(float x) const { return TruncToInt(x * 0.25f + float(columns) * 0.5f); }

int Course::RowOf(float z) const { return TruncToInt(z * 0.25f + float(rows) * 0.5f); }

D3DXVECTOR3 Course::FieldCentre(int column, int row) const {
    return D3DXVECTOR3(float(4 * column - 2 * columns + 2), 0.0f, float(4 * row - 2 * rows + 2));
}
