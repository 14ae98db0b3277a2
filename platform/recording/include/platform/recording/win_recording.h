// The recording backend of the Win32-style layer, for whole-game tests: no
// window system, a virtual clock that the test advances, keys the test holds
// down or queues, message boxes recorded and answered with OK, dialogs
// answered by the test, and switches that make the start-up calls fail.
//
// A test makes one RecordingPlatform and installs its window back-end (the
// tests' fixture does); while it is installed, every call of platform/win.h,
// platform/dinput.h and platform/clock.h goes to it. When a
// message loop (the game's, a dialog's or a message box's) has nothing to do,
// the platform calls the test's script: the idle handler outside dialogs, the
// handler of the dialog on top inside one. A script that does nothing lets the
// virtual clock run on to the next timer expiry, so the game keeps ticking.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/dinput.h"
#include "platform/win.h"

class RecordingPlatform;
class WinBackend;
struct DialogRuntime;
struct ControlRuntime;

// What a test can do with an open dialog, as the player would.
class DialogDriver {
public:
    DialogDriver(RecordingPlatform& platform, DialogRuntime& dialog, int calls)
        : platform_(platform), dialog_(dialog), calls_(calls) {}

    int Id() const;  // the template id; 0 for a message box
    HWND Window() const;
    std::string Caption() const;
    // How many times the handler ran for this dialog before, 0 on the first call.
    int Calls() const { return calls_; }

    std::string ItemText(int id) const;
    // Replaces the text of an edit field as typing would.
    void TypeText(int id, const std::string& text);
    // Types UTF-8 text at the end of an edit field, character by character,
    // as the window system hands typed text over: a character the field's
    // code page cannot hold is refused, and the dialog told.
    void TypeUtf8(int id, const std::string& text);
    int TrackbarPosition(int id) const;
    int TrackbarMin(int id) const;
    int TrackbarMax(int id) const;
    // The mouse on a trackbar, step by step: the button goes down on it (it
    // takes the keyboard), the thumb is dragged to a position (TB_THUMBTRACK
    // when the position changes), the button is let go (TB_THUMBPOSITION
    // after a drag, then TB_ENDTRACK).
    void PressTrackbar(int id);
    void DragThumbTo(int id, int position);
    void ReleaseTrackbar(int id);
    // All three: the thumb taken, dragged to `position` and let go.
    void DragTrackbar(int id, int position);
    // A click on the channel beside the thumb: TB_PAGEUP (left of it) or
    // TB_PAGEDOWN (right of it), then TB_ENDTRACK.
    void ClickTrackbarChannel(int id, WORD page);
    bool IsChecked(int id) const;
    bool HasItem(int id) const;
    // A click on a push button, radio button or check box.
    void Click(int id);
    // A key pressed and let go: Esc, Enter, or a key that moves the trackbar
    // that has the keyboard.
    void PressKey(UINT virtualKey);
    // The caption's close box; nothing without a system menu.
    void CloseBox();

    bool Closed() const;
    // The control a pad has given the focus (framed on screen), 0 while no
    // pad works the dialog.
    int PadFocusId() const;
    INT_PTR Result() const;

    // Lets `milliseconds` of virtual time pass with the dialog open; the due
    // timer and paint messages are dispatched as the dialog's loop would.
    // Returns early when the dialog closes.
    void RunFor(DWORD milliseconds);

    RecordingPlatform& Platform() { return platform_; }

private:
    ControlRuntime* Control(int id) const;
    int IndexOf(int id) const;  // -1 if the dialog has no such control

    RecordingPlatform& platform_;
    DialogRuntime& dialog_;
    int calls_;
};

struct RecordedMessageBox {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
};

struct RecordedDialog {
    int id = 0;
    bool closed = false;
    INT_PTR result = 0;
};

class RecordingPlatform {
public:
    RecordingPlatform();
    ~RecordingPlatform();
    RecordingPlatform(const RecordingPlatform&) = delete;
    RecordingPlatform& operator=(const RecordingPlatform&) = delete;

    // The window back-end of this platform, for the window slot of
    // platform/core/backends.h. Installed by the tests' fixture.
    WinBackend& WindowBackend();

