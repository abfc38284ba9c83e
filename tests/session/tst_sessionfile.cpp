#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaModel/Decoder.h"
#include "SessionFixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixtures;

namespace {

const QString kApp = QStringLiteral("App");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Loads the file into the repository and waits for the outcome.
tl::expected<void, QString> loadNow(const QString &path, MessageRepository &repository, FileHolder &holder, Logger &logger)
{
    std::optional<tl::expected<void, QString>> outcome;
    SessionFile::load(path, repository, holder, logger, [&](const tl::expected<void, QString> &result) { outcome = result; });
    if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 20000))
        return tl::unexpected(QStringLiteral("<no outcome>"));
    return *outcome;
}

QList<Payload> payloadsOf(const QList<Exchange> &exchanges)
{
    QList<Payload> result;
    for (const Exchange &exchange : exchanges)
        result += SessionFile::payloads(exchange);
    return result;
}

const QByteArray kRequest = R"({"request":{"id":"00000001-1111-2222-0000-000000000001","url":"https://h/api/items","headers":[]}})";
const QByteArray kResponse = R"({"response":{"id":"00000001-1111-2222-0000-000000000001","batchID":"00000009-1111-2222-0000-000000000001","statusCode":200,"headers":[]}})";

} // namespace

class TestSessionFile : public QObject
{
    Q_OBJECT

private slots:
    void savedSessionsOpenAsTheyWereAndAgainWithoutRepeats();
    void parsing_data();
    void parsing();
    void aLargeFileReadsInOrderAndOpensBeforeALaterSmallOne();
    void failedOpensChangeNothingAndSayWhy_data();
    void failedOpensChangeNothingAndSayWhy();
    void theSplitterAgreesWithAWholeDocumentDecoder();
    void failedSavesAreReportedAndLogged_data();
    void failedSavesAreReportedAndLogged();
    void aNamedPipeNeverBlocksASaveOrAnOpen();
    void aCancelledReadStopsAtItsNextRead();
    void aCancelledLoadAppliesNothing();

private:
    QTemporaryDir m_dir;
};

