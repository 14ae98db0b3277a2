// Fuzzes the high.dat reader: any file gives a well-formed table, and reading,
// saving and reading again is stable.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "scores/highscore_table.h"

namespace {

// A private folder for the table file, removed at exit. Kept in a plain array:
// the exit handler runs after static strings are gone.
char folder[4096];
char tableFile[4200];

void RemoveFolder() {
    std::remove(tableFile);
    rmdir(folder);
}

const char* TableFile() {
    if (!tableFile[0]) {
        const char* base = std::getenv("TMPDIR");
        std::snprintf(folder, sizeof folder, "%s/fuzz-high-dat-XXXXXX", base && *base ? base : "/tmp");
        if (!mkdtemp(folder)) std::abort();
        std::snprintf(tableFile, sizeof tableFile, "%s/high.dat", folder);
        std::atexit(RemoveFolder);
    }
    return tableFile;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "high.dat fuzz: %s\n", what);
        std::abort();
    }
}

void CheckRows(const HighscoreTable& table) {
    for (const HighscoreEntry& row : table.rows) {
        Check(std::isfinite(row.time) && row.time >= 0.0f, "time not a finite non-negative number");
        const std::size_t length = strnlen(row.name, sizeof row.name);
        Check(length <= HighscoreTable::MaxNameLength, "name longer than 38");
        for (std::size_t i = 0; i < length; ++i) {
            Check(static_cast<unsigned char>(row.name[i]) >= 0x20, "control character in a name");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = TableFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    HighscoreTable first(path);
    CheckRows(first);
    Check(first.Save(), "save failed");
    const std::string saved = ReadAll(path);

    std::size_t lines = 0;
    for (std::size_t i = 0; i + 1 < saved.size(); ++i) {
        if (saved[i] == '\r' && saved[i + 1] == '\n') ++lines;
    }
    Check(lines == HighscoreTable::RowCount && saved.size() >= 2 && saved.substr(saved.size() - 2) == "\r\n",
          "saved file is not five CR LF lines");

    HighscoreTable second(path);
    for (int i = 0; i < HighscoreTable::RowCount; ++i) {
        Check(std::memcmp(&first.rows[i].time, &second.rows[i].time, sizeof(float)) == 0,
              "time changed by a round trip");
        Check(std::strcmp(first.rows[i].name, second.rows[i].name) == 0, "name changed by a round trip");
    }
    Check(second.Save(), "second save failed");
    Check(ReadAll(path) == saved, "second save wrote other bytes");
    return 0;
}
