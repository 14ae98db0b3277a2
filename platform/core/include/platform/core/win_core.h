// Inside the Win32-style layer: the objects behind the handles, the thread's
// message queue with its timers, the modal dialog stack, and the interface a
// backend (SDL or recording) gives the layer. Only platform/ includes this.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/win.h"
#include "platform/port/gamepad.h"
#include "platform/port/win_resources.h"

struct DialogRuntime;

struct WindowObject {
    enum class Kind { TopLevel, Dialog, Control };
    Kind kind = Kind::TopLevel;
    std::string className;
    std::string text;  // title, caption or control text (Windows-1252)
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HMENU menu = nullptr;
    HWND owner = nullptr;  // a dialog's owner, a control's dialog
    HICON icon = nullptr;
    int x = 0, y = 0;  // requested position; CW_USEDEFAULT leaves it to the window system
    int outerWidth = 0, outerHeight = 0;
    int clientWidth = 0, clientHeight = 0;
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool fullScreen = false;
    bool needsPaint = false;
    bool sizeSent = false;
    bool destroying = false;
    int disabledCount = 0;  // modal dialogs disable their owner while they run
    DialogRuntime* dialog = nullptr;  // for dialogs and controls
    int controlIndex = -1;            // for controls
    void* native = nullptr;           // the backend's window
    // The last WM_SIZE sent, so that repeated window-system reports of one size
    // do not reset the device again and again.
    WPARAM lastSizeType = ~WPARAM(0);
    LPARAM lastSizeParam = 0;
};

struct MenuObject {
    struct Item {
        std::string text;
        UINT id = 0;
        UINT flags = 0;
        std::unique_ptr<MenuObject> popup;
    };
    std::vector<Item> items;
    MenuObject* parent = nullptr;
};

struct AcceleratorObject {
    std::vector<ACCEL> entries;
};

struct IconObject {
    int resourceId = 0;  // 0 for the stock icon
};

struct CursorObject {
    int id = 0;
};

struct InstanceObject {
    int unused = 0;
};

// One control of a running dialog.
struct ControlRuntime {
    DialogItemTemplate item;
    HWND window = nullptr;
    std::string text;
    int rangeMin = 0, rangeMax = 100, position = 0;
    bool checked = false;
    // What kind of control the template makes.
    enum class Kind { PushButton, DefaultPushButton, GroupBox, RadioButton, CheckBox, Static, Edit, Trackbar, Other };
    Kind kind = Kind::Other;
    bool readOnly = false;
    bool groupStart = false;
    // A trackbar's thumb has been dragged since the mouse button went down on
    // it, so letting go reports the position the thumb came to rest at.
    bool thumbMoved = false;
    int pickerLetter = -1;  // the letter a pad's letter picker is at in an edit field; -1 before it starts
};

struct DialogRuntime {
    DialogTemplate tmpl;
    HWND window = nullptr;
    HWND owner = nullptr;
    HWND root = nullptr;  // the top-level window the dialog is drawn in
    DLGPROC proc = nullptr;
    std::vector<ControlRuntime> controls;
    bool ended = false;
    INT_PTR result = 0;
    int focusControl = -1;      // control index with the keyboard: an edit field at first, then the one clicked last
    bool focusApplied = false;  // the drawing side has moved the focus there
    bool isMessageBox = false;
    UINT messageBoxType = 0;
    // Drawing-side state kept between frames.
    std::vector<std::string> editBuffers;  // UTF-8 copies of the edit fields
    int cursorToEnd = -1;  // an edit field whose text changed from outside: its cursor goes to the end
    // The trackbar the mouse button went down on, while the button is held.
    struct TrackbarMouse {
        int index = -1;            // -1: none
        bool onThumb = false;      // else on the channel, paging toward the pointer
        float grabOffset = 0.0f;   // pointer minus thumb centre where the thumb was taken
        int position = 0;          // where the dragged thumb is drawn
        WORD page = 0;             // TB_PAGEUP or TB_PAGEDOWN
        std::uint64_t nextPage = 0;  // when the held button pages again
    } trackbarMouse;
    UINT pendingKey = 0;             // Esc or Enter waiting for typed text to reach the fields
    std::uint64_t pendingKeySince = 0;
    std::uint64_t serial = 0;  // tells dialogs apart for the drawing side, which keeps windows by name
    // A pad works the dialog: the control with the focus is framed, and an
    // edit field with it is a letter picker. From the start when the dialog
    // was reached by a pad.
    bool padFocus = false;
    bool padNavigationHeld = false;  // the dialog reads the pads itself (HoldPadNavigation)
};

// What a backend gives the layer.
class WinBackend {
public:
    virtual ~WinBackend() = default;

    virtual DWORD Now() = 0;
    virtual DWORD Elapsed() = 0;
    virtual void Sleep(DWORD milliseconds) = 0;

