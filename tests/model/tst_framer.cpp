// The frame reader and writer over plain byte arrays: arbitrary splits, coalescing, the size cap.
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/MorvendaFrameReader.h"

#include <QtTest>

namespace {

QByteArray framed(const QByteArray &body)
{
    return *MorvendaFramer::frame(body);
}

QByteArray rawHeader(quint32 length)
{
    return *MorvendaFramer::header(length);
}

struct Delivered {
    QList<QByteArray> frames;
    QList<quint64> oversize;
    qsizetype consumed = 0;
};

// Feeds `stream` to `reader` in pieces of the given sizes (the last piece takes the rest).
Delivered feed(MorvendaFrameReader &reader, const QByteArray &stream, const QList<qsizetype> &pieces = {})
{
    Delivered out;
    qsizetype start = 0;
    auto feedPiece = [&](qsizetype length) {
        qsizetype pos = 0;
        do {
            auto step = reader.step(stream.constData() + start + pos, length - pos);
            pos += step.consumed;
            if (step.event == MorvendaFrameReader::Event::Frame) {
                out.frames.append(step.body);
            } else if (step.event == MorvendaFrameReader::Event::Oversize) {
                out.oversize.append(step.length);
            }
        } while (pos < length);
        out.consumed += pos;
        start += length;
    };
    for (qsizetype piece : pieces) {
        feedPiece(std::min(piece, stream.size() - start));
    }
    if (start < stream.size()) {
        feedPiece(stream.size() - start);
    }
    return out;
}

} // namespace

class tst_Framer : public QObject
{
    Q_OBJECT
private slots:
    void headerIsLittleEndian_data();
    void headerIsLittleEndian();
    void tooLongMessageIsRefusedBeforeWriting();
    void everySplitPointDeliversTheSameFrames();
    void oversizeFrameIsSkippedAndLaterFramesArrive();
    void oversizeFrameIsNeverBuffered();
    void framesShareOneBudgetChargedAsBytesArrive();
    void bodiesAreDecodedWhereTheyWereReceived();
};

void tst_Framer::headerIsLittleEndian_data()
{
    QTest::addColumn<quint64>("length");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("an empty body is four zero bytes") << quint64(0) << QByteArray::fromHex("00000000");
    QTest::addRow("300 bytes are 2C 01 00 00") << quint64(300) << QByteArray::fromHex("2c010000");
    QTest::addRow("65536 bytes are 00 00 01 00") << quint64(65536) << QByteArray::fromHex("00000100");
    QTest::addRow("the largest length is FF FF FF FF") << quint64(0xFFFFFFFF) << QByteArray::fromHex("ffffffff");
}

void tst_Framer::headerIsLittleEndian()
{
    QFETCH(quint64, length);
    QFETCH(QByteArray, bytes);
    QCOMPARE(*MorvendaFramer::header(length), bytes);
}

void tst_Framer::tooLongMessageIsRefusedBeforeWriting()
{
    const auto result = MorvendaFramer::header(0x1'0000'0000ull);
    QVERIFY(!result);
    QVERIFY(result.error().contains(QLatin1StringView("4294967296")));
    QCOMPARE(framed(QByteArray(300, 'x')), rawHeader(300) + QByteArray(300, 'x'));
}

void tst_Framer::everySplitPointDeliversTheSameFrames()
{
    const QList<QByteArray> bodies{QByteArrayLiteral(R"({"handshake":"A"})"), QByteArray(),
                                   QByteArray(700, 'b'), QByteArrayLiteral("{}")};
    QByteArray stream;
    for (const auto &body : bodies) {
        stream += framed(body);
    }
    for (qsizetype split = 0; split <= stream.size(); ++split) {
        MorvendaFrameReader reader;
        const auto out = feed(reader, stream, {split});
        QCOMPARE(out.frames, bodies);
        QVERIFY(reader.atFrameBoundary());
    }
    // One byte at a time, so every header also arrives in four pieces.
    MorvendaFrameReader reader;
    QCOMPARE(feed(reader, stream, QList<qsizetype>(stream.size(), 1)).frames, bodies);
}

void tst_Framer::oversizeFrameIsSkippedAndLaterFramesArrive()
{
    const QByteArray stream = framed("before") + framed(QByteArray(1001, 'x')) + framed(QByteArray(1000, 'y'))
        + framed("after");
    for (qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(4096)}) {
        MorvendaFrameReader chunked(1000);
        QList<qsizetype> pieces(stream.size() / piece + 1, piece);
        const auto out = feed(chunked, stream, pieces);
        QCOMPARE(out.frames, (QList<QByteArray>{"before", QByteArray(1000, 'y'), "after"}));
        QCOMPARE(out.oversize, QList<quint64>{1001});
    }
}

