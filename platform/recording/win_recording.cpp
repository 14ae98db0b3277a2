#include "platform/recording/win_recording.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/core/backends.h"
#include "platform/core/win_core.h"
#include "platform/core/win_text.h"

class RecordingPlatform::Backend : public WinBackend {
public:
    explicit Backend(RecordingPlatform& p) : p_(p) {}

    DWORD Now() override { return p_.now_; }
    DWORD Elapsed() override { return p_.now_ - p_.start_; }
    void Sleep(DWORD milliseconds) override { p_.AdvanceTime(milliseconds); }

    bool AllowRegisterClass() override { return !p_.failures.registerClass; }

    bool CreateNativeWindow(WindowObject& w) override {
        if (p_.failures.createWindow) return false;
        SetClientFromDrawable(w, w.outerWidth, w.outerHeight);
        return true;
    }
    void ShowNativeWindow(WindowObject&, int) override {}

    bool SetFullScreen(WindowObject& w, bool on) override {
        if (p_.failures.fullScreen) return false;
        if (on) {
            p_.windowedSizes_[&w] = {w.clientWidth, w.clientHeight + (w.menu ? RecordingPlatform::kMenuBarHeight : 0)};
            SetClientFromDrawable(w, p_.screenWidth_, p_.screenHeight_);
        } else {
            auto it = p_.windowedSizes_.find(&w);
            if (it != p_.windowedSizes_.end()) {
                SetClientFromDrawable(w, it->second.first, it->second.second);
                p_.windowedSizes_.erase(it);
            }
        }
        if (w.visible && !w.minimized) {
            SendSizeMessage(w, w.maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, w.clientWidth, w.clientHeight);
            w.needsPaint = true;
        }
        return true;
    }
    void DestroyNativeWindow(WindowObject& w) override { p_.windowedSizes_.erase(&w); }
    int MenuBarHeight() override { return RecordingPlatform::kMenuBarHeight; }
    bool OpenMenuBar(WindowObject&) override {
        ++p_.menuBarOpenings_;
        return true;
    }

    void PumpEvents() override {}

    void Idle(DWORD timeout) override {
        ++p_.idleCalls_;
        WinState& state = State();
        std::uint64_t before = state.activity;
        if (!state.modalStack.empty()) {
            DialogRuntime& top = *state.modalStack.back();
            DialogHandler* handler = nullptr;
            if (top.isMessageBox) {
                if (p_.messageBoxHandler_) handler = &p_.messageBoxHandler_;
            } else {
                auto it = p_.dialogHandlers_.find(top.tmpl.id);
                if (it != p_.dialogHandlers_.end() && it->second) handler = &it->second;
            }
            if (handler) {
                int& calls = p_.handlerCalls_[&top];
                DialogDriver driver(p_, top, calls);
                ++calls;
                (*handler)(driver);
            } else {
                // Unscripted dialogs are answered with OK.
                ControlRuntime* ok = FindControl(top, IDOK);
                SendMessageA(top.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(ok ? ok->window : nullptr));
                if (!top.ended) {
                    std::fprintf(stderr, "RecordingPlatform: dialog %d has no script and does not close on OK\n",
                                 top.tmpl.id);
                    std::abort();
                }
            }
        } else if (p_.idle_) {
            p_.idle_();
        }
        if (state.activity != before) return;
        // The script moved nothing: time goes on to the next timer expiry.
        if (timeout == kWaitForever) {
            std::fprintf(stderr,
                         "RecordingPlatform: the message loop waits, but there is no timer and the script "
                         "does nothing\n");
            std::abort();
        }
        p_.AdvanceTime(std::max<DWORD>(timeout, 1));
    }

    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        p_.messageBoxes_.push_back(RecordedMessageBox{owner, text, caption, type});
        if (p_.messageBoxHandler_) RunMessageBoxDialog(owner, text, caption, type);
        return IDOK;
    }

    bool OpenWithShell(const std::string& file) override {
        if (p_.failures.openWithShell) return false;
        p_.opened_.push_back(file);
        return true;
    }

    HRESULT KeyboardStepResult(KeyboardStep step) override {
        const Failures& f = p_.failures;
        bool fail = false;
        switch (step) {
            case KeyboardStep::Create:
                fail = f.directInputCreate;
                break;
            case KeyboardStep::CreateDevice:
                fail = f.createDevice;
                break;
            case KeyboardStep::SetDataFormat:
                fail = f.setDataFormat;
                break;
            case KeyboardStep::SetCooperativeLevel:
                fail = f.setCooperativeLevel;
                break;
            case KeyboardStep::Acquire:
                ++p_.acquireCalls_;
                fail = f.acquire;
                break;
        }
        return fail ? DIERR_GENERIC : S_OK;
    }

    void KeyboardSnapshot(BYTE keys[256]) override { std::memcpy(keys, p_.keys_, 256); }

    HRESULT ReadKeyboard(BYTE keys[256]) override {
        ++p_.keyboardReads_;
        switch (p_.failures.read) {
            case ReadFailure::InputLostOnce:
                p_.failures.read = ReadFailure::None;
                return DIERR_INPUTLOST;
            case ReadFailure::InputLostAlways:
                return DIERR_INPUTLOST;
            case ReadFailure::OtherError:
                return DIERR_INVALIDPARAM;
            case ReadFailure::None:
                break;
        }
        KeyboardSnapshot(keys);
        return S_OK;
    }

    void DialogStarted(DialogRuntime& d) override {
        if (d.isMessageBox) return;
        p_.dialogRecord_[&d] = p_.dialogs_.size();
        p_.dialogs_.push_back(RecordedDialog{d.tmpl.id, false, 0});
    }

    void DialogEnded(DialogRuntime& d) override {
        p_.handlerCalls_.erase(&d);
        auto it = p_.dialogRecord_.find(&d);
        if (it == p_.dialogRecord_.end()) return;
        p_.dialogs_[it->second].closed = true;
        p_.dialogs_[it->second].result = d.result;
        p_.dialogRecord_.erase(it);
    }

