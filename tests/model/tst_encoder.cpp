// Writing: exact bytes where the wire fixes them, the writer's number and text forms, and round
// trips of every envelope case through the decoder.
#include "ModelTestSupport.h"

#include "MorvendaModel/Encoder.h"
#include "MorvendaModel/Utf8Text.h"
#include "MorvendaModel/Uuid.h"

#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

using namespace ModelTest;

namespace {

const QUuid kMessage = QUuid::fromString(QLatin1StringView(kId));
const QUuid kBatchId = QUuid::fromString(QLatin1StringView(kBatch));

QList<Header> someHeaders()
{
    return {{QStringLiteral("Content-Type"), QStringLiteral("application/json")},
            {QStringLiteral("X-Trace"), QStringLiteral("a\"b\\c\u00e9\U0001F600")},
            {QStringLiteral("X-Trace"), QString()}};
}

Request fullRequest()
{
    return Request(kMessage, Url::fromText(QStringLiteral("https://api.example.com/v1/items%20x/?q=1")),
                   Method::Put, 1700000000.00125, QStringLiteral("{\"a\":[1,2]}\n\ttab"), someHeaders());
}

Response fullResponse()
{
    return Response(kMessage, kBatchId, 201, Url::fromText(QStringLiteral("https://api.example.com/v1")),
                    Response::Source::Cache, -0.5, someHeaders(), QStringLiteral("body \u0001 ctl"));
}

Retailer someRetailer()
{
    return Retailer(QStringLiteral("Shop"), QStringLiteral("rt"), true, QStringLiteral("DE"),
                    QStringLiteral("multi"), QStringLiteral("active, paused"));
}

User fullUser()
{
    return User(QStringLiteral("Ann"), QStringLiteral("tok"), QStringLiteral("ann@example.com"),
                {QStringLiteral("retailerPlaceOrder"), QStringLiteral("x")},
                Url::fromText(QStringLiteral("https://img.example.com/a.png")), true, true, false,
                someRetailer(), Brand{QStringLiteral("B"), std::nullopt, false, QStringLiteral("FR")});
}

QList<Setting> someSettings()
{
    return {Setting(QStringLiteral("Protobuf"), QStringLiteral("MOBILE_PROTOBUF_230512"), QStringLiteral("Eve"),
                    Setting::Value::boolean(Setting::BoolState::Server),
                    Setting::Value::boolean(Setting::BoolState::Off),
                    Setting::Value::boolean(Setting::BoolState::On)),
            Setting(QStringLiteral("Limit"), QStringLiteral("LIMIT"), QStringLiteral("Bob"), std::nullopt,
                    Setting::Value::number(-std::numeric_limits<double>::infinity()),
                    Setting::Value::number(0.1)),
            Setting(QStringLiteral("Name"), QStringLiteral("NAME"), QString(), std::nullopt,
                    Setting::Value::string(QString()), Setting::Value::number(std::numeric_limits<double>::infinity()))};
}

} // namespace

class TestEncoder : public QObject
{
    Q_OBJECT

private slots:
    void goldenBytes_data();
    void goldenBytes();
    void numbers_data();
    void numbers();
    void texts_data();
    void texts();
    void payloadRoundTrips_data();
    void payloadRoundTrips();
    void appPayloadRoundTrips_data();
    void appPayloadRoundTrips();
};

