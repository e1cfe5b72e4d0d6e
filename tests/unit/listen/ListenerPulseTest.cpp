// End to end through a private PulseAudio server: a null sink whose monitor is
// remapped into a virtual microphone. Rendered speech is played into the sink
// while the Listener records from the microphone and recognises it.
#include "agent/listen/Grammar.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Phrases.h"
#include "agent/listen/Wav.h"

#include "Speech.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace agent::listen;
using listentest::kCommands;

namespace {

QTemporaryDir* gRuntime = nullptr;

// The private server, started before Qt first talks to PulseAudio and ended
// when the tests are done.
class PrivatePulse {
  public:
    bool start(const QString& runtimeDir, QString& why) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir.toLocal8Bit());
        qputenv("PULSE_RUNTIME_PATH", QDir(runtimeDir).filePath("pulse").toLocal8Bit());
        qputenv("HOME", runtimeDir.toLocal8Bit()); // keeps cookies and state in the temp dir
        qunsetenv("PULSE_SERVER");
        pid_ = fork();
        if (pid_ == 0) {
            execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                   "--use-pid-file=no", "--load=module-native-protocol-unix",
                   "--load=module-null-sink sink_name=t", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) {
            why = "cannot fork";
            return false;
        }
        // Ready when pactl can talk to it; the ceiling only bounds a broken setup.
        for (int i = 0; i < 100 && !pactl({"info"}); ++i)
            QThread::msleep(100);
        if (!pactl({"info"})) {
            why = "pulseaudio did not come up";
            return false;
        }
        if (!pactl({"load-module", "module-remap-source", "master=t.monitor", "source_name=mic"}) ||
            !pactl({"set-default-source", "mic"}) || !pactl({"set-default-sink", "t"})) {
            why = "cannot set up the virtual microphone";
            return false;
        }
        return true;
    }

    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

    ~PrivatePulse() { stop(); }

    static bool pactl(const QStringList& args) {
        QProcess p;
        p.start("pactl", args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

  private:
    pid_t pid_ = -1;
};

bool waitForState(Listener& l, Listener::State s) {
    QSignalSpy spy(&l, &Listener::stateChanged);
    while (l.state() != s)
        if (!spy.wait(30000))
            return false;
    return true;
}

// Writes the phrase as a WAV file and plays it into the null sink.
bool play(const std::string& text, const QString& name) {
    listentest::Samples s = listentest::render(text, "en-us", 160);
    const QString path = QDir(gRuntime->path()).filePath(name);
    writeWav(path.toStdString(), PcmAudio{16000, 1, s});
    // The event loop keeps running meanwhile, as it would in the engine, so
    // the Listener takes in audio while it plays.
    QProcess p;
    QSignalSpy finished(&p, &QProcess::finished);
    p.start("paplay", {"-d", "t", path});
    return finished.wait(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::unique_ptr<Listener> readyListener(Listener::Options options) {
    auto l = std::make_unique<Listener>();
    if (!waitForState(*l, Listener::State::Idle))
        return nullptr;
    l->setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    l->setOptions(options);
    return l;
}

} // namespace

TEST(ListenerThroughPulseAudio, PushToTalkHearsShutUpAndQuitAsBye) {
    ASSERT_TRUE(Listener::microphoneAvailable());
    Listener::Options o;
    o.releaseDelayMs = 2000;
    o.endSilenceMs = 500;
    auto l = readyListener(o);
    ASSERT_TRUE(l);
    QSignalSpy results(l.get(), &Listener::recognized);
    l->start();
    ASSERT_EQ(l->state(), Listener::State::Listening);
    ASSERT_TRUE(play("Shut up and quit", "bye.wav"));
    l->stop(); // the key comes up as the phrase ends
    ASSERT_TRUE(results.wait(30000));
    const auto r = results.at(0).at(0).value<Recognition>();
    std::printf("heard %s, %.2f s of audio, decoded in %.1f ms\n", r.heard.c_str(), r.audioSeconds,
                r.decodeTime.count() / 1000.0);
    ASSERT_TRUE(r.accepted) << "heard " << r.heard;
    EXPECT_EQ(r.phrase->commandName, "BYE");
    EXPECT_EQ(r.phrase->shown, "Shut Up! & Quit");
    EXPECT_EQ(l->state(), Listener::State::Idle);
}

TEST(ListenerThroughPulseAudio, OutOfGrammarSpeechIsRejected) {
    auto l = readyListener({});
    ASSERT_TRUE(l);
    QSignalSpy results(l.get(), &Listener::recognized);
    l->start();
    ASSERT_TRUE(play("What time is it", "time.wav"));
    l->stop();
    ASSERT_TRUE(results.wait(30000));
    const auto r = results.at(0).at(0).value<Recognition>();
    EXPECT_FALSE(r.accepted) << "taken for " << r.phrase->shown;
    EXPECT_GT(r.audioSeconds, 0.5); // it did record the sentence
}

TEST(ListenerThroughPulseAudio, HandsFreeOpensAndClosesTheUtteranceByVoice) {
    Listener::Options o;
    o.handsFree = true;
    auto l = readyListener(o);
    ASSERT_TRUE(l);
    ASSERT_EQ(l->state(), Listener::State::Listening);
    QSignalSpy results(l.get(), &Listener::recognized);
    ASSERT_TRUE(play("Random animation", "random.wav"));
    ASSERT_TRUE(results.count() > 0 || results.wait(30000));
    const auto r = results.at(0).at(0).value<Recognition>();
    ASSERT_TRUE(r.accepted) << "heard " << r.heard << " in " << r.audioSeconds << " s";
    EXPECT_EQ(r.phrase->commandName, "READPAGE");
    EXPECT_EQ(l->state(), Listener::State::Listening); // still listening for the next
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QTemporaryDir runtime;
    gRuntime = &runtime;
    PrivatePulse pulse;
    QString why;
    if (!pulse.start(runtime.path(), why)) {
        std::fprintf(stderr, "private PulseAudio server: %s\n", qPrintable(why));
        return 1;
    }
    int rc = 0;
    {
        QCoreApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    pulse.stop();
    return rc;
}
