// Hostile and broken documents: none may crash, hang or lose a valid payload needlessly, and each
// fails with the kind a caller can act on.
#include "ModelTestSupport.h"

#include "MorvendaModel/Encoder.h"

#include <QTest>

using namespace ModelTest;

namespace {

QByteArray nested(int depth)
{
    return QByteArray(depth, '[') + QByteArray(depth, ']');
}

} // namespace

class TestDecoderBadInput : public QObject
{
    Q_OBJECT

private slots:
    void outcome_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected");

        QTest::addRow("only whitespace") << QByteArray(" \n\t ") << "dataCorrupted";
        QTest::addRow("two documents in a row") << json("{'handshake':'a'}{'handshake':'b'}") << "dataCorrupted";
        QTest::addRow("a trailing comma") << json("{'handshake':'a',}") << "dataCorrupted";
        QTest::addRow("a NUL byte inside the document") << QByteArray("{\"handshake\":\"a\"}\0", 18) << "dataCorrupted";
        QTest::addRow("an unescaped control character in a string") << QByteArray("{\"handshake\":\"a\x01\"}") << "dataCorrupted";
        QTest::addRow("invalid UTF-8 in a string") << QByteArray("{\"handshake\":\"a\xff\"}") << "dataCorrupted";
        QTest::addRow("an overlong UTF-8 sequence") << QByteArray("{\"handshake\":\"\xc0\xaf\"}") << "dataCorrupted";
        QTest::addRow("an escaped lone high surrogate") << QByteArray(R"({"handshake":"\ud800"})") << "dataCorrupted";
        QTest::addRow("an escaped lone low surrogate") << QByteArray(R"({"handshake":"\udc00x"})") << "dataCorrupted";
        QTest::addRow("nesting 100000 deep under an unknown key")
            << json("{'handshake':'a','x':") + nested(100000) + "}" << "dataCorrupted";
        QTest::addRow("1e400 under an unknown key") << json("{'handshake':'a','x':1e400}") << "dataCorrupted";
        QTest::addRow("an integer too long even for a double")
            << json("{'handshake':'a','x':") + QByteArray(400, '9') + "}" << "dataCorrupted";
        QTest::addRow("a huge integer with a leading zero stays invalid")
            << json("{'handshake':'a','x':018446744073709551616}") << "dataCorrupted";
        QTest::addRow("a huge negative integer as milestone count")
            << json("{'milestone':[{'key':'k','count':-9223372036854775809}]}") << "dataCorrupted @ milestone[0].count";
        QTest::addRow("every field of a request null")
            << json("{'request':{'id':null,'url':null,'method':null,'timestamp':null,'data':null,'headers':null}}")
            << "valueNotFound @ request.id";
        QTest::addRow("request keys in another letter case are unknown")
            << json("{'request':{'ID':'$ID','Headers':[]}}") << "keyNotFound @ request.id";
        QTest::addRow("an object as a header list element that is null")
            << json("{'request':{'id':'$ID','headers':[null]}}") << "valueNotFound @ request.headers[0]";
    }

    void outcome()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QCOMPARE(ModelTest::outcome(Decoder().decodePayload(document), payloadKind), expected);
    }

    void everyTruncationFailsAsDataCorrupted()
    {
        const QByteArray document = Encoder::encode(Payload::response(Response(
            QUuid::createUuid(), QUuid::createUuid(), 200, Url::fromText(QStringLiteral("https://a/b")),
            Response::Source::Network, 1.5, {{QStringLiteral("k"), QStringLiteral("v\u00e9")}},
            QStringLiteral("{\"x\":1}"))));
        Decoder decoder;
        for (qsizetype length = 0; length < document.size(); ++length) {
            const auto result = decoder.decodePayload(document.first(length));
            QVERIFY2(!result, document.first(length).constData());
            QCOMPARE(result.error().kind, DecodeError::Kind::DataCorrupted);
        }
        QVERIFY(decoder.decodePayload(document));
    }

    // simdjson refuses a whole document over one integer literal of 2^64 or more; the decoder rewrites
    // such literals as floating point so a payload carrying one under a key no record reads survives.
    void hugeIntegerUnderUnknownKeyKeepsThePayload()
    {
        const QByteArray document = json(
            "{'x':18446744073709551616,'request':{'id':'$ID','note':'18446744073709551616 in text',"
            "'n':-99999999999999999999999,'headers':[{'name':'a','value':'\\\"1e5'}]},'y':[1,2.5e3,-0]}");
        const auto result = Decoder().decodePayload(document);
        QVERIFY2(result, qPrintable(result ? QString() : result.error().toString()));
        QCOMPARE(result->asRequest()->headers().first().value(), QStringLiteral("\"1e5"));

        // Where a double is read, such a literal reads as that double.
        const auto milestones = Decoder().decodePayload(
            json("{'milestone':[{'key':'k','count':1,'createdAt':18446744073709551616}]}"));
        QVERIFY(milestones);
        QCOMPARE(*milestones->asMilestone()->first().createdAt(), 18446744073709551616.0 / 1000);
    }

    // Only integer literals are rewritten: twenty digits or more after a decimal point or in an
    // exponent are part of a number simdjson accepts as it stands.
    void longFractionsAndExponentsBesideAHugeIntegerStayNumbers_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<double>("expected");
        QTest::addRow("a fraction of 21 digits") << QByteArray("0.000012345678901234567") << 0.000012345678901234567;
        QTest::addRow("a negative exponent of 20 digits") << QByteArray("1e-00000000000000000005") << 1e-5;
        QTest::addRow("a signed positive exponent of 20 digits") << QByteArray("2E+00000000000000000003") << 2e3;
        QTest::addRow("a long fraction with a long exponent")
            << QByteArray("-1.50000000000000000000000e-00000000000000000001") << -0.15;
        QTest::addRow("a huge negative integer itself") << QByteArray("-18446744073709551616") << -18446744073709551616.0;
    }

    void longFractionsAndExponentsBesideAHugeIntegerStayNumbers()
    {
        QFETCH(QByteArray, number);
        QFETCH(double, expected);
        const QByteArray huge = "18446744073709551616";
        const auto handshake = Decoder().decodePayload(
            QByteArray("{\"handshake\":\"a\",\"x\":" + huge + ",\"y\":" + number + "}"));
        QVERIFY2(handshake, qPrintable(handshake ? QString() : handshake.error().toString()));
        QCOMPARE(*handshake->asHandshake(), QStringLiteral("a"));

        const auto override = Decoder().decodeAppPayload(
            QByteArray("{\"settingOverride\":{\"key\":\"k\",\"value\":{\"number\":" + number + "}},\"x\":" + huge + "}"));
        QVERIFY2(override, qPrintable(override ? QString() : override.error().toString()));
        QCOMPARE(*override->asSettingOverride()->value().asNumber(), expected);
    }

    void fiftyMegabyteStringReads()
    {
        const QByteArray body(50 * 1024 * 1024, 'x');
        const QByteArray document = json("{'response':{'id':'$ID','batchID':'$BATCH','headers':[],'data':'")
            + body + json("'}}");
        Decoder decoder;
        const auto result = decoder.decodePayload(document);
        QVERIFY2(result, qPrintable(result ? QString() : result.error().toString()));
        QCOMPARE(result->asResponse()->data()->size(), body.size());
        // The decoder drops its oversized parse buffers afterwards and goes on working, escapes and all.
        const auto after = decoder.decodePayload(QByteArray(R"({"handshake":"\ud83d\ude00 \u00e9"})"));
        QVERIFY(after);
        QCOMPARE(*after->asHandshake(), QStringLiteral("\U0001F600 \u00e9"));
    }

    void denseFrameIsRefusedBeforeItIsParsed()
    {
        // Four MiB of one-digit numbers: two million values where 2^20 are allowed.
        const qsizetype size = 4 << 20;
        QByteArray numbers = json("{'request':{'id':'$ID','headers':[],'extra':[1");
        while (numbers.size() < size)
            numbers.append(",1");
        numbers.append("]}}");
        Decoder decoder;
        const auto refused = decoder.decodePayload(numbers);
        QVERIFY(!refused);
        QCOMPARE(refused.error().kind, DecodeError::Kind::DataCorrupted);
        QVERIFY2(refused.error().description.contains(QLatin1StringView("too many values")),
                 qPrintable(refused.error().toString()));

        // Commas inside a string are not values, however many escaped quotes and backslashes stand
        // among them (over three million here, where 2^20 values are allowed).
        QByteArray quoted = json("{'request':{'id':'$ID','headers':[],'data':'");
        while (quoted.size() < 4 * size)
            quoted.append("\\\\\\\",");
        quoted.append("\"}}");
        const auto read = decoder.decodePayload(quoted);
        QVERIFY2(read, qPrintable(read ? QString() : read.error().toString()));
        QVERIFY(read->asRequest()->dataUtf8()->startsWith("\\\",\\\","));
    }
};

QTEST_APPLESS_MAIN(TestDecoderBadInput)
#include "tst_decoder_badinput.moc"
