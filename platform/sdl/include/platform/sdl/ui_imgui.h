// The Dear ImGui layer of the SDL window back-end: it draws the menu bar,
// dialogs and message boxes over a window's presented frames.
#pragma once

#include <cstdint>

#include "platform/core/win_core.h"

union SDL_Event;
struct SDL_Window;

// Makes the ImGui context for the one window that carries the user interface:
// style, the dialog font and its base units. False if ImGui could not start.
bool UiCreate(SDL_Window* window);
// Begins rendering the dialog font on a thread of its own, so that UiCreate
// finds it done. Before any ImGui context exists; at most once.
void UiPrepareFontAtlas();
void UiDestroy();
bool UiActive();
// Passes an SDL event to ImGui.
void UiProcessEvent(const SDL_Event& event);
// Draws the menu bar and the open dialogs of `window` into the current GL
// framebuffer (the OpenGL device calls it through DrawWindowOverlay).
void UiDrawOverlay(HWND window);
// Height of the menu bar in pixels, from the font.
int UiMenuBarHeight();
// Whether a pop-up of the menu bar is open: it was in the last frame, or the
// keys have opened one for the next.
bool UiMenuOpen();
// The menu bar from the keys: the first pop-up opens with its first item
// chosen. False when the window has no menu bar that can open now.
bool UiOpenMenuBar(WindowObject& window);
// Every pop-up closes, also one the mouse opened.
void UiCloseMenus();
// A key for the open pop-up: the arrows move between the items and the
// pop-ups, Enter chooses (WM_COMMAND), Esc closes.
void UiMenuKey(UINT virtualKey);
// Whether typed characters are waiting for the next frame.
bool UiTextPending();
// Milliseconds (of MonotonicMilliseconds) of the last frame drawn, 0 before any.
std::uint64_t UiLastFrameTime();
// Dialog base units of the dialog font: average character width and height.
int UiBaseUnitX();
int UiBaseUnitY();
