// The frame reader and writer over plain byte arrays: arbitrary splits, coalescing, the size cap.
#include "ModelTestSupport.h"

#include "MorvendaModel/MorvendaFrameReader.h"

#include <QtTest>

using namespace ModelTest;

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
    MorvendaFrameReader::Step lastSkip;
    qsizetype maxBuffered = 0;
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
            out.maxBuffered = std::max(out.maxBuffered, reader.bufferedBytes());
            if (step.event == MorvendaFrameReader::Event::Frame) {
                out.frames.append(step.body);
            } else if (step.event == MorvendaFrameReader::Event::Oversize) {
                out.oversize.append(step.length);
                out.lastSkip = step;
            }
        } while (pos < length);
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
    void headerIsLittleEndian_data()
    {
        QTest::addColumn<quint64>("length");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("300 bytes are 2C 01 00 00") << quint64(300) << QByteArray::fromHex("2c010000");
        QTest::addRow("65536 bytes are 00 00 01 00") << quint64(65536) << QByteArray::fromHex("00000100");
        QTest::addRow("the largest length is FF FF FF FF") << quint64(0xFFFFFFFF) << QByteArray::fromHex("ffffffff");
    }

    void headerIsLittleEndian()
    {
        QFETCH(quint64, length);
        QFETCH(QByteArray, bytes);
        QCOMPARE(*MorvendaFramer::header(length), bytes);
    }

    void tooLongMessageIsRefusedBeforeWriting()
    {
        const auto result = MorvendaFramer::header(0x1'0000'0000ull);
        QVERIFY(!result);
        QVERIFY(result.error().contains(QLatin1StringView("4294967296")));
        QCOMPARE(framed(QByteArray(300, 'x')), rawHeader(300) + QByteArray(300, 'x'));
    }

    void everySplitPointDeliversTheSameFrames()
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

    void oversizeFrameIsSkippedAndLaterFramesArrive()
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

    void oversizeFrameIsNeverBuffered()
    {
        MorvendaFrameReader reader(16);
        const QByteArray stream = rawHeader(1 << 20) + QByteArray(1 << 20, 'q');
        QCOMPARE(feed(reader, stream, QList<qsizetype>(stream.size() / 4096 + 1, 4096)).maxBuffered, 0);
        QVERIFY(reader.atFrameBoundary());

        // The largest length a header can announce, followed by a close, delivers nothing.
        MorvendaFrameReader largest;
        const auto out = feed(largest, QByteArray::fromHex("ffffffff") + QByteArray(1000, 'z'));
        QVERIFY(out.frames.isEmpty());
        QCOMPARE(out.oversize, QList<quint64>{0xFFFFFFFFull});
        QCOMPARE(largest.bufferedBytes(), 0);
        QVERIFY(!largest.atFrameBoundary());
    }

    void framesShareOneBudgetChargedAsBytesArrive()
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
        QCOMPARE(out.lastSkip.reason, MorvendaFrameReader::SkipReason::OverBudget);
        QVERIFY(out.lastSkip.limit < quint64(big.size()) && out.lastSkip.limit >= free);

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

    void bodiesAreDecodedWhereTheyWereReceived()
    {
        const QByteArray document = json("{'response':{'id':'$ID','batchID':'$BATCH','statusCode':200,"
                                         "'headers':[{'name':'Content-Type','value':'application/json'}],"
                                         "'data':'{\\\"a\\\":[1,2,\\\"\\u00e9\\\"]}'}}");
        const QByteArray stream = framed(document) + framed(document);
        Decoder decoder;
        const auto expected = decoder.decodePayload(QByteArrayView(document));
        QVERIFY(expected);
        // One byte at a time, and in pieces that split the body, each body keeps room after its end
        // for the parser, which reads it where it is; every one decodes to the same payload.
        for (qsizetype piece : {qsizetype(1), qsizetype(70), qsizetype(4096)}) {
            MorvendaFrameReader reader;
            const auto out = feed(reader, stream, QList<qsizetype>(stream.size() / piece + 1, piece));
            QCOMPARE(out.frames.size(), 2);
            for (const QByteArray &body : out.frames) {
                QCOMPARE(body, document);
                QVERIFY(body.capacity() - body.size() >= MorvendaFramer::receivePadding);
                const auto decoded = decoder.decodePayload(body);
                QVERIFY2(decoded, qPrintable(decoded ? QString() : decoded.error().toString()));
                QVERIFY(*decoded == *expected);
                QCOMPARE(decoded->asResponse()->dataUtf8(), expected->asResponse()->dataUtf8());
            }
        }
    }
};

QTEST_APPLESS_MAIN(tst_Framer)
#include "tst_framer.moc"
