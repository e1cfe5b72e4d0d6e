// From parsed tags to what espeak-ng is asked to say: voices, prosody, pauses, reading.

#include "agent/speech/SpeechScript.h"
#include "agent/speech/Voices.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

using namespace agent::speech;

namespace {

SpeechScript script(const char* tagged, VoiceDefaults voice = {}) {
    return buildScript(parseSpeechTags(QString::fromUtf8(tagged)), voice);
}

// "S150 P45 R50 A100 'text' #7" for one segment.
QString describe(const ScriptSegment& segment) {
    QStringList out;
    for (const ScriptPiece& p : segment.pieces) {
        if (p.kind == ScriptPiece::Kind::Control)
            out << QLatin1Char(p.control) + QString::number(p.value);
        else if (p.kind == ScriptPiece::Kind::Mark)
            out << QStringLiteral("#%1").arg(p.value);
        else
            out << QStringLiteral("'%1'").arg(p.spoken);
    }
    return out.join(u' ');
}

// Expected text with pitches in hertz: "P(120)" is the male voice's setting for
// 120 Hz, "P(f250)" the female's, "P(110+10)" ten above; "*" the default voice's
// controls, "S150 P(110) R50 A100".
QString expand(QString text) {
    static const QRegularExpression hz(R"(P\((f?)(\d+)(?:\+(\d+))?\))");
    text.replace(u'*', QStringLiteral("S150 P(110) R50 A100"));
    for (auto m = hz.match(text); m.hasMatch(); m = hz.match(text)) {
        const auto v = m.captured(1).isEmpty() ? VoiceVariant::Male : VoiceVariant::Female;
        const int setting = pitchSetting(v, m.captured(2).toInt()) + m.captured(3).toInt();
        text.replace(m.capturedStart(), m.capturedLength(), QStringLiteral("P%1").arg(setting));
    }
    return text;
}

void expectScript(const char* tagged, const VoiceDefaults& voice, const char* voices,
                  const char* described) { // per segment, "|" between; "" is not checked
    const SpeechScript s = script(tagged, voice);
    QStringList got;
    for (const ScriptSegment& segment : s.segments)
        got << segment.voiceName;
    EXPECT_EQ(got.join(u'|'), QString::fromUtf8(voices)) << tagged;
    const QStringList want = QString::fromUtf8(described).split(u'|');
    for (qsizetype i = 0; i < want.size() && i < qsizetype(s.segments.size()); ++i)
        EXPECT_EQ(want[i].isEmpty() ? QString() : describe(s.segments[std::size_t(i)]),
                  expand(want[i]))
            << tagged;
}

} // namespace

// Each segment's espeak-ng voice and what it is told: the voice's defaults first,
// then the controls where the tags stand. A segment ends where the voice changes.
TEST(SpeechScript, VoicesAndControlsFollowTheTags) {
    // A character's own voice: speed, pitch, language, gender.
    expectScript("Hello", {170, 95}, "en", "S170 P(95) R50 A100 'Hello'");
    expectScript(R"(\chr="monotone"\\spd=210\\pit=120\Dai \pit=100\zee)", {}, "en",
                 "* R0 S210 P(120) 'Dai ' P(100) 'zee'");
    expectScript(R"(\Pit=250\high \Pit=80\low)", {}, "en+f3|en", "|S150 P(80) R50 A100 'low'");
    expectScript("hi", {150, 160, 0, kGenderFemale}, "en+f3", "");
    expectScript("hi", {150, 100, 0, kGenderFemale}, "en", ""); // below the female variant's reach
    expectScript(R"(loud \Chr="Whisper"\soft \Chr="Normal"\loud)", {150, 110, 0x0407},
                 "de|de+whisper|de", "");
    // Whisper uses the male table; back to normal at 250 Hz sets the female pitch.
    expectScript(R"(\Pit=250\\Chr="Whisper"\\Chr="Normal"\high)", {}, "en+f3",
                 "S150 P(f250) R50 A100 'high'");
    expectScript(R"(one\Pau=400\\Mrk=9\two)", {}, "en|en", "|* #9 'two'");
    expectScript(R"(\Spd=200\\Vol=0\\Chr="Monotone"\a\Rst\b)", {}, "en", "* S200 A0 R0 'a' * 'b'");
    expectScript(R"(say \Emp\ this word)", {}, "en",
                 "* 'say ' ' ' A160 P(110+10) S120 'this' A100 P(110) S150 ' word'");
}

// Values past what espeak-ng takes are clamped; a pause ends its segment and lasts a
// minute at most.
TEST(SpeechScript, OutOfRangeValuesAreClampedAndPausesBounded) {
    expectScript(R"(\Spd=10\a)", {}, "en", "* S80 'a'");
    expectScript(R"(\Spd=9000\a)", {}, "en", "* S450 'a'");
    expectScript(R"(\Vol=99999\a)", {}, "en", "* A100 'a'");
    expectScript(R"(\Vol=32768\a)", {}, "en", "* A50 'a'");
    expectScript(R"(\Pit=5\a)", {}, "en", "* P(60) 'a'");
    expectScript(R"(\Pit=5000\a)", {}, "en+f3", "S150 P(f300) R50 A100 'a'");
    expectScript("a", {5, 1}, "en", "S80 P(60) R50 A100 'a'");
    const SpeechScript s = script(R"(one\Pau=400\two\Pau=-3\)");
    EXPECT_EQ(std::pair(s.segments.at(0).pauseAfterMs, s.segments.at(1).pauseAfterMs),
              std::pair(400, 0));
    EXPECT_EQ(script(R"(\Pau=999999\)").segments.at(0).pauseAfterMs, 60000);
}

TEST(SpeechScript, ReadingContexts) {
    const struct {
        const char* token;
        ReadingContext context;
        const char* read;
    } cases[] = {
        {"bob.smith@example.com.", ReadingContext::Email, "bob dot smith at example dot com."},
        {"Ave,", ReadingContext::Address, "Avenue,"},
        {"1234", ReadingContext::Address, "12 34"},
        {"98052", ReadingContext::Address, "9 8 0 5 2"},
        {"St.", ReadingContext::Unknown, "St."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readToken(QString::fromUtf8(c.token), c.context), QString::fromUtf8(c.read));
    // The whole address is one balloon span per token.
    const SpeechScript s = script(R"(\Ctx="Address"\1 Main St)");
    EXPECT_EQ(s.displayText, QStringLiteral("1 Main St"));
    const ScriptPiece& text = s.segments.at(0).pieces.back();
    EXPECT_EQ(std::tuple(text.spoken, text.shownStart.back(), text.shownEnd.back()),
              std::tuple(QStringLiteral("1 Main Street"), 7, 9));
}

TEST(SpeechScript, LstRepeatsTheLastStatementWithItsTags) {
    QString last;
    statementToSay(QStringLiteral(R"(\Spd=90\first)"), last);
    const ParsedSpeech again = statementToSay(QStringLiteral(R"(\Lst\)"), last);
    EXPECT_EQ(again.displayText(), QStringLiteral("first"));
    EXPECT_TRUE(!again.items.empty() && again.items[0].kind == SpeechItem::Kind::Spd);
    EXPECT_EQ(last, QStringLiteral(R"(\Spd=90\first)"));
    QString none;
    EXPECT_TRUE(statementToSay(QStringLiteral(R"(\lst\)"), none).items.empty());
}
