// Counts the completed paints of a widget for the GUI benchmarks: the paint is passed on from
// inside the filter, so a figure taken when the count rises includes the drawing itself.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <functional>

namespace bench {

class PaintWatch : public QObject
{
public:
    // Counts only the paints after which `counts` holds (say, the list shows rows); every paint
    // without it.
    explicit PaintWatch(QWidget &widget, std::function<bool()> counts = {})
        : m_counts(std::move(counts))
    {
        widget.installEventFilter(this);
    }

    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_inside) {
            return false;
        }
        m_inside = true;
        watched->removeEventFilter(this);
        QCoreApplication::sendEvent(watched, event);
        watched->installEventFilter(this);
        m_inside = false;
        if (!m_counts || m_counts()) {
            ++paints;
        }
        return true;
    }

private:
    std::function<bool()> m_counts;
    bool m_inside = false;
};

} // namespace bench
