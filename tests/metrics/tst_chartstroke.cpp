// The marks of lines drawn straight into pixels: the paint engine's antialiased drawing of the same
// marks is the reference, hostile coordinates draw nothing outside the clip and come back.
#include "MorvendaApp/metrics/ui/ChartStroke.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr QRgb kInk = 0xff1f77b4;

QImage blank(QSize size = QSize(120, 90))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The same mark drawn by the paint engine, antialiased, as a chart would draw it.
QImage byEngine(const std::function<void(QPainter &)> &draw)
{
    QImage image = blank();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(QColor::fromRgba(kInk));
    painter.setPen(Qt::NoPen);
    draw(painter);
    return image;
}

QImage byStroke(const std::function<void(ChartStroke &)> &draw)
{
    QImage image = blank();
    ChartStroke stroke(image, image.rect());
    draw(stroke);
    return image;
}

double inkOf(const QImage &image)
{
    double ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += qAlpha(image.pixel(x, y)) / 255.0;
    }
    return ink;
}

} // namespace

class TestChartStroke : public QObject
{
    Q_OBJECT

private slots:
    // Segments at every slant, dashed or not, and the three symbols: as much ink as the engine
    // puts down, in the same pixels (each at most a soft edge's worth apart), the same colour.
    void marksLookAsTheEngineDrawsThem_data()
    {
        QTest::addColumn<QImage>("ours");
        QTest::addColumn<QImage>("engine");
        const auto pen = [](const QList<qreal> &dash) {
            QPen pen(QColor::fromRgba(kInk), 2, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
            if (!dash.isEmpty())
                pen.setDashPattern(dash);
            return pen;
        };
        const QList<QLineF> segments = {QLineF(10.3, 20.5, 100.7, 20.5), QLineF(30.2, 5.1, 31.9, 80.4), QLineF(5.5, 70.25, 110.1, 12.6),
                                        QLineF(60.4, 10.2, 20.8, 85.7), QLineF(40.6, 40.6, 41.1, 40.9)};
        for (const QList<qreal> &dash : {QList<qreal>(), QList<qreal>({3, 2}), QList<qreal>({1, 1.5})}) {
            for (const QLineF &segment : segments) {
                QTest::addRow("segment %.1f,%.1f to %.1f,%.1f, %s", segment.x1(), segment.y1(), segment.x2(), segment.y2(),
                              dash.isEmpty() ? "solid" : dash.front() > 2 ? "dashed" : "dotted")
                    << byStroke([&](ChartStroke &stroke) { stroke.segment(segment.p1(), segment.p2(), 2, dash, kInk); })
                    << byEngine([&](QPainter &painter) {
                           painter.setPen(pen(dash));
                           painter.drawLine(segment);
                       });
            }
        }
        for (const QPointF centre : {QPointF(50, 40), QPointF(50.37, 40.81), QPointF(3.2, 88.6)}) {
            QTest::addRow("disc at %.2f,%.2f", centre.x(), centre.y())
                << byStroke([&](ChartStroke &stroke) { stroke.disc(centre, 3.5, kInk); })
                << byEngine([&](QPainter &painter) { painter.drawEllipse(centre, 3.5, 3.5); });
            QTest::addRow("square at %.2f,%.2f", centre.x(), centre.y())
                << byStroke([&](ChartStroke &stroke) { stroke.square(centre, 3.1, kInk); })
                << byEngine([&](QPainter &painter) { painter.drawRect(QRectF(centre - QPointF(3.1, 3.1), QSizeF(6.2, 6.2))); });
            QTest::addRow("diamond at %.2f,%.2f", centre.x(), centre.y())
                << byStroke([&](ChartStroke &stroke) { stroke.diamond(centre, 4.4, kInk); })
                << byEngine([&](QPainter &painter) {
                       painter.drawPolygon(QPolygonF({centre + QPointF(0, -4.4), centre + QPointF(4.4, 0), centre + QPointF(0, 4.4),
                                                      centre + QPointF(-4.4, 0)}));
                   });
        }
    }
    void marksLookAsTheEngineDrawsThem()
    {
        QFETCH(QImage, ours);
        QFETCH(QImage, engine);
        const double ink = inkOf(engine);
        QVERIFY(ink > 1);
        QVERIFY2(std::abs(inkOf(ours) - ink) <= std::max(1.0, 0.06 * ink), qPrintable(QStringLiteral("%1 against %2").arg(inkOf(ours)).arg(ink)));
        for (int y = 0; y < ours.height(); ++y) {
            for (int x = 0; x < ours.width(); ++x) {
                const QRgb a = ours.pixel(x, y);
                const QRgb b = engine.pixel(x, y);
                QVERIFY2(std::abs(qAlpha(a) - qAlpha(b)) <= 100, qPrintable(QStringLiteral("pixel %1,%2: %3 against %4").arg(x).arg(y).arg(qAlpha(a)).arg(qAlpha(b))));
                if (qAlpha(a) == 255)
                    QCOMPARE(a, kInk);
            }
        }
    }

    // A mark blends over what lies there, as the engine blends.
    void marksBlendOverThePicture()
    {
        QImage image = blank();
        image.fill(QColor(200, 30, 30, 128));
        QImage engine = image.copy();
        ChartStroke(image, image.rect()).disc(QPointF(60.3, 45.2), 3.5, qPremultiply(qRgba(0, 0, 255, 160)));
        {
            QPainter painter(&engine);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 255, 160));
            painter.drawEllipse(QPointF(60.3, 45.2), 3.5, 3.5);
        }
        const QRgb centre = image.pixel(60, 45);
        QVERIFY(std::abs(qBlue(centre) - qBlue(engine.pixel(60, 45))) <= 2);
        QVERIFY(std::abs(qRed(centre) - qRed(engine.pixel(60, 45))) <= 2);
        QVERIFY(std::abs(qAlpha(centre) - qAlpha(engine.pixel(60, 45))) <= 2);
    }

    // Hostile ends (not numbers, infinite, far off, the same point), widths and dash patterns:
    // nothing outside the clip, and every call comes back (a segment across a billion pixels
    // costs what its part in the clip costs).
    void hostileMarksStayInTheClipAndReturn()
    {
        constexpr qreal nan = std::numeric_limits<qreal>::quiet_NaN();
        constexpr qreal inf = std::numeric_limits<qreal>::infinity();
        QImage image = blank();
        const QRect clip(20, 10, 60, 50);
        ChartStroke stroke(image, clip);
        const QList<QPair<QPointF, QPointF>> ends = {
            {{nan, 5}, {50, 30}}, {{50, 30}, {inf, 30}}, {{-inf, -inf}, {inf, inf}}, {{-1e12, 35.5}, {1e12, 35.5}},
            {{50, -1e300}, {50.5, 1e300}}, {{50, -1e17}, {51, 1e17}}, {{1e308, 1e308}, {-1e308, 30}}, {{45, 30}, {45, 30}}, {{-5, -5}, {200, 150}}};
        const QList<QList<qreal>> dashes = {{}, {3, 2}, {0, 0}, {1e-9, 1e-9}, {-3, 2}, {nan, 1}, {inf, 1}, {1, 1e300}, {4}};
        for (const auto &[a, b] : ends) {
            for (const QList<qreal> &dash : dashes) {
                for (const qreal width : {2.0, 0.0, -2.0, nan, inf, 1e9})
                    stroke.segment(a, b, width, dash, kInk);
            }
        }
        for (const QPointF centre : {QPointF(nan, 20), QPointF(inf, inf), QPointF(-1e300, 1e300), QPointF(79.9, 59.9), QPointF(20, 10)}) {
            for (const qreal size : {3.5, 0.0, -1.0, nan, 1e12}) {
                stroke.disc(centre, size, kInk);
                stroke.square(centre, size, kInk);
                stroke.diamond(centre, size, kInk);
            }
        }
        stroke.fill(QRect(-100, -100, 1000, 1000), kInk);
        bool inked = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = clip.contains(x, y);
                inked = inked || qAlpha(image.pixel(x, y)) > 0;
                QVERIFY2(inside || image.pixel(x, y) == 0, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(inked);
        // A dashed segment reaching far beyond the picture still shows where it crosses it.
        QImage far = blank();
        ChartStroke(far, far.rect()).segment(QPointF(50, -1e17), QPointF(51, 1e17), 2, {3, 2}, kInk);
        QVERIFY(inkOf(far) > 50);
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestChartStroke test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chartstroke.moc"