    virtual bool AllowRegisterClass() { return true; }
    // Makes the backend's window for a new top-level window; false fails CreateWindowExA.
    virtual bool CreateNativeWindow(WindowObject& window) = 0;
    virtual void ShowNativeWindow(WindowObject& window, int showCommand) = 0;
    virtual void DestroyNativeWindow(WindowObject& window) = 0;
    virtual void SetNativeTitle(WindowObject&) {}
    // Desktop full screen on or off; the new size comes back as WM_SIZE
    // (SendSizeMessage), now or from the window system's events. False when
    // the window system cannot.
    virtual bool SetFullScreen(WindowObject&, bool) { return false; }
    // Height of the menu bar drawn at the top of a window with a menu.
    virtual int MenuBarHeight() = 0;
    // The menu bar from the keys (platform/port/menu_bar.h): its first pop-up
    // opens. False when it cannot open now.
    virtual bool OpenMenuBar(WindowObject&) { return false; }
    // Whether a pop-up of the menu bar is open, and a key for it: the arrows
    // move, Enter chooses, Esc closes.
    virtual bool MenuBarOpen() { return false; }
    virtual void MenuBarKey(UINT) {}
    // Frame pacing (platform/port/frame_pacing.h): the refresh rate of the
    // window's screen (0: unknown), and presents waiting for it.
    virtual int RefreshRate(WindowObject&) { return 0; }
    virtual bool SetPresentSync(WindowObject&, bool) { return false; }

    // Turns window-system events into messages; never blocks.
    virtual void PumpEvents() = 0;
    // Nothing is queued or due: the SDL backend waits up to `timeout`
    // milliseconds (kWaitForever: no timer) for an event; the recording backend
    // runs the test's script.
    virtual void Idle(DWORD timeout) = 0;

    // A message box for which no in-window drawing is possible.
    virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
    // Whether a message box owned by `owner` can run as a modal dialog drawn
    // inside the window.
    virtual bool CanDrawMessageBoxIn(HWND) { return false; }
    virtual bool OpenWithShell(const std::string& file) = 0;

    // The DirectInput keyboard: each start-up step may be refused by a test.
    enum class KeyboardStep { Create, CreateDevice, SetDataFormat, SetCooperativeLevel, Acquire };
    virtual HRESULT KeyboardStepResult(KeyboardStep) { return S_OK; }
    // The keyboard as the window system sees it now, one byte per DIK_ code.
    virtual void KeyboardSnapshot(BYTE keys[256]) = 0;
    // The character printed on the key of a DIK_ code in the keyboard layout
    // in use (Windows-1252), empty for keys without one; the US layout
    // where the window system does not say.
    virtual std::string KeyLabel(BYTE) { return ""; }
    // A DirectInput read: the snapshot, unless a test makes the read fail.
    virtual HRESULT ReadKeyboard(BYTE keys[256]) {
        KeyboardSnapshot(keys);
        return S_OK;
    }

    // A dialog's modal loop starts or ends.
    virtual void DialogStarted(DialogRuntime&) {}
    virtual void DialogEnded(DialogRuntime&) {}
    // A modal loop whose dialog cannot be drawn has waited in vain; the SDL
    // backend uses this to fall back to the desktop's message box.
    virtual bool ModalLoopStalled(DialogRuntime&) { return false; }
};

constexpr DWORD kWaitForever = 0xFFFFFFFFu;

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    DWORD period = 0;
    DWORD nextDue = 0;
    bool pending = false;
    DWORD dueSince = 0;  // the expiry that made it pending
    TIMERPROC proc = nullptr;
};

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int menuId = -1;
};

struct WinState {
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<WindowObject>> windows;
    std::unordered_set<const WindowObject*> liveWindows;
    std::vector<std::unique_ptr<MenuObject>> menus;  // top-level menus
    std::unordered_set<const MenuObject*> liveMenus;  // all menus, pop-ups included
    std::vector<std::unique_ptr<AcceleratorObject>> accelerators;
    std::vector<std::unique_ptr<IconObject>> icons;
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<DialogRuntime*> modalStack;
    // Counts everything that can unblock a waiting loop (a message posted, the
    // clock moved, a dialog ended...); the recording backend compares it to
    // tell a script that did nothing from one that moved the game on.
    std::uint64_t activity = 0;
    // The player's last input came from a pad, not the keyboard or the mouse:
    // a dialog opening now is worked with the pad (DialogRuntime::padFocus).
    bool padInput = false;
};

WinState& State();
// The installed window back-end (platform/core/backends.h), or one that makes
// no windows when none is installed.
WinBackend& Backend();
// Drops every window, timer and queued message without messages, as when the
// window back-end changes.
void DropWindowState();

WindowObject* WindowOf(HWND window);
MenuObject* MenuOf(HMENU menu);
// The top-level window a window or dialog belongs to.
WindowObject* RootOf(WindowObject* window);

