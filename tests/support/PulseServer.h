#pragma once
// A private PulseAudio server with one null sink "t" for audio tests, in a temporary
// runtime directory, and on request a microphone "mic" that hears what the sink
// plays; or, for tests of the no-device case, an environment where no server can
// be found. The server is stopped when this object goes.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>

#include <string>
#include <sys/types.h>

namespace speechtest {

class PulseServer {
  public:
    enum class Mode { Start, Nowhere };

    explicit PulseServer(Mode mode = Mode::Start) {
        const QString runtime = dir_.path() + QStringLiteral("/pulse");
        QDir().mkpath(runtime);
        qputenv("XDG_RUNTIME_DIR", dir_.path().toUtf8());
        qputenv("PULSE_RUNTIME_PATH", runtime.toUtf8());
        qputenv("PULSE_STATE_PATH", (dir_.path() + QStringLiteral("/state")).toUtf8());
        if (mode == Mode::Nowhere) {
            // No server, and none may be spawned on demand.
            QFile config(dir_.path() + QStringLiteral("/client.conf"));
            if (config.open(QIODevice::WriteOnly))
                config.write("autospawn = no\n");
            qputenv("PULSE_CLIENTCONFIG", config.fileName().toUtf8());
            qputenv("PULSE_SERVER", ("unix:" + runtime + QStringLiteral("/none")).toUtf8());
            return;
        }
        qputenv("PULSE_SERVER", ("unix:" + runtime + QStringLiteral("/native")).toUtf8());
        // Detached: as a child of this process the server's null sink stalls between
        // buffers (seen with Qt 6.4), which a server of its own does not.
        QProcess launcher;
        launcher.setProgram(QStringLiteral("pulseaudio"));
        launcher.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1",
                               "--load=module-native-protocol-unix",
                               "--load=module-null-sink sink_name=t"});
        launcher.setStandardInputFile(QProcess::nullDevice());
        launcher.setStandardOutputFile(dir_.filePath(QStringLiteral("pulseaudio.log")));
        launcher.setStandardErrorFile(dir_.filePath(QStringLiteral("pulseaudio.log")),
                                      QIODevice::Append);
        if (!launcher.startDetached(&pid_))
            return;
        for (int attempt = 0; attempt < 100 && !running_; ++attempt)
            if (!(running_ = pactl({QStringLiteral("info")})))
                QThread::msleep(100);
    }

    // The sink's monitor remapped as the default source: Qt hides .monitor sources.
    bool addMicrophone() {
        return pactl(
                   {"load-module", "module-remap-source", "master=t.monitor", "source_name=mic"}) &&
               pactl({"set-default-source", "mic"}) && pactl({"set-default-sink", "t"});
    }

    static bool pactl(const QStringList& args) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(QStringLiteral("pactl"), args);
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    ~PulseServer() {
        if (pid_ <= 0)
            return;
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
        for (int i = 0; i < 50 && ::kill(static_cast<pid_t>(pid_), 0) == 0; ++i)
            QThread::msleep(100);
        if (::kill(static_cast<pid_t>(pid_), 0) == 0)
            ::kill(static_cast<pid_t>(pid_), SIGKILL);
    }

    bool running() const { return running_; }
    std::string log() const {
        QFile file(dir_.filePath(QStringLiteral("pulseaudio.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

  private:
    QTemporaryDir dir_;
    qint64 pid_ = 0;
    bool running_ = false;
};

} // namespace speechtest
