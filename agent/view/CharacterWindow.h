#pragma once
// The character on the desktop: a frameless, always-on-top window without a
// taskbar entry, shaped to the current frame so clicks beside the character
// reach whatever lies below. It repaints only when the frame changes.

#include "agent/engine/CharacterAgent.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

namespace agent::view {

class CharacterWindow : public QWidget {
    Q_OBJECT
  public:
    explicit CharacterWindow(engine::CharacterAgent& agent);

    // Whole-number scale applied on dense screens, so pixels stay sharp.
    int scale() const { return scale_; }
    // The current frame's shape in window coordinates (what the mask is set to).
    const QRegion& shape() const { return shape_; }
    const QImage& picture() const { return picture_; }

  signals:
    void doubleClicked(int button, int shift, QPoint position);
    void menuRequested(QPoint globalPosition);
    void moved();

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void refresh();
    void updateScale();

    engine::CharacterAgent& agent_;
    QImage picture_;
    QRegion shape_;
    int scale_ = 1;
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace agent::view
