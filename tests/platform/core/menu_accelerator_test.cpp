// Menu 109 and accelerator table 103 as the window sees them.
#include <cstring>

#include "platform/dinput.h"
#include "tests/platform/core/platform_fixture.h"

namespace {

using MenuTest = RecordingTest;

struct MenuRow {
    int popup;
    int position;
    const char* text;
    UINT id;  // 0 for a separator
    bool grayed;
};

const MenuRow kMenu109[] = {
    {0, 0, "Neues Spiel", 32790, false}, {0, 1, "Pause", 32784, false},         {0, 2, "", 0, false},
    {0, 3, "&Beenden", 105, false},      {1, 0, "Sound", 32783, false},         {1, 1, "Konfiguration", 32789, false},
    {1, 2, "Beleuchtung", 32782, false}, {2, 0, "Hilfe", 32786, false},         {2, 1, "Highscore", 32787, false},
    {2, 2, "Tarvik3D", 32788, false},
};

TEST_F(MenuTest, Menu109HasThePopupsItemsIdsAndGrayedStates) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    const char* popups[] = {"Spiel", "Einstellungen", "Info"};
    const int itemCounts[] = {4, 3, 3};
    for (int p = 0; p < 3; ++p) {
        char text[64];
        GetMenuStringA(menu, static_cast<UINT>(p), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[p]);
        ASSERT_NE(GetSubMenu(menu, p), nullptr);
        EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, p)), itemCounts[p]);
    }
    for (const MenuRow& row : kMenu109) {
        HMENU popup = GetSubMenu(menu, row.popup);
        UINT state = GetMenuState(popup, static_cast<UINT>(row.position), MF_BYPOSITION);
        SCOPED_TRACE(row.text);
        if (row.id == 0) {
            EXPECT_TRUE(state & MF_SEPARATOR);
            continue;
        }
        char text[64];
        GetMenuStringA(popup, static_cast<UINT>(row.position), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, row.text);
        EXPECT_EQ(GetMenuItemID(popup, row.position), row.id);
        EXPECT_EQ((state & MF_GRAYED) != 0, row.grayed);
        EXPECT_EQ(state & MF_CHECKED, 0u);  // check marks come at run time
    }
}

