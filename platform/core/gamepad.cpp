// The pads' bindings and their part in each keyboard read: held inputs hold
// keys in the state just read, inputs that went down since the last read
// queue their key presses.
#include "platform/port/gamepad.h"

#include <vector>

#include "platform/core/backends.h"
#include "platform/core/lasting.h"
#include "platform/core/win_core.h"

namespace {

struct PadState {
    std::vector<PadBinding> bindings;
    DWORD lastDown = 0;  // at the last keyboard read
    bool fresh = true;   // no read since the bindings were set
    int heldReads[PAD_INPUT_COUNT] = {};  // reads a navigating direction has been held for
};

constexpr PadNavInput kNavigation[] = {
    {PAD_DPAD_UP, PadNav::Up},          {PAD_LEFTSTICK_UP, PadNav::Up},
    {PAD_DPAD_DOWN, PadNav::Down},      {PAD_LEFTSTICK_DOWN, PadNav::Down},
    {PAD_DPAD_LEFT, PadNav::Left},      {PAD_LEFTSTICK_LEFT, PadNav::Left},
    {PAD_DPAD_RIGHT, PadNav::Right},    {PAD_LEFTSTICK_RIGHT, PadNav::Right},
    {PAD_A, PadNav::Activate},          {PAD_B, PadNav::Cancel},
};

// A direction held moves again after this many keyboard reads (the game reads
// every 40 ms), then every few.
constexpr int kRepeatAfterReads = 8;
constexpr int kRepeatEveryReads = 2;

bool IsDirection(PadNav nav) { return nav != PadNav::Activate && nav != PadNav::Cancel; }

UINT MenuKeyOf(PadNav nav) {
    switch (nav) {
        case PadNav::Up: return VK_UP;
        case PadNav::Down: return VK_DOWN;
        case PadNav::Left: return VK_LEFT;
        case PadNav::Right: return VK_RIGHT;
        case PadNav::Activate: return VK_RETURN;
        default: return VK_ESCAPE;
    }
}

PadState& Pads() {
    static Lasting<PadState> state;
    return *state;
}

GamepadBackend* Gamepads() { return InstalledBackends().gamepads; }

// Where a key press goes: the dialog on top has the keyboard, else the
// program's window.
HWND KeyTarget() {
    WinState& state = State();
    if (!state.modalStack.empty()) return state.modalStack.back()->window;
    for (auto& w : state.windows)
        if (w->kind == WindowObject::Kind::TopLevel && w->visible && !w->destroying) return w.get();
    return nullptr;
}

}  // namespace

void SetGamepadBindings(const PadBinding* bindings, int count) {
    PadState& pads = Pads();
    pads.bindings.clear();
    for (int i = 0; bindings && i < count; ++i)
        if (bindings[i].input >= 0 && bindings[i].input < PAD_INPUT_COUNT) pads.bindings.push_back(bindings[i]);
    // Inputs held while the bindings change do not count as pressed. The
    // pads are first looked at by the next read, not here at start-up.
    pads.lastDown = 0;
    pads.fresh = true;
}

DWORD GamepadInputsDown() {
    GamepadBackend* pads = Gamepads();
    return pads ? pads->ReadInputs() : 0;
}

int GamepadCount() {
    GamepadBackend* pads = Gamepads();
    return pads ? pads->Count() : 0;
}

std::span<const PadNavInput> PadNavigation() { return kNavigation; }

void HoldPadNavigation(HWND dialog, BOOL hold) {
    WindowObject* w = WindowOf(dialog);
    if (w && w->kind == WindowObject::Kind::Dialog && w->dialog) w->dialog->padNavigationHeld = hold != FALSE;
}

void MergeGamepadKeys(BYTE keys[256]) {
    PadState& pads = Pads();
    if (pads.bindings.empty()) return;
    const DWORD down = GamepadInputsDown();
    const DWORD pressed = pads.fresh ? 0 : down & ~pads.lastDown;
    pads.lastDown = down;
    pads.fresh = false;
    WinState& state = State();
    if (pressed) state.padInput = true;
    // An open menu bar takes the pad's keys as it takes the keyboard's.
    const bool menu = state.modalStack.empty() && Backend().MenuBarOpen();
    for (const PadBinding& b : pads.bindings) {
        const DWORD bit = PadBit(b.input);
        if ((down & bit) && b.heldKey) keys[b.heldKey] |= 0x80;
        if ((pressed & bit) && b.pressedKey) {
            if (menu)
                Backend().MenuBarKey(b.pressedKey);
            else if (HWND target = KeyTarget())
                PostToQueue(target, WM_KEYDOWN, b.pressedKey, 1);
        }
    }
    // Moving through a dialog or the menu, with repeats while a direction is held.
    for (const PadNavInput& n : kNavigation) {
        const DWORD bit = PadBit(n.input);
        int& held = pads.heldReads[n.input];
        held = (down & bit) ? held + 1 : 0;
        const bool repeat = IsDirection(n.nav) && held > kRepeatAfterReads &&
                            (held - kRepeatAfterReads) % kRepeatEveryReads == 0;
        if (!(pressed & bit) && !repeat) continue;
        if (!state.modalStack.empty()) {
            DialogRuntime& top = *state.modalStack.back();
            // Posted, so that what the dialog does runs from its loop, not
            // inside the game's keyboard read.
            if (!top.padNavigationHeld) PostToQueue(top.window, kUiPad, static_cast<WPARAM>(n.nav), 0);
        } else if (menu) {
            Backend().MenuBarKey(MenuKeyOf(n.nav));
        }
    }
}