void TestEncoder::goldenBytes_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("the server hello")
        << Encoder::encode(AppPayload::serverHello()) << QByteArray(R"({"serverHello":""})");
    QTest::addRow("the override that turns binary encoding off")
        << Encoder::encode(AppPayload::settingOverride(SettingOverride(
               QStringLiteral("MOBILE_PROTOBUF_230512"), Setting::Value::boolean(Setting::BoolState::Off))))
        << QByteArray(R"({"settingOverride":{"key":"MOBILE_PROTOBUF_230512","value":{"boolean":"off"}}})");
    QTest::addRow("an impersonation with an empty token")
        << Encoder::encode(AppPayload::impersonate(ImpersonationInfo(QString())))
        << QByteArray(R"({"impersonate":{"userTokenToImpersonate":""}})");
    QTest::addRow("a deeplink is written as escaped text")
        << Encoder::encode(AppPayload::runDeeplink(QStringLiteral("app://x?q=\"a b\"")))
        << QByteArray(R"({"runDeeplink":"app://x?q=\"a b\""})");
    QTest::addRow("a request without optional fields has only id and headers")
        << Encoder::encode(Payload::request(Request(kMessage, std::nullopt, std::nullopt, std::nullopt, std::nullopt, {})))
        << json("{'request':{'id':'$ID','headers':[]}}");
    QTest::addRow("a full response keeps field order and its cache source")
        << Encoder::encode(Payload::response(Response(kMessage, kBatchId, 200, Url::fromText(QStringLiteral("http://h/p/")),
                                                      Response::Source::Cache, 1.5, {{QStringLiteral("a"), QStringLiteral("b")}},
                                                      QStringLiteral("x"))))
        << json("{'response':{'id':'$ID','batchID':'$BATCH','statusCode':200,'url':'http://h/p/',"
                "'source':{'cache':{}},'timestamp':1500,'headers':[{'name':'a','value':'b'}],'data':'x'}}");
    QTest::addRow("a milestone without dates has only key and count")
        << Encoder::encode(Payload::milestone({Milestone(QStringLiteral("k"), 3, std::nullopt, std::nullopt)}))
        << json("{'milestone':[{'key':'k','count':3}]}");
    QTest::addRow("an empty milestone list is an empty array")
        << Encoder::encode(Payload::milestone({})) << json("{'milestone':[]}");
    QTest::addRow("a setting without override has no overrideValue key")
        << Encoder::encode(Payload::settings({Setting(QStringLiteral("n"), QStringLiteral("k"), QStringLiteral("e"), std::nullopt,
                                                       Setting::Value::number(std::nan("")), Setting::Value::string(QStringLiteral("s")))}))
        << json("{'settings':[{'name':'n','key':'k','directlyResponsibleEngineerName':'e',"
                "'defaultValue':{'number':'NAN'},'serverValue':{'string':'s'}}]}");
    QTest::addRow("a signed-out user without accounts has no optional keys")
        << Encoder::encode(Payload::user(User(std::nullopt, std::nullopt, std::nullopt, {}, std::nullopt, false, false, false,
                                              std::nullopt, std::nullopt)))
        << json("{'user':{'capabilities':[],'isImpersonating':false,'isSubuser':false,'isAdmin':false,'tags':['loggedOut']}}");

    // Dates are milliseconds since 1970.
    const auto date = [](double seconds) {
        JsonWriter writer = Encoder::make();
        writer.date(seconds);
        return writer.buffer();
    };
    QTest::addRow("one second before is -1000") << date(-1.0) << QByteArray("-1000");
    QTest::addRow("1.25 milliseconds keep their fraction") << date(0.00125) << QByteArray("1.25");
}

void TestEncoder::goldenBytes()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual, expected);
}

void TestEncoder::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("zero") << 0.0 << QByteArray("0");
    QTest::addRow("negative zero keeps its sign") << -0.0 << QByteArray("-0.0");
    QTest::addRow("a fraction in shortest form") << 0.1 << QByteArray("0.1");
    QTest::addRow("a sum in shortest round-trip form") << 0.1 + 0.2 << QByteArray("0.30000000000000004");
    QTest::addRow("a large number with exponent") << 1e21 << QByteArray("1e+21");
    QTest::addRow("the smallest subnormal") << 5e-324 << QByteArray("5e-324");
    QTest::addRow("the largest double") << std::numeric_limits<double>::max() << QByteArray("1.7976931348623157e+308");
    QTest::addRow("positive infinity as +") << std::numeric_limits<double>::infinity() << QByteArray("\"+\"");
    QTest::addRow("negative infinity as -") << -std::numeric_limits<double>::infinity() << QByteArray("\"-\"");
    QTest::addRow("not-a-number as NAN") << std::numeric_limits<double>::quiet_NaN() << QByteArray("\"NAN\"");
}

void TestEncoder::numbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, expected);
    JsonWriter writer = Encoder::make();
    writer.number(value);
    QCOMPARE(writer.buffer(), expected);

    // Every written number reads back to the same double through the reader.
    const QByteArray document = json("{'settingOverride':{'key':'k','value':{'number':") + writer.buffer() + "}}}";
    const auto decoded = Decoder().decodeAppPayload(document);
    QVERIFY(decoded);
    const double back = *decoded->asSettingOverride()->value().asNumber();
    if (std::isnan(value))
        QVERIFY(std::isnan(back));
    else
        QCOMPARE(std::memcmp(&back, &value, sizeof value), 0);
}

void TestEncoder::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("quote and backslash are escaped") << QStringLiteral("a\"b\\c") << QByteArray(R"("a\"b\\c")");
    QTest::addRow("control characters are escaped")
        << QStringLiteral("\n\r\t\b\f") + QChar(0x01) + QChar(0x1f) << QByteArray(R"("\n\r\t\b\f\u0001\u001f")");
    QTest::addRow("a slash is written as is") << QStringLiteral("https://a/b") << QByteArray(R"("https://a/b")");
    QTest::addRow("non-ASCII text is UTF-8") << QStringLiteral("\u00e9\u20ac") << QByteArray("\"\xc3\xa9\xe2\x82\xac\"");
    QTest::addRow("a surrogate pair is one four-byte character") << QStringLiteral("\U0001F600") << QByteArray("\"\xf0\x9f\x98\x80\"");
    QTest::addRow("a lone high surrogate becomes U+FFFD") << QString(QChar(0xD800)) + u'x' << QByteArray("\"\xef\xbf\xbdx\"");
    QTest::addRow("a lone low surrogate becomes U+FFFD") << QString(QChar(0xDC00)) << QByteArray("\"\xef\xbf\xbd\"");
    QTest::addRow("a trailing high surrogate becomes U+FFFD") << QStringLiteral("x") + QChar(0xDBFF) << QByteArray("\"x\xef\xbf\xbd\"");
    QTest::addRow("DEL is written as is") << QString(QChar(0x7f)) << QByteArray("\"\x7f\"");
    QTest::addRow("an empty text is two quotes") << QString() << QByteArray(R"("")");
    const QString before(16 * 1024 - 1, u'a');
    QTest::addRow("escapes on both sides of the writer's chunk boundary stay whole")
        << before + QStringLiteral("\"\n\u00e9") << QByteArray("\"") + before.toLatin1() + QByteArray("\\\"\\n\xc3\xa9\"");
}

