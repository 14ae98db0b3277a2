// The part of DirectInput 8 the game reads the keyboard with: the system
// keyboard as 256 bytes, one per DIK_ code, high bit set while the key is
// down. The SDL backend fills the bytes from SDL's keyboard state (SDL
// scancodes are mapped to the DIK_ codes, which are PC set-1 scan codes); the
// recording backend from the keys a test holds down.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

extern const GUID GUID_SysKeyboard;
extern const GUID IID_IDirectInput8A;

struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const DIOBJECTDATAFORMAT* rgodf;
};

// 256 one-byte key objects.
extern const DIDATAFORMAT c_dfDIKeyboard;

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_FOREGROUND = 0x00000004;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;
constexpr DWORD DISCL_NOWINKEY = 0x00000010;

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOTACQUIRED = MakeResult(0x8007000Cu);
constexpr HRESULT DIERR_NOTINITIALIZED = MakeResult(0x80070015u);
constexpr HRESULT DIERR_NOINTERFACE = MakeResult(0x80004002u);
constexpr HRESULT DIERR_DEVICENOTREG = MakeResult(0x80040154u);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = MakeResult(0x8007047Eu);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = MakeResult(0x80070481u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeResult(0x80040110u);
// DIERR_INPUTLOST (0x8007001E) is in platform/wintypes.h.

class IDirectInputDevice8A : public IUnknownLike {
public:
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // After DIERR_INPUTLOST the device is no longer acquired.
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
};

class IDirectInput8A : public IUnknownLike {
public:
    virtual HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8A** device, IUnknownLike* outer) = 0;
};

using LPDIRECTINPUT8A = IDirectInput8A*;
using LPDIRECTINPUTDEVICE8A = IDirectInputDevice8A*;
using LPDIRECTINPUT8 = IDirectInput8A*;
using LPDIRECTINPUTDEVICE8 = IDirectInputDevice8A*;

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** out, IUnknownLike* outer);

// Key codes (PC set-1 scan codes; 0x80 marks the extended keys).
enum : BYTE {
    DIK_ESCAPE = 0x01,
    DIK_1 = 0x02,
    DIK_2 = 0x03,
    DIK_3 = 0x04,
    DIK_4 = 0x05,
    DIK_5 = 0x06,
    DIK_6 = 0x07,
    DIK_7 = 0x08,
    DIK_8 = 0x09,
    DIK_9 = 0x0A,
    DIK_0 = 0x0B,
    DIK_MINUS = 0x0C,
    DIK_EQUALS = 0x0D,
    DIK_BACK = 0x0E,
    DIK_TAB = 0x0F,
    DIK_Q = 0x10,
    DIK_W = 0x11,
    DIK_E = 0x12,
    DIK_R = 0x13,
    DIK_T = 0x14,
    DIK_Y = 0x15,
    DIK_U = 0x16,
    DIK_I = 0x17,
    DIK_O = 0x18,
    DIK_P = 0x19,
    DIK_LBRACKET = 0x1A,
    DIK_RBRACKET = 0x1B,
    DIK_RETURN = 0x1C,
    DIK_LCONTROL = 0x1D,
    DIK_A = 0x1E,
    DIK_S = 0x1F,
    DIK_D = 0x20,
    DIK_F = 0x21,
    DIK_G = 0x22,
    DIK_H = 0x23,
    DIK_J = 0x24,
    DIK_K = 0x25,
    DIK_L = 0x26,
    DIK_SEMICOLON = 0x27,
    DIK_APOSTROPHE = 0x28,
    DIK_GRAVE = 0x29,
    DIK_LSHIFT = 0x2A,
    DIK_BACKSLASH = 0x2B,
    DIK_Z = 0x2C,
    DIK_X = 0x2D,
    DIK_C = 0x2E,
    DIK_V = 0x2F,
    DIK_B = 0x30,
    DIK_N = 0x31,
    DIK_M = 0x32,
    DIK_COMMA = 0x33,
    DIK_PERIOD = 0x34,
    DIK_SLASH = 0x35,
    DIK_RSHIFT = 0x36,
    DIK_MULTIPLY = 0x37,
    DIK_LMENU = 0x38,
    DIK_SPACE = 0x39,
    DIK_CAPITAL = 0x3A,
    DIK_F1 = 0x3B,
    DIK_F2 = 0x3C,
    DIK_F3 = 0x3D,
    DIK_F4 = 0x3E,
    DIK_F5 = 0x3F,
    DIK_F6 = 0x40,
    DIK_F7 = 0x41,
    DIK_F8 = 0x42,
    DIK_F9 = 0x43,
    DIK_F10 = 0x44,
    DIK_NUMLOCK = 0x45,
    DIK_SCROLL = 0x46,
    DIK_NUMPAD7 = 0x47,
    DIK_NUMPAD8 = 0x48,
    DIK_NUMPAD9 = 0x49,
    DIK_SUBTRACT = 0x4A,
    DIK_NUMPAD4 = 0x4B,
    DIK_NUMPAD5 = 0x4C,
    DIK_NUMPAD6 = 0x4D,
    DIK_ADD = 0x4E,
    DIK_NUMPAD1 = 0x4F,
    DIK_NUMPAD2 = 0x50,
    DIK_NUMPAD3 = 0x51,
    DIK_NUMPAD0 = 0x52,
    DIK_DECIMAL = 0x53,
    DIK_OEM_102 = 0x56,
    DIK_F11 = 0x57,
    DIK_F12 = 0x58,
    DIK_F13 = 0x64,
    DIK_F14 = 0x65,
    DIK_F15 = 0x66,
    DIK_NUMPADEQUALS = 0x8D,
    DIK_NUMPADENTER = 0x9C,
    DIK_RCONTROL = 0x9D,
    DIK_NUMPADCOMMA = 0xB3,
    DIK_DIVIDE = 0xB5,
    DIK_SYSRQ = 0xB7,
    DIK_RMENU = 0xB8,
    DIK_PAUSE = 0xC5,
    DIK_HOME = 0xC7,
    DIK_UP = 0xC8,
    DIK_PRIOR = 0xC9,
    DIK_LEFT = 0xCB,
    DIK_RIGHT = 0xCD,
    DIK_END = 0xCF,
    DIK_DOWN = 0xD0,
    DIK_NEXT = 0xD1,
    DIK_INSERT = 0xD2,
    DIK_DELETE = 0xD3,
    DIK_LWIN = 0xDB,
    DIK_RWIN = 0xDC,
    DIK_APPS = 0xDD,
};
