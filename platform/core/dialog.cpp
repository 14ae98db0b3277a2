// Modal dialogs from templates: the nested message loop, the controls' state
// and the messages between the controls and the dialog procedure. Drawing is
// the backend's business (platform/dialog_imgui.cpp for the SDL one).
#include <algorithm>
#include <cstring>
#include <string_view>
#include <strings.h>

#include "platform/core/win_core.h"
#include "platform/port/edit_refusal.h"

namespace {

ControlRuntime::Kind KindOf(const DialogItemTemplate& item) {
    const char* cls = item.className.c_str();
    if (strcasecmp(cls, "button") == 0) {
        switch (item.style & BS_TYPEMASK) {
            case BS_PUSHBUTTON:
                return ControlRuntime::Kind::PushButton;
            case BS_DEFPUSHBUTTON:
                return ControlRuntime::Kind::DefaultPushButton;
            case BS_GROUPBOX:
                return ControlRuntime::Kind::GroupBox;
            case BS_AUTORADIOBUTTON:
            case BS_RADIOBUTTON:
                return ControlRuntime::Kind::RadioButton;
            case BS_AUTOCHECKBOX:
            case BS_CHECKBOX:
                return ControlRuntime::Kind::CheckBox;
            default:
                return ControlRuntime::Kind::Other;
        }
    }
    if (strcasecmp(cls, "static") == 0) return ControlRuntime::Kind::Static;
    if (strcasecmp(cls, "edit") == 0) return ControlRuntime::Kind::Edit;
    if (strcasecmp(cls, "msctls_trackbar32") == 0) return ControlRuntime::Kind::Trackbar;
    return ControlRuntime::Kind::Other;
}

DialogRuntime* DialogOf(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->kind == WindowObject::Kind::Dialog ? w->dialog : nullptr;
}

ControlRuntime* ControlOf(WindowObject& control) {
    DialogRuntime* d = control.dialog;
    if (!d || control.controlIndex < 0 || static_cast<size_t>(control.controlIndex) >= d->controls.size())
        return nullptr;
    return &d->controls[control.controlIndex];
}

// The group of auto radio buttons a control belongs to: from the nearest
// control at or before it that starts a group, up to the next group start.
std::pair<size_t, size_t> GroupOf(const DialogRuntime& d, size_t index) {
    size_t first = index;
    while (first > 0 && !d.controls[first].groupStart) --first;
    size_t last = index + 1;
    while (last < d.controls.size() && !d.controls[last].groupStart) ++last;
    return {first, last};
}

// A trackbar of a running dialog, by control index.
ControlRuntime* TrackbarAt(DialogRuntime& d, int index) {
    if (d.ended || index < 0 || static_cast<size_t>(index) >= d.controls.size()) return nullptr;
    ControlRuntime& c = d.controls[index];
    return c.kind == ControlRuntime::Kind::Trackbar ? &c : nullptr;
}

// The trackbar's keys: the arrows move a line, Page Up and Page Down a page,
// Home and End to the ends.
constexpr int kTrackbarLineSize = 1;
constexpr WORD kNotTrackbarKey = 0xFFFF;

WORD TrackbarKeyNotification(UINT virtualKey) {
    switch (virtualKey) {
        case VK_LEFT:
        case VK_UP:
            return TB_LINEUP;
        case VK_RIGHT:
        case VK_DOWN:
            return TB_LINEDOWN;
        case VK_PRIOR:
            return TB_PAGEUP;
        case VK_NEXT:
            return TB_PAGEDOWN;
        case VK_HOME:
            return TB_TOP;
        case VK_END:
            return TB_BOTTOM;
        default:
            return kNotTrackbarKey;
    }
}

INT_PTR MessageBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    return FALSE;
}

void StartLetterPicker(ControlRuntime& c);
int FirstPadFocus(const DialogRuntime& d);

