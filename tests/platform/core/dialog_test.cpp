// Dialog templates and modal dialogs on the recording platform.
#include <cstring>
#include <ostream>

#include "platform/dinput.h"
#include "platform/port/win_resources.h"
#include "tests/platform/core/platform_fixture.h"

namespace {

// ---------------------------------------------------------------------------
// The templates against the tables of the game's resources.

struct ItemRow {
    int id;
    const char* cls;
    const char* text;
    short x, y, cx, cy;
    DWORD style;  // 0: only the kind is given, checked by kind below
    enum Kind { DefButton, Button, Group, Label, ReadOnlyEdit, Edit, Any } kind;
};

struct DialogRow {
    int id;
    const char* caption;
    short cx, cy;
    DWORD style;
    std::vector<ItemRow> items;
};

constexpr DWORD kModal = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

const std::vector<DialogRow>& Dialogs() {
    static const std::vector<DialogRow> rows = {
        {IDD_HELP,
         "Hilfe von Pelko",
         326,
         148,
         kModal,
         {
             {1, "button", "OK", 269, 127, 50, 14, 0, ItemRow::DefButton},
             {-1, "button", "Steuerung des Spiels", 7, 7, 155, 112, 0, ItemRow::Group},
             {-1, "button", "Sonstiges", 167, 7, 152, 112, 0, ItemRow::Group},
             {-1, "static", "<--- Links", 17, 22, 98, 8, 0, ItemRow::Label},
             {-1, "static", "---> Rechts", 19, 39, 64, 9, 0, ItemRow::Label},
             {-1, "static", "F1: Neues Spiel", 174, 19, 88, 10, 0, ItemRow::Label},
             {-1, "static", "F2: Hupe", 174, 32, 65, 8, 0, ItemRow::Label},
             {-1, "static", "F3: Sound (ein/aus)", 173, 45, 128, 8, 0, ItemRow::Label},
             {-1, "static", "F4: Pause", 173, 59, 74, 9, 0, ItemRow::Label},
             {-1, "static", "Escape: Beenden des Spiels", 174, 73, 114, 8, 0, ItemRow::Label},
         }},
        {IDD_INFO,
         "Info zu Tarvik3D",
         280,
         191,
         kModal,
         {
             {1, "button", "OK", 203, 162, 50, 14, 0, ItemRow::DefButton},
             {1035, "button", "Weitere Infos zu Tarvik3D", 21, 162, 158, 14, 0, ItemRow::Button},
         }},
        {IDD_LIGHTING,
         "Beleuchtung",
         301,
         244,
         0x80C00040,
         {
             {1019, "button", "Lichtquellen", 0, 3, 300, 94, 0x50000007, ItemRow::Any},
             {1020, "button", "Objekteigenschaften", 0, 97, 300, 108, 0x50000007, ItemRow::Any},
             {1026, "static", "Gerichtetes Licht", 20, 20, 62, 11, 0x50020000, ItemRow::Any},
             {1027, "static", "Scheinwerfer", 21, 58, 45, 11, 0x50020000, ItemRow::Any},
             {1023, "msctls_trackbar32", "", 115, 16, 178, 22, 0x50010015, ItemRow::Any},
             {1025, "msctls_trackbar32", "", 115, 53, 177, 22, 0x50010015, ItemRow::Any},
             {1029, "button", "Felder", 9, 111, 35, 10, 0x50020009, ItemRow::Any},
             {1030, "button", "Auto", 65, 111, 31, 10, 0x50000009, ItemRow::Any},
             {-1, "static", "Reflektion von Umgebungslicht", 9, 125, 100, 12, 0x50020000, ItemRow::Any},
             {-1, "static", "Reflektion von Streulicht", 10, 145, 87, 12, 0x50020000, ItemRow::Any},
             {-1, "static", "Emmission von Licht", 10, 169, 77, 12, 0x50020000, ItemRow::Any},
             {1031, "msctls_trackbar32", "", 114, 121, 177, 20, 0x50010010, ItemRow::Any},
             {1032, "msctls_trackbar32", "", 114, 147, 177, 21, 0x50010010, ItemRow::Any},
             {1033, "msctls_trackbar32", "", 113, 172, 177, 19, 0x50010010, ItemRow::Any},
             {1, "button", "OK", 207, 214, 74, 15, 0x50010000, ItemRow::Any},
         }},
        {IDD_HIGHSCORE_LIST,
         "New Highscore for Tarvik 3D",
         287,
         162,
         kModal,
         {
             {1043, "edit", "", 16, 35, 185, 12, 0, ItemRow::ReadOnlyEdit},
             {1044, "edit", "", 16, 55, 185, 12, 0, ItemRow::ReadOnlyEdit},
             {1045, "edit", "", 16, 75, 185, 12, 0, ItemRow::ReadOnlyEdit},
             {1046, "edit", "", 16, 95, 185, 12, 0, ItemRow::ReadOnlyEdit},
             {1042, "edit", "", 16, 115, 186, 12, 0, ItemRow::ReadOnlyEdit},
             {1047, "edit", "", 207, 35, 58, 13, 0, ItemRow::ReadOnlyEdit},
             {1048, "edit", "", 207, 55, 58, 13, 0, ItemRow::ReadOnlyEdit},
             {1049, "edit", "", 208, 75, 57, 12, 0, ItemRow::ReadOnlyEdit},
             {1050, "edit", "", 208, 94, 57, 12, 0, ItemRow::ReadOnlyEdit},
             {1051, "edit", "", 207, 113, 58, 12, 0, ItemRow::ReadOnlyEdit},
             {1, "button", "OK", 230, 141, 50, 14, 0, ItemRow::DefButton},
         }},
        {IDD_NAME_ENTRY,
         "Siegerehrung",
         277,
         71,
         kModal,
         {
             {1052, "static", "Static", 13, 13, 182, 9, 0, ItemRow::Label},
             {-1, "static", "Bitte gib deinen Namen ein", 13, 31, 86, 9, 0, ItemRow::Label},
             {1043, "edit", "", 105, 30, 155, 10, 0, ItemRow::Edit},
             {1, "button", "OK", 7, 49, 44, 15, 0, ItemRow::Button},
             // The line that says why a letter was refused: empty, so not
             // seen, until one is.
             {1053, "static", "", 13, 40, 250, 8, 0, ItemRow::Label},
         }},
    };
    return rows;
}

TEST(DialogTemplates, EachDialogHasItsCaptionSizeFontAndControls) {
    RegisterGameResources();
    for (const DialogRow& row : Dialogs()) {
        SCOPED_TRACE(row.id);
        const DialogTemplate* t = FindDialogResource(row.id);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->caption, row.caption);
        EXPECT_EQ(t->cx, row.cx);
        EXPECT_EQ(t->cy, row.cy);
        EXPECT_EQ(t->style, row.style);
        EXPECT_EQ(t->fontName, "MS Sans Serif");
        EXPECT_EQ(t->pointSize, 8);
        ASSERT_EQ(t->items.size(), row.items.size());
        for (size_t i = 0; i < row.items.size(); ++i) {
            const ItemRow& want = row.items[i];
            const DialogItemTemplate& got = t->items[i];
            SCOPED_TRACE(want.text);
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(got.className, want.cls);
            EXPECT_EQ(got.text, want.text);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(got.style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
            switch (want.kind) {
                case ItemRow::Any:
                    EXPECT_EQ(got.style, want.style);
                    break;
                case ItemRow::DefButton:
                    EXPECT_EQ(got.style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
                    break;
                case ItemRow::Button:
                    EXPECT_EQ(got.style & BS_TYPEMASK, BS_PUSHBUTTON);
                    break;
                case ItemRow::Group:
                    EXPECT_EQ(got.style & BS_TYPEMASK, BS_GROUPBOX);
                    break;
                case ItemRow::Label:
                    EXPECT_EQ(got.style & 0xFF, SS_LEFT);
                    break;
                case ItemRow::ReadOnlyEdit:
                    EXPECT_EQ(got.style & (ES_READONLY | ES_AUTOHSCROLL | WS_BORDER),
                              ES_READONLY | ES_AUTOHSCROLL | WS_BORDER);
                    break;
                case ItemRow::Edit:
                    EXPECT_EQ(got.style & (ES_READONLY | ES_AUTOHSCROLL | WS_BORDER), ES_AUTOHSCROLL | WS_BORDER);
                    break;
            }
        }
    }
    EXPECT_TRUE(FindDialogResource(IDD_LIGHTING)->extended);
}

TEST(DialogTemplates, DialogUnitsBecomePixelsLikeMapDialogRect) {
    // Base units 6 x 13: the help dialog is 489 x 241 pixels.
    EXPECT_EQ(DialogUnitsToPixelsX(326, 6), 489);
    EXPECT_EQ(DialogUnitsToPixelsY(148, 13), 241);
    EXPECT_EQ(DialogUnitsToPixelsX(1, 6), 2);  // 1.5 rounds up
    EXPECT_EQ(DialogUnitsToPixelsY(3, 13), 5);  // 4.875
    EXPECT_EQ(DialogUnitsToPixelsX(0, 6), 0);
}

// ---------------------------------------------------------------------------
// Modal dialogs.

using ModalTest = RecordingTest;

// What the procedures saw.
struct ProcLog {
    std::vector<std::pair<UINT, WPARAM>> messages;
    LPARAM initParam = 0;
    std::vector<int> hscrollPositions;
};
ProcLog procLog;

// The help dialog's contract: OK and cancel end it with their id.
INT_PTR HelpProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    procLog.messages.push_back({message, wParam});
    if (message == WM_INITDIALOG) {
        procLog.initParam = lParam;
        return TRUE;
    }
    if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
    }
    return FALSE;
}

