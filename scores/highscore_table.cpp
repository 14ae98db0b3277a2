#include "scores/highscore_table.h"

#include "scores/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

// Longer number fields cannot come from the game; they are treated as garbage
// without being kept in memory.
constexpr std::size_t kMaxNumberText = 128;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A name must never break its line in the file, so control characters (a line
// feed typed into the dialog, a tab or a zero byte in an edited file) are kept
// as blanks.
char NameChar(char c) { return static_cast<unsigned char>(c) < 0x20 ? ' ' : c; }

// Copies at most MaxNameLength characters of text into the row's name.
void SetName(HighscoreEntry& row, std::string_view text) {
    std::size_t length = 0;
    for (; length < text.size() && length < HighscoreTable::MaxNameLength; ++length) {
        row.name[length] = NameChar(text[length]);
    }
    std::memset(row.name + length, 0, sizeof row.name - length);
}

// The time a file line holds. Only positive finite numbers are lap times:
// anything else (garbage, a number followed by other text, NaN, infinity,
// numbers out of the float range, negative times) leaves the row at 0.0, the
// empty time, so the place search never meets a time it cannot order and a
// negative time can never block the first place forever. The value is taken
// as the file would give it back after saving it again with six decimals, so
// a table read, saved and read again stays the same.
float ParseTime(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0.0f;
    if (!std::isfinite(value) || !(value > 0.0f)) return 0.0f;
    const std::string stored = FormatFixed(value, 6);
    float reread = 0.0f;
    std::from_chars(stored.data(), stored.data() + stored.size(), reread);
    return reread;
}

using FileStamp = HighscoreTable::FileStamp;

// Files of the table's size and more are kept whole in their stamp; a
// table of five rows of the longest names is far below it.
constexpr std::size_t kStampBytes = 64 * 1024;

// Adds bytes to a stamp: its length, an FNV-1a checksum, and the bytes
// themselves while there are few.
void Account(FileStamp& stamp, const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        stamp.checksum ^= static_cast<unsigned char>(data[i]);
        stamp.checksum *= 0x100000001b3ull;
    }
    stamp.size += size;
    if (stamp.size <= kStampBytes)
        stamp.bytes.append(data, size);
    else
        stamp.bytes.clear();
}

FileStamp NewStamp(FileStamp::Kind kind) {
    FileStamp stamp;
    stamp.kind = kind;
    stamp.checksum = 0xcbf29ce484222325ull;
    return stamp;
}

FileStamp StampOf(const std::string& content) {
    FileStamp stamp = NewStamp(FileStamp::Kind::Read);
    Account(stamp, content.data(), content.size());
    return stamp;
}

// The bytes of an open file, one at a time for the row reader; every byte
// read goes into the stamp, and Finish reads the rest for it.
class ByteSource {
public:
    ByteSource(int fd, FileStamp& stamp) : fd_(fd), stamp_(stamp) {}
    int Get() {
        if (at_ == end_ && !Fill()) return EOF;
        return static_cast<unsigned char>(buffer_[at_++]);
    }
    void Finish() {
        while (Fill()) at_ = end_;
        if (failed_) stamp_.kind = FileStamp::Kind::Unreadable;
    }

private:
    bool Fill() {
        if (failed_ || done_) return false;
        ssize_t n = 0;
        do n = ::read(fd_, buffer_, sizeof buffer_);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            failed_ = n < 0;
            done_ = true;
            return false;
        }
        at_ = 0;
        end_ = static_cast<std::size_t>(n);
        Account(stamp_, buffer_, end_);
        return true;
    }

    int fd_;
    FileStamp& stamp_;
    char buffer_[4096];
    std::size_t at_ = 0, end_ = 0;
    bool failed_ = false, done_ = false;
};

