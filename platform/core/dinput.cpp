// The DirectInput keyboard objects over the backend's keyboard.
#include "platform/dinput.h"

#include <cstring>

#include "platform/core/win_core.h"

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

namespace {

constexpr DWORD kKeyboardDataSize = 256;

DIOBJECTDATAFORMAT keyObjects[kKeyboardDataSize];

const DIOBJECTDATAFORMAT* KeyObjects() {
    for (DWORD i = 0; i < kKeyboardDataSize; ++i) {
        keyObjects[i].pguid = nullptr;
        keyObjects[i].dwOfs = i;
        keyObjects[i].dwType = 0x80000000u | 0x0C | (i << 8);  // optional button of instance i
        keyObjects[i].dwFlags = 0;
    }
    return keyObjects;
}

using Step = WinBackend::KeyboardStep;

class KeyboardDevice : public RefCounted<IDirectInputDevice8A> {
public:
    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (!format || format->dwDataSize != kKeyboardDataSize) return DIERR_INVALIDPARAM;
        if (acquired_) return MakeResult(0x80070005u);  // DIERR_ACQUIRED
        HRESULT hr = Backend().KeyboardStepResult(Step::SetDataFormat);
        if (FAILED(hr)) return hr;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
        bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
        if (exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
        // DirectInput never gives the keyboard exclusively to a program in the background.
        if (exclusive && background) return E_NOTIMPL;
        return Backend().KeyboardStepResult(Step::SetCooperativeLevel);
    }

    HRESULT Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        HRESULT hr = Backend().KeyboardStepResult(Step::Acquire);
        if (FAILED(hr)) return hr;
        if (acquired_) return DI_NOEFFECT;
        acquired_ = true;
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override {
        if (!data || size != kKeyboardDataSize) return DIERR_INVALIDPARAM;
        if (!acquired_) return DIERR_NOTACQUIRED;
        BYTE keys[kKeyboardDataSize];
        HRESULT hr = Backend().ReadKeyboard(keys);
        if (hr == DIERR_INPUTLOST) acquired_ = false;
        if (FAILED(hr)) return hr;
        MergeGamepadKeys(keys);
        std::memcpy(data, keys, kKeyboardDataSize);
        return DI_OK;
    }

private:
    bool formatSet_ = false;
    bool acquired_ = false;
};

class DirectInput : public RefCounted<IDirectInput8A> {
public:
    HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8A** device, IUnknownLike* outer) override {
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!(guid == GUID_SysKeyboard)) return DIERR_DEVICENOTREG;
        HRESULT hr = Backend().KeyboardStepResult(Step::CreateDevice);
        if (FAILED(hr)) return hr;
        *device = new KeyboardDevice();
        return DI_OK;
    }
};

}  // namespace

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2 /* DIDF_RELAXIS */,
                                     kKeyboardDataSize, kKeyboardDataSize, KeyObjects()};

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, void** out, IUnknownLike* outer) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (!(iid == IID_IDirectInput8A)) return DIERR_NOINTERFACE;
    HRESULT hr = Backend().KeyboardStepResult(Step::Create);
    if (FAILED(hr)) return hr;
    *out = static_cast<IDirectInput8A*>(new DirectInput());
    return DI_OK;
}