// The list dialog's contract: only OK ends it.
INT_PTR ListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    procLog.messages.push_back({message, wParam});
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_TIME_PLACE1, "      83.457 sec");
        SetDlgItemTextA(dialog, IDC_NAME_PLACE1, "J\xFCrgen");
        return TRUE;
    }
    if (message == WM_COMMAND && wParam == IDOK) EndDialog(dialog, 1);
    return FALSE;
}

// A lighting-like procedure: five trackbars, two radio buttons.
INT_PTR SlidersProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    procLog.messages.push_back({message, wParam});
    switch (message) {
        case WM_INITDIALOG:
            for (int id : {IDC_DIRECTIONAL_LEVEL, IDC_HEADLIGHT_LEVEL, IDC_AMBIENT_REFLECTION})
                SendDlgItemMessageA(dialog, id, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
            SendDlgItemMessageA(dialog, IDC_DIRECTIONAL_LEVEL, TBM_SETPOS, TRUE, 100);
            SendDlgItemMessageA(dialog, IDC_HEADLIGHT_LEVEL, TBM_SETPOS, TRUE, 300);  // clamps to 255
            CheckRadioButton(dialog, IDC_GROUP_FIELDS, IDC_GROUP_CAR, IDC_GROUP_FIELDS);
            return TRUE;
        case WM_HSCROLL:
            procLog.hscrollPositions.push_back(
                static_cast<int>(SendDlgItemMessageA(dialog, IDC_DIRECTIONAL_LEVEL, TBM_GETPOS, 0, 0)));
            return TRUE;
        case WM_COMMAND:
            if (wParam == IDOK || wParam == IDCANCEL) {
                EndDialog(dialog, static_cast<INT_PTR>(wParam));
                return TRUE;
            }
            return wParam == IDC_GROUP_FIELDS || wParam == IDC_GROUP_CAR;
        default:
            return FALSE;
    }
}

