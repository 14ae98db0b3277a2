// The DirectInput key codes and virtual keys of SDL's scancodes.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/dinput.h"
#include "platform/sdl/dinput_keymap.h"
#include "platform/win.h"

namespace {

TEST(KeyCodes, TheKeysTheGameReadsMapFromSdlScancodes) {
    struct Row {
        SDL_Scancode scancode;
        BYTE dik;
        UINT vk;  // 0: no virtual key needed
    };
    const Row rows[] = {
        {SDL_SCANCODE_UP, 0xC8, VK_UP},          {SDL_SCANCODE_DOWN, 0xD0, VK_DOWN},
        {SDL_SCANCODE_LEFT, 0xCB, VK_LEFT},      {SDL_SCANCODE_RIGHT, 0xCD, VK_RIGHT},
        {SDL_SCANCODE_SPACE, 0x39, VK_SPACE},    {SDL_SCANCODE_F12, 0x58, VK_F12},
        {SDL_SCANCODE_ESCAPE, 0x01, 0x1B},       {SDL_SCANCODE_F1, 0x3B, 0x70},
        {SDL_SCANCODE_F2, 0x3C, 0x71},           {SDL_SCANCODE_F3, 0x3D, 0x72},
        {SDL_SCANCODE_F4, 0x3E, 0x73},           {SDL_SCANCODE_RETURN, 0x1C, VK_RETURN},
        {SDL_SCANCODE_KP_ENTER, 0x9C, VK_RETURN}, {SDL_SCANCODE_A, 0x1E, 'A'},
        {SDL_SCANCODE_Z, 0x2C, 'Z'},             {SDL_SCANCODE_1, 0x02, '1'},
        {SDL_SCANCODE_0, 0x0B, '0'},             {SDL_SCANCODE_LSHIFT, 0x2A, VK_SHIFT},
        {SDL_SCANCODE_RCTRL, 0x9D, VK_CONTROL},  {SDL_SCANCODE_RALT, 0xB8, VK_MENU},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DikFromSdlScancode(row.scancode), row.dik) << SDL_GetScancodeName(row.scancode);
        EXPECT_EQ(VirtualKeyFromSdlScancode(row.scancode), row.vk) << SDL_GetScancodeName(row.scancode);
    }
    EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_AUDIOPLAY), 0);
}

TEST(KeyCodes, NoTwoScancodesShareACodeExceptTheTwoBackslashes) {
    int users[256] = {};
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) ++users[DikFromSdlScancode(sc)];
    for (int dik = 1; dik < 256; ++dik)
        EXPECT_LE(users[dik], dik == DIK_BACKSLASH ? 2 : 1) << "DIK " << dik;
}

}  // namespace
