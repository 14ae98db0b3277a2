// The five best lap times with their drivers' names, kept in the text file
// high.dat: five lines "%f,%s" with CR LF line ends, names in Windows-1252.
#pragma once

#include <string>

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
    // Saves the table to its file.
    ~HighscoreTable();

    HighscoreTable(const HighscoreTable&) = delete;
    HighscoreTable& operator=(const HighscoreTable&) = delete;

    // Offers a lap time in milliseconds. A time good enough for the table asks
    // for a name and shows the list; otherwise nothing happens.
    void Insert(unsigned milliseconds);

    // The dialogs Insert opens; with none set, Insert still enters the time,
    // with an empty name.
    void SetDialogs(HighscoreDialogs* newDialogs) { dialogs = newDialogs; }
    HighscoreDialogs* Dialogs() const { return dialogs; }

    const std::string& FileName() const { return fileName; }
    const std::string& InstalledTable() const { return installedTable; }

    // Reads the file again (or the installed table, see above), replacing all rows.
    void Load();
    // Writes the table to a temporary file beside the table's file and renames
    // it over the old one, so an interrupted save never loses the old table.
    // In a folder that takes no new file, a table file that may be written is
    // written in place, as the first version of the game did. Returns false
    // when nothing could be saved; the old file is then intact.
    bool Save() const;

    // Row 0 is first place. Read directly by the highscore list.
    HighscoreEntry rows[RowCount];

private:
    std::string fileName;
    std::string installedTable;
    HighscoreDialogs* dialogs = nullptr;
};

// Formats value like printf's "%<width>.<precision>f" in the C locale, whatever
// locale the process runs in, so the file and the dialogs always show a point.
std::string FormatFixed(double value, int precision, int width = 0);

// The text the name dialog shows above the name field, in Windows-1252.
std::string CongratulationText(float seconds, int place);