// The core retrieval: after the backend's events are pumped, takes (or only
// looks at) the next message: posted ones first, then quit, then WM_PAINT, then
// timers. Returns false when there is none.
bool NextMessage(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove);
// Milliseconds until the next timer expiry (0 if one is due), kWaitForever without timers.
DWORD TimeToNextTimer();
// Posts without counting as user input.
void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends WM_SIZE when it differs from the last one sent.
void SendSizeMessage(WindowObject& window, WPARAM type, int width, int height);
// Client size of a top-level window from the drawable size of its backend window.
void SetClientFromDrawable(WindowObject& window, int drawableWidth, int drawableHeight);

// Messages the drawing side posts to a dialog for what the player did; the
// dialog's loop turns them into the control's behaviour and WM_COMMAND or
// WM_HSCROLL, outside the frame that saw the input.
constexpr UINT kUiClick = 0xBF00;      // wParam: control index
// wParam: control index; lParam: MAKELONG(position, notification), the
// notification TB_THUMBTRACK (to the position) or TB_PAGEUP or TB_PAGEDOWN.
constexpr UINT kUiTrackbar = 0xBF01;
constexpr UINT kUiKey = 0xBF02;  // wParam: the virtual key pressed: Esc, Enter, or one that moves a trackbar
constexpr UINT kUiCloseBox = 0xBF03;
constexpr UINT kUiTrackbarPress = 0xBF04;    // wParam: control index; the mouse button went down on it
constexpr UINT kUiTrackbarRelease = 0xBF05;  // wParam: control index; the mouse button was let go
constexpr UINT kUiKeyUp = 0xBF06;            // wParam: the virtual key let go
constexpr UINT kUiCharRefused = 0xBF07;      // wParam: control index of an edit field that refused a character
constexpr UINT kUiPad = 0xBF08;              // wParam: the PadNav of a pad's input

// The pads feed the keyboard state that was just read (platform/core/gamepad.cpp).
void MergeGamepadKeys(BYTE keys[256]);

// Dialog side (platform/dialog.cpp).
// Runs a message box as a modal dialog drawn in its owner's window.
int RunMessageBoxDialog(HWND owner, const std::string& text, const std::string& caption, UINT type);
// Control messages (WM_SETTEXT, TBM_*, BM_*) and dialog messages.
LRESULT ControlWindowProc(WindowObject& control, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DialogWindowProc(WindowObject& dialog, UINT message, WPARAM wParam, LPARAM lParam);
void DestroyDialogControls(DialogRuntime& dialog);
// One pass of a modal loop: dispatches one message for the dialog's loop.
// Returns false when the queue had nothing.
bool ModalDispatchOne(DialogRuntime& dialog);
// Handles a key meant for the dialog: Esc and Enter become commands; the
// arrows, Page Up, Page Down, Home and End move the trackbar that has the
// keyboard.
void DialogKey(DialogRuntime& dialog, UINT virtualKey);
// A key let go: the end of a trackbar's keyboard move (TB_ENDTRACK).
void DialogKeyUp(DialogRuntime& dialog, UINT virtualKey);
// Whether the key moves a trackbar of the dialog: one of the trackbar's keys,
// and a trackbar has the keyboard (the player clicked it last).
bool TrackbarTakesKey(const DialogRuntime& dialog, UINT virtualKey);
// A control was clicked by the player or a script: radio buttons check, then
// WM_COMMAND goes to the dialog.
void ClickControl(DialogRuntime& dialog, int controlIndex);
// The mouse button went down on a trackbar, thumb or channel: it takes the keyboard.
void PressTrackbar(DialogRuntime& dialog, int controlIndex);
// The player or a script moved a trackbar: the thumb dragged to `position`
// (TB_THUMBTRACK, sent only when the position changes), or by a line or a
// page, or to the top or the bottom; then WM_HSCROLL goes to the dialog.
void MoveTrackbar(DialogRuntime& dialog, int controlIndex, int position, WORD notification);
// The mouse button let go: TB_THUMBPOSITION after a drag, then TB_ENDTRACK.
void ReleaseTrackbar(DialogRuntime& dialog, int controlIndex);
// How far a page (Page Up, Page Down, a click on the channel) moves the thumb.
int TrackbarPageSize(const ControlRuntime& control);
// The dialog's close box.
void CloseBox(DialogRuntime& dialog);
// An edit field refused a character typed into it (EN_REFUSEDCHAR to the dialog).
void RefuseTypedCharacter(DialogRuntime& dialog, int controlIndex);
// A pad's navigation in the dialog (platform/port/gamepad.h): the focus
// moves to the nearest control in that direction, a trackbar with the focus
// moves left and right, A activates, B is Esc, and an edit field with the
// focus is a letter picker.
void DialogPadNav(DialogRuntime& dialog, PadNav nav);
// Whether a pad can give a control the focus: buttons, radio buttons, check
// boxes, trackbars and edit fields that can be typed into.
bool PadFocusable(const ControlRuntime& control);
// The command id Enter gives: the default push button's, else IDOK.
int DefaultCommandId(const DialogRuntime& dialog);
ControlRuntime* FindControl(DialogRuntime& dialog, int id);
