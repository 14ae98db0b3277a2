// Key names: GetKeyNameTextA over the DIK_ codes, which are the keys' scan
// codes. Keys that print a character are named by it, in the layout in use
// as the window back-end reports it; the others have German names.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/core/win_core.h"
#include "platform/dinput.h"

namespace {

struct KeyName {
    BYTE dik;
    const char* name;
};

// Windows-1252 text.
constexpr KeyName kNamedKeys[] = {
    {DIK_ESCAPE, "Esc"},
    {DIK_BACK, "R\xFC" "cktaste"},
    {DIK_TAB, "Tab"},
    {DIK_RETURN, "Eingabe"},
    {DIK_LCONTROL, "Strg links"},
    {DIK_LSHIFT, "Umschalt links"},
    {DIK_RSHIFT, "Umschalt rechts"},
    {DIK_MULTIPLY, "Num *"},
    {DIK_LMENU, "Alt"},
    {DIK_SPACE, "Leertaste"},
    {DIK_CAPITAL, "Feststell"},
    {DIK_F1, "F1"},
    {DIK_F2, "F2"},
    {DIK_F3, "F3"},
    {DIK_F4, "F4"},
    {DIK_F5, "F5"},
    {DIK_F6, "F6"},
    {DIK_F7, "F7"},
    {DIK_F8, "F8"},
    {DIK_F9, "F9"},
    {DIK_F10, "F10"},
    {DIK_NUMLOCK, "Num"},
    {DIK_SCROLL, "Rollen"},
    {DIK_NUMPAD7, "Num 7"},
    {DIK_NUMPAD8, "Num 8"},
    {DIK_NUMPAD9, "Num 9"},
    {DIK_SUBTRACT, "Num -"},
    {DIK_NUMPAD4, "Num 4"},
    {DIK_NUMPAD5, "Num 5"},
    {DIK_NUMPAD6, "Num 6"},
    {DIK_ADD, "Num +"},
    {DIK_NUMPAD1, "Num 1"},
    {DIK_NUMPAD2, "Num 2"},
    {DIK_NUMPAD3, "Num 3"},
    {DIK_NUMPAD0, "Num 0"},
    {DIK_DECIMAL, "Num Komma"},
    {DIK_F11, "F11"},
    {DIK_F12, "F12"},
    {DIK_F13, "F13"},
    {DIK_F14, "F14"},
    {DIK_F15, "F15"},
    {DIK_NUMPADEQUALS, "Num ="},
    {DIK_NUMPADENTER, "Num Eingabe"},
    {DIK_RCONTROL, "Strg rechts"},
    {DIK_NUMPADCOMMA, "Num Komma"},
    {DIK_DIVIDE, "Num /"},
    {DIK_SYSRQ, "Druck"},
    {DIK_RMENU, "Alt Gr"},
    {DIK_PAUSE, "Pause"},
    {DIK_HOME, "Pos1"},
    {DIK_UP, "Pfeil hoch"},
    {DIK_PRIOR, "Bild hoch"},
    {DIK_LEFT, "Pfeil links"},
    {DIK_RIGHT, "Pfeil rechts"},
    {DIK_END, "Ende"},
    {DIK_DOWN, "Pfeil runter"},
    {DIK_NEXT, "Bild runter"},
    {DIK_INSERT, "Einfg"},
    {DIK_DELETE, "Entf"},
    {DIK_LWIN, "Windows links"},
    {DIK_RWIN, "Windows rechts"},
    {DIK_APPS, "Anwendung"},
};

// What the keys of the main block print on a US keyboard, the layout the
// DIK_ codes are named after.
constexpr KeyName kCharacterKeys[] = {
    {DIK_1, "1"}, {DIK_2, "2"}, {DIK_3, "3"}, {DIK_4, "4"}, {DIK_5, "5"}, {DIK_6, "6"}, {DIK_7, "7"},
    {DIK_8, "8"}, {DIK_9, "9"}, {DIK_0, "0"}, {DIK_MINUS, "-"}, {DIK_EQUALS, "="}, {DIK_Q, "Q"},
    {DIK_W, "W"}, {DIK_E, "E"}, {DIK_R, "R"}, {DIK_T, "T"}, {DIK_Y, "Y"}, {DIK_U, "U"}, {DIK_I, "I"},
    {DIK_O, "O"}, {DIK_P, "P"}, {DIK_LBRACKET, "["}, {DIK_RBRACKET, "]"}, {DIK_A, "A"}, {DIK_S, "S"},
    {DIK_D, "D"}, {DIK_F, "F"}, {DIK_G, "G"}, {DIK_H, "H"}, {DIK_J, "J"}, {DIK_K, "K"}, {DIK_L, "L"},
    {DIK_SEMICOLON, ";"}, {DIK_APOSTROPHE, "'"}, {DIK_GRAVE, "`"}, {DIK_BACKSLASH, "\\"}, {DIK_Z, "Z"},
    {DIK_X, "X"}, {DIK_C, "C"}, {DIK_V, "V"}, {DIK_B, "B"}, {DIK_N, "N"}, {DIK_M, "M"}, {DIK_COMMA, ","},
    {DIK_PERIOD, "."}, {DIK_SLASH, "/"}, {DIK_OEM_102, "<"},
};

}  // namespace

int GetKeyNameTextA(LONG lParam, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    const auto bits = static_cast<DWORD>(lParam);
    const BYTE dik = static_cast<BYTE>(((bits >> 16) & 0x7F) | ((bits >> 24) & 1 ? 0x80 : 0));
    std::string name;
    for (const KeyName& k : kNamedKeys)
        if (k.dik == dik) name = k.name;
    if (name.empty()) {
        for (const KeyName& k : kCharacterKeys) {
            if (k.dik != dik) continue;
            name = Backend().KeyLabel(dik);
            if (name.empty()) name = k.name;
        }
    }
    const size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}
