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
    // The requests of one double-click on `text` with the sliders at `speed`, `pitch`.
    QStringList doubleClick(const QString& text, int speed = 150, int pitch = 150) {
        recording->requests.clear();
        frmSpeak().TextBox1().SetText(text);
        frmSpeak().sldSpeed().setValue(speed);
        frmSpeak().Slider1().setValue(pitch);
        control->userDoubleClicked();
        return requests();
    }
    static QString speak(const QString& text) { return "Speak \"" + text + "\""; }
};

// Stop, perhaps a random animation, the balloon style, then the text with the sliders'
// speed and pitch in front, as typed.
TEST_F(BehavioursTest, DoubleClickStopsPicksSetsTheBalloonThenSpeaksTaggedText) {
    const struct {
        QString text;
        int speed, pitch;
        float random;
        const char* played; // "" for nothing
    } cases[] = {
        {"Hello there!", 150, 150, 0.0f, ""},
        {"Hello there!", 150, 150, 0.5f, "Greet"}, // 1.5 rounds to 2: the second entry
        {"Hello there!", 175, 90, 0.0f, ""},
        {"", 150, 150, 0.0f, ""},
        {R"(a\b \Chr="Whisper"\ c\\)", 150, 150, 0.0f, ""},
        {"CREDITS", 150, 150, 0.0f, ""}, // special phrases are exact and case-sensitive
        {"BBABOBBSFTBBSBBABBOBTMTBBB", 150, 150, 0.0f, ""},
    };
    for (const auto& c : cases) {
        randoms = {c.random};
        QStringList want{"StopAll"};
        if (*c.played)
            want << QStringLiteral("Play \"%1\"").arg(QLatin1String(c.played));
        want << "Balloon.Style 0"
             << speak(QStringLiteral(R"(\Spd=%1\\Pit=%2\)").arg(c.speed).arg(c.pitch) + c.text);
        EXPECT_EQ(doubleClick(c.text, c.speed, c.pitch), want) << qPrintable(c.text);
    }
}

// The credits and the tongue twister's initials are said, untagged, before the text.
TEST_F(BehavioursTest, SpecialPhrasesAreSaidBeforeTheTaggedText) {
    const QStringList r = doubleClick("Credits");
    ASSERT_EQ(r.size(), 4);
    EXPECT_TRUE(r[1].startsWith("Speak \"") && !r[1].contains('\\')) << r[1].toStdString();
    EXPECT_EQ(r[1].count('.') + r[1].count('!'), 3) << "three sentences";
    EXPECT_EQ(r.mid(2), (QStringList{"Balloon.Style 0", speak(R"(\Spd=150\\Pit=150\Credits)")}));
    EXPECT_EQ(doubleClick("bbabobbsftbbsbbabbobtmtbbb").value(1),
              speak("Betty Bought a Bit of Butter But She Found The Butter Bitter so Betty Bought "
                    "a Better Bit of Butter to Make The Bitter Butter Better."));
}

TEST_F(BehavioursTest, ShowMeTheAnimationsNeedsSpeedExactly150) {
    const char* text = "Show Me the Animations!";
    for (int speed : {149, 151})
        doubleClick(text, speed);
    doubleClick("show me the animations!");
    EXPECT_FALSE(frmAnimation().Visible());
    EXPECT_EQ(doubleClick(text, 150, 300).last(),
              speak(R"(\Spd=150\\Pit=300\Show Me the Animations!)"));
    EXPECT_TRUE(frmAnimation().Visible()) << "the pitch plays no part";
    doubleClick(text); // again while visible: it stays, one window
    EXPECT_TRUE(frmAnimation().Visible() && frmAnimation().AnimationListBox().ListCount() == 3);
}

// The song: the balloon style, then nine monotone lines, each at its own speed
// above the speed slider, whatever the pitch slider says. Singing again queues
// it again without stopping.
TEST_F(BehavioursTest, SongIsTheTuneInOrderAtSpeedsAboveTheSlider) {
    QTest::mouseClick(&frmSpeak().Command1(), Qt::LeftButton);
    const QStringList at150 = requests();
    ASSERT_EQ(at150.size(), 10);
    EXPECT_EQ(at150[0], "Balloon.Style 0");
    EXPECT_EQ(at150[1], speak(R"(\chr="monotone"\\spd=210\\pit=120\)"
                              R"(Dai \pit=100\zee, \pit=80\Dai \pit=60\zee)"));
    // The words, tags taken out, are the lyrics in their order.
    static const QRegularExpression tag(R"(\\[^\\]*\\|Speak "|")"); // and the quoting
    EXPECT_EQ(at150.mid(1).join(u'|').remove(tag),
              "Dai zee, Dai zee|Give me your an, ser true.|I'm halfcray zee,|"
              "All for the love of you.|It won't be a sty-lish marerege.|"
              "I can't a ford, a care- ridge.|But you'll look sweet,|"
              "Up on the seat.|Of a by sic cull built, for two.");

    // Fifty slower on the slider: every line fifty slower; the pitch slider changes nothing.
    frmSpeak().sldSpeed().setValue(100);
    frmSpeak().Slider1().setValue(400);
    frmSpeak().Command1_Click();
    const QStringList at100 = requests().mid(10);
    ASSERT_EQ(at100.size(), 10);
    static const QRegularExpression speed(R"(spd=(\d+))");
    for (int i = 1; i < 10; ++i) {
        const int fast = speed.match(at150[i]).captured(1).toInt();
        EXPECT_EQ(at100[i], QString(at150[i]).replace(speed, "spd=" + QString::number(fast - 50)));
    }
}

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
        {"bye", 0.9f, {}}, // other cases and unknown names do nothing
        {"ACO ", 0.9f, {}},
        {"HELP", 0.9f, {}},
    };
    frmSpeak().TextBox1().SetText("Credits");
    for (const auto& c : cases) {
        recording->requests.clear();
        randoms = {c.random};
        control->userChose(c.command);
        EXPECT_EQ(requests(), c.want) << c.command;
    }
    EXPECT_FALSE(toolkit::Ending());
    EXPECT_FALSE(frmSpeak().Visible());
}

TEST_F(BehavioursTest, ChangeWhatToBeSaidShowsTheMainWindowKeepingItsValues) {
    frmSpeak().TextBox1().SetText("Keep me");
    frmSpeak().sldSpeed().setValue(225);
    control->userChose("MASS");
    control->userChose("MASS"); // again while showing: it stays
    EXPECT_TRUE(frmSpeak().Visible());
    QTest::mouseClick(&frmSpeak().CommandButton2(), Qt::LeftButton); // "Set"
    EXPECT_FALSE(frmSpeak().Visible());
    control->userChose("MASS");
    EXPECT_EQ(frmSpeak().TextBox1().Text(), "Keep me");
    EXPECT_EQ(frmSpeak().sldSpeed().value(), 225);
    EXPECT_TRUE(requests().isEmpty());
}

// BYE stops the character and ends the program; no handler runs after.
TEST_F(BehavioursTest, ShutUpAndQuitStopsThenEndsAtOnce) {
    frmSpeak().Command1_Click();
    recording->requests.clear();
    control->userChose("BYE");
    EXPECT_EQ(quitStatus, 0);
    EXPECT_TRUE(messages.empty());
    control->userChose("SING");
    control->userDoubleClicked();
    EXPECT_EQ(requests(), QStringList{"StopAll"}) << "stopped, and no handler ran after the end";
}

} // namespace
} // namespace parlavox::testing
