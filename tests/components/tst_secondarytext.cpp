// Secondary text (a SecondaryLabel, or any label made to follow the secondary colour) stays in the
// secondary colour of the palette around it: after that palette changes, after the label moves to
// another parent, and after a label made without a parent is laid out in one.
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/PaletteFollower.h"
#include "MorvendaApp/components/SecondaryLabel.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

namespace {

enum class Change { ParentPalette, MovedToAnotherParent, LaidOutLater };

const QColor kDarkText(20, 40, 60);
const QColor kLightText(230, 210, 190);

// A scheme as a window has it: its background and its text. Parents with the same background
// differ only in a colour the label sets on itself, so a label moving between them sees no
// palette change of its own.
void giveScheme(QWidget &widget, QColor background, QColor text)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    widget.setPalette(palette);
}

QLabel *makeLabel(bool secondaryLabel, QWidget *parent)
{
    if (secondaryLabel)
        return new SecondaryLabel(12, parent);
    auto *label = new QLabel(parent);
    PaletteFollower::followSecondaryText(label);
    return label;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestSecondaryText : public QObject
{
    Q_OBJECT

private slots:
    void followsThePaletteAroundIt_data();
    void followsThePaletteAroundIt();
};

void TestSecondaryText::followsThePaletteAroundIt_data()
{
    QTest::addColumn<bool>("secondaryLabel");
    QTest::addColumn<Change>("change");
    for (const bool secondaryLabel : {true, false}) {
        const char *kind = secondaryLabel ? "a secondary label" : "a following label";
        QTest::addRow("%s, its parent's palette changes", kind) << secondaryLabel << Change::ParentPalette;
        QTest::addRow("%s, moved to another parent", kind) << secondaryLabel << Change::MovedToAnotherParent;
        QTest::addRow("%s, laid out after it was made", kind) << secondaryLabel << Change::LaidOutLater;
    }
}

void TestSecondaryText::followsThePaletteAroundIt()
{
    QFETCH(bool, secondaryLabel);
    QFETCH(Change, change);
    QWidget first;
    QWidget second;
    giveScheme(first, Qt::white, kDarkText);
    giveScheme(second, Qt::white, kLightText);
    auto *layout = new QVBoxLayout(&second);

    QLabel *label = makeLabel(secondaryLabel, change == Change::LaidOutLater ? nullptr : &first);
    QWidget *around = &second;
    switch (change) {
    case Change::ParentPalette:
        QCOMPARE(label->palette().color(QPalette::WindowText), namedColor(NamedColor::Secondary, first.palette()));
        giveScheme(first, Qt::black, kLightText);
        around = &first;
        break;
    case Change::MovedToAnotherParent:
        label->setParent(&second);
        break;
    case Change::LaidOutLater:
        layout->addWidget(label);
        break;
    }
    QCOMPARE(label->parentWidget(), around);
    QCOMPARE(label->palette().color(QPalette::WindowText), namedColor(NamedColor::Secondary, around->palette()));
    // Derived from the surroundings each time, never from the label's own earlier colour.
    giveScheme(*around, Qt::darkGray, kDarkText);
    QCOMPARE(label->palette().color(QPalette::WindowText), namedColor(NamedColor::Secondary, around->palette()));
}

QTEST_MAIN(TestSecondaryText)
#include "tst_secondarytext.moc"