private:
    RecordingPlatform& p_;
};

// ---------------------------------------------------------------------------

RecordingPlatform::RecordingPlatform() : backend_(std::make_unique<Backend>(*this)) {}

RecordingPlatform::~RecordingPlatform() {
    // Nothing may call into a window back-end that is gone.
    if (InstalledBackends().window == backend_.get()) {
        Backends rest = InstalledBackends();
        rest.window = nullptr;
        InstallBackends(rest);
    }
}

WinBackend& RecordingPlatform::WindowBackend() { return *backend_; }

DWORD RecordingPlatform::Now() const { return now_; }

void RecordingPlatform::SetTime(DWORD milliseconds) {
    now_ = milliseconds;
    ++State().activity;
}

void RecordingPlatform::AdvanceTime(DWORD milliseconds) {
    now_ += milliseconds;
    ++State().activity;
}

void RecordingPlatform::SetKeyDown(BYTE dik, bool down) {
    keys_[dik] = down ? 0x80 : 0x00;
    ++State().activity;
}

void RecordingPlatform::ReleaseAllKeys() {
    std::memset(keys_, 0, sizeof keys_);
    ++State().activity;
}

bool RecordingPlatform::IsKeyDown(BYTE dik) const { return (keys_[dik] & 0x80) != 0; }

HWND RecordingPlatform::MainWindow() const {
    for (auto& w : State().windows)
        if (w->kind == WindowObject::Kind::TopLevel && !w->destroying) return w.get();
    return nullptr;
}

void RecordingPlatform::QueueKey(UINT virtualKey, bool alt) {
    WinState& state = State();
    state.padInput = false;  // the keyboard, not a pad
    HWND target = state.modalStack.empty() ? MainWindow() : state.modalStack.back()->window;
    PostToQueue(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, alt ? 1 | (1L << 29) : 1);
}

void RecordingPlatform::SetScreenSize(int width, int height) {
    screenWidth_ = width;
    screenHeight_ = height;
}

void RecordingPlatform::CloseBox(HWND window) {
    WindowObject* w = WindowOf(window ? window : MainWindow());
    // The close box of a window under a modal dialog does nothing.
    if (w && w->disabledCount == 0) PostToQueue(w, WM_CLOSE, 0, 0);
}

void RecordingPlatform::Minimize(HWND window) {
    WindowObject* w = WindowOf(window ? window : MainWindow());
    if (!w || !w->visible) return;
    w->minimized = true;
    SendSizeMessage(*w, SIZE_MINIMIZED, 0, 0);
}

