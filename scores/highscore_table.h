// The five best lap times with their drivers' names, kept in the text file
// high.dat: five lines "%f,%s" with CR LF line ends, names in Windows-1252.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scores/highscore_dialogs.h"

struct HighscoreEntry {
    float time = 0.0f;   // lap time in seconds; 0.0 marks an empty row
    char name[40] = {};  // zero-terminated, Windows-1252
};

class HighscoreTable {
public:
    static constexpr int RowCount = 5;
    // A name and its line end fit the 39 characters the first version of the
    // game read per line; files written by it rely on that.
    static constexpr int MaxNameLength = 38;

    // Clears the table and loads it from fileName (relative to the working
    // directory); a missing or unreadable file leaves the table empty.
    //
    // With an installedTable, the table is a player's own copy of the table
    // of an installed game: as long as fileName does not exist, the rows are
    // read from installedTable (when there is one), and the first save makes
    // the missing folders on the way to fileName, for the player alone
    // (0700). Nothing is ever written into installedTable's folder.
    //
    // An empty fileName keeps the table in memory only: it is never saved.
    explicit HighscoreTable(std::string fileName = "high.dat", std::string installedTable = {});
    // Saves the table to its file; a save that fails is said on the terminal
    // and told to the function given to OnSaveFailed.
    ~HighscoreTable();

    HighscoreTable(const HighscoreTable&) = delete;
    HighscoreTable& operator=(const HighscoreTable&) = delete;

    // Offers a lap time in milliseconds. A time good enough for the table asks
    // for a name and shows the list; otherwise nothing happens. The entry is
    // also kept apart, for merging (see Save).
    void Insert(unsigned milliseconds);

    // The dialogs Insert opens; with none set, Insert still enters the time,
    // with an empty name.
    void SetDialogs(HighscoreDialogs* newDialogs) { dialogs = newDialogs; }
    HighscoreDialogs* Dialogs() const { return dialogs; }

    const std::string& FileName() const { return fileName; }
    const std::string& InstalledTable() const { return installedTable; }

    // Reads the file again (or the installed table, see above), replacing all rows.
    void Load();
    // Takes in what another game saved meanwhile: when the file is no longer
    // what this table last read or wrote, the rows become the file's merged
    // with the entries Insert added (see Save). Otherwise nothing changes.
    void Refresh();
    // Writes the table to a temporary file beside the table's file and renames
    // it over the old one, so an interrupted save never loses the old table.
    // In a folder that takes no new file, a table file that may be written is
    // written in place, as the first version of the game did. Returns false
    // when nothing could be saved; the old file is then intact.
    //
    // Two games may run on one file. When the file is no longer what this
    // table last read or wrote, another game saved meanwhile, and what is
    // written is the file's rows merged with the entries Insert added since
    // this table last saved: the best five by time, empty rows last, at equal
    // times the file's rows first (they reached the table first) and this
    // game's in the order they were driven. The save holds a SaveLock on the
    // table from reading the file to writing it, so saves never interleave.
    bool Save();

    // What the destructor calls when its save failed, with the file's name.
    void OnSaveFailed(std::function<void(const std::string& fileName)> tell) { saveFailed = std::move(tell); }

    // Row 0 is first place. Read directly by the highscore list.
    HighscoreEntry rows[RowCount];

    // What a file held when it was read: whether there was one, its length,
    // a checksum, and its bytes when they are few (every table the game
    // writes), so that a change is seen byte for byte.
    struct FileStamp {
        enum class Kind { Missing, Unreadable, Read } kind = Kind::Missing;
        std::uint64_t size = 0;
        std::uint64_t checksum = 0;
        std::string bytes;
        bool operator==(const FileStamp&) const = default;
    };

private:
    std::string fileName;
    std::string installedTable;
    HighscoreDialogs* dialogs = nullptr;
    std::function<void(const std::string&)> saveFailed;
    // The file as this table last read or wrote it.
    FileStamp stamp;
    // The entries Insert added since the table was last saved, in their order.
    std::vector<HighscoreEntry> added;
};

// Formats value like printf's "%<width>.<precision>f" in the C locale, whatever
// locale the process runs in, so the file and the dialogs always show a point.
std::string FormatFixed(double value, int precision, int width = 0);

// The text the name dialog shows above the name field, in Windows-1252.
std::string CongratulationText(float seconds, int place);
