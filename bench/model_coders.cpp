// Decoding and encoding of wire payloads on a corpus generated here: requests with 10 headers,
// responses whose bodies are JSON texts of 4 KB, 64 KB and 1 MB, and requests shaped as a shopping
// app sends them (eleven headers, one a long bearer token, a query string, a 1 KB JSON body). Run in
// a Release or RelWithDebInfo build; compare "Decode" with "BareParse" of the same corpus (target:
// at least half its speed) and the memory figures' "ratio" with 1.5.
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/Encoder.h"

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <malloc.h>

#include <vector>

namespace {

constexpr int kDocuments = 32;

// A JSON text of about `size` bytes that looks like an API listing.
QString jsonBody(qsizetype size, int seed)
{
    QString body = QStringLiteral("{\"items\":[");
    for (int i = 0; body.size() < size - 80; ++i) {
        if (i > 0)
            body += u',';
        body += QStringLiteral("{\"id\":%1,\"name\":\"Item %1 \\u00e9\",\"price\":%2,\"tags\":[\"sale\",\"new\"]}")
                    .arg(seed * 100000 + i)
                    .arg(i * 1.25);
    }
    body += QStringLiteral("]}");
    return body;
}

QList<Header> headers(int count)
{
    QList<Header> list;
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("X-Header-%1").arg(i), QStringLiteral("value %1; q=0.9, gzip").arg(i)});
    return list;
}

std::vector<QByteArray> requestCorpus()
{
    std::vector<QByteArray> corpus;
    for (int i = 0; i < kDocuments; ++i) {
        corpus.push_back(Encoder::encode(Payload::request(Request(
            QUuid::createUuid(),
            Url::fromText(QStringLiteral("https://api.example.com/v2/retailers/%1/orders/?page=2").arg(i)),
            Method::Post, 1700000000.125 + i, QStringLiteral("{\"query\":\"shoes\",\"page\":2}"),
            headers(10)))));
    }
    return corpus;
}

