// The tag parser: every tag, case, adjacency, \Map\, malformed and unknown tags.

#include "agent/speech/SpeechTags.h"
#include "agent/speech/SpeechLog.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>

using namespace agent::speech;
using Kind = SpeechItem::Kind;

namespace {

// A compact rendering of the items, so a case reads as one line.
QString describe(const ParsedSpeech& parsed) {
    QStringList out;
    for (const SpeechItem& item : parsed.items) {
        switch (item.kind) {
        case Kind::Text:
            out << (item.spoken == item.shown
                        ? QStringLiteral("'%1'").arg(item.spoken)
                        : QStringLiteral("map('%1'|'%2')").arg(item.spoken, item.shown));
            break;
        case Kind::Chr: {
            const char* names[] = {"normal", "monotone", "whisper"};
            out << QStringLiteral("chr(%1)").arg(QLatin1String(names[int(item.character)]));
            break;
        }
        case Kind::Ctx: {
            const char* names[] = {"unknown", "address", "email"};
            out << QStringLiteral("ctx(%1)").arg(QLatin1String(names[int(item.context)]));
            break;
        }
        case Kind::Emp:
            out << QStringLiteral("emp");
            break;
        case Kind::Lst:
            out << QStringLiteral("lst");
            break;
        case Kind::Rst:
            out << QStringLiteral("rst");
            break;
        case Kind::Mrk:
            out << QStringLiteral("mrk(%1)").arg(item.value);
            break;
        case Kind::Pau:
            out << QStringLiteral("pau(%1)").arg(item.value);
            break;
        case Kind::Pit:
            out << QStringLiteral("pit(%1)").arg(item.value);
            break;
        case Kind::Spd:
            out << QStringLiteral("spd(%1)").arg(item.value);
            break;
        case Kind::Vol:
            out << QStringLiteral("vol(%1)").arg(item.value);
            break;
        }
    }
    return out.join(u' ');
}

struct Case {
    const char* input;
    const char* items;
    int dropped;
};

void expectCases(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const ParsedSpeech parsed = parseSpeechTags(QString::fromUtf8(c.input));
        EXPECT_EQ(describe(parsed).toStdString(), c.items) << "input: " << c.input;
        EXPECT_EQ(parsed.droppedTags, c.dropped) << "input: " << c.input;
    }
}

} // namespace

TEST(SpeechTags, EveryTagOfTheTable) {
    expectCases({
        {R"(\Chr="Normal"\a)", "chr(normal) 'a'", 0},
        {R"(\Chr="Monotone"\a)", "chr(monotone) 'a'", 0},
        {R"(\Chr="Whisper"\a)", "chr(whisper) 'a'", 0},
        {R"(\Ctx="Address"\a)", "ctx(address) 'a'", 0},
        {R"(\Ctx="E-mail"\a)", "ctx(email) 'a'", 0},
        {R"(\Ctx="Unknown"\a)", "ctx(unknown) 'a'", 0},
        {R"(a \Emp\b)", "'a ' emp 'b'", 0},
        {R"(\Lst\)", "lst", 0},
        {R"(\Map="spoken"="shown"\)", "map('spoken'|'shown')", 0},
        {R"(\Mrk=12\)", "mrk(12)", 0},
        {R"(\Pau=250\)", "pau(250)", 0},
        {R"(\Pit=180\)", "pit(180)", 0},
        {R"(\Rst\)", "rst", 0},
        {R"(\Spd=150\)", "spd(150)", 0},
        {R"(\Vol=65535\)", "vol(65535)", 0},
    });
}

TEST(SpeechTags, TagWordsAndKeywordsIgnoreCase) {
    expectCases({
        {R"(\spd=90\\SPD=91\\sPd=92\)", "spd(90) spd(91) spd(92)", 0},
        {R"(\chr="monotone"\\CHR="WHISPER"\)", "chr(monotone) chr(whisper)", 0},
        {R"(\ctx="e-MAIL"\\ctx="email"\)", "ctx(email) ctx(email)", 0},
        {R"(\map="a"="b"\\EMP\\rst\\lSt\)", "map('a'|'b') emp rst lst", 0},
    });
}

TEST(SpeechTags, AdjacentTagsAndTextBetween) {
    expectCases({
        {R"(\Spd=150\\Pit=150\Hello there!)", "spd(150) pit(150) 'Hello there!'", 0},
        {R"(\chr="monotone"\\spd=210\\pit=120\Dai \pit=100\zee, \pit=80\Dai \pit=60\zee)",
         "chr(monotone) spd(210) pit(120) 'Dai ' pit(100) 'zee, ' pit(80) 'Dai ' pit(60) 'zee'", 0},
        {R"(sty-\pit=100\lish)", "'sty-' pit(100) 'lish'", 0},
        {R"(one\Pau=10\\Mrk=1\two)", "'one' pau(10) mrk(1) 'two'", 0},
        {"plain text, no tags", "'plain text, no tags'", 0},
    });
}

