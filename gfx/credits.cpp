#include "gfx/credits.h"

#include <cstring>

#include "gfx/graphics_device.h"

namespace {

// Page 0 names the game; pages 1 to 7 greet one name each. The greeted names
// are our own: an institution, a team and four people.
const CreditPage kPages[] = {
    {"This was: Tarvik", 4.0f, 0.0f, 0.0f, "3D", 1.0f, 0.0f, 2.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "Hochschule Nordwald", 3.0f, 0.0f, 0.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "The Rest of the Hackers", 4.2f, 0.0f, 0.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "Team Kieselstein", 2.5f, 0.0f, 0.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "Mara Lindqvist", 5.2f, 0.0f, 0.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "Jonas Brenner", 5.2f, 0.0f, 0.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "Ilka Sommerfeld", 5.2f, 0.0f, 0.0f},
    {"Greetings to", 2.0f, 1.0f, 0.0f, "Piet van Dalen", 5.2f, 0.0f, 0.0f},
};

}  // namespace

HFONT CreateTextMeshFont() {
    LOGFONTA logFont;
    std::memset(&logFont, 0, sizeof logFont);
    logFont.lfHeight = 1;
    logFont.lfStrikeOut = 10;
    std::strcpy(logFont.lfFaceName, "Arial");
    return CreateFontIndirectA(&logFont);
}

const CreditPage* FindCreditPage(int page) {
    if (page < 0 || page >= int(sizeof kPages / sizeof kPages[0])) return nullptr;
    return &kPages[page];
}

CreditLines::~CreditLines() {
    SafeRelease(firstLineMesh);
    SafeRelease(secondLineMesh);
}

void BuildCreditsPage(CreditLines& lines, int page) {
    IDirect3DDevice8* device = lines.graphics.device;
    HDC dc = CreateCompatibleDC(nullptr);
    SafeRelease(lines.firstLineMesh);
    SafeRelease(lines.secondLineMesh);
    HFONT font = CreateTextMeshFont();
    HGDIOBJ previous = SelectObject(dc, font);
    if (const CreditPage* p = FindCreditPage(page)) {
        lines.firstLinePosition = D3DXVECTOR3(p->firstX, p->firstY, p->firstZ);
        lines.secondLinePosition = D3DXVECTOR3(p->secondX, p->secondY, p->secondZ);
        if (FAILED(D3DXCreateTextMeshA(device, dc, p->firstLine, 0.001f, 0.4f, &lines.firstLineMesh, nullptr,
                                       nullptr))) {
            lines.firstLineMesh = nullptr;
            // The second line is still tried, now in the context's own font.
            SelectObject(dc, previous);
        }
        if (FAILED(D3DXCreateTextMeshA(device, dc, p->secondLine, 0.001f, 0.4f, &lines.secondLineMesh, nullptr,
                                       nullptr)))
            lines.secondLineMesh = nullptr;
    }
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}
