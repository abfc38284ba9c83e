// Decoding of inbound and outbound envelopes and every record in them: which case a document
// reads as, and which error kind and coding path a bad one fails with.
#include "ModelTestSupport.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace ModelTest;

namespace {

QString appPayloadKind(const AppPayload &payload)
{
    static const char *const names[] = {"settingOverride", "runDeeplink", "impersonate",
                                        "serverHello"};
    return QString::fromLatin1(names[int(payload.kind())]);
}

Payload decodeOrFail(const QByteArray &bytes)
{
    auto result = Decoder::make().decodePayload(bytes);
    if (!result)
        qFatal("fixture does not decode: %s", qPrintable(result.error().toString()));
    return *result;
}

const char *const kRequest = "{'request':{'id':'$ID','headers':[]}}";
const char *const kUserFields =
    "'capabilities':[],'isImpersonating':false,'isSubuser':false,'isAdmin':false,'tags':[]";

QByteArray settingWith(const char *valueObject)
{
    return json("{'settings':[{'name':'n','key':'k','directlyResponsibleEngineerName':'e',"
                "'defaultValue':")
        + json(valueObject) + json(",'serverValue':{'string':'s'}}]}");
}

QByteArray responseWith(const char *fields)
{
    return json("{'response':{'id':'$ID','batchID':'$BATCH','headers':[]") + json(fields) + "}}";
}

QByteArray userWith(const char *fields)
{
    return json("{'user':{") + json(kUserFields) + json(fields) + "}}";
}

QByteArray milestoneWith(const char *fields)
{
    return json("{'milestone':[{'key':'k'") + json(fields) + "}]}";
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    void payloadOutcome_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected");

        // Envelope.
        QTest::addRow("an empty handshake is valid") << json("{'handshake':''}") << "handshake";
        QTest::addRow("request wins over a valid response")
            << json("{'response':{'id':'$ID','batchID':'$BATCH','headers':[]},'request':{'id':'$ID','headers':[]}}")
            << "request";
        QTest::addRow("an invalid later key fails although an earlier one is valid")
            << userWith("},'handshake':3,'x':{") << "typeMismatch @ handshake";
        QTest::addRow("a request that is a string is a type mismatch") << json("{'request':'x'}") << "typeMismatch @ request";
        QTest::addRow("an empty object names no case") << json("{}") << "unableToDecodePayload";
        QTest::addRow("a duplicate key's last null value names no case")
            << json("{'handshake':'first','handshake':null}") << "unableToDecodePayload";
        QTest::addRow("all six keys null name no case")
            << json("{'request':null,'response':null,'settings':null,'user':null,'milestone':null,'handshake':null}")
            << "unableToDecodePayload";
        QTest::addRow("a top-level array is a type mismatch") << json("[]") << "typeMismatch";
        QTest::addRow("a top-level null is value not found") << json("null") << "valueNotFound";
        QTest::addRow("text that is not JSON is data corrupted") << QByteArray("hello") << "dataCorrupted";

        // Request.
        QTest::addRow("a request without headers is key not found") << json("{'request':{'id':'$ID'}}") << "keyNotFound @ request.headers";
        QTest::addRow("a request with null headers is value not found") << json("{'request':{'id':'$ID','headers':null}}") << "valueNotFound @ request.headers";
        QTest::addRow("headers that are an object are a type mismatch") << json("{'request':{'id':'$ID','headers':{}}}") << "typeMismatch @ request.headers";
        QTest::addRow("a request without id is key not found") << json("{'request':{'headers':[]}}") << "keyNotFound @ request.id";
        QTest::addRow("a UUID that is a number is a type mismatch") << json("{'request':{'id':5,'headers':[]}}") << "typeMismatch @ request.id";
        QTest::addRow("method delete reads") << json("{'request':{'id':'$ID','method':'delete','headers':[]}}") << "request";
        QTest::addRow("a null method reads as no method") << json("{'request':{'id':'$ID','method':null,'headers':[]}}") << "request";
        QTest::addRow("method GET in upper case is data corrupted") << json("{'request':{'id':'$ID','method':'GET','headers':[]}}") << "dataCorrupted @ request.method";
        QTest::addRow("an empty URL is data corrupted") << json("{'request':{'id':'$ID','url':'','headers':[]}}") << "dataCorrupted @ request.url";
        QTest::addRow("a relative URL reads") << json("{'request':{'id':'$ID','url':'/v1/items?a=1','headers':[]}}") << "request";
        QTest::addRow("a URL that is a number is a type mismatch") << json("{'request':{'id':'$ID','url':1,'headers':[]}}") << "typeMismatch @ request.url";
        QTest::addRow("a timestamp given as a string is a type mismatch") << json("{'request':{'id':'$ID','timestamp':'1500','headers':[]}}") << "typeMismatch @ request.timestamp";
        QTest::addRow("a body that is a number is a type mismatch") << json("{'request':{'id':'$ID','data':1,'headers':[]}}") << "typeMismatch @ request.data";
        QTest::addRow("a header name that is a number is a type mismatch")
            << json("{'request':{'id':'$ID','headers':[{'name':1,'value':'v'}]}}") << "typeMismatch @ request.headers[0].name";
        QTest::addRow("a header without value is key not found")
            << json("{'request':{'id':'$ID','headers':[{'name':'a','value':'b'},{'name':'c'}]}}") << "keyNotFound @ request.headers[1].value";
        QTest::addRow("the first failing field in field order decides")
            << json("{'request':{'id':'x','method':'GET','headers':1}}") << "dataCorrupted @ request.id";

        // Response.
        QTest::addRow("a response with id, batch and headers reads") << responseWith("") << "response";
        QTest::addRow("a response without batchID is key not found") << json("{'response':{'id':'$ID','headers':[]}}") << "keyNotFound @ response.batchID";
        QTest::addRow("status 200.0 is a whole number") << responseWith(",'statusCode':200.0") << "response";
        QTest::addRow("status 200.5 is data corrupted") << responseWith(",'statusCode':200.5") << "dataCorrupted @ response.statusCode";
        QTest::addRow("status as a string is a type mismatch") << responseWith(",'statusCode':'200'") << "typeMismatch @ response.statusCode";
        QTest::addRow("status 2^63 is data corrupted") << responseWith(",'statusCode':9223372036854775808") << "dataCorrupted @ response.statusCode";
        QTest::addRow("status 2^64 is data corrupted") << responseWith(",'statusCode':18446744073709551616") << "dataCorrupted @ response.statusCode";
        QTest::addRow("a source of {} is a type mismatch") << responseWith(",'source':{}") << "typeMismatch @ response.source";
        QTest::addRow("a source with both keys is a type mismatch") << responseWith(",'source':{'network':{},'cache':{}}") << "typeMismatch @ response.source";
        QTest::addRow("a source whose network is a boolean is a type mismatch") << responseWith(",'source':{'network':true}") << "typeMismatch @ response.source.network";

        // Settings.
        QTest::addRow("an invalid number beside a valid state is a type mismatch")
            << settingWith("{'boolean':'on','number':'x'}") << "typeMismatch @ settings[0].defaultValue.number";
        QTest::addRow("an empty value object names no case") << settingWith("{}") << "unableToDecodeSettingValue @ settings[0].defaultValue";
        QTest::addRow("a JSON true as state is a type mismatch") << settingWith("{'boolean':true}") << "typeMismatch @ settings[0].defaultValue.boolean";
        QTest::addRow("the string nan is a type mismatch") << settingWith("{'number':'nan'}") << "typeMismatch @ settings[0].defaultValue.number";
        QTest::addRow("the string Infinity is a type mismatch") << settingWith("{'number':'Infinity'}") << "typeMismatch @ settings[0].defaultValue.number";
        QTest::addRow("a setting without serverValue is key not found")
            << json("{'settings':[{'name':'n','key':'k','directlyResponsibleEngineerName':'e','defaultValue':{'string':'s'}}]}")
            << "keyNotFound @ settings[0].serverValue";

        // User.
        QTest::addRow("a user with the required fields reads") << userWith("") << "user";
        QTest::addRow("a tag in another letter case fails the user") << json("{'user':{'capabilities':[],'isImpersonating':false,'isSubuser':false,'isAdmin':false,'tags':['admin','Admin']}}") << "dataCorrupted @ user.tags[1]";
        QTest::addRow("a flag given as a number is a type mismatch") << json("{'user':{'capabilities':[],'isImpersonating':false,'isSubuser':false,'isAdmin':1,'tags':[]}}") << "typeMismatch @ user.isAdmin";
        QTest::addRow("a user without tags is key not found") << json("{'user':{'capabilities':[],'isImpersonating':false,'isSubuser':false,'isAdmin':false}}") << "keyNotFound @ user.tags";
        QTest::addRow("a retailer without isActive is key not found") << userWith(",'retailer':{'name':'r'}") << "keyNotFound @ user.retailer.isActive";

        // Milestones.
        QTest::addRow("a milestone without count is key not found") << milestoneWith("") << "keyNotFound @ milestone[0].count";
    }

