// The program has no start-up procedure of its own: the toolkit loads and shows
// the start-up window and runs the event loop.

#include "platform/agent/EngineControl.h"
#include "platform/toolkit/Platform.h"
#include "platform/toolkit/Runtime.h"
#include "platform/toolkit/SingleInstance.h"
#include "windows/Forms.h"
#include "windows/FrmSpeak.h"
#include "windows/FrmSplash.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char** argv) {
    // Before the application exists: Qt reads its platform when it is created.
    const auto choice = parlavox::toolkit::ChoosePlatform(parlavox::toolkit::CurrentEnvironment(),
                                                          parlavox::toolkit::X11Answers);
    if (!choice.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(choice.error));
        return 1;
    }
    if (!choice.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", choice.platform.toUtf8());

    parlavox::toolkit::ReturnLargeBlocksToSystem();
    QApplication app(argc, argv);
    QApplication::setApplicationName(parlavox::toolkit::AppTitle());
    QApplication::setApplicationVersion(QStringLiteral(PARLAVOX_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app-icon-48.png")));
    // Hidden windows hold the program open: it runs until it ends itself.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start brings the running program's character back (the only way
    // back after Hide on a desktop without a system tray) and ends.
    parlavox::toolkit::SingleInstance instance(QStringLiteral("parlavox"));
    if (instance.handedOver())
        return 0;
    QObject::connect(&instance, &parlavox::toolkit::SingleInstance::activationRequested, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialog->raise();
            dialog->activateWindow();
        } else if (parlavox::frmSpeak().AgentCharacter) {
            parlavox::toolkit::Dispatch([] { parlavox::frmSpeak().AgentCharacter->Show(); });
        }
    });

    parlavox::agentctl::SetControlFactory([] { return parlavox::agentctl::CreateEngineControl(); });
    parlavox::toolkit::Dispatch([] { parlavox::frmSplash().Show(); });
    const int status =
        parlavox::toolkit::Ending() ? parlavox::toolkit::ExitStatus() : QApplication::exec();
    parlavox::UnloadAllForms();
    return status;
}
