// The tag parser: every tag, case, adjacency, \Map\, malformed and unknown tags.

#include "agent/speech/SpeechTags.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace agent::speech;
using Kind = SpeechItem::Kind;

namespace {

// A compact rendering of the items, so a case reads as one line.
QString describe(const ParsedSpeech& parsed) {
    static const char* kinds[] = {"",    "chr", "ctx", "emp", "lst", "mrk",
                                  "pau", "pit", "rst", "spd", "vol"};
    static const char* characters[] = {"normal", "monotone", "whisper"};
    static const char* contexts[] = {"unknown", "address", "email"};
    QStringList out;
    for (const SpeechItem& item : parsed.items) {
        QString s = QLatin1String(kinds[int(item.kind)]);
        if (item.kind == Kind::Text)
            s = item.spoken == item.shown
                    ? QStringLiteral("'%1'").arg(item.spoken)
                    : QStringLiteral("map('%1'|'%2')").arg(item.spoken, item.shown);
        else if (item.kind == Kind::Chr)
            s += QStringLiteral("(%1)").arg(QLatin1String(characters[int(item.character)]));
        else if (item.kind == Kind::Ctx)
            s += QStringLiteral("(%1)").arg(QLatin1String(contexts[int(item.context)]));
        else if (item.kind >= Kind::Mrk && item.kind != Kind::Rst)
            s += QStringLiteral("(%1)").arg(item.value);
        out << s;
    }
    return out.join(u' ');
}

} // namespace

TEST(SpeechTags, ParsesTagsCaseAdjacencyMapValuesAndDropsTheMalformed) {
    const struct {
        const char* input;
        const char* items;
        int dropped;
    } cases[] = {
        // every tag of the table
        {R"(\Chr="Normal"\\Ctx="Address"\\Ctx="Unknown"\a \Emp\b\Lst\)",
         "chr(normal) ctx(address) ctx(unknown) 'a ' emp 'b' lst", 0},
        {R"(\Mrk=12\\Pau=250\\Pit=180\\Rst\\Spd=150\\Vol=65535\)",
         "mrk(12) pau(250) pit(180) rst spd(150) vol(65535)", 0},
        {"", "", 0},
        // tag words and keywords ignore case
        {R"(\spd=90\\SPD=91\\chr="monotone"\\CHR="WHISPER"\)",
         "spd(90) spd(91) chr(monotone) chr(whisper)", 0},
        {R"(\ctx="e-MAIL"\\ctx="email"\)", "ctx(email) ctx(email)", 0},
        {R"(\map="a"="b"\\EMP\\rst\\lSt\)", "map('a'|'b') emp rst lst", 0},
        // adjacent tags and the text between
        {R"(sty-\pit=100\lish)", "'sty-' pit(100) 'lish'", 0},
        // \Map\ keeps its two texts
        {R"(It costs \Map="ten dollars"="$10"\ today)",
         "'It costs ' map('ten dollars'|'$10') ' today'", 0},
        {R"(\Map = "a b" = "c" \)", "map('a b'|'c')", 0},
        {R"(\Map="back\slash"="x"\y)", "map('back\\slash'|'x') 'y'", 0},
        {R"(\Map="say"=""\)", "map('say'|'')", 0},
        {R"(a\Map="same"="same"\b)", "'asameb'", 0},
        // values are read leniently
        {R"(\Spd = 120 \\Pit="95"\\Pau=-40\\Vol=+7\)", "spd(120) pit(95) pau(-40) vol(7)", 0},
        {R"(\Spd=99999999999999999999999\)", "spd(1000000000000)", 0},
        {R"(\Chr = " Whisper " \)", "chr(whisper)", 0},
        // malformed and unknown tags are dropped
        {R"(\Spd=abc\\Spd\\Spd=\\Spd=12x\\Emp=3\\Spdx=100\hi)", "'hi'", 6},
        {R"(\Chr="Loud"\\Chr=\\Ctx="Poem"\hi)", "'hi'", 3},
        {R"(\Map="a"\\Map="a"="b"junk\\Map=a=b\hi)", "'hi'", 3},
        {R"(\\hi)", "'hi'", 1},
        {R"(C:\Windows\System)", "'C:System'", 1},
        {R"(trailing \)", "'trailing '", 1},
        {R"(open \Spd=100 never closed)", "'open Spd=100 never closed'", 1},
        {R"(\Map="unclosed=\hi)", "'hi'", 1},
        {R"(a\Foo\\Bar\b\Pit=70\c)", "'ab' pit(70) 'c'", 2},
    };
    for (const auto& c : cases) {
        const ParsedSpeech parsed = parseSpeechTags(QString::fromUtf8(c.input));
        EXPECT_EQ(describe(parsed).toStdString(), c.items) << "input: " << c.input;
        EXPECT_EQ(parsed.droppedTags, c.dropped) << "input: " << c.input;
    }
    EXPECT_EQ(parseSpeechTags(R"(Pay \Map="ten dollars"="$10"\ now)").displayText(), "Pay $10 now");
}
