#include "MorvendaApp/components/FlowStack.h"

#include <QLabel>
#include <QTest>


namespace {

// A widget of a fixed size, standing for a chip.
QWidget *chip(int width, int height)
{
    auto *widget = new QWidget;
    widget->setFixedSize(width, height);
    return widget;
}

QString rowsText(const QList<QList<int>> &rows)
{
    QStringList parts;
    for (const QList<int> &row : rows) {
        QStringList items;
        for (int i : row)
            items << QString::number(i);
        parts << items.join(u',');
    }
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class TestFlowStack : public QObject
{
    Q_OBJECT

private slots:
    void breaksRows_data();
    void breaksRows();
    void heightFollowsTheWidth();
    void placesRowsWithAlignment_data();
    void placesRowsWithAlignment();
    void manyChipsAndAHugeChipDoNotHang();
};

void TestFlowStack::breaksRows_data()
{
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<int>("available");
    QTest::addColumn<QString>("rows");

    QTest::addRow("no items give no rows") << QList<int>{} << 100 << QString();
    QTest::addRow("three items exactly filling the width share one row") << QList<int>{30, 30, 30} << 102 << QStringLiteral("0,1,2");
    QTest::addRow("one point less moves the third item down") << QList<int>{30, 30, 30} << 101 << QStringLiteral("0,1 | 2");
    QTest::addRow("a first item too wide stays alone on the first row")
        << QList<int>{100, 5} << 100 << QStringLiteral("0 | 1");
    QTest::addRow("later rows start without a spacing") << QList<int>{48, 48, 48} << 100 << QStringLiteral("0 | 1,2");
    QTest::addRow("an item wider than the width gets its own row") << QList<int>{10, 500, 10} << 100 << QStringLiteral("0 | 1 | 2");
    QTest::addRow("a zero width puts every item on its own row") << QList<int>{10, 10} << 0 << QStringLiteral("0 | 1");
}

void TestFlowStack::breaksRows()
{
    QFETCH(QList<int>, widths);
    QFETCH(int, available);
    QFETCH(QString, rows);
    QCOMPARE(rowsText(flowRows(widths, available, 4)), rows);
}

void TestFlowStack::heightFollowsTheWidth()
{
    QWidget host;
    auto *flow = new FlowStack(&host);
    for (int i = 0; i < 3; ++i)
        flow->addWidget(chip(48, 20));
    QVERIFY(flow->hasHeightForWidth());
    QCOMPARE(flow->heightForWidth(1000), 20);
    QCOMPARE(flow->heightForWidth(100), 20 + 4 + 20);
    QCOMPARE(flow->heightForWidth(50), 20 + 4 + 20 + 4 + 20);
    QCOMPARE(host.heightForWidth(100), 44);

    // Shrinking the offered width re-breaks the rows with the same widths.
    host.resize(1000, 20);
    host.show();
    QCOMPARE(flow->itemAt(2)->geometry(), QRect(104, 0, 48, 20));
    host.resize(100, 44);
    flow->activate();
    QCOMPARE(flow->itemAt(2)->geometry(), QRect(52, 24, 48, 20));

    // A hidden chip takes no room; an empty flow stack has no height.
    QCOMPARE(flow->heightForWidth(104), 44);
    flow->itemAt(0)->widget()->hide();
    QCOMPARE(flow->heightForWidth(104), 20);
    FlowStack empty;
    QCOMPARE(empty.heightForWidth(100), 0);
}

void TestFlowStack::placesRowsWithAlignment_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("firstX");
    QTest::addRow("leading") << int(Qt::AlignLeft) << 0;
    QTest::addRow("centre") << int(Qt::AlignHCenter) << (200 - 64) / 2;
    QTest::addRow("trailing") << int(Qt::AlignRight) << 200 - 64;
}

void TestFlowStack::placesRowsWithAlignment()
{
    QFETCH(int, alignment);
    QFETCH(int, firstX);
    QWidget host;
    auto *flow = new FlowStack(&host, Qt::Alignment(alignment));
    flow->addWidget(chip(30, 10));
    flow->addWidget(chip(30, 20));
    flow->setGeometry(QRect(0, 0, 200, 20));
    QCOMPARE(flow->itemAt(0)->geometry(), QRect(firstX, 5, 30, 10));
    QCOMPARE(flow->itemAt(1)->geometry(), QRect(firstX + 34, 0, 30, 20));
}

void TestFlowStack::manyChipsAndAHugeChipDoNotHang()
{
    QWidget host;
    auto *flow = new FlowStack(&host);
    for (int i = 0; i < 10'000; ++i)
        flow->addWidget(new QLabel(QStringLiteral("chip %1").arg(i)));
    flow->addWidget(new QLabel(QString(10 * 1024, u'w')));

    const int tall = flow->heightForWidth(300);
    const int wide = flow->heightForWidth(3000);
    flow->setGeometry(QRect(0, 0, 300, tall));
    QVERIFY(tall > wide);
    // The huge chip sits alone on the last row, wider than the row.
    QVERIFY(flow->itemAt(10'000)->geometry().width() > 300);
    QCOMPARE(flow->itemAt(10'000)->geometry().x(), 0);
}

QTEST_MAIN(TestFlowStack)
#include "tst_flowstack.moc"
