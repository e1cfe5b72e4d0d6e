#include "WindowFrame.h"

#include <QEvent>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace parlavox::toolkit {
namespace {

// The Motif window-manager hints: flags, functions, decorations, input mode, status.
constexpr std::uint32_t HintsFunctions = 1, HintsDecorations = 2;
constexpr std::uint32_t FuncResize = 2, FuncMove = 4;
constexpr std::uint32_t DecorBorder = 2, DecorResizeHandle = 4;

std::array<std::uint32_t, 5> motifHints(Border border) {
    if (border == Border::Sizable)
        return {HintsFunctions | HintsDecorations, FuncResize | FuncMove,
                DecorBorder | DecorResizeHandle, 0, 0};
    return {HintsFunctions | HintsDecorations, 0, DecorBorder, 0, 0};
}

void applyMotifHints(const QWidget& window, Border border) {
    // The offscreen platform answers the X11 interface too, with no connection.
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window.internalWinId())
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    static constexpr char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    if (!atom)
        return;
    const auto hints = motifHints(border);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window.internalWinId()), atom->atom,
                        atom->atom, 32, std::uint32_t(hints.size()), hints.data());
    xcb_flush(c);
    std::free(atom); // xcb hands replies over to be freed with free()
}

// Qt writes its own hints when it creates the native window, which happens just
// before the first Show event; ours are written over them before the map.
class BorderKeeper : public QObject {
  public:
    BorderKeeper(QWidget& window, Border border) : QObject(&window), border_(border) {
        window.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
            applyMotifHints(static_cast<QWidget&>(*watched), border_);
        return false;
    }

  private:
    Border border_;
};

} // namespace

void SetBorder(QWidget& window, Border border) {
    new BorderKeeper(window, border); // owned by the window
}

} // namespace parlavox::toolkit
