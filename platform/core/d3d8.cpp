#include "platform/d3d8.h"

#include "platform/core/backends.h"

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    IDirect3D8* (*factory)() = InstalledBackends().direct3d;
    if (sdkVersion != D3D_SDK_VERSION || !factory) return nullptr;
    return factory();
}
