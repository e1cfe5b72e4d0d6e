#pragma once
// Runs the program against a recording character service, with the toolkit's
// dialogs, message box, clock-seeded random numbers and quitting replaced by
// scripted stand-ins.

#include "RecordingAgent.h"

#include "platform/toolkit/CommonDialog.h"
#include "platform/toolkit/Runtime.h"
#include "windows/Forms.h"
#include "windows/FrmAnimation.h"
#include "windows/FrmSpeak.h"
#include "windows/FrmSplash.h"

#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace parlavox::testing {

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        toolkit::ResetRuntime();
        recording = std::make_shared<Recording>();
        recording->animationNames = {"Wave", "Greet", "Think"};
        dialogRequests.clear();
        messages.clear();
        quitStatus.reset();
        agentctl::SetControlFactory([this] {
            auto made = std::make_unique<RecordingControl>(recording);
            control = made.get();
            return made;
        });
        toolkit::CommonDialog::SetPresenter(
            [this](const toolkit::CommonDialog::OpenRequest& request, QWidget*) {
                dialogRequests.push_back(request);
                return chosenFile;
            });
        auto& h = toolkit::hooks();
        h.msgBox = [this](const QString& prompt, int style) {
            messages << QString::number(style) + ": " + prompt;
        };
        h.quit = [this](int status) { quitStatus = status; };
        // Once the scripted numbers run out, 0: it picks nothing.
        h.rnd = [this] { return randoms.isEmpty() ? 0.0f : randoms.takeFirst(); };
    }

    void TearDown() override {
        UnloadAllForms();
        agentctl::SetControlFactory(nullptr);
        toolkit::CommonDialog::SetPresenter(nullptr);
        toolkit::hooks() = {};
        toolkit::ResetRuntime();
    }
    void restart() { // a fresh program within a test
        TearDown();
        SetUp();
    }

    // Start-up as the toolkit runs it: load and show the start-up window, then
    // its first timer tick.
    void startUp(const QString& file = QStringLiteral("/home/user/chars/HANZ.ACS")) {
        chosenFile = file;
        toolkit::Dispatch([] { frmSplash().Show(); });
        toolkit::Dispatch([] { frmSplash().Timer1_Timer(); });
    }

    // Start-up with the request stream of start-up itself forgotten.
    void startUpQuietly() {
        startUp();
        ASSERT_FALSE(toolkit::Ending()) << "start-up failed";
        recording->requests.clear();
    }

    QStringList requests() const { return recording->requests; }

    std::shared_ptr<Recording> recording;
    QString chosenFile;
    std::vector<toolkit::CommonDialog::OpenRequest> dialogRequests;
    QStringList messages; // "style: prompt"
    std::optional<int> quitStatus;
    QList<float> randoms;
    RecordingControl* control = nullptr;
};

} // namespace parlavox::testing
