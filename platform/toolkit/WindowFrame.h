#pragma once
// Window borders that Qt's flags cannot express: a frame without a title bar.
// Qt draws no border at all once the title is gone, so on X11 the border is
// asked of the window manager directly through the Motif hints, which common
// window managers honour. Elsewhere (offscreen, no X11) nothing is set.

#include <QWidget>

namespace parlavox::toolkit {

enum class Border {
    Sizable,     // a frame the user can drag to resize; no title bar, no buttons
    FixedDialog, // a thin frame; the user can neither move, resize nor close it
};

// Applies the border each time the window's native window is about to be mapped.
void SetBorder(QWidget& window, Border border);

} // namespace parlavox::toolkit
