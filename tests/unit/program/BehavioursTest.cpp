// What the character is asked to do: the double-click, the song and the six
// commands, as exact request streams.

#include "ProgramFixture.h"

namespace parlavox::testing {
namespace {

class BehavioursTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        startUpQuietly();
    }
    void setText(const QString& text) { frmSpeak().TextBox1().SetText(text); }
    void doubleClick() { control().userDoubleClicked(); }
    void choose(const QString& name) { control().userChose(name); }
    static QString speak(const QString& text) { return "Speak \"" + text + "\""; }
};

// --- double-click ---------------------------------------------------------

TEST_F(BehavioursTest, DoubleClickStopsPicksSetsBalloonThenSpeaksTaggedText) {
    doubleClick();
    EXPECT_EQ(requests(), (QStringList{"StopAll", "Balloon.Style 0",
                                       speak(R"(\Spd=150\\Pit=150\Hello there!)")}));
    EXPECT_EQ(frmSpeak().RandomIndex, 0);
}

TEST_F(BehavioursTest, DoubleClickPlaysAtMostOneRandomAnimationBeforeSpeaking) {
    randoms = {0.5f}; // 0.5 * 3 = 1.5 rounds to 2: the second entry
    doubleClick();
    EXPECT_EQ(requests(), (QStringList{"StopAll", R"(Play "Greet")", "Balloon.Style 0",
                                       speak(R"(\Spd=150\\Pit=150\Hello there!)")}));
    EXPECT_EQ(frmSpeak().RandomIndex, 2);
}

TEST_F(BehavioursTest, TagsCarryTheSlidersValues) {
    frmSpeak().sldSpeed().setValue(175);
    frmSpeak().Slider1().setValue(90);
    doubleClick();
    EXPECT_EQ(requests().last(), speak(R"(\Spd=175\\Pit=90\Hello there!)"));
}

TEST_F(BehavioursTest, EmptyTextSpeaksTheTagsAlone) {
    setText("");
    doubleClick();
    EXPECT_EQ(requests().last(), speak(R"(\Spd=150\\Pit=150\)"));
}

TEST_F(BehavioursTest, TypedBackslashesReachTheServiceUnchanged) {
    setText(R"(a\b \Chr="Whisper"\ c\\)");
    doubleClick();
    EXPECT_EQ(requests().last(), speak(R"(\Spd=150\\Pit=150\a\b \Chr="Whisper"\ c\\)"));
}

TEST_F(BehavioursTest, CreditsAreSaidBeforeTheTaggedWord) {
    setText("Credits");
    doubleClick();
    const QStringList r = requests();
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(r[0], "StopAll");
    EXPECT_TRUE(r[1].startsWith("Speak \"") && !r[1].contains('\\')) << r[1].toStdString();
    EXPECT_EQ(r[1].count('.') + r[1].count('!'), 3) << "three sentences";
    EXPECT_EQ(r[2], "Balloon.Style 0");
    EXPECT_EQ(r[3], speak(R"(\Spd=150\\Pit=150\Credits)"));
}

TEST_F(BehavioursTest, SpecialPhrasesAreExactAndCaseSensitive) {
    for (const QString text : {"credits", "CREDITS", "Credits ", "BBABOBBSFTBBSBBABBOBTMTBBB"}) {
        recording->requests.clear();
        setText(text);
        doubleClick();
        EXPECT_EQ(requests(), (QStringList{"StopAll", "Balloon.Style 0",
                                           speak(R"(\Spd=150\\Pit=150\)" + text)}))
            << text.toStdString();
    }
}

TEST_F(BehavioursTest, TongueTwisterAnswersItsInitials) {
    setText("bbabobbsftbbsbbabbobtmtbbb");
    doubleClick();
    EXPECT_EQ(
        requests(),
        (QStringList{"StopAll",
                     speak("Betty Bought a Bit of Butter But She Found The Butter Bitter so "
                           "Betty Bought a Better Bit of Butter to Make The Bitter Butter "
                           "Better."),
                     "Balloon.Style 0", speak(R"(\Spd=150\\Pit=150\bbabobbsftbbsbbabbobtmtbbb)")}));
}