// What a shopping app's API call looks like on the wire: the headers a mobile HTTP stack sends, a
// signed token of about 900 bytes, a query string and a 1 KB JSON body.
std::vector<QByteArray> realisticRequestCorpus()
{
    std::vector<QByteArray> corpus;
    for (int i = 0; i < kDocuments; ++i) {
        QString token = QStringLiteral("Bearer eyJhbGciOiJSUzI1NiIsInR5cCI6IkpXVCJ9.");
        while (token.size() < 900)
            token += QStringLiteral("eyJzdWIiOiIxMjM0NTY3ODkwIiwibmFtZSI6Ik%1").arg(qint64(i * 7919 + token.size()), 6, 36, QLatin1Char('0'));
        const QList<Header> list = {
            {QStringLiteral("Host"), QStringLiteral("api.example-shop.com")},
            {QStringLiteral("Accept"), QStringLiteral("application/json")},
            {QStringLiteral("Accept-Encoding"), QStringLiteral("gzip, deflate, br")},
            {QStringLiteral("Accept-Language"), QStringLiteral("de-DE;q=1.0, en-DE;q=0.9")},
            {QStringLiteral("Authorization"), token},
            {QStringLiteral("Content-Type"), QStringLiteral("application/json; charset=utf-8")},
            {QStringLiteral("Content-Length"), QStringLiteral("1024")},
            {QStringLiteral("User-Agent"), QStringLiteral("ShopApp/24.3.1 (iPhone; iOS 17.4.1; Scale/3.00)")},
            {QStringLiteral("X-Request-ID"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
            {QStringLiteral("X-Session-ID"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
            {QStringLiteral("Cookie"), QStringLiteral("consent=1; ab_bucket=%1; locale=de_DE").arg(i % 4)},
        };
        corpus.push_back(Encoder::encode(Payload::request(Request(
            QUuid::createUuid(),
            Url::fromText(QStringLiteral("https://api.example-shop.com/v3/catalog/search?q=running%20shoes"
                                         "&category=%1&page=2&per_page=24&sort=relevance&lang=de")
                              .arg(1000 + i)),
            Method::Post, 1700000000.125 + i, jsonBody(1024, i), list))));
    }
    return corpus;
}

Response response(qsizetype bodySize, int seed)
{
    return Response(QUuid::createUuid(), QUuid::createUuid(), 200,
                    Url::fromText(QStringLiteral("https://api.example.com/v2/items/%1").arg(seed)),
                    Response::Source::Network, 1700000000.5 + seed, headers(6), jsonBody(bodySize, seed));
}

std::vector<QByteArray> responseCorpus(qsizetype bodySize)
{
    std::vector<QByteArray> corpus;
    for (int i = 0; i < kDocuments; ++i)
        corpus.push_back(Encoder::encode(Payload::response(response(bodySize, i))));
    return corpus;
}

const std::vector<QByteArray> &corpus(int which)
{
    static const std::vector<QByteArray> corpora[] = {requestCorpus(), responseCorpus(4 * 1024),
                                                      responseCorpus(64 * 1024),
                                                      responseCorpus(1024 * 1024),
                                                      realisticRequestCorpus()};
    return corpora[which];
}

const char *const kCorpusNames[] = {"request10headers", "response4KB", "response64KB", "response1MB",
                                  "requestRealistic"};

void setCounters(benchmark::State &state, const std::vector<QByteArray> &docs)
{
    int64_t bytes = 0;
    for (const QByteArray &doc : docs)
        bytes += doc.size();
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes / int64_t(docs.size()));
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetLabel(kCorpusNames[state.range(0)]);
}

void BareParse(benchmark::State &state)
{
    const std::vector<QByteArray> &docs = corpus(int(state.range(0)));
    simdjson::dom::parser parser;
    size_t i = 0;
    for (auto _ : state) {
        const QByteArray &doc = docs[i++ % docs.size()];
        simdjson::dom::element root;
        if (parser.parse(doc.constData(), size_t(doc.size()), true).get(root))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(root);
    }
    setCounters(state, docs);
}

void Decode(benchmark::State &state)
{
    const std::vector<QByteArray> &docs = corpus(int(state.range(0)));
    Decoder decoder;
    size_t i = 0;
    for (auto _ : state) {
        auto payload = decoder.decodePayload(docs[i++ % docs.size()]);
        if (!payload)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(payload);
    }
    setCounters(state, docs);
}

// A new Decoder per message, as a caller that keeps none would do.
void DecodeWithNewDecoder(benchmark::State &state)
{
    const std::vector<QByteArray> &docs = corpus(int(state.range(0)));
    size_t i = 0;
    for (auto _ : state) {
        auto payload = Decoder::make().decodePayload(docs[i++ % docs.size()]);
        benchmark::DoNotOptimize(payload);
    }
    setCounters(state, docs);
}

void EncodeResponse64KB(benchmark::State &state)
{
    const Payload payload = Payload::response(response(64 * 1024, 1));
    int64_t size = 0;
    for (auto _ : state) {
        const QByteArray bytes = Encoder::encode(payload);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.SetItemsProcessed(int64_t(state.iterations()));
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap held by decoded payloads that are kept (as the repository keeps them), per payload, against
// the payload's size on the wire (target for requests: at most 1.5 times).
void MemoryPerDecodedPayload(benchmark::State &state)
{
    const std::vector<QByteArray> &docs = corpus(int(state.range(0)));
    double perPayload = 0;
    double wire = 0;
    for (auto _ : state) {
        constexpr int kKept = 2000;
        std::vector<Payload> kept;
        kept.reserve(kKept);
        Decoder decoder;
        decoder.decodePayload(docs[0]); // parser buffers are not what a response holds
        const size_t before = heapInUse();
        for (int i = 0; i < kKept; ++i) {
            kept.push_back(*decoder.decodePayload(docs[size_t(i) % docs.size()]));
            // The repository reads every request's path when it stores the exchange.
            if (const Request *request = kept.back().asRequest())
                benchmark::DoNotOptimize(request->path());
        }
        const size_t after = heapInUse();
        perPayload = double(after - before) / kKept;
        double wireTotal = 0;
        for (int i = 0; i < kKept; ++i)
            wireTotal += double(docs[size_t(i) % docs.size()].size());
        wire = wireTotal / kKept;
    }
    state.SetLabel(kCorpusNames[state.range(0)]);
    state.counters["heap_per_payload_B"] = perPayload;
    state.counters["wire_B"] = wire;
    state.counters["ratio"] = perPayload / wire;
}

} // namespace

BENCHMARK(BareParse)->DenseRange(0, 4);
BENCHMARK(Decode)->DenseRange(0, 4);
BENCHMARK(DecodeWithNewDecoder)->DenseRange(0, 4);
BENCHMARK(EncodeResponse64KB);
BENCHMARK(MemoryPerDecodedPayload)->Arg(1)->Arg(4)->Iterations(1);

BENCHMARK_MAIN();
