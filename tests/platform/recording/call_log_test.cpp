// The call logs of the recording devices read like the calls: constants by
// their names, and values without a name as numbers, so that nothing passed
// is lost from the log.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/recording/dsound_recording.h"
#include "platform/recording/recording_device.h"
#include "tests/support/test_backends.h"

namespace {

TEST(DeviceCallLog, ConstantsAreWrittenByNameAndOthersAsNumbers) {
    struct Case {
        std::function<void(RecordingDevice&)> call;
        const char* line;
    };
    IDirect3DTexture8* texture = nullptr;
    IDirect3DVertexBuffer8* vertices = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;
    const Case cases[] = {
        {[](RecordingDevice& d) { d.SetRenderState(D3DRS_ZENABLE, 0); }, "SetRenderState ZENABLE 0"},
        {[](RecordingDevice& d) { d.SetRenderState(D3DRS_SHADEMODE, 2); }, "SetRenderState SHADEMODE 2"},
        {[](RecordingDevice& d) { d.SetRenderState(D3DRS_AMBIENT, 0xFF969696); },
         "SetRenderState AMBIENT 0xFF969696"},
        {[](RecordingDevice& d) { d.SetRenderState(D3DRENDERSTATETYPE(60), 7); }, "SetRenderState 60 7"},
        {[](RecordingDevice& d) { d.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE); },
         "SetTextureStageState 0 COLOROP 4"},
        {[](RecordingDevice& d) { d.SetTextureStageState(1, D3DTSS_MIPFILTER, D3DTEXF_LINEAR); },
         "SetTextureStageState 1 MIPFILTER 2"},
        {[](RecordingDevice& d) {
             D3DMATRIX m{};
             d.SetTransform(D3DTS_WORLD, &m);
         },
         "SetTransform WORLD"},
        {[](RecordingDevice& d) {
             D3DMATRIX m{};
             d.SetTransform(D3DTS_PROJECTION, &m);
         },
         "SetTransform PROJECTION"},
        {[](RecordingDevice& d) { d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0); },
         "Clear 0 TARGET|ZBUFFER 0xFF000000 1000 0"},
        {[](RecordingDevice& d) { d.Clear(0, nullptr, D3DCLEAR_TARGET | 0x40, 0x00123456, 0.5f, 0); },
         "Clear 0 TARGET|0x40 0x00123456 500 0"},
        {[](RecordingDevice& d) { d.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1); },
         "SetVertexShader XYZRHW|DIFFUSE|TEX1"},
        {[](RecordingDevice& d) { d.SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL); }, "SetVertexShader XYZ|NORMAL"},
        {[](RecordingDevice& d) { d.SetVertexShader(0); }, "SetVertexShader 0"},
        {[&](RecordingDevice& d) { d.CreateTexture(4, 2, 3, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture); },
         "CreateTexture 4 2 3 A4R4G4B4 MANAGED"},
        {[&](RecordingDevice& d) {
             d.CreateVertexBuffer(96, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_DEFAULT,
                                  &vertices);
         },
         "CreateVertexBuffer 96 WRITEONLY|DYNAMIC XYZ|TEX1 DEFAULT"},
        {[&](RecordingDevice& d) { d.CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, &indices); },
         "CreateIndexBuffer 12 0 INDEX16 SYSTEMMEM"},
        {[&](RecordingDevice& d) { d.SetStreamSource(0, vertices, 20); }, "SetStreamSource 0 20"},
        {[](RecordingDevice& d) { d.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2); }, "DrawPrimitive TRIANGLESTRIP 0 2"},
        {[](RecordingDevice& d) { d.DrawPrimitive(D3DPRIMITIVETYPE(9), 0, 2); }, "DrawPrimitive 9 0 2"},
        {[&](RecordingDevice& d) {
             d.SetIndices(indices, 0);
             d.ClearLog();
             d.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2);
         },
         "DrawIndexedPrimitive TRIANGLELIST 0 4 0 2"},
    };
    RecordingDevice* device = new RecordingDevice();
    for (const Case& c : cases) {
        device->ClearLog();
        c.call(*device);
        ASSERT_EQ(device->calls.size(), 1u) << c.line;
        EXPECT_EQ(device->calls[0], c.line);
    }
    SafeRelease(texture);
    SafeRelease(vertices);
    SafeRelease(indices);
    device->Release();
}

