// Windows-style scalar types, result codes and handles that the game code is
// written against. Only the names the game uses are here.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are opaque pointers to platform objects.
struct WindowObject;
struct InstanceObject;
struct MenuObject;
struct AcceleratorObject;
using HWND = WindowObject*;
using HINSTANCE = InstanceObject*;
using HMENU = MenuObject*;
using HACCEL = AcceleratorObject*;

// COM-style identifiers (interfaces, devices, algorithms), shared by every
// platform interface that names one.
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using REFGUID = const GUID&;
using REFIID = const GUID&;
inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline constexpr GUID GUID_NULL{};

constexpr HRESULT MakeResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001u);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeResult(0x800401F0u);
constexpr HRESULT D3DERR_INVALIDCALL = MakeResult(0x8876086Cu);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeResult(0x8876086Au);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeResult(0x8876017Cu);
constexpr HRESULT DSERR_BUFFERLOST = MakeResult(0x88780096u);
constexpr HRESULT DSERR_NODRIVER = MakeResult(0x88780078u);
constexpr HRESULT DSERR_GENERIC = E_FAIL;
constexpr HRESULT DS_NO_VIRTUALIZATION = MakeResult(0x0878000Au);
constexpr HRESULT DIERR_INPUTLOST = MakeResult(0x8007001Eu);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// The minimal COM-style base: objects handed out by the platform are held as
// one owned reference each and given back with Release.
class IUnknownLike {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknownLike() = default;
};

// Reference counting shared by every platform object.
template <class Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

private:
    ULONG refs_ = 1;
};

// Releases a COM-style pointer if set and clears it.
template <class T>
void SafeRelease(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}
