// The extruded credit lines of the ending: one page of up to two lines at a time.
#pragma once

#include "platform/gdi.h"
#include "util3d/d3dx.h"

class GraphicsDevice;

// The font every text mesh is made in: "Arial", height 1, strike-out byte set.
HFONT CreateTextMeshFont();

class CreditLines {
public:
    // The lines are made with the device of `graphics`.
    explicit CreditLines(GraphicsDevice& graphics) : graphics(graphics) {}
    ~CreditLines();
    CreditLines(const CreditLines&) = delete;
    CreditLines& operator=(const CreditLines&) = delete;

    ID3DXMesh* firstLineMesh = nullptr;
    D3DXVECTOR3 firstLinePosition;
    ID3DXMesh* secondLineMesh = nullptr;
    D3DXVECTOR3 secondLinePosition;
    GraphicsDevice& graphics;
};

// Replaces the lines on show with those of `page` (0 to 7); other pages show none.
void BuildCreditsPage(CreditLines& lines, int page);

// The texts of a credits page, null where the page has none.
struct CreditPage {
    const char* firstLine;
    float firstX, firstY, firstZ;
    const char* secondLine;
    float secondX, secondY, secondZ;
};
const CreditPage* FindCreditPage(int page);
