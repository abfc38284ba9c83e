// The inspector's model: information rows and their order, headers without "Cookie", cookies
// split at the first "=", query items decoded with "+" kept, value texts (UTC dates, raw numbers
// for dates out of range), the API-explorer link encoded once, and CSV text with RFC 4180 quoting.
#include "MorvendaApp/details/PayloadInspection.h"

#include "MorvendaModel/Uuid.h"

#include <QTest>
#include <QUrlQuery>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DetailInfoProperty)

namespace {

const QUuid kMessage = *Uuid::parse(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_s);
const QUuid kBatch = *Uuid::parse(u"0A5B3C2D-1111-4222-8333-944455556666"_s);

std::optional<Url> url(const QString &text)
{
    return Url::fromText(text);
}

Request request(std::optional<Url> address = std::nullopt, QList<Header> headers = {},
    std::optional<double> timestamp = std::nullopt, std::optional<Method> method = std::nullopt)
{
    return Request(kMessage, std::move(address), method, timestamp, u"body"_s, std::move(headers));
}

Response response(QList<Header> headers = {}, std::optional<qint64> status = std::nullopt,
    std::optional<Response::Source> source = std::nullopt)
{
    return Response(kMessage, kBatch, status, std::nullopt, source, std::nullopt, std::move(headers), std::nullopt);
}

QStringList names(const QList<DetailInfoProperty> &rows)
{
    QStringList list;
    for (const DetailInfoProperty &row : rows)
        list.append(row.name);
    return list;
}

QStringList texts(const QList<DetailInfoProperty> &rows)
{
    QStringList list;
    for (const DetailInfoProperty &row : rows)
        list.append(DetailText::valueText(row.value));
    return list;
}

// "name=value" per row, joined by "|", to compare whole lists at once.
QString pairs(const QList<DetailInfoProperty> &rows)
{
    QStringList list;
    for (const DetailInfoProperty &row : rows)
        list.append(row.name + u"="_s + DetailText::valueText(row.value));
    return list.join(u'|');
}

} // namespace

class TestPayloadInspection : public QObject
{
    Q_OBJECT

private slots:
    void infoRowsFollowDeclarationOrderAndSkipAbsentFields()
    {
        const Request bare = request();
        QCOMPARE(names(RequestDetails(bare).info()), QStringList{u"id"_s});

        const Request full = request(url(u"https://shop.example/api?x=1"_s), {{u"A"_s, u"b"_s}}, 1709634133.5, Method::Put);
        const QList<DetailInfoProperty> rows = RequestDetails(full).info();
        QCOMPARE(names(rows), (QStringList{u"id"_s, u"url"_s, u"method"_s, u"timestamp"_s}));
        QCOMPARE(texts(rows), (QStringList{u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_s, u"https://shop.example/api?x=1"_s,
                                   u"put"_s, u"2024-03-05 10:22:13 +0000"_s}));

        QCOMPARE(names(ResponseDetails(response()).info()), (QStringList{u"id"_s, u"batchID"_s}));
        const QList<DetailInfoProperty> answered = ResponseDetails(response({}, 204, Response::Source::Cache)).info();
        QCOMPARE(names(answered), (QStringList{u"id"_s, u"batchID"_s, u"statusCode"_s, u"source"_s}));
        QCOMPARE(texts(answered).mid(2), (QStringList{u"204"_s, u"cache"_s}));
    }

    void mirrorPropertiesLeavesOutOnlyTheNamedFields()
    {
        const Request full = request(std::nullopt, {{u"A"_s, u"b"_s}});
        QCOMPARE(names(PayloadInspection::mirrorProperties(full, {})), (QStringList{u"id"_s, u"data"_s, u"headers"_s}));
        QCOMPARE(names(PayloadInspection::mirrorProperties(full, {u"Data"_s, u"id"_s})), (QStringList{u"data"_s, u"headers"_s}));
    }

    void everyAskBuildsRowsWithNewIds()
    {
        const RequestDetails details(request());
        const QList<DetailInfoProperty> first = details.info();
        const QList<DetailInfoProperty> second = details.info();
        QCOMPARE(names(first), names(second));
        QVERIFY(first.first().id != second.first().id);
    }

