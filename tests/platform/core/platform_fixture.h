// A window on the recording platform whose procedure logs what it receives,
// and the game's message loop, for the platform tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/win.h"
#include "platform/recording/win_recording.h"
#include "tests/support/test_backends.h"
#include "resources/resource.h"
#include "resources/resources.h"

struct LoggedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingTest : public ::testing::Test {
protected:
    RecordingTest() {
        RegisterGameResources();
        log().clear();
        onMessage() = nullptr;
    }
    ~RecordingTest() override { onMessage() = nullptr; }

    static std::vector<LoggedMessage>& log() {
        static std::vector<LoggedMessage> messages;
        return messages;
    }
    // Extra behaviour of the window procedure; return true when handled.
    using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM)>;
    static Handler& onMessage() {
        static Handler handler;
        return handler;
    }

    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        log().push_back({message, wParam, lParam});
        if (onMessage() && onMessage()(window, message, wParam, lParam)) return 0;
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    // The game's window: class with menu 109, 1024 x 768, not shown yet.
    HWND MakeWindow() {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &WindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(IDI_TARVIK));
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
        wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU);
        wc.lpszClassName = "Tarvik 3D";
        wc.hIconSm = wc.hIcon;
        if (!RegisterClassExA(&wc)) return nullptr;
        return CreateWindowExA(0, "Tarvik 3D", "Tarvik 3D", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }

    // The game's loop: poll, take, accelerators, dispatch; ends on WM_QUIT.
    static void RunGameLoop(HWND window, HACCEL accelerators) {
        MSG msg;
        for (;;) {
            if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) continue;
            if (GetMessageA(&msg, nullptr, 0, 0) == 0) return;
            if (!TranslateAcceleratorA(window, accelerators, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }

    static size_t Count(UINT message) {
        size_t n = 0;
        for (const LoggedMessage& m : log())
            if (m.message == message) ++n;
        return n;
    }
    static std::vector<WPARAM> Commands() {
        std::vector<WPARAM> commands;
        for (const LoggedMessage& m : log())
            if (m.message == WM_COMMAND) commands.push_back(m.wParam);
        return commands;
    }

    RecordingPlatform platform;
    TestBackends backends{&platform, nullptr};
};
