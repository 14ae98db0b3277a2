#include "platform/d3d8.h"

namespace {
Direct3DFactory activeFactory = nullptr;
}

void SetDirect3DFactory(Direct3DFactory factory) { activeFactory = factory; }

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || !activeFactory) return nullptr;
    return activeFactory();
}
