// The two modal dialogs the highscore table opens: the list (dialog 151) and the
// name entry (dialog 152). The game implements them on the platform's dialog
// manager; tests implement them to script the player.
#pragma once

class HighscoreTable;

class HighscoreDialogs {
public:
    virtual ~HighscoreDialogs() = default;
    // Dialog 151, modal: shows the five rows of the table.
    virtual void ShowList(const HighscoreTable& table) = 0;
    // Dialog 152, modal: buffer holds the congratulation text on entry and the
    // typed name on return, both in Windows-1252 and zero-terminated.
    virtual void AskName(char (&buffer)[256]) = 0;
};
