// Edit fields that say what they refuse, which the port adds. An edit field
// holds Windows-1252 text, as the game's files keep it. A character typed or
// pasted that the code page cannot hold is refused as it comes, and the
// dialog is told with WM_COMMAND: the field's id in the low word of wParam,
// EN_REFUSEDCHAR in the high word, the field's window in lParam. Windows
// would quietly put a question mark in its place; the game would rather say
// why the letter did not come.
#pragma once

#include "platform/win.h"

constexpr WORD EN_REFUSEDCHAR = 0x0E01;
