#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// Waits for the first event after which `window` has a frame, then keeps it inside its screen.
class FrameWatcher : public QObject
{
public:
    explicit FrameWatcher(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool geometry = event->type() == QEvent::Move || event->type() == QEvent::Resize
            || event->type() == QEvent::Show;
        if (watched == m_window && geometry && !WindowPlacement::frameMargins(m_window, nullptr).isNull()) {
            const QRect area = WindowPlacement::availableArea(m_window);
            if (area.isValid() && !area.contains(m_window->frameGeometry()))
                WindowPlacement::place(m_window, m_window->pos(), m_window);
            deleteLater();
            m_window->removeEventFilter(this);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *m_window;
};

// `preferred` cut down so that, with `frame` around it, it fits inside `area`.
QSize fittedSize(QSize preferred, const QRect &area, const QMargins &frame)
{
    if (!area.isValid())
        return preferred;
    const QSize room = area.size().shrunkBy(frame);
    return preferred.boundedTo(room.expandedTo(QSize(1, 1)));
}

// The position (of the frame's top-left, as QWidget::move takes it) that keeps a client of `size`
// with `frame` around it inside `area`, as close to `wanted` as that allows.
QPoint keptInside(QPoint wanted, QSize size, const QRect &area, const QMargins &frame)
{
    if (!area.isValid())
        return wanted;
    // The far edges first, so a window larger than the area keeps its title bar on screen.
    const QSize outer = size.grownBy(frame);
    const int x = std::max(std::min(wanted.x(), area.right() + 1 - outer.width()), area.left());
    const int y = std::max(std::min(wanted.y(), area.bottom() + 1 - outer.height()), area.top());
    return {x, y};
}

} // namespace

namespace WindowPlacement {

QRect availableArea(const QWidget *anchor)
{
    const QScreen *screen = anchor ? anchor->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins frameMargins(const QWidget *window, const QWidget *fallback)
{
    const auto margins = [](const QWidget *widget) {
        const QWindow *handle = widget ? widget->windowHandle() : nullptr;
        return handle ? handle->frameMargins() : QMargins();
    };
    const QMargins own = margins(window);
    return own.isNull() ? margins(fallback) : own;
}

void place(QWidget *window, QPoint wanted, const QWidget *anchor, QSize preferred)
{
    const QRect area = availableArea(anchor);
    const QMargins frame = frameMargins(window, anchor);
    const QSize size = fittedSize(preferred.isEmpty() ? window->size() : preferred, area, frame)
                           .expandedTo(window->minimumSize());
    window->resize(size);
    // Its minimum may hold it larger than asked.
    window->move(keptInside(wanted, window->size(), area, frame));
}

void keepInsideOnceFramed(QWidget *window)
{
    if (frameMargins(window, nullptr).isNull())
        new FrameWatcher(window);
}

void centreOn(QWidget *window, const QWidget *anchor)
{
    QSize size = window->size();
    if (!window->testAttribute(Qt::WA_Resized))
        size = size.expandedTo(window->sizeHint());
    const QRect over = anchor ? anchor->frameGeometry() : availableArea(nullptr);
    const QSize outer = size.grownBy(frameMargins(window, anchor));
    place(window, over.center() - QPoint(outer.width() / 2, outer.height() / 2), anchor, size);
}

} // namespace WindowPlacement