class DialogTest : public ModalTest {
protected:
    void SetUp() override {
        procLog = ProcLog{};
        window = MakeWindow();
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        ValidateRect(window, nullptr);
        log().clear();
    }
    INT_PTR Open(int id, DLGPROC proc, LPARAM param = 0) {
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), window, proc, param);
    }
    HWND window = nullptr;
};

TEST_F(DialogTest, TheOwnerKeepsTickingAndPaintingBehindTheDialog) {
    SetTimer(window, 0, 40, nullptr);
    platform.OnDialog(IDD_HELP, [&](DialogDriver& d) {
        EXPECT_FALSE(IsWindowEnabled(window));
        d.RunFor(400);
        platform.Expose();
        d.RunFor(40);
        d.Click(IDOK);
    });
    EXPECT_EQ(Open(IDD_HELP, HelpProc, 1234), IDOK);
    EXPECT_EQ(procLog.initParam, 1234);
    EXPECT_EQ(Count(WM_TIMER), 11u);
    EXPECT_EQ(Count(WM_PAINT), 1u);
    EXPECT_TRUE(IsWindowEnabled(window));
    ASSERT_EQ(platform.Dialogs().size(), 1u);
    EXPECT_EQ(platform.Dialogs()[0].id, IDD_HELP);
    EXPECT_TRUE(platform.Dialogs()[0].closed);
    EXPECT_EQ(platform.Dialogs()[0].result, IDOK);
}

