#include "platform/recording/call_names.h"

#include <cstdio>
#include <initializer_list>

namespace {

struct Named {
    DWORD value;
    const char* name;
};

std::string Number(DWORD value) { return std::to_string(value); }

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", unsigned(value));
    return text;
}

std::string OneOf(DWORD value, std::initializer_list<Named> names) {
    for (const Named& n : names)
        if (n.value == value) return n.name;
    return Number(value);
}

// The named bits joined with '|', then any others as one hexadecimal number.
std::string Flags(DWORD flags, std::initializer_list<Named> names) {
    if (flags == 0) return "0";
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "|") + part; };
    for (const Named& n : names)
        if ((flags & n.value) == n.value) {
            add(n.name);
            flags &= ~n.value;
        }
    if (flags) add(Hex(flags));
    return text;
}

}  // namespace

std::string RenderStateName(DWORD state) {
    return OneOf(state, {{D3DRS_ZENABLE, "ZENABLE"},
                         {D3DRS_FILLMODE, "FILLMODE"},
                         {D3DRS_SHADEMODE, "SHADEMODE"},
                         {D3DRS_ZWRITEENABLE, "ZWRITEENABLE"},
                         {D3DRS_ALPHATESTENABLE, "ALPHATESTENABLE"},
                         {D3DRS_SRCBLEND, "SRCBLEND"},
                         {D3DRS_DESTBLEND, "DESTBLEND"},
                         {D3DRS_CULLMODE, "CULLMODE"},
                         {D3DRS_ZFUNC, "ZFUNC"},
                         {D3DRS_ALPHAREF, "ALPHAREF"},
                         {D3DRS_ALPHAFUNC, "ALPHAFUNC"},
                         {D3DRS_DITHERENABLE, "DITHERENABLE"},
                         {D3DRS_ALPHABLENDENABLE, "ALPHABLENDENABLE"},
                         {D3DRS_FOGENABLE, "FOGENABLE"},
                         {D3DRS_SPECULARENABLE, "SPECULARENABLE"},
                         {D3DRS_EDGEANTIALIAS, "EDGEANTIALIAS"},
                         {D3DRS_STENCILENABLE, "STENCILENABLE"},
                         {D3DRS_CLIPPING, "CLIPPING"},
                         {D3DRS_LIGHTING, "LIGHTING"},
                         {D3DRS_AMBIENT, "AMBIENT"},
                         {D3DRS_COLORVERTEX, "COLORVERTEX"},
                         {D3DRS_LOCALVIEWER, "LOCALVIEWER"},
                         {D3DRS_NORMALIZENORMALS, "NORMALIZENORMALS"},
                         {D3DRS_DIFFUSEMATERIALSOURCE, "DIFFUSEMATERIALSOURCE"},
                         {D3DRS_SPECULARMATERIALSOURCE, "SPECULARMATERIALSOURCE"},
                         {D3DRS_AMBIENTMATERIALSOURCE, "AMBIENTMATERIALSOURCE"},
                         {D3DRS_EMISSIVEMATERIALSOURCE, "EMISSIVEMATERIALSOURCE"},
                         {D3DRS_VERTEXBLEND, "VERTEXBLEND"},
                         {D3DRS_CLIPPLANEENABLE, "CLIPPLANEENABLE"},
                         {D3DRS_INDEXEDVERTEXBLENDENABLE, "INDEXEDVERTEXBLENDENABLE"}});
}

std::string RenderStateValue(DWORD state, DWORD value) {
    return state == D3DRS_AMBIENT ? ColourName(value) : Number(value);
}

