// The inspector's model: headers without "Cookie", cookies
// split at the first "=", query items decoded with "+" kept, value texts (UTC dates, raw numbers
// for dates out of range), the API-explorer link encoded once, and CSV text with RFC 4180 quoting.
#include "MorvendaApp/details/PayloadInspection.h"

#include "MorvendaModel/Uuid.h"

#include <QTest>
#include <QUrlQuery>

#include <limits>

Q_DECLARE_METATYPE(DetailInfoProperty)

namespace {

const QUuid kMessage = *Uuid::parse(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
const QUuid kBatch = *Uuid::parse(QStringLiteral("0A5B3C2D-1111-4222-8333-944455556666"));

Request request(std::optional<Url> address, QList<Header> headers = {})
{
    return Request(kMessage, std::move(address), std::nullopt, std::nullopt, QStringLiteral("body"), std::move(headers));
}

Response response(QList<Header> headers)
{
    return Response(kMessage, kBatch, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::move(headers), std::nullopt);
}

// "name=value" per row, joined by "|", to compare whole lists at once; another glue than "=" where
// names and values hold "=" themselves.
QString pairs(const QList<DetailInfoProperty> &rows, const QString &glue = QStringLiteral("="))
{
    QStringList list;
    for (const DetailInfoProperty &row : rows)
        list.append(row.name + glue + DetailText::valueText(row.value));
    return list.join(u'|');
}

} // namespace

class TestPayloadInspection : public QObject
{
    Q_OBJECT

private slots:
    void requestHeadersLeaveOutExactlyCookie()
    {
        const QList<Header> headers = {{QStringLiteral("Accept"), QStringLiteral("*/*")}, {QStringLiteral("Cookie"), QStringLiteral("a=1")}, {QStringLiteral("cookie"), QStringLiteral("b=2")},
            {QStringLiteral("Cookie"), QStringLiteral("c=3")}};
        const RequestDetails details(request(std::nullopt, headers));
        QCOMPARE(pairs(details.headers()), QStringLiteral("Accept=*/*|cookie=b=2"));
        QCOMPARE(pairs(details.cookies()), QStringLiteral("a=1"));
        const ResponseDetails answer(response({{QStringLiteral("Set-Cookie"), QStringLiteral("id=7")}, {QStringLiteral("X"), QStringLiteral("y")}}));
        QCOMPARE(pairs(answer.headers()), QStringLiteral("Set-Cookie=id=7|X=y"));
    }

    void cookiesSplitAtTheFirstEquals_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("rows");
        QTest::addRow("two cookies keep the space after the semicolon")
            << QStringLiteral("theme=dark; lang=en") << QStringLiteral("theme -> dark| lang -> en");
        QTest::addRow("a part without equals is its own name and value") << QStringLiteral("flag") << QStringLiteral("flag -> flag");
        QTest::addRow("a base64 value keeps its padding") << QStringLiteral("token=abc==") << QStringLiteral("token -> abc==");
        QTest::addRow("several equals keep everything after the first") << QStringLiteral("a=b=c") << QStringLiteral("a -> b=c");
        QTest::addRow("a trailing semicolon gives an empty row") << QStringLiteral("a=1;") << QStringLiteral("a -> 1| -> ");
        QTest::addRow("set-cookie attributes")
            << QStringLiteral("id=7; Path=/; HttpOnly") << QStringLiteral("id -> 7| Path -> /| HttpOnly ->  HttpOnly");
        QTest::addRow("quotes and commas stay as sent")
            << QStringLiteral("pref=\"a,b\"; Expires=Wed, 21 Oct 2026 07:28:00 GMT")
            << QStringLiteral("pref -> \"a,b\"| Expires -> Wed, 21 Oct 2026 07:28:00 GMT");
    }
    void cookiesSplitAtTheFirstEquals()
    {
        QFETCH(QString, value);
        QFETCH(QString, rows);
        const QList<DetailInfoProperty> cookies = ResponseDetails(response({{QStringLiteral("Set-Cookie"), value}})).cookies();
        QCOMPARE(pairs(cookies, QStringLiteral(" -> ")), rows);
    }

