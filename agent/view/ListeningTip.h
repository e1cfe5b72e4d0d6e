#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace agent::view {

// The small Listening tip shown by the character: what voice input is doing.
// A frameless tool window that never takes the focus; the engine places it
// with the character's rectangle and the screen's available area.
class ListeningTip : public QWidget {
    Q_OBJECT
  public:
    enum class State {
        NotListening,
        Preparing,
        Listening,
        Heard,
        NotUnderstood,
        NoMicrophone,
    };
    Q_ENUM(State)

    explicit ListeningTip(QWidget* parent = nullptr);

    void setCharacterName(const QString& name);
    QString characterName() const { return name_; }

    // Shows the tip in that state; `heard` is the phrase for State::Heard.
    void showState(State state, const QString& heard = {});
    State state() const { return state_; }
    QString text() const;

    // How long the tip stays up after a passing state (heard, not understood,
    // not listening, no microphone); 0 keeps it up. Listening and preparing
    // stay until the state changes.
    void setLinger(int ms);
    int linger() const { return linger_; }
    bool hidePending() const { return hideTimer_.isActive(); }

    // Moves the tip beside the character.
    void placeBy(const QRect& character, const QRect& screen);

    static QString textFor(State state, const QString& name, const QString& heard);
    // Centred under the character; above it when there is no room below;
    // always inside the screen.
    static QPoint positionFor(const QSize& tip, const QRect& character, const QRect& screen);

  private:
    QLabel* label_; // child of this
    QTimer hideTimer_;
    QString name_;
    QString heard_;
    State state_ = State::NotListening;
    int linger_ = 3000;
    QRect character_;
    QRect screen_;
};

} // namespace agent::view
