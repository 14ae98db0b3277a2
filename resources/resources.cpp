// The resource script of the game, as data. Texts are Windows-1252 bytes;
// positions and sizes are dialog units.
#include "resources/resources.h"

#include "platform/port/win_resources.h"
#include "resources/resource.h"

namespace {

#include "resources/icon107_pixels.inc"

// The styles a resource compiler gives each kind of control.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDefPushButton = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kPushButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr DWORD kReadOnlyField = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_READONLY | ES_AUTOHSCROLL;
constexpr DWORD kEditField = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kCheckBox = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kFirstRadioButton = kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON;
constexpr DWORD kRadioButton = kChild | BS_AUTORADIOBUTTON;
constexpr DWORD kTrackbar = kChild | WS_TABSTOP | TBS_NOTICKS;

// Popup, caption, system menu, modal frame, and the font below.
constexpr DWORD kModalDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

DialogItemTemplate Item(int id, const char* cls, const char* text, short x, short y, short cx, short cy,
                        DWORD style) {
    DialogItemTemplate item;
    item.id = id;
    item.className = cls;
    item.text = text;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.style = style;
    return item;
}

DialogTemplate Dialog(int id, const char* caption, short cx, short cy, DWORD style) {
    DialogTemplate d;
    d.id = id;
    d.style = style;
    d.cx = cx;
    d.cy = cy;
    d.caption = caption;
    d.fontName = "MS Sans Serif";
    d.pointSize = 8;
    return d;
}

MenuItemTemplate Command(const char* text, int id, UINT flags = MF_STRING) {
    MenuItemTemplate item;
    item.text = text;
    item.id = static_cast<UINT>(id);
    item.flags = flags;
    return item;
}

MenuItemTemplate Separator() {
    MenuItemTemplate item;
    item.flags = MF_SEPARATOR;
    return item;
}

MenuItemTemplate Popup(const char* text, std::vector<MenuItemTemplate> items) {
    MenuItemTemplate item;
    item.text = text;
    item.flags = MF_POPUP;
    item.items = std::move(items);
    return item;
}

void RegisterMenu() {
    MenuTemplate menu;
    menu.id = IDR_MENU;
    menu.items = {
        Popup("Spiel", {Command("Neues Spiel", IDM_NEW_GAME), Command("Pause", IDM_PAUSE), Separator(),
                        Command("&Beenden", IDM_QUIT)}),
        Popup("Einstellungen", {Command("Sound", IDM_SOUND), Command("Konfiguration", IDM_CONFIGURATION),
                                Command("Beleuchtung", IDM_LIGHTING)}),
        Popup("Info", {Command("Hilfe", IDM_HELP), Command("Highscore", IDM_HIGHSCORE), Command("Tarvik3D", IDM_INFO)}),
    };
    RegisterMenuResource(menu);
}

void RegisterAccelerators() {
    constexpr BYTE kVirt = FVIRTKEY | FNOINVERT;
    AcceleratorTable table;
    table.id = IDR_ACCELERATORS;
    table.entries = {
        {kVirt, VK_ESCAPE, IDM_QUIT}, {kVirt, VK_F1, IDM_NEW_GAME}, {kVirt, VK_F2, IDM_HORN},
        {kVirt, VK_F3, IDM_SOUND},    {kVirt, VK_F4, IDM_PAUSE},
    };
    RegisterAcceleratorResource(table);
}

void RegisterHelpAndInfo() {
    DialogTemplate help = Dialog(IDD_HELP, "Hilfe von Pelko", 326, 148, kModalDialog);
    help.items = {
        Item(IDOK, "button", "OK", 269, 127, 50, 14, kDefPushButton),
        Item(IDC_STATIC, "button", "Steuerung des Spiels", 7, 7, 155, 112, kGroupBox),
        Item(IDC_STATIC, "button", "Sonstiges", 167, 7, 152, 112, kGroupBox),
        Item(IDC_STATIC, "static", "<--- Links", 17, 22, 98, 8, kLabel),
        Item(IDC_STATIC, "static", "---> Rechts", 19, 39, 64, 9, kLabel),
        Item(IDC_STATIC, "static", "F1: Neues Spiel", 174, 19, 88, 10, kLabel),
        Item(IDC_STATIC, "static", "F2: Hupe", 174, 32, 65, 8, kLabel),
        Item(IDC_STATIC, "static", "F3: Sound (ein/aus)", 173, 45, 128, 8, kLabel),
        Item(IDC_STATIC, "static", "F4: Pause", 173, 59, 74, 9, kLabel),
        Item(IDC_STATIC, "static", "Escape: Beenden des Spiels", 174, 73, 114, 8, kLabel),
    };
    RegisterDialogResource(help);

    DialogTemplate info = Dialog(IDD_INFO, "Info zu Tarvik3D", 280, 191, kModalDialog);
    info.items = {
        Item(IDOK, "button", "OK", 203, 162, 50, 14, kDefPushButton),
        Item(IDC_MORE_INFO, "button", "Weitere Infos zu Tarvik3D", 21, 162, 158, 14, kPushButton),
    };
    RegisterDialogResource(info);
}

void RegisterLighting() {
    DialogTemplate d = Dialog(IDD_LIGHTING, "Beleuchtung", 301, 244, 0x80C00040);
    d.extended = true;
    d.items = {
        Item(IDC_LIGHT_SOURCES_FRAME, "button", "Lichtquellen", 0, 3, 300, 94, 0x50000007),
        Item(IDC_OBJECT_FRAME, "button", "Objekteigenschaften", 0, 97, 300, 108, 0x50000007),
        Item(IDC_DIRECTIONAL_LABEL, "static", "Gerichtetes Licht", 20, 20, 62, 11, 0x50020000),
        Item(IDC_HEADLIGHT_LABEL, "static", "Scheinwerfer", 21, 58, 45, 11, 0x50020000),
        Item(IDC_DIRECTIONAL_LEVEL, "msctls_trackbar32", "", 115, 16, 178, 22, 0x50010015),
        Item(IDC_HEADLIGHT_LEVEL, "msctls_trackbar32", "", 115, 53, 177, 22, 0x50010015),
        Item(IDC_GROUP_FIELDS, "button", "Felder", 9, 111, 35, 10, 0x50020009),
        Item(IDC_GROUP_CAR, "button", "Auto", 65, 111, 31, 10, 0x50000009),
        Item(IDC_STATIC, "static", "Reflektion von Umgebungslicht", 9, 125, 100, 12, 0x50020000),
        Item(IDC_STATIC, "static", "Reflektion von Streulicht", 10, 145, 87, 12, 0x50020000),
        Item(IDC_STATIC, "static", "Emmission von Licht", 10, 169, 77, 12, 0x50020000),
        Item(IDC_AMBIENT_REFLECTION, "msctls_trackbar32", "", 114, 121, 177, 20, 0x50010010),
        Item(IDC_DIFFUSE_REFLECTION, "msctls_trackbar32", "", 114, 147, 177, 21, 0x50010010),
        Item(IDC_EMISSION, "msctls_trackbar32", "", 113, 172, 177, 19, 0x50010010),
        Item(IDOK, "button", "OK", 207, 214, 74, 15, 0x50010000),
    };
    RegisterDialogResource(d);
}

void RegisterHighscoreDialogs() {
    DialogTemplate list = Dialog(IDD_HIGHSCORE_LIST, "New Highscore for Tarvik 3D", 287, 162, kModalDialog);
    list.items = {
        Item(IDC_NAME_PLACE1, "edit", "", 16, 35, 185, 12, kReadOnlyField),
        Item(IDC_NAME_PLACE2, "edit", "", 16, 55, 185, 12, kReadOnlyField),
        Item(IDC_NAME_PLACE3, "edit", "", 16, 75, 185, 12, kReadOnlyField),
        Item(IDC_NAME_PLACE4, "edit", "", 16, 95, 185, 12, kReadOnlyField),
        Item(IDC_NAME_PLACE5, "edit", "", 16, 115, 186, 12, kReadOnlyField),
        Item(IDC_TIME_PLACE1, "edit", "", 207, 35, 58, 13, kReadOnlyField),
        Item(IDC_TIME_PLACE2, "edit", "", 207, 55, 58, 13, kReadOnlyField),
        Item(IDC_TIME_PLACE3, "edit", "", 208, 75, 57, 12, kReadOnlyField),
        Item(IDC_TIME_PLACE4, "edit", "", 208, 94, 57, 12, kReadOnlyField),
        Item(IDC_TIME_PLACE5, "edit", "", 207, 113, 58, 12, kReadOnlyField),
        Item(IDOK, "button", "OK", 230, 141, 50, 14, kDefPushButton),
    };
    RegisterDialogResource(list);

    DialogTemplate entry = Dialog(IDD_NAME_ENTRY, "Siegerehrung", 277, 71, kModalDialog);
    entry.items = {
        Item(IDC_CONGRATULATION, "static", "Static", 13, 13, 182, 9, kLabel),
        Item(IDC_STATIC, "static", "Bitte gib deinen Namen ein", 13, 31, 86, 9, kLabel),
        Item(IDC_NAME_ENTRY, "edit", "", 105, 30, 155, 10, kEditField),
        Item(IDOK, "button", "OK", 7, 49, 44, 15, kPushButton),
        Item(IDC_NAME_REFUSED, "static", "", 13, 40, 250, 8, kLabel),
    };
    RegisterDialogResource(entry);
}

// The configuration: the driving keys, the pad, full screen, the read-outs'
// outline, smooth frames and their limit, the pause in the background and
// the volume.
// A key's button shows the key; clicked, it waits for the next key pressed.
void RegisterConfiguration() {
    DialogTemplate d = Dialog(IDD_CONFIGURATION, "Konfiguration", 310, 298, kModalDialog);
    d.items = {
        Item(IDC_STATIC, "button", "Tastatur", 7, 7, 146, 130, kGroupBox),
        Item(IDC_STATIC, "button", "Gamepad", 158, 7, 145, 130, kGroupBox),
    };
    const char* const keyLabels[] = {"Gas", "Bremse", "Links", "Rechts", "Start (Titel)", "Debug-Anzeige"};
    for (int i = 0; i < 6; ++i) {
        const short y = static_cast<short>(20 + 16 * i);
        d.items.push_back(Item(IDC_STATIC, "static", keyLabels[i], 15, static_cast<short>(y + 3), 60, 8, kLabel));
        d.items.push_back(Item(IDC_KEY_BUTTON[i], "button", "", 78, y, 68, 14, kPushButton));
    }
    d.items.push_back(
        Item(IDC_STATIC, "static", "F1 bis F4, F10, F11, Alt und Esc sind fest vergeben.", 15, 118, 132, 16, kLabel));
    d.items.push_back(Item(IDC_PAD_ENABLED, "button", "Gamepad benutzen", 165, 18, 130, 10, kCheckBox));
    const char* const padLabels[] = {"Gas", "Bremse", "Start (Titel)", "Beenden", "Hupe", "Pause"};
    for (int i = 0; i < 6; ++i) {
        const short y = static_cast<short>(31 + 14 * i);
        d.items.push_back(Item(IDC_STATIC, "static", padLabels[i], 165, static_cast<short>(y + 3), 55, 8, kLabel));
        d.items.push_back(Item(IDC_PAD_BUTTON[i], "button", "", 224, y, 72, 13, kPushButton));
    }
    d.items.push_back(Item(IDC_PAD_STATUS, "static", "", 165, 118, 132, 8, kLabel));
    d.items.push_back(Item(IDC_STATIC, "static",
                           "Gamepad: Lenken mit dem linken Stick oder dem Steuerkreuz, Gas auch mit dem rechten "
                           "Trigger, Bremse mit dem linken.",
                           7, 140, 296, 16, kLabel));
    d.items.push_back(Item(IDC_STATIC, "button", "Anzeige und Ton", 7, 158, 296, 94, kGroupBox));
    d.items.push_back(
        Item(IDC_FULLSCREEN, "button", "Vollbild (auch mit F11 oder Alt+Eingabe)", 15, 170, 200, 10, kCheckBox));
    d.items.push_back(Item(IDC_STATIC, "static", "Anzeigen umrandet:", 15, 184, 70, 8, kLabel));
    d.items.push_back(Item(IDC_OUTLINE_AUTOMATIC, "button", "au\xDF" "er in der Startgr\xF6\xDF" "e", 88, 183, 90, 10,
                           kFirstRadioButton));
    d.items.push_back(Item(IDC_OUTLINE_ALWAYS, "button", "immer", 182, 183, 40, 10, kRadioButton));
    d.items.push_back(Item(IDC_OUTLINE_NEVER, "button", "nie", 226, 183, 40, 10, kRadioButton));
    // Frames between the 40 ms ticks; off, one frame a tick.
    d.items.push_back(Item(IDC_SMOOTH_FRAMES, "button", "Fl\xFCssige Bewegung (Bilder zwischen den Spieltakten)", 15,
                           196, 250, 10, kCheckBox | WS_GROUP));
    d.items.push_back(Item(IDC_STATIC, "static", "Bilder je Sekunde:", 25, 210, 62, 8, kLabel));
    const char* const limitLabels[] = {"Bildschirm", "30", "60", "120", "144", "unbegrenzt"};
    const short limitX[] = {90, 140, 164, 188, 216, 244};
    const short limitWidth[] = {48, 22, 22, 26, 26, 50};
    for (int i = 0; i < 6; ++i)
        d.items.push_back(Item(IDC_FRAME_LIMIT_FIRST + i, "button", limitLabels[i], limitX[i], 209,
                               limitWidth[i], 10, i == 0 ? kFirstRadioButton : kRadioButton));
    d.items.push_back(Item(IDC_PAUSE_IN_BACKGROUND, "button", "Pause, wenn das Fenster in den Hintergrund geht", 15,
                           222, 250, 10, kCheckBox | WS_GROUP));
    d.items.push_back(Item(IDC_STATIC, "static", "Lautst\xE4rke", 15, 237, 45, 8, kLabel));
    d.items.push_back(Item(IDC_VOLUME, "msctls_trackbar32", "", 62, 233, 180, 16, kTrackbar));
    d.items.push_back(Item(IDC_VOLUME_TEXT, "static", "", 248, 237, 40, 8, kLabel));
    d.items.push_back(Item(IDC_CONFIG_MESSAGE, "static", "", 7, 256, 296, 16, kLabel));
    d.items.push_back(Item(IDC_DEFAULTS, "button", "Standard", 7, 276, 60, 14, kPushButton));
    d.items.push_back(Item(IDOK, "button", "OK", 187, 276, 55, 14, kDefPushButton));
    d.items.push_back(Item(IDCANCEL, "button", "Abbrechen", 248, 276, 55, 14, kPushButton));
    RegisterDialogResource(d);
}

void RegisterIcon() {
    IconImage icon;
    icon.id = IDI_TARVIK;
    icon.width = 32;
    icon.height = 32;
    icon.rgba.assign(kIcon107Pixels, kIcon107Pixels + sizeof kIcon107Pixels);
    RegisterIconResource(icon);
}

}  // namespace

void RegisterGameResources() {
    RegisterMenu();
    RegisterAccelerators();
    RegisterHelpAndInfo();
    RegisterLighting();
    RegisterHighscoreDialogs();
    RegisterConfiguration();
    RegisterIcon();
}
