#pragma once
// The word balloon beside the character: the file's font and colours, its
// number of lines and characters per line, a tail pointing at the character,
// on whichever side has room. Shaped, so no compositor is needed.

#include "agent/engine/CharacterAgent.h"

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QWidget>

namespace agent::view {

class BalloonWindow : public QWidget {
    Q_OBJECT
  public:
    BalloonWindow(engine::CharacterAgent& agent, QWidget& character,
                  const engine::Options& options);

    // The lines shown now: wrapped to the characters per line, the last
    // `lines` of what has been revealed.
    QStringList visibleLines() const { return lines_; }
    bool above() const { return above_; }

    // Wraps text into lines of at most `width` characters, breaking at spaces.
    static QStringList wrap(const QString& text, int width);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

  private:
    void refresh();
    void place();
    void draw(QSize pixels);
    QPainterPath outline() const;

    engine::CharacterAgent& agent_;
    QWidget& character_;
    const engine::Options& options_;
    QFont font_;
    QColor foreground_, background_, border_;
    QStringList lines_;
    QSize body_;
    bool above_ = true;
    int tailX_ = 0;
    QImage picture_; // one pixel per character pixel
    int scale_ = 1;  // whole-number scale on dense screens
};

} // namespace agent::view
