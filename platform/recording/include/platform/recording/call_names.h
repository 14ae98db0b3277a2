// How the recording devices write the arguments of a call into their logs, so
// that a log reads like the calls: "SetRenderState ZENABLE 0", "SetTransform
// VIEW", "DrawIndexedPrimitive TRIANGLELIST 0 4 0 2", "Play media/hupe.wav 0 0
// LOOPING -> DS_OK".
//
// Constants are written as Direct3D 8 and DirectSound spell them, without the
// prefix of their family (D3DRS_ZENABLE is ZENABLE, DSSCL_PRIORITY is
// PRIORITY); flags are joined with '|', and 0 stays 0. Result codes keep their
// whole names (DS_OK, DSERR_BUFFERLOST, E_FAIL). A value without a name is
// written as its number (bits without a name in hexadecimal), so nothing a
// caller passes is lost from the log. Colours are written as 0xAARRGGBB.
#pragma once

#include <string>

#include "platform/d3d8.h"
#include "platform/dsound.h"

std::string RenderStateName(DWORD state);
// The value of a render state: a colour for D3DRS_AMBIENT, else the number.
std::string RenderStateValue(DWORD state, DWORD value);
std::string TextureStageStateName(DWORD type);
std::string TransformName(DWORD type);
std::string PrimitiveTypeName(DWORD type);
std::string FormatName(DWORD format);
std::string PoolName(DWORD pool);
std::string UsageNames(DWORD usage);
std::string FvfNames(DWORD fvf);
std::string ClearFlagNames(DWORD flags);
std::string DeviceTypeName(DWORD type);
std::string BehaviorFlagNames(DWORD flags);
std::string ColourName(DWORD colour);

std::string CooperativeLevelName(DWORD level);
std::string BufferCapsNames(DWORD flags);
std::string PlayFlagNames(DWORD flags);
std::string LockFlagNames(DWORD flags);
std::string BufferStatusNames(DWORD status);
std::string SoundResultName(HRESULT result);
