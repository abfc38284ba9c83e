#include "MorvendaApp/session/Exchange.h"
#include "MorvendaApp/session/ExchangeDescriptionMapper.h"
#include "SessionFixtures.h"

#include <QTest>

using namespace fixtures;

namespace {

std::optional<QString> describe(const QString &url, const std::optional<QString> &body)
{
    return Exchange::fromRequest(request(id(1), url, body), QStringLiteral("App")).description();
}

QString line(const char *key, const QByteArray &value)
{
    return QStringLiteral("  \"%1\" : \"%2\",\n").arg(QLatin1StringView(key), QLatin1StringView(value));
}

} // namespace

class TestDescriptions : public QObject
{
    Q_OBJECT

private slots:
    void describesByRequestClass_data();
    void describesByRequestClass();
};

void TestDescriptions::describesByRequestClass_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<std::optional<QString>>("body");
    QTest::addColumn<std::optional<QString>>("expected");
    const QString analytics = QStringLiteral("https://h/api/event");
    const QString setting = QStringLiteral("https://h/api/setting/assign");
    const QString milestones = QStringLiteral("https://h/api/user/milestones");
    const std::optional<QString> none;
    const auto text = [](const auto &s) { return std::optional<QString>(QString(s)); };

    QTest::addRow("one event key gives its quoted value") << analytics << text(line("event_key", "page_view")) << text(QStringLiteral("\"page_view\""));
    QTest::addRow("three event keys give a count then the values")
        << analytics << text(line("event_key", "a") + line("event_key", "b") + line("event_key", "c"))
        << text(QStringLiteral("(x3),\"a\",\"b\",\"c\""));
    QTest::addRow("equal values are all listed") << analytics << text(line("event_key", "a") + line("event_key", "a")) << text(QStringLiteral("(x2),\"a\",\"a\""));
    QTest::addRow("path values when no event key matches") << analytics << text(line("path", "/home")) << text(QStringLiteral("\"/home\""));
    QTest::addRow("event keys win over path values") << analytics << text(line("path", "/home") + line("event_key", "e")) << text(QStringLiteral("\"e\""));
    QTest::addRow("an analytics call without body has none") << analytics << none << none;
    QTest::addRow("an analytics body matching nothing has none, even with a milestone line")
        << analytics << text(line("retailer_milestone", "m")) << none;
    QTest::addRow("a setting query up to its only ampersand") << setting + QStringLiteral("?setting=abc&user=1") << none << text(QStringLiteral("abc"));
    QTest::addRow("a setting query up to its last ampersand") << setting + QStringLiteral("?setting=abc&user=1&x=2") << none << text(QStringLiteral("abc&user=1"));
    QTest::addRow("a setting query without ampersand has none") << setting + QStringLiteral("?setting=abc") << none << none;
    QTest::addRow("the retailer milestone wins over the brand one, blank included")
        << milestones << text(line("brand_milestone", "b") + line("retailer_milestone", "r")) << text(QStringLiteral(" \"r\""));
    QTest::addRow("another path has none") << QStringLiteral("https://h/api/items") << text(line("event_key", "e")) << none;
    QTest::addRow("a match limit reached after a first value gives no description")
        << analytics << text(line("event_key", "a") + QStringLiteral("\"event_key\"") + QStringLiteral(": ").repeated(200000)) << none;
    QTest::addRow("a carriage return ends the line for the dot")
        << analytics << text(QStringLiteral("\"event_key\" : \"a\"\r,")) << none;
    QTest::addRow("a line separator ends the line for the dot")
        << analytics << text(QStringLiteral("\"event_key\" : \"a\"\u2028,")) << none;

    // Hostile bodies must give an answer in reasonable time, not crash or hang the engine.
    QTest::addRow("a 1 MB body on one line")
        << analytics << text(QStringLiteral("\"event_key\"") + QString(1 << 20, u'x') + QStringLiteral(": v,")) << text(QStringLiteral("v"));
    QTest::addRow("200k repetitions of a colon and blank after a milestone key")
        << milestones << text(QStringLiteral("\"retailer_milestone\"") + QStringLiteral(": ").repeated(200000)) << none;
    QTest::addRow("many event keys separated by carriage returns")
        << analytics << text(QStringLiteral("\"event_key\" : \"a\",\r").repeated(50000))
        << text(QStringLiteral("(x50000)") + QStringLiteral(",\"a\"").repeated(50000));

    // A batch of analytics events sent in one body, one event per line, all listed in order.
    QString many;
    QString listed = QStringLiteral("(x32000)");
    for (int i = 0; i < 32000; ++i) {
        many += line("event_key", "e" + QByteArray::number(i));
        listed += QStringLiteral(",\"e%1\"").arg(i);
    }
    QTest::addRow("32000 events in one body") << analytics << text(many) << text(listed);
}

void TestDescriptions::describesByRequestClass()
{
    QFETCH(QString, url);
    QFETCH(std::optional<QString>, body);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(describe(url, body), expected);
}

QTEST_GUILESS_MAIN(TestDescriptions)
#include "tst_descriptions.moc"