INT_PTR RunModal(const DialogTemplate& tmpl, HWND owner, DLGPROC proc, LPARAM initParam, bool messageBox,
                 UINT messageBoxType) {
    WinState& state = State();
    WindowObject* ownerWindow = WindowOf(owner);

    auto runtime = std::make_unique<DialogRuntime>();
    DialogRuntime& d = *runtime;
    d.tmpl = tmpl;
    d.proc = proc;
    d.isMessageBox = messageBox;
    d.messageBoxType = messageBoxType;
    static std::uint64_t serials = 0;
    d.serial = ++serials;

    state.windows.push_back(std::make_unique<WindowObject>());
    WindowObject* dw = state.windows.back().get();
    state.liveWindows.insert(dw);
    dw->kind = WindowObject::Kind::Dialog;
    dw->className = "#32770";
    dw->text = tmpl.caption;
    dw->style = tmpl.style;
    dw->owner = ownerWindow;
    dw->dialog = &d;
    dw->visible = true;
    d.window = dw;
    d.owner = ownerWindow;
    WindowObject* root = RootOf(ownerWindow);
    d.root = root;

    d.controls.resize(tmpl.items.size());
    for (size_t i = 0; i < tmpl.items.size(); ++i) {
        ControlRuntime& c = d.controls[i];
        c.item = tmpl.items[i];
        c.text = c.item.text;
        c.kind = KindOf(c.item);
        c.readOnly = (c.item.style & ES_READONLY) != 0;
        c.groupStart = (c.item.style & WS_GROUP) != 0;
        state.windows.push_back(std::make_unique<WindowObject>());
        WindowObject* cw = state.windows.back().get();
        state.liveWindows.insert(cw);
        cw->kind = WindowObject::Kind::Control;
        cw->className = c.item.className;
        cw->style = c.item.style;
        cw->owner = dw;
        cw->dialog = &d;
        cw->controlIndex = static_cast<int>(i);
        cw->visible = (c.item.style & WS_VISIBLE) != 0;
        c.window = cw;
    }

    if (ownerWindow) ++ownerWindow->disabledCount;
    d.padFocus = state.padInput;
    state.modalStack.push_back(&d);
    ++state.activity;
    Backend().DialogStarted(d);

    HWND firstTabStop = nullptr;
    for (const ControlRuntime& c : d.controls)
        if ((c.item.style & WS_TABSTOP) && !firstTabStop) firstTabStop = c.window;
    INT_PTR initResult = proc(dw, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), initParam);
    if (initResult) {
        for (size_t i = 0; i < d.controls.size(); ++i) {
            if (d.controls[i].kind == ControlRuntime::Kind::Edit) {
                d.focusControl = static_cast<int>(i);
                break;
            }
        }
    }
    // Reached by a pad: the focus is where the pad can work it, and a field
    // to type into is a letter picker at once.
    if (d.padFocus) {
        d.focusControl = FirstPadFocus(d);
        if (d.focusControl >= 0 && d.controls[d.focusControl].kind == ControlRuntime::Kind::Edit)
            StartLetterPicker(d.controls[d.focusControl]);
    }

    bool fellBack = false;
    while (!d.ended) {
        if (ModalDispatchOne(d)) continue;
        if (d.ended) break;
        if (d.isMessageBox && Backend().ModalLoopStalled(d)) {
            fellBack = true;
            break;
        }
        Backend().Idle(TimeToNextTimer());
    }
    INT_PTR result = d.result;

    Backend().DialogEnded(d);
    auto& stack = state.modalStack;
    stack.erase(std::remove(stack.begin(), stack.end(), &d), stack.end());
    if (WindowOf(ownerWindow) && ownerWindow->disabledCount > 0) --ownerWindow->disabledCount;
    DestroyDialogControls(d);
    ++state.activity;

    if (fellBack) {
        const std::string text = tmpl.items.empty() ? std::string() : tmpl.items[0].text;
        return Backend().ShowMessageBox(owner, text, tmpl.caption, messageBoxType);
    }
    return result;
}

}  // namespace

