#include "MorvendaApp/shell/core/L10n.h"

#include <QTest>

class TestL10n : public QObject
{
    Q_OBJECT

private slots:
    void formatsPlaceholders_data();
    void formatsPlaceholders();
    void textWithoutArgumentsIsVerbatim();
    void missingKeyGivesItself();
};

void TestL10n::formatsPlaceholders_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("expected");

    QTest::addRow("object placeholder takes the value's text")
        << QStringLiteral("ID: %@") << QVariantList{QStringLiteral("abc")} << QStringLiteral("ID: abc");
    QTest::addRow("whole numbers are not grouped")
        << QStringLiteral("%lld/%lld") << QVariantList{1234567, 2000000} << QStringLiteral("1234567/2000000");
    QTest::addRow("doubles have six decimals")
        << QStringLiteral("%lf s") << QVariantList{0.25} << QStringLiteral("0.250000 s");
    QTest::addRow("an argument is never read as a pattern")
        << QStringLiteral("%@ and %@") << QVariantList{QStringLiteral("%@"), QStringLiteral("x")}
        << QStringLiteral("%@ and x");
    QTest::addRow("a placeholder without an argument stays")
        << QStringLiteral("%@ %@") << QVariantList{QStringLiteral("a")} << QStringLiteral("a %@");
    QTest::addRow("extra arguments are ignored")
        << QStringLiteral("%@") << QVariantList{1, 2} << QStringLiteral("1");
    QTest::addRow("double percent is one percent")
        << QStringLiteral("100%% of %@") << QVariantList{3} << QStringLiteral("100% of 3");
}

void TestL10n::formatsPlaceholders()
{
    QFETCH(QString, pattern);
    QFETCH(QVariantList, args);
    QFETCH(QString, expected);
    QCOMPARE(L10n::formatText(pattern, args), expected);
}

void TestL10n::textWithoutArgumentsIsVerbatim()
{
    QCOMPARE(L10n::formatText(QStringLiteral("50%% done %@"), {}), QStringLiteral("50%% done %@"));
    QCOMPARE(L10n::text("CopiedToPasteboard"), QStringLiteral("Copied to Pasteboard!"));
}

void TestL10n::missingKeyGivesItself()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no text for key")));
    QCOMPARE(L10n::text("No.such.key"), QStringLiteral("No.such.key"));
}

QTEST_GUILESS_MAIN(TestL10n)
#include "tst_l10n.moc"
