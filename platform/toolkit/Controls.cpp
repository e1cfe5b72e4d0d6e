#include "Controls.h"

#include "Runtime.h"

#include <QKeyEvent>
#include <QPainter>

#include <stdexcept>

namespace parlavox::toolkit {

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers().testFlag(Qt::ControlModifier)) {
        insertPlainText(QStringLiteral("\n"));
        return;
    }
    if (enter) {
        focusNextChild();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QString ListBox::List(int index) const {
    const QListWidgetItem* it = item(index);
    if (!it)
        throw std::out_of_range("list index " + std::to_string(index) + " is outside the list of " +
                                std::to_string(count()) + " items");
    return it->text();
}

Timer::Timer(QObject* parent, int intervalMs, bool enabled, std::function<void()> handler)
    : timer_(new QTimer(parent)) {
    timer_->setInterval(intervalMs);
    QObject::connect(timer_, &QTimer::timeout, timer_,
                     [handler = std::move(handler)] { Dispatch(handler); });
    if (enabled)
        timer_->start();
}

void Timer::SetEnabled(bool enabled) {
    if (enabled)
        timer_->start();
    else
        timer_->stop();
}

CommandButton::CommandButton(const QString& caption, QWidget* parent, std::function<void()> onClick)
    : QPushButton(caption, parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this,
            [onClick = std::move(onClick)] { Dispatch(onClick); });
}

Line::Line(QWidget* parent, QPoint from, QPoint to, QColor color)
    : QWidget(parent), from_(from), to_(to), color_(color) {
    const QRect box = QRect(from, to).normalized();
    setGeometry(box.adjusted(0, 0, 1, 1));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void Line::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(color_);
    p.drawLine(from_ - pos(), to_ - pos());
}

} // namespace parlavox::toolkit
