#pragma once
// The engine's own "Advanced Character Options" window: output (balloon and its
// font, speech audio, speaking speed, sound effects) and speech input. Changes
// apply at once and are kept under the engine's own name.

#include "agent/engine/Options.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QSlider;
class QKeySequenceEdit;
class QSpinBox;
class QFontComboBox;

namespace agent::view {

class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    OptionsDialog(engine::Options& options, QWidget* parent = nullptr);

  signals:
    void optionsChanged();

  private:
    void apply();
    void build();

    engine::Options& options_;
    QCheckBox* showBalloon_ = nullptr;
    QCheckBox* useCharacterFont_ = nullptr;
    QFontComboBox* font_ = nullptr;
    QCheckBox* speechAudio_ = nullptr;
    QSlider* speed_ = nullptr;
    QCheckBox* soundEffects_ = nullptr;
    QCheckBox* listening_ = nullptr;
    QKeySequenceEdit* key_ = nullptr;
    QCheckBox* tip_ = nullptr;
    QCheckBox* tone_ = nullptr;
    QSpinBox* afterRelease_ = nullptr;
    QCheckBox* handsFree_ = nullptr;
};

} // namespace agent::view