std::string TextureStageStateName(DWORD type) {
    return OneOf(type, {{D3DTSS_COLOROP, "COLOROP"},
                        {D3DTSS_COLORARG1, "COLORARG1"},
                        {D3DTSS_COLORARG2, "COLORARG2"},
                        {D3DTSS_ALPHAOP, "ALPHAOP"},
                        {D3DTSS_ALPHAARG1, "ALPHAARG1"},
                        {D3DTSS_ALPHAARG2, "ALPHAARG2"},
                        {D3DTSS_TEXCOORDINDEX, "TEXCOORDINDEX"},
                        {D3DTSS_ADDRESSU, "ADDRESSU"},
                        {D3DTSS_ADDRESSV, "ADDRESSV"},
                        {D3DTSS_MAGFILTER, "MAGFILTER"},
                        {D3DTSS_MINFILTER, "MINFILTER"},
                        {D3DTSS_MIPFILTER, "MIPFILTER"},
                        {D3DTSS_TEXTURETRANSFORMFLAGS, "TEXTURETRANSFORMFLAGS"}});
}

std::string TransformName(DWORD type) {
    return OneOf(type, {{D3DTS_VIEW, "VIEW"}, {D3DTS_PROJECTION, "PROJECTION"}, {D3DTS_WORLD, "WORLD"}});
}

std::string PrimitiveTypeName(DWORD type) {
    return OneOf(type, {{D3DPT_POINTLIST, "POINTLIST"},
                        {D3DPT_LINELIST, "LINELIST"},
                        {D3DPT_LINESTRIP, "LINESTRIP"},
                        {D3DPT_TRIANGLELIST, "TRIANGLELIST"},
                        {D3DPT_TRIANGLESTRIP, "TRIANGLESTRIP"},
                        {D3DPT_TRIANGLEFAN, "TRIANGLEFAN"}});
}

std::string FormatName(DWORD format) {
    return OneOf(format, {{D3DFMT_UNKNOWN, "UNKNOWN"},
                          {D3DFMT_R8G8B8, "R8G8B8"},
                          {D3DFMT_A8R8G8B8, "A8R8G8B8"},
                          {D3DFMT_X8R8G8B8, "X8R8G8B8"},
                          {D3DFMT_R5G6B5, "R5G6B5"},
                          {D3DFMT_X1R5G5B5, "X1R5G5B5"},
                          {D3DFMT_A1R5G5B5, "A1R5G5B5"},
                          {D3DFMT_A4R4G4B4, "A4R4G4B4"},
                          {D3DFMT_A8, "A8"},
                          {D3DFMT_L8, "L8"},
                          {D3DFMT_D16, "D16"},
                          {D3DFMT_INDEX16, "INDEX16"},
                          {D3DFMT_INDEX32, "INDEX32"}});
}

std::string PoolName(DWORD pool) {
    return OneOf(pool, {{D3DPOOL_DEFAULT, "DEFAULT"}, {D3DPOOL_MANAGED, "MANAGED"}, {D3DPOOL_SYSTEMMEM, "SYSTEMMEM"}});
}

std::string UsageNames(DWORD usage) {
    return Flags(usage, {{D3DUSAGE_WRITEONLY, "WRITEONLY"}, {D3DUSAGE_DYNAMIC, "DYNAMIC"}});
}

std::string FvfNames(DWORD fvf) {
    // The position is a field of the format, not a set of bits; so is the
    // number of texture coordinate sets.
    std::string position;
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZ) position = "XYZ";
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW) position = "XYZRHW";
    if (!position.empty()) fvf &= ~D3DFVF_POSITION_MASK;
    std::string textures;
    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 0 && sets <= 8) {
        textures = "TEX" + Number(sets);
        fvf &= ~D3DFVF_TEXCOUNT_MASK;
    }
    std::string rest = Flags(fvf, {{D3DFVF_NORMAL, "NORMAL"}, {D3DFVF_DIFFUSE, "DIFFUSE"}, {D3DFVF_SPECULAR, "SPECULAR"}});
    std::string text = position;
    for (const std::string& part : {rest == "0" ? std::string() : rest, textures})
        if (!part.empty()) text += (text.empty() ? "" : "|") + part;
    return text.empty() ? "0" : text;
}

