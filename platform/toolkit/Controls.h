#pragma once
// The controls the program's windows are built from, with the operations the
// program uses under their customary names. Events reach handlers only through
// Dispatch, so nothing a handler throws crosses Qt's event loop.

#include <QFrame>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace parlavox::toolkit {

// Multi-line text box with word wrap: Enter moves the focus on, Ctrl+Enter
// starts a new line; no scroll bars, no length limit.
class TextBox : public QPlainTextEdit {
  public:
    explicit TextBox(QWidget* parent);
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Unsorted, single-selection list addressed by position from 0.
class ListBox : public QListWidget {
  public:
    explicit ListBox(QWidget* parent);
    void Clear() { clear(); }
    void AddItem(const QString& item) { addItem(item); }
    int ListCount() const { return count(); }
    QString List(int index) const; // throws on a position outside the list
};

// Raises its handler once per interval while enabled.
class Timer {
  public:
    Timer(QObject* parent, int intervalMs, bool enabled, std::function<void()> handler);
    void SetEnabled(bool enabled);
    bool Enabled() const { return timer_->isActive(); }
    int Interval() const { return timer_->interval(); }

  private:
    QTimer* timer_; // owned by the parent
};

// Push button whose click runs its handler through the dispatcher.
class CommandButton : public QPushButton {
  public:
    CommandButton(const QString& caption, QWidget* parent, std::function<void()> onClick);
};

// A straight line drawn in a palette colour, from (x1, y1) to (x2, y2) in the
// parent's coordinates.
class Line : public QWidget {
  public:
    Line(QWidget* parent, QPoint from, QPoint to, QColor color);
    QPoint From() const { return from_; }
    QPoint To() const { return to_; }
    QColor Color() const { return color_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QPoint from_, to_;
    QColor color_;
};

} // namespace parlavox::toolkit