    void requestHeadersLeaveOutExactlyCookie()
    {
        const QList<Header> headers = {{u"Accept"_s, u"*/*"_s}, {u"Cookie"_s, u"a=1"_s}, {u"cookie"_s, u"b=2"_s},
            {u"Cookie"_s, u"c=3"_s}};
        const RequestDetails details(request(std::nullopt, headers));
        QCOMPARE(pairs(details.headers()), u"Accept=*/*|cookie=b=2"_s);
        QCOMPARE(pairs(details.cookies()), u"a=1"_s);
        const ResponseDetails answer(response({{u"Set-Cookie"_s, u"id=7"_s}, {u"X"_s, u"y"_s}}));
        QCOMPARE(pairs(answer.headers()), u"Set-Cookie=id=7|X=y"_s);
    }

    void cookiesSplitAtTheFirstEquals_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("values");
        QTest::addRow("two cookies keep the space after the semicolon")
            << u"theme=dark; lang=en"_s << QStringList{u"theme"_s, u" lang"_s} << QStringList{u"dark"_s, u"en"_s};
        QTest::addRow("a part without equals is its own name and value")
            << u"flag"_s << QStringList{u"flag"_s} << QStringList{u"flag"_s};
        QTest::addRow("a base64 value keeps its padding")
            << u"token=abc=="_s << QStringList{u"token"_s} << QStringList{u"abc=="_s};
        QTest::addRow("several equals keep everything after the first")
            << u"a=b=c"_s << QStringList{u"a"_s} << QStringList{u"b=c"_s};
        QTest::addRow("a trailing semicolon gives an empty row")
            << u"a=1;"_s << QStringList{u"a"_s, QString()} << QStringList{u"1"_s, QString()};
        QTest::addRow("set-cookie attributes")
            << u"id=7; Path=/; HttpOnly"_s << QStringList{u"id"_s, u" Path"_s, u" HttpOnly"_s}
            << QStringList{u"7"_s, u"/"_s, u" HttpOnly"_s};
        QTest::addRow("quotes and commas stay as sent")
            << u"pref=\"a,b\"; Expires=Wed, 21 Oct 2026 07:28:00 GMT"_s << QStringList{u"pref"_s, u" Expires"_s}
            << QStringList{u"\"a,b\""_s, u"Wed, 21 Oct 2026 07:28:00 GMT"_s};
    }
    void cookiesSplitAtTheFirstEquals()
    {
        QFETCH(QString, value);
        QFETCH(QStringList, names);
        QFETCH(QStringList, values);
        const QList<DetailInfoProperty> rows = ResponseDetails(response({{u"Set-Cookie"_s, value}})).cookies();
        QCOMPARE(::names(rows), names);
        QCOMPARE(texts(rows), values);
    }

    void queryItemsAreDecodedWithPlusKept_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("rows");
        QTest::addRow("repeated names and an item without equals")
            << u"https://h/p?a=1&b&a=2"_s << u"a=1|b=|a=2"_s;
        QTest::addRow("percent escapes are decoded") << u"https://h/p?q=hello%20world"_s << u"q=hello world"_s;
        QTest::addRow("a plus stays a plus") << u"https://h/p?q=a+b&c%2Bd=1"_s << u"q=a+b|c+d=1"_s;
        QTest::addRow("the fragment is not part of the query") << u"https://h/p?x=1#y=2"_s << u"x=1"_s;
        QTest::addRow("a question mark in the fragment is no query") << u"https://h/p#a?b=1"_s << QString();
        QTest::addRow("no query") << u"https://h/p"_s << QString();
        QTest::addRow("an empty query") << u"https://h/p?"_s << QString();
        QTest::addRow("a relative URL") << u"search?term=%C3%BC"_s << u"term=ü"_s;
        QTest::addRow("a host-less URL") << u"/p?k=v"_s << u"k=v"_s;
        QTest::addRow("a percent sign without two hex digits stays as sent")
            << u"https://h/p?promo=50%OFF&ref=%G1&end=%4&last=%"_s << u"promo=50%OFF|ref=%G1|end=%4|last=%"_s;
        QTest::addRow("valid escapes beside an invalid one are decoded")
            << u"https://h/p?q=%41%zz%42"_s << u"q=A%zzB"_s;
        QTest::addRow("escapes in either letter case") << u"https://h/p?q=%c3%A9"_s << u"q=é"_s;
        QTest::addRow("decoded bytes that are not UTF-8 stay escaped")
            << u"https://h/p?bad=%FF%FE&cut=%C3&ok=%C3%BC"_s << u"bad=%FF%FE|cut=%C3|ok=ü"_s;
        QTest::addRow("a decoded byte-order mark is kept") << u"https://h/p?q=%EF%BB%BFx"_s << u"q=\uFEFFx"_s;
    }
    void queryItemsAreDecodedWithPlusKept()
    {
        QFETCH(QString, address);
        QFETCH(QString, rows);
        QCOMPARE(pairs(RequestDetails(request(url(address))).query()), rows);
    }

    void noUrlGivesNoQueryRows()
    {
        QVERIFY(RequestDetails(request()).query().isEmpty());
        QVERIFY(ResponseDetails(response()).query().isEmpty());
    }

    void dateTexts_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::addRow("a date in UTC without fractions") << 1709634133.999 << u"2024-03-05 10:22:13 +0000"_s;
        QTest::addRow("before 1970 rounds down") << -0.5 << u"1969-12-31 23:59:59 +0000"_s;
        QTest::addRow("the first convertible second") << -62135596800.0 << u"0001-01-01 00:00:00 +0000"_s;
        QTest::addRow("the last convertible second") << 253402300799.0 << u"9999-12-31 23:59:59 +0000"_s;
        QTest::addRow("year 10000 is a raw number") << 253402300800.0 << u"253402300800"_s;
        QTest::addRow("1e300 is a raw number") << 1e300 << u"1e+300"_s;
        QTest::addRow("NaN is a raw number") << std::numeric_limits<double>::quiet_NaN() << u"nan"_s;
        QTest::addRow("minus infinity is a raw number") << -std::numeric_limits<double>::infinity() << u"-inf"_s;
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
        QVERIFY2(english.contains(u"Mar"_s) && english.contains(u"2024"_s), qPrintable(english));
        QVERIFY2(english.contains(u":13.1234"_s), qPrintable(english));
        const QString german = DetailText::localText(1709634133.5, QLocale(QLocale::German, QLocale::Germany));
        QVERIFY2(german.contains(u"2024"_s) && german.contains(u",5000"_s), qPrintable(german));
    }

    void valueTextsOfEveryType()
    {
        QCOMPARE(DetailText::valueText(qint64(-42)), u"-42"_s);
        QCOMPARE(DetailText::valueText(kMessage), u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_s);
        QCOMPARE(DetailText::valueText(Method::Delete), u"delete"_s);
        QCOMPARE(DetailText::valueText(Response::Source::Network), u"network"_s);
        // The URL as the app sent it, not as QUrl would normalise it.
        QCOMPARE(DetailText::valueText(*url(u"HTTPS://Shop.Example:443/a/../b?q=a b"_s)), u"HTTPS://Shop.Example:443/a/../b?q=a b"_s);
    }

    void apiExplorerLink_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("link");
        const QString base = u"https://www.example.com/api/explorer/endpoint?q="_s;
        QTest::addRow("segments with an underscore become token")
            << u"https://h/api/catalog/products/p_8f3a/variants?x=1"_s << u"api/catalog/products/token/variants"_s
            << base + u"api/catalog/products/token/variants"_s;
        QTest::addRow("a path with an underscore in the middle")
            << u"https://h/catalog/user_settings/list"_s << u"catalog/token/list"_s << base + u"catalog/token/list"_s;
        QTest::addRow("no path gives the empty text") << u"https://h"_s << QString() << base;
        QTest::addRow("a space is encoded once")
            << u"https://h/a%20b/c"_s << u"a b/c"_s << base + u"a%20b/c"_s;
        QTest::addRow("characters that would end the value are encoded")
            << u"https://h/x%26y=z%2Bw/%25"_s << u"x&y=z+w/%"_s << base + u"x%26y%3Dz%2Bw/%25"_s;
        QTest::addRow("non-ASCII is encoded as UTF-8") << u"https://h/caf%C3%A9"_s << u"café"_s << base + u"caf%C3%A9"_s;
        QTest::addRow("a relative URL loses its first segment") << u"v1/items/42"_s << u"items/42"_s << base + u"items/42"_s;
        QTest::addRow("a host-less absolute path") << u"/v1/items"_s << u"v1/items"_s << base + u"v1/items"_s;
    }
    void apiExplorerLink()
    {
        QFETCH(QString, address);
        QFETCH(QString, path);
        QFETCH(QString, link);
        const std::optional<Url> parsed = url(address);
        QVERIFY(parsed);
        QCOMPARE(PayloadInspection::apiExplorerPath(*parsed), path);
        const std::optional<QUrl> explorer = PayloadInspection::apiExplorerURL(*parsed);
        QVERIFY(explorer);
        QCOMPARE(explorer->toString(QUrl::FullyEncoded), link);
        QCOMPARE(QUrlQuery(*explorer).queryItemValue(u"q"_s, QUrl::FullyDecoded), path);
    }

    void csvQuotesOnlyWhatNeedsIt_data()
    {
        QTest::addColumn<QList<DetailInfoProperty>>("rows");
        QTest::addColumn<QString>("csv");
        QTest::addRow("an empty table is the header line")
            << QList<DetailInfoProperty>{} << u"Key,Value"_s;
        QTest::addRow("plain rows are joined by LF with none at the end")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u"a"_s, u"1"_s), DetailInfoProperty::make(u"b"_s, qint64(2))}
            << u"Key,Value\na,1\nb,2"_s;
        QTest::addRow("a comma in a value is quoted, not replaced")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u"Content-Type"_s, u"text/html, charset=utf-8"_s)}
            << u"Key,Value\nContent-Type,\"text/html, charset=utf-8\""_s;
        QTest::addRow("a comma in a name is quoted")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u"a,b"_s, u"c"_s)} << u"Key,Value\n\"a,b\",c"_s;
        QTest::addRow("quotes are doubled inside quotes")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u"q"_s, u"say \"hi\""_s)}
            << u"Key,Value\nq,\"say \"\"hi\"\"\""_s;
        QTest::addRow("line breaks stay inside quotes")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u"m"_s, u"a\r\nb"_s)} << u"Key,Value\nm,\"a\r\nb\""_s;
        QTest::addRow("dates are written in UTC")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u"timestamp"_s, DetailDate{1709634133.0})}
            << u"Key,Value\ntimestamp,2024-03-05 10:22:13 +0000"_s;
        QTest::addRow("leading spaces are kept")
            << QList<DetailInfoProperty>{DetailInfoProperty::make(u" lang"_s, u"en"_s)} << u"Key,Value\n lang,en"_s;
    }
    void csvQuotesOnlyWhatNeedsIt()
    {
        QFETCH(QList<DetailInfoProperty>, rows);
        QFETCH(QString, csv);
        QCOMPARE(DetailText::csvText(rows), csv);
    }

    void aThousandHeadersAndTenMegabytesStayWhole()
    {
        QList<Header> headers;
        for (int i = 0; i < 1000; ++i)
            headers.append({u"X-Header-%1"_s.arg(i), u"value %1"_s.arg(i)});
        const QString body(10 * 1024 * 1024, u'x');
        const Request big(kMessage, url(u"https://h/p"_s), Method::Post, 1.0, body, headers);
        const RequestDetails details(big);
        const QList<DetailInfoProperty> rows = details.headers();
        QCOMPARE(rows.size(), 1000);
        QCOMPARE(rows.last().name, u"X-Header-999"_s);
        QCOMPARE(details.body()->size(), body.size());
        QCOMPARE(DetailText::csvText(rows).count(u'\n'), 1000);
    }
};

QTEST_GUILESS_MAIN(TestPayloadInspection)
#include "tst_payloadinspection.moc"
