#pragma once
// A form: created on first reference, loaded on the first access to one of its
// controls or its first Show. Loading builds the window with its design-time
// settings, then runs Form_Load, then lets the access complete.

#include <QWidget>

#include <memory>

namespace parlavox::toolkit {

// 15 twips make one pixel at 96 dots per inch; Qt scales logical pixels by the
// screen's device-pixel ratio itself.
constexpr int Twips(int twips) {
    return twips / 15;
}

class Form {
  public:
    Form() = default;
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Modeless show: shows a hidden window, leaves a visible one visible.
    void Show();
    // Hides the window; it stays loaded and keeps its state.
    void Hide();

    bool Loaded() const { return window_ != nullptr; }
    bool Visible() const { return window_ && window_->isVisible(); }

    // The top-level window (loads the form).
    QWidget& Window();

  protected:
    // Builds the window's controls as children of window, with their design-time settings.
    virtual void Design(QWidget& window) = 0;
    virtual void Form_Load() {}

    // Every control accessor goes through here: the first access loads the form.
    void EnsureLoaded();
    // The member is taken by reference: it is read only after the load made it.
    template <class T> T& Control(T* const& control) {
        EnsureLoaded();
        return *control;
    }
    template <class T> T& Control(const std::unique_ptr<T>& control) {
        EnsureLoaded();
        return *control;
    }

  private:
    std::unique_ptr<QWidget> window_;
};

} // namespace parlavox::toolkit
