#include "agent/speech/SpeechTags.h"

#include "agent/speech/SpeechLog.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace agent::speech {

namespace {

using Kind = SpeechItem::Kind;

// Far beyond any meaningful value, small enough that later arithmetic cannot overflow.
constexpr std::int64_t kSaturation = 1'000'000'000'000LL;

// The tag word; \Map\ is listed as Text since that is what it becomes.
std::optional<Kind> tagKind(const QString& word) {
    static const struct {
        const char* name;
        Kind kind;
    } table[] = {{"chr", Kind::Chr},  {"ctx", Kind::Ctx}, {"emp", Kind::Emp}, {"lst", Kind::Lst},
                 {"map", Kind::Text}, {"mrk", Kind::Mrk}, {"pau", Kind::Pau}, {"pit", Kind::Pit},
                 {"rst", Kind::Rst},  {"spd", Kind::Spd}, {"vol", Kind::Vol}};
    for (const auto& entry : table) {
        if (word.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return std::nullopt;
}

// `"text"` at the start of `s` (from `pos`); advances `pos` past the closing quote.
std::optional<QString> quoted(const QString& s, qsizetype& pos) {
    if (pos >= s.size() || s[pos] != u'"')
        return std::nullopt;
    const qsizetype close = s.indexOf(u'"', pos + 1);
    if (close < 0)
        return std::nullopt;
    QString inner = s.mid(pos + 1, close - pos - 1);
    pos = close + 1;
    return inner;
}

void skipSpaces(const QString& s, qsizetype& pos) {
    while (pos < s.size() && s[pos].isSpace())
        ++pos;
}

// A bare or quoted word, whole value.
std::optional<QString> wordValue(const QString& value) {
    if (value.startsWith(u'"')) {
        qsizetype pos = 0;
        auto inner = quoted(value, pos);
        skipSpaces(value, pos);
        if (!inner || pos != value.size())
            return std::nullopt;
        return inner->trimmed();
    }
    return value;
}

std::optional<std::int64_t> numberValue(const QString& value) {
    auto text = wordValue(value);
    if (!text || text->isEmpty())
        return std::nullopt;
    qsizetype pos = 0;
    bool negative = false;
    if ((*text)[0] == u'+' || (*text)[0] == u'-') {
        negative = (*text)[0] == u'-';
        ++pos;
    }
    if (pos >= text->size())
        return std::nullopt;
    std::int64_t n = 0;
    for (; pos < text->size(); ++pos) {
        const QChar c = (*text)[pos];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        n = std::min(kSaturation, n * 10 + (c.unicode() - u'0'));
    }
    return negative ? -n : n;
}

std::optional<SpeechItem> parseTag(const QString& body) {
    const QString trimmed = body.trimmed();
    qsizetype pos = 0;
    while (pos < trimmed.size() && trimmed[pos].isLetter())
        ++pos;
    const auto kind = tagKind(trimmed.left(pos));
    if (!kind)
        return std::nullopt;
    skipSpaces(trimmed, pos);
    std::optional<QString> value;
    if (pos < trimmed.size()) {
        if (trimmed[pos] != u'=')
            return std::nullopt;
        value = trimmed.mid(pos + 1).trimmed();
    }

    SpeechItem item;
    item.kind = *kind;
    switch (*kind) {
    case Kind::Emp:
    case Kind::Lst:
    case Kind::Rst:
        if (value)
            return std::nullopt;
        return item;
    case Kind::Mrk:
    case Kind::Pau:
    case Kind::Pit:
    case Kind::Spd:
    case Kind::Vol: {
        if (!value)
            return std::nullopt;
        const auto n = numberValue(*value);
        if (!n)
            return std::nullopt;
        item.value = *n;
        return item;
    }
    case Kind::Chr: {
        const auto word = value ? wordValue(*value) : std::nullopt;
        if (!word)
            return std::nullopt;
        if (word->compare(QLatin1String("normal"), Qt::CaseInsensitive) == 0)
            item.character = VoiceCharacter::Normal;
        else if (word->compare(QLatin1String("monotone"), Qt::CaseInsensitive) == 0)
            item.character = VoiceCharacter::Monotone;
        else if (word->compare(QLatin1String("whisper"), Qt::CaseInsensitive) == 0)
            item.character = VoiceCharacter::Whisper;
        else
            return std::nullopt;
        return item;
    }
    case Kind::Ctx: {
        const auto word = value ? wordValue(*value) : std::nullopt;
        if (!word)
            return std::nullopt;
        if (word->compare(QLatin1String("address"), Qt::CaseInsensitive) == 0)
            item.context = ReadingContext::Address;
        else if (word->compare(QLatin1String("e-mail"), Qt::CaseInsensitive) == 0 ||
                 word->compare(QLatin1String("email"), Qt::CaseInsensitive) == 0)
            item.context = ReadingContext::Email;
        else if (word->compare(QLatin1String("unknown"), Qt::CaseInsensitive) == 0)
            item.context = ReadingContext::Unknown;
        else
            return std::nullopt;
        return item;
    }
    case Kind::Text: {
        if (!value)
            return std::nullopt;
        qsizetype p = 0;
        auto spoken = quoted(*value, p);
        skipSpaces(*value, p);
        if (!spoken || p >= value->size() || (*value)[p] != u'=')
            return std::nullopt;
        ++p;
        skipSpaces(*value, p);
        auto shown = quoted(*value, p);
        skipSpaces(*value, p);
        if (!shown || p != value->size())
            return std::nullopt;
        item.kind = Kind::Text;
        item.spoken = *spoken;
        item.shown = *shown;
        return item;
    }
    }
    return std::nullopt;
}

// Index of the backslash closing a tag opened at `open`, or -1. Backslashes inside
// quotes belong to the value (a \Map\ text may contain one); if the quotes never
// close, the first backslash closes.
qsizetype closingBackslash(const QString& text, qsizetype open) {
    bool inQuote = false;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text[i] == u'"')
            inQuote = !inQuote;
        else if (text[i] == u'\\' && !inQuote)
            return i;
    }
    return text.indexOf(u'\\', open + 1);
}

// Collects the items. Plain text between tags gathers in one buffer and becomes an
// item when something else comes, so text split by many dropped tags joins up in
// linear time.
class Collector {
  public:
    void addText(QStringView text) { text_ += text; }
    void add(SpeechItem item) {
        flush();
        out_.items.push_back(std::move(item));
    }
    void drop(QStringView what) {
        ++out_.droppedTags;
        qCInfo(lcSpeech).noquote() << "dropped malformed or unknown tag:" << what.left(80);
    }
    ParsedSpeech take() {
        flush();
        return std::move(out_);
    }