void DestroyDialogControls(DialogRuntime& d) {
    WinState& state = State();
    std::vector<const WindowObject*> gone;
    for (const ControlRuntime& c : d.controls) gone.push_back(c.window);
    gone.push_back(d.window);
    for (const WindowObject* w : gone) state.liveWindows.erase(w);
    auto& queue = state.queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const MSG& m) {
                                   return std::find(gone.begin(), gone.end(), m.hwnd) != gone.end();
                               }),
                queue.end());
    // A dialog's timers go with it, as a window's do.
    auto& timers = state.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer& t) {
                                    return std::find(gone.begin(), gone.end(), t.window) != gone.end();
                                }),
                 timers.end());
    auto& windows = state.windows;
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [&](const auto& p) {
                                     return std::find(gone.begin(), gone.end(), p.get()) != gone.end();
                                 }),
                  windows.end());
}

bool ModalDispatchOne(DialogRuntime& d) {
    Backend().PumpEvents();
    MSG msg;
    if (!NextMessage(&msg, nullptr, 0, 0, true)) return false;
    switch (msg.message) {
        case WM_QUIT:
            // The quit message ends the dialog and stays for the loop outside.
            PostQuitMessage(static_cast<int>(msg.wParam));
            d.ended = true;
            d.result = 0;
            return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // The keyboard is with the dialog that is on top: only its keys count.
            if (!State().modalStack.empty()) DialogKey(*State().modalStack.back(), static_cast<UINT>(msg.wParam));
            return true;
        case WM_KEYUP:
            if (!State().modalStack.empty()) DialogKeyUp(*State().modalStack.back(), static_cast<UINT>(msg.wParam));
            return true;
        case WM_CHAR:
            return true;
        default:
            DispatchMessageA(&msg);
            return true;
    }
}

int DefaultCommandId(const DialogRuntime& d) {
    for (const ControlRuntime& c : d.controls)
        if (c.kind == ControlRuntime::Kind::DefaultPushButton) return c.item.id;
    return IDOK;
}

ControlRuntime* FindControl(DialogRuntime& d, int id) {
    for (ControlRuntime& c : d.controls)
        if (c.item.id == id) return &c;
    return nullptr;
}

void DialogKey(DialogRuntime& d, UINT virtualKey) {
    if (d.ended) return;
    if (TrackbarTakesKey(d, virtualKey)) {
        MoveTrackbar(d, d.focusControl, 0, TrackbarKeyNotification(virtualKey));
        return;
    }
    int id = 0;
    if (virtualKey == VK_ESCAPE)
        id = IDCANCEL;
    else if (virtualKey == VK_RETURN)
        id = DefaultCommandId(d);
    else
        return;
    ControlRuntime* c = FindControl(d, id);
    SendMessageA(d.window, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(c ? c->window : nullptr));
}

void DialogKeyUp(DialogRuntime& d, UINT virtualKey) {
    if (d.ended || !TrackbarTakesKey(d, virtualKey)) return;
    MoveTrackbar(d, d.focusControl, 0, TB_ENDTRACK);
}

bool TrackbarTakesKey(const DialogRuntime& d, UINT virtualKey) {
    if (TrackbarKeyNotification(virtualKey) == kNotTrackbarKey) return false;
    if (d.focusControl < 0 || static_cast<size_t>(d.focusControl) >= d.controls.size()) return false;
    return d.controls[d.focusControl].kind == ControlRuntime::Kind::Trackbar;
}