TEST(SpeechTags, MapKeepsItsTwoTexts) {
    expectCases({
        {R"(It costs \Map="ten dollars"="$10"\ today)",
         "'It costs ' map('ten dollars'|'$10') ' today'", 0},
        {R"(\Map = "a b" = "c" \)", "map('a b'|'c')", 0},
        {R"(\Map="back\slash"="x"\y)", "map('back\\slash'|'x') 'y'", 0},
        {R"(\Map="say"=""\)", "map('say'|'')", 0},
        {R"(a\Map="same"="same"\b)", "'asameb'", 0},
    });
    const ParsedSpeech parsed = parseSpeechTags(R"(Pay \Map="ten dollars"="$10"\ now)");
    EXPECT_EQ(parsed.displayText(), QStringLiteral("Pay $10 now"));
}

TEST(SpeechTags, ValuesAreReadLeniently) {
    expectCases({
        {R"(\Spd = 120 \)", "spd(120)", 0},
        {R"(\Pit="95"\)", "pit(95)", 0},
        {R"(\Pau=-40\)", "pau(-40)", 0},
        {R"(\Vol=+7\)", "vol(7)", 0},
        {R"(\Spd=99999999999999999999999\)", "spd(1000000000000)", 0},
        {R"(\Chr = " Whisper " \)", "chr(whisper)", 0},
    });
}

TEST(SpeechTags, MalformedAndUnknownTagsAreDropped) {
    expectCases({
        {R"(\Foo\hi)", "'hi'", 1},
        {R"(\Spd=abc\hi)", "'hi'", 1},
        {R"(\Spd\hi)", "'hi'", 1},
        {R"(\Spd=\hi)", "'hi'", 1},
        {R"(\Spd=12x\hi)", "'hi'", 1},
        {R"(\Emp=3\hi)", "'hi'", 1},
        {R"(\Chr="Loud"\hi)", "'hi'", 1},
        {R"(\Chr=\hi)", "'hi'", 1},
        {R"(\Ctx="Poem"\hi)", "'hi'", 1},
        {R"(\Map="a"\hi)", "'hi'", 1},
        {R"(\Map="a"="b"junk\hi)", "'hi'", 1},
        {R"(\Map=a=b\hi)", "'hi'", 1},
        {R"(\\hi)", "'hi'", 1},
        {R"(\Spdx=100\hi)", "'hi'", 1},
        {R"(C:\Windows\System)", "'C:System'", 1},
        {R"(trailing \)", "'trailing '", 1},
        {R"(open \Spd=100 never closed)", "'open Spd=100 never closed'", 1},
        {R"(\Map="unclosed=\hi)", "'hi'", 1},
        {R"(a\Foo\\Bar\b\Pit=70\c)", "'ab' pit(70) 'c'", 2},
    });
}

TEST(SpeechTags, EmptyText) {
    const ParsedSpeech parsed = parseSpeechTags(QString());
    EXPECT_TRUE(parsed.items.empty());
    EXPECT_EQ(parsed.droppedTags, 0);
    EXPECT_TRUE(parsed.displayText().isEmpty());
    EXPECT_FALSE(parsed.hasLst());
}

TEST(SpeechTags, LargeMixedTextKeepsEveryPlainWord) {
    // 100 kB of words, valid tags and broken ones; the displayed text is known as it is built.
    std::mt19937 random(7);
    const QStringList valid = {R"(\Spd=120\)", R"(\pit=90\)",         R"(\Pau=5\)",   R"(\Mrk=3\)",
                               R"(\Emp\)",     R"(\chr="monotone"\)", R"(\Vol=100\)", R"(\Rst\)"};
    const QStringList broken = {R"(\Nope\)", R"(\Spd=x\)", R"(\Map="a"\)", R"(\\)"};
    QString tagged;
    QString shown;
    int expectedDrops = 0;
    while (tagged.size() < 100'000) {
        const auto pick = random() % 10;
        if (pick < 6) {
            const QString word = QStringLiteral("word%1 ").arg(random() % 1000);
            tagged += word;
            shown += word;
        } else if (pick < 8) {
            tagged += valid[random() % valid.size()];
        } else if (pick < 9) {
            tagged += broken[random() % broken.size()];
            ++expectedDrops;
        } else {
            tagged += QStringLiteral(R"(\Map="spoken"="shown"\)");
            shown += QStringLiteral("shown");
        }
    }
    const ParsedSpeech parsed = parseSpeechTags(tagged);
    EXPECT_EQ(parsed.displayText(), shown);
    EXPECT_EQ(parsed.droppedTags, expectedDrops);
}

TEST(SpeechTags, DroppedTagsAreLoggedOnlyWhenTheCategoryIsOn) {
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& m) {
            messages << QString::fromUtf8(context.category) + QStringLiteral(": ") + m;
        });
    parseSpeechTags(QStringLiteral(R"(\Bogus\quiet)"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    QLoggingCategory::setFilterRules(QStringLiteral("agent.speech=true"));
    parseSpeechTags(QStringLiteral(R"(\Bogus\loud)"));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("agent.speech: ")));
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Bogus")));
}
