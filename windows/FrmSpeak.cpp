#include "FrmSpeak.h"

#include "platform/toolkit/Runtime.h"
#include "platform/toolkit/WindowFrame.h"

#include <QIcon>

namespace parlavox {

using toolkit::Twips;

FrmSpeak::~FrmSpeak() = default;

namespace {

QSlider* makeSlider(QWidget& window, int top) {
    auto* slider = new QSlider(Qt::Horizontal, &window);
    slider->setGeometry(Twips(120), Twips(top), Twips(4455), Twips(375));
    slider->setRange(25, 500);
    slider->setSingleStep(25);
    slider->setPageStep(50);
    slider->setTickInterval(25);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setValue(50);
    return slider;
}

QLabel* makeLabel(QWidget& window, const QString& caption, QRect twips, const QFont& font) {
    auto* label = new QLabel(caption, &window);
    label->setGeometry(Twips(twips.x()), Twips(twips.y()), Twips(twips.width()),
                       Twips(twips.height()));
    label->setFont(font);
    return label;
}

} // namespace

void FrmSpeak::Design(QWidget& window) {
    // No title bar but a sizable frame; shown in the taskbar while visible.
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint);
    toolkit::SetBorder(window, toolkit::Border::Sizable);
    window.setWindowTitle(QString());
    window.setWindowIcon(QIcon(QStringLiteral(":/icon48.png")));
    window.resize(Twips(4680), Twips(2955));

    QFont small = window.font();
    small.setPointSizeF(8.25);

    textBox1_ = new toolkit::TextBox(&window);
    textBox1_->setObjectName(QStringLiteral("TextBox1"));
    textBox1_->setGeometry(Twips(120), Twips(120), Twips(3255), Twips(615));
    textBox1_->setFrameStyle(QFrame::Box | QFrame::Sunken); // etched
    textBox1_->setFont(small);

    commandButton2_ = new toolkit::CommandButton(QStringLiteral("&Set"), &window,
                                                 [this] { CommandButton2_Click(); });
    commandButton2_->setGeometry(Twips(3480), Twips(120), Twips(1095), Twips(615));
    commandButton2_->setFont(small);

    sldSpeed_ = makeSlider(window, 840);
    sldSpeed_->setObjectName(QStringLiteral("sldSpeed"));
    label2_ = makeLabel(window, QStringLiteral("Speed"), {1800, 1320, 1095, 255}, small);
    slider1_ = makeSlider(window, 1560);
    slider1_->setObjectName(QStringLiteral("Slider1"));
    label3_ = makeLabel(window, QStringLiteral("Pitch"), {1800, 2040, 1095, 375}, small);
    label4_ =
        makeLabel(window, QStringLiteral("Parlavox by its makers"), {120, 2520, 3495, 255}, small);
    label4_->setEnabled(false);

    command1_ =
        new toolkit::CommandButton(QStringLiteral("S&ing"), &window, [this] { Command1_Click(); });
    command1_->setGeometry(Twips(3240), Twips(2520), Twips(1215), Twips(375));

    // Drawn in the colour of an inactive window's title bar.
    line1_ = new toolkit::Line(&window, {Twips(240), Twips(2400)}, {Twips(4320), Twips(2400)},
                               window.palette().color(QPalette::Inactive, QPalette::Highlight));

    for (QWidget* w : {static_cast<QWidget*>(label2_), static_cast<QWidget*>(label3_),
                       static_cast<QWidget*>(label4_)})
        w->setFocusPolicy(Qt::NoFocus);
    QWidget::setTabOrder(textBox1_, commandButton2_);
    QWidget::setTabOrder(commandButton2_, sldSpeed_);
    QWidget::setTabOrder(sldSpeed_, slider1_);
    QWidget::setTabOrder(slider1_, command1_);

    timer1_ = std::make_unique<toolkit::Timer>(&window, 15000, true, [this] { Timer1_Timer(); });

    agentControl_ = agentctl::CreateControl();
    QObject::connect(agentControl_.get(), &agentctl::Control::Command, &window,
                     [this](const agentctl::UserInput& input) {
                         toolkit::Dispatch([&] { AgentControl_Command(input); });
                     });
    QObject::connect(agentControl_.get(), &agentctl::Control::DblClick, &window,
                     [this](const QString& id, short button, short shift, short x, short y) {
                         toolkit::Dispatch([&] { AgentControl_DblClick(id, button, shift, x, y); });
                     });
}

void FrmSpeak::CommandButton2_Click() {
    Hide();
}

} // namespace parlavox
