// What the character is asked to do: the double-click, the song and the six
// commands, as exact request streams.

#include "ProgramFixture.h"

#include <QRegularExpression>

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

// Stop, perhaps a random animation, the balloon style, then the text with the sliders'
// speed and pitch in front, as typed.
TEST_F(BehavioursTest, DoubleClickStopsPicksSetsTheBalloonThenSpeaksTaggedText) {
    const struct {
        const char* what;
        QString text;
        int speed, pitch;
        float random;
        const char* played; // "" for nothing
        int randomIndex;
    } cases[] = {
        {"nothing picked", "Hello there!", 150, 150, 0.0f, "", 0},
        {"0.5 * 3 rounds to 2: the second entry", "Hello there!", 150, 150, 0.5f, "Greet", 2},
        {"the sliders' values", "Hello there!", 175, 90, 0.0f, "", 0},
        {"empty text", "", 150, 150, 0.0f, "", 0},
        {"typed backslashes", R"(a\b \Chr="Whisper"\ c\\)", 150, 150, 0.0f, "", 0},
        {"special phrases are exact", "CREDITS", 150, 150, 0.0f, "", 0},
        {"... and case-sensitive", "BBABOBBSFTBBSBBABBOBTMTBBB", 150, 150, 0.0f, "", 0},
    };
    for (const auto& c : cases) {
        recording->requests.clear();
        setText(c.text);
        frmSpeak().sldSpeed().setValue(c.speed);
        frmSpeak().Slider1().setValue(c.pitch);
        randoms = {c.random};
        doubleClick();
        QStringList want{"StopAll"};
        if (*c.played)
            want << QStringLiteral("Play \"%1\"").arg(QLatin1String(c.played));
        want << "Balloon.Style 0"
             << speak(QStringLiteral(R"(\Spd=%1\\Pit=%2\)").arg(c.speed).arg(c.pitch) + c.text);
        EXPECT_EQ(requests(), want) << c.what;
        EXPECT_EQ(frmSpeak().RandomIndex, c.randomIndex) << c.what;
    }
}

// The credits and the tongue twister's initials are said, untagged, before the text.
TEST_F(BehavioursTest, SpecialPhrasesAreSaidBeforeTheTaggedText) {
    setText("Credits");
    doubleClick();
    QStringList r = requests();
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(r[0], "StopAll");
    EXPECT_TRUE(r[1].startsWith("Speak \"") && !r[1].contains('\\')) << r[1].toStdString();
    EXPECT_EQ(r[1].count('.') + r[1].count('!'), 3) << "three sentences";
    EXPECT_EQ(r.mid(2), (QStringList{"Balloon.Style 0", speak(R"(\Spd=150\\Pit=150\Credits)")}));
    recording->requests.clear();
    setText("bbabobbsftbbsbbabbobtmtbbb");
    doubleClick();
    EXPECT_EQ(requests().value(1),
              speak("Betty Bought a Bit of Butter But She Found The Butter Bitter so Betty Bought "
                    "a Better Bit of Butter to Make The Bitter Butter Better."));
}

