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
};

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

void MergeGamepadKeys(BYTE keys[256]) {
    PadState& pads = Pads();
    if (pads.bindings.empty()) return;
    const DWORD down = GamepadInputsDown();
    const DWORD pressed = pads.fresh ? 0 : down & ~pads.lastDown;
    pads.lastDown = down;
    pads.fresh = false;
    for (const PadBinding& b : pads.bindings) {
        const DWORD bit = PadBit(b.input);
        if ((down & bit) && b.heldKey) keys[b.heldKey] |= 0x80;
        if ((pressed & bit) && b.pressedKey) {
            if (HWND target = KeyTarget()) PostToQueue(target, WM_KEYDOWN, b.pressedKey, 1);
        }
    }
}
