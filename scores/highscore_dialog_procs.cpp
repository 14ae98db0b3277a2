#include "scores/highscore_dialog_procs.h"

#include <cstring>

#include "platform/port/edit_refusal.h"
#include "resources/resource.h"

namespace {
// The caller's buffer of the open name entry; the entry is modal, so only one
// is open at a time.
char* nameBuffer = nullptr;

const char* const kRefusedLetter = "Dieses Zeichen kann die Bestenliste nicht speichern";
}  // namespace

INT_PTR HighscoreListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* table = reinterpret_cast<const HighscoreTable*>(lParam);
        if (table) {
            for (int place = 0; place < HighscoreTable::RowCount; ++place) {
                std::string time = FormatFixed(double(table->rows[place].time), 3, 12) + " sec";
                SetDlgItemTextA(dialog, IDC_TIME_PLACE[place], time.c_str());
            }
            for (int place = 0; place < HighscoreTable::RowCount; ++place)
                SetDlgItemTextA(dialog, IDC_NAME_PLACE[place], table->rows[place].name);
        }
        return TRUE;
    }
    // Only OK (or Enter) closes the list; Esc and the close box do nothing.
    if (message == WM_COMMAND && wParam == IDOK) EndDialog(dialog, 1);
    return FALSE;
}

INT_PTR NameEntryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        nameBuffer = reinterpret_cast<char*>(lParam);
        if (nameBuffer) SetDlgItemTextA(dialog, IDC_CONGRATULATION, nameBuffer);
        return TRUE;
    }
    // A letter the table cannot keep is not typed; the player is told why
    // rather than left to wonder where it went.
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_NAME_ENTRY && HIWORD(wParam) == EN_REFUSEDCHAR) {
        SetDlgItemTextA(dialog, IDC_NAME_REFUSED, kRefusedLetter);
        return TRUE;
    }
    // The entry cannot be cancelled: only OK (or Enter) ends it.
    if (message == WM_COMMAND && wParam == IDOK) {
        if (nameBuffer) GetDlgItemTextA(dialog, IDC_NAME_ENTRY, nameBuffer, 256);
        EndDialog(dialog, 1);
    }
    return FALSE;
}

void GameHighscoreDialogs::ShowList(const HighscoreTable& table) {
    DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_HIGHSCORE_LIST), owner_, HighscoreListProc,
                    reinterpret_cast<LPARAM>(&table));
}

void GameHighscoreDialogs::AskName(char (&buffer)[256]) {
    DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_NAME_ENTRY), owner_, NameEntryProc,
                    reinterpret_cast<LPARAM>(&buffer[0]));
    buffer[255] = '\0';
}
