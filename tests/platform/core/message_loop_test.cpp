// The thread's message queue on the recording platform: timers, paint,
// posted and quit messages, window sizes, destruction and the clocks.
#include <algorithm>
#include <vector>

#include "tests/platform/core/platform_fixture.h"

namespace {

using MessageLoopTest = RecordingTest;

int TakeTimers() {
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) ++n;
    return n;
}

TEST_F(MessageLoopTest, TimerMessagesCoalesceWhileUnread) {
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SetTimer(window, 0, 40, nullptr), 1u);

    struct Step {
        DWORD advance;
        int timers;
    };
    // Five periods unread give one message; the next comes a whole period after
    // the last expiry, not after the late read.
    const Step steps[] = {{39, 0}, {1, 1}, {0, 0}, {200, 1}, {39, 0}, {1, 1}, {40, 1}, {80, 1}};
    for (const Step& s : steps) {
        platform.AdvanceTime(s.advance);
        EXPECT_EQ(TakeTimers(), s.timers) << "at " << platform.Now();
    }
}

TEST_F(MessageLoopTest, TimerSurvivesTheClockWrapping) {
    platform.SetTime(0xFFFFFFF0u);
    HWND window = MakeWindow();
    SetTimer(window, 0, 40, nullptr);
    platform.AdvanceTime(39);
    EXPECT_EQ(TakeTimers(), 0);
    platform.AdvanceTime(1);
    EXPECT_EQ(TakeTimers(), 1);
    EXPECT_EQ(timeGetTime(), 0x00000018u);
    EXPECT_EQ(timeGetTime() - 0xFFFFFFF0u, 40u);
}

// A short timer that is due again whenever its message is handled (a tick
// behind frames slower than it) leaves the others their turn: the one
// pending longest comes first.
TEST_F(MessageLoopTest, AShortTimerAlwaysDueStarvesNoOther) {
    HWND window = MakeWindow();
    SetTimer(window, 0, 40, nullptr);
    SetTimer(window, 77, 2000, nullptr);
    std::vector<UINT_PTR> order;
    MSG msg;
    for (int i = 0; i < 30; ++i) {
        platform.AdvanceTime(100);  // each message handled in 100 ms
        if (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) order.push_back(msg.wParam);
    }
    const auto stop = std::find(order.begin(), order.end(), UINT_PTR(77));
    ASSERT_NE(stop, order.end()) << "the long timer never came";
    EXPECT_EQ(stop - order.begin(), 20) << "due at 2000 ms, it comes at once";
    EXPECT_EQ(std::count(order.begin(), order.end(), UINT_PTR(0)), 29);
}

TEST_F(MessageLoopTest, KillTimerDropsThePendingMessage) {
    HWND window = MakeWindow();
    SetTimer(window, 7, 40, nullptr);
    platform.AdvanceTime(40);
    EXPECT_TRUE(KillTimer(window, 7));
    EXPECT_FALSE(KillTimer(window, 7));
    EXPECT_EQ(TakeTimers(), 0);
}

TEST_F(MessageLoopTest, PostedMessagesComeBeforePaintAndPaintBeforeTimers) {
    HWND window = MakeWindow();
    SetTimer(window, 0, 40, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);  // makes the window due for painting
    platform.AdvanceTime(40);
    PostMessageA(window, WM_USER + 1, 0, 0);
    PostMessageA(window, WM_USER + 2, 0, 0);

    std::vector<UINT> order;
    MSG msg;
    while (order.size() < 4 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(msg.message);
        DispatchMessageA(&msg);  // the default procedure validates on WM_PAINT
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_PAINT, WM_TIMER}));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageLoopTest, PaintStaysDueUntilValidated) {
    HWND window = MakeWindow();
    ShowWindow(window, SW_SHOW);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
    EXPECT_TRUE(ValidateRect(window, nullptr));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
}

TEST_F(MessageLoopTest, QuitEndsGetMessageWithItsCode) {
    MakeWindow();
    PostQuitMessage(3);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageLoopTest, SendCallsTheProcedureAtOncePostWaitsForDispatch) {
    HWND window = MakeWindow();
    log().clear();
    SendMessageA(window, WM_USER + 5, 1, 2);
    ASSERT_EQ(log().size(), 1u);
    EXPECT_EQ(log()[0].message, WM_USER + 5u);
    EXPECT_TRUE(PostMessageA(window, WM_USER + 6, 0, 0));
    EXPECT_EQ(log().size(), 1u);
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&platform), WM_USER, 0, 0));
}

TEST_F(MessageLoopTest, ShowingSendsTheClientSizeBelowTheMenuBar) {
    HWND window = MakeWindow();
    EXPECT_EQ(Count(WM_SIZE), 0u);  // nothing is sized before the window shows
    EXPECT_EQ(ShowWindow(window, SW_SHOWDEFAULT), FALSE);
    ASSERT_EQ(Count(WM_SIZE), 1u);
    const LoggedMessage& size = log().back();
    EXPECT_EQ(size.wParam, SIZE_RESTORED);
    EXPECT_EQ(LOWORD(size.lParam), 1024);
    EXPECT_EQ(HIWORD(size.lParam), 768 - RecordingPlatform::kMenuBarHeight);
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768 - RecordingPlatform::kMenuBarHeight);
    EXPECT_EQ(ShowWindow(window, SW_SHOWDEFAULT), TRUE);
}

