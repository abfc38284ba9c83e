// Values of the wire records: equality by canonical equivalence and its hash, the URL path rule and
// its agreement with QUrl, strict UUIDs, raw values, the derived user tags, texts kept as UTF-8 and
// sharing of bodies between copies.
#include "MorvendaModel/AppPayload.h"
#include "MorvendaModel/CanonicalText.h"
#include "MorvendaModel/Payload.h"
#include "MorvendaModel/Uuid.h"

#include <QHash>
#include <QSet>
#include <QTest>

#include <cmath>

namespace {

const QUuid kMessage = QUuid::fromString(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
const QUuid kBatch = QUuid::fromString(u"0B3E5B0A-8D5C-4F59-9E0C-6F2B8C1D2E3F");

// "é" precomposed and as "e" with a combining acute accent: canonically equivalent.
const QString kComposed = QStringLiteral("caf\u00e9");
const QString kDecomposed = QStringLiteral("cafe\u0301");

Request requestWith(std::optional<QString> body, QList<Header> headers = {})
{
    return Request(kMessage, Url::fromText(QStringLiteral("https://a.example/x")), Method::Get, 1.0,
                   std::move(body), std::move(headers));
}

Request requestWithUtf8(QByteArray body)
{
    return Request::withUtf8Body(kMessage, Url::fromText(QStringLiteral("https://a.example/x")),
                                 Method::Get, 1.0, std::move(body), {});
}

struct UserInput
{
    std::optional<QString> token;
    QStringList capabilities;
    bool isImpersonating = false;
    bool isSubuser = false;
    bool isAdmin = false;
    std::optional<Retailer> retailer;
    std::optional<Brand> brand;
};

QStringList tagsOf(const UserInput &in)
{
    const User user(QStringLiteral("n"), in.token, std::nullopt, in.capabilities, std::nullopt,
                    in.isImpersonating, in.isSubuser, in.isAdmin, in.retailer, in.brand);
    QStringList tags;
    for (UserTag tag : user.tags())
        tags << rawValue(tag);
    return tags;
}

Retailer retailer(bool active, std::optional<QString> membership = std::nullopt)
{
    return Retailer(std::nullopt, std::nullopt, active, std::nullopt, std::nullopt, membership);
}

// Space-separated tag names.
QStringList names(const char *list)
{
    return QString::fromLatin1(list).split(u' ', Qt::SkipEmptyParts);
}

Brand brand(bool active)
{
    return Brand{std::nullopt, std::nullopt, active, std::nullopt};
}

} // namespace

Q_DECLARE_METATYPE(UserInput)

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void canonicallyEquivalentTextsAreEqual()
    {
        QVERIFY(kComposed != kDecomposed);
        QVERIFY(CanonicalText::equal(kComposed, kDecomposed));
        QCOMPARE(CanonicalText::hash(kComposed), CanonicalText::hash(kDecomposed));
        QVERIFY(!CanonicalText::equal(QStringLiteral("Cafe"), QStringLiteral("cafe")));
        QVERIFY(!CanonicalText::equal(std::optional<QString>(), std::optional<QString>(QString())));
        // Both forms change under NFC (d with dot below and dot above, the marks in either order).
        const QByteArray dotsAboveFirst = QStringLiteral("\u1e0b\u0323").toUtf8();
        const QByteArray dotsBelowFirst = QStringLiteral("\u1e0d\u0307").toUtf8();
        QVERIFY(CanonicalText::equalUtf8(dotsAboveFirst, dotsBelowFirst));
        QCOMPARE(CanonicalText::hashUtf8(dotsAboveFirst), CanonicalText::hashUtf8(dotsBelowFirst));
        QVERIFY(!CanonicalText::equalUtf8(std::optional<QByteArray>(), std::optional<QByteArray>(QByteArray())));

        // The request's hash takes in its headers' hashes.
        const Request a = requestWith(kComposed, {{QStringLiteral("X"), kComposed}});
        const Request b = requestWith(kDecomposed, {{QStringLiteral("X"), kDecomposed}});
        QVERIFY(a == b);
        QCOMPARE(qHash(a), qHash(b));
        QCOMPARE(QSet<Request>({a, b}).size(), 1);
    }

