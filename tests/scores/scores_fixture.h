// Shared helpers of the highscore tests: a private temporary folder per test,
// file helpers, and dialogs that play a scripted player.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scores/highscore_table.h"

namespace scores_test {

namespace fs = std::filesystem;

// The lap time the game makes of ms milliseconds.
inline float Lap(unsigned ms) { return static_cast<float>(ms) * 0.001f; }

struct Row {
    float time;
    std::string name;
    bool operator==(const Row&) const = default;
};

inline void PrintTo(const Row& row, std::ostream* os) { *os << "{" << row.time << ", \"" << row.name << "\"}"; }

inline std::vector<Row> RowsOf(const HighscoreTable& table) {
    std::vector<Row> rows;
    for (const HighscoreEntry& entry : table.rows) rows.push_back({entry.time, std::string(entry.name)});
    return rows;
}

// Pads a list of filled rows with empty rows to the table's five.
inline std::vector<Row> Table(std::vector<Row> rows) {
    while (rows.size() < HighscoreTable::RowCount) rows.push_back({0.0f, ""});
    return rows;
}

inline void Fill(HighscoreTable& table, const std::vector<Row>& rows) {
    for (int i = 0; i < HighscoreTable::RowCount; ++i) {
        table.rows[i] = HighscoreEntry{};
        if (i < static_cast<int>(rows.size())) {
            table.rows[i].time = rows[i].time;
            std::strncpy(table.rows[i].name, rows[i].name.c_str(), sizeof table.rows[i].name - 1);
        }
    }
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarvik-scores-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        file = (folder / "high.dat").string();
    }

    void TearDown() override {
        // Give back write permission that a test took away, then clean up.
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
            if (!entry.is_symlink()) chmod(entry.path().c_str(), 0700);
        }
        chmod(folder.c_str(), 0700);
        fs::remove_all(folder, ignored);
    }

    static void WriteFile(const std::string& path, const std::string& content) {
        std::ofstream out(path, std::ios::binary);
        out << content;
        ASSERT_TRUE(out.good()) << path;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder;
    std::string file;
};

// Types a fixed name into the name dialog and records what both dialogs saw.
class ScriptedDialogs : public HighscoreDialogs {
public:
    explicit ScriptedDialogs(std::string typed = "Neu") : typedName(std::move(typed)) {}

    void AskName(char (&buffer)[256]) override {
        calls.push_back("AskName");
        shownText = buffer;
        if (fillWithoutZero) {
            std::memset(buffer, 'x', sizeof buffer);
            return;
        }
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, typedName.data(), std::min(typedName.size(), sizeof buffer - 1));
    }

    void ShowList(const HighscoreTable& table) override {
        calls.push_back("ShowList");
        listedRows = RowsOf(table);
    }

    std::string typedName;
    bool fillWithoutZero = false;  // a faulty dialog that leaves no terminating zero
    std::vector<std::string> calls;
    std::string shownText;
    std::vector<Row> listedRows;
};

}  // namespace scores_test