// Reads one line of the file into a row and returns false at the end of the
// file. White space before the time, line ends included, is skipped, as the
// first version of the game skipped it: a blank line is no row and does not
// push the last row out. Lines are read whole, whatever their length, so a
// bad line never shifts the rows after it. The line ends in LF or CR LF (the
// last line may lack it). Before the first comma stands the time (see
// ParseTime); after it, the name, of which the first MaxNameLength characters
// are kept. A line without a comma is all time and has an empty name.
bool ReadRow(ByteSource& file, HighscoreEntry& row) {
    int c = file.Get();
    while (c == '\n' || (c != EOF && IsBlank(static_cast<char>(c)))) c = file.Get();
    if (c == EOF) return false;
    std::string number;
    bool numberTooLong = false;
    bool inName = false;
    std::string name;
    bool pendingCr = false;
    for (; c != EOF && c != '\n'; c = file.Get()) {
        if (!inName) {
            if (c == ',') {
                inName = true;
            } else if (number.size() < kMaxNumberText) {
                number.push_back(static_cast<char>(c));
            } else {
                numberTooLong = true;
            }
            continue;
        }
        if (name.size() >= HighscoreTable::MaxNameLength) continue;
        // A CR counts as part of the line end only right before the LF.
        if (pendingCr) {
            name.push_back('\r');
            pendingCr = false;
            if (name.size() >= HighscoreTable::MaxNameLength) continue;
        }
        if (c == '\r') {
            pendingCr = true;
        } else {
            name.push_back(static_cast<char>(c));
        }
    }
    row.time = numberTooLong ? 0.0f : ParseTime(number);
    SetName(row, name);
    return true;
}






// Reads the rows of the table file at path into rows (which the caller has
// cleared) and returns the file's stamp. Missing when no file is there at
// all, so that the caller may look elsewhere; a file that is there but
// cannot be read leaves the rows empty. Opened without blocking so that a
// pipe or device named like the table cannot hang the start; only a regular
// file is read.
FileStamp ReadTable(const std::string& path, HighscoreEntry (&rows)[HighscoreTable::RowCount]) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return NewStamp(errno == ENOENT ? FileStamp::Kind::Missing : FileStamp::Kind::Unreadable);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return NewStamp(FileStamp::Kind::Unreadable);
    }
    FileStamp stamp = NewStamp(FileStamp::Kind::Read);
    ByteSource file(fd, stamp);
    for (HighscoreEntry& row : rows) {
        if (!ReadRow(file, row)) break;
    }
    file.Finish();
    ::close(fd);
    return stamp;
}

// The table as it stands on disk: the rows of the file, or of the installed
// table while the player has none, and the stamp of the file.
struct OnDisk {
    HighscoreEntry rows[HighscoreTable::RowCount];
    FileStamp stamp;
};

OnDisk ReadOnDisk(const std::string& fileName, const std::string& installedTable) {
    OnDisk disk;
    disk.stamp = ReadTable(fileName, disk.rows);
    if (disk.stamp.kind == FileStamp::Kind::Missing && !installedTable.empty()) ReadTable(installedTable, disk.rows);
    return disk;
}

// Whether the file changed since stamp was taken, so that what is there now
// is merged rather than written over. A file that can no longer be read
// shows nothing to merge: the table is written as it stands.
bool ChangedOnDisk(const OnDisk& disk, const FileStamp& stamp) {
    return disk.stamp.kind != FileStamp::Kind::Unreadable && !(disk.stamp == stamp);
}

// Empty rows (time 0.0, a lap of 0 ms among them) go below every lap.
bool Faster(const HighscoreEntry& a, const HighscoreEntry& b) {
    if (a.time == 0.0f) return false;
    if (b.time == 0.0f) return true;
    return a.time < b.time;
}

// The best rows of the file's and this game's new entries, the file's first
// at equal times; a stable sort keeps each side's own order.
void Merge(const HighscoreEntry (&fileRows)[HighscoreTable::RowCount], const std::vector<HighscoreEntry>& added,
           HighscoreEntry (&rows)[HighscoreTable::RowCount]) {
    std::vector<HighscoreEntry> all(std::begin(fileRows), std::end(fileRows));
    all.insert(all.end(), added.begin(), added.end());
    std::stable_sort(all.begin(), all.end(), Faster);
    std::copy_n(all.begin(), HighscoreTable::RowCount, rows);
}

// The path with every link and dot resolved as far as it exists.
std::string Resolved(const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

// Where a save of the table at path would write: through a link to the
// file it names (see ReplaceFile).
std::string WhereSaved(const std::string& path) { return Resolved(path); }

// Whether path is folder or lies somewhere below it.
bool LiesWithin(const std::string& path, const std::string& folder) {
    const std::string base = Resolved(folder);
    if (path == base) return true;
    const std::string prefix = base.back() == '/' ? base : base + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}


}  // namespace

