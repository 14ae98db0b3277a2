// The SDL window back-end: windows, events, the keyboard, message boxes and
// the shell on SDL2, with the menu bar and dialogs drawn by Dear ImGui over
// each presented frame (platform/sdl/ui_imgui.h). Installed by
// platform/desktop; the real-window tests wrap it.
#pragma once

#include "platform/core/win_core.h"

// The one SDL window back-end, made on first use; it lasts the whole process.
WinBackend& SdlBackend();

// Begins, on a thread of its own, what the first window needs and takes long
// to make: the dialog font, rendered while SDL's video starts.
void WarmUpSdlBackend();