    // The virtual clock in milliseconds; timeGetTime reads it.
    DWORD Now() const;
    void SetTime(DWORD milliseconds);
    void AdvanceTime(DWORD milliseconds);

    // Keys held down, by DIK_ code, as DirectInput and the accelerators see them.
    void SetKeyDown(BYTE dik, bool down = true);
    void ReleaseAllKeys();
    bool IsKeyDown(BYTE dik) const;
    // Queues WM_KEYDOWN with a virtual key for the window that has the
    // keyboard: the dialog on top, else the main window; with Alt held, the
    // WM_SYSKEYDOWN the window system sends then.
    void QueueKey(UINT virtualKey, bool alt = false);

    // The window system acting on a top-level window (by default the first one alive).
    HWND MainWindow() const;
    void CloseBox(HWND window = nullptr);
    void Minimize(HWND window = nullptr);
    // Another program takes the focus (false), or gives it back (true).
    void SetActive(bool active, HWND window = nullptr);
    void Restore(HWND window = nullptr);
    // The window's drawable area changes to width x height.
    void Resize(int width, int height, HWND window = nullptr);
    // The screen a window in full screen covers (1920 x 1080 unless set).
    void SetScreenSize(int width, int height);
    void Expose(HWND window = nullptr);

    // The test's script.
    using IdleHandler = std::function<void()>;
    using DialogHandler = std::function<void(DialogDriver&)>;
    void OnIdle(IdleHandler handler);
    // A dialog without a handler is answered at once with IDOK.
    void OnDialog(int id, DialogHandler handler);
    // With a handler, message boxes run as modal dialogs (ticks go on) until
    // the handler presses OK; without one they are answered at once.
    void OnMessageBox(DialogHandler handler);

    const std::vector<RecordedMessageBox>& MessageBoxes() const { return messageBoxes_; }
    const std::vector<RecordedDialog>& Dialogs() const { return dialogs_; }
    // What was handed to the desktop's opener and opened.
    const std::vector<std::string>& OpenedWithShell() const { return opened_; }

    enum class ReadFailure { None, InputLostOnce, InputLostAlways, OtherError };
    struct Failures {
        bool registerClass = false;
        bool createWindow = false;
        bool directInputCreate = false;
        bool createDevice = false;
        bool setDataFormat = false;
        bool setCooperativeLevel = false;
        bool acquire = false;
        ReadFailure read = ReadFailure::None;
        bool fullScreen = false;  // the window system refuses full screen
        bool openWithShell = false;  // the desktop has no opener, or it fails
    };
    Failures failures;

    int AcquireCalls() const { return acquireCalls_; }
    // How often the menu bar was opened for the keys (OpenMenuBarForKeys);
    // the recording windows draw no menu bar, so it opens nothing.
    int MenuBarOpenings() const { return menuBarOpenings_; }
    int KeyboardReads() const { return keyboardReads_; }
    size_t IdleCalls() const { return idleCalls_; }

    // Height of the menu bar the recording windows count off their client area.
    static constexpr int kMenuBarHeight = 19;

private:
    class Backend;
    friend class Backend;
    friend class DialogDriver;

    std::unique_ptr<Backend> backend_;
    DWORD now_ = 0;
    DWORD start_ = 0;
    int screenWidth_ = 1920, screenHeight_ = 1080;
    // The drawable size of each window in full screen before it went there.
    std::map<const void*, std::pair<int, int>> windowedSizes_;
    BYTE keys_[256] = {};
    IdleHandler idle_;
    std::map<int, DialogHandler> dialogHandlers_;
    DialogHandler messageBoxHandler_;
    std::unordered_map<const DialogRuntime*, int> handlerCalls_;
    std::unordered_map<const DialogRuntime*, size_t> dialogRecord_;
    std::vector<RecordedMessageBox> messageBoxes_;
    std::vector<RecordedDialog> dialogs_;
    std::vector<std::string> opened_;
    int acquireCalls_ = 0;
    int menuBarOpenings_ = 0;
    int keyboardReads_ = 0;
    size_t idleCalls_ = 0;
};
