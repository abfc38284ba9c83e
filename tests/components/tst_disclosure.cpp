#include "MorvendaApp/components/Disclosure.h"
#include "MorvendaApp/components/HideableText.h"
#include "MorvendaApp/components/ViewModifiers.h"

#include <QLabel>
#include <QTest>


namespace {

// Paints the widget's background in one colour, which also decides whether it counts as dark.
void paintSolid(QWidget &widget, QColor color)
{
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
}

} // namespace

class TestDisclosure : public QObject
{
    Q_OBJECT

private slots:
    void headerClicksFoldAndUnfold_data();
    void headerClicksFoldAndUnfold();
    void textsArePlainAndCutAt200Lines();
    void hideableTextTakesNoRoomWhenEmpty_data();
    void hideableTextTakesNoRoomWhenEmpty();
    void darkenedOnlyInTheLightScheme();
    void roundViewIsACircleOfItsSize();
};

void TestDisclosure::headerClicksFoldAndUnfold_data()
{
    QTest::addColumn<QString>("target");
    QTest::addRow("a click on the title") << QStringLiteral("title");
    QTest::addRow("a click on the chevron") << QStringLiteral("chevron");
    QTest::addRow("a click in the empty space of the header") << QStringLiteral("header");
}

void TestDisclosure::headerClicksFoldAndUnfold()
{
    QFETCH(QString, target);
    Disclosure disclosure(QStringLiteral("Token"), QStringLiteral("abc"));
    disclosure.resize(400, 100);
    disclosure.show();
    QVERIFY(QTest::qWaitForWindowExposed(&disclosure));
    auto *content = disclosure.findChild<QLabel *>(QStringLiteral("content"));
    QVERIFY(disclosure.isExpanded());
    QVERIFY(content->isVisible());

    QWidget *clicked = disclosure.findChild<QWidget *>(target);
    const QPoint where = target == QStringLiteral("header") ? QPoint(clicked->width() - 5, clicked->height() / 2) : clicked->rect().center();
    QTest::mouseClick(clicked, Qt::LeftButton, {}, where);
    QVERIFY(!disclosure.isExpanded());
    QVERIFY(!content->isVisible());

    QTest::mouseClick(clicked, Qt::LeftButton, {}, where);
    QVERIFY(disclosure.isExpanded());
    QVERIFY(content->isVisible());
}

// Titles and bodies come from apps: markup in them is text, and a huge body is cut.
void TestDisclosure::textsArePlainAndCutAt200Lines()
{
    QStringList lines = {QStringLiteral("<b>1</b>")};
    for (int i = 2; i <= 250; ++i)
        lines << QString::number(i);
    Disclosure disclosure(QStringLiteral("<i>Body</i>"), lines.join(u'\n'));
    auto *title = disclosure.findChild<QLabel *>(QStringLiteral("title"));
    auto *content = disclosure.findChild<QLabel *>(QStringLiteral("content"));
    QCOMPARE(title->textFormat(), Qt::PlainText);
    QCOMPARE(content->textFormat(), Qt::PlainText);
    QCOMPARE(title->text(), QStringLiteral("<i>Body</i>"));
    QCOMPARE(content->text().split(u'\n'), lines.mid(0, 200));
    QCOMPARE(Disclosure::firstLines(QStringLiteral("a\nb"), 200), QStringLiteral("a\nb"));
    QCOMPARE(Disclosure::firstLines(QStringLiteral("a\nb\n"), 2), QStringLiteral("a\nb"));
}

void TestDisclosure::hideableTextTakesNoRoomWhenEmpty_data()
{
    QTest::addColumn<std::optional<QString>>("text");
    QTest::addColumn<bool>("shown");
    QTest::addRow("no text") << std::optional<QString>() << false;
    QTest::addRow("an empty text") << std::optional<QString>(QString()) << false;
    QTest::addRow("a one-letter text") << std::optional<QString>(QStringLiteral("a")) << true;
}

void TestDisclosure::hideableTextTakesNoRoomWhenEmpty()
{
    QFETCH(std::optional<QString>, text);
    QFETCH(bool, shown);

    // Hidden, it takes no room in its parent's layout.
    QWidget column;
    auto *hideable = new HideableText(std::nullopt, &column);
    hideable->setText(text);
    column.show();
    QCOMPARE(hideable->isVisible(), shown);
    if (shown)
        QCOMPARE(hideable->text(), *text);
}

void TestDisclosure::darkenedOnlyInTheLightScheme()
{
    QWidget swatch;
    swatch.resize(20, 20);
    applyDarkenedForLightMode(&swatch);

    // A light window colour: every channel goes down by 0.4 * 255.
    paintSolid(swatch, QColor(200, 150, 120));
    QCOMPARE(swatch.grab().toImage().pixelColor(10, 10), QColor(200 - 102, 150 - 102, 120 - 102));

    // The same widget drawn with a dark palette is left alone.
    paintSolid(swatch, QColor(0x1e, 0x1e, 0x1e));
    QCOMPARE(swatch.grab().toImage().pixelColor(10, 10), QColor(0x1e, 0x1e, 0x1e));
}

void TestDisclosure::roundViewIsACircleOfItsSize()
{
    QWidget host;
    auto *swatch = new QWidget(&host);
    paintSolid(*swatch, Qt::red);
    applyRoundView(swatch, 30);
    QCOMPARE(swatch->size(), QSize(30, 30));
    host.resize(30, 30);
    const QImage image = host.grab().toImage();
    QCOMPARE(image.pixelColor(15, 15), QColor(Qt::red));
    QVERIFY(image.pixelColor(1, 1) != QColor(Qt::red));

    QWidget empty;
    applyRoundView(&empty, 0);
    QCOMPARE(empty.size(), QSize(0, 0));
}

QTEST_MAIN(TestDisclosure)
#include "tst_disclosure.moc"
