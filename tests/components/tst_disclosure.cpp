#include "MorvendaApp/components/Disclosure.h"
#include "MorvendaApp/components/HideableText.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/components/ViewModifiers.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>


namespace {

QPalette schemePalette(bool dark)
{
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(0xec, 0xec, 0xec));
    palette.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
    return palette;
}

// Paints the widget's background in one colour and lets `window` decide the scheme.
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
    void contentIsCutAt200Lines();
    void textsAreShownAsTheyAre();
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

void TestDisclosure::contentIsCutAt200Lines()
{
    QStringList lines;
    for (int i = 1; i <= 250; ++i)
        lines << QString::number(i);
    Disclosure disclosure(QStringLiteral("Body"), lines.join(u'\n'));
    const QString shown = disclosure.findChild<QLabel *>(QStringLiteral("content"))->text();
    QCOMPARE(shown.split(u'\n').size(), 200);
    QVERIFY(shown.endsWith(QStringLiteral("\n200")));
    QCOMPARE(Disclosure::firstLines(QStringLiteral("a\nb"), 200), QStringLiteral("a\nb"));
    QCOMPARE(Disclosure::firstLines(QStringLiteral("a\nb\n"), 2), QStringLiteral("a\nb"));
}

void TestDisclosure::textsAreShownAsTheyAre()
{
    Disclosure disclosure(QStringLiteral("User.help"), QStringLiteral("<b>x</b>"));
    auto *title = disclosure.findChild<QLabel *>(QStringLiteral("title"));
    auto *content = disclosure.findChild<QLabel *>(QStringLiteral("content"));
    QCOMPARE(title->text(), QStringLiteral("User.help"));
    QCOMPARE(content->textFormat(), Qt::PlainText);
    QCOMPARE(title->textFormat(), Qt::PlainText);
    QCOMPARE(content->text(), QStringLiteral("<b>x</b>"));
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

    QWidget column;
    auto *layout = new QVBoxLayout(&column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto *above = new QLabel(QStringLiteral("above"));
    auto *hideable = new HideableText(std::nullopt, &column);
    hideable->setText(text);
    layout->addWidget(above);
    layout->addWidget(hideable);
    layout->addWidget(new QLabel(QStringLiteral("below")));
    column.show();

    QCOMPARE(hideable->isVisible(), shown);
    QCOMPARE(column.sizeHint().height() > 2 * above->sizeHint().height() + 10, shown);
    if (shown)
        QCOMPARE(hideable->text(), *text);
}

void TestDisclosure::darkenedOnlyInTheLightScheme()
{
    QWidget swatch;
    swatch.resize(20, 20);
    applyDarkenedForLightMode(&swatch);

    // A light window colour: every channel goes down by 0.4 * 255.
    swatch.setPalette(schemePalette(false));
    paintSolid(swatch, QColor(200, 150, 120));
    QCOMPARE(swatch.grab().toImage().pixelColor(10, 10), QColor(200 - 102, 150 - 102, 120 - 102));

    // The same widget drawn with a dark palette is left alone.
    swatch.setPalette(schemePalette(true));
    swatch.setAutoFillBackground(true);
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