TEST_F(BehavioursTest, ShowMeTheAnimationsNeedsSpeedExactly150) {
    frmSpeak().Slider1().setValue(300); // the pitch plays no part
    for (const auto& [text, speed] : {std::pair{"Show Me the Animations!", 149},
                                      {"Show Me the Animations!", 151},
                                      {"show me the animations!", 150}}) {
        setText(text);
        frmSpeak().sldSpeed().setValue(speed);
        doubleClick();
        EXPECT_FALSE(frmAnimation().Visible()) << text << " " << speed;
    }
    setText("Show Me the Animations!");
    recording->requests.clear();
    doubleClick();
    EXPECT_TRUE(frmAnimation().Visible());
    EXPECT_EQ(requests().last(), speak(R"(\Spd=150\\Pit=300\Show Me the Animations!)"));
    doubleClick(); // again while visible: it stays, one window
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

// The song: the balloon style, then nine monotone lines, each at its own speed
// above the speed slider, whatever the pitch slider says.
TEST_F(BehavioursTest, SongIsTheTuneInOrderAtSpeedsAboveTheSlider) {
    QTest::mouseClick(&frmSpeak().Command1(), Qt::LeftButton);
    const QStringList at150 = requests();
    ASSERT_EQ(at150.size(), 10);
    EXPECT_EQ(at150[0], "Balloon.Style 0");
    EXPECT_EQ(
        at150[1],
        speak(R"(\chr="monotone"\\spd=210\\pit=120\Dai \pit=100\zee, \pit=80\Dai \pit=60\zee)"));
    // The words, tags taken out, are the lyrics in their order.
    static const QRegularExpression tag(R"(\\[^\\]*\\)");
    QStringList words;
    for (QString line : at150.mid(1))
        words << line.remove(tag).remove(QRegularExpression(R"(^Speak "|"$)"));
    EXPECT_EQ(words.join(u'|'), "Dai zee, Dai zee|Give me your an, ser true.|I'm halfcray zee,|"
                                "All for the love of you.|It won't be a sty-lish marerege.|"
                                "I can't a ford, a care- ridge.|But you'll look sweet,|"
                                "Up on the seat.|Of a by sic cull built, for two.");

    // Fifty slower on the slider: every line fifty slower; the pitch slider changes nothing.
    recording->requests.clear();
    frmSpeak().sldSpeed().setValue(100);
    frmSpeak().Slider1().setValue(400);
    frmSpeak().Command1_Click();
    const QStringList at100 = requests();
    ASSERT_EQ(at100.size(), 10);
    static const QRegularExpression speed(R"(spd=(\d+))");
    for (int i = 1; i < 10; ++i) {
        const int fast = speed.match(at150[i]).captured(1).toInt();
        EXPECT_EQ(speed.match(at100[i]).captured(1).toInt(), fast - 50) << i;
        EXPECT_EQ(QString(at100[i]).replace(speed, "spd"), QString(at150[i]).replace(speed, "spd"));
    }
}

TEST_F(BehavioursTest, SingingTwiceQueuesTheSongTwiceWithoutStopping) {
    frmSpeak().Command1_Click();
    const QStringList once = requests();
    frmSpeak().Command1_Click();
    EXPECT_EQ(requests(), once + once);
}

// --- commands -------------------------------------------------------------

TEST_F(BehavioursTest, CommandsMakeTheirRequests) {
    frmSpeak().Command1_Click();
    const QStringList song = requests();
    const struct {
        const char* command;
        float random;
        QStringList want;
    } cases[] = {
        {"AGENTWORLD", 0.0f, {speak(R"(\Spd=150\\Pit=150\Credits)")}}, // says only the tagged text
        {"ACO", 0.0f, {"PropertySheet.Visible true"}},
        {"READPAGE", 0.9f, {R"(Play "Think")"}}, // 2.7 rounds to 3: the last entry
        {"SING", 0.0f, song},
        {"", 0.9f, {}}, // unknown names and other cases do nothing
        {"bye", 0.9f, {}},
        {"ACO ", 0.9f, {}},
        {"HELP", 0.9f, {}},
    };
    setText("Credits");
    for (const auto& c : cases) {
        recording->requests.clear();
        randoms = {c.random};
        choose(c.command);
        EXPECT_EQ(requests(), c.want) << c.command;
    }
    EXPECT_FALSE(toolkit::Ending());
    EXPECT_FALSE(frmSpeak().Visible());
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

TEST_F(BehavioursTest, ShutUpAndQuitStopsThenEndsAtOnce) {
    frmSpeak().Command1_Click();
    recording->requests.clear();
    EXPECT_THROW(frmSpeak().AgentControl_Command({"BYE"}), toolkit::EndProgram);
    EXPECT_EQ(requests(), QStringList{"StopAll"});
    recording->requests.clear();
    choose("BYE");
    EXPECT_EQ(requests(), QStringList{"StopAll"});
    EXPECT_EQ(quitStatus, 0);
    EXPECT_TRUE(messages.empty());
    choose("SING");
    doubleClick();
    EXPECT_EQ(requests(), QStringList{"StopAll"}) << "no handler runs after the end";
}

} // namespace
} // namespace parlavox::testing
