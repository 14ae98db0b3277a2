// Offering a lap to the table: the place search, ties, the dialogs and the name.
#include "scores_fixture.h"

namespace scores_test {
namespace {

using InsertTest = TempFolder;

struct InsertCase {
    const char* label;
    std::vector<Row> before;
    unsigned milliseconds;
    std::vector<Row> after;  // the new row holds the typed name "Neu"
};

const std::vector<Row> kFull = {{10.0f, "A"}, {20.0f, "B"}, {30.0f, "C"}, {40.0f, "D"}, {50.0f, "E"}};

TEST_F(InsertTest, PlacesTheLapAndAsksForANameOnlyWhenItEnters) {
    const InsertCase cases[] = {
        {"empty table", {}, 12345, {{Lap(12345), "Neu"}}},
        {"slower than row 5", kFull, 60000, kFull},
        {"equal to row 5", kFull, 50000, kFull},
        {"just better than row 5", kFull, 49999,
         {{10.0f, "A"}, {20.0f, "B"}, {30.0f, "C"}, {40.0f, "D"}, {Lap(49999), "Neu"}}},
        {"best lap pushes row 5 out", kFull, 5000,
         {{Lap(5000), "Neu"}, {10.0f, "A"}, {20.0f, "B"}, {30.0f, "C"}, {40.0f, "D"}}},
        {"tie goes below the earlier lap", {{10.0f, "A"}, {Lap(12500), "B"}, {20.0f, "C"}}, 12500,
         {{10.0f, "A"}, {Lap(12500), "B"}, {Lap(12500), "Neu"}, {20.0f, "C"}}},
        {"tie with a 12.5 read from a file", {{10.0f, "A"}, {12.5f, "B"}, {20.0f, "C"}}, 12500,
         {{10.0f, "A"}, {12.5f, "B"}, {Lap(12500), "Neu"}, {20.0f, "C"}}},
        {"tie with a row in the middle of a full table", {{10.0f, "A"}, {20.0f, "B"}, {20.0f, "C"}, {40.0f, "D"},
                                                          {50.0f, "E"}}, 20000,
         {{10.0f, "A"}, {20.0f, "B"}, {20.0f, "C"}, {Lap(20000), "Neu"}, {40.0f, "D"}}},
        {"below the filled rows of a partly filled table", {{10.0f, "A"}, {20.0f, "B"}, {30.0f, "C"}}, 35000,
         {{10.0f, "A"}, {20.0f, "B"}, {30.0f, "C"}, {Lap(35000), "Neu"}}},
        {"0 ms takes the first place with time 0.0", {{10.0f, "A"}, {20.0f, "B"}}, 0,
         {{0.0f, "Neu"}, {10.0f, "A"}, {20.0f, "B"}}},
        {"a 0.0 row counts as empty", {{0.0f, "Null"}, {10.0f, "A"}, {20.0f, "B"}}, 5000,
         {{Lap(5000), "Neu"}, {0.0f, "Null"}, {10.0f, "A"}, {20.0f, "B"}}},
        {"longest possible lap", {{10.0f, "A"}}, 4294967295u, {{10.0f, "A"}, {Lap(4294967295u), "Neu"}}},
    };
    for (const InsertCase& c : cases) {
        SCOPED_TRACE(c.label);
        HighscoreTable table(file);
        ScriptedDialogs dialogs;
        table.SetDialogs(&dialogs);
        Fill(table, c.before);
        table.Insert(c.milliseconds);
        EXPECT_EQ(RowsOf(table), Table(c.after));
        const std::vector<std::string> expectedCalls = {"AskName", "ShowList"};
        const bool changed = Table(c.before) != Table(c.after);
        EXPECT_EQ(dialogs.calls, changed ? expectedCalls : std::vector<std::string>());
    }
}

TEST_F(InsertTest, LapTimeIsTheSinglePrecisionProductOfTheMilliseconds) {
    // 12500 * 0.001f rounds up to the float above 12.5: the file then shows 12.500001.
    HighscoreTable table(file);
    table.Insert(12500);
    EXPECT_EQ(table.rows[0].time, 12.50000095367431640625f);
    EXPECT_GT(table.rows[0].time, 12.5f);
}

TEST_F(InsertTest, ListShowsTheNewRowWithItsName) {
    HighscoreTable table(file);
    ScriptedDialogs dialogs("Kurt");
    table.SetDialogs(&dialogs);
    Fill(table, {{10.0f, "A"}, {20.0f, "B"}});
    table.Insert(15000);
    EXPECT_EQ(dialogs.listedRows, Table({{10.0f, "A"}, {Lap(15000), "Kurt"}, {20.0f, "B"}}));
}

TEST_F(InsertTest, WithoutDialogsTheLapEntersWithAnEmptyName) {
    HighscoreTable table(file);
    Fill(table, {{10.0f, "A"}});
    table.Insert(5000);
    EXPECT_EQ(RowsOf(table), Table({{Lap(5000), ""}, {10.0f, "A"}}));
}

TEST_F(InsertTest, CongratulationTextByteForByte) {
    struct Case {
        std::vector<Row> before;
        unsigned milliseconds;
        std::string text;
    };
    const Case cases[] = {
        {{}, 12345, "Gl\xFC" "ckwunsch, du hast mit       12.345 sec. den 1. Platz  erreicht!"},
        {{{10.0f, "A"}, {20.0f, "B"}}, 83457,
         "Gl\xFC" "ckwunsch, du hast mit       83.457 sec. den 3. Platz  erreicht!"},
        {kFull, 45000, "Gl\xFC" "ckwunsch, du hast mit       45.000 sec. den 5. Platz  erreicht!"},
        {{}, 4294967295u, "Gl\xFC" "ckwunsch, du hast mit  4294967.500 sec. den 1. Platz  erreicht!"},
        {{}, 0, "Gl\xFC" "ckwunsch, du hast mit        0.000 sec. den 1. Platz  erreicht!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.milliseconds);
        HighscoreTable table(file);
        ScriptedDialogs dialogs;
        table.SetDialogs(&dialogs);
        Fill(table, c.before);
        table.Insert(c.milliseconds);
        EXPECT_EQ(dialogs.shownText, c.text);
    }
}

TEST_F(InsertTest, TypedNameIsStoredSafelyAndCutAt38Characters) {
    struct Case {
        const char* label;
        std::string typed;
        std::string stored;
    };
    const std::string fifty = "Maximilian Alexander von und zu Hohenstein-Ostrau!";
    ASSERT_EQ(fifty.size(), 50u);
    const Case cases[] = {
        {"plain", "Kurt", "Kurt"},
        {"empty", "", ""},
        {"commas and blanks", " Anna, die Schnelle ", " Anna, die Schnelle "},
        {"Windows-1252 umlauts", "J\xFCrgen \xC4rger \xDF", "J\xFCrgen \xC4rger \xDF"},
        {"exactly 38", std::string(38, 'n'), std::string(38, 'n')},
        {"50 characters", fifty, fifty.substr(0, 38)},
        {"255 characters", std::string(255, 'L'), std::string(38, 'L')},
        {"line breaks and tabs cannot break the file's line", "Zeile\r\nzwei\tdrei", "Zeile  zwei drei"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(file);  // the previous case's table saved itself there
        HighscoreTable table(file);
        ScriptedDialogs dialogs(c.typed);
        table.SetDialogs(&dialogs);
        table.Insert(30000);
        EXPECT_EQ(std::string(table.rows[0].name), c.stored);
    }
}

TEST_F(InsertTest, DialogLeavingNoTerminatingZeroStillGivesA38CharacterName) {
    HighscoreTable table(file);
    ScriptedDialogs dialogs;
    dialogs.fillWithoutZero = true;
    table.SetDialogs(&dialogs);
    table.Insert(30000);
    EXPECT_EQ(std::string(table.rows[0].name), std::string(38, 'x'));
}

TEST_F(InsertTest, FiftyCharacterNameSurvivesSaveAndLoadAs38) {
    const std::string fifty(50, 'F');
    {
        HighscoreTable table(file);
        ScriptedDialogs dialogs(fifty);
        table.SetDialogs(&dialogs);
        table.Insert(30000);
    }  // saved here
    HighscoreTable reloaded(file);
    EXPECT_EQ(std::string(reloaded.rows[0].name), fifty.substr(0, 38));
    EXPECT_EQ(reloaded.rows[0].time, Lap(30000));
}

}  // namespace
}  // namespace scores_test
