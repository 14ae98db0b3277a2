// The driving controls: the whole keyboard read once per tick and reduced to
// six on/off flags.
#pragma once

#include <cstdint>

#include "platform/dinput.h"
#include "platform/wintypes.h"

struct ControlState {
    std::int32_t debugKey = 0;
    std::int32_t accelerateKey = 0;
    std::int32_t brakeKey = 0;
    std::int32_t leftKey = 0;
    std::int32_t rightKey = 0;
    std::int32_t startKey = 0;
};

// Which key (DIK_ code) feeds each flag; the player may choose others.
struct KeyBindings {
    BYTE debug = DIK_F12;
    BYTE accelerate = DIK_UP;
    BYTE brake = DIK_DOWN;
    BYTE left = DIK_LEFT;
    BYTE right = DIK_RIGHT;
    BYTE start = DIK_SPACE;
    bool operator==(const KeyBindings&) const = default;
};

class Keyboard {
public:
    Keyboard() = default;
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    bool Create(HINSTANCE instance, HWND window);
    bool ReadState(HWND window);
    bool Poll(HWND window, ControlState& controls);

    BYTE keys[256] = {};
    IDirectInput8A* directInput = nullptr;
    IDirectInputDevice8A* device = nullptr;
    KeyBindings bindings;

private:
    // A read that keeps failing is reported once, not on every tick: the boxes
    // would nest, since ticks go on while a box is open.
    bool readFailureShown_ = false;
};
