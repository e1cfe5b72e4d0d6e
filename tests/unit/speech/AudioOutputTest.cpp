// AudioOutput against a real PulseAudio server: what the null sink's monitor records
// is what a listener would have heard. Speech heard after a double-click is e2e's "voice".

#include "agent/speech/AudioOutput.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace agent::speech;
using agent::engine::SpeechAudio;

namespace {

constexpr int kRate = 22050;

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits until `done` holds, 10 s at most: a young server may stall a little.
bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i)
        waitMs(10);
    return done();
}

std::vector<std::int16_t> tone(int ms, int rate) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(ms) * rate / 1000);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * double(i) / rate));
    return pcm;
}

// Records the null sink's monitor as mono 16-bit PCM, into a file so that nothing
// waits on a full pipe; gives the runs of loud 10 ms blocks heard, each as its first
// and last block, where a run ends at 200 ms of quiet.
std::vector<std::pair<int, int>> loudRuns(const std::function<void()>& play) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.raw"));
    QProcess parec;
    parec.start(QStringLiteral("parec"),
                {QStringLiteral("--device=t.monitor"), QStringLiteral("--format=s16le"),
                 QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                 QStringLiteral("--latency-msec=20"), QStringLiteral("--raw"), path});
    parec.waitForStarted(5000);
    QElapsedTimer clock;
    clock.start();
    waitMs(400); // let the stream connect before anything plays
    play();
    // The monitor's data may lag behind: wait until the file covers the time so far.
    const qint64 wanted = (clock.elapsed() - 500) * kRate / 1000 * 2;
    waitFor([&] { return QFileInfo(path).size() >= wanted; });
    parec.terminate();
    parec.waitForFinished(5000);
    QFile file(path);
    std::vector<std::int16_t> pcm(file.open(QIODevice::ReadOnly) ? std::size_t(file.size()) / 2
                                                                 : 0);
    file.read(reinterpret_cast<char*>(pcm.data()), qint64(pcm.size() * 2));
    constexpr std::size_t block = kRate / 100;
    std::vector<std::pair<int, int>> runs;
    for (std::size_t s = 0; s + block <= pcm.size(); s += block) {
        double e = 0;
        for (std::size_t i = s; i < s + block; ++i)
            e += double(pcm[i]) * pcm[i];
        const int b = int(s / block);
        if (std::sqrt(e / block) <= 300)
            continue;
        if (runs.empty() || b - runs.back().second > 20)
            runs.emplace_back(b, b);
        runs.back().second = b;
    }
    return runs;
}

} // namespace

// The position advances with playback and never runs past the sound; stop cuts the
// sound at once.
TEST(AudioOutputTest, ASoundIsHeardForItsLengthAndStopCutsIt) {
    ASSERT_TRUE(AudioOutput::hasDevice());
    AudioOutput out;
    bool finished = false;
    QObject::connect(&out, &AudioOutput::finished, [&] { finished = true; });
    // A server's first streams stall between buffers for a while: some sound goes first.
    ASSERT_TRUE(out.play(std::vector<std::int16_t>(kRate * 3 / 2, 0), kRate));
    ASSERT_TRUE(waitFor([&] { return finished; }));
    std::int64_t early = 0, whole = 0, atStop = 0;
    const auto runs = loudRuns([&] {
        finished = false;
        ASSERT_TRUE(out.play(SpeechAudio(tone(1000, kRate)), kRate));
        EXPECT_TRUE(out.isPlaying());
        waitFor([&] { return out.elapsedMs() >= 300; });
        early = out.elapsedMs();
        ASSERT_TRUE(waitFor([&] { return finished; }));
        EXPECT_FALSE(out.isPlaying());
        whole = out.elapsedMs();
        waitMs(300);
        ASSERT_TRUE(out.play(tone(4000, kRate), kRate));
        waitFor([&] { return out.elapsedMs() >= 500; });
        atStop = out.elapsedMs();
        out.stop();
        EXPECT_TRUE(!out.isPlaying() && out.elapsedMs() == 0);
        waitMs(800);
    });
    EXPECT_TRUE(0 < early && early < whole) << early << " ms of " << whole;
    EXPECT_NEAR(double(whole), 1000, 100);
    ASSERT_GE(atStop, 500);
    ASSERT_EQ(runs.size(), 2u) << "tone, cut tone";
    const auto ms = [&](std::size_t i) { return double(runs[i].second - runs[i].first + 1) * 10; };
    EXPECT_NEAR(ms(0), 1000, 150);
    EXPECT_GT(ms(1), 300);
    EXPECT_LT(ms(1), double(atStop + 250)) << "of the 4000 ms tone";
    EXPECT_FALSE(out.play(SpeechAudio(), kRate)); // nothing to hear
}

TEST(NoDevice, PlayReportsItOnceAndTheCallerPacesByTheClock) {
    static QStringList messages;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& m) {
            if (QByteArray(context.category) == "agent.speech")
                messages << m;
        });
    QLoggingCategory::setFilterRules(QStringLiteral("agent.speech=true"));
    AudioOutput out;
    EXPECT_FALSE(AudioOutput::hasDevice());
    EXPECT_FALSE(out.play(tone(500, kRate), kRate));
    EXPECT_FALSE(out.play(tone(500, kRate), kRate));
    EXPECT_TRUE(!out.isPlaying() && out.elapsedMs() == 0);
    out.stop();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    EXPECT_TRUE(messages.size() == 1 && messages[0].contains(QStringLiteral("no audio output")))
        << messages.join(u'\n').toStdString();
}