// A text is written the same whether it is given as UTF-16 or as its UTF-8 (as bodies are kept),
// and a body goes out as that string.
void TestEncoder::texts()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    JsonWriter writer = Encoder::make();
    writer.string(text);
    QCOMPARE(writer.buffer(), expected);

    JsonWriter utf8Writer = Encoder::make();
    utf8Writer.utf8String(Utf8Text::fromText(text));
    QCOMPARE(utf8Writer.buffer(), expected);

    const Request request(kMessage, std::nullopt, std::nullopt, std::nullopt, text, {});
    const QByteArray encoded = Encoder::encode(Payload::request(request));
    QVERIFY(encoded.contains(QByteArray(QByteArray("\"data\":") + expected + ',')));
}

void TestEncoder::payloadRoundTrips_data()
{
    QTest::addColumn<Payload>("payload");
    QTest::addRow("a full request") << Payload::request(fullRequest());
    QTest::addRow("a minimal request") << Payload::request(Request(kMessage, std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}));
    QTest::addRow("a full response") << Payload::response(fullResponse());
    QTest::addRow("a network response without body")
        << Payload::response(Response(kMessage, kBatchId, std::numeric_limits<qint64>::min(), std::nullopt,
                                      Response::Source::Network, std::nullopt, {}, std::nullopt));
    QTest::addRow("settings of every value kind") << Payload::settings(someSettings());
    QTest::addRow("an empty settings list") << Payload::settings({});
    QTest::addRow("a full user") << Payload::user(fullUser());
    QTest::addRow("milestones with and without dates")
        << Payload::milestone({Milestone(QStringLiteral("orders"), std::numeric_limits<qint64>::max(), 1.5, -2.25),
                               Milestone(QStringLiteral("visits"), 0, std::nullopt, 1700000000.123)});
    QTest::addRow("a handshake") << Payload::handshake(QStringLiteral("Brand app \u00e9"));
    // A surrogate pair on the writer's chunk boundary stays whole.
    const QString huge = QString(16 * 1024 - 1, u'a') + QStringLiteral("\U0001F600") + QString(100000, u'\u00e9');
    QTest::addRow("a body across the writer's chunks")
        << Payload::request(Request(kMessage, std::nullopt, Method::Post, std::nullopt, huge, {}));
}

void TestEncoder::payloadRoundTrips()
{
    QFETCH(Payload, payload);
    const QByteArray bytes = Encoder::encode(payload);
    const auto decoded = Decoder().decodePayload(bytes);
    QVERIFY2(decoded, qPrintable(decoded ? QString() : decoded.error().toString()));
    QVERIFY(*decoded == payload);
    QCOMPARE(Encoder::encode(*decoded), bytes);
}

void TestEncoder::appPayloadRoundTrips_data()
{
    QTest::addColumn<AppPayload>("payload");
    QTest::addRow("an override to a state")
        << AppPayload::settingOverride(SettingOverride(QStringLiteral("K"), Setting::Value::boolean(Setting::BoolState::On)));
    QTest::addRow("an override to infinity")
        << AppPayload::settingOverride(SettingOverride(QStringLiteral("K"), Setting::Value::number(std::numeric_limits<double>::infinity())));
    QTest::addRow("an override to a text")
        << AppPayload::settingOverride(SettingOverride(QStringLiteral("K"), Setting::Value::string(QStringLiteral("v"))));
    QTest::addRow("a deeplink") << AppPayload::runDeeplink(QStringLiteral("retailer://orders/1"));
    QTest::addRow("an impersonation") << AppPayload::impersonate(ImpersonationInfo(QStringLiteral("token")));
    QTest::addRow("the hello") << AppPayload::serverHello();
}

void TestEncoder::appPayloadRoundTrips()
{
    QFETCH(AppPayload, payload);
    const auto decoded = Decoder().decodeAppPayload(Encoder::encode(payload));
    QVERIFY(decoded);
    QVERIFY(*decoded == payload);
}

QTEST_APPLESS_MAIN(TestEncoder)
#include "tst_encoder.moc"
