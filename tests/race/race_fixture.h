// A game on the recording platform for the race tests: a course written into a
// temporary folder, the recording device, and the recording sound device.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "platform/recording_device.h"

// A course of 70 x 70 fields, all `fill`, with single fields set on top.
struct CourseSpec {
    FieldType fill = Wood;
    struct Cell {
        int column, row;
        FieldType type;
    };
    std::vector<Cell> cells;
};

inline std::string WriteCourse(const std::string& name, const CourseSpec& spec) {
    auto dir = std::filesystem::temp_directory_path() / "tarvik_race_test";
    std::filesystem::create_directories(dir);
    std::vector<FieldType> grid(70 * 70, spec.fill);
    for (const auto& c : spec.cells) grid[c.row * 70 + c.column] = c.type;
    auto path = dir / (name + ".txt");
    std::ofstream out(path);
    for (int r = 0; r < 70; ++r) {
        for (int c = 0; c < 70; ++c) out << grid[r * 70 + c] << (c == 69 ? '\n' : ' ');
    }
    return path.string();
}

inline GameFiles TestFiles(const std::string& name, const CourseSpec& spec = {}) {
    GameFiles files;
    files.course = WriteCourse(name, spec);
    files.highscores = (std::filesystem::temp_directory_path() / "tarvik_race_test" / (name + "_high.dat")).string();
    std::filesystem::remove(files.highscores);
    return files;
}