// Saved, opened in another repository and then again in the same one: a request from the file
// replaces its exchange whole, but a response joins the exchange it finds, so the responses of
// exchanges without a request must not come in twice. A response the app really reported twice
// stays twice. Bodies that are hard to write as JSON come back byte for byte.
void TestSessionFile::savedSessionsOpenAsTheyWereAndAgainWithoutRepeats()
{
    QVERIFY(SessionFile::write({}, m_dir.filePath(QStringLiteral("empty.json"))));
    QCOMPARE(fileBytes(m_dir.filePath(QStringLiteral("empty.json"))), QByteArray("[]"));

    MessageRepository source;
    source.addRequest(request(id(1), QStringLiteral("https://h/api/event"), QStringLiteral("\"event_key\" : \"a\",\nsnowman \u2603"), 10.5), kApp);
    source.addResponse(response(id(1), id(9), 200, Response::Source::Network, 11.0, QStringLiteral("{}")), kApp);
    source.addResponse(response(id(1), id(9), 500, Response::Source::Cache), kApp);
    source.addResponse(response(id(2), id(8), std::nullopt, std::nullopt), kApp); // no request
    source.addResponse(response(id(3), id(7)), kApp);                              // no request, reported twice
    source.addResponse(response(id(3), id(7)), kApp);
    source.addRequest(request(id(4), QString()), kApp);                           // no URL, no response
    QByteArray acrossWriterChunks(16 * 1024 - 1, 'a');
    acrossWriterChunks += "\xE2\x80\xA8\"" + QByteArray(16 * 1024, '\\');
    const QList<QByteArray> oddBodies{
        QByteArray("a\0b\x01\x1f\x7f\r\n\t\b\f", 12),   // control characters, NUL and DEL
        QByteArray(R"(\"\\u0000\ud800"\)"),             // quotes, backslashes and escapes as text
        QByteArray("x\u2028y\u2029z\u0085"),            // line and paragraph separators
        QByteArray("\xF0\x9F\x9B\x92\xF4\x8F\xBF\xBF"), // beyond the basic plane
        QByteArray("a\xC3(b\xED\xA0\x80"),              // invalid UTF-8, kept as replacement characters
        QByteArray(""), acrossWriterChunks, QByteArray(1 << 20, '{')};
    for (uint i = 0; i < uint(oddBodies.size()); ++i) {
        const QUuid odd = id(10 + i);
        source.addRequest(Request::withUtf8Body(odd, Url::fromText(QStringLiteral("https://h/x")), Method::Post, 1.5, oddBodies[i], {}), kApp);
        source.addResponse(Response::withUtf8Body(odd, id(20 + i), 200, std::nullopt, std::nullopt, 2.0, {}, oddBodies[i]), kApp);
    }
    const QList<Payload> saved = payloadsOf(source.currentTimeline());
    QCOMPARE(saved.size(), 7 + 2 * oddBodies.size());
    Logger logger;
    const QString path = m_dir.filePath(QStringLiteral("session one.json"));
    QVERIFY(SessionFile::save(source.currentTimeline(), path, logger));
    const QByteArray savedBytes = fileBytes(path);

    MessageRepository repository;
    FileHolder holder;
    QSignalSpy resets(&repository, &MessageRepository::timelineReset);
    QSignalSpy inserts(&repository, &MessageRepository::timelineRowInserted);
    QVERIFY(loadNow(path, repository, holder, logger));
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(payloadsOf(repository.currentTimeline()), saved);
    const QString peer = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    QCOMPARE(holder.files(), QStringList{peer});
    for (const Exchange &exchange : repository.currentTimeline())
        QCOMPARE(exchange.peer(), peer);
    QCOMPARE(repository.exchange(id(1))->description(), std::optional<QString>(QStringLiteral("\"a\"")));
    QCOMPARE(repository.exchange(id(1))->batchCount(), std::optional<qint64>(1));

    QVERIFY(loadNow(path, repository, holder, logger));
    QCOMPARE(repository.exchange(id(2))->responses().size(), 1);
    QCOMPARE(repository.exchange(id(3))->responses().size(), 2);
    const QString again = m_dir.filePath(QStringLiteral("saved-again.json"));
    QVERIFY(SessionFile::write(repository.currentTimeline(), again));
    QCOMPARE(fileBytes(again), savedBytes);
    QVERIFY(logger.log().isEmpty());
}

void TestSessionFile::parsing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("payloads"); // -1: the file is refused
    QTest::addColumn<QString>("reason");
    const QByteArray pair = "[" + kRequest + "," + kResponse + "]";
    QTest::addRow("an empty array with blanks") << QByteArray(" [ \n\t] \r\n") << 0 << QString();
    QTest::addRow("settings, user and handshake elements are ignored")
        << "[" + kRequest + R"(,{"handshake":"Shop"},{"settings":[]},{"milestone":[]})" + "]" << 1 << QString();
    QTest::addRow("UTF-8 with a byte-order mark") << "\xEF\xBB\xBF" + pair << 2 << QString();
    QTest::addRow("an object instead of an array") << kRequest << -1 << QStringLiteral("does not hold a JSON array");
    QTest::addRow("an empty file") << QByteArray() << -1 << QStringLiteral("does not hold a JSON array");
    QTest::addRow("one malformed element fails the whole file")
        << "[" + kRequest + R"(,{"response":{"id":"nope"}}])" << -1 << QStringLiteral("element 1");
    QTest::addRow("an empty element") << "[" + kRequest + ",]" << -1 << QStringLiteral("element 1");
    QTest::addRow("a stray closing brace in place of a comma") << "[" + kRequest + "}" + kRequest + "]" << -1 << QStringLiteral("element 0");
    QTest::addRow("an array that is not closed") << "[" + kRequest << -1 << QStringLiteral("not closed");
    QTest::addRow("a string that is not closed") << QByteArray(R"([{"request":"abc)") << -1 << QStringLiteral("not closed");
    QTest::addRow("text after the array") << pair + "x" << -1 << QStringLiteral("after the array");
    QTest::addRow("invalid UTF-8 in a string")
        << QByteArray(R"([{"request":{"id":"00000001-1111-2222-0000-000000000001","data":"\xC3\x28","headers":[]}}])") << -1 << QStringLiteral("element 0");
    QTest::addRow("invalid UTF-16 after its mark") << QByteArray("\xFF\xFE\x00\xD8[\x00", 6) << -1 << QStringLiteral("UTF-16");

    const auto encoded = [&pair](QStringConverter::Encoding encoding, const QByteArray &mark) -> QByteArray {
        return mark + QByteArray(QStringEncoder(encoding).encode(QString::fromUtf8(pair)));
    };
    const QByteArray utf16le = encoded(QStringConverter::Utf16LE, "\xFF\xFE");
    const QByteArray utf32le = encoded(QStringConverter::Utf32LE, QByteArray("\xFF\xFE\x00\x00", 4));
    QTest::addRow("UTF-16 little-endian with its mark") << utf16le << 2 << QString();
    QTest::addRow("UTF-16 big-endian with its mark") << encoded(QStringConverter::Utf16BE, "\xFE\xFF") << 2 << QString();
    QTest::addRow("UTF-32 little-endian with its mark") << utf32le << 2 << QString();
    QTest::addRow("UTF-16 with one byte after its last character") << utf16le + "\n" << -1 << QStringLiteral("not valid UTF-16 text");
    QTest::addRow("UTF-32 with two bytes after its last character")
        << utf32le + QByteArray("\n\x00", 2) << -1 << QStringLiteral("not valid UTF-32 text");
}