void ClickControl(DialogRuntime& d, int index) {
    if (d.ended || index < 0 || static_cast<size_t>(index) >= d.controls.size()) return;
    ControlRuntime& c = d.controls[index];
    switch (c.kind) {
        case ControlRuntime::Kind::RadioButton:
            if ((c.item.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
                auto [first, last] = GroupOf(d, static_cast<size_t>(index));
                for (size_t i = first; i < last; ++i)
                    if (d.controls[i].kind == ControlRuntime::Kind::RadioButton) d.controls[i].checked = false;
                c.checked = true;
            }
            break;
        case ControlRuntime::Kind::CheckBox:
            if ((c.item.style & BS_TYPEMASK) == BS_AUTOCHECKBOX) c.checked = !c.checked;
            break;
        case ControlRuntime::Kind::PushButton:
        case ControlRuntime::Kind::DefaultPushButton:
            break;
        default:
            return;
    }
    // A clicked button takes the keyboard from a trackbar that had it.
    d.focusControl = index;
    SendMessageA(d.window, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(c.item.id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(c.window));
}

int TrackbarPageSize(const ControlRuntime& c) { return std::max(1, (c.rangeMax - c.rangeMin) / 5); }

void PressTrackbar(DialogRuntime& d, int index) {
    ControlRuntime* c = TrackbarAt(d, index);
    if (!c) return;
    d.focusControl = index;
    c->thumbMoved = false;
}

void MoveTrackbar(DialogRuntime& d, int index, int position, WORD notification) {
    ControlRuntime* c = TrackbarAt(d, index);
    if (!c) return;
    int target = c->position;
    switch (notification) {
        case TB_THUMBTRACK:
        case TB_THUMBPOSITION:
            target = position;
            break;
        case TB_LINEUP:
            target -= kTrackbarLineSize;
            break;
        case TB_LINEDOWN:
            target += kTrackbarLineSize;
            break;
        case TB_PAGEUP:
            target -= TrackbarPageSize(*c);
            break;
        case TB_PAGEDOWN:
            target += TrackbarPageSize(*c);
            break;
        case TB_TOP:
            target = c->rangeMin;
            break;
        case TB_BOTTOM:
            target = c->rangeMax;
            break;
        case TB_ENDTRACK:
            break;
        default:
            return;
    }
    target = std::clamp(target, c->rangeMin, c->rangeMax);
    if (notification == TB_THUMBTRACK) {
        // Moves of the pointer within one position are no drag of the thumb.
        if (target == c->position) return;
        c->thumbMoved = true;
    }
    c->position = target;
    // Only the thumb's notifications carry the position; the others leave it to TBM_GETPOS.
    bool carries = notification == TB_THUMBTRACK || notification == TB_THUMBPOSITION;
    SendMessageA(d.window, WM_HSCROLL, MAKEWPARAM(notification, carries ? static_cast<unsigned>(target) : 0u),
                 reinterpret_cast<LPARAM>(c->window));
}

void ReleaseTrackbar(DialogRuntime& d, int index) {
    ControlRuntime* c = TrackbarAt(d, index);
    if (!c) return;
    if (c->thumbMoved) {
        c->thumbMoved = false;
        MoveTrackbar(d, index, c->position, TB_THUMBPOSITION);
    }
    MoveTrackbar(d, index, 0, TB_ENDTRACK);
}

bool PadFocusable(const ControlRuntime& c) {
    if (!(c.item.style & WS_VISIBLE)) return false;
    switch (c.kind) {
        case ControlRuntime::Kind::PushButton:
        case ControlRuntime::Kind::DefaultPushButton:
        case ControlRuntime::Kind::RadioButton:
        case ControlRuntime::Kind::CheckBox:
        case ControlRuntime::Kind::Trackbar:
            return true;
        case ControlRuntime::Kind::Edit:
            return !c.readOnly;
        default:
            return false;
    }
}

namespace {

// Where a pad's focus goes first: the control that has the keyboard, else
// the default button (Enter's), else the first control it can have.
int FirstPadFocus(const DialogRuntime& d) {
    const int count = static_cast<int>(d.controls.size());
    if (d.focusControl >= 0 && d.focusControl < count && PadFocusable(d.controls[d.focusControl]))
        return d.focusControl;
    for (int i = 0; i < count; ++i)
        if (d.controls[i].kind == ControlRuntime::Kind::DefaultPushButton && PadFocusable(d.controls[i])) return i;
    for (int i = 0; i < count; ++i)
        if (PadFocusable(d.controls[i])) return i;
    return -1;
}

// The control the focus moves to from `from` in a direction: among those
// whose centre lies that way, the nearest of those in the same row (or
// column), else the nearest counting a step across twice; -1 when there is
// none. In dialog units.
int NextPadFocus(const DialogRuntime& d, int from, PadNav nav) {
    const bool vertical = nav == PadNav::Up || nav == PadNav::Down;
    const int sign = nav == PadNav::Up || nav == PadNav::Left ? -1 : 1;
    // A control's extent along the move and across it.
    auto along = [&](const DialogItemTemplate& item) {
        return vertical ? std::pair<long, long>(item.y, item.y + item.cy) : std::pair<long, long>(item.x, item.x + item.cx);
    };
    auto across = [&](const DialogItemTemplate& item) {
        return vertical ? std::pair<long, long>(item.x, item.x + item.cx) : std::pair<long, long>(item.y, item.y + item.cy);
    };
    const DialogItemTemplate& start = d.controls[from].item;
    const auto [a0, a1] = along(start);
    const auto [c0, c1] = across(start);
    int best = -1;
    long bestScore = 0;
    for (int i = 0; i < static_cast<int>(d.controls.size()); ++i) {
        if (i == from || !PadFocusable(d.controls[i])) continue;
        const DialogItemTemplate& item = d.controls[i].item;
        const auto [b0, b1] = along(item);
        const auto [e0, e1] = across(item);
        const long distance = sign * ((b0 + b1) - (a0 + a1));  // between the centres, doubled
        if (distance <= 0) continue;
        const long gap = std::max<long>(0, std::max(e0 - c1, c0 - e1));  // 0 in the same row
        const long score = (gap > 0 ? 1000000L : 0L) + distance + 4 * gap;
        if (best < 0 || score < bestScore) best = i, bestScore = score;
    }
    return best;
}

// The letters of a pad's letter picker, in the order up goes through them:
// what a name in the highscore table is mostly made of.
constexpr std::string_view kPickerLetters = " ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC4\xD6\xDC" "0123456789.-";
// The longest name the table keeps; no longer field is edited with a pad.
constexpr std::size_t kPickerLength = 38;

char PickerStep(char letter, int step) {
    const std::size_t at = kPickerLetters.find(letter);
    if (at == std::string_view::npos) return 'A';
    const int count = static_cast<int>(kPickerLetters.size());
    return kPickerLetters[static_cast<std::size_t>((static_cast<int>(at) + step + count) % count)];
}

// The picker starts on the last letter, or on an A in an empty field.
void StartLetterPicker(ControlRuntime& c) {
    if (c.pickerLetter >= 0) return;
    if (c.text.empty()) c.text = "A";
    c.pickerLetter = static_cast<int>(c.text.size()) - 1;
    ++State().activity;
}

void PickLetter(DialogRuntime& d, ControlRuntime& c, PadNav nav) {
    std::string& text = c.text;
    int& at = c.pickerLetter;
    if (at < 0) {
        StartLetterPicker(c);
        // A first move only shows the picker.
        if (nav != PadNav::Activate && nav != PadNav::Cancel) return;
    }
    at = std::clamp(at, 0, std::max(0, static_cast<int>(text.size()) - 1));
    switch (nav) {
        case PadNav::Up:
        case PadNav::Down:
            if (text.empty()) text = " ";
            text[static_cast<std::size_t>(at)] = PickerStep(text[static_cast<std::size_t>(at)], nav == PadNav::Up ? 1 : -1);
            break;
        case PadNav::Right:
            if (at + 1 < static_cast<int>(text.size())) {
                ++at;
            } else if (text.size() < kPickerLength) {
                text += ' ';
                ++at;
            }
            break;
        case PadNav::Left:
            if (at > 0) --at;
            break;
        case PadNav::Cancel:
            if (!text.empty()) text.erase(static_cast<std::size_t>(at), 1);
            if (at > 0 && at >= static_cast<int>(text.size())) --at;
            break;
        case PadNav::Activate: {
            // The blank slots the picker left at the end are no part of the name.
            const std::size_t end = text.find_last_not_of(' ');
            text.erase(end == std::string::npos ? 0 : end + 1);
            DialogKey(d, VK_RETURN);
            return;
        }
    }
    ++State().activity;
}

}  // namespace

void DialogPadNav(DialogRuntime& d, PadNav nav) {
    if (d.ended) return;
    const bool shown = d.padFocus;
    d.padFocus = true;
    int focus = d.focusControl;
    if (focus < 0 || static_cast<std::size_t>(focus) >= d.controls.size() || !PadFocusable(d.controls[focus])) {
        focus = FirstPadFocus(d);
        d.focusControl = focus;
        d.focusApplied = false;
        // The first move only shows where the focus is.
        if (!shown && nav != PadNav::Activate && nav != PadNav::Cancel) return;
    }
    if (nav == PadNav::Cancel && (focus < 0 || d.controls[focus].kind != ControlRuntime::Kind::Edit)) {
        DialogKey(d, VK_ESCAPE);
        return;
    }
    if (focus < 0) {
        if (nav == PadNav::Activate) DialogKey(d, VK_RETURN);
        return;
    }
    ControlRuntime& c = d.controls[focus];
    if (c.kind == ControlRuntime::Kind::Edit) {
        PickLetter(d, c, nav);
        return;
    }
    if (c.kind == ControlRuntime::Kind::Trackbar && (nav == PadNav::Left || nav == PadNav::Right)) {
        MoveTrackbar(d, focus, 0, nav == PadNav::Left ? TB_LINEUP : TB_LINEDOWN);
        MoveTrackbar(d, focus, 0, TB_ENDTRACK);
        return;
    }
    if (nav == PadNav::Activate) {
        if (c.kind != ControlRuntime::Kind::Trackbar) ClickControl(d, focus);
        return;
    }
    const int next = NextPadFocus(d, focus, nav);
    if (next < 0) return;
    d.focusControl = next;
    d.focusApplied = false;
    ++State().activity;
}

void RefuseTypedCharacter(DialogRuntime& d, int index) {
    if (d.ended || index < 0 || static_cast<size_t>(index) >= d.controls.size()) return;
    const ControlRuntime& c = d.controls[index];
    if (c.kind != ControlRuntime::Kind::Edit) return;
    SendMessageA(d.window, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(c.item.id), EN_REFUSEDCHAR),
                 reinterpret_cast<LPARAM>(c.window));
}

void CloseBox(DialogRuntime& d) {
    if (d.ended || !(d.tmpl.style & WS_SYSMENU)) return;
    SendMessageA(d.window, WM_CLOSE, 0, 0);
}

LRESULT DialogWindowProc(WindowObject& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogRuntime* d = dialog.dialog;
    if (!d || !d->proc) return 0;
    switch (message) {
        case kUiClick:
            // The mouse: the pad's frame goes.
            d->padFocus = false;
            State().padInput = false;
            ClickControl(*d, static_cast<int>(wParam));
            return 0;
        case kUiPad:
            DialogPadNav(*d, static_cast<PadNav>(wParam));
            return 0;
        case kUiTrackbar:
            MoveTrackbar(*d, static_cast<int>(wParam), static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                         HIWORD(static_cast<std::uintptr_t>(lParam)));
            return 0;
        case kUiKey:
            DialogKey(*d, static_cast<UINT>(wParam));
            return 0;
        case kUiKeyUp:
            DialogKeyUp(*d, static_cast<UINT>(wParam));
            return 0;
        case kUiTrackbarPress:
            PressTrackbar(*d, static_cast<int>(wParam));
            return 0;
        case kUiTrackbarRelease:
            ReleaseTrackbar(*d, static_cast<int>(wParam));
            return 0;
        case kUiCloseBox:
            CloseBox(*d);
            return 0;
        case kUiCharRefused:
            RefuseTypedCharacter(*d, static_cast<int>(wParam));
            return 0;
        default:
            break;
    }
    INT_PTR handled = d->proc(&dialog, message, wParam, lParam);
    // What the dialog manager does with a message the procedure leaves alone:
    // closing the dialog's window means cancel.
    if (!handled && message == WM_CLOSE) {
        ControlRuntime* cancel = FindControl(*d, IDCANCEL);
        SendMessageA(&dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(cancel ? cancel->window : nullptr));
    }
    return handled;
}

LRESULT ControlWindowProc(WindowObject& control, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlRuntime* c = ControlOf(control);
    if (!c) return 0;
    switch (message) {
        case WM_SETTEXT:
            c->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(lParam);
            if (!buffer || wParam == 0) return 0;
            size_t n = std::min(c->text.size(), static_cast<size_t>(wParam - 1));
            std::memcpy(buffer, c->text.data(), n);
            buffer[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(c->text.size());
        case TBM_GETPOS:
            return c->position;
        case TBM_GETRANGEMIN:
            return c->rangeMin;
        case TBM_GETRANGEMAX:
            return c->rangeMax;
        case TBM_SETPOS:
            c->position = std::clamp(static_cast<int>(lParam), c->rangeMin, c->rangeMax);
            return 0;
        case TBM_SETRANGE: {
            int low = static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam)));
            int high = static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)));
            c->rangeMin = std::min(low, high);
            c->rangeMax = std::max(low, high);
            c->position = std::clamp(c->position, c->rangeMin, c->rangeMax);
            return 0;
        }
        case BM_GETCHECK:
            return c->checked ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK:
            c->checked = wParam == BST_CHECKED;
            return 0;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR name, HWND owner, DLGPROC proc, LPARAM initParam) {
    const DialogTemplate* tmpl = FindDialogResource(ResourceIdOf(name));
    if (!tmpl || !proc || (owner && !WindowOf(owner))) return -1;
    // The template is copied: a registration while the dialog runs cannot pull it away.
    return RunModal(*tmpl, owner, proc, initParam, false, 0);
}

