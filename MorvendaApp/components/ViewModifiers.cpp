#include "ViewModifiers.h"

#include "NamedColors.h"

#include <QGraphicsEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

namespace {

constexpr qreal kLightModeBrightness = -0.4;

class DarkenedForLightModeEffect : public QGraphicsEffect
{
public:
    explicit DarkenedForLightModeEffect(QWidget *widget)
        : QGraphicsEffect(widget)
        , m_widget(widget)
    {
    }

protected:
    void draw(QPainter *painter) override
    {
        if (!m_widget || isDarkPalette(m_widget->palette())) {
            drawSource(painter);
            return;
        }
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::NoPad);
        QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // A brightness shift adds the same amount to every channel; with premultiplied alpha the
        // amount scales with the pixel's coverage.
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = line[x];
                const int alpha = qAlpha(p);
                const int shift = int(-kLightModeBrightness * alpha + 0.5);
                line[x] = qRgba(std::max(0, qRed(p) - shift), std::max(0, qGreen(p) - shift),
                    std::max(0, qBlue(p) - shift), alpha);
            }
        }
        const QTransform previous = painter->worldTransform();
        painter->setWorldTransform(QTransform());
        painter->drawImage(offset, image);
        painter->setWorldTransform(previous);
    }

private:
    QPointer<QWidget> m_widget;
};

class RoundViewEffect : public QGraphicsEffect
{
public:
    using QGraphicsEffect::QGraphicsEffect;

protected:
    void draw(QPainter *painter) override
    {
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        if (source.isNull())
            return;
        const QSizeF size = source.deviceIndependentSize();
        QPainterPath circle;
        circle.addRoundedRect(QRectF(offset, size), size.width() / 2, size.height() / 2);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        QBrush brush(source);
        brush.setTransform(QTransform::fromTranslate(offset.x(), offset.y()));
        painter->setBrush(brush);
        painter->drawPath(circle);
        painter->restore();
    }
};

class TapFilter : public QObject
{
public:
    TapFilter(QWidget *widget, std::function<void()> onTap)
        : QObject(widget)
        , m_onTap(std::move(onTap))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            m_pressed = mouse->button() == Qt::LeftButton;
            if (m_pressed)
                mouse->accept();
            return m_pressed;
        }
        if (event->type() == QEvent::MouseButtonRelease && m_pressed) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            m_pressed = false;
            if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint()) && m_onTap)
                m_onTap();
            mouse->accept();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_onTap;
    bool m_pressed = false;
};

} // namespace

void applyDarkenedForLightMode(QWidget *widget)
{
    widget->setGraphicsEffect(new DarkenedForLightModeEffect(widget));
}

void applyRoundView(QWidget *widget, int size)
{
    widget->setFixedSize(size, size);
    widget->setGraphicsEffect(new RoundViewEffect(widget));
}

void applyTappable(QWidget *widget, std::function<void()> onTap)
{
    widget->installEventFilter(new TapFilter(widget, std::move(onTap)));
}