void TestSessionFile::parsing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, payloads);
    QFETCH(QString, reason);
    const auto result = SessionFile::parse(bytes);
    if (payloads < 0) {
        QVERIFY(!result);
        QVERIFY2(result.error().contains(reason), qPrintable(result.error()));
    } else {
        QVERIFY2(result, qPrintable(result ? QString() : result.error()));
        QCOMPARE(result->size(), payloads);
    }
}

// Bodies full of quotes and backslashes at every offset, then thousands of small elements in
// every read slice: the splitter hands out slices of elements while the next part of the file is
// still being read, and all of them come back once, in file order (read a few times, as a race
// would not show every time). The same file cut short fails as a whole.
void TestSessionFile::aLargeFileReadsInOrderAndOpensBeforeALaterSmallOne()
{
    QString tricky;
    for (int i = 0; tricky.size() < 700 * 1024; ++i)
        tricky += QString(i % 19, u'x') + QStringLiteral("\"\\],{\u00e9\u2028") + QString(i % 7, u'\\');
    MessageRepository repository;
    for (uint i = 1; i <= 40; ++i) {
        repository.addRequest(request(id(i), QStringLiteral("https://h/api/items"), tricky.mid(int(i)), double(i)), kApp);
        repository.addResponse(response(id(i), id(1000 + i), 200, Response::Source::Cache, double(i), tricky.left(int(i) * 1000)), kApp);
    }
    for (uint i = 41; i <= 100'000; ++i)
        repository.addRequest(request(id(i), QStringLiteral("https://h/api/items"), QString(200, u'b')), kApp);
    const QString path = m_dir.filePath(QStringLiteral("large.json"));
    QVERIFY(SessionFile::write(repository.currentTimeline(), path));
    QVERIFY2(QFileInfo(path).size() > 48 << 20, qPrintable(QString::number(QFileInfo(path).size())));
    const QList<Payload> written = payloadsOf(repository.currentTimeline());
    for (int round = 0; round < 3; ++round) {
        const auto read = SessionFile::read(path);
        QVERIFY2(read, qPrintable(read ? QString() : read.error()));
        QVERIFY(*read == written);
    }

    // Opened with a small file right after: the small one is read first, but waits, so the files
    // are listed and their exchanges added in the order the developer opened them.
    repository.clear();
    repository.addRequest(request(id(200'000)), kApp);
    const QString small = m_dir.filePath(QStringLiteral("small.json"));
    QVERIFY(SessionFile::write(repository.currentTimeline(), small));
    MessageRepository opened;
    FileHolder holder;
    Logger logger;
    const QString missing = path + QStringLiteral(".missing");
    QList<QString> finished;
    for (const QString &file : {path, small, missing, small})
        SessionFile::load(file, opened, holder, logger, [&finished, file](const auto &) { finished.append(file); });
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 4, 20000);
    QCOMPARE(finished, (QList<QString>{path, small, missing, small}));
    // Opened again, the small file is not listed twice: its entry is chosen.
    QCOMPARE(holder.files(), (QStringList{SessionFile::peerName(path), SessionFile::peerName(small)}));
    QCOMPARE(holder.openedFile(), std::optional(SessionFile::peerName(small)));
    QCOMPARE(opened.exchangeCount(), 100'001);
    QCOMPARE(opened.exchangeAt(0).messageID(), id(1));
    QCOMPARE(opened.exchangeAt(100'000).messageID(), id(200'000));

    QFile file(path);
    QVERIFY(file.resize(file.size() - 2));
    QVERIFY(!SessionFile::read(path));
    QFile::remove(path);
}

void TestSessionFile::failedOpensChangeNothingAndSayWhy_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::addRow("a malformed element") << QStringLiteral("broken.json") << QStringLiteral("element 1");
    QTest::addRow("a file that does not exist") << QStringLiteral("missing.json") << QString();
    QTest::addRow("a file over the size limit") << QStringLiteral("huge.json") << QStringLiteral("larger than 4 GiB");
    QTest::addRow("a device that never ends") << QStringLiteral("/dev/zero") << QStringLiteral("not a regular file");
    QTest::addRow("a directory") << QStringLiteral(".") << QString();
}

// Refused at once: neither a sparse 5 GiB file nor an endless device is read into memory.
void TestSessionFile::failedOpensChangeNothingAndSayWhy()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const QString target = path.startsWith(u'/') ? path : m_dir.filePath(path);
    if (path == QStringLiteral("broken.json"))
        writeBytes(target, "[" + kRequest + ",{}]");
    if (path == QStringLiteral("huge.json")) {
        QFile huge(target);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(5) << 30));
    }
    if (path.startsWith(u'/') && !QFileInfo::exists(target))
        QSKIP("not available here");
    const auto removeHuge = qScopeGuard([&] { QFile::remove(m_dir.filePath(QStringLiteral("huge.json"))); });
    MessageRepository repository;
    repository.addRequest(request(id(7)), kApp);
    FileHolder holder;
    Logger logger;
    const auto result = loadNow(target, repository, holder, logger);
    QVERIFY(!result);
    QVERIFY2(result.error().contains(reason), qPrintable(result.error()));
    QCOMPARE(repository.exchangeCount(), 1);
    QVERIFY(holder.files().isEmpty());
    QCOMPARE(logger.log().size(), 1);
    QVERIFY(logger.log().first().startsWith(QStringLiteral("<ERROR: Could not open the session file ") + QDir::toNativeSeparators(target)));
}