TEST_F(DialogTest, EscEnterAndTheCloseBoxGoToTheProcedure) {
    struct Case {
        const char* what;
        std::function<void(DialogDriver&)> act;
        INT_PTR result;
    };
    const Case cases[] = {
        {"Esc", [](DialogDriver& d) { d.PressKey(VK_ESCAPE); }, IDCANCEL},
        {"Enter", [](DialogDriver& d) { d.PressKey(VK_RETURN); }, IDOK},
        {"close box", [](DialogDriver& d) { d.CloseBox(); }, IDCANCEL},
        {"queued Esc", [](DialogDriver& d) { d.Platform().QueueKey(VK_ESCAPE); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        platform.OnDialog(IDD_HELP, c.act);
        EXPECT_EQ(Open(IDD_HELP, HelpProc), c.result) << c.what;
    }
}

TEST_F(DialogTest, TheListIgnoresCancelAndClosesOnlyWithOk) {
    int calls = 0;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        ++calls;
        if (d.Calls() == 0) {
            EXPECT_EQ(d.ItemText(IDC_TIME_PLACE1), "      83.457 sec");
            EXPECT_EQ(d.ItemText(IDC_NAME_PLACE1), "J\xFCrgen");
            d.PressKey(VK_ESCAPE);
            d.CloseBox();
            EXPECT_FALSE(d.Closed());
            return;
        }
        d.PressKey(VK_RETURN);  // the default button
        EXPECT_TRUE(d.Closed());
    });
    EXPECT_EQ(Open(IDD_HIGHSCORE_LIST, ListProc), 1);
    EXPECT_EQ(calls, 2);
}

TEST_F(DialogTest, EnterWithoutADefaultButtonMeansOk) {
    platform.OnDialog(IDD_NAME_ENTRY, [](DialogDriver& d) {
        d.TypeText(IDC_NAME_ENTRY, "Pelko");
        d.PressKey(VK_RETURN);
    });
    std::vector<WPARAM> commands;
    static std::vector<WPARAM>* seen;
    seen = &commands;
    auto proc = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND) {
            seen->push_back(wParam);
            char name[256];
            EXPECT_EQ(GetDlgItemTextA(dialog, IDC_NAME_ENTRY, name, sizeof name), 5u);
            EXPECT_STREQ(name, "Pelko");
            EndDialog(dialog, 1);
        }
        return message == WM_INITDIALOG;
    };
    EXPECT_EQ(Open(IDD_NAME_ENTRY, proc), 1);
    EXPECT_EQ(commands, (std::vector<WPARAM>{IDOK}));
}

TEST_F(DialogTest, ItemTextIsCutToTheCallersBuffer) {
    platform.OnDialog(IDD_NAME_ENTRY, [](DialogDriver& d) {
        d.TypeText(IDC_NAME_ENTRY, std::string(300, 'x'));
        char buffer[256];
        std::memset(buffer, 'y', sizeof buffer);
        EXPECT_EQ(GetDlgItemTextA(d.Window(), IDC_NAME_ENTRY, buffer, sizeof buffer), 255u);
        EXPECT_EQ(std::strlen(buffer), 255u);
        char tiny[1] = {'z'};
        EXPECT_EQ(GetDlgItemTextA(d.Window(), IDC_NAME_ENTRY, tiny, 1), 0u);
        EXPECT_EQ(tiny[0], '\0');
        EXPECT_EQ(GetDlgItemTextA(d.Window(), 4711, buffer, sizeof buffer), 0u);
        EXPECT_FALSE(SetDlgItemTextA(d.Window(), 4711, "x"));
        d.Click(IDOK);
    });
    auto proc = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND && wParam == IDOK) EndDialog(dialog, 1);
        return message == WM_INITDIALOG;
    };
    EXPECT_EQ(Open(IDD_NAME_ENTRY, proc), 1);
}

