// Names keep their letters: the name entry takes what high.dat's Windows-1252
// can keep, and a letter without a form there is refused as it is typed, with
// a line under the field that says why, instead of vanishing from the name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/dinput.h"
#include "resources/resource.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"
#include "tests/support/working_folder.h"

namespace {

struct Entered {
    std::string lineAfterTyping;  // the line under the field
    std::string lineAtStart;
    std::string field;            // the field as typed, Windows-1252
    std::string firstRow;         // high.dat's first line
};

// A whole game: a lap with the autopilot, then Esc; `typed` goes into the name
// entry as the window system hands typed text over, in UTF-8.
Entered EnterName(const std::string& typed) {
    GameFiles files;
    files.highscores = (TestFolder() / "names-high.dat").string();
    std::filesystem::remove(files.highscores);
    GameSession session(DataFolder(), files);
    Entered out;
    session.platform.OnDialog(IDD_NAME_ENTRY, [&](DialogDriver& d) {
        out.lineAtStart = d.ItemText(IDC_NAME_REFUSED);
        d.TypeUtf8(IDC_NAME_ENTRY, typed);
        out.lineAfterTyping = d.ItemText(IDC_NAME_REFUSED);
        out.field = d.ItemText(IDC_NAME_ENTRY);
        d.Click(IDOK);
    });
    EXPECT_TRUE(session.Start());
    if (!session.game().graphics.device) return out;
    Game& game = session.game();
    session.Device()->recording = false;
    Autopilot pilot(game.course);
    session.Play(1500, [&](std::uint64_t tick) {
        session.platform.SetKeyDown(DIK_SPACE, tick < 3);
        if (game.race.titleShowing) return;
        const AutopilotKeys k = pilot.Drive(game.car);
        session.platform.SetKeyDown(DIK_UP, k.up);
        session.platform.SetKeyDown(DIK_DOWN, k.down);
        session.platform.SetKeyDown(DIK_LEFT, k.left);
        session.platform.SetKeyDown(DIK_RIGHT, k.right);
    });
    session.End();
    std::ifstream in(files.highscores, std::ios::binary);
    std::getline(in, out.firstRow);
    return out;
}

TEST(NameEntry, LettersTheTableCannotKeepAreRefusedWithALineThatSaysWhy) {
    const std::string why = "Dieses Zeichen kann die Bestenliste nicht speichern";
    struct Case {
        const char* label;
        std::string typed;   // UTF-8
        std::string stored;  // Windows-1252
        bool refused;
    };
    const Case cases[] = {
        {"letters of Windows-1252, outside Latin-1 too", "\u0160\u00e1rka M\u00fcller \u0152", "\x8A\xE1rka M\xFCller \x8C",
         false},
        {"a Polish letter without a form there", "\u0141ukasz", "ukasz", true},
        {"a Chinese name", "\u674e Wei", " Wei", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Entered e = EnterName(c.typed);
        EXPECT_EQ(e.lineAtStart, "");
        EXPECT_EQ(e.lineAfterTyping, c.refused ? why : "");
        EXPECT_EQ(e.field, c.stored);
        // The name reaches the file as the field holds it: nothing more is lost.
        const std::size_t comma = e.firstRow.find(',');
        ASSERT_NE(comma, std::string::npos) << e.firstRow;
        EXPECT_EQ(e.firstRow.substr(comma + 1), c.stored + "\r");
    }
}

}  // namespace