void TestSessionFile::failedSavesAreReportedAndLogged_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason"); // empty: any reason
    const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
    QTest::addRow("a directory that does not exist") << QStringLiteral("missing-dir/s.json") << QString();
    QTest::addRow("a parent that is a regular file") << QStringLiteral("plain-file/s.json") << QString();
    QTest::addRow("a path that is a directory") << QStringLiteral(".") << QString();
    QTest::addRow("a full device") << QStringLiteral("/dev/full") << QString();
    QTest::addRow("a small file system filling up over an earlier session") << QStringLiteral("small/s.json") << full;
}

// What was there keeps its bytes: the regular file in the way, or the session the save replaces.
void TestSessionFile::failedSavesAreReportedAndLogged()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    if (path == QStringLiteral("/dev/full") && !QFileInfo::exists(path))
        QSKIP("no /dev/full here");
    QTemporaryDir small;
    const bool onSmall = path.startsWith(QStringLiteral("small/"));
    if (onSmall && QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=256k"), QStringLiteral("tmpfs"), small.path()}) != 0)
        QSKIP("cannot mount a small file system here");
    const auto unmount = qScopeGuard([&] {
        if (onSmall)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), small.path()});
    });
    const QString target = onSmall ? small.filePath(QStringLiteral("s.json")) : path.startsWith(u'/') ? path : m_dir.filePath(path);
    const QString earlier = onSmall ? target : m_dir.filePath(QStringLiteral("plain-file"));
    writeBytes(earlier, "keep");
    MessageRepository repository;
    for (uint i = 1; i <= 8; ++i)
        repository.addRequest(request(id(i), QStringLiteral("https://h/x"), QString(64 * 1024, u'b')), kApp);
    Logger logger;
    const auto result = SessionFile::save(repository.currentTimeline(), target, logger);
    QVERIFY(!result);
    QVERIFY2(reason.isEmpty() ? !result.error().isEmpty() : result.error() == reason, qPrintable(result.error()));
    QCOMPARE(logger.log().size(), 1);
    QVERIFY(logger.log().first().startsWith(QStringLiteral("<ERROR: Could not save the session to ")));
    QCOMPARE(fileBytes(earlier), QByteArray("keep"));
    if (onSmall)
        QCOMPARE(QDir(small.path()).entryList(QDir::Files), QStringList{QStringLiteral("s.json")});
    if (path == QStringLiteral("/dev/full"))
        QVERIFY(!QFileInfo(path).isFile()); // the device is still a device
}

