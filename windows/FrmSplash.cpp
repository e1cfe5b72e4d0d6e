#include "FrmSplash.h"

#include "platform/toolkit/WindowFrame.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

namespace parlavox {

using toolkit::Twips;

void FrmSplash::Design(QWidget& window) {
    // No title bar, a fixed frame and no taskbar button: the user can neither
    // move, resize nor close it.
    window.setWindowFlags(Qt::SplashScreen | Qt::CustomizeWindowHint);
    toolkit::SetBorder(window, toolkit::Border::FixedDialog);
    window.setWindowTitle(QString());
    window.setWindowIcon(QIcon(QStringLiteral(":/icon48.png")));
    window.setFixedSize(Twips(6360), Twips(4650));

    // The picture is one column wider than the client area and drawn unscaled
    // from the top left, so that column is cut off.
    auto* picture = new QLabel(&window);
    picture->setPixmap(QPixmap(QStringLiteral(":/splash.png")));
    picture->setGeometry(0, 0, 425, 310);
    picture->setScaledContents(false);

    label1_ = new QLabel(QStringLiteral("Parlavox"), &window);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(Twips(840), Twips(1320), Twips(4815), Twips(1215));
    QFont title(QStringLiteral("Trebuchet MS"));
    title.setPointSize(45);
    title.setWeight(QFont::Normal);
    title.setItalic(false);
    title.setUnderline(false);
    label1_->setFont(title);
    label1_->setStyleSheet(QStringLiteral("color: rgb(255, 255, 0); background: transparent;"));

    version_ = new QLabel(QStringLiteral("Version"), &window);
    version_->setObjectName(QStringLiteral("Version"));
    version_->setGeometry(Twips(120), Twips(4320), Twips(3015), Twips(255));
    version_->setStyleSheet(QStringLiteral("background: transparent;"));

    timer1_ = std::make_unique<toolkit::Timer>(&window, 1000, true, [this] { Timer1_Timer(); });
    dlg_ = std::make_unique<toolkit::CommonDialog>(QStringLiteral("Open Agent Character"),
                                                   QStringLiteral("C:\\Windows\\AGENT\\Chars\\"),
                                                   QStringLiteral("*.acs|*.acs"));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window.size());
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

} // namespace parlavox
