#include "Form.h"

namespace parlavox::toolkit {

Form::~Form() = default;

void Form::EnsureLoaded() {
    if (window_)
        return;
    window_ = std::make_unique<QWidget>();
    Design(*window_);
    // The form counts as loaded from here on, so Form_Load may use its own controls.
    Form_Load();
}

QWidget& Form::Window() {
    EnsureLoaded();
    return *window_;
}

void Form::Show() {
    EnsureLoaded();
    window_->show();
    window_->raise();
}

void Form::Hide() {
    EnsureLoaded();
    window_->hide();
}

} // namespace parlavox::toolkit