// A named pipe with nobody at its other end: opening it for reading or writing would wait for a
// peer forever, holding a worker thread and the application's exit. Both fail at once instead.
void TestSessionFile::aNamedPipeNeverBlocksASaveOrAnOpen()
{
    const QString path = m_dir.filePath(QStringLiteral("pipe"));
    const QByteArray native = QFile::encodeName(path);
    QVERIFY(mkfifo(native.constData(), 0600) == 0);
    // Should either side wait after all, a peer opened without waiting releases it.
    const auto release = [&](int flags) {
        const int fd = ::open(native.constData(), flags | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    };

    const auto failsAtOnce = [&](auto future, int peerFlags) {
        const auto unblock = qScopeGuard([&] {
            while (!future.isFinished())
                release(peerFlags);
        });
        if (!QTest::qWaitFor([&] { return future.isFinished(); }, 5000) || future.result())
            return QStringLiteral("<blocked or succeeded>");
        return future.result().error();
    };
    const QString openError = failsAtOnce(QtConcurrent::run([path] { return SessionFile::read(path); }), O_RDWR);
    QVERIFY2(openError.contains(QStringLiteral("not a regular file")), qPrintable(openError));
    const QString saveError = failsAtOnce(QtConcurrent::run([path] { return SessionFile::write({}, path); }), O_RDONLY);
    QVERIFY2(!saveError.isEmpty() && !saveError.startsWith(u'<'), qPrintable(saveError));
}

// Damaged files: cut at every length and mutated at random in the characters the splitter looks
// at. Splitting and decoding element by element must accept exactly what a decoder of the whole
// array accepts, with the same payloads.
void TestSessionFile::theSplitterAgreesWithAWholeDocumentDecoder()
{
    const QByteArray valid = " [" + kRequest + " ,\n" + kResponse + R"(,{"handshake":"a,[]{}\"\\"},)" + kRequest + "] ";
    QList<QByteArray> samples;
    for (qsizetype cut = 0; cut <= valid.size(); ++cut)
        samples.append(valid.left(cut));
    QRandomGenerator random(7);
    const QByteArray alphabet = "[]{},\" \\\n";
    for (int i = 0; i < 20000; ++i) {
        QByteArray mutated = valid;
        for (int k = 1 + int(random.bounded(3)); k > 0; --k) {
            const qsizetype at = qsizetype(random.bounded(int(mutated.size())));
            switch (random.bounded(3)) {
            case 0: mutated[at] = alphabet[random.bounded(int(alphabet.size()))]; break;
            case 1: mutated.insert(at, alphabet[random.bounded(int(alphabet.size()))]); break;
            default: mutated.remove(at, 1); break;
            }
        }
        samples.append(mutated);
    }
    Decoder whole = Decoder::make();
    SessionFile::ReadControl control;
    for (const QByteArray &sample : std::as_const(samples)) {
        const auto split = SessionFile::parse(sample);
        // Split a byte or a few at a time as well: the scan then stops and goes on inside
        // strings, escapes and nested elements.
        for (qint64 chunk : {1, 5}) {
            control.chunkBytes = chunk;
            QCOMPARE(SessionFile::parse(sample, control), split);
        }
        auto reference = whole.decodePayloadArray(sample);
        QVERIFY2(split.has_value() == reference.has_value(),
                 qPrintable(QStringLiteral("%1 for %2").arg(split ? QStringLiteral("accepted") : split.error(), QString::fromUtf8(sample))));
        if (!split)
            continue;
        reference->removeIf([](const Payload &payload) {
            return payload.kind() != Payload::Kind::Request && payload.kind() != Payload::Kind::Response;
        });
        QVERIFY(*split == *reference);
    }
}