TEST(DeviceCallLog, DeviceCreationNamesTheDeviceTypeAndBehaviour) {
    RecordingDirect3D* d3d = new RecordingDirect3D();
    D3DCAPS8 caps{};
    d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, &caps);
    D3DPRESENT_PARAMETERS params{};
    IDirect3DDevice8* device = nullptr;
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params,
                      &device);
    EXPECT_EQ(d3d->calls,
              (std::vector<std::string>{"GetDeviceCaps 0 REF", "CreateDevice 0 HAL HARDWARE_VERTEXPROCESSING"}));
    SafeRelease(device);
    d3d->Release();
}

TEST(SoundCallLog, ArgumentsByNameAndResultsByTheirWholeNames) {
    auto recorder = std::make_shared<SoundRecorder>();
    TestBackends backends(nullptr, recorder);
    IDirectSound8* sound = nullptr;
    ASSERT_EQ(CreateRecordingDirectSound(&sound), DS_OK);
    sound->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 11025;
    format.wBitsPerSample = 8;
    format.nBlockAlign = 1;
    format.nAvgBytesPerSec = 11025;
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME, 100, 0, &format, GUID_NULL,
                      "media/race_hupe.wav"};
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(sound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    void* part = nullptr;
    DWORD bytes = 0;
    buffer->Lock(0, 0, &part, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    buffer->Unlock(part, bytes, nullptr, 0);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    DWORD status = 0;
    buffer->GetStatus(&status);
    buffer->Play(1, 0, 0);  // the reserved argument must be 0
    recorder->LoseBuffers();
    buffer->Play(0, 0, 0);
    buffer->Release();
    sound->Release();
    EXPECT_EQ(recorder->Lines(), (std::vector<std::string>{
                                     "DirectSoundCreate8 -> DS_OK",
                                     "SetCooperativeLevel PRIORITY -> DS_OK",
                                     "CreateSoundBuffer media/race_hupe.wav STATIC|CTRLVOLUME 100 -> DS_OK",
                                     "Lock media/race_hupe.wav 0 100 ENTIREBUFFER -> DS_OK",
                                     "Unlock media/race_hupe.wav 100 0 -> DS_OK",
                                     "Play media/race_hupe.wav 0 0 LOOPING -> DS_OK started",
                                     "GetStatus media/race_hupe.wav PLAYING|LOOPING -> DS_OK",
                                     "Play media/race_hupe.wav 1 0 0 -> DSERR_INVALIDPARAM",
                                     "Play media/race_hupe.wav 0 0 0 -> DSERR_BUFFERLOST",
                                     "Release media/race_hupe.wav -> DS_OK",
                                     "Release -> DS_OK",
                                 }));
}

TEST(SoundCallLog, UnnamedValuesStayNumbers) {
    SoundCall call;
    call.op = "SetCooperativeLevel";
    call.arg1 = 9;
    call.result = MakeResult(0x88780999u);
    EXPECT_EQ(call.ToString(), "SetCooperativeLevel 9 -> 0x88780999");
    call.op = "CreateSoundBuffer";
    call.buffer = "primary";
    call.arg1 = DSBCAPS_PRIMARYBUFFER | 0x100000;
    call.arg2 = 0;
    call.result = DS_OK;
    EXPECT_EQ(call.ToString(), "CreateSoundBuffer primary PRIMARYBUFFER|0x100000 0 -> DS_OK");
}

}  // namespace
