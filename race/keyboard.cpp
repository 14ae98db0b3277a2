#include "race/keyboard.h"

#include "platform/dinput.h"
#include "platform/win.h"

namespace {
void Report(HWND window, const char* text) { MessageBoxA(window, text, "Tarvik 3D", MB_OK); }
}  // namespace

Keyboard::~Keyboard() {
    if (device) device->Unacquire();
    SafeRelease(device);
    SafeRelease(directInput);
}

bool Keyboard::Create(HINSTANCE instance, HWND window) {
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                  reinterpret_cast<void**>(&directInput), nullptr))) {
        directInput = nullptr;
        Report(window, "DIput Fehler: DInput_CreateEx()");
        return false;
    }
    if (FAILED(directInput->CreateDevice(GUID_SysKeyboard, &device, nullptr))) {
        device = nullptr;
        Report(window, "DInput Fehler: Keyboard()");
        return false;
    }
    if (FAILED(device->SetDataFormat(&c_dfDIKeyboard))) {
        Report(window, "DInput Fehler: SetDFormat()");
        return false;
    }
    if (FAILED(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))) {
        Report(window, "DInput Fehler: SetCoop()");
        return false;
    }
    if (FAILED(device->Acquire())) {
        Report(window, "DInput Fehler: KB: Acquire()");
        return false;
    }
    return true;
}

bool Keyboard::ReadState(HWND window) {
    if (!device) return false;
    HRESULT hr = device->GetDeviceState(sizeof keys, keys);
    if (SUCCEEDED(hr)) {
        readFailureShown_ = false;
        return true;
    }
    const char* message = "DI Fehler : InvalidParam() ";
    // A keyboard lost for longer than one read stays unacquired, and only
    // acquiring it again brings it back once it is there again; without that
    // the game would go on with the last keys for good.
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
        device->Acquire();
        if (SUCCEEDED(device->GetDeviceState(sizeof keys, keys))) {
            readFailureShown_ = false;
            return true;
        }
        message = "DInput Fehler Kb: GetState() ";
    }
    // Shown once per run of failures; the ticks go on with the last keys read.
    if (!readFailureShown_) {
        readFailureShown_ = true;
        Report(window, message);
    }
    return false;
}

bool Keyboard::Poll(HWND window, ControlState& controls) {
    if (!ReadState(window)) return false;
    controls.debugKey = (keys[bindings.debug] & 0x80) ? 1 : 0;
    controls.accelerateKey = (keys[bindings.accelerate] & 0x80) ? 1 : 0;
    controls.brakeKey = (keys[bindings.brake] & 0x80) ? 1 : 0;
    controls.leftKey = (keys[bindings.left] & 0x80) ? 1 : 0;
    controls.rightKey = (keys[bindings.right] & 0x80) ? 1 : 0;
    controls.startKey = (keys[bindings.start] & 0x80) ? 1 : 0;
    return true;
}