TEST_F(DialogTest, TrackbarsAndRadioButtons) {
    platform.OnDialog(IDD_LIGHTING, [](DialogDriver& d) {
        EXPECT_EQ(d.TrackbarMin(IDC_DIRECTIONAL_LEVEL), 0);
        EXPECT_EQ(d.TrackbarMax(IDC_DIRECTIONAL_LEVEL), 255);
        EXPECT_EQ(d.TrackbarPosition(IDC_DIRECTIONAL_LEVEL), 100);
        EXPECT_EQ(d.TrackbarPosition(IDC_HEADLIGHT_LEVEL), 255);
        EXPECT_TRUE(d.IsChecked(IDC_GROUP_FIELDS));
        EXPECT_FALSE(d.IsChecked(IDC_GROUP_CAR));
        d.DragTrackbar(IDC_DIRECTIONAL_LEVEL, 29);
        d.DragTrackbar(IDC_DIRECTIONAL_LEVEL, -5);  // the thumb stops at the range's end
        d.Click(IDC_GROUP_CAR);
        EXPECT_TRUE(d.IsChecked(IDC_GROUP_CAR));
        EXPECT_FALSE(d.IsChecked(IDC_GROUP_FIELDS));
        EXPECT_EQ(IsDlgButtonChecked(d.Window(), IDC_GROUP_CAR), BST_CHECKED);
        d.CloseBox();  // no system menu: nothing happens
        EXPECT_FALSE(d.Closed());
        d.PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(Open(IDD_LIGHTING, SlidersProc), IDCANCEL);
    EXPECT_EQ(procLog.hscrollPositions, (std::vector<int>{29, 29, 29, 0, 0, 0}));
    std::vector<WORD> notifications;
    for (auto& [message, wParam] : procLog.messages)
        if (message == WM_HSCROLL) notifications.push_back(LOWORD(wParam));
    EXPECT_EQ(notifications, (std::vector<WORD>{TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK, TB_THUMBTRACK,
                                                TB_THUMBPOSITION, TB_ENDTRACK}));
}

// ---------------------------------------------------------------------------
// Trackbars worked with the mouse and the keyboard, as the dialog procedure
// sees it: each WM_HSCROLL's notification, the position in its high word, the
// trackbar it names, and where that trackbar stands when the procedure asks.

struct Scroll {
    WORD notification;
    WORD high;
    int id;
    int position;
    bool operator==(const Scroll&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Scroll& s) {
    return out << "{" << s.notification << ", " << s.high << ", " << s.id << ", " << s.position << "}";
}
std::vector<Scroll> scrolls;

INT_PTR ScrollLogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            for (int id : {IDC_DIRECTIONAL_LEVEL, IDC_HEADLIGHT_LEVEL, IDC_AMBIENT_REFLECTION, IDC_DIFFUSE_REFLECTION,
                           IDC_EMISSION})
                SendDlgItemMessageA(dialog, id, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
            SendDlgItemMessageA(dialog, IDC_DIRECTIONAL_LEVEL, TBM_SETPOS, TRUE, 100);
            CheckRadioButton(dialog, IDC_GROUP_FIELDS, IDC_GROUP_CAR, IDC_GROUP_FIELDS);
            return TRUE;
        case WM_HSCROLL: {
            HWND control = reinterpret_cast<HWND>(lParam);
            scrolls.push_back({LOWORD(wParam), HIWORD(wParam), GetDlgCtrlID(control),
                               static_cast<int>(SendMessageA(control, TBM_GETPOS, 0, 0))});
            return TRUE;
        }
        case WM_COMMAND:
            if (wParam == IDOK || wParam == IDCANCEL) EndDialog(dialog, static_cast<INT_PTR>(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

class TrackbarTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        scrolls.clear();
    }
    // Opens the lighting dialog, runs `act` in it, and closes it with OK.
    void WithDialog(std::function<void(DialogDriver&)> act) {
        platform.OnDialog(IDD_LIGHTING, [&](DialogDriver& d) {
            act(d);
            d.Click(IDOK);
        });
        ASSERT_EQ(Open(IDD_LIGHTING, ScrollLogProc), IDOK);
    }
};

constexpr int kHeadlight = IDC_HEADLIGHT_LEVEL;

TEST_F(TrackbarTest, TheDraggedThumbNotifiesAtEachNewPositionThenWhereItCameToRest) {
    std::vector<int> live;
    WithDialog([&](DialogDriver& d) {
        d.PressTrackbar(kHeadlight);  // the button goes down on the thumb: nothing moves yet
        EXPECT_TRUE(scrolls.empty());
        for (int to : {10, 10, 40, 300}) {  // a move within one position is no drag; the end stops it
            d.DragThumbTo(kHeadlight, to);
            live.push_back(d.TrackbarPosition(kHeadlight));
        }
        d.ReleaseTrackbar(kHeadlight);
        d.PressTrackbar(kHeadlight);  // taken and let go without a move
        d.ReleaseTrackbar(kHeadlight);
        EXPECT_EQ(d.TrackbarPosition(IDC_DIRECTIONAL_LEVEL), 100);
    });
    EXPECT_EQ(live, (std::vector<int>{10, 10, 40, 255}));
    EXPECT_EQ(scrolls, (std::vector<Scroll>{{TB_THUMBTRACK, 10, kHeadlight, 10},
                                            {TB_THUMBTRACK, 40, kHeadlight, 40},
                                            {TB_THUMBTRACK, 255, kHeadlight, 255},
                                            {TB_THUMBPOSITION, 255, kHeadlight, 255},
                                            {TB_ENDTRACK, 0, kHeadlight, 255},
                                            {TB_ENDTRACK, 0, kHeadlight, 255}}));
}

TEST_F(TrackbarTest, KeysAndChannelClicksMoveByLinePageAndToTheEnds) {
    struct Case {
        const char* what;
        int from;
        std::function<void(DialogDriver&)> act;
        WORD notification;
        int to;
    };
    auto key = [](UINT vk) { return [vk](DialogDriver& d) { d.PressKey(vk); }; };
    auto channel = [](WORD page) { return [page](DialogDriver& d) { d.ClickTrackbarChannel(kHeadlight, page); }; };
    const Case cases[] = {
        {"Right", 100, key(VK_RIGHT), TB_LINEDOWN, 101},
        {"Down", 100, key(VK_DOWN), TB_LINEDOWN, 101},
        {"Left", 100, key(VK_LEFT), TB_LINEUP, 99},
        {"Up", 100, key(VK_UP), TB_LINEUP, 99},
        {"Page Down: a fifth of the range", 100, key(VK_NEXT), TB_PAGEDOWN, 151},
        {"Page Up", 100, key(VK_PRIOR), TB_PAGEUP, 49},
        {"Home", 100, key(VK_HOME), TB_TOP, 0},
        {"End", 100, key(VK_END), TB_BOTTOM, 255},
        {"Right at the end: stays, still notifies", 255, key(VK_RIGHT), TB_LINEDOWN, 255},
        {"Page Up near the start stops at it", 30, key(VK_PRIOR), TB_PAGEUP, 0},
        {"the channel right of the thumb", 100, channel(TB_PAGEDOWN), TB_PAGEDOWN, 151},
        {"the channel left of the thumb, near the start", 30, channel(TB_PAGEUP), TB_PAGEUP, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WithDialog([&](DialogDriver& d) {
            SendDlgItemMessageA(d.Window(), kHeadlight, TBM_SETPOS, TRUE, c.from);
            d.PressTrackbar(kHeadlight);  // the click that gives it the keyboard
            d.ReleaseTrackbar(kHeadlight);
            scrolls.clear();
            c.act(d);
            EXPECT_EQ(d.TrackbarPosition(kHeadlight), c.to);
        });
        // Only the thumb's notifications carry the position; each move ends with TB_ENDTRACK.
        EXPECT_EQ(scrolls, (std::vector<Scroll>{{c.notification, 0, kHeadlight, c.to},
                                                {TB_ENDTRACK, 0, kHeadlight, c.to}}));
    }
}

TEST_F(TrackbarTest, OnlyTheTrackbarClickedLastTakesTheKeysAndEscStillCancels) {
    platform.OnDialog(IDD_LIGHTING, [&](DialogDriver& d) {
        // At the start no trackbar has the keyboard: the arrows are the car's alone.
        for (UINT vk : {VK_RIGHT, VK_LEFT, VK_HOME, VK_END, VK_NEXT}) d.PressKey(vk);
        EXPECT_TRUE(scrolls.empty());
        d.ClickTrackbarChannel(kHeadlight, TB_PAGEDOWN);
        // Keys through the dialog's message loop, pressed and let go.
        d.Platform().QueueKey(VK_RIGHT);
        PostMessageA(d.Window(), WM_KEYUP, VK_RIGHT, 0);
        d.RunFor(0);
        EXPECT_EQ(d.TrackbarPosition(kHeadlight), 52);
        d.Click(IDC_GROUP_CAR);  // the radio button takes the keyboard
        d.PressKey(VK_RIGHT);
        d.PressKey(VK_END);
        EXPECT_EQ(d.TrackbarPosition(kHeadlight), 52);
        d.DragTrackbar(IDC_DIRECTIONAL_LEVEL, 90);  // now the directional light's
        d.PressKey(VK_LEFT);
        EXPECT_EQ(d.TrackbarPosition(IDC_DIRECTIONAL_LEVEL), 89);
        EXPECT_EQ(d.TrackbarPosition(kHeadlight), 52);
        d.PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(Open(IDD_LIGHTING, ScrollLogProc), IDCANCEL);
    const int directional = IDC_DIRECTIONAL_LEVEL;
    EXPECT_EQ(scrolls, (std::vector<Scroll>{{TB_PAGEDOWN, 0, kHeadlight, 51},
                                            {TB_ENDTRACK, 0, kHeadlight, 51},
                                            {TB_LINEDOWN, 0, kHeadlight, 52},
                                            {TB_ENDTRACK, 0, kHeadlight, 52},
                                            {TB_THUMBTRACK, 90, directional, 90},
                                            {TB_THUMBPOSITION, 90, directional, 90},
                                            {TB_ENDTRACK, 0, directional, 90},
                                            {TB_LINEUP, 0, directional, 89},
                                            {TB_ENDTRACK, 0, directional, 89}}));
}

TEST_F(DialogTest, NoAcceleratorsWhileADialogIsOpen) {
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    SetTimer(window, 0, 40, nullptr);
    onMessage() = [&](HWND w, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDM_HELP)
            DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HELP), w, HelpProc, 0);
        return message == WM_TIMER;
    };
    platform.OnDialog(IDD_HELP, [](DialogDriver& d) {
        d.Platform().QueueKey(VK_F3);
        d.Platform().QueueKey(VK_F2);
        d.RunFor(120);
        EXPECT_FALSE(d.Closed());
        d.Platform().QueueKey(VK_ESCAPE);  // cancels the dialog, does not quit
        d.RunFor(40);
        EXPECT_TRUE(d.Closed());
    });
    int step = 0;
    platform.OnIdle([&] {
        if (step == 0) PostMessageA(window, WM_COMMAND, IDM_HELP, 0);
        if (step == 1) platform.QueueKey(VK_F3);
        if (step == 2) PostQuitMessage(0);
        ++step;
    });
    RunGameLoop(window, accelerators);
    EXPECT_EQ(Commands(), (std::vector<WPARAM>{IDM_HELP, MAKEWPARAM(IDM_SOUND, 1)}));
    EXPECT_EQ(Count(WM_TIMER), 3u);  // all of them behind the dialog
}

TEST_F(DialogTest, QuitEndsTheDialogAndStaysForTheOuterLoop) {
    platform.OnDialog(IDD_HELP, [](DialogDriver&) { PostQuitMessage(5); });
    EXPECT_EQ(Open(IDD_HELP, HelpProc), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(DialogTest, UnscriptedDialogsAreAnsweredWithOkAndMissingOnesFail) {
    EXPECT_EQ(Open(IDD_INFO, HelpProc), IDOK);
    EXPECT_EQ(Open(4711, HelpProc), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HELP), reinterpret_cast<HWND>(&procLog), HelpProc, 0),
              -1);
    ASSERT_EQ(platform.Dialogs().size(), 1u);
    EXPECT_EQ(platform.Dialogs()[0].id, IDD_INFO);
}

TEST_F(DialogTest, HandlesOfAClosedDialogAreGone) {
    HWND dialog = nullptr;
    HWND button = nullptr;
    platform.OnDialog(IDD_INFO, [&](DialogDriver& d) {
        dialog = d.Window();
        button = GetDlgItem(dialog, IDC_MORE_INFO);
        EXPECT_EQ(GetDlgCtrlID(button), IDC_MORE_INFO);
        d.Click(IDOK);
    });
    Open(IDD_INFO, HelpProc);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_FALSE(EndDialog(dialog, 1));
    EXPECT_FALSE(SetDlgItemTextA(dialog, IDC_MORE_INFO, "x"));
}

}  // namespace