    void recordEquality_data()
    {
        QTest::addColumn<bool>("equal");
        QTest::addColumn<bool>("expected");
        const Header h1{QStringLiteral("a"), QStringLiteral("1")};
        const Header h2{QStringLiteral("b"), QStringLiteral("2")};

        QTest::addRow("headers whose name and value split one text differently are unequal")
            << (Header(QStringLiteral("ab"), QStringLiteral("c")) == Header(QStringLiteral("a"), QStringLiteral("bc")))
            << false;
        QTest::addRow("a header read as UTF-8 equals the same header made from text")
            << (Header::fromUtf8("caf\xc3\xa9", "x") == Header(kComposed, QStringLiteral("x"))) << true;
        QTest::addRow("requests with headers in another order are unequal")
            << (requestWith(QString(), {h1, h2}) == requestWith(QString(), {h2, h1})) << false;
        QTest::addRow("an absent body and an empty body are unequal")
            << (requestWith(std::nullopt) == requestWith(QString())) << false;
        QTest::addRow("bodies with different accented letters are unequal")
            << (requestWith(QStringLiteral("caf\u00e9")) == requestWith(QStringLiteral("caf\u00e8"))) << false;
        QTest::addRow("a body given as UTF-8 equals its canonical equivalent given as text")
            << (requestWithUtf8("caf\xc3\xa9") == requestWith(kDecomposed)) << true;
        QTest::addRow("users with tags in another order are unequal")
            << (User::withTags({}, {}, {}, {}, {}, false, false, false, {UserTag::Admin, UserTag::Active}, {}, {})
                == User::withTags({}, {}, {}, {}, {}, false, false, false, {UserTag::Active, UserTag::Admin}, {}, {}))
            << false;
        QTest::addRow("users with capabilities in another order are unequal")
            << (User::withTags({}, {}, {}, {QStringLiteral("a"), QStringLiteral("b")}, {}, false, false, false, {}, {}, {})
                == User::withTags({}, {}, {}, {QStringLiteral("b"), QStringLiteral("a")}, {}, false, false, false, {}, {}, {}))
            << false;
        QTest::addRow("URLs with different text are unequal although equivalent")
            << (Url::fromText(QStringLiteral("HTTP://a/")) == Url::fromText(QStringLiteral("http://a/"))) << false;
        QTest::addRow("an override and a deeplink are unequal")
            << (AppPayload::runDeeplink(QStringLiteral("k"))
                == AppPayload::settingOverride(SettingOverride(QStringLiteral("k"), Setting::Value::string(QStringLiteral("k")))))
            << false;
        QTest::addRow("impersonations of equivalent tokens are equal")
            << (ImpersonationInfo(kComposed) == ImpersonationInfo(kDecomposed)) << true;

        using Value = Setting::Value;
        QTest::addRow("setting values of zero and negative zero are equal") << (Value::number(0.0) == Value::number(-0.0)) << true;
        QTest::addRow("setting values of not-a-number are unequal") << (Value::number(std::nan("")) == Value::number(std::nan(""))) << false;
        QTest::addRow("a number and its text are unequal setting values") << (Value::number(1) == Value::string(QStringLiteral("1"))) << false;
        QTest::addRow("setting texts compare by canonical equivalence") << (Value::string(kComposed) == Value::string(kDecomposed)) << true;
        QTest::addRow("different states are unequal setting values")
            << (Value::boolean(Setting::BoolState::On) == Value::boolean(Setting::BoolState::Server)) << false;
        const Setting setting(QStringLiteral("n"), QStringLiteral("k"), QStringLiteral("e"), std::nullopt, Value::number(1), Value::number(2));
        Setting withOverride = setting;
        withOverride.overrideValue = Value::number(1);
        QTest::addRow("a setting with an override differs from one without") << (setting == withOverride) << false;
    }

