#include "FrmAnimation.h"

#include <QIcon>

namespace parlavox {

using toolkit::Twips;

void FrmAnimation::Design(QWidget& window) {
    // A fixed dialog with a title but no close button, kept out of the taskbar.
    window.setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window.setWindowTitle(QStringLiteral("Animations"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 72})
        icon.addFile(QStringLiteral(":/app-icon-%1.png").arg(size), QSize(size, size));
    window.setWindowIcon(icon);
    window.setFixedSize(Twips(4680), Twips(2190));

    label1_ = new QLabel(QStringLiteral("Here are the animations available for this character:"),
                         &window);
    label1_->setGeometry(Twips(120), Twips(120), Twips(4455), Twips(255));

    animationListBox_ = new toolkit::ListBox(&window);
    animationListBox_->setObjectName(QStringLiteral("AnimationListBox"));
    animationListBox_->setGeometry(Twips(120), Twips(360), Twips(4455), Twips(1035));

    label2_ = new QLabel(QStringLiteral("Label2"), &window);
    label2_->setGeometry(Twips(120), Twips(1440), Twips(3495), Twips(375));

    command1_ =
        new toolkit::CommandButton(QStringLiteral("&Hide"), &window, [this] { Command1_Click(); });
    command1_->setGeometry(Twips(3120), Twips(1560), Twips(1455), Twips(495));

    label1_->setFocusPolicy(Qt::NoFocus);
    label2_->setFocusPolicy(Qt::NoFocus);
    QWidget::setTabOrder(animationListBox_, command1_);
}

void FrmAnimation::Command1_Click() {
    Hide();
}

} // namespace parlavox
