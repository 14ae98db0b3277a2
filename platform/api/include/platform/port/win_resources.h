// Resources as data: menus, accelerator tables, dialog templates and icons are
// registered by the program at start (the game's resources/ does it) and then
// found by id, as LoadMenuA, LoadAcceleratorsA, DialogBoxParamA and LoadIconA
// find them in a Windows executable. Texts are Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win.h"

struct MenuItemTemplate {
    std::string text;  // "&" marks the mnemonic; empty for a separator
    UINT id = 0;
    UINT flags = 0;                        // MF_GRAYED, MF_CHECKED, MF_SEPARATOR, MF_POPUP
    std::vector<MenuItemTemplate> items;  // a pop-up's items
};

struct MenuTemplate {
    int id = 0;
    std::vector<MenuItemTemplate> items;  // the menu bar's entries
};

struct AcceleratorTable {
    int id = 0;
    std::vector<ACCEL> entries;
};

// One control of a dialog template, in dialog units.
struct DialogItemTemplate {
    int id = IDC_STATIC;
    std::string className;  // "button", "static", "edit", "msctls_trackbar32"
    std::string text;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
};

struct DialogTemplate {
    int id = 0;
    bool extended = false;  // DLGTEMPLATEEX in the resource
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string fontName;
    WORD pointSize = 0;
    std::vector<DialogItemTemplate> items;
};

struct IconImage {
    int id = 0;
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4 bytes, rows top-down
};

// A later registration of the same id replaces the earlier one.
void RegisterMenuResource(const MenuTemplate& menu);
void RegisterAcceleratorResource(const AcceleratorTable& table);
void RegisterDialogResource(const DialogTemplate& dialog);
void RegisterIconResource(const IconImage& icon);

const MenuTemplate* FindMenuResource(int id);
const AcceleratorTable* FindAcceleratorResource(int id);
const DialogTemplate* FindDialogResource(int id);
const IconImage* FindIconResource(int id);

// Dialog units to pixels for the dialog font's base units (average character
// width, character height), rounded as MapDialogRect rounds.
int DialogUnitsToPixelsX(int units, int baseWidth);
int DialogUnitsToPixelsY(int units, int baseHeight);

// The resource id carried by a MAKEINTRESOURCE name, or -1 for a string name.
int ResourceIdOf(LPCSTR name);