void RecordingPlatform::SetActive(bool active, HWND window) {
    WindowObject* w = WindowOf(window ? window : MainWindow());
    if (w && w->visible) PostToQueue(w, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

void RecordingPlatform::Restore(HWND window) {
    WindowObject* w = WindowOf(window ? window : MainWindow());
    if (!w || !w->visible) return;
    w->minimized = false;
    w->maximized = false;
    SendSizeMessage(*w, SIZE_RESTORED, w->clientWidth, w->clientHeight);
    w->needsPaint = true;
    ++State().activity;
}

void RecordingPlatform::Resize(int width, int height, HWND window) {
    WindowObject* w = WindowOf(window ? window : MainWindow());
    if (!w) return;
    SetClientFromDrawable(*w, width, height);
    if (!w->visible || w->minimized) return;
    SendSizeMessage(*w, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, w->clientWidth, w->clientHeight);
    w->needsPaint = true;
    ++State().activity;
}

void RecordingPlatform::Expose(HWND window) {
    WindowObject* w = WindowOf(window ? window : MainWindow());
    if (!w || !w->visible) return;
    w->needsPaint = true;
    ++State().activity;
}

void RecordingPlatform::OnIdle(IdleHandler handler) { idle_ = std::move(handler); }
void RecordingPlatform::OnDialog(int id, DialogHandler handler) { dialogHandlers_[id] = std::move(handler); }
void RecordingPlatform::OnMessageBox(DialogHandler handler) { messageBoxHandler_ = std::move(handler); }

// ---------------------------------------------------------------------------

ControlRuntime* DialogDriver::Control(int id) const { return FindControl(dialog_, id); }

int DialogDriver::Id() const { return dialog_.tmpl.id; }
HWND DialogDriver::Window() const { return dialog_.window; }
std::string DialogDriver::Caption() const { return dialog_.tmpl.caption; }

std::string DialogDriver::ItemText(int id) const {
    ControlRuntime* c = Control(id);
    return c ? c->text : std::string();
}

void DialogDriver::TypeText(int id, const std::string& text) {
    ControlRuntime* c = Control(id);
    if (!c || c->kind != ControlRuntime::Kind::Edit || c->readOnly || dialog_.ended) return;
    c->text = text;
    ++State().activity;
}

void DialogDriver::TypeUtf8(int id, const std::string& text) {
    ControlRuntime* c = Control(id);
    if (!c || c->kind != ControlRuntime::Kind::Edit || c->readOnly || dialog_.ended) return;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view character = std::string_view(text).substr(at, length);
        at += length;
        if (lead < 0x20) continue;  // control characters type nothing
        const std::string byte = Windows1252FromUtf8(character);
        if (byte == "?" && character != "?") {
            RefuseTypedCharacter(dialog_, IndexOf(id));
        } else {
            c->text += byte;
        }
    }
    ++State().activity;
}

int DialogDriver::TrackbarPosition(int id) const {
    ControlRuntime* c = Control(id);
    return c ? c->position : 0;
}

int DialogDriver::TrackbarMin(int id) const {
    ControlRuntime* c = Control(id);
    return c ? c->rangeMin : 0;
}

int DialogDriver::TrackbarMax(int id) const {
    ControlRuntime* c = Control(id);
    return c ? c->rangeMax : 0;
}

int DialogDriver::IndexOf(int id) const {
    for (size_t i = 0; i < dialog_.controls.size(); ++i)
        if (dialog_.controls[i].item.id == id) return static_cast<int>(i);
    return -1;
}

void DialogDriver::PressTrackbar(int id) { ::PressTrackbar(dialog_, IndexOf(id)); }

void DialogDriver::DragThumbTo(int id, int position) { MoveTrackbar(dialog_, IndexOf(id), position, TB_THUMBTRACK); }

void DialogDriver::ReleaseTrackbar(int id) { ::ReleaseTrackbar(dialog_, IndexOf(id)); }

void DialogDriver::DragTrackbar(int id, int position) {
    PressTrackbar(id);
    DragThumbTo(id, position);
    ReleaseTrackbar(id);
}

void DialogDriver::ClickTrackbarChannel(int id, WORD page) {
    PressTrackbar(id);
    if (page == TB_PAGEUP || page == TB_PAGEDOWN) MoveTrackbar(dialog_, IndexOf(id), 0, page);
    ReleaseTrackbar(id);
}

bool DialogDriver::IsChecked(int id) const {
    ControlRuntime* c = Control(id);
    return c && c->checked;
}

bool DialogDriver::HasItem(int id) const { return Control(id) != nullptr; }

void DialogDriver::Click(int id) {
    for (size_t i = 0; i < dialog_.controls.size(); ++i) {
        if (dialog_.controls[i].item.id == id) {
            ClickControl(dialog_, static_cast<int>(i));
            return;
        }
    }
}

void DialogDriver::PressKey(UINT virtualKey) {
    DialogKey(dialog_, virtualKey);
    DialogKeyUp(dialog_, virtualKey);
}

void DialogDriver::CloseBox() { ::CloseBox(dialog_); }

bool DialogDriver::Closed() const { return dialog_.ended; }

int DialogDriver::PadFocusId() const {
    if (!dialog_.padFocus || dialog_.focusControl < 0 ||
        static_cast<std::size_t>(dialog_.focusControl) >= dialog_.controls.size())
        return 0;
    return dialog_.controls[dialog_.focusControl].item.id;
}
INT_PTR DialogDriver::Result() const { return dialog_.result; }

void DialogDriver::RunFor(DWORD milliseconds) {
    DWORD left = milliseconds;
    for (;;) {
        while (!dialog_.ended && ModalDispatchOne(dialog_)) {
        }
        if (dialog_.ended || left == 0) return;
        DWORD step = std::clamp<DWORD>(TimeToNextTimer(), 1, left);
        platform_.AdvanceTime(step);
        left -= step;
    }
}