    void recordEquality()
    {
        QFETCH(bool, equal);
        QFETCH(bool, expected);
        QCOMPARE(equal, expected);
    }

    void urlParts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("rawPath");
        QTest::addColumn<QString>("query"); // null: no query
        QTest::addRow("escapes are decoded in the path and stay as sent in the raw parts")
            << "https://a.example/%41/b%2fc/%C3%A9?x=%7e" << "/A/b/c/\u00e9" << "/%41/b%2fc/%C3%A9" << "x=%7e";
        QTest::addRow("a trailing slash is dropped from the path only")
            << "https://a.example/v1/items/" << "/v1/items" << "/v1/items/" << QString();
        QTest::addRow("the root path stays a slash") << "https://a.example/" << "/" << "/" << QString();
        QTest::addRow("no path is empty") << "https://a.example" << "" << "" << QString();
        QTest::addRow("a query right after the host") << "https://a.example?q=1" << "" << "" << "q=1";
        QTest::addRow("the fragment ends path and query") << "https://a.example/p#f?g" << "/p" << "/p" << QString();
        QTest::addRow("an empty query is a query") << "https://a.example/p?#f" << "/p" << "/p" << "";
        QTest::addRow("user info and port belong to the authority") << "http://u:p@a.example:8080/x" << "/x" << "/x" << QString();
        QTest::addRow("a relative reference is all path") << "v1/items/?x" << "v1/items" << "v1/items/" << "x";
        QTest::addRow("a scheme-relative reference skips the authority") << "//a.example/x" << "/x" << "/x" << QString();
        QTest::addRow("a scheme without authority") << "mailto:someone@a.example" << "someone@a.example" << "someone@a.example" << QString();
        QTest::addRow("case and dot segments stay") << "HTTPS://Example.COM/A/../b" << "/A/../b" << "/A/../b" << QString();
    }

    void urlParts()
    {
        QFETCH(QString, text);
        QFETCH(QString, path);
        QFETCH(QString, rawPath);
        QFETCH(QString, query);
        const std::optional<Url> url = Url::fromText(text);
        QVERIFY(url);
        QCOMPARE(url->path(), path);
        QCOMPARE(url->rawPath(), rawPath);
        QCOMPARE(url->rawQuery().has_value(), !query.isNull());
        if (!query.isNull())
            QCOMPARE(*url->rawQuery(), query);
    }

    // Plain URLs are judged and their paths read without QUrl; every verdict, path and parse must be
    // the one QUrl gives for the same text, for plain texts and for all that only look plain.
    void urlAgreesWithQUrl()
    {
        // Lists separated by "|"; the empty entries are part of them.
        const auto list = [](const char *entries) { return QString::fromUtf8(entries).split(u'|'); };
        const QStringList schemes = list("https|HTTP|x-app+v.1|1a");
        const QStringList hosts = list("a.example|localhost|API.Example.COM|127.0.0.1|999.1.1.1|-a.example|a-.example|"
                                       "a..example|.a.example|a.example.|xn--bcher-kva.example|xn--zz.example|"
                                       "b\u00fccher.example|a_b.example|[::1]|[::1||user:pw@a.example|a b.example")
            << QString(64, u'a') + QStringLiteral(".example");
        const QStringList ports = list("|:8080|:|:65535|:65536|:0|:x|:123456");
        const QStringList tails = list("|/|/a/b/|/a%20b/%C3%A9|/a%2Fb|/%zz|/50%|/a%2|/p?q=1#f|/p#f?q|?q=/x|#f/g|/a b|"
                                       "/caf\u00e9|/a/./b/../c//|/\u007f|/t\tab|/%ff%fe")
            << QStringLiteral("/a\"b<c>{d}|^`\\e[f]");
        int plain = 0;
        for (const QString &scheme : schemes) {
            for (const QString &host : hosts) {
                for (const QString &port : ports) {
                    for (const QString &tail : tails) {
                        const QString text = scheme + QStringLiteral("://") + host + port + tail;
                        const QUrl parsed(text, QUrl::TolerantMode);
                        const std::optional<Url> url = Url::fromText(text);
                        if (url.has_value() != parsed.isValid())
                            QFAIL(qPrintable(QStringLiteral("verdict differs for ") + text));
                        if (!url)
                            continue;
                        if (url->path() != Url::decodedPath(parsed))
                            QFAIL(qPrintable(QStringLiteral("path differs for ") + text + QStringLiteral(": ") + url->path()));
                        if (url->qurl() != parsed || url->text() != text)
                            QFAIL(qPrintable(QStringLiteral("parse or text differs for ") + text));
                        plain += url->utf8() == text.toLatin1() ? 1 : 0;
                    }
                }
            }
        }
        QVERIFY(plain > 1000);
    }

    void uuidParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addRow("upper case is valid") << "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" << true;
        QTest::addRow("lower case is valid") << "e621e1f8-c36c-495a-93fc-0c247a3e6e5f" << true;
        QTest::addRow("braces are invalid") << "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}" << false;
        QTest::addRow("missing hyphens are invalid") << "E621E1F8C36C495A93FC0C247A3E6E5F" << false;
        QTest::addRow("35 characters are invalid") << "E621E1F8-C36C-495A-93FC-0C247A3E6E5" << false;
        QTest::addRow("a hyphen out of place is invalid") << "E621E1F-8C36C-495A-93FC-0C247A3E6E5F" << false;
        QTest::addRow("a non-hex digit is invalid") << "E621E1F8-C36C-495A-93FC-0C247A3E6E5Z" << false;
        QTest::addRow("a non-ASCII digit is invalid") << "E621E1F8-C36C-495A-93FC-0C247A3E6E5\u0660" << false;
    }

    void uuidParsing()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<QUuid> parsed = Uuid::parse(text);
        QCOMPARE(parsed.has_value(), valid);
        QCOMPARE(Uuid::parse(std::string_view(text.toUtf8().constData())).has_value(), valid);
        if (valid)
            QCOMPARE(Uuid::toText(*parsed), text.toUpper());
    }

    void derivedUserTags_data()
    {
        QTest::addColumn<UserInput>("input");
        QTest::addColumn<QStringList>("tags");
        const QString tok = QStringLiteral("t");
        const QString placeOrder = QStringLiteral("retailerPlaceOrder");

        QTest::addRow("a signed-out user with nothing is only loggedOut") << UserInput{} << names("loggedOut");
        QTest::addRow("an admin with capabilities but no ordering is only admin")
            << UserInput{tok, {QStringLiteral("x")}, false, false, true, {}, {}} << names("admin");
        QTest::addRow("an active sub-user who may order")
            << UserInput{tok, {placeOrder}, false, true, false, retailer(true), {}}
            << names("active subuser placeOrder");
        QTest::addRow("an owner who may not order")
            << UserInput{tok, {QStringLiteral("x")}, false, false, false, {}, {}} << names("accountOwner cantPlaceOrder");
        QTest::addRow("an inactive retailer with an active brand is active")
            << UserInput{tok, {}, false, false, false, retailer(false), brand(true)} << names("active accountOwner");
        QTest::addRow("an active retailer and brand are active once")
            << UserInput{tok, {}, false, false, false, retailer(true), brand(true)} << names("active accountOwner");
        QTest::addRow("a signed-out sub-user")
            << UserInput{{}, {}, false, true, false, {}, {}} << names("loggedOut subuser");
        QTest::addRow("an impersonating admin")
            << UserInput{tok, {}, true, false, true, {}, {}} << names("impersonating admin");
        QTest::addRow("membership words come last in their own order")
            << UserInput{tok, {}, false, false, false, retailer(false, QStringLiteral("paused (was active)")), {}}
            << names("accountOwner ostrane ostranePaused");
        QTest::addRow("membership words are case-sensitive substrings")
            << UserInput{tok, {}, false, false, false, retailer(false, QStringLiteral("Churned, unpaid, ineligible")), {}}
            << names("accountOwner ostraneEligible ostraneUnpaid");
    }

    void derivedUserTags()
    {
        QFETCH(UserInput, input);
        QFETCH(QStringList, tags);
        QCOMPARE(tagsOf(input), tags);
    }

    void copiesShareTheirBody()
    {
        const QByteArray body(1 << 20, 'x');
        const Request request = requestWithUtf8(body);
        QCOMPARE(request.dataUtf8()->constData(), body.constData());
        const Request copy = request;
        const Payload payload = Payload::request(copy);
        QCOMPARE(payload.asRequest()->dataUtf8()->constData(), body.constData());
        const Response response = Response::withUtf8Body(kMessage, kBatch, std::nullopt, std::nullopt,
                                                         std::nullopt, std::nullopt, {}, body);
        const Payload responsePayload = Payload::response(response);
        QCOMPARE(responsePayload.asResponse()->dataUtf8()->constData(), body.constData());

        // A body given as text is converted once; copies share the converted bytes.
        const Request fromText = requestWith(QString(1 << 20, u'x'));
        const Request textCopy = fromText;
        QCOMPARE(textCopy.dataUtf8()->constData(), fromText.dataUtf8()->constData());
    }

    void textBodiesAreKeptAsUtf8_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("readBack");
        const QString replacement(QChar(QChar::ReplacementCharacter));
        QTest::addRow("an empty body stays present")
            << QString() << QByteArray("") << QString();
        // The writer's text table has every kind of lone surrogate; one shows each record converts.
        QTest::addRow("a lone high surrogate becomes U+FFFD, as the writer writes it")
            << QString(QChar(0xD800)) + u'x' << QByteArray("\xef\xbf\xbdx") << replacement + u'x';
    }

    void textBodiesAreKeptAsUtf8()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, stored);
        QFETCH(QString, readBack);
        const Request request = requestWith(text);
        QVERIFY(request.dataUtf8());
        QCOMPARE(*request.dataUtf8(), stored);
        QCOMPARE(request.data(), std::optional<QString>(readBack));
        const Response response(kMessage, kBatch, std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, text);
        QCOMPARE(*response.dataUtf8(), stored);
        QCOMPARE(response.data(), std::optional<QString>(readBack));
        const Header header(text, QStringLiteral("v") + text);
        QCOMPARE(header.nameUtf8().toByteArray(), stored);
        QCOMPARE(header.valueUtf8().toByteArray(), "v" + stored);
        QCOMPARE(header.name(), readBack);
        QCOMPARE(header.value(), QStringLiteral("v") + readBack);
    }

    void utf8BodiesAreKeptWhenValid_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("stored");
        QTest::addRow("a stray byte becomes U+FFFD") << QByteArray("a\xff" "b") << QByteArray("a\xef\xbf\xbd" "b");
        QTest::addRow("a sequence cut short at the end becomes U+FFFD")
            << QByteArray("ab\xc3") << QByteArray("ab\xef\xbf\xbd");
    }

    // Bodies given as bytes must still be valid UTF-8 inside, or the JSON written from them would not be.
    void utf8BodiesAreKeptWhenValid()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, stored);
        const Request request = requestWithUtf8(given);
        QCOMPARE(*request.dataUtf8(), stored);
        QCOMPARE(*request.data(), QString::fromUtf8(stored));
        const Response response = Response::withUtf8Body(kMessage, kBatch, std::nullopt, std::nullopt,
                                                         std::nullopt, std::nullopt, {}, given);
        QCOMPARE(*response.dataUtf8(), stored);
        const Header header = Header::fromUtf8(given, QByteArray("v" + given));
        QCOMPARE(header.nameUtf8().toByteArray(), stored);
        QCOMPARE(header.valueUtf8().toByteArray(), "v" + stored);
        const std::optional<Url> url = Url::fromUtf8(QByteArray("https://h/" + given));
        QVERIFY(url);
        QCOMPARE(url->utf8(), "https://h/" + stored);
    }
};

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