std::string FormatFixed(double value, int precision, int width) {
    char digits[400];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
    std::string text = error == std::errc() ? std::string(digits, end) : std::string("0");
    if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string CongratulationText(float seconds, int place) {
    return "Gl\xFC"
           "ckwunsch, du hast mit " +
           FormatFixed(seconds, 3, 12) + " sec. den " + std::to_string(place) + ". Platz  erreicht!";
}

HighscoreTable::HighscoreTable(std::string file, std::string installed)
    : fileName(std::move(file)), installedTable(std::move(installed)) {
    Load();
}

HighscoreTable::~HighscoreTable() {
    if (fileName.empty()) return;
    // The window is gone by now; the terminal is the one place left to say
    // that a new entry did not reach the file, besides what the game does.
    if (!Save()) {
        std::fprintf(stderr,
                     "Tarvik 3D: Die Bestenliste \"%s\" konnte nicht gespeichert werden; die Datei bleibt, wie "
                     "sie war.\n",
                     fileName.c_str());
        if (saveFailed) saveFailed(fileName);
    }
}

void HighscoreTable::Load() {
    OnDisk disk = ReadOnDisk(fileName, installedTable);
    std::copy(std::begin(disk.rows), std::end(disk.rows), rows);
    stamp = disk.stamp;
}

void HighscoreTable::Refresh() {
    if (fileName.empty()) return;
    const OnDisk disk = ReadOnDisk(fileName, installedTable);
    if (!ChangedOnDisk(disk, stamp)) return;
    Merge(disk.rows, added, rows);
    stamp = disk.stamp;
}

bool HighscoreTable::Save() {
    if (fileName.empty()) return false;
    if (!installedTable.empty()) {
        // A player's own table: never into the installation, whatever links
        // or privileges would allow it.
        if (LiesWithin(WhereSaved(fileName), FolderOf(installedTable))) return false;
        if (!MakeFolders(FolderOf(fileName))) return false;
    }
    const SaveLock lock(WhereSaved(fileName));
    HighscoreEntry saved[RowCount];
    std::copy(std::begin(rows), std::end(rows), saved);
    const OnDisk disk = ReadOnDisk(fileName, installedTable);
    if (ChangedOnDisk(disk, stamp)) Merge(disk.rows, added, saved);

    std::string content;
    for (const HighscoreEntry& row : saved) {
        content += FormatFixed(row.time, 6);
        content += ',';
        const std::size_t length = ::strnlen(row.name, MaxNameLength);
        for (std::size_t i = 0; i < length; ++i) content += NameChar(row.name[i]);
        // Written as the Windows game wrote it, so files move between the two unchanged.
        content += "\r\n";
    }
    if (!ReplaceFile(fileName, content)) return false;
    std::copy(std::begin(saved), std::end(saved), rows);
    stamp = StampOf(content);
    added.clear();
    return true;
}

void HighscoreTable::Insert(unsigned milliseconds) {
    const float t = static_cast<float>(milliseconds) * 0.001f;

    // Walk up from the last row past the slower and the empty rows; an equal
    // time stops the walk, so the earlier entry keeps the better place.
    int above = RowCount - 1;
    while (above >= 0 && (rows[above].time > t || rows[above].time == 0.0f)) --above;
    if (above == RowCount - 1) return;
    const int place = above + 1;

    for (int row = RowCount - 1; row > place; --row) rows[row] = rows[row - 1];
    rows[place] = HighscoreEntry{};
    rows[place].time = t;
    if (!dialogs) {
        added.push_back(rows[place]);
        return;
    }

    char buffer[256] = {};
    const std::string text = CongratulationText(t, place + 1);
    std::memcpy(buffer, text.data(), std::min(text.size(), sizeof buffer - 1));
    dialogs->AskName(buffer);
    buffer[sizeof buffer - 1] = '\0';
    SetName(rows[place], std::string_view(buffer, ::strnlen(buffer, sizeof buffer)));
    added.push_back(rows[place]);
    dialogs->ShowList(*this);
}