// A file whose one element never ends, read a megabyte at a time: once cancelled, the read stops
// at its next slice instead of going on to the end of the file.
void TestSessionFile::aCancelledReadStopsAtItsNextRead()
{
    const QString path = m_dir.filePath(QStringLiteral("never-ending.json"));
    writeBytes(path, "[" + QByteArray(32 << 20, '0'));
    std::atomic_bool cancelled = false;
    qint64 lastRead = 0;
    SessionFile::ReadControl control;
    control.chunkBytes = 1 << 20;
    control.cancelled = &cancelled;
    control.progress = [&](qint64 bytesRead) {
        lastRead = bytesRead;
        if (bytesRead >= 4 << 20)
            cancelled = true;
    };
    const auto read = SessionFile::read(path, control);
    QVERIFY(!read);
    QCOMPARE(read.error(), SessionFile::cancelledReason());
    QCOMPARE(lastRead, qint64(4 << 20));

    // Bytes already in memory (a UTF-16 file, converted first) stop as well.
    const auto parsed = SessionFile::parse(QByteArray("\xFF\xFE") + QByteArray("[\0", 2).repeated(1 << 19), control);
    QVERIFY(!parsed);
    QCOMPARE(parsed.error(), SessionFile::cancelledReason());
    QFile::remove(path);
}

// Clearing the timeline or opening another file cancels the loads in progress: whenever their
// reads end, nothing of them reaches the repository or the file list, and no error is logged.
void TestSessionFile::aCancelledLoadAppliesNothing()
{
    MessageRepository source;
    for (uint i = 1; i <= 50; ++i)
        source.addRequest(request(id(i)), kApp);
    const QString path = m_dir.filePath(QStringLiteral("cancelled.json"));
    QVERIFY(SessionFile::write(source.currentTimeline(), path));

    MessageRepository repository;
    repository.addRequest(request(id(900)), kApp);
    FileHolder holder;
    Logger logger;
    QList<tl::expected<void, QString>> outcomes;
    const auto record = [&](const tl::expected<void, QString> &result) { outcomes.append(result); };
    SessionFile::load(path, repository, holder, logger, record);
    SessionFile::load(path, repository, holder, logger, record);
    SessionFile::cancelLoads(repository);
    SessionFile::load(path, repository, holder, logger, record); // started after the cancel: goes on
    QTRY_COMPARE(outcomes.size(), 3);
    for (int i : {0, 1}) {
        QVERIFY(!outcomes.at(i));
        QCOMPARE(outcomes.at(i).error(), SessionFile::cancelledReason());
    }
    QVERIFY(outcomes.at(2));
    QCOMPARE(holder.files(), QStringList{SessionFile::peerName(path)});
    QCOMPARE(repository.exchangeCount(), 51);
    QCOMPARE(logger.log().size(), 2);
    QVERIFY(logger.log().first().startsWith(QStringLiteral("Stopped opening the session file ")));
    QVERIFY(!logger.log().join(u'\n').contains(QStringLiteral("ERROR")));
}

QTEST_GUILESS_MAIN(TestSessionFile)
#include "tst_sessionfile.moc"