  private:
    void flush() {
        if (text_.isEmpty())
            return;
        SpeechItem item;
        item.spoken = std::exchange(text_, QString());
        item.shown = item.spoken;
        out_.items.push_back(std::move(item));
    }

    ParsedSpeech out_;
    QString text_;
};

} // namespace

bool ParsedSpeech::hasLst() const {
    return std::any_of(items.begin(), items.end(),
                       [](const SpeechItem& item) { return item.kind == Kind::Lst; });
}

QString ParsedSpeech::displayText() const {
    QString shown;
    for (const SpeechItem& item : items) {
        if (item.kind == Kind::Text)
            shown += item.shown;
    }
    return shown;
}

ParsedSpeech parseSpeechTags(const QString& taggedText) {
    Collector out;
    const QStringView text(taggedText);
    qsizetype textStart = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(u'\\', i);
        if (open < 0)
            break;
        out.addText(text.mid(textStart, open - textStart));
        const qsizetype close = closingBackslash(taggedText, open);
        if (close < 0) {
            // A lone backslash: not a tag, and not something to say either.
            out.drop(text.mid(open));
            textStart = open + 1;
            i = open + 1;
            continue;
        }
        const QString body = taggedText.mid(open + 1, close - open - 1);
        if (auto item = parseTag(body)) {
            if (item->kind == Kind::Text && item->spoken == item->shown)
                out.addText(item->spoken);
            else
                out.add(std::move(*item));
        } else {
            out.drop(text.mid(open, close - open + 1));
        }
        textStart = close + 1;
        i = close + 1;
    }
    out.addText(text.mid(textStart));
    return out.take();
}

} // namespace agent::speech
