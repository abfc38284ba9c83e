#include "MorvendaApp/components/SegmentedPicker.h"

#include <QLabel>
#include <QTest>


namespace {

struct Choice
{
    QString id;
    int height;
};

QWidget *makeItem(const Choice &choice, const QString &selected)
{
    auto *label = new QLabel(choice.id == selected ? QStringLiteral("[%1]").arg(choice.id) : choice.id);
    label->setFixedSize(40, choice.height);
    return label;
}

} // namespace

class TestSegmentedPicker : public QObject
{
    Q_OBJECT

private slots:
    void clickWritesTheSelection();
    void itemsAreSpacedAndCentred();
    void emptyDataDrawsNothing();
};

void TestSegmentedPicker::clickWritesTheSelection()
{
    const QList<Choice> choices{{QStringLiteral("bar"), 20}, {QStringLiteral("line"), 20}};
    QString selected = QStringLiteral("bar");
    QStringList writes;
    SegmentedPicker picker(6);
    std::function<void()> rebuild = [&] {
        picker.setData(
            choices, [&](const Choice &c) { return makeItem(c, selected); },
            [&](const Choice &c) {
                writes << c.id;
                selected = c.id;
                rebuild();
            });
    };
    rebuild();
    picker.show();

    QTest::mouseClick(picker.itemWidget(1), Qt::LeftButton);
    QCOMPARE(writes, QStringList{QStringLiteral("line")});
    QCOMPARE(static_cast<QLabel *>(picker.itemWidget(1))->text(), QStringLiteral("[line]"));

    // Re-selecting the selected item writes it again.
    QTest::mouseClick(picker.itemWidget(1), Qt::LeftButton);
    QCOMPARE(writes, (QStringList{QStringLiteral("line"), QStringLiteral("line")}));
    QCOMPARE(picker.itemCount(), 2);
}

void TestSegmentedPicker::itemsAreSpacedAndCentred()
{
    const QList<Choice> choices{{QStringLiteral("a"), 10}, {QStringLiteral("b"), 30}, {QStringLiteral("c"), 20}};
    SegmentedPicker picker(6);
    picker.setData(choices, [](const Choice &c) { return makeItem(c, QString()); }, [](const Choice &) {});
    picker.resize(picker.sizeHint());
    picker.show();
    QCOMPARE(picker.sizeHint(), QSize(3 * 40 + 2 * 6, 30));
    QCOMPARE(picker.itemWidget(0)->geometry(), QRect(0, 10, 40, 10));
    QCOMPARE(picker.itemWidget(1)->geometry(), QRect(46, 0, 40, 30));
    QCOMPARE(picker.itemWidget(2)->geometry(), QRect(92, 5, 40, 20));
}

void TestSegmentedPicker::emptyDataDrawsNothing()
{
    int writes = 0;
    SegmentedPicker picker(6);
    picker.setData(QList<Choice>{}, [](const Choice &c) { return makeItem(c, QString()); },
        [&](const Choice &) { ++writes; });
    picker.resize(100, 30);
    picker.show();
    QTest::mouseClick(&picker, Qt::LeftButton);
    QCOMPARE(picker.itemCount(), 0);
    QCOMPARE(writes, 0);
}

QTEST_MAIN(TestSegmentedPicker)
#include "tst_segmentedpicker.moc"