int RunMessageBoxDialog(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    DialogTemplate tmpl;
    tmpl.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    tmpl.caption = caption;
    DialogItemTemplate body;
    body.className = "static";
    body.text = text;
    body.style = WS_CHILD | WS_VISIBLE;
    DialogItemTemplate ok;
    ok.id = IDOK;
    ok.className = "button";
    ok.text = "OK";
    ok.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    tmpl.items = {body, ok};
    return static_cast<int>(RunModal(tmpl, owner, MessageBoxProc, 0, true, type));
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    DialogRuntime* d = DialogOf(dialog);
    if (!d) return FALSE;
    d->ended = true;
    d->result = result;
    ++State().activity;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    DialogRuntime* d = DialogOf(dialog);
    if (!d) return nullptr;
    ControlRuntime* c = FindControl(*d, id);
    return c ? c->window : nullptr;
}

int GetDlgCtrlID(HWND control) {
    WindowObject* w = WindowOf(control);
    if (!w || w->kind != WindowObject::Kind::Control) return 0;
    ControlRuntime* c = ControlOf(*w);
    return c ? c->item.id : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(
        SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    DialogRuntime* d = DialogOf(dialog);
    if (!d) return FALSE;
    for (ControlRuntime& c : d->controls)
        if (c.item.id >= firstId && c.item.id <= lastId) c.checked = c.item.id == checkId;
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0)) : BST_UNCHECKED;
}
