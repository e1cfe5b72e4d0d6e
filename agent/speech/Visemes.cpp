#include "agent/speech/Visemes.h"

#include <QHash>

namespace agent::speech {

using format::MouthType;

MouthType mouthForPhoneme(const QString& phoneme) {
    QString p = phoneme;
    p.remove(u'\'').remove(u',');
    if (p.isEmpty() || p.startsWith(u'_'))
        return MouthType::Closed;
    // espeak-ng's English phonemes, grouped by how open and how round the mouth is.
    static const QHash<QString, MouthType> vowels = {
        // "ae"/"ah"/"eh": open
        {QStringLiteral("a"), MouthType::Wide2},
        {QStringLiteral("a#"), MouthType::Wide2},
        {QStringLiteral("V"), MouthType::Wide2},
        {QStringLiteral("@"), MouthType::Wide2},
        {QStringLiteral("@2"), MouthType::Wide2},
        {QStringLiteral("@5"), MouthType::Wide2},
        {QStringLiteral("E"), MouthType::Wide2},
        {QStringLiteral("e@"), MouthType::Wide2},
        // "ey"/"ih"/"er": spread
        {QStringLiteral("eI"), MouthType::Wide3},
        {QStringLiteral("I"), MouthType::Wide3},
        {QStringLiteral("I2"), MouthType::Wide3},
        {QStringLiteral("I#"), MouthType::Wide3},
        {QStringLiteral("i"), MouthType::Wide3},
        {QStringLiteral("i:"), MouthType::Wide3},
        {QStringLiteral("i@"), MouthType::Wide3},
        {QStringLiteral("i@3"), MouthType::Wide3},
        {QStringLiteral("I@"), MouthType::Wide3},
        {QStringLiteral("3"), MouthType::Wide3},
        {QStringLiteral("3:"), MouthType::Wide3},
        {QStringLiteral("@L"), MouthType::Wide3},
        // "aa": widest
        {QStringLiteral("A:"), MouthType::Wide4},
        {QStringLiteral("A@"), MouthType::Wide4},
        {QStringLiteral("0"), MouthType::Wide4},
        {QStringLiteral("aa"), MouthType::Wide4},
        // "ao"/"ay"/"aw": medium
        {QStringLiteral("O:"), MouthType::Medium},
        {QStringLiteral("O"), MouthType::Medium},
        {QStringLiteral("O@"), MouthType::Medium},
        {QStringLiteral("o@"), MouthType::Medium},
        {QStringLiteral("aI"), MouthType::Medium},
        {QStringLiteral("aI@"), MouthType::Medium},
        {QStringLiteral("aI3"), MouthType::Medium},
        {QStringLiteral("aU"), MouthType::Medium},
        {QStringLiteral("aU@"), MouthType::Medium},
        // "w"/"uw"/"ow"/"oy": rounded
        {QStringLiteral("w"), MouthType::Narrow},
        {QStringLiteral("u:"), MouthType::Narrow},
        {QStringLiteral("u"), MouthType::Narrow},
        {QStringLiteral("U"), MouthType::Narrow},
        {QStringLiteral("U@"), MouthType::Narrow},
        {QStringLiteral("oU"), MouthType::Narrow},
        {QStringLiteral("o"), MouthType::Narrow},
        {QStringLiteral("OI"), MouthType::Narrow},
        {QStringLiteral("W"), MouthType::Narrow},
    };
    if (auto it = vowels.constFind(p); it != vowels.constEnd())
        return *it;
    if (p == u"p" || p == u"b" || p == u"m")
        return MouthType::Closed;
    return MouthType::Wide1;
}

} // namespace agent::speech
