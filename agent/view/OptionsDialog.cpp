#include "OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace agent::view {

namespace {

QCheckBox* check(const char* name, const QString& caption, bool on, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    return box;
}

} // namespace

OptionsDialog::OptionsDialog(engine::Options& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("Advanced Character Options"));
    build();
}

void OptionsDialog::build() {
    auto* tabs = new QTabWidget(this);

    auto* output = new QWidget(tabs);
    auto* out = new QFormLayout(output);
    showBalloon_ =
        check("showBalloon", QStringLiteral("Display &word balloon"), options_.showBalloon, output);
    useCharacterFont_ = check("characterFont", QStringLiteral("Use the character's &font"),
                              options_.balloonFont.isEmpty(), output);
    font_ = new QFontComboBox(output);
    font_->setObjectName(QStringLiteral("font"));
    if (!options_.balloonFont.isEmpty())
        font_->setCurrentFont(QFont(options_.balloonFont));
    font_->setEnabled(!options_.balloonFont.isEmpty());
    speechAudio_ =
        check("speechAudio", QStringLiteral("Play &spoken audio"), options_.speechAudio, output);
    speed_ = new QSlider(Qt::Horizontal, output);
    speed_->setRange(25, 400);
    speed_->setValue(options_.speechSpeedPercent);
    speed_->setObjectName(QStringLiteral("speed"));
    soundEffects_ =
        check("soundEffects", QStringLiteral("Play sound &effects"), options_.soundEffects, output);
    out->addRow(showBalloon_);
    out->addRow(useCharacterFont_);
    out->addRow(QStringLiteral("Balloon font"), font_);
    out->addRow(speechAudio_);
    out->addRow(QStringLiteral("Speaking s&peed"), speed_);
    out->addRow(soundEffects_);
    tabs->addTab(output, QStringLiteral("&Output"));

    auto* input = new QWidget(tabs);
    auto* in = new QFormLayout(input);
    listening_ = check("listening", QStringLiteral("&Enabled"), options_.listeningEnabled, input);
    key_ = new QKeySequenceEdit(
        QKeySequence(options_.listeningKey ? options_.listeningKey : int(Qt::Key_ScrollLock)),
        input);
    tip_ = check("tip", QStringLiteral("Display Listening &tip"), options_.showListeningTip, input);
    tone_ = check("tone", QStringLiteral("Play a tone when listening starts"),
                  options_.listeningTone, input);
    afterRelease_ = new QSpinBox(input);
    afterRelease_->setRange(0, 10000);
    afterRelease_->setSingleStep(250);
    afterRelease_->setSuffix(QStringLiteral(" ms"));
    afterRelease_->setValue(options_.listenAfterReleaseMs);
    handsFree_ = check("handsFree", QStringLiteral("Listen &hands-free (voice activity)"),
                       options_.handsFree, input);
    in->addRow(listening_);
    in->addRow(QStringLiteral("Listening &key"), key_);
    in->addRow(tip_);
    in->addRow(tone_);
    in->addRow(QStringLiteral("Keep listening after release"), afterRelease_);
    in->addRow(handsFree_);
    tabs->addTab(input, QStringLiteral("&Speech Input"));

    auto* about = new QLabel(QStringLiteral("Parlavox character engine\n"
                                            "Draws, voices and listens for desktop characters.\n"
                                            "Voice by espeak-ng; recognition by pocketsphinx."),
                             tabs);
    about->setMargin(12);
    tabs->addTab(about, QStringLiteral("&Copyright"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);

    connect(font_, &QFontComboBox::currentFontChanged, this, &OptionsDialog::apply);
    for (QCheckBox* box : {showBalloon_, useCharacterFont_, speechAudio_, soundEffects_, listening_,
                           tip_, tone_, handsFree_})
        connect(box, &QCheckBox::toggled, this, &OptionsDialog::apply);
    connect(speed_, &QSlider::valueChanged, this, &OptionsDialog::apply);
    connect(afterRelease_, &QSpinBox::valueChanged, this, &OptionsDialog::apply);
    connect(key_, &QKeySequenceEdit::editingFinished, this, &OptionsDialog::apply);
}

void OptionsDialog::apply() {
    options_.showBalloon = showBalloon_->isChecked();
    font_->setEnabled(!useCharacterFont_->isChecked());
    options_.balloonFont =
        useCharacterFont_->isChecked() ? QString() : font_->currentFont().family();
    options_.speechAudio = speechAudio_->isChecked();
    options_.speechSpeedPercent = speed_->value();
    options_.soundEffects = soundEffects_->isChecked();
    options_.listeningEnabled = listening_->isChecked();
    const QKeySequence seq = key_->keySequence();
    options_.listeningKey = seq.isEmpty() ? 0 : seq[0].toCombined();
    options_.showListeningTip = tip_->isChecked();
    options_.listeningTone = tone_->isChecked();
    options_.listenAfterReleaseMs = afterRelease_->value();
    options_.handsFree = handsFree_->isChecked();
    engine::saveOptions(options_);
    emit optionsChanged();
}

} // namespace agent::view