TEST_F(BehavioursTest, ShowMeTheAnimationsNeedsSpeedExactly150) {
    setText("Show Me the Animations!");
    frmSpeak().Slider1().setValue(300); // the pitch plays no part
    for (int speed : {149, 151}) {
        frmSpeak().sldSpeed().setValue(speed);
        doubleClick();
        EXPECT_FALSE(frmAnimation().Visible()) << speed;
    }
    setText("show me the animations!");
    frmSpeak().sldSpeed().setValue(150);
    doubleClick();
    EXPECT_FALSE(frmAnimation().Visible());

    setText("Show Me the Animations!");
    recording->requests.clear();
    doubleClick();
    EXPECT_TRUE(frmAnimation().Visible());
    EXPECT_EQ(requests().last(), speak(R"(\Spd=150\\Pit=300\Show Me the Animations!)"));
    // Again while visible: it stays, one window.
    doubleClick();
    EXPECT_TRUE(frmAnimation().Visible());
    EXPECT_EQ(frmAnimation().AnimationListBox().ListCount(), 3);
}

TEST_F(BehavioursTest, FailingRequestStopsTheHandlerAtThatStep) {
    recording->failing.insert("Balloon.Style");
    doubleClick();
    EXPECT_EQ(requests(), QStringList{"StopAll"});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].prompt.contains("Balloon.Style"));
    EXPECT_EQ(quitStatus, 1);
    recording->failing.clear();
    doubleClick(); // the program has ended: nothing more runs
    EXPECT_EQ(requests(), QStringList{"StopAll"});
}

// --- the song -------------------------------------------------------------

QStringList songAt(int s) {
    auto line = [s](int offset, const QString& text) {
        return "Speak \"" + QString(R"(\chr="monotone"\\spd=)") + QString::number(s + offset) +
               text + "\"";
    };
    return {
        "Balloon.Style 0",
        line(60, R"(\\pit=120\Dai \pit=100\zee, \pit=80\Dai \pit=60\zee)"),
        line(120, R"(\\pit=68\Give \pit=74\me \pit=80\your \pit=68\an, \pit=80\ser \pit=60\true.)"),
        line(50, R"(\\pit=92\I'm \pit=120\half\pit=100\cray \pit=80\zee,)"),
        line(115, R"(\\pit=68\All \pit=74\for \pit=80\the \pit=80\love \pit=100\of \pit=92\you.)"),
        line(
            80,
            R"(\\pit=100\It \pit=112\won't \pit=110\be \pit=92\a \pit=120\sty-\pit=100\lish \pit=92\mare\pit=80\rege.)"),
        line(
            100,
            R"(\\pit=92\I \pit=100\can't \pit=80\a \pit=68\ford, \pit=80\a \pit=68\care- \pit=60\ridge.)"),
        line(100, R"(\\pit=60\But \pit=80\you'll \pit=100\look \pit=92\sweet,)"),
        line(90, R"(\\pit=60\Up \pit=80\on \pit=100\the \pit=92\seat.)"),
        line(
            100,
            R"(\\pit=100\Of \pit=112\a \pit=120\by \pit=100\sic \pit=80\cull \pit=92\built, \pit=60\for \pit=80\two.)"),
    };
}

TEST_F(BehavioursTest, SongAtSpeed150IsExact) {
    QTest::mouseClick(&frmSpeak().Command1(), Qt::LeftButton);
    EXPECT_EQ(requests(), songAt(150));
    EXPECT_EQ(
        requests()[1],
        speak(R"(\chr="monotone"\\spd=210\\pit=120\Dai \pit=100\zee, \pit=80\Dai \pit=60\zee)"));
}

TEST_F(BehavioursTest, SongFollowsTheSpeedSliderNotThePitchSlider) {
    frmSpeak().sldSpeed().setValue(100);
    frmSpeak().Slider1().setValue(400);
    frmSpeak().Command1_Click();
    EXPECT_EQ(requests(), songAt(100));
}