std::string ClearFlagNames(DWORD flags) {
    return Flags(flags, {{D3DCLEAR_TARGET, "TARGET"}, {D3DCLEAR_ZBUFFER, "ZBUFFER"}, {D3DCLEAR_STENCIL, "STENCIL"}});
}

std::string DeviceTypeName(DWORD type) { return OneOf(type, {{D3DDEVTYPE_HAL, "HAL"}, {D3DDEVTYPE_REF, "REF"}}); }

std::string BehaviorFlagNames(DWORD flags) {
    return Flags(flags, {{D3DCREATE_SOFTWARE_VERTEXPROCESSING, "SOFTWARE_VERTEXPROCESSING"},
                         {D3DCREATE_HARDWARE_VERTEXPROCESSING, "HARDWARE_VERTEXPROCESSING"}});
}

std::string ColourName(DWORD colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(colour));
    return text;
}

std::string CooperativeLevelName(DWORD level) {
    return OneOf(level, {{DSSCL_NORMAL, "NORMAL"},
                         {DSSCL_PRIORITY, "PRIORITY"},
                         {DSSCL_EXCLUSIVE, "EXCLUSIVE"},
                         {DSSCL_WRITEPRIMARY, "WRITEPRIMARY"}});
}

std::string BufferCapsNames(DWORD flags) {
    return Flags(flags, {{DSBCAPS_PRIMARYBUFFER, "PRIMARYBUFFER"},
                         {DSBCAPS_STATIC, "STATIC"},
                         {DSBCAPS_LOCSOFTWARE, "LOCSOFTWARE"},
                         {DSBCAPS_CTRL3D, "CTRL3D"},
                         {DSBCAPS_CTRLFREQUENCY, "CTRLFREQUENCY"},
                         {DSBCAPS_CTRLPAN, "CTRLPAN"},
                         {DSBCAPS_CTRLVOLUME, "CTRLVOLUME"},
                         {DSBCAPS_GLOBALFOCUS, "GLOBALFOCUS"}});
}

std::string PlayFlagNames(DWORD flags) { return Flags(flags, {{DSBPLAY_LOOPING, "LOOPING"}}); }

std::string LockFlagNames(DWORD flags) {
    return Flags(flags, {{DSBLOCK_FROMWRITECURSOR, "FROMWRITECURSOR"}, {DSBLOCK_ENTIREBUFFER, "ENTIREBUFFER"}});
}

std::string BufferStatusNames(DWORD status) {
    return Flags(status, {{DSBSTATUS_PLAYING, "PLAYING"}, {DSBSTATUS_BUFFERLOST, "BUFFERLOST"}, {DSBSTATUS_LOOPING, "LOOPING"}});
}

std::string SoundResultName(HRESULT result) {
    const struct {
        HRESULT code;
        const char* name;
    } names[] = {
        {DS_OK, "DS_OK"},
        {DS_NO_VIRTUALIZATION, "DS_NO_VIRTUALIZATION"},
        {DSERR_INVALIDPARAM, "DSERR_INVALIDPARAM"},
        {DSERR_OUTOFMEMORY, "DSERR_OUTOFMEMORY"},
        {DSERR_INVALIDCALL, "DSERR_INVALIDCALL"},
        {DSERR_PRIOLEVELNEEDED, "DSERR_PRIOLEVELNEEDED"},
        {DSERR_BADFORMAT, "DSERR_BADFORMAT"},
        {DSERR_CONTROLUNAVAIL, "DSERR_CONTROLUNAVAIL"},
        {DSERR_UNINITIALIZED, "DSERR_UNINITIALIZED"},
        {DSERR_BUFFERLOST, "DSERR_BUFFERLOST"},
        {DSERR_NODRIVER, "DSERR_NODRIVER"},
        {E_FAIL, "E_FAIL"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED"},
    };
    for (const auto& n : names)
        if (n.code == result) return n.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(result));
    return text;
}
