// Resource ids of the game: menu, commands, accelerators, dialogs, controls and icon.
#pragma once

// Icon, menu and accelerator table.
constexpr int IDI_TARVIK = 107;
constexpr int IDR_MENU = 109;
constexpr int IDR_ACCELERATORS = 103;

// Commands of the menu and the accelerators.
constexpr int IDM_QUIT = 105;
constexpr int IDM_LIGHTING = 32782;
constexpr int IDM_SOUND = 32783;
constexpr int IDM_PAUSE = 32784;
constexpr int IDM_HELP = 32786;
constexpr int IDM_HIGHSCORE = 32787;
constexpr int IDM_INFO = 32788;
constexpr int IDM_CONFIGURATION = 32789;
constexpr int IDM_NEW_GAME = 32790;
constexpr int IDM_HORN = 32792;
// The port's own command: full screen on or off (F11, Alt+Enter); it has no
// menu item and no accelerator, the window procedure takes the keys.
constexpr int IDM_FULLSCREEN = 32793;

// Dialogs.
constexpr int IDD_LIGHTING = 106;
constexpr int IDD_HELP = 144;
constexpr int IDD_INFO = 145;
constexpr int IDD_HIGHSCORE_LIST = 151;
constexpr int IDD_NAME_ENTRY = 152;
constexpr int IDD_CONFIGURATION = 153;

// Controls of the info dialog.
constexpr int IDC_MORE_INFO = 1035;

// Controls of the lighting dialog.
constexpr int IDC_LIGHT_SOURCES_FRAME = 1019;
constexpr int IDC_OBJECT_FRAME = 1020;
constexpr int IDC_DIRECTIONAL_LEVEL = 1023;
constexpr int IDC_HEADLIGHT_LEVEL = 1025;
constexpr int IDC_DIRECTIONAL_LABEL = 1026;
constexpr int IDC_HEADLIGHT_LABEL = 1027;
constexpr int IDC_GROUP_FIELDS = 1029;
constexpr int IDC_GROUP_CAR = 1030;
constexpr int IDC_AMBIENT_REFLECTION = 1031;
constexpr int IDC_DIFFUSE_REFLECTION = 1032;
constexpr int IDC_EMISSION = 1033;

// Controls of the highscore list: name fields of places 1 to 5 (place 5 has the
// lowest id) and time fields of places 1 to 5.
constexpr int IDC_NAME_PLACE1 = 1043;
constexpr int IDC_NAME_PLACE2 = 1044;
constexpr int IDC_NAME_PLACE3 = 1045;
constexpr int IDC_NAME_PLACE4 = 1046;
constexpr int IDC_NAME_PLACE5 = 1042;
constexpr int IDC_TIME_PLACE1 = 1047;
constexpr int IDC_TIME_PLACE2 = 1048;
constexpr int IDC_TIME_PLACE3 = 1049;
constexpr int IDC_TIME_PLACE4 = 1050;
constexpr int IDC_TIME_PLACE5 = 1051;
constexpr int IDC_NAME_PLACE[5] = {IDC_NAME_PLACE1, IDC_NAME_PLACE2, IDC_NAME_PLACE3, IDC_NAME_PLACE4,
                                   IDC_NAME_PLACE5};
constexpr int IDC_TIME_PLACE[5] = {IDC_TIME_PLACE1, IDC_TIME_PLACE2, IDC_TIME_PLACE3, IDC_TIME_PLACE4,
                                   IDC_TIME_PLACE5};

// Controls of the name entry.
constexpr int IDC_CONGRATULATION = 1052;
constexpr int IDC_NAME_ENTRY = 1043;
// The line under the name field that says why a letter was refused; empty
// (and so not seen) until one is.
constexpr int IDC_NAME_REFUSED = 1053;

// Controls of the configuration dialog: a button per driving key (in the
// order of KeyAction), the pad's switch, a button per pad action (in the
// order of PadAction), full screen, the read-outs' outline, the pause in the
// background, the volume, the line for what the dialog has to say, and the
// button that brings the defaults back.
constexpr int IDC_KEY_ACCELERATE = 1061;
constexpr int IDC_KEY_BRAKE = 1062;
constexpr int IDC_KEY_LEFT = 1063;
constexpr int IDC_KEY_RIGHT = 1064;
constexpr int IDC_KEY_START = 1065;
constexpr int IDC_KEY_DEBUG = 1066;
constexpr int IDC_KEY_BUTTON[6] = {IDC_KEY_ACCELERATE, IDC_KEY_BRAKE, IDC_KEY_LEFT,
                                   IDC_KEY_RIGHT,      IDC_KEY_START, IDC_KEY_DEBUG};
constexpr int IDC_PAD_ENABLED = 1070;
constexpr int IDC_PAD_ACCELERATE = 1071;
constexpr int IDC_PAD_BRAKE = 1072;
constexpr int IDC_PAD_START = 1073;
constexpr int IDC_PAD_QUIT = 1074;
constexpr int IDC_PAD_HORN = 1075;
constexpr int IDC_PAD_PAUSE = 1076;
constexpr int IDC_PAD_BUTTON[6] = {IDC_PAD_ACCELERATE, IDC_PAD_BRAKE, IDC_PAD_START,
                                   IDC_PAD_QUIT,       IDC_PAD_HORN,  IDC_PAD_PAUSE};
constexpr int IDC_PAD_STATUS = 1077;
constexpr int IDC_FULLSCREEN = 1080;
constexpr int IDC_VOLUME = 1081;
constexpr int IDC_VOLUME_TEXT = 1082;
constexpr int IDC_CONFIG_MESSAGE = 1083;
constexpr int IDC_DEFAULTS = 1084;
// When the read-outs get their outline: three radio buttons in the order of
// ReadoutOutline (automatic, always, never).
constexpr int IDC_OUTLINE_AUTOMATIC = 1085;
constexpr int IDC_OUTLINE_ALWAYS = 1086;
constexpr int IDC_OUTLINE_NEVER = 1087;
constexpr int IDC_PAUSE_IN_BACKGROUND = 1088;
// Smooth frames, and their limit: radio buttons in the order of kFrameLimits
// (the display's rate, 30, 60, 120, 144, none).
constexpr int IDC_SMOOTH_FRAMES = 1089;
constexpr int IDC_FRAME_LIMIT_FIRST = 1090;
constexpr int IDC_FRAME_LIMIT_LAST = 1095;
