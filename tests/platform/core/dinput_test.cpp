// The DirectInput keyboard: the start-up sequence with its failure switches,
// and reads on the recording platform.
#include "platform/dinput.h"
#include "tests/platform/core/platform_fixture.h"

namespace {

class KeyboardTest : public RecordingTest {
protected:
    // The start-up sequence of the game's keyboard; the failed step, or "" on success.
    std::string Create() {
        Release();
        if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                      reinterpret_cast<void**>(&input), nullptr)))
            return "create";
        if (FAILED(input->CreateDevice(GUID_SysKeyboard, &device, nullptr))) return "device";
        if (FAILED(device->SetDataFormat(&c_dfDIKeyboard))) return "format";
        if (FAILED(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))) return "cooperative";
        if (FAILED(device->Acquire())) return "acquire";
        return "";
    }
    void Release() {
        SafeRelease(device);
        SafeRelease(input);
    }
    void TearDown() override { Release(); }

    HWND window = MakeWindow();
    IDirectInput8A* input = nullptr;
    IDirectInputDevice8A* device = nullptr;
};

TEST_F(KeyboardTest, EachStartUpStepCanBeMadeToFail) {
    using F = RecordingPlatform::Failures;
    struct Row {
        bool F::*which;
        const char* failedStep;
    };
    const Row rows[] = {{&F::directInputCreate, "create"},
                        {&F::createDevice, "device"},
                        {&F::setDataFormat, "format"},
                        {&F::setCooperativeLevel, "cooperative"},
                        {&F::acquire, "acquire"}};
    EXPECT_EQ(Create(), "");
    for (const Row& row : rows) {
        platform.failures = F{};
        platform.failures.*row.which = true;
        EXPECT_EQ(Create(), row.failedStep);
    }
}

TEST_F(KeyboardTest, ReadsTheKeysHeldDown) {
    ASSERT_EQ(Create(), "");
    platform.SetKeyDown(DIK_UP);
    platform.SetKeyDown(DIK_F12);
    BYTE keys[256];
    ASSERT_EQ(device->GetDeviceState(sizeof keys, keys), DI_OK);
    for (int k = 0; k < 256; ++k) EXPECT_EQ(keys[k], (k == DIK_UP || k == DIK_F12) ? 0x80 : 0x00) << k;
    platform.ReleaseAllKeys();
    ASSERT_EQ(device->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_UP], 0);
}

TEST_F(KeyboardTest, ALostKeyboardMustBeAcquiredAgain) {
    ASSERT_EQ(Create(), "");
    BYTE keys[256];
    platform.failures.read = RecordingPlatform::ReadFailure::InputLostOnce;
    EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
    EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    int acquires = platform.AcquireCalls();
    EXPECT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(platform.AcquireCalls(), acquires + 1);
    EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DI_OK);

    platform.failures.read = RecordingPlatform::ReadFailure::InputLostAlways;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
        device->Acquire();
    }
    platform.failures.read = RecordingPlatform::ReadFailure::OtherError;
    EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DIERR_INVALIDPARAM);
}

TEST_F(KeyboardTest, CallsOutOfOrderOrWithWrongArgumentsFail) {
    ASSERT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, reinterpret_cast<void**>(&input), nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(input, nullptr);
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, GUID_SysKeyboard, reinterpret_cast<void**>(&input),
                                 nullptr),
              DIERR_NOINTERFACE);
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, reinterpret_cast<void**>(&input),
                                 nullptr),
              DI_OK);
    EXPECT_EQ(input->CreateDevice(IID_IDirectInput8A, &device, nullptr), DIERR_DEVICENOTREG);
    ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
    BYTE keys[256];
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
    EXPECT_EQ(device->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND), E_NOTIMPL);
    ASSERT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(device->GetDeviceState(128, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->GetDeviceState(sizeof keys, nullptr), DIERR_INVALIDPARAM);
}

}  // namespace