TEST_F(MenuTest, CheckAndEnableReportThePreviousState) {
    HWND window = MakeWindow();
    HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(CheckMenuItem(menu, IDM_SOUND, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(menu, IDM_SOUND, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(CheckMenuItem(menu, 4711, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(EnableMenuItem(menu, IDM_PAUSE, MF_BYCOMMAND | MF_GRAYED), static_cast<BOOL>(MF_ENABLED));
    EXPECT_TRUE(GetMenuState(menu, IDM_PAUSE, MF_BYCOMMAND) & MF_GRAYED);
    // Each window has its own copy of the resource.
    HMENU other = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU));
    EXPECT_EQ(GetMenuState(other, IDM_PAUSE, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(EnableMenuItem(menu, IDM_PAUSE, MF_BYCOMMAND | MF_ENABLED), static_cast<BOOL>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(menu, IDM_PAUSE, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(LoadMenuA(nullptr, MAKEINTRESOURCEA(4711)), nullptr);
}

class AcceleratorTest : public RecordingTest {
protected:
    void SetUp() override {
        window = MakeWindow();
        ASSERT_NE(window, nullptr);
        accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
        ASSERT_NE(accelerators, nullptr);
        log().clear();
    }
    int Translate(UINT key) {
        MSG msg{};
        msg.hwnd = window;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        return TranslateAcceleratorA(window, accelerators, &msg);
    }
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
};

TEST_F(AcceleratorTest, Table103SendsItsCommandsMarkedAsAccelerators) {
    struct Row {
        UINT key;
        int command;
    };
    const Row rows[] = {{VK_ESCAPE, IDM_QUIT}, {VK_F1, IDM_NEW_GAME}, {VK_F2, IDM_HORN}, {VK_F3, IDM_SOUND},
                        {VK_F4, IDM_PAUSE}};
    for (const Row& row : rows) {
        log().clear();
        EXPECT_EQ(Translate(row.key), 1);
        EXPECT_EQ(Commands(), (std::vector<WPARAM>{MAKEWPARAM(row.command, 1)})) << "key " << row.key;
    }
    // F11 is the window procedure's own key for full screen, no accelerator.
    for (UINT key : {VK_F12, VK_SPACE, VK_UP, VK_F5, VK_F11}) {
        log().clear();
        EXPECT_EQ(Translate(key), 0) << "key " << key;
        EXPECT_TRUE(Commands().empty());
    }
}

TEST_F(AcceleratorTest, F4DoesNothingWhilePauseIsGrayed) {
    EnableMenuItem(GetMenu(window), IDM_PAUSE, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_EQ(Translate(VK_F4), 1);
    EXPECT_TRUE(Commands().empty());
    EnableMenuItem(GetMenu(window), IDM_PAUSE, MF_BYCOMMAND | MF_ENABLED);
    EXPECT_EQ(Translate(VK_F4), 1);
    EXPECT_EQ(Commands(), (std::vector<WPARAM>{MAKEWPARAM(IDM_PAUSE, 1)}));
}

TEST_F(AcceleratorTest, CopyAcceleratorTableGivesTheLoadedEntriesInTheirOrder) {
    const int count = CopyAcceleratorTableA(accelerators, nullptr, 0);
    ASSERT_EQ(count, 5);
    std::vector<ACCEL> entries(7, ACCEL{0, 0, 0});
    EXPECT_EQ(CopyAcceleratorTableA(accelerators, entries.data(), 7), 5);
    const WORD keys[] = {VK_ESCAPE, VK_F1, VK_F2, VK_F3, VK_F4};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(entries[i].key, keys[i]) << "entry " << i;
        EXPECT_EQ(entries[i].fVirt, FVIRTKEY | FNOINVERT) << "entry " << i;
    }
    EXPECT_EQ(entries[5].key, 0) << "nothing is written past the table";
    // A short buffer takes what fits; a handle that is no table gives nothing.
    std::vector<ACCEL> two(3, ACCEL{0, 0, 0});
    EXPECT_EQ(CopyAcceleratorTableA(accelerators, two.data(), 2), 2);
    EXPECT_EQ(two[1].key, VK_F1);
    EXPECT_EQ(two[2].key, 0);
    EXPECT_EQ(CopyAcceleratorTableA(accelerators, two.data(), -1), 0);
    int notATable = 0;
    EXPECT_EQ(CopyAcceleratorTableA(reinterpret_cast<HACCEL>(&notATable), nullptr, 0), 0);
    EXPECT_EQ(CopyAcceleratorTableA(nullptr, nullptr, 0), 0);
}

TEST_F(AcceleratorTest, EntriesWithoutModifiersDoNotMatchWithShiftCtrlOrAlt) {
    for (BYTE modifier : {DIK_LSHIFT, DIK_RCONTROL, DIK_LMENU}) {
        platform.SetKeyDown(modifier);
        EXPECT_EQ(Translate(VK_F2), 0);
        platform.SetKeyDown(modifier, false);
    }
    EXPECT_TRUE(Commands().empty());
    // Only key-down messages are translated.
    MSG up{window, WM_KEYUP, VK_F2, 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorA(window, accelerators, &up), 0);
}

TEST_F(AcceleratorTest, TheGameLoopTranslatesQueuedKeys) {
    int step = 0;
    platform.OnIdle([&] {
        switch (step++) {
            case 0:
                platform.QueueKey(VK_F3);
                break;
            case 1:
                platform.QueueKey(VK_F4);
                break;
            case 2:
                platform.QueueKey('A');
                break;
            default:
                PostQuitMessage(0);
        }
    });
    RunGameLoop(window, accelerators);
    EXPECT_EQ(Commands(), (std::vector<WPARAM>{MAKEWPARAM(IDM_SOUND, 1), MAKEWPARAM(IDM_PAUSE, 1)}));
    // The key that is no accelerator reaches the window procedure.
    EXPECT_EQ(Count(WM_KEYDOWN), 1u);
}

}  // namespace
