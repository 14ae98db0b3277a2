// The highscore list (dialog 151) and the name entry (dialog 152) on the
// platform's dialog manager.
#pragma once

#include "platform/win.h"
#include "scores/highscore_dialogs.h"
#include "scores/highscore_table.h"

INT_PTR HighscoreListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR NameEntryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the two dialogs modally, owned by the window the references name
// (read when a dialog opens, so they may be filled in after construction).
class GameHighscoreDialogs : public HighscoreDialogs {
public:
    GameHighscoreDialogs(const HINSTANCE& instance, const HWND& owner) : instance_(instance), owner_(owner) {}
    void ShowList(const HighscoreTable& table) override;
    void AskName(char (&buffer)[256]) override;

private:
    const HINSTANCE& instance_;
    const HWND& owner_;
};