void tst_Framer::oversizeFrameIsNeverBuffered()
{
    MorvendaFrameReader reader(16);
    QByteArray stream = rawHeader(1 << 20) + QByteArray(1 << 20, 'q');
    qsizetype maxBuffered = 0;
    for (qsizetype pos = 0; pos < stream.size(); pos += 4096) {
        qsizetype fed = 0;
        const qsizetype length = std::min<qsizetype>(4096, stream.size() - pos);
        while (fed < length) {
            fed += reader.step(stream.constData() + pos + fed, length - fed).consumed;
            maxBuffered = std::max(maxBuffered, reader.bufferedBytes());
        }
    }
    QCOMPARE(maxBuffered, 0);
    QVERIFY(reader.atFrameBoundary());

    // The largest length a header can announce, followed by a close, delivers nothing.
    MorvendaFrameReader largest;
    const auto out = feed(largest, QByteArray::fromHex("ffffffff") + QByteArray(1000, 'z'));
    QVERIFY(out.frames.isEmpty());
    QCOMPARE(out.oversize, QList<quint64>{0xFFFFFFFFull});
    QCOMPARE(largest.bufferedBytes(), 0);
    QVERIFY(!largest.atFrameBoundary());
}

void tst_Framer::framesShareOneBudgetChargedAsBytesArrive()
{
    const quint64 free = FrameBudget::unchargedBytesPerFrame;
    auto budget = std::make_shared<FrameBudget>(1 << 20);
    MorvendaFrameReader holder(MorvendaFramer::maxFrameLength, budget);
    MorvendaFrameReader other(MorvendaFramer::maxFrameLength, budget);

    // A header alone charges nothing, however much it announces.
    const QByteArray held = QByteArray(900'000, 'h');
    const QByteArray heldStream = framed(held);
    QCOMPARE(holder.step(heldStream.constData(), 4).event, MorvendaFrameReader::Event::NeedMore);
    QCOMPARE(budget->used(), 0u);
    QCOMPARE(holder.step(heldStream.constData() + 4, 700'004).event, MorvendaFrameReader::Event::NeedMore);
    QVERIFY(budget->used() > 600'000 && budget->used() <= 900'000 + MorvendaFramer::receivePadding - free);

    // Another frame that outgrows what is left is given up as it streams; the stream stays in sync
    // and small frames still arrive, as their first bytes are never charged.
    const QByteArray big(800'000, 'b');
    const auto out = feed(other, framed("small") + framed(big) + framed(QByteArray(free, 's')));
    QCOMPARE(out.frames, (QList<QByteArray>{"small", QByteArray(free, 's')}));
    QCOMPARE(out.oversize, QList<quint64>{800'000});
    QVERIFY(other.atFrameBoundary());
    MorvendaFrameReader::Step skip;
    {
        MorvendaFrameReader again(MorvendaFramer::maxFrameLength, budget);
        const QByteArray stream = framed(big);
        for (qsizetype pos = 0; skip.event != MorvendaFrameReader::Event::Oversize;) {
            skip = again.step(stream.constData() + pos, stream.size() - pos);
            pos += skip.consumed;
        }
    }
    QCOMPARE(skip.reason, MorvendaFrameReader::SkipReason::OverBudget);
    QVERIFY(skip.limit < quint64(big.size()) && skip.limit >= free);

    // The holder's frame completes and gives its charge back; so does a reset mid-frame.
    const auto rest = holder.step(heldStream.constData() + 700'008, heldStream.size() - 700'008);
    QCOMPARE(rest.event, MorvendaFrameReader::Event::Frame);
    QCOMPARE(rest.body, held);
    QCOMPARE(budget->used(), 0u);
    QCOMPARE(other.step(heldStream.constData(), 500'000).event, MorvendaFrameReader::Event::NeedMore);
    QVERIFY(budget->used() > 0);
    other.reset();
    QCOMPARE(budget->used(), 0u);
    QCOMPARE(feed(other, framed("next")).frames, QList<QByteArray>{"next"});
}

void tst_Framer::bodiesAreDecodedWhereTheyWereReceived()
{
    const QByteArray json = R"({"response":{"id":"8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01",)"
                            R"("batchID":"1B2C3D4E-0000-4000-8000-000000000001","statusCode":200,)"
                            R"("headers":[{"name":"Content-Type","value":"application/json"}],"data":"{\"a\":[1,2,\"\u00e9\"]}"}})";
    const QByteArray stream = framed(json) + framed(json);
    Decoder decoder;
    const auto expected = decoder.decodePayload(QByteArrayView(json));
    QVERIFY(expected);
    // One byte at a time, and in pieces that split the body, each body keeps room after its end
    // for the parser, which reads it where it is; every one decodes to the same payload.
    for (qsizetype piece : {qsizetype(1), qsizetype(70), qsizetype(4096)}) {
        MorvendaFrameReader reader;
        const auto out = feed(reader, stream, QList<qsizetype>(stream.size() / piece + 1, piece));
        QCOMPARE(out.frames.size(), 2);
        for (const QByteArray &body : out.frames) {
            QCOMPARE(body, json);
            QVERIFY(body.capacity() - body.size() >= MorvendaFramer::receivePadding);
            const auto decoded = decoder.decodePayload(body);
            QVERIFY2(decoded, qPrintable(decoded ? QString() : decoded.error().toString()));
            QVERIFY(*decoded == *expected);
            QCOMPARE(decoded->asResponse()->dataUtf8(), expected->asResponse()->dataUtf8());
        }
    }
}

QTEST_APPLESS_MAIN(tst_Framer)
#include "tst_framer.moc"