    void payloadOutcome()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QCOMPARE(outcome(Decoder::make().decodePayload(document), payloadKind), expected);
    }

    void appPayloadOutcome_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected");

        QTest::addRow("a hello with any text reads") << json("{'serverHello':'hi'}") << "serverHello";
        QTest::addRow("a hello holding a number is a type mismatch") << json("{'serverHello':1}") << "typeMismatch @ serverHello";
        QTest::addRow("a deeplink wins over an impersonation")
            << json("{'impersonate':{'userTokenToImpersonate':'t'},'runDeeplink':'app://x'}") << "runDeeplink";
        QTest::addRow("a null deeplink names no command") << json("{'runDeeplink':null}") << "unableToDecodeAppPayload";
        QTest::addRow("an impersonation without token is key not found")
            << json("{'impersonate':{}}") << "keyNotFound @ impersonate.userTokenToImpersonate";
    }

    void appPayloadOutcome()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QCOMPARE(outcome(Decoder::make().decodeAppPayload(document), appPayloadKind), expected);
    }

    // "+", "-" and "NAN" are read back in the encoder's number table.
    void settingValueTakesFirstPresentKey_data()
    {
        QTest::addColumn<QByteArray>("valueObject");
        QTest::addColumn<Setting::Value>("expected");

        QTest::addRow("a state beats a number") << json("{'boolean':'on','number':5}") << Setting::Value::boolean(Setting::BoolState::On);
        QTest::addRow("a number beats a text") << json("{'number':1.5,'string':'x'}") << Setting::Value::number(1.5);
    }

    void settingValueTakesFirstPresentKey()
    {
        QFETCH(QByteArray, valueObject);
        QFETCH(Setting::Value, expected);
        const QByteArray document = json("{'settingOverride':{'key':'k','value':") + valueObject + "}}";
        const auto result = Decoder::make().decodeAppPayload(document);
        QVERIFY2(result, qPrintable(result ? QString() : result.error().toString()));
        QVERIFY(result->asSettingOverride()->value() == expected);
    }

    // Unknown keys are skipped; simdjson keeps every occurrence of a key, and the reader lets the
    // last one win, as JSON.parse does.
    void unknownKeysAreIgnoredAndTheLastOfDuplicatesWins()
    {
        const Payload plain = decodeOrFail(responseWith(",'statusCode':204"));
        const Payload extra = decodeOrFail(json("{'response':{'id':'$ID','statusCode':500,'extra':[1,{'x':null}],"
                                                "'batchID':'$BATCH','headers':[],'statusCode':204,'Status':'x'},'unknownKind':{}}"));
        QCOMPARE(extra, plain);
    }

    void responseSourceCases()
    {
        const auto sourceOf = [](const char *fields) {
            return decodeOrFail(responseWith(fields)).asResponse()->source();
        };
        QCOMPARE(sourceOf(",'source':{'cache':{},'stale':true}"), Response::Source::Cache);
        QCOMPARE(sourceOf(",'source':{'cache':{'age':1}}"), Response::Source::Cache);
        QCOMPARE(sourceOf(",'source':null"), std::nullopt);
        QCOMPARE(sourceOf(""), std::nullopt);
    }

    void errorDescriptionsNameKindPathAndCause()
    {
        const auto result = Decoder::make().decodePayload(
            json("{'request':{'id':'$ID','headers':[{'name':1,'value':'v'}]}}"));
        QVERIFY(!result);
        QVERIFY(result.error().isTypeMismatch());
        QCOMPARE(result.error().toString(),
                 QStringLiteral("typeMismatch at request.headers[0].name: expected a string, found a number"));
    }

    void payloadArrays_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected"); // the elements' kinds, or the failure
        QTest::addRow("an empty array reads") << QByteArray("[]") << "";
        QTest::addRow("one failing element fails the array with its path")
            << json("[{'request':{'id':'$ID','headers':[]}},{'request':{'id':'nope','headers':[]}}]") << "dataCorrupted @ [1].request.id";
        QTest::addRow("an object instead of an array is a type mismatch") << json(kRequest) << "typeMismatch";
        QTest::addRow("an element that names no case fails the array") << json("[{}]") << "unableToDecodePayload @ [0]";
    }

    void payloadArrays()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        const auto kinds = [](const QList<Payload> &payloads) {
            QStringList names;
            for (const Payload &payload : payloads)
                names << payloadKind(payload);
            return names.join(u' ');
        };
        QCOMPARE(outcome(Decoder::make().decodePayloadArray(document), +kinds), expected);
    }

    // Session files are decoded off the main thread while the server decodes frames on it.
    void decodersRunOnSeveralThreadsAtOnce()
    {
        QByteArray document = "[";
        for (int i = 0; i < 200; ++i) {
            document += (i ? "," : "")
                + json("{'response':{'id':'$ID','batchID':'$BATCH','url':'https://a.example/p/','source':{'cache':{}},"
                       "'headers':[{'name':'n','value':'caf\\u00e9'}],'data':'x','n':18446744073709551616}}");
        }
        document += "]";
        const auto expected = Decoder().decodePayloadArray(document);
        QVERIFY(expected);

        std::vector<std::thread> threads;
        std::atomic<int> mismatches = 0;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                Decoder decoder;
                for (int round = 0; round < 20; ++round) {
                    const auto result = decoder.decodePayloadArray(document);
                    if (!result || !(*result == *expected))
                        ++mismatches;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(mismatches.load(), 0);
    }
};

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
