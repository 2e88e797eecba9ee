#include "ScreenPlacement.h"

#include "Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

QMargins FrameOf(const QWidget& window) {
    return window.windowHandle() != nullptr ? window.windowHandle()->frameMargins() : QMargins();
}

void Place(QWidget& window, QSize outer) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QMargins frame = FrameOf(window);
    const QRect available = screen->availableGeometry();
    if (window.minimumSize() != window.maximumSize()) {
        window.resize(CentredWithin(outer, available).size().shrunkBy(frame));
    }
    // Centred at the size it took (its least size may exceed the area: then its top-left
    // corner, title bar and menu stay on the screen). A window's position is its frame's.
    window.move(CentredWithin(window.size().grownBy(frame), available).topLeft());
}

// Places the window once more when the window manager's frame around it becomes known. A
// reparenting window manager frames the window before it maps it, so by the first paint
// (or activation) the frame is there, or there is none.
class FrameWatch : public QObject {
  public:
    static constexpr const char* Name = "vexlinFrameWatch";

    FrameWatch(QWidget& window, QSize outer)
        : QObject(&window), Window(&window), Outer(outer), Seen(FrameOf(window)) {
        setObjectName(QLatin1String(Name));
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != Window) {
            return false;
        }
        const QEvent::Type type = event->type();
        const bool shown = type == QEvent::Paint || type == QEvent::WindowActivate;
        if (shown || type == QEvent::Move || type == QEvent::Resize) {
            const QMargins frame = FrameOf(*Window);
            if (frame != Seen) {
                Seen = frame;
                Place(*Window, Outer);
            }
            if (shown) {
                Window->removeEventFilter(this);
                deleteLater();
            }
        }
        return false;
    }

  private:
    QPointer<QWidget> Window;
    QSize Outer;
    QMargins Seen;
};

} // namespace

void PlaceOnScreen(QWidget& window, QSize outer) {
    for (QObject* old : window.findChildren<QObject*>(QLatin1String(FrameWatch::Name),
                                                      Qt::FindDirectChildrenOnly)) {
        delete old;
    }
    Place(window, outer);
    if (FrameOf(window).isNull()) {
        new FrameWatch(window, outer);
    }
}
