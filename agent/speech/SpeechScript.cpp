#include "agent/speech/SpeechScript.h"

#include "agent/speech/SpeechLog.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace agent::speech {

namespace {

using Kind = SpeechItem::Kind;

constexpr int kMaxPauseMs = 60'000;

struct State {
    int speed = 150;
    int pitchHz = 110;
    VoiceCharacter character = VoiceCharacter::Normal;
    int volume = 65535;
    ReadingContext context = ReadingContext::Unknown;
};

int clampLogged(std::int64_t value, int low, int high, const char* what) {
    if (value < low || value > high) {
        qCInfo(lcSpeech) << what << value << "is outside" << low << "to" << high
                         << "and is clamped";
    }
    return static_cast<int>(std::clamp<std::int64_t>(value, low, high));
}

State defaultState(const VoiceDefaults& voice) {
    State s;
    s.speed = clampLogged(voice.speedWpm, kMinSpeedWpm, kMaxSpeedWpm, "default speed");
    s.pitchHz = clampLogged(voice.pitchHz, kMinPitchHz, kMaxPitchHz, "default pitch");
    return s;
}

class Builder {
  public:
    explicit Builder(const VoiceDefaults& voice)
        : voice_(voice), language_(languageForLangId(voice.langId)), state_(defaultState(voice)) {
        startSegment();
    }

