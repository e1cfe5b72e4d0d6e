// agent-say: renders tagged text through the engine's speech path into a WAV file,
// optionally printing the timeline of words, phonemes and mouths.

#include "agent/speech/EspeakSynthesizer.h"
#include "agent/speech/Voices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

using namespace agent::speech;

namespace {

void putLE(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool writeWav(const QString& path, const Utterance& u) {
    const int rate = u.sampleRate > 0 ? u.sampleRate : 22050;
    std::vector<std::int16_t> pcm = u.pcm.samples();
    if (pcm.empty()) // a silent voice still lasts as long as it speaks
        pcm.assign(static_cast<std::size_t>(u.durationMs * rate / 1000), 0);
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    QByteArray out("RIFF");
    putLE(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    putLE(out, 16, 4);
    putLE(out, 1, 2); // PCM
    putLE(out, 1, 2); // mono
    putLE(out, static_cast<std::uint32_t>(rate), 4);
    putLE(out, static_cast<std::uint32_t>(rate * 2), 4);
    putLE(out, 2, 2);
    putLE(out, 16, 2);
    out.append("data");
    putLE(out, dataBytes, 4);
    for (std::int16_t s : pcm)
        putLE(out, static_cast<std::uint16_t>(s), 2);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

const char* mouthName(agent::format::MouthType m) {
    static const char* names[] = {"closed", "wide1", "wide2", "wide3", "wide4", "medium", "narrow"};
    return names[static_cast<int>(m)];
}

void printTimeline(const Utterance& u) {
    std::multimap<std::int64_t, QString> lines;
    for (const WordEvent& w : u.words)
        lines.emplace(w.ms,
                      QStringLiteral("word     \"%1\"").arg(u.displayText.mid(w.start, w.length)));
    for (const PhonemeEvent& p : u.phonemes)
        lines.emplace(p.ms, QStringLiteral("phoneme  %1").arg(p.name));
    for (const MouthEvent& m : u.mouths)
        lines.emplace(m.ms, QStringLiteral("mouth    %1").arg(QLatin1String(mouthName(m.mouth))));
    for (const BookmarkEvent& b : u.bookmarks)
        lines.emplace(b.ms, QStringLiteral("bookmark %1").arg(b.id));
    QTextStream out(stdout);
    for (const auto& [ms, line] : lines)
        out << QStringLiteral("%1 ms  ").arg(ms, 6) << line << '\n';
    out << QStringLiteral("%1 ms  end").arg(u.durationMs, 6) << '\n';
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("agent-say"));
    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("Says tagged text with the character engine's voice into a WAV file."));
    args.addHelpOption();
    const QCommandLineOption voiceOption(QStringLiteral("voice"),
                                         QStringLiteral("espeak-ng language voice (default en)."),
                                         QStringLiteral("NAME"), QStringLiteral("en"));
    const QCommandLineOption femaleOption(QStringLiteral("female"),
                                          QStringLiteral("A female character's voice."));
    const QCommandLineOption speedOption(QStringLiteral("speed"),
                                         QStringLiteral("Default speed, words per minute."),
                                         QStringLiteral("WPM"), QStringLiteral("150"));
    const QCommandLineOption pitchOption(QStringLiteral("pitch"),
                                         QStringLiteral("Default pitch in hertz."),
                                         QStringLiteral("HZ"), QStringLiteral("110"));
    const QCommandLineOption timelineOption(
        QStringLiteral("timeline"), QStringLiteral("Print words, phonemes and mouths with times."));
    const QCommandLineOption wavOption(QStringLiteral("wav"),
                                       QStringLiteral("The 16-bit mono WAV file to write."),
                                       QStringLiteral("OUT.wav"));
    args.addOptions(
        {voiceOption, femaleOption, speedOption, pitchOption, timelineOption, wavOption});
    args.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("Tagged text to say."));
    args.process(app);
    if (args.positionalArguments().size() != 1 || !args.isSet(wavOption)) {
        std::fputs("usage: agent-say [--voice NAME] [--timeline] --wav OUT.wav TEXT\n", stderr);
        return 2;
    }

    VoiceDefaults voice;
    // Voices are chosen by language ID, as a character file names its language.
    const std::optional<unsigned> langId = langIdForLanguage(args.value(voiceOption));
    if (!langId) {
        std::fprintf(stderr, "agent-say: no voice \"%s\" (en, en-us, en-gb, de, fr, ...)\n",
                     qPrintable(args.value(voiceOption)));
        return 2;
    }
    voice.langId = *langId;
    voice.gender = args.isSet(femaleOption) ? kGenderFemale : kGenderMale;
    voice.speedWpm = args.value(speedOption).toInt();
    voice.pitchHz = args.value(pitchOption).toInt();

    const std::unique_ptr<Synthesizer> synthesizer = createSynthesizer();
    std::shared_ptr<const Utterance> result;
    QObject::connect(synthesizer.get(), &Synthesizer::ready, &app,
                     [&](std::uint64_t, std::shared_ptr<const Utterance> u) {
                         result = std::move(u);
                         QCoreApplication::quit();
                     });
    synthesizer->synthesize(1, args.positionalArguments().front(), voice);
    QCoreApplication::exec();

    if (!result)
        return 1;
    if (result->pcm.empty())
        std::fputs("agent-say: espeak-ng is unavailable; the WAV file is silent\n", stderr);
    if (args.isSet(timelineOption))
        printTimeline(*result);
    if (!writeWav(args.value(wavOption), *result)) {
        std::fprintf(stderr, "agent-say: cannot write %s\n", qPrintable(args.value(wavOption)));
        return 1;
    }
    return 0;
}
