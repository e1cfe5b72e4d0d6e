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
#include <cstring>

using namespace agent::speech;
using agent::engine::SpeechAudio;

namespace {

constexpr int kRate = 22050;

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Records the null sink's monitor as mono 16-bit PCM, into a file so that nothing
// waits on a full pipe.
class MonitorRecording {
  public:
    MonitorRecording() {
        parec_.start(QStringLiteral("parec"),
                     {QStringLiteral("--device=t.monitor"), QStringLiteral("--format=s16le"),
                      QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                      QStringLiteral("--latency-msec=20"), QStringLiteral("--raw"),
                      dir_.filePath(QStringLiteral("monitor.raw"))});
        parec_.waitForStarted(5000);
        clock_.start();
        waitMs(400); // let the stream connect before anything plays
    }
    ~MonitorRecording() { finish(); }

    std::vector<std::int16_t> finish() {
        // The monitor's data may lag behind: wait until the file covers the time so far.
        const QString path = dir_.filePath(QStringLiteral("monitor.raw"));
        const qint64 wanted = (clock_.elapsed() - 500) * kRate / 1000 * 2;
        for (int i = 0; i < 150 && QFileInfo(path).size() < wanted; ++i)
            waitMs(10);
        if (parec_.state() != QProcess::NotRunning) {
            parec_.terminate();
            parec_.waitForFinished(5000);
        }
        QFile file(path);
        const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(data.size()) / 2);
        std::memcpy(pcm.data(), data.constData(), pcm.size() * 2);
        return pcm;
    }

  private:
    QTemporaryDir dir_;
    QProcess parec_;
    QElapsedTimer clock_;
};

// The 10 ms blocks of a recording whose level is clearly above silence.
std::vector<int> loudBlocks(const std::vector<std::int16_t>& pcm) {
    constexpr std::size_t block = kRate / 100;
    std::vector<int> loud;
    for (std::size_t s = 0; s + block <= pcm.size(); s += block) {
        double e = 0;
        for (std::size_t i = s; i < s + block; ++i)
            e += double(pcm[i]) * pcm[i];
        if (std::sqrt(e / block) > 300)
            loud.push_back(int(s / block));
    }
    return loud;
}

std::vector<std::int16_t> tone(int ms, int rate) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(ms) * rate / 1000);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * double(i) / rate));
    return pcm;
}

bool waitFinished(AudioOutput& out, int timeoutMs) {
    QEventLoop loop;
    bool done = false;
    QObject::connect(&out, &AudioOutput::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done;
}

// Waits until `out` has played `ms` (or 10 s pass): a young server may stall a little.
std::int64_t waitPlayed(AudioOutput& out, std::int64_t ms) {
    for (int i = 0; i < 1000 && out.elapsedMs() < ms; ++i)
        waitMs(10);
    return out.elapsedMs();
}

// A server's first streams stall between buffers for a while; the tests start after
// some sound has gone through.
class AudioOutputTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        AudioOutput warmUp;
        std::vector<std::int16_t> quiet(kRate * 3 / 2, 0);
        if (warmUp.play(quiet, kRate))
            waitFinished(warmUp, 10'000);
    }
};

} // namespace

// Speech's pauses are not stored: the output plays them as zeros, at their length. The
// position advances with playback and never runs past the sound.
TEST_F(AudioOutputTest, SoundAndSilencesAreHeardForTheirLength) {
    ASSERT_TRUE(AudioOutput::hasDevice());
    const std::vector<std::int16_t> beep = tone(400, kRate);
    SpeechAudio audio;
    audio.append(beep.data(), beep.size());
    audio.appendSilence(kRate);
    audio.append(beep.data(), beep.size());
    MonitorRecording recording;
    AudioOutput out;
    ASSERT_TRUE(out.play(audio, kRate));
    EXPECT_TRUE(out.isPlaying());
    const std::int64_t early = waitPlayed(out, 300);
    ASSERT_TRUE(waitFinished(out, 10'000));
    EXPECT_FALSE(out.isPlaying());
    EXPECT_GT(early, 0);
    EXPECT_LT(early, out.elapsedMs());
    EXPECT_GE(out.elapsedMs(), 1700);
    EXPECT_LE(out.elapsedMs(), 1900);
    waitMs(200);
    const std::vector<int> loud = loudBlocks(recording.finish());
    EXPECT_NEAR(double(loud.size()) * 10, 800, 200) << "two beeps, nothing between";
    ASSERT_FALSE(loud.empty());
    EXPECT_NEAR(double(loud.back() - loud.front() + 1) * 10, 1800, 150) << "beep, a second, beep";
}

TEST_F(AudioOutputTest, StopCutsTheSoundAndItPlaysAgainInStereo) {
    MonitorRecording recording;
    AudioOutput out;
    ASSERT_TRUE(out.play(tone(4000, kRate), kRate));
    const std::int64_t elapsedAtStop = waitPlayed(out, 500);
    out.stop();
    EXPECT_FALSE(out.isPlaying());
    EXPECT_EQ(out.elapsedMs(), 0);
    waitMs(800);
    const auto cut = recording.finish();
    const std::vector<int> loud = loudBlocks(cut);
    ASSERT_GE(elapsedAtStop, 500);
    EXPECT_GT(loud.size(), 30u);
    EXPECT_LT(double(loud.size()) * 10, double(elapsedAtStop + 250)) << "of the 4000 ms tone";
    ASSERT_FALSE(loud.empty());
    EXPECT_LT(loud.back(), int(cut.size() / (kRate / 100)) - 50) << "the last half second is quiet";

    MonitorRecording again;
    std::vector<std::int16_t> stereo;
    for (std::int16_t s : tone(600, 44100))
        stereo.insert(stereo.end(), {s, s});
    ASSERT_TRUE(out.play(stereo, 44100, 2));
    EXPECT_TRUE(waitFinished(out, 10000));
    waitMs(200);
    EXPECT_NEAR(double(loudBlocks(again.finish()).size()) * 10, 600, 250);
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
    EXPECT_FALSE(out.isPlaying());
    EXPECT_EQ(out.elapsedMs(), 0);
    out.stop();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    ASSERT_EQ(messages.size(), 1) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("no audio output")));
}