TEST_F(BehavioursTest, SingingTwiceQueuesTheSongTwiceWithoutStopping) {
    choose("AGENTWORLD");
    frmSpeak().Command1_Click();
    frmSpeak().Command1_Click();
    const QStringList r = requests();
    ASSERT_EQ(r.size(), 21);
    EXPECT_EQ(r.mid(1, 10), songAt(150));
    EXPECT_EQ(r.mid(11, 10), songAt(150));
    EXPECT_FALSE(r.contains("StopAll"));
}

// --- commands -------------------------------------------------------------

TEST_F(BehavioursTest, SayItSpeaksOnlyTheTaggedText) {
    setText("Credits");
    choose("AGENTWORLD");
    EXPECT_EQ(requests(), QStringList{speak(R"(\Spd=150\\Pit=150\Credits)")});
}

TEST_F(BehavioursTest, AdvancedOpensThePropertySheet) {
    choose("ACO");
    EXPECT_EQ(requests(), QStringList{"PropertySheet.Visible true"});
}

TEST_F(BehavioursTest, ChangeWhatToBeSaidShowsTheMainWindowKeepingItsValues) {
    setText("Keep me");
    frmSpeak().sldSpeed().setValue(225);
    choose("MASS");
    EXPECT_TRUE(frmSpeak().Visible());
    choose("MASS");
    EXPECT_TRUE(frmSpeak().Visible());
    QTest::mouseClick(&frmSpeak().CommandButton2(), Qt::LeftButton); // "Set"
    EXPECT_FALSE(frmSpeak().Visible());
    choose("MASS");
    EXPECT_EQ(frmSpeak().TextBox1().Text(), "Keep me");
    EXPECT_EQ(frmSpeak().sldSpeed().value(), 225);
    EXPECT_TRUE(requests().isEmpty());
}

TEST_F(BehavioursTest, RandomAnimationAndSingCallTheirProcedures) {
    randoms = {0.9f}; // 2.7 rounds to 3: the last entry
    choose("READPAGE");
    EXPECT_EQ(requests(), QStringList{R"(Play "Think")"});
    recording->requests.clear();
    choose("SING");
    EXPECT_EQ(requests(), songAt(150));
}

TEST_F(BehavioursTest, ShutUpAndQuitStopsThenEnds) {
    frmSpeak().Command1_Click();
    recording->requests.clear();
    choose("BYE");
    EXPECT_EQ(requests(), QStringList{"StopAll"});
    EXPECT_EQ(quitStatus, 0);
    EXPECT_TRUE(messages.empty());
    choose("SING");
    doubleClick();
    EXPECT_EQ(requests(), QStringList{"StopAll"}) << "no handler runs after the end";
}

TEST_F(BehavioursTest, ByeEndsAtOnce) {
    EXPECT_THROW(frmSpeak().AgentControl_Command({"BYE"}), toolkit::EndProgram);
    EXPECT_EQ(requests(), QStringList{"StopAll"});
}

TEST_F(BehavioursTest, UnknownAndCaseVariantNamesDoNothing) {
    for (const QString name : {"", "bye", "Sing", "ACO ", "HELP", "readpage"})
        choose(name);
    EXPECT_TRUE(requests().isEmpty());
    EXPECT_FALSE(toolkit::Ending());
    EXPECT_FALSE(frmSpeak().Visible());
}

TEST_F(BehavioursTest, RandomAnimationWithAnEmptyListPlaysNothing) {
    TearDown();
    SetUp();
    TearDown();
    ProgramTest::SetUp();
    recording->animationNames = {};
    startUpQuietly();
    randoms = {0.99f};
    choose("READPAGE");
    EXPECT_TRUE(requests().isEmpty());
    EXPECT_EQ(frmSpeak().RandomIndex, 0);
}

} // namespace
} // namespace parlavox::testing