    void queryItemsAreDecodedWithPlusKept_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("rows");
        QTest::addRow("repeated names and an item without equals")
            << QStringLiteral("https://h/p?a=1&b&a=2") << QStringLiteral("a=1|b=|a=2");
        QTest::addRow("percent escapes are decoded") << QStringLiteral("https://h/p?q=hello%20world") << QStringLiteral("q=hello world");
        QTest::addRow("a plus stays a plus") << QStringLiteral("https://h/p?q=a+b&c%2Bd=1") << QStringLiteral("q=a+b|c+d=1");
        QTest::addRow("the fragment is not part of the query") << QStringLiteral("https://h/p?x=1#y=2") << QStringLiteral("x=1");
        QTest::addRow("a question mark in the fragment is no query") << QStringLiteral("https://h/p#a?b=1") << QString();
        QTest::addRow("no query") << QStringLiteral("https://h/p") << QString();
        QTest::addRow("an empty query") << QStringLiteral("https://h/p?") << QString();
        QTest::addRow("a relative URL") << QStringLiteral("search?term=%C3%BC") << QStringLiteral("term=ü");
        QTest::addRow("a host-less URL") << QStringLiteral("/p?k=v") << QStringLiteral("k=v");
        QTest::addRow("a percent sign without two hex digits stays as sent")
            << QStringLiteral("https://h/p?promo=50%OFF&ref=%G1&end=%4&last=%") << QStringLiteral("promo=50%OFF|ref=%G1|end=%4|last=%");
        QTest::addRow("valid escapes beside an invalid one are decoded")
            << QStringLiteral("https://h/p?q=%41%zz%42") << QStringLiteral("q=A%zzB");
        QTest::addRow("escapes in either letter case") << QStringLiteral("https://h/p?q=%c3%A9") << QStringLiteral("q=é");
        QTest::addRow("decoded bytes that are not UTF-8 stay escaped")
            << QStringLiteral("https://h/p?bad=%FF%FE&cut=%C3&ok=%C3%BC") << QStringLiteral("bad=%FF%FE|cut=%C3|ok=ü");
        QTest::addRow("a decoded byte-order mark is kept") << QStringLiteral("https://h/p?q=%EF%BB%BFx") << QStringLiteral("q=\uFEFFx");
    }
    void queryItemsAreDecodedWithPlusKept()
    {
        QFETCH(QString, address);
        QFETCH(QString, rows);
        QCOMPARE(pairs(RequestDetails(request(Url::fromText(address))).query()), rows);
    }

    void dateTexts_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::addRow("a date in UTC without fractions") << 1709634133.999 << QStringLiteral("2024-03-05 10:22:13 +0000");
        QTest::addRow("before 1970 rounds down") << -0.5 << QStringLiteral("1969-12-31 23:59:59 +0000");
        QTest::addRow("the first convertible second") << -62135596800.0 << QStringLiteral("0001-01-01 00:00:00 +0000");
        QTest::addRow("the last convertible second") << 253402300799.0 << QStringLiteral("9999-12-31 23:59:59 +0000");
        QTest::addRow("year 10000 is a raw number") << 253402300800.0 << QStringLiteral("253402300800");
        QTest::addRow("1e300 is a raw number") << 1e300 << QStringLiteral("1e+300");
        QTest::addRow("NaN is a raw number") << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("nan");
        QTest::addRow("minus infinity is a raw number") << -std::numeric_limits<double>::infinity() << QStringLiteral("-inf");
    }
    void dateTexts()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(DetailText::valueText(DetailDate{seconds}), text);
        if (!DetailText::isConvertibleDate(seconds))
            QCOMPARE(DetailText::localText(seconds), text);
    }

    void localDatesShowFourFractionalDigitsInTheLocalesOrder()
    {
        const QString english = DetailText::localText(1709634133.12349, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(english.contains(QStringLiteral("Mar")) && english.contains(QStringLiteral("2024")), qPrintable(english));
        QVERIFY2(english.contains(QStringLiteral(":13.1234")), qPrintable(english));
        const QString german = DetailText::localText(1709634133.5, QLocale(QLocale::German, QLocale::Germany));
        QVERIFY2(german.contains(QStringLiteral("2024")) && german.contains(QStringLiteral(",5000")), qPrintable(german));
    }

    void aUrlIsShownAsTheAppSentIt()
    {
        // Not as QUrl would normalise it.
        QCOMPARE(DetailText::valueText(*Url::fromText(QStringLiteral("HTTPS://Shop.Example:443/a/../b?q=a b"))), QStringLiteral("HTTPS://Shop.Example:443/a/../b?q=a b"));
    }

    void apiExplorerLink_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("link");
        const QString base = QStringLiteral("https://www.example.com/api/explorer/endpoint?q=");
        QTest::addRow("a path with an underscore in the middle")
            << QStringLiteral("https://h/catalog/user_settings/list") << QStringLiteral("catalog/token/list") << base + QStringLiteral("catalog/token/list");
        QTest::addRow("no path gives the empty text") << QStringLiteral("https://h") << QString() << base;
        QTest::addRow("a space is encoded once")
            << QStringLiteral("https://h/a%20b/c") << QStringLiteral("a b/c") << base + QStringLiteral("a%20b/c");
        QTest::addRow("characters that would end the value are encoded")
            << QStringLiteral("https://h/x%26y=z%2Bw/%25") << QStringLiteral("x&y=z+w/%") << base + QStringLiteral("x%26y%3Dz%2Bw/%25");
        QTest::addRow("non-ASCII is encoded as UTF-8") << QStringLiteral("https://h/caf%C3%A9") << QStringLiteral("café") << base + QStringLiteral("caf%C3%A9");
        QTest::addRow("a relative URL loses its first segment") << QStringLiteral("v1/items/42") << QStringLiteral("items/42") << base + QStringLiteral("items/42");
        QTest::addRow("a host-less absolute path") << QStringLiteral("/v1/items") << QStringLiteral("v1/items") << base + QStringLiteral("v1/items");
    }
    void apiExplorerLink()
    {
        QFETCH(QString, address);
        QFETCH(QString, path);
        QFETCH(QString, link);
        const std::optional<Url> parsed = Url::fromText(address);
        QVERIFY(parsed);
        QCOMPARE(PayloadInspection::apiExplorerPath(*parsed), path);
        const std::optional<QUrl> explorer = PayloadInspection::apiExplorerURL(*parsed);
        QVERIFY(explorer);
        QCOMPARE(explorer->toString(QUrl::FullyEncoded), link);
        QCOMPARE(QUrlQuery(*explorer).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded), path);
    }

    void csvQuotesOnlyWhatNeedsIt_data()
    {
        using Rows = QList<DetailInfoProperty>;
        const auto row = [](const char *name, DetailValue value) { return DetailInfoProperty::make(QString::fromUtf8(name), value); };
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("csv");
        QTest::addRow("an empty table is the header line") << Rows{} << QStringLiteral("Key,Value");
        QTest::addRow("plain rows are joined by LF with none at the end")
            << Rows{row("a", QStringLiteral("1")), row("b", qint64(2))} << QStringLiteral("Key,Value\na,1\nb,2");
        QTest::addRow("a comma in a name is quoted") << Rows{row("a,b", QStringLiteral("c"))} << QStringLiteral("Key,Value\n\"a,b\",c");
        QTest::addRow("quotes are doubled inside quotes")
            << Rows{row("q", QStringLiteral("say \"hi\""))} << QStringLiteral("Key,Value\nq,\"say \"\"hi\"\"\"");
        QTest::addRow("line breaks stay inside quotes") << Rows{row("m", QStringLiteral("a\r\nb"))} << QStringLiteral("Key,Value\nm,\"a\r\nb\"");
        QTest::addRow("dates are written in UTC")
            << Rows{row("timestamp", DetailDate{1709634133.0})} << QStringLiteral("Key,Value\ntimestamp,2024-03-05 10:22:13 +0000");
        QTest::addRow("leading spaces are kept") << Rows{row(" lang", QStringLiteral("en"))} << QStringLiteral("Key,Value\n lang,en");
    }
    void csvQuotesOnlyWhatNeedsIt()
    {
        QFETCH(QList<DetailInfoProperty>, rows);
        QFETCH(QString, csv);
        QCOMPARE(DetailText::csvText(rows), csv);
    }

};

QTEST_GUILESS_MAIN(TestPayloadInspection)
#include "tst_payloadinspection.moc"
