#include "PaletteFollower.h"

#include "NamedColors.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

PaletteFollower::PaletteFollower(QWidget *widget, std::function<void()> apply)
    : QObject(widget)
    , m_apply(std::move(apply))
{
    widget->installEventFilter(this);
}

void PaletteFollower::follow(QWidget *widget, std::function<void()> apply)
{
    Q_ASSERT(widget && apply);
    if (!widget || !apply)
        return;
    apply();
    new PaletteFollower(widget, std::move(apply));
}

void PaletteFollower::followSecondaryText(QWidget *widget)
{
    follow(widget, [widget] {
        QPalette own = widget->palette();
        own.setColor(QPalette::WindowText, namedColor(NamedColor::Secondary, surrounding(widget)));
        widget->setPalette(own);
    });
}

QPalette PaletteFollower::surrounding(const QWidget *widget)
{
    const QWidget *parent = widget->isWindow() ? nullptr : widget->parentWidget();
    return parent ? parent->palette() : QApplication::palette(widget);
}

bool PaletteFollower::eventFilter(QObject *watched, QEvent *event)
{
    // A new parent is a new surrounding palette, even where the widget's own palette stays the
    // same (the parents differ only in colours the widget set on itself).
    const bool changed = event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange;
    if (changed && !m_applying) {
        m_applying = true;
        m_apply();
        m_applying = false;
    }
    return QObject::eventFilter(watched, event);
}
