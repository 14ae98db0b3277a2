// The Win32 user-interface calls the game is written against: window class and
// window, the thread's message queue with its timers, menus and accelerators,
// modal dialogs with their controls, message boxes, the shell's "open" and the
// multimedia clock. Texts cross this interface as Windows-1252 bytes.
//
// Two backends carry it (platform/win_backend.h): the SDL one, which gives the
// window, draws the menu bar and the dialogs with Dear ImGui over each
// presented frame and reads the real clock, and the recording one
// (platform/win_recording.h), which runs on a virtual clock with scripted
// input for whole-game tests.
//
// One deliberate difference from Win32: PeekMessageA with PM_NOREMOVE, no
// window filter and no message range, when nothing is queued, first waits
// until the next window-system event or the next timer expiry, whichever comes
// first, and then returns FALSE. A loop that polls the queue that way keeps its
// pace (timer messages arrive when they are due) without burning a core.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/d3d8.h"  // RECT
#include "platform/wintypes.h"

#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef WINAPI
#define WINAPI
#endif

using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ATOM = WORD;
using LPCSTR = const char*;
using LPSTR = char*;
using LPVOID = void*;

struct IconObject;
struct CursorObject;
struct BrushObject;
using HICON = IconObject*;
using HCURSOR = CursorObject*;
using HBRUSH = BrushObject*;

struct POINT {
    LONG x, y;
};

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Resource names: small integers carried in a string pointer, as Win32 does.
inline LPCSTR MAKEINTRESOURCEA(int id) {
    return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(id)));
}
#define MAKEINTRESOURCE(id) MAKEINTRESOURCEA(id)
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LONG MAKELONG(unsigned low, unsigned high) {
    return static_cast<LONG>((static_cast<DWORD>(low) & 0xFFFF) | ((static_cast<DWORD>(high) & 0xFFFF) << 16));
}
constexpr LPARAM MAKELPARAM(unsigned low, unsigned high) { return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high))); }
constexpr WPARAM MAKEWPARAM(unsigned low, unsigned high) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(low, high))); }

// ---- messages ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
// wParam FALSE: a window of another program is becoming active (the game's
// own dialogs and message boxes do not count); TRUE: the game's again.
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// ---- window classes and windows ----
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

constexpr int COLOR_WINDOW = 5;

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy, cx, y, x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;

HINSTANCE GetModuleHandleA(LPCSTR moduleName);

// Fails (0) for a wrong cbSize, a missing class name or procedure, a name
// already registered, or when the backend refuses (a test's failure switch).
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// Only top-level windows are made here (dialogs come from DialogBoxParamA).
// The window is created hidden: ShowWindow shows it. Without a menu argument,
// the class's menu resource is loaded.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Shows, hides, minimises or restores; the first showing sends WM_SIZE with the
// client size and makes the window due for a WM_PAINT. Returns whether the
// window was visible before.
BOOL ShowWindow(HWND window, int showCommand);
BOOL UpdateWindow(HWND window);
// Sends WM_DESTROY, then removes the window, its timers and its queued messages.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL IsIconic(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int maxCount);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);

// ---- messages and the queue ----
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// 0 for WM_QUIT, -1 for an invalid window filter, nonzero otherwise. Blocks.
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Timers coalesce as on Windows: a timer that expires again while its WM_TIMER
// is still unread does not queue a second one. Timer messages and WM_PAINT are
// made only when nothing else is queued (WM_PAINT first). With a window, the
// result is nonzero on success (1 for timer id 0).
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---- menus ----
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_SEPARATOR = 0x0800;

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
HMENU GetMenu(HWND window);
BOOL DestroyMenu(HMENU menu);
// Both return the previous state (MF_CHECKED / MF_GRAYED bits), or (DWORD)-1
// when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
HMENU GetSubMenu(HMENU menu, int position);
UINT GetMenuItemID(HMENU menu, int position);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags);

// ---- accelerators and virtual keys ----
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_APPS = 0x5D;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F2 = 0x71;
constexpr UINT VK_F3 = 0x72;
constexpr UINT VK_F4 = 0x73;
constexpr UINT VK_F5 = 0x74;
constexpr UINT VK_F6 = 0x75;
constexpr UINT VK_F7 = 0x76;
constexpr UINT VK_F8 = 0x77;
constexpr UINT VK_F9 = 0x78;
constexpr UINT VK_F10 = 0x79;
constexpr UINT VK_F11 = 0x7A;
constexpr UINT VK_F12 = 0x7B;

// The name of a key, as the keyboard layout in use labels it: bits 16 to 23
// of `lParam` hold its scan code and bit 24 the extended flag, as in the
// lParam of WM_KEYDOWN (a DIK_ code is the scan code with the extended flag
// as its top bit). Keys without a character have German names, as on a
// German Windows ("Leertaste", "Pfeil hoch"). Returns the length copied,
// 0 for a code that is no key.
int GetKeyNameTextA(LONG lParam, LPSTR buffer, int size);

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
// For a WM_KEYDOWN or WM_SYSKEYDOWN that matches an entry (key and the state of
// Shift, Ctrl and Alt), sends WM_COMMAND with the entry's command in the low
// word and 1 in the high word to the window and returns nonzero. An entry whose
// command is a disabled or grayed item of the window's menu sends nothing (the
// key is still taken).
int TranslateAcceleratorA(HWND window, HACCEL table, const MSG* msg);
// Copies up to `count` entries of a loaded table to `entries` and returns how
// many it copied; with no `entries`, returns how many the table holds. 0 for
// a handle that is no table.
int CopyAcceleratorTableA(HACCEL table, ACCEL* entries, int count);

// ---- icons and cursors ----
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);

// ---- message boxes ----
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_SETFOREGROUND = 0x00010000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// A carriage return alone, or with a line feed, breaks the line. Returns IDOK.
// While the box is open, the owner's timer and paint messages go on being
// dispatched when the box can be drawn inside the owner window; otherwise the
// desktop's own message box is used and the program waits for it.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- dialogs ----
constexpr int IDC_STATIC = -1;

constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;

constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_CHECKBOX = 0x0002;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_RADIOBUTTON = 0x0004;
constexpr DWORD BS_GROUPBOX = 0x0007;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
constexpr DWORD BS_TYPEMASK = 0x000F;
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;

constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr DWORD TBS_VERT = 0x0002;
constexpr DWORD TBS_TOP = 0x0004;
constexpr DWORD TBS_BOTH = 0x0008;
constexpr DWORD TBS_NOTICKS = 0x0010;

constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
// Trackbar notifications in the low word of WM_HSCROLL's wParam.
constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr WORD BN_CLICKED = 0;

// Runs the dialog template `name` modally until EndDialog: WM_INITDIALOG gets
// `initParam`; the owner's timer and paint messages go on being dispatched;
// accelerators are not translated. Returns EndDialog's result, or -1 when the
// template does not exist.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM initParam);
inline INT_PTR DialogBoxA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc) {
    return DialogBoxParamA(instance, name, owner, proc, 0);
}
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
// Copies at most maxCount - 1 characters and a terminating zero; returns the
// number of characters copied.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int maxCount);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// ---- shell ----
constexpr INT_PTR SE_ERR_NOASSOC = 31;
// Opens a file or URL with the desktop's handler (xdg-open) without waiting for
// it. Only the "open" verb (or none) is known. A result above 32 is success.
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int showCommand);
