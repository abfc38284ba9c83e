// The metrics pane in the program's main window at 640×480, the smallest it is shown at: the
// duration chart keeps a plot beside the path column whether the pane is expanded or not, and the
// path rows, at the column's narrowest, are shortened so each shows its id, wherever it stands.
#include "tests/support/Artifacts.h"
#include "tests/support/SceneFixture.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationMeasuredChart.h"

#include <QListView>
#include <QTest>

namespace {
// Enough plot to read the bars and move the pointer's tools across.
constexpr qreal kUsablePlotWidth = 32;
} // namespace

class TestMetricsWindow : public QObject
{
    Q_OBJECT

private slots:
    void theChartAndThePathsStayReadableIn640By480_data()
    {
        QTest::addColumn<bool>("expanded");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("shot");
        for (const bool expanded : {false, true}) {
            const char *pane = expanded ? "the pane expanded" : "the pane below the details";
            const QString shot = expanded ? QStringLiteral("metrics-640x480-expanded") : QStringLiteral("metrics-640x480-below-details");
            QTest::addRow("%s, ids at the end", pane) << expanded << QStringLiteral("/api/v2/resource/%1") << shot + u"-ids-at-end.png";
            QTest::addRow("%s, ids in the middle", pane) << expanded << QStringLiteral("/api/v2/products/%1/reviews")
                                                         << shot + u"-ids-in-middle.png";
        }
    }

    void theChartAndThePathsStayReadableIn640By480()
    {
        QFETCH(bool, expanded);
        QFETCH(QString, pattern);
        QFETCH(QString, shot);
        SceneFixture fixture;
        MainWindow *window = fixture.scene->mainWindow();
        window->resize(640, 480);
        // Eight REST paths that differ only in their ids.
        for (uint n = 1; n <= 8; ++n) {
            const QUuid id = QUuid::createUuid();
            const QString path = pattern.arg(104729u * n % 1000003u);
            fixture.shared->repository.addRequest(
                Request(id, Url::fromText(QStringLiteral("https://shop.example") + path), Method::Get, 10.0 + n, std::nullopt, {}),
                QStringLiteral("App"));
            fixture.shared->repository.addResponse(
                Response(id, QUuid::createUuid(), 200, std::nullopt, Response::Source::Network, 10.4 + n, {}, std::nullopt),
                QStringLiteral("App"));
        }
        fixture.scene->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        fixture.shared->windowManager.toggleBottomView(BottomView::Metrics);
        auto *frame = window->findChild<RequestDurationChart *>();
        QVERIFY(frame);
        frame->viewModel().selectAllPaths();
        fixture.shared->windowManager.setExpandBottomView(expanded);
        QVERIFY(frame->chart());
        QTRY_VERIFY(frame->chart()->chartView()->isVisible());
        // Every layout the change asked for, down to the chart's own, is done.
        for (int round = 0; round < 4; ++round)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        frame->chart()->refreshNow();
        saveArtifact(window, shot);

        QCOMPARE_GE(frame->chart()->chartView()->plotRect().width(), kUsablePlotWidth);
        QListView *list = frame->pathList();
        QCOMPARE(list->model()->rowCount(), 8);
        const QImage rows = list->viewport()->grab().toImage();
        QList<QImage> shown;
        for (int row = 0; row < 8; ++row) {
            // Each row as wide as the list, no wider: nothing is cut at its edge.
            const QRect rect = list->visualRect(list->model()->index(row, 0));
            QCOMPARE_GE(rect.left(), 0);
            QCOMPARE_LE(rect.right(), list->viewport()->rect().right());
            if (rect.bottom() <= list->viewport()->rect().bottom())
                shown.append(rows.copy(QRectF(QPointF(rect.topLeft()) * rows.devicePixelRatio(), QSizeF(rect.size()) * rows.devicePixelRatio()).toRect()));
        }
        QCOMPARE_GE(shown.size(), 5);
        for (int a = 0; a < shown.size(); ++a) {
            for (int b = a + 1; b < shown.size(); ++b)
                QVERIFY2(shown[a] != shown[b], qPrintable(QStringLiteral("rows %1 and %2 read the same").arg(a).arg(b)));
        }
    }
};

QTEST_MAIN(TestMetricsWindow)
#include "tst_metricswindow.moc"
