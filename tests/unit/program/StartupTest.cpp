// Start-up: the file dialog, cancel, seeding the main window,
// loading the character and what a failing load leaves behind.

#include "ProgramFixture.h"

#include <QDir>

namespace parlavox::testing {
namespace {

using StartupTest = ProgramTest;

TEST_F(StartupTest, DialogOpensInTheDataFoldersCharacterFolder) {
    startUp();
    ASSERT_EQ(dialogRequests.size(), 1u);
    const auto& r = dialogRequests[0];
    EXPECT_EQ(r.title, "Open Agent Character");
    EXPECT_EQ(r.directory, QDir::cleanPath(toolkit::DataFolder()) + "/agent/chars");
    EXPECT_EQ(r.nameFilters, QStringList{"Agent Characters (*.acs)"});
    EXPECT_TRUE(r.selectedFilter == 0 && r.hideReadOnly);
    EXPECT_EQ(frmSplash().Dlg().FilterIndex, 1);
    EXPECT_FALSE(frmSplash().Timer1().Enabled());
}

TEST_F(StartupTest, ChosenFileSeedsTheMainWindowAndBringsUpTheCharacter) {
    startUp("/home/user/chars/HANZ.ACS");
    ASSERT_FALSE(toolkit::Ending());
    EXPECT_EQ(requests(),
              (QStringList{
                  "Connected true",
                  R"(Characters.Load "Merlin" "/home/user/chars/HANZ.ACS")",
                  "Show",
                  "Commands.RemoveAll",
                  R"(Commands.Add "ACO" "Advanced Character Options" "Advanced")",
                  R"(Commands.Add "AGENTWORLD" "Say It" "Say It")",
                  R"(Commands.Add "MASS" "Change What to be Said" "Change What to be Said")",
                  R"(Commands.Add "READPAGE" "Random Animation" "Random Animation")",
                  R"(Commands.Add "SING" "Sing" "Sing")",
                  R"(Commands.Add "BYE" "Shut Up and Quit" "Shut Up! & Quit")",
              }));
    EXPECT_EQ(frmSpeak().TextBox1().Text(), "Hello there!");
    EXPECT_EQ(frmSpeak().sldSpeed().value(), 150);
    EXPECT_EQ(frmSpeak().Slider1().value(), 150);
    EXPECT_EQ(frmSpeak().Label4().text(), "HANZ.ACS");
    EXPECT_FALSE(frmSplash().Visible() || frmSpeak().Visible() || frmAnimation().Visible());
    EXPECT_EQ(frmSpeak().Timer1().Enabled() ? frmSpeak().Timer1().Interval() : 0, 15000);
}

TEST_F(StartupTest, AnimationListKeepsTheServicesOrderAndCountsWithoutSingular) {
    for (const QStringList& names :
         {QStringList{"Wave", "Acknowledge", "Blink"}, QStringList{}, QStringList{"Idle1_1"}}) {
        restart();
        recording->animationNames = names;
        startUp();
        QStringList shown{frmAnimation().Label2().text()}; // the count, then the list
        for (int i = 0; i < frmAnimation().AnimationListBox().ListCount(); ++i)
            shown << frmAnimation().AnimationListBox().List(i);
        EXPECT_EQ(shown, QStringList{QString::number(names.size()) + " animations"} + names);
    }
}

TEST_F(StartupTest, CancelShowsTheMessageAndEndsWithoutACharacter) {
    startUp(QString());
    EXPECT_EQ(messages, QStringList{"16: No agent character loaded; Parlavox will now close."});
    EXPECT_EQ(quitStatus, 0);
    EXPECT_TRUE(requests().isEmpty());
    EXPECT_FALSE(frmSpeak().Loaded());
}

// A failing request ends start-up at that step through the error report; with
// no engine at all, the same report.
TEST_F(StartupTest, LoadFailureEndsThroughTheErrorReportWithNothingSeeded) {
    recording->failing.insert("Characters.Load");
    startUp("/tmp/broken.acs");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("16: ") && messages[0].contains("/tmp/broken.acs"))
        << messages[0].toStdString();
    EXPECT_EQ(quitStatus, 1);
    EXPECT_EQ(requests(), QStringList{"Connected true"});
    EXPECT_FALSE(frmAnimation().Loaded()); // the list was never touched
    EXPECT_TRUE(frmSplash().Visible());    // start-up window still showing
    EXPECT_EQ(frmSpeak().TextBox1().Text(), "");
    restart();
    agentctl::SetControlFactory(nullptr);
    startUp();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("the character engine is not available"));
    EXPECT_EQ(quitStatus, 1);
}

// Any non-empty path is tried, and a Show that fails does not stop start-up.
TEST_F(StartupTest, AnyPathIsLoadedAndAFailingShowIsIgnored) {
    recording->failing.insert("Show");
    startUp("notes.txt");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(requests().value(1), R"(Characters.Load "Merlin" "notes.txt")");
    EXPECT_EQ(frmSpeak().Label4().text(), "notes.txt");
    EXPECT_EQ(requests().filter("Commands.Add").size(), 6);
}

} // namespace
} // namespace parlavox::testing