TEST_F(MessageLoopTest, MinimizeSendsSizeMinimizedAndRestoreTheSizeAgain) {
    HWND window = MakeWindow();
    ShowWindow(window, SW_SHOW);
    log().clear();
    platform.Minimize();
    platform.Restore();
    platform.Resize(800, 619);
    platform.Resize(800, 619);  // the same size again is not a new WM_SIZE
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
    for (const LoggedMessage& m : log())
        if (m.message == WM_SIZE) sizes.push_back({m.wParam, m.lParam});
    const int clientHeight = 768 - RecordingPlatform::kMenuBarHeight;
    EXPECT_EQ(sizes, (std::vector<std::pair<WPARAM, LPARAM>>{{SIZE_MINIMIZED, 0},
                                                             {SIZE_RESTORED, MAKELPARAM(1024, clientHeight)},
                                                             {SIZE_RESTORED, MAKELPARAM(800, 600)}}));
}

TEST_F(MessageLoopTest, CloseDestroysThroughTheDefaultProcedure) {
    HWND window = MakeWindow();
    ShowWindow(window, SW_SHOW);
    SetTimer(window, 0, 40, nullptr);
    platform.CloseBox();
    PostMessageA(window, WM_USER, 0, 0);  // queued behind the close: dropped with the window
    MSG msg;
    std::vector<UINT> seen;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        seen.push_back(msg.message);
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(seen.front(), static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), static_cast<UINT>(WM_USER)), 0);
    EXPECT_EQ(Count(WM_DESTROY), 1u);
    EXPECT_FALSE(IsWindow(window));
    platform.AdvanceTime(400);
    EXPECT_EQ(TakeTimers(), 0);
}

TEST_F(MessageLoopTest, PollingLoopWaitsForTheScriptInsteadOfSpinning) {
    HWND window = MakeWindow();
    ShowWindow(window, SW_SHOW);
    ValidateRect(window, nullptr);
    SetTimer(window, 0, 40, nullptr);
    int ticks = 0;
    onMessage() = [&](HWND w, UINT message, WPARAM, LPARAM) {
        if (message == WM_TIMER && ++ticks == 25) DestroyWindow(w);
        return message == WM_TIMER;
    };
    // No script: each empty poll lets virtual time run to the next expiry.
    RunGameLoop(window, nullptr);
    EXPECT_EQ(ticks, 25);
    EXPECT_EQ(platform.Now(), 25u * 40u);
    // One idle call per tick: the loop never polled an empty queue twice in a row.
    EXPECT_EQ(platform.IdleCalls(), 25u);
}

TEST_F(MessageLoopTest, StartUpFailureSwitches) {
    platform.failures.registerClass = true;
    EXPECT_EQ(MakeWindow(), nullptr);
    platform.failures.registerClass = false;
    platform.failures.createWindow = true;
    EXPECT_EQ(MakeWindow(), nullptr);
    platform.failures.createWindow = false;
    EXPECT_NE(CreateWindowExA(0, "Tarvik 3D", "x", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
}

TEST_F(MessageLoopTest, RegisteringAClassTwiceFails) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowProc;
    wc.lpszClassName = "Twice";
    EXPECT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    wc.cbSize = 0;
    wc.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassExA(&wc), 0);
}

TEST_F(MessageLoopTest, ClocksRunOnVirtualTime) {
    platform.SetTime(1000);
    DWORD elapsed = ElapsedMillisecondsSinceStart();
    Sleep(250);
    EXPECT_EQ(timeGetTime(), 1250u);
    EXPECT_EQ(ElapsedMillisecondsSinceStart() - elapsed, 250u);
}

TEST_F(MessageLoopTest, ShellOpenIsRecordedAndChecked) {
    EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", "http://example.org/", nullptr, nullptr,
                                                      SW_SHOWNORMAL)),
              32);
    EXPECT_LE(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "print", "x", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_LE(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", "--help", nullptr, nullptr, SW_SHOWNORMAL)),
              32);
    EXPECT_EQ(platform.OpenedWithShell(), (std::vector<std::string>{"http://example.org/"}));
}

TEST_F(MessageLoopTest, MessageBoxesAreRecordedAndAnsweredOk) {
    HWND window = MakeWindow();
    EXPECT_EQ(MessageBoxA(window, "Fehler beim Initialisieren der Sounds", "Tarvik 3D",
                          MB_OK | MB_ICONHAND | MB_SETFOREGROUND),
              IDOK);
    ASSERT_EQ(platform.MessageBoxes().size(), 1u);
    const RecordedMessageBox& box = platform.MessageBoxes()[0];
    EXPECT_EQ(box.owner, window);
    EXPECT_EQ(box.text, "Fehler beim Initialisieren der Sounds");
    EXPECT_EQ(box.caption, "Tarvik 3D");
    EXPECT_EQ(box.type, MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
}

TEST_F(MessageLoopTest, AMessageBoxWithAScriptKeepsTheTimerTicking) {
    HWND window = MakeWindow();
    ShowWindow(window, SW_SHOW);
    ValidateRect(window, nullptr);
    SetTimer(window, 0, 40, nullptr);
    platform.OnMessageBox([](DialogDriver& box) {
        box.RunFor(200);
        box.PressKey(VK_RETURN);
    });
    log().clear();
    EXPECT_EQ(MessageBoxA(window, "DInput Fehler Kb: GetState() ", "Tarvik 3D", MB_OK), IDOK);
    EXPECT_EQ(Count(WM_TIMER), 5u);
    EXPECT_EQ(platform.MessageBoxes().size(), 1u);
}

}  // namespace
