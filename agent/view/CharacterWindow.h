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
    CharacterWindow(engine::CharacterAgent& agent, const engine::Options& options);

    // Whole-number scale applied on dense screens, so pixels stay sharp.
    int scale() const { return scale_; }
    // The current frame's shape in window coordinates (what the mask is set to).
    const QRegion& shape() const { return shape_; }
    const QImage& picture() const { return picture_; }

  signals:
    void doubleClicked(int button, int shift, QPoint position);
    void menuRequested(QPoint globalPosition);
    void moved();
    // The listening key went down or up while the character had the focus.
    void listenKeyPressed();
    void listenKeyReleased();

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void refresh();
    void updateScale();

    bool isListenKey(const QKeyEvent* event) const;

    engine::CharacterAgent& agent_;
    const engine::Options& options_;
    QImage picture_;
    QRegion shape_;
    int scale_ = 1;
    bool composited_ = false; // a compositor shows the window's transparency
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace agent::view
