// The info dialog's "Weitere Infos zu Tarvik3D" in a whole game on the
// recording platform: the page's address goes to the desktop's opener; where
// there is none or it fails, a message box gives the address to copy. The
// dialog stays open either way, and the game ticks on behind it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"
#include "resources/resource.h"
#include "tests/support/game_session.h"
#include "tests/support/working_folder.h"

namespace {

struct OpenerCase {
    const char* name;
    bool openerFails;
};

TEST(InfoDialog, TheButtonOpensThePageOrGivesItsAddressToCopy) {
    const OpenerCase cases[] = {{"an opener that opens the page", false}, {"no opener, or one that fails", true}};
    for (const OpenerCase& c : cases) {
        SCOPED_TRACE(c.name);
        GameSession session;
        RecordingPlatform& platform = session.platform;
        platform.failures.openWithShell = c.openerFails;
        ASSERT_TRUE(session.Start());
        Game& game = session.game();
        const std::string address = InfoPageAddress();
        int clicks = 0;
        bool openAfterClick = false;
        std::uint32_t framesBehind = 0;
        platform.OnDialog(IDD_INFO, [&](DialogDriver& d) {
            if (clicks == 0) {
                d.Click(IDC_MORE_INFO);
                ++clicks;
                const std::uint32_t before = game.drawStats.frameCount;
                d.RunFor(400);
                framesBehind = game.drawStats.frameCount - before;
                openAfterClick = !d.Closed();
                d.Click(IDOK);
            }
        });
        session.Play(20, [&](std::uint64_t tick) {
            if (tick == 5) PostMessageA(game.shell.mainWindow, WM_COMMAND, IDM_INFO, 0);
        });
        EXPECT_EQ(clicks, 1);
        EXPECT_TRUE(openAfterClick) << "the button closed the dialog";
        EXPECT_GE(framesBehind, 5u) << "the game stood still behind the dialog";
        std::vector<RecordedMessageBox> boxes;
        for (const RecordedMessageBox& box : platform.MessageBoxes())
            if (box.caption == "Tarvik 3D") boxes.push_back(box);
        if (c.openerFails) {
            EXPECT_TRUE(platform.OpenedWithShell().empty());
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text,
                      "Die Seite konnte nicht ge\xF6" "ffnet werden.\nDie Adresse zum Kopieren:\n" + address);
            EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
        } else {
            EXPECT_EQ(platform.OpenedWithShell(), std::vector<std::string>{address});
            EXPECT_TRUE(boxes.empty());
        }
    }
}

// The address is one word a browser takes as it is, whatever the folder is called.
TEST(InfoDialog, ThePagesAddressEscapesBlanksAndLettersBeyondAscii) {
    const std::filesystem::path folder = TestFolder() / "Meine Spiele" / "J\u00fcrgen's 100%";
    std::filesystem::create_directories(folder);
    WorkingFolder in(folder);
    const std::string address = InfoPageAddress();
    const std::string expectedEnd = "/Meine%20Spiele/J%C3%BCrgen%27s%20100%25/info/tarvik3d.html";
    ASSERT_GE(address.size(), expectedEnd.size());
    EXPECT_EQ(address.substr(0, 8), "file:///");
    EXPECT_EQ(address.substr(address.size() - expectedEnd.size()), expectedEnd);
    for (unsigned char ch : address) EXPECT_TRUE(ch > 0x20 && ch < 0x7F) << address;
}

}  // namespace
