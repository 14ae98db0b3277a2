// The back buffer of the benchmarks' game at a size of their choosing.
#pragma once

#include <SDL.h>

#include "app/game.h"
#include "platform/sdl/native_window.h"

// Resizes the game's window until its back buffer is width x height. Only the
// window's own messages are handled meanwhile: timer ticks are dropped, so
// the game stands where it started.
inline bool ResizeBackBuffer(Game& game, UINT width, UINT height) {
    SDL_Window* native = NativeWindowOf(game.shell.mainWindow);
    const D3DPRESENT_PARAMETERS& pp = game.graphics.presentParams;
    if (!native) return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        int w = 0, h = 0;
        SDL_GetWindowSize(native, &w, &h);
        if (pp.BackBufferWidth == width && pp.BackBufferHeight == height) return true;
        SDL_SetWindowSize(native, w + int(width) - int(pp.BackBufferWidth), h + int(height) - int(pp.BackBufferHeight));
        const Uint64 until = SDL_GetTicks64() + 1000;
        while (SDL_GetTicks64() < until &&
               !(pp.BackBufferWidth == width && pp.BackBufferHeight == height)) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                if (msg.message != WM_TIMER) DispatchMessageA(&msg);
            SDL_Delay(5);
        }
    }
    return pp.BackBufferWidth == width && pp.BackBufferHeight == height;
}
