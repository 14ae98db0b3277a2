// The course: a grid of field kinds read once from course.txt.
#pragma once

#include <cstdint>
#include <string>

#include "util3d/d3dx_math.h"

using FieldType = std::int32_t;
enum : FieldType { Wood = 0, Grass = 1, Stone = 2, Water = 3, Metal = 4, Start = 5 };
constexpr int kFieldTypeCount = 6;

// True for the six kinds the game knows. Any other value read from the file is
// kept as read, but drives like wood and is not drawn, just like the unloaded
// part of the storage around the course.
constexpr bool IsKnownFieldType(FieldType t) { return t >= 0 && t < kFieldTypeCount; }

// Float to int by truncation toward zero, clamped to the int range (NaN gives
// 0), so a far-off position can never make an undefined conversion.
int TruncToInt(float value);

class Course {
public:
    static constexpr int kStorageSize = 100;
    static constexpr int kRows = 70;
    static constexpr int kColumns = 70;

    // Reads `fileName` (the game passes "course.txt") with 70 rows and 70 columns.
    explicit Course(std::string fileName = "course.txt");

    void Load(int rowCount, int columnCount);
    // The kind of the field; outside the 100 x 100 storage every field is wood.
    FieldType FieldAt(int column, int row) const;
    int ColumnOf(float x) const;
    int RowOf(float z) const;
    D3DXVECTOR3 FieldCentre(int column, int row) const;

    FieldType fields[kStorageSize * kStorageSize];
    std::int32_t rows = 0;
    std::int32_t columns = 0;

    // Whether course.txt could be opened; without it the course is all wood.
    bool fileRead = false;

private:
    std::string fileName_;
};
