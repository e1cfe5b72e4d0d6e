#include "Runtime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>

#include <cstring>

#include <malloc.h>

namespace parlavox::toolkit {

namespace {

struct State {
    bool ending = false;
    int status = 0;
    uint32_t seed = 0x50000; // the generator's customary start value
};

State& state() {
    static State s;
    return s;
}

void quit(int status) {
    state().ending = true;
    state().status = status;
    if (hooks().quit)
        hooks().quit(status);
    else if (QCoreApplication::instance())
        QCoreApplication::exit(status);
}

void reportRunTimeError(const QString& what) {
    // Mark the program as ending first: no handler may run while the report is up.
    state().ending = true;
    state().status = 1;
    MsgBox(QStringLiteral("Run-time error:\n\n%1").arg(what), 16);
    quit(1);
}

} // namespace

Hooks& hooks() {
    static Hooks h;
    return h;
}

void ResetRuntime() {
    state() = State{};
}

void Dispatch(const std::function<void()>& handler) {
    if (state().ending)
        return;
    try {
        handler();
    } catch (const EndProgram& end) {
        quit(end.status);
    } catch (const std::exception& e) {
        reportRunTimeError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportRunTimeError(QStringLiteral("an unknown error occurred"));
    }
}

void End() {
    throw EndProgram{0};
}

bool Ending() {
    return state().ending;
}
int ExitStatus() {
    return state().status;
}

void MsgBox(const QString& prompt, int style) {
    if (hooks().msgBox) {
        hooks().msgBox(prompt, style);
        return;
    }
    QMessageBox box;
    box.setWindowTitle(AppTitle());
    box.setText(prompt);
    // Style 16 is the critical-stop icon with a single OK button; the program
    // uses no other style.
    box.setIcon((style & 0x70) == 16 ? QMessageBox::Critical : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QString AppTitle() {
    return QStringLiteral("Parlavox");
}
int AppMajor() {
    return PARLAVOX_VERSION_MAJOR;
}
int AppMinor() {
    return PARLAVOX_VERSION_MINOR;
}
int AppRevision() {
    return PARLAVOX_VERSION_PATCH;
}

void Randomize() {
    const QTime now = QTime::currentTime();
    Randomize(static_cast<uint32_t>(now.msecsSinceStartOfDay()) * 2654435761u);
}

void Randomize(uint32_t seed) {
    state().seed = (seed ^ (seed >> 8) ^ (seed >> 16)) & 0xFFFFFF;
}

float Rnd() {
    if (hooks().rnd)
        return hooks().rnd();
    // 24-bit linear congruential generator: every value is an exact single in [0, 1).
    uint32_t& x = state().seed;
    x = (x * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<float>(x) / 16777216.0f;
}

QString DataFolder() {
    const QString bin =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir::cleanPath(bin + QStringLiteral("/../") + QStringLiteral(PARLAVOX_DATA_SUBDIR));
}

uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) {
    const QString dir = hooks().windowsDirectory ? hooks().windowsDirectory() : DataFolder();
    const QByteArray bytes = dir.toLocal8Bit();
    if (bytes.isEmpty())
        return 0;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (length + 1 > size)
        return length + 1;
    std::memcpy(buffer, bytes.constData(), length);
    buffer[length] = '\0';
    return length;
}

} // namespace parlavox::toolkit

#include <cmath>

namespace parlavox::toolkit {

int16_t CInt(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (!(whole >= -32768.0 && whole <= 32767.0))
        throw std::overflow_error("Overflow: " + std::to_string(value) +
                                  " does not fit a 16-bit integer");
    return static_cast<int16_t>(whole);
}

void ReturnLargeBlocksToSystem() {
    // glibc raises its mmap threshold after the first large free, after which
    // big blocks come from the heap and its freed pages stay resident.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
}

} // namespace parlavox::toolkit