    void add(const SpeechItem& item) {
        switch (item.kind) {
        case Kind::Text:
            addText(item);
            break;
        case Kind::Spd:
            state_.speed = clampLogged(item.value, kMinSpeedWpm, kMaxSpeedWpm, "speed");
            control('S', state_.speed);
            break;
        case Kind::Pit:
            state_.pitchHz = clampLogged(item.value, kMinPitchHz, kMaxPitchHz, "pitch");
            if (!voiceMayChange())
                control('P', pitchSetting(currentVariant(), state_.pitchHz));
            break;
        case Kind::Chr:
            state_.character = item.character;
            if (!voiceMayChange())
                control('R', rangeSetting());
            break;
        case Kind::Vol:
            state_.volume = clampLogged(item.value, 0, 65535, "volume");
            control('A', amplitude());
            break;
        case Kind::Pau:
            addPause(clampLogged(item.value, 0, kMaxPauseMs, "pause"));
            break;
        case Kind::Mrk: {
            ScriptPiece mark;
            mark.kind = ScriptPiece::Kind::Mark;
            mark.value = static_cast<int>(std::clamp<std::int64_t>(
                item.value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
            segment().pieces.push_back(std::move(mark));
            segmentHasContent_ = true;
            break;
        }
        case Kind::Emp:
            emphasisPending_ = true;
            break;
        case Kind::Rst:
            state_ = defaultState(voice_);
            emphasisPending_ = false;
            if (!voiceMayChange())
                addHeader();
            break;
        case Kind::Ctx:
            state_.context = item.context;
            break;
        case Kind::Lst:
            break; // the synthesizer replaces the whole request before this point
        }
    }

    SpeechScript take() {
        std::erase_if(script_.segments, [](const ScriptSegment& s) {
            return !s.hasSpeech() && s.pauseAfterMs == 0 &&
                   std::none_of(s.pieces.begin(), s.pieces.end(), [](const ScriptPiece& p) {
                       return p.kind == ScriptPiece::Kind::Mark;
                   });
        });
        return std::move(script_);
    }

  private:
    ScriptSegment& segment() { return script_.segments.back(); }

    VoiceVariant currentVariant() const {
        if (state_.character == VoiceCharacter::Whisper)
            return voice_.gender == kGenderFemale ? VoiceVariant::WhisperFemale
                                                  : VoiceVariant::Whisper;
        return variantForPitch(state_.pitchHz, voice_.gender);
    }

    int rangeSetting() const {
        return state_.character == VoiceCharacter::Monotone ? 0 : kNormalRange;
    }

    int amplitude() const {
        return static_cast<int>(
            (static_cast<std::int64_t>(state_.volume) * kFullAmplitude + 32767) / 65535);
    }

    void control(char letter, int value) {
        ScriptPiece piece;
        piece.kind = ScriptPiece::Kind::Control;
        piece.control = letter;
        piece.value = value;
        segment().pieces.push_back(std::move(piece));
    }

    // espeak-ng keeps prosody between calls, so every segment states all of it.
    void addHeader() {
        control('S', state_.speed);
        control('P', pitchSetting(currentVariant(), state_.pitchHz));
        control('R', rangeSetting());
        control('A', amplitude());
    }

    void addPause(int ms) {
        const auto allowed =
            static_cast<int>(std::min<std::int64_t>(ms, kMaxSilenceMs - silenceMs_));
        if (allowed < ms && !silenceCut_) {
            silenceCut_ = true;
            qCInfo(lcSpeech) << "pauses beyond" << kMaxSilenceMs << "ms in all are left out";
        }
        if (allowed <= 0)
            return;
        silenceMs_ += allowed;
        // Nothing said or marked since the last break: this pause only lengthens it.
        if (!segmentHasContent_ && script_.segments.size() > 1) {
            script_.segments[script_.segments.size() - 2].pauseAfterMs += allowed;
            return;
        }
        segment().pauseAfterMs += allowed;
        startSegment();
    }

    void startSegment() {
        segmentHasSpeech_ = false;
        segmentHasContent_ = false;
        ScriptSegment s;
        s.variant = currentVariant();
        s.voiceName = espeakVoiceName(language_, s.variant);
        script_.segments.push_back(std::move(s));
        addHeader();
    }

    // A different variant cannot be switched to inside one espeak-ng call. True when
    // the segment was restarted with a header stating the whole current state.
    bool voiceMayChange() {
        const VoiceVariant wanted = currentVariant();
        if (wanted == segment().variant)
            return false;
        if (segmentHasSpeech_) {
            startSegment();
            return true;
        }
        // Nothing said yet: switch in place. A new header overrides the old variant's
        // settings before anything is said; only those at the end are dropped, so that
        // each switch costs the same however many marks or spaces came before it.
        ScriptSegment& s = segment();
        s.variant = wanted;
        s.voiceName = espeakVoiceName(language_, wanted);
        while (!s.pieces.empty() && s.pieces.back().kind == ScriptPiece::Kind::Control)
            s.pieces.pop_back();
        addHeader();
        return true;
    }

    void appendSpoken(ScriptPiece& piece, const QString& spoken, int start, int end) {
        piece.spoken += spoken;
        piece.shownStart.insert(piece.shownStart.end(), spoken.size(), start);
        piece.shownEnd.insert(piece.shownEnd.end(), spoken.size(), end);
    }

    ScriptPiece spokenPiece(const QString& spoken, const QString& shown, int shownAt) {
        ScriptPiece piece;
        if (spoken != shown) { // \Map\: every spoken character stands for all of the shown text
            appendSpoken(piece, spoken, shownAt, shownAt + static_cast<int>(shown.size()));
            return piece;
        }
        qsizetype i = 0;
        while (i < spoken.size()) {
            qsizetype j = i;
            if (spoken[i].isSpace()) {
                while (j < spoken.size() && spoken[j].isSpace())
                    ++j;
            } else {
                while (j < spoken.size() && !spoken[j].isSpace())
                    ++j;
            }
            const QString token = spoken.mid(i, j - i);
            const QString said = spoken[i].isSpace() ? token : readToken(token, state_.context);
            const int at = shownAt + static_cast<int>(i);
            if (said == token) {
                for (qsizetype k = 0; k < token.size(); ++k)
                    appendSpoken(piece, token.mid(k, 1), at + static_cast<int>(k),
                                 at + static_cast<int>(k) + 1);
            } else {
                appendSpoken(piece, said, at, at + static_cast<int>(token.size()));
            }
            i = j;
        }
        return piece;
    }

    void addText(const SpeechItem& item) {
        const int shownAt = static_cast<int>(script_.displayText.size());
        script_.displayText += item.shown;
        ScriptPiece piece = spokenPiece(item.spoken, item.shown, shownAt);
        const bool speech = !piece.spoken.trimmed().isEmpty();
        segmentHasSpeech_ = segmentHasSpeech_ || speech;
        segmentHasContent_ = segmentHasContent_ || speech;
        if (!emphasisPending_ || !speech) {
            segment().pieces.push_back(std::move(piece));
            return;
        }
        // Emphasis: the next word louder, higher and slower, then back.
        emphasisPending_ = false;
        qsizetype begin = 0;
        while (begin < piece.spoken.size() && piece.spoken[begin].isSpace())
            ++begin;
        qsizetype end = begin;
        while (end < piece.spoken.size() && !piece.spoken[end].isSpace())
            ++end;
        auto part = [&](qsizetype from, qsizetype to) {
            ScriptPiece p;
            p.spoken = piece.spoken.mid(from, to - from);
            p.shownStart.assign(piece.shownStart.begin() + from, piece.shownStart.begin() + to);
            p.shownEnd.assign(piece.shownEnd.begin() + from, piece.shownEnd.begin() + to);
            return p;
        };
        if (begin > 0)
            segment().pieces.push_back(part(0, begin));
        const int setting = pitchSetting(currentVariant(), state_.pitchHz);
        control('A', std::min(200, amplitude() * 3 / 2 + 10));
        control('P', std::min(100, setting + 10));
        control('S', std::max(kMinSpeedWpm, state_.speed * 4 / 5));
        segment().pieces.push_back(part(begin, end));
        control('A', amplitude());
        control('P', setting);
        control('S', state_.speed);
        if (end < piece.spoken.size())
            segment().pieces.push_back(part(end, piece.spoken.size()));
    }

    VoiceDefaults voice_;
    QString language_; // espeak-ng's name for the character's language
    State state_;
    SpeechScript script_;
    bool emphasisPending_ = false;
    // The current segment's, kept here since asking it costs a walk over its pieces.
    bool segmentHasSpeech_ = false;
    bool segmentHasContent_ = false; // speech or bookmarks
    std::int64_t silenceMs_ = 0;     // all pauses so far
    bool silenceCut_ = false;
};

QString spellDigits(const QString& digits) {
    QStringList out;
    for (QChar c : digits)
        out << QString(c);
    return out.join(u' ');
}

QString readAddressWord(const QString& word) {
    static const QHash<QString, QString> abbreviations = {
        {QStringLiteral("st"), QStringLiteral("Street")},
        {QStringLiteral("ave"), QStringLiteral("Avenue")},
        {QStringLiteral("rd"), QStringLiteral("Road")},
        {QStringLiteral("blvd"), QStringLiteral("Boulevard")},
        {QStringLiteral("dr"), QStringLiteral("Drive")},
        {QStringLiteral("ln"), QStringLiteral("Lane")},
        {QStringLiteral("ct"), QStringLiteral("Court")},
        {QStringLiteral("apt"), QStringLiteral("Apartment")},
        {QStringLiteral("ste"), QStringLiteral("Suite")},
        {QStringLiteral("hwy"), QStringLiteral("Highway")},
        {QStringLiteral("pkwy"), QStringLiteral("Parkway")},
        {QStringLiteral("sq"), QStringLiteral("Square")},
        {QStringLiteral("n"), QStringLiteral("North")},
        {QStringLiteral("s"), QStringLiteral("South")},
        {QStringLiteral("e"), QStringLiteral("East")},
        {QStringLiteral("w"), QStringLiteral("West")},
        {QStringLiteral("ne"), QStringLiteral("North East")},
        {QStringLiteral("nw"), QStringLiteral("North West")},
        {QStringLiteral("se"), QStringLiteral("South East")},
        {QStringLiteral("sw"), QStringLiteral("South West")},
    };
    if (auto it = abbreviations.constFind(word.toLower()); it != abbreviations.constEnd())
        return *it;
    const bool digits = !word.isEmpty() &&
                        std::all_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
    if (digits && word.size() >= 5) // postal codes: digit by digit
        return spellDigits(word);
    if (digits && word.size() >= 3) // house numbers: in pairs from the right ("12 34")
        return word.left(word.size() - 2) + u' ' + word.right(2);
    return word;
}

QString readEmail(const QString& word) {
    QString out;
    for (QChar c : word) {
        if (c == u'@')
            out += QStringLiteral(" at ");
        else if (c == u'.')
            out += QStringLiteral(" dot ");
        else if (c == u'_')
            out += QStringLiteral(" underscore ");
        else if (c == u'-')
            out += QStringLiteral(" dash ");
        else
            out += c;
    }
    return out.simplified();
}

} // namespace

bool ScriptSegment::hasSpeech() const {
    return std::any_of(pieces.begin(), pieces.end(), [](const ScriptPiece& p) {
        return p.kind == ScriptPiece::Kind::Text && !p.spoken.trimmed().isEmpty();
    });
}

QString readToken(const QString& token, ReadingContext context) {
    if (context == ReadingContext::Unknown)
        return token;
    // Sentence punctuation after the token stays as it is.
    qsizetype end = token.size();
    while (end > 0 && QStringLiteral(",;:!?.").contains(token[end - 1]))
        --end;
    const QString word = token.left(end);
    const QString tail = token.mid(end);
    if (word.isEmpty())
        return token;
    if (context == ReadingContext::Email)
        return word.contains(u'@') || word.contains(u'.') ? readEmail(word) + tail : token;
    return readAddressWord(word) + tail;
}

SpeechScript buildScript(const ParsedSpeech& parsed, const VoiceDefaults& voice) {
    Builder builder(voice);
    for (const SpeechItem& item : parsed.items)
        builder.add(item);
    return builder.take();
}

ParsedSpeech statementToSay(const QString& taggedText, QString& lastStatement) {
    ParsedSpeech parsed = parseSpeechTags(taggedText);
    if (!parsed.hasLst()) {
        lastStatement = taggedText;
        return parsed;
    }
    if (parsed.items.size() > 1)
        qCInfo(lcSpeech) << "\\Lst\\ repeats the last statement; the rest of the text is ignored";
    if (lastStatement.isEmpty())
        qCInfo(lcSpeech) << "\\Lst\\ with no earlier statement: nothing to say";
    return parseSpeechTags(lastStatement);
}

} // namespace agent::speech
