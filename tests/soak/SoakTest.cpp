// A day of use in a minute: the program and the real engine (offscreen windows,
// espeak-ng, no audio output, no listening) on a scripted clock. Every 15 s the
// random animation, every minute a double-click with new text, every hour each
// of the six commands and a megabyte of hostile text. Memory must level off,
// the queue stay short, nothing be logged as a warning, and the character come
// to rest at the end.
//   SOAK_HOURS (default 1) simulated hours.

#include "ProgramFixture.h"

#include "agent/engine/Clock.h"
#include "agent/view/AgentService.h"
#include "platform/agent/EngineControl.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

#include <unistd.h>

#include <fstream>
#include <random>

namespace parlavox::testing {
namespace {

using agent::engine::ManualClock;

std::int64_t residentBytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return std::int64_t(resident) * sysconf(_SC_PAGESIZE);
}

// Warnings from Parlavox's own code; the offscreen platform's notes that it
// cannot shape or raise windows are not ours.
int g_warnings = 0;
QtMessageHandler g_previous = nullptr;
void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (type != QtDebugMsg && type != QtInfoMsg && !QByteArray(context.category).startsWith("qt."))
        fprintf(stderr, "soak: warning %d: %s\n", ++g_warnings, qPrintable(message.left(200)));
    g_previous(type, context, message);
}

// A megabyte of what a user might paste: stray backslashes, unterminated and
// unknown tags, huge numbers, invalid UTF-8.
QString hostileText(std::mt19937& rng) {
    static const QList<QByteArray> pieces =
        QByteArray(R"(\|\Pau=|\Pau=99999999999\|\Spd=-5\|\Pit=1e99\|\Chr="|\Map="a"="|\Mrk=|)"
                   R"(\Vol=65536\|\Emp\|\Rst\| word |)"
                   "\xff\xfe|\xc3(|"
                   R"(\Lst\|\\|\Ctx="Email"\|\Unknown=1\)")
            .split('|');
    QByteArray bytes;
    while (bytes.size() < (1 << 20))
        bytes += pieces[rng() % pieces.size()];
    return QString::fromUtf8(bytes);
}

class Soak : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        toolkit::ReturnLargeBlocksToSystem(); // as the program does at start
        QStandardPaths::setTestModeEnabled(true);
        agent::engine::Options quiet;
        quiet.speechAudio = quiet.soundEffects = quiet.listeningEnabled = false;
        agent::engine::saveOptions(quiet);
        agentctl::SetControlFactory([this] {
            return agentctl::CreateEngineControl([this] {
                auto service = std::make_unique<agent::view::AgentService>();
                service_ = service.get();
                service->setClockFactory(
                    [this] { return std::unique_ptr<ManualClock>(clock_ = new ManualClock); });
                return service;
            });
        });
        g_previous = qInstallMessageHandler(countWarnings);
    }
    void TearDown() override {
        qInstallMessageHandler(g_previous);
        ProgramTest::TearDown();
    }

    // Runs the engine's clock to `until`, letting speech come back from its thread:
    // nothing scheduled while busy waits for it, in real time.
    void runTo(std::int64_t until) {
        while (clock_->now() < until) {
            QCoreApplication::processEvents();
            QDeadlineTimer deadline(10'000);
            while (clock_->nextWake() == agent::engine::Never && character().busy() &&
                   !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            clock_->advanceTo(std::min(until, std::max(clock_->nextWake(), clock_->now() + 1)));
            maxQueue = std::max(maxQueue, character().queuedRequests());
        }
        QCoreApplication::processEvents();
    }
    agent::engine::CharacterAgent& character() { return *service_->character("Merlin"); }

    agent::view::AgentService* service_ = nullptr;
    ManualClock* clock_ = nullptr;
    std::size_t maxQueue = 0;
};

TEST_F(Soak, ADayOfUse) {
    const int hours = std::max(1, qEnvironmentVariableIntValue("SOAK_HOURS"));
    startUp(QDir(toolkit::DataFolder()).filePath(QStringLiteral("agent/chars/Button.acs")));
    ASSERT_TRUE(messages.empty() && clock_) << "start-up failed";
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0, 1);
    toolkit::hooks().rnd = [&] { return unit(rng); };
    std::int64_t settled = 0;

    for (std::int64_t second = 1; second <= hours * 3600; ++second) {
        runTo(second * 1000);
        if (second % 15 == 0)
            toolkit::Dispatch([] { frmSpeak().Timer1_Timer(); });
        if (second % 60 == 0) { // at 20 minutes past, the hostile text
            frmSpeak().TextBox1().SetText(second % 3600 == 1200
                                              ? hostileText(rng)
                                              : QStringLiteral("Minute %1").arg(second / 60));
            toolkit::Dispatch([] { frmSpeak().AgentControl_DblClick("Merlin", 1, 0, 10, 10); });
        }
        if (second % 3600 == 600) { // BYE, last, ends the program; the day goes on with a new start
            for (const char* name : {"ACO", "AGENTWORLD", "MASS", "READPAGE", "SING", "BYE"})
                toolkit::Dispatch([name] { frmSpeak().AgentControl_Command({name}); });
            EXPECT_EQ(quitStatus, 0);
            quitStatus.reset();
            toolkit::ResetRuntime();
            frmSpeak().Hide();
            service_->setOptionsVisible(false);
        }
        ASSERT_TRUE(messages.empty()) << qPrintable(messages.front());
        ASSERT_FALSE(quitStatus.has_value()) << "the program ended";
        // Memory is compared from the end of the first hour, after the first round
        // of commands (10 min) and hostile text (20 min); in a one-hour run, from 30 min.
        if (second == (hours > 1 ? 3600 : 1800))
            settled = residentBytes();
    }
    // No new requests: the character finishes what it was asked and rests.
    runTo(clock_->now() + 10 * 60'000);
    EXPECT_FALSE(character().busy());
    EXPECT_LE(maxQueue, 20u) << "requests piled up";
    EXPECT_EQ(g_warnings, 0);
    const std::int64_t grown = residentBytes() - settled;
    std::fprintf(stderr, "soak: %d h; %lld KB grown since settling; longest queue %zu\n", hours,
                 (long long)(grown / 1024), maxQueue);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer holds freed memory in quarantine on purpose, so there
    // resident memory says nothing of leaks; LeakSanitizer checks at exit.
    EXPECT_LE(grown, 1 << 20) << "memory grew after settling";
#endif
}

} // namespace
} // namespace parlavox::testing
